#pragma once

#include <string>

#include "prst_generic/persistent_secured_object.h"
#include "prst_generic/prst_attr.h"

// A value filed under a class, a subclass and a key, which request
// expressions look up. Text attributes: class, subclass, key, value and
// enabled.
class CPrstKeyValue : public CPersistentSecuredObject<CPrstKeyValue> {
public:
    explicit CPrstKeyValue(CPrstContext& context) : CPersistentSecuredObject<CPrstKeyValue>(context) {}
    static CPrstClassSpec _makeSpec();

    const std::string& kclass() const { return _class.value(); }
    const std::string& subclass() const { return _subclass.value(); }
    const std::string& key() const { return _key.value(); }
    const std::string& value() const { return _value.value(); }
    void value(const std::string& text) { _value.value(text); }
    bool enabled() const { return _enabled.value(); }
    void enabled(bool on) { _enabled.value(on); }
    void place(const std::string& kclass, const std::string& subclass, const std::string& key);

    // The records of a class and subclass, by key.
    static list_t selectByClass(CPrstContext& context, const std::string& kclass, const std::string& subclass);
    // The record of a class, subclass and key, or null.
    static ptr_t find(CPrstContext& context, const std::string& kclass, const std::string& subclass,
                      const std::string& key);

private:
    CPrstAttr<std::string> _class{*this, "KCLASS", "class"};
    CPrstAttr<std::string> _subclass{*this, "SUBCLASS", "subclass"};
    CPrstAttr<std::string> _key{*this, "KKEY", "key"};
    CPrstAttr<std::string> _value{*this, "KVALUE", "value"};
    CPrstAttr<bool> _enabled{*this, "ENABLED", "enabled", true};
};
