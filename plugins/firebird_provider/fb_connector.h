#pragma once

#include <memory>

#include "firebird_provider/fb_attachment.h"
#include "firebird_provider/fb_connection_settings.h"

namespace fbprov {

class CFbStatus;

// Opens the database the settings name, creating it on first use. For the
// embedded engine the file is checked first so that the usual mistakes (no
// such directory, a file this process may not use) are reported in plain
// words with the file's name, before Firebird's terser messages.
class CFbConnector {
public:
    static std::unique_ptr<CFbAttachment> open(const CFbConnectionSettings& settings);

private:
    static std::unique_ptr<CFbAttachment> _openEmbedded(const CFbConnectionSettings& settings);
    static std::unique_ptr<CFbAttachment> _openRemote(const CFbConnectionSettings& settings);
    static std::unique_ptr<CFbAttachment> _attach(const CFbConnectionSettings& settings);
    // The attachment, or null with the error left in status.
    static Firebird::IAttachment* _tryAttach(const CFbConnectionSettings& settings, CFbStatus& status);
    static std::unique_ptr<CFbAttachment> _create(const CFbConnectionSettings& settings);
};

} // namespace fbprov
