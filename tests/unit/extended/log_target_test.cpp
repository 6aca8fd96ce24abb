#include <gtest/gtest.h>
#include <syslog.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "extended/exception.h"
#include "extended/ext_file_target.h"
#include "extended/local_syslog_target.h"
#include "extended/log_facility.h"
#include "extended/log_tls.h"
#include "extended/null_target.h"
#include "extended/remote_syslog_target.h"
#include "extended/std_out_target.h"
#include "extended/wild_mat.h"
#include "standard/sock_dgram.h"
#include "stdout_capture.h"
#include "support/thrown.h"

namespace {

using osk::CException;

std::string failureOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const CException& e) {
        return e.printableError();
    }
    return "no exception";
}

void emit(osk::CLogTarget& target, uint32_t severity, const std::string& text, const std::string& task = "my-task",
          const std::string& module = "standard")
{
    target.output("host1", "zelvo", 42, task, module, osk::CLogFacility(), severity, 7, 0, text);
}

// "[names] [date time] [task] [thread] [module] text"
const std::string kTimePart = R"(\[[^\]]+ [0-9:]+\])";

TEST(WildMatTest, MatchesShellPatterns)
{
    using osk::CWildMat;
    EXPECT_TRUE(CWildMat::match("*", ""));
    EXPECT_TRUE(CWildMat::match("a*c", "abbbc"));
    EXPECT_TRUE(CWildMat::match("a*c", "ac"));
    EXPECT_FALSE(CWildMat::match("a*c", "acb"));
    EXPECT_TRUE(CWildMat::match("*error*", "[error] [x] disk"));
    EXPECT_TRUE(CWildMat::match("?b?", "abc"));
    EXPECT_FALSE(CWildMat::match("?b?", "abcd"));
    EXPECT_TRUE(CWildMat::match("[a-c]x", "bx"));
    EXPECT_FALSE(CWildMat::match("[!a-c]x", "bx"));
    EXPECT_TRUE(CWildMat::match("[]]", "]"));
    EXPECT_TRUE(CWildMat::match("\\[x\\]", "[x]"));
    EXPECT_FALSE(CWildMat::match("[abc", "a"));
    EXPECT_TRUE(CWildMat::match("*a*b*c*", "xxaxxbxxcxx"));
    // Many stars against a long non-matching text stays fast (no blow-up).
    EXPECT_FALSE(CWildMat::match("*a*a*a*a*a*a*a*b", std::string(2000, 'a')));
}

TEST(LogFacilityTest, NamesAndNumbers)
{
    EXPECT_EQ(3, osk::CLogFacility("daemon").facility());
    EXPECT_EQ(LOG_DAEMON, osk::CLogFacility("daemon").syslogValue());
    EXPECT_EQ(LOG_LOCAL5, osk::CLogFacility("local5").syslogValue());
    EXPECT_EQ("local7", osk::CLogFacility(23).string());
    EXPECT_EQ("auth", osk::CLogFacility(" auth ").string());
    EXPECT_EQ("9", osk::CLogFacility(9).string());
    EXPECT_EQ("Cannot parse log facility 'lpr7'. (Unknown facility name.)",
              failureOf([] { osk::CLogFacility("lpr7"); }));
    EXPECT_NE("no exception", failureOf([] { osk::CLogFacility("24"); }));
}

