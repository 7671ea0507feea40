#include "foundation/StringUtils.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using Pieces = std::vector<std::string>;

TEST(StringsTest, SplitKeepsEmptyPieces) {
    struct Case {
        const char* text;
        Pieces expected;
    };
    const Case cases[] = {
        {"", {""}},
        {"abc", {"abc"}},
        {";", {"", ""}},
        {"a;;b;", {"a", "", "b", ""}},
        {";a", {"", "a"}},
        {" a ; b ", {" a ", " b "}},  // no trimming
    };
    for (const Case& c : cases) {
        Pieces pieces;
        SplitBySemicolon(c.text, pieces);
        EXPECT_EQ(pieces, c.expected) << '"' << c.text << '"';
    }
}

TEST(StringsTest, SplitAppendsToTheList) {
    Pieces pieces{"kept"};
    SplitByComma("1,2", pieces);
    EXPECT_EQ(pieces, (Pieces{"kept", "1", "2"}));
}

TEST(StringsTest, EachSplitterUsesItsSeparator) {
    const std::string text = "a:b=c-d;e,f#g";
    struct Case {
        void (*split)(const std::string&, Pieces&);
        Pieces expected;
    };
    const Case cases[] = {
        {SplitByColon, {"a", "b=c-d;e,f#g"}},  {SplitByEquals, {"a:b", "c-d;e,f#g"}},
        {SplitByDash, {"a:b=c", "d;e,f#g"}},   {SplitBySemicolon, {"a:b=c-d", "e,f#g"}},
        {SplitByComma, {"a:b=c-d;e", "f#g"}},  {SplitByHash, {"a:b=c-d;e,f", "g"}},
    };
    for (const Case& c : cases) {
        Pieces pieces;
        c.split(text, pieces);
        EXPECT_EQ(pieces, c.expected);
    }
    Pieces range;
    SplitString("08:00-17:30", '-', range);
    EXPECT_EQ(range, (Pieces{"08:00", "17:30"}));
}

TEST(StringsTest, ParseIntListFollowsStoi) {
    std::vector<int> numbers{99};
    ParseIntList({"1", " -2", "+3", "42abc", "2147483647", "-2147483648", "007"}, numbers);
    EXPECT_EQ(numbers, (std::vector<int>{99, 1, -2, 3, 42, 2147483647, -2147483648, 7}));
}

TEST(StringsTest, ParseIntListRaisesConversionErrors) {
    std::vector<int> numbers;
    EXPECT_THROW(ParseIntList({"1", "abc", "3"}, numbers), std::invalid_argument);
    // What came before the bad text is kept.
    EXPECT_EQ(numbers, (std::vector<int>{1}));

    for (const char* text : {"", " ", "-", "x1", "#1"}) {
        std::vector<int> none;
        EXPECT_THROW(ParseIntList({text}, none), std::invalid_argument) << '"' << text << '"';
    }
    for (const char* text : {"2147483648", "-2147483649", "99999999999999999999"}) {
        std::vector<int> none;
        EXPECT_THROW(ParseIntList({text}, none), std::out_of_range) << text;
    }
}

TEST(StringsTest, ParseLeadingIntAgreesWithStoi) {
    for (const char* text : {"1", " -2", "+3", "42abc", "2147483647", "-2147483648", "007", "\t\n5;6", "",
                             " ", "-", "+", "+-1", "-+1", "++1", "+ 1", "x1", "#1", "2147483648", "-2147483649",
                             "99999999999999999999", "0x10"}) {
        bool stoiOk = true;
        int expected = 0;
        try {
            expected = std::stoi(text);
        } catch (const std::exception&) {
            stoiOk = false;
        }
        int32_t value = -7;
        EXPECT_EQ(ParseLeadingInt(text, value), stoiOk) << '"' << text << '"';
        EXPECT_EQ(value, stoiOk ? expected : -7) << '"' << text << '"';
    }
    // The text ends where the view does, not at a terminator.
    int32_t value = 0;
    EXPECT_TRUE(ParseLeadingInt(std::string_view("1234", 2), value));
    EXPECT_EQ(value, 12);
}

TEST(StringsTest, ForEachPieceSplitsAsSplitString) {
    for (const char* text : {"a;;b;", "", ";", "one", "a;b,c"}) {
        Pieces split;
        SplitString(text, ';', split);
        Pieces walked;
        ForEachPiece(text, ";", [&walked](std::string_view piece) { walked.emplace_back(piece); });
        EXPECT_EQ(walked, split) << '"' << text << '"';
    }
    Pieces walked;
    ForEachPiece("a;b,c:d", ";,", [&walked](std::string_view piece) { walked.emplace_back(piece); });
    EXPECT_EQ(walked, (Pieces{"a", "b", "c:d"}));
}

