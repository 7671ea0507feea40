// orvane's start-up, run phase, process watchdog and dispatch handler.
#pragma once

#include "platform/simconnect/SimConnect.h"

#include <string>
#include <vector>

// The program's entry: the steps before, around and after the run phase. Takes the runtime's argument
// count and vector; returns 0 on every path.
int WinMain(int argc, char** argv);

// "1.7.1".
std::string MakeVersionString();
// One text per command-line argument, from first up to (not including) last.
std::vector<std::string> MakeArgumentList(char** first, char** last);
// Same length and same bytes.
bool StringEquals(const std::string& a, const std::string& b);

namespace FSProcess {

// Connects, registers, runs the dispatch loop until the quit flag is set, shuts down.
void Run();
// Every registration of the run phase, in its order (the external mode leaves some out).
void RegisterWithSimulator();
// Stops the watchdog (waiting for a running check), logs "Terminate VELK." and shuts the log down.
void LogTermination();

void StartProcessWatchdog();
// Deletes the watchdog's queue (or timer), waiting for a running check. Safe to call again.
void StopProcessWatchdog();
void OnProcessWatchdog(void* context, BOOLEAN timerFired);
// "fsx.exe" for the FSX platforms, else "Prepar3D.exe".
std::string SimProcessName(const std::string& platform);
// Whether a process of that name (any case) runs; false with an ERROR line when there is no snapshot.
bool IsProcessRunning(const std::string& name);

// The SimConnect dispatch callback.
void Dispatch(SIMCONNECT_RECV* data, DWORD size, void* context);

// Start-up (false) and "Reload All!" (true).
void ReloadAll(bool reload);
void InitDataRequests();
void RequestPositionInit(int mode);
// Builds the add-on menu.
void CreateTopMenu();

}  // namespace FSProcess
