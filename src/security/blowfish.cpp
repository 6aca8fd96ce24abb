#include "security/blowfish.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "extended/exception.h"
#include "security/blowfish_tables.h"

namespace osk {

namespace {
const char* const kModule = "security";
const char* const kBufferWhat = "Cannot decipher blowfish buffer.";
const char* const kTwoBufferDecryptWhat = "Cannot decipher buffer.";
const char* const kKeyLengthWhy = "Invalid key length.";
const char* const kBufferLengthWhy = "Invalid buffer length.";
const char* const kEncryptStringWhat = "Cannot encrypt string.";
const char* const kDecryptStringWhat = "Cannot decrypt string.";
const char* const kNoMemoryWhy = "Not enough memory for this operation.";
const char* const kCreateKeyWhat = "Failed to create blowfish key file '%1'.";
const char* const kWriteKeyWhat = "Failed to write to blowfish key file '%1'.";
const char* const kEmptyKeyWhat = "Cannot initialize blowfish cipher with key length %1.";
const char* const kEmptyKeyWhy = "Key cannot be empty.";
const char* const kOpenKeyWhat = "Cannot open blowfish key file '%1'.";
const char* const kReadKeyWhat = "Cannot initialize blowfish cipher from key file '%1'.";
const char* const kReadKeyWhy = "Key file is invalid.";

constexpr size_t kBlock = 8;

inline uint64_t loadBlock(const uint8_t* p)
{
    uint64_t value = 0;
    for (size_t i = 0; i < kBlock; ++i) value = (value << 8) | p[i];
    return value;
}

inline void storeBlock(uint64_t value, uint8_t* p)
{
    for (size_t i = kBlock; i-- > 0;) {
        p[i] = static_cast<uint8_t>(value);
        value >>= 8;
    }
}

std::string keyPath(const std::string& directory, const std::string& name)
{
    return directory + "/" + name;
}

CMessage systemWhy(int error)
{
    return CMessage(std::strerror(error));
}

// Writes all of `length` bytes, retrying after interruptions.
bool writeAll(int fd, const uint8_t* data, size_t length)
{
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}
} // namespace

CBlowfish::CBlowfish()
{
    std::memcpy(_p, blowfish_tables::initialP, sizeof(_p));
    std::memcpy(_s, blowfish_tables::initialS, sizeof(_s));
}

CBlowfish::~CBlowfish()
{
    // The subkeys are derived from a secret: do not leave them behind.
    volatile uint8_t* wipe = reinterpret_cast<volatile uint8_t*>(_p);
    for (size_t i = 0; i < sizeof(_p); ++i) wipe[i] = 0;
    wipe = reinterpret_cast<volatile uint8_t*>(_s);
    for (size_t i = 0; i < sizeof(_s); ++i) wipe[i] = 0;
}

inline uint32_t CBlowfish::_f(uint32_t x) const
{
    return ((_s[0][x >> 24] + _s[1][(x >> 16) & 0xFF]) ^ _s[2][(x >> 8) & 0xFF]) + _s[3][x & 0xFF];
}

void CBlowfish::_encipher(uint32_t& left, uint32_t& right) const
{
    uint32_t l = left, r = right;
    for (int i = 0; i < 16; i += 2) {
        l ^= _p[i];
        r ^= _f(l);
        r ^= _p[i + 1];
        l ^= _f(r);
    }
    l ^= _p[16];
    r ^= _p[17];
    left = r;
    right = l;
}

void CBlowfish::_decipher(uint32_t& left, uint32_t& right) const
{
    uint32_t l = left, r = right;
    for (int i = 17; i > 1; i -= 2) {
        l ^= _p[i];
        r ^= _f(l);
        r ^= _p[i - 1];
        l ^= _f(r);
    }
    l ^= _p[1];
    r ^= _p[0];
    left = r;
    right = l;
}

void CBlowfish::init(const void* key, size_t length)
{
    if (length == 0) {
        throw OSK_EXCEPTION(CMessage(kBufferWhat), CMessage(kKeyLengthWhy), "CBlowfish::init",
                            kModule);
    }
    if (length > maxKeyLength) length = maxKeyLength;
    const uint8_t* bytes = static_cast<const uint8_t*>(key);
    std::memcpy(_p, blowfish_tables::initialP, sizeof(_p));
    std::memcpy(_s, blowfish_tables::initialS, sizeof(_s));
    size_t position = 0;
    for (auto& word : _p) {
        uint32_t data = 0;
        for (int k = 0; k < 4; ++k) {
            data = (data << 8) | bytes[position];
            position = (position + 1) % length;
        }
        word ^= data;
    }
    uint32_t l = 0, r = 0;
    for (size_t i = 0; i < 18; i += 2) {
        _encipher(l, r);
        _p[i] = l;
        _p[i + 1] = r;
    }
    for (auto& box : _s) {
        for (size_t i = 0; i < 256; i += 2) {
            _encipher(l, r);
            box[i] = l;
            box[i + 1] = r;
        }
    }
    _chain = _iv;
}

void CBlowfish::init(const CHexStore& key)
{
    init(key.rawData(), key.size());
}

void CBlowfish::_crypt(const uint8_t* in, uint8_t* out, size_t length, int mode, bool encrypting,
                       const char* what, const char* context)
{
    if (length == 0 || length % kBlock != 0) {
        throw OSK_EXCEPTION(CMessage(what), CMessage(kBufferLengthWhy), context, kModule);
    }
    _chain = _iv;
    for (size_t offset = 0; offset < length; offset += kBlock) {
        const uint64_t input = loadBlock(in + offset);
        uint64_t output = input;
        uint32_t l, r;
        switch (mode) {
        case modeCBC:
            if (encrypting) {
                const uint64_t mixed = input ^ _chain;
                l = static_cast<uint32_t>(mixed >> 32);
                r = static_cast<uint32_t>(mixed);
                _encipher(l, r);
                output = (uint64_t(l) << 32) | r;
                _chain = output;
            } else {
                l = static_cast<uint32_t>(input >> 32);
                r = static_cast<uint32_t>(input);
                _decipher(l, r);
                output = ((uint64_t(l) << 32) | r) ^ _chain;
                _chain = input;
            }
            break;
        case modeCFB:
            // The keystream is the enciphered previous cipher block.
            l = static_cast<uint32_t>(_chain >> 32);
            r = static_cast<uint32_t>(_chain);
            _encipher(l, r);
            output = input ^ ((uint64_t(l) << 32) | r);
            _chain = encrypting ? output : input;
            break;
        default:
            break;
        }
        storeBlock(output, out + offset);
    }
    _chain = _iv;
}

void CBlowfish::encrypt(void* buffer, size_t length, int mode)
{
    auto* bytes = static_cast<uint8_t*>(buffer);
    _crypt(bytes, bytes, length, mode, true, kBufferWhat, "CBlowfish::encrypt");
}

void CBlowfish::decrypt(void* buffer, size_t length, int mode)
{
    auto* bytes = static_cast<uint8_t*>(buffer);
    _crypt(bytes, bytes, length, mode, false, kBufferWhat, "CBlowfish::decrypt");
}

void CBlowfish::encrypt(const void* in, void* out, size_t length, int mode)
{
    _crypt(static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out), length, mode, true,
           kBufferWhat, "CBlowfish::encrypt");
}

