// Jetway control against the in-process simulator: jobs written to the In areas and started, the In
// counter shared by user and AI jobs, the refusals, undockings without a solution, the API answers and
// the fast-jetway times.
//
// The jetway stands on the equator at longitude 0, heading north, so its bridge points south; the aircraft
// heads east with its left door about 22 m south of the jetway's root.
#include "jetway/JetwayControl.h"

#include "aircraft/UserAircraft.h"
#include "foundation/Units.h"
#include "jetway/AIMonitor.h"
#include "jetway/core/JetwayCodec.h"
#include "jetway/IKSolver.h"
#include "jetway/JetwayHandler.h"
#include "objects/Jetway.h"
#include "objects/SimObject.h"
#include "objects/SimObjectList.h"
#include "objects/SimObjectModel.h"
#include "platform/clock.h"
#include "platform/simconnect/SimConnect.h"
#include "simulator/Simulator.h"
#include "tests/aircraft/AircraftTestSupport.h"
#include "tests/simulator/SimTestSupport.h"
#include "tests/support/JetwayRecords.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

// Where the trigger answer's fields lie in "VELK.APIData.Out", written out here as an independent check
// of the codec's offsets.
constexpr size_t kApiObjectId = 520;
constexpr size_t kApiStatus = 524;
constexpr size_t kApiVersion = 788;


using namespace jetway_control;
using namespace velk_ids;
using aircrafttest::LogCapture;
using simtest::Drain;
using simtest::Events;

using units::kPi;
constexpr double kA = 6378137.0;
constexpr double kM = kA * (1.0 - 0.00669437999014);
constexpr double kFt = 0.3048;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

constexpr uint32_t kJetwayId = 2345;
constexpr uint32_t kOtherId = 3456;
constexpr const char* kNoConfig = "WARN [JETWAY CONTROL SYSTEM] No 'jetway.cfg' found. Unable to move Jetway...";

double Deg(double r) { return r * 180.0 / kPi; }

SimObject JetwayObject(uint32_t id)
{
    SimObject object;
    object.SetName("EDDM:Jetway " + std::to_string(id));
    object.AddModel("Jetway Title");
    object.SetCurrentModelIndex(0);
    object.SetObjectId(id);
    object.SetPlacement(0.0, 0.0, 0.0, false, false, 0, 0, 0);
    Jetway& jetway = *object.GetCurrentModel()->GetJetway();
    jetway.SetJetwayData(testsupport::TypeAJetwayRecord());
    jetway.SetConfig(true);
    return object;
}

JetwayData Decode(const std::optional<std::vector<uint8_t>>& bytes)
{
    JetwayData r;
    EXPECT_TRUE(bytes.has_value());
    if (bytes) {
        EXPECT_TRUE(DecodeJetwayData(bytes->data(), bytes->size(), r));
    }
    return r;
}

uint32_t U32At(const std::vector<uint8_t>& record, size_t offset)
{
    uint32_t v = 0;
    if (offset + 4 <= record.size()) std::memcpy(&v, record.data() + offset, 4);
    return v;
}

