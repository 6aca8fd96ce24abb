#pragma once

#include <utility>

#include "prst_generic/prst_fk_attr.h"
#include "prst_generic/prst_relation.h"
#include "prst_generic/prst_user_base.h"
#include "standard/tracked_factory.h"

// A reference to a Target record through a foreign-key column: the target is
// loaded with the owner and written before it. An owning reference deletes
// its target with the owner.
template <class Target>
class CPrstRefAttr : public CPrstRelation {
public:
    enum ownership_t {
        owning,
        notOwning
    };

    CPrstRefAttr(CPrstUserBase& owner, const char* column, ownership_t ownership = owning)
        : CPrstRelation(owner), _fk(owner, column), _ownership(ownership)
    {
    }

    Target* target() const { return _target.get(); }
    Target* operator->() const { return _target.get(); }
    void target(osk::CTrackedPtr<Target> target) { _target = std::move(target); }

    void beforeWrite() override
    {
        if (!_target) return;
        _target->commit();
        _fk.oid(_target->oid());
    }
    void afterLoad() override
    {
        _target.reset();
        if (_fk.isSet()) _target = Target::find(owner().context(), _fk.oid());
    }
    void afterDelete() override
    {
        if (_ownership == owning && _target) _target->deletePersistent();
    }
    void rollback() override
    {
        if (_target) _target->rollback();
    }

private:
    CPrstFKAttr _fk;
    ownership_t _ownership;
    osk::CTrackedPtr<Target> _target;
};
