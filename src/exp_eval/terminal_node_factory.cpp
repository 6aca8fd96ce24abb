#include "exp_eval/terminal_node_factory.h"

#include "exp_eval/term_node.h"
#include "extended/exception.h"
#include "standard/tracked_factory.h"

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of CTerminalNodeFactory.
const char* const kCannotEvaluate = "Cannot evaluate operand type '%1'.";
const char* const kNoConversion = "No conversion for this type.";

template <class Node>
osk::CTrackedPtr<osk::CNodeBase> make(const CToken& token, const osk::CExpEval* evaluator)
{
    return osk::CTrackedFactory::createUnique<Node>(evaluator, token.operand(), token.isFunctionName());
}
} // namespace

void CTerminalNodeFactory::build(const CToken& token, osk::CParseStack& stack, const osk::CExpEval* evaluator)
{
    using T = osk::CVariantType;
    switch (token.operand().type().type()) {
    case T::t_unknown: stack.push(make<CUnknownTermNode>(token, evaluator)); return;
    case T::t_ipaddress: stack.push(make<CIPAddressTermNode>(token, evaluator)); return;
    case T::t_boolean: stack.push(make<CBooleanTermNode>(token, evaluator)); return;
    case T::t_time: stack.push(make<CTimeTermNode>(token, evaluator)); return;
    case T::t_string: stack.push(make<CStringTermNode>(token, evaluator)); return;
    case T::t_hexstore: stack.push(make<CHexStoreTermNode>(token, evaluator)); return;
    case T::t_integer: stack.push(make<CIntegerTermNode>(token, evaluator)); return;
    case T::t_endpoint: stack.push(make<CEndpointTermNode>(token, evaluator)); return;
    case T::t_uinteger: stack.push(make<CUIntegerTermNode>(token, evaluator)); return;
    }
    throw OSK_EXCEPTION(osk::CMessage(kCannotEvaluate).push(static_cast<int>(token.operand().type().type())),
                        osk::CMessage(kNoConversion), "CTerminalNodeFactory::build", kModule);
}