class JetwayControlTest : public testing::Test {
protected:
    JetwayControlTest()
    {
        sim.ServeInProcess();
        orvane = simtest::OpenClient("orvane");
        module = simtest::OpenClient("brannet");
        // The module's side: the In areas and the API answer area, and both events it listens to.
        for (uint32_t n = 1; n <= 4; ++n) {
            const std::string name = "VELK.JetwayData.In." + std::to_string(n);
            SimConnect_MapClientDataNameToID(module, name.c_str(), 100 + n);
            SimConnect_CreateClientData(module, 100 + n, 5600, 0);
            SimConnect_MapClientDataNameToID(orvane, name.c_str(), AreaJetwayIn1 + n - 1);
        }
        SimConnect_MapClientDataNameToID(module, "VELK.APIData.Out", 200);
        SimConnect_CreateClientData(module, 200, kApiRecordSize, 0);
        SimConnect_MapClientDataNameToID(orvane, "VELK.APIData.Out", AreaApiOut);
        SimConnect_AddToClientDataDefinition(orvane, ClientDefJetwayRecord, 0, 5600);
        SimConnect_AddToClientDataDefinition(orvane, ClientDefApiRecord, 0, kApiRecordSize);
        SimConnect_MapClientEventToSimEvent(orvane, EventJetwayStart, "VELK.JetwayAction.Start");
        SimConnect_MapClientEventToSimEvent(orvane, EventJetwayTriggerStatus, "VELK.JetwayTriggerStatus");
        SimConnect_MapClientEventToSimEvent(module, 1, "VELK.JetwayAction.Start");
        SimConnect_MapClientEventToSimEvent(module, 2, "VELK.JetwayTriggerStatus");
        SimConnect_AddClientEventToNotificationGroup(module, 7, 1, FALSE);
        SimConnect_AddClientEventToNotificationGroup(module, 7, 2, FALSE);
        SimConnect_SetNotificationGroupPriority(module, 7, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
        Drain(orvane);
        Drain(module);

        active.Add(JetwayObject(kJetwayId));
        // Aircraft at the jetway's longitude, heading east, its reference point 22 m south.
        const double block[UserAircraft::kSimDataCount] = {Deg(-22.0 / kM), 0.0, 0.0, 0, 0, kPi / 2, 0, 0, 0, 0, 0};
        EXPECT_TRUE(aircraft.SetFromSimData(block, UserAircraft::kSimDataCount));
        EXPECT_NEAR(90.0, aircraft.GetHeading(), 1e-9);
    }
    void SetUp() override
    {
        solver.SetConnection(orvane);
        linkOwner = std::make_unique<SimConnectJetwayControlLink>(orvane);
        control = std::make_unique<JetwayControl>(*linkOwner, handler, solver, active, aircraft, nullptr, &ai,
                                                       log.category());
    }
    ~JetwayControlTest() override
    {
        SimConnect_Close(orvane);
        SimConnect_Close(module);
    }

    SimObject& Object(uint32_t id = kJetwayId) { return *active.FindByObjectId(id); }
    Jetway& J(uint32_t id = kJetwayId) { return *Object(id).GetCurrentModel()->GetJetway(); }

    // A door 22 m south at 5 m (door height 2 m, so the given altitude is the sill plus 1 m).
    std::vector<double> Override(double north = -22.0)
    {
        return {Deg(north / kM), 0.0, 6.0 / kFt, 2.0, 0.0, 3.0, 4.5, 5.5};
    }
    // The main deck's first door where the aircraft's reference point is, sill 5 m up.
    void AddDoor()
    {
        ExitData exit;
        exit.z = 6.0;
        aircraft.AddExit(exit, 1);
    }

    struct Start {
        uint32_t event;
        uint32_t data;
    };
    // The events the module saw: 1 = Start, 2 = trigger status.
    std::vector<Start> ModuleEvents()
    {
        std::vector<Start> out;
        for (const auto& e : Events(Drain(module))) out.push_back({e.uEventID, e.dwData});
        return out;
    }
    // The answer area is zero until an answer is written.
    bool ApiAnswered()
    {
        for (uint8_t b : ApiOut())
            if (b != 0) return true;
        return false;
    }
    std::vector<uint8_t> ApiOut()
    {
        auto bytes = sim.ClientData("VELK.APIData.Out");
        return bytes ? *bytes : std::vector<uint8_t>{};
    }

    platform::ScopedManualClock clock;
    simulator::Simulator sim;
    HANDLE orvane = nullptr;
    HANDLE module = nullptr;
    LogCapture log{"VELK.FSLOOP.TEST"};
    LogCapture solverLog{"VELK.IKSOLVER.CONTROL.TEST"};
    IKSolver solver{solverLog.category()};
    JetwayHandler handler;
    SimObjectList active;
    UserAircraft aircraft;
    AIMonitor ai;
    // Made once the connection is open.
    std::unique_ptr<SimConnectJetwayControlLink> linkOwner{};
    std::unique_ptr<JetwayControl> control{};
};

TEST_F(JetwayControlTest, ApiDockingIsWrittenToTheFirstInAreaAndStarted)
{
    SimConnectJetwayControlLink own{orvane};
    JetwayControl c{own, handler, solver, active, aircraft, nullptr, &ai, log.category()};
    c.SetSettings({true, false});
    const auto door = Override();
    ASSERT_TRUE(c.OperateJetwayForUser(Object(), "1L", kSourceApiActive, true, door.data(), false));

    const JetwayData w = Decode(sim.ClientData("VELK.JetwayData.In.1"));
    EXPECT_EQ(kJetwayId, w.JetwayObjectId);
    EXPECT_EQ(17u, w.AnimationDefinitionId);
    EXPECT_EQ(28u, w.PositionDefinitionId);
    EXPECT_EQ(37u, w.DoneEventId);
    EXPECT_EQ(38u, w.IntermediateEventId);
    EXPECT_EQ(21u, w.ReportDefinitionId);
    EXPECT_EQ(1u, w.InChannel);
    EXPECT_EQ(24u, w.ClientDataAreaId);
    EXPECT_TRUE(w.Moving.load());
    EXPECT_TRUE(w.LevelFirst);
    // Docking values of the given door; its lateral position is none.
    EXPECT_EQ(3.0, w.DoorAngle);
    EXPECT_EQ(1.0, w.DoorHalfHeight);
    EXPECT_EQ(0.0, w.DoorVerticalOffset);
    EXPECT_EQ(4.5, w.DoorValue4);
    EXPECT_EQ(5.5, w.DoorValue5);
    EXPECT_EQ(0.0, w.DoorLateralOffset);
    EXPECT_GT(w.TargetExtension, 15.0);  // the solver's targets travel with the job
    // The jetway keeps what was sent.
    EXPECT_EQ(1u, J().GetRecord().InChannel);
    EXPECT_TRUE(J().IsMoving());

    const auto events = ModuleEvents();
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(1u, events[0].event);
    EXPECT_EQ(kJetwayId * 10 + 1, events[0].data);
    EXPECT_EQ(2u, events[1].event);
    EXPECT_EQ(0u, events[1].data);

    const auto api = ApiOut();
    ASSERT_EQ(kApiRecordSize, api.size());
    EXPECT_EQ(kJetwayId, U32At(api, kApiObjectId));
    EXPECT_EQ(kStatusDocking, U32At(api, kApiStatus));
    EXPECT_EQ(2u, U32At(api, kApiVersion));
    EXPECT_TRUE(handler.IsRegistered(kJetwayId));
    EXPECT_TRUE(handler.IsActive(kJetwayId));
}

TEST_F(JetwayControlTest, MenuDockingAssignsTheDoorAndStoresTheStand)
{
    AddDoor();
    ASSERT_TRUE(control->OperateJetwayForUser(Object(), "1L", kSourceMenu, false, nullptr, false));
    EXPECT_EQ(static_cast<int32_t>(kJetwayId), aircraft.GetExit("1L").GetJetwayId());
    EXPECT_EQ(aircraft.GetLatitude(), aircraft.GetStoredLatitude());
    EXPECT_EQ(UserAircraft::kDockingStandRadius, aircraft.GetStoredValue());
    const JetwayData w = Decode(sim.ClientData("VELK.JetwayData.In.1"));
    EXPECT_EQ(1.0, w.DoorHalfHeight);  // the exit's default door height of 2 m
    EXPECT_EQ(4.0, w.DoorValue4);
    // A menu docking answers no API client and is not marked active.
    EXPECT_FALSE(ApiAnswered());
    EXPECT_FALSE(handler.IsActive(kJetwayId));
    const auto events = ModuleEvents();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(kJetwayId * 10 + 1, events[0].data);
    // Without door parameters for the type the exit's own values are used, with a warning.
    EXPECT_TRUE(log.Has("WARN [JETWAY CONTROL SYSTEM] No Door Parameters '1L' found for Aircraft Type ''!"));
}

// User and AI jobs take turns on one counter: 1, 2, 3, 4, 1, ...
TEST_F(JetwayControlTest, InAreasRotateAcrossUserAndAiJobs)
{
    active.Add(JetwayObject(kOtherId));
    const struct {
        bool ai;
        uint32_t channel;
    } jobs[] = {{false, 1}, {true, 2}, {false, 3}, {true, 4}, {false, 1}, {true, 2}};
    for (const auto& job : jobs) {
        SCOPED_TRACE(job.channel);
        if (job.ai) {
            control->SetupAiJetwayPayload(kOtherId);
            EXPECT_EQ(job.channel, J(kOtherId).GetRecord().InChannel);
            EXPECT_EQ(23 + job.channel, J(kOtherId).GetRecord().ClientDataAreaId);  // In.1 is area 24
            EXPECT_TRUE(ModuleEvents().empty());  // the AI sender writes and starts it
        } else {
            handler.AddPendingDoor(kJetwayId);
            ASSERT_TRUE(control->TriggerJetway(kSourceMenu));
            handler.RemovePending(kJetwayId);
            const JetwayData w = Decode(sim.ClientData("VELK.JetwayData.In." + std::to_string(job.channel)));
            EXPECT_EQ(job.channel, w.InChannel);
            const auto events = ModuleEvents();
            ASSERT_EQ(1u, events.size());
            EXPECT_EQ(kJetwayId * 10 + job.channel, events[0].data);
        }
    }
}

TEST_F(JetwayControlTest, JetwaysThatCannotBeOperatedAreRefused)
{
    const struct {
        const char* name;
        bool config;
        uint32_t type;
        bool model;
    } cases[] = {
        {"no jetway.cfg", false, kJetwayTypeA, true},
        {"type 0", true, 0, true},
        {"type 5", true, 5, true},
        {"type huge", true, 0xFFFFFFFFu, true},
        {"no current model", true, kJetwayTypeA, false},
    };
    const auto door = Override();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.Clear();
        SimObject object = JetwayObject(kOtherId);
        object.GetCurrentModel()->GetJetway()->SetConfig(c.config);
        object.GetCurrentModel()->GetJetway()->GetJetwayData()->JetwayType = c.type;
        if (!c.model) object.SetCurrentModelIndex(-1);
        // Asked through the menu: refused with the log line only.
        const auto answerBefore = ApiOut();
        EXPECT_FALSE(control->OperateJetwayForUser(object, "1L", kSourceMenu, true, door.data(), false));
        EXPECT_TRUE(log.Has(kNoConfig));
        EXPECT_EQ(answerBefore, ApiOut());
        EXPECT_EQ(0u, handler.GetPendingDoorCount());
        EXPECT_TRUE(ModuleEvents().empty());
        // Asked by an API client, which waits for its answer: "no solution".
        EXPECT_FALSE(control->OperateJetwayForUser(object, "1L", kSourceApiActive, true, door.data(), false));
        const auto api = ApiOut();
        ASSERT_EQ(kApiRecordSize, api.size());
        EXPECT_EQ(kOtherId, U32At(api, kApiObjectId));
        EXPECT_EQ(kStatusNoSolution, U32At(api, kApiStatus));
        const auto events = ModuleEvents();
        ASSERT_EQ(1u, events.size());
        EXPECT_EQ(2u, events[0].event);
        EXPECT_EQ(0u, events[0].data);
        EXPECT_EQ(0u, handler.GetPendingDoorCount());
    }
}

