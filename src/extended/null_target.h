#pragma once

#include "extended/log_target.h"

namespace osk {

// Discards every entry.
class CNullTarget : public CLogTarget {
public:
    void output(const std::string&, const std::string&, uint64_t, const std::string&, const std::string&,
                const CLogFacility&, uint32_t, int64_t, uint64_t, const std::string&) override
    {
    }
    void reconfigure(const std::string&) override {}
};

} // namespace osk
