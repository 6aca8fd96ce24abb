#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "firebird_provider/fb_statement.h"

namespace fbprov {

// The prepared statements of one attachment that no cursor holds, by the
// caller's SQL text. Firebird spends about as long preparing a statement as
// running a small select, and the daemon runs the same few texts again and
// again (every object it loads, every key lookup of a request), so a text
// is prepared once and runs again whenever it is free, in any transaction:
// a statement belongs to its attachment, not to a transaction. The pool
// keeps the maxFree statements given back last (texts that were typed once,
// such as a console's conditions, fall out) and at most maxFreePerText of
// one text (nested selects of one text each hold one). Threads share an
// attachment, so take and give lock.
class CFbStatementPool {
public:
    // A free statement of sql, or null when there is none.
    std::unique_ptr<CFbStatement> take(const std::string& sql);
    // Takes back a statement of sql that has no open cursor.
    void give(const std::string& sql, std::unique_ptr<CFbStatement> statement);
    // Frees every statement, as the attachment must before it detaches.
    void clear();
    size_t free() const;

    static constexpr size_t maxFree = 64;
    static constexpr size_t maxFreePerText = 4;

private:
    struct CEntry {
        std::string sql;
        std::unique_ptr<CFbStatement> statement;
    };
    using entries_t = std::list<CEntry>;

    mutable std::mutex _mutex;
    // Oldest first.
    entries_t _free;
    // The free statements of each text, oldest first.
    std::unordered_map<std::string, std::vector<entries_t::iterator>> _byText;
};

} // namespace fbprov
