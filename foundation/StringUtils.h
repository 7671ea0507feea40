// Splitting, trimming and editing of std::string texts, and the small string records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct StringTriple {
    std::string first;
    std::string second;
    std::string third;
    // Set by whoever fills the triple when all the parts it needs were given.
    bool complete = false;
};

class StringTripleList : public std::vector<StringTriple> {
public:
    using std::vector<StringTriple>::vector;
    void Clear() { clear(); }
};

// Appends the pieces of text between separators to list (not cleared first). Empty pieces stay:
// "a;;b;" gives "a", "", "b", ""; an empty text gives one empty piece.
void SplitString(const std::string& text, char separator, std::vector<std::string>& list);
void SplitByColon(const std::string& text, std::vector<std::string>& list);
void SplitByEquals(const std::string& text, std::vector<std::string>& list);
void SplitByDash(const std::string& text, std::vector<std::string>& list);
void SplitBySemicolon(const std::string& text, std::vector<std::string>& list);
void SplitByComma(const std::string& text, std::vector<std::string>& list);
void SplitByHash(const std::string& text, std::vector<std::string>& list);

// Calls f with each piece of text between separators (any character of separators), as SplitString
// splits but without copying: the pieces point into text.
template <typename F>
void ForEachPiece(std::string_view text, std::string_view separators, F f)
{
    size_t start = 0;
    for (;;) {
        const size_t found = text.find_first_of(separators, start);
        if (found == std::string_view::npos) {
            f(text.substr(start));
            return;
        }
        f(text.substr(start, found - start));
        start = found + 1;
    }
}

// Appends each text as a base-10 int (std::stoi rules). Throws std::invalid_argument for a text without
// a number and std::out_of_range outside the int range; the numbers before the bad text stay appended.
void ParseIntList(const std::vector<std::string>& texts, std::vector<int>& numbers);
// The base-10 int at the start of text by the same rules, without exceptions: false (value untouched)
// where std::stoi would throw.
bool ParseLeadingInt(std::string_view text, int32_t& value);

// Replaces every occurrence of from by to; inserted text is not searched again. Empty from: no change.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to);

// Remove leading or trailing blanks, tabs, line feeds, vertical tabs, form feeds and carriage returns.
void TrimLeft(std::string& text);
void TrimRight(std::string& text);
// The text without those at either end.
std::string_view Trimmed(std::string_view text);

// Reads the decimal floating-point number at the start of text (leading white space skipped, text after
// the number ignored) as atof does, without depending on the locale. False when the text does not begin
// with a finite number in the double range. rest, when given, receives the text after the number.
bool ParseLeadingDouble(std::string_view text, double& value, std::string_view* rest = nullptr);
// The same, 0.0 when there is no number.
double LeadingDoubleOrZero(const std::string& text);

// A text from outside (a client, the simulator, a file) as a log line may carry it: its first
// fieldBytes bytes, each control byte (below 32, and 127) and each byte above 127 written as \xNN with
// two upper-case hex digits, every other byte as it is. No line end or other raw byte is left, so the
// text can neither break a line nor begin a forged one.
std::string EscapedText(std::string_view text, std::size_t fieldBytes = std::string_view::npos);
