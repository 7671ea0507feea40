#include "app/Program.h"

#include "platform/process.h"
#include "sound/SoundBuffer.h"

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

Components& Parts()
{
    static Components parts;
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
    hotkeySet = false;
    topMenuCreated = false;
    frameCounter = 0;
    simStartSeen = false;
    positionInitialised = false;
    uiPositionChange = false;
    positionInitialisation = false;
    voiceCaptureActive = false;
    reservedKey[0] = '\0';
    lastMainMenuRequest = -1;
    reachabilityProbes.clear();
    notedSkips.clear();
    watchdogQueue = nullptr;
    watchdogTimer = nullptr;
}

}  // namespace program
