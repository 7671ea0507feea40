#include "foundation/StringUtils.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace {

constexpr const char* kWhiteSpace = " \t\n\v\f\r";

// One of kWhiteSpace: the blank and the controls from tab to carriage return.
bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

void SplitString(const std::string& text, char separator, std::vector<std::string>& list) {
    std::string::size_type start = 0;
    std::string::size_type found = text.find(separator);
    while (found != std::string::npos) {
        list.emplace_back(text, start, found - start);
        start = found + 1;
        found = text.find(separator, start);
    }
    list.emplace_back(text, start);
}

void SplitByColon(const std::string& text, std::vector<std::string>& list) { SplitString(text, ':', list); }
void SplitByEquals(const std::string& text, std::vector<std::string>& list) { SplitString(text, '=', list); }
void SplitByDash(const std::string& text, std::vector<std::string>& list) { SplitString(text, '-', list); }
void SplitBySemicolon(const std::string& text, std::vector<std::string>& list) { SplitString(text, ';', list); }
void SplitByComma(const std::string& text, std::vector<std::string>& list) { SplitString(text, ',', list); }
void SplitByHash(const std::string& text, std::vector<std::string>& list) { SplitString(text, '#', list); }

void ParseIntList(const std::vector<std::string>& texts, std::vector<int>& numbers) {
    for (const std::string& text : texts) {
        numbers.push_back(std::stoi(text, nullptr, 10));
    }
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) {
        return;
    }
    std::string::size_type position = text.find(from);
    while (position != std::string::npos) {
        text.replace(position, from.size(), to);
        position = text.find(from, position + to.size());
    }
}

void TrimLeft(std::string& text) {
    const std::string::size_type first = text.find_first_not_of(kWhiteSpace);
    text.erase(0, first == std::string::npos ? text.size() : first);
}

void TrimRight(std::string& text) {
    const std::string::size_type last = text.find_last_not_of(kWhiteSpace);
    text.erase(last == std::string::npos ? 0 : last + 1);
}

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

bool ParseLeadingInt(std::string_view text, int32_t& value) {
    size_t i = text.find_first_not_of(kWhiteSpace);
    if (i == std::string_view::npos) return false;
    // from_chars takes no '+' sign; std::stoi does, before digits only.
    if (text[i] == '+') {
        ++i;
        if (i == text.size() || text[i] == '-') return false;
    }
    return std::from_chars(text.data() + i, text.data() + text.size(), value).ec == std::errc();
}

bool ParseLeadingDouble(std::string_view text, double& value, std::string_view* rest) {
    const char* begin = text.data();
    const char* const end = text.data() + text.size();
    while (begin != end && IsWhiteSpace(*begin)) {
        ++begin;
    }
    // from_chars takes no '+' sign; atof does.
    if (begin != end && *begin == '+' && end - begin > 1 && begin[1] != '-' && begin[1] != '+') {
        ++begin;
    }
    double parsed = 0.0;
    const auto result = std::from_chars(begin, end, parsed, std::chars_format::general);
    if (result.ec != std::errc() || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    if (rest != nullptr) *rest = std::string_view(result.ptr, static_cast<size_t>(end - result.ptr));
    return true;
}

double LeadingDoubleOrZero(const std::string& text) {
    double value = 0.0;
    return ParseLeadingDouble(text, value) ? value : 0.0;
}

std::string EscapedText(std::string_view text, std::size_t fieldBytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string_view field = text.substr(0, fieldBytes);
    std::string escaped;
    escaped.reserve(field.size());
    for (const char c : field) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte <= 0x7E) {
            escaped += c;
            continue;
        }
        escaped += "\\x";
        escaped += kHex[byte >> 4];
        escaped += kHex[byte & 0x0F];
    }
    return escaped;
}
