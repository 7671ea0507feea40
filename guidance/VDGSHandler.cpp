#include "guidance/VDGSHandler.h"

#include "aircraft/UserAircraft.h"

#include <log4cpp/Category.hh>

namespace {

log4cpp::Category& LoopLog() { return log4cpp::Category::getInstance("VELK.FSLOOP"); }

// The key under which the user's typed gate name is looked up: upper case, blanks as "_".
std::string NormaliseGateName(const std::string& gateName) {
    std::string name = gateName;
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (c == ' ') {
            c = '_';
        }
    }
    return name;
}

}  // namespace

int32_t VDGSHandler::GetAircraftTypeCode(const std::string& designator) const {
    return types_.GetCode(designator);
}

std::string VDGSHandler::FindAircraftType(const std::string& text) const {
    return types_.FindIn(text);
}

void VDGSHandler::RegisterVDGS(VDGSDisplayObject* object) {
    if (object == nullptr) {
        return;
    }
    const StandData& stand = object->GetStandData();
    if (stand.GetGateName() == "NONE") {
        return;
    }
    stands_[stand.GetStandKey()][stand.GetParkingNumber()] = object;
}

void VDGSHandler::SetCurrentStand(const StandData& stand) {
    currentStand_ = stand;
    active_ = nullptr;
    const auto key = stands_.find(stand.GetStandKey());
    if (key == stands_.end()) {
        return;
    }
    const auto number = key->second.find(stand.GetParkingNumber());
    if (number != key->second.end()) {
        active_ = number->second;
    }
}

void VDGSHandler::RequestActivation() {
    if (active_ == nullptr) {
        return;
    }
    VDGS* guidance = active_->GetCurrentVDGS();
    if (guidance != nullptr && guidance->GetState() == VDGSStandby) {
        guidance->RequestActivation();
    }
}

std::pair<uint32_t, uint32_t> VDGSHandler::FindStandVDGS(const std::string& icao, const std::string& gateName,
                                                         int32_t number) const {
    const auto key = stands_.find(icao + ":" + NormaliseGateName(gateName));
    if (key == stands_.end()) {
        return {0, 0};
    }
    const auto entry = key->second.find(number);
    if (entry == key->second.end() || entry->second == nullptr) {
        return {0, 0};
    }
    return {1, entry->second->GetObjectId()};
}

void VDGSHandler::ListStandsAt(const std::string& icao, VDGSStandEntry* entries, std::size_t capacity,
                               int32_t& count) const {
    count = 0;
    if (entries == nullptr || capacity == 0) {
        return;
    }
    entries[0].category = 0;
    const std::string prefix = icao + ":";
    std::size_t written = 0;
    // Keys sharing the prefix are contiguous in the ordered map.
    for (auto key = stands_.lower_bound(prefix); key != stands_.end() && key->first.compare(0, prefix.size(), prefix) == 0;
         ++key) {
        const int32_t category = ParseStandCategory(key->first.substr(prefix.size()));
        for (const auto& [number, object] : key->second) {
            if (written == capacity) {
                count = static_cast<int32_t>(written);
                return;
            }
            entries[written].category = category;
            entries[written].parkingNumber = number;
            ++written;
        }
    }
    count = static_cast<int32_t>(written);
}

void VDGSHandler::Reset() {
    if (active_ != nullptr) {
        if (VDGS* guidance = active_->GetCurrentVDGS()) {
            guidance->SetStateStandby();
        }
    }
    active_ = nullptr;
    stands_.clear();
    currentStand_.Clear();
}

VDGSGuidanceOutcome VDGSHandler::StepGuidance(UserAircraft& aircraft, const std::string& icaoType,
                                              bool noseDoorStand) {
    VDGSGuidanceOutcome outcome;
    VDGSDisplayObject* display = active_;
    if (display == nullptr) {
        return outcome;
    }
    outcome.display = display;
    VDGS* guidance = display->GetCurrentVDGS();
    if (guidance == nullptr) {
        return outcome;
    }

    // The aim point: the nose wheel, or door "1L" at a stand whose jetway docks at the nose door.
    VDGSStepInput input;
    input.displayLatitude = display->GetLatitude();
    input.displayLongitude = display->GetLongitude();
    input.displayHeading = display->GetHeading();
    input.doorsMissing = noseDoorStand && !aircraft.HasExit("1L");
    if (!aircraft.HasNoseWheel()) {
        if (guidance->GetState() != VDGSEnding) {
            LoopLog().error("[VDGS] Could not detect Nosewheel!");
            guidance->SetStateError();
        }
    } else if (noseDoorStand) {
        if (input.doorsMissing) {
            if (guidance->GetState() != VDGSEnding) {
                LoopLog().error("[VDGS] Aircraft has no exits for calculation of Stop-Point for this N or T type jetway!");
                guidance->SetStateError();
            }
        } else {
            const LLAData door = aircraft.GetDoorPosition("1L", kNoseDoorAimOffset);
            input.aimValid = true;
            input.aimLatitude = door.GetLatitude();
            input.aimLongitude = door.GetLongitude();
        }
    } else {
        input.aimValid = true;
        input.aimLatitude = aircraft.GetNoseWheel().GetLatitude();
        input.aimLongitude = aircraft.GetNoseWheel().GetLongitude();
    }
    if (input.aimValid) {
        guidance->UpdateGuidance(input.displayLatitude, input.displayLongitude, input.aimLatitude,
                                 input.aimLongitude, input.displayHeading);
    }

    input.typeCode = GetAircraftTypeCode(icaoType);
    input.parkingBrakeSet = aircraft.IsParkingBrakeSet();
    input.closingSpeed = aircraft.GetBodyVelocityZ();
    const VDGSStepResult result = guidance->Step(input);
    if (result.stopDistanceMissing) {
        LoopLog().error("[VDGS] Stop Distance not found for Aircraft " + icaoType + "!");
    }
    if (result.doorsMissing) {
        LoopLog().error("[VDGS] Aircraft has no exits for calculation of Stop-Point for this N or T type jetway!");
    }
    if (result.enteredGuidance) {
        aircraft.StoreStandPosition(guidance->GetApproachRange() * VDGS::kStandRadiusFactor);
    }
    if (result.ended) {
        outcome.ended = true;
        active_ = nullptr;
    }
    if (guidance->GetState() != VDGSStandby) {
        outcome.writeRecord = true;
        outcome.record = guidance->GetDisplayRecord();
    }
    return outcome;
}
