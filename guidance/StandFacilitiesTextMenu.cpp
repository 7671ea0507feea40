// The stand operations menu: the lines of the selected stand's page and its answer handling.
// Main thread only.
#include "guidance/StandFacilitiesTextMenu.h"

#include "guidance/VDGSHandler.h"
#include "jetway/JetwayHandler.h"
#include "objects/SimObjectList.h"

#include <log4cpp/Category.hh>

#include <algorithm>
#include <set>
#include <utility>

namespace {

log4cpp::Category& MenuLog() { return log4cpp::Category::getRoot(); }

const Jetway* JetwayOf(const SimObject* object)
{
    const SimObjectModel* model = object ? object->GetCurrentModel() : nullptr;
    return model ? model->GetJetway() : nullptr;
}

// The first object of a nearby candidate; null for a record without a valid first index.
SimObject* FirstObject(SimObjectList& list, const CandidateRecord& record)
{
    return record.indices.empty() ? nullptr : list.At(record.indices.front());
}

// The exit this jetway is assigned to; "" when none. Object id 0 names no object, and an id that reads
// as -1 in the exit's field would match every free door.
std::string DoorOfJetway(const UserAircraft& aircraft, uint32_t objectId)
{
    const int32_t id = static_cast<int32_t>(objectId);
    if (objectId == 0 || id == -1) return {};
    return aircraft.GetExitNameOfJetway(id);
}

StandOpsAnswer Reply(StandOpsAction action, SimObject* object = nullptr, std::string door = {})
{
    return StandOpsAnswer{action, object, std::move(door)};
}

bool HasFreeDoor(const UserAircraft& aircraft)
{
    for (const auto& [name, exit] : aircraft.GetExits())
        if (exit.GetJetwayId() == -1) return true;
    return false;
}

}  // namespace

void StandFacilitiesTextMenu::SetAutoDockState(int32_t state)
{
    if (state < kAutoDockIdle || state > kAutoDockRunning) {
        MenuLog().error("[TEXTMENU] Auto-docking state %d refused; it stays %d", state, autoDockState_);
        return;
    }
    autoDockState_ = state;
}

void StandFacilitiesTextMenu::AddPlainItem(const std::string& text)
{
    AddItem({-1, TriggerMenuMessage, text, -1});
}

void StandFacilitiesTextMenu::Build(const StandData& stand, SimObjectList& activeList, int32_t configuration,
                                    const StandJetwayInfo& jetways, std::pair<uint32_t, uint32_t> facilities,
                                    const VDGSHandler& vdgs, const JetwayHandler& jetwayHandler)
{
    ResetAddedCount();
    ClearBuffer();
    ClearItems();
    builtEntries_.clear();
    SetTitle(kTitle);
    SetPrompt("Select Option for Stand '" + stand.GetDisplayName() + "':");
    jetwayLineStatus_ = kJetwayLinesOffered;

    const UserAircraft& aircraft = activeList.GetUserAircraft();
    const bool hasExits = aircraft.HasExits();

    // The stand's jetways and how they stand.
    std::set<uint32_t> standJetways;
    const uint32_t count = std::min(jetways.count, StandJetwayInfo::kSlots);
    for (uint32_t i = 0; i < count; ++i)
        if (jetways.objectIds[i] != 0) standJetways.insert(jetways.objectIds[i]);
    bool allUndocked = true, noneMoving = true;
    for (uint32_t id : standJetways) {
        const Jetway* jetway = JetwayOf(activeList.FindByObjectId(id));
        if (!jetway) continue;
        allUndocked = allUndocked && !jetway->IsDocked();
        noneMoving = noneMoving && !jetway->IsMoving();
    }
    if (autoDockState_ == kAutoDockSingle && (standJetways.empty() || (allUndocked && noneMoving)))
        autoDockState_ = kAutoDockIdle;

    // The automatic line.
    int32_t head = 0;
    if (autoDockState_ != kAutoDockSingle && hasExits && !standJetways.empty()) {
        if (autoDockState_ == kAutoDockIdle) {
            const int32_t line = allUndocked ? 3 : 4;
            AddCommandItem(TriggerMenuStandSub, &line);
        } else if (jetwayHandler.HasQueued()) {
            AddPlainItem(allUndocked ? "Automatic Docking in progress..." : "Automatic Undocking in progress...");
        } else {
            autoDockState_ = kAutoDockIdle;
            AddPlainItem("Unable to perform automatic docking!");
        }
        head = 1;
    }

    // One line per jetway of the stand that can be operated now.
    std::vector<CandidateRecord>& candidates = activeList.GetNearbyCandidates();
    std::set<uint32_t> found;
    if (autoDockState_ != kAutoDockRunning) {
        for (size_t i = 0; i < candidates.size() && found.size() < standJetways.size(); ++i) {
            SimObject* object = FirstObject(activeList, candidates[i]);
            if (!object || !object->HasFeature(FeatureJetway)) continue;
            const uint32_t id = object->GetObjectId();
            if (standJetways.count(id) == 0 || !found.insert(id).second) continue;
            const Jetway* jetway = JetwayOf(object);
            if (object->GetStandMembership().second != configuration || !hasExits || !jetway || !jetway->HasConfig())
                continue;
            std::string prefix;
            if (jetway->IsDocked()) {
                if (!DoorOfJetway(aircraft, id).empty()) prefix = "Undock ";
            } else if (!jetway->IsMoving() && HasFreeDoor(aircraft)) {
                prefix = "Dock ";
            }
            if (prefix.empty()) continue;
            AddObjectItem(prefix, object, static_cast<int32_t>(i), TriggerMenuJetway);
            builtEntries_[static_cast<int32_t>(i)] = id;
        }
        SortItemsByValue();
    }
    if (found.empty()) jetwayLineStatus_ = kNoStandJetwayFound;
    else if (!WasItemAdded()) jetwayLineStatus_ = kNoJetwayLineOffered;
    if (GetItemCount() == 0 && jetwayLineStatus_ == kNoJetwayLineOffered) {
        AddPlainItem(hasExits ? "All available Aircraft Doors already served!"
                              : "Selected aircraft has no exits defined!");
        head = 1;
    }

    // The stand's guidance display.
    bool vdgsFound = false;
    const uint32_t vdgsId = facilities.first != 0 ? facilities.second : 0;
    for (size_t i = 0; vdgsId != 0 && !vdgsFound && i < candidates.size(); ++i) {
        SimObject* object = FirstObject(activeList, candidates[i]);
        if (!object || !object->HasFeature(FeatureVDGS) || object->GetObjectId() != vdgsId) continue;
        vdgsFound = true;
        if (object->GetStandMembership().second != configuration) continue;
        const VDGSDisplayObject* active = vdgs.GetActiveVDGS();
        const bool isActive = active && active->GetObjectId() == vdgsId;
        AddObjectItem(isActive ? "Deactivate " : "Activate ", object, static_cast<int32_t>(i), TriggerMenuGuidance);
        builtEntries_[static_cast<int32_t>(i)] = vdgsId;
    }

    if (found.empty() && !vdgsFound && head == 0) ClearItems();

    // The stand can be left only while its jetways are parked.
    int32_t tail = 0;
    if (allUndocked && noneMoving) {
        const int32_t other = 2, deselect = 1;
        AddCommandItem(TriggerMenuStandSub, &other);
        AddCommandItem(TriggerMenuStandSub, &deselect);
        tail = 2;
    }
    BuildPage(kNoneText, head, tail);
}

