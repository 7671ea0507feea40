// The AI traffic scan and the AI jetway jobs against the in-process simulator: which aircraft the scan
// takes, their parking, the stand found for them, jobs sent to the module one at a time, aircraft that
// vanish, unreadable answers, a client's triggers in the AI form, acknowledgements without a job, and the
// detection toggle.
//
// The sample machine gives the aircraft: the 737-800 has doors 1L and 2L, the CRJ-700 door 1L only.
// The AI aircraft stands at latitude 0, longitude 0 heading east, so its left doors face north; each
// jetway (type A, heading north, its bridge pointing south) stands 21 m north of the door it serves.
#include "aircraft/AircraftParameters.h"
#include "app/FSProcess.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "guidance/StandTextMenu.h"
#include "guidance/VDGSHandler.h"
#include "jetway/AIMonitor.h"
#include "jetway/AIObject.h"
#include "jetway/IKSolver.h"
#include "jetway/JetwayControl.h"
#include "jetway/JetwayHandler.h"
#include "link/ApiCodec.h"
#include "link/SeasonalObjectHandler.h"
#include "link/SimStatus.h"
#include "objects/InjectionQueue.h"
#include "objects/Jetway.h"
#include "objects/SimObjectList.h"
#include "platform/clock.h"
#include "scenery/SimObjectsFolderManager.h"
#include "simulator/Simulator.h"
#include "tests/app/CoreTestSupport.h"
#include "tests/support/ProgramParts.h"
#include "tests/support/JetwayRecords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace coretest;
using namespace velk_ids;
using program::Flags;
using program::Parts;
using program::Sim;

namespace {

const std::filesystem::path kSampleMachine =
    std::filesystem::path(VELK_TEST_SOURCE_DIR) / ".." / ".." / "examples" / "machine";

constexpr const char* kB738 = "Quorvath AI B737-800 Nordlink";
constexpr const char* kCrj7 = "Quorvath AI CRJ-700 Velkair Regional";
constexpr double kMetresPerDegree = 6378137.0 * 3.141592653589793 / 180.0;
constexpr double kFt = 0.3048;
// The aircraft's altitude that puts door 1L's sill 5 m up, level with the jetway's floor.
constexpr double kAiAltitudeFeet = 5.0 / kFt + (0.5 * 1.83 - 2.8 * kFt) / kFt;

// The module's ids for the events it watches.
constexpr DWORD kModuleStart = 1;
constexpr DWORD kModuleAbort = 2;

class AiTrafficTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::copy(kSampleMachine, root.Root(),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        root.WriteSettings("[General]\nDebugMode=true\n");
        program::Components& parts = testsupport::MakeProgramParts(
            {.customCommands = 0, .objects = true, .injection = true, .jetways = true});
        Flags().objectCount = 1;
        parts.settings->Read();
        parts.ikSolver.reset(new IKSolver(&log4cpp::Category::getInstance("VELK.IKSOLVER")));
        parts.aircraftParameters.reset(new AircraftParameters());
        parts.aircraftParameters->ReadParameters();
        parts.folderManager.reset(new SimObjectsFolderManager(log4cpp::Category::getInstance("VELK.FOLDERS"), nullptr));
        parts.folderManager->SetSimPlatform("P3Dv4");
        testing::internal::CaptureStdout();
        parts.folderManager->BuildSimObjectsMap();
        testing::internal::GetCapturedStdout();
        ASSERT_NE(parts.folderManager->FindAircraftTitle(kB738), "");

        sim.ServeInProcess();
        sim.SetUserPosition(0.0, 0.002, 0.0);
        ASSERT_EQ(Sim().Open(), S_OK);
        FSProcess::RegisterWithSimulator();
        // As the run phase makes it once the connection is open.
        parts.ikSolver->SetConnection(Sim().GetHandle());
        parts.jetwayLink = std::make_unique<SimConnectJetwayControlLink>(Sim().GetHandle());
        parts.jetwayControl = std::make_unique<JetwayControl>(*parts.jetwayLink, *parts.jetwayHandler, *parts.ikSolver,
                                                              *parts.activeObjects,
                                                              parts.activeObjects->GetUserAircraft(), nullptr,
                                                              parts.aiMonitor.get(), &program::LoopLog());
        ConnectModule();
        Drain(Sim().GetHandle());
        program::StandMenu().Reset();
        program::StandMenu().SetDisplayed(false);
        log.Clear();
    }
    void TearDown() override
    {
        Sim().Close();
        if (module) SimConnect_Close(module);
        testsupport::ClearProgramParts();
    }

