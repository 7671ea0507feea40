// A scenario for the stand-in simulator: an XML file of timed steps (the user aircraft and its path,
// state changes, AI traffic, menu choices, named variables, refused titles, SimConnect clients of its
// own that create objects, send events and jetway jobs) played on the simulator's virtual clock.
//
// The format is described in simhost's --help and in the README. An element that cannot be read is
// reported and skipped; the rest of the scenario still plays.
#pragma once

#include "simulator/Simulator.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>

namespace simulator {

struct ScenarioSettings {
    std::string platform = "P3Dv4";
    std::string machineRoot;  // resolved against the scenario's folder; empty: not named
    std::string module;       // resolved against the scenario's folder; empty: not named
    double frameRate = 30;
    double endSeconds = 0;  // 0: no end
    std::string waitClient;
    double waitTimeoutSeconds = 60;  // 0: wait for ever
    int creationDelayFrames = 0;
    double groundElevationFeet = std::numeric_limits<double>::quiet_NaN();  // NaN: none
};

// A hold of the clock at a time of the scenario: the frames stop until a client whose name contains `name`
// (without regard to case) has connected and handled its first messages, or the timeout has passed.
struct ClientHold {
    uint64_t atMs = 0;
    std::string name;
    double timeoutSeconds = 60;  // 0: wait for ever
};

class Scenario {
public:
    using Sink = std::function<void(const std::string&)>;

    // warn receives every problem found while reading or playing (default: standard error).
    explicit Scenario(Sink warn = nullptr);
    ~Scenario();
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    // False with *error when the file cannot be read or is not a scenario.
    bool LoadFile(const std::string& path, std::string* error = nullptr);
    // folder: where relative paths of the scenario start.
    bool LoadText(const std::string& xml, const std::string& folder, std::string* error = nullptr);

    ScenarioSettings& Settings();
    const ScenarioSettings& Settings() const;

    // Plays every step due at the simulator's time and puts the user aircraft on its path. The
    // scenario's clients connect in process: the simulator must serve in process.
    void Step(Simulator& sim);
    // Hands the scenario's clients their messages and writes what they got into the timeline.
    void PumpClients(Simulator& sim);
    // The next hold whose time nowMs has reached, each once and in time order; nothing when none is due.
    // The host holds the clock; the scenario only knows when.
    std::optional<ClientHold> TakeHold(uint64_t nowMs);
    // True once the end time is reached.
    bool Ended(uint64_t nowMs) const;
    // Closes the scenario's clients.
    void CloseClients();

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace simulator
