#pragma once

#include <type_traits>
#include <utility>

#include "prst_generic/persistent_secured_object.h"
#include "prst_generic/security_strategy.h"
#include "security/user_access_token.h"
#include "standard/string_map.h"

// Whether objects of class T carry their own domains and access checks.
// Classes that are not secured (access controls) are guarded by the
// session's right to the class alone.
template <class T>
constexpr bool isSecuredClass = std::is_base_of<CPersistentSecuredObject<T>, T>::value;

// The text form of an object found for a session: a secured object is
// evaluated for token first and throws "Unable to read object %1 of type
// %2." when the session may not read it.
template <class T>
osk::CStringMap readableAttributes(osk::CTrackedPtr<T> object, const osk::CUserAccessToken& token)
{
    if constexpr (isSecuredClass<T>) {
        const CSecurityStrategy<T> secured(std::move(object), token);
        return secured->attributes();
    } else {
        return object->attributes();
    }
}
