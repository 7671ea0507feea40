#include "objects/ConditionExpression.h"

#include "tests/support/CaseNames.h"

#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <vector>

namespace {

// The message of the parser_error that Parse raises, or "" when it raises none.
std::string ErrorOf(ConditionExpression& evaluator, const std::string& text)
{
    try {
        evaluator.Parse(text);
    } catch (const parser_error& e) {
        EXPECT_EQ(e.expression(), text);
        return e.what();
    }
    return "";
}

std::string Repeat(const std::string& s, size_t n)
{
    std::string out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

const char* const kValueExpected = "Syntax error: value expected at end of expression";
const char* const kParenExpected = "Syntax error: `)' expected at end of expression";

std::string Unexpected(const std::string& rest, unsigned index)
{
    return "Syntax error: unexpected token \"" + rest + "\" at index " + std::to_string(index);
}

struct ValueCase {
    const char* name;
    std::string text;
    int value;
};

class ConditionValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ConditionValueTest, ParsesToValueAndEvaluatesToItsTruth)
{
    ConditionExpression evaluator;
    EXPECT_EQ(evaluator.Parse(GetParam().text), GetParam().value);
    EXPECT_EQ(evaluator.Evaluate(GetParam().text), GetParam().value != 0);
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, ConditionValueTest,
    ::testing::Values(
        ValueCase{"One", "1", 1}, ValueCase{"Zero", "0", 0},
        // "$" binds tighter than "|", whichever comes first.
        ValueCase{"1_Or_0_And_0", "1|0$0", 1}, ValueCase{"0_And_0_Or_1", "0$0|1", 1},
        ValueCase{"Open_1_Or_0_Close_And_0", "(1|0)$0", 0}, ValueCase{"0_And_Open_0_Or_1_Close", "0$(0|1)", 0},
        ValueCase{"1_And_1_And_0", "1$1$0", 0}, ValueCase{"0_Or_0_Or_1", "0|0|1", 1},
        ValueCase{"0_Or_0_Or_0", "0|0|0", 0}, ValueCase{"1_And_1_Or_0_And_0", "1$1|0$0", 1},
        ValueCase{"0_And_1_Or_0_And_1", "0$1|0$1", 0}, ValueCase{"1_Or_0_And_0_Or_0", "1|0$0|0", 1},
        ValueCase{"0_Or_1_And_1_And_0_Or_0", "0|1$1$0|0", 0},
        // Negation applies to one value, before any operator.
        ValueCase{"Not_1_Or_1", "!1|1", 1}, ValueCase{"Not_1_And_1", "!1$1", 0},
        ValueCase{"Not_Open_1_And_0_Close", "!(1$0)", 1}, ValueCase{"Not_0", "!0", 1},
        ValueCase{"Not_Not_1", "!!1", 1}, ValueCase{"Not_Not_Not_1", "!!!1", 0},
        ValueCase{"Not_Blank_Not_Blank_0", "! ! 0", 0}, ValueCase{"Not_Open_Not_Open_1_Close_Close", "!(!(1))", 1},
        ValueCase{"1_And_Not_0", "1$!0", 1},
        // Literals are decimal runs of 0 and 1; combined values are 0 or 1.
        ValueCase{"Ten", "10", 10}, ValueCase{"TenWithLeadingZeros", "0010", 10}, ValueCase{"TwoZeros", "00", 0},
        ValueCase{"Not_Ten", "!10", 0}, ValueCase{"Not_Not_Ten", "!!10", 1}, ValueCase{"HundredAndOne", "101", 101},
        ValueCase{"Ten_Or_0", "10|0", 1}, ValueCase{"Ten_And_Eleven", "10$11", 1},
        ValueCase{"Open_Ten_Close", "(10)", 10},
        // Blanks of every kind around every token.
        ValueCase{"SpacesAroundEveryToken", " 1 $ ( 0 | 1 ) ", 1},
        ValueCase{"EveryKindOfBlank", "\t1\n$\v(\f0\r|1 )\t", 1},
        ValueCase{"SpacesInNestedParentheses", "( ( 1 ) )", 1},
        // Runs too long for 32 bits stay true (ten to the 32nd would wrap to 0).
        ValueCase{"TenToThe32nd", "1" + std::string(32, '0'), 2147483647},
        ValueCase{"SixteenOnes", "1111111111111111", 2147483647},
        ValueCase{"FortyZeros", std::string(40, '0'), 0},
        ValueCase{"FortyZerosThenOne", std::string(40, '0') + "1", 1},
        ValueCase{"Not_TenToThe32nd", "!1" + std::string(32, '0'), 0}),
    testsupport::CaseName());

struct ErrorCase {
    const char* name;
    std::string text;
    std::string message;
};

class ConditionErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ConditionErrorTest, RaisesParserErrorAndEvaluatesFalse)
{
    ConditionExpression evaluator;
    EXPECT_EQ(ErrorOf(evaluator, GetParam().text), GetParam().message);
    EXPECT_FALSE(evaluator.Evaluate(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, ConditionErrorTest,
    ::testing::Values(
        ErrorCase{"Empty", "", kValueExpected}, ErrorCase{"OnlyBlanks", "   \t", kValueExpected},
        ErrorCase{"AndWithoutRightSide", "1$", kValueExpected},
        ErrorCase{"OrWithoutRightSide", "1 | ", kValueExpected}, ErrorCase{"NotAlone", "!", kValueExpected},
        ErrorCase{"OpenAlone", "(", kValueExpected},
        ErrorCase{"UnclosedOne", "(1", kParenExpected}, ErrorCase{"UnclosedNested", "((1)", kParenExpected},
        ErrorCase{"UnclosedAnd", "(1$0 ", kParenExpected},
        ErrorCase{"TwoValuesInParentheses", "(1 1)", Unexpected("1)", 3)},
        ErrorCase{"DigitTwo", "2", Unexpected("2", 0)},
        ErrorCase{"TwoValues", "1 0", Unexpected("0", 2)}, ErrorCase{"Ampersand", "1 & 0", Unexpected("& 0", 2)},
        ErrorCase{"LetterAfterAnd", "1 $ x", Unexpected("x", 4)}, ErrorCase{"Twelve", "12", Unexpected("2", 1)},
        ErrorCase{"NineteenAnd1", "19$1", Unexpected("9$1", 1)}, ErrorCase{"CloseAlone", ")", Unexpected(")", 0)},
        ErrorCase{"CloseAfterValue", "1)", Unexpected(")", 1)},
        ErrorCase{"ExtraClose", "(1))", Unexpected(")", 3)},
        ErrorCase{"EmptyParentheses", "()", Unexpected(")", 1)},
        ErrorCase{"LeadingAnd", "$1", Unexpected("$1", 0)},
        ErrorCase{"DoubleOr", "1||0", Unexpected("|0", 2)}, ErrorCase{"DoubleAnd", "1$$0", Unexpected("$0", 2)},
        ErrorCase{"MinusSign", "-1", Unexpected("-1", 0)}, ErrorCase{"PlusSign", "+1", Unexpected("+1", 0)},
        ErrorCase{"Word", "true", Unexpected("true", 0)}, ErrorCase{"NotLetter", "! x", Unexpected("x", 2)},
        ErrorCase{"LetterInParentheses", "(1 x", Unexpected("x", 3)},
        // Both operands are always parsed, so a true left side does not hide a bad right side.
        ErrorCase{"TrueOrBadValue", "1|2", Unexpected("2", 2)},
        ErrorCase{"FalseAndOpenAlone", "0$(", kValueExpected},
        // A NUL is a character like any other; what() ends the message there, as a C string does.
        ErrorCase{"NulAfterValue", std::string("1\0", 2), "Syntax error: unexpected token \""}),
    testsupport::CaseName());

TEST(ConditionExpressionTest, ParserErrorIsAStandardExceptionWithItsMessage)
{
    ConditionExpression evaluator;
    try {
        evaluator.Parse("1 & 0");
        FAIL() << "no error raised";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Syntax error: unexpected token \"& 0\" at index 2");
        const auto* error = dynamic_cast<const parser_error*>(&e);
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->expression(), "1 & 0");
    }
}

