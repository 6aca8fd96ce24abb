#pragma once

#include <cstdint>

// One file opened by a descriptor manager for one transfer. The manager
// that opened it derives its own descriptor from this class and is the only
// one that looks inside; the engine holds the pointer (not owned) between
// openFile and closeFile.
class CIDescriptor {
public:
    // Every descriptor gets an identifier unique in the process, shown in
    // transfer events; 0 never names a descriptor.
    CIDescriptor();
    virtual ~CIDescriptor() = default;
    CIDescriptor(const CIDescriptor&) = delete;
    CIDescriptor& operator=(const CIDescriptor&) = delete;

    uint64_t id() const { return _id; }

private:
    uint64_t _id;
};
