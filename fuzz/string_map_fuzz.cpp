// The string map's text form: parsing with any separator and escape, the
// typed getters on every key, the template formatter, and the re-reading of
// the map's own text.

#include <cstddef>
#include <cstdint>
#include <string>

#include "extended/exception.h"
#include "standard/string_map.h"
#include "support/fuzz_bytes.h"

namespace {

const char* const kSeparators[] = {"\n", ",", ";", "\r\n", "&&"};
const char kEscapes[] = {0, '\\', '"', '%'};

// Every getter converts the value or throws osk::CException; any other
// outcome is a finding. The first keys are enough: every key goes through
// the same getters, and a thrown exception costs microseconds, so reading
// all of a map of a thousand keys slowed the whole run tenfold.
constexpr size_t kKeysRead = 64;

void readKeys(const osk::CStringMap& map)
{
    size_t read = 0;
    for (const auto& entry : map) {
        if (++read > kKeysRead) break;
        const std::string& key = entry.first;
        try { map.get_int64(key, 0); } catch (const osk::CException&) {}
        try { map.get_uint8(key, 0); } catch (const osk::CException&) {}
        try { map.get_uint64(key, 0); } catch (const osk::CException&) {}
        try { map.get_int16(key, 0); } catch (const osk::CException&) {}
        try { map.get_bool(key, false); } catch (const osk::CException&) {}
        try { map.get_double(key, 0.0); } catch (const osk::CException&) {}
        try { map.get_usec(key, 0); } catch (const osk::CException&) {}
        try { map.get_ctimet(key, osk::CTimeT()); } catch (const osk::CException&) {}
        try { map.get_path(key, "/"); } catch (const osk::CException&) {}
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zelvo_fuzz::FuzzBytes input(data, size);
    const uint8_t choice = input.byte();
    const char* separator = kSeparators[choice % (sizeof(kSeparators) / sizeof(kSeparators[0]))];
    const char escape = kEscapes[(choice >> 4) % sizeof(kEscapes)];
    const bool ignoreCase = (choice & 0x08) != 0;
    const std::string templateText = input.chunk();
    const std::string text = input.rest();

    osk::CStringMap map(text, separator, escape, ignoreCase);
    readKeys(map);
    try {
        map.formattedString(templateText);
    } catch (const osk::CException&) {
    }

    // The map's own newline text, read again, is read without failing.
    osk::CStringMap again(map.string());
    again += map;
    std::string fast;
    map.fastString(fast);
    osk::CStringMap(fast, separator, escape, ignoreCase);
    return 0;
}
