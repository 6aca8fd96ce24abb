#include "tftp/tftp_server/tftp_packet.h"

#include <climits>
#include <cstring>
#include <new>

namespace {
// Option and mode names on the wire. Requests arrive folded to lower case.
const char* const kOptBlksize = "blksize";
const char* const kOptTimeout = "timeout";
const char* const kOptTsize = "tsize";
const char* const kOptWindowsize = "windowsize";
const char* const kModeOctet = "octet";
const char* const kModeNetascii = "netascii";

// Empty strings tolerated in an option area before the search gives up.
const int kMaxEmptyStrings = 5;

// A request is at least the opcode and one byte of name.
const uint32_t kMinRequestLen = 3;

bool isBlank(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Base-10 conversion of the zero-terminated text at p (never past end):
// leading blanks and one sign allowed, stops at the first non-digit, no digits
// give 0, out-of-range values saturate. The result is then truncated to a
// signed 32-bit value, as option values are 32-bit quantities on the wire.
int32_t optionValue(const unsigned char* p, const unsigned char* end)
{
    while (p < end && isBlank(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // Accumulate the magnitude; saturate well above the 64-bit range so the
    // final clamp matches a strtoll conversion.
    uint64_t magnitude = 0;
    bool saturated = false;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        if (saturated) continue;
        const unsigned digit = static_cast<unsigned>(*p - '0');
        if (magnitude > (UINT64_MAX - digit) / 10) saturated = true;
        else magnitude = magnitude * 10 + digit;
    }
    int64_t value;
    if (negative) {
        const uint64_t limit = static_cast<uint64_t>(INT64_MAX) + 1;
        value = (saturated || magnitude >= limit) ? INT64_MIN : -static_cast<int64_t>(magnitude);
    } else {
        value = (saturated || magnitude > static_cast<uint64_t>(INT64_MAX)) ? INT64_MAX
                                                                             : static_cast<int64_t>(magnitude);
    }
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

// A signed 32-bit option value stored sign-extended in an unsigned field.
uint64_t signExtended(int32_t v)
{
    return static_cast<uint64_t>(static_cast<int64_t>(v));
}
} // namespace

CTFTPPacket::CTFTPPacket(unsigned size)
{
    resize(size > static_cast<unsigned>(INT_MAX) ? INT_MAX : static_cast<int>(size));
}

CTFTPPacket::CTFTPPacket(void* buffer, int length)
{
    if (buffer && length >= 0) {
        _buffer = static_cast<unsigned char*>(buffer);
        _length = static_cast<uint32_t>(length);
    }
}

CTFTPPacket::~CTFTPPacket()
{
    _release();
}

void CTFTPPacket::_release()
{
    if (_owned) delete[] _buffer;
    _buffer = nullptr;
    _length = 0;
    _owned = false;
}

bool CTFTPPacket::resize(int blocksize)
{
    if (blocksize < kMinBlksize) return false;
    const uint64_t bytes = static_cast<uint64_t>(blocksize) + kHeaderLen;
    if (bytes > UINT32_MAX) return false;
    unsigned char* fresh = new (std::nothrow) unsigned char[bytes];
    if (!fresh) return false;
    std::memset(fresh, 0, bytes);
    _release();
    _buffer = fresh;
    _length = static_cast<uint32_t>(bytes);
    _owned = true;
    return true;
}

void CTFTPPacket::wipe()
{
    if (_buffer) std::memset(_buffer, 0, _length);
}

uint16_t CTFTPPacket::_word(size_t offset) const
{
    if (!_buffer || offset + 2 > _length) return 0;
    return static_cast<uint16_t>((_buffer[offset] << 8) | _buffer[offset + 1]);
}

void CTFTPPacket::_word(size_t offset, uint16_t value)
{
    if (!_buffer || offset + 2 > _length) return;
    _buffer[offset] = static_cast<unsigned char>(value >> 8);
    _buffer[offset + 1] = static_cast<unsigned char>(value & 0xff);
}

std::string CTFTPPacket::_stringAt(size_t offset) const
{
    if (!_buffer || offset >= _length) return std::string();
    const unsigned char* start = _buffer + offset;
    const size_t room = _length - offset;
    const void* zero = std::memchr(start, 0, room);
    const size_t n = zero ? static_cast<size_t>(static_cast<const unsigned char*>(zero) - start) : room;
    return std::string(reinterpret_cast<const char*>(start), n);
}

void CTFTPPacket::_stringAt(size_t offset, const std::string& text)
{
    if (!_buffer || offset >= _length) return;
    const size_t room = _length - offset - 1; // keep one byte for the zero
    const size_t n = text.size() < room ? text.size() : room;
    std::memcpy(_buffer + offset, text.data(), n);
    _buffer[offset + n] = 0;
}

bool CTFTPPacket::_append(size_t& pos, const std::string& text)
{
    if (!_buffer || pos + text.size() + 1 > _length) return false;
    std::memcpy(_buffer + pos, text.data(), text.size());
    _buffer[pos + text.size()] = 0;
    pos += text.size() + 1;
    return true;
}

CTFTPOpcode CTFTPPacket::opcode() const
{
    if (!_buffer || _length < 2) return CTFTPOpcode();
    const uint16_t v = _word(0);
    return v <= CTFTPOpcode::oack ? CTFTPOpcode(static_cast<int>(v)) : CTFTPOpcode();
}

void CTFTPPacket::opcode(CTFTPOpcode value)
{
    _word(0, static_cast<uint16_t>(static_cast<int>(value)));
}

uint16_t CTFTPPacket::block() const
{
    return _word(2);
}

void CTFTPPacket::block(uint16_t number)
{
    _word(2, number);
}

CTFTPErrorCode CTFTPPacket::error_code() const
{
    if (!_buffer || _length < 4) return CTFTPErrorCode(CTFTPErrorCode::undefined);
    return CTFTPErrorCode(static_cast<int>(_word(2)));
}

void CTFTPPacket::error_code(CTFTPErrorCode code)
{
    _word(2, static_cast<uint16_t>(static_cast<int>(code)));
}

std::string CTFTPPacket::filename() const
{
    return _stringAt(2);
}

void CTFTPPacket::filename(const std::string& text)
{
    _stringAt(2, text);
}

std::string CTFTPPacket::message() const
{
    return _stringAt(4);
}

void CTFTPPacket::message(const std::string& text)
{
    _stringAt(4, text);
}

int CTFTPPacket::make_ack(uint16_t blockNumber)
{
    if (!_buffer || _length < kHeaderLen) return 0;
    opcode(CTFTPOpcode::ack);
    block(blockNumber);
    return static_cast<int>(kHeaderLen);
}

int CTFTPPacket::make_err(CTFTPErrorCode code, const std::string& text)
{
    if (!_buffer || _length < kHeaderLen) return 0;
    wipe();
    opcode(CTFTPOpcode::error);
    error_code(code);
    if (text.empty() || _length == kHeaderLen) return static_cast<int>(kHeaderLen);
    const size_t room = _length - kHeaderLen - 1;
    const size_t n = text.size() < room ? text.size() : room;
    std::memcpy(_buffer + kHeaderLen, text.data(), n);
    _buffer[kHeaderLen + n] = 0;
    return static_cast<int>(kHeaderLen + n + 1);
}

int CTFTPPacket::make_oack(const CConnReq& req)
{
    if (!_buffer || _length < 2) return 0;
    // Every byte up to the returned length is written below, so the rest of
    // the buffer (up to the largest block size granted) is left as it is.
    opcode(CTFTPOpcode::oack);
    // Values go out as signed 32-bit numbers, the timeout in whole seconds.
    auto text = [](uint64_t v) { return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(v))); };
    size_t pos = 2;
    auto option = [&](const char* name, uint64_t value) {
        const size_t start = pos;
        // An option that does not fit is left out whole.
        if (!_append(pos, name) || !_append(pos, text(value))) pos = start;
    };
    if (req.blksize_defined()) option(kOptBlksize, req.blksize());
    if (req.tsize_defined()) option(kOptTsize, req.tsize());
    if (req.timeout_defined()) option(kOptTimeout, req.timeout_sec());
    if (req.windowsize_defined()) option(kOptWindowsize, req.windowsize());
    return static_cast<int>(pos);
}

int CTFTPPacket::set_conn_req(const CConnReq& req)
{
    if (!_buffer || _length < kMinRequestLen) return 0;
    const CTFTPOpcode op = opcode();
    if (op != CTFTPOpcode::rrq && op != CTFTPOpcode::wrq) return 0;
    size_t pos = 2;
    bool fits = _append(pos, req.file()) && _append(pos, req.octet_mode() ? kModeOctet : kModeNetascii);
    if (fits && req.blksize_defined())
        fits = _append(pos, kOptBlksize) && _append(pos, std::to_string(req.blksize()));
    if (fits && req.timeout_defined())
        fits = _append(pos, kOptTimeout) && _append(pos, std::to_string(req.timeout_sec()));
    if (fits && req.tsize_defined()) fits = _append(pos, kOptTsize) && _append(pos, std::to_string(req.tsize()));
    if (fits && req.windowsize_defined())
        fits = _append(pos, kOptWindowsize) && _append(pos, std::to_string(req.windowsize()));
    return fits ? static_cast<int>(pos) : 0;
}

void CTFTPPacket::_fold(size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
        if (_buffer[i] >= 'A' && _buffer[i] <= 'Z') _buffer[i] = static_cast<unsigned char>(_buffer[i] + ('a' - 'A'));
}

void CTFTPPacket::_readOptions(const unsigned char* area, size_t length, CConnReq& req)
{
    struct COption {
        const char* name;
        size_t nameLength;
        void (*set)(CConnReq&, uint64_t);
        long found;
    };
    COption options[] = {
        {kOptTimeout, std::strlen(kOptTimeout), [](CConnReq& r, uint64_t v) { r.timeout_sec(v); }, -1},
        {kOptBlksize, std::strlen(kOptBlksize), [](CConnReq& r, uint64_t v) { r.blksize(v); }, -1},
        {kOptTsize, std::strlen(kOptTsize), [](CConnReq& r, uint64_t v) { r.tsize(v); }, -1},
        {kOptWindowsize, std::strlen(kOptWindowsize), [](CConnReq& r, uint64_t v) { r.windowsize(v); }, -1},
    };
    size_t missing = sizeof(options) / sizeof(options[0]);
    int emptyStrings = 0;
    size_t pos = 0;
    while (missing > 0) {
        while (pos < length && area[pos] == 0) {
            if (emptyStrings == kMaxEmptyStrings) break;
            ++emptyStrings;
            ++pos;
        }
        if (pos >= length || area[pos] == 0) break;
        for (COption& option : options) {
            // The name and at least the terminating byte must fit in the area.
            if (option.found >= 0 || pos + option.nameLength + 1 > length) continue;
            if (std::memcmp(area + pos, option.name, option.nameLength) != 0) continue;
            option.found = static_cast<long>(pos);
            --missing;
        }
        const void* zero = std::memchr(area + pos, 0, length - pos);
        if (!zero) break;
        pos = static_cast<size_t>(static_cast<const unsigned char*>(zero) - area) + 1;
    }
    for (const COption& option : options) {
        if (option.found < 0) continue;
        // The value is the string after the matched one.
        const auto at = static_cast<size_t>(option.found);
        const void* zero = std::memchr(area + at, 0, length - at);
        const size_t value = zero ? static_cast<size_t>(static_cast<const unsigned char*>(zero) - area) + 1 : length;
        option.set(req, signExtended(optionValue(area + value, area + length)));
    }
}

bool CTFTPPacket::get_conn_req(CConnReq& req, uint32_t received)
{
    const size_t n = received < _length ? received : _length;
    if (!_buffer || n < kMinRequestLen) return false;
    const uint16_t op = _word(0);
    if (op != CTFTPOpcode::rrq && op != CTFTPOpcode::wrq) return false;

    // Terminate the last string whatever the client sent.
    _buffer[n - 1] = 0;

    req.tsize_defined(false);
    req.blksize_defined(false);
    req.timeout_defined(false);
    req.windowsize_defined(false);
    req.operation(CTFTPOpcode(static_cast<int>(op)));
    req.octet_mode(true);

    // The name: from offset 2 to its zero (at the latest the last byte).
    const unsigned char* name = _buffer + 2;
    const size_t nameLen = static_cast<size_t>(static_cast<const unsigned char*>(std::memchr(name, 0, n - 2)) - name);
    req.file(std::string(reinterpret_cast<const char*>(name), nameLen));

    // Mode and options compare case-insensitively: fold them in place.
    const size_t modeStart = 2 + nameLen + 1;
    if (modeStart >= n) return true; // no mode at all: octet
    _fold(modeStart, n - 1);

    if (_buffer[modeStart] == 'n') req.octet_mode(false);

    const unsigned char* modeEnd = static_cast<const unsigned char*>(std::memchr(_buffer + modeStart, 0, n - modeStart));
    const size_t areaStart = static_cast<size_t>(modeEnd - _buffer) + 1;
    if (areaStart >= n) return true;
    const unsigned char* area = _buffer + areaStart;
    const size_t areaLen = n - areaStart;

    _readOptions(area, areaLen, req);
    return true;
}

bool CTFTPPacket::get_oack(CConnReq& req, uint32_t received)
{
    const size_t n = received < _length ? received : _length;
    if (!_buffer || n < kMinRequestLen) return false;
    if (_word(0) != CTFTPOpcode::oack) return false;

    _buffer[n - 1] = 0;
    req.tsize_defined(false);
    req.blksize_defined(false);
    req.timeout_defined(false);
    req.windowsize_defined(false);
    // Option names are case-insensitive in either direction.
    _fold(2, n - 1);

    const unsigned char* area = _buffer + 2;
    const size_t areaLen = n - 2;
    _readOptions(area, areaLen, req);
    return true;
}
