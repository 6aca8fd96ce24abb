#include "latency_stats.h"

#include <algorithm>
#include <cmath>

namespace loadgen {

double CLatencyStats::percentile(double p)
{
    if (_samples.empty()) return 0;
    if (!_sorted) {
        std::sort(_samples.begin(), _samples.end());
        _sorted = true;
    }
    const double rank = std::ceil(p / 100.0 * static_cast<double>(_samples.size()));
    size_t index = rank < 1 ? 0 : static_cast<size_t>(rank) - 1;
    if (index >= _samples.size()) index = _samples.size() - 1;
    return _samples[index];
}

void CLatencyStats::add(const CLatencyStats& other)
{
    _samples.insert(_samples.end(), other._samples.begin(), other._samples.end());
    _sorted = false;
}

double CLatencyStats::max() { return percentile(100); }

double CLatencyStats::mean() const
{
    if (_samples.empty()) return 0;
    double sum = 0;
    for (double sample : _samples) sum += sample;
    return sum / static_cast<double>(_samples.size());
}

} // namespace loadgen
