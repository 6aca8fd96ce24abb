#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "oodb/db_abstract_factory.h"

namespace osk {
class CMasterController;
}

// The registry through which database providers plug in: each provider
// registers its abstract factory under the implementation it makes, and the
// layer asks for the factory of the implementation a database uses.
class CDBAbstractFactoryFacade {
public:
    // Registers factory under its implementation. Throws when that
    // implementation already has a factory.
    void registerAbstractFactory(std::shared_ptr<CDBAbstractFactory> factory);
    void unregisterAbstractFactory(const std::string& implementation);
    bool registered(const std::string& implementation) const;
    // The registered implementations, in name order.
    std::vector<std::string> implementations() const;

    // The factory of implementation. Throws "Unable to find a factory using
    // database implementation '%1'." (why "Database implementation not
    // initialized.") when none is registered.
    std::shared_ptr<CDBAbstractFactory> factory(const std::string& implementation) const;

    // Asks every loaded plug-in that offers CDBProvider's interface to
    // register its factories here; returns how many did.
    size_t registerLoadedProviders(const osk::CMasterController& controller);

private:
    mutable std::mutex _lock;
    std::map<std::string, std::shared_ptr<CDBAbstractFactory>> _factories;
};