    // The module's side: the job areas, and the start and abort events.
    void ConnectModule()
    {
        ASSERT_EQ(SimConnect_Open(&module, "brannet", nullptr, 0, nullptr, 0), S_OK);
        for (uint32_t n = 1; n <= 4; ++n) {
            const std::string name = "VELK.JetwayData.In." + std::to_string(n);
            SimConnect_MapClientDataNameToID(module, name.c_str(), 100 + n);
            SimConnect_CreateClientData(module, 100 + n, 5600, 0);
        }
        SimConnect_MapClientEventToSimEvent(module, kModuleStart, "VELK.JetwayAction.Start");
        SimConnect_MapClientEventToSimEvent(module, kModuleAbort, "VELK.JetwayAction.Abort");
        SimConnect_AddClientEventToNotificationGroup(module, 7, kModuleStart, FALSE);
        SimConnect_AddClientEventToNotificationGroup(module, 7, kModuleAbort, FALSE);
        SimConnect_SetNotificationGroupPriority(module, 7, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
        simtest::Drain(module);
    }

    struct ModuleEvent {
        DWORD event;
        DWORD data;
        bool operator==(const ModuleEvent& o) const { return event == o.event && data == o.data; }
    };
    std::vector<ModuleEvent> ModuleEvents()
    {
        std::vector<ModuleEvent> out;
        for (const auto& e : simtest::Events(simtest::Drain(module))) out.push_back({e.uEventID, e.dwData});
        return out;
    }

    simulator::ObjectId AddAi(const std::string& title, const std::string& state, const std::string& airport = "",
                              const std::string& parking = "", bool onGround = true)
    {
        return sim.AddAiAircraft(MakeAi(title, state, airport, parking, onGround));
    }
    static simulator::AiAircraft MakeAi(const std::string& title, const std::string& state,
                                        const std::string& airport = "", const std::string& parking = "",
                                        bool onGround = true)
    {
        simulator::AiAircraft ai;
        ai.title = title;
        ai.atcId = "VK123";
        ai.atcModel = "B738";
        ai.state = state;
        ai.airport = airport;
        ai.parking = parking;
        ai.altitudeFeet = kAiAltitudeFeet;
        ai.headingDegrees = 90.0;
        ai.onGround = onGround;
        return ai;
    }

    // A type A jetway `north` and `east` metres from the aircraft's reference point, in the simulation,
    // a nearby candidate and entered at its stand.
    SimObject& AddJetway(uint32_t id, double north, double east, int32_t number, int32_t multiIndex,
                         const std::string& gate = "GATE_A")
    {
        List().Add(MakeJetway(id, north, east, number, multiIndex, gate));
        SimObject& added = *List().At(List().Count() - 1);
        CandidateRecord record;
        record.indices = {List().Count() - 1};
        List().GetNearbyCandidates().push_back(record);
        Parts().jetwayHandler->AddStandJetway(&added);
        return added;
    }
    static SimObject MakeJetway(uint32_t id, double north, double east, int32_t number, int32_t multiIndex,
                                const std::string& gate = "GATE_A")
    {
        SimObject object;
        object.SetName("XVLK:Jetway " + std::to_string(id));
        SimObjectModel& model = object.AddModel("Jetway Title");
        model.GetFeatures()->Set(3);
        object.SetFeature(3);
        Jetway& jetway = *model.GetJetway();
        jetway.SetJetwayData(testsupport::TypeAJetwayRecord());
        jetway.SetConfig(true);
        object.SetPlacement(north / kMetresPerDegree, east / kMetresPerDegree, 0.0, false, false, 0, 0, 0);
        object.GetStandData().Set("XVLK", gate, number, "", "", false);
        object.SetMultiIndex(multiIndex);
        object.SetInSimulation(true);
        object.SetObjectId(id);
        return object;
    }
    // The two jetways of stand GATE_A 1 that reach the 737's doors 1L and 2L.
    void AddB738Stand()
    {
        AddJetway(501, 2.829 + 21.0, 43.0 * kFt - 0.55, 1, 1);
        AddJetway(502, 2.768 + 21.0, -40.5 * kFt - 0.55, 1, 2);
    }

    // One scan: every answer to request 90 through the dispatch.
    void Scan()
    {
        Sim().RequestAiAircraftScan();
        for (Message& m : Drain(Sim().GetHandle()))
            if (Kind(m) == SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE)
                FSProcess::Dispatch(reinterpret_cast<SIMCONNECT_RECV*>(m.data()), static_cast<DWORD>(m.size()), nullptr);
    }
    // The answers to one scan, not handled.
    std::vector<Message> ScanAnswers()
    {
        Sim().RequestAiAircraftScan();
        std::vector<Message> answers;
        for (Message& m : Drain(Sim().GetHandle()))
            if (Kind(m) == SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE) answers.push_back(m);
        return answers;
    }
    void Answer(Message& m)
    {
        FSProcess::OnAiScanAnswer(*reinterpret_cast<const SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE*>(m.data()),
                                  static_cast<DWORD>(m.size()));
    }

    // A user job of the jetway, running: entered in the handler under its record's id.
    void StartUserJob(uint32_t id)
    {
        JetwayData record = J(id).GetRecord();
        record.JetwayObjectId = id;
        J(id).SetJetwayData(record);
        Parts().jetwayHandler->RegisterJetway(J(id));
        ASSERT_TRUE(Parts().jetwayHandler->IsRegistered(id));
    }

    SimObjectList& List() { return *Parts().activeObjects; }
    AIMonitor& Monitor() { return *Parts().aiMonitor; }
    SimObject& Object(uint32_t id) { return *List().FindByObjectId(id); }
    Jetway& J(uint32_t id) { return *Object(id).GetCurrentModel()->GetJetway(); }

    platform::ScopedManualClock clock;
    TempMachineRoot root;
    LogCapture log;
    simulator::Simulator sim;
    HANDLE module = nullptr;
};

// Which traffic states the scan takes, and the job status it gives the two it numbers itself.
TEST_F(AiTrafficTest, ScanTakesParkedAndLeavingAircraftOnly)
{
    struct Row {
        const char* state;
        bool isUser;
        bool onGround;
        bool taken;
        int32_t status;
    };
    const Row rows[] = {
        {"sleep", false, true, true, 1},
        {"shutdown", false, true, true, 19},
        {"flt plan", false, true, true, 2},
        {"preflight support", false, true, true, 4},
        {"clearance", false, true, true, 5},
        {"init", false, true, true, AIObject::kStateInitNotUser},
        {"<unknown>", false, true, true, AIObject::kStateUnknownOnGround},
        {"taxi out", false, true, false, 0},
        {"push back 1", false, true, false, 0},
        {"init", true, true, false, 0},
        {"<unknown>", false, false, false, 0},
        {"Sleep", false, true, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.state) + (row.isUser ? " user" : "") + (row.onGround ? "" : " airborne"));
        Monitor().Reset();
        const simulator::ObjectId id = AddAi(kCrj7, row.state, "", "", row.onGround);
        if (row.isUser) sim.SetNumber(id, "IS USER SIM", "Bool", 1);
        Scan();
        const AIObject* ai = Monitor().FindAIObject(static_cast<int32_t>(id));
        EXPECT_EQ(row.taken, ai != nullptr);
        if (ai) {
            EXPECT_EQ(row.status, ai->GetJobStatus());
            EXPECT_EQ("B738 VK123", ai->GetTitle());
            EXPECT_NEAR(90.0, ai->GetPlacement().GetHeading(), 1e-9);
        }
        sim.RemoveObject(id);
    }
}

