#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "firebird_provider/fb_statement.h"

namespace fbprov {

// The prepared statements of one transaction that no cursor holds, by the
// caller's SQL text. Firebird spends about as long preparing a statement as
// running a small select, and loading objects runs the same few statements
// for every object, so a transaction prepares each text once and runs it
// again whenever it is free. A statement belongs to its attachment, not to
// a transaction, so it stays valid across commits. Used by one thread.
class CFbStatementPool {
public:
    // A free statement of sql, or null when there is none.
    std::unique_ptr<CFbStatement> take(const std::string& sql);
    // Takes back a statement of sql that has no open cursor; keeps at most
    // maxFreePerText of each text (nested selects of one text each hold
    // one) and frees the rest.
    void give(const std::string& sql, std::unique_ptr<CFbStatement> statement);
    static constexpr size_t maxFreePerText = 4;

private:
    std::map<std::string, std::vector<std::unique_ptr<CFbStatement>>> _free;
};

} // namespace fbprov
