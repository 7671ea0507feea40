// Stand selection and the docking guidance driver: the stand's guidance display switched on and off, its
// jetways put into or out of the simulation, the stand forgotten when the user aircraft leaves it, the
// six-times-a-second guidance, and gate numbers.
#include "app/FSProcess.h"

#include "app/HandlerSupport.h"
#include "app/Program.h"
#include "aircraft/AircraftConfigData.h"
#include "guidance/GateNumberBox.h"
#include "guidance/StandFacilitiesTextMenu.h"
#include "guidance/StandTextMenu.h"
#include "guidance/VDGSHandler.h"
#include "jetway/JetwayHandler.h"
#include "jetway/LinkedSimObjectHandler.h"
#include "objects/Jetway.h"
#include "objects/SimObjectList.h"

#include <log4cpp/Category.hh>

#include <map>
#include <memory>

using namespace velk_ids;
using program::Flags;
using program::LoopLog;
using program::Parts;
using program::Sim;
using program::SoundJetway;
using program::User;

namespace {

constexpr double kSelectionMessageSeconds = 6.0;
constexpr double kDeselectionMessageSeconds = 2.0;
constexpr int32_t kJetwayTypeN = 2;
constexpr int32_t kJetwayTypeT = 3;

// A guidance display of the active list as the VDGS handler sees it. The object lives in the active list;
// the displays are dropped together with the handler's stand map whenever the list is rebuilt.
class SimObjectVdgsDisplay : public VDGSDisplayObject {
public:
    explicit SimObjectVdgsDisplay(SimObject& object) : object_(object) {}
    const StandData& GetStandData() const override { return object_.GetStandData(); }
    uint32_t GetObjectId() const override { return object_.GetObjectId(); }
    double GetLatitude() const override { return object_.GetLatitude(); }
    double GetLongitude() const override { return object_.GetLongitude(); }
    double GetHeading() const override { return object_.GetHeading(); }
    VDGS* GetCurrentVDGS() override
    {
        SimObjectModel* model = object_.GetCurrentModel();
        return model ? model->GetVDGS() : nullptr;
    }
    SimObject& Object() { return object_; }

private:
    SimObject& object_;
};

std::map<const SimObject*, std::unique_ptr<SimObjectVdgsDisplay>>& Displays()
{
    static std::map<const SimObject*, std::unique_ptr<SimObjectVdgsDisplay>> displays;
    return displays;
}

// The active guidance display's object; null when none is active.
SimObject* ActiveVdgsObject()
{
    VDGSHandler* handler = Parts().vdgsHandler.get();
    if (!handler || !handler->GetActiveVDGS()) return nullptr;
    for (auto& entry : Displays())
        if (entry.second.get() == handler->GetActiveVDGS()) return &entry.second->Object();
    return nullptr;
}

void SwitchModel(SimObject& object, int32_t model, const char* reason)
{
    object.SelectModel(model);
    FSProcess::InjectSimObject(&object, reason);
}

// Switches the active display off and forgets it.
void SwitchActiveVdgsOff(const char* reason)
{
    SimObject* object = ActiveVdgsObject();
    if (!object) return;
    if (SimObjectModel* model = object->GetCurrentModel()) model->GetVDGS()->SetStateStandby();
    SwitchModel(*object, 0, reason);
    Parts().vdgsHandler->ClearActiveVDGS();
}

std::vector<SimObject*> StandJetways(const StandData& stand)
{
    const JetwayHandler* handler = Parts().jetwayHandler.get();
    if (!handler || !stand.IsSet()) return {};
    return handler->GetStandJetways(stand.GetAirportIcao(), stand.GetGateName(),
                                    static_cast<uint32_t>(stand.GetParkingNumber()), false);
}

// A stand whose single jetway docks at the nose door: the guidance aims at door "1L".
bool IsNoseDoorStand(const StandData& stand)
{
    const std::vector<SimObject*> jetways = StandJetways(stand);
    if (jetways.size() != 1 || !jetways.front() || !Parts().activeObjects) return false;
    SimObject* object = Parts().activeObjects->FindByObjectId(jetways.front()->GetObjectId());
    if (!object || !object->GetCurrentModel()) return false;
    const int32_t type = static_cast<int32_t>(object->GetCurrentModel()->GetJetway()->GetRecord().JetwayType);
    return type == kJetwayTypeN || type == kJetwayTypeT;
}

bool StandOpsMenuDisplayed()
{
    return program::StandOpsMenu().IsDisplayed();
}

void StandOpsMenuClose()
{
    if (!StandOpsMenuDisplayed()) return;
    Sim().CloseTextMenu(EventStandOpsPageResult);
    program::StandOpsMenu().SetDisplayed(false);
}

}  // namespace

