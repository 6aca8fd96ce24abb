#pragma once

#include <memory>

#include "standard/string_map.h"

class CDBBaseSession;
class CDBStatementFileReader;
class CITFTPController;

// What a database facade plug-in offers the service's consoles: their way
// into the service's database. Consoles ask the first loaded plug-in
// conforming to interfaceName(); while none is loaded they do not reach the
// database at all and the administrator's login does not consult it.
class CIDBFacadeFactory {
public:
    static const char* interfaceName() { return "CIDBFacadeFactory"; }

    virtual ~CIDBFacadeFactory() = default;

    // True when the service has an open database that consoles can reach.
    virtual bool hasDatabase(CITFTPController& controller) = 0;
    // A new session of one console on the service's open database,
    // configured from config. Throws "Cannot retrieve database session."
    // when the service has no open database.
    virtual std::unique_ptr<CDBBaseSession> createConsoleSession(CITFTPController& controller,
                                                                 const osk::CStringMap& config) = 0;
    // The statements the persistent objects of a console session use.
    // Throws as createConsoleSession().
    virtual const CDBStatementFileReader& statements(CITFTPController& controller) = 0;
};
