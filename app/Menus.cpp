// The menu handlers: which in-simulator text menu is shown, with which content, under which result event,
// and what the user's answer to each does.
#include "app/FSProcess.h"

#include "app/HandlerSupport.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "foundation/GeoMath.h"
#include "guidance/JetwayTextMenu.h"
#include "guidance/StandFacilitiesTextMenu.h"
#include "guidance/StandTextMenu.h"
#include "guidance/TriggerObjectTextMenu.h"
#include "guidance/VDGSHandler.h"
#include "guidance/VarDrivenAnimationSubMenu.h"
#include "jetway/JetwayControl.h"
#include "jetway/JetwayHandler.h"
#include "objects/AnimationDataContainer.h"
#include "objects/Jetway.h"
#include "objects/SimObjectList.h"
#include "platform/clock.h"

#include <log4cpp/Category.hh>

#include <cstdio>
#include <optional>

using namespace velk_ids;
using program::Flags;
using program::LoopLog;
using program::Parts;
using program::Sim;
using program::User;

namespace {

constexpr DWORD kMenuPauseMs = 24;
constexpr DWORD kAnswerPauseMs = 25;
constexpr int32_t kTriggerSlot = AnimationDataContainer::kFirstTriggerableSlot;

SimObjectList* Active()
{
    return Parts().activeObjects.get();
}

void Show(FSTextMenu& menu, DWORD resultEvent)
{
    menu.MarkShowSent(GetTickCount());
    // The whole block, as the simulator takes a menu: the empty entries after the last line end it.
    Sim().ShowTextMenu(resultEvent, menu.GetBuffer(), menu.GetBufferSize());
}

// A show of this menu is on its way to the simulator: asking for it again (any client can send the menu
// events, as fast as it likes) neither waits nor sends it again.
bool ShowPending(const FSTextMenu& menu)
{
    return menu.IsShowPending(GetTickCount());
}

void Reshow(DWORD event, bool lowPriority)
{
    const auto data = static_cast<DWORD>(Flags().lastMainMenuRequest);
    if (lowPriority) Sim().TransmitEventWithDataLowPriority(event, data);
    else Sim().TransmitEventWithData(event, data);
}

std::string MainMenuTitle(int32_t request)
{
    const CustomCommandList* commands = Parts().customCommands.get();
    if (request >= 0 && commands && static_cast<size_t>(request) < commands->size())
        return "VELK: " + (*commands)[static_cast<size_t>(request)].third;
    return "Orvane " + MakeVersionString();
}

void ResetMainMenuText(int32_t request)
{
    TriggerObjectTextMenu& menu = program::TriggerMenu();
    menu.ClearBuffer();
    menu.SetPrompt("Choose action");
    menu.SetTitle(MainMenuTitle(request));
}

// The object a candidate record names first; null for a record that is out of range or empty.
SimObject* FirstObjectOf(int32_t record, size_t* count = nullptr)
{
    SimObjectList* active = Active();
    if (!active || record < 0) return nullptr;
    std::vector<CandidateRecord>& candidates = active->GetNearbyCandidates();
    if (static_cast<size_t>(record) >= candidates.size()) return nullptr;
    const std::vector<int32_t>& indices = candidates[static_cast<size_t>(record)].indices;
    if (count) *count = indices.size();
    if (indices.empty()) return nullptr;
    return active->At(indices.front());
}

// Every object a candidate record names (its group), checked against the active list.
std::vector<SimObject*> ObjectsOf(int32_t record)
{
    std::vector<SimObject*> objects;
    SimObjectList* active = Active();
    if (!active || record < 0) return objects;
    std::vector<CandidateRecord>& candidates = active->GetNearbyCandidates();
    if (static_cast<size_t>(record) >= candidates.size()) return objects;
    for (int32_t index : candidates[static_cast<size_t>(record)].indices)
        if (SimObject* object = active->At(index)) objects.push_back(object);
    return objects;
}

// The flagged custom commands: those with a key stroke and a menu title.
bool IsFlaggedCommand(size_t n)
{
    const CustomCommandList* commands = Parts().customCommands.get();
    if (!commands || n >= commands->size()) return false;
    const StringTriple& command = (*commands)[n];
    return !command.second.empty() && !command.third.empty();
}

std::string NoneText()
{
    const int32_t radius = static_cast<int32_t>(program::TriggerRange());
    char text[128];
    std::snprintf(text, sizeof(text), "No triggerable objects found within %.1fNM / %dkm...", radius / 1852.0,
                  radius / 1000);
    return text;
}

bool IgnoresRadius(const SimObject& object)
{
    const SimObjectModel* model = object.GetCurrentModel();
    if (!model) return false;
    if (model->GetTriggVisibility()->GetIgnoreRadiusFilter()) return true;
    const TriggAnimationData* animation = model->GetAnimations()->GetTriggerableAnimation(kTriggerSlot);
    return animation && animation->GetIgnoreRadiusFilter();
}

void AddObjectItems(TriggerObjectTextMenu& menu, const SimObject& object, int32_t record)
{
    const bool present = object.IsInSimulation();
    if (object.HasObjectFeature(FeatureTriggVisibilityTextMenu) && !object.HasObjectFeature(FeatureJetway) &&
        !object.HasObjectFeature(FeatureVDGS))
        menu.AddObjectItem("", &object, record, TriggerMenuVisibility);
    if (object.HasObjectFeature(FeatureTriggAnimationTextMenu) && present)
        menu.AddObjectItem("", &object, record, TriggerMenuAnimation);
    if (object.HasObjectFeature(FeatureControllableAnimation) && present)
        menu.AddObjectItem("", &object, record, TriggerMenuControl);
    if (object.HasObjectFeature(FeatureGroupTriggVisibilityTextMenu))
        menu.AddObjectItem("", &object, record, TriggerMenuGroupVisibility);
    if (object.HasObjectFeature(FeatureGroupTriggAnimationTextMenu) && present)
        menu.AddObjectItem("", &object, record, TriggerMenuGroupAnimation);
    if (object.HasObjectFeature(FeatureGroupControllableAnimation) && present)
        menu.AddObjectItem("", &object, record, TriggerMenuGroupControl);
}

// ---- answers -------------------------------------------------------------------------------------------

void ToggleVisibility(SimObject& object, int32_t kind)
{
    if (object.HasMultipleModels() && kind == TriggerMenuVisibility) {
        const int16_t previous = object.GetCurrentModelIndex();
        const auto next = static_cast<int16_t>((previous + 1) % object.GetModelCount());
        object.SetCurrentModelIndex(next);
        object.GetCurrentModel()->GetTriggVisibility()->SetSecondFlag(true);
        object.GetCurrentModel()->GetTriggVisibility()->SetVisible(true);
        object.SetCurrentModelIndex(previous);
        object.GetCurrentModel()->GetTriggVisibility()->SetSecondFlag(false);
        object.GetCurrentModel()->GetTriggVisibility()->SetVisible(false);
    } else if (SimObjectModel* model = object.GetCurrentModel()) {
        TriggVisibilityData& trigger = *model->GetTriggVisibility();
        trigger.ToggleState();
        if (trigger.GetState()) {
            trigger.SetSecondFlag(false);
            trigger.SetVisible(true);
        } else {
            object.SetCreatedSimTitle(object.GetCurrentSimTitle());
            trigger.SetSecondFlag(true);
            trigger.SetVisible(false);
        }
    }
    FSProcess::InjectSimObject(&object, "TriggVis MenuItem");
}

// false when the object is not in the simulation (nothing happened).
bool ToggleAnimation(SimObject& object)
{
    SimObjectModel* model = object.GetCurrentModel();
    if (object.GetObjectId() == 0 || !model) return false;
    TriggAnimationData* animation = model->GetAnimations()->GetTriggerableAnimation(kTriggerSlot);
    if (animation) animation->ToggleState();
    const DWORD id = object.GetObjectId();
    const std::atomic<bool>* paused = program::PausedFlag();
    const bool ran =
        model->GetAnimations()->RunTriggeredAnimation(paused, [id](double bits) { Sim().SetVelocityBodyZ(id, bits); });
    if (!ran) Sim().TransmitEventToObjectLowPriority(id, EventFreezeToggle);
    return true;
}

void OnMainMenuAnswer()
{
    TriggerObjectTextMenu& menu = program::TriggerMenu();
    const int32_t line = menu.GetSelectedId();
    if (line == TextMenuNextLine || line == TextMenuPrevLine) {
        if (line == TextMenuNextLine) menu.NextPage();
        else menu.PrevPage();
        Reshow(EventShowMainMenu, true);
    } else if (line == TextMenuExitLine || line == TextMenuNoneLine) {
        menu.ResetPage();
    } else if (line == TextMenuFixedLine) {
        if (menu.GetSelectedItem().kind == TriggerMenuStand) Reshow(EventShowStandsMenu, true);
        menu.ResetPage();
    } else if (menu.WasItemAdded()) {
        const TriggerMenuItem item = menu.GetSelectedItem();
        const std::vector<SimObject*> objects = ObjectsOf(item.entryIndex);
        // The list may have changed since the page was built: an item that names nothing now shows the
        // main menu again.
        if (objects.empty()) Reshow(EventShowMainMenu, false);
        bool toggled = false;
        for (SimObject* object : objects) {
            switch (item.kind) {
            case TriggerMenuJetway: Sim().TransmitEventWithDataLowPriority(EventShowJetwayMenu, 0); break;
            case TriggerMenuControl:
            case TriggerMenuGroupControl: Sim().TransmitEventWithDataLowPriority(EventShowSubMenu, 0); break;
            case TriggerMenuVisibility:
            case TriggerMenuGroupVisibility:
                ToggleVisibility(*object, item.kind);
                toggled = true;
                break;
            case TriggerMenuAnimation:
            case TriggerMenuGroupAnimation: toggled = ToggleAnimation(*object) || toggled; break;
            default: break;
            }
        }
        if (toggled) {
            Sleep(kMenuPauseMs);
            Reshow(EventShowMainMenu, true);
        }
    }
    Sleep(kAnswerPauseMs);
    if (menu.IsDisplayed()) menu.SetDisplayed(false);
}

void OnStandPageAnswer(int32_t result)
{
    StandTextMenu& menu = program::StandMenu();
    switch (menu.HandleAnswer(result)) {
    case StandMenuAction::None: break;
    case StandMenuAction::ShowStandsMenu: Reshow(EventShowStandsMenu, true); break;
    case StandMenuAction::ShowMainMenu: Reshow(EventShowMainMenu, false); break;
    case StandMenuAction::ActivateStand:
        FSProcess::ActivateStandVdgs(true);
        menu.BackupSelection();
        Reshow(EventShowStandsMenu, false);
        break;
    }
    if (!menu.IsAnswered()) return;
    Sleep(kAnswerPauseMs);
    menu.SetDisplayed(false);
}

void OnAnimationPageAnswer(int32_t result)
{
    VarDrivenAnimationSubMenu& page = program::AnimationMenu();
    const SubMenuAction action = page.HandleAnswer(result);
    if (action == SubMenuAction::None) return;
    if (action != SubMenuAction::Exit) {
        const std::vector<SimObject*> objects = ObjectsOf(program::TriggerMenu().GetSelectedItem().entryIndex);
        // The list may have been rebuilt since the page was built: an entry that no longer names the
        // page's object moves nothing and shows the main menu again.
        const bool stale = objects.empty() || objects.front()->GetObjectId() == 0 ||
                           objects.front()->GetObjectId() != page.GetBuiltObjectId();
        if (!stale) {
            for (SimObject* object : objects) {
                SimObjectModel* model = object->GetCurrentModel();
                ControllableAnimationData* animation =
                    model ? model->GetAnimations()->GetControllableAnimation(0) : nullptr;
                if (!animation) continue;
                if (const std::optional<double> position = VarDrivenAnimationSubMenu::ApplyAction(action, *animation))
                    Sim().SetVelocityBodyZ(object->GetObjectId(), *position);
            }
        }
        if (stale || action == SubMenuAction::BackToMainMenu) Reshow(EventShowMainMenu, false);
        else Sim().TransmitEventWithData(EventShowSubMenu, 0);
    }
    // An answered page has left the screen.
    page.SetDisplayed(false);
    program::TriggerMenu().SetDisplayed(false);
}

// The jetway a door line of the jetway page operates: the first object of the item chosen where the page
// was opened, and only while it is still the jetway the page was built for.
SimObject* JetwayOfPage(const JetwayTextMenu& page)
{
    TriggerObjectTextMenu& chooser =
        page.IsFromStandOps() ? static_cast<TriggerObjectTextMenu&>(program::StandOpsMenu()) : program::TriggerMenu();
    SimObject* object = FirstObjectOf(chooser.GetSelectedItem().entryIndex);
    if (!object || object->GetObjectId() == 0 || object->GetObjectId() != page.GetBuiltJetwayId()) return nullptr;
    return object;
}

bool OperateForUser(SimObject& jetway, const std::string& door)
{
    if (Parts().jetwayHandler) Parts().jetwayHandler->ClearPendingDoors();
    return FSProcess::OperateJetwayForUser(jetway, door, false);
}

void OnJetwayPageAnswer(int32_t result)
{
    JetwayTextMenu& page = program::JetwayMenu();
    const JetwayMenuAnswer answer = page.HandleAnswer(result);
    const bool fromStandOps = page.IsFromStandOps();
    switch (answer.action) {
    case JetwayMenuAction::None: break;
    case JetwayMenuAction::ShowAgain:
        Sim().TransmitEventWithDataLowPriority(fromStandOps ? EventShowJetwayMenuStandOps : EventShowJetwayMenu, 0);
        break;
    case JetwayMenuAction::Back:
        if (fromStandOps) Reshow(EventShowStandsMenu, true);
        else Reshow(EventShowMainMenu, false);
        break;
    case JetwayMenuAction::OperateDoor:
        // A page whose jetway has gone (the list was rebuilt since) shows the main menu, and only it: the
        // stand operations page it came from is gone as well.
        if (SimObject* jetway = JetwayOfPage(page)) {
            OperateForUser(*jetway, answer.door);
            if (fromStandOps) Reshow(EventShowStandsMenu, true);
        } else {
            Reshow(EventShowMainMenu, false);
        }
        break;
    }
    if (!page.IsAnswered()) return;
    Sleep(kAnswerPauseMs);
    page.SetDisplayed(false);
}

void OnStandOpsPageAnswer(int32_t result)
{
    program::Components& parts = Parts();
    StandFacilitiesTextMenu& menu = program::StandOpsMenu();
    if (!Active() || !parts.vdgsHandler) return;
    const StandOpsAnswer answer = menu.HandleAnswer(result, *Active(), *parts.vdgsHandler);
    bool reshow = true;
    switch (answer.action) {
    case StandOpsAction::None: reshow = false; break;
    case StandOpsAction::ShowAgain: break;
    case StandOpsAction::DeselectStand:
        FSProcess::DeselectStand(true);
        reshow = false;
        break;
    case StandOpsAction::SelectOtherStand:
        program::StandMenu().BackupSelection();
        program::StandMenu().SetMode(StandTextMenu::kModeCategory);
        break;
    case StandOpsAction::AutoDock: FSProcess::DockUserJetways(0); break;
    case StandOpsAction::AutoUndock: FSProcess::UndockUserJetways(0); break;
    case StandOpsAction::OpenJetwayMenu:
        Sim().TransmitEventWithDataLowPriority(EventShowJetwayMenuStandOps, 0);
        reshow = false;
        break;
    case StandOpsAction::OperateJetway:
        if (answer.object) OperateForUser(*answer.object, answer.door);
        break;
    case StandOpsAction::ActivateGuidance:
        if (answer.object) {
            parts.vdgsHandler->SetCurrentStand(program::StandMenu().GetSelectedStand());
            answer.object->SelectModel(1);
            FSProcess::InjectSimObject(answer.object, "VDGS Manual Activation");
        }
        break;
    case StandOpsAction::DeactivateGuidance:
        if (answer.object) {
            if (SimObjectModel* model = answer.object->GetCurrentModel()) model->GetVDGS()->SetStateStandby();
            answer.object->SelectModel(0);
            FSProcess::InjectSimObject(answer.object, "VDGS Manual De-Activation");
            parts.vdgsHandler->ClearActiveVDGS();
        }
        break;
    }
    if (reshow) Reshow(EventShowStandsMenu, true);
    if (!menu.IsAnswered()) return;
    Sleep(kAnswerPauseMs);
    menu.SetDisplayed(false);
}

}  // namespace

