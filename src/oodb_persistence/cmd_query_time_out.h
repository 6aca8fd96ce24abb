#pragma once

#include <cstdint>

#include "extended/async_command.h"
#include "oodb_persistence/prst_query_time_out.h"
#include "standard/general_ptr.h"

// The expiry of a query time-out, posted by the timeout manager to the task
// that owns the query's transaction and executed on that task's thread.
// Nobody waits for it.
class CCmdQueryTimeOut : public osk::CAsyncCommand {
public:
    CCmdQueryTimeOut(const osk::CGeneralPtr<CPrstQueryTimeOut::CArmed>& armed, uint64_t generation);

    void execute(unsigned long threadIndex) override;
    void signalResult() override {}

private:
    osk::CGeneralPtr<CPrstQueryTimeOut::CArmed> _armed;
    uint64_t _generation;
};
