// Domains and domain groups on the embedded engine: text forms, the row with
// its name record, the ordered link to groups from both sides, and what a
// delete leaves behind (nothing that names the domain).
#include "prst_generic/prst_domain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "prst_database_fixture.h"
#include "prst_generic/prst_device_account.h"
#include "prst_generic/prst_domain_group.h"
#include "prst_generic/prst_key_value.h"
#include "prst_generic/prst_role.h"

namespace {

using prsttest::PrstDatabaseTest;

class PrstDomainTest : public PrstDatabaseTest {
protected:
    int64_t insertDomain(const std::string& text) { return insertText<CPrstDomain>(admin, text); }
    int64_t insertGroup(const std::string& name) { return insertText<CPrstDomainGroup>(admin, "name=" + name + "\n"); }
    std::string loadedText(int64_t oid) { return PrstDatabaseTest::loadedText<CPrstDomain>(oid); }
    int64_t linkRows(int64_t domain)
    {
        return scalar("SELECT COUNT(*) FROM osk_bi_domgrp_links WHERE BI_DEST_REF = ?", {domain});
    }
};

TEST_F(PrstDomainTest, TextFormRoundTripsThroughANewObject)
{
    CPrstTransaction transaction(admin);
    auto domain = CPrstDomain::createTransient(admin);
    domain->string("name=Text Domain\ndescription=first words\npriority=7\nmdata=a=b\ntype=role\n"
                   "groups=Operators,All\n");
    EXPECT_EQ("Text Domain", domain->name());
    EXPECT_EQ(7u, domain->priority());
    EXPECT_EQ(osk::CDomainID::user_role, domain->type());
    const osk::CStringMap text = domain->attributes();
    EXPECT_EQ("a=b", text.get_string("mdata"));
    EXPECT_EQ("role", text.get_string("type"));
    EXPECT_EQ("Operators,All", text.get_string("groups"));
    EXPECT_EQ("Administrators", text.get_string("domains"));

    auto copy = CPrstDomain::createTransient(admin);
    copy->string(domain->string());
    EXPECT_EQ(domain->string(), copy->string());
}

TEST_F(PrstDomainTest, TypeTextIsDeviceOrRoleAndAnythingElseIsRefused)
{
    EXPECT_EQ(osk::CDomainID::device, CPrstDomain::typeFromText("device"));
    EXPECT_EQ(osk::CDomainID::user_role, CPrstDomain::typeFromText("ROLE"));
    EXPECT_EQ(osk::CDomainID::user_role, CPrstDomain::typeFromText("user_role"));
    CPrstTransaction transaction(admin);
    auto domain = CPrstDomain::createTransient(admin);
    const std::string refused = failure([&] { domain->string("type=printer\n"); });
    EXPECT_EQ(0u, refused.find("Illegal domain type 'printer'. / ")) << refused;
}

TEST_F(PrstDomainTest, AGroupNameThatNamesNoGroupIsRefused)
{
    CPrstTransaction transaction(admin);
    auto domain = CPrstDomain::createTransient(admin);
    EXPECT_THROW(domain->string("groups=All,No Such Group\n"), osk::CException);
}

TEST_F(PrstDomainTest, InsertLoadUpdateAndDeleteThroughTheDatabase)
{
    const int64_t oid = insertDomain("name=Lab\ndescription=bench\npriority=3\ntype=device\ngroups=Operators,All\n");
    ASSERT_GT(oid, 1);
    const std::string stored = loadedText(oid);
    osk::CStringMap text = fields(stored);
    EXPECT_EQ("Lab", text.get_string("name"));
    EXPECT_EQ("bench", text.get_string("description"));
    EXPECT_EQ("3", text.get_string("priority"));
    EXPECT_EQ("device", text.get_string("type"));
    EXPECT_EQ("Operators,All", text.get_string("groups"));
    EXPECT_EQ(std::to_string(oid), text.get_string("oid"));
    EXPECT_NE("", text.get_string("mod_time"));
    // The name record carries the domain id and the name.
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM osk_domain_name_id WHERE DOMAIN_ID = ? AND NAME = 'Lab'", {oid}));

    // An object made from the stored text and written again changes nothing.
    updateText<CPrstDomain>(admin, oid, stored);
    EXPECT_EQ(withoutModTime(stored), withoutModTime(loadedText(oid)));

    updateText<CPrstDomain>(admin, oid, "name=Lab 2\ngroups=All\n");
    text = fields(loadedText(oid));
    EXPECT_EQ("Lab 2", text.get_string("name"));
    EXPECT_EQ("All", text.get_string("groups"));
    EXPECT_EQ("bench", text.get_string("description"));
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM osk_domain_name_id WHERE DOMAIN_ID = ? AND NAME = 'Lab 2'", {oid}));
    EXPECT_EQ(1, linkRows(oid));

    committed(admin, [&] { CPrstDomain::load(admin, oid)->deletePersistent(); });
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_domains WHERE OID = ?", {oid}));
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_domain_name_id WHERE DOMAIN_ID = ?", {oid}));
    EXPECT_EQ(0, linkRows(oid));
    EXPECT_EQ(0,
              scalar("SELECT COUNT(*) FROM osk_domain_id WHERE SRC_PK = ? AND SRC_TABLE LIKE '%osk_domains'", {oid}));
    CPrstTransaction transaction(admin);
    EXPECT_EQ(nullptr, CPrstDomain::find(admin, oid));
    const std::string refused = failure([&] { CPrstDomain::load(admin, oid); });
    EXPECT_EQ(0u, refused.find("You have no right to access the object or it doesn't exist. / ")) << refused;
}

TEST_F(PrstDomainTest, ADeletedDomainLeavesItsMembersAccountsAndRolesWhole)
{
    const int64_t gone = domain("Gone");
    const int64_t kept = domain("Kept");
    const int64_t record = insertText<CPrstKeyValue>(admin, "class=kv-gone\nsubclass=s\nkey=k\ndomains=Gone,Kept\n");
    const int64_t account = insertText<CPrstDeviceAccount>(admin, "name=gone-modem\nclass=docsis\nacl=Gone,Kept\n");
    int64_t role = -1;
    committed(admin, [&] {
        auto made = CPrstRole::createTransient(admin);
        made->string("domain_oid=" + std::to_string(gone) + "\ncapabilities=policy:read\n");
        made->commit();
        role = made->oid();
    });

    committed(admin, [&] { CPrstDomain::load(admin, gone)->deletePersistent(); });
    // The members load, in the domains they have left.
    EXPECT_EQ("Administrators,Kept", field(PrstDatabaseTest::loadedText<CPrstKeyValue>(record), "domains"));
    EXPECT_EQ("Kept", field(PrstDatabaseTest::loadedText<CPrstDeviceAccount>(account), "acl"));
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_domain_id WHERE DOMAIN_ID = ?", {gone}));
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_access_control WHERE DOMAIN_ID = ?", {gone}));
    // The role of the domain is gone with its capabilities.
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_roles WHERE OID = ?", {role}));
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_capability WHERE ROLE_ID = ?", {gone}));
    // The other domain keeps its member and its account.
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM osk_domain_id WHERE DOMAIN_ID = ?", {kept}));
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM osk_access_control WHERE DOMAIN_ID = ?", {kept}));
}

TEST_F(PrstDomainTest, TheWellKnownDomainsLoadByNameAndType)
{
    CPrstTransaction transaction(admin);
    auto administrators = CPrstDomain::findByName(admin, "Administrators");
    ASSERT_NE(nullptr, administrators);
    EXPECT_EQ(0, administrators->oid());
    EXPECT_EQ(osk::CDomainID::user_role, administrators->type());
    EXPECT_EQ(nullptr, CPrstDomain::findByName(admin, "Nobody's"));

    bool observers = false;
    for (const auto& role : CPrstDomain::selectByType(admin, osk::CDomainID::user_role)) {
        EXPECT_EQ(osk::CDomainID::user_role, role->type());
        observers = observers || role->name() == "Observers";
    }
    EXPECT_TRUE(observers);
}

TEST_F(PrstDomainTest, BothSidesOfTheGroupLinkKeepTheirOwnOrder)
{
    const int64_t group = insertGroup("Order Group");
    const int64_t first = insertDomain("name=Order One\ngroups=Order Group,All\n");
    const int64_t second = insertDomain("name=Order Two\ngroups=All,Order Group\n");
    {
        CPrstTransaction transaction(admin);
        auto loaded = CPrstDomainGroup::load(admin, group);
        // Domains joined the group in the order they were written.
        EXPECT_EQ((std::vector<int64_t>{first, second}), loaded->domains());
        // The statement that lists a group's domains follows the group's order.
        auto members = CPrstDomain::fastSelectRec(admin, "domain.group.name", {std::string("Order Group")});
        ASSERT_EQ(2u, members.size());
        EXPECT_EQ("Order One", members[0]->name());
        EXPECT_EQ("Order Two", members[1]->name());
    }
    // The group reorders its domains; each domain keeps its own group order.
    committed(admin, [&] {
        auto loaded = CPrstDomainGroup::load(admin, group);
        loaded->domains({second, first});
        loaded->commit();
    });
    EXPECT_EQ("Order Group,All", field(loadedText(first), "groups"));
    EXPECT_EQ("All,Order Group", field(loadedText(second), "groups"));
    {
        CPrstTransaction transaction(admin);
        auto members = CPrstDomain::fastSelectRec(admin, "domain.group.name", {std::string("Order Group")});
        ASSERT_EQ(2u, members.size());
        EXPECT_EQ("Order Two", members[0]->name());
    }
    // Deleting the group removes the link rows of both domains to it.
    committed(admin, [&] { CPrstDomainGroup::load(admin, group)->deletePersistent(); });
    EXPECT_EQ(1, linkRows(first));
    EXPECT_EQ("All", field(loadedText(first), "groups"));
}

TEST_F(PrstDomainTest, AGroupRoundTripsThroughTextAndTheDatabase)
{
    insertDomain("name=Group Member\n");
    int64_t oid = -1;
    std::string written;
    committed(admin, [&] {
        auto group = CPrstDomainGroup::createTransient(admin);
        group->string("name=Round Group\ndescription=text and back\ndomains=Group Member\n");
        auto copy = CPrstDomainGroup::createTransient(admin);
        copy->string(group->string());
        EXPECT_EQ(group->string(), copy->string());
        group->commit();
        oid = group->oid();
        written = group->string();
    });
    const int64_t secured = scalar("SELECT SECURED_REF FROM osk_domain_groups WHERE OID = ?", {oid});
    {
        CPrstTransaction transaction(admin);
        auto loaded = CPrstDomainGroup::load(admin, oid);
        EXPECT_EQ("text and back", loaded->description());
        EXPECT_EQ("Administrators,Group Member", field(loaded->string(), "domains"));
        EXPECT_EQ(written, loaded->string());
        EXPECT_EQ(oid, CPrstDomainGroup::findByName(admin, "Round Group")->oid());
    }
    committed(admin, [&] { CPrstDomainGroup::load(admin, oid)->deletePersistent(); });
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_domain_groups WHERE OID = ?", {oid}));
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_secured_object WHERE OID = ?", {secured}));
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_domain_id WHERE SRC_PK = ? AND SRC_TABLE LIKE '%osk_domain_groups'",
                        {oid}));
}

TEST_F(PrstDomainTest, RollbackTakesBackChangesAndRefreshRereads)
{
    const int64_t oid = insertDomain("name=Undo\ndescription=kept\ngroups=All\n");
    CPrstTransaction transaction(admin);
    auto domain = CPrstDomain::load(admin, oid);
    domain->string("description=changed\ngroups=Operators\n");
    domain->rollback();
    EXPECT_EQ("kept", domain->description());
    EXPECT_EQ("All", domain->attributes().get_string("groups"));

    admin.transaction().execute("UPDATE osk_domains SET DESCRIPTION = 'elsewhere' WHERE OID = ?", {oid});
    domain->refresh();
    EXPECT_EQ("elsewhere", domain->description());
}

} // namespace
