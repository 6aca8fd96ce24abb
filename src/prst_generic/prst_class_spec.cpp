#include "prst_generic/prst_class_spec.h"

#include <utility>

CPrstClassSpec::CPrstClassSpec(std::string className, std::string formalName, std::string table, bool secured)
    : _className(std::move(className)), _formalName(std::move(formalName)), _table(std::move(table)), _secured(secured)
{
}

std::string CPrstClassSpec::attrToColumn(const std::string& attribute) const
{
    auto found = _attrColumns.find(attribute);
    if (found != _attrColumns.end()) return found->second;
    return "T." + attribute;
}
