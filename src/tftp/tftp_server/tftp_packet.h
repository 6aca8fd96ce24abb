#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tftp/tftp_interfaces/tftp_error_code.h"
#include "tftp/tftp_server/conn_req.h"
#include "tftp/tftp_server/tftp_opcode.h"

// The byte buffer through which every TFTP packet of the engine is built and
// decoded. One buffer serves all transfers: it is sized for the largest block
// size granted so far and only ever grows, so no packet costs an allocation.
//
// Every read is bounded by the buffer's length (or by the received length
// passed to the decoders); an invalid or short packet reads as zero and
// writers that do not fit do nothing. All multi-byte numbers are 16-bit
// big-endian.
class CTFTPPacket {
public:
    static constexpr uint32_t kHeaderLen = 4;
    static constexpr int kMinBlksize = 512;

    // An owned buffer of size + 4 bytes; invalid when size is below 512.
    explicit CTFTPPacket(unsigned size);
    // Wraps length bytes at buffer without taking ownership: the caller keeps
    // the bytes alive and releases them. A null buffer or a negative length
    // gives an invalid packet.
    CTFTPPacket(void* buffer, int length);
    ~CTFTPPacket();
    CTFTPPacket(const CTFTPPacket&) = delete;
    CTFTPPacket& operator=(const CTFTPPacket&) = delete;

    bool isValid() const { return _buffer != nullptr; }
    unsigned char* raw_pkt() { return _buffer; }
    const unsigned char* raw_pkt() const { return _buffer; }
    uint32_t raw_len() const { return _length; }
    static constexpr uint32_t header_len() { return kHeaderLen; }
    // The largest data block the buffer can carry.
    uint32_t max_blksize() const { return _length > kHeaderLen ? _length - kHeaderLen : 0; }
    // The data area after the 4-byte header; null when not valid.
    unsigned char* data() { return _buffer ? _buffer + kHeaderLen : nullptr; }

    // Replaces the buffer with a zero-filled one of blocksize + 4 bytes.
    // Refuses (false, old buffer kept) below 512 or when allocation fails.
    bool resize(int blocksize);
    // Zero-fills the whole buffer.
    void wipe();

    // The first word; 0 when invalid, shorter than 2 bytes or not an opcode.
    CTFTPOpcode opcode() const;
    void opcode(CTFTPOpcode value);
    // The word at offset 2; 0 when shorter than 4 bytes.
    uint16_t block() const;
    void block(uint16_t number);
    CTFTPErrorCode error_code() const;
    void error_code(CTFTPErrorCode code);
    // The zero-terminated string at offset 2 (file name) or 4 (error text),
    // ending at the buffer's end when unterminated. The writers cut the text
    // so that it and its terminating zero fit the buffer.
    std::string filename() const;
    void filename(const std::string& text);
    std::string message() const;
    void message(const std::string& text);

    // Encoders: each returns the number of bytes to send (0 when the packet
    // cannot hold even the fixed part).
    int make_ack(uint16_t blockNumber);
    // An empty message gives a bare 4-byte header; a long one is cut to fit.
    int make_err(CTFTPErrorCode code, const std::string& text);
    // OACK of the defined options, in the order blksize, tsize, timeout,
    // windowsize.
    int make_oack(const CConnReq& req);
    // Request encoder for the client side: the opcode must already be 1 or 2.
    // Returns 0 when the opcode is wrong or the request does not fit.
    int set_conn_req(const CConnReq& req);

    // Decodes a read or write request occupying the first `received` bytes
    // (at most raw_len()). Terminates the last string and folds the mode and
    // options to lower case in place. False when shorter than 3 bytes or not
    // a request.
    bool get_conn_req(CConnReq& req, uint32_t received);
    bool get_conn_req(CConnReq& req) { return get_conn_req(req, _length); }
    // Decodes the options of an OACK (client side).
    bool get_oack(CConnReq& req, uint32_t received);
    bool get_oack(CConnReq& req) { return get_oack(req, _length); }

private:
    // Reads the four options of an option area into req, in one walk over
    // its strings. An option is the first string that begins with its name
    // (where the name does not reach the area's last byte); its value is the
    // string after it. The walk gives up after five empty strings.
    static void _readOptions(const unsigned char* area, size_t length, CConnReq& req);
    // Lower-cases A-Z in [from, to).
    void _fold(size_t from, size_t to);

    uint16_t _word(size_t offset) const;
    void _word(size_t offset, uint16_t value);
    std::string _stringAt(size_t offset) const;
    void _stringAt(size_t offset, const std::string& text);
    // Appends text and its terminating zero at pos; false when it does not fit.
    bool _append(size_t& pos, const std::string& text);
    void _release();

    unsigned char* _buffer = nullptr;
    uint32_t _length = 0;
    bool _owned = false;
};
