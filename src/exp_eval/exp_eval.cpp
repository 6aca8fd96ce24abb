#include "exp_eval/exp_eval.h"

#include "exp_eval/exp_eval_functions.h"
#include "exp_eval/node_base_factory.h"
#include "exp_eval/parse_stack.h"
#include "extended/exception.h"
#include "extended/master_controller.h"
#include "standard/string_util.h"
#include "standard/tracked_factory.h"

namespace osk {

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of CExpEval.
const char* const kEmptyExpression = "Cannot convert empty expression to postfix.";
const char* const kInvalidData = "Invalid data.";
const char* const kCannotParse = "Cannot parse expression '%1'.";
const char* const kMismatched = "Mismatched parentheses.";
const char* const kUnterminatedQuote = "Quoted text is not closed.";
const char* const kInvalidExpression = "Invalid expression.";
const char* const kEvaluatesToNothing = "Expression '%1' evaluates to nothing.";
const char* const kFailedExpression = "Failed to execute expression.";
const char* const kValueTooLong = "A value of %1 bytes is longer than the %2 bytes an expression may make.";
const char* const kMadeBy = "Made by '%1'.";
const char* const kSeveralValues = "Expression leaves %1 values without an operator joining them.";
const char* const kUnknownFunction = "Unknown function '%1'.";
const char* const kRuntimeError = "Runtime error.";
const char* const kNothing = "Expression evaluates to nothing.";
const char* const kNoResult = "No result calculated.";
const char* const kCannotExecute = "Cannot execute expression.";
const char* const kInvalidTree = "Invalid syntax tree.";
const char* const kTooDeep = "Expressions are nested more than %1 levels deep.";
const char* const kNoController = "No master controller supplies the shared server key.";
const char* const kCannotKey = "Cannot key the expression cipher.";

// Nesting of execute() on this thread (EVAL and VALUE evaluate inside an
// evaluation).
thread_local unsigned tNesting = 0;

class CNestingGuard {
public:
    CNestingGuard()
    {
        if (tNesting >= CExpEval::maxNesting)
            throw OSK_EXCEPTION(CMessage(kCannotExecute), CMessage(kTooDeep).push(CExpEval::maxNesting),
                                "CExpEval::execute", kModule);
        ++tNesting;
    }
    ~CNestingGuard() { --tNesting; }
    CNestingGuard(const CNestingGuard&) = delete;
    CNestingGuard& operator=(const CNestingGuard&) = delete;
};

// The operator at text[i] in recognition order, with its length; op_none
// when there is none. A "-" is returned as subtraction.
COperator::operator_type matchOperator(const std::string& text, size_t i, size_t end, size_t& length)
{
    const char c = text[i];
    const char next = i + 1 < end ? text[i + 1] : '\0';
    length = 1;
    switch (c) {
    case '<':
        if (next == '=') {
            length = 2;
            return COperator::op_less_equal;
        }
        return COperator::op_less;
    case '$': return COperator::op_function;
    case '>':
        if (next == '=') {
            length = 2;
            return COperator::op_greater_equal;
        }
        return COperator::op_greater;
    case '+': return COperator::op_add;
    case '-': return COperator::op_subtract;
    case '*': return COperator::op_multiply;
    case '/': return COperator::op_divide;
    case '(': return COperator::op_open;
    case ')': return COperator::op_close;
    case '&':
        if (next == '&') {
            length = 2;
            return COperator::op_and;
        }
        return COperator::op_bit_and;
    case '|':
        if (next == '|') {
            length = 2;
            return COperator::op_or;
        }
        return COperator::op_bit_or;
    case '!':
        if (next == '=') {
            length = 2;
            return COperator::op_not_equal;
        }
        return COperator::op_not;
    case '=':
        if (next == '=') {
            length = 2;
            return COperator::op_equal;
        }
        return COperator::op_assign;
    case '^': return COperator::op_bit_xor;
    case '~': return COperator::op_complement;
    case '?': return COperator::op_conditional;
    case ':': return COperator::op_cond_separator;
    case ',': return COperator::op_arg_separator;
    default: return COperator::op_none;
    }
}

// The operand token of a buffered text; false when the text is blank.
bool operandToken(const std::string& buffer, bool functionName, CToken& token)
{
    const std::string operand = CStringUtil::trim(buffer);
    if (operand.empty()) return false;
    if (functionName) {
        token = CToken(CVariant(operand, CVariantSubType::st_function_name), true);
        return true;
    }
    // Surrounding single quotes, spaces and tabs go; what is left is typed by
    // its form. Quotes around nothing give the empty string.
    const std::string unquoted = CStringUtil::trim(operand, " \t'");
    token = CToken(unquoted.empty() ? CVariant(std::string()) : CVariant::guess(unquoted));
    return true;
}

bool dropped(COperator::operator_type type)
{
    return type == COperator::op_arg_separator || type == COperator::op_cond_separator;
}
} // namespace

