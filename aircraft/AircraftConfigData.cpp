#include "aircraft/AircraftConfigData.h"

#include "foundation/ConfigFileHelper.h"
#include "foundation/ExecutablePathHelper.h"
#include "foundation/StringUtils.h"
#include "foundation/Units.h"

#include <log4cpp/Category.hh>

#include <algorithm>

namespace {

// Upper bound of a nose wheel's lateral position in feet (exclusive).
constexpr double kNoseWheelMaxLateral = 0.51;

constexpr double kCustomDeckThreshold = 2.0;
constexpr double kAircraftDeckThreshold = 1.0;

std::vector<std::string> Pieces(const std::string& text) {
    std::vector<std::string> pieces;
    SplitByComma(text, pieces);
    return pieces;
}

// The first count pieces as numbers; false at the first conversion error.
bool ReadNumbers(const std::vector<std::string>& pieces, std::size_t first, std::size_t count, double* numbers) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!aircraftdata::ReadLeadingNumber(pieces[first + i], numbers[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

void AircraftConfigData::LogError(const std::string& message) const {
    if (log_ != nullptr) {
        log_->error(message);
    }
}

void AircraftConfigData::LogWarn(const std::string& message) const {
    if (log_ != nullptr) {
        log_->warn(message);
    }
}

void AircraftConfigData::LogDebug(const std::string& message) const {
    if (log_ != nullptr) {
        log_->debug(message);
    }
}

// Values of the simulator's aircraft files carry trailing comments after "/" or ";". False only when the
// read copies no character (key missing or empty): a value that is nothing but a comment reads as "", so
// that the numbered keys after it are still read.
bool AircraftConfigData::ReadValue(const std::string& file, const std::string& section, const std::string& key,
                                   std::string& value) const {
    std::string text = ConfigFileHelper::ReadRaw(file, section, key);
    if (text.empty()) {
        return false;
    }
    const std::string::size_type comment = text.find_first_of("/;");
    if (comment != std::string::npos) {
        text.erase(comment);
        // The blanks before the comment go too, except from a text of two characters or fewer.
        if (text.size() > 2) {
            while (!text.empty() && text.back() == ' ') {
                text.pop_back();
            }
        }
    }
    value = text;
    return true;
}

const DoorParameters* AircraftConfigData::GetDoorParameters(const std::string& doorName) const {
    if (doorMap_ == nullptr) {
        return nullptr;
    }
    const auto found = doorMap_->find(icaoType_ + ":" + doorName);
    return found == doorMap_->end() ? nullptr : &found->second;
}

void AircraftConfigData::ReadAircraftData() {
    const std::string customFile = ExecutablePathHelper::GetProgramDataFolder() + "\\" + "AircraftExits.ini";

    // A NUL would cut the path short and could name the folder itself.
    if (aircraftFolder_.find('\0') != std::string::npos) {
        return;
    }
    std::string aircraftFile = aircraftFolder_ + "aircraft.cfg";
    if (ConfigFileHelper::CheckFileExists(aircraftFile) != ERROR_SUCCESS) {
        aircraftFile = aircraftFolder_ + "sim.cfg";
        if (ConfigFileHelper::CheckFileExists(aircraftFile) != ERROR_SUCCESS) {
            return;
        }
    }

    referenceDatum_.clear();
    eyePoint_.clear();
    eyePointRelative_.clear();
    ReadReferenceDatum(aircraftFile);
    ReadEyePoint(aircraftFile);
    ReadNoseWheel(aircraftFile);

    atcModel_.clear();
    ReadValue(aircraftFile, "General", "atc_model", atcModel_);

    if (ReadCustomExits(aircraftFile, customFile)) {
        return;
    }
    LogDebug("No Custom Data Found for '" + aircraftFolder_ + "'. Using original aircraft.cfg exit data!");
    ReadExits(aircraftFile, "exits", kAircraftDeckThreshold, false);
}

void AircraftConfigData::ReadReferenceDatum(const std::string& file) {
    std::string text;
    ReadValue(file, "WEIGHT_AND_BALANCE", "reference_datum_position", text);
    const std::vector<std::string> pieces = Pieces(text);
    double numbers[3] = {};
    if (pieces.size() < 3 || !ReadNumbers(pieces, 0, 3, numbers)) {
        LogError("Invalid Weight&Balance Reference Datum Position Data! '" + text + "'");
        return;
    }
    for (const double feet : numbers) {
        referenceDatum_.push_back(feet * units::kMetresPerFoot);
    }
}

void AircraftConfigData::ReadEyePoint(const std::string& file) {
    std::string text;
    ReadValue(file, "Views", "eyepoint", text);
    const std::vector<std::string> pieces = Pieces(text);
    double numbers[3] = {};
    if (pieces.size() < 3 || !ReadNumbers(pieces, 0, 3, numbers)) {
        LogError("Invalid Eyepoint Position Data! '" + text + "'");
        return;
    }
    if (referenceDatum_.empty()) {
        LogError("Can't compute Eyepoint *relative* Position due to invalid W&B Ref Datum!");
        return;
    }
    for (std::size_t axis = 0; axis < 3; ++axis) {
        eyePoint_.push_back(numbers[axis] * units::kMetresPerFoot);
        eyePointRelative_.push_back(eyePoint_[axis] + referenceDatum_[axis]);
    }
}

// The nose wheel is the first contact point of class 1 whose lateral position lies in [0, 0.51) ft.
void AircraftConfigData::ReadNoseWheel(const std::string& file) {
    noseWheel_.clear();
    noseWheelRelative_.clear();
    noseWheelFound_ = false;
    for (int n = 0;; ++n) {
        const std::string key = "point." + std::to_string(n);
        if (n == MaxNumberedKeys) {
            LogError("More than " + std::to_string(MaxNumberedKeys) +
                     " Contact Points in [contact_points]! Ignoring the rest.");
            return;
        }
        std::string text;
        if (!ReadValue(file, "contact_points", key, text)) {
            return;
        }
        const std::vector<std::string> pieces = Pieces(text);
        if (pieces.size() <= 3) {
            continue;
        }
        double kind = 0.0;
        double lateral = 0.0;
        int kindNumber = 0;
        double position[3] = {};
        bool valid = aircraftdata::ReadLeadingNumber(pieces[0], kind) &&
                     aircraftdata::TruncateToInt(kind, kindNumber) &&
                     aircraftdata::ReadLeadingNumber(pieces[2], lateral);
        const bool noseWheel = valid && kindNumber == 1 && lateral >= 0.0 && lateral < kNoseWheelMaxLateral;
        if (noseWheel) {
            valid = ReadNumbers(pieces, 1, 3, position);
        }
        if (!valid) {
            LogError("Invalid Contact Point Data in [contact_points] " + key + " = '" + text + "'! Ignoring it.");
            continue;
        }
        if (!noseWheel) {
            noseWheelFound_ = false;
            continue;
        }
        if (referenceDatum_.empty()) {
            LogError("Unable to compute *relative* Nosewheel Position due to invalid W&B Ref Datum! Ignoring "
                     "Nosewheel Data!");
            return;
        }
        noseWheelFound_ = true;
        for (std::size_t axis = 0; axis < 3; ++axis) {
            noseWheel_.push_back(position[axis] * units::kMetresPerFoot);
            noseWheelRelative_.push_back(noseWheel_[axis] + referenceDatum_[axis]);
        }
        return;
    }
}

// True when "AircraftExits.ini" has a section for this aircraft that gave at least one exit.
bool AircraftConfigData::ReadCustomExits(const std::string& aircraftFile, const std::string& customFile) {
    if (ConfigFileHelper::CheckFileExists(customFile) != ERROR_SUCCESS) {
        LogWarn("No 'AircraftExits.INI' File found! Only using original aircraft.cfg exit data...");
        return false;
    }
    const std::vector<std::string> sections = ConfigFileHelper::GetSectionNames(customFile);
    std::string createdBy;
    std::string sim;
    const bool hasCreatedBy = ReadValue(aircraftFile, "FLTSIM.0", "ui_createdby", createdBy);
    const bool hasSim = ReadValue(aircraftFile, "FLTSIM.0", "sim", sim);
    createdBy_.clear();
    if (!hasCreatedBy || !hasSim) {
        std::string missing;
        if (!hasCreatedBy) {
            missing += "'ui_createdby'";
        }
        if (!hasCreatedBy && !hasSim) {
            missing += " and ";
        }
        if (!hasSim) {
            missing += "'sim'";
        }
        LogError("Custom Exit Data reading error -> In section [FLTSIM.0], " + missing + " missing.!");
        return false;
    }

    // A section names the whole key or a part of it: "Vendor:A320", "Vendor" or "A320".
    const std::string matchKey = createdBy + ":" + sim;
    for (const std::string& section : sections) {
        createdBy_ = createdBy;
        if (matchKey.find(section) == std::string::npos) {
            continue;
        }
        LogDebug("Found Custom Exit Data. (" + section + ")");
        return ReadExits(customFile, section, kCustomDeckThreshold, true);
    }
    return false;
}

// The main exits on the left side of "exit.0", "exit.1", ... up to the first missing key, front to back.
// An exit more than the threshold above the one before it is on the upper deck; one that far below it
// moves every exit listed so far to the upper deck. True when at least one exit was listed.
bool AircraftConfigData::ReadExits(const std::string& file, const std::string& section, double deckThreshold,
                                   bool custom) {
    exits_.clear();
    AircraftParameters::DoorData previous;
    for (int n = 0;; ++n) {
        const std::string key = "exit." + std::to_string(n);
        if (n == MaxNumberedKeys) {
            LogError("More than " + std::to_string(MaxNumberedKeys) + " Exits in [" + section +
                     "]! Ignoring the rest.");
            break;
        }
        std::string text;
        if (!ReadValue(file, section, key, text)) {
            break;
        }
        // Some files carry a soft hyphen where the minus sign belongs.
        std::replace(text.begin(), text.end(), static_cast<char>(0xAD), '-');
        const std::vector<std::string> pieces = Pieces(text);
        if (pieces.size() <= 4) {
            continue;
        }
        double type = 0.0;
        int typeNumber = 0;
        double feet[3] = {};
        if (!aircraftdata::ReadLeadingNumber(pieces[4], type) || !aircraftdata::TruncateToInt(type, typeNumber) ||
            (typeNumber == 0 && !ReadNumbers(pieces, 1, 3, feet))) {
            LogError("Invalid Exit Data in [" + section + "] " + key + " = '" + text + "'! Ignoring it.");
            continue;
        }
        if (typeNumber != 0) {
            continue;  // only main exits
        }

        // Without a valid datum the exits stay relative to the datum itself (zero offsets).
        AircraftParameters::DoorData exit(feet[0] * units::kMetresPerFoot + Datum(0), feet[1] * units::kMetresPerFoot + Datum(1),
                                          feet[2] * units::kMetresPerFoot + Datum(2), false);
        if (n > 0) {
            if (previous.z - deckThreshold < exit.z && exit.z < previous.z + deckThreshold) {
                exit.upperDeck = previous.upperDeck;
            } else if (exit.z < previous.z) {
                for (AircraftParameters::DoorData& listed : exits_) {
                    listed.upperDeck = 1;
                }
            } else {
                exit.upperDeck = 1;
            }
        }
        previous = exit;

        if (exit.y < 0.0) {
            exits_.push_back(exit);
            std::stable_sort(exits_.begin(), exits_.end(),
                             [](const AircraftParameters::DoorData& a, const AircraftParameters::DoorData& b) {
                                 return a.x > b.x;
                             });
            if (custom) {
                LogDebug("Custom Exit Data extracted!");
            }
        }
    }
    return !exits_.empty();
}
