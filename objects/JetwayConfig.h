// The reader of a jetway model's "jetway.cfg": jetway type, dimensions, motion times, joint limits,
// linked parts and sound, into the model's Jetway and its record.
//
// Main thread only. Every number that is missing becomes 0 in the record (a fresh record's 1.0 defaults
// included); a value that is present but no usable number is logged and becomes 0 as well.
#pragma once

#include "foundation/Records.h"
#include "jetway/core/JetwayData.h"

#include <string>

namespace log4cpp {
class Category;
}
class Jetway;
class SoundEngine;

// What the reader needs of the placed object and of the model whose jetway it fills.
struct JetwayConfigTarget {
    Jetway* jetway = nullptr;   // the jetway of the model
    PlacementData placement;    // the object's placement: ground offset and sound position
    std::string objectName;     // for the log
    std::string modelTitle;     // the model's sim title, for the log
};

class JetwayConfig {
public:
    // Numbers beyond this size (metres, seconds, degrees) are refused as nonsense before they reach the
    // geometry.
    static constexpr double kMaxMagnitude = 1.0e6;
    // A sim_title must be shorter than this.
    static constexpr size_t kTitleLimit = 255;

    // log: the folder manager's category. sound: the program's sound engine, or null when the jetway
    // sounds are not to be prepared.
    JetwayConfig(log4cpp::Category* log, SoundEngine* sound) : log_(log), sound_(sound) {}
    virtual ~JetwayConfig() = default;

    // path: the model's folder + "jetway.cfg"; the jetway's sound is looked for in that folder's
    // "sound\". False (and the jetway untouched) when the file does not exist.
    bool Read(const JetwayConfigTarget& target, const std::string& path) const;

private:
    double Number(const std::string& path, const char* section, const char* key) const;
    JetwayRange Range(const std::string& path, const char* key) const;
    void ReadParts(const JetwayConfigTarget& target, const std::string& path, double groundMetres) const;
    void ReadSound(const JetwayConfigTarget& target, const std::string& path) const;

    log4cpp::Category* log_;
    SoundEngine* sound_;
};
