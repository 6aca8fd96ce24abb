#include "local_fs/local_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "extended/exception.h"
#include "local_fs/local_file_error.h"
#include "local_fs/local_path_resolver.h"

namespace localfs {

namespace {

// Texts shown to clients and logs.
const char* const kCannotRead = "Cannot read file '%1'.";
const char* const kCannotWrite = "Cannot write file '%1'.";
const char* const kOutOfSequence = "The block is out of sequence.";
const char* const kWrongDirection = "The file is not open for this operation.";
const char* const kOffsetTooLarge = "The offset lies beyond the largest possible file size.";

// Source bytes read at a time when the encoded size of a file is measured.
constexpr size_t kSizeChunk = 65536;
constexpr uint64_t kMaxOffset = static_cast<uint64_t>(INT64_MAX);
// Bytes an octet download reads ahead at a time, and the file size (in
// blocks) from which it does: smaller files are read block by block.
constexpr size_t kReadAheadBytes = 64 * 1024;
constexpr uint64_t kReadAheadFromBlocks = 8;

} // namespace

CLocalDescriptor::CLocalDescriptor(osk::CFileDescriptor file, bool binary, const std::string& name,
                                   osk::CFileOffset sizeAtOpen, CReadAheadBudget* budget)
    : _file(std::move(file)), _binary(binary), _name(name), _sizeAtOpen(sizeAtOpen), _ahead(budget, kReadAheadBytes)
{
    // The octet size is the size at open: a client that asks for tsize
    // gets it without another look at the file.
    if (_binary) {
        _size = sizeAtOpen;
        _sizeKnown = true;
    }
}

CLocalDescriptor::CLocalDescriptor(std::shared_ptr<const std::string> content, const std::string& name)
    : _content(std::move(content)), _binary(true), _name(name), _sizeAtOpen(_content->size()), _ahead(nullptr, 0),
      _sizeKnown(true), _size(_content->size())
{
}

CLocalDescriptor::CLocalDescriptor(std::unique_ptr<CAtomicUploadFile> writer, bool binary, uint64_t blksize,
                                   const std::string& name)
    : _writer(std::move(writer)), _binary(binary), _name(name), _ahead(nullptr, 0), _blksize(blksize)
{
}

// An upload that was never closed is given up by the writer's destructor.
CLocalDescriptor::~CLocalDescriptor() = default;

void CLocalDescriptor::_checkMode(bool download, const char* context) const
{
    if (download ? downloading() : (_writer != nullptr)) return;
    throw CLocalFileError::make(download ? kCannotRead : kCannotWrite, _name, kWrongDirection, context, EBADF);
}

size_t CLocalDescriptor::_pread(char* buffer, size_t count, osk::CFileOffset offset)
{
    if (offset > kMaxOffset) throw CLocalFileError::make(kCannotRead, _name, kOffsetTooLarge, "CLocalDescriptor::read", EINVAL);
    for (;;) {
        const ssize_t n = ::pread(_file.get(), buffer, count, static_cast<off_t>(offset));
        if (n >= 0) return static_cast<size_t>(n);
        if (errno == EINTR) continue;
        // Downloads are opened non-blocking (see CLocalPathResolver::openRead);
        // a file system that honours that for regular files gets a blocking
        // descriptor from now on.
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && _makeBlocking()) continue;
        const int err = errno;
        throw CLocalFileError::make(kCannotRead, _name, strerror(err), "CLocalDescriptor::read", err);
    }
}

bool CLocalDescriptor::_makeBlocking()
{
    const int flags = ::fcntl(_file.get(), F_GETFL);
    if (flags < 0 || (flags & O_NONBLOCK) == 0) return false;
    return ::fcntl(_file.get(), F_SETFL, flags & ~O_NONBLOCK) == 0;
}

size_t CLocalDescriptor::read(char* buffer, osk::CFileOffset offset, size_t count)
{
    _checkMode(true, "CLocalDescriptor::read");
    return _binary ? _readOctet(buffer, offset, count) : _readNetascii(buffer, offset, count);
}

size_t CLocalDescriptor::_readOctet(char* buffer, osk::CFileOffset offset, size_t count)
{
    if (_content) {
        if (offset >= _content->size()) return 0;
        const size_t n = std::min<size_t>(count, _content->size() - static_cast<size_t>(offset));
        std::memcpy(buffer, _content->data() + offset, n);
        return n;
    }
    // Windows larger than half the read-ahead are read straight into place.
    if (count > 0 && count <= kReadAheadBytes / 2 && _sizeAtOpen > kReadAheadFromBlocks * count) {
        size_t got = 0;
        if (_ahead.serve(buffer, offset, count, got)) return got;
        const auto read = [this](char* to, osk::CFileOffset at, size_t bytes) { return _readFull(to, at, bytes); };
        if (_ahead.fill(offset, count, read) && _ahead.serve(buffer, offset, count, got)) return got;
    }
    return _readFull(buffer, offset, count);
}

