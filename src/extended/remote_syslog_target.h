#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "extended/log_target.h"
#include "standard/endpoint.h"
#include "standard/tracked_factory.h"

namespace osk {

class CSockDgram;

// Forwards entries to a remote syslog server, one UDP datagram each:
//   "<priority> local time host [process] text"
// where priority is facility × 8 + level (see level()) and the time is the
// asctime text form. The setting is the server "ip:port" (or a bare ip);
// port 0, or no port, means 514.
class CRemoteSyslogTarget : public CLogTarget {
public:
    static constexpr uint16_t defaultPort = 514;

    CRemoteSyslogTarget();
    ~CRemoteSyslogTarget() override;

    void output(const std::string& host, const std::string& process, uint64_t threadId,
                const std::string& taskName, const std::string& module, const CLogFacility& facility,
                uint32_t severity, int64_t msgId, uint64_t reserved, const std::string& text) override;
    // Throws "Cannot configure remote syslog target." with "No remote target
    // specified." or "Remote syslog target does not evaluate to a valid IP
    // address.".
    void reconfigure(const std::string& setting) override;

    const CEndpoint& server() const { return _server; }

    // info and audit 6, warning 4, error 3, debug and verbose 7. With several
    // bits set the most severe wins.
    static int level(uint32_t severity);
    // The datagram text for one entry.
    static std::string datagram(const CLogFacility& facility, uint32_t severity, const std::string& host,
                                const std::string& process, const std::string& text);

private:
    CEndpoint _server;
    CTrackedPtr<CSockDgram> _socket;
};

} // namespace osk
