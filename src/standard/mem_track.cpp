#include "standard/mem_track.h"

#include <pthread.h>
#include <sstream>

#include "standard/guard.h"
#include "standard/nr_mutex.h"

namespace {

struct CRegister {
    osk::CNRMutex mutex;
    CMemTrack::allocated_t allocated;
    CMemTrack::counters_t counters;
    CMemTrack::untracked_t untracked;
};

// Created on first use and never destroyed, so objects released during
// static destruction still find it.
CRegister& theRegister()
{
    static CRegister* instance = new CRegister;
    return *instance;
}

// The call site's pointer type name, without one leading "*" that some
// type names carry.
std::string pointerTypeName(const char* name)
{
    return name[0] == '*' ? std::string(name + 1) : std::string(name);
}

uint64_t currentThread() { return static_cast<uint64_t>(::pthread_self()); }

std::string pointerLine(const CAllocDetail& detail)
{
    std::ostringstream line;
    line << detail.pointer() << ':' << detail.source() << ':' << detail.typeName() << '\n';
    return line.str();
}

} // namespace

void CMemTrack::_reg(const void* pointer, const char* typeName)
{
    CAllocDetail detail;
    detail.pointer(pointer);
    detail.typeName(pointerTypeName(typeName));
    detail.source(currentThread());
    detail.incInstanceCount();

    CRegister& reg = theRegister();
    osk::CGuard<osk::CNRMutex> guard(reg.mutex);
    if (!_enabled.load()) return;
    reg.allocated[pointer] = detail;
    auto counter = reg.counters.find(detail.typeName());
    if (counter != reg.counters.end()) counter->second.incInstanceCount();
    else reg.counters.emplace(detail.typeName(), detail);
}

void CMemTrack::_dereg(const void* pointer, const char* typeName) { _release(pointer, pointerTypeName(typeName)); }

void CMemTrack::_deregClass(const void* pointer, const char* className)
{
    // A pointer type's mangled name is "P" followed by its class's name.
    _release(pointer, "P" + pointerTypeName(className));
}

void CMemTrack::_release(const void* pointer, const std::string& name)
{
    CRegister& reg = theRegister();
    osk::CGuard<osk::CNRMutex> guard(reg.mutex);
    if (!_enabled.load()) return;
    if (reg.allocated.erase(pointer) == 0) {
        CAllocDetail detail;
        detail.pointer(pointer);
        detail.typeName(name);
        detail.source(currentThread());
        reg.untracked.push_back(detail);
    }
    auto counter = reg.counters.find(name);
    if (counter != reg.counters.end()) counter->second.decInstanceCount();
}

void CMemTrack::enabled(bool on)
{
    CRegister& reg = theRegister();
    osk::CGuard<osk::CNRMutex> guard(reg.mutex);
    _enabled.store(on);
    reg.allocated.clear();
    reg.untracked.clear();
}

CMemTrack::allocated_t CMemTrack::allocated()
{
    if (!enabled()) return allocated_t();
    CRegister& reg = theRegister();
    osk::CGuard<osk::CNRMutex> guard(reg.mutex);
    return reg.allocated;
}

CMemTrack::counters_t CMemTrack::counters()
{
    if (!enabled()) return counters_t();
    CRegister& reg = theRegister();
    osk::CGuard<osk::CNRMutex> guard(reg.mutex);
    return reg.counters;
}

CMemTrack::untracked_t CMemTrack::untracked()
{
    if (!enabled()) return untracked_t();
    CRegister& reg = theRegister();
    osk::CGuard<osk::CNRMutex> guard(reg.mutex);
    return reg.untracked;
}

std::string CMemTrack::format(const counters_t& counters)
{
    std::ostringstream text;
    for (const auto& entry : counters)
        text << entry.first << ':' << entry.second.totalInstanceCount() << ',' << entry.second.currentInstanceCount()
             << '\n';
    return text.str();
}

std::string CMemTrack::format(const allocated_t& allocated)
{
    std::string text;
    for (const auto& entry : allocated) text += pointerLine(entry.second);
    return text;
}

std::string CMemTrack::format(const untracked_t& untracked)
{
    std::string text;
    for (const auto& detail : untracked) text += pointerLine(detail);
    return text;
}
