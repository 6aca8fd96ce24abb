#include "extended/app_event.h"

#include <atomic>

namespace osk {

namespace {
std::atomic<int64_t> sequenceCounter{0};

// The date text of a time in UTC; empty when the year cannot be written.
std::string utcText(const CTimeT& time)
{
    try {
        return time.string();
    } catch (const CException&) {
        return std::string();
    }
}
} // namespace

CAppEvent::CAppEvent(int64_t serverIndex, event_type type, const std::string& eventClass, int64_t instance,
                     const std::string& sender)
    : _serverIndex(serverIndex), _type(type), _class(eventClass), _instance(instance), _time(CTimeT::now()),
      _sequence(++sequenceCounter), _sender(sender)
{
}

std::string CAppEvent::typeText(event_type type)
{
    switch (type) {
    case add: return "add";
    case del: return "del";
    case modify: return "modify";
    case control: return "control";
    }
    return "unknown";
}

void CAppEvent::fields(field_list_t& out) const
{
    out.emplace_back("event_type", typeText(_type));
    out.emplace_back("event_class", _class);
    out.emplace_back("event_instance", std::to_string(_instance));
    out.emplace_back("event_time", utcText(_time));
    out.emplace_back("event_sequence", std::to_string(_sequence));
    out.emplace_back("event_server", std::to_string(_serverIndex));
}

void CAppEvent::sm(CStringMap& out) const
{
    field_list_t list;
    fields(list);
    for (const auto& field : list) out.set_string(field.first, field.second);
}

std::string CAppEvent::string() const
{
    field_list_t list;
    fields(list);
    std::string text;
    for (const auto& field : list) {
        text += field.first;
        text += '=';
        // A value never breaks its line: a requested file name is the
        // client's text and could otherwise forge keys of its own.
        for (char c : field.second) text += (c == '\n' || c == '\r') ? ' ' : c;
        text += '\n';
    }
    return text;
}

} // namespace osk
