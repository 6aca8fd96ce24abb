#include "rconsole_base/text_command.h"

#include "extended/exception.h"

namespace {
const char* const kModule = "rconsole_base";
const char* const kCannotSetError = "Failed to set an error message.";
const char* const kNotNak = "Only a nak reply carries an error message.";
const char* const kCodeAck = "code=ack\n";
const char* const kCodeNak = "code=nak\n";
const char* const kCodeUnknown = "code=<unknown>\n";
const char* const kMessageKey = "message=";
} // namespace

CTextCommand::CTextCommand(code_t code) : _code(code) {}

void CTextCommand::data(const osk::CStringMap& map)
{
    clear();
    append(map);
}

void CTextCommand::data(const std::string& text)
{
    clear();
    set(text);
}

void CTextCommand::errorMsg(const std::string& text)
{
    if (_code != nak)
        throw OSK_EXCEPTION(osk::CMessage(kCannotSetError), osk::CMessage(kNotNak), "CTextCommand::errorMsg",
                            kModule);
    _message = text;
}

std::string CTextCommand::string() const
{
    std::string text = join("\n", true, "");
    text += _code == ack ? kCodeAck : _code == nak ? kCodeNak : kCodeUnknown;
    if (!_message.empty()) text += kMessageKey + _message + "\n";
    text += "\n";
    return text;
}
