#pragma once

class CDBAbstractFactoryFacade;

// Implemented by a plug-in that provides a database implementation. The
// plug-in names interfaceName() among its interfaces, and the layer finds it
// among the loaded plug-ins and lets it register its factories.
class CDBProvider {
public:
    static const char* interfaceName() { return "CDBProvider"; }

    virtual ~CDBProvider() = default;
    virtual void registerFactories(CDBAbstractFactoryFacade& facade) = 0;
};