TEST_F(AiTrafficTest, UnknownTitleIsLeftOutWithAWarning)
{
    const simulator::ObjectId id = AddAi("Nobody's Glider", "sleep");
    Scan();
    EXPECT_EQ(nullptr, Monitor().FindAIObject(static_cast<int32_t>(id)));
    EXPECT_TRUE(log.Has("WARN VELK.FSLOOP : [AI DETECTION] AI not found in aircraftMap for 'Nobody's Glider'. Model: B738"));
}

// The assigned parking as the scan reads it from the answer's fixed fields.
TEST_F(AiTrafficTest, ParkingIsTakenOnlyAtFourLetterAirportsWithANumberBeforeTheComma)
{
    struct Row {
        const char* airport;
        const char* parking;
        bool has;
        const char* gate;
        int32_t number;
    };
    const Row rows[] = {
        {"XVLK", "GATE A 12, RAMP_GA_SMALL", true, "GATE A", 12},
        {"XVLK", "Ramp 5, RAMP_GA", true, "Parking", 5},
        {"XVLK", "GATE A 12 RAMP", false, "", 0},
        {"XVL", "GATE A 12, x", false, "", 0},
        {"XVLKX", "GATE A 12, x", false, "", 0},
        {"", "GATE A 12, x", false, "", 0},
        {"XVLK", "GATE, 12", false, "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.airport) + " / " + row.parking);
        Monitor().Reset();
        const simulator::ObjectId id = AddAi(kCrj7, "flt plan", row.airport, row.parking);
        Scan();
        const AIObject* ai = Monitor().FindAIObject(static_cast<int32_t>(id));
        ASSERT_NE(nullptr, ai);
        EXPECT_EQ(row.has, ai->HasParkingInfo());
        if (row.has) {
            EXPECT_EQ(row.airport, ai->GetParkingAirport());
            EXPECT_EQ(row.gate, ai->GetParkingGateName());
            EXPECT_EQ(row.number, ai->GetParkingNumber());
        }
        sim.RemoveObject(id);
    }
}

// Without parking, the stand whose jetways are nearest on average is taken: 10 m and 40 m make 25 m. The
// CRJ's one door goes to stand 1's MultiIndex 2 jetway (out of reach at 40 m) and then to its master.
TEST_F(AiTrafficTest, WithoutParkingTheStandWithTheSmallestAverageDistanceIsTaken)
{
    struct Row {
        double single;  // metres north of the aircraft of stand 2's one jetway
        bool standTwo;
    };
    const Row rows[] = {{20.0, true}, {30.0, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.single);
        // The handler first: its jobs point at the jetways of the list.
        Parts().jetwayHandler->Reset();
        List().Empty();
        Monitor().Reset();
        log.Clear();
        AddJetway(601, 10.0, 0.0, 1, 1);
        AddJetway(602, 40.0, 0.0, 1, 2);
        AddJetway(603, row.single, 1.0, 2, 1);
        const simulator::ObjectId id = AddAi(kCrj7, "sleep");
        Scan();
        EXPECT_EQ(row.standTwo, Object(603).GetStandData().IsOccupiedByAI());
        EXPECT_EQ(!row.standTwo, Object(602).GetStandData().IsOccupiedByAI());
        EXPECT_EQ(!row.standTwo, Object(601).GetStandData().IsOccupiedByAI());
        EXPECT_EQ(!row.standTwo, log.Has("[AI DETECTION] No IK solution! Trying master jetway [601]..."));
        EXPECT_EQ(id, Object(row.standTwo ? 603 : 602).GetStandData().GetOccupantId());
        sim.RemoveObject(id);
    }
}

// The CRJ's one door at a stand without a MultiIndex-2 jetway, or with four jetways (whose MultiIndex is
// not read): the stand's first jetway serves it, as its door's jetway and as its primary.
TEST_F(AiTrafficTest, OneDoorAircraftIsServedByTheFirstJetwayWhereMultiIndexTwoIsMissing)
{
    struct Row {
        const char* name;
        std::vector<int32_t> multiIndices;  // jetways 601, 602, ... at 10 m, 40 m, 70 m, 100 m north
    };
    const Row rows[] = {{"MultiIndex 1 and 3", {1, 3}},
                        {"no MultiIndex", {0, 0}},
                        {"four jetways", {1, 2, 3, 4}}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Parts().jetwayHandler->Reset();
        List().Empty();
        Monitor().Reset();
        log.Clear();
        for (size_t i = 0; i < row.multiIndices.size(); ++i)
            AddJetway(static_cast<uint32_t>(601 + i), 10.0 + 30.0 * static_cast<double>(i), 0.0, 1,
                      row.multiIndices[i]);
        const simulator::ObjectId id = AddAi(kCrj7, "sleep");
        Scan();
        EXPECT_TRUE(Object(601).GetStandData().IsOccupiedByAI());
        EXPECT_EQ(id, Object(601).GetStandData().GetOccupantId());
        const AIObject* ai = Monitor().FindAIObject(static_cast<int32_t>(id));
        ASSERT_NE(ai, nullptr);
        EXPECT_EQ(ai->GetDoorJetwayIDs(), std::vector<uint32_t>{601});
        // A jetway never crosses its own path.
        EXPECT_FALSE(log.Has("Crossing jetways!"));
        sim.RemoveObject(id);
    }
}

// The 737's two jetways: the first job goes out at once; the second, chained behind it, only once the
// module has both taken the first (DataReceived) and reported its intermediate phase, in either order.
TEST_F(AiTrafficTest, ScanDocksTheJetwaysOneJobAtATime)
{
    for (const bool intermediateFirst : {false, true}) {
        SCOPED_TRACE(intermediateFirst ? "intermediate first" : "data received first");
        // The handler first: its jobs point at the jetways of the list.
        Parts().jetwayHandler->Reset();
        List().Empty();
        Monitor().Reset();
        Monitor().ClearTrackedJobs();
        AddB738Stand();
        const simulator::ObjectId id = AddAi(kB738, "sleep", "XVLK", "GATE A 1, GATE_MEDIUM");
        Scan();
        const AIObject* ai = Monitor().FindAIObject(static_cast<int32_t>(id));
        ASSERT_NE(nullptr, ai);
        EXPECT_TRUE(ai->GetStatusFlagA());
        EXPECT_EQ(501, ai->GetExit("1L").GetJetwayId());
        EXPECT_EQ(502, ai->GetExit("2L").GetJetwayId());
        for (uint32_t jetway : {501u, 502u}) {
            EXPECT_TRUE(Object(jetway).GetStandData().IsOccupiedByAI());
            EXPECT_EQ(id, Object(jetway).GetStandData().GetOccupantId());
        }
        std::vector<ModuleEvent> events = ModuleEvents();
        ASSERT_EQ(1u, events.size());
        EXPECT_EQ(kModuleStart, events[0].event);
        EXPECT_EQ(501u, events[0].data / 10);
        EXPECT_TRUE(J(501).IsMoving());
        EXPECT_TRUE(Parts().jetwayHandler->IsMovingId(501));
        EXPECT_TRUE(Monitor().HasPendingJetways());
        // A scan while the first job is unacknowledged sends nothing.
        Scan();
        EXPECT_TRUE(ModuleEvents().empty());

        if (intermediateFirst) {
            FSProcess::OnJetwayIntermediate(501);
            EXPECT_TRUE(ModuleEvents().empty()) << "the second job waits for the first's acknowledgement";
            FSProcess::OnJetwayDataReceived(501);
        } else {
            FSProcess::OnJetwayDataReceived(501);
            EXPECT_TRUE(ModuleEvents().empty()) << "the second job waits for the first's intermediate phase";
            FSProcess::OnJetwayIntermediate(501);
        }
        events = ModuleEvents();
        ASSERT_EQ(1u, events.size());
        EXPECT_EQ(kModuleStart, events[0].event);
        EXPECT_EQ(502u, events[0].data / 10);
        EXPECT_EQ(J(502).GetRecord().InChannel, events[0].data % 10);
        Scan();
        EXPECT_TRUE(ModuleEvents().empty());
        FSProcess::OnJetwayDataReceived(502);
        EXPECT_TRUE(ModuleEvents().empty());
        EXPECT_FALSE(Monitor().HasPendingJetways());
        EXPECT_EQ(0u, Monitor().GetTrackedJobCount());
        sim.RemoveObject(id);
    }
}

// An aircraft that leaves the scan while its first jetway moves: that job is aborted at the module, the
// other jetway's stand is free again.
TEST_F(AiTrafficTest, VanishedAircraftAbortsItsMovingJetway)
{
    AddB738Stand();
    const simulator::ObjectId id = AddAi(kB738, "sleep", "XVLK", "GATE A 1, GATE_MEDIUM");
    Scan();
    ASSERT_EQ(1u, ModuleEvents().size());
    ASSERT_TRUE(J(501).IsMoving());

    sim.RemoveObject(id);
    Scan();
    EXPECT_EQ(nullptr, Monitor().FindAIObject(static_cast<int32_t>(id)));
    const std::vector<ModuleEvent> events = ModuleEvents();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ((ModuleEvent{kModuleAbort, 501}), events[0]);
    EXPECT_FALSE(Object(502).GetStandData().IsOccupiedByAI());
    EXPECT_TRUE(log.Has("INFO VELK.FSLOOP : [JETWAY CONTROL SYSTEM:AI] Jetway not moving yet, still undocked!!"));
    EXPECT_TRUE(log.Has("[AI DETECTION] *** *** *** *** *** *** *** Hard Reset! AI [" + std::to_string(id) +
                        "], JW [501]!"));
}

// A docked jetway of an aircraft that has gone is put back to rest and its stand freed.
TEST_F(AiTrafficTest, VanishedAircraftReleasesItsDockedJetway)
{
    AddJetway(701, 4.3 * kFt + 1.0 + 21.0, 33.0 * kFt - 0.55, 3, 1);
    const simulator::ObjectId id = AddAi(kCrj7, "sleep", "XVLK", "GATE A 3, GATE_MEDIUM");
    Scan();
    AIObject* ai = Monitor().FindAIObject(static_cast<int32_t>(id));
    ASSERT_NE(nullptr, ai);
    ASSERT_EQ(701, ai->GetExit("1L").GetJetwayId());
    // The module took the job and reported it done and docked.
    FSProcess::OnJetwayDataReceived(701);
    J(701).SetMoving(false);
    J(701).SetDocked(true);
    Parts().jetwayHandler->UnregisterJetway(701);
    Parts().jetwayHandler->RemoveMoving(701);
    ModuleEvents();

    sim.RemoveObject(id);
    Scan();
    EXPECT_EQ(nullptr, Monitor().FindAIObject(static_cast<int32_t>(id)));
    EXPECT_FALSE(J(701).IsDocked());
    EXPECT_FALSE(Object(701).GetStandData().IsOccupiedByAI());
    EXPECT_EQ(0u, Object(701).GetStandData().GetOccupantId());
    EXPECT_TRUE(ModuleEvents().empty());
}

// An aircraft that leaves its stand gets its jetway undocked: at once when the jetway is docked and at
// rest, else only on the fourth scan, from a forced docked state.
TEST_F(AiTrafficTest, LeavingAircraftUndocksItsJetway)
{
    for (const bool stuck : {false, true}) {
        SCOPED_TRACE(stuck ? "jetway stuck moving" : "jetway docked");
        // The handler first: its jobs point at the jetways of the list.
        Parts().jetwayHandler->Reset();
        List().Empty();
        Monitor().Reset();
        Monitor().ClearTrackedJobs();
        AddJetway(701, 4.3 * kFt + 1.0 + 21.0, 33.0 * kFt - 0.55, 3, 1);
        const simulator::ObjectId id = AddAi(kCrj7, "sleep", "XVLK", "GATE A 3, GATE_MEDIUM");
        Scan();
        FSProcess::OnJetwayDataReceived(701);
        // The job has finished: docked, or left moving.
        J(701).SetMoving(stuck);
        J(701).SetDocked(!stuck);
        Parts().jetwayHandler->UnregisterJetway(701);
        Parts().jetwayHandler->RemoveMoving(701);
        ASSERT_EQ(1u, ModuleEvents().size());

        ASSERT_TRUE(sim.UpdateAiAircraft(id, MakeAi(kCrj7, "clearance", "XVLK", "GATE A 3, GATE_MEDIUM")));
        for (int scan = 1; scan < (stuck ? 4 : 1); ++scan) {
            Scan();
            EXPECT_TRUE(ModuleEvents().empty()) << scan;
        }
        Scan();
        const std::vector<ModuleEvent> events = ModuleEvents();
        ASSERT_EQ(1u, events.size());
        EXPECT_EQ(kModuleStart, events[0].event);
        EXPECT_EQ(701u, events[0].data / 10);
        EXPECT_TRUE(J(701).IsDocked()) << "the job undocks";
        const AIObject* ai = Monitor().FindAIObject(static_cast<int32_t>(id));
        ASSERT_NE(nullptr, ai);
        EXPECT_TRUE(ai->GetStatusFlagB());
        EXPECT_FALSE(ai->GetStatusFlagA());
        EXPECT_EQ(-1, ai->GetExit("1L").GetJetwayId());
        EXPECT_EQ(0, ai->GetRetryCounter());
        // Once handled, later scans leave it alone.
        FSProcess::OnJetwayDataReceived(701);
        Scan();
        EXPECT_TRUE(ModuleEvents().empty());
        sim.RemoveObject(id);
    }
}

// A leaving 737 whose two jetways are both stuck moving: on the fourth scan each door is forced, not only
// the first, and both jetways get their undocking jobs.
TEST_F(AiTrafficTest, LeavingAircraftHasEveryStuckDoorForced)
{
    AddB738Stand();
    const simulator::ObjectId id = AddAi(kB738, "sleep", "XVLK", "GATE A 1, GATE_MEDIUM");
    Scan();
    FSProcess::OnJetwayDataReceived(501);
    FSProcess::OnJetwayIntermediate(501);
    FSProcess::OnJetwayDataReceived(502);
    ASSERT_EQ(2u, ModuleEvents().size());
    for (uint32_t jetway : {501u, 502u}) {
        J(jetway).SetMoving(true);
        J(jetway).SetDocked(false);
        Parts().jetwayHandler->UnregisterJetway(jetway);
        Parts().jetwayHandler->RemoveMoving(jetway);
    }
    const AIObject* ai = Monitor().FindAIObject(static_cast<int32_t>(id));
    ASSERT_NE(nullptr, ai);
    ASSERT_EQ(501, ai->GetExit("1L").GetJetwayId());
    ASSERT_EQ(502, ai->GetExit("2L").GetJetwayId());

    ASSERT_TRUE(sim.UpdateAiAircraft(id, MakeAi(kB738, "clearance", "XVLK", "GATE A 1, GATE_MEDIUM")));
    for (int scan = 1; scan < 4; ++scan) {
        Scan();
        EXPECT_TRUE(ModuleEvents().empty()) << scan;
    }
    Scan();
    ai = Monitor().FindAIObject(static_cast<int32_t>(id));
    ASSERT_NE(nullptr, ai);
    EXPECT_EQ(-1, ai->GetExit("1L").GetJetwayId());
    EXPECT_EQ(-1, ai->GetExit("2L").GetJetwayId());
    EXPECT_FALSE(ai->HasDoorAssignments());
    for (uint32_t jetway : {501u, 502u}) EXPECT_TRUE(J(jetway).IsDocked()) << jetway << ": forced docked, to undock";
    const std::vector<ModuleEvent> events = ModuleEvents();
    ASSERT_EQ(1u, events.size()) << "one job at a time";
    EXPECT_EQ(kModuleStart, events[0].event);
    // The second job follows once the module has taken the first.
    const uint32_t first = events[0].data / 10;
    FSProcess::OnJetwayDataReceived(first);
    FSProcess::OnJetwayIntermediate(first);
    const std::vector<ModuleEvent> next = ModuleEvents();
    ASSERT_EQ(1u, next.size());
    EXPECT_EQ(kModuleStart, next[0].event);
    EXPECT_EQ(first == 501 ? 502u : 501u, next[0].data / 10);
    sim.RemoveObject(id);
}

// A jetway showing its static model: the door is solved with the operable model 1, which the jetway is
// then switched to; the job follows in a later scan, once the jetway is back in the simulation.
TEST_F(AiTrafficTest, StaticJetwayIsSolvedWithItsOperableModelAndSwitched)
{
    SimObject& object = AddJetway(711, 4.3 * kFt + 1.0 + 21.0, 33.0 * kFt - 0.55, 3, 1);
    SimObjectModel& operable = object.AddModel("Jetway Dynamic");
    Jetway& jetway = *operable.GetJetway();
    jetway.SetJetwayData(testsupport::TypeAJetwayRecord());
    jetway.SetConfig(true);
    object.GetModel(0)->GetJetway()->SetConfig(false);
    object.GetModel(0)->SetSimTitle("Jetway Static");
    // The pair switches by its triggered visibility, model 0 shown.
    for (int32_t index : {0, 1}) object.GetModel(index)->GetFeatures()->Set(FeatureTriggVisibilityTextMenu);
    object.SetFeature(FeatureTriggVisibilityTextMenu);
    object.GetModel(0)->GetTriggVisibility()->SetVisible(true);
    object.SetRequestId(300);
    object.SetCreatedSimTitle("Jetway Static");
    const simulator::ObjectId id = AddAi(kCrj7, "sleep", "XVLK", "GATE A 3, GATE_MEDIUM");
    Scan();

    const AIObject* ai = Monitor().FindAIObject(static_cast<int32_t>(id));
    ASSERT_NE(nullptr, ai);
    EXPECT_EQ(711, ai->GetExit("1L").GetJetwayId());
    EXPECT_TRUE(ai->GetStatusFlagC());
    EXPECT_FALSE(ai->GetStatusFlagA());
    EXPECT_TRUE(object.IsRecreatePending());
    EXPECT_TRUE(log.Has("[AI DETECTION] Static Jetway 'Jetway 711': IK Solution found. (AI: B738 VK123)"));
    EXPECT_TRUE(log.Has("[AI DETECTION] 'Jetway 711': Swapping to dynamic model...(AI: B738 VK123) [" +
                        std::to_string(id) + "]"));
    bool created = false;
    for (const simulator::ObjectInfo& info : sim.Objects()) created = created || info.title == "Jetway Dynamic";
    EXPECT_TRUE(created);
    EXPECT_TRUE(ModuleEvents().empty());
}

// A scan answer without aircraft still ends the scan: a monitored aircraft that has gone is removed.
TEST_F(AiTrafficTest, EmptyAnswerStillRunsTheEndOfScan)
{
    const simulator::ObjectId id = AddAi(kCrj7, "flt plan");
    Scan();
    ASSERT_NE(nullptr, Monitor().FindAIObject(static_cast<int32_t>(id)));

    Message empty(sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE), 0);
    auto* message = reinterpret_cast<SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE*>(empty.data());
    message->dwSize = static_cast<DWORD>(empty.size());
    message->dwID = SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE;
    message->dwRequestID = RequestAiScan;
    FSProcess::Dispatch(message, message->dwSize, nullptr);
    EXPECT_EQ(nullptr, Monitor().FindAIObject(static_cast<int32_t>(id)));
    EXPECT_TRUE(log.Has("DEBUG VELK.FSLOOP : [AI DETECTION] No AI data returned..."));
}

