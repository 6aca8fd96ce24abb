#pragma once

#include <string>

#include "prst_generic/i_persistent_object.h"
#include "prst_generic/prst_attr.h"

// One target class of an SQL query (a class formal name): the classes
// whose objects the query's condition selects.
class CPrstSQLTarget : public CIPersistentObject<CPrstSQLTarget> {
public:
    explicit CPrstSQLTarget(CPrstContext& context) : CIPersistentObject<CPrstSQLTarget>(context) {}
    static CPrstClassSpec _makeSpec();

    const std::string& name() const { return _name.value(); }
    void name(const std::string& name) { _name.value(name); }

private:
    CPrstAttr<std::string> _name{*this, "NAME", "name"};
};
