#include "client_transfer.h"

#include <cstdlib>

namespace loadgen {

CClientTransfer::CClientTransfer(const CSourceSet::File& file, std::string remoteName, const Settings& settings)
    : _file(file), _remoteName(std::move(remoteName)), _settings(settings)
{
}

CClientTransfer::Step CClientTransfer::_fail(const std::string& why)
{
    if (_failure.empty()) _failure = why;
    _finished = true;
    return Step::failed;
}

CClientTransfer::Step CClientTransfer::start()
{
    CTftpWire::Options options;
    if (_settings.optionBlksize) options.emplace_back("blksize", std::to_string(_settings.blksize));
    if (_settings.optionTsize)
        options.emplace_back("tsize", _settings.upload ? std::to_string(_file.bytes.size()) : "0");
    if (_settings.optionTimeout) options.emplace_back("timeout", std::to_string(_settings.timeoutSec));
    if (_settings.windowsize && !_settings.upload)
        options.emplace_back("windowsize", std::to_string(_settings.windowsize));
    CTftpWire::request(_packet, _settings.upload ? CTftpWire::wrq : CTftpWire::rrq, _remoteName, options);
    _started = true;
    return Step::send;
}

CClientTransfer::Step CClientTransfer::timeout()
{
    if (_finished) return Step::none;
    if (_retries >= _settings.maxRetries)
        return _fail("timeout after " + std::to_string(_retries) + " re-sends at block " + std::to_string(_block));
    ++_retries;
    ++_retransmits;
    // The acknowledgement re-sent starts the server's next window.
    _windowBlocks = 0;
    return Step::send;
}

CClientTransfer::Step CClientTransfer::receive(const uint8_t* bytes, size_t length, uint16_t fromPort)
{
    if (_finished || !_started) return Step::none;
    // The first reply fixes the server's transfer port; datagrams from any
    // other port belong to someone else.
    if (_serverPort == 0) _serverPort = fromPort;
    else if (fromPort != _serverPort) return Step::none;

    const CTftpWire::Parsed parsed = CTftpWire::parse(bytes, length);
    if (!parsed.valid) return _fail(parsed.problem);
    switch (parsed.op) {
    case CTftpWire::error:
        return _fail("server error " + std::to_string(parsed.errorCode) + ": " + parsed.text);
    case CTftpWire::oack:
        return _acceptOack(parsed);
    case CTftpWire::data:
        if (_settings.upload) return _fail("DATA received during an upload");
        return _onData(parsed);
    case CTftpWire::ack:
        if (!_settings.upload) return _fail("ACK received during a download");
        return _onAck(parsed);
    default:
        return _fail("unexpected opcode " + std::to_string(parsed.op));
    }
}

CClientTransfer::Step CClientTransfer::_acceptOack(const CTftpWire::Parsed& parsed)
{
    // Only an answer to the request itself: a repeated OACK after the first
    // block is a duplicate of a reply already handled.
    if (_offset != 0 || _block != 0 || _blockSent) return Step::none;
    const bool window = _settings.windowsize && !_settings.upload;
    if (!(_settings.optionBlksize || _settings.optionTsize || _settings.optionTimeout || window))
        return _fail("OACK to a request without options");
    size_t blksize = 512;
    size_t windowsize = 1;
    for (const auto& option : parsed.options) {
        const std::string& name = option.first;
        char* end = nullptr;
        const unsigned long long value = std::strtoull(option.second.c_str(), &end, 10);
        if (option.second.empty() || *end != 0) return _fail("OACK option " + name + " has value '" + option.second + "'");
        if (name == "blksize" && _settings.optionBlksize) {
            if (value < 8 || value > _settings.blksize) return _fail("OACK blksize " + option.second + " not acceptable");
            blksize = static_cast<size_t>(value);
        } else if (name == "tsize" && _settings.optionTsize) {
            if (value != _file.bytes.size())
                return _fail("OACK tsize " + option.second + ", file has " + std::to_string(_file.bytes.size()));
        } else if (name == "windowsize" && window) {
            if (value < 1 || value > _settings.windowsize)
                return _fail("OACK windowsize " + option.second + " not acceptable");
            windowsize = static_cast<size_t>(value);
        } else if (name == "timeout" && _settings.optionTimeout) {
            if (value != _settings.timeoutSec) return _fail("OACK timeout " + option.second + " not the one asked for");
        } else {
            return _fail("OACK carries option '" + name + "' that was not asked for");
        }
    }
    _blksize = blksize;
    _windowsize = windowsize;
    _retries = 0;
    if (_settings.upload) return _sendBlock();
    CTftpWire::ackPacket(_packet, 0);
    return Step::send;
}

CClientTransfer::Step CClientTransfer::_onData(const CTftpWire::Parsed& parsed)
{
    const uint16_t expected = static_cast<uint16_t>(_block + 1);
    if (parsed.block != expected) {
        const bool started = _offset != 0 || _block != 0;
        // A repeat of the block just acknowledged: the ACK was lost or slow.
        // Inside a window nothing was acknowledged since that block.
        if (parsed.block == _block && started && _windowBlocks == 0) {
            CTftpWire::ackPacket(_packet, _block);
            ++_retransmits;
            return Step::send;
        }
        // A block past a lost one: acknowledging the last block in order
        // makes the server start again after it; once per window.
        const auto ahead = static_cast<uint16_t>(parsed.block - expected);
        if (_windowsize > 1 && ahead < _windowsize && !_gapAcknowledged) {
            CTftpWire::ackPacket(_packet, _block);
            _windowBlocks = 0;
            _gapAcknowledged = true;
            ++_retransmits;
            return Step::send;
        }
        return Step::none;
    }
    if (parsed.payloadLength > _blksize)
        return _fail("block " + std::to_string(parsed.block) + " has " + std::to_string(parsed.payloadLength) +
                     " bytes, block size is " + std::to_string(_blksize));
    if (!CSourceSet::matches(_file, _offset, parsed.payload, parsed.payloadLength))
        return _fail("content differs from the source in the block at offset " + std::to_string(_offset));
    _offset += parsed.payloadLength;
    _block = parsed.block;
    _retries = 0;
    _gapAcknowledged = false;
    // A timeout from here on repeats the acknowledgement of this block.
    CTftpWire::ackPacket(_packet, _block);
    if (parsed.payloadLength < _blksize) {
        if (_offset != _file.bytes.size())
            return _fail("received " + std::to_string(_offset) + " bytes, file has " +
                         std::to_string(_file.bytes.size()));
        _finished = true;
        return Step::done;
    }
    return _acknowledgeWindow();
}

CClientTransfer::Step CClientTransfer::_acknowledgeWindow()
{
    if (++_windowBlocks < _windowsize) return Step::wait;
    _windowBlocks = 0;
    return Step::send;
}

CClientTransfer::Step CClientTransfer::_onAck(const CTftpWire::Parsed& parsed)
{
    if (!_blockSent) {
        // The answer to the request: ACK 0 means the server took no options.
        if (parsed.block != 0) return _fail("first ACK is for block " + std::to_string(parsed.block));
        _blksize = 512;
        _retries = 0;
        return _sendBlock();
    }
    // A duplicate ACK of an earlier block is ignored (answering it would
    // double every later block).
    if (parsed.block != _block) return Step::none;
    _offset = _sentOffset + (_packet.size() - 4);
    _retries = 0;
    if (_finalBlock) {
        _finished = true;
        return Step::done;
    }
    return _sendBlock();
}

CClientTransfer::Step CClientTransfer::_sendBlock()
{
    _sentOffset = _offset;
    const size_t left = _file.bytes.size() - static_cast<size_t>(_offset);
    const size_t count = left < _blksize ? left : _blksize;
    _block = static_cast<uint16_t>(_block + 1);
    CTftpWire::dataPacket(_packet, _block, _file.bytes.data() + _offset, count);
    _finalBlock = count < _blksize;
    _blockSent = true;
    return Step::send;
}

} // namespace loadgen
