// The single owner of docking guidance activation: the table of aircraft type designators and their
// codes (the keys of every display's stop table), the display objects of every stand, the user's current
// stand and which display is the active one that the 6 Hz guidance drives. Main thread only.
#pragma once

#include "aircraft/AircraftTypeTable.h"
#include "objects/StandData.h"
#include "objects/VDGS.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

class UserAircraft;

// What the handler needs of a placed docking guidance object: its stand, its simulator object id, where
// it stands and the guidance of its current model. The scenery object implements it.
class VDGSDisplayObject {
public:
    virtual ~VDGSDisplayObject() = default;
    virtual const StandData& GetStandData() const = 0;
    // 0 while the object is not created in the simulator.
    virtual uint32_t GetObjectId() const = 0;
    virtual double GetLatitude() const = 0;
    virtual double GetLongitude() const = 0;
    // Degrees, true.
    virtual double GetHeading() const = 0;
    // The guidance of the current model; null when the object has no current model.
    virtual VDGS* GetCurrentVDGS() = 0;
};

// One entry of the stand list answer: stand category and parking number.
struct VDGSStandEntry {
    int32_t category = 0;
    int32_t parkingNumber = 0;
};

// What the caller of the 6 Hz guidance step has left to do.
struct VDGSGuidanceOutcome {
    VDGSDisplayObject* display = nullptr;  // the display stepped; null when none is active
    bool writeRecord = false;              // the state is not standby: write the record to the display
    VDGSDisplayRecord record;
    // The guidance ended and the display was forgotten: show its first model again, re-create it
    // ("VDGS De-Activation") and re-show the stand operations menu when it is displayed.
    bool ended = false;
};

class VDGSHandler {
public:
    using StandNumberMap = std::map<int32_t, VDGSDisplayObject*>;
    using StandMap = std::map<std::string, StandNumberMap>;

    // Room the client-data answer gives for the stand list.
    static constexpr std::size_t kMaxStandEntries = 512;
    // At nose-door stands the guidance aims at door "1L" moved this far forward along the aircraft axis.
    static constexpr double kNoseDoorAimOffset = 0.55;

    VDGSHandler() = default;
    VDGSHandler(const VDGSHandler&) = delete;
    VDGSHandler& operator=(const VDGSHandler&) = delete;
    virtual ~VDGSHandler() = default;

    // The code of exactly this designator; 0 when the table has none.
    int32_t GetAircraftTypeCode(const std::string& designator) const;
    // The first designator, in byte-wise order, that occurs anywhere in the text; "NONE" when none does.
    std::string FindAircraftType(const std::string& text) const;
    const std::map<std::string, int32_t>& GetAircraftTypes() const { return types_.GetAll(); }
    const AircraftTypeTable& GetAircraftTypeTable() const { return types_; }

    // Enters the object under its stand's key and number, replacing an object registered there before.
    // An object whose gate name is "NONE" is not entered.
    void RegisterVDGS(VDGSDisplayObject* object);
    // The current stand becomes a copy of this one; the active display becomes its registered object, or
    // none.
    void SetCurrentStand(const StandData& stand);
    const StandData& GetCurrentStand() const { return currentStand_; }
    // Asks the active display to activate when it is in standby.
    void RequestActivation();
    VDGSDisplayObject* GetActiveVDGS() const { return active_; }
    void ClearActiveVDGS() { active_ = nullptr; }
    // (1, object id) of the display registered for that stand, else (0, 0). The gate name is taken as the
    // user typed it: upper-cased, blanks as "_".
    std::pair<uint32_t, uint32_t> FindStandVDGS(const std::string& icao, const std::string& gateName,
                                                int32_t number) const;
    // Every stand of the airport, in key then number order, into entries (at most capacity of them);
    // count receives the number written.
    void ListStandsAt(const std::string& icao, VDGSStandEntry* entries, std::size_t capacity, int32_t& count) const;
    const StandMap& GetStandMap() const { return stands_; }
    // Active display to standby and forgotten, stand map emptied, current stand back to its defaults.
    void Reset();

    // One 6 Hz guidance tick for the active display (its fast counter already advanced): aim at the
    // user aircraft's nose wheel, or at its door "1L" when the current stand is served by a nose-door
    // jetway; update the guidance; step the state machine; log what went wrong at "VELK.FSLOOP".
    VDGSGuidanceOutcome StepGuidance(UserAircraft& aircraft, const std::string& icaoType, bool noseDoorStand);

private:
    VDGSDisplayObject* active_ = nullptr;
    AircraftTypeTable types_;
    StandData currentStand_;
    StandMap stands_;
};
