#include "tftp/tftp_server/tftp_config_validator.h"

#include <gtest/gtest.h>

#include <string>

#include "engine_fixture.h"
#include "extended/exception.h"
#include "tftp/tftp_base/tftp_eval.h"
#include "tftp/tftp_server/tftp_config_names.h"

namespace {

class TFTPConfigValidatorTest : public ::testing::Test {
protected:
    // The reason a value is refused for key; empty when it is accepted.
    std::string refusal(const std::string& key, const std::string& value)
    {
        try {
            _validator.check(key, value);
        } catch (const osk::CException& e) {
            EXPECT_EQ("Cannot validate configuration key '" + key + "'.", e.whatMsg().formatted());
            return e.whyMsg().formatted();
        }
        return std::string();
    }
    bool accepted(const std::string& key, const std::string& value) { return refusal(key, value).empty(); }

    CTFTPEval _eval;
    CTFTPConfigValidator _validator{CTFTPConfigNames::service(), _eval};
};

TEST_F(TFTPConfigValidatorTest, NumbersMustBeWholeAndInRange)
{
    EXPECT_TRUE(accepted("tftp.engine.port", "0"));
    EXPECT_TRUE(accepted("tftp.engine.port", "65535"));
    EXPECT_TRUE(accepted("tftp.engine.port", " 69 "));
    EXPECT_EQ("65536 is outside the range 0 to 65535.", refusal("tftp.engine.port", "65536"));
    EXPECT_EQ("-1 is outside the range 0 to 2147483647.", refusal("tftp.max_connections", "-1"));
    EXPECT_EQ("'lots' is not a whole number.", refusal("tftp.max_connections", "lots"));
    EXPECT_EQ("'1.5' is not a whole number.", refusal("tftp.max_retransmits", "1.5"));
    EXPECT_FALSE(accepted("tftp.max_connections_per_client", "99999999999999999999"));
    // Block sizes follow RFC 2348; permissions never carry set-id bits.
    EXPECT_FALSE(accepted("tftp.max_blocksize", "7"));
    EXPECT_FALSE(accepted("tftp.max_blocksize", "65465"));
    EXPECT_TRUE(accepted("tftp.max_blocksize", "65464"));
    // Windows hold 1 to 65535 blocks (RFC 7440).
    EXPECT_FALSE(accepted("tftp.max_windowsize", "0"));
    EXPECT_FALSE(accepted("tftp.max_windowsize", "65536"));
    EXPECT_TRUE(accepted("tftp.max_windowsize", "65535"));
    EXPECT_TRUE(accepted("tftp.engine.busy_poll", "0"));
    EXPECT_TRUE(accepted("tftp.engine.busy_poll", "1ms"));
    EXPECT_FALSE(accepted("tftp.engine.busy_poll", "1001us"));
    EXPECT_TRUE(accepted("tftp.allow_windowsize_option", "false"));
    EXPECT_TRUE(accepted("tftp.upload.permissions", "432"));
    EXPECT_FALSE(accepted("tftp.upload.permissions", "2048"));
    // An empty value reads as the default.
    EXPECT_TRUE(accepted("tftp.max_connections", ""));
}

TEST_F(TFTPConfigValidatorTest, FlagsAreTrueOrFalseAsTheReadersSpellThem)
{
    for (const char* text : {"true", "TRUE", "True", "false", "FALSE", "False"})
        EXPECT_TRUE(accepted("rconsole.encryption", text)) << text;
    // The flag readers would take these as false without a word.
    for (const char* text : {"yes", "1", "on", "", "tRuE", "true "})
        EXPECT_EQ("'" + std::string(text) + "' is not true or false.", refusal("rconsole.encryption", text));
}

TEST_F(TFTPConfigValidatorTest, DurationsNeedAKnownUnitAndStayInRange)
{
    EXPECT_TRUE(accepted("tftp.timeout", "3s"));
    EXPECT_TRUE(accepted("tftp.timeout", "3"));
    EXPECT_TRUE(accepted("tftp.timeout", "250ms"));
    EXPECT_TRUE(accepted("tftp.max_timeout", "255s"));
    EXPECT_EQ("256s is outside the range 1ms to 255s.", refusal("tftp.max_timeout", "256s"));
    EXPECT_EQ("0s is outside the range 1ms to 255s.", refusal("tftp.timeout", "0s"));
    EXPECT_FALSE(accepted("tftp.timeout", "999us"));
    EXPECT_EQ("'3 minutes' is not a duration (a whole number with the unit s, ms or us).",
              refusal("tftp.timeout", "3 minutes"));
    EXPECT_FALSE(accepted("tftp.timeout", "s"));
    EXPECT_FALSE(accepted("tftp.timeout", "1s2"));
    EXPECT_FALSE(accepted("tftp.timeout", "99999999999999999s"));
}

TEST_F(TFTPConfigValidatorTest, TheVirtualRootIsADirectoryBelowTheSystemRootWithoutClimbing)
{
    EXPECT_TRUE(accepted("tftp.virtual_root", "/srv/tftp"));
    EXPECT_TRUE(accepted("tftp.virtual_root", "/srv/tftp/"));
    EXPECT_TRUE(accepted("tftp.virtual_root", "/srv/tftp..old"));
    EXPECT_EQ("The file system's root cannot be the virtual root.", refusal("tftp.virtual_root", "/"));
    EXPECT_FALSE(accepted("tftp.virtual_root", "//"));
    EXPECT_EQ("The virtual root cannot be empty.", refusal("tftp.virtual_root", ""));
    // A relative root is taken from the daemon's working directory.
    EXPECT_TRUE(accepted("tftp.virtual_root", "example/tftproot"));
    EXPECT_FALSE(accepted("tftp.virtual_root", "../tftproot"));
    EXPECT_EQ("The virtual root '/srv/../etc' contains a '..' component.",
              refusal("tftp.virtual_root", "/srv/../etc"));
    EXPECT_FALSE(accepted("tftp.virtual_root", "/srv/.."));
    // An expression is checked by parsing it; its result is per request.
    EXPECT_TRUE(accepted("tftp.virtual_root", "[$IF($STARTSWITH($FILE.NAME(), \"cm/\"), \"/a\", \"/b\")]"));
    EXPECT_EQ(0u, refusal("tftp.virtual_root", "[ ( ]").find("The expression does not parse: "));
    EXPECT_FALSE(accepted("tftp.virtual_root", "[/srv/tftp"));
}

TEST_F(TFTPConfigValidatorTest, ExpressionsMustParseAndBeClosed)
{
    EXPECT_TRUE(accepted("tftp.preprocessor", ""));
    EXPECT_TRUE(accepted("tftp.preprocessor", "[$FILE.NAME(\"x\")]"));
    EXPECT_EQ("The expression does not parse: Mismatched parentheses.", refusal("tftp.preprocessor", "[ (1 ]"));
    EXPECT_EQ("'[1 + 2' is not a complete expression: it must begin with '[' and end with ']'.",
              refusal("tftp.preprocessor", "[1 + 2"));
    EXPECT_FALSE(accepted("tftp.preprocessor", "1 + 2]"));
    // The account name is an expression too, or a fixed name.
    EXPECT_TRUE(accepted("provisioner.account.name", "[$SRC.IP()]"));
    EXPECT_TRUE(accepted("provisioner.account.name", "lab-modem"));
    EXPECT_EQ("The expression does not parse: Mismatched parentheses.",
              refusal("provisioner.account.name", "[$SRC.IP(]"));
}

TEST_F(TFTPConfigValidatorTest, TheDatabaseCacheKeepsAnswersUpToAnHourAndAMillionOfThem)
{
    EXPECT_TRUE(accepted("system.db.cache.time", "0"));
    EXPECT_TRUE(accepted("system.db.cache.time", "250ms"));
    EXPECT_TRUE(accepted("system.db.cache.time", "3600s"));
    EXPECT_EQ("3601s is outside the range 0s to 3600s.", refusal("system.db.cache.time", "3601s"));
    EXPECT_TRUE(accepted("system.db.cache.entries", "1000000"));
    EXPECT_EQ("0 is outside the range 1 to 1000000.", refusal("system.db.cache.entries", "0"));
}

TEST_F(TFTPConfigValidatorTest, DecisionsAreBooleanLiteralsOrExpressions)
{
    for (const char* text : {"true", "false", "yes", "No", "1", "0", "[true]", "[$SRC.IP() == 10.0.0.1]"})
        EXPECT_TRUE(accepted("tftp.access.allow", text)) << text;
    // Stored as literals, these would refuse every request.
    EXPECT_EQ("'maybe' is neither true nor false nor an expression in square brackets.",
              refusal("tftp.access.allow", "maybe"));
    EXPECT_FALSE(accepted("tftp.access.allow", "[true"));
    EXPECT_FALSE(accepted("tftp.overwrite.allow", "[ ( ]"));
    EXPECT_FALSE(accepted("tftp.overwrite.allow", ""));
}

TEST_F(TFTPConfigValidatorTest, PluginNamesNeverHoldAPath)
{
    EXPECT_TRUE(accepted("system.plugins", "zelvo_local_fs,tftp_rconsole"));
    EXPECT_TRUE(accepted("system.plugins", "libzelvo_udp_publisher.so, zelvo-x+1"));
    EXPECT_TRUE(accepted("system.plugins", ""));
    EXPECT_EQ("'../../tmp/evil' is not a plug-in name: plug-ins are named by their file name, without a path.",
              refusal("system.plugins", "zelvo_local_fs,../../tmp/evil"));
    for (const char* text : {"/tmp/evil.so", "..", "sub/x", "a\\b", "x y", "evil;rm"})
        EXPECT_FALSE(accepted("system.plugins", text)) << text;
}

TEST_F(TFTPConfigValidatorTest, KeysWithoutARuleOrOutsideTheCatalogueAreLeftToTheirReaders)
{
    EXPECT_TRUE(accepted("system.log.targets", "anything at all"));
    EXPECT_TRUE(accepted("tftp.virtual_root.enforce", "whatever"));
    EXPECT_TRUE(accepted("some_plugin.setting", "[ ( "));
}

TEST_F(TFTPConfigValidatorTest, CheckAllStopsAtTheFirstBadKeyInKeyOrder)
{
    osk::CStringMap config("tftp.virtual_root=/srv\ntftp.timeout=never\nrconsole.port=99999\n");
    try {
        _validator.checkAll(config);
        FAIL() << "accepted";
    } catch (const osk::CException& e) {
        EXPECT_EQ("Cannot validate configuration key 'rconsole.port'.", e.whatMsg().formatted());
    }
}

// The start of the service runs the same checks: a value that would break
// it stops the start with the key named.
class TFTPStartValidationTest : public engine_test::CEngineFixture {};

TEST_F(TFTPStartValidationTest, TheStartRefusesAValueThatBreaksItsRule)
{
    for (const auto& bad : std::vector<std::pair<std::string, std::string>>{
             {"tftp.virtual_root", "/"},
             {"system.plugins", "../../tmp/evil"},
             {"tftp.access.allow", "[1 +"},
             {"tftp.max_connections_per_client", "-3"}}) {
        try {
            start({{bad.first, bad.second}});
            ADD_FAILURE() << bad.first << " started";
        } catch (const osk::CException& e) {
            EXPECT_EQ("Cannot validate configuration key '" + bad.first + "'.", e.whatMsg().formatted());
        }
        stop();
    }
    start();
    EXPECT_NE(0, _requestPort);
}

} // namespace