void CBlowfish::decrypt(const void* in, void* out, size_t length, int mode)
{
    _crypt(static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out), length, mode, false,
           kTwoBufferDecryptWhat, "CBlowfish::decrypt");
}

void CBlowfish::encrypt_string(const std::string& text, CHexStore& out)
{
    // The text, its NUL and zero fill up to the next multiple of 8.
    const size_t length = (text.size() + 1 + kBlock - 1) / kBlock * kBlock;
    try {
        CHexStore buffer(length);
        buffer.append(text.data(), text.size());
        buffer.pad(0, length - text.size());
        encrypt(buffer.rawData(), buffer.size(), modeCBC);
        out = std::move(buffer);
    } catch (const std::bad_alloc&) {
        throw OSK_EXCEPTION(CMessage(kEncryptStringWhat), CMessage(kNoMemoryWhy),
                            "CBlowfish::encrypt_string", kModule);
    }
}

void CBlowfish::decrypt_string(const CHexStore& in, std::string& out)
{
    try {
        CHexStore buffer(in);
        decrypt(buffer.rawData(), buffer.size(), modeCBC);
        const uint8_t* bytes = buffer.rawData();
        const void* nul = std::memchr(bytes, 0, buffer.size());
        const size_t textLength =
            nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes) : buffer.size();
        out.assign(reinterpret_cast<const char*>(bytes), textLength);
        buffer.clear();
    } catch (const std::bad_alloc&) {
        throw OSK_EXCEPTION(CMessage(kDecryptStringWhat), CMessage(kNoMemoryWhy),
                            "CBlowfish::decrypt_string", kModule);
    }
}