TEST_F(JetwayControlTest, UnreachableDoorIsNotQueuedAndApiHearsNoSolution)
{
    const struct {
        const char* name;
        std::vector<double> door;
        bool given;
    } cases[] = {
        {"door too far", Override(-80.0), true},
        {"door values not numbers", {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN}, true},
        {"no door given", {}, true},
        {"aircraft without exits", {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool checkOnly : {false, true}) {
            const size_t textsBefore = sim.Texts().size();
            EXPECT_FALSE(control->OperateJetwayForUser(Object(), "1L", kSourceApiRegistry, c.given,
                                                      c.door.empty() ? nullptr : c.door.data(), checkOnly));
            // Only the solver shows its text, and only when a job was asked for.
            if (c.name == std::string("door too far") && !checkOnly) {
                ASSERT_EQ(textsBefore + 1, sim.Texts().size());
                EXPECT_EQ(0u, sim.Texts().back().text.rfind("[VELK] JETWAY CONTROL SYSTEM: Unable to dock!", 0));
            } else {
                EXPECT_EQ(textsBefore, sim.Texts().size());
            }
            const auto api = ApiOut();
            ASSERT_EQ(kApiRecordSize, api.size());
            EXPECT_EQ(kJetwayId, U32At(api, kApiObjectId));
            EXPECT_EQ(kStatusNoSolution, U32At(api, kApiStatus));
            const auto events = ModuleEvents();
            ASSERT_EQ(1u, events.size());
            EXPECT_EQ(2u, events[0].event);
            EXPECT_EQ(0u, handler.GetPendingDoorCount());
            EXPECT_FALSE(sim.ClientData("VELK.JetwayData.In.1").has_value() &&
                         Decode(sim.ClientData("VELK.JetwayData.In.1")).JetwayObjectId != 0);
        }
    }
}

TEST_F(JetwayControlTest, CheckOnlyQueuesOrAnswersButNeverStarts)
{
    const auto door = Override();
    // API: answers 1.
    ASSERT_TRUE(control->OperateJetwayForUser(Object(), "1L", kSourceApiActive, true, door.data(), true));
    EXPECT_EQ(kStatusSolvable, U32At(ApiOut(), kApiStatus));
    EXPECT_EQ(0u, handler.GetPendingDoorCount());
    // Menu: queued, nothing answered.
    ASSERT_TRUE(control->OperateJetwayForUser(Object(), "1L", kSourceMenu, true, door.data(), true));
    EXPECT_EQ(std::vector<uint32_t>{kJetwayId}, handler.GetPendingDoors());
    const auto events = ModuleEvents();
    ASSERT_EQ(1u, events.size());  // only the API answer's status event
    EXPECT_EQ(2u, events[0].event);
    EXPECT_FALSE(sim.ClientData("VELK.JetwayData.In.1").has_value() &&
                 Decode(sim.ClientData("VELK.JetwayData.In.1")).JetwayObjectId != 0);
    EXPECT_EQ(0u, control->GetInChannel());
    EXPECT_FALSE(J().IsMoving());
}

// A docked jetway undocks although its door is out of reach or gone; the request reports no solution.
TEST_F(JetwayControlTest, DockedJetwayUndocksWithoutSolution)
{
    const struct {
        const char* name;
        bool exits;
    } cases[] = {{"door out of reach", true}, {"aircraft without exits", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        handler.ClearPendingDoors();
        aircraft.ClearExits();
        if (c.exits) {
            ExitData exit;
            exit.x = 200.0;  // the door is far from the jetway now
            exit.SetJetwayId(static_cast<int32_t>(kJetwayId));
            aircraft.AddExit(exit, 1);
        }
        J().SetDocked(true);
        const double targetBefore = J().GetRecord().TargetExtension;
        EXPECT_FALSE(control->OperateJetwayForUser(Object(), "1L", kSourceApiActive, false, nullptr, false));
        if (c.exits) {
            EXPECT_EQ(-1, aircraft.GetExit("1L").GetJetwayId());
        } else {
            EXPECT_EQ(targetBefore, J().GetRecord().TargetExtension);  // the solver was not asked
        }
        EXPECT_EQ(kStatusUndocking, U32At(ApiOut(), kApiStatus));
        const auto events = ModuleEvents();
        ASSERT_EQ(2u, events.size());
        EXPECT_EQ(1u, events[0].event);
        EXPECT_EQ(kJetwayId * 10 + control->GetInChannel(), events[0].data);
        EXPECT_TRUE(J().IsDocked());  // the module's Done report flips it
    }
}

// A door that cannot be placed is refused before anything moves: a docked jetway is not released and an
// undocked one does not dock at the aircraft's reference point; an API caller hears no solution.
TEST_F(JetwayControlTest, UnusableDoorIsRefusedDockedOrNot)
{
    constexpr double kInf = std::numeric_limits<double>::infinity();
    std::vector<double> nanAltitude = Override();
    nanAltitude[2] = kNaN;
    std::vector<double> infiniteValue = Override();
    infiniteValue[7] = -kInf;
    const struct {
        const char* name;
        bool docked;
        int32_t source;
        bool given;
        std::vector<double> door;
        const char* doorName;
        const char* error;
    } cases[] = {
        {"docked, given altitude not a number", true, kSourceApiActive, true, nanAltitude, "1L",
         "ERROR [JETWAY CONTROL SYSTEM] Jetway [2345]: the given door is not a number!"},
        {"docked, given value infinite", true, kSourceApiRegistry, true, infiniteValue, "1L",
         "ERROR [JETWAY CONTROL SYSTEM] Jetway [2345]: the given door is not a number!"},
        {"docked, door the aircraft lacks", true, kSourceApiActive, false, {}, "3R",
         "ERROR [JETWAY CONTROL SYSTEM] Jetway [2345]: the aircraft has no door '3R'!"},
        {"undocked, door the aircraft lacks", false, kSourceApiActive, false, {}, "3R",
         "ERROR [JETWAY CONTROL SYSTEM] Jetway [2345]: the aircraft has no door '3R'!"},
        {"undocked, menu, door the aircraft lacks", false, kSourceMenu, false, {}, "2L",
         "ERROR [JETWAY CONTROL SYSTEM] Jetway [2345]: the aircraft has no door '2L'!"},
    };
    AddDoor();  // "1L" at the reference point, well in reach
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.Clear();
        handler.ClearPendingDoors();
        J().SetDocked(c.docked);
        aircraft.AssignJetwayToExit("1L", c.docked ? static_cast<int32_t>(kJetwayId) : -1);
        const double targetBefore = J().GetRecord().TargetExtension;
        for (bool checkOnly : {false, true}) {
            EXPECT_FALSE(control->OperateJetwayForUser(Object(), c.doorName, c.source, c.given,
                                                      c.door.empty() ? nullptr : c.door.data(), checkOnly));
            EXPECT_TRUE(log.Has(c.error));
            if (c.source == kSourceMenu) {
                EXPECT_TRUE(ModuleEvents().empty());  // no answer, no start
            } else {
                EXPECT_EQ(kStatusNoSolution, U32At(ApiOut(), kApiStatus));
                const auto events = ModuleEvents();
                ASSERT_EQ(1u, events.size());  // the status event only, no start
                EXPECT_EQ(2u, events[0].event);
            }
            EXPECT_EQ(0u, handler.GetPendingDoorCount());
            EXPECT_EQ(c.docked, J().IsDocked());
            EXPECT_FALSE(J().IsMoving());
            EXPECT_EQ(targetBefore, J().GetRecord().TargetExtension);  // the solver was not asked
            EXPECT_EQ(c.docked ? static_cast<int32_t>(kJetwayId) : -1, aircraft.GetExit("1L").GetJetwayId());
            if (!c.given) {
                EXPECT_FALSE(aircraft.HasExit(c.doorName));  // the lookup added no exit
            }
        }
    }
}

TEST_F(JetwayControlTest, FastJetwayTimes)
{
    const struct {
        bool fast;
        bool ai;
        double rotation, extension, dip, head, hood;
    } cases[] = {
        {true, false, 2.0, 2.0, 0.5, 0.5, 0.2},
        {true, true, 1.0, 1.0, 0.5, 0.5, 0.2},
        {false, false, 7.0, 7.0, 7.0, 7.0, 7.0},
        {false, true, 7.0, 7.0, 7.0, 7.0, 7.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.fast) + " ai " + std::to_string(c.ai));
        solver.SetFastJetways(c.fast);
        JetwayData r = testsupport::TypeAJetwayRecord();
        r.RootRotationTime = r.BridgeExtensionTime = r.DipTime = r.HeadRotationTime = r.HoodTime = 7.0;
        J().SetJetwayData(r);
        if (c.ai) {
            control->SetupAiJetwayPayload(kJetwayId);
        } else {
            handler.AddPendingDoor(kJetwayId);
            ASSERT_TRUE(control->TriggerJetway(kSourceMenu));
            handler.ClearPendingDoors();
            const JetwayData w = Decode(sim.ClientData("VELK.JetwayData.In." + std::to_string(control->GetInChannel())));
            EXPECT_EQ(c.rotation, w.RootRotationTime);
            EXPECT_EQ(c.hood, w.HoodTime);
        }
        const JetwayData& s = J().GetRecord();
        EXPECT_EQ(c.rotation, s.RootRotationTime);
        EXPECT_EQ(c.extension, s.BridgeExtensionTime);
        EXPECT_EQ(c.dip, s.DipTime);
        EXPECT_EQ(c.head, s.HeadRotationTime);
        EXPECT_EQ(c.hood, s.HoodTime);
    }
}

