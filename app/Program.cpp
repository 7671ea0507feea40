#include "app/Program.h"

#include "aircraft/AircraftConfigData.h"
#include "aircraft/AircraftParameters.h"
#include "app/Settings.h"
#include "foundation/GeoMath.h"
#include "guidance/GateNumberBox.h"
#include "guidance/JetwayTextMenu.h"
#include "guidance/StandFacilitiesTextMenu.h"
#include "guidance/StandTextMenu.h"
#include "guidance/TriggerObjectTextMenu.h"
#include "guidance/VDGSHandler.h"
#include "guidance/VarDrivenAnimationSubMenu.h"
#include "jetway/AIMonitor.h"
#include "jetway/IKSolver.h"
#include "jetway/JetwayControl.h"
#include "jetway/JetwayHandler.h"
#include "jetway/LinkedSimObjectHandler.h"
#include "link/SeasonalObjectHandler.h"
#include "link/SimStatus.h"
#include "objects/EnviroDataProbe.h"
#include "objects/InjectionQueue.h"
#include "objects/SimObjectList.h"
#include "platform/process.h"
#include "scenery/QuadTree.h"
#include "scenery/SceneryFileRegistry.h"
#include "scenery/SimBubble.h"
#include "scenery/SimObjectsFolderManager.h"
#include "sound/SoundBuffer.h"
#include "sound/SoundEngine.h"

#include <log4cpp/Category.hh>

namespace program {

namespace {

HANDLE g_mutex = nullptr;
DWORD g_mutexError = ERROR_SUCCESS;

}  // namespace

SimConnectImpl& Sim()
{
    static SimConnectImpl connection;
    return connection;
}

log4cpp::Category& RootLog() { return log4cpp::Category::getRoot(); }
log4cpp::Category& LoopLog() { return log4cpp::Category::getInstance("VELK.FSLOOP"); }
log4cpp::Category& ProcessLog() { return log4cpp::Category::getInstance("VELK.FSPROCESS"); }
log4cpp::Category& WatchdogLog() { return log4cpp::Category::getInstance("VELK.WATCHDOG"); }

void CreateInstanceMutex()
{
    if (g_mutex) return;
    g_mutex = CreateMutexA(nullptr, FALSE, kMutexName);
    g_mutexError = GetLastError();
}

DWORD InstanceMutexError() { return g_mutexError; }

SoundBuffer& RadioClick()
{
    static SoundBuffer click;
    return click;
}

Components::Components() = default;
Components::Components(Components&&) noexcept = default;
Components& Components::operator=(Components&&) noexcept = default;
Components::~Components() = default;

void Components::ReleaseAtShutdown()
{
    // The radio click lives until the program's end: its refill and its device objects must not outlive
    // the sound engine and the status flags it reads, so it gives them back now.
    RadioClick().Release();
    // The objects first: their timers and sounds point at the status flags and the sound engine. The
    // jetway handler holds the jetways clients registered, whose sounds may be playing.
    seasonal.reset();
    jetwayControl.reset();
    jetwayLink.reset();
    jetwayHandler.reset();
    activeObjects.reset();
    allObjects.reset();
    protectionZones.reset();
    quadTree.reset();
    readProbes.reset();
    activeProbes.reset();
    simBubble.reset();
    geoMath.reset();
    aircraftConfig.reset();
    aircraftParameters.reset();
    customCommands.reset();
    sceneryFileRegistry.reset();
    folderManager.reset();
    aiMonitor.reset();
    ikSolver.reset();
    vdgsHandler.reset();
    gateNumberBox.reset();
    injectionQueue.reset();
    linkedObjectHandler.reset();
    // Last the engine, then the status flags that it and every sound read.
    soundEngine.reset();
    simStatus.reset();
}

StandTextMenu& StandMenu()
{
    static StandTextMenu menu;
    return menu;
}

TriggerObjectTextMenu& TriggerMenu()
{
    static TriggerObjectTextMenu menu;
    return menu;
}

StandFacilitiesTextMenu& StandOpsMenu()
{
    static StandFacilitiesTextMenu menu;
    return menu;
}

JetwayTextMenu& JetwayMenu()
{
    static JetwayTextMenu menu;
    return menu;
}

VarDrivenAnimationSubMenu& AnimationMenu()
{
    static VarDrivenAnimationSubMenu menu;
    return menu;
}

Components& Parts()
{
    // Never destroyed: a destruction after main would come after the log's shutdown and the radio click's
    // end, and nothing of today's shutdown releases the settings.
    static Components& parts = *new Components();
    return parts;
}

State& Flags()
{
    static State state;
    return state;
}

void State::Reset()
{
    quit.store(0);
    targetPlatform.clear();
    logFolder.clear();
    objectCount = 0;
    externalMode = false;
    connected = false;
    hotkeySet = false;
    topMenuCreated = false;
    frameCounter = 0;
    simStartSeen = false;
    positionInitialised = false;
    uiPositionChange = false;
    positionInitialisation = false;
    voiceCaptureActive = false;
    moduleResetAsked = false;
    apiReads.clear();
    reservedKey[0] = '\0';
    lastMainMenuRequest = -1;
    reachabilityProbes.clear();
    simulatorErrors.clear();
    unservedDockings.clear();
    watchdogQueue = nullptr;
    watchdogTimer = nullptr;
}

}  // namespace program
