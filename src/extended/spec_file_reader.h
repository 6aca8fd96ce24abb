#pragma once

#include <functional>
#include <string>
#include <vector>

#include "extended/file_reader.h"
#include "extended/message.h"
#include "standard/string_map.h"

namespace osk {

// Reads spec files: record files whose first record is a header defining
// "spec_name". A record with the key "include" names further spec files
// (comma-separated, relative to the including file's directory) that are read
// in its place; each must itself begin with a header. Every other record is
// handed to _processSpecRecord() as a string map.
class CSpecFileReader : public CFileReader {
public:
    // Receives the informational messages of the reading (includes).
    using log_t = std::function<void(const CMessage&)>;

    explicit CSpecFileReader(log_t log = log_t());
    ~CSpecFileReader() override = default;

    // Reads a spec file and everything it includes. Throws osk::CException
    // when a file cannot be opened, lacks its header, includes a file that is
    // being read, or holds a malformed record.
    void read(const std::string& directory, const std::string& file);

    // The header record of the outermost file.
    const CStringMap& header() const { return _header; }

protected:
    // A record of one of the files; file is the path it came from.
    virtual void _processSpecRecord(const CStringMap& record, const std::string& file, size_t lineNumber) = 0;

private:
    struct CFrame {
        std::string path;
        std::string directory;
        bool headerSeen = false;
    };

    void _processRecord(const std::string& record, size_t lineNumber) override;
    void _readFile(const std::string& directory, const std::string& file);

    log_t _log;
    CStringMap _header;
    std::vector<CFrame> _stack;
};

} // namespace osk
