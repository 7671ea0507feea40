// Evaluates the logic expression of a conditional visibility once each condition identifier has been
// replaced by its outcome "1" or "0":
//   expression := value { operator value }      operator := "$" (and) | "|" (or)
//   value      := "!" value | "(" expression ")" | literal
//   literal    := a run of the digits 0 and 1, read as a decimal number ("10" is ten)
// "$" binds tighter than "|", both group from the left, and both operands are always evaluated. Blanks
// (space, \t, \n, \v, \f, \r) are skipped before every value and operator.
#pragma once

#include <cstdint>
#include <deque>
#include <stdexcept>
#include <string>

// A syntax error in a condition expression; carries the message and the expression text.
class parser_error : public std::runtime_error {
public:
    parser_error(const std::string& message, const std::string& expression);
    ~parser_error() override;
    const char* what() const noexcept override;

    const std::string& expression() const { return expression_; }

private:
    std::string expression_;
};

class ConditionExpression {
public:
    // Parentheses nested deeper than this are refused as a syntax error, so that a hostile text cannot
    // exhaust the stack. Negations do not count: they are applied without recursion.
    static constexpr int kMaxNesting = 256;

    ConditionExpression() = default;
    ~ConditionExpression() = default;

    // True when the expression's value is not 0. A syntax error gives false.
    bool Evaluate(std::string expression);

    // The value of the whole text; raises parser_error for a syntax error, including characters other
    // than blanks after the expression.
    int Parse(const std::string& expression);

private:
    enum Kind { kNone = 0, kOr = 1, kAnd = 2 };

    struct Operator {
        int kind = kNone;
        int precedence = 0;
        int associativity = 'L';
        int value = 0;  // the left operand waiting for this operator
    };

    int ParseLevel(int depth);
    int ParseValue(int depth);
    int ParseLiteral();
    Operator ReadOperator();
    void SkipBlanks();
    bool AtEnd() const { return index_ >= text_.size(); }
    [[noreturn]] void UnexpectedToken() const;
    [[noreturn]] void Fail(const std::string& message) const;

    std::string text_;
    uint32_t index_ = 0;
    // Pending operators of every level being parsed; each level starts with its own end marker.
    std::deque<Operator> operators_;
};
