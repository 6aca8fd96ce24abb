#include "local_fs/read_ahead_budget.h"

namespace localfs {

bool CReadAheadBudget::take(size_t bytes)
{
    size_t used = _used.load();
    do {
        if (bytes > _limit || used > _limit - bytes) return false;
    } while (!_used.compare_exchange_weak(used, used + bytes));
    return true;
}

} // namespace localfs
