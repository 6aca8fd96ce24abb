#include "tftp/tftp_base/tftp_eval.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "extended/async_log.h"
#include "extended/config.h"
#include "extended/exception.h"
#include "standard/string_map.h"
#include "tftp/tftp_base/tftp_expression.h"
#include "tftp/tftp_interfaces/i_tftp_provisioner.h"
#include "unit/extended/test_controller.h"
#include "unit/security/expect_failure.h"

namespace {

using osk::CVariant;
using T = osk::CVariantType;

// raises() of the TFTP base module.
::testing::AssertionResult raisesBase(const std::function<void()>& call, const std::string& what,
                                      const std::string& why)
{
    return raises(call, what, why, "tftp_base");
}

// Records its calls and answers with the joined arguments.
class CRecordingProvisioner : public CITFTPProvisioner {
public:
    std::string name() const override { return "recording"; }
    void keyValue(const std::string& a1, const std::string& a2, const std::string& a3,
                  osk::CMultiVariant& results) override
    {
        last = "kv:" + a1 + "," + a2 + "," + a3;
        results.push(CVariant(last));
    }
    void keyValueExists(const std::string& a1, const std::string& a2, const std::string& a3, const std::string& a4,
                        osk::CMultiVariant& results) override
    {
        last = "exists:" + a1 + "," + a2 + "," + a3 + "," + a4;
        results.push(CVariant(a4 == "yes"));
    }
    void keyValueManagedRange(const std::string& a1, const std::string& a2, const std::string& a3,
                              const std::string& a4, const std::string& a5, osk::CMultiVariant& results) override
    {
        last = "range:" + a1 + "," + a2 + "," + a3 + "," + a4 + "," + a5;
        results.push(CVariant(int64_t(42)));
    }
    std::string last;
};

class TFTPEvalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.reset(new CState(7, CState::need_ack, osk::CEndpoint(std::string("192.0.2.10:3456")), 2500000, 1468));
        state->dstEndpoint = osk::CEndpoint(std::string("[2001:db8::1]:69"));
        state->reqFile = "cm/modem.cfg";
        state->fqpn = "/srv/tftp/cm/modem.cfg";
        state->tsize = 12345;
        state->binary = true;
        state->transmitting = true;
        evaluator.state(state);
    }
    CVariant eval(const std::string& text)
    {
        CVariant result;
        evaluator.execute(result, evaluator.parse(text));
        return result;
    }

    CTFTPEval evaluator;
    CStatePtr state;
};

TEST_F(TFTPEvalTest, EndpointsOfTheTransfer)
{
    EXPECT_EQ("192.0.2.10", eval("$SRC.IP()").string());
    EXPECT_EQ(T::t_ipaddress, eval("$SRC.IP()").type().type());
    EXPECT_EQ(3456, eval("$SRC.PORT()").integer());
    EXPECT_EQ("2001:db8::1", eval("$DST.IP()").string());
    EXPECT_EQ("2001:db8::1", eval("$SERVER.IP()").string());
    EXPECT_EQ(69, eval("$DST.PORT()").integer());
    EXPECT_EQ(69, eval("$SERVER.PORT()").integer());
    EXPECT_TRUE(eval("$SRC.IP() == 192.0.2.10 && $SRC.PORT() > 1024").boolean());
    EXPECT_FALSE(eval("$SRC.IP() == 192.0.2.11").boolean());
    // A reverse lookup always yields a text (the numeric one without a name).
    EXPECT_FALSE(eval("$SRC.FQDN()").string().empty());
    EXPECT_FALSE(eval("$SRC.HOSTNAME()").string().empty());
    EXPECT_TRUE(raisesBase([&] { eval("$SRC.IP(1)"); }, "Cannot execute function $SRC.IP().", "Too many arguments."));
}

