#pragma once

#include <string>

#include "prst_generic/persistent_secured_object.h"
#include "prst_generic/prst_attr.h"
#include "security/access_rights.h"
#include "security/domain_id.h"

// The rights of a role (ROLE_ID, the role's domain id) on one class of
// objects (TARGET_CLASS, a class formal name or "*"). Text attributes:
// description, target_class, rights (required for a new capability) and
// role_id.
class CPrstCapability : public CPersistentSecuredObject<CPrstCapability> {
public:
    explicit CPrstCapability(CPrstContext& context) : CPersistentSecuredObject<CPrstCapability>(context) {}
    static CPrstClassSpec _makeSpec();

    const std::string& targetClass() const { return _targetClass.value(); }
    void targetClass(const std::string& name) { _targetClass.value(name); }
    const std::string& description() const { return _description.value(); }
    void description(const std::string& text) { _description.value(text); }
    const osk::CAccessRights& rights() const { return _rights.value(); }
    void rights(const osk::CAccessRights& rights) { _rights.value(rights); }
    osk::CDomainID roleID() const { return _roleId.value(); }
    void roleID(const osk::CDomainID& role) { _roleId.value(role); }

    using CIPersistentObject<CPrstCapability>::find;
    // The capabilities of a role, by class; the capability of a role on one
    // class, or null.
    static list_t selectByRole(CPrstContext& context, const osk::CDomainID& role);
    static ptr_t find(CPrstContext& context, const osk::CDomainID& role, const std::string& targetClass);

protected:
    void _set(const osk::CStringMap& map) override;

private:
    CPrstAttr<std::string> _targetClass{*this, "TARGET_CLASS", "target_class"};
    CPrstAttr<std::string> _description{*this, "DESCRIPTION", "description"};
    CPrstAttr<osk::CAccessRights> _rights{*this, "RIGHTS", "rights"};
    CPrstAttr<osk::CDomainID> _roleId{*this, "ROLE_ID", "role_id"};
};
