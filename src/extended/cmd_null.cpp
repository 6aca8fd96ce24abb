#include "extended/cmd_null.h"

namespace osk {

CCmdNull::CCmdNull(const CAsyncResult<bool>& result) : CAsyncCommand("CCmdNull", ""), _result(result) {}

void CCmdNull::execute(unsigned long) { *_result = true; }

void CCmdNull::signalResult() { _result.signal(); }

} // namespace osk
