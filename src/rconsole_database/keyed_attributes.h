#pragma once

#include <optional>
#include <string>
#include <vector>

#include "prst_generic/prst_device_account.h"
#include "prst_generic/prst_user_account.h"
#include "standard/string_map.h"
#include "tftp/tftp_database/prst_tftp_policy.h"

// The keyed text attribute of a class, if any: an attribute that a session
// may give as a whole ("data") or entry by entry ("data <key>" to set an
// entry, "-data <key>" to remove one), so that its keys are not the keys of
// an object's text form.
template <class T>
struct CKeyedAttributes {
    static constexpr const char* name = nullptr;
};

template <>
struct CKeyedAttributes<CPrstTFTPPolicy> {
    static constexpr const char* name = "data";
};

// Attributes a request may set that an object's text form does not show:
// an account's additions to and removals from its access list.
template <class T>
struct CWriteOnlyAttributes {
    static std::vector<std::string> names() { return {}; }
};

template <>
struct CWriteOnlyAttributes<CPrstDeviceAccount> {
    static std::vector<std::string> names() { return {"acl+", "acl-"}; }
};

template <>
struct CWriteOnlyAttributes<CPrstUserAccount> {
    static std::vector<std::string> names() { return CWriteOnlyAttributes<CPrstDeviceAccount>::names(); }
};

// The attribute names a request may give for objects of class T: those of
// object's text form and the write-only ones.
template <class T>
osk::CStringMap knownAttributes(const T& object)
{
    osk::CStringMap known = object.attributes();
    for (const std::string& name : CWriteOnlyAttributes<T>::names()) known.set_string(name, "");
    return known;
}

// The first of a request's attributes that objects of a class do not have,
// or none: known are the keys of a new object's text form (see
// knownAttributes) and, for a class with a keyed attribute (keyed not null),
// that name alone, "<keyed> <key>" and "-<keyed> <key>".
inline std::optional<std::string> unknownAttribute(const osk::CStringMap& attributes, const osk::CStringMap& known,
                                                   const char* keyed)
{
    const std::string name = keyed ? keyed : "";
    for (const auto& entry : attributes) {
        const std::string& key = entry.first;
        if (known.defined(key)) continue;
        if (keyed && (key == name || key.rfind(name + " ", 0) == 0 || key.rfind("-" + name + " ", 0) == 0)) continue;
        return key;
    }
    return std::nullopt;
}
