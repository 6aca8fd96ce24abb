#pragma once

#include <cstdint>
#include <string>

// What the memory tracker knows of one object, or of one type: the object's
// address, the mangled pointer type named at the registering call site, the
// thread that made the call and, for a type, how many objects are alive and
// how many were ever registered. Copied by value.
class CAllocDetail {
public:
    CAllocDetail() = default;

    const void* pointer() const { return _pointer; }
    void pointer(const void* address) { _pointer = address; }
    const std::string& typeName() const { return _typeName; }
    void typeName(const std::string& name) { _typeName = name; }
    uint64_t source() const { return _source; }
    void source(uint64_t threadId) { _source = threadId; }

    // One more object: both counts grow.
    void incInstanceCount()
    {
        ++_currentInstanceCount;
        ++_totalInstanceCount;
    }
    // One object fewer: only the live count shrinks.
    void decInstanceCount() { --_currentInstanceCount; }
    uint64_t currentInstanceCount() const { return _currentInstanceCount; }
    uint64_t totalInstanceCount() const { return _totalInstanceCount; }

private:
    const void* _pointer = nullptr;
    std::string _typeName;
    uint64_t _source = UINT64_MAX;
    uint64_t _currentInstanceCount = 0;
    uint64_t _totalInstanceCount = 0;
};
