// orvane's start-up, run phase, process watchdog and dispatch handler.
#pragma once

#include "platform/simconnect/SimConnect.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class AIObject;
class EnviroDataProbe;
class LinkedSimObject;
class SimObject;
class StandData;
class UserAircraft;

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
// The components that talk to the simulator get the open connection; the jetway control is made over it.
void ConnectComponents();
// The jetway control's copy of the settings it reads ([JetwaySystem] ForceHorizontalJetwayForRotation and
// JetwaySoundEnable), taken again after every read of the settings file.
void PassSettingsToJetwayControl();
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

// Start-up steps 8 and 9: every component, in its order, with its progress line written once it exists.
void ConstructComponents();
// Start-up steps 11 and 12: the SimObjects folder map, the model check over every object read, the fast
// jetway setting.
void BuildInternalMaps();

// ---- Reload and sim-bubble cycle ------------------------------------------------------------------------
// Start-up (false) and "Reload All!" (true).
void ReloadAll(bool reload);
// Asks the simulator about every jetway with a job: an exception for the packet marks it unreachable.
void ProbeExternalObjects();
void InitDataRequests();
void RequestPositionInit(int mode);
// The program's bubble-update event (mode 0, 1 or 2) at the user aircraft's position.
void OnSimBubbleUpdate(int32_t mode, double latitude, double longitude, double altitudeFeet);
// The module has reset its jetways: removal, filtering and the first creation batch.
void UpdateSimBubble(double latitude, double longitude, double altitudeFeet);
// The next creation batch, or the probes when none is left.
void RefreshSimBubble();
// Injects active objects first .. first + count - 1; true when a creation was sent.
bool FilterNormalObjects(int32_t first, int32_t count);
// Injects every active probe; true when a creation was sent.
bool FilterProbeObjects();
// The simulator created part object `slot` (1 to 6) of a jetway.
void PlaceCreatedObject(uint32_t slot, SimObject* jetway, DWORD objectId);
// Shows the stand selection page again when it is on screen.
void ReopenStandsMenu();

// ---- Injection and removal ------------------------------------------------------------------------------
// Decides which model the object shows now and creates, replaces or removes its simulated object. The
// request id of a creation call that was sent, else 0.
int32_t InjectSimObject(SimObject* object, std::string reason);
// The bookkeeping after a removal: the object's running work stopped, out of the simulation.
void RemoveSimObject(SimObject* object, bool replacing);
// Switches a stand's jetway between its static (0) and its moving (1) model.
void SetStandJetwaysActive(bool active, SimObject* object);

// ---- Frame and periodic passes ---------------------------------------------------------------------------
void AnimateObjectsPerFrame();
void UpdateSeparationPlanes();
void UpdateVariableDrivenRotations();
void UpdateGroundPolygonShift();
// check: a COM record arrived (record, size); otherwise the one-second tick (record null).
void UpdateRadioClickTriggers(bool check, const uint8_t* record, size_t size);
void UpdateProximityTriggers();
// Jetway lights by time of day and the probe's visibility.
void ApplyTimeOfDayToJetway(SimObject* object, EnviroDataProbe* probe);

// ---- Object data and created objects -------------------------------------------------------------------
// The record of an object-data answer (SIMOBJECT_DATA), by request id.
void OnUserAircraftData(const uint8_t* record, size_t size);
void OnUserAircraftState(const uint8_t* record, size_t size);
void OnProbeWeather(DWORD objectId, const uint8_t* record, size_t size);
void OnDateTime(const uint8_t* record, size_t size);
void OnGroundAltitude(DWORD objectId, const uint8_t* record, size_t size);
// Feature 2: the density altitude from the probe's weather, written to the object's display.
void WriteDensityAltitude(SimObject* object, const EnviroDataProbe& probe);
// The simulator created an object the program asked for (ASSIGNED_OBJECT_ID).
void OnAssignedObjectId(DWORD requestId, DWORD objectId);
// The simulator refused a creation (exception CREATE_OBJECT_FAILED for that send id).
void OnCreateObjectFailed(DWORD sendId);
// Writes the stand's number to the jetway object (part null) or to one of its parts.
void WriteGateNumber(SimObject* object, LinkedSimObject* part);

// Builds the add-on menu.
void CreateTopMenu();

