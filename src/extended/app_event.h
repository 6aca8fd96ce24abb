#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "standard/general_ptr.h"
#include "standard/string_map.h"
#include "standard/time_t.h"

namespace osk {

// An application event: something that happened in the service (a transfer
// step, a configuration change, a subscription), stamped with the server,
// the time and a process-wide sequence number. Events are immutable once
// built and shared between threads through CAppEventPtr.
//
// The text form lists the fields in a fixed order, one "key=value" line
// each: the application keys ("event_type", "event_class",
// "event_instance", "event_time", "event_sequence", "event_server"), then
// the keys of the derived event.
class CAppEvent {
public:
    enum event_type : int32_t { add = 0, del = 1, modify = 2, control = 3 };
    // Ordered (key, value) pairs of the text form.
    using field_list_t = std::vector<std::pair<std::string, std::string>>;

    // The time is taken now and the next sequence number is drawn.
    CAppEvent(int64_t serverIndex, event_type type, const std::string& eventClass, int64_t instance,
              const std::string& sender = std::string());
    virtual ~CAppEvent() = default;
    CAppEvent(const CAppEvent&) = delete;
    CAppEvent& operator=(const CAppEvent&) = delete;

    // Every field of the text form added to out (a record sorts its keys;
    // the order of fields() is lost there).
    virtual void sm(CStringMap& out) const;
    // The fields in text-form order, appended to out.
    virtual void fields(field_list_t& out) const;
    // "key=value" lines in the order of fields(), each ended by a line feed.
    // Line feeds and carriage returns inside values become spaces.
    std::string string() const;

    // "add", "del", "modify", "control"; "unknown" for any other value.
    static std::string typeText(event_type type);

    // Class names of the framework's events.
    static const char* classConfig() { return "config"; }
    static const char* classSubscription() { return "subscription"; }
    static const char* classBeginTrans() { return "begin_trans"; }
    static const char* classPrepareTrans() { return "prepare_trans"; }
    static const char* classEndTrans() { return "end_trans"; }
    static const char* classAbortTrans() { return "abort_trans"; }

    int64_t serverIndex() const { return _serverIndex; }
    event_type type() const { return _type; }
    const std::string& eventClass() const { return _class; }
    int64_t instance() const { return _instance; }
    const CTimeT& time() const { return _time; }
    int64_t sequence() const { return _sequence; }
    const std::string& sender() const { return _sender; }

private:
    int64_t _serverIndex;
    event_type _type;
    std::string _class;
    int64_t _instance;
    CTimeT _time;
    int64_t _sequence;
    std::string _sender;
};

// Events travel between threads (engine, publisher, subscribers) shared
// through a thread-safe reference count; the last holder frees the event.
using CAppEventPtr = CGeneralPtr<CAppEvent, CMTOwnerPolicy>;

} // namespace osk
