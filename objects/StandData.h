// One aircraft stand: airport, category word (gate name) and number, the optional custom name under which
// the user sees it, and whether an AI aircraft occupies it. A stand is identified by airport, gate name
// and number; the custom name and the flags take no part in that.
#pragma once

#include <cstdint>
#include <string>

class StandData {
public:
    StandData();
    StandData(const StandData&) = default;
    StandData& operator=(const StandData&) = default;
    virtual ~StandData() = default;

    void Clear();
    // An empty custom designator or custom number is stored as "NONE" / "0", the texts of a stand
    // without a custom name, so that the selection message never shows blanks.
    void Set(const std::string& icao, const std::string& gateName, int32_t parkingNumber,
             const std::string& customDesignator, const std::string& customNumber, bool hasCustomDesignator);
    void SetStand(const std::string& icao, const std::string& gateName, const std::string& customDesignator,
                  bool hasCustomDesignator);
    void SetNumber(int32_t parkingNumber, const std::string& customNumber, bool hasCustomDesignator);

    // Only Clear takes the mark away again.
    void SetSelectedByApi() { selectedByApi_ = true; }
    bool IsSelectedByApi() const { return selectedByApi_; }
    void SetOccupiedByAI(bool occupied) { occupiedByAI_ = occupied; }
    bool IsOccupiedByAI() const { return occupiedByAI_; }
    void SetOccupantId(uint32_t objectId) { occupantId_ = objectId; }
    uint32_t GetOccupantId() const { return occupantId_; }

    std::string GetAirportIcao() const { return airportIcao_; }
    std::string GetGateName() const { return gateName_; }
    std::string GetCustomDesignator() const { return customDesignator_; }
    std::string GetCustomNumber() const { return customNumber_; }
    int32_t GetParkingNumber() const { return parkingNumber_; }
    bool HasCustomDesignator() const { return hasCustomDesignator_; }

    // A real stand: gate name other than "NONE" and a non-zero number.
    bool IsSet() const;
    // "ICAO:GATE_NAME", the first key of the stand maps (the number is the second).
    std::string GetStandKey() const;
    // The menus' name of the stand: custom designator and number when the stand has them, else gate
    // name and number.
    std::string GetDisplayName() const;
    // The message shown when the stand is selected.
    std::string Describe() const;
    // Same airport, gate name and number (exact comparison).
    bool IsSameStand(const StandData& other) const;
    bool operator==(const StandData& other) const { return IsSameStand(other); }

private:
    std::string airportIcao_;
    std::string gateName_;
    int32_t parkingNumber_ = 0;
    std::string customDesignator_;
    std::string customNumber_;
    bool hasCustomDesignator_ = false;
    bool selectedByApi_ = false;
    bool occupiedByAI_ = false;
    uint32_t occupantId_ = 0;
};

// The category code of a gate name ("PARKING" 1 ... "E_PARKING" 38), 0 for any other text. Exact,
// case-sensitive comparison of the whole text.
int32_t ParseStandCategory(const std::string& gateName);
