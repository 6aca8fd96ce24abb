// Device and user accounts on the embedded engine: text forms, rows, the
// access controls that acl, acl+ and acl- leave behind (by name and by id),
// the masked password, the minimum create rights and the error texts.
#include "prst_generic/prst_device_account.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "prst_account_fixture.h"
#include "prst_generic/prst_device_access_control.h"
#include "prst_generic/prst_domain.h"
#include "prst_generic/prst_user_access_control.h"
#include "prst_generic/prst_user_account.h"

namespace {

using prsttest::PrstAccountTest;

class PrstDeviceAccountTest : public PrstAccountTest {
protected:
    void SetUp() override
    {
        north = domain("Acct North");
        south = domain("Acct South");
        east = domain("Acct East");
    }
    int64_t insert(const std::string& text) { return insertText<CPrstDeviceAccount>(admin, text); }
    void update(int64_t oid, const std::string& text) { updateText<CPrstDeviceAccount>(admin, oid, text); }
    std::string loadedText(int64_t oid) { return PrstAccountTest::loadedText<CPrstDeviceAccount>(oid); }
    std::set<int64_t> controls(int64_t oid) { return controlDomains("osk_access_control", oid); }

    int64_t north = -1, south = -1, east = -1;
};

TEST_F(PrstDeviceAccountTest, TextFormRoundTripsThroughANewObjectAndTheDatabase)
{
    const std::string text = "name=modem-1\ndescription=first floor\nenabled=false\nclass=docsis\n"
                             "reconfig_time=Fri Jan  2 03:04:05 2026\nsubscriber_id=sub 7\nsubscription_id=gold\n"
                             "acl=Acct South,Acct North\n";
    std::string made;
    {
        CPrstTransaction transaction(admin);
        auto account = CPrstDeviceAccount::createTransient(admin);
        account->string(text);
        EXPECT_EQ("modem-1", account->name());
        EXPECT_FALSE(account->enabled());
        EXPECT_EQ("docsis", account->accountClass());
        EXPECT_EQ("gold", account->subscriptionID());
        // In id order, whatever the order given.
        EXPECT_EQ("Acct North,Acct South", field(account->string(), "acl"));
        auto copy = CPrstDeviceAccount::createTransient(admin);
        copy->string(account->string());
        EXPECT_EQ(account->string(), copy->string());
        made = account->string();
    }
    const int64_t oid = insert(text);
    osk::CStringMap stored = fields(loadedText(oid));
    osk::CStringMap expected = fields(made);
    for (const char* key : {"name", "description", "enabled", "class", "reconfig_time", "reprov_time",
                            "subscriber_id", "subscription_id", "acl", "domains"})
        EXPECT_EQ(expected.get_string(key), stored.get_string(key)) << key;
    EXPECT_EQ((std::set<int64_t>{north, south}), controls(oid));
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM osk_accounts WHERE NAME = 'modem-1' AND ACLASS = 'docsis'"));
    CPrstTransaction transaction(admin);
    auto found = CPrstDeviceAccount::findByNameClass(admin, "modem-1", "docsis");
    ASSERT_TRUE(found);
    EXPECT_EQ(oid, found->oid());
}

TEST_F(PrstDeviceAccountTest, AclReplacesAddsAndRemovesExactlyTheAccessControls)
{
    const int64_t oid = insert("name=modem-acl\nacl=Acct North\n");
    EXPECT_EQ((std::set<int64_t>{north}), controls(oid));
    update(oid, "acl+=Acct South,Acct North\n");
    EXPECT_EQ((std::set<int64_t>{north, south}), controls(oid));
    update(oid, "acl-=Acct North,Acct Nowhere\n");
    EXPECT_EQ((std::set<int64_t>{south}), controls(oid));
    update(oid, "acl=Acct East,Acct North\n");
    EXPECT_EQ((std::set<int64_t>{north, east}), controls(oid));
    EXPECT_EQ("Acct North,Acct East", field(loadedText(oid), "acl"));
    // The rows point at the account and at the domains' records.
    EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM osk_access_control WHERE ACCESS_ID = ? AND ACCOUNT_REF = ? "
                        "AND DOMAIN_REF = DOMAIN_ID",
                        {oid, oid}));
    // An update that does not touch acl leaves the rows alone.
    update(oid, "description=moved\n");
    EXPECT_EQ((std::set<int64_t>{north, east}), controls(oid));
    update(oid, "acl=\n");
    EXPECT_TRUE(controls(oid).empty());
}