TEST(StringsTest, TrimmedAgreesWithTrimLeftAndRight) {
    for (const char* text : {"", " ", " \t\r\n\v\f", "a", "  a b \t", "\na\n"}) {
        std::string trimmed = text;
        TrimLeft(trimmed);
        TrimRight(trimmed);
        EXPECT_EQ(Trimmed(text), trimmed) << '"' << text << '"';
    }
}

TEST(StringsTest, ReplaceAll) {
    struct Case {
        const char* text;
        const char* from;
        const char* to;
        const char* expected;
    };
    const Case cases[] = {
        {"aa", "a", "aa", "aaaa"},  // inserted text is not searched again
        {"abc", "", "x", "abc"},
        {"a.b.c", ".", "\\", "a\\b\\c"},
        {"abcabc", "bc", "", "aa"},
        {"aaa", "aa", "b", "ba"},
        {"", "a", "b", ""},
        {"%s and %s", "%s", "X", "X and X"},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        ReplaceAll(text, c.from, c.to);
        EXPECT_EQ(text, c.expected) << c.text << " / " << c.from << " / " << c.to;
    }
}

TEST(StringsTest, Trim) {
    struct Case {
        const char* text;
        const char* left;
        const char* right;
    };
    const Case cases[] = {
        {"  abc  ", "abc  ", "  abc"},
        {"\t\n\v\f\r x \t\n\v\f\r", "x \t\n\v\f\r", "\t\n\v\f\r x"},
        {"", "", ""},
        {" \t ", "", ""},
        {"a b", "a b", "a b"},
    };
    for (const Case& c : cases) {
        std::string left = c.text;
        TrimLeft(left);
        EXPECT_EQ(left, c.left);
        std::string right = c.text;
        TrimRight(right);
        EXPECT_EQ(right, c.right);
    }
}

TEST(StringsTest, ParseLeadingDouble) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"1.5", true, 1.5},     {"  -2.25xyz", true, -2.25}, {"+3", true, 3.0},     {".5", true, 0.5},
        {"1e3", true, 1000.0},  {"7,5", true, 7.0},          {"", false, 0.0},      {"abc", false, 0.0},
        {"+", false, 0.0},      {"+-1", false, 0.0},         {"nan", false, 0.0},   {"inf", false, 0.0},
        {"1e999", false, 0.0},  {"-", false, 0.0},
        // Every blank the parse skips, and the controls just outside them, which it does not.
        {"\t\n\v\f\r 4", true, 4.0}, {"\b4", false, 0.0}, {"\x0e" "4", false, 0.0},
    };
    for (const Case& c : cases) {
        double value = -1.0;
        EXPECT_EQ(ParseLeadingDouble(c.text, value), c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        } else {
            EXPECT_EQ(value, -1.0) << "untouched on failure: " << c.text;
        }
        EXPECT_EQ(LeadingDoubleOrZero(c.text), c.value) << c.text;
    }
}

TEST(StringsTest, StringTripleListClear) {
    StringTripleList list;
    StringTriple triple;
    EXPECT_TRUE(triple.first.empty() && triple.second.empty() && triple.third.empty());
    EXPECT_FALSE(triple.complete);
    triple.first = "Name";
    list.push_back(triple);
    list.push_back(triple);
    list.Clear();
    EXPECT_TRUE(list.empty());
}

}  // namespace

// A text from outside reaches the log escaped: nothing in it can end the line or start another.
TEST(StringsTest, EscapedTextLeavesOnlyPrintableBytes) {
    struct Case {
        const char* why;
        std::string text;
        size_t field;
        std::string expected;
    };
    const Case cases[] = {
        {"printable text stays", "EDDF gate A:12 ~\\", std::string::npos, "EDDF gate A:12 ~\\"},
        {"a forged line", "ok\n[12:00:00.000] INFO  : forged\r", std::string::npos,
         "ok\\x0A[12:00:00.000] INFO  : forged\\x0D"},
        {"NUL, DEL and high bytes", std::string("a\0b\x7F\x80\xFF", 6), std::string::npos, "a\\x00b\\x7F\\x80\\xFF"},
        {"cut to the field before escaping", "\x01\x02\x03\x04\x05", 2, "\\x01\\x02"},
        {"a field longer than the text", "KJFK", 5, "KJFK"},
        {"an empty field", "KJFK", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(EscapedText(c.text, c.field), c.expected);
    }
}
