#pragma once

#include <type_traits>
#include <utility>

#include "extended/exception.h"
#include "standard/general_ptr_policies.h"
#include "standard/tracked_factory.h"

namespace osk {

// The block shared by copies of one pointer: reference count, the pointer
// family's lock, and how to delete the pointee (null for non-owners). It does
// not depend on the pointee type, so pointers to base and derived classes of
// one object share it.
template <class Counter, class Lock>
struct CPtrControl {
    Counter refs{1};
    Lock lock;
    void (*destroy)(const void*) = nullptr;
    const void* object = nullptr;
};

// Throws the framework's null-dereference exception.
[[noreturn]] void throwNullPointee(const char* context);

// The framework's smart pointer. Its behaviour is assembled from policies
// (see general_ptr_policies.h). Copies share one control block holding the
// reference count and, with an object-lock policy, the lock. A control block
// is allocated only when something must be shared: ownership or a lock.
// An owner releases its pointee through CTrackedFactory::destroy, so an
// object made by CTrackedFactory::create leaves the memory tracker with it.
template <class T, class Ownership = CMTOwnerPolicy, class MethodLock = CNoMethodLockPolicy,
          class ObjectLock = CNoObjectLockPolicy, class Copy = CConstructorDeepCopyPolicy>
class CGeneralPtr {
    static_assert(!MethodLock::needsLock || ObjectLock::locks,
                  "a method-locked pointer needs an object-lock policy");

    template <class, class, class, class, class>
    friend class CGeneralPtr;

    using lock_t = typename ObjectLock::lock_t;
    using Control = CPtrControl<typename Ownership::counter_t, lock_t>;

public:
    using element_type = T;
    using proxy_t = typename MethodLock::template proxy_t<T, lock_t>;

    CGeneralPtr() = default;
    explicit CGeneralPtr(T* pointee) { _adopt(pointee); }
    CGeneralPtr(std::nullptr_t) {}

    CGeneralPtr(const CGeneralPtr& other) : _pointee(other._pointee), _control(other._control) { _addRef(); }
    CGeneralPtr(CGeneralPtr&& other) noexcept : _pointee(other._pointee), _control(other._control)
    {
        other._pointee = nullptr;
        other._control = nullptr;
    }
    // Conversion from a pointer to a derived class with the same policies.
    template <class U, class = std::enable_if_t<std::is_convertible<U*, T*>::value>>
    CGeneralPtr(const CGeneralPtr<U, Ownership, MethodLock, ObjectLock, Copy>& other)
        : _pointee(other._pointee),
          _control(other._control)
    {
        _addRef();
    }

    ~CGeneralPtr() { _release(); }

    CGeneralPtr& operator=(CGeneralPtr other) noexcept
    {
        std::swap(_pointee, other._pointee);
        std::swap(_control, other._control);
        return *this;
    }

    void reset(T* pointee = nullptr)
    {
        _release();
        _adopt(pointee);
    }

    T* get() const { return _pointee; }
    explicit operator bool() const { return _pointee != nullptr; }
    bool isNull() const { return _pointee == nullptr; }

    proxy_t operator->() const
    {
        if (!_pointee) throwNullPointee("CGeneralPtr::operator->");
        return MethodLock::template proxy<T, lock_t>(_pointee, _control ? &_control->lock : nullptr);
    }
    T& operator*() const
    {
        if (!_pointee) throwNullPointee("CGeneralPtr::operator*");
        return *_pointee;
    }

    // Holds the pointer family's lock across several calls (object locking).
    void lock() const
    {
        if (_control) _control->lock.lock();
    }
    void unlock() const
    {
        if (_control) _control->lock.unlock();
    }

    // Number of pointers sharing this control block (0 for a bare non-owner).
    long useCount() const { return _control ? static_cast<long>(_control->refs) : 0; }

    // A new, independent pointee copied from this one.
    CGeneralPtr deepCopy() const
    {
        if (!_pointee) throwNullPointee("CGeneralPtr::deepCopy");
        return CGeneralPtr(Copy::copy(*_pointee));
    }

    template <class U>
    bool operator==(const CGeneralPtr<U, Ownership, MethodLock, ObjectLock, Copy>& other) const
    {
        return _pointee == other.get();
    }
    template <class U>
    bool operator!=(const CGeneralPtr<U, Ownership, MethodLock, ObjectLock, Copy>& other) const
    {
        return _pointee != other.get();
    }

private:
    void _adopt(T* pointee)
    {
        _pointee = pointee;
        _control = nullptr;
        if (!pointee || !(Ownership::owns || ObjectLock::locks)) return;
        _control = new Control;
        if (Ownership::owns) {
            _control->object = pointee;
            _control->destroy = [](const void* object) { CTrackedFactory::destroy(static_cast<const T*>(object)); };
        }
    }
    void _addRef()
    {
        if (_control) ++_control->refs;
    }
    void _release()
    {
        Control* control = _control;
        _pointee = nullptr;
        _control = nullptr;
        if (!control || --control->refs != 0) return;
        if (control->destroy) control->destroy(control->object);
        delete control;
    }

    T* _pointee = nullptr;
    Control* _control = nullptr;
};

// Common shapes.
template <class T>
using CMTPtr = CGeneralPtr<T, CMTOwnerPolicy>;
template <class T>
using CSTPtr = CGeneralPtr<T, CSTOwnerPolicy>;
template <class T>
using CLockedPtr = CGeneralPtr<T, CMTOwnerPolicy, CMethodLockPolicy, CObjectLockPolicy>;

} // namespace osk
