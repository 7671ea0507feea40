// AI traffic: the scan of the aircraft around the user, the docking decisions and the AI jetway jobs.
#include "app/FSProcess.h"

namespace FSProcess {

bool ToggleAiTrafficDetection() { return false; }
bool DecideAiDocking(SimObject*, AIObject&, const std::string&, bool, bool) { return false; }
void SendAiJetwayJob() {}
void UndockAiJetway(AIObject&) {}
void OnAiJetwayIntermediate(uint32_t, SimObject&) {}
void OnJetwayDataReceived(DWORD) {}
void OnAiScanAnswer(const SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE&, DWORD) {}

}  // namespace FSProcess
