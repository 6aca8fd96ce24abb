#include "tftp/tftp_server/poll_budget.h"

namespace {
// A budget halved below a sixteenth of the limit stops polling: four or five
// fruitless polls in a row, about twice the limit spent in all.
constexpr int64_t kStopDivisor = 16;
} // namespace

void CPollBudget::missed()
{
    _usec /= 2;
    if (_usec * kStopDivisor < _limit) _usec = 0;
}

void CPollBudget::waited(int64_t waitedUsec)
{
    if (waitedUsec >= 0 && waitedUsec <= _limit) _usec = _limit;
}
