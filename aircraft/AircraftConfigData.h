// What the system knows of one aircraft model: reference datum, eye point, nose wheel, the main exits on
// the left side with their deck, the ATC model and the ICAO type under which its door parameters are
// looked up. Read from the aircraft's "aircraft.cfg" (else "sim.cfg") and, for custom exits, from
// "AircraftExits.ini" in the program data folder. All lengths in metres.
#pragma once

#include "aircraft/AircraftParameters.h"

#include <cstddef>
#include <string>
#include <vector>

namespace log4cpp {
class Category;
}

class AircraftConfigData {
public:
    // Numbered keys ("exit.N", "point.N") read at most per section; no aircraft comes near it, and each
    // read costs a read of the whole file.
    static constexpr int MaxNumberedKeys = 256;

    // log may be null (AI aircraft): nothing is logged then.
    explicit AircraftConfigData(log4cpp::Category* log = nullptr) : log_(log) {}

    // The folder of the aircraft's configuration file, ending with a backslash.
    void SetAircraftPath(const std::string& folder) { aircraftFolder_ = folder; }
    const std::string& GetAircraftPath() const { return aircraftFolder_; }

    // Reads everything from the aircraft folder's files. Without "aircraft.cfg" and "sim.cfg" (or with a
    // folder that holds a NUL) nothing changes.
    void ReadAircraftData();

    // The main exits on the left side, front to back.
    std::vector<AircraftParameters::DoorData> GetExits() const { return exits_; }
    std::size_t GetExitCount() const { return exits_.size(); }

    const std::string& GetAtcModel() const { return atcModel_; }
    // The ATC model is the text the aircraft type is found for.
    const std::string& GetModelString() const { return atcModel_; }
    const std::string& GetCreatedBy() const { return createdBy_; }

    void SetICAOType(const std::string& type) { icaoType_ = type; }
    const std::string& GetICAOType() const { return icaoType_; }

    // The door-parameter map of AircraftParameters; not owned.
    void SetDoorParameters(const AircraftParameters::DoorMap* doors) { doorMap_ = doors; }
    // The record stored for ICAO type + ":" + door name, or null. Owned by the map.
    const DoorParameters* GetDoorParameters(const std::string& doorName) const;

    bool HasNoseWheel() const { return noseWheelFound_; }
    // Valid for the user aircraft's set-up: a nose wheel was found and placed.
    bool IsValid() const { return noseWheelFound_; }

    // Three values each when valid, empty otherwise.
    const std::vector<double>& GetReferenceDatum() const { return referenceDatum_; }
    const std::vector<double>& GetEyePoint() const { return eyePoint_; }
    const std::vector<double>& GetEyePointRelative() const { return eyePointRelative_; }
    const std::vector<double>& GetNoseWheel() const { return noseWheel_; }
    const std::vector<double>& GetNoseWheelRelative() const { return noseWheelRelative_; }

private:
    bool ReadValue(const std::string& file, const std::string& section, const std::string& key,
                   std::string& value) const;
    void ReadReferenceDatum(const std::string& file);
    void ReadEyePoint(const std::string& file);
    void ReadNoseWheel(const std::string& file);
    bool ReadCustomExits(const std::string& aircraftFile, const std::string& customFile);
    bool ReadExits(const std::string& file, const std::string& section, double deckThreshold, bool custom);
    double Datum(std::size_t axis) const { return referenceDatum_.size() == 3 ? referenceDatum_[axis] : 0.0; }

    void LogError(const std::string& message) const;
    void LogWarn(const std::string& message) const;
    void LogDebug(const std::string& message) const;

    std::vector<double> eyePointRelative_;
    std::vector<double> noseWheelRelative_;
    log4cpp::Category* log_;
    std::string aircraftFolder_;
    std::vector<double> referenceDatum_;
    std::vector<double> eyePoint_;
    std::vector<double> noseWheel_;
    std::vector<AircraftParameters::DoorData> exits_;
    std::string atcModel_;
    std::string icaoType_ = "NONE";
    std::string createdBy_;
    const AircraftParameters::DoorMap* doorMap_ = nullptr;
    bool noseWheelFound_ = false;
};
