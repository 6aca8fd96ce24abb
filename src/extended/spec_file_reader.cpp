#include "extended/spec_file_reader.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "extended/exception.h"
#include "standard/string_util.h"

namespace osk {

namespace {
// User-visible texts of the spec file reader.
const char* const kMissingHeaderKey = "Missing header key 'spec_name'.";
const char* const kNotSpecFile = "File %1 is not a valid spec file.";
const char* const kIncluding = "Including file %1 in spec file %2.";
const char* const kRecursiveInclude = "Include directive for file %1 in spec file %2 is recursive.";
const char* const kCannotOpen = "Cannot open spec file '%1'.";
const char* const kErrorProcessing = "Error processing spec file %1 at line %2.";
const char* const kInvalidRecord = "Invalid record format.";
const char* const kModule = "extended";

// The canonical path of an existing file, so that one file reached by two
// spellings is recognised as the same.
std::string canonical(const std::string& path)
{
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) return resolved;
    return path;
}

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Every line of a record is key=value with a non-empty key.
bool wellFormed(const std::string& record)
{
    std::stringstream lines(record);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos || CStringUtil::trim(line.substr(0, equals)).empty()) return false;
    }
    return true;
}
} // namespace

CSpecFileReader::CSpecFileReader(log_t log) : _log(std::move(log)) {}

void CSpecFileReader::read(const std::string& directory, const std::string& file)
{
    _stack.clear();
    _header.clear();
    _readFile(directory, file);
}

void CSpecFileReader::_readFile(const std::string& directory, const std::string& file)
{
    const std::string path = canonical(filePath(directory, file));
    for (const CFrame& frame : _stack) {
        if (frame.path == path) {
            throw OSK_EXCEPTION(CMessage(kRecursiveInclude).pushs(file).pushs(_stack.back().path), CMessage(),
                                "CSpecFileReader::read", kModule);
        }
    }
    _stack.push_back(CFrame{path, directoryOf(path), false});
    const bool opened = execute(std::string(), path);
    const int openError = errno;
    const CFrame frame = _stack.back();
    _stack.pop_back();
    if (!opened) {
        throw ::osk::CException(CMessage(kCannotOpen).pushs(path), CMessage(openError ? std::strerror(openError) : ""),
                                "CSpecFileReader::read", kModule, __FILE__, __LINE__, CException::error,
                                openError);
    }
    if (!frame.headerSeen) {
        throw OSK_EXCEPTION(CMessage(kMissingHeaderKey), CMessage(kNotSpecFile).pushs(path), "CSpecFileReader::read",
                            kModule);
    }
}

void CSpecFileReader::_processRecord(const std::string& text, size_t lineNumber)
{
    CFrame& frame = _stack.back();
    if (!wellFormed(text)) {
        throw OSK_EXCEPTION(CMessage(kErrorProcessing).pushs(frame.path).push(lineNumber), CMessage(kInvalidRecord),
                            "CSpecFileReader::_processRecord", kModule);
    }
    const CStringMap record(text);
    if (!frame.headerSeen) {
        if (!record.defined("spec_name")) {
            throw OSK_EXCEPTION(CMessage(kMissingHeaderKey), CMessage(kNotSpecFile).pushs(frame.path),
                                "CSpecFileReader::_processRecord", kModule);
        }
        frame.headerSeen = true;
        if (_stack.size() == 1) _header = record;
        return;
    }
    if (!record.defined("include")) {
        _processSpecRecord(record, frame.path, lineNumber);
        return;
    }
    const std::string including = frame.path;
    const std::string directory = frame.directory;
    for (const std::string& name : CStringUtil::split(record.get_string("include", std::string()))) {
        if (_log) _log(CMessage(kIncluding, kModule).pushs(name).pushs(including));
        // _stack may grow while the included file is read: no references into it.
        _readFile(directory, name);
    }
}

} // namespace osk
