#pragma once

#include <cstdint>
#include <string>

#include "standard/endpoint.h"
#include "tftp/tftp_server/tftp_opcode.h"

// One read or write request as decoded from the wire, with the options the
// client asked for. Setting an option's value also marks it as present.
class CConnReq {
public:
    // Endpoint type of the client and local addresses. The intake fills both
    // after decoding; the codec never touches them.
    using endpoint_type = osk::CEndpoint;

    static constexpr uint64_t kDefaultBlksize = 512;
    static constexpr uint64_t kDefaultTimeoutUsec = 3000000;
    static constexpr uint64_t kUsecPerSec = 1000000;
    static constexpr uint64_t kDefaultWindowsize = 1;

    const endpoint_type& src() const { return _src; }
    void src(const endpoint_type& e) { _src = e; }
    const endpoint_type& dst() const { return _dst; }
    void dst(const endpoint_type& e) { _dst = e; }

    const std::string& file() const { return _file; }
    void file(const std::string& name) { _file = name; }

    // True for a binary transfer, false for netascii.
    bool octet_mode() const { return _octetMode; }
    void octet_mode(bool octet) { _octetMode = octet; }

    CTFTPOpcode operation() const { return _operation; }
    void operation(CTFTPOpcode op) { _operation = op; }

    bool blksize_defined() const { return _blksizeDefined; }
    void blksize_defined(bool defined) { _blksizeDefined = defined; }
    uint64_t blksize() const { return _blksize; }
    void blksize(uint64_t bytes)
    {
        _blksize = bytes;
        _blksizeDefined = true;
    }

    // The retransmission timeout, kept in microseconds; the seconds view
    // truncates on reading.
    bool timeout_defined() const { return _timeoutDefined; }
    void timeout_defined(bool defined) { _timeoutDefined = defined; }
    uint64_t timeout_usec() const { return _timeoutUsec; }
    void timeout_usec(uint64_t usec)
    {
        _timeoutUsec = usec;
        _timeoutDefined = true;
    }
    uint64_t timeout_sec() const { return _timeoutUsec / kUsecPerSec; }
    void timeout_sec(uint64_t sec) { timeout_usec(sec * kUsecPerSec); }

    bool tsize_defined() const { return _tsizeDefined; }
    void tsize_defined(bool defined) { _tsizeDefined = defined; }
    uint64_t tsize() const { return _tsize; }
    void tsize(uint64_t bytes)
    {
        _tsize = bytes;
        _tsizeDefined = true;
    }

    // The number of blocks sent per acknowledgement (RFC 7440); 1 is
    // lock-step.
    bool windowsize_defined() const { return _windowsizeDefined; }
    void windowsize_defined(bool defined) { _windowsizeDefined = defined; }
    uint64_t windowsize() const { return _windowsize; }
    void windowsize(uint64_t blocks)
    {
        _windowsize = blocks;
        _windowsizeDefined = true;
    }

    // Every field back to its default.
    void clear() { *this = CConnReq(); }

    // Equal when the request itself (operation, name, mode and options) is
    // the same; the endpoints are not compared.
    bool sameRequest(const CConnReq& other) const;

    // A one-line description for logs and test output.
    std::string string() const;

private:
    endpoint_type _src;
    endpoint_type _dst;
    std::string _file;
    bool _octetMode = false;
    CTFTPOpcode _operation;
    bool _blksizeDefined = false;
    uint64_t _blksize = kDefaultBlksize;
    bool _timeoutDefined = false;
    uint64_t _timeoutUsec = kDefaultTimeoutUsec;
    bool _tsizeDefined = false;
    uint64_t _tsize = 0;
    bool _windowsizeDefined = false;
    uint64_t _windowsize = kDefaultWindowsize;
};