TEST_F(TFTPEvalTest, FileAndOptions)
{
    EXPECT_EQ("cm/modem.cfg", eval("$FILE.NAME()").string());
    EXPECT_TRUE(eval("$FILE.NAME(\"cm/other.cfg\")").boolean());
    EXPECT_EQ("cm/other.cfg", state->reqFile);
    EXPECT_TRUE(
        raisesBase([&] { eval("$FILE.NAME(1, 2)"); }, "Cannot execute function $FILE.NAME().", "Too many arguments."));
    EXPECT_EQ("/srv/tftp/cm/modem.cfg", eval("$FILE.FQPN()").string());
    EXPECT_TRUE(
        raisesBase([&] { eval("$FILE.FQPN(1)"); }, "Cannot execute function $FILE.FQPN().", "Too many arguments."));
    EXPECT_EQ(12345, eval("$FILE.SIZE()").integer());
    EXPECT_EQ(12345, eval("$TSIZE()").integer());
    EXPECT_TRUE(raisesBase([&] { eval("$TSIZE(1)"); }, "Cannot execute function $FILE.SIZE()($TSIZE().",
                           "Too many arguments."));
    EXPECT_EQ(1468, eval("$BLKSIZE()").integer());
    EXPECT_EQ(2, eval("$TIMEOUT()").integer());
    state->timeout_usec = 0;
    EXPECT_EQ(0, eval("$TIMEOUT()").integer());
}

TEST_F(TFTPEvalTest, ModeAndDirection)
{
    EXPECT_TRUE(eval("$BINARY()").boolean());
    EXPECT_FALSE(eval("$ASCII()").boolean());
    EXPECT_TRUE(eval("$ASCII(true)").boolean());
    EXPECT_FALSE(state->binary);
    EXPECT_FALSE(eval("$BINARY()").boolean());
    EXPECT_TRUE(eval("$ASCII()").boolean());
    EXPECT_TRUE(eval("$BINARY(1)").boolean());
    EXPECT_TRUE(state->binary);
    EXPECT_TRUE(eval("$DOWNLOAD()").boolean());
    EXPECT_FALSE(eval("$UPLOAD()").boolean());
    state->transmitting = false;
    EXPECT_TRUE(eval("$UPLOAD()").boolean());
}

TEST_F(TFTPEvalTest, PoliciesAndAccount)
{
    EXPECT_TRUE(raisesBase([&] { eval("$PROV.POLICY(\"x\")"); }, "Cannot execute function $PROV.POLICY().",
                           "No policies are available."));
    osk::CStringMap policies;
    policies.string_insert("speed", "10M");
    policies.string_insert("class", "gold");
    evaluator.policies(&policies);
    evaluator.account("acme");
    EXPECT_EQ("acme", eval("$PROV.ACCOUNT()").string());
    EXPECT_EQ("10M", eval("$PROV.POLICY(\"speed\")").string());
    EXPECT_EQ("slow", eval("$PROV.POLICY(\"missing\", \"slow\")").string());
    EXPECT_EQ("last", eval("$PROV.POLICY(\"missing\", \"first\", \"last\")").string());
    EXPECT_EQ(T::t_unknown, eval("$PROV.POLICY(\"missing\")").type().type());
    EXPECT_TRUE(raisesBase([&] { eval("$PROV.POLICY()"); }, "Cannot execute function $PROV.POLICY().",
                           "Not enough arguments."));
    EXPECT_EQ("snmp;speed=10M;nothing=;extra", eval("$PROV.SNMP_POLICY(\"snmp\", \"speed\", \"nothing\", \"extra\")").string());
    EXPECT_TRUE(raisesBase([&] { eval("$PROV.SNMP_POLICY(1, 2)"); }, "Cannot execute function $PROV.SNMP_POLICY().",
                           "Not enough arguments."));
}

// The policy functions report what they set at debug level exactly while
// "debug" is among the log's configured levels, across reconfigurations.
TEST(TFTPEvalDebugTest, PolicyDebugFollowsTheLogLevels)
{
    zelvo_test::CTestController controller;
    osk::CStringMap policies;
    policies.string_insert("speed", "10M");
    CTFTPEval evaluator(&controller);
    evaluator.policies(&policies);
    auto run = [&](const std::string& text) {
        CVariant result;
        evaluator.execute(result, evaluator.parse(text));
    };
    const std::string policyLine = "debug: Setting policy variable: 'speed = 10M'.";
    const std::string snmpLine = "debug: Setting snmp policy variable: 'snmp = snmp;speed=10M;other='.";

    // No log task yet: nothing is reported.
    EXPECT_FALSE(evaluator.debug());
    run("$PROV.POLICY(\"speed\")");
    EXPECT_EQ(0u, controller.countContaining(policyLine));

    controller.config()->set_string("system.log.targets", "null");
    controller.config()->set_string("system.log.levels", "error,debug");
    controller.startLog();
    EXPECT_TRUE(evaluator.debug());
    run("$PROV.POLICY(\"speed\")");
    run("$PROV.SNMP_POLICY(\"snmp\", \"speed\", \"other\")");
    EXPECT_EQ(1u, controller.countContaining(policyLine));
    EXPECT_EQ(1u, controller.countContaining(snmpLine));

    controller.config()->set_string("system.log.levels", "error,info");
    controller.log()->refresh();
    EXPECT_FALSE(evaluator.debug());
    run("$PROV.POLICY(\"speed\")");
    run("$PROV.SNMP_POLICY(\"snmp\", \"speed\", \"other\")");
    EXPECT_EQ(1u, controller.countContaining(policyLine));
    EXPECT_EQ(1u, controller.countContaining(snmpLine));

    controller.config()->set_string("system.log.levels", "*");
    controller.log()->refresh();
    run("$PROV.POLICY(\"speed\")");
    EXPECT_EQ(2u, controller.countContaining(policyLine));
    controller.stopLog();
}

