#include "tftp/tftp_base/tftp_expression.h"

CTFTPExpression::CTFTPExpression(CTFTPEval& evaluator, const std::string& text)
    : osk::CExpression(evaluator, text), _tftpEvaluator(&evaluator)
{
}

CTFTPExpression& CTFTPExpression::operator=(const std::string& text)
{
    osk::CExpression::operator=(text);
    return *this;
}

const osk::CMultiVariant& CTFTPExpression::evaluate(const CStatePtr& state)
{
    _tftpEvaluator->state(state);
    return **this;
}

osk::CVariant CTFTPExpression::value(const CStatePtr& state) { return evaluate(state).top(); }
