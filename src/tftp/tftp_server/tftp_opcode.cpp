#include "tftp/tftp_server/tftp_opcode.h"

namespace {
const char* const kOpcodeTexts[] = {nullptr, "rrq", "wrq", "data", "ack", "error", "oack"};
} // namespace

std::string CTFTPOpcode::string() const
{
    const int32_t v = static_cast<int32_t>(_value);
    if (v >= 1 && v <= 6) return kOpcodeTexts[v];
    return std::to_string(v);
}
