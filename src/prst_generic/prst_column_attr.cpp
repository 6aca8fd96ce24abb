#include "prst_generic/prst_column_attr.h"

#include <utility>

#include "prst_generic/prst_user_base.h"

CPrstColumnAttr::CPrstColumnAttr(CPrstUserBase& owner, std::string column, CDBFieldType::type_t type,
                                 std::string textName)
    : _column(std::move(column)), _type(type), _textName(std::move(textName))
{
    owner._register(*this);
}