namespace FSProcess {

void ShowMainTextMenu()
{
    if (ShowPending(program::TriggerMenu())) return;
    Sleep(kMenuPauseMs);
    const int32_t request = Flags().lastMainMenuRequest;
    ResetMainMenuText(request);
    TriggerObjectTextMenu& menu = program::TriggerMenu();
    StandFacilitiesTextMenu& standOps = program::StandOpsMenu();
    if (!menu.IsDisplayed() && !standOps.IsDisplayed()) {
        if (!program::StandMenu().IsDisplayed() && BuildTriggerObjectMenu(request)) Show(menu, EventMainMenuResult);
        return;
    }
    if (menu.IsDisplayed()) {
        Sim().CloseTextMenu(EventMainMenuResult);
        menu.SetDisplayed(false);
    }
    if (standOps.IsDisplayed()) {
        Sim().CloseTextMenu(EventStandOpsPageResult);
        standOps.SetDisplayed(false);
    }
}

bool BuildTriggerObjectMenu(int32_t request)
{
    TriggerObjectTextMenu& menu = program::TriggerMenu();
    SimObjectList* active = Active();
    UserAircraft* user = User();
    menu.ResetAddedCount();
    menu.ClearItems();
    if (!active || !user) return false;
    active->SortByDistance();

    int32_t head = 0;
    StandTextMenu& stands = program::StandMenu();
    if (FindNearestAirport() != "NONE") {
        if (user->IsParkingBrakeSet() && !stands.IsStandSelected()) SelectUserAircraftStand(*user, true);
        menu.AddCommandItem(TriggerMenuStand, &stands);
        head = 1;
    }
    const std::vector<CandidateRecord>& candidates = active->GetNearbyCandidates();
    for (size_t record = 0; record < candidates.size(); ++record) {
        if (candidates[record].indices.empty()) continue;
        const SimObject* object = active->At(candidates[record].indices.front());
        if (!object || object->GetStandMembership().second != request) continue;
        const double distance = GeoMath::HaversineDistance(user->GetLatitude(), user->GetLongitude(),
                                                           object->GetLatitude(), object->GetLongitude());
        if (!(distance <= static_cast<int32_t>(program::TriggerRange())) && !IgnoresRadius(*object)) continue;
        AddObjectItems(menu, *object, static_cast<int32_t>(record));
    }
    const std::string noneText = NoneText();

    if (menu.GetItemCount() == 0) {
        program::State& flags = Flags();
        std::vector<int32_t> tries;
        if (request != -1) tries.push_back(-1);
        const CustomCommandList* commands = Parts().customCommands.get();
        for (size_t n = 0; commands && n < commands->size(); ++n)
            if (static_cast<int32_t>(n) != request && IsFlaggedCommand(n)) tries.push_back(static_cast<int32_t>(n));
        for (int32_t other : tries) {
            flags.lastMainMenuRequest = other;
            if (FindNearestAirport() != "NONE") {
                ResetMainMenuText(other);
                return BuildTriggerObjectMenu(other);
            }
            flags.lastMainMenuRequest = request;
        }
        menu.BuildPage(noneText, 0, 0);
        return true;
    }
    if (menu.GetItemCount() == 1 && menu.GetItems().front().kind == TriggerMenuStand && stands.IsStandSelected()) {
        ShowStandOperationsMenu();
        return false;
    }
    menu.BuildPage(noneText, head, 0);
    return true;
}

std::string FindNearestAirport()
{
    SimObjectList* active = Active();
    UserAircraft* user = User();
    if (!active || !user) return "NONE";
    program::NearestByKey airports;
    for (const CandidateRecord& candidate : active->GetNearbyCandidates()) {
        if (candidate.indices.empty()) continue;
        const SimObject* object = active->At(candidate.indices.front());
        if (!object || object->GetStandMembership().second != Flags().lastMainMenuRequest) continue;
        const double distance = GeoMath::HaversineDistance(user->GetLatitude(), user->GetLongitude(),
                                                           object->GetLatitude(), object->GetLongitude());
        if (!(distance < program::kStandSearchMetres)) continue;
        const std::string code = object->GetStandData().GetAirportIcao();
        if (object->HasObjectFeature(FeatureJetway) && object->IsInSimulation()) airports.Record(code, distance);
        if (object->HasObjectFeature(FeatureVDGS) && object->IsInSimulation()) airports.Record(code, distance);
    }
    return airports.Nearest(program::kStandSearchMetres).value_or("NONE");
}

void ShowStandOperationsMenu()
{
    if (ShowPending(program::StandOpsMenu())) return;
    Sleep(kMenuPauseMs);
    program::Components& parts = Parts();
    if (!parts.jetwayHandler || !parts.vdgsHandler || !Active()) return;
    const StandData stand = program::StandMenu().GetSelectedStand();
    const StandJetwayInfo jetways = parts.jetwayHandler->GetStandJetwayInfo(
        stand.GetAirportIcao(), stand.GetGateName(), static_cast<uint32_t>(stand.GetParkingNumber()));
    const auto vdgs =
        parts.vdgsHandler->FindStandVDGS(stand.GetAirportIcao(), stand.GetGateName(), stand.GetParkingNumber());
    StandFacilitiesTextMenu& menu = program::StandOpsMenu();
    menu.Build(stand, *Active(), Flags().lastMainMenuRequest, jetways, vdgs, *parts.vdgsHandler, *parts.jetwayHandler);
    Show(menu, EventStandOpsPageResult);
}

void ShowStandsMenu()
{
    if (ShowPending(program::StandMenu())) return;
    Sleep(kMenuPauseMs);
    program::Components& parts = Parts();
    if (!parts.jetwayHandler || !parts.vdgsHandler) return;
    StandTextMenu& menu = program::StandMenu();
    menu.Build(FindNearestAirport(), *parts.jetwayHandler, *parts.vdgsHandler);
    Show(menu, EventStandPageResult);
}

void ShowJetwayMenu(bool fromStandOperations)
{
    if (ShowPending(program::JetwayMenu())) return;
    Sleep(kMenuPauseMs);
    JetwayTextMenu& page = program::JetwayMenu();
    TriggerObjectTextMenu& chooser =
        fromStandOperations ? static_cast<TriggerObjectTextMenu&>(program::StandOpsMenu()) : program::TriggerMenu();
    page.SetFromStandOps(fromStandOperations);
    size_t count = 0;
    SimObject* object = FirstObjectOf(chooser.GetSelectedItem().entryIndex, &count);
    if (object) page.Build(object, count > 1, User());
    Show(page, EventJetwayPageResult);
}

void ShowSubMenu()
{
    if (ShowPending(program::AnimationMenu())) return;
    Sleep(kMenuPauseMs);
    VarDrivenAnimationSubMenu& page = program::AnimationMenu();
    size_t count = 0;
    SimObject* object = FirstObjectOf(program::TriggerMenu().GetSelectedItem().entryIndex, &count);
    if (object) page.Build(object, count > 1);
    Show(page, EventAnimationPageResult);
}

void OnMenuResult(DWORD event, DWORD data)
{
    const auto result = static_cast<int32_t>(data);
    switch (event) {
    case EventMainMenuResult: {
        TriggerObjectTextMenu& menu = program::TriggerMenu();
        menu.OnMenuResult(result);
        if (menu.IsAnswered()) OnMainMenuAnswer();
        break;
    }
    case EventAnimationPageResult: OnAnimationPageAnswer(result); break;
    case EventJetwayPageResult: OnJetwayPageAnswer(result); break;
    case EventStandPageResult: OnStandPageAnswer(result); break;
    case EventStandOpsPageResult: OnStandOpsPageAnswer(result); break;
    default: break;
    }
}

}  // namespace FSProcess
