#pragma once

#include <map>
#include <string>

#include "oodb/db_tag_spec.h"

// The named statements (tags) of a table, each name once.
class CDBTagSpecs {
public:
    // Adds tag. Throws "Cannot insert precompiled statement '%1'." (why
    // "Statement '%1' already exists.") when a tag of its name exists.
    void insert(const CDBTagSpec& tag);
    // Replaces the adapter information of tag name. Throws "Cannot set
    // adapter info for tag '%1'." when there is no such tag.
    void setAdapterInfo(const std::string& name, const osk::CStringMap& info);
    // The tag of name. Throws "Unable to find precompiled statement '%1'."
    // (why "No such statement.") when there is none.
    const CDBTagSpec& find(const std::string& name) const;
    bool exists(const std::string& name) const { return _tags.count(name) != 0; }
    // Removes tag name; false when there was none.
    bool remove(const std::string& name) { return _tags.erase(name) != 0; }

    size_t size() const { return _tags.size(); }
    const std::map<std::string, CDBTagSpec>& tags() const { return _tags; }

private:
    std::map<std::string, CDBTagSpec> _tags;
};
