#pragma once

#include <cstdint>
#include <string>

#include "extended/app_event.h"
#include "standard/endpoint.h"
#include "standard/string_map.h"

// The UDP event publisher as the service sees it: the engine hands it every
// transfer event, consoles manage its subscribers and its archive. It lives
// in a plug-in offering "CIUDPPublisherFactory".
//
// Every operation may be called from any thread. publish() is called on the
// engine thread and must never block: an implementation queues the event
// and sends it from a thread of its own.
class CIUDPPublisher {
public:
    virtual ~CIUDPPublisher() = default;

    // Queues one event; transferID is the transfer it describes (0 for
    // events of other kinds).
    virtual void publish(const osk::CAppEventPtr& event, uint32_t transferID) = 0;
    // Adds a subscriber, or replaces the tag and class of one already
    // subscribed at that endpoint. eventClass selects the events sent to it
    // (empty: all). Throws for an endpoint without an address or port.
    virtual void subscribe(const osk::CEndpoint& endpoint, const std::string& tag, const std::string& eventClass) = 0;
    // Removes the subscriber at that endpoint; nothing when there is none.
    virtual void unsubscribe(const osk::CEndpoint& endpoint) = 0;
    // Counters of the publisher's event archive, merged into out.
    virtual void archiveCount(osk::CStringMap& out) const = 0;
    // Forgets the archived events.
    virtual void clearArchive() = 0;
};
