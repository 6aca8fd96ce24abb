#include "tftp/tftp_server/tftp_server_config.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "extended/config.h"
#include "extended/exception.h"
#include "tftp/tftp_server/tftp_config_names.h"
#include "tftp/tftp_server/tftp_option_negotiator.h"

namespace {

using Kind = CTFTPServerConfig::expression_kind;

// Reads map and gives the reason text of the configuration error; empty when
// nothing is thrown.
std::string failureReason(const osk::CStringMap& map,
                          const CTFTPServerConfig::expression_parser& parse = CTFTPServerConfig::expression_parser())
{
    CTFTPServerConfig config;
    try {
        config.read(map, parse);
    } catch (const osk::CException& e) {
        EXPECT_EQ("Cannot read configuration file.", e.whatMsg().formatted());
        EXPECT_EQ("CTFTPServer::_readConfig", e.context());
        EXPECT_EQ("tftp_server", e.module());
        EXPECT_EQ(0, e.err_code());
        return e.whyMsg().formatted();
    }
    return std::string();
}

// A parser that refuses exactly one kind of expression.
CTFTPServerConfig::expression_parser refusing(Kind bad)
{
    return [bad](Kind kind, const std::string&) {
        if (kind == bad) throw std::runtime_error("syntax error");
    };
}

osk::CStringMap withRoot(const std::string& extra = std::string())
{
    return osk::CStringMap("tftp.virtual_root=/srv/tftp\n" + extra);
}

TEST(TFTPServerConfigTest, VirtualRootFailures)
{
    EXPECT_EQ("No virtual root path defined. (virtual_root=xxx)", failureReason(osk::CStringMap()));
    // The key is looked up exactly: a legacy name that was never translated
    // does not count.
    EXPECT_EQ("No virtual root path defined. (virtual_root=xxx)",
              failureReason(osk::CStringMap("virtual_root=/srv\n")));
    EXPECT_EQ("The virtual root path cannot be empty. (virtual_root=xxx).",
              failureReason(osk::CStringMap("tftp.virtual_root=\n")));
    // Read as a path: trailing separators go, and a bare "/" leaves nothing.
    EXPECT_EQ("The virtual root path cannot be empty. (virtual_root=xxx).",
              failureReason(osk::CStringMap("tftp.virtual_root=/\n")));
    EXPECT_EQ("Cannot parse the virtual root path (virtual_root=xxx).",
              failureReason(withRoot(), refusing(CTFTPServerConfig::virtualRootExpression)));
}

TEST(TFTPServerConfigTest, ExpressionFailuresNameTheirKey)
{
    EXPECT_EQ("Cannot parse the 'allow_access' key.",
              failureReason(withRoot(), refusing(CTFTPServerConfig::accessExpression)));
    EXPECT_EQ("Cannot parse the 'allow_overwrite' key.",
              failureReason(withRoot(), refusing(CTFTPServerConfig::overwriteExpression)));
    EXPECT_EQ("Cannot parse the 'preprocessor' key.",
              failureReason(withRoot("tftp.preprocessor=x = (\n"),
                            refusing(CTFTPServerConfig::preProcessorExpression)));
    // A framework exception from the parser is reported the same way.
    EXPECT_EQ("Cannot parse the 'allow_access' key.",
              failureReason(withRoot(), [](Kind kind, const std::string&) {
                  if (kind == CTFTPServerConfig::accessExpression)
                      throw OSK_EXCEPTION(osk::CMessage("Bad."), osk::CMessage("Token."), "X::y", "exp_eval");
              }));
}

TEST(TFTPServerConfigTest, ParserSeesEachTextOnceInOrder)
{
    std::vector<std::pair<Kind, std::string>> seen;
    CTFTPServerConfig config;
    config.read(withRoot("tftp.access.allow=ip == 10.0.0.1\ntftp.overwrite.allow=true\ntftp.preprocessor=a=1\n"),
                [&](Kind kind, const std::string& text) { seen.emplace_back(kind, text); });
    const std::vector<std::pair<Kind, std::string>> expected = {
        {CTFTPServerConfig::virtualRootExpression, "/srv/tftp"},
        {CTFTPServerConfig::accessExpression, "ip == 10.0.0.1"},
        {CTFTPServerConfig::overwriteExpression, "true"},
        {CTFTPServerConfig::preProcessorExpression, "a=1"},
    };
    EXPECT_EQ(expected, seen);
    EXPECT_TRUE(config.preProcess());

    // Without a pre-processor the parser is not asked about it.
    seen.clear();
    config.read(withRoot(), [&](Kind kind, const std::string& text) { seen.emplace_back(kind, text); });
    ASSERT_EQ(3u, seen.size());
    EXPECT_NE(CTFTPServerConfig::preProcessorExpression, seen.back().first);
    EXPECT_FALSE(config.preProcess());
}

TEST(TFTPServerConfigTest, DefaultsOfAbsentKeys)
{
    CTFTPServerConfig config;
    config.read(withRoot());
    EXPECT_EQ("/srv/tftp", config.virtualRoot());
    // Without an access rule every transfer is refused.
    EXPECT_EQ("false", config.accessAllow());
    EXPECT_EQ("false", config.overwriteAllow());
    EXPECT_EQ("", config.preProcessor());
    EXPECT_EQ(3000000u, config.limits().timeout_usec);
    EXPECT_EQ(1000000u, config.limits().min_timeout_usec);
    EXPECT_EQ(255000000u, config.limits().max_timeout_usec);
    EXPECT_EQ(1u, config.limits().min_blocksize);
    EXPECT_EQ(8192u, config.limits().max_blocksize);
    EXPECT_EQ(5u, config.maxRetransmits());
    EXPECT_TRUE(config.deletePartialUploads());
    EXPECT_FALSE(config.allowNonRootedVFS());
    EXPECT_TRUE(config.limits().allow_blocksize_option);
    EXPECT_TRUE(config.limits().allow_timeout_option);
    EXPECT_TRUE(config.limits().allow_tsize_option);
    EXPECT_TRUE(config.limits().allow_windowsize_option);
    EXPECT_EQ(64u, config.limits().max_windowsize);
    EXPECT_EQ(50u, config.busyPollUsec());
    EXPECT_EQ("3s", config.timeoutText());
    EXPECT_EQ("5", config.maxRetransmitsText());
    ASSERT_EQ(1u, config.notes().size());
    EXPECT_EQ(osk::CException::info, config.notes()[0].severity);
    EXPECT_EQ("Partial uploads will be automatically purged.", config.notes()[0].message.formatted());
}

TEST(TFTPServerConfigTest, ConfiguredValuesAreRead)
{
    CTFTPServerConfig config;
    config.read(withRoot("tftp.timeout=500ms\ntftp.min_timeout=2\ntftp.max_timeout=90s\n"
                         "tftp.max_retransmits=9\ntftp.min_blocksize=64\ntftp.max_blocksize=1468\n"
                         "tftp.upload.delete_partial=false\ntftp.fdm.allow_non_rooted_vfs=true\n"
                         "tftp.allow_blocksize_option=false\ntftp.allow_timeout_option=False\n"
                         "tftp.allow_tsize_option=no\ntftp.virtual_root.enforce=whatever\n"
                         "tftp.allow_windowsize_option=false\ntftp.max_windowsize=16\n"
                         "tftp.engine.busy_poll=0\n"));
    EXPECT_EQ(500000u, config.limits().timeout_usec);
    EXPECT_EQ(2000000u, config.limits().min_timeout_usec);
    EXPECT_EQ(90000000u, config.limits().max_timeout_usec);
    EXPECT_EQ(9u, config.maxRetransmits());
    EXPECT_EQ(64u, config.limits().min_blocksize);
    EXPECT_EQ(1468u, config.limits().max_blocksize);
    EXPECT_FALSE(config.deletePartialUploads());
    EXPECT_TRUE(config.allowNonRootedVFS());
    EXPECT_FALSE(config.limits().allow_blocksize_option);
    EXPECT_FALSE(config.limits().allow_timeout_option);
    EXPECT_FALSE(config.limits().allow_tsize_option);
    EXPECT_FALSE(config.limits().allow_windowsize_option);
    EXPECT_EQ(16u, config.limits().max_windowsize);
    EXPECT_EQ(0u, config.busyPollUsec());
    EXPECT_EQ("500ms", config.timeoutText());
    EXPECT_EQ("9", config.maxRetransmitsText());
    EXPECT_TRUE(config.notes().empty());
}

TEST(TFTPServerConfigTest, FailedReadKeepsPreviousValues)
{
    CTFTPServerConfig config;
    config.read(withRoot("tftp.max_retransmits=7\n"));
    EXPECT_THROW(config.read(osk::CStringMap("tftp.max_retransmits=2\n")), osk::CException);
    EXPECT_EQ("/srv/tftp", config.virtualRoot());
    EXPECT_EQ(7u, config.maxRetransmits());
}

TEST(TFTPServerConfigTest, MinimumAboveMaximumIsKeptAndLowBoundWins)
{
    CTFTPServerConfig config;
    config.read(withRoot("tftp.min_timeout=10s\ntftp.max_timeout=5s\n"
                         "tftp.min_blocksize=4096\ntftp.max_blocksize=1024\n"));
    EXPECT_EQ(10000000u, config.limits().min_timeout_usec);
    EXPECT_EQ(5000000u, config.limits().max_timeout_usec);
    EXPECT_EQ(4096u, config.limits().min_blocksize);
    EXPECT_EQ(1024u, config.limits().max_blocksize);

    // A requested timeout below the minimum is raised to the minimum: the
    // low bound is tested first, so the smaller maximum does not apply.
    CConnReq req;
    req.operation(CTFTPOpcode::rrq);
    req.file("f");
    req.timeout_sec(2);
    CTFTPPacket packet(512);
    const CTFTPNegotiatedOptions n = CTFTPOptionNegotiator(config.limits()).negotiate(req, packet);
    EXPECT_EQ(10000000u, n.timeout_usec);
}

// Legacy names go through the configuration file reader.
class TFTPLegacyConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zelvo_tftpcfg_XXXXXX";
        ASSERT_NE(nullptr, ::mkdtemp(pattern));
        dir = pattern;
    }
    void TearDown() override
    {
        ::unlink(file().c_str());
        ::rmdir(dir.c_str());
    }
    std::string file() const { return dir + "/tftp.conf"; }

    std::string dir;
};

