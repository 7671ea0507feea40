#include "objects/StandData.h"

#include <array>
#include <string_view>

namespace {

const char* const kNone = "NONE";
const char* const kNoNumber = "0";

std::string OrDefault(const std::string& text, const char* fallback) { return text.empty() ? fallback : text; }

struct Category {
    std::string_view word;
    int32_t code;
};

constexpr std::array<Category, 38> kCategories = {{
    {"PARKING", 1},     {"DOCK", 2},        {"GATE", 3},        {"GATE_A", 4},      {"GATE_B", 5},
    {"GATE_C", 6},      {"GATE_D", 7},      {"GATE_E", 8},      {"GATE_F", 9},      {"GATE_G", 10},
    {"GATE_H", 11},     {"GATE_I", 12},     {"GATE_J", 13},     {"GATE_K", 14},     {"GATE_L", 15},
    {"GATE_M", 16},     {"GATE_N", 17},     {"GATE_O", 18},     {"GATE_P", 19},     {"GATE_Q", 20},
    {"GATE_R", 21},     {"GATE_S", 22},     {"GATE_T", 23},     {"GATE_U", 24},     {"GATE_V", 25},
    {"GATE_W", 26},     {"GATE_X", 27},     {"GATE_Y", 28},     {"GATE_Z", 29},     {"NONE", 30},
    {"N_PARKING", 31},  {"NE_PARKING", 32}, {"NW_PARKING", 33}, {"SE_PARKING", 34}, {"S_PARKING", 35},
    {"SW_PARKING", 36}, {"W_PARKING", 37},  {"E_PARKING", 38},
}};

}  // namespace

StandData::StandData() { Clear(); }

void StandData::Clear()
{
    airportIcao_ = kNone;
    gateName_ = kNone;
    customDesignator_ = kNone;
    customNumber_ = kNoNumber;
    parkingNumber_ = 0;
    hasCustomDesignator_ = false;
    selectedByApi_ = false;
    occupiedByAI_ = false;
    occupantId_ = 0;
}

void StandData::Set(const std::string& icao, const std::string& gateName, int32_t parkingNumber,
                    const std::string& customDesignator, const std::string& customNumber, bool hasCustomDesignator)
{
    airportIcao_ = icao;
    gateName_ = gateName;
    parkingNumber_ = parkingNumber;
    customDesignator_ = OrDefault(customDesignator, kNone);
    customNumber_ = OrDefault(customNumber, kNoNumber);
    hasCustomDesignator_ = hasCustomDesignator;
}

void StandData::SetStand(const std::string& icao, const std::string& gateName, const std::string& customDesignator,
                         bool hasCustomDesignator)
{
    airportIcao_ = icao;
    gateName_ = gateName;
    customDesignator_ = OrDefault(customDesignator, kNone);
    hasCustomDesignator_ = hasCustomDesignator;
}

void StandData::SetNumber(int32_t parkingNumber, const std::string& customNumber, bool hasCustomDesignator)
{
    parkingNumber_ = parkingNumber;
    customNumber_ = OrDefault(customNumber, kNoNumber);
    hasCustomDesignator_ = hasCustomDesignator;
}

bool StandData::IsSet() const { return gateName_ != kNone && parkingNumber_ != 0; }

std::string StandData::GetStandKey() const { return airportIcao_ + ":" + gateName_; }

std::string StandData::GetDisplayName() const
{
    // A stand whose custom flag is set while its designator is still "NONE" (the flag can come from the
    // number alone) has no custom name: it is named by its gate, never "NONE".
    if (hasCustomDesignator_ && customDesignator_ != kNone) return customDesignator_ + " " + customNumber_;
    return gateName_ + " " + std::to_string(parkingNumber_);
}

std::string StandData::Describe() const
{
    std::string text = "[VELK] You have selected following Stand: ";
    // The custom texts decide here, not the flag.
    if (customDesignator_ != kNone && customNumber_ != kNoNumber)
        text += customDesignator_ + " " + customNumber_;
    else
        text += gateName_ + " " + std::to_string(parkingNumber_);
    return text + ".";
}

bool StandData::IsSameStand(const StandData& other) const
{
    return gateName_ == other.gateName_ && parkingNumber_ == other.parkingNumber_ &&
           airportIcao_ == other.airportIcao_;
}

int32_t ParseStandCategory(const std::string& gateName)
{
    for (const Category& c : kCategories)
        if (c.word == gateName) return c.code;
    return 0;
}