TEST_F(JetwayControlTest, TriggerWithoutAKnownFirstJetway)
{
    EXPECT_FALSE(control->TriggerJetway(kSourceMenu));  // nothing pending
    handler.AddPendingDoor(999);
    handler.AddPendingDoor(kJetwayId);
    EXPECT_FALSE(control->TriggerJetway(kSourceMenu));
    EXPECT_TRUE(log.Has("ERROR [JCS:TRIGGER] Invalid Jetway ObjID: [999]!"));
    EXPECT_EQ(0u, handler.GetPendingDoorCount());
    EXPECT_TRUE(ModuleEvents().empty());
    EXPECT_EQ(0u, control->GetInChannel());
}

// Of two pending jetways the one whose root turns back below its saved rotation moves second.
TEST_F(JetwayControlTest, JetwayTurningBackMovesSecond)
{
    active.Add(JetwayObject(kOtherId));
    J(kJetwayId).GetJetwayData()->TargetRootRotation = -0.2;
    J(kOtherId).GetJetwayData()->TargetRootRotation = 0.3;
    handler.AddPendingDoor(kJetwayId);
    handler.AddPendingDoor(kOtherId);
    ASSERT_TRUE(control->TriggerJetway(kSourceMenu));
    EXPECT_EQ((std::vector<uint32_t>{kOtherId, kJetwayId}), handler.GetPendingDoors());
    const auto events = ModuleEvents();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(kOtherId * 10 + 1, events[0].data);
    // A single pending jetway goes whichever way it turns.
    handler.ClearPendingDoors();
    handler.AddPendingDoor(kJetwayId);
    ASSERT_TRUE(control->TriggerJetway(kSourceMenu));
    EXPECT_EQ(kJetwayId * 10 + 2, ModuleEvents().at(0).data);
}

