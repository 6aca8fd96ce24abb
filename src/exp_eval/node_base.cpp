#include "exp_eval/node_base.h"

namespace osk {

bool CNodeBase::interpretAll(CMultiVariant& results) const
{
    CVariant value;
    if (!interpret(value)) return false;
    results.push(value);
    return true;
}

} // namespace osk