TEST_F(TFTPLegacyConfigTest, LegacyNamesAreReadAsCurrentKeys)
{
    std::ofstream(file()) << "virtual_root=/var/lib/tftp\nmax_blocksize=1024\ntimeout=4\nupload_perms=384\n"
                             "allow_access=true\ndb_username=sysdba\nlog_outputs=stdout\npassword=abc\n";
    osk::CConfig config("1", "1", file());
    CTFTPConfigNames::addLegacyTranslations(config);
    ASSERT_TRUE(config.read(""));
    EXPECT_FALSE(config.defined("max_blocksize"));
    EXPECT_EQ("1024", config.get_string(CTFTPConfigNames::maxtftpBlksize()));
    EXPECT_EQ("384", config.get_string(CTFTPConfigNames::uploadPerms()));
    EXPECT_EQ("sysdba", config.get_string(osk::CConfigNames::dbUser()));
    EXPECT_EQ("stdout", config.get_string(osk::CConfigNames::logTargets()));
    EXPECT_EQ("abc", config.get_string(osk::CConfigNames::rconsolePassword()));

    CTFTPServerConfig server;
    server.read(config);
    EXPECT_EQ("/var/lib/tftp", server.virtualRoot());
    EXPECT_EQ(1024u, server.limits().max_blocksize);
    EXPECT_EQ(4000000u, server.limits().timeout_usec);
    EXPECT_EQ("true", server.accessAllow());
}

