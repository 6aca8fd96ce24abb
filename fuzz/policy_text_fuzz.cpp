// The text form of TFTP policies in both session formats, and the format
// setting itself. Whatever text a policy accepts must render, and what it
// renders must read back into the same policy: the attributes written by a
// second policy set from the first one's are the first one's. The domains
// are the one attribute left out of the comparison: their names are looked
// up in the database, which this harness does not open (setting them throws
// here, and the policies keep the administrators' domain they start with).

#include <cstddef>
#include <cstdint>
#include <string>

#include "extended/exception.h"
#include "prst_generic/prst_context.h"
#include "standard/string_map.h"
#include "support/fuzz_bytes.h"
#include "support/unopened_database.h"
#include "tftp/tftp_database/prst_tftp_context.h"
#include "tftp/tftp_database/prst_tftp_policy.h"
#include "tftp/tftp_database/tftp_format_type.h"

namespace {

const char* const kDomains = "domains";

zelvo_fuzz::UnopenedDatabase& database()
{
    static zelvo_fuzz::UnopenedDatabase unopened;
    return unopened;
}

// The format named by text: a text the format accepts is one of its two
// names in any case, and the format then writes that name in lower case.
CTFTPFormatType formatOf(const std::string& text, uint8_t fallback)
{
    CTFTPFormatType format;
    try {
        format.string(text);
    } catch (const osk::CException&) {
        format = (fallback & 1) ? CTFTPFormatType::unpacked : CTFTPFormatType::packed;
        return format;
    }
    std::string lower;
    for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower != format.string()) __builtin_trap();
    return format;
}

// The attributes a policy writes: they must never fail, whatever was read.
osk::CStringMap rendered(const CPrstTFTPPolicy& policy)
{
    try {
        return policy.attributes();
    } catch (const osk::CException&) {
        __builtin_trap();
    }
}

osk::CStringMap withoutDomains(osk::CStringMap attributes)
{
    attributes.erase(kDomains);
    return attributes;
}

// Whether the entries of map read back unchanged from its text form, which
// keeps neither blanks around keys and values nor line feeds in them.
bool survivesText(const osk::CStringMap& map) { return osk::CStringMap(map.string()) == map; }

// Sets a new policy from attributes that a policy of the same session wrote:
// never refused, and it writes them again unchanged.
void expectRoundTrip(CPrstTFTPContext& context, const osk::CStringMap& first)
{
    auto copy = CPrstTFTPPolicy::createTransient(context);
    try {
        copy->attributes(withoutDomains(first));
    } catch (const osk::CException&) {
        __builtin_trap();
    }
    if (rendered(*copy) != first) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zelvo_fuzz::FuzzBytes input(data, size);
    const uint8_t choice = input.byte();
    const std::string formatText = input.chunk();
    const std::string stored = input.chunk();
    const std::string text = input.rest();

    CPrstTFTPContext context(database().session(), database().statements(), CPrstContext::administratorToken());
    context.formatType(formatOf(formatText, choice));
    const bool unpacked = context.formatType() == CTFTPFormatType::unpacked;

    auto policy = CPrstTFTPPolicy::createTransient(context);
    // A stored data text as the database may hold it, which the text then
    // changes (an unpacked session merges its entries into it).
    if (choice & 2) policy->data(stored);
    const osk::CStringMap before = rendered(*policy);
    try {
        // Either as the console's text, or as a record read from it with
        // the domains left out (which would need the database).
        if (choice & 4) policy->string(text);
        else policy->attributes(withoutDomains(osk::CStringMap(text)));
    } catch (const osk::CException&) {
        // An unpacked session refuses "data" alone before it changes
        // anything.
        if (unpacked && osk::CStringMap(text).defined("data") && rendered(*policy) != before) __builtin_trap();
        return 0;
    }
    const osk::CStringMap first = rendered(*policy);
    // The data entries are stored as their text: an unpacked session can
    // only give back the entries that text keeps.
    if (unpacked && !survivesText(policy->dataEntries())) return 0;
    expectRoundTrip(context, first);
    // The text form carries the same attributes whenever no value holds a
    // line feed of its own (which the line-oriented text would cut).
    const std::string firstText = policy->string();
    if (osk::CStringMap(firstText) == first) {
        auto copy = CPrstTFTPPolicy::createTransient(context);
        osk::CStringMap read(firstText);
        try {
            copy->attributes(withoutDomains(read));
        } catch (const osk::CException&) {
            __builtin_trap();
        }
        if (copy->string() != firstText) __builtin_trap();
    }
    return 0;
}
