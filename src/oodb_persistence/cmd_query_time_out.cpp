#include "oodb_persistence/cmd_query_time_out.h"

CCmdQueryTimeOut::CCmdQueryTimeOut(const osk::CGeneralPtr<CPrstQueryTimeOut::CArmed>& armed, uint64_t generation)
    : osk::CAsyncCommand("CCmdQueryTimeOut", ""), _armed(armed), _generation(generation)
{
}

void CCmdQueryTimeOut::execute(unsigned long)
{
    CPrstQueryTimeOut::expire(*_armed, _generation);
}
