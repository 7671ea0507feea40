#include "aircraft/AircraftParameters.h"

#include "foundation/ConfigFileHelper.h"
#include "foundation/ExecutablePathHelper.h"
#include "foundation/StringUtils.h"

#include <log4cpp/Category.hh>

#include <cmath>
#include <limits>

namespace aircraftdata {

bool ReadLeadingNumber(const std::string& text, double& value) {
    if (ParseLeadingDouble(text, value)) {
        return true;
    }
    // No finite number: either no number at all (reads as 0) or one out of range.
    std::string::size_type at = text.find_first_not_of(" \t\n\v\f\r");
    if (at != std::string::npos && (text[at] == '+' || text[at] == '-')) {
        ++at;
    }
    const auto isDigit = [&](std::string::size_type i) {
        return i < text.size() && text[i] >= '0' && text[i] <= '9';
    };
    const auto startsWithWord = [&](const char* word) {
        std::string::size_type i = at;
        for (const char* w = word; *w != '\0'; ++w, ++i) {
            if (i >= text.size() || (text[i] | 0x20) != *w) {
                return false;
            }
        }
        return true;
    };
    if (at != std::string::npos &&
        (isDigit(at) || (text[at] == '.' && isDigit(at + 1)) || startsWithWord("inf") || startsWithWord("nan"))) {
        return false;
    }
    value = 0.0;
    return true;
}

bool TruncateToInt(double value, int& result) {
    // Both bounds are exact doubles; NaN fails both tests.
    constexpr double low = static_cast<double>(std::numeric_limits<int>::min());
    constexpr double high = static_cast<double>(std::numeric_limits<int>::max()) + 1.0;
    if (!(value > low - 1.0 && value < high)) {
        return false;
    }
    result = static_cast<int>(std::trunc(value));
    return true;
}

}  // namespace aircraftdata

void AircraftParameters::Clear() {
    doors_.clear();
    types_.clear();
}

void AircraftParameters::ReadParameters() {
    Clear();
    const std::string file = ExecutablePathHelper::GetProgramDataFolder() + "\\" + "AircraftParameters.ini";

    std::vector<std::string> sections = ConfigFileHelper::GetSectionNames(file);
    if (sections.empty()) {
        if (log_ != nullptr) {
            log_->warn("Could not extract from AircraftParameters.ini or file not found!");
        }
        return;
    }
    if (sections.size() > MaxTypes) {
        if (log_ != nullptr) {
            log_->error("AircraftParameters.ini lists " + std::to_string(sections.size()) +
                        " Aircraft Types! Only the first " + std::to_string(MaxTypes) + " are read.");
        }
        sections.resize(MaxTypes);
    }

    std::size_t entries = 0;
    bool full = false;
    for (const std::string& section : sections) {
        types_.push_back(section);
        for (const std::string& key : ConfigFileHelper::GetKeyNames(file, section)) {
            if (entries == MaxDoorEntries) {
                full = true;
                break;
            }
            ++entries;
            const std::string value = ConfigFileHelper::ReadString(file, section, key);
            DoorParameters door{0.0, 0.0, 0.0, 0.0, 0.0};
            if (!value.empty()) {
                std::vector<std::string> pieces;
                SplitByComma(value, pieces);
                double numbers[5] = {};
                bool valid = pieces.size() >= 5;
                for (std::size_t i = 0; valid && i < 5; ++i) {
                    valid = aircraftdata::ReadLeadingNumber(pieces[i], numbers[i]);
                }
                if (!valid) {
                    // A partial or broken record would hand a jetway made-up door values; the door keeps
                    // the defaults of a type without parameters instead.
                    if (log_ != nullptr) {
                        log_->error("Invalid Door Parameters '" + value + "' for " + section + ":" + key +
                                    "! Five numbers expected. Ignoring them.");
                    }
                    continue;
                }
                door = DoorParameters{numbers[0], numbers[1], numbers[2], numbers[3], numbers[4]};
            }
            doors_[section + ":" + key] = door;
        }
        if (full) {
            break;
        }
    }
    if (full && log_ != nullptr) {
        log_->error("AircraftParameters.ini holds more than " + std::to_string(MaxDoorEntries) +
                    " Door Parameters! The rest is ignored.");
    }
    if (log_ != nullptr) {
        log_->debug("Door Parameters read for " + std::to_string(types_.size()) + " ICAO Aircraft Types.");
    }
}
