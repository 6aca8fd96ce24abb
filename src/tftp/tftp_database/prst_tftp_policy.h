#pragma once

#include <cstdint>
#include <string>

#include "prst_generic/persistent_secured_object.h"
#include "prst_generic/prst_attr.h"
#include "standard/string_map.h"

// A TFTP provisioning policy: a named set of data entries (a string map of
// key and value, stored as its text) that the service consults. Text
// attributes: name, description, enabled, and the data, which a packed
// session reads and writes as one attribute "data" and an unpacked session
// as one attribute "data <key>" per entry (and "-data <key>" to remove one).
class CPrstTFTPPolicy : public CPersistentSecuredObject<CPrstTFTPPolicy> {
public:
    explicit CPrstTFTPPolicy(CPrstContext& context) : CPersistentSecuredObject<CPrstTFTPPolicy>(context) {}
    static CPrstClassSpec _makeSpec();

    const std::string& name() const { return _name.value(); }
    void name(const std::string& name) { _name.value(name); }
    const std::string& description() const { return _description.value(); }
    void description(const std::string& text) { _description.value(text); }
    bool enabled() const { return _enabled.value(); }
    void enabled(bool on) { _enabled.value(on); }

    // The stored data text, and the entries it holds.
    const std::string& data() const { return _data.value(); }
    void data(const std::string& text) { _data.value(text); }
    osk::CStringMap dataEntries() const;

    // The policy of a name, or null.
    static ptr_t findByName(CPrstContext& context, const std::string& name);
    // The policies that belong to a domain, by name.
    static list_t selectByDomain(CPrstContext& context, int64_t domainId);

protected:
    void _get(osk::CStringMap& map) const override;
    // In an unpacked session, a text with "data" alone is refused before
    // anything changes.
    void _set(const osk::CStringMap& map) override;

private:
    CPrstAttr<std::string> _data{*this, "DATA", "", std::string(), CDBFieldType::DB_TYPE_TEXT_BLOB};
    CPrstAttr<std::string> _name{*this, "NAME", "name"};
    CPrstAttr<std::string> _description{*this, "DESCRIPTION", "description"};
    CPrstAttr<bool> _enabled{*this, "ENABLED", "enabled", true};
};
