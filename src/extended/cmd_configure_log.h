#pragma once

#include "extended/async_command.h"
#include "extended/ext_async_result.h"
#include "standard/string_map.h"

namespace osk {

class CAsyncLog;

// Rebuilds the log thread's targets from a copy of the configuration. A
// failure is handed back through the result's facade and success flag.
class CCmdConfigureLog : public CAsyncCommand {
public:
    CCmdConfigureLog(CAsyncLog* log, const CStringMap& config, const CExtAsyncResult<bool>& result);

    void execute(unsigned long threadIndex) override;
    void signalResult() override { _result.signal(); }

private:
    CAsyncLog* _log;
    CStringMap _config;
    CExtAsyncResult<bool> _result;
};

} // namespace osk
