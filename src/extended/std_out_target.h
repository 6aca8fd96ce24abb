#pragma once

#include <string>
#include <vector>

#include "extended/log_target.h"
#include "extended/wild_mat.h"

namespace osk {

// Writes each entry as one line to the standard output:
//   "[severity] [local time] [task] [thread id] [module] text".
// Its setting is a string map, one option per line:
//   raw=true         write only the text;
//   wildcard=a*,*b   write a line only when one of the patterns matches it.
class CStdOutTarget : public CLogTarget {
public:
    void output(const std::string& host, const std::string& process, uint64_t threadId,
                const std::string& taskName, const std::string& module, const CLogFacility& facility,
                uint32_t severity, int64_t msgId, uint64_t reserved, const std::string& text) override;
    void reconfigure(const std::string& setting) override;

    bool raw() const { return _raw; }
    const std::vector<CWildMat>& wildcards() const { return _wildcards; }

private:
    bool _raw = false;
    std::vector<CWildMat> _wildcards;
};

} // namespace osk
