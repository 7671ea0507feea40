// The airport handlers against the in-process simulator: the module's job reports, the aircraft variables,
// the user's undocking, a docked jetway put to rest when the stand changes, the main menu with its
// fallbacks, and the stand search.
#include "app/FSProcess.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "guidance/StandFacilitiesTextMenu.h"
#include "guidance/StandTextMenu.h"
#include "guidance/TriggerObjectTextMenu.h"
#include "guidance/VarDrivenAnimationSubMenu.h"
#include "guidance/VDGSHandler.h"
#include "jetway/AIMonitor.h"
#include "jetway/JetwayHandler.h"
#include "jetway/core/JetwayCodec.h"
#include "link/ApiCodec.h"
#include "link/SeasonalObjectHandler.h"
#include "link/SimStatus.h"
#include "objects/AnimationDataContainer.h"
#include "objects/ControllableAnimationData.h"
#include "objects/InjectionQueue.h"
#include "objects/Jetway.h"
#include "objects/SimObjectList.h"
#include "platform/clock.h"
#include "scenery/SimBubble.h"
#include "simulator/Simulator.h"
#include "tests/app/CoreTestSupport.h"
#include "tests/support/ProgramParts.h"
#include "tests/support/JetwayRecords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace coretest;
using namespace velk_ids;
using program::Flags;
using program::Parts;
using program::Sim;

namespace {

constexpr double kLatitude = 48.1;
constexpr double kLongitude = 11.5;
constexpr double kMetresPerDegree = 6378137.0 * 3.141592653589793 / 180.0;

class AirportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::MakeProgramParts({.customCommands = 0, .objects = true, .injection = true, .jetways = true});
        Flags().objectCount = 1;
        sim.ServeInProcess();
        ASSERT_EQ(Sim().Open(), S_OK);
        FSProcess::RegisterWithSimulator();
        Drain(Sim().GetHandle());
        MoveUser(0.0);
        program::StandOpsMenu().SetAutoDockState(StandFacilitiesTextMenu::kAutoDockIdle);
        program::StandOpsMenu().SetDisplayed(false);
        program::TriggerMenu().SetDisplayed(false);
        program::StandMenu().Reset();
        program::StandMenu().SetDisplayed(false);
        log.Clear();
    }
    void TearDown() override
    {
        Sim().Close();
        testsupport::ClearProgramParts();
    }

    SimObjectList& List() { return *Parts().activeObjects; }
    UserAircraft& User() { return List().GetUserAircraft(); }

    // The user aircraft `north` metres north of the airport's reference point.
    void MoveUser(double north)
    {
        const double block[UserAircraft::kSimDataCount] = {kLatitude + north / kMetresPerDegree, kLongitude, 1650.0};
        ASSERT_TRUE(User().SetFromSimData(block, UserAircraft::kSimDataCount));
    }

    // An object `north` metres north of the reference point, in the simulation under `id`, listed as a
    // nearby candidate of its own.
    SimObject& AddObject(const std::string& name, std::vector<int32_t> features, uint32_t id, double north = 0.0,
                         const std::string& icao = "XVLK")
    {
        SimObject object;
        object.SetName(name);
        SimObjectModel& model = object.AddModel(name + " Title");
        for (int32_t feature : features) {
            model.GetFeatures()->Set(feature);
            object.SetFeature(feature);
        }
        const double latitude = kLatitude + north / kMetresPerDegree;
        object.SetPlacement(latitude, kLongitude, 1650.0, false, false, 0, 0, 0);
        object.GetStandData().Set(icao, "GATE A", 1, "", "", false);
        object.SetStandMembership(false, -1);
        if (id != 0) {
            object.SetInSimulation(true);
            object.SetObjectId(id);
        }
        List().Add(object);
        CandidateRecord record;
        record.indices = {List().Count() - 1};
        List().GetNearbyCandidates().push_back(record);
        return *List().At(List().Count() - 1);
    }

    void SendReport(const JetwayData& record)
    {
        const auto bytes = EncodeJetwayData(record);
        FSProcess::OnJetwayReport(bytes.data(), bytes.size());
    }

    TempMachineRoot root;
    LogCapture log;
    simulator::Simulator sim;
};

