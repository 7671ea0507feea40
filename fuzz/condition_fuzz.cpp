// Any text as the logic expression of a conditional visibility, checked against a small evaluator of
// its own written from the grammar the expression follows:
//   expression := value { ("$" | "|") value }, "$" (and) binding tighter than "|" (or), both from the left
//   value      := "!" value | "(" expression ")" | a run of the digits 0 and 1 (a decimal number)
// with blanks skipped between them and parentheses nested at most ConditionExpression::kMaxNesting deep.
//
// The text is read twice: as it is by ConditionExpression, and as the logic expression of a set of
// conditions whose IDs stand for their results, over a few dates. Both must agree with the reference
// whenever it accepts the text, and refuse it (a parser_error, a false result) whenever it refuses it.
#include "objects/ConditionExpression.h"
#include "objects/ConditionalVisibilityData.h"

#include "fuzz/fuzz_support.h"
#include "fuzz/quiet_log.h"

#include <log4cpp/Category.hh>
#include <log4cpp/Priority.hh>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

// ----- reference evaluator -----

struct Token {
    enum Kind { kAnd, kOr, kNot, kOpen, kClose, kWord } kind;
    std::string word;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool IsOperator(char c) { return c == '$' || c == '|' || c == '!' || c == '(' || c == ')'; }

bool IsDelimiter(char c) { return IsBlank(c) || IsOperator(c); }

// The tokens of the text; a word is a run of characters that are neither blanks nor operators. A word
// that names a variable is replaced by the variable's text ("1", "0", or "" which drops it).
std::vector<Token> Tokenize(const std::string& text, const std::map<std::string, std::string>& variables)
{
    std::vector<Token> tokens;
    size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (IsBlank(c)) {
            ++at;
        } else if (IsOperator(c)) {
            static const std::map<char, Token::Kind> kKinds = {
                {'$', Token::kAnd}, {'|', Token::kOr}, {'!', Token::kNot}, {'(', Token::kOpen}, {')', Token::kClose}};
            tokens.push_back({kKinds.at(c), {}});
            ++at;
        } else {
            size_t end = at;
            while (end < text.size() && !IsDelimiter(text[end])) ++end;
            std::string word = text.substr(at, end - at);
            const auto variable = variables.find(word);
            if (variable != variables.end()) word = variable->second;
            if (!word.empty()) tokens.push_back({Token::kWord, word});
            at = end;
        }
    }
    return tokens;
}

