#pragma once

#include <atomic>
#include <map>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "standard/alloc_detail.h"

// The process-wide register of the framework's heap objects. Every creation
// passes the fresh pointer through reg() and every destruction passes it
// through dereg() just before delete. While tracking is off both cost one
// flag read. While it is on, the register holds every live tracked object,
// per-type live and total counts (named by the static pointer type at the
// call site), and a list of releases of objects it never saw registered.
// Any thread may call reg() and dereg(); one mutex guards the register.
class CMemTrack {
public:
    virtual ~CMemTrack() = default;

    using allocated_t = std::map<const void*, CAllocDetail>;
    using counters_t = std::map<std::string, CAllocDetail>;
    using untracked_t = std::vector<CAllocDetail>;

    template <class T>
    static T* reg(T* pointer)
    {
        if (_enabled.load(std::memory_order_relaxed)) _reg(pointer, typeid(T*).name());
        return pointer;
    }
    template <class T>
    static T* dereg(T* pointer)
    {
        if (_enabled.load(std::memory_order_relaxed)) _dereg(pointer, typeid(T*).name());
        return pointer;
    }

    // Unregisters an object under the type it was created as. For a
    // polymorphic class that is the dynamic type at the complete object's
    // address, so a release through a base pointer balances a registration
    // made under the derived type; for any other type it is dereg() without
    // the pointee's const.
    template <class T>
    static T* deregAsCreated(T* pointer)
    {
        if (!pointer || !_enabled.load(std::memory_order_relaxed)) return pointer;
        if constexpr (std::is_polymorphic<T>::value)
            _deregClass(dynamic_cast<const void*>(pointer), typeid(*pointer).name());
        else
            _dereg(pointer, typeid(std::remove_cv_t<T>*).name());
        return pointer;
    }

    static bool enabled() { return _enabled.load(std::memory_order_relaxed); }
    // Sets the flag and empties the allocated map and the untracked list;
    // the per-type counters are kept, so totals survive a switch.
    static void enabled(bool on);

    // Copies taken under the register's lock.
    static allocated_t allocated();
    static counters_t counters();
    static untracked_t untracked();

    // "type:total,current" lines, in type order.
    static std::string format(const counters_t& counters);
    // "0xaddress:thread:type" lines, in address order.
    static std::string format(const allocated_t& allocated);
    // "0xaddress:thread:type" lines, in release order.
    static std::string format(const untracked_t& untracked);

private:
    static void _reg(const void* pointer, const char* typeName);
    static void _dereg(const void* pointer, const char* typeName);
    // className names the class itself; the register counts pointer types.
    static void _deregClass(const void* pointer, const char* className);
    static void _release(const void* pointer, const std::string& typeName);

    inline static std::atomic<bool> _enabled{false};
};