// While the hard-reset counter runs, a scan only counts it down; the scan after it reaches 0 runs in full.
TEST_F(AiTrafficTest, HardResetCountsDownBeforeTheScanRunsAgain)
{
    const simulator::ObjectId id = AddAi(kCrj7, "flt plan");
    Scan();
    sim.RemoveObject(id);
    Monitor().SetHardResetCounter(2);
    for (int expected : {1, 0}) {
        Scan();
        EXPECT_EQ(expected, Monitor().GetHardResetCounter());
        EXPECT_NE(nullptr, Monitor().FindAIObject(static_cast<int32_t>(id)));
    }
    EXPECT_TRUE(log.InOrder({"Hard Reset...waiting: 2", "Hard Reset...waiting: 1"}));
    Scan();
    EXPECT_EQ(nullptr, Monitor().FindAIObject(static_cast<int32_t>(id)));
}

// An answer whose strings run past its end is logged and skipped; on the last answer the end of the scan
// still runs.
TEST_F(AiTrafficTest, UnreadableAnswerIsSkippedAndTheScanStillEnds)
{
    const simulator::ObjectId gone = AddAi(kCrj7, "flt plan");
    Scan();
    ASSERT_NE(nullptr, Monitor().FindAIObject(static_cast<int32_t>(gone)));
    sim.RemoveObject(gone);

    const simulator::ObjectId id = AddAi(kCrj7, "sleep");
    const auto setNumber = [](Message& m, size_t index, double value) {
        std::memcpy(m.data() + SIMCONNECT_DATA_OFFSET + index * 8, &value, sizeof(value));
    };
    const struct {
        const char* name;
        std::function<void(Message&)> spoil;
        const char* why;
    } rows[] = {
        // The strings cut off without their terminators.
        {"strings cut off", [](Message& m) { m.resize(SIMCONNECT_DATA_OFFSET + 6 * 8 + 32 + 128 + 3); },
         "strings out of bounds"},
        {"too short for the fixed fields", [](Message& m) { m.resize(SIMCONNECT_DATA_OFFSET + 8); },
         "record too short"},
        {"latitude not a number",
         [&](Message& m) { setNumber(m, 0, std::numeric_limits<double>::quiet_NaN()); }, "not a number"},
        {"heading infinite", [&](Message& m) { setNumber(m, 3, std::numeric_limits<double>::infinity()); },
         "not a number"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<Message> answers = ScanAnswers();
        ASSERT_FALSE(answers.empty());
        for (Message& m : answers)
            if (reinterpret_cast<SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE*>(m.data())->dwObjectID == id) row.spoil(m);
        log.Clear();
        for (Message& m : answers) Answer(m);
        EXPECT_EQ(nullptr, Monitor().FindAIObject(static_cast<int32_t>(id)));
        EXPECT_TRUE(log.Has("ERROR VELK.FSLOOP : [AI DETECTION] Scan answer of object [" + std::to_string(id) +
                            "] unreadable (" + row.why + "), skipped"));
        EXPECT_EQ(nullptr, Monitor().FindAIObject(static_cast<int32_t>(gone))) << "the end of the scan ran";
    }
}

// A client's trigger in the AI form, for a jetway the client placed and registered: a door the aircraft
// lacks has no solution and leaves the aircraft as it was, so a door it has docks next; a second trigger
// while that job runs starts nothing.
TEST_F(AiTrafficTest, ApiTriggersInTheAiFormDockOnlyAtDoorsTheAircraftHasAndOneJobAtATime)
{
    constexpr DWORD kTriggerStatus = 3;
    constexpr uint32_t kPlaced = 601;
    SimConnect_MapClientEventToSimEvent(module, kTriggerStatus, "VELK.JetwayTriggerStatus");
    SimConnect_AddClientEventToNotificationGroup(module, 7, kTriggerStatus, FALSE);
    // Where the stand's front jetway would stand for the 737's door 1L.
    ASSERT_TRUE(Parts().jetwayHandler->AddExternalJetway(MakeJetway(kPlaced, 2.829 + 21.0, 43.0 * kFt - 0.55, 1, 1)));
    Jetway& placed = *Parts().jetwayHandler->FindJetway(kPlaced)->GetCurrentModel()->GetJetway();
    const simulator::ObjectId id = AddAi(kB738, "flt plan", "XVLK", "GATE A 1, GATE_MEDIUM");
    Scan();
    AIObject* ai = Monitor().FindAIObject(static_cast<int32_t>(id));
    ASSERT_NE(nullptr, ai);
    ASSERT_FALSE(ai->HasDoorAssignments());
    ModuleEvents();
    const auto trigger = [&](const std::string& door) {
        api_wire::JetwayTriggerRequest request;
        request.aiForm = true;
        request.jetwayId = kPlaced;
        request.aiAircraftId = static_cast<uint32_t>(id);
        request.door = door;
        api_wire::Area area{};
        api_wire::EncodeJetwayTrigger(request, area);
        FSProcess::OnApiJetwayTrigger(area.data(), area.size());
        return ModuleEvents();
    };

    EXPECT_EQ(trigger("3R"), (std::vector<ModuleEvent>{{kTriggerStatus, kPlaced * 10 + api_wire::kTriggerNoSolution}}));
    EXPECT_FALSE(placed.IsMoving());
    EXPECT_FALSE(ai->HasDoorAssignments());

    // The job is taken, then sent with the scan.
    std::vector<ModuleEvent> events = trigger("1L");
    Scan();
    for (const ModuleEvent& e : ModuleEvents()) events.push_back(e);
    const auto starts = std::count_if(events.begin(), events.end(), [&](const ModuleEvent& e) {
        return e.event == kModuleStart && e.data / 10 == kPlaced;
    });
    EXPECT_EQ(1, starts);
    ASSERT_TRUE(placed.IsMoving());
    EXPECT_TRUE(trigger("1L").empty());
    Scan();
    EXPECT_TRUE(ModuleEvents().empty());
    EXPECT_TRUE(placed.IsMoving());
}

// Acknowledgements the module sends for no AI job: jetway id 0, and a user job at a stand an AI holds.
TEST_F(AiTrafficTest, AcknowledgementWithoutAnAiJobChangesNothing)
{
    SimObject& jetway = AddJetway(801, 25.0, 10.0, 4, 1);
    jetway.GetStandData().SetOccupiedByAI(true);
    jetway.GetStandData().SetOccupantId(4242);
    Monitor().AddJob(4242, 801);
    Monitor().SerializeJobs();

    FSProcess::OnJetwayDataReceived(0);
    FSProcess::OnJetwayIntermediate(0);
    FSProcess::OnAiJetwayIntermediate(0, jetway);
    EXPECT_TRUE(log.Has("WARN VELK.FSLOOP : [JETWAY CONTROL SYSTEM:AI] Job acknowledgement without a jetway id ignored"));

    // The user's own job at that stand (running, so the AI job queued for the jetway waits): acknowledged,
    // never aborted.
    StartUserJob(801);
    FSProcess::OnJetwayDataReceived(801);
    EXPECT_TRUE(ModuleEvents().empty());
    EXPECT_EQ(1u, Monitor().GetTrackedJobCount());
    EXPECT_EQ(1u, Monitor().GetJobCountOf(4242));
}

// A jetway that waits to be created anew gets no decision: the answer is no, and nothing is assigned.
// A jetway a client registered, standing where it reaches the 737's door 1L; the aircraft parked at no
// stand, so that the scan assigns it nothing.
TEST_F(AiTrafficTest, JetwayWaitingToBeRecreatedIsRefusedAndAssignedNothing)
{
    for (const bool pending : {false, true}) {
        SCOPED_TRACE(pending ? "waiting to be re-created" : "in place");
        Parts().jetwayHandler->Reset();
        Parts().jetwayHandler->RemoveExternalJetway(601);
        Monitor().Reset();
        Monitor().ClearTrackedJobs();
        const simulator::ObjectId id = AddAi(kB738, "sleep");
        Scan();
        AIObject* ai = Monitor().FindAIObject(static_cast<int32_t>(id));
        ASSERT_NE(nullptr, ai);
        ASSERT_FALSE(ai->HasDoorAssignments());
        SimObject jetway = MakeJetway(601, 2.829 + 21.0, 43.0 * kFt - 0.55, 1, 1);
        jetway.SetRecreatePending(pending);
        ASSERT_TRUE(Parts().jetwayHandler->AddExternalJetway(jetway));

        EXPECT_EQ(!pending, FSProcess::DecideAiDocking(Parts().jetwayHandler->FindJetway(601), *ai, "1L", false, false));
        EXPECT_EQ(pending ? -1 : 601, ai->GetExit("1L").GetJetwayId());
        EXPECT_EQ(!pending, ai->GetStatusFlagA());
        EXPECT_EQ(pending ? 0u : 1u, Monitor().GetJobCountOf(static_cast<int32_t>(id)));
        sim.RemoveObject(id);
    }
}

// The API's AI form assigns the door before it asks for the decision: a refusal gives the door back and
// answers id x 10 + 0; an accepted one starts the job.
TEST_F(AiTrafficTest, ApiAiTriggerForAJetwayWaitingToBeRecreatedGivesTheDoorBack)
{
    constexpr DWORD kTriggerStatus = 3;
    SimConnect_MapClientEventToSimEvent(module, kTriggerStatus, "VELK.JetwayTriggerStatus");
    SimConnect_AddClientEventToNotificationGroup(module, 7, kTriggerStatus, FALSE);
    simtest::Drain(module);
    for (const bool pending : {false, true}) {
        SCOPED_TRACE(pending ? "waiting to be re-created" : "in place");
        Parts().jetwayHandler->Reset();
        Parts().jetwayHandler->RemoveExternalJetway(601);
        Monitor().Reset();
        Monitor().ClearTrackedJobs();
        const simulator::ObjectId id = AddAi(kB738, "sleep");
        Scan();
        const AIObject* ai = Monitor().FindAIObject(static_cast<int32_t>(id));
        ASSERT_NE(nullptr, ai);
        SimObject jetway = MakeJetway(601, 2.829 + 21.0, 43.0 * kFt - 0.55, 1, 1);
        jetway.SetRecreatePending(pending);
        ASSERT_TRUE(Parts().jetwayHandler->AddExternalJetway(jetway));
        ModuleEvents();

        api_wire::JetwayTriggerRequest request;
        request.aiForm = true;
        request.jetwayId = 601;
        request.aiAircraftId = static_cast<uint32_t>(id);
        request.door = "1L";
        api_wire::Area area{};
        api_wire::EncodeJetwayTrigger(request, area);
        FSProcess::OnApiJetwayTrigger(area.data(), area.size());

        const std::vector<ModuleEvent> events = ModuleEvents();
        if (pending) {
            EXPECT_EQ((std::vector<ModuleEvent>{{kTriggerStatus, 601 * 10 + api_wire::kTriggerNoSolution}}), events);
            EXPECT_FALSE(ai->HasDoorAssignments());
            EXPECT_EQ(nullptr, ai->GetDoorJetwayObject("1L"));
            EXPECT_EQ(0u, Monitor().GetJobCountOf(static_cast<int32_t>(id)));
        } else {
            EXPECT_NE(std::find(events.begin(), events.end(),
                                ModuleEvent{kTriggerStatus, 601 * 10 + api_wire::kTriggerAiDocking}),
                      events.end());
            EXPECT_TRUE(ai->HasDoorAssignments());
            EXPECT_EQ(601, ai->GetExit("1L").GetJetwayId());
        }
        sim.RemoveObject(id);
    }
}

// The acknowledgement of a user job ends, like any other, by sending the next queued AI job.
TEST_F(AiTrafficTest, AcknowledgementOfAUserJobSendsTheNextQueuedAiJob)
{
    AddJetway(801, 25.0, 10.0, 4, 1);
    SimObject& aiJetway = AddJetway(802, 25.0, -10.0, 5, 1);
    aiJetway.GetStandData().SetOccupiedByAI(true);
    aiJetway.GetStandData().SetOccupantId(4242);
    Monitor().AddJob(4242, 802);
    Monitor().SerializeJobs();
    ASSERT_EQ(802u, Monitor().GetFirstTrackedJob());
    StartUserJob(801);

    FSProcess::OnJetwayDataReceived(801);
    const std::vector<ModuleEvent> events = ModuleEvents();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(kModuleStart, events[0].event);
    EXPECT_EQ(802u, events[0].data / 10);
    EXPECT_TRUE(Parts().jetwayHandler->IsRegistered(802));
    EXPECT_TRUE(Monitor().HasPendingJetways());
    // The user's job itself is left alone.
    EXPECT_TRUE(Parts().jetwayHandler->IsRegistered(801));
    EXPECT_FALSE(Parts().jetwayHandler->IsMovingId(801));
}

// The toggle (add-on menu item, event 35) waits while any jetway job runs, and is carried out by the next
// call after the last one.
TEST_F(AiTrafficTest, DetectionToggleWaitsForRunningJobs)
{
    FSProcess::CreateTopMenu();
    const auto chooseToggle = [] {
        SIMCONNECT_RECV_EVENT event{};
        event.dwSize = sizeof(event);
        event.dwID = SIMCONNECT_RECV_ID_EVENT;
        event.uEventID = EventMenuAiDetection;
        FSProcess::Dispatch(&event, sizeof(event), nullptr);
    };
    const auto menuHas = [this](const std::string& text) {
        for (const std::string& line : sim.AddonMenu())
            if (line.find(text) != std::string::npos) return true;
        return false;
    };
    SimObject& jetway = AddJetway(901, 25.0, 10.0, 5, 1);
    J(901).GetJetwayData()->JetwayObjectId = 901;
    Parts().jetwayHandler->RegisterJetway(J(901));
    chooseToggle();
    EXPECT_EQ("[VELK] Waiting for all Jetway Operations to stop...", sim.Texts().back().text);
    EXPECT_TRUE(Monitor().IsAIDetectionEnabled());
    EXPECT_TRUE(Monitor().IsToggleRequested());

    Parts().jetwayHandler->UnregisterJetway(jetway.GetObjectId());
    EXPECT_FALSE(FSProcess::ToggleAiTrafficDetection());
    EXPECT_FALSE(Monitor().IsAIDetectionEnabled());
    EXPECT_FALSE(Monitor().IsToggleRequested());
    EXPECT_TRUE(menuHas("Enable AI Traffic Detection"));
    EXPECT_EQ("[VELK] AI Traffic Detection is now disabled!", sim.Texts().back().text);

    // No request: nothing changes.
    EXPECT_FALSE(FSProcess::ToggleAiTrafficDetection());
    EXPECT_FALSE(Monitor().IsAIDetectionEnabled());

    // Disabled detection takes no aircraft.
    const simulator::ObjectId id = AddAi(kCrj7, "sleep");
    Scan();
    EXPECT_EQ(nullptr, Monitor().FindAIObject(static_cast<int32_t>(id)));

    chooseToggle();
    EXPECT_TRUE(Monitor().IsAIDetectionEnabled());
    EXPECT_TRUE(menuHas("Disable AI Traffic Detection"));
    EXPECT_FALSE(menuHas("Enable AI Traffic Detection"));
    EXPECT_EQ("[VELK] AI Traffic Detection is now enabled again!", sim.Texts().back().text);
}

}  // namespace
