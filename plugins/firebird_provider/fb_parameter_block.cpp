#include "firebird_provider/fb_parameter_block.h"

#include "extended/exception.h"
#include "firebird_provider/fb_error.h"

namespace fbprov {

CFbParameterBlock& CFbParameterBlock::tag(uint8_t tag)
{
    _bytes.push_back(tag);
    return *this;
}

CFbParameterBlock& CFbParameterBlock::text(uint8_t tag, const std::string& value)
{
    if (value.size() > 255)
        throw CFbError::make(osk::CMessage("Cannot pass connection parameter %1.").push(unsigned(tag)),
                             osk::CMessage("The value is longer than 255 bytes."), "CFbParameterBlock::text");
    _bytes.push_back(tag);
    _bytes.push_back(static_cast<uint8_t>(value.size()));
    _bytes.insert(_bytes.end(), value.begin(), value.end());
    return *this;
}

CFbParameterBlock& CFbParameterBlock::integer(uint8_t tag, uint32_t value)
{
    _bytes.push_back(tag);
    _bytes.push_back(4);
    for (int shift = 0; shift < 32; shift += 8)
        _bytes.push_back(static_cast<uint8_t>(value >> shift));
    return *this;
}

} // namespace fbprov