TEST_F(TFTPLegacyConfigTest, EveryLegacyNameTargetsARegisteredKey)
{
    osk::CConfig config("1", "1", file());
    CTFTPConfigNames::addLegacyTranslations(config);
    const CTFTPConfigNames names;
    EXPECT_EQ(57u, config.translations().size());
    for (const auto& entry : config.translations()) {
        // system.log.target.syslog is a legacy target the framework no
        // longer lists among its keys.
        if (entry.second == "system.log.target.syslog") continue;
        EXPECT_TRUE(names.nameExists(entry.second)) << entry.first << " -> " << entry.second;
    }
}

TEST(TFTPConfigNamesTest, CatalogueHoldsEveryKeyWithItsDescription)
{
    const CTFTPConfigNames names;
    const osk::CConfigNames framework;
    EXPECT_EQ(framework.size() + 33u, names.size());
    EXPECT_EQ(30, names.dbValueDefaultSchemaVersionNumber());

    const std::vector<std::string> accessors = {
        CTFTPConfigNames::virtualRoot(),        CTFTPConfigNames::enforceVirtualRoot(),
        CTFTPConfigNames::preProcessor(),       CTFTPConfigNames::transferPort(),
        CTFTPConfigNames::allowOverwrite(),     CTFTPConfigNames::allowAccess(),
        CTFTPConfigNames::deletePartialUploads(), CTFTPConfigNames::allowNonRootedVFS(),
        CTFTPConfigNames::maxConnections(),     CTFTPConfigNames::maxOpenFiles(),
        CTFTPConfigNames::tftpTimeout(),        CTFTPConfigNames::mintftpTimeout(),
        CTFTPConfigNames::maxtftpTimeout(),     CTFTPConfigNames::mintftpBlksize(),
        CTFTPConfigNames::maxtftpBlksize(),     CTFTPConfigNames::maxRetransmits(),
        CTFTPConfigNames::allowTimeoutOption(), CTFTPConfigNames::allowBlksizeOption(),
        CTFTPConfigNames::allowTsizeOption(),   CTFTPConfigNames::pathCreation(),
        CTFTPConfigNames::massageFilenames(),   CTFTPConfigNames::uploadPerms(),
        CTFTPConfigNames::daemonListenOn(),     CTFTPConfigNames::defaultDaemonPort(),
        CTFTPConfigNames::provisionerAccountName(), CTFTPConfigNames::docsisDefs(),
        CTFTPConfigNames::templates(),          CTFTPConfigNames::vfsNames(),
        CTFTPConfigNames::pluginsPath(),        CTFTPConfigNames::maxConnectionsPerClient(),
        CTFTPConfigNames::allowWindowsizeOption(), CTFTPConfigNames::maxWindowsize(),
        CTFTPConfigNames::busyPoll(),
    };
    EXPECT_EQ(33u, std::set<std::string>(accessors.begin(), accessors.end()).size());
    for (const auto& key : accessors) {
        EXPECT_TRUE(names.nameExists(key)) << key;
        EXPECT_FALSE(framework.nameExists(key)) << key;
    }
    EXPECT_EQ("boolean/expression- Whether or not an upload may overwite an existing file.",
              names.get_string(CTFTPConfigNames::allowOverwrite()));
    EXPECT_EQ("int - The maximum number of files that may be open at one time.",
              names.get_string(CTFTPConfigNames::maxOpenFiles()));

    // A configuration with TFTP keys validates against the catalogue.
    EXPECT_NO_THROW(names.validate(osk::CStringMap("tftp.virtual_root=/x\ntftp.engine.port=69\n")));
    EXPECT_THROW(names.validate(osk::CStringMap("tftp.no_such_key=1\n")), osk::CException);
}

