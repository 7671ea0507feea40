// The run phase: connection, registrations, dispatch loop and shutdown; the process watchdog; the
// reload and the start of the simulator data requests; the add-on menu.
#include "app/FSProcess.h"

#include "app/Program.h"
#include "app/Settings.h"
#include "foundation/GeoMath.h"
#include "jetway/AIMonitor.h"
#include "jetway/IKSolver.h"
#include "jetway/JetwayControl.h"
#include "jetway/LinkedSimObjectHandler.h"
#include "link/SeasonalObjectHandler.h"
#include "objects/SimObjectList.h"
#include "link/SimStatus.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/timers.h"
#include "sound/SoundBuffer.h"
#include "sound/SoundEngine.h"

#include <log4cpp/Category.hh>

#include <memory>
#include <strings.h>

using namespace velk_ids;
using program::Flags;
using program::LoopLog;
using program::Parts;
using program::ProcessLog;
using program::RootLog;
using program::Sim;

namespace {

constexpr DWORD kWatchdogPeriodMs = 5000;
constexpr DWORD kSecondaryHotkeyData = 0xFFFFFFFFu;

void MapCustomHotkeys()
{
    const CustomCommandList* commands = Parts().customCommands.get();
    if (!commands) return;
    for (size_t n = 0; n < commands->size(); ++n) {
        const StringTriple& command = (*commands)[n];
        if (!command.complete) continue;
        const HRESULT result = Sim().MapMenuHotkey(command.second, static_cast<DWORD>(n));
        if (result == S_OK) {
            Flags().hotkeySet = true;
            ProcessLog().debug("Customized Text-Menu Hotkey set -> '%s'", command.second.c_str());
        } else if (result == E_FAIL) {
            ProcessLog().debug("Setting of Customized Text-Menu Hotkey '%s' failed!", command.second.c_str());
        }
    }
}

void MapSecondaryHotkey()
{
    const Settings* settings = Parts().settings.get();
    if (!settings || !settings->HasSecondaryTextMenuHotkey()) {
        ProcessLog().debug("Secondary Text-Menu Hotkey not defined in INI file...");
        return;
    }
    const std::string key = settings->GetSecondaryTextMenuHotkey();
    const HRESULT result = Sim().MapMenuHotkey(key, kSecondaryHotkeyData);
    if (result == S_OK) {
        Flags().hotkeySet = true;
        ProcessLog().debug("Secondary Text-Menu Hotkey set -> '%s'", key.c_str());
    } else if (result == E_FAIL) {
        ProcessLog().debug("Setting of secondary Text-Menu Hotkey '%s' failed!", key.c_str());
    }
}

}  // namespace