CExpEval::CExpEval(CMasterController* controller) : _controller(controller)
{
    for (const CExpEvalFunctions::entry_t& entry : CExpEvalFunctions::table()) _handlers[entry.name] = entry.handler;
}

CExpEval::~CExpEval() = default;

CExpEval::tree_ptr CExpEval::parse(const std::string& text) const
{
    token_list tokens;
    _string2Postfix(text, tokens);
    osk::CTrackedPtr<CNodeBase> root = _postfix2Tree(tokens);
    return tree_ptr(CTrackedFactory::create<CSyntaxTreeProxy>(std::move(root), std::move(tokens)));
}

void CExpEval::execute(CVariant& result, const tree_ptr& tree) const
{
    CMultiVariant results;
    execute(results, tree);
    if (results.empty())
        throw OSK_EXCEPTION(CMessage(kNoResult), CMessage(kRuntimeError), "CExpEval::execute", kModule);
    result = results.top();
}

void CExpEval::execute(CMultiVariant& results, const tree_ptr& tree) const
{
    if (!tree || !tree->root())
        throw OSK_EXCEPTION(CMessage(kCannotExecute), CMessage(kInvalidTree), "CExpEval::execute", kModule);
    CNestingGuard guard;
    if (!tree->root()->interpretAll(results))
        throw OSK_EXCEPTION(CMessage(kNothing), CMessage(kRuntimeError), "CExpEval::execute", kModule);
}

void CExpEval::_setHandler(const std::string& name, handler_t handler) { _handlers[name] = handler; }

