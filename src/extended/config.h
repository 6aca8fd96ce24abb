#pragma once

#include <string>

#include "standard/general_ptr.h"
#include "standard/string_map.h"

namespace osk {

// The service's configuration: one file of key=value lines held as a string
// map. It reads and writes that file, applies queued updates from a merge
// file and renames keys that older versions of the service used.
//
// Shared between tasks only through CConfigPtr, whose every call runs under
// the configuration's lock.
class CConfig : public CStringMap {
public:
    // The name of the update file looked for by mergeUpdates().
    static const char* const mergeFileName;

    CConfig(const std::string& version, const std::string& build, const std::string& path);
    ~CConfig() override = default;

    std::string typeName() const override { return "osk::CConfig"; }

    // Replaces the entries by the file's (empty lines dropped), then renames
    // legacy keys. An empty path means fqpn(); a non-empty one replaces it.
    // False when there is no path or the file cannot be opened.
    virtual bool read(const std::string& path);
    // Writes the text form to path (fqpn() when empty); false on failure.
    // The file is replaced in one step, so a failed write leaves the old one.
    virtual bool write(const std::string& path);
    // Applies directory/merge.conf ("set", "add" and "del" lines), renames
    // legacy keys, writes the configuration to its own file and, when that
    // succeeded, deletes the merge file. A missing merge file is no error.
    virtual void mergeUpdates(const std::string& directory);

    // Records that legacyName is now called currentName.
    void addTranslation(const std::string& legacyName, const std::string& currentName);
    const CStringMap& translations() const { return _translations; }

    const std::string& fqpn() const { return _fqpn; }
    void fqpn(const std::string& path) { _fqpn = path; }
    const std::string& version() const { return _version; }
    void version(const std::string& text) { _version = text; }
    const std::string& build() const { return _build; }
    void build(const std::string& text) { _build = text; }

private:
    // Moves the value of every legacy key to its current name.
    void _translate();

    std::string _fqpn;
    std::string _version;
    std::string _build;
    CStringMap _translations;
};

// How tasks reach the shared configuration: each call holds its lock.
using CConfigPtr = CLockedPtr<CConfig>;

} // namespace osk