namespace FSProcess {

void ConnectComponents()
{
    program::Components& parts = Parts();
    const HANDLE handle = Sim().GetHandle();
    if (parts.ikSolver) parts.ikSolver->SetConnection(handle);
    if (parts.linkedObjectHandler) parts.linkedObjectHandler->SetHandle(handle);
    // The jetway jobs go out through the program's connection.
    if (!parts.jetwayHandler || !parts.ikSolver || !parts.activeObjects) return;
    parts.jetwayLink = std::make_unique<SimConnectJetwayControlLink>(handle);
    parts.jetwayControl = std::make_unique<JetwayControl>(
        *parts.jetwayLink, *parts.jetwayHandler, *parts.ikSolver, *parts.activeObjects,
        parts.activeObjects->GetUserAircraft(), parts.aircraftConfig.get(), parts.aiMonitor.get(), &LoopLog());
    PassSettingsToJetwayControl();
}

void PassSettingsToJetwayControl()
{
    const program::Components& parts = Parts();
    const Settings* settings = parts.settings.get();
    if (!settings || !parts.jetwayControl) return;
    JetwayControlSettings control;
    control.forceHorizontalForRotation = settings->IsForceHorizontalJetwayForRotation();
    control.jetwaySoundEnabled = settings->IsUserJetwaySoundEnabled();
    parts.jetwayControl->SetSettings(control);
}

void RegisterWithSimulator()
{
    SimConnectImpl& sim = Sim();
    program::State& flags = Flags();
    const Settings* settings = Parts().settings.get();

    sim.MapPrivateEvents();
    sim.RequestSimState();
    sim.SubscribeSystemEvents();
    if (!flags.externalMode) {
        sim.SubscribeTimerEvents();
        sim.DefineDateTimeData();
        sim.MapVoiceCaptureEvents();
    }

    if (!settings || !settings->IsPrimaryHotkeyDisabled()) {
        sim.RequestReservedKey();
    } else if (!flags.topMenuCreated) {
        FSProcess::CreateTopMenu();
        flags.topMenuCreated = true;
    }

    sim.MapFreezeToggleEvent();
    sim.MapFreezeSetEvents();
    sim.MapJetwayDataAreas();
    sim.MapJetwayActionEvents();
    sim.DefineJetwayMotionData();
    sim.CreateApiDataAreas();
    sim.MapApiEvents();
    sim.MapAcftLVarsArea();
    sim.MapAcftLVarsEvents();
    sim.MapWatchdogEvent();

    if (!flags.externalMode) {
        sim.MapMenuEvents();
        if (!settings || !settings->IsPrimaryHotkeyDisabled()) sim.AddReservedKeyToMenuGroup();
        MapCustomHotkeys();
        MapSecondaryHotkey();
        if (flags.hotkeySet) sim.EnableHotkeyInput();
        sim.AddMainMenuEventToGroup();
        sim.DefineObjectData();
    }
    sim.DefineAircraftData();
}

}  // namespace FSProcess

namespace FSProcess {

void Run()
{
    program::State& flags = Flags();
    SimConnectImpl& sim = Sim();

    ProcessLog().debug("Trying to connect to FS...");
    if (FAILED(sim.Open())) {
        ProcessLog().fatal("Not able to connect to FS! Shuting down...");
        return;
    }
    ProcessLog().debug("Connected to FS!");
    flags.connected = true;
    flags.hotkeySet = false;

    flags.externalMode = flags.objectCount == 0;
    if (flags.externalMode)
        LoopLog().warn("No SimObjects inside Lists! VELK runs in 'External Jetway Triggering Mode' only...");

    RegisterWithSimulator();
    ConnectComponents();

    if (flags.quit.load() == 0) {
        ProcessLog().debug("Entering FS Dispatch Loop.");
        while (flags.quit.load() == 0) {
            SimConnect_CallDispatch(sim.GetHandle(), Dispatch, nullptr);
            Sleep(1);
        }
    }

    ProcessLog().debug("Cleaning up Memory...");
    StopProcessWatchdog();
    Parts().ReleaseAtShutdown();

    ProcessLog().debug("Removing Top-Menu structure...");
    sim.RemoveTopMenu();
    ProcessLog().debug("Closing Connection to FS.");
    sim.Close();
}

void LogTermination()
{
    // The watchdog logs: it must be gone before the log is.
    StopProcessWatchdog();
    RootLog().info("Terminate VELK.");
    log4cpp::Category::shutdown();
}

void StartProcessWatchdog()
{
    program::State& flags = Flags();
    flags.watchdogQueue = CreateTimerQueue();
    ProcessLog().debug("Setting up Process Watchdog...");
    if (!flags.watchdogQueue)
        ProcessLog().error("Process Watchdog CreateTimerQueue failed (%d)\n", static_cast<int>(GetLastError()));

    HANDLE timer = nullptr;
    if (!CreateTimerQueueTimer(&timer, flags.watchdogQueue, OnProcessWatchdog, nullptr, 0, kWatchdogPeriodMs,
                               WT_EXECUTEINTIMERTHREAD)) {
        ProcessLog().error("Process Watchdog CreateTimerQueueTimer failed (%d)\n", static_cast<int>(GetLastError()));
        return;
    }
    // Deleting the queue ends its timer; a timer in the default queue must be deleted by itself.
    if (!flags.watchdogQueue) flags.watchdogTimer = timer;
}

void StopProcessWatchdog()
{
    program::State& flags = Flags();
    if (flags.watchdogQueue) {
        DeleteTimerQueueEx(flags.watchdogQueue, INVALID_HANDLE_VALUE);
        flags.watchdogQueue = nullptr;
    }
    if (flags.watchdogTimer) {
        DeleteTimerQueueTimer(nullptr, flags.watchdogTimer, INVALID_HANDLE_VALUE);
        flags.watchdogTimer = nullptr;
    }
}

std::string SimProcessName(const std::string& platform)
{
    const bool fsx = platform == "FSX" || platform == "FSX-SE" || platform == "FSX:SE";
    return fsx ? "fsx.exe" : "Prepar3D.exe";
}

bool IsProcessRunning(const std::string& name)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE || snapshot == nullptr) {
        program::WatchdogLog().error("Could not create Process Snapshot!");
        return false;
    }
    bool found = false;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
        entry.szExeFile[MAX_PATH - 1] = '\0';
        found = strcasecmp(entry.szExeFile, name.c_str()) == 0;
    }
    CloseHandle(snapshot);
    return found;
}

