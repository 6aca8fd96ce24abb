#pragma once

#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "extended/exception.h"
#include "tftp/tftp_interfaces/i_descriptor.h"
#include "tftp/tftp_interfaces/i_tftp_fd_manager.h"
#include "tftp/tftp_interfaces/i_tftp_fd_manager_factory.h"
#include "tftp/tftp_interfaces/state.h"

namespace zelvo_fuzz {

// A descriptor manager over files held in memory, so that a transfer harness
// reads and writes no disk: "download.bin" can be read, any other name can
// be written (up to a bound, past which writes fail as a full disk would).
class MemoryFDManager : public CITFTPFDManager {
public:
    static constexpr size_t kMaxUpload = 4 * 1024 * 1024;

    explicit MemoryFDManager(std::string download) : _download(std::move(download)) {}

    std::string managerName() const override { return "fuzz memory files"; }
    void initManager() override {}
    void shutdownManager() override {}
    std::vector<std::string> virtualFileSystems() const override { return {"file"}; }
    bool usesVirtualRoot() const override { return true; }
    bool usesPreProcessor() const override { return true; }
    bool usesAccessControl() const override { return true; }
    bool usesOverwriteControl() const override { return true; }
    void setPathCreation(bool) override {}
    bool pathCreation() const override { return false; }
    void setUploadPerms(uint16_t) override {}
    uint16_t uploadPerms() const override { return 0644; }

    CIDescriptor* openFile(CState& state) override
    {
        if (state.transmitting) {
            if (!endsWith(state.fqpn, "/download.bin")) throw failure("Cannot open file.", ENOENT);
            return new Descriptor(&_download);
        }
        return new Descriptor(&_uploads[state.reqFile]);
    }
    void closeFile(CIDescriptor* descriptor) override { delete descriptor; }
    size_t writeBlock(CIDescriptor* d, osk::CFileOffset offset, const char* data, size_t count) override
    {
        std::string& file = *static_cast<Descriptor*>(d)->content;
        const size_t at = static_cast<size_t>(offset);
        if (at > kMaxUpload || count > kMaxUpload - at) throw failure("Cannot write.", ENOSPC);
        if (file.size() < at + count) file.resize(at + count);
        file.replace(at, count, data, count);
        return count;
    }
    size_t readBlock(char* buffer, osk::CFileOffset offset, size_t count, CIDescriptor* d) override
    {
        const std::string& file = *static_cast<Descriptor*>(d)->content;
        const size_t at = static_cast<size_t>(offset);
        if (at >= file.size()) return 0;
        const size_t n = std::min(count, file.size() - at);
        std::memcpy(buffer, file.data() + at, n);
        return n;
    }
    osk::CFileOffset fileSize(CIDescriptor* d) override
    {
        return static_cast<osk::CFileOffset>(static_cast<Descriptor*>(d)->content->size());
    }
    size_t fdCount() const override { return 0; }
    void normaliseName(const osk::CEndpoint&, const std::string&, std::string& name) override
    {
        if (name.find("..") != std::string::npos) throw failure("Invalid name.", EACCES);
        while (!name.empty() && name[0] == '/') name.erase(0, 1);
        name = "/" + name;
    }

    // Uploads are forgotten between inputs, so that none sees another's.
    void forgetUploads() { _uploads.clear(); }

private:
    struct Descriptor : CIDescriptor {
        explicit Descriptor(std::string* file) : content(file) {}
        std::string* content;
    };
    static bool endsWith(const std::string& text, const std::string& end)
    {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }
    static osk::CException failure(const char* what, int err)
    {
        osk::CException e =
            OSK_EXCEPTION(osk::CMessage(what), osk::CMessage(std::strerror(err)), "MemoryFDManager", "fuzz");
        e.err_code(err);
        return e;
    }

    std::string _download;
    std::map<std::string, std::string> _uploads;
};

// Hands the controller one MemoryFDManager and keeps a pointer to it.
class MemoryFDManagerFactory : public CITFTPFDManagerFactory {
public:
    explicit MemoryFDManagerFactory(std::string download) : _download(std::move(download)) {}
    osk::CGeneralPtr<CITFTPFDManager> createFDManager(CITFTPController*) override
    {
        manager = new MemoryFDManager(_download);
        return osk::CGeneralPtr<CITFTPFDManager>(manager);
    }
    MemoryFDManager* manager = nullptr;

private:
    std::string _download;
};

} // namespace zelvo_fuzz
