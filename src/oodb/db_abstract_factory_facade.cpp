#include "oodb/db_abstract_factory_facade.h"

#include <utility>

#include "extended/exception.h"
#include "extended/master_controller.h"
#include "oodb/db_messages.h"
#include "oodb/db_provider.h"

void CDBAbstractFactoryFacade::registerAbstractFactory(std::shared_ptr<CDBAbstractFactory> factory)
{
    const std::string implementation = factory->implementation();
    std::lock_guard<std::mutex> guard(_lock);
    if (!_factories.emplace(implementation, std::move(factory)).second)
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::implementationRegisteredTwice).pushs(implementation),
                            osk::CMessage(), "CDBAbstractFactoryFacade::registerAbstractFactory",
                            CDBMessages::moduleOodb);
}

void CDBAbstractFactoryFacade::unregisterAbstractFactory(const std::string& implementation)
{
    std::lock_guard<std::mutex> guard(_lock);
    _factories.erase(implementation);
}

bool CDBAbstractFactoryFacade::registered(const std::string& implementation) const
{
    std::lock_guard<std::mutex> guard(_lock);
    return _factories.count(implementation) != 0;
}

std::vector<std::string> CDBAbstractFactoryFacade::implementations() const
{
    std::lock_guard<std::mutex> guard(_lock);
    std::vector<std::string> names;
    for (const auto& entry : _factories) names.push_back(entry.first);
    return names;
}

std::shared_ptr<CDBAbstractFactory> CDBAbstractFactoryFacade::factory(const std::string& implementation) const
{
    std::lock_guard<std::mutex> guard(_lock);
    auto found = _factories.find(implementation);
    if (found == _factories.end())
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::noFactoryForImplementation).pushs(implementation),
                            osk::CMessage(CDBMessages::implementationNotInitialized),
                            "CDBAbstractFactoryFacade::factory", CDBMessages::moduleOodb);
    return found->second;
}

size_t CDBAbstractFactoryFacade::registerLoadedProviders(const osk::CMasterController& controller)
{
    size_t count = 0;
    for (CPlugin* plugin : controller.findPluginTypes(CDBProvider::interfaceName())) {
        if (CDBProvider* provider = dynamic_cast<CDBProvider*>(plugin)) {
            provider->registerFactories(*this);
            ++count;
        }
    }
    return count;
}
