#pragma once

#include <memory>
#include <new>
#include <utility>

#include "standard/mem_track.h"

namespace osk {

// The one place where the framework creates and destroys its heap objects.
// create() registers the fresh object with the memory tracker under the type
// it was created as, by the calling thread; destroy() unregisters it under
// that same type (the dynamic type for polymorphic classes) and deletes it.
// Owners keep RAII: CGeneralPtr releases through destroy(), and CTrackedPtr
// is a std::unique_ptr whose deleter does. While tracking is off, creating
// and destroying cost one flag read each on top of new and delete.
class CTrackedFactory {
public:
    template <class T, class... Args>
    static T* create(Args&&... args)
    {
        return CMemTrack::reg(new T(std::forward<Args>(args)...));
    }

    // Null instead of std::bad_alloc when memory runs out.
    template <class T, class... Args>
    static T* createNothrow(Args&&... args)
    {
        T* object = new (std::nothrow) T(std::forward<Args>(args)...);
        return object ? CMemTrack::reg(object) : nullptr;
    }

    // Accepts null, like delete.
    template <class T>
    static void destroy(T* object)
    {
        delete CMemTrack::deregAsCreated(object);
    }

    // The deleter of CTrackedPtr. One type for every pointee, so a
    // CTrackedPtr<Derived> converts to a CTrackedPtr<Base>.
    struct Deleter {
        template <class T>
        void operator()(T* object) const
        {
            destroy(object);
        }
    };

    // create() handed straight to an owner.
    template <class T, class... Args>
    static std::unique_ptr<T, Deleter> createUnique(Args&&... args)
    {
        return std::unique_ptr<T, Deleter>(create<T>(std::forward<Args>(args)...));
    }
};

// A sole owner of a tracked object.
template <class T>
using CTrackedPtr = std::unique_ptr<T, CTrackedFactory::Deleter>;

} // namespace osk
