// TFTP policies on the embedded engine: the packed and unpacked text forms,
// the row and its memberships, the policies of a domain, and a user of one
// domain against the policies of all.
#include "tftp/tftp_database/prst_tftp_policy.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "prst_generic/prst_domain.h"
#include "prst_generic/prst_secured_select.h"
#include "tftp/tftp_database/prst_tftp_context.h"
#include "tftp/tftp_database/prst_tftp_initializer.h"
#include "tftp/tftp_database/prst_tftp_meta_abstract_factory.h"
#include "unit/prst_generic/prst_database_fixture.h"

namespace {

using prsttest::PrstDatabaseTest;

class PrstTFTPPolicyTest : public PrstDatabaseTest {
protected:
    PrstTFTPPolicyTest()
        : packed(factory.createContext(db().session(), db().statements(), CPrstContext::administratorToken())),
          unpacked(factory.createContext(db().session(), db().statements(), CPrstContext::administratorToken(),
                                         CTFTPFormatType(CTFTPFormatType::unpacked)))
    {
        CPrstTFTPInitializer(db().session(), db().statements(), factory).initialize();
    }

    int64_t insert(CPrstContext& context, const osk::CStringMap& attributes)
    {
        int64_t oid = -1;
        committed(context, [&] {
            auto policy = CPrstTFTPPolicy::createTransient(context);
            policy->attributes(attributes);
            policy->commit();
            oid = policy->oid();
        });
        return oid;
    }
    int64_t insert(CPrstContext& context, const std::string& text) { return insert(context, fields(text)); }
    osk::CStringMap loaded(CPrstContext& context, int64_t oid)
    {
        CPrstTransaction transaction(context);
        return CPrstTFTPPolicy::load(context, oid)->attributes();
    }
    std::string storedData(int64_t oid)
    {
        CPrstTransaction transaction(admin);
        return CPrstTFTPPolicy::load(admin, oid)->data();
    }

