// The reload and the sim-bubble cycle.
#include "app/FSProcess.h"

namespace FSProcess {

void ProbeExternalObjects() {}
void OnSimBubbleUpdate(int32_t, double, double, double) {}
void UpdateSimBubble(double, double, double) {}
void RefreshSimBubble() {}
bool FilterNormalObjects(int32_t, int32_t) { return false; }
bool FilterProbeObjects() { return false; }
void PlaceCreatedObject(uint32_t, SimObject*, DWORD) {}
void ReopenStandsMenu() {}

}  // namespace FSProcess
