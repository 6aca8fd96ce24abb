#include "tftp/tftp_database/tftp_format_type.h"

#include "extended/exception.h"
#include "standard/variant_text.h"

namespace {
const char* const kModule = "tftp_database";

// User-visible texts of CTFTPFormatType.
const char* const kCannotSet = "Cannot set format type.";
const char* const kInvalidValue = "Invalid or unknown value '%1'.";

const char* const kPacked = "packed";
const char* const kUnpacked = "unpacked";

osk::CException invalid(const std::string& shown, const char* context)
{
    return OSK_EXCEPTION(osk::CMessage(kCannotSet, kModule), osk::CMessage(kInvalidValue, kModule).pushs(shown),
                         context, kModule);
}
} // namespace

void CTFTPFormatType::value(int32_t number)
{
    if (number != packed && number != unpacked) throw invalid(std::to_string(number), "CTFTPFormatType::value");
    _value = static_cast<format_t>(number);
}

std::string CTFTPFormatType::string() const { return _value == unpacked ? kUnpacked : kPacked; }

void CTFTPFormatType::string(const std::string& text)
{
    if (osk::CVariantText::equalsNoCase(text, kPacked))
        _value = packed;
    else if (osk::CVariantText::equalsNoCase(text, kUnpacked))
        _value = unpacked;
    else
        throw invalid(text, "CTFTPFormatType::string");
}
