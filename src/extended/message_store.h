#pragma once

#include <map>
#include <string>
#include <vector>

#include "extended/message.h"

namespace osk {

// Translations of message texts, keyed by the text as the program writes it
// (the "en_US" text), with the list of active locales.
class CMessageStore {
public:
    CMessageStore() = default;
    virtual ~CMessageStore() = default;

    // Comma-separated locale names, trimmed of blanks and tabs.
    void setLocales(const std::string& list);
    const std::vector<std::string>& locales() const { return _locales; }
    const std::string& defLocale() const { return _defLocale; }

    void addTranslation(const std::string& enUsText, const std::string& locale,
                        const std::string& text);

    // The message with its text replaced by the locale's translation, if any.
    CMessage tr(const CMessage& message, const std::string& locale) const;
    std::string tr(const std::string& text, const std::string& locale) const;

private:
    std::map<std::string, std::map<std::string, std::string>> _translations;
    std::vector<std::string> _locales{"en_US"};
    std::string _defLocale = "en_US";
};

} // namespace osk
