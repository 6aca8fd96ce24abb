#include "rconsole_base/rconsole_command_reader.h"

#include <cstring>

#include "standard/string_util.h"

void CRConsoleCommandReader::append(const char* data, size_t length)
{
    if (_complete) return;
    const void* nul = std::memchr(data, 0, length);
    if (nul) length = static_cast<size_t>(static_cast<const char*>(nul) - data);
    if (_skipping) {
        const void* lf = std::memchr(data, '\n', length);
        if (!lf) return;
        // The line feed ends the overlong line; it is not an empty line.
        const size_t used = static_cast<size_t>(static_cast<const char*>(lf) - data) + 1;
        data += used;
        length -= used;
        _skipping = false;
    }
    _buffer.append(data, length);
    _split();
    if (!_complete && _buffer.size() > maxLineLength) {
        _overflow();
        _buffer.clear();
        _searched = 0;
        _skipping = true;
    }
}

void CRConsoleCommandReader::_split()
{
    size_t start = 0;
    while (!_complete) {
        const size_t lf = _buffer.find('\n', start == 0 ? _searched : start);
        if (lf == std::string::npos) {
            _searched = _buffer.size() - start;
            break;
        }
        std::string line = _buffer.substr(start, lf - start);
        start = lf + 1;
        if (line.empty()) {
            _complete = true;
            break;
        }
        line = osk::CStringUtil::trimRight(line, "\r");
        if (_overflowed) continue;
        if (line.size() > maxLineLength || _setLength + line.size() > maxSetLength) {
            _overflow();
            continue;
        }
        _setLength += line.size();
        _lines.push_back(std::move(line));
    }
    if (_complete) _searched = 0;
    _buffer.erase(0, start);
}

void CRConsoleCommandReader::_overflow()
{
    _overflowed = true;
    _lines.clear();
    _lines.shrink_to_fit();
    _setLength = 0;
}

void CRConsoleCommandReader::reset()
{
    _buffer.clear();
    _searched = 0;
    _lines.clear();
    _setLength = 0;
    _complete = false;
    _overflowed = false;
    _skipping = false;
}