// A failure part-way leaves operators pending; they must never leak into the next evaluation.
TEST(ConditionExpressionTest, NextEvaluationAfterAFailureStartsAfresh)
{
    ConditionExpression evaluator;
    const std::vector<std::string> failures = {"1|(1|(0$", "1|1|1|(", "(((1", "1$(1|x", "1|!"};
    for (const auto& bad : failures) {
        EXPECT_FALSE(evaluator.Evaluate(bad)) << bad;
        EXPECT_FALSE(evaluator.Evaluate("0")) << "after " << bad;
        EXPECT_FALSE(evaluator.Evaluate("0$1")) << "after " << bad;
        EXPECT_TRUE(evaluator.Evaluate("1$(0|1)")) << "after " << bad;
        EXPECT_EQ(evaluator.Parse("0|0"), 0) << "after " << bad;
    }
}

TEST(ConditionExpressionTest, OneEvaluatorServesManyExpressions)
{
    ConditionExpression evaluator;
    for (int i = 0; i < 1000; ++i) {
        EXPECT_TRUE(evaluator.Evaluate("1|0$0"));
        EXPECT_FALSE(evaluator.Evaluate("(1|0)$0"));
    }
}

TEST(ConditionExpressionHostileTest, NestingUpToTheLimitIsEvaluated)
{
    ConditionExpression evaluator;
    const size_t n = ConditionExpression::kMaxNesting;
    EXPECT_EQ(evaluator.Parse(Repeat("(", n) + "1" + Repeat(")", n)), 1);
    EXPECT_EQ(evaluator.Parse(Repeat("(1$", n) + "0" + Repeat(")", n)), 0);
    // Each level negates the one inside it: !(0|0) is 1, !(0|1) is 0, and so on outwards.
    int alternating = 0;
    for (size_t i = 0; i < n; ++i) alternating = alternating == 0 ? 1 : 0;
    EXPECT_EQ(evaluator.Parse(Repeat("!(0|", n) + "0" + Repeat(")", n)), alternating);
}

