#include "tftp/tftp_database/prst_tftp_policy.h"

#include "extended/exception.h"
#include "security/secured_statement_args.h"
#include "tftp/tftp_database/prst_tftp_context.h"

namespace {
const char* const kModule = "tftp_database";
const char* const kCannotSet = "Cannot set policy record from text.";
const char* const kPackedInUnpacked = "Packed format is not supported in an unpacked session.";

const char* const kData = "data";
// "data <key>" sets an entry, "-data <key>" removes one.
const std::string kSetPrefix = "data";
const std::string kRemovePrefix = "-data";
} // namespace

CPrstClassSpec CPrstTFTPPolicy::_makeSpec()
{
    return CPrstClassSpec("CPrstTFTPPolicy", "policy", "tftp_policy", true);
}

osk::CStringMap CPrstTFTPPolicy::dataEntries() const
{
    osk::CStringMap entries;
    entries.set(data());
    return entries;
}

CPrstTFTPPolicy::ptr_t CPrstTFTPPolicy::findByName(CPrstContext& context, const std::string& name)
{
    list_t found = select(context, "SELECT T.* FROM tftp_policy T WHERE T.NAME = ?", {name}, 1);
    return found.empty() ? ptr_t() : std::move(found.front());
}

CPrstTFTPPolicy::list_t CPrstTFTPPolicy::selectByDomain(CPrstContext& context, int64_t domainId)
{
    return fastSelectRec(context, "tftp_policy.dom",
                         {osk::CSecuredStatementArgs::sourceTableValue(domainId, spec().table())});
}

void CPrstTFTPPolicy::_get(osk::CStringMap& map) const
{
    CPersistentSecuredObject<CPrstTFTPPolicy>::_get(map);
    if (CPrstTFTPContext::formatOf(context()) == CTFTPFormatType::unpacked) {
        const osk::CStringMap entries = dataEntries();
        for (const auto& entry : entries) map.string_insert(kSetPrefix + " " + entry.first, entry.second);
        return;
    }
    std::string packed = data();
    while (!packed.empty() && packed.back() == '\n') packed.pop_back();
    map.set_string(kData, packed);
}

void CPrstTFTPPolicy::_set(const osk::CStringMap& map)
{
    const bool unpacked = CPrstTFTPContext::formatOf(context()) == CTFTPFormatType::unpacked;
    if (unpacked && map.defined(kData))
        throw OSK_EXCEPTION(osk::CMessage(kCannotSet, kModule), osk::CMessage(kPackedInUnpacked, kModule),
                            "CPrstTFTPPolicy::_set", kModule);
    CPersistentSecuredObject<CPrstTFTPPolicy>::_set(map);
    if (!unpacked) {
        if (map.defined(kData)) data(map.get_string(kData));
        return;
    }
    osk::CStringMap entries = dataEntries();
    // An entry the text sets takes the values the text gives it in place of
    // all it had: stored data may hold a key more than once, and the text
    // this session writes shows each of them, so that text read back gives
    // the same entries.
    osk::CStringMap set;
    bool changed = false;
    for (const auto& entry : map) {
        const std::string& key = entry.first;
        if (key.compare(0, kSetPrefix.size(), kSetPrefix) == 0 && key.size() > kSetPrefix.size()) {
            set.string_insert(key.substr(kSetPrefix.size() + 1), entry.second);
            changed = true;
        } else if (key.compare(0, kRemovePrefix.size(), kRemovePrefix) == 0 && key.size() > kRemovePrefix.size()) {
            entries.erase(key.substr(kRemovePrefix.size() + 1));
            changed = true;
        }
    }
    for (const auto& entry : set) entries.erase(entry.first);
    for (const auto& entry : set) entries.string_insert(entry.first, entry.second);
    if (changed) data(entries.string());
}