// Recursive descent over the tokens; nullopt for a text the grammar refuses.
class Reference {
public:
    explicit Reference(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    std::optional<int> Evaluate()
    {
        const std::optional<int> value = Or(0);
        if (!value || at_ != tokens_.size()) return std::nullopt;
        return value;
    }

private:
    bool Next(Token::Kind kind)
    {
        if (at_ < tokens_.size() && tokens_[at_].kind == kind) {
            ++at_;
            return true;
        }
        return false;
    }

    std::optional<int> Or(int depth)
    {
        std::optional<int> left = And(depth);
        while (left && Next(Token::kOr)) {
            const std::optional<int> right = And(depth);
            if (!right) return std::nullopt;
            left = (*left != 0 || *right != 0) ? 1 : 0;
        }
        return left;
    }

    std::optional<int> And(int depth)
    {
        std::optional<int> left = Not(depth);
        while (left && Next(Token::kAnd)) {
            const std::optional<int> right = Not(depth);
            if (!right) return std::nullopt;
            left = (*left != 0 && *right != 0) ? 1 : 0;
        }
        return left;
    }

    std::optional<int> Not(int depth)
    {
        size_t negations = 0;
        while (Next(Token::kNot)) ++negations;
        const std::optional<int> value = Primary(depth);
        if (!value || negations == 0) return value;
        return ((*value != 0) == (negations % 2 == 0)) ? 1 : 0;
    }

    std::optional<int> Primary(int depth)
    {
        if (Next(Token::kOpen)) {
            if (depth >= ConditionExpression::kMaxNesting) return std::nullopt;
            const std::optional<int> value = Or(depth + 1);
            if (!value || !Next(Token::kClose)) return std::nullopt;
            return value;
        }
        if (at_ >= tokens_.size() || tokens_[at_].kind != Token::kWord) return std::nullopt;
        // A decimal number of 0 and 1 digits; one too large for int stays at the largest int.
        int64_t value = 0;
        for (char c : tokens_[at_].word) {
            if (c != '0' && c != '1') return std::nullopt;
            value = std::min<int64_t>(value * 10 + (c - '0'), INT_MAX);
        }
        ++at_;
        return static_cast<int>(value);
    }

    std::vector<Token> tokens_;
    size_t at_ = 0;
};

std::optional<int> ReferenceValue(const std::string& text, const std::map<std::string, std::string>& variables = {})
{
    return Reference(Tokenize(text, variables)).Evaluate();
}

// ----- the evaluator on its own -----

// Parse gives the reference's value, or raises parser_error (and nothing else) naming the text.
void CheckParse(ConditionExpression& evaluator, const std::string& text, const std::optional<int>& expected)
{
    try {
        const int value = evaluator.Parse(text);
        VELK_FUZZ_CHECK(expected.has_value());
        VELK_FUZZ_CHECK(value == *expected);
    } catch (const parser_error& error) {
        VELK_FUZZ_CHECK(!expected.has_value());
        VELK_FUZZ_CHECK(error.expression() == text);
        VELK_FUZZ_CHECK(std::strlen(error.what()) > 0);
    } catch (...) {
        VELK_FUZZ_CHECK(!"Parse raised something other than parser_error");
    }
}

// ----- the expression over condition IDs -----

// Conditions a model may declare, each with its ID in the expression. "11" shows that an ID wins over
// the literal it looks like; "E" names no kind of condition and so stands for nothing.
struct Declared {
    const char* id;
    const char* variable;
    const char* value;
};
constexpr Declared kDeclared[] = {
    {"A", "MonthOfYear", "JAN-MAR"}, {"B", "DayOfWeek", "MON-FRI"},  {"C", "Year", "2000-2010"},
    {"D", "DayOfMonth", "1-15"},     {"11", "TimeOfDay", "DAY"},     {"E", "NoSuchVariable", "1"},
};

// What each condition gives on a date, worked out here from the values above.
std::map<std::string, std::string> VariablesOn(const ConditionDateTime& date)
{
    auto text = [](bool result) { return std::string(result ? "1" : "0"); };
    return {
        {"A", text(date.month >= 1 && date.month <= 3)},
        {"B", text(date.dayOfWeek >= 1 && date.dayOfWeek <= 5)},
        {"C", text(date.year >= 2000 && date.year <= 2010)},
        {"D", text(date.dayOfMonth >= 1 && date.dayOfMonth <= 15)},
        {"11", text(date.timeOfDay == 2)},
        {"E", ""},
    };
}

ConditionDateTime Date(int32_t month, int32_t dayOfWeek, int32_t year, int32_t dayOfMonth, int32_t timeOfDay)
{
    ConditionDateTime date;
    date.month = month;
    date.dayOfWeek = dayOfWeek;
    date.year = year;
    date.dayOfMonth = dayOfMonth;
    date.timeOfDay = timeOfDay;
    return date;
}

ConditionalVisibilityData& Conditions()
{
    static ConditionalVisibilityData* data = [] {
        auto* made = new ConditionalVisibilityData;
        for (const Declared& declared : kDeclared) made->AddCondition(declared.id, declared.variable, declared.value);
        return made;
    }();
    return *data;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The unknown condition above is logged once; the run itself logs nothing worth keeping.
    velk_fuzz::QuietLog("VELK.XML");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<int> expected = ReferenceValue(text);

    // A fresh evaluator, and one kept from run to run: a refused text before must leave it working.
    static ConditionExpression kept;
    ConditionExpression fresh;
    CheckParse(fresh, text, expected);
    CheckParse(kept, text, expected);
    VELK_FUZZ_CHECK(kept.Evaluate(text) == (expected && *expected != 0));
    CheckParse(kept, "0 | !(1 $ 0)", 1);

    // The same text over the declared conditions, on dates that turn each of them on and off.
    static const ConditionDateTime kDates[] = {
        Date(2, 3, 2005, 10, 2),  // all true
        Date(6, 0, 1999, 20, 4),  // all false
        Date(1, 6, 2010, 15, 1),
        Date(12, 5, 2000, 16, 2),
    };
    constexpr uint32_t kKinds = ConditionalVisibilityData::KindBit(ConditionType::MonthOfYear) |
                                ConditionalVisibilityData::KindBit(ConditionType::DayOfWeek) |
                                ConditionalVisibilityData::KindBit(ConditionType::Year) |
                                ConditionalVisibilityData::KindBit(ConditionType::DayOfMonth) |
                                ConditionalVisibilityData::KindBit(ConditionType::TimeOfDay);
    ConditionalVisibilityData& conditions = Conditions();
    conditions.SetLogicExpression(text);
    for (const ConditionDateTime& date : kDates) {
        const std::optional<int> value = ReferenceValue(text, VariablesOn(date));
        const std::optional<bool> result = conditions.EvaluateConditions(kKinds, date, nullptr, kept);
        VELK_FUZZ_CHECK(result.has_value());
        VELK_FUZZ_CHECK(*result == (value && *value != 0));
    }
    return 0;
}