TEST_F(PrstDeviceAccountTest, DeletingTheAccountDeletesItsAccessControls)
{
    const int64_t oid = insert("name=modem-gone\nacl=Acct North,Acct South\n");
    ASSERT_EQ(2u, controls(oid).size());
    committed(admin, [&] { CPrstDeviceAccount::load(admin, oid)->deletePersistent(); });
    EXPECT_TRUE(controls(oid).empty());
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_accounts WHERE PK = ?", {oid}));
}

TEST_F(PrstDeviceAccountTest, NumericContextsWriteAndReadDomainIds)
{
    admin.serializeNumeric(true);
    const int64_t oid = insert("name=modem-numeric\nacl=" + std::to_string(south) + ", " + std::to_string(east) + "\n");
    EXPECT_EQ((std::set<int64_t>{south, east}), controls(oid));
    EXPECT_EQ(std::to_string(south) + "," + std::to_string(east), field(loadedText(oid), "acl"));
    update(oid, "acl-=" + std::to_string(south) + "\nacl+=" + std::to_string(north) + "\n");
    EXPECT_EQ((std::set<int64_t>{north, east}), controls(oid));
    admin.serializeNumeric(false);
    EXPECT_EQ("Acct North,Acct East", field(loadedText(oid), "acl"));
}

TEST_F(PrstDeviceAccountTest, BadAclItemsAreRefusedWithTheirReason)
{
    CPrstTransaction transaction(admin);
    auto account = CPrstDeviceAccount::createTransient(admin);
    EXPECT_EQ("Cannot set account record from text. / Value 'Acct Nowhere' is not a valid domain name.",
              failure([&] { account->string("name=x\nacl=Acct North,Acct Nowhere\n"); }));
    EXPECT_TRUE(account->domains().empty());
    EXPECT_EQ("Cannot set account record from text. / Value 'Acct Nowhere' is not a valid domain name.",
              failure([&] { account->string("name=x\nacl+=Acct Nowhere\n"); }));
    admin.serializeNumeric(true);
    EXPECT_EQ("Cannot set account record from text. / Value 'north' is not a numeric domain id.",
              failure([&] { account->string("name=x\nacl=north\n"); }));
    EXPECT_EQ("Cannot set account record from text. / Value '987654321' is not a valid domain ID.",
              failure([&] { account->string("name=x\nacl=987654321\n"); }));
    admin.serializeNumeric(false);
}

TEST_F(PrstDeviceAccountTest, ANewAccountNeedsANameAnExistingOneDoesNot)
{
    {
        CPrstTransaction transaction(admin);
        auto account = CPrstDeviceAccount::createTransient(admin);
        EXPECT_EQ("Failed to set an account record from text. / Missing key 'name'.",
                  failure([&] { account->string("description=nameless\n"); }));
    }
    const int64_t oid = insert("name=modem-named\n");
    update(oid, "description=renamed nothing\n");
    EXPECT_EQ("modem-named", field(loadedText(oid), "name"));
}

class PrstUserAccountTest : public PrstAccountTest {
protected:
    void SetUp() override
    {
        role("Acct Role One", "capabilities=policy:read\n");
        role("Acct Role Two", "capabilities=keyvalue:read\n");
        plain = domain("Acct Plain");
    }
    int64_t insert(const std::string& text) { return insertText<CPrstUserAccount>(admin, text); }
    CPrstUserAccount::ptr_t load(int64_t oid) { return CPrstUserAccount::load(admin, oid); }
    int64_t roleDomain(const std::string& name) { return domain(name); }

    int64_t plain = -1;
};

