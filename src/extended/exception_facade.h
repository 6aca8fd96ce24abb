#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "extended/exception.h"
#include "standard/general_ptr.h"

namespace osk {

class CMasterController;

// The exceptions one thread has met, in the order they were recorded. Each is
// held as a heap copy that keeps its dynamic type. The facade logs through its
// master controller.
class CExceptionFacade {
public:
    using exception_ptr_t = CGeneralPtr<CException>;
    // Recording the 26th exception logs and empties the list.
    static constexpr size_t stackLimit = 26;

    explicit CExceptionFacade(CMasterController* controller = nullptr);

    void push(const CException& exception);
    // Replaces the recorded exceptions by those of another facade; this
    // facade keeps its own controller.
    void assign(const CExceptionFacade& other);
    void clear();
    bool empty() const { return _exceptions.empty(); }
    size_t size() const { return _exceptions.size(); }
    const std::vector<exception_ptr_t>& exceptions() const { return _exceptions; }

    // The first and the last recorded exception; null when empty.
    exception_ptr_t outer() const;
    exception_ptr_t inner() const;
    // Every severity bit of the recorded exceptions (0 when empty).
    uint32_t severity() const;

    // The printable errors of all exceptions joined by " / ".
    std::string comprehensiveMsg(const std::string& locale = std::string()) const;
    // The printable error of the outer exception, or "<No data>".
    std::string minimalMsg(const std::string& locale = std::string()) const;

    // Passes every recorded exception to the controller's log and empties the
    // list. Without a controller the exceptions are only dropped.
    void log();

    CMasterController* controller() const { return _controller; }

private:
    std::string _printable(const CException& exception, const std::string& locale) const;

    CMasterController* _controller;
    std::vector<exception_ptr_t> _exceptions;
};

} // namespace osk
