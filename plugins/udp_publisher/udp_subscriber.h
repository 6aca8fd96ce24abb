#pragma once

#include <string>
#include <vector>

#include "standard/endpoint.h"

namespace udppub {

// One receiver of event datagrams: where they go, the tag echoed in each of
// them and the event classes it wants.
class CUDPSubscriber {
public:
    CUDPSubscriber() = default;
    // classes: event class names separated by commas; empty or "*" selects
    // every class.
    CUDPSubscriber(const osk::CEndpoint& endpoint, const std::string& tag, const std::string& classes);

    // One line of the subscriber file: the endpoint ("10.0.0.5:9000" or
    // "[::1]:9000"), then optional "tag=<text>" and "class=<list>" words,
    // separated by blanks. Throws osk::CException for a malformed line.
    static CUDPSubscriber parseLine(const std::string& line);

    const osk::CEndpoint& endpoint() const { return _endpoint; }
    const std::string& tag() const { return _tag; }
    const std::string& classes() const { return _classText; }
    // True when the subscriber wants events of that class.
    bool wants(const std::string& eventClass) const;

private:
    osk::CEndpoint _endpoint;
    std::string _tag;
    std::string _classText;
    std::vector<std::string> _classes;
};

} // namespace udppub
