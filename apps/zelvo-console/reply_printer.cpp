#include "reply_printer.h"

#include <cstdio>

#include "object_table.h"
#include "rconsole_base/rconsole_reply_reader.h"

namespace {
const char* const kRecordEnd = "-";
const char* const kAck = "ack";
const char* const kNakPrefix = "nak: ";
const char* const kWarningPrefix = "warning: ";
} // namespace

CReplyPrinter::CReplyPrinter(CConsoleOptions::output_t form, bool interactive, std::ostream& out,
                             std::ostream& err)
    : _form(form), _interactive(interactive), _out(out), _err(err)
{
}

void CReplyPrinter::begin(const std::vector<std::string>& set)
{
    const std::string first = set.empty() ? std::string() : set.front();
    _command = first.substr(0, first.find('='));
    _listing = CObjectTable::isListing(_command);
    _reply.clear();
    _shown = 0;
}

void CReplyPrinter::streamed(const std::string& lines)
{
    _reply += lines;
    if (_form == CConsoleOptions::outputRaw) {
        _out << lines << std::flush;
        _shown = _reply.size();
    } else if (_form == CConsoleOptions::outputText && !_listing) {
        _text(lines);
        _shown = _reply.size();
    }
}

void CReplyPrinter::finish(const std::string& rest)
{
    _reply += rest;
    if (_form == CConsoleOptions::outputRaw) {
        _out << rest << std::flush;
        return;
    }
    const std::string code = CRConsoleReplyReader::code(_reply);
    const std::string message = CRConsoleReplyReader::message(_reply);
    const std::string body = CRConsoleReplyReader::body(_reply);
    if (_form == CConsoleOptions::outputJson) {
        std::string json = "{\"command\":" + jsonString(_command) + ",\"code\":" + jsonString(code) +
                           ",\"message\":" + jsonString(message) + ",\"lines\":[";
        size_t start = 0;
        while (start < body.size()) {
            size_t lf = body.find('\n', start);
            if (lf == std::string::npos) lf = body.size();
            if (start) json += ",";
            json += jsonString(body.substr(start, lf - start));
            start = lf + 1;
        }
        json += "]";
        if (_listing) {
            CObjectTable objects;
            objects.add(body);
            json += ",\"objects\":" + objects.json(&CReplyPrinter::jsonString);
        }
        _out << json << "}" << std::endl;
        return;
    }
    if (_listing) {
        CObjectTable objects;
        objects.add(body);
        if (!objects.empty()) {
            _out << objects.table();
            _lastBlank = false;
        }
    } else if (body.size() > _shown) {
        _text(body.substr(_shown));
    }
    if (_interactive) {
        if (code == kAck) _out << kAck << (message.empty() ? "" : " (" + message + ")") << "\n";
        else _out << kNakPrefix << message << "\n";
        _out << std::flush;
        return;
    }
    if (!_lastBlank) {
        _out << "\n";
        _lastBlank = true;
    }
    _out << std::flush;
    if (code != kAck) _err << kNakPrefix << message << std::endl;
    else if (!message.empty()) _err << kWarningPrefix << message << std::endl;
}

void CReplyPrinter::_text(const std::string& lines)
{
    size_t start = 0;
    while (start < lines.size()) {
        size_t lf = lines.find('\n', start);
        if (lf == std::string::npos) lf = lines.size();
        const std::string line = lines.substr(start, lf - start);
        if (line == kRecordEnd) {
            _out << "\n";
            _lastBlank = true;
        } else {
            _out << line << "\n";
            _lastBlank = line.empty();
        }
        start = lf + 1;
    }
    _out << std::flush;
}

std::string CReplyPrinter::jsonString(const std::string& text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            // Well-formed UTF-8 passes; any other byte is shown as the
            // Latin-1 character of its value, so the line stays valid JSON.
            const size_t length = _utf8Length(text, i);
            if (length) {
                out.append(text, i, length);
                i += length - 1;
            } else {
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
                out += escaped;
            }
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

size_t CReplyPrinter::_utf8Length(const std::string& text, size_t at)
{
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    size_t length;
    unsigned long value;
    if (lead >= 0xc2 && lead <= 0xdf) { length = 2; value = lead & 0x1f; }
    else if (lead >= 0xe0 && lead <= 0xef) { length = 3; value = lead & 0x0f; }
    else if (lead >= 0xf0 && lead <= 0xf4) { length = 4; value = lead & 0x07; }
    else return 0;
    if (at + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xc0) != 0x80) return 0;
        value = (value << 6) | (next & 0x3f);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
    if ((length == 3 && value < 0x800) || (length == 4 && (value < 0x10000 || value > 0x10ffff))) return 0;
    if (value >= 0xd800 && value <= 0xdfff) return 0;
    return length;
}
