// The menu handlers: the in-simulator text menus shown, filled and answered.
#include "app/FSProcess.h"

namespace FSProcess {

void ShowMainTextMenu() {}
bool BuildTriggerObjectMenu(int32_t) { return false; }
std::string FindNearestAirport() { return "NONE"; }
void ShowStandOperationsMenu() {}
void ShowStandsMenu() {}
void ShowJetwayMenu(bool) {}
void ShowSubMenu() {}
void OnMenuResult(DWORD, DWORD) {}

}  // namespace FSProcess
