#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "security/a_secured_object_impl.h"
#include "security/user_access_token.h"
#include "standard/tracked_factory.h"

// A secured persistent object as a console session holds it: evaluated for
// the session's token when wrapped, and read only when the session may read
// it. A new object is always readable by its creator; writing is checked by
// the object itself when it is committed.
template <class T>
class CSecurityStrategy {
public:
    CSecurityStrategy(osk::CTrackedPtr<T> object, const osk::CUserAccessToken& token)
        : _object(std::move(object)), _token(token), _className(T::spec().formalName())
    {
        reEvaluateAccessRights();
    }

    // Throws "Unable to read object %1 of type %2." for an existing object
    // that the session may not read.
    T* operator->() const
    {
        _readCheck();
        return _object.get();
    }
    T& operator*() const
    {
        _readCheck();
        return *_object;
    }

    // Computes the session's rights on the object anew.
    void reEvaluateAccessRights()
    {
        _existing = _object->existing();
        _object->evaluateForSession(_token);
    }
    osk::CAccessRights accessResult() const { return _object->accessResult(); }
    bool existing() const { return _existing; }
    const std::string& className() const { return _className; }

private:
    void _readCheck() const
    {
        osk::CASecuredObjectImpl::readCheck(_object->accessResult(), _existing, _object->oid(), _className);
    }

    osk::CTrackedPtr<T> _object;
    osk::CUserAccessToken _token;
    bool _existing = false;
    std::string _className;
};
