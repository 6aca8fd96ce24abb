#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "prst_generic/prst_class_spec.h"
#include "prst_generic/prst_user_base.h"
#include "standard/tracked_factory.h"

class CPrstContext;

// The persistent classes a program knows, by class name: their specs and
// how to make and load their objects without naming the class in code (the
// console names classes by their formal names).
class CPrstMetaAbstractFactory {
public:
    using object_t = osk::CTrackedPtr<CPrstUserBase>;

    CPrstMetaAbstractFactory() = default;
    virtual ~CPrstMetaAbstractFactory() = default;
    CPrstMetaAbstractFactory(const CPrstMetaAbstractFactory&) = delete;
    CPrstMetaAbstractFactory& operator=(const CPrstMetaAbstractFactory&) = delete;

    template <class T>
    void registerClass()
    {
        _register(
            T::spec(), [](CPrstContext& context) { return object_t(T::createTransient(context)); },
            [](CPrstContext& context, int64_t oid) { return object_t(T::load(context, oid)); });
    }

    bool exists(const std::string& className) const { return _classes.count(className) != 0; }
    // Each throws "Cannot create an object of class '%1'." for a class that
    // is not registered.
    const CPrstClassSpec& spec(const std::string& className) const;
    object_t createTransient(const std::string& className, CPrstContext& context) const;
    object_t load(const std::string& className, CPrstContext& context, int64_t oid) const;

    // The class of a formal name; empty when none has it.
    std::string classOfFormalName(const std::string& formalName) const;
    // The registered classes in the order they were registered.
    const std::vector<std::string>& classNames() const { return _order; }

private:
    using creator_t = std::function<object_t(CPrstContext&)>;
    using loader_t = std::function<object_t(CPrstContext&, int64_t)>;
    struct entry_t {
        const CPrstClassSpec* spec;
        creator_t create;
        loader_t load;
    };

    void _register(const CPrstClassSpec& spec, creator_t create, loader_t load);
    const entry_t& _entry(const std::string& className) const;

    std::map<std::string, entry_t> _classes;
    std::vector<std::string> _order;
};