size_t CLocalDescriptor::_readFull(char* buffer, osk::CFileOffset offset, size_t count)
{
    // A short read that reaches the size the file had when it was opened is
    // its end: no further read is needed to be told so. A short read before
    // that size may be partial, or the file has shrunk; the next read
    // decides. A file that has grown since is read as far as it goes now.
    size_t total = 0;
    while (total < count) {
        const size_t n = _pread(buffer + total, count - total, offset + total);
        if (n == 0) break;
        total += n;
        if (offset + total >= _sizeAtOpen) break;
    }
    return total;
}

size_t CLocalDescriptor::_readNetascii(char* buffer, osk::CFileOffset offset, size_t count)
{
    if (_haveLast && offset == _lastOffset) {
        // The previous block again: its acknowledgement was lost.
        const size_t n = std::min(count, _lastBlock.size());
        std::copy(_lastBlock.begin(), _lastBlock.begin() + static_cast<std::ptrdiff_t>(n), buffer);
        return n;
    }
    if (offset != _nextOffset)
        throw CLocalFileError::make(kCannotRead, _name, kOutOfSequence, "CLocalDescriptor::read", EINVAL);

    size_t produced = 0;
    _chunk.resize(count);
    while (produced < count) {
        const size_t n = _pread(_chunk.data(), count - produced, _sourcePos);
        size_t consumed = 0;
        const size_t written = _encoder.encode(_chunk.data(), n, buffer + produced, count - produced, consumed);
        _sourcePos += consumed;
        produced += written;
        // End of file, with any carried byte now written.
        if (n == 0 && !_encoder.pending()) break;
        if (written == 0 && consumed == 0) break;
    }
    _lastBlock.assign(buffer, buffer + produced);
    _lastOffset = offset;
    _haveLast = true;
    _nextOffset = offset + produced;
    return produced;
}

size_t CLocalDescriptor::write(osk::CFileOffset offset, const char* data, size_t count)
{
    _checkMode(false, "CLocalDescriptor::write");
    try {
        if (_binary) {
            _writer->write(offset, data, count);
        } else if (count > 0 && offset + count <= _received) {
            // A block already stored: its bytes are in the file.
            return count;
        } else {
            if (offset != _received)
                throw CLocalFileError::make(kCannotWrite, _name, kOutOfSequence, "CLocalDescriptor::write", EINVAL);
            _writeDecoded(data, count);
        }
    } catch (...) {
        // A failed upload is given up at once; closing it later does nothing.
        // (A failed write has already removed what it wrote.)
        _writer->abort();
        throw;
    }
    if (count < (_blksize ? _blksize : 512)) _complete = true;
    return count;
}

void CLocalDescriptor::_writeDecoded(const char* data, size_t count)
{
    _decoded.resize(CNetasciiDecoder::maxDecodedSize(count));
    const size_t n = _decoder.decode(data, count, _decoded.data());
    _writer->write(_stored, _decoded.data(), n);
    _stored += n;
    _received += count;
}

osk::CFileOffset CLocalDescriptor::size()
{
    if (_writer) return _writer->size();
    if (_sizeKnown) return _size;
    if (_binary) {
        struct stat st;
        if (::fstat(_file.get(), &st) != 0) {
            const int err = errno;
            throw CLocalFileError::make(kCannotRead, _name, strerror(err), "CLocalDescriptor::size", err);
        }
        _size = static_cast<osk::CFileOffset>(st.st_size);
    } else {
        std::vector<char> chunk(kSizeChunk);
        osk::CFileOffset pos = 0;
        _size = 0;
        for (;;) {
            const size_t n = _pread(chunk.data(), chunk.size(), pos);
            if (n == 0) break;
            _size += CNetasciiEncoder::encodedSize(chunk.data(), n);
            pos += n;
        }
    }
    _sizeKnown = true;
    return _size;
}

void CLocalDescriptor::close()
{
    if (!_writer || !_writer->open()) return;
    if (!_complete) {
        _writer->abort();
        return;
    }
    try {
        if (!_binary) {
            char held = 0;
            if (_decoder.finish(&held) == 1) {
                _writer->write(_stored, &held, 1);
                ++_stored;
            }
        }
    } catch (...) {
        _writer->abort();
        throw;
    }
    _writer->commit();
}

} // namespace localfs
