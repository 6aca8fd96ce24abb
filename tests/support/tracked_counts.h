#pragma once

#include <cstdint>
#include <string>
#include <typeinfo>

#include "standard/mem_track.h"

namespace test_support {

// What the console's memory-tracking commands read, per type created with
// osk::CTrackedFactory: the type's live and ever-registered counts and its
// entries in the register of live objects.
template <class T>
std::string trackedName()
{
    return typeid(T*).name();
}

template <class T>
CAllocDetail trackedCounter()
{
    const auto counters = CMemTrack::counters();
    const auto found = counters.find(trackedName<T>());
    return found == counters.end() ? CAllocDetail() : found->second;
}

template <class T>
uint64_t liveTracked()
{
    return trackedCounter<T>().currentInstanceCount();
}

template <class T>
uint64_t totalTracked()
{
    return trackedCounter<T>().totalInstanceCount();
}

template <class T>
size_t allocatedEntries()
{
    size_t count = 0;
    for (const auto& entry : CMemTrack::allocated())
        if (entry.second.typeName() == trackedName<T>()) ++count;
    return count;
}

template <class T>
size_t untrackedEntries()
{
    size_t count = 0;
    for (const auto& detail : CMemTrack::untracked())
        if (detail.typeName() == trackedName<T>()) ++count;
    return count;
}

// Tracking on for the life of a test.
class CTrackingOn {
public:
    CTrackingOn() { CMemTrack::enabled(true); }
    ~CTrackingOn() { CMemTrack::enabled(false); }
    CTrackingOn(const CTrackingOn&) = delete;
    CTrackingOn& operator=(const CTrackingOn&) = delete;
};

} // namespace test_support
