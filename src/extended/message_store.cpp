#include "extended/message_store.h"

#include "extended/exception.h"
#include "standard/string_map.h"
#include "standard/string_util.h"

namespace osk {

namespace {
const char* const kModule = "extended";
const char* const kInvalidRecord = "Invalid record at line %1 in message locale file.";
const char* const kMissingEnUs = "Missing key 'en_US'.";
const char* const kKeyEnUs = "en_US";
const char* const kKeyId = "id";
const char* const kKeyDescription = "description";
} // namespace

void CMessageStore::_processRecord(const std::string& record, size_t lineNumber)
{
    const CStringMap fields(record, "\n");
    const auto english = fields.find(kKeyEnUs);
    if (english == fields.end())
        throw OSK_EXCEPTION(CMessage(kInvalidRecord).push(lineNumber), CMessage(kMissingEnUs),
                            "CMessageStore::_processRecord", kModule);
    for (const auto& field : fields) {
        if (field.first == kKeyEnUs || field.first == kKeyId || field.first == kKeyDescription) continue;
        addTranslation(english->second, field.first, field.second);
    }
}

void CMessageStore::setLocales(const std::string& list)
{
    _locales = CStringUtil::split(list);
    if (!_locales.empty()) _defLocale = _locales.front();
}

void CMessageStore::addTranslation(const std::string& enUsText, const std::string& locale,
                                   const std::string& text)
{
    _translations[enUsText][locale] = text;
}

std::string CMessageStore::tr(const std::string& text, const std::string& locale) const
{
    const auto record = _translations.find(text);
    if (record == _translations.end()) return text;
    const auto translated = record->second.find(locale.empty() ? _defLocale : locale);
    return translated == record->second.end() ? text : translated->second;
}

CMessage CMessageStore::tr(const CMessage& message, const std::string& locale) const
{
    CMessage translated(message);
    translated.msg(tr(message.msg(), locale));
    return translated;
}

} // namespace osk
