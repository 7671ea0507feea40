// brannet, the module the simulator loads: it takes jetway jobs out of the client-data areas
// "VELK.JetwayData.In.n", moves each jetway on its own timer and reports back through
// "VELK.JetwayData.Out.n"; it also answers connection checks and reads three aircraft variables through
// the simulator's gauge table.
//
// Everything runs on the simulator's thread except the jetway ticks (timer thread).
#pragma once

#include "jetway/core/JetwayCore.h"
#include "platform/simconnect/Gauges.h"
#include "platform/simconnect/SimConnect.h"

#include <cstddef>
#include <cstdint>
#include <string>

#if defined(_WIN32)
#define VELK_MODULE_EXPORT extern "C" __declspec(dllexport)
#else
#define VELK_MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Called by the simulator after loading the module; returns 0 whether or not the connection opened.
VELK_MODULE_EXPORT int DLLStart(void);
// Called before unloading: stops every jetway and closes the connection.
VELK_MODULE_EXPORT void DLLStop(void);
// The simulator stores its gauge table here before DLLStart.
extern "C" {
extern PANELS* Panels;
}

namespace brannet {

// The module's own ids on its connection.
namespace ids {
constexpr DWORD kAnimationDefinition = 0;
constexpr DWORD kPartPositionDefinition = 3;
constexpr DWORD kEventStart = 242424;
constexpr DWORD kEventDataReceived = 242425;
constexpr DWORD kEventDone = 242426;
constexpr DWORD kEventIntermediate = 242427;
constexpr DWORD kEventAbort = 242428;
constexpr DWORD kEventResetAll = 242429;
constexpr DWORD kEventConnectionCheck = 242430;
constexpr DWORD kEventReloadAll = 242431;
constexpr DWORD kEventAcftLVarsQuery = 242432;
constexpr DWORD kEventAcftLVarsResponse = 242433;
constexpr DWORD kEventImmediateStop = 242434;
constexpr DWORD kGroupJetway = 242424;
constexpr DWORD kGroupReload = 242425;
constexpr DWORD kAreaOutFirst = 242424;  // "VELK.JetwayData.Out.1" .. 242431 "Out.8"
constexpr DWORD kAreaInFirst = 242432;   // "VELK.JetwayData.In.1" .. 242435 "In.4"
constexpr DWORD kAreaAcftLVars = 242436;
constexpr DWORD kClientDefinitionRecord = 1;
constexpr DWORD kClientDefinitionLVars = 2;
constexpr DWORD kRequestInArea = 242424;
}  // namespace ids

constexpr double kUnreadableVariable = -0.123;

void ModuleDispatchProc(SIMCONNECT_RECV* data, DWORD size, void* context);
// The value of an aircraft variable through the gauge table; kUnreadableVariable when the name is empty,
// there is no table, or the table does not know the variable.
double ReadAircraftLVar(const char* name);
std::string BuildModuleVersionText();

// What the module holds, for the host's timeline and for tests.
HANDLE Connection();
size_t JetwayCount();
size_t PendingCount();
bool IsPending(uint32_t jetwayId);
bool IsResetRunning();
// The jetway of that id while it is in the map, else null.
const JetwayCore* FindJetway(uint32_t jetwayId);

}  // namespace brannet
