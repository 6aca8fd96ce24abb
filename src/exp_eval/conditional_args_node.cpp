#include "exp_eval/conditional_args_node.h"

bool CConditionalArgsNode::interpret(osk::CVariant& value) const { return interpretBranch(true, value); }

bool CConditionalArgsNode::interpretBranch(bool condition, osk::CVariant& value) const
{
    const osk::CNodeBase* branch = condition ? _left.get() : _right.get();
    return branch && branch->interpret(value);
}