TEST_F(JetwayControlTest, AiJobJetwaysThatAreUnknown)
{
    control->SetupAiJetwayPayload(0);
    control->SetupAiJetwayPayload(777);
    EXPECT_TRUE(log.Has("ERROR [AI:SETUPJETWAYPAYLOAD] Invalid Jetway ObjID: 777!"));
    EXPECT_EQ(0u, control->GetInChannel());

    ai.AddJob(42, 888);
    control->DetectAiAtJetway(42);
    EXPECT_TRUE(log.Has("ERROR [AI DETECTION] Invalid Jetway ObjID: 888!"));
    EXPECT_EQ(0u, ai.GetJobCountOf(42));
    control->DetectAiAtJetway(43);  // no job: nothing
    EXPECT_TRUE(ModuleEvents().empty());
}

// Only a jetway known just to the registry (an API client's) is reported, with id × 10 + status.
TEST_F(JetwayControlTest, AiDetectionReportsOutsideJetways)
{
    SimObject outside = JetwayObject(kOtherId);
    outside.GetCurrentModel()->GetJetway()->SetDocked(true);
    ASSERT_TRUE(handler.AddExternalJetway(outside));
    ai.AddJob(7, kJetwayId);
    control->DetectAiAtJetway(7);
    EXPECT_TRUE(ModuleEvents().empty());
    EXPECT_FALSE(handler.IsActive(kJetwayId));

    ai.AddJob(8, kOtherId);
    control->DetectAiAtJetway(8);
    const auto events = ModuleEvents();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(2u, events[0].event);
    EXPECT_EQ(kOtherId * 10 + kStatusUndocking, events[0].data);
    EXPECT_EQ(kStatusUndocking, U32At(ApiOut(), kApiStatus));
    EXPECT_EQ(kOtherId, U32At(ApiOut(), kApiObjectId));
    EXPECT_TRUE(handler.IsActive(kOtherId));
}

