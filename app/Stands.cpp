// Stand selection and the docking guidance driver.
#include "app/FSProcess.h"

namespace FSProcess {

bool ActivateStandVdgs(bool) { return false; }
void DeselectStand(bool) {}
void OnStandOccupiedByAi(const StandData&) {}
void ResetStandJetways(bool, const StandData&) {}
void CheckUserLeftStand() {}
void UpdateVdgsGuidance() {}

}  // namespace FSProcess
