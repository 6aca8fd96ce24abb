#include "rconsole_database/cmd_dump_raw.h"

#include "extended/exception.h"
#include "prst_generic/prst_device_account.h"
#include "prst_generic/prst_domain.h"
#include "prst_generic/prst_domain_group.h"
#include "prst_generic/prst_key_value.h"
#include "prst_generic/security_strategy.h"
#include "rconsole_database/rconsole_database_messages.h"
#include "security/access_rights.h"
#include "tftp/tftp_database/prst_tftp_policy.h"

using M = CRConsoleDatabaseMessages;

namespace {

const char* const kRecordEnd = "-\n";

CCmdDumpRaw::dump_kind checkedKind(int kind)
{
    if (kind != CCmdDumpRaw::contextIndependent && kind != CCmdDumpRaw::contextSpecific)
        throw OSK_EXCEPTION(osk::CMessage(M::unknownDump, M::module), osk::CMessage(), "CCmdDumpRaw::CCmdDumpRaw",
                            M::module);
    return static_cast<CCmdDumpRaw::dump_kind>(kind);
}

} // namespace

CCmdDumpRaw::CCmdDumpRaw(int kind, CIDirectReplyProxy& reply, CPrstContext& context, const osk::CUserAccessToken& token,
                         CPrstQueryTimeOut& timeOut, const osk::CStringMap& request, const result_t& result)
    : CCmdSQLOperation(commandName, CPrstDomain::spec(), context, token, timeOut, request, result),
      _kind(checkedKind(kind)), _reply(reply)
{
}

CTextCommand CCmdDumpRaw::_run()
{
    _openRead();
    if (_kind == contextIndependent) {
        _section<CPrstDomainGroup>("# domain groups\n", "insert_domain_group");
        _section<CPrstDomain>("# domains\n", "insert_domain");
        _section<CPrstDeviceAccount>("# device accounts\n", "insert_device_account");
        _section<CPrstKeyValue>("# key-values\n", "insert_keyvalue");
    } else {
        _section<CPrstTFTPPolicy>("# policies \n", "insert_policy");
    }
    _context().commit();
    return CTextCommand(CTextCommand::ack);
}

template <class T>
void CCmdDumpRaw::_section(const char* header, const char* command)
{
    _reply.raw(header, false);
    CConsoleQuery<T> query("pk", objectsPerPage);
    osk::CStringMap selectArgs;
    selectArgs.set_string(
        "where", CSQLOperationArgs::securedWhere(std::string(), T::spec(), _token(), osk::CAccessRights::read));
    query.open(_context(), selectArgs);
    bool any = false;
    for (auto page = query.nextPage(_context()); !page.empty(); page = query.nextPage(_context())) {
        for (auto& object : page) {
            const CSecurityStrategy<T> secured(std::move(object), _token());
            _reply.raw(std::string(command) + "\n" + secured->string() + kRecordEnd, false);
            any = true;
        }
    }
    if (!any) _reply.raw(kRecordEnd, false);
}
