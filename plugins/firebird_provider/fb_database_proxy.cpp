#include "firebird_provider/fb_database_proxy.h"

#include "firebird_provider/fb_connector.h"
#include "firebird_provider/fb_error.h"
#include "oodb/db_constants.h"

namespace fbprov {

CFbDatabaseProxy::CFbDatabaseProxy(const CFbConnectionSettings& settings)
    : _settings(settings), _attachment(CFbConnector::open(settings))
{
}

std::string CFbDatabaseProxy::implementation() const { return CDBConstants::firebirdImplementation; }

CFbDatabaseProxy& CFbDatabaseProxy::of(CDBDatabaseProxyI& proxy)
{
    CFbDatabaseProxy* firebird = dynamic_cast<CFbDatabaseProxy*>(&proxy);
    if (!firebird)
        throw CFbError::make(osk::CMessage("Cannot use a connection of '%1' for Firebird.").pushs(proxy.implementation()),
                             osk::CMessage("The connection was opened by another database implementation."),
                             "CFbDatabaseProxy::of");
    return *firebird;
}

} // namespace fbprov
