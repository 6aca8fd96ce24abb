#include "tftp/tftp_interfaces/i_descriptor.h"

#include <atomic>

namespace {
std::atomic<uint64_t> gNextDescriptorId{0};
}

CIDescriptor::CIDescriptor() : _id(++gNextDescriptorId) {}
