#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "local_fs/atomic_upload_file.h"
#include "local_fs/netascii_decoder.h"
#include "local_fs/netascii_encoder.h"
#include "local_fs/read_ahead.h"
#include "standard/file_descriptor.h"
#include "standard/file_offset.h"
#include "tftp/tftp_interfaces/i_descriptor.h"

namespace localfs {

// One local file opened for a transfer: a download reads a regular file (or
// a copy of a small one in memory), an upload writes through an atomic
// upload file.
//
// An octet download of more than a few blocks reads ahead (CReadAhead): one
// read fetches the blocks of the next 64 KiB, when the manager's budget for
// such buffers allows.
//
// Offsets given by the engine are positions on the wire. In octet mode they
// are file positions as well. In netascii mode the wire and the file differ
// in length, and transfers are strictly sequential, so the descriptor keeps
// its own file position and coder state: a download serves the next block
// or repeats the previous one (a retransmission), an upload appends the
// decoded bytes of each new block. Any other offset is out of sequence.
class CLocalDescriptor : public CIDescriptor {
public:
    // A download of an open regular file that had sizeAtOpen bytes when it
    // was opened; its read-ahead buffer comes from budget (null: none).
    CLocalDescriptor(osk::CFileDescriptor file, bool binary, const std::string& name, osk::CFileOffset sizeAtOpen,
                     CReadAheadBudget* budget = nullptr);
    // An octet download served from a copy of the file's content in memory.
    CLocalDescriptor(std::shared_ptr<const std::string> content, const std::string& name);
    // An upload; blksize tells which block is the last one (a shorter one).
    CLocalDescriptor(std::unique_ptr<CAtomicUploadFile> writer, bool binary, uint64_t blksize,
                     const std::string& name);
    ~CLocalDescriptor() override;

    bool downloading() const { return _file || _content; }
    // A download of a copy in memory, which holds no file descriptor.
    bool servedFromMemory() const { return _content != nullptr; }
    bool binary() const { return _binary; }
    const std::string& name() const { return _name; }
    // The last (short) block of the upload has been written.
    bool uploadComplete() const { return _complete; }

    // Download: fills buffer with up to count bytes from offset.
    size_t read(char* buffer, osk::CFileOffset offset, size_t count);
    // Upload: stores count received bytes from offset; returns count.
    size_t write(osk::CFileOffset offset, const char* data, size_t count);
    // Bytes the download sends (netascii: the encoded length), or the bytes
    // stored so far by an upload.
    osk::CFileOffset size();
    // Completes an upload whose last block was written and gives up any
    // other; nothing for a download. Throws when completing fails (the
    // partial upload is then given up).
    void close();

private:
    size_t _readOctet(char* buffer, osk::CFileOffset offset, size_t count);
    // Reads until count bytes or the end of the file.
    size_t _readFull(char* buffer, osk::CFileOffset offset, size_t count);
    size_t _readNetascii(char* buffer, osk::CFileOffset offset, size_t count);
    void _writeDecoded(const char* data, size_t count);
    // pread that retries on EINTR and throws on failure.
    size_t _pread(char* buffer, size_t count, osk::CFileOffset offset);
    // Makes the download's descriptor blocking; false when that fails.
    bool _makeBlocking();
    void _checkMode(bool download, const char* context) const;

    osk::CFileDescriptor _file;
    // A download's content when it is served from memory (no file then).
    std::shared_ptr<const std::string> _content;
    std::unique_ptr<CAtomicUploadFile> _writer;
    bool _binary;
    std::string _name;
    // The download's size when it was opened: a short read that reaches it
    // is the end of the file.
    osk::CFileOffset _sizeAtOpen = 0;
    CReadAhead _ahead;
    uint64_t _blksize = 0;
    bool _complete = false;

    // Netascii download: encoder, file position of the next source byte,
    // wire offset of the next block and a copy of the previous block.
    CNetasciiEncoder _encoder;
    osk::CFileOffset _sourcePos = 0;
    osk::CFileOffset _nextOffset = 0;
    bool _haveLast = false;
    osk::CFileOffset _lastOffset = 0;
    std::vector<char> _lastBlock;
    std::vector<char> _chunk;
    bool _sizeKnown = false;
    osk::CFileOffset _size = 0;

    // Netascii upload: decoder, wire bytes received and file bytes stored.
    CNetasciiDecoder _decoder;
    osk::CFileOffset _received = 0;
    osk::CFileOffset _stored = 0;
    std::vector<char> _decoded;
};

} // namespace localfs
