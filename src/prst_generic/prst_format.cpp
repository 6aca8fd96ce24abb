#include "prst_generic/prst_format.h"

#include "extended/exception.h"
#include "security/access_rights.h"
#include "standard/hex_store.h"
#include "standard/ip_address.h"
#include "standard/number_conversion.h"
#include "standard/string_util.h"
#include "standard/time_t.h"

namespace {

// User-visible texts of the value formatters.
const char* const kUnableToFormat = "Unable to format value '%1' of type '%2'.";
const char* const kIllegalTypeAvailable = "Illegal type. Available types are: '%1'.";
const char* const kIllegalType = "Illegal type '%1'.";
const char* const kAvailableTypes = "Available types are '%1'.";
const char* const kUnableToTranslate = "Unable to translate value '%1' to required type '%2'.";
const char* const kIllegalValue = "Illegal value.";
const char* const kCannotDeserializeBoolean = "Cannot deserialize boolean value '%1'.";
const char* const kInvalidValue = "Invalid value.";
const char* const kModule = "prst_generic";

// Numbers are checked by reading them and written as they were given.
std::string signed16(const std::string& item)
{
    osk::CNumberConversion(item).toInt16();
    return item;
}
std::string signed64(const std::string& item)
{
    osk::CNumberConversion(item).toInt64();
    return item;
}
std::string unsigned16(const std::string& item)
{
    osk::CNumberConversion(item).toUInt16();
    return item;
}
std::string unsigned64(const std::string& item)
{
    osk::CNumberConversion(item).toUInt64();
    return item;
}
std::string single(const std::string& item)
{
    osk::CNumberConversion(item).toFloat();
    return item;
}
std::string real(const std::string& item)
{
    osk::CNumberConversion(item).toDouble();
    return item;
}

std::string rights(const std::string& value)
{
    osk::CAccessRights parsed;
    parsed.string(value);
    return osk::CNumberConversion::toString(static_cast<uint64_t>(parsed.rights()));
}

// The one formatter whose failure is this layer's own: execute() reports it
// as a value that does not translate to the type.
std::string boolean(const std::string& item)
{
    if (item == "true") return "1";
    if (item == "false") return "0";
    throw OSK_EXCEPTION(osk::CMessage(kCannotDeserializeBoolean).pushs(item), osk::CMessage(kInvalidValue),
                        "CPrstFormat::boolean", kModule);
}

std::string seconds(const std::string& item)
{
    return osk::CNumberConversion::toString(osk::CTimeT(item).seconds());
}

std::string address(const std::string& item) { return osk::CIPAddress(item).fat_string(); }

// Parsing checks the hexadecimal pairs; the text goes on as it was given.
std::string bytes(const std::string& value)
{
    const osk::CHexStore parsed(value);
    return value;
}

std::string kept(const std::string& value) { return value; }

std::string doubledQuotes(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

} // namespace

CPrstFormat::CPrstFormat()
{
    const bool list = false;
    const bool whole = true;
    const bool number = false;
    const bool text = true;
    _add(CDBFieldType::DB_TYPE_LONG, signed64, list, number);
    _add(CDBFieldType::DB_TYPE_INT32, signed64, list, number);
    _add(CDBFieldType::DB_TYPE_SHORT, signed16, list, number);
    _add(CDBFieldType::DB_TYPE_USHORT, unsigned16, list, number);
    _add(CDBFieldType::DB_TYPE_ULONG, unsigned64, list, number);
    _add(CDBFieldType::DB_TYPE_NUMERIC, real, list, number);
    _add(CDBFieldType::DB_TYPE_FLOAT, single, list, number);
    _add(CDBFieldType::DB_TYPE_DOUBLE, real, list, number);
    _add(CDBFieldType::DB_TYPE_DOMAIN_ID, signed64, list, number);
    _add(CDBFieldType::DB_TYPE_DOMAIN_GROUP_ID, signed64, list, number);
    _add(CDBFieldType::DB_TYPE_ACCESS_ID, signed64, list, number);
    _add(CDBFieldType::DB_TYPE_ACCESS_RIGHTS, rights, whole, number);
    _add(CDBFieldType::DB_TYPE_BOOL, boolean, list, number);
    _add(CDBFieldType::DB_TYPE_DATE, seconds, list, number);
    _add(CDBFieldType::DB_TYPE_TIME, seconds, list, number);
    _add(CDBFieldType::DB_TYPE_TIME_STAMP, seconds, list, number);
    _add(CDBFieldType::DB_TYPE_IP_ADDRESS, address, list, text);
    _add(CDBFieldType::DB_TYPE_HEX_STORE, bytes, whole, text);
    _add(CDBFieldType::DB_TYPE_STRING, kept, whole, text);
    _add(CDBFieldType::DB_TYPE_EXPR, kept, whole, text);
    _add(CDBFieldType::DB_TYPE_COBJECT, kept, whole, text);
    _add(CDBFieldType::DB_TYPE_BOOT_PROTO, kept, list, text);
    // "any" is no column type of its own: it takes any text as it is.
    _formatters["any"] = CFormatter{kept, whole, text};
}

void CPrstFormat::_add(CDBFieldType::type_t type, formatter_t format, bool wholeValue, bool quoted)
{
    _formatters[CDBFieldType::formalName(type)] = CFormatter{format, wholeValue, quoted};
}

const CPrstFormat::CFormatter* CPrstFormat::_find(const std::string& type) const
{
    const auto found = _formatters.find(type);
    return found == _formatters.end() ? nullptr : &found->second;
}

std::string CPrstFormat::availableTypes() const
{
    std::string names;
    for (const auto& entry : _formatters) {
        if (!names.empty()) names += ", ";
        names += entry.first;
    }
    return names;
}

void CPrstFormat::validateType(const std::string& type) const
{
    if (_find(type) == nullptr) {
        throw OSK_EXCEPTION(osk::CMessage(kIllegalType).pushs(type),
                            osk::CMessage(kAvailableTypes).pushs(availableTypes()), "CPrstFormat::validateType",
                            kModule);
    }
}

bool CPrstFormat::isQuoted(const std::string& type) const
{
    validateType(type);
    return _find(type)->quoted;
}

std::vector<std::string> CPrstFormat::executeItems(const std::string& value, const std::string& type) const
{
    const CFormatter* formatter = _find(type);
    if (formatter == nullptr) {
        throw OSK_EXCEPTION(osk::CMessage(kUnableToFormat).pushs(value).pushs(type),
                            osk::CMessage(kIllegalTypeAvailable).pushs(availableTypes()), "CPrstFormat::execute",
                            kModule);
    }
    std::vector<std::string> items;
    if (formatter->wholeValue)
        items.push_back(value);
    else
        items = osk::CStringUtil::split(value, ",", "", osk::CStringUtil::keepEmpty);
    for (std::string& item : items) {
        try {
            item = doubledQuotes(formatter->format(item));
        } catch (const osk::CException& failure) {
            // The parsers' errors say best what is wrong with the text; only
            // this layer's own refusal is reported as a failed translation.
            if (failure.module() != kModule) throw;
            throw OSK_EXCEPTION(osk::CMessage(kUnableToTranslate).pushs(item).pushs(type),
                                osk::CMessage(kIllegalValue), "CPrstFormat::execute", kModule);
        }
    }
    return items;
}

std::string CPrstFormat::execute(const std::string& value, const std::string& type) const
{
    const std::vector<std::string> items = executeItems(value, type);
    std::string joined;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) joined += ',';
        joined += items[i];
    }
    return joined;
}
