// Name comparison as Windows does it for file, key and section names: ASCII letters without regard to
// case, every other byte as it is. Shared by the files, INI and registry stand-ins.
#pragma once

#include <string>
#include <string_view>

namespace platform::text {

inline char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool IEquals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

// Case-insensitive order, ties broken by the bytes so that the order is total.
inline bool ILess(std::string_view a, std::string_view b)
{
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(AsciiLower(a[i]));
        const auto y = static_cast<unsigned char>(AsciiLower(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

// '*' matches any run of characters, '?' exactly one; letters compare without regard to case.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// The file system's pattern rules on top of WildcardMatch: a pattern ending in ".*" also matches the
// names without an extension ("*.*" matches everything, "readme.*" matches "readme").
bool FilePatternMatch(std::string_view pattern, std::string_view name);

}  // namespace platform::text
