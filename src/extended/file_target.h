#pragma once

#include <string>

#include "extended/log_target.h"

namespace osk {

// Appends each entry as one line to a file:
//   "[severity] [local time] [task] [thread id] [module] text".
// The file is opened, written and closed again for every entry, so it can
// be rotated or removed at any time. The setting is the file name.
class CFileTarget : public CLogTarget {
public:
    void output(const std::string& host, const std::string& process, uint64_t threadId,
                const std::string& taskName, const std::string& module, const CLogFacility& facility,
                uint32_t severity, int64_t msgId, uint64_t reserved, const std::string& text) override;
    // An empty name throws "Cannot open log file target." with "File name
    // must be specified.".
    void reconfigure(const std::string& setting) override;

    const std::string& setting() const { return _setting; }

    // Appends one line (a line feed is added). A file that cannot be opened
    // throws "Cannot open log file '%1'." with the system error.
    static void appendLine(const std::string& path, const std::string& line);

protected:
    // The name of the file to write the next entry to.
    virtual std::string _fileName() { return _setting; }

    std::string _setting;
};

} // namespace osk
