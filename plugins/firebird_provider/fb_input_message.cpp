#include "firebird_provider/fb_input_message.h"

#include <ibase.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "firebird_provider/fb_blob.h"
#include "firebird_provider/fb_error.h"
#include "firebird_provider/fb_master.h"
#include "firebird_provider/fb_status.h"
#include "firebird_provider/fb_transaction.h"

namespace fbprov {

namespace {

constexpr unsigned charsetOctets = 1;
constexpr size_t maxVaryingLength = 32765;

template <typename... Visitors>
struct overloaded : Visitors... {
    using Visitors::operator()...;
};
template <typename... Visitors>
overloaded(Visitors...) -> overloaded<Visitors...>;

// How one value travels: its wire type, length and character set, and the
// bytes to copy into the message.
struct wire_value_t {
    unsigned type = 0;
    unsigned length = 0;
    int charset = -1; // -1: keep the parameter's
    bool null = false;
    std::string bytes;
};

std::string rawBytes(const void* data, size_t size) { return std::string(static_cast<const char*>(data), size); }

ISC_TIMESTAMP timestampOf(const osk::CTimeT& time)
{
    time_t seconds = static_cast<time_t>(time.seconds());
    struct tm parts {};
    ::gmtime_r(&seconds, &parts);
    Firebird::IUtil* util = CFbMaster::util();
    ISC_TIMESTAMP stamp{};
    stamp.timestamp_date = util->encodeDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
    stamp.timestamp_time = util->encodeTime(parts.tm_hour, parts.tm_min, parts.tm_sec, 0);
    return stamp;
}

wire_value_t varying(const std::string& text, int charset, unsigned index)
{
    if (text.size() > maxVaryingLength)
        throw CFbError::make(osk::CMessage("Cannot pass parameter %1.").push(index + 1),
                             osk::CMessage("The value is longer than %1 bytes; use a blob column.")
                                 .push(maxVaryingLength),
                             "CFbInputMessage::CFbInputMessage");
    uint16_t length = static_cast<uint16_t>(text.size());
    wire_value_t wire{SQL_VARYING, std::max<unsigned>(length, 1), charset, false, rawBytes(&length, 2) + text};
    return wire;
}

wire_value_t wireValue(const CFbValue& value, unsigned parameterType, unsigned index, CFbTransaction& transaction)
{
    const bool toBlob = parameterType == SQL_BLOB;
    return std::visit(
        overloaded{
            [&](std::monostate) { return wire_value_t{parameterType, 0, -1, true, std::string()}; },
            [&](int32_t number) { return wire_value_t{SQL_LONG, 4, -1, false, rawBytes(&number, 4)}; },
            [&](int64_t number) { return wire_value_t{SQL_INT64, 8, -1, false, rawBytes(&number, 8)}; },
            [&](double number) { return wire_value_t{SQL_DOUBLE, 8, -1, false, rawBytes(&number, 8)}; },
            [&](const std::string& text) {
                if (!toBlob)
                    return varying(text, -1, index);
                ISC_QUAD id = CFbBlob::store(transaction, text.data(), text.size());
                return wire_value_t{SQL_BLOB, sizeof id, -1, false, rawBytes(&id, sizeof id)};
            },
            [&](const CFbBytes& bytes) {
                if (!toBlob)
                    return varying(std::string(bytes.begin(), bytes.end()), charsetOctets, index);
                ISC_QUAD id = CFbBlob::store(transaction, bytes.data(), bytes.size());
                return wire_value_t{SQL_BLOB, sizeof id, -1, false, rawBytes(&id, sizeof id)};
            },
            [&](const osk::CTimeT& time) {
                ISC_TIMESTAMP stamp = timestampOf(time);
                return wire_value_t{SQL_TIMESTAMP, sizeof stamp, -1, false, rawBytes(&stamp, sizeof stamp)};
            },
        },
        value);
}

} // namespace

CFbInputMessage::CFbInputMessage(Firebird::IStatement* statement, CFbTransaction& transaction,
                                 const CFbValues& values)
{
    const char* context = "CFbInputMessage::CFbInputMessage";
    const osk::CMessage failed("Cannot bind the statement's parameters.");
    CFbStatus status;
    CFbRef<Firebird::IMessageMetadata> declared(statement->getInputMetadata(status.get()));
    status.check(failed, context);
    unsigned count = declared->getCount(status.get());
    status.check(failed, context);
    if (count != values.size())
        throw CFbError::make(failed,
                             osk::CMessage("The statement has %1 parameters but %2 values were given.")
                                 .push(count)
                                 .push(values.size()),
                             context);

    CFbRef<Firebird::IMetadataBuilder> builder(declared->getBuilder(status.get()));
    status.check(failed, context);
    std::vector<wire_value_t> wires;
    for (unsigned i = 0; i < count; ++i) {
        unsigned parameterType = declared->getType(status.get(), i) & ~1u;
        status.check(failed, context);
        wire_value_t wire = wireValue(values[i], parameterType, i, transaction);
        if (!wire.null) {
            builder->setType(status.get(), i, wire.type + 1);
            builder->setLength(status.get(), i, wire.length);
            builder->setScale(status.get(), i, 0);
            if (wire.type == SQL_BLOB)
                builder->setSubType(status.get(), i, declared->getSubType(status.get(), i));
            if (wire.charset >= 0)
                builder->setCharSet(status.get(), i, static_cast<unsigned>(wire.charset));
        } else {
            builder->setType(status.get(), i, parameterType + 1);
        }
        status.check(failed, context);
        wires.push_back(std::move(wire));
    }
    _metadata.reset(builder->getMetadata(status.get()));
    status.check(failed, context);

    _buffer.assign(_metadata->getMessageLength(status.get()), 0);
    status.check(failed, context);
    for (unsigned i = 0; i < count; ++i) {
        unsigned offset = _metadata->getOffset(status.get(), i);
        unsigned nullOffset = _metadata->getNullOffset(status.get(), i);
        status.check(failed, context);
        int16_t nullFlag = wires[i].null ? -1 : 0;
        std::memcpy(&_buffer[nullOffset], &nullFlag, sizeof nullFlag);
        std::memcpy(&_buffer[offset], wires[i].bytes.data(), wires[i].bytes.size());
    }
}

} // namespace fbprov
