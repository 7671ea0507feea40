// What the dispatch's handlers share: the lookups of the program's objects and jetways, the settings and
// states they test, and the choice of the nearest stand or airport. Main thread only.
#pragma once

#include <log4cpp/Priority.hh>

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

class Jetway;
class SimObject;
class StandData;
class UserAircraft;

namespace program {

// Metres within which a stand or an airport counts as near the aircraft.
constexpr double kStandSearchMetres = 5000.0;

bool IsDebugMode();
bool IsSimPaused();
// The simulation's paused flag, for timers and animations; null without the simulation status.
const std::atomic<bool>* PausedFlag();
// Metres: proximity, radio click and the trigger-object menu.
double TriggerRange();

// The user aircraft as its last answer placed it; null without the active list.
UserAircraft* User();
// The active-list object with that simulator id; null for id 0 or none.
SimObject* FindActiveObject(uint32_t id);
// The jetway object of an id: the active list's, else one the jetway handler knows; null for id 0.
SimObject* FindJetwayObject(uint32_t id);
// The jetway of the object's current model; null without one.
Jetway* CurrentJetway(SimObject& object);
// The jetway whose sound plays: model 0's of an object with several models, else the current model's.
Jetway* SoundJetway(SimObject& object);
// Writes the jetway's rest pose, computed at the object's placement, to the object in the simulator.
void WriteRestPose(SimObject& object, Jetway& jetway);

// A line that a peer can cause at will: a message of the simulator, an API request or an event of
// another client. The first of identical lines is written as it is; repeats are only counted, and the
// count is written after 10, 100, 1000, ... of them: "<line> ... repeated N times". At most
// kMaxPeerLineTexts different lines are told apart; lines beyond them are counted together and written
// the same way. A peer that sends nothing but faulty or random messages so fills the log by a few lines
// per tenfold, not one line per message.
constexpr size_t kMaxPeerLineTexts = 256;
constexpr size_t kMaxSimulatorErrorTexts = kMaxPeerLineTexts;
void PeerLine(log4cpp::Priority::Value priority, const std::string& line);
// The same with a printf format, on "VELK.FSLOOP".
void PeerLog(log4cpp::Priority::Value priority, const char* format, ...) __attribute__((format(printf, 2, 3)));
// An ERROR line caused by a message of the simulator.
void SimulatorError(const std::string& line);

// The private event that ends an injection pass (all creations answered, the probes included).
void SendCreationFinished();

// A docking that pairs none of an aircraft's doors with a jetway of its stand starts nothing, which a user
// who placed the stand sees without a reason: one INFO line (tag, then the text) says why, once per
// aircraft (with its doors) and stand.
void SayNoJetwayServes(const std::string& tag, const std::string& aircraft, const std::vector<std::string>& doors,
                       const StandData& stand, const std::vector<int32_t>& multiIndices);

// ICAO, gate name, parking number, custom designator and custom number of a stand, joined by ":".
std::string StandKey(const StandData& stand);

// Distances recorded under keys (stands, airports): a new key keeps its distance, a known key takes the
// mean of its value and the new distance.
class NearestByKey {
public:
    void Record(const std::string& key, double distance);
    // The key with the smallest value below limit, the first in key order on equal values.
    std::optional<std::string> Nearest(double limit) const;

private:
    std::map<std::string, double> values_;
};

}  // namespace program
