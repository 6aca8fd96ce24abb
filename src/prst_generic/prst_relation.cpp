#include "prst_generic/prst_relation.h"

#include "prst_generic/prst_user_base.h"

CPrstRelation::CPrstRelation(CPrstUserBase& owner) : _owner(owner)
{
    owner._register(*this);
}
