#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fbprov {

// Builds the clumplet byte strings Firebird takes for attaching (DPB) and
// starting transactions (TPB): a version byte, then tags with or without a
// value. Values are counted by one length byte, integers are little-endian.
class CFbParameterBlock {
public:
    explicit CFbParameterBlock(uint8_t version) : _bytes{version} {}

    CFbParameterBlock& tag(uint8_t tag);
    CFbParameterBlock& text(uint8_t tag, const std::string& value);
    CFbParameterBlock& integer(uint8_t tag, uint32_t value);

    const uint8_t* data() const { return _bytes.data(); }
    unsigned size() const { return static_cast<unsigned>(_bytes.size()); }

private:
    std::vector<uint8_t> _bytes;
};

} // namespace fbprov
