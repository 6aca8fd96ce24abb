#pragma once

#include <map>
#include <string>
#include <vector>

#include "extended/file_reader.h"
#include "extended/message.h"

namespace osk {

// Translations of message texts, keyed by the text as the program writes it
// (the "en_US" text), with the list of active locales. A translation file is
// a record file (see CFileReader, read with execute(directory, file)) whose
// records are string maps with the keys "id", "description", "en_US" and one
// key per locale holding that locale's text:
//
//     id=12
//     description=Shown when a task cannot start.
//     en_US=Failed to start task.
//     de_DE=Die Aufgabe kann nicht starten.
class CMessageStore : public CFileReader {
public:
    CMessageStore() = default;
    ~CMessageStore() override = default;

    // Comma-separated locale names, trimmed of blanks and tabs.
    void setLocales(const std::string& list);
    const std::vector<std::string>& locales() const { return _locales; }
    const std::string& defLocale() const { return _defLocale; }

    void addTranslation(const std::string& enUsText, const std::string& locale,
                        const std::string& text);

    // Number of texts that have at least one translation.
    size_t size() const { return _translations.size(); }

    // The message with its text replaced by the locale's translation, if any.
    // An empty locale stands for the default locale.
    CMessage tr(const CMessage& message, const std::string& locale) const;
    std::string tr(const std::string& text, const std::string& locale) const;

protected:
    // One translation record; a record without "en_US" throws "Invalid record
    // at line %1 in message locale file." with "Missing key 'en_US'.".
    void _processRecord(const std::string& record, size_t lineNumber) override;

private:
    std::map<std::string, std::map<std::string, std::string>> _translations;
    std::vector<std::string> _locales{"en_US"};
    std::string _defLocale = "en_US";
};

} // namespace osk
