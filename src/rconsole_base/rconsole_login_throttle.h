#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

// Slows down password guessing: every failed console login is answered only
// after a delay that doubles with each failure from the same source address,
// up to a cap. Failures from one source form a burst until the source has
// been quiet for a while; then the burst ends, its count is handed out once
// for the log and the source starts again from the shortest delay.
//
// Only failures are delayed: a right password is never held back, however
// many wrong ones came from the same address before.
//
// Used on one thread only (the console acceptor's), so it holds no lock.
class CRConsoleLoginThrottle {
public:
    using clock = std::chrono::steady_clock;

    struct Policy {
        // Delay after the first failure of a burst; each further one doubles it.
        clock::duration firstDelay = std::chrono::milliseconds(100);
        clock::duration maxDelay = std::chrono::seconds(3);
        // A source without failures for this long ends its burst.
        clock::duration quietPeriod = std::chrono::seconds(60);
        // Sources tracked at once; beyond it the longest quiet one is ended.
        size_t maxSources = 1024;
    };

    // A finished burst of failures from one source.
    struct Burst {
        std::string source;
        unsigned long failures = 0;
        // From the first failure to the last.
        clock::duration length{};
    };

    // What one failure means.
    struct Outcome {
        clock::duration delay{};
        // The failure opened a new burst for its source.
        bool startsBurst = false;
        // A burst ended to make room for the new source.
        std::vector<Burst> ended;
    };

    CRConsoleLoginThrottle() : CRConsoleLoginThrottle(Policy()) {}
    explicit CRConsoleLoginThrottle(const Policy& policy) : _policy(policy) {}

    // Counts a failed login from source at now.
    Outcome failure(const std::string& source, clock::time_point now);
    // Ends and returns the bursts whose sources have been quiet long enough.
    std::vector<Burst> sweep(clock::time_point now);
    // Ends and returns every burst (at shutdown).
    std::vector<Burst> endAll();

    size_t sources() const { return _sources.size(); }
    const Policy& policy() const { return _policy; }

private:
    struct Record {
        unsigned long failures = 0;
        clock::time_point first;
        clock::time_point last;
    };

    clock::duration _delayFor(unsigned long failures) const;
    static Burst _burst(const std::string& source, const Record& record);

    Policy _policy;
    std::map<std::string, Record> _sources;
};
