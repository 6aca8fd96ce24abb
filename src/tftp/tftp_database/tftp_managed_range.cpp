#include "tftp/tftp_database/tftp_managed_range.h"

#include "extended/exception.h"
#include "standard/number_conversion.h"
#include "standard/string_util.h"

namespace {
const char* const kModule = "tftp_database";
const char* const kMalformed = "The managed range '%1' is malformed.";
const char* const kBadItem = "'%1' is neither an address, a number nor a range 'first-last' of either.";
const char* const kBackwards = "The range '%1' ends before it starts.";

osk::CException malformed(const std::string& text, const osk::CMessage& why)
{
    return OSK_EXCEPTION(osk::CMessage(kMalformed, kModule).pushs(text), why, "CTFTPManagedRange::CTFTPManagedRange",
                         kModule);
}
} // namespace

bool CTFTPManagedRange::CBound::operator<(const CBound& other) const
{
    return isAddress ? address < other.address : number < other.number;
}

bool CTFTPManagedRange::_bound(const std::string& text, CBound& bound)
{
    const std::string value = osk::CStringUtil::trim(text);
    const osk::CNumberConversion number(value);
    if (number.isValid() && !number.isSigned()) {
        try {
            bound.number = number.toUInt64();
        } catch (const osk::CException&) {
            return false;  // more than 64 bits
        }
        bound.isAddress = false;
        return true;
    }
    if (value.empty() || !osk::CIPAddress::isValid(value)) return false;
    bound.isAddress = true;
    bound.address = osk::CIPAddress(value);
    return true;
}

CTFTPManagedRange::CTFTPManagedRange(const std::string& text)
{
    for (const std::string& item : osk::CStringUtil::split(text)) {
        // An IPv6 address has colons but never a dash, so the one dash of
        // an item separates its ends.
        const size_t dash = item.find('-');
        const std::string firstText = item.substr(0, dash);
        const std::string lastText = dash == std::string::npos ? item : item.substr(dash + 1);
        CItem range;
        const bool parsed = _bound(firstText, range.first) && _bound(lastText, range.last) &&
                            range.first.isAddress == range.last.isAddress &&
                            (!range.first.isAddress || range.first.address.type() == range.last.address.type());
        if (!parsed) throw malformed(text, osk::CMessage(kBadItem, kModule).pushs(item));
        if (range.last < range.first) throw malformed(text, osk::CMessage(kBackwards, kModule).pushs(item));
        _items.push_back(range);
    }
}

bool CTFTPManagedRange::contains(const std::string& value) const
{
    CBound probe;
    if (!_bound(value, probe)) return false;
    for (const CItem& item : _items) {
        if (probe.isAddress != item.first.isAddress) continue;
        if (probe.isAddress && probe.address.type() != item.first.address.type()) continue;
        if (!(probe < item.first) && !(item.last < probe)) return true;
    }
    return false;
}