TEST_F(TFTPEvalTest, DatabaseFunctions)
{
    EXPECT_TRUE(raisesBase([&] { eval("$DB.KEYVALUE(1, 2)"); }, "Cannot execute function $DB.KEYVALUE().",
                           "Not enough arguments."));
    EXPECT_TRUE(raisesBase([&] { eval("$DB.KEYVALUE(1, 2, 3)"); }, "Cannot execute function $DB.KEYVALUE().",
                           "No database provider is loaded."));
    EXPECT_TRUE(raisesBase([&] { eval("$DB.KEYVALUE.EXISTS(1, 2, 3, 4)"); },
                           "Cannot execute function $DB.KEYVALUE.EXISTS().", "No database provider is loaded."));
    EXPECT_TRUE(raisesBase([&] { eval("$DB.KEYVALUE.MANAGED_RANGE(1, 2, 3, 4, 5, 6)"); },
                           "Cannot execute function $DB.KEYVALUE.MANAGED_RANGE().", "Too many arguments."));
    CRecordingProvisioner db;
    evaluator.provisioner(&db);
    EXPECT_EQ("kv:t,10.0.0.1,x", eval("$DB.KEYVALUE(\"t\", 10.0.0.1, \"x\")").string());
    EXPECT_TRUE(eval("$DB.KEYVALUE.EXISTS(1, 2, 3, \"yes\")").boolean());
    EXPECT_EQ("exists:1,2,3,yes", db.last);
    EXPECT_EQ(42, eval("$DB.KEYVALUE.MANAGED_RANGE(1, 2, 3, 4, 5)").integer());
    EXPECT_EQ("range:1,2,3,4,5", db.last);
}

TEST_F(TFTPEvalTest, NoStateIsAnError)
{
    CTFTPEval empty;
    CVariant result;
    EXPECT_TRUE(raisesBase([&] { empty.execute(result, empty.parse("$SRC.IP()")); },
                           "Cannot execute function $SRC.IP().", "No transfer is being decided."));
    // The built-in functions are there too.
    empty.execute(result, empty.parse("$UCASE(\"x\")"));
    EXPECT_EQ("X", result.string());
}

TEST_F(TFTPEvalTest, ExpressionPerState)
{
    CTFTPExpression root(evaluator, "[$IF($STARTSWITH($FILE.NAME(), \"cm/\"), \"/srv/tftp/cm\", \"/srv/tftp/other\")]");
    EXPECT_EQ("/srv/tftp/cm", root.value(state).string());
    CStatePtr other(new CState(8, CState::need_data, osk::CEndpoint(std::string("10.1.1.1:1000")), 1000000, 512));
    other->reqFile = "mta/x.bin";
    EXPECT_EQ("/srv/tftp/other", root.value(other).string());
    EXPECT_EQ(other.get(), evaluator.state().get());
    EXPECT_EQ(1u, root.evaluate(state).size());

    CTFTPExpression literal(evaluator, "/srv/tftp");
    EXPECT_EQ("/srv/tftp", literal.value(state).string());

    CTFTPExpression access(evaluator, "[$SRC.IP() == 192.0.2.10 || $SRC.IP() == 10.1.1.1]");
    EXPECT_TRUE(access.value(state).boolean());
    EXPECT_TRUE(access.value(other).boolean());
    access = "[$UPLOAD() && $SRC.IP() == 10.1.1.1]";
    EXPECT_FALSE(access.value(state).boolean());
    other->transmitting = false;
    EXPECT_TRUE(access.value(other).boolean());
}

} // namespace
