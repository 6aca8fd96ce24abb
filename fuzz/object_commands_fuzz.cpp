// The arguments of the console's object commands (select, count, insert,
// update, delete of every object class), taken the way the commands take
// them before any database work: the common arguments read and checked for
// an administrator's session or for a user of one domain; the accepted
// condition with the session's security filter; and, for insert and update,
// the attribute names checked against the class and the attributes set on a
// new object of the class, which must then write its text form.
//
// What needs the database is left out: the stored query that "query=" names
// is read from it (and its template filled, which fuzz_prst_format covers),
// the sort column is checked against the table's columns, and attributes
// that name other objects (domains, roles, access lists) look them up; here
// those throw as they would with the database gone.

#include <cstddef>
#include <cstdint>
#include <string>

#include "extended/exception.h"
#include "prst_generic/prst_capability.h"
#include "prst_generic/prst_context.h"
#include "prst_generic/prst_device_access_control.h"
#include "prst_generic/prst_device_account.h"
#include "prst_generic/prst_domain.h"
#include "prst_generic/prst_domain_group.h"
#include "prst_generic/prst_key_value.h"
#include "prst_generic/prst_role.h"
#include "prst_generic/prst_sql_query.h"
#include "prst_generic/prst_sql_query_group.h"
#include "prst_generic/prst_user_account.h"
#include "rconsole_database/keyed_attributes.h"
#include "rconsole_database/sql_operation_args.h"
#include "security/access_rights.h"
#include "security/domain_id.h"
#include "standard/string_map.h"
#include "support/fuzz_bytes.h"
#include "support/unopened_database.h"
#include "tftp/tftp_database/prst_tftp_context.h"
#include "tftp/tftp_database/prst_tftp_policy.h"

namespace {

zelvo_fuzz::UnopenedDatabase& database()
{
    static zelvo_fuzz::UnopenedDatabase unopened;
    return unopened;
}

// Whether text, read as SQL, closes the parenthesis it opens with only at
// its end: nothing of it is outside that parenthesis.
bool enclosed(const std::string& text)
{
    if (text.empty() || text.front() != '(') return false;
    long depth = 0;
    char quote = '\0';
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) quote = '\0';
            continue;
        }
        if (c == '\'' || c == '"') quote = c;
        else if (c == '(') ++depth;
        else if (c == ')' && --depth == 0 && i + 1 != text.size()) return false;
    }
    return depth == 0 && quote == '\0';
}

// An accepted request: the numbers are positive, the attributes are
// exactly the entries that are no arguments, and the condition stays
// inside its parentheses ahead of the security filter.
void checkAccepted(const CSQLOperationArgs& args, const osk::CStringMap& request, const CPrstClassSpec& spec,
                   const osk::CUserAccessToken& token)
{
    if (args.count() <= 0 || args.bulk() <= 0) __builtin_trap();
    if (args.query() && (request.defined("where") || args.query()->empty())) __builtin_trap();
    size_t attributes = 0;
    for (const auto& entry : request) {
        const bool argument = CSQLOperationArgs::isArgument(entry.first) && !(entry.first == "args" && !args.query());
        if (!argument) ++attributes;
        if (!argument && !args.attributes().defined(entry.first)) __builtin_trap();
    }
    if (attributes != args.attributes().size()) __builtin_trap();
    if (args.where().empty()) return;
    const std::string secured = CSQLOperationArgs::securedWhere(args.where(), spec, token, osk::CAccessRights::read);
    const std::string condition = "(" + args.where() + ")";
    if (secured.compare(0, condition.size(), condition) != 0 || !enclosed(condition)) __builtin_trap();
}

// Insert and update: the attribute names are checked against the class,
// then set on an object of it, which must write its text form afterwards.
template <class T>
void setAttributes(const CSQLOperationArgs& args, CPrstContext& context)
{
    auto object = T::createTransient(context);
    const auto unknown = unknownAttribute(args.attributes(), knownAttributes(*object), CKeyedAttributes<T>::name);
    if (unknown) {
        if (!args.attributes().defined(*unknown)) __builtin_trap();
        return;
    }
    try {
        object->attributes(args.attributes());
    } catch (const osk::CException&) {
        return;
    }
    try {
        object->attributes();
    } catch (const osk::CException&) {
        __builtin_trap();
    }
}

template <class T>
void command(uint8_t choice, const osk::CStringMap& request, CPrstTFTPContext& context)
{
    // An administrator, or a user who may read and write the class in
    // domain 7 only.
    osk::CUserAccessToken token = CPrstContext::administratorToken();
    if (choice & 0x10) {
        token = osk::CUserAccessToken();
        token.grantAccess(osk::CDomainID(7), T::spec().formalName(),
                          osk::CAccessRights(osk::CAccessRights::read | osk::CAccessRights::write));
    }
    try {
        const CSQLOperationArgs args(request, token);
        checkAccepted(args, request, T::spec(), token);
        if (choice & 0x20) setAttributes<T>(args, context);
    } catch (const osk::CException&) {
    }
}

using command_t = void (*)(uint8_t, const osk::CStringMap&, CPrstTFTPContext&);

// The classes the console's object commands work on.
const command_t kCommands[] = {
    command<CPrstTFTPPolicy>,          command<CPrstDomain>,     command<CPrstDomainGroup>,
    command<CPrstDeviceAccount>,       command<CPrstUserAccount>, command<CPrstDeviceAccessControl>,
    command<CPrstCapability>,          command<CPrstRole>,       command<CPrstKeyValue>,
    command<CPrstSQLQuery>,            command<CPrstSQLQueryGroup>,
};
const size_t kCommandCount = sizeof(kCommands) / sizeof(kCommands[0]);

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zelvo_fuzz::FuzzBytes input(data, size);
    const uint8_t choice = input.byte();
    // The request as the console handler builds it from the command set's
    // lines (the command word removed).
    const osk::CStringMap request(input.rest());
    CPrstTFTPContext context(database().session(), database().statements(), CPrstContext::administratorToken());
    if (choice & 0x40) context.formatType(CTFTPFormatType::unpacked);
    kCommands[(choice & 0x0F) % kCommandCount](choice, request, context);
    return 0;
}
