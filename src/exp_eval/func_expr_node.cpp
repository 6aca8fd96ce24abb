#include "exp_eval/func_expr_node.h"

#include <algorithm>
#include <vector>

#include "exp_eval/exp_eval.h"
#include "extended/exception.h"
#include "standard/tracked_factory.h"

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of CFuncExprNode.
const char* const kFailedFunction = "Failed to execute function '%1'.";
const char* const kNoResult = "Function did not return a result.";
} // namespace

CFuncExprNode::CFuncExprNode(const osk::CExpEval* evaluator, node_ptr name,
                             osk::CTrackedPtr<CListItemExprNode> arguments)
    : osk::CNonterminalNode(evaluator, COperator(COperator::op_function), std::move(name), nullptr)
{
    osk::CVariant text;
    _left->interpret(text);
    _name = text.string();
    size_t deepest = 0;
    for (const CListItemExprNode* cell = arguments.get(); cell && !cell->isEnd(); cell = cell->next())
        deepest = std::max(deepest, cell->depth());
    _right = std::move(arguments);
    _depth = deepest + 1;
}

bool CFuncExprNode::interpretAll(osk::CMultiVariant& results) const
{
    // Arguments in source order, then pushed so that the first is on top.
    std::vector<osk::CVariant> values;
    for (const CListItemExprNode* cell = static_cast<const CListItemExprNode*>(_right.get()); cell && !cell->isEnd();
         cell = cell->next()) {
        values.emplace_back();
        if (!cell->interpret(values.back())) values.back() = osk::CVariant();
    }
    osk::CMultiVariant arguments;
    for (auto value = values.rbegin(); value != values.rend(); ++value) arguments.push(*value);

    const size_t before = results.size();
    _evaluator->callback(results, _name, arguments);
    if (results.size() <= before)
        throw OSK_EXCEPTION(osk::CMessage(kFailedFunction).pushs(_name), osk::CMessage(kNoResult),
                            "CFuncExprNode::interpret", kModule);
    return true;
}

bool CFuncExprNode::interpret(osk::CVariant& value) const
{
    osk::CMultiVariant results;
    interpretAll(results);
    value = results.top();
    return true;
}