namespace FSProcess {

void RegisterVdgsDisplay(SimObject* object)
{
    VDGSHandler* handler = Parts().vdgsHandler.get();
    if (!object || !handler) return;
    std::unique_ptr<SimObjectVdgsDisplay>& display = Displays()[object];
    if (!display) display = std::make_unique<SimObjectVdgsDisplay>(*object);
    handler->RegisterVDGS(display.get());
}

void ForgetActiveVdgs(const SimObject* object)
{
    if (object && ActiveVdgsObject() == object) Parts().vdgsHandler->ClearActiveVDGS();
}

void ResetVdgsDisplays()
{
    if (Parts().vdgsHandler) Parts().vdgsHandler->Reset();
    Displays().clear();
}

bool ActivateStandVdgs(bool showMessage)
{
    StandTextMenu& menu = program::StandMenu();
    menu.SetMode(StandTextMenu::kModeSelected);
    menu.ResetPage();
    const StandData selected = menu.GetSelectedStand();
    std::string message = selected.Describe();
    if (menu.IsSameAsPrevious()) {
        if (showMessage) Sim().PrintMessageFor(message, kSelectionMessageSeconds);
        return true;
    }
    if (SimObject* active = ActiveVdgsObject()) {
        // The old display's guidance ends with its switched-on model: chosen again, it starts from standby.
        if (SimObjectModel* model = active->GetCurrentModel()) model->GetVDGS()->SetStateStandby();
        SwitchModel(*active, 0, "VDGS De-Activation due to new Stand selection");
    }
    ResetStandJetways(false, menu.GetPreviousStand());

    if (VDGSHandler* handler = Parts().vdgsHandler.get()) {
        handler->SetCurrentStand(selected);
        if (SimObject* display = ActiveVdgsObject()) {
            display->SelectModel(1);
            message += "\nA-VDGS is activated...";
            InjectSimObject(display, "VDGS Activation");
        }
    }
    ResetStandJetways(true, selected);
    if (showMessage) Sim().PrintMessageFor(message, kSelectionMessageSeconds);
    return false;
}

void DeselectStand(bool showMessage)
{
    UserAircraft* user = User();
    if (user) user->ResetStoredPosition();
    SwitchActiveVdgsOff("VDGS De-Activation due to Deselection of Stand");
    StandTextMenu& menu = program::StandMenu();
    ResetStandJetways(false, menu.GetSelectedStand());
    if (user) user->ResetExitStates();
    menu.Reset();
    menu.SetMode(StandTextMenu::kModeCategory);
    if (showMessage) Sim().PrintMessageFor("[VELK] Stand deselected!", kDeselectionMessageSeconds);
}

void OnStandOccupiedByAi(const StandData& stand)
{
    StandTextMenu& menu = program::StandMenu();
    if (!menu.IsStandSelected() || !menu.IsSelectedStand(stand)) return;
    SwitchActiveVdgsOff("VDGS De-Activation due to Deselection of Stand");
    menu.Reset();
    menu.SetMode(StandTextMenu::kModeCategory);
    ReopenStandsMenu();
    Sim().PrintMessageFor("[VELK] Your selected Stand has just been occupied by AI. Select another one...",
                          kSelectionMessageSeconds);
}

void ResetStandJetways(bool activate, const StandData& stand)
{
    SimObjectList* active = Parts().activeObjects.get();
    if (!active) return;
    // The ids first: switching a jetway's model may re-create it under a new id.
    std::vector<uint32_t> ids;
    for (SimObject* jetway : StandJetways(stand))
        if (jetway && jetway->GetObjectId() != 0) ids.push_back(jetway->GetObjectId());
    for (uint32_t id : ids) {
        SimObject* object = active->FindByObjectId(id);
        if (!object || !object->GetCurrentModel()) continue;
        Jetway& jetway = *object->GetCurrentModel()->GetJetway();
        if (jetway.IsMoving()) {
            if (Jetway* sound = SoundJetway(*object)) sound->StopSound();
            if (UserAircraft* user = User()) user->ResetExitStates();
            Sim().TransmitEventWithData(EventJetwayAbort, id);
            continue;
        }
        if (!object->HasMultipleModels() && jetway.IsDocked()) {
            program::WriteRestPose(*object, jetway);
            if (Parts().linkedObjectHandler) Parts().linkedObjectHandler->MoveParts(object);
            object->GetModel(0)->GetJetway()->SetDocked(false);
        }
        SetStandJetwaysActive(activate, object);
    }
}

void CheckUserLeftStand()
{
    UserAircraft* user = User();
    if (!user || !user->HasStoredPosition() || !user->HasLeftStoredPosition()) return;
    if (!program::StandMenu().IsStandSelected()) return;
    DeselectStand(false);
    StandOpsMenuClose();
}

void UpdateVdgsGuidance()
{
    VDGSHandler* handler = Parts().vdgsHandler.get();
    UserAircraft* user = User();
    if (!handler || !user || !handler->GetActiveVDGS()) return;
    SimObject* display = ActiveVdgsObject();
    const std::string type = Parts().aircraftConfig ? Parts().aircraftConfig->GetICAOType() : std::string();
    const VDGSGuidanceOutcome outcome =
        handler->StepGuidance(*user, type, IsNoseDoorStand(program::StandMenu().GetSelectedStand()));
    if (outcome.ended) {
        if (display) SwitchModel(*display, 0, "VDGS De-Activation");
        handler->ClearActiveVDGS();
        if (StandOpsMenuDisplayed()) ShowStandOperationsMenu();
        return;
    }
    if (outcome.writeRecord && outcome.display) {
        const VdgsDisplayRecord record = outcome.record.ToArray();
        Sim().SetVdgsDisplay(outcome.display->GetObjectId(), &record);
    }
}

}  // namespace FSProcess
