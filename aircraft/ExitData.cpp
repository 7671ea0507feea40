#include "aircraft/ExitData.h"

#include <algorithm>
#include <cmath>
#include <limits>

int32_t ExitData::GetDoorNumber(const std::string& doorName) {
    if (doorName.empty()) {
        return -1;
    }
    constexpr int32_t upperDeckOffset = 10;
    constexpr int32_t limit = std::numeric_limits<int32_t>::max() - upperDeckOffset;
    int32_t number = 0;
    for (const char c : doorName) {
        if (c < '0' || c > '9') {
            break;
        }
        const int32_t digit = c - '0';
        if (number > (limit - digit) / 10) {
            return -1;
        }
        number = number * 10 + digit;
    }
    if (doorName.find("Upper") != std::string::npos) {
        number += upperDeckOffset;
    }
    return number;
}

const ExitData* FindExit(const ExitMap& exits, const std::string& doorName) {
    const auto found = exits.find(doorName);
    return found == exits.end() ? nullptr : &found->second;
}

ExitData* FindExit(ExitMap& exits, const std::string& doorName) {
    const auto found = exits.find(doorName);
    return found == exits.end() ? nullptr : &found->second;
}

ExitList SortExitsForDocking(const ExitMap& exits) {
    ExitList list(exits.begin(), exits.end());
    // Stable, so that doors at the same x come in name order; NaN sorts last instead of breaking the sort.
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
        if (std::isnan(b.second.x)) {
            return !std::isnan(a.second.x);
        }
        return a.second.x > b.second.x;
    });
    return list;
}

ExitList SortExitsForUndocking(const ExitMap& exits) {
    ExitList list = SortExitsForDocking(exits);
    std::reverse(list.begin(), list.end());
    return list;
}