TEST_F(PrstUserAccountTest, PasswordIsAlwaysMaskedAndThePlaceholderKeepsIt)
{
    const int64_t oid = insert("name=acct-user-pass\npass=0a-1b-2c\nlocale=de_CH\nacl=Acct Role One\n");
    {
        CPrstTransaction transaction(admin);
        auto account = load(oid);
        EXPECT_EQ("0a-1b-2c", account->pass());
        EXPECT_EQ("de_CH", account->locale());
        const osk::CStringMap text = account->attributes();
        EXPECT_EQ("**********", text.get_string("pass"));
        EXPECT_EQ("Acct Role One", text.get_string("acl"));
        // Feeding the text form back does not overwrite the password.
        account->string(account->string());
        account->commit();
        transaction.commit();
    }
    CPrstTransaction transaction(admin);
    EXPECT_EQ("0a-1b-2c", load(oid)->pass());
    EXPECT_EQ(1, static_cast<int>(CPrstUserAccessControl::findDomains(admin, osk::CAccessID(oid)).size()));
}

TEST_F(PrstUserAccountTest, UserAclTakesRolesOnly)
{
    CPrstTransaction transaction(admin);
    auto account = CPrstUserAccount::createTransient(admin);
    EXPECT_EQ("Cannot set account record from text. / Value 'Acct Plain' is not a valid domain name.",
              failure([&] { account->string("name=u\nacl=Acct Plain\n"); }));
    admin.serializeNumeric(true);
    EXPECT_EQ("Cannot set account record from text. / Value '" + std::to_string(plain) +
                  "' is not a valid domain ID.",
              failure([&] { account->string("name=u\nacl=" + std::to_string(plain) + "\n"); }));
    admin.serializeNumeric(false);
}

TEST_F(PrstUserAccountTest, UserAccessControlsPointAtTheRoles)
{
    const int64_t oid = insert("name=acct-user-roles\nacl=Acct Role One,Acct Role Two\n");
    const int64_t one = roleDomain("Acct Role One"), two = roleDomain("Acct Role Two");
    EXPECT_EQ((std::set<int64_t>{one, two}), controlDomains("osk_user_access_control", oid));
    EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM osk_user_access_control C JOIN osk_roles R ON R.OID = C.DOMAIN_REF "
                        "WHERE C.ACCESS_ID = ? AND R.DOMAIN_REF = C.DOMAIN_ID",
                        {oid}));
}

TEST_F(PrstUserAccountTest, MinCreateRightsMustBeAmongTheRoles)
{
    const int64_t oid = insert("name=acct-user-create\nacl=Acct Role One,Acct Role Two\n");
    const int64_t one = roleDomain("Acct Role One"), two = roleDomain("Acct Role Two");
    {
        CPrstTransaction transaction(admin);
        auto account = load(oid);
        EXPECT_EQ("Domain 'Acct Plain' cannot be part of attribute 'min_create_rights'. / "
                  "Domain must be a subset of the existing roles: 'Acct Role One,Acct Role Two'.",
                  failure([&] { account->string("min_create_rights=Acct Role Two,Acct Plain\n"); }));
        account->string("min_create_rights=Acct Role Two\n");
        account->commit();
        transaction.commit();
    }
    EXPECT_EQ(std::to_string(two), [&] {
        auto transaction = db().session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        std::string stored;
        {
            auto rows = transaction->select("SELECT MIN_CREATE_RIGHTS FROM osk_user_accounts WHERE PK = ?", {oid});
            rows->fetch();
            stored = rows->asString("MIN_CREATE_RIGHTS");
        }
        transaction->commit();
        return stored;
    }());
    {
        CPrstTransaction transaction(admin);
        EXPECT_EQ("Acct Role Two", field(load(oid)->string(), "min_create_rights"));
        // A role is taken by name in the same text that gives it.
        auto account = CPrstUserAccount::createTransient(admin);
        account->string("name=u2\nacl=Acct Role One\nmin_create_rights=Acct Role One\n");
        ASSERT_EQ(1u, account->minCreateRights().size());
        EXPECT_EQ(one, account->minCreateRights().front().id());
    }
}

TEST_F(PrstUserAccountTest, StoredMinCreateRightsSkipEntriesThatAreNoNumbers)
{
    const int64_t oid = insert("name=acct-user-skip\n");
    committed(admin, [&] {
        admin.transaction().execute("UPDATE osk_user_accounts SET MIN_CREATE_RIGHTS = '5, x,,7,9z' WHERE PK = ?",
                                    {oid});
    });
    CPrstTransaction transaction(admin);
    const auto domains = load(oid)->minCreateRights();
    ASSERT_EQ(2u, domains.size());
    EXPECT_EQ(5, domains[0].id());
    EXPECT_EQ(7, domains[1].id());
}

