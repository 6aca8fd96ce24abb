#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "extended/config.h"
#include "extended/master_controller.h"
#include "standard/general_ptr.h"
#include "tftp/tftp_interfaces/i_tftp_fd_manager.h"
#include "tftp/tftp_interfaces/i_udp_publisher_factory.h"
#include "tftp/tftp_interfaces/tftp_event_publisher.h"
#include "tftp/tftp_interfaces/transfer_statistics.h"

class CITFTPProvisioner;
class CITFTPServicePart;
class CITFTPStoredPolicies;
class CTFTPConfigNames;

// The master controller of the TFTP daemon as consoles and plug-ins see it:
// the configuration, the catalogue of TFTP keys, the descriptor managers and
// the control of running transfers.
class CITFTPController : public osk::CMasterController {
public:
    // The type() of the TFTP service's controller. The remote console
    // serves only a controller of this type, so it serves no other
    // application that might load the library.
    static constexpr const char* tftpControllerType = "tftp";

    // Descriptor managers by the virtual file system name they serve.
    using fd_manager_ptr = osk::CGeneralPtr<CITFTPFDManager, osk::CMTOwnerPolicy>;
    using fd_manager_table = std::map<std::string, fd_manager_ptr>;

    CITFTPController() = default;
    ~CITFTPController() override = default;

    virtual CTFTPConfigNames& tftpConfigNames() = 0;
    virtual const fd_manager_table& fdManagers() const = 0;
    // The UDP event publisher of the plug-in offering
    // "CIUDPPublisherFactory"; null when none is loaded.
    virtual CIUDPPublisherFactory::publisher_ptr udpPublisher() const = 0;
    // The in-process event publisher; every call through it holds its lock.
    virtual CTFTPEventPublisherPtr eventPublisher() const = 0;
    // Aborts one running transfer: its next pass sends error 0 "Transfer
    // aborted" to the client. False when no running transfer has that id.
    virtual bool cancelTransfer(unsigned int transferID) = 0;
    // The engine's counters since the service started; written by the
    // engine thread, readable from any thread.
    virtual CTransferStatistics& transferStatistics() = 0;
    // The key/value provisioner that request expressions consult
    // ($DB.KEYVALUE() and its kin): the service's database installs it when
    // it opens and withdraws it (null) before it closes. Not owned; null
    // while no database is open, and the functions then report that no
    // database provider is loaded.
    virtual void provisioner(CITFTPProvisioner* provisioner) = 0;
    virtual CITFTPProvisioner* provisioner() const = 0;
    // The service part named name (partName()) that the controller holds,
    // or null: how consoles reach the service's database.
    virtual CITFTPServicePart* servicePart(const std::string& name) const = 0;
    // The stored policies of device accounts that $PROV.POLICY() reads,
    // installed and withdrawn by the service's database like the
    // provisioner. Not owned; null while no database is open, and the
    // policy functions then report that no policies are available.
    virtual void storedPolicies(CITFTPStoredPolicies* policies) = 0;
    virtual CITFTPStoredPolicies* storedPolicies() const = 0;
};
