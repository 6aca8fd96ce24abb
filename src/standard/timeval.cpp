#include "standard/timeval.h"

#include <time.h>

namespace osk {

CTimeval CTimeval::now()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return CTimeval(static_cast<int64_t>(ts.tv_sec) * kUsecPerSec + ts.tv_nsec / 1000);
}

std::string CTimeval::string() const
{
    const uint64_t magnitude = _usec < 0 ? 0 - static_cast<uint64_t>(_usec) : static_cast<uint64_t>(_usec);
    std::string fraction = std::to_string(magnitude % kUsecPerSec);
    fraction.insert(0, 6 - fraction.size(), '0');
    return (_usec < 0 ? "-" : "") + std::to_string(magnitude / kUsecPerSec) + "." + fraction;
}

} // namespace osk