TEST(TFTPConfigNamesTest, EachKeyHasOneEntryWithDefaultAndWhenAChangeApplies)
{
    const CTFTPConfigNames& names = CTFTPConfigNames::service();
    for (const auto& described : names) {
        const osk::CConfigKey* entry = names.entry(described.first);
        ASSERT_NE(nullptr, entry) << described.first;
        EXPECT_EQ(described.second, entry->description) << described.first;
    }
    const osk::CStringMap& defaults = names.defaults();
    EXPECT_EQ("3s", defaults.get_string(CTFTPConfigNames::tftpTimeout()));
    EXPECT_EQ("69", defaults.get_string(CTFTPConfigNames::defaultDaemonPort()));
    EXPECT_EQ(0660u, defaults.get_uint16(CTFTPConfigNames::uploadPerms(), 0));
    EXPECT_EQ(20000ul, defaults.get_ulong(CTFTPConfigNames::maxOpenFiles(), 0));
    EXPECT_FALSE(defaults.defined(CTFTPConfigNames::virtualRoot()));  // required
    EXPECT_TRUE(names.nameExists(CTFTPConfigNames::pluginsPath()));

    // The engine reads its keys at start; the request intake, the path
    // creation of uploads and the log read theirs again at each use.
    const osk::CStringMap changes("tftp.max_connections=3\ntftp.upload.create_paths=true\nsystem.log.levels=error\n"
                                  "tftp.timeout=2s\ntftp.engine.port=6969\nsystem.plugins.path=/x\n"
                                  "tftp.access.allow=true");
    const std::vector<std::string> expected = {"system.plugins.path", "tftp.access.allow", "tftp.engine.port",
                                               "tftp.timeout"};
    EXPECT_EQ(expected, names.restartKeys(changes));
}

TEST(TFTPConfigNamesTest, OptionLimitsStartFromTheCatalogueDefaults)
{
    const CTFTPOptionLimits limits;
    EXPECT_EQ(3000000u, limits.timeout_usec);
    EXPECT_EQ(1000000u, limits.min_timeout_usec);
    EXPECT_EQ(255000000u, limits.max_timeout_usec);
    EXPECT_EQ(1u, limits.min_blocksize);
    EXPECT_EQ(8192u, limits.max_blocksize);
    EXPECT_TRUE(limits.allow_blocksize_option && limits.allow_timeout_option && limits.allow_tsize_option);
    const CTFTPServerConfig config;
    EXPECT_EQ("3s", config.timeoutText());
    EXPECT_EQ(5u, config.maxRetransmits());
}

} // namespace