bool CBlowfish::create_key_file(const std::string& directory, const std::string& name)
{
    std::vector<uint8_t> key;
    return create_key_file(directory, name, key);
}

bool CBlowfish::create_key_file(const std::string& directory, const std::string& name,
                                std::vector<uint8_t>& key)
{
    const std::string path = keyPath(directory, name);
    struct stat info;
    if (::lstat(path.c_str(), &info) == 0) return false;

    key.resize(keyFileLength);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    for (auto& byte : key) byte = static_cast<uint8_t>(std::rand() & 0xFF);

    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0660);
    if (fd < 0) {
        const int error = errno;
        // Someone else created it in the meantime: that key stands.
        if (error == EEXIST) return false;
        throw OSK_EXCEPTION(CMessage(kCreateKeyWhat).pushs(path), systemWhy(error),
                            "CBlowfish::create_key_file", kModule);
    }
    // The process umask must not narrow the key file's group access.
    if (::fchmod(fd, 0660) != 0 || !writeAll(fd, key.data(), key.size())) {
        const int error = errno;
        ::close(fd);
        ::unlink(path.c_str());
        throw OSK_EXCEPTION(CMessage(kWriteKeyWhat).pushs(path), systemWhy(error),
                            "CBlowfish::create_key_file", kModule);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        throw OSK_EXCEPTION(CMessage(kWriteKeyWhat).pushs(path), systemWhy(error),
                            "CBlowfish::create_key_file", kModule);
    }
    return true;
}

void CBlowfish::init_from_file(const std::string& directory, const std::string& name,
                               size_t length)
{
    if (length == 0) {
        throw OSK_EXCEPTION(CMessage(kEmptyKeyWhat).push(length), CMessage(kEmptyKeyWhy),
                            "CBlowfish::init_from_file", kModule);
    }
    const std::string path = keyPath(directory, name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        throw OSK_EXCEPTION(CMessage(kOpenKeyWhat).pushs(path), systemWhy(error),
                            "CBlowfish::init_from_file", kModule);
    }
    std::vector<uint8_t> key(length);
    size_t got = 0;
    while (got < length) {
        const ssize_t count = ::read(fd, key.data() + got, length - got);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        got += static_cast<size_t>(count);
    }
    ::close(fd);
    if (got != length) {
        std::fill(key.begin(), key.end(), 0);
        throw OSK_EXCEPTION(CMessage(kReadKeyWhat).pushs(path), CMessage(kReadKeyWhy),
                            "CBlowfish::init_from_file", kModule);
    }
    init(key.data(), key.size());
    std::fill(key.begin(), key.end(), 0);
}

} // namespace osk
