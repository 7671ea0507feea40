// Jetway jobs for the user aircraft: docking and undocking by aircraft state, the module's reports.
#include "app/FSProcess.h"

namespace FSProcess {

void On4SecEvent() {}
void OnUserAircraftStateChange() {}
bool SelectUserAircraftStand(UserAircraft&, bool) { return false; }
bool DockUserJetways(int32_t) { return false; }
bool UndockUserJetways(int32_t) { return false; }
void OnJetwayDone(DWORD) {}
void OnJetwayIntermediate(DWORD) {}
void OnJetwayReport(const uint8_t*, size_t) {}
void OnAircraftVariables(const uint8_t*, size_t) {}
void OnAircraftLoaded(const std::string&) {}

}  // namespace FSProcess
