// The program-wide objects of orvane: the simulator connection, the single-instance mutex, the
// components (one instance each, created by WinMain and owned by the main thread) and the flags that the
// run phase, the dispatch and the watchdog share.
//
// Components of subsystems that are not part of this build stay null; every caller checks.
#pragma once

#include "link/SimConnectImpl.h"
#include "foundation/StringUtils.h"
#include "platform/wintypes.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
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

// Components. Null when not constructed (or not part of this build).
struct Components {
    Settings* settings = nullptr;
    SceneryFileRegistry* sceneryFileRegistry = nullptr;
    SeasonalObjectHandler* seasonal = nullptr;
    EnviroDataProbeList* readProbes = nullptr;
    EnviroDataProbeList* activeProbes = nullptr;
    SimObjectList* activeObjects = nullptr;
    SimObjectList* allObjects = nullptr;
    ProtectionZoneList* protectionZones = nullptr;
    QuadTree* quadTree = nullptr;
    GeoMath* geoMath = nullptr;
    AircraftConfigData* aircraftConfig = nullptr;
    AircraftParameters* aircraftParameters = nullptr;
    SimStatus* simStatus = nullptr;
    SoundEngine* soundEngine = nullptr;
    SimObjectsFolderManager* folderManager = nullptr;
    CustomCommandList* customCommands = nullptr;
    SimBubble* simBubble = nullptr;
    AIMonitor* aiMonitor = nullptr;
    IKSolver* ikSolver = nullptr;
    JetwayHandler* jetwayHandler = nullptr;
    VDGSHandler* vdgsHandler = nullptr;
    GateNumberBox* gateNumberBox = nullptr;
    InjectionQueue* injectionQueue = nullptr;
    LinkedSimObjectHandler* linkedObjectHandler = nullptr;
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
    bool hotkeySet = false;
    bool topMenuCreated = false;
    uint16_t frameCounter = 0;
    bool simStartSeen = false;
    bool positionInitialised = false;
    bool uiPositionChange = false;
    bool positionInitialisation = false;
    bool voiceCaptureActive = false;
    char reservedKey[50] = {};
    // -1: the main menu; n: custom text-menu command n.
    int32_t lastMainMenuRequest = -1;
    // Packet id of a reachability probe -> the probed jetway's object id.
    std::map<DWORD, DWORD> reachabilityProbes;
    // Dispatch branches skipped for want of a component, each logged once.
    std::set<std::string> notedSkips;
    // The watchdog's timer queue, and its timer when it had to go to the default queue.
    HANDLE watchdogQueue = nullptr;
    HANDLE watchdogTimer = nullptr;

    // Back to the state at program start (tests).
    void Reset();
};
State& Flags();

}  // namespace program
