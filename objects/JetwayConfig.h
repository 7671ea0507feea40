// The reader of a jetway model's "jetway.cfg": jetway type, dimensions, motion times, joint limits,
// linked parts and sound, into the model's Jetway and its record.
//
// Reading is done in two steps: Parse takes the file's values into a JetwayConfigValues, Apply gives
// them to one placed jetway and adds what depends on its placement (the ground offset of the floor and
// the parts, the sound's position). A JetwayConfigCache keeps the parsed values of each file, so that
// many jetways of one model read their file once.
//
// Main thread only. Every number that is missing becomes 0 in the record (a fresh record's 1.0 defaults
// included); a value that is present but no usable number is logged and becomes 0 as well.
#pragma once

#include "foundation/Records.h"
#include "jetway/core/JetwayData.h"
#include "jetway/core/LinkedSimObject.h"
#include "platform/wintypes.h"

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

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

// The values of one "jetway.cfg" as the file gives them, before any placement is added. Numbers are
// already checked (unusable ones are 0); what the reading found wrong is kept in the notes, and Apply logs
// the notes for every jetway it fills, as reading the file for that jetway would.
struct JetwayConfigValues {
    // One "LinkedSimObject.N" section.
    struct Part {
        enum class State {
            Absent,    // no such section (or no keys in it): the slot keeps what it has
            BadTitle,  // no sim_title, or one too long: the slot's titles are emptied
            BadBone,   // no known reference_bone: the slot's titles are emptied and its link type is none
            Usable,
        };
        State state = State::Absent;
        std::string title;
        LinkType link = LinkType::None;
        double x = 0.0;
        double y = 0.0;
        double z = 0.0;  // above the ground the jetway stands on
    };
    // A complaint about the file. afterModelTitle: logged as "<model title>: " + text.
    struct Note {
        bool warning = false;  // else an error
        bool afterModelTitle = false;
        std::string text;
    };

    std::string path;          // the file: the model's folder + "jetway.cfg"
    DWORD missingCode = 0;     // 0 when the file exists, else the error code of the failed search

    std::string typeText;
    uint32_t type = 0;         // 0: no jetway type
    double rootFloorHeight = 0.0;
    double rootBridgeOffset = 0.0;
    double mouthOffset = 0.0;
    double legOffset = 0.0;
    double legOffsetFromOrigin = 0.0;
    double wheelRadius = 0.0;
    double stairLength = 0.0;
    double stairOffset = 0.0;
    double stairOffsetFromOrigin = 0.0;
    double hoodMovableHeight = 0.0;
    double hoodWidth = 0.0;
    double rootRotationTime = 0.0;
    double bridgeExtensionTime = 0.0;
    std::array<Part, JetwayData::kPartCount> parts;
    JetwayRange bridgeLength;
    JetwayRange rootSweep;
    JetwayRange bridgeDip;
    JetwayRange headSweep;
    JetwayRange legLength;

    std::string soundFile;     // "" when the jetway has no sound
    bool soundLoop = false;
    int32_t soundMinDistance = 0;
    int32_t soundMaxDistance = 0;

    std::vector<Note> notes;   // in the order of the file's reading
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
    // "sound\". False (and the jetway untouched) when the file does not exist. Parse and Apply in one.
    bool Read(const JetwayConfigTarget& target, const std::string& path) const;

    // The file's values; logs nothing.
    static JetwayConfigValues Parse(const std::string& path);
    // Gives the values to the target's jetway, with the ground offset of its placement, and prepares its
    // sound at its position; logs the notes and what concerns this jetway. False (and the jetway
    // untouched) when there is no jetway or the file did not exist.
    bool Apply(const JetwayConfigTarget& target, const JetwayConfigValues& values) const;

private:
    void Log(const JetwayConfigValues::Note& note, const std::string& modelTitle) const;
    void ApplySound(const JetwayConfigTarget& target, const JetwayConfigValues& values) const;

    log4cpp::Category* log_;
    SoundEngine* sound_;
};

// The parsed values of every "jetway.cfg" asked for, by path: a file is parsed at the first ask and kept
// until Clear, changed or not (a file that did not exist stays missing too).
class JetwayConfigCache {
public:
    const JetwayConfigValues& Get(const std::string& path);
    void Clear() { values_.clear(); }
    size_t Count() const { return values_.size(); }

private:
    std::unordered_map<std::string, JetwayConfigValues> values_;
};
