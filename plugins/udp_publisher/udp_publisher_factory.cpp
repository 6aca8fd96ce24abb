#include "udp_publisher/udp_publisher_factory.h"

#include "tftp/tftp_interfaces/i_tftp_controller.h"

namespace udppub {

CUDPPublisher::settings_t CUDPPublisherFactory::settings(CITFTPController* controller)
{
    CUDPPublisher::settings_t out;
    if (!controller) return out;
    const osk::CConfigPtr config = controller->config();
    out.maxHistory = config->get_ulong(maxHistoryKey(), static_cast<unsigned long>(out.maxHistory));
    out.latencyUsec = config->get_usec(latencyKey(), static_cast<unsigned long>(out.latencyUsec));
    return out;
}

CIUDPPublisherFactory::publisher_ptr CUDPPublisherFactory::createUDPPublisher(CITFTPController* controller)
{
    auto* publisher = new CUDPPublisher(controller, settings(controller));
    publisher_ptr held(publisher);
    if (controller) {
        std::string file = controller->config()->get_string(subscriberFileKey(), "");
        if (!file.empty()) {
            if (file[0] != '/') file = controller->varDir() + "/" + file;
            publisher->loadSubscribers(file);
        }
    }
    publisher->start();
    return held;
}

} // namespace udppub