TEST_F(JetwayControlTest, AiDetectionTakesTheJetwayThatTurnsForwardFirst)
{
    SimObject outside = JetwayObject(kOtherId);
    ASSERT_TRUE(handler.AddExternalJetway(outside));
    J().GetJetwayData()->TargetRootRotation = -0.5;
    ai.AddJob(9, kJetwayId);
    ai.AddJob(9, kOtherId);
    control->DetectAiAtJetway(9);
    EXPECT_EQ((std::vector<uint32_t>{kOtherId, kJetwayId}), ai.GetJobsOf(9));
    EXPECT_EQ(kOtherId * 10 + kStatusDocking, ModuleEvents().at(0).data);
}

// The link writes a job only into the job area the record names; a result area or any other id is refused
// and nothing reaches the module.
TEST_F(JetwayControlTest, LinkWritesJobsOnlyIntoJobAreas)
{
    struct Case {
        uint32_t area;
        const char* written;  // null: refused
    };
    const Case cases[] = {{23, nullptr}, {24, "VELK.JetwayData.In.1"}, {27, "VELK.JetwayData.In.4"}, {28, nullptr}};
    uint32_t id = 500;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.area);
        JetwayData record;
        record.JetwayObjectId = ++id;
        record.ClientDataAreaId = c.area;
        EXPECT_EQ(c.written != nullptr, linkOwner->SendJetwayData(record));
        if (c.written) {
            EXPECT_EQ(id, Decode(sim.ClientData(c.written)).JetwayObjectId);
        }
    }
    // The refused jobs went nowhere else either.
    for (const char* untouched : {"VELK.JetwayData.In.2", "VELK.JetwayData.In.3"}) {
        const auto bytes = sim.ClientData(untouched);
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(std::vector<uint8_t>(5600, 0), *bytes) << untouched;
    }
}

// Door names the aircraft does not have never add an exit or crash, whatever the solver answers.
TEST_F(JetwayControlTest, UnknownDoorNamesAddNoExit)
{
    AddDoor();
    for (const char* name : {"", "9L Upper", "L", "\xff\xfe", "99999999999999999999L"}) {
        SCOPED_TRACE(name);
        control->OperateJetwayForUser(Object(), name, kSourceMenu, false, nullptr, false);
        EXPECT_EQ(1u, aircraft.GetExitCount());
        EXPECT_EQ(-1, aircraft.GetExit("1L").GetJetwayId());
        handler.ClearPendingDoors();
    }
}

}  // namespace
