// Object injection and removal.
#include "app/FSProcess.h"

namespace FSProcess {

int32_t InjectSimObject(SimObject*, std::string) { return 0; }
void RemoveSimObject(SimObject*, bool) {}
void SetStandJetwaysActive(bool, SimObject*) {}

}  // namespace FSProcess
