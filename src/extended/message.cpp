#include "extended/message.h"

#include <stdexcept>

namespace osk {

CMessage::CMessage(std::string text, std::string module, int64_t id)
    : _msg(std::move(text)), _module(std::move(module)), _id(id)
{
}

CMessage& CMessage::pushs(const std::string& text)
{
    _args.push_back(text);
    return *this;
}

const std::string& CMessage::arg(size_t index) const
{
    if (index >= _args.size()) throw std::out_of_range("message argument index");
    return _args[index];
}

// Placeholders are filled in ascending order. The scan resumes after each
// inserted argument so an argument's own text is never searched again for
// the same placeholder. "%1" must not match the start of "%10": a placeholder
// is only replaced when the digits after '%' form exactly its number.
std::string CMessage::formatted() const
{
    std::string text = _msg;
    for (size_t n = 1; n <= _args.size(); ++n) {
        const std::string token = "%" + std::to_string(n);
        size_t pos = 0;
        while ((pos = text.find(token, pos)) != std::string::npos) {
            const size_t end = pos + token.size();
            if (end < text.size() && text[end] >= '0' && text[end] <= '9') {
                pos = end;
                continue;
            }
            text.replace(pos, token.size(), _args[n - 1]);
            pos += _args[n - 1].size();
        }
    }
    return text;
}

} // namespace osk
