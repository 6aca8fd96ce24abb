#include "firebird_provider/firebird_provider_plugin.h"

#include <memory>

#include "firebird_provider/fb_db_factory.h"
#include "oodb/db_abstract_factory_facade.h"
#include "oodb/db_constants.h"

namespace fbprov {

std::string CFirebirdProviderPlugin::pluginInterface() const
{
    return std::string(CDBConstants::firebirdImplementation) + "," + CDBProvider::interfaceName();
}

void CFirebirdProviderPlugin::registerFactories(CDBAbstractFactoryFacade& facade)
{
    facade.registerAbstractFactory(std::make_shared<CFbDBFactory>());
}

} // namespace fbprov
