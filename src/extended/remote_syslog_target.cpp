#include "extended/remote_syslog_target.h"

#include "extended/exception.h"
#include "standard/sock_dgram.h"
#include "standard/string_util.h"
#include "standard/tracked_factory.h"

namespace osk {

namespace {
const char* const kModule = "extended";
const char* const kCannotConfigure = "Cannot configure remote syslog target.";
const char* const kNoTarget = "No remote target specified.";
const char* const kNotAnAddress = "Remote syslog target does not evaluate to a valid IP address.";
} // namespace

CRemoteSyslogTarget::CRemoteSyslogTarget() = default;
CRemoteSyslogTarget::~CRemoteSyslogTarget() = default;

int CRemoteSyslogTarget::level(uint32_t severity)
{
    if (severity & CException::error) return 3;
    if (severity & CException::warning) return 4;
    if (severity & (CException::info | CException::audit)) return 6;
    if (severity & (CException::debug | CException::verbose)) return 7;
    return 6;
}

void CRemoteSyslogTarget::reconfigure(const std::string& setting)
{
    const std::string text = CStringUtil::trim(setting, CStringUtil::whitespace);
    if (text.empty())
        throw OSK_EXCEPTION(CMessage(kCannotConfigure), CMessage(kNoTarget), "CRemoteSyslogTarget::reconfigure",
                            kModule);
    CEndpoint server;
    try {
        if (CIPAddress::isValid(text)) server = CEndpoint(CIPAddress(text), 0);
        else server.set(text);
    } catch (const CException&) {
        throw OSK_EXCEPTION(CMessage(kCannotConfigure), CMessage(kNotAnAddress), "CRemoteSyslogTarget::reconfigure",
                            kModule);
    }
    if (server.hbo_port() == 0) server.hbo_port(defaultPort);
    auto socket = CTrackedFactory::createUnique<CSockDgram>();
    CEndpoint local(CIPAddress(server.ip_address().type() == CIPAddress::ipv6 ? CIPAddress::ipv6 : CIPAddress::ipv4),
                    0);
    socket->open(local);
    _socket = std::move(socket);
    _server = server;
}

std::string CRemoteSyslogTarget::datagram(const CLogFacility& facility, uint32_t severity, const std::string& host,
                                          const std::string& process, const std::string& text)
{
    // "<%1> %2 %3 [%4] %5", built directly so that neither the argument
    // limit of a message nor a "%" in the text can change the payload.
    std::string payload = "<" + std::to_string(facility.facility() * 8 + level(severity)) + "> ";
    payload += asctimeText();
    payload += ' ';
    payload += host;
    payload += " [";
    payload += process;
    payload += "] ";
    payload += text;
    return payload;
}

void CRemoteSyslogTarget::output(const std::string& host, const std::string& process, uint64_t, const std::string&,
                                 const std::string&, const CLogFacility& facility, uint32_t severity, int64_t,
                                 uint64_t, const std::string& text)
{
    if (!_socket) return; // not configured: nowhere to send
    const std::string payload = datagram(facility, severity, host, process, text);
    _socket->send_blocked(payload.data(), payload.size(), _server);
}

} // namespace osk
