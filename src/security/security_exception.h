#pragma once

#include <string>

#include "extended/exception.h"
#include "standard/tracked_factory.h"

namespace osk {

// The exception of the security model: a framework exception whose module is
// "security" unless the raiser names another one (role and login look-ups
// report as "prst_generic").
class CSecurityException : public CException {
public:
    static constexpr const char* defaultModule = "security";

    CSecurityException() = default;
    CSecurityException(CMessage what, CMessage why, std::string context,
                       std::string module = defaultModule, const char* file = "", int line = 0);

    CException* _clone() const override { return CTrackedFactory::create<CSecurityException>(*this); }
};

} // namespace osk

// Builds a security exception that records the throwing source file and line.
#define OSK_SECURITY_EXCEPTION(what, why, context) \
    ::osk::CSecurityException((what), (why), (context), ::osk::CSecurityException::defaultModule, __FILE__, __LINE__)

// The same for a module other than "security".
#define OSK_SECURITY_EXCEPTION_M(what, why, context, module) \
    ::osk::CSecurityException((what), (why), (context), (module), __FILE__, __LINE__)
