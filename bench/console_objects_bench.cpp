// Policies through the console of a running zelvo-tftpd on its database, as
// an operator's console sees them: one enciphered connection (the
// administrator without a password), one command set per round trip.
// A 50-policy page of select_policy, one insert_policy, and a full dump of
// the database holding kPolicies policies (objects per second).
//
// The daemon is started by bench/console_objects, which names its console
// port in ZELVO_BENCH_CONSOLE_PORT (without it every benchmark is skipped)
// and its process in ZELVO_BENCH_DAEMON_PID: the daemon's CPU time per
// iteration is reported beside the round trip, because the console's own
// CPU time is next to nothing and a loaded machine moves wall times a lot.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "extended/exception.h"
#include "rconsole_base/rconsole_client.h"
#include "rconsole_base/rconsole_reply_reader.h"

namespace {

constexpr int kPolicies = 10000;
constexpr int kPageSize = 50;
const char* const kPortVariable = "ZELVO_BENCH_CONSOLE_PORT";
const char* const kPidVariable = "ZELVO_BENCH_DAEMON_PID";
// Names of the policies the benchmarks make, apart from the daemon's own.
const std::string kListed = "bench-";
const std::string kInserted = "bench-insert-";

size_t occurrences(const std::string& text, const std::string& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++count;
    return count;
}

// User and system time of the daemon so far, from /proc; 0 without its pid.
double daemonCpuSeconds()
{
    const char* pid = ::getenv(kPidVariable);
    if (!pid) return 0;
    std::ifstream stat(std::string("/proc/") + pid + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command name, which is in parentheses and may hold spaces.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i >= 14) ticks += std::stod(field);   // utime (14) and stime (15)
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Reports the daemon's CPU time per iteration of the benchmark it is made in.
class CDaemonCpu {
public:
    explicit CDaemonCpu(benchmark::State& state) : _state(state), _started(daemonCpuSeconds()) {}
    ~CDaemonCpu()
    {
        if (_state.iterations() == 0 || !::getenv(kPidVariable)) return;
        _state.counters["daemon_cpu_ms"] =
            (daemonCpuSeconds() - _started) * 1000 / static_cast<double>(_state.iterations());
    }

private:
    benchmark::State& _state;
    const double _started;
};

// The logged-in console, shared by the benchmarks; the database holds
// kPolicies policies named kListed + a number before the first one runs.
class CBenchConsole {
public:
    // Reads may wait long: the first dump of a fresh database is slow.
    explicit CBenchConsole(uint16_t port) : _client(600)
    {
        _client.connect("127.0.0.1", port);
        _client.login(" ", true);
    }

    // Null, with the reason in why, when there is no daemon to talk to.
    static CBenchConsole* instance(std::string& why)
    {
        static std::string failure;
        static std::unique_ptr<CBenchConsole> console = open(failure);
        why = failure;
        return console.get();
    }

    // The reply of a command set; throws on a nak.
    std::string command(const std::string& text)
    {
        const std::string reply = _client.commandText(text + "\n\n");
        if (CRConsoleReplyReader::code(reply) != "ack")
            throw std::runtime_error(text.substr(0, text.find('\n')) + ": " + CRConsoleReplyReader::message(reply));
        return reply;
    }

    // The number of insert lines of the streamed dump.
    size_t dumpPolicies()
    {
        size_t policies = 0;
        std::string tail;
        const std::string reply = _client.commandText("dump\n\n", [&](const std::string& lines) {
            // Count whole lines only: a streamed piece may end inside one.
            tail += lines;
            const size_t cut = tail.rfind('\n');
            if (cut == std::string::npos) return;
            policies += occurrences(tail.substr(0, cut + 1), "\ninsert_policy\n");
            tail.erase(0, cut);
        });
        if (CRConsoleReplyReader::code(reply) != "ack")
            throw std::runtime_error("dump: " + CRConsoleReplyReader::message(reply));
        return policies + occurrences(tail + reply, "\ninsert_policy\n");
    }

    size_t countPolicies(const std::string& prefix)
    {
        const std::string reply = command("count_policy\nwhere=T.NAME STARTING WITH '" + prefix + "'");
        const size_t at = reply.find("count=");
        return at == std::string::npos ? 0 : std::stoul(reply.substr(at + 6));
    }

private:
    static std::unique_ptr<CBenchConsole> open(std::string& why)
    {
        const char* port = ::getenv(kPortVariable);
        if (!port) {
            why = std::string(kPortVariable) + " is not set: run the benchmark through bench/console_objects";
            return nullptr;
        }
        try {
            auto console = std::make_unique<CBenchConsole>(static_cast<uint16_t>(std::stoi(port)));
            console->fill();
            return console;
        } catch (const osk::CException& e) {
            why = std::string("the console: ") + e.what();
        } catch (const std::exception& e) {
            why = std::string("the console: ") + e.what();
        }
        return nullptr;
    }

    // Inserts the listed policies that are missing, one command set each
    // (a second run on the same daemon finds them all there).
    // The time it took goes to standard error: inserts into a table that
    // grows from empty, beside BM_InsertPolicy's into the full one.
    void fill()
    {
        const int first = static_cast<int>(countPolicies(kListed + "0"));
        const auto started = std::chrono::steady_clock::now();
        for (int i = first; i < kPolicies; ++i)
            command("insert_policy\nname=" + kListed + std::to_string(100000 + i).substr(1) +
                    "\ndata=boot=policy-" + std::to_string(i) + ".cfg\ndescription=listed by the benchmark");
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        if (first < kPolicies)
            std::fprintf(stderr, "filled %d policies in %.1f s (%.2f ms each)\n", kPolicies - first, took.count(),
                         took.count() * 1000 / (kPolicies - first));
    }

    CRConsoleClient _client;
};

CBenchConsole* console(benchmark::State& state)
{
    std::string why;
    CBenchConsole* found = CBenchConsole::instance(why);
    if (!found) state.SkipWithError(why.c_str());
    return found;
}

// Argument 0: in the table's order; 1: sorted by name; 2: sorted by name,
// descending.
void BM_SelectPolicyPage(benchmark::State& state)
{
    CBenchConsole* c = console(state);
    if (!c) return;
    static const char* const sorts[] = {"", "\nsort_property=name", "\nsort_property=name\nsort_order=desc"};
    const std::string select = "select_policy\ncount=" + std::to_string(kPageSize) + "\nwhere=T.NAME STARTING WITH '" +
                               kListed + "0'" + sorts[state.range(0)];
    CDaemonCpu cpu(state);
    for (auto _ : state) {
        const std::string reply = c->command(select);
        if (occurrences(reply, "\nname=") + (reply.compare(0, 5, "name=") == 0) != kPageSize) {
            state.SkipWithError("the page does not hold 50 policies");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kPageSize);
}
BENCHMARK(BM_SelectPolicyPage)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_InsertPolicy(benchmark::State& state)
{
    CBenchConsole* c = console(state);
    if (!c) return;
    int n = 0;
    {
        CDaemonCpu cpu(state);
        for (auto _ : state)
            c->command("insert_policy\nname=" + kInserted + std::to_string(++n) + "\ndata=boot=inserted.cfg");
    }
    // Timing ended with the loop.
    c->command("delete_policy\nwhere=T.NAME STARTING WITH '" + kInserted + "'");
}
BENCHMARK(BM_InsertPolicy)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DumpPolicies(benchmark::State& state)
{
    CBenchConsole* c = console(state);
    if (!c) return;
    size_t policies = 0;
    CDaemonCpu cpu(state);
    for (auto _ : state) {
        policies = c->dumpPolicies();
        if (policies < kPolicies) {
            state.SkipWithError("the dump holds fewer policies than the database");
            break;
        }
    }
    state.counters["policies"] = static_cast<double>(policies);
    state.counters["objects_per_s"] =
        benchmark::Counter(static_cast<double>(policies * state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DumpPolicies)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
