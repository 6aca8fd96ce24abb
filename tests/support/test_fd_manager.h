#pragma once

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "extended/exception.h"
#include "tftp/tftp_interfaces/i_descriptor.h"
#include "tftp/tftp_interfaces/i_tftp_fd_manager.h"
#include "tftp/tftp_interfaces/i_tftp_fd_manager_factory.h"

namespace test_support {

// What every descriptor manager of the tests and fuzz harnesses shares: one
// virtual file system, every per-request decision in use (virtual root,
// pre-processor, access and overwrite rules), fixed upload settings, request
// names made absolute with ".." refused, and descriptors deleted on close.
// A subclass opens, reads and writes its files.
class CTestFDManagerBase : public CITFTPFDManager {
public:
    CTestFDManagerBase(std::string managerName, std::string vfs)
        : _managerName(std::move(managerName)), _vfs(std::move(vfs))
    {
    }

    std::string managerName() const override { return _managerName; }
    void initManager() override {}
    void shutdownManager() override {}
    std::vector<std::string> virtualFileSystems() const override { return {_vfs}; }
    bool usesVirtualRoot() const override { return true; }
    bool usesPreProcessor() const override { return true; }
    bool usesAccessControl() const override { return true; }
    bool usesOverwriteControl() const override { return true; }
    void setPathCreation(bool) override {}
    bool pathCreation() const override { return false; }
    void setUploadPerms(uint16_t) override {}
    uint16_t uploadPerms() const override { return 0644; }
    void closeFile(CIDescriptor* descriptor) override { delete descriptor; }
    size_t fdCount() const override { return 0; }
    void normaliseName(const osk::CEndpoint&, const std::string&, std::string& name) override
    {
        if (name.find("..") != std::string::npos) throw failure("Invalid name.", EACCES);
        while (!name.empty() && name[0] == '/') name.erase(0, 1);
        name = "/" + name;
    }

protected:
    // The failure of a file operation, carrying its system error as a real
    // manager's would.
    osk::CException failure(const char* what, int err) const
    {
        osk::CException e =
            OSK_EXCEPTION(osk::CMessage(what), osk::CMessage(std::strerror(err)), _managerName, "test");
        e.err_code(err);
        return e;
    }

private:
    std::string _managerName;
    std::string _vfs;
};

// Hands the controller one Manager, made from the factory's argument, and
// keeps a pointer to it for the test (the controller owns it).
template <class Manager>
class CTestFDManagerFactory : public CITFTPFDManagerFactory {
public:
    explicit CTestFDManagerFactory(std::string argument) : _argument(std::move(argument)) {}
    osk::CGeneralPtr<CITFTPFDManager> createFDManager(CITFTPController*) override
    {
        manager = new Manager(_argument);
        return osk::CGeneralPtr<CITFTPFDManager>(manager);
    }
    Manager* manager = nullptr;

private:
    std::string _argument;
};

} // namespace test_support
