#pragma once

#include <optional>
#include <string>

#include "standard/datagram_batch.h"
#include "standard/endpoint.h"
#include "standard/sock_dgram.h"
#include "tftp/tftp_server/udp_callback.h"

class CITFTPController;
class CTFTPPacket;
class CTFTPServer;

// The request port's callback: answers registered queries, screens new
// requests (opcode, paused engine, connection limit, decoding) and hands
// good ones to the engine.
class CRequestProcessor : public CUDPCallback {
public:
    CRequestProcessor(CITFTPController* controller, CTFTPServer* server);

    // Reads the datagrams waiting on sock and screens them (takes the engine
    // lock).
    void udp_input(osk::CSockDgram& sock) override;
    void udp_exception(osk::CSockDgram&) override {}

    // Screens one received datagram of length bytes in packet (engine lock
    // held by the caller).
    void serviceRequest(osk::CSockDgram& sock, const osk::CEndpoint& from, CTFTPPacket* packet, int length);
    // True (and the answer sent) when the datagram is a registered query.
    bool queryResponse(osk::CSockDgram& sock, const osk::CEndpoint& from, CTFTPPacket* packet, int length);

private:
    // The connection limits as configured.
    struct CLimits {
        long maxConnections;
        long perClient;
    };

    // serviceRequest with the limits of the batch the datagram came in:
    // read from the configuration for the first request that needs them.
    void _serviceRequest(osk::CSockDgram& sock, const osk::CEndpoint& from, CTFTPPacket* packet, int length,
                         std::optional<CLimits>& limits);
    CLimits _readLimits() const;
    void _countRefusal();

    CITFTPController* _controller;
    CTFTPServer* _server;
    CTFTPPacket* _packet = nullptr;
    // Requests read from a socket and not screened yet; empty between
    // calls of udp_input, so the request sockets can share it.
    osk::CDatagramBatch _received;
    // The connection limits' keys and catalogue defaults, made once. The
    // limits themselves are read from the configuration once per batch of
    // requests that one receive call gives, so that a change applies to
    // every request sent after it without a look-up per request.
    const std::string _maxConnectionsKey;
    const std::string _perClientKey;
    const long _defaultMaxConnections;
    const long _defaultPerClient;
};
