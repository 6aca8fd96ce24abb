#pragma once

#include <memory>
#include <string>

#include "firebird_provider/fb_attachment.h"
#include "firebird_provider/fb_connection_settings.h"
#include "oodb/db_database_proxy_i.h"

namespace fbprov {

// The object database layer's connection to a Firebird database: opens
// (or creates) the database the settings name and owns the attachment.
class CFbDatabaseProxy : public CDBDatabaseProxyI {
public:
    explicit CFbDatabaseProxy(const CFbConnectionSettings& settings);

    std::string implementation() const override;
    std::string location() const override { return _settings.connectionString(); }
    CFbAttachment& attachment() const { return *_attachment; }

    // The Firebird connection behind a proxy of the layer; throws when the
    // proxy belongs to another implementation.
    static CFbDatabaseProxy& of(CDBDatabaseProxyI& proxy);

private:
    CFbConnectionSettings _settings;
    std::unique_ptr<CFbAttachment> _attachment;
};

} // namespace fbprov
