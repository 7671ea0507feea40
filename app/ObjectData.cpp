// Object data answers and created objects.
#include "app/FSProcess.h"

namespace FSProcess {

void OnUserAircraftData(const uint8_t*, size_t) {}
void OnUserAircraftState(const uint8_t*, size_t) {}
void OnProbeWeather(DWORD, const uint8_t*, size_t) {}
void OnDateTime(const uint8_t*, size_t) {}
void OnGroundAltitude(DWORD, const uint8_t*, size_t) {}
void WriteDensityAltitude(SimObject*, const EnviroDataProbe&) {}
void OnAssignedObjectId(DWORD, DWORD) {}
void OnCreateObjectFailed(DWORD) {}
void WriteGateNumber(SimObject*, LinkedSimObject*) {}

}  // namespace FSProcess
