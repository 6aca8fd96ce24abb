#include "extended/file_reader.h"

#include <fstream>

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
        const size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && _commentChars.find(line[first]) != std::string::npos) continue;
        const size_t last = line.find_last_not_of(" \t\r\n");
        if (first == std::string::npos || last == std::string::npos) {
            if (!record.empty()) {
                _processRecord(record, recordLine);
                record.clear();
            }
            continue;
        }
        if (record.empty()) recordLine = lineNumber;
        else record += '\n';
        record.append(line, first, last - first + 1);
    }
    if (!_abort && !record.empty()) _processRecord(record, recordLine);
    return true;
}

} // namespace osk