    CPrstTFTPMetaAbstractFactory factory;
    osk::CTrackedPtr<CPrstTFTPContext> packed;
    osk::CTrackedPtr<CPrstTFTPContext> unpacked;
};

TEST_F(PrstTFTPPolicyTest, ASessionWritesPackedUnlessToldOtherwise)
{
    CPrstTFTPContext plain(db().session(), db().statements(), CPrstContext::administratorToken());
    EXPECT_EQ(CTFTPFormatType::packed, plain.formatType().value());
    CTFTPFormatType format;
    format.string("UNPACKED");
    plain.formatType(format);
    EXPECT_EQ(CTFTPFormatType::unpacked, plain.formatType().value());
    // A context of the generic classes has no format of its own: packed.
    EXPECT_EQ(CTFTPFormatType::packed, CPrstTFTPContext::formatOf(admin).value());
}

TEST_F(PrstTFTPPolicyTest, PackedTextCarriesTheDataInOneAttribute)
{
    CPrstTransaction transaction(*packed);
    auto policy = CPrstTFTPPolicy::createTransient(*packed);
    policy->data("tftp.root=/srv/a\n");
    policy->string("name=Packed\ndescription=one entry\nenabled=false\n");
    const std::string text = policy->string();
    EXPECT_EQ("tftp.root=/srv/a", field(text, "data"));
    EXPECT_EQ("false", field(text, "enabled"));
    EXPECT_EQ("Administrators", field(text, "domains"));
    auto copy = CPrstTFTPPolicy::createTransient(*packed);
    copy->string(text);
    EXPECT_EQ(text, copy->string());
    EXPECT_EQ("tftp.root=/srv/a", copy->data());

    // Several entries travel as one multi-line value of the attribute map.
    policy->data("a=1\nb=2\n\n");
    const osk::CStringMap attributes = policy->attributes();
    EXPECT_EQ("a=1\nb=2", attributes.get_string("data"));
    auto other = CPrstTFTPPolicy::createTransient(*packed);
    other->attributes(attributes);
    EXPECT_EQ("2", other->dataEntries().get_string("b"));
    EXPECT_EQ(attributes.string(), other->attributes().string());
}

TEST_F(PrstTFTPPolicyTest, UnpackedTextCarriesOneAttributePerEntry)
{
    CPrstTransaction transaction(*unpacked);
    auto policy = CPrstTFTPPolicy::createTransient(*unpacked);
    policy->string("name=Unpacked\ndata tftp.root=/srv/b\ndata tftp.blksize=1428\n");
    EXPECT_EQ("/srv/b", policy->dataEntries().get_string("tftp.root"));
    const std::string text = policy->string();
    EXPECT_EQ("/srv/b", field(text, "data tftp.root"));
    EXPECT_EQ("1428", field(text, "data tftp.blksize"));
    EXPECT_FALSE(fields(text).defined("data"));
    auto copy = CPrstTFTPPolicy::createTransient(*unpacked);
    copy->string(text);
    EXPECT_EQ(text, copy->string());
    EXPECT_EQ(policy->dataEntries().string(), copy->dataEntries().string());
}

TEST_F(PrstTFTPPolicyTest, PackedAndUnpackedRoundTripThroughTheDatabase)
{
    osk::CStringMap written;
    written.set_string("name", "Both Ways");
    written.set_string("description", "written packed");
    written.set_string("data", "tftp.root=/srv/c\ntftp.timeout=3");
    const int64_t oid = insert(*packed, written);

    const osk::CStringMap asPacked = loaded(*packed, oid);
    EXPECT_EQ(written.get_string("data"), asPacked.get_string("data"));
    EXPECT_EQ("Both Ways", asPacked.get_string("name"));
    EXPECT_EQ("true", asPacked.get_string("enabled"));
    EXPECT_EQ(std::to_string(oid), asPacked.get_string("oid"));

    const osk::CStringMap asUnpacked = loaded(*unpacked, oid);
    EXPECT_EQ("/srv/c", asUnpacked.get_string("data tftp.root"));
    EXPECT_EQ("3", asUnpacked.get_string("data tftp.timeout"));
    // The unpacked text written back as it is changes nothing.
    committed(*unpacked, [&] {
        auto policy = CPrstTFTPPolicy::load(*unpacked, oid);
        policy->attributes(asUnpacked);
        policy->commit();
    });
    EXPECT_EQ(withoutModTime(asUnpacked.string()), withoutModTime(loaded(*unpacked, oid).string()));
    EXPECT_EQ(written.get_string("data"), loaded(*packed, oid).get_string("data"));

    // A policy written unpacked reads back packed.
    const int64_t other = insert(*unpacked, "name=Unpacked Write\ndata x=1\ndata y=2\n");
    EXPECT_EQ("x=1\ny=2", loaded(*packed, other).get_string("data"));
}

TEST_F(PrstTFTPPolicyTest, AnUnpackedSessionRefusesPackedDataAndChangesNothing)
{
    const int64_t oid = insert(*packed, "name=Refuse Packed\ndescription=before\ndata=k=v\n");
    const osk::CStringMap before = loaded(*packed, oid);
    {
        CPrstTransaction transaction(*unpacked);
        auto policy = CPrstTFTPPolicy::load(*unpacked, oid);
        const std::string text = policy->string();
        EXPECT_TRUE(raises([&] { policy->string("description=after\ndata=k=w\n"); },
                           "Cannot set policy record from text.",
                           "Packed format is not supported in an unpacked session.", "tftp_database"));
        EXPECT_EQ(text, policy->string());
        policy->commit();
        transaction.commit();
    }
    EXPECT_EQ("before", loaded(*packed, oid).get_string("description"));
    EXPECT_EQ(before.get_string("data"), loaded(*packed, oid).get_string("data"));
}

TEST_F(PrstTFTPPolicyTest, AnUnpackedUpdateMergesAndRemovesEntries)
{
    const int64_t oid = insert(*packed, "name=Merge\ndata=keep=1\n");
    committed(*packed, [&] {
        auto policy = CPrstTFTPPolicy::load(*packed, oid);
        policy->data("keep=1\ndrop=2\nchange=3\n");
        policy->commit();
    });
    updateText<CPrstTFTPPolicy>(*unpacked, oid, "-data drop\ndata change=4\ndata new=5\n");
    osk::CStringMap entries;
    entries.set(storedData(oid));
    EXPECT_EQ("1", entries.get_string("keep"));
    EXPECT_FALSE(entries.defined("drop"));
    EXPECT_EQ("4", entries.get_string("change"));
    EXPECT_EQ("5", entries.get_string("new"));
    EXPECT_EQ(3u, entries.size());
}

// Found by fuzz_policy_text: stored data that holds a key twice showed both
// values unpacked, but setting the key replaced only the first, and the
// text written back lost the second.
TEST_F(PrstTFTPPolicyTest, AnUnpackedEntryReplacesEveryStoredValueOfItsKey)
{
    CPrstTransaction transaction(*unpacked);
    auto policy = CPrstTFTPPolicy::createTransient(*unpacked);
    policy->data("k=a\nk=b\nother=c\n");
    const osk::CStringMap shown = policy->attributes();
    EXPECT_EQ(2u, shown.count("data k"));
    auto copy = CPrstTFTPPolicy::createTransient(*unpacked);
    copy->attributes(shown);
    EXPECT_EQ(shown.string(), copy->attributes().string());

    policy->string("data k=one\n");
    const osk::CStringMap entries = policy->dataEntries();
    EXPECT_EQ(1u, entries.count("k"));
    EXPECT_EQ("one", entries.get_string("k"));
    EXPECT_EQ("c", entries.get_string("other"));
}

TEST_F(PrstTFTPPolicyTest, MembershipsSelectTheDomainsPoliciesAndGoWithThePolicy)
{
    const int64_t lab = domain("Policy Lab");
    const int64_t first = insert(*packed, "name=Lab B\ndomains=Policy Lab\n");
    const int64_t second = insert(*packed, "name=Lab A\ndomains=Policy Lab\n");
    insert(*packed, "name=Not Lab\n");
    EXPECT_EQ("Administrators,Policy Lab", loaded(*packed, first).get_string("domains"));
    {
        CPrstTransaction transaction(*packed);
        auto policies = CPrstTFTPPolicy::selectByDomain(*packed, lab);
        ASSERT_EQ(2u, policies.size());
        EXPECT_EQ(second, policies[0]->oid());
        EXPECT_EQ(first, policies[1]->oid());
    }
    committed(*packed, [&] { CPrstTFTPPolicy::load(*packed, first)->deletePersistent(); });
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM tftp_policy WHERE OID = ?", {first}));
    EXPECT_EQ(0,
              scalar("SELECT COUNT(*) FROM osk_domain_id WHERE SRC_PK = ? AND SRC_TABLE LIKE '%tftp_policy'", {first}));
    CPrstTransaction transaction(*packed);
    EXPECT_EQ(1u, CPrstTFTPPolicy::selectByDomain(*packed, lab).size());
}

TEST_F(PrstTFTPPolicyTest, AUserOfOneDomainReadsItsPoliciesAndWritesOnlyWithTheRight)
{
    const int64_t five = domain("Policy Five");
    const int64_t mine = insert(*packed, "name=Five Policy\ndata=k=five\ndomains=Policy Five\n");
    insert(*packed, "name=Other Policy\ndata=k=other\n");

    osk::CUserAccessToken reader;
    reader.grantAccess(osk::CDomainID(five), "policy", osk::CAccessRights(osk::CAccessRights::read));
    auto user = factory.createContext(db().session(), db().statements(), reader);
    const auto visible = [&](CPrstContext& context) {
        CPrstTransaction transaction(context, CDBConstants::READ_ONLY_ACCESS);
        std::set<std::string> names;
        for (const auto& policy : CPrstSecuredSelect::select<CPrstTFTPPolicy>(context)) names.insert(policy->name());
        return names;
    };
    const std::set<std::string> seen = visible(*user);
    EXPECT_EQ(1u, seen.count("Five Policy"));
    EXPECT_EQ(0u, seen.count("Other Policy"));
    const std::set<std::string> all = visible(*packed);
    EXPECT_EQ(1u, all.count("Five Policy"));
    EXPECT_EQ(1u, all.count("Other Policy"));

    {
        CPrstTransaction transaction(*user);
        auto policy = CPrstTFTPPolicy::load(*user, mine);
        policy->string("data=k=changed\n");
        EXPECT_THROW(policy->commit(), osk::CException);
        transaction.commit();
    }
    EXPECT_EQ("k=five", storedData(mine));

    osk::CUserAccessToken writer = reader;
    writer.grantAccess(osk::CDomainID(five), "policy", osk::CAccessRights(osk::CAccessRights::write));
    user->token(writer);
    updateText<CPrstTFTPPolicy>(*user, mine, "data=k=changed\n");
    EXPECT_EQ("k=changed", storedData(mine));
}

TEST_F(PrstTFTPPolicyTest, TheInitializerAddsPoliciesToTheGenericClasses)
{
    EXPECT_EQ("CPrstTFTPPolicy", factory.classOfFormalName("policy"));
    EXPECT_EQ("CPrstDomain", factory.classOfFormalName("domain"));
    EXPECT_TRUE(db().session().prototypes().columnDefs("tftp_policy").isDefined("DATA"));
    CPrstTransaction transaction(*packed);
    EXPECT_EQ("policy", factory.createTransient("CPrstTFTPPolicy", *packed)->classSpec().formalName());
}

} // namespace
