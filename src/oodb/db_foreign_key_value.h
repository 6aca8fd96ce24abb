#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "standard/object.h"

// The foreign key held by one attribute of a record: the class (table) it
// points to, the key value there, and a cached pointer to the referenced
// object once it has been loaded. The cache does not keep the object alive.
class CDBForeignKeyValue {
public:
    CDBForeignKeyValue() = default;
    CDBForeignKeyValue(std::string attribute, std::string className, int64_t key)
        : _attribute(std::move(attribute)), _className(std::move(className)), _key(key)
    {
    }

    const std::string& attribute() const { return _attribute; }
    const std::string& className() const { return _className; }
    int64_t key() const { return _key; }
    // Pointing elsewhere drops the cached object.
    void key(int64_t value);

    void cache(const std::shared_ptr<osk::CObject>& object) { _cached = object; }
    bool isCached() const { return !_cached.expired(); }
    // The cached object. Throws "Unable to reference foreign key '%1'
    // pointing to <%2,%3>." (why "Cached pointer is invalid.") when nothing
    // is cached or the object is gone.
    std::shared_ptr<osk::CObject> reference() const;

private:
    std::string _attribute;
    std::string _className;
    int64_t _key = 0;
    std::weak_ptr<osk::CObject> _cached;
};
