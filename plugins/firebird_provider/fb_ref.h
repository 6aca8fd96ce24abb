#pragma once

namespace fbprov {

// Owns one reference to a reference-counted Firebird interface (metadata,
// metadata builders, the dispatcher) and releases it when destroyed.
template <typename Interface>
class CFbRef {
public:
    explicit CFbRef(Interface* object = nullptr) : _object(object) {}
    ~CFbRef() { reset(); }
    CFbRef(CFbRef&& other) noexcept : _object(other._object) { other._object = nullptr; }
    CFbRef& operator=(CFbRef&& other) noexcept
    {
        if (this != &other) {
            reset(other._object);
            other._object = nullptr;
        }
        return *this;
    }
    CFbRef(const CFbRef&) = delete;
    CFbRef& operator=(const CFbRef&) = delete;

    Interface* get() const { return _object; }
    Interface* operator->() const { return _object; }
    void reset(Interface* object = nullptr)
    {
        if (_object)
            _object->release();
        _object = object;
    }

private:
    Interface* _object;
};

} // namespace fbprov
