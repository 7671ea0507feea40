// The frame and periodic object passes.
#include "app/FSProcess.h"

namespace FSProcess {

void AnimateObjectsPerFrame() {}
void UpdateSeparationPlanes() {}
void UpdateVariableDrivenRotations() {}
void UpdateGroundPolygonShift() {}
void UpdateRadioClickTriggers(bool, const uint8_t*, size_t) {}
void UpdateProximityTriggers() {}
void ApplyTimeOfDayToJetway(SimObject*, EnviroDataProbe*) {}

}  // namespace FSProcess
