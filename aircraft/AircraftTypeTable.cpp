#include "aircraft/AircraftTypeTable.h"

namespace {

struct TypeRow {
    int32_t code;
    const char* designators[9];
};

// Codes 0, 1, 3, 10, 11 and 26 have no designator; 0 means unknown.
constexpr TypeRow kTypeRows[] = {
    {2, {"B712", "B717"}},
    {4, {"B731", "B732", "B733", "B734", "B735", "B736", "B737", "B738", "B739"}},
    {5, {"B741", "B742", "B743", "B744", "B748", "B74D", "B74R", "B74S"}},
    {6, {"B752", "B753"}},
    {7, {"B762", "B763", "B764"}},
    {8, {"B772", "B773", "B77L", "B77W"}},
    {9, {"B788", "B789", "B78X", "B781"}},
    {12, {"A318"}},
    {13, {"A319"}},
    {14, {"A320"}},
    {15, {"A321"}},
    {16, {"A332", "A333"}},
    {17, {"A342", "A343", "A345", "A346"}},
    {18, {"A358", "A359", "A35K"}},
    {19, {"A380", "A388"}},
    {20, {"DC10"}},
    {21, {"MD11"}},
    {22, {"T154"}},
    {23, {"T204"}},
    {24, {"RJ1H"}},
    {25, {"RJ85"}},
    {27, {"CRJ2"}},
    {28, {"CRJ7", "CRJ700"}},
    {29, {"CRJ9", "CRJ900"}},
    {30, {"CRJX", "CRJ1000"}},
    {31, {"E145"}},
    {32, {"E170"}},
    {33, {"E190"}},
    {34, {"F100"}},
    {35, {"MD80"}},
    {36, {"MD81"}},
    {37, {"MD82"}},
    {38, {"MD83"}},
    {39, {"MD87"}},
    {40, {"CONC", "CONCORDE"}},
    {41, {"E175"}},
    {42, {"E195"}},
    {43, {"DH8D", "DHC8D"}},
    {44, {"AT72", "AT73", "AT75", "AT76"}},
    {45, {"BCS1"}},
    {46, {"BCS3"}},
    {47, {"SU95"}},
};

}  // namespace

AircraftTypeTable::AircraftTypeTable() {
    for (const TypeRow& row : kTypeRows) {
        for (const char* designator : row.designators) {
            if (designator != nullptr) {
                types_.emplace(designator, row.code);
            }
        }
    }
}

int32_t AircraftTypeTable::GetCode(const std::string& designator) const {
    const auto found = types_.find(designator);
    return found == types_.end() ? 0 : found->second;
}

std::string AircraftTypeTable::FindIn(const std::string& text) const {
    for (const auto& [designator, code] : types_) {
        if (text.find(designator) != std::string::npos) {
            return designator;
        }
    }
    return "NONE";
}