StandOpsAnswer StandFacilitiesTextMenu::HandleAnswer(int32_t result, SimObjectList& activeList,
                                                     const VDGSHandler& vdgs)
{
    OnMenuResult(result);
    if (!IsAnswered()) return {};

    const int32_t id = GetSelectedId();
    switch (id) {
    case TextMenuPrevLine:
        PrevPage();
        return Reply(StandOpsAction::ShowAgain);
    case TextMenuNextLine:
        NextPage();
        return Reply(StandOpsAction::ShowAgain);
    case TextMenuExitLine:
    case TextMenuNoneLine:
        ResetPage();
        return {};
    default:
        break;
    }

    const TriggerMenuItem item = GetSelectedItem();
    switch (item.kind) {
    case TriggerMenuNothing:  // the page no longer matches the items (logged): show it anew
    case TriggerMenuMessage:
        return Reply(StandOpsAction::ShowAgain);
    case TriggerMenuStandSub:
        if (item.text == "Deselect current Stand...") return Reply(StandOpsAction::DeselectStand);
        if (item.text == "Select other Stand...") {
            standEventCode_ = 2;
            return Reply(StandOpsAction::SelectOtherStand);
        }
        if (item.text == "Auto-Dock Jetways" || item.text == "Auto-Undock Jetways") {
            autoDockState_ = kAutoDockRunning;
            return Reply(item.text == "Auto-Dock Jetways" ? StandOpsAction::AutoDock : StandOpsAction::AutoUndock);
        }
        return {};
    case TriggerMenuJetway:
    case TriggerMenuGuidance:
        break;
    default:
        return {};
    }

    // An object line: its entry must still name the object the line was built for.
    std::vector<CandidateRecord>& candidates = activeList.GetNearbyCandidates();
    if (item.entryIndex < 0 || static_cast<size_t>(item.entryIndex) >= candidates.size()) {
        MenuLog().warn("[TEXTMENU] Stand operations answer names entry %d, which the list does not have",
                       item.entryIndex);
        return Reply(StandOpsAction::ShowAgain);
    }
    const CandidateRecord& record = candidates[static_cast<size_t>(item.entryIndex)];
    if (record.indices.size() != 1) return {};
    SimObject* object = FirstObject(activeList, record);
    const auto built = builtEntries_.find(item.entryIndex);
    if (!object || object->GetObjectId() == 0 || built == builtEntries_.end() ||
        built->second != object->GetObjectId()) {
        MenuLog().warn("[TEXTMENU] Stand operations answer: entry %d no longer holds the object of '%s'",
                       item.entryIndex, item.text.c_str());
        return Reply(StandOpsAction::ShowAgain);
    }
    if (item.kind == TriggerMenuGuidance) {
        const VDGSDisplayObject* active = vdgs.GetActiveVDGS();
        const bool isActive = active && active->GetObjectId() == object->GetObjectId();
        return Reply(isActive ? StandOpsAction::DeactivateGuidance : StandOpsAction::ActivateGuidance, object);
    }
    return AnswerJetwayLine(*object, activeList);
}

StandOpsAnswer StandFacilitiesTextMenu::AnswerJetwayLine(SimObject& object, SimObjectList& activeList)
{
    autoDockState_ = kAutoDockSingle;
    const UserAircraft& aircraft = activeList.GetUserAircraft();
    if (!aircraft.HasExits()) return {};
    if (aircraft.GetExitCount() == 1) return Reply(StandOpsAction::OperateJetway, &object, aircraft.GetFirstExitName());

    const Jetway* jetway = JetwayOf(&object);
    if (!jetway || !jetway->IsDocked()) return Reply(StandOpsAction::OpenJetwayMenu, &object);
    const std::string door = DoorOfJetway(aircraft, object.GetObjectId());
    if (door.empty()) return {};
    return Reply(StandOpsAction::OperateJetway, &object, door);
}
