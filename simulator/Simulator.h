// The stand-in simulator: a world on a virtual clock and the SimConnect server that the program, the
// module and tests connect to, in this process or over the socket in the machine root.
//
// Time moves only through Advance: frames ("Frame" events and frame-period requests) at the frame rate,
// "6Hz", "1sec" and "4sec" events, second-period requests, creation answers and text timeouts, in time
// order. Messages wait in each client's queue until that client dispatches. Everything here may be
// called from any thread.
#pragma once

#include "platform/simconnect/SimConnect.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace simulator {

using ObjectId = DWORD;

struct AiAircraft {
    std::string title;
    std::string atcId;
    std::string atcModel;
    std::string state = "sleep";  // AI TRAFFIC STATE
    std::string airport;          // AI TRAFFIC CURRENT AIRPORT
    std::string parking;          // AI TRAFFIC ASSIGNED PARKING
    double latitude = 0;          // degrees
    double longitude = 0;
    double altitudeFeet = 0;
    double headingDegrees = 0;
    bool onGround = true;
};

struct ObjectInfo {
    ObjectId id = 0;
    std::string title;
    DWORD type = SIMCONNECT_SIMOBJECT_TYPE_GROUND;
    std::string createdBy;  // client name, empty for the simulator's own objects
};

struct MenuInfo {
    std::string client;
    DWORD eventId = 0;
    std::string title;
    std::string prompt;
    std::vector<std::string> lines;  // up to the first empty entry
    size_t blockBytes = 0;           // the size of the block the client sent
};

struct TextInfo {
    std::string client;
    DWORD type = 0;
    double seconds = 0;
    std::string text;
};

class Simulator {
public:
    // name: what the OPEN message reports as the application.
    explicit Simulator(std::string name = "Prepar3D");
    // Sends QUIT to every client, stops serving and forgets them.
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // ---- Serving ----
    // SimConnect_Open in this process connects to this simulator (until StopServing or destruction).
    void ServeInProcess();
    // Listens on the socket in the current machine root.
    bool Listen(std::string* error = nullptr);
    void StopServing();
    std::vector<std::string> Clients() const;

    // ---- Pacing the clients on the socket (real time) ----
    enum class SocketWait {
        Fetched,  // every client on the socket took the messages waiting for it
        Handled,  // ... and asked again with none waiting: it has handled them
        Gone,     // no client is left on the socket
    };
    // While held, the messages to clients on the socket wait in their outboxes: a client that asks for
    // them gets none. Releasing sends them. A fast run holds them while the module and the scenario's
    // clients in this process have their turn at a frame, so that no socket client can answer that frame
    // before they have seen it, however quickly it answers (PlayFrame).
    void HoldSocketMessages(bool hold);
    // Waits at most `limit` until the condition holds; false when it does not. Clients in this process
    // are never waited for: they are pumped by the thread that would wait. Nor is a client that has not
    // dispatched (nor said it took or handled messages) for kSilentClientMs of real time, until it does
    // again: a connected client that never dispatches does not hold the others.
    static constexpr int64_t kSilentClientMs = 5000;
    bool WaitForSocketClients(std::chrono::milliseconds limit, SocketWait what = SocketWait::Handled);
    // Waits at most `limit` for a client whose name contains `name` (without regard to case) to connect
    // and handle its first messages, so that its set-up requests are in. True when one did.
    bool WaitForClient(const std::string& name, std::chrono::milliseconds limit);

    // ---- Clock ----
    uint64_t NowMs() const;
    void Advance(uint64_t ms);
    void RunFrames(int count);
    void SetFrameRate(double framesPerSecond);

    // ---- Simulation state ----
    void StartSim();  // "SimStart", system state "Sim" = 1
    void StopSim();   // "SimStop"
    bool IsRunning() const;
    void SetPaused(bool paused);  // "Pause" with 1 or 0
    bool IsPaused() const;
    void SetSound(bool on);  // "Sound" with 1 or 0
    void ChangePosition();   // "PositionChanged"
    // "AircraftLoaded" with the aircraft's file (a Windows path), also its system state.
    void LoadAircraft(const std::string& airFile);
    // The user aircraft's .air path as last loaded (a Windows path); empty before any.
    std::string AircraftFile() const;
    void LoadFlight(const std::string& flightFile);
    // QUIT to every client.
    void Quit();

