#pragma once

#include <string>

#include "prst_generic/i_persistent_object.h"
#include "prst_generic/prst_attr.h"

// One argument of an SQL query: its name and its type (a formal field type
// name of the statement file: string, long, ...).
class CPrstSQLArg : public CIPersistentObject<CPrstSQLArg> {
public:
    explicit CPrstSQLArg(CPrstContext& context) : CIPersistentObject<CPrstSQLArg>(context) {}
    static CPrstClassSpec _makeSpec();

    const std::string& name() const { return _name.value(); }
    void name(const std::string& name) { _name.value(name); }
    const std::string& type() const { return _type.value(); }
    void type(const std::string& type) { _type.value(type); }

private:
    CPrstAttr<std::string> _name{*this, "NAME", "name"};
    CPrstAttr<std::string> _type{*this, "ARG_TYPE", "type"};
};
