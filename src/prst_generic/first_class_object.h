#pragma once

#include <ctime>

#include "prst_generic/i_persistent_object.h"
#include "prst_generic/prst_attr.h"

// A persistent object with a table row of its own: the time of its last
// change (MOD_TIME, set on every commit) and the text attributes "oid" and
// "mod_time".
template <class T>
class CFirstClassObject : public CIPersistentObject<T> {
public:
    const osk::CTimeT& modTime() const { return _modTime.value(); }

protected:
    explicit CFirstClassObject(CPrstContext& context) : CIPersistentObject<T>(context) {}

    void _get(osk::CStringMap& map) const override
    {
        CIPersistentObject<T>::_get(map);
        map.set_string("oid", std::to_string(this->oid()));
    }
    void _set(const osk::CStringMap& map) override
    {
        CIPersistentObject<T>::_set(map);
        if (map.defined("oid")) this->_oidFromText(map.get_string("oid"));
    }
    void _beforeWrite() override
    {
        CIPersistentObject<T>::_beforeWrite();
        _modTime.value(osk::CTimeT(static_cast<int64_t>(std::time(nullptr))));
    }

private:
    CPrstAttr<osk::CTimeT> _modTime{*this, "MOD_TIME", "mod_time"};
};