void OnProcessWatchdog(void*, BOOLEAN)
{
    if (IsProcessRunning(SimProcessName(Flags().targetPlatform))) return;
    program::WatchdogLog().fatal("Sim Process running test failed!");
    Flags().quit.store(1);
}

void CreateTopMenu()
{
    SimConnectImpl& sim = Sim();
    const program::State& flags = Flags();
    const Settings* settings = Parts().settings.get();
    const bool primaryDisabled = settings && settings->IsPrimaryHotkeyDisabled();
    const bool secondary = settings && settings->HasSecondaryTextMenuHotkey();
    const bool debugMode = settings && settings->IsDebugMode();

    LoopLog().info("Creating Top-Menu structure...");
    sim.AddTopMenu("VELK " + MakeVersionString());
    if (!flags.externalMode) {
        std::string item = secondary && !primaryDisabled ? "Text-Menu Commands: " : "Text-Menu Command: ";
        if (!primaryDisabled) item += flags.reservedKey;
        if (secondary) {
            if (!primaryDisabled) item += " ; ";
            item += settings->GetSecondaryTextMenuHotkey();
        }
        if (primaryDisabled && !secondary) item += "NONE";
        // The reserved key's event is mapped by the key request; without the primary hotkey nothing mapped
        // it, and the item maps it itself so that choosing it still opens the main menu.
        if (primaryDisabled) sim.AddTopMenuItem(item, EventReservedKey);
        else sim.AddTopMenuItemMapped(item, EventReservedKey);
    }
    sim.AddTopMenuItem("Test DLL Connection!", EventMenuTestDll);
    if (!flags.externalMode) {
        sim.AddTopMenuItem("Reload All!", EventMenuReloadAll);
        if (debugMode) sim.AddTopMenuItem("Dump SimObjects Map", EventMenuDumpMaps);
    }
    // The AI detection toggle removes and adds its own line; the menu offers it from the start whenever
    // AI detection is configured, named for what choosing it does. A program that only serves the jetway
    // requests of other programs offers nothing but the connection test (detection still runs as set).
    if (!flags.externalMode && settings && settings->IsAiDetectionEnabled() && Parts().aiMonitor) {
        const bool enabled = Parts().aiMonitor->IsAIDetectionEnabled();
        sim.AddTopMenuItem(enabled ? "Disable AI Traffic Detection" : "Enable AI Traffic Detection",
                           EventMenuAiDetection);
    }
    sim.SetTopMenuGroupPriority();
    LoopLog().info("Top-Menu created.");
}

}  // namespace FSProcess
