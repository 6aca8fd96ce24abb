#include "rconsole_base/rconsole_login_throttle.h"

#include <algorithm>

CRConsoleLoginThrottle::Outcome CRConsoleLoginThrottle::failure(const std::string& source, clock::time_point now)
{
    Outcome outcome;
    // A source whose burst is over starts afresh, even before a sweep saw it.
    auto found = _sources.find(source);
    if (found != _sources.end() && now - found->second.last >= _policy.quietPeriod) {
        outcome.ended.push_back(_burst(found->first, found->second));
        _sources.erase(found);
        found = _sources.end();
    }
    if (found == _sources.end()) {
        if (_policy.maxSources != 0 && _sources.size() >= _policy.maxSources) {
            const auto quietest = std::min_element(_sources.begin(), _sources.end(), [](const auto& a, const auto& b) {
                return a.second.last < b.second.last;
            });
            outcome.ended.push_back(_burst(quietest->first, quietest->second));
            _sources.erase(quietest);
        }
        found = _sources.emplace(source, Record{0, now, now}).first;
        outcome.startsBurst = true;
    }
    Record& record = found->second;
    ++record.failures;
    record.last = now;
    outcome.delay = _delayFor(record.failures);
    return outcome;
}

std::vector<CRConsoleLoginThrottle::Burst> CRConsoleLoginThrottle::sweep(clock::time_point now)
{
    std::vector<Burst> ended;
    for (auto it = _sources.begin(); it != _sources.end();) {
        if (now - it->second.last >= _policy.quietPeriod) {
            ended.push_back(_burst(it->first, it->second));
            it = _sources.erase(it);
        } else {
            ++it;
        }
    }
    return ended;
}

std::vector<CRConsoleLoginThrottle::Burst> CRConsoleLoginThrottle::endAll()
{
    std::vector<Burst> ended;
    for (const auto& entry : _sources) ended.push_back(_burst(entry.first, entry.second));
    _sources.clear();
    return ended;
}

CRConsoleLoginThrottle::clock::duration CRConsoleLoginThrottle::_delayFor(unsigned long failures) const
{
    clock::duration delay = _policy.firstDelay;
    for (unsigned long i = 1; i < failures && delay < _policy.maxDelay; ++i) delay *= 2;
    return std::min(delay, _policy.maxDelay);
}

CRConsoleLoginThrottle::Burst CRConsoleLoginThrottle::_burst(const std::string& source, const Record& record)
{
    return Burst{source, record.failures, record.last - record.first};
}
