#include "udp_publisher/udp_subscriber.h"

#include <algorithm>
#include <sstream>

#include "extended/exception.h"
#include "standard/string_util.h"

namespace udppub {

namespace {
const char* const kModule = "udp_publisher";
const char* const kBadLine = "Cannot read the subscriber '%1'.";
const char* const kUnknownWord = "The word '%1' is neither 'tag=' nor 'class='.";
const char* const kNoPort = "The endpoint '%1' has no port.";
const char* const kNoEndpoint = "The line names no endpoint.";

osk::CException lineError(const std::string& line, const osk::CMessage& why)
{
    return OSK_EXCEPTION(osk::CMessage(kBadLine, kModule).pushs(line), why, "CUDPSubscriber::parseLine", kModule);
}
} // namespace

CUDPSubscriber::CUDPSubscriber(const osk::CEndpoint& endpoint, const std::string& tag, const std::string& classes)
    : _endpoint(endpoint), _tag(tag), _classText(classes)
{
    for (const std::string& name : osk::CStringUtil::split(classes)) {
        if (name == "*") {
            _classes.clear();
            break;
        }
        _classes.push_back(name);
    }
}

bool CUDPSubscriber::wants(const std::string& eventClass) const
{
    return _classes.empty() || std::find(_classes.begin(), _classes.end(), eventClass) != _classes.end();
}

CUDPSubscriber CUDPSubscriber::parseLine(const std::string& line)
{
    std::istringstream words(line);
    std::string endpointText;
    if (!(words >> endpointText)) throw lineError(line, osk::CMessage(kNoEndpoint, kModule));
    osk::CEndpoint endpoint;
    try {
        endpoint.set(endpointText);
    } catch (const osk::CException& e) {
        throw lineError(line, e.whatMsg());
    }
    if (endpoint.hbo_port() == 0) throw lineError(line, osk::CMessage(kNoPort, kModule).pushs(endpointText));
    std::string tag;
    std::string classes;
    std::string word;
    while (words >> word) {
        if (word.compare(0, 4, "tag=") == 0)
            tag = word.substr(4);
        else if (word.compare(0, 6, "class=") == 0)
            classes = word.substr(6);
        else
            throw lineError(line, osk::CMessage(kUnknownWord, kModule).pushs(word));
    }
    return CUDPSubscriber(endpoint, tag, classes);
}

} // namespace udppub