void CExpEval::_string2Postfix(const std::string& text, token_list& tokens) const
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '[')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == ']')) --end;
    if (begin == end)
        throw OSK_EXCEPTION(CMessage(kEmptyExpression), CMessage(kInvalidData), "CExpEval::_string2Postfix", kModule);

    std::vector<COperator::operator_type> stack;
    std::string operand;
    bool quoted = false;
    // Whether the previous character ended an operator, and which one: a
    // "-" there is negation unless that operator was ")"; an operand right
    // after "$" is a function name.
    bool afterOperator = false;
    COperator::operator_type lastOperator = COperator::op_none;

    auto flush = [&]() {
        CToken token;
        if (operandToken(operand, lastOperator == COperator::op_function, token)) tokens.push_back(token);
        operand.clear();
    };
    auto mismatched = [&]() {
        return OSK_EXCEPTION(CMessage(kCannotParse).pushs(text), CMessage(kMismatched), "CExpEval::_string2Postfix",
                             kModule);
    };

    for (size_t i = begin; i < end;) {
        const char c = text[i];
        if (c == '"' || c == '\'') {
            quoted = !quoted;
            operand += c;
            afterOperator = false;
            ++i;
            continue;
        }
        if (!quoted) {
            size_t length = 0;
            COperator::operator_type type = matchOperator(text, i, end, length);
            if (type != COperator::op_none) {
                if (type == COperator::op_subtract &&
                    (i == begin || (afterOperator && lastOperator != COperator::op_close)))
                    type = COperator::op_negate;
                flush();
                if (type == COperator::op_open) {
                    stack.push_back(type);
                } else if (type == COperator::op_close) {
                    bool found = false;
                    while (!stack.empty()) {
                        const COperator::operator_type top = stack.back();
                        stack.pop_back();
                        if (top == COperator::op_open) {
                            found = true;
                            break;
                        }
                        if (!dropped(top)) tokens.emplace_back(COperator(top));
                    }
                    if (!found) throw mismatched();
                } else {
                    while (!stack.empty() && stack.back() < type) {
                        if (!dropped(stack.back())) tokens.emplace_back(COperator(stack.back()));
                        stack.pop_back();
                    }
                    stack.push_back(type);
                }
                lastOperator = type;
                afterOperator = true;
                i += length;
                continue;
            }
            size_t reserved = 0;
            if (reservedWord(reserved, std::string_view(text).substr(i, end - i)) && reserved > 0 &&
                reserved <= end - i) {
                flush();
                tokens.emplace_back(CVariant(text.substr(i, reserved), CVariantSubType::st_reserved_word));
                afterOperator = false;
                i += reserved;
                continue;
            }
        }
        operand += c;
        afterOperator = false;
        ++i;
    }
    if (quoted)
        throw OSK_EXCEPTION(CMessage(kCannotParse).pushs(text), CMessage(kUnterminatedQuote),
                            "CExpEval::_string2Postfix", kModule);
    flush();
    while (!stack.empty()) {
        const COperator::operator_type top = stack.back();
        stack.pop_back();
        if (top == COperator::op_open) throw mismatched();
        if (!dropped(top)) tokens.emplace_back(COperator(top));
    }
    if (tokens.empty())
        throw OSK_EXCEPTION(CMessage(kInvalidExpression), CMessage(kEvaluatesToNothing).pushs(text),
                            "CExpEval::_string2Postfix", kModule);
}

osk::CTrackedPtr<CNodeBase> CExpEval::_postfix2Tree(const token_list& tokens) const
{
    CParseStack stack;
    for (const CToken& token : tokens) CNodeBaseFactory::build(token, stack, this);
    if (stack.size() != 1)
        throw OSK_EXCEPTION(CMessage(kFailedExpression), CMessage(kSeveralValues).push(stack.size()),
                            "CExpEval::_postfix2Tree", kModule);
    return stack.pop();
}

bool CExpEval::reservedWord(size_t&, std::string_view) const { return false; }

void CExpEval::callback(CMultiVariant& results, const std::string& name, CMultiVariant& arguments) const
{
    const auto handler = _handlers.find(name);
    if (handler == _handlers.end())
        throw OSK_EXCEPTION(CMessage(kUnknownFunction).pushs(name), CMessage(kRuntimeError), "CExpEval::callback",
                            kModule);
    const size_t before = results.size();
    handler->second(*this, results, arguments);
    size_t index = 0;
    for (const CVariant& value : results)
        if (index++ >= before) checkValueSize(value, name, "CExpEval::callback");
}

void CExpEval::checkValueSize(const CVariant& value, const std::string& maker, const char* context)
{
    const size_t bytes = value.valueBytes();
    if (bytes <= maxValueBytes) return;
    throw OSK_EXCEPTION(CMessage(kValueTooLong).push(static_cast<uint64_t>(bytes))
                            .push(static_cast<uint64_t>(maxValueBytes)),
                        CMessage(kMadeBy).pushs(maker), context, kModule);
}

void CExpEval::initBlowfish()
{
    if (!_controller)
        throw OSK_EXCEPTION(CMessage(kCannotKey), CMessage(kNoController), "CExpEval::initBlowfish", kModule);
    const CMasterController::server_key_t& key = _controller->sharedServerKey();
    initBlowfish(CHexStore(key.data(), key.size()));
}

void CExpEval::initBlowfish(const CHexStore& key)
{
    _blowfish.init(key);
    _keyed = true;
}

std::vector<std::string> CExpEval::functionList() const
{
    std::vector<std::string> names;
    names.reserve(_handlers.size());
    for (const auto& entry : _handlers) names.push_back(entry.first);
    return names;
}

} // namespace osk