TEST(StdOutTargetTest, WritesFormattedRawAndFilteredLines)
{
    osk::CStdOutTarget target;
    target.reconfigure("");
    zelvo_test::CStdoutCapture capture;
    emit(target, CException::error | CException::audit, "Disk is full.");
    target.reconfigure("raw=true");
    emit(target, CException::info, "Only the text.");
    target.reconfigure("raw=false\nwildcard=*[[]warning]*, *keep*");
    emit(target, CException::warning, "kept by severity");
    emit(target, CException::info, "dropped");
    emit(target, CException::info, "keep me");
    capture.restore();

    const std::string text = capture.text();
    const std::regex expected("\\[error,audit\\] " + kTimePart +
                              " \\[my-task\\] \\[42\\] \\[standard\\] Disk is full\\.\n"
                              "Only the text\\.\n"
                              "\\[warning\\] " + kTimePart + " \\[my-task\\] \\[42\\] \\[standard\\] kept by severity\n"
                              "\\[info\\] " + kTimePart + " \\[my-task\\] \\[42\\] \\[standard\\] keep me\n");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

class FileTargetTest : public ::testing::Test {
protected:
    void SetUp() override { _path = "/tmp/zelvo_file_target_" + std::to_string(::getpid()) + ".log"; }
    void TearDown() override
    {
        std::remove(_path.c_str());
        osk::CExtFileTarget::nameEvaluator(osk::CExtFileTarget::evaluator_t());
    }
    std::vector<std::string> lines() const
    {
        std::ifstream in(_path);
        std::vector<std::string> all;
        for (std::string line; std::getline(in, line);) all.push_back(line);
        return all;
    }
    std::string _path;
};

TEST_F(FileTargetTest, AppendsOneLinePerEntry)
{
    osk::CExtFileTarget target;
    target.reconfigure("  " + _path + " ");
    emit(target, CException::warning, "first", "async-log", "extended");
    emit(target, CException::info, "100% second");
    const auto written = lines();
    ASSERT_EQ(2u, written.size());
    EXPECT_TRUE(std::regex_match(written[0], std::regex("\\[warning\\] " + kTimePart +
                                                        " \\[async-log\\] \\[42\\] \\[extended\\] first")))
        << written[0];
    EXPECT_TRUE(std::regex_match(written[1], std::regex(".*\\[standard\\] 100% second"))) << written[1];
    // Removing the file between entries is harmless: the next one recreates it.
    std::remove(_path.c_str());
    emit(target, CException::info, "third");
    EXPECT_EQ(1u, lines().size());
}

TEST_F(FileTargetTest, NameErrors)
{
    osk::CExtFileTarget target;
    EXPECT_EQ("Cannot open log file target. (File name must be specified.)",
              failureOf([&] { target.reconfigure(" \t"); }));
    EXPECT_EQ("Cannot evaluate log file name '[LOG.PATH]'. (No expression evaluator is installed.)",
              failureOf([&] { target.reconfigure("[LOG.PATH]"); }));

    target.reconfigure("/nonexistent-dir/zelvo.log");
    const CException e = test_support::thrown([&] { emit(target, CException::error, "x"); });
    EXPECT_EQ("Cannot open log file '/nonexistent-dir/zelvo.log'.", e.whatMsg().formatted());
    EXPECT_EQ(ENOENT, e.err_code());
}

TEST_F(FileTargetTest, BracketedNameIsEvaluatedAtEachWrite)
{
    int calls = 0;
    osk::CExtFileTarget::nameEvaluator([&](const std::string& expression) {
        ++calls;
        EXPECT_EQ("[LOG.PATH]", expression);
        return _path;
    });
    osk::CExtFileTarget target;
    target.reconfigure("[LOG.PATH]");
    emit(target, CException::info, "a");
    emit(target, CException::info, "b");
    EXPECT_EQ(3, calls); // once to check the setting, once per entry
    EXPECT_EQ(2u, lines().size());
}

TEST(LocalSyslogTargetTest, WritesTextAtMappedLevel)
{
    std::vector<std::pair<int, std::string>> written;
    std::vector<std::string> opened;
    osk::CLocalSyslogTarget::system_log_t seam;
    seam.open = [&](const char* ident, int option, int facility) {
        opened.push_back(std::string(ident) + "/" + std::to_string(option) + "/" + std::to_string(facility));
    };
    seam.write = [&](int level, const std::string& text) { written.emplace_back(level, text); };
    osk::CLocalSyslogTarget target(seam);
    target.reconfigure("");
    const std::pair<uint32_t, int> cases[] = {{CException::info, 6},  {CException::warning, 4},
                                              {CException::error, 3}, {CException::debug, 7},
                                              {CException::verbose, 7}, {CException::audit, 5}};
    for (const auto& c : cases) emit(target, c.first, "100% text " + std::to_string(c.first));
    ASSERT_EQ(6u, written.size());
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(cases[i].second, written[i].first);
        EXPECT_EQ("100% text " + std::to_string(cases[i].first), written[i].second);
    }
    // Opened once, with the process name, LOG_PID and the daemon facility.
    ASSERT_EQ(1u, opened.size());
    EXPECT_EQ("zelvo/" + std::to_string(LOG_PID) + "/" + std::to_string(LOG_DAEMON), opened[0]);
    EXPECT_EQ(3, osk::CLocalSyslogTarget::level(CException::error | CException::audit));
}

