#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <firebird/Interface.h>

#include "extended/message.h"
#include "firebird_provider/fb_value.h"

namespace fbprov {

class CFbResultSet;
class CFbTransaction;

// Owns one prepared statement. Values always travel as parameters ("?" in
// the SQL text), never inside it. A statement may run many times, in any
// transaction of its attachment.
class CFbStatement {
public:
    // Prepares `sql`; throws osk::CException naming the SQL text when
    // Firebird refuses it.
    CFbStatement(CFbTransaction& transaction, const std::string& sql);
    ~CFbStatement();
    CFbStatement(const CFbStatement&) = delete;
    CFbStatement& operator=(const CFbStatement&) = delete;

    const std::string& sql() const { return _sql; }
    // How many parameters ("?") the statement takes.
    unsigned parameterCount() const;
    // How the engine runs the statement, in its own words ("PLAN (T ORDER
    // name)" reads rows along an index; "PLAN SORT (...)" sorts them first).
    std::string plan() const;
    // Names the cursor of a SELECT ... FOR UPDATE so that another statement
    // can say UPDATE ... WHERE CURRENT OF name; set before select().
    void cursorName(const std::string& name);

    // Runs a statement that returns no rows; returns the number of rows it
    // inserted, changed or deleted.
    uint64_t execute(CFbTransaction& transaction, const CFbValues& values = CFbValues());
    // Opens the rows of a SELECT.
    std::unique_ptr<CFbResultSet> select(CFbTransaction& transaction, const CFbValues& values = CFbValues());

private:
    osk::CMessage _failed(const char* action) const;

    std::string _sql;
    Firebird::IStatement* _statement = nullptr;
};

} // namespace fbprov
