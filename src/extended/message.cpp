#include "extended/message.h"


namespace osk {

CMessage::CMessage(std::string text, std::string module, int64_t id)
    : _msg(std::move(text)), _module(std::move(module)), _id(id)
{
}

CMessage& CMessage::pushs(const std::string& text)
{
    _args.pushs(text);
    return *this;
}

CMessage& CMessage::pushs(const char* text)
{
    _args.pushs(text);
    return *this;
}

// Placeholders are filled in ascending order. The scan resumes after each
// inserted argument so an argument's own text is never searched again for
// the same placeholder. "%1" must not match the start of "%10": a placeholder
// is only replaced when the digits after '%' form exactly its number.
std::string CMessage::formatted() const
{
    std::string text = _msg;
    if (_args.empty() || text.find('%') == std::string::npos) return text;
    for (size_t n = 1; n <= _args.count(); ++n) {
        size_t argLength = 0;
        const char* argText = _args.data(n - 1, argLength);
        const std::string token = "%" + std::to_string(n);
        size_t pos = 0;
        while ((pos = text.find(token, pos)) != std::string::npos) {
            const size_t end = pos + token.size();
            if (end < text.size() && text[end] >= '0' && text[end] <= '9') {
                pos = end;
                continue;
            }
            text.replace(pos, token.size(), argText, argLength);
            pos += argLength;
        }
    }
    return text;
}

} // namespace osk
