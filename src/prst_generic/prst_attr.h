#pragma once

#include <string>

#include "prst_generic/prst_column_attr.h"
#include "prst_generic/prst_value_traits.h"

// A column value of type T (see CPrstValueTraits for the types). value()
// reads it, value(v) writes it. A column whose type differs from the type's
// usual column type (a text in a text blob) names its own.
template <class T>
class CPrstAttr : public CPrstColumnAttr {
public:
    CPrstAttr(CPrstUserBase& owner, const char* column, const char* textName = "", T initial = T(),
              CDBFieldType::type_t fieldType = CPrstValueTraits<T>::fieldType)
        : CPrstColumnAttr(owner, column, fieldType, textName), _initial(initial), _value(initial)
    {
    }

    const T& value() const { return _value; }
    void value(const T& value) { _value = value; }

    CDBValue dbValue() const override { return CPrstValueTraits<T>::toDb(_value); }
    void read(const CDBRows& rows) override
    {
        _value = rows.isNull(column()) ? _initial : CPrstValueTraits<T>::fromDb(rows, column());
    }
    std::string text() const override { return CPrstValueTraits<T>::toText(_value); }
    void text(const std::string& value) override { _value = CPrstValueTraits<T>::fromText(value); }

private:
    T _initial;
    T _value;
};
