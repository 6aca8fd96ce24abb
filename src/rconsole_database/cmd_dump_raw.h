#pragma once

#include <string>

#include "rconsole_base/i_direct_reply_proxy.h"
#include "rconsole_database/cmd_sql_operation.h"
#include "rconsole_database/console_query.h"

// Writes, through the console's raw replies, a script that re-creates the
// objects when it is fed back to a console: for each class a section line
// ("# domains") and every object the session may read as the insert
// command's word on a line of its own, the object's text form and a "-"
// line that ends the command set; a section without objects is the line
// "-". Classes come in the order in which they can be re-created (groups
// before the domains that name them, domains before the objects in them).
//
// The context-independent dump holds domain groups, domains, device
// accounts and key values; the context-specific dump holds the TFTP
// policies.
class CCmdDumpRaw : public CCmdSQLOperation {
public:
    enum dump_kind {
        contextIndependent = 1,
        contextSpecific = 2
    };
    static constexpr const char* commandName = "dump-raw-cmd";
    // Objects read from the database at a time.
    static constexpr uint64_t objectsPerPage = 50;

    // Throws "Unknown raw dump type. Please contact technical support." for
    // a kind that is neither of the above.
    CCmdDumpRaw(int kind, CIDirectReplyProxy& reply, CPrstContext& context, const osk::CUserAccessToken& token,
                CPrstQueryTimeOut& timeOut, const osk::CStringMap& request, const result_t& result);

protected:
    CTextCommand _run() override;

private:
    template <class T>
    void _section(const char* header, const char* command);

    dump_kind _kind;
    CIDirectReplyProxy& _reply;
};