TEST(RemoteSyslogTargetTest, SettingErrorsAndDefaultPort)
{
    osk::CRemoteSyslogTarget target;
    EXPECT_EQ("Cannot configure remote syslog target. (No remote target specified.)",
              failureOf([&] { target.reconfigure(""); }));
    const std::string notAddress =
        "Cannot configure remote syslog target. (Remote syslog target does not evaluate to a valid IP address.)";
    EXPECT_EQ(notAddress, failureOf([&] { target.reconfigure("syslog.example"); }));
    EXPECT_EQ(notAddress, failureOf([&] { target.reconfigure("10.0.0.300:514"); }));
    EXPECT_EQ(notAddress, failureOf([&] { target.reconfigure("10.0.0.5:99999"); }));
    target.reconfigure("10.0.0.5");
    EXPECT_EQ("10.0.0.5:514", target.server().string());
    target.reconfigure("10.0.0.5:0");
    EXPECT_EQ("10.0.0.5:514", target.server().string());
    target.reconfigure("[::1]:1514");
    EXPECT_EQ("[::1]:1514", target.server().string());
}

TEST(RemoteSyslogTargetTest, SendsOneDatagramPerEntry)
{
    osk::CSockDgram listener;
    listener.open(osk::CEndpoint("127.0.0.1:0"));
    const uint16_t port = listener.local_endpoint().hbo_port();

    osk::CRemoteSyslogTarget target;
    target.reconfigure("127.0.0.1:" + std::to_string(port));
    target.output("host1", "zelvo", 42, "task", "standard", osk::CLogFacility("local0"), CException::audit, 0, 0,
                  "Audit entry.");
    emit(target, CException::error, "Error entry."); // daemon: 3 * 8 + 3

    char buffer[2048];
    osk::CEndpoint from;
    ACE_Time_Value wait(5);
    std::vector<std::string> received;
    for (int i = 0; i < 2; ++i) {
        const ssize_t length = listener.recv(buffer, sizeof(buffer), from, 0, &wait);
        ASSERT_GT(length, 0);
        received.emplace_back(buffer, static_cast<size_t>(length));
    }
    // local0 is 16: 16 * 8 + 6 for audit.
    const std::string asctime = R"([A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\d \d\d:\d\d:\d\d \d{4})";
    EXPECT_TRUE(std::regex_match(received[0], std::regex("<134> " + asctime + " host1 \\[zelvo\\] Audit entry\\.")))
        << received[0];
    EXPECT_TRUE(std::regex_match(received[1], std::regex("<27> " + asctime + " host1 \\[zelvo\\] Error entry\\.")))
        << received[1];
    EXPECT_EQ(6, osk::CRemoteSyslogTarget::level(CException::info));
    EXPECT_EQ(7, osk::CRemoteSyslogTarget::level(CException::verbose));
}

TEST(LogTargetFactoryTest, KnownAndUnknownNames)
{
    for (const char* name : {"null", "stdout", "file", "syslog", "eventlog", "rsyslog"})
        EXPECT_TRUE(osk::CLogTLS::createTarget(name)) << name;
    EXPECT_NE(nullptr, dynamic_cast<osk::CExtFileTarget*>(osk::CLogTLS::createTarget("file").get()));
    EXPECT_EQ("Cannot create log target 'console'. (Unknown target name.)",
              failureOf([] { osk::CLogTLS::createTarget("console"); }));
}

} // namespace
