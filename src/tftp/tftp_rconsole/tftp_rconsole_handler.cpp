#include "tftp/tftp_rconsole/tftp_rconsole_handler.h"

#include "extended/master_controller.h"
#include "security/access_rights.h"
#include "security/domain_id.h"
#include "security/rights_thrower.h"
#include "security/table_rights_entry.h"

namespace {
const char* const kModule = "tftp_rconsole";
const char* const kHeader = "Connected to %1 on %2. Use <exit> to disconnect.";
const char* const kWrongService = "This remote console plugin only functions with the Quandor TFTP service.";
const char* const kRecordEnd = "-\n";
} // namespace

const char* const CTFTPRConsoleHandler::tftpControllerType = "tftp";

CTFTPRConsoleHandler::CTFTPRConsoleHandler(osk::CMasterController* controller, int handle,
                                           CIRConsoleMaster* master)
    : CRConsoleHandler(controller, handle, master)
{
}

bool CTFTPRConsoleHandler::raw(const std::string& text, bool final) { return reply(text, final); }

bool CTFTPRConsoleHandler::cooked(const osk::CStringMap& record)
{
    reply(record.string(), false);
    return reply(kRecordEnd, false);
}

bool CTFTPRConsoleHandler::cookedComplete(const CTextCommand& answer) { return reply(answer, true); }

void CTFTPRConsoleHandler::_throwIfNotAdmin() const
{
    osk::CRightsThrower(osk::CDomainID::superUsersID(), _token, osk::CAccessRights::write);
}

bool CTFTPRConsoleHandler::_authorized(osk::CHexStore& challenge, osk::CHexStore& response)
{
    if (!CRConsoleHandler::_authorized(challenge, response)) return false;
    _token.grantAccess(osk::CDomainID::superUsersID(), osk::CTableRightsEntry::anyTable,
                       osk::CAccessRights(osk::CAccessRights::all));
    return true;
}

bool CTFTPRConsoleHandler::onConnect()
{
    if (controller()->type() == tftpControllerType) return true;
    controller()->syslog(osk::CException::error, osk::CMessage(kWrongService, kModule));
    return false;
}

bool CTFTPRConsoleHandler::onDisconnect() { return true; }

std::string CTFTPRConsoleHandler::onHeader()
{
    osk::CStringMap info;
    controller()->info(info);
    const osk::CMessage greeting =
        osk::CMessage(kHeader, kModule).pushs(controller()->appName()).pushs(info.get_string("name", ""));
    return controller()->msgStore().tr(greeting, _locale()).formatted();
}