namespace {

TEST(TFTPConfigValidatorProblemsTest, ListsEveryUnknownKeyAndBrokenValueInKeyOrder)
{
    const CTFTPEval eval;
    const CTFTPConfigValidator validator(CTFTPConfigNames::service(), eval);
    const osk::CStringMap config(
        "tftp.timeout=soon\n# a comment=1\ntftp.bogus=1\ntftp.engine.port=69\ntftp.access.allow=[(]\n");
    const auto problems = validator.problems(config);
    ASSERT_EQ(3u, problems.size());
    EXPECT_EQ("tftp.access.allow", problems[0].key);
    EXPECT_NE(std::string::npos, problems[0].text.find("The expression does not parse"));
    EXPECT_EQ("tftp.bogus", problems[1].key);
    EXPECT_EQ("Unrecognized key.", problems[1].text);
    EXPECT_EQ("tftp.timeout", problems[2].key);
    EXPECT_EQ("'soon' is not a duration (a whole number with the unit s, ms or us).", problems[2].text);
    // The start's own check lets a key it does not know pass (a plug-in may
    // read it) and stops at the first broken value.
    EXPECT_THROW(validator.checkAll(config), osk::CException);
    EXPECT_TRUE(validator.problems(osk::CStringMap("tftp.engine.port=69\n")).empty());
}

} // namespace