// ---- Menus -----------------------------------------------------------------------------------------------
// "VELK.ShowMainMenu": shows the main menu, or closes the main menu or the stand operations page when open.
void ShowMainTextMenu();
// Fills the main menu for the request (-1 or a custom command); true when the caller is to show it.
bool BuildTriggerObjectMenu(int32_t request);
// The ICAO code of the airport whose jetways or guidance displays are nearest the user aircraft, or "NONE".
std::string FindNearestAirport();
void ShowStandOperationsMenu();
void ShowStandsMenu();
void ShowJetwayMenu(bool fromStandOperations);
void ShowSubMenu();
// The simulator's answer (data) to one of the program's text menus, by its result event.
void OnMenuResult(DWORD event, DWORD data);

// ---- Stand selection and docking guidance ----------------------------------------------------------------
// The stand chosen in the stand menu becomes the selected one; true when it was selected already.
bool ActivateStandVdgs(bool showMessage);
void DeselectStand(bool showMessage);
void OnStandOccupiedByAi(const StandData& stand);
void ResetStandJetways(bool activate, const StandData& stand);
// "4sec": forgets the stand once the user aircraft has left it.
void CheckUserLeftStand();
// "6Hz": one tick of the active guidance display.
void UpdateVdgsGuidance();
// A guidance display of the active list, created in the simulator, enters the VDGS handler's stand map.
void RegisterVdgsDisplay(SimObject* object);
// Empties the VDGS handler's stand map (the active list is about to change).
void ResetVdgsDisplays();
// The object left the simulation for good: when it is the active guidance display, the handler forgets it.
void ForgetActiveVdgs(const SimObject* object);

// ---- Jetway jobs for the user aircraft and AI traffic ------------------------------------------------------
// Starts the first queued jetway job (origin 0 the user, 1 and 2 API clients); false when none started.
bool TriggerJetway(int32_t origin);
// Docks or undocks the jetway at the user aircraft's door as the user asked; queueOnly only queues a
// solvable jetway. False when no docking solution exists (or no jetway control).
bool OperateJetwayForUser(SimObject& jetway, const std::string& door, bool queueOnly);
void On4SecEvent();
void OnUserAircraftStateChange();
bool SelectUserAircraftStand(UserAircraft& user, bool showMessage);
bool DockUserJetways(int32_t origin);
bool UndockUserJetways(int32_t origin);
// The AI detection toggle; true while jetway jobs run (the toggle waits for them).
bool ToggleAiTrafficDetection();
// Whether the jetway was given a door of the AI aircraft.
bool DecideAiDocking(SimObject* jetway, AIObject& ai, const std::string& door, bool skipStaticSwitch, bool apiRequest);
// Sends the first tracked AI job to the module, one at a time.
void SendAiJetwayJob();
void UndockAiJetway(AIObject& ai);
// The module's reports: "VELK.JetwayAction.Done" (id x 10 + area), ".Intermediate" (id), ".DataReceived" (id).
void OnJetwayDone(DWORD data);
void OnJetwayIntermediate(DWORD data);
// The AI part of an Intermediate report for a jetway moving for an AI job.
void OnAiJetwayIntermediate(uint32_t jetwayId, SimObject& jetway);
void OnJetwayDataReceived(DWORD data);
// The jetway record of a finished job (request 89).
void OnJetwayReport(const uint8_t* record, size_t size);
// The three aircraft variables of the user aircraft (request 102).
void OnAircraftVariables(const uint8_t* record, size_t size);
// The loaded aircraft's file path (system state "AircraftLoaded").
void OnAircraftLoaded(const std::string& path);
// One answer of the AI traffic scan (request 90); size is the message's size.
void OnAiScanAnswer(const SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE& message, DWORD size);


// ---- API clients ---------------------------------------------------------------------------------------------
// One request record as read from "VELK.APIData.In" (or "VELK.APIData.Lite"), answered in its answer area
// and with its answer event. A record shorter than its area is dropped.
void OnApiJetwayQuery(const uint8_t* record, size_t size);
void OnApiJetwayTrigger(const uint8_t* record, size_t size);
void OnApiJetwayInform(const uint8_t* record, size_t size);
void OnApiStandInform(const uint8_t* record, size_t size);
void OnApiMassQuery(const uint8_t* record, size_t size);
void OnApiStandInformLite(const uint8_t* record, size_t size);
// The probe of a registered jetway found no object: the jetway and the parts made for it are dropped.
void DropUnreachableJetway(uint32_t id);

}  // namespace FSProcess
