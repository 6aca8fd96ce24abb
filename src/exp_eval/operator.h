#pragma once

#include <string>

// One operator of the expression language. The type number doubles as the
// binding strength: a smaller number binds tighter. Comparisons between
// operators compare the type numbers.
class COperator {
public:
    enum operator_type : int {
        op_none = 0,
        op_function = 1,          // "$"
        op_function2 = 2,         // "$$" (no text produces it)
        op_cond_separator = 3,    // ":"
        op_not = 4,               // "!"
        op_negate = 5,            // unary "-"
        op_complement = 6,        // "~"
        op_multiply = 7,          // "*"
        op_divide = 8,            // "/"
        op_add = 9,               // "+"
        op_subtract = 10,         // binary "-"
        op_less = 11,             // "<"
        op_less_equal = 12,       // "<="
        op_greater = 13,          // ">"
        op_greater_equal = 14,    // ">="
        op_equal = 15,            // "=="
        op_not_equal = 16,        // "!="
        op_bit_and = 17,          // "&"
        op_bit_xor = 18,          // "^"
        op_bit_or = 19,           // "|"
        op_and = 20,              // "&&"
        op_or = 21,               // "||"
        op_conditional = 22,      // "?"
        op_assign = 23,           // "="
        op_arg_separator = 24,    // ","
        op_open = 25,             // "("
        op_close = 26,            // ")"
    };

    COperator(operator_type type = op_none) : _type(type) {}
    // The operator of a text; throws osk::CException for any other text. A
    // "-" gives subtraction: negation is decided by position while scanning.
    explicit COperator(const std::string& text) { *this = text; }
    COperator& operator=(const std::string& text);

    operator_type operatorType() const { return _type; }
    void operatorType(operator_type type) { _type = type; }

    // ":" and the operators from "*" to "=" take two operands.
    bool isBinary() const;
    // "!", unary "-" and "~".
    bool isUnary() const { return _type >= op_not && _type <= op_complement; }

    // The operator's text; "unknown" for none and out-of-range values.
    std::string string() const;

    bool operator==(const COperator& other) const { return _type == other._type; }
    bool operator!=(const COperator& other) const { return _type != other._type; }
    bool operator<(const COperator& other) const { return _type < other._type; }
    bool operator>(const COperator& other) const { return _type > other._type; }
    bool operator<=(const COperator& other) const { return _type <= other._type; }
    bool operator>=(const COperator& other) const { return _type >= other._type; }

private:
    operator_type _type;
};
