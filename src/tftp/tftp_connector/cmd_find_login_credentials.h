#pragma once

#include <string>

#include "extended/async_command.h"
#include "extended/ext_async_result.h"
#include "security/capabilities.h"

class CPrstContext;

// The login look-up of one user name as a command on the console's
// database proxy: runs CLoginCredentials under the administrators' token
// (nobody is logged in yet) and hands the capabilities, or the error, to
// the waiting login.
class CCmdFindLoginCredentials : public osk::CAsyncCommand {
public:
    using result_t = osk::CExtAsyncResult<osk::CCapabilities>;
    static constexpr const char* commandName = "find-login-credentials";

    CCmdFindLoginCredentials(CPrstContext& context, const std::string& user, const result_t& result);

    void execute(unsigned long threadIndex) override;
    void signalResult() override { _result.signal(); }

private:
    CPrstContext& _context;
    std::string _user;
    result_t _result;
};
