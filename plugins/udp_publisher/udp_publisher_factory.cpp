#include "udp_publisher/udp_publisher_factory.h"

#include "extended/config_values.h"
#include "tftp/tftp_interfaces/i_tftp_controller.h"

namespace udppub {

CUDPPublisher::settings_t CUDPPublisherFactory::settings(CITFTPController* controller)
{
    CUDPPublisher::settings_t out;
    const osk::CConfigNames& names = osk::CConfigNames::framework();
    const osk::CStringMap unset;
    osk::CConfigPtr config;
    if (controller) config = controller->config();
    osk::CConfigGuard guard(config);
    const osk::CConfigValues values(config ? static_cast<const osk::CStringMap&>(*config) : unset, names);
    out.maxHistory = values.ulong(maxHistoryKey());
    out.latencyUsec = values.usec(latencyKey());
    return out;
}

CIUDPPublisherFactory::publisher_ptr CUDPPublisherFactory::createUDPPublisher(CITFTPController* controller)
{
    auto* publisher = new CUDPPublisher(controller, settings(controller));
    publisher_ptr held(publisher);
    if (controller) {
        const osk::CConfigPtr config = controller->config();
        osk::CConfigGuard guard(config);
        std::string file = osk::CConfigValues(*config, osk::CConfigNames::framework()).text(subscriberFileKey());
        if (!file.empty()) {
            if (file[0] != '/') file = controller->varDir() + "/" + file;
            publisher->loadSubscribers(file);
        }
    }
    publisher->start();
    return held;
}

} // namespace udppub
