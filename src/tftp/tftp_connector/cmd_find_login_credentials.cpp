#include "tftp/tftp_connector/cmd_find_login_credentials.h"

#include "extended/exception.h"
#include "prst_generic/login_credentials.h"
#include "prst_generic/prst_context.h"

CCmdFindLoginCredentials::CCmdFindLoginCredentials(CPrstContext& context, const std::string& user,
                                                   const result_t& result)
    : osk::CAsyncCommand(commandName, user), _context(context), _user(user), _result(result)
{
}

void CCmdFindLoginCredentials::execute(unsigned long)
{
    try {
        // A select may have left the console's read transaction open.
        _context.rollback();
        _context.token(CPrstContext::administratorToken());
        *_result = CLoginCredentials(_context).find(_user);
        _result.success(true);
    } catch (const osk::CException& e) {
        _context.rollback();
        _result.exceptionFacade().clear();
        _result.exceptionFacade().push(e);
        _result.success(false);
    }
}
