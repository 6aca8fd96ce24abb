#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "exp_eval/node_base.h"
#include "exp_eval/syntax_tree_proxy.h"
#include "exp_eval/token.h"
#include "security/blowfish.h"
#include "standard/general_ptr.h"
#include "standard/hex_store.h"
#include "standard/multi_variant.h"
#include "standard/tracked_factory.h"
#include "standard/variant.h"

namespace osk {

class CMasterController;

// The expression evaluator. parse() turns an expression text into a tree of
// typed values and operators (text -> postfix tokens -> tree); execute()
// evaluates a tree. Functions ("$NAME(args)") are looked up by exact name in
// a table of handlers; derived evaluators add theirs with _setHandler in
// their constructors.
//
// The evaluator is read-only after construction and keeps all parse and
// evaluation state in the call, so one evaluator serves every thread.
class CExpEval {
public:
    // A function: pops its arguments (the first is on top) and pushes its
    // results (the function's value is the top).
    using handler_t = void (*)(const CExpEval& evaluator, CMultiVariant& results, CMultiVariant& arguments);
    using tree_ptr = CGeneralPtr<CSyntaxTreeProxy, CMTOwnerPolicy>;
    using token_list = std::vector<CToken>;

    // Nested evaluations (EVAL, VALUE) deeper than this are refused.
    static constexpr unsigned maxNesting = 8;

    explicit CExpEval(CMasterController* controller = nullptr);
    virtual ~CExpEval();
    CExpEval(const CExpEval&) = delete;
    CExpEval& operator=(const CExpEval&) = delete;

    // The tree of an expression text (surrounding "[" "]" optional). Throws
    // osk::CException for malformed text.
    virtual tree_ptr parse(const std::string& text) const;
    // The value of the tree (the top of its results).
    virtual void execute(CVariant& result, const tree_ptr& tree) const;
    // Every result of the tree, appended to results.
    virtual void execute(CMultiVariant& results, const tree_ptr& tree) const;

protected:
    // Registers or replaces the handler of a name.
    virtual void _setHandler(const std::string& name, handler_t handler);
    // Tokenises the text and orders the tokens in postfix.
    virtual void _string2Postfix(const std::string& text, token_list& tokens) const;
    // Builds the tree of a postfix token list.
    virtual osk::CTrackedPtr<CNodeBase> _postfix2Tree(const token_list& tokens) const;

public:
    // Offered the rest of the text wherever no operator is recognised
    // outside quotes. A derived evaluator returns true and the length of a
    // word of its own there; the word becomes a string operand with the
    // reserved-word subtype. The base knows no reserved words.
    virtual bool reservedWord(size_t& length, std::string_view text) const;

    // Calls the handler registered under exactly this name; throws "Unknown
    // function '%1'." for an unregistered name, and refuses a result longer
    // than maxValueBytes.
    void callback(CMultiVariant& results, const std::string& name, CMultiVariant& arguments) const;

    // The longest text or byte string an expression may make. Functions
    // nested in each other could otherwise grow a value exponentially (a
    // byte string turned into text takes three bytes a byte); no name, root
    // or policy comes near it.
    static constexpr size_t maxValueBytes = 64 * 1024;
    // Throws "A value of %1 bytes is longer than the %2 bytes an expression
    // may make." (made by `maker`) when the value is too long.
    static void checkValueSize(const CVariant& value, const std::string& maker, const char* context);

    CMasterController* controller() const { return _controller; }
    // The cipher of ENCRYPT and DECRYPT; keyed() says whether a key was set.
    const CBlowfish& blowfish() const { return _blowfish; }
    bool keyed() const { return _keyed; }
    // Keys the cipher with the controller's shared server key; throws when
    // there is no controller.
    void initBlowfish();
    // Keys the cipher with the given bytes (tests, and controllers that keep
    // the key elsewhere).
    void initBlowfish(const CHexStore& key);
    // The registered function names in order.
    std::vector<std::string> functionList() const;

private:
    std::map<std::string, handler_t> _handlers;
    CMasterController* _controller;
    CBlowfish _blowfish;
    bool _keyed = false;
};

} // namespace osk
