#include "rconsole_base/rconsole_reply_reader.h"

#include <cstring>

namespace {
const char* const kCodePrefix = "code=";
const char* const kMessagePrefix = "message=";

bool startsWith(const std::string& text, size_t at, const char* prefix)
{
    return text.compare(at, std::strlen(prefix), prefix) == 0;
}
} // namespace

void CRConsoleReplyReader::append(const char* data, size_t length)
{
    const void* nul = std::memchr(data, 0, length);
    if (nul) length = static_cast<size_t>(static_cast<const char*>(nul) - data);
    _buffer.append(data, length);
}

size_t CRConsoleReplyReader::_findLineFeed(size_t lineStart)
{
    const bool resumed = lineStart == _resumeAt;
    const size_t lf = _buffer.find('\n', resumed && _noLineFeedTo > lineStart ? _noLineFeedTo : lineStart);
    if (lf == std::string::npos && resumed) _noLineFeedTo = _buffer.size();
    return lf;
}

void CRConsoleReplyReader::_taken(size_t length)
{
    if (_resumeAt < length) {
        _forget();
        return;
    }
    // Only streamed lines before it went, none of them a code, message or
    // empty line: the state at _resumeAt stays.
    _resumeAt -= length;
    _noLineFeedTo = _noLineFeedTo > length ? _noLineFeedTo - length : 0;
}

void CRConsoleReplyReader::_forget()
{
    _resumeAt = 0;
    _resumeSawCode = false;
    _noLineFeedTo = 0;
}

bool CRConsoleReplyReader::next(std::string& reply, bool withCode)
{
    if (withCode != _resumeWithCode) {
        _forget();
        _resumeWithCode = withCode;
    }
    size_t lineStart = _resumeAt;
    bool sawCode = _resumeSawCode;
    while (lineStart < _buffer.size()) {
        const size_t lf = _findLineFeed(lineStart);
        if (lf == std::string::npos) break;
        if (lf == lineStart) {
            if (!withCode || sawCode) {
                reply = _buffer.substr(0, lf + 1);
                _buffer.erase(0, lf + 1);
                _forget();
                return true;
            }
        } else if (startsWith(_buffer, lineStart, kCodePrefix)) {
            sawCode = true;
        } else if (!(sawCode && startsWith(_buffer, lineStart, kMessagePrefix))) {
            sawCode = false;
        }
        lineStart = lf + 1;
        _resumeAt = lineStart;
        _resumeSawCode = sawCode;
    }
    return false;
}

std::string CRConsoleReplyReader::takeStreamed()
{
    size_t lineStart = 0;
    while (lineStart < _buffer.size()) {
        const size_t lf = _findLineFeed(lineStart);
        if (lf == std::string::npos || lf == lineStart) break;
        if (startsWith(_buffer, lineStart, kCodePrefix) || startsWith(_buffer, lineStart, kMessagePrefix)) break;
        lineStart = lf + 1;
    }
    std::string taken = _buffer.substr(0, lineStart);
    _buffer.erase(0, lineStart);
    _taken(lineStart);
    return taken;
}

std::string CRConsoleReplyReader::code(const std::string& reply)
{
    size_t lineStart = 0;
    std::string found;
    while (lineStart < reply.size()) {
        size_t lf = reply.find('\n', lineStart);
        if (lf == std::string::npos) lf = reply.size();
        if (startsWith(reply, lineStart, kCodePrefix))
            found = reply.substr(lineStart + std::strlen(kCodePrefix), lf - lineStart - std::strlen(kCodePrefix));
        lineStart = lf + 1;
    }
    return found;
}

std::string CRConsoleReplyReader::body(const std::string& reply)
{
    const size_t code = reply.rfind(std::string("\n") + kCodePrefix);
    if (code != std::string::npos) return reply.substr(0, code + 1);
    if (startsWith(reply, 0, kCodePrefix)) return std::string();
    std::string text = reply;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text.empty() ? text : text + "\n";
}

std::string CRConsoleReplyReader::message(const std::string& reply)
{
    const std::string key = std::string("\n") + kMessagePrefix;
    size_t at = reply.rfind(key);
    size_t start;
    if (at != std::string::npos) start = at + key.size();
    else if (startsWith(reply, 0, kMessagePrefix)) start = std::strlen(kMessagePrefix);
    else return std::string();
    const size_t lf = reply.find('\n', start);
    return reply.substr(start, lf == std::string::npos ? std::string::npos : lf - start);
}
