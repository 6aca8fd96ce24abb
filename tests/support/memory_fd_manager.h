#pragma once

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <string>

#include "support/test_fd_manager.h"
#include "tftp/tftp_interfaces/state.h"

namespace test_support {

// A descriptor manager over files held in memory, so that a transfer reads
// and writes no disk: "download.bin" can be read, any other name can be
// written (up to a bound, past which writes fail as a full disk would).
class CMemoryFDManager : public CTestFDManagerBase {
public:
    static constexpr size_t maxUpload = 4 * 1024 * 1024;

    explicit CMemoryFDManager(std::string download)
        : CTestFDManagerBase("memory files", "file"), _download(std::move(download))
    {
    }

    CIDescriptor* openFile(CState& state) override
    {
        if (state.transmitting) {
            if (!_endsWith(state.fqpn, "/download.bin")) throw failure("Cannot open file.", ENOENT);
            return new CDescriptor(&_download);
        }
        return new CDescriptor(&_uploads[state.reqFile]);
    }
    size_t writeBlock(CIDescriptor* d, osk::CFileOffset offset, const char* data, size_t count) override
    {
        std::string& file = *static_cast<CDescriptor*>(d)->content;
        const size_t at = static_cast<size_t>(offset);
        if (at > maxUpload || count > maxUpload - at) throw failure("Cannot write.", ENOSPC);
        if (file.size() < at + count) file.resize(at + count);
        file.replace(at, count, data, count);
        return count;
    }
    size_t readBlock(char* buffer, osk::CFileOffset offset, size_t count, CIDescriptor* d) override
    {
        const std::string& file = *static_cast<CDescriptor*>(d)->content;
        const size_t at = static_cast<size_t>(offset);
        if (at >= file.size()) return 0;
        const size_t n = std::min(count, file.size() - at);
        std::memcpy(buffer, file.data() + at, n);
        return n;
    }
    osk::CFileOffset fileSize(CIDescriptor* d) override
    {
        return static_cast<osk::CFileOffset>(static_cast<CDescriptor*>(d)->content->size());
    }

    // Uploads are forgotten between runs, so that none sees another's.
    void forgetUploads() { _uploads.clear(); }

private:
    struct CDescriptor : CIDescriptor {
        explicit CDescriptor(std::string* file) : content(file) {}
        std::string* content;
    };
    static bool _endsWith(const std::string& text, const std::string& end)
    {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }

    std::string _download;
    std::map<std::string, std::string> _uploads;
};

using CMemoryFDManagerFactory = CTestFDManagerFactory<CMemoryFDManager>;

} // namespace test_support
