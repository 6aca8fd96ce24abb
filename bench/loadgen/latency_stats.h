// Transfer latencies of one run, with nearest-rank percentiles.
#pragma once

#include <cstddef>
#include <vector>

namespace loadgen {

class CLatencyStats {
public:
    void add(double usec) { _samples.push_back(usec); _sorted = false; }
    // Every sample of other as well.
    void add(const CLatencyStats& other);
    size_t count() const { return _samples.size(); }
    // The p-th percentile (0 < p <= 100) by nearest rank; 0 without samples.
    double percentile(double p);
    double max();
    double mean() const;

private:
    std::vector<double> _samples;
    bool _sorted = true;
};

} // namespace loadgen
