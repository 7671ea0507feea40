// The jetway control menu: door lines for one jetway and the user aircraft, and its answer handling.
// Main thread only.
#include "guidance/JetwayTextMenu.h"

#include "aircraft/UserAircraft.h"
#include "objects/Jetway.h"
#include "objects/SimObject.h"

#include <log4cpp/Category.hh>

namespace {

log4cpp::Category& MenuLog() { return log4cpp::Category::getRoot(); }

// Whether the exit's jetway is this object. Object id 0 names no object, and an id that reads as -1 in
// the exit's field would match every free door.
bool ServesDoor(const ExitData& exit, uint32_t objectId)
{
    const int32_t id = static_cast<int32_t>(objectId);
    return objectId != 0 && id != -1 && exit.GetJetwayId() == id;
}

}  // namespace

void JetwayTextMenu::Build(const SimObject* jetwayObject, bool useGroupName, const UserAircraft* aircraft)
{
    ClearBuffer();
    SetAnswered(false);
    SetTitle(fromStandOps_ ? kStandOpsTitle : kTitle);

    std::string name;
    if (jetwayObject) name = useGroupName ? jetwayObject->GetGroupName() : jetwayObject->GetNameSuffix();
    else MenuLog().error("[TEXTMENU] Jetway menu built without a jetway object");
    SetPrompt("Control " + name + ":");

    const uint32_t objectId = jetwayObject ? jetwayObject->GetObjectId() : 0;
    if (!built_ || objectId != builtJetwayId_) ResetPage();
    built_ = true;
    builtJetwayId_ = objectId;

    std::vector<std::string> lines;
    doorNames_.clear();
    const SimObjectModel* model = jetwayObject ? jetwayObject->GetCurrentModel() : nullptr;
    const Jetway* jetway = model ? model->GetJetway() : nullptr;
    if (jetwayObject && !aircraft) MenuLog().error("[TEXTMENU] Jetway menu built without the user aircraft");
    if (jetwayObject && aircraft && aircraft->HasExits()) {
        const bool docked = jetway && jetway->IsDocked();
        for (const auto& [door, exit] : SortExitsForDocking(aircraft->GetExits())) {
            if (!jetway || !jetway->HasConfig()) {
                lines.emplace_back(kNoConfigLine);
            } else if (docked) {
                if (!ServesDoor(exit, objectId)) continue;
                lines.push_back("Undock from Door " + door);
            } else {
                if (exit.GetJetwayId() != -1) continue;
                lines.push_back("Dock to Door " + door);
            }
            doorNames_.push_back(door);
        }
    }
    FSTextMenu::BuildPage(lines, kNoDoorText,
                          fromStandOps_ ? "BACK TO STAND OPTIONS MENU..." : "BACK TO MAIN MENU...", 0, 0);
}

JetwayMenuAnswer JetwayTextMenu::HandleAnswer(int32_t result)
{
    OnMenuResult(result);
    if (!IsAnswered()) return {};

    const int32_t id = GetSelectedId();
    switch (id) {
    case TextMenuPrevLine:
        PrevPage();
        return {JetwayMenuAction::ShowAgain, {}};
    case TextMenuNextLine:
        NextPage();
        return {JetwayMenuAction::ShowAgain, {}};
    case TextMenuExitLine:
    case TextMenuNoneLine:
        ResetPage();
        return {JetwayMenuAction::Back, {}};
    default:
        break;
    }
    if (id < 0 || static_cast<size_t>(id) >= doorNames_.size()) {
        MenuLog().warn("[TEXTMENU] Jetway menu answer (line %d, id %d) names no door; ignored", GetSelectedIndex(),
                       id);
        return {};
    }
    ResetPage();
    return {JetwayMenuAction::OperateDoor, doorNames_[static_cast<size_t>(id)]};
}
