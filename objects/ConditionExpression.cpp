#include "objects/ConditionExpression.h"

#include <limits>

parser_error::parser_error(const std::string& message, const std::string& expression)
    : std::runtime_error(message), expression_(expression)
{
}

parser_error::~parser_error() = default;

const char* parser_error::what() const noexcept
{
    return std::runtime_error::what();
}

namespace {

constexpr int kOrPrecedence = 4;
constexpr int kAndPrecedence = 6;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

bool ConditionExpression::Evaluate(std::string expression)
{
    try {
        return Parse(expression) != 0;
    } catch (const parser_error&) {
        // A malformed expression is a failed condition; the pending operators are of no further use.
        operators_.clear();
        return false;
    }
}

int ConditionExpression::Parse(const std::string& expression)
{
    text_ = expression;
    index_ = 0;
    operators_.clear();
    if (text_.size() >= std::numeric_limits<uint32_t>::max()) Fail("Syntax error: expression too long");
    const int value = ParseLevel(0);
    SkipBlanks();
    if (!AtEnd()) UnexpectedToken();
    return value;
}

// Precedence climbing over the shared operator stack: an operator of higher precedence than the top
// waits with its left operand; one of lower or equal precedence first folds the top in (left grouping).
// The level's end marker has precedence 0, so only the end of the level removes it.
int ConditionExpression::ParseLevel(int depth)
{
    operators_.push_back(Operator{kNone, 0, 'L', 0});
    int value = ParseValue(depth);
    for (;;) {
        Operator next = ReadOperator();
        for (;;) {
            const Operator top = operators_.back();
            if (next.precedence > top.precedence) {
                next.value = value;
                operators_.push_back(next);
                value = ParseValue(depth);
                break;
            }
            operators_.pop_back();
            if (top.kind == kNone) return value;
            if (top.kind == kOr)
                value = (top.value != 0 || value != 0) ? 1 : 0;
            else
                value = (top.value != 0 && value != 0) ? 1 : 0;
        }
    }
}

int ConditionExpression::ParseValue(int depth)
{
    // Negations are counted rather than recursed into, so a long run of "!" costs no stack.
    int negations = 0;
    for (;;) {
        SkipBlanks();
        if (AtEnd() || text_[index_] != '!') break;
        ++negations;
        ++index_;
    }
    if (AtEnd()) Fail("Syntax error: value expected at end of expression");

    int value = 0;
    const char c = text_[index_];
    if (c == '(') {
        if (depth >= kMaxNesting) Fail("Syntax error: expression nested too deeply at index " + std::to_string(index_));
        ++index_;
        value = ParseLevel(depth + 1);
        SkipBlanks();
        if (AtEnd()) Fail("Syntax error: `)' expected at end of expression");
        if (text_[index_] != ')') UnexpectedToken();
        ++index_;
    } else if (c == '0' || c == '1') {
        value = ParseLiteral();
    } else {
        UnexpectedToken();
    }

    if (negations == 0) return value;
    const bool truth = (value != 0) == (negations % 2 == 0);
    return truth ? 1 : 0;
}

// Only the test against zero matters, so a run too long for 32 bits stays at the largest value instead
// of wrapping (ten to the 32nd would wrap to exactly 0 and turn a true literal false).
int ConditionExpression::ParseLiteral()
{
    constexpr int kMax = std::numeric_limits<int>::max();
    int value = 0;
    while (!AtEnd() && (text_[index_] == '0' || text_[index_] == '1')) {
        const int digit = text_[index_] - '0';
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
        ++index_;
    }
    return value;
}

ConditionExpression::Operator ConditionExpression::ReadOperator()
{
    SkipBlanks();
    if (!AtEnd()) {
        if (text_[index_] == '$') {
            ++index_;
            return Operator{kAnd, kAndPrecedence, 'L', 0};
        }
        if (text_[index_] == '|') {
            ++index_;
            return Operator{kOr, kOrPrecedence, 'L', 0};
        }
    }
    return Operator{kNone, 0, 'L', 0};
}

void ConditionExpression::SkipBlanks()
{
    while (!AtEnd() && IsBlank(text_[index_])) ++index_;
}

void ConditionExpression::UnexpectedToken() const
{
    throw parser_error("Syntax error: unexpected token \"" + text_.substr(index_) + "\" at index " +
                           std::to_string(index_),
                       text_);
}

void ConditionExpression::Fail(const std::string& message) const
{
    throw parser_error(message, text_);
}
