#pragma once

#include "extended/async_result.h"
#include "extended/exception_facade.h"
#include "standard/tracked_factory.h"

namespace osk {

class CMasterController;

// An async result that also shares a success flag and an exception facade, so
// that the caller learns whether the command succeeded and, if not, why.
template <class T>
class CExtAsyncResult : public CAsyncResult<T> {
public:
    CExtAsyncResult(CMasterController* controller, T* result)
        : CAsyncResult<T>(result),
          _success(CTrackedFactory::create<bool>(false)),
          _facade(CTrackedFactory::create<CExceptionFacade>(controller))
    {
    }

    void success(bool value) { *_success = value; }
    bool success() const { return *_success; }

    // Copies the exceptions of a facade (typically the executing thread's)
    // into the shared one.
    void exceptionFacade(const CExceptionFacade& facade) { _facade->assign(facade); }
    CExceptionFacade& exceptionFacade() const { return *_facade; }

private:
    CGeneralPtr<bool> _success;
    CGeneralPtr<CExceptionFacade> _facade;
};

} // namespace osk
