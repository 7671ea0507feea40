#include "platform/wintext.h"

namespace platform::text {

bool WildcardMatch(std::string_view pattern, std::string_view name)
{
    // Greedy match with one back-up point: linear in practice and never exponential, whatever the
    // number of stars in a hostile pattern.
    size_t p = 0;
    size_t n = 0;
    size_t starP = std::string_view::npos;
    size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool FilePatternMatch(std::string_view pattern, std::string_view name)
{
    if (WildcardMatch(pattern, name)) return true;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos) {
        return WildcardMatch(pattern.substr(0, pattern.size() - 2), name);
    }
    return false;
}

}  // namespace platform::text
