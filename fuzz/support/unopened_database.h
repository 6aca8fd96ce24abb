#pragma once

#include "oodb/db_abstract_factory_facade.h"
#include "oodb/db_base_session.h"
#include "oodb/db_controller.h"
#include "oodb/db_statement_file_reader.h"
#include "standard/string_map.h"

namespace zelvo_fuzz {

// The database surroundings of persistent objects without a database: no
// implementation is registered and nothing is ever opened, so objects can
// be made and their text forms written and read, while every step that
// reaches the database (a transaction, a named statement, a look-up of a
// domain by name) throws osk::CException as it would with the database gone.
class UnopenedDatabase {
public:
    CDBBaseSession& session() { return _session; }
    const CDBStatementFileReader& statements() const { return _statements; }

private:
    CDBAbstractFactoryFacade _facade;
    CDBController _controller{"fuzz", 0, _facade, "none"};
    CDBBaseSession _session{osk::CStringMap(), _controller};
    CDBStatementFileReader _statements;
};

} // namespace zelvo_fuzz