    // ---- Objects ----
    ObjectId UserAircraftId() const;
    void SetUserPosition(double latitude, double longitude, double altitudeFeet, double pitchDegrees = 0,
                         double bankDegrees = 0, double headingDegrees = 0);
    ObjectId AddAiAircraft(const AiAircraft& aircraft);
    // New traffic state, parking and place of an AI aircraft; false when id is not an AI aircraft.
    bool UpdateAiAircraft(ObjectId id, const AiAircraft& aircraft);
    bool RemoveObject(ObjectId id);
    std::optional<ObjectInfo> Object(ObjectId id) const;
    std::vector<ObjectInfo> Objects() const;
    // Variables of an object (0 = the user aircraft); numbers convert between units of one kind.
    bool SetNumber(ObjectId id, const std::string& name, const std::string& unit, double value);
    std::optional<double> Number(ObjectId id, const std::string& name, const std::string& unit) const;
    bool SetText(ObjectId id, const std::string& name, const std::string& text);
    std::optional<std::string> Text(ObjectId id, const std::string& name) const;
    // World weather: the variable is set on every object, the user aircraft included, and on every object
    // created later. At start: AMBIENT WIND DIRECTION 270 Degrees, AMBIENT WIND VELOCITY 8 Knots,
    // AMBIENT VISIBILITY 20000 Meters, AMBIENT PRECIP STATE 2 Mask (none), AMBIENT TEMPERATURE 15 Celsius,
    // SEA LEVEL PRESSURE 1013 Hectopascal.
    void SetWeather(const std::string& name, const std::string& unit, double value);
    // Creation of this title fails with exception CREATE_OBJECT_FAILED.
    void RefuseTitle(const std::string& title);
    // Creations are answered after this many frames (0: at once).
    void SetCreationDelayFrames(int frames);
    // The ground under every place (feet): objects created on the ground stand on it. Not a number: no
    // ground known, objects stand where they asked to (so at start).
    void SetGroundElevation(double feet);

    // ---- Input, menus, texts ----
    // A key pressed: the reserved key's event, and every enabled input mapping of the key.
    bool PressKey(const std::string& key);
    // Chooses an add-on menu item (subItem empty) or one of its sub-items, by text.
    bool ChooseAddonMenuItem(const std::string& item, const std::string& subItem = "");
    std::vector<std::string> AddonMenu() const;  // "item" and "item > sub-item" lines
    std::optional<MenuInfo> OpenMenu() const;
    // Answers the open menu with line index (0 = first line after the prompt).
    bool ChooseMenuLine(int index);
    std::vector<TextInfo> Texts() const;  // printed texts still shown

    // ---- Client data ----
    std::optional<std::vector<uint8_t>> ClientData(const std::string& name) const;

    // ---- Timeline ----
    // The lines kept so far (every line since the start or the last ClearTimeline, while kept).
    std::vector<std::string> Timeline() const;
    // Whether lines are kept for Timeline() (so at start). Off: the kept lines are forgotten and new ones
    // only go to the listener; without a listener either, no line is even built.
    void SetTimelineKept(bool keep);
    // Adds a line of the host's own (a scenario step) at the current time.
    void Note(const std::string& text);
    void ClearTimeline();
    // Also a line per registration call of a client (event mappings, groups and their priorities, system
    // event subscriptions, input events and input group state, data and client-data definitions, client
    // data names, data requests, add-on menu sub-items), in the order they arrive. Off at start.
    void SetTimelineRegistrations(bool on);
    // Called with every new line (under the simulator's lock: do not call back into it).
    void SetTimelineListener(std::function<void(const std::string&)> listener);

    struct Impl;

private:
    std::shared_ptr<Impl> impl_;
};

}  // namespace simulator
