// Roles and capabilities on the embedded engine: the role's name from its
// domain, the capabilities text that rewrites the capability rows exactly
// and always keeps read on domain, and the capability's own text form.
#include "prst_generic/prst_role.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "prst_account_fixture.h"
#include "prst_generic/prst_capability.h"

namespace {

using prsttest::PrstAccountTest;

class PrstRoleTest : public PrstAccountTest {
protected:
    // The rights of the capability rows of a role's domain, by class.
    std::map<std::string, std::string> capabilityRows(int64_t roleDomain)
    {
        std::map<std::string, std::string> rows;
        auto transaction = db().session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        {
            auto found = transaction->select("SELECT TARGET_CLASS, RIGHTS FROM osk_capability WHERE ROLE_ID = ?",
                                             {roleDomain});
            while (found->fetch())
                rows[found->asString("TARGET_CLASS")] =
                    osk::CAccessRights(static_cast<osk::CAccessRights::right_t>(found->asInt64("RIGHTS"))).string();
        }
        transaction->commit();
        return rows;
    }
    std::string loadedText(int64_t oid) { return PrstAccountTest::loadedText<CPrstRole>(oid); }
};

TEST_F(PrstRoleTest, ANewRoleMakesItsRoleDomainAndRoundTrips)
{
    const int64_t oid = role("Role Made", "description=makes things\ncapabilities=policy:read,write/keyvalue:r\n");
    const int64_t domainOid = domain("Role Made");
    const osk::CStringMap text = fields(loadedText(oid));
    EXPECT_EQ("Role Made", text.get_string("name"));
    EXPECT_EQ("makes things", text.get_string("description"));
    EXPECT_EQ(std::to_string(domainOid), text.get_string("domain_oid"));
    EXPECT_EQ("domain:read/keyvalue:read/policy:read,write,", text.get_string("capabilities"));
    EXPECT_EQ(1, scalar("SELECT DOMAIN_TYPE FROM osk_domains WHERE OID = ?", {domainOid}));
    EXPECT_EQ((std::map<std::string, std::string>{{"domain", "read"}, {"keyvalue", "read"}, {"policy", "read,write"}}),
              capabilityRows(domainOid));

    CPrstTransaction transaction(admin);
    auto copy = CPrstRole::createTransient(admin);
    copy->string("capabilities=" + text.get_string("capabilities") + "\ndomain_oid=" + std::to_string(domainOid));
    EXPECT_EQ(text.get_string("capabilities"), copy->capabilities());
    EXPECT_EQ("Role Made", copy->name());
    auto found = CPrstRole::findByName(admin, "Role Made");
    ASSERT_TRUE(found);
    EXPECT_EQ(oid, found->oid());
    EXPECT_EQ(domainOid, found->domainID().id());
}

TEST_F(PrstRoleTest, CapabilitiesTextRewritesTheRowsExactly)
{
    const int64_t oid = role("Role Rewritten", "capabilities=policy:read/keyvalue:write/account:read\n");
    const int64_t domainOid = domain("Role Rewritten");
    updateText<CPrstRole>(admin, oid, "capabilities=keyvalue:read,write/user_role:read/domain:write\n");
    EXPECT_EQ((std::map<std::string, std::string>{
                  {"domain", "read,write"}, {"keyvalue", "read,write"}, {"user_role", "read"}}),
              capabilityRows(domainOid));
    // One link row per capability, keyed by its class.
    EXPECT_EQ(3, scalar("SELECT COUNT(*) FROM osk_role_links L JOIN osk_capability C ON C.OID = L.DEST_ATTR_REF "
                        "WHERE L.SRC_ATTR_REF = ? AND L.DEST_NAME_KEY = C.TARGET_CLASS",
                        {oid}));
    EXPECT_EQ(3, scalar("SELECT COUNT(*) FROM osk_role_links WHERE SRC_ATTR_REF = ?", {oid}));

    CPrstTransaction transaction(admin);
    auto role = CPrstRole::load(admin, oid);
    ASSERT_NE(nullptr, role->capability("keyvalue"));
    EXPECT_EQ(domainOid, role->capability("keyvalue")->roleID().id());
    EXPECT_EQ(nullptr, role->capability("policy"));
}

TEST_F(PrstRoleTest, ARoleWithoutReadOnDomainStillReadsDomains)
{
    CPrstTransaction transaction(admin);
    auto role = CPrstRole::createTransient(admin);
    role->capabilities("policy:read");
    osk::CTableRightsEntry entry;
    role->findRights(entry);
    EXPECT_TRUE(entry.has("domain", osk::CAccessRights::read));
    EXPECT_EQ("domain:read/policy:read,", entry.string());
}

TEST_F(PrstRoleTest, AnUnknownClassChangesNothing)
{
    const int64_t oid = role("Role Unchanged", "capabilities=policy:read\n");
    const int64_t domainOid = domain("Role Unchanged");
    CPrstTransaction transaction(admin);
    auto role = CPrstRole::load(admin, oid);
    EXPECT_EQ(std::string("Table 'printers' does not exist. / Available tables are: ") +
                  "account, user_account, domain, domain_group, access_control, user_access_control, keyvalue, "
                  "sql_query, sql_query_group, snmp_query, snmp_query_group, capability, user_role, policy",
              failure([&] { role->string("capabilities=keyvalue:read/printers:read\n"); }));
    EXPECT_EQ("domain:read/policy:read,", role->capabilities());
    role->commit();
    transaction.commit();
    EXPECT_EQ((std::map<std::string, std::string>{{"domain", "read"}, {"policy", "read"}}), capabilityRows(domainOid));
}

TEST_F(PrstRoleTest, DeletingARoleDeletesItsCapabilitiesButNotItsDomain)
{
    const int64_t oid = role("Role Deleted", "capabilities=policy:read\n");
    const int64_t domainOid = domain("Role Deleted");
    committed(admin, [&] { CPrstRole::load(admin, oid)->deletePersistent(); });
    EXPECT_TRUE(capabilityRows(domainOid).empty());
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_role_links WHERE SRC_ATTR_REF = ?", {oid}));
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM osk_domains WHERE OID = ?", {domainOid}));
}

TEST_F(PrstRoleTest, ARoleNeedsADomainThatExists)
{
    CPrstTransaction transaction(admin);
    auto role = CPrstRole::createTransient(admin);
    role->capabilities("policy:read");
    EXPECT_EQ("Cannot set role record from text. / The role has no domain: give it a name or a domain_oid.",
              failure([&] { role->commit(); }));
    EXPECT_FALSE(role->existing());
    EXPECT_EQ("You have no right to access the object or it doesn't exist. / No object 987654 of class CPrstDomain "
              "exists.",
              failure([&] { role->string("domain_oid=987654\n"); }));
}

TEST_F(PrstRoleTest, SortColumnsOfTheRoleAreItsDomains)
{
    EXPECT_EQ("D.NAME", CPrstRole::spec().attrToColumn("name"));
    EXPECT_EQ("D.DESCRIPTION", CPrstRole::spec().attrToColumn("description"));
    EXPECT_EQ("T.TARGET_CLASS_NAME", CPrstCapability::spec().attrToColumn("target_class"));
    EXPECT_EQ("T.rights", CPrstCapability::spec().attrToColumn("rights"));
}

class PrstCapabilityTest : public PrstAccountTest {};

TEST_F(PrstCapabilityTest, ANewCapabilityNeedsRights)
{
    CPrstTransaction transaction(admin);
    auto capability = CPrstCapability::createTransient(admin);
    EXPECT_EQ("Failed to set a rights record from text. / Missing 'rights' key.",
              failure([&] { capability->string("target_class=policy\nrole_id=5\n"); }));
}

TEST_F(PrstCapabilityTest, TextAndDatabaseRoundTrip)
{
    int64_t oid = -1;
    std::string made;
    committed(admin, [&] {
        auto capability = CPrstCapability::createTransient(admin);
        capability->string("target_class=policy\nrights=read, W\nrole_id=77\ndescription=edit policies\n");
        EXPECT_EQ(osk::CAccessRights(osk::CAccessRights::read | osk::CAccessRights::write), capability->rights());
        capability->commit();
        oid = capability->oid();
        made = capability->string();
    });
    CPrstTransaction transaction(admin);
    auto stored = CPrstCapability::load(admin, oid);
    EXPECT_EQ(made, stored->string());
    const osk::CStringMap text = stored->attributes();
    EXPECT_EQ("read,write", text.get_string("rights"));
    EXPECT_EQ("77", text.get_string("role_id"));
    auto found = CPrstCapability::find(admin, osk::CDomainID(77), "policy");
    ASSERT_TRUE(found);
    EXPECT_EQ(oid, found->oid());
    EXPECT_EQ(1u, CPrstCapability::selectByRole(admin, osk::CDomainID(77)).size());
    stored->deletePersistent();
    transaction.commit();
}

} // namespace
