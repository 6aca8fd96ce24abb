#include "extended/file_reader.h"

#include <fstream>

#include "standard/string_util.h"

namespace osk {

std::string CFileReader::filePath(const std::string& directory, const std::string& file)
{
    if (directory.empty() || (!file.empty() && file[0] == '/')) return file;
    if (directory.back() == '/') return directory + file;
    return directory + "/" + file;
}

bool CFileReader::execute(const std::string& directory, const std::string& file)
{
    std::ifstream input(filePath(directory, file));
    if (!input) return false;
    _abort = false;
    std::string record;
    size_t recordLine = 0;
    size_t lineNumber = 0;
    std::string line;
    while (!_abort && std::getline(input, line)) {
        ++lineNumber;
        const std::string left = CStringUtil::trimLeft(line);
        if (!left.empty() && _commentChars.find(left[0]) != std::string::npos) continue;
        const std::string content = CStringUtil::trimRight(left, CStringUtil::whitespace);
        if (content.empty()) {
            if (!record.empty()) {
                _processRecord(record, recordLine);
                record.clear();
            }
            continue;
        }
        if (record.empty()) recordLine = lineNumber;
        else record += '\n';
        record += content;
    }
    if (!_abort && !record.empty()) _processRecord(record, recordLine);
    return true;
}

} // namespace osk
