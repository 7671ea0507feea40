// The program-wide objects of orvane: the simulator connection, the single-instance mutex, the
// components (one instance each, owned by one record, created by WinMain and released by the run phase's
// shutdown on the main thread) and the flags that the run phase, the dispatch and the watchdog share.
//
// Components of subsystems that are not part of this build stay null; every caller checks.
#pragma once

#include "foundation/StringUtils.h"
#include "link/SimConnectImpl.h"
#include "platform/wintypes.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace log4cpp {
class Category;
}

class AIMonitor;
class AircraftConfigData;
class AircraftParameters;
class EnviroDataProbeList;
class GateNumberBox;
class GeoMath;
class IKSolver;
class InjectionQueue;
class JetwayControl;
class JetwayControlLink;
class JetwayHandler;
class LinkedSimObjectHandler;
class ProtectionZoneList;
class QuadTree;
class SceneryFileRegistry;
class SeasonalObjectHandler;
class Settings;
class SimBubble;
class SimObjectList;
class SimObjectsFolderManager;
class SimStatus;
class SoundBuffer;
class SoundEngine;
class JetwayTextMenu;
class StandFacilitiesTextMenu;
class StandTextMenu;
class VarDrivenAnimationSubMenu;
class TriggerObjectTextMenu;
class VDGSHandler;

// A custom text-menu command: name, key stroke, menu title; complete when key stroke and title were given.
using CustomCommandList = StringTripleList;

namespace program {

constexpr const char* kMutexName = "VELK::{24fae70d-d8b5-41a8-9bd1-73a6ccd45ce7}";

// The one connection.
SimConnectImpl& Sim();

// Log categories.
log4cpp::Category& RootLog();
log4cpp::Category& LoopLog();      // "VELK.FSLOOP"
log4cpp::Category& ProcessLog();   // "VELK.FSPROCESS"
log4cpp::Category& WatchdogLog();  // "VELK.WATCHDOG"

// The single-instance mutex: created once (CreateMutexA, not owned); the last error right after the call
// is kept. The program creates it during static initialisation.
void CreateInstanceMutex();
DWORD InstanceMutexError();

// The program-wide radio click, bound to the sound engine at start-up.
SoundBuffer& RadioClick();

// The program-wide text menus: the stand selection page and the main (trigger-object) menu.
StandTextMenu& StandMenu();
TriggerObjectTextMenu& TriggerMenu();
StandFacilitiesTextMenu& StandOpsMenu();
JetwayTextMenu& JetwayMenu();
VarDrivenAnimationSubMenu& AnimationMenu();

// Components. Null when not constructed (or not part of this build). The record owns every component;
// start-up creates them in member order (WinMain), the run phase's shutdown releases them with
// ReleaseAtShutdown. The record itself is never destroyed: what the shutdown leaves (the settings, or
// everything when the run phase never connected) lives as long as the process.
struct Components {
    Components();
    Components(Components&&) noexcept;
    Components& operator=(Components&&) noexcept;
    ~Components();

    // Releases the radio click's sound, then destroys every component but the settings: the jetway
    // handler (with the jetways clients registered) and the objects first, then the sound engine, and the
    // simulation status that sounds and animations read last of all.
    void ReleaseAtShutdown();

    std::unique_ptr<Settings> settings;
    std::unique_ptr<SceneryFileRegistry> sceneryFileRegistry;
    std::unique_ptr<SeasonalObjectHandler> seasonal;
    std::unique_ptr<EnviroDataProbeList> readProbes;
    std::unique_ptr<EnviroDataProbeList> activeProbes;
    std::unique_ptr<SimObjectList> activeObjects;
    std::unique_ptr<SimObjectList> allObjects;
    std::unique_ptr<ProtectionZoneList> protectionZones;
    std::unique_ptr<QuadTree> quadTree;
    std::unique_ptr<GeoMath> geoMath;
    std::unique_ptr<AircraftConfigData> aircraftConfig;
    std::unique_ptr<AircraftParameters> aircraftParameters;
    std::unique_ptr<SimStatus> simStatus;
    std::unique_ptr<SoundEngine> soundEngine;
    std::unique_ptr<SimObjectsFolderManager> folderManager;
    std::unique_ptr<CustomCommandList> customCommands;
    std::unique_ptr<SimBubble> simBubble;
    std::unique_ptr<AIMonitor> aiMonitor;
    std::unique_ptr<IKSolver> ikSolver;
    std::unique_ptr<JetwayHandler> jetwayHandler;
    std::unique_ptr<VDGSHandler> vdgsHandler;
    std::unique_ptr<GateNumberBox> gateNumberBox;
    std::unique_ptr<InjectionQueue> injectionQueue;
    std::unique_ptr<LinkedSimObjectHandler> linkedObjectHandler;
    // Jobs for the module: made once the connection is open (the link writes through it).
    std::unique_ptr<JetwayControlLink> jetwayLink;
    std::unique_ptr<JetwayControl> jetwayControl;
};
Components& Parts();

// Flags and values shared by the run phase, the dispatch and the watchdog.
struct State {
    // Set by the quit message and by the watchdog (timer thread); nothing clears it during a run.
    std::atomic<int32_t> quit{0};
    std::string targetPlatform;  // written once, before the watchdog starts
    std::string logFolder;
    // Objects read from the placement files (the size of the all-objects list; 0 while it is missing).
    size_t objectCount = 0;
    bool externalMode = false;  // no placement file yielded any object
    bool connected = false;     // the run phase opened the connection to the simulator
    bool hotkeySet = false;
    bool topMenuCreated = false;
    uint16_t frameCounter = 0;
    bool simStartSeen = false;
    bool positionInitialised = false;
    bool uiPositionChange = false;
    bool positionInitialisation = false;
    bool voiceCaptureActive = false;
    // The module was asked to stop its jetways before a bubble rebuild and has not answered: its answer
    // ("VELK.ReloadAll", which any client can send) goes on with the rebuild once, and only then.
    bool moduleResetAsked = false;
    // API requests whose area read is on its way, by request id. A request event that comes while its
    // read is on its way reads the area once more when the read arrives, however many came: a client
    // that floods the requests cannot pile up reads in front of the others' requests. A read unanswered
    // for kApiReadLostMs counts as lost.
    struct ApiRead {
        bool asked = false;
        bool again = false;
        DWORD askedMs = 0;
    };
    static constexpr DWORD kApiReadLostMs = 2000;
    std::map<DWORD, ApiRead> apiReads;
    char reservedKey[50] = {};
    // -1: the main menu; n: custom text-menu command n.
    int32_t lastMainMenuRequest = -1;
    // Packet id of a reachability probe -> the probed jetway's object id.
    std::map<DWORD, DWORD> reachabilityProbes;
    // Aircraft and stands whose docking found no jetway for any door, each said once ("doors|stand").
    std::set<std::string> unservedDockings;
    // Lines that peers caused (the simulator's messages, API requests, other clients' events), by text:
    // how often each came.
    std::map<std::string, uint64_t> simulatorErrors;
    // The watchdog's timer queue, and its timer when it had to go to the default queue.
    HANDLE watchdogQueue = nullptr;
    HANDLE watchdogTimer = nullptr;

    // Back to the state at program start (tests).
    void Reset();
};
State& Flags();

}  // namespace program
