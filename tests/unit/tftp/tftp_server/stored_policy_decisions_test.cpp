// The stored policies of the request's account in the engine's decisions:
// provisioner.account.name names the account per request, and
// $PROV.POLICY() reads its policy map in the virtual root, the
// pre-processor and the access rule. The policies come from a table of the
// test in place of the database.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "extended/exception.h"
#include "tftp/tftp_interfaces/i_tftp_stored_policies.h"

namespace {

using namespace engine_test;

// Accounts by name, each with its policies; remembers every name asked.
class CTablePolicies : public CITFTPStoredPolicies {
public:
    policies_ptr policiesOf(const std::string& account) override
    {
        asked.push_back(account);
        if (account == "broken")
            throw OSK_EXCEPTION(osk::CMessage("The database is gone."), osk::CMessage(), "CTablePolicies", "test");
        const auto found = accounts.find(account);
        if (found == accounts.end())
            return std::make_shared<const CTFTPAccountPolicies>(account, CTFTPAccountPolicies::accountUnknown);
        return std::make_shared<const CTFTPAccountPolicies>(account, found->second);
    }

    std::map<std::string, std::vector<CTFTPAccountPolicies::CPolicy>> accounts;
    std::vector<std::string> asked;
};

class StoredPolicyDecisionsTest : public CEngineFixture {
protected:
    void SetUp() override
    {
        CEngineFixture::SetUp();
        writeFile("modem.cfg", "generic");
        writeFile("gold.cfg", "gold");
        _storedPolicies = &table;
    }
    // The file's contents, or "error N text".
    std::string fetch(const std::string& name, const std::string& source = "127.0.0.1")
    {
        CClient client(source.c_str());
        client.send(_requestPort, request(1, name));
        Bytes packet;
        if (!client.recv(packet, 2000)) return "silence";
        if (opcodeOf(packet) == 5) return "error " + std::to_string(blockOf(packet)) + " " + errorText(packet);
        return packet.substr(4);
    }

    CTablePolicies table;
};

// The device's file is named by its policy; without one it keeps its name.
const char* const kPreProcessor = "[$FILE.NAME($PROV.POLICY(\"boot\", $FILE.NAME()))]";

TEST_F(StoredPolicyDecisionsTest, TheAccountsPolicyMapChangesTheFileTheDeviceGets)
{
    table.accounts["127.0.0.1"] = {{"gold", "Premium", 1, "boot=gold.cfg"}, {"base", "All", 9, "boot=modem.cfg"}};
    start({{"provisioner.account.name", "[$SRC.IP()]"}, {"tftp.preprocessor", kPreProcessor}});
    EXPECT_EQ("gold", fetch("modem.cfg"));
    // Another device has no account: the policy's default, its own name.
    EXPECT_EQ("generic", fetch("modem.cfg", "127.0.0.2"));
    EXPECT_EQ((std::vector<std::string>{"127.0.0.1", "127.0.0.2"}), table.asked);
}

TEST_F(StoredPolicyDecisionsTest, EveryRuleOfTheRequestReadsTheSameMap)
{
    ASSERT_EQ(0, ::mkdir((_root + "/premium").c_str(), 0755));
    std::ofstream(_root + "/premium/modem.cfg") << "premium tree";
    table.accounts["modem.cfg"] = {{"p", "D", 1, "root=" + _root + "/premium\nallowed=yes"}};
    table.accounts["other.cfg"] = {{"p", "D", 1, "allowed=no"}};
    writeFile("other.cfg", "other");
    // The account is named by the file; the root and the access rule read
    // its policies.
    start({{"provisioner.account.name", "[$FILE.NAME()]"},
           {"tftp.virtual_root", "[$PROV.POLICY(\"root\", \"" + _root + "\")]"},
           {"tftp.access.allow", "[$PROV.POLICY(\"allowed\", \"no\") == \"yes\"]"}});
    EXPECT_EQ("premium tree", fetch("modem.cfg"));
    EXPECT_EQ("error 2 Access denied (not authorized).", fetch("other.cfg"));
    EXPECT_EQ("error 2 Access denied (not authorized).", fetch("gold.cfg"));
}

TEST_F(StoredPolicyDecisionsTest, WithoutAnAccountKeyTheMapIsEmptyAndNothingIsAsked)
{
    start({{"tftp.preprocessor", kPreProcessor}});
    EXPECT_EQ("generic", fetch("modem.cfg"));
    EXPECT_TRUE(table.asked.empty());
}

TEST_F(StoredPolicyDecisionsTest, AnAccountThatCannotBeReadRefusesTheRequest)
{
    start({{"provisioner.account.name", "broken"}, {"tftp.preprocessor", kPreProcessor}});
    EXPECT_EQ("error 2 Access denied (Cannot evaluate transfer authorization).", fetch("modem.cfg"));
    // The engine goes on, and a failure is not remembered: the next request
    // asks again.
    EXPECT_EQ("error 2 Access denied (Cannot evaluate transfer authorization).", fetch("modem.cfg"));
    EXPECT_EQ((std::vector<std::string>{"broken", "broken"}), table.asked);
}

TEST_F(StoredPolicyDecisionsTest, WithoutStoredPoliciesThePolicyFunctionHasNoMap)
{
    _storedPolicies = nullptr;
    start({{"provisioner.account.name", "[$SRC.IP()]"}, {"tftp.preprocessor", kPreProcessor}});
    EXPECT_EQ("error 2 Access denied (Cannot evaluate pre-processor commands.", fetch("modem.cfg"));
}

TEST_F(StoredPolicyDecisionsTest, AnAccountExpressionThatDoesNotParseStopsTheStart)
{
    EXPECT_THROW(start({{"provisioner.account.name", "[$SRC.IP(]"}}), osk::CException);
}

} // namespace