TEST_F(PrstUserAccountTest, ADeletedRoleDomainLeavesEveryMinCreateRights)
{
    role("Acct Role Gone", "capabilities=policy:read\n");
    const int64_t gone = roleDomain("Acct Role Gone");
    const int64_t two = roleDomain("Acct Role Two");
    const int64_t both = insert("name=acct-user-both\nacl=Acct Role Gone,Acct Role Two\n"
                                "min_create_rights=Acct Role Gone,Acct Role Two\n");
    const int64_t only = insert("name=acct-user-only\nacl=Acct Role Gone\nmin_create_rights=Acct Role Gone\n");
    const int64_t other = insert("name=acct-user-other\nacl=Acct Role Two\nmin_create_rights=Acct Role Two\n");

    committed(admin, [&] { CPrstDomain::load(admin, gone)->deletePersistent(); });
    CPrstTransaction transaction(admin);
    const auto left = load(both)->minCreateRights();
    ASSERT_EQ(1u, left.size());
    EXPECT_EQ(two, left.front().id());
    // No bare id of the deleted domain shows in the text form.
    EXPECT_EQ("Acct Role Two", field(load(both)->string(), "min_create_rights"));
    EXPECT_TRUE(load(only)->minCreateRights().empty());
    EXPECT_EQ("Acct Role Two", field(load(other)->string(), "min_create_rights"));
}

TEST_F(PrstUserAccountTest, TheSuperUserIsAccountZero)
{
    {
        CPrstTransaction transaction(admin);
        if (CPrstUserAccount::find(admin, 0)) GTEST_SKIP() << "account 0 exists already";
        auto account = CPrstUserAccount::createTransient(admin);
        account->setSuperUser();
        account->commit();
        EXPECT_EQ(0, account->accessID().id());
        transaction.commit();
    }
    CPrstTransaction transaction(admin);
    auto stored = CPrstUserAccount::findByName(admin, "Admin");
    ASSERT_TRUE(stored);
    EXPECT_EQ(0, stored->oid());
    EXPECT_EQ("Administrator", stored->description());
}

TEST_F(PrstUserAccountTest, AccessControlsFromTextNeedBothKeys)
{
    const std::string one = std::to_string(roleDomain("Acct Role One"));
    CPrstTransaction transaction(admin);
    auto control = CPrstDeviceAccessControl::createTransient(admin);
    EXPECT_EQ("Failed to set an access control record from text. / Missing 'domain_id' key.",
              failure([&] { control->string("access_id=5\n"); }));
    EXPECT_EQ("Failed to set an access control record from text. / Missing 'access_id' key.",
              failure([&] { control->string("domain_id=5\n"); }));
    auto user = CPrstUserAccessControl::createTransient(admin);
    EXPECT_EQ("Failed to set an access control record from text. / Missing 'domain_id' key.",
              failure([&] { user->string("access_id=5\n"); }));
    user->string("access_id=5\nrole_id=" + one + "\n");
    const osk::CStringMap text = user->attributes();
    EXPECT_EQ("5", text.get_string("access_id"));
    EXPECT_EQ(one, text.get_string("role_id"));
    EXPECT_FALSE(text.defined("domains")) << "access controls are not secured";
}

TEST_F(PrstUserAccountTest, AccessControlRoundTripsThroughTheDatabase)
{
    const int64_t one = roleDomain("Acct Role One");
    int64_t oid = -1;
    committed(admin, [&] {
        auto control = CPrstUserAccessControl::createTransient(admin);
        control->string("access_id=424242\nrole_id=" + std::to_string(one) + "\n");
        control->commit();
        oid = control->oid();
    });
    CPrstTransaction transaction(admin);
    auto control = CPrstUserAccessControl::load(admin, oid);
    EXPECT_EQ(424242, control->accessID().id());
    EXPECT_EQ(one, control->domainID().id());
    auto target = control->target();
    ASSERT_TRUE(target);
    EXPECT_EQ("Acct Role One", target->name());
    control->deletePersistent();
    transaction.commit();
}

} // namespace