// Done carries jetway id x 10 + result area; only areas 1 to 8 are asked for, never for jetway 0, and
// only for a jetway whose job is running and has no result asked for yet: any client can send the event.
TEST_F(AirportTest, DoneReportsWaitOnlyForAValidAreaAndARunningJob)
{
    SimObject& object = AddObject("Jetway:A1", {FeatureJetway}, 12345);
    Jetway& jetway = *object.GetCurrentModel()->GetJetway();
    JetwayData running = jetway.GetRecord();
    running.JetwayObjectId = 12345;
    jetway.SetJetwayData(running);
    struct Row {
        const char* why;
        std::vector<DWORD> data;
        bool job;
        uint32_t waiting;  // 0: none
        bool fatal;
    };
    const Row rows[] = {
        {"a running job", {123457}, true, 12345, false},
        {"area 0", {123450}, true, 0, true},
        {"area 9", {123459}, true, 0, true},
        {"jetway 0", {7}, true, 0, false},
        {"no job running", {123457}, false, 0, false},
        {"the same job again", {123457, 123453, 123457}, true, 12345, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        JetwayHandler& handler = *Parts().jetwayHandler;
        handler.Reset();
        if (row.job) handler.RegisterJetway(jetway);
        log.Clear();
        for (DWORD data : row.data) FSProcess::OnJetwayDone(data);
        EXPECT_EQ(row.waiting, handler.FrontAwaitingReport());
        EXPECT_EQ(row.waiting != 0 ? 1u : 0u, handler.GetAwaitingReportCount());
        EXPECT_EQ(row.job, handler.IsRegistered(12345));
        EXPECT_EQ(row.fatal, log.Has("FATAL VELK.FSLOOP : [DLL:CLIENTDATA] Invalid Client Data Area Channel '" +
                                     std::to_string(row.data[0] % 10) + "' received!"));
    }
}

// An intermediate report ends the waiting of the running jetway's door; any client can send it, and for a
// jetway whose job is not running it changes nothing.
TEST_F(AirportTest, IntermediateReportTakesOnlyARunningJobsDoor)
{
    SimObject& first = AddObject("Jetway:A1", {FeatureJetway}, 12345);
    AddObject("Jetway:A2", {FeatureJetway}, 12346);
    Jetway& jetway = *first.GetCurrentModel()->GetJetway();
    JetwayData running = jetway.GetRecord();
    running.JetwayObjectId = 12345;
    jetway.SetJetwayData(running);
    JetwayHandler& handler = *Parts().jetwayHandler;
    for (const bool job : {false, true}) {
        SCOPED_TRACE(job ? "job running" : "no job");
        handler.Reset();
        handler.AddPendingDoor(12345);
        handler.AddPendingDoor(12346);
        if (job) handler.RegisterJetway(jetway);
        FSProcess::OnJetwayIntermediate(12346);  // queued, not running
        FSProcess::OnJetwayIntermediate(12345);
        const std::vector<uint32_t> expected = job ? std::vector<uint32_t>{12346} : std::vector<uint32_t>{12345, 12346};
        EXPECT_EQ(handler.GetPendingDoors(), expected);
    }
}

TEST_F(AirportTest, ReportWithNoJobWaitingIsLoggedAndDropped)
{
    SimObject& object = AddObject("Jetway:A1", {FeatureJetway}, 12345);
    JetwayData record;
    record.JetwayObjectId = 12345;
    record.Docked = true;
    SendReport(record);
    EXPECT_TRUE(log.Has("ERROR VELK.FSLOOP : [DLL:CLIENTDATA] Jetway report of jetway 12345 with no job waiting, dropped"));
    EXPECT_FALSE(object.GetCurrentModel()->GetJetway()->IsDocked());

    // A record that cannot be read takes the waiting job out and changes nothing else.
    Parts().jetwayHandler->PushAwaitingReport(12345);
    const uint8_t shortRecord[16] = {};
    FSProcess::OnJetwayReport(shortRecord, sizeof(shortRecord));
    EXPECT_EQ(0u, Parts().jetwayHandler->GetAwaitingReportCount());
    EXPECT_FALSE(object.GetCurrentModel()->GetJetway()->IsDocked());
}

TEST_F(AirportTest, FinishedUserJobIsStoredAndEndsTheAutomaticDocking)
{
    SimObject& object = AddObject("Jetway:A1", {FeatureJetway}, 12345);
    Jetway& jetway = *object.GetCurrentModel()->GetJetway();
    jetway.SetMoving(true);
    program::StandOpsMenu().SetAutoDockState(StandFacilitiesTextMenu::kAutoDockRunning);
    Parts().jetwayHandler->PushAwaitingReport(12345);

    JetwayData record = jetway.GetRecord();
    record.JetwayObjectId = 12345;
    record.OutChannel = 3;
    record.Moving = false;
    record.Docked = true;
    SendReport(record);
    EXPECT_TRUE(jetway.IsDocked());
    EXPECT_FALSE(jetway.IsMoving());
    EXPECT_EQ(0u, jetway.GetRecord().OutChannel) << "the result area is not kept";
    EXPECT_EQ(StandFacilitiesTextMenu::kAutoDockIdle, program::StandOpsMenu().GetAutoDockState());
}

// The finished job of a jetway an API client operated is answered to the client: the status in
// "VELK.APIData.Out", then "VELK.JetwayTriggerStatus", whose data names the jetway only when an AI aircraft
// stands at its stand. A job whose jetway is gone is answered too, with data 0.
TEST_F(AirportTest, FinishedApiJobIsAnsweredToTheClient)
{
    struct Row {
        const char* what;
        bool jetwayThere;
        bool aiAtStand;
        bool aborted;
        uint32_t status;
        DWORD eventData;
    };
    const Row rows[] = {{"docked", true, false, false, 3, 0},
                        {"docked at an AI aircraft", true, true, false, 3, 123453},
                        {"aborted", true, false, true, 6, 0},
                        {"jetway gone", false, false, false, 7, 0},
                        {"jetway gone while aborting", false, false, true, 6, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Parts().jetwayHandler->Reset();
        List().Empty();
        if (row.jetwayThere) {
            SimObject& object = AddObject("Jetway:A1", {FeatureJetway}, 12345);
            object.GetCurrentModel()->GetJetway()->SetMoving(true);
            object.GetStandData().SetOccupiedByAI(row.aiAtStand);
        }
        Parts().jetwayHandler->AddActive(12345);
        Parts().jetwayHandler->PushAwaitingReport(12345);
        Drain(Sim().GetHandle());

        JetwayData record;
        record.JetwayObjectId = 12345;
        record.Docked = true;
        record.AbortRequested = row.aborted;
        SendReport(record);

        const auto out = sim.ClientData("VELK.APIData.Out");
        ASSERT_TRUE(out.has_value());
        api_wire::StatusAnswer answer;
        ASSERT_TRUE(api_wire::DecodeTriggerStatus(out->data(), out->size(), answer));
        EXPECT_EQ(12345u, answer.jetwayId);
        EXPECT_EQ(row.status, answer.status);
        EXPECT_EQ(2u, answer.version);
        int answers = 0;
        for (const auto& message : Drain(Sim().GetHandle())) {
            if (Kind(message) != SIMCONNECT_RECV_ID_EVENT) continue;
            const auto event = As<SIMCONNECT_RECV_EVENT>(message);
            if (event.uEventID != EventJetwayTriggerStatus) continue;
            EXPECT_EQ(row.eventData, event.dwData);
            ++answers;
        }
        EXPECT_EQ(1, answers);
        EXPECT_FALSE(Parts().jetwayHandler->IsActive(12345));
        if (row.jetwayThere) {
            const Jetway& jetway = *List().FindByObjectId(12345)->GetCurrentModel()->GetJetway();
            EXPECT_FALSE(jetway.IsMoving());
            EXPECT_EQ(!row.aborted, jetway.IsDocked());
        }
    }
}

// A report whose record names another jetway than the one waiting is taken for the waiting one: it stops,
// and its docked state turns over from what it was.
TEST_F(AirportTest, MismatchedReportIsTakenForTheWaitingJetway)
{
    SimObject& object = AddObject("Jetway:A1", {FeatureJetway}, 12345);
    Jetway& jetway = *object.GetCurrentModel()->GetJetway();
    jetway.SetDocked(false);
    Parts().jetwayHandler->PushAwaitingReport(12345);
    JetwayData record = jetway.GetRecord();
    record.JetwayObjectId = 999;
    record.Moving = true;
    record.Docked = false;
    SendReport(record);
    EXPECT_EQ(12345u, jetway.GetRecord().JetwayObjectId);
    EXPECT_FALSE(jetway.IsMoving());
    EXPECT_TRUE(jetway.IsDocked());
}

TEST_F(AirportTest, AircraftVariablesOverrideBrakeAndBeaconOnlyForTheirProfile)
{
    struct Row {
        const char* label;
        bool uses;
        int32_t profile;
        bool active;
        bool brake, beacon;
    };
    const Row rows[] = {
        {"profile 2", true, 2, true, true, false},
        {"other profile", true, 0, false, false, false},
        {"no variables", false, 2, false, false, false},
    };
    const double values[3] = {1.0, 0.2, 7.0};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        User().SetBeaconOverride(false, false);
        User().SetParkingBrakeOverride(false, false);
        User().SetUsesLVars(row.uses);
        User().SetLVarProfile(row.profile);
        FSProcess::OnAircraftVariables(reinterpret_cast<const uint8_t*>(values), sizeof(values));
        EXPECT_EQ(row.active, User().IsParkingBrakeOverrideActive());
        EXPECT_EQ(row.active, User().IsBeaconOverrideActive());
        EXPECT_EQ(row.brake, User().GetParkingBrakeOverrideValue());
        EXPECT_EQ(row.beacon, User().GetBeaconOverrideValue());
    }
    // A short record changes nothing.
    User().SetUsesLVars(true);
    User().SetLVarProfile(2);
    User().SetBeaconOverride(false, false);
    FSProcess::OnAircraftVariables(reinterpret_cast<const uint8_t*>(values), 8);
    EXPECT_FALSE(User().IsBeaconOverrideActive());
}

TEST_F(AirportTest, UndockingThatStartsNothingLeavesNothingQueued)
{
    Parts().jetwayHandler->AddPendingDoor(4711);
    program::StandOpsMenu().SetAutoDockState(StandFacilitiesTextMenu::kAutoDockRunning);
    EXPECT_FALSE(FSProcess::UndockUserJetways(0));
    EXPECT_EQ(0u, Parts().jetwayHandler->GetPendingDoorCount());
    EXPECT_EQ(StandFacilitiesTextMenu::kAutoDockIdle, program::StandOpsMenu().GetAutoDockState());
}

// Jetways and guidance displays in the simulation within 5000 m name their airport; a code reached
// through several objects keeps the running average of their distances.
// A jetway with one model has no static model to fall back to: docked at the stand the user leaves for
// another, it is put back to its rest pose.
TEST_F(AirportTest, ADockedJetwayOfOneModelGoesBackToRestWhenTheStandChanges)
{
    SIMCONNECT_DATA_INITPOSITION at{};
    at.Latitude = kLatitude;
    at.Longitude = kLongitude;
    ASSERT_EQ(SimConnect_AICreateSimulatedObject(Sim().GetHandle(), "Jetway Title", at, 1), S_OK);
    DWORD id = 0;
    for (const Message& m : Drain(Sim().GetHandle()))
        if (Kind(m) == SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID) id = As<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(m).dwObjectID;
    ASSERT_NE(id, 0u);
    SimObject& object = AddObject("XVLK:Jetway A1", {FeatureJetway}, id, 30.0);
    object.GetStandData().Set("XVLK", "GATE_A", 1, "", "", false);
    Jetway& jetway = *object.GetCurrentModel()->GetJetway();
    jetway.SetJetwayData(testsupport::TypeAJetwayRecord());
    jetway.SetConfig(true);
    jetway.SetDocked(true);
    Parts().jetwayHandler->AddStandJetway(&object);
    ASSERT_FALSE(object.HasMultipleModels());

    // The user's stand is the jetway's; then stand 2 is chosen.
    StandTextMenu& stands = program::StandMenu();
    stands.OnSelect("XVLK:GATE_A");
    stands.SetSelectedStandNumber(1);
    stands.BackupSelection();
    stands.SetSelectedStandNumber(2);
    FSProcess::ActivateStandVdgs(false);
    EXPECT_FALSE(object.GetModel(0)->GetJetway()->IsDocked());
    EXPECT_TRUE(sim.Number(id, "ACCELERATION BODY Z", "Number").has_value()) << "the rest pose was written";
}

TEST_F(AirportTest, NearestAirportIsTheClosestCodeByRunningAverage)
{
    EXPECT_EQ("NONE", FSProcess::FindNearestAirport());
    AddObject("Jetway:Far", {FeatureJetway}, 11, 5100.0, "XFAR");
    EXPECT_EQ("NONE", FSProcess::FindNearestAirport()) << "beyond 5000 m";
    AddObject("Jetway:Out", {FeatureJetway}, 0, 10.0, "XOUT");
    EXPECT_EQ("NONE", FSProcess::FindNearestAirport()) << "only objects in the simulation count";
    AddObject("Jetway:B", {FeatureJetway}, 12, 1000.0, "XBBB");
    AddObject("Jetway:A1", {FeatureJetway}, 13, 600.0, "XAAA");
    EXPECT_EQ("XAAA", FSProcess::FindNearestAirport());
    // 600 then 1600: (600 + 1600) / 2 = 1100 puts XAAA behind XBBB.
    AddObject("Jetway:A2", {FeatureJetway}, 14, 1600.0, "XAAA");
    EXPECT_EQ("XBBB", FSProcess::FindNearestAirport());
}

class MainMenuTest : public AirportTest {
protected:
    void SetUp() override
    {
        AirportTest::SetUp();
        Parts().simBubble.reset(new SimBubble(program::LoopLog(), nullptr, nullptr));
    }

    platform::ScopedManualClock clock;
};

// A menu that comes out empty tries the others before it says there is nothing: the main menu, then every
// command with a key and a title; the first whose objects make an airport near the aircraft is built. A
// main menu that would hold nothing but the stand line of a selected stand opens that stand's page.
TEST_F(MainMenuTest, AnEmptyMenuFallsBackAndALoneStandLineOpensTheStandsPage)
{
    struct Row {
        const char* name;
        int32_t request;
        int32_t jetwayMembership;  // the one jetway's menu; -2 for no jetway at all
        bool standSelected;
        bool built;                // false: the stand operations page was shown instead
        int32_t requestAfter;
        const char* firstLine;     // of the page built
    };
    const Row rows[] = {
        {"empty command falls back to the main menu", 0, -1, false, true, -1, "Select Stand..."},
        {"empty main menu falls back to another command", -1, 1, false, true, 1, "Select Stand..."},
        {"nothing anywhere says so", 0, -2, false, true, 0, "No triggerable objects found within 6.5NM / 12km..."},
        {"only the stand line of a selected stand", -1, -1, true, false, -1, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        List().Empty();
        List().GetNearbyCandidates().clear();
        CustomCommandList& commands = *Parts().customCommands;
        commands.clear();
        commands.push_back({"Stairs", "Ctrl+Shift+1", "Stairs"});
        commands.push_back({"Carts", "Ctrl+Shift+2", "Carts"});
        program::StandMenu().Reset();
        program::StandOpsMenu().SetDisplayed(false);
        if (row.standSelected) {
            program::StandMenu().OnSelect("XVLK:GATE A");
            program::StandMenu().SetSelectedStandNumber(1);
        }
        if (row.jetwayMembership != -2)
            AddObject("Jetway:A1", {FeatureJetway}, 31, 50.0).SetStandMembership(false, row.jetwayMembership);
        Flags().lastMainMenuRequest = row.request;
        Drain(Sim().GetHandle());

        EXPECT_EQ(row.built, FSProcess::BuildTriggerObjectMenu(row.request));
        EXPECT_EQ(row.requestAfter, Flags().lastMainMenuRequest);
        const std::vector<std::string>& lines = program::TriggerMenu().GetLineTexts();
        if (row.built) EXPECT_EQ(row.firstLine, lines.empty() ? "" : lines.front()) << ::testing::PrintToString(lines);
        const auto shown = sim.OpenMenu();
        if (row.built) EXPECT_FALSE(shown.has_value());
        else EXPECT_TRUE(shown.has_value() && shown->title == "VELK Stand Operations");
    }
}

TEST_F(MainMenuTest, ObjectsWithinTheMenuRadiusAreListedAndFarOnesAreNot)
{
    AddObject("Barrier:Road", {FeatureTriggVisibilityTextMenu}, 21, 100.0);
    AddObject("Barrier:Far", {FeatureTriggVisibilityTextMenu}, 22, 13000.0);
    // As far, but marked to be offered at any distance: by the visibility trigger or by the animation.
    SimObject& marked = AddObject("Barrier:Marked", {FeatureTriggVisibilityTextMenu}, 23, 13000.0);
    marked.GetCurrentModel()->GetTriggVisibility()->SetIgnoreRadiusFilter(true);
    SimObject& lamp = AddObject("Lamp:Marked", {FeatureTriggAnimationTextMenu}, 24, 13000.0);
    lamp.GetCurrentModel()->GetAnimations()->GetTriggerableAnimation(AnimationDataContainer::kFirstTriggerableSlot)
        ->SetIgnoreRadiusFilter(true);
    ASSERT_TRUE(FSProcess::BuildTriggerObjectMenu(-1));
    const TriggerObjectTextMenu& menu = program::TriggerMenu();
    std::vector<std::string> texts;
    for (const TriggerMenuItem& item : menu.GetItems()) texts.push_back(item.text);
    ASSERT_EQ(3u, menu.GetItemCount()) << ::testing::PrintToString(texts);
    EXPECT_EQ("Road [V]", texts[0].substr(texts[0].size() - 8));
    EXPECT_NE(texts[1].find("Marked"), std::string::npos) << texts[1];
    EXPECT_NE(texts[2].find("Marked"), std::string::npos) << texts[2];

    List().Empty();
    List().GetNearbyCandidates().clear();
    ASSERT_TRUE(FSProcess::BuildTriggerObjectMenu(-1));
    EXPECT_EQ(0u, program::TriggerMenu().GetItemCount());
    bool none = false;
    for (const std::string& line : program::TriggerMenu().GetLineTexts())
        none = none || line == "No triggerable objects found within 6.5NM / 12km...";
    EXPECT_TRUE(none);
}

TEST_F(MainMenuTest, TheMenuKeyClosesAnOpenMainMenu)
{
    AddObject("Barrier:Road", {FeatureTriggVisibilityTextMenu}, 21, 100.0);
    program::TriggerMenu().SetDisplayed(true);
    FSProcess::ShowMainTextMenu();
    EXPECT_FALSE(program::TriggerMenu().IsDisplayed());
    // While the stand selection page is open the key does nothing.
    program::StandMenu().SetDisplayed(true);
    FSProcess::ShowMainTextMenu();
    EXPECT_FALSE(program::TriggerMenu().IsDisplayed());
    EXPECT_TRUE(program::StandMenu().IsDisplayed());
}

// The list may change between the page and the answer: an item whose candidate record is gone shows
// the main menu again instead of acting on another object.
TEST_F(MainMenuTest, AnAnswerForAVanishedEntryShowsTheMainMenuAgain)
{
    SimObject& barrier = AddObject("Barrier:Road", {FeatureTriggVisibilityTextMenu}, 21, 100.0);
    ASSERT_TRUE(FSProcess::BuildTriggerObjectMenu(-1));
    const int32_t shownState = barrier.GetCurrentModel()->GetTriggVisibility()->GetState();
    List().GetNearbyCandidates().clear();
    Drain(Sim().GetHandle());
    // The first line of the page is the barrier's item.
    FSProcess::OnMenuResult(EventMainMenuResult, 0);
    EXPECT_EQ(shownState, barrier.GetCurrentModel()->GetTriggVisibility()->GetState());
    const auto events = OfKind<SIMCONNECT_RECV_EVENT>(Drain(Sim().GetHandle()), SIMCONNECT_RECV_ID_EVENT);
    bool mainMenu = false;
    for (const auto& event : events) mainMenu = mainMenu || event.uEventID == EventShowMainMenu;
    EXPECT_TRUE(mainMenu);
}

// Stairs raised and lowered from the controllable-animation page, listed as the main menu's only item.
SimObject& AddStairs(SimObject& stairs)
{
    stairs.SetCurrentModelIndex(0);
    ControllableAnimationData& animation = *stairs.GetCurrentModel()->GetControllableAnimation(0);
    animation.SetInputNames({"Raise stairs", "Lower stairs", "Raise a bit", "Lower a bit"});
    animation.SetKeyframes(0, 100, 0, 4.0);
    return stairs;
}

bool Sent(const std::vector<SIMCONNECT_RECV_EVENT>& events, DWORD id)
{
    for (const auto& event : events)
        if (event.uEventID == id) return true;
    return false;
}

// The page's answer acts on the object the page was built for. After the list was rebuilt under it, the
// main menu's chosen entry names another object: nothing moves, and the main menu is shown again.
TEST_F(MainMenuTest, AnAnimationPageAnswerActsOnlyOnTheObjectItWasBuiltFor)
{
    SimObject& stairs = AddStairs(AddObject("Stairs:Remote", {FeatureControllableAnimation}, 31, 100.0));
    ASSERT_TRUE(FSProcess::BuildTriggerObjectMenu(-1));
    FSProcess::OnMenuResult(EventMainMenuResult, 0);  // "Control Remote [A]"
    FSProcess::ShowSubMenu();
    Drain(Sim().GetHandle());
    FSProcess::OnMenuResult(EventAnimationPageResult, SIMCONNECT_TEXT_RESULT_DISPLAYED);
    FSProcess::OnMenuResult(EventAnimationPageResult, 0);  // "Raise a bit"
    EXPECT_GT(stairs.GetCurrentModel()->GetControllableAnimation(0)->GetPosition(), 0.0);
    EXPECT_TRUE(Sent(OfKind<SIMCONNECT_RECV_EVENT>(Drain(Sim().GetHandle()), SIMCONNECT_RECV_ID_EVENT), EventShowSubMenu));
    EXPECT_FALSE(program::AnimationMenu().IsDisplayed()) << "an answered page has left the screen";

    FSProcess::ShowSubMenu();
    List().Empty();
    List().GetNearbyCandidates().clear();
    SimObject& other = AddStairs(AddObject("Stairs:Other", {FeatureControllableAnimation}, 32, 100.0));
    Drain(Sim().GetHandle());
    FSProcess::OnMenuResult(EventAnimationPageResult, 0);
    EXPECT_EQ(0.0, other.GetCurrentModel()->GetControllableAnimation(0)->GetPosition());
    const auto events = OfKind<SIMCONNECT_RECV_EVENT>(Drain(Sim().GetHandle()), SIMCONNECT_RECV_ID_EVENT);
    EXPECT_TRUE(Sent(events, EventShowMainMenu));
    EXPECT_FALSE(Sent(events, EventShowSubMenu));
}

// Every page is shown after the menu pause that lets the simulator take the last one down.
TEST_F(MainMenuTest, EveryPageIsShownAfterTheMenuPause)
{
    AddStairs(AddObject("Stairs:Remote", {FeatureControllableAnimation}, 31, 100.0));
    ASSERT_TRUE(FSProcess::BuildTriggerObjectMenu(-1));
    FSProcess::OnMenuResult(EventMainMenuResult, 0);
    const std::pair<const char*, void (*)()> pages[] = {
        {"main menu", [] { FSProcess::ShowMainTextMenu(); }},
        {"stand selection", [] { FSProcess::ShowStandsMenu(); }},
        {"stand operations", [] { FSProcess::ShowStandOperationsMenu(); }},
        {"jetway control", [] { FSProcess::ShowJetwayMenu(false); }},
        {"controllable animation", [] { FSProcess::ShowSubMenu(); }},
    };
    for (const auto& [name, show] : pages) {
        SCOPED_TRACE(name);
        program::TriggerMenu().SetDisplayed(false);
        platform::ScopedManualClock clock;
        show();
        EXPECT_EQ(clock.clock().NowMs(), 24u);
    }
}

}  // namespace
