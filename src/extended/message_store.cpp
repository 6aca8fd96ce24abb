#include "extended/message_store.h"

#include <sstream>

namespace osk {

void CMessageStore::setLocales(const std::string& list)
{
    _locales.clear();
    std::stringstream stream(list);
    std::string item;
    while (std::getline(stream, item, ',')) {
        const size_t first = item.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        const size_t last = item.find_last_not_of(" \t");
        _locales.push_back(item.substr(first, last - first + 1));
    }
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
