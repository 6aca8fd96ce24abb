#include "security/security_exception.h"

namespace osk {

CSecurityException::CSecurityException(CMessage what, CMessage why, std::string context, std::string module,
                                       const char* file, int line)
    : CException(std::move(what), std::move(why), std::move(context), std::move(module), file, line)
{
}

} // namespace osk