TEST(ConditionExpressionHostileTest, NestingBeyondTheLimitIsASyntaxError)
{
    ConditionExpression evaluator;
    const size_t n = ConditionExpression::kMaxNesting;
    EXPECT_EQ(ErrorOf(evaluator, Repeat("(", n + 1) + "1" + Repeat(")", n + 1)),
              "Syntax error: expression nested too deeply at index " + std::to_string(n));
    // Far too deep, balanced or not, with negations in between: refused without exhausting the stack.
    EXPECT_FALSE(evaluator.Evaluate(Repeat("(", 1000000) + "1" + Repeat(")", 1000000)));
    EXPECT_FALSE(evaluator.Evaluate(Repeat("(", 1000000)));
    EXPECT_FALSE(evaluator.Evaluate(Repeat("!(", 1000000) + "1"));
    EXPECT_FALSE(evaluator.Evaluate(Repeat("1|(", 1000000) + "1"));
    EXPECT_TRUE(evaluator.Evaluate("1"));
}

TEST(ConditionExpressionHostileTest, LongTextsAreEvaluated)
{
    ConditionExpression evaluator;
    // A million negations cost no stack: an even count gives the truth of the value, an odd its opposite.
    EXPECT_EQ(evaluator.Parse(Repeat("!", 1000000) + "1"), 1);
    EXPECT_EQ(evaluator.Parse(Repeat("!", 1000001) + "1"), 0);
    EXPECT_EQ(evaluator.Parse(Repeat("! ", 1000000) + "0"), 0);
    // Long flat chains fold as they go.
    EXPECT_EQ(evaluator.Parse(Repeat("1$", 200000) + "0"), 0);
    EXPECT_EQ(evaluator.Parse(Repeat("0|", 200000) + "1"), 1);
    EXPECT_EQ(evaluator.Parse(Repeat("0|1$", 200000) + "0"), 0);
    EXPECT_EQ(evaluator.Parse(Repeat("(0|1)$", 200000) + "1"), 1);
    EXPECT_EQ(evaluator.Parse(Repeat(" ", 1000000) + "1" + Repeat(" ", 1000000)), 1);
    EXPECT_EQ(evaluator.Parse(std::string(1000000, '1')), 2147483647);
    const std::string longBad = Repeat("1|", 100000) + "z";
    EXPECT_EQ(ErrorOf(evaluator, longBad), Unexpected("z", 200000));
}

TEST(ConditionExpressionHostileTest, UnbalancedParenthesesAreRejected)
{
    ConditionExpression evaluator;
    const std::vector<std::string> texts = {"(", ")", "(()", "())", "(1", "1)", "((1)", "(1))", ")1(", "(1$(0|1)",
                                            "1$0)|(1", "(((((((((1))))))))))"};
    for (const auto& text : texts) {
        EXPECT_NE(ErrorOf(evaluator, text), "") << text;
        EXPECT_FALSE(evaluator.Evaluate(text)) << text;
    }
}

}  // namespace
