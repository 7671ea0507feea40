// AI traffic over the sample machine with the real jetway module in process: an AI 737-800 taxis onto
// pier B stand B22 and shuts down, its two jetways dock one job at a time (also with a CRJ-700 at B21 and
// with a slow module); at clearance they undock and pushing back frees the stand; an aircraft that vanishes
// while its jetway moves has the job aborted (while undocking, the undocking ends); the detection toggle
// from the add-on menu waits for the running jobs.
#include "tests/app/ProgramHarness.h"

#include "guidance/StandTextMenu.h"
#include "guidance/VDGSHandler.h"
#include "jetway/AIMonitor.h"
#include "jetway/JetwayHandler.h"
#include "link/SimConnectIds.h"
#include "module/Brannet.h"
#include "objects/Jetway.h"
#include "objects/SimObjectList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

using namespace programtest;

namespace {

constexpr const char* kB738 = "Quorvath AI B737-800 Nordlink";
constexpr double kMetresPerDegree = 6378137.0 * 3.141592653589793 / 180.0;
constexpr double kFt = 0.3048;
// Stand B22: its display's centre line and the 737's stop, 40.5 m south of the display (nose wheel).
constexpr double kB22DisplayLatitude = 48.10045;
constexpr double kB738StopM = 40.5;
constexpr double kB738NoseXFt = 36.5;
constexpr double kB738NoseZFt = -9.1;
constexpr const char* kCrj7 = "Quorvath AI CRJ-700 Velkair Regional";
// Stand B21: the display leads the CRJ-700's door 1L (33 ft ahead of its datum, 4.3 ft left) to 16.7 m.
constexpr double kB21DisplayLatitude = 48.10045;
constexpr double kB21Longitude = 11.50340;
constexpr double kCrj7StopM = 16.7;
constexpr double kCrj7DoorXFt = 33.0;
constexpr double kCrj7DoorYFt = -4.3;
constexpr double kCrj7NoseZFt = -6.8;

std::string SettingsWithAi(bool debug)
{
    std::ifstream in(kSampleMachine / "c/ProgramData/Quorvath/VELK/orvane.ini");
    std::stringstream text;
    text << in.rdbuf();
    std::string ini = text.str();
    const auto set = [&](const std::string& from, const std::string& to) {
        const size_t at = ini.find(from);
        if (at != std::string::npos) ini.replace(at, from.size(), to);
    };
    set("DetectionEnable=false", "DetectionEnable=true");
    if (debug) set("DebugMode=false", "DebugMode=true");
    return ini;
}

// The module's job events in timeline order: "S<id>" for a job the program started, "R<id>" for the
// module's acknowledgement, "A<id>" for an abort the program sent.
std::vector<std::string> JobEvents(const std::vector<std::string>& timeline)
{
    std::vector<std::string> events;
    const std::pair<const char*, char> kinds[] = {{"event 'VELK.JetwayAction.Start' data ", 'S'},
                                                  {"event 'VELK.JetwayAction.DataReceived' data ", 'R'},
                                                  {"event 'VELK.JetwayAction.Abort' data ", 'A'}};
    for (const std::string& line : timeline)
        for (const auto& [text, kind] : kinds) {
            const size_t at = line.find(text);
            if (at == std::string::npos) continue;
            unsigned long data = std::stoul(line.substr(at + std::strlen(text)));
            if (kind == 'S') data /= 10;  // id * 10 + In channel
            events.push_back(kind + std::to_string(data));
        }
    return events;
}

// Never a second job before the module acknowledged the first.
void ExpectOneJobAtATime(const std::vector<std::string>& events)
{
    int inFlight = 0;
    for (const std::string& e : events) {
        if (e[0] == 'S') ++inFlight;
        if (e[0] == 'R') --inFlight;
        EXPECT_LE(inFlight, 1) << ::testing::PrintToString(events);
    }
}

class AiDay : public ::testing::Test {
protected:
    void SetUp() override
    {
        program.AddFile("c/ProgramData/Quorvath/VELK/orvane.ini", SettingsWithAi(true));
        program.Sim().SetGroundElevation(kXvlkAltitudeFeet);
        program.Sim().SetTimelineListener([this](const std::string& line) { timeline.push_back(line); });
        program.Start();
        program.StartJetwayModule([] { DLLStart(); }, [] { DLLStop(); });
        // The user at the apron, on the ground.
        program.PlaceUser(kXvlkLatitude, kXvlkLongitude, kXvlkAltitudeFeet);
        program.RunWithModule(10000);
    }

    // The CRJ-700 at B21: the display leads door 1L, 16.7 m south of it, abeam the jetway.
    static simulator::AiAircraft CrjAtB21(const std::string& state)
    {
        simulator::AiAircraft ai;
        ai.title = kCrj7;
        ai.atcId = "VK210";
        ai.atcModel = "CRJ7";
        ai.state = state;
        ai.airport = "XVLK";
        ai.parking = "GATE_B 21, GATE_SMALL";
        const double metresPerDegreeLon = kMetresPerDegree * std::cos(kB21DisplayLatitude * 3.141592653589793 / 180.0);
        ai.latitude = kB21DisplayLatitude - (kCrj7StopM + kCrj7DoorXFt * kFt) / kMetresPerDegree;
        ai.longitude = kB21Longitude - kCrj7DoorYFt * kFt / metresPerDegreeLon;
        ai.altitudeFeet = kXvlkAltitudeFeet - kCrj7NoseZFt;
        return ai;
    }

    // With VELK_PRINT_TIMELINE set, the simulator's timeline is printed.
    void TearDown() override
    {
        if (std::getenv("VELK_PRINT_TIMELINE"))
            for (const std::string& line : timeline) std::printf("%s\n", line.c_str());
    }

    // The 737 at the stop of B22, heading north.
    simulator::AiAircraft AtB22(const std::string& state) const
    {
        simulator::AiAircraft ai;
        ai.title = kB738;
        ai.atcId = "NL451";
        ai.atcModel = "B738";
        ai.state = state;
        ai.airport = "XVLK";
        ai.parking = "GATE_B 22, GATE_MEDIUM";
        ai.latitude = kB22DisplayLatitude - (kB738StopM + kB738NoseXFt * kFt) / kMetresPerDegree;
        ai.longitude = kB22Longitude;
        ai.altitudeFeet = kXvlkAltitudeFeet - kB738NoseZFt;
        ai.headingDegrees = 0;
        return ai;
    }

    // The 737 taxies in, stands for a while, then shuts down; the module has time for both jobs.
    simulator::ObjectId Arrive(uint64_t afterShutdownMs = 60000)
    {
        const simulator::ObjectId ai = program.Sim().AddAiAircraft(AtB22("taxi in"));
        program.RunWithModule(9000);
        EXPECT_TRUE(JobEvents(timeline).empty());
        program.Sim().UpdateAiAircraft(ai, AtB22("shutdown"));
        program.RunWithModule(afterShutdownMs);
        return ai;
    }

    // The add-on menu item that holds the sub-item with this text, empty when there is none.
    std::string MenuItem(const std::string& text)
    {
        for (const std::string& line : program.Sim().AddonMenu()) {
            const size_t at = line.find(" > ");
            if (at != std::string::npos && line.substr(at + 3) == text) return line.substr(0, at);
        }
        return "";
    }

    // Objects of this title the program has in the simulation.
    long CreatedCount(const std::string& title) const
    {
        const std::vector<std::string> titles = program.CreatedTitles();
        return std::count(titles.begin(), titles.end(), title);
    }

    SimObject& Jetway(const std::string& name)
    {
        SimObject* object = program::Parts().activeObjects->FindByName("XVLK_PierB:" + name);
        EXPECT_NE(object, nullptr) << name;
        return *object;
    }
    static ::Jetway* Current(SimObject& object)
    {
        SimObjectModel* model = object.GetCurrentModel();
        return model ? model->GetJetway() : nullptr;
    }

    std::vector<std::string> timeline;  // filled by the simulator until it goes: declared first
    ProgramHarness program;
};

// Taxiing in, the aircraft gets nothing; once it shuts down, the front jetway's job goes out, the rear one's
// only after the module took the first; both end docked and the stand is the aircraft's.
TEST_F(AiDay, ArrivingAircraftGetsItsJetwaysDockedOneJobAtATime)
{
    const simulator::ObjectId ai = Arrive();
    const uint32_t front = Jetway("B22 Jetway Front").GetObjectId();
    const uint32_t rear = Jetway("B22 Jetway Rear").GetObjectId();
    const std::vector<std::string> events = JobEvents(timeline);
    EXPECT_EQ(events, (std::vector<std::string>{"S" + std::to_string(front), "R" + std::to_string(front),
                                                "S" + std::to_string(rear), "R" + std::to_string(rear)}));
    ExpectOneJobAtATime(events);
    for (const char* name : {"B22 Jetway Front", "B22 Jetway Rear"}) {
        SCOPED_TRACE(name);
        SimObject& jetway = Jetway(name);
        // The operable model serves the aircraft.
        EXPECT_EQ(jetway.GetCurrentModelIndex(), 1);
        ASSERT_NE(Current(jetway), nullptr);
        EXPECT_TRUE(Current(jetway)->IsDocked());
        EXPECT_FALSE(Current(jetway)->IsMoving());
        EXPECT_TRUE(jetway.GetStandData().IsOccupiedByAI());
        EXPECT_EQ(jetway.GetStandData().GetOccupantId(), ai);
    }
    EXPECT_EQ(program.Log().Count("[JETWAY CONTROL SYSTEM:AI] >>>>>>>> JETWAY"), 0);
    EXPECT_EQ(program::Parts().jetwayHandler->GetMovingCount(), 0u);
}

// The user has chosen B23 while the 737 docks at B22: the user's stand, its guidance and the messages the
// user sees are none of the AI's business.
TEST_F(AiDay, AnAircraftDockingAtAnotherStandLeavesTheUsersStandAlone)
{
    // An aircraft of known type, so that its guidance waits for it instead of ending in an error.
    program.LoadUserAircraft(kA320);
    StandTextMenu& stands = program::StandMenu();
    stands.OnSelect("XVLK:GATE_B");
    stands.SetSelectedStandNumber(23);
    FSProcess::ActivateStandVdgs(true);
    stands.BackupSelection();
    program.RunWithModule(1000);
    ASSERT_TRUE(stands.IsStandSelected());
    VDGSHandler& guidance = *program::Parts().vdgsHandler;
    ASSERT_NE(guidance.GetActiveVDGS(), nullptr);
    const size_t linesBefore = timeline.size();

    Arrive();
    ASSERT_NE(Current(Jetway("B22 Jetway Front")), nullptr);
    ASSERT_TRUE(Current(Jetway("B22 Jetway Front"))->IsDocked());
    EXPECT_TRUE(stands.IsStandSelected());
    EXPECT_EQ(stands.GetSelectedStand().GetParkingNumber(), 23);
    EXPECT_NE(guidance.GetActiveVDGS(), nullptr);
    // No text or menu shown to the user since.
    for (size_t i = linesBefore; i < timeline.size(); ++i)
        EXPECT_TRUE(timeline[i].find("text (") == std::string::npos && timeline[i].find("menu") == std::string::npos)
            << timeline[i];
}

// A CRJ-700 given four left doors (AircraftExits.ini) at B21: no jetway serves an aircraft of four doors, so
// its docking starts nothing; the log says why once, however many scans see it parked.
class AiDayFourDoors : public AiDay {
protected:
    void SetUp() override
    {
        program.AddFile("c/ProgramData/Quorvath/VELK/AircraftExits.ini",
                        "[Quorvath Sample Fleet:Quorvath_AI_CRJ7]\n"
                        "exit.0=0.4, 33.0, -4.3, 1.5, 0\nexit.1=0.4, 10.0, -4.3, 1.5, 0\n"
                        "exit.2=0.4, -10.0, -4.3, 1.5, 0\nexit.3=0.4, -30.0, -4.3, 1.5, 0\n");
        AiDay::SetUp();
    }
};

TEST_F(AiDayFourDoors, ADockingNoJetwayCanServeSaysWhyOnce)
{
    program.Sim().AddAiAircraft(CrjAtB21("shutdown"));
    program.RunWithModule(30000);
    EXPECT_TRUE(JobEvents(timeline).empty());
    EXPECT_EQ(program.Log().Count("INFO VELK.FSLOOP : [JETWAY CONTROL SYSTEM:AI] No jetway of stand XVLK GATE_B 21 can "
                                  "serve a door of 'CRJ7 VK210' (doors 1L, 2L, 3L, 4L; jetway MultiIndex 1): nothing "
                                  "docks."),
              1);
}

// At clearance both jetways undock, again one job at a time; when the aircraft pushes back it leaves the
// scan, the stand is free and the jetways stand as their static models again.
TEST_F(AiDay, DepartingAircraftHasItsJetwaysUndockedAndFreesTheStand)
{
    const simulator::ObjectId ai = Arrive();
    const size_t arrivalEvents = JobEvents(timeline).size();
    const uint32_t front = Jetway("B22 Jetway Front").GetObjectId();
    const uint32_t rear = Jetway("B22 Jetway Rear").GetObjectId();
    program.Sim().UpdateAiAircraft(ai, AtB22("clearance"));
    program.RunWithModule(60000);
    std::vector<std::string> events = JobEvents(timeline);
    events.erase(events.begin(), events.begin() + static_cast<long>(arrivalEvents));
    ASSERT_EQ(events.size(), 4u) << ::testing::PrintToString(events);
    ExpectOneJobAtATime(events);
    for (const uint32_t id : {front, rear}) EXPECT_EQ(std::count(events.begin(), events.end(), "S" + std::to_string(id)), 1);
    for (const char* name : {"B22 Jetway Front", "B22 Jetway Rear"}) {
        SCOPED_TRACE(name);
        SimObject& jetway = Jetway(name);
        if (Current(jetway)) {
            EXPECT_FALSE(Current(jetway)->IsDocked());
            EXPECT_FALSE(Current(jetway)->IsMoving());
        }
    }

    program.Sim().UpdateAiAircraft(ai, AtB22("push back 1"));
    program.RunWithModule(10000);
    for (const char* name : {"B22 Jetway Front", "B22 Jetway Rear"}) {
        SCOPED_TRACE(name);
        SimObject& jetway = Jetway(name);
        EXPECT_FALSE(jetway.GetStandData().IsOccupiedByAI());
        EXPECT_EQ(jetway.GetStandData().GetOccupantId(), 0u);
        EXPECT_EQ(jetway.GetCurrentModelIndex(), 0);
        EXPECT_TRUE(jetway.IsInSimulation());
    }
    EXPECT_EQ(program::Parts().aiMonitor->FindAIObject(static_cast<int32_t>(ai)), nullptr);
    // No job for an aircraft that has gone.
    EXPECT_EQ(JobEvents(timeline).size(), arrivalEvents + 4);
    // The log says what each job did: jetway, the way, door and aircraft, in the order they went out.
    const auto line = [&](const char* name, uint32_t id, const char* way) {
        return "INFO VELK.FSLOOP : [JETWAY JOB] Jetway '" + std::string(name) + "' [" + std::to_string(id) + "] " + way + " of AI [" +
               std::to_string(ai) + "]";
    };
    EXPECT_TRUE(program.Log().InOrder({line("B22 Jetway Front", front, "docking to door 1L"),
                                       line("B22 Jetway Rear", rear, "docking to door 2L"),
                                       line("B22 Jetway Rear", rear, "undocking from door 2L"),
                                       line("B22 Jetway Front", front, "undocking from door 1L")}))
        << ::testing::PrintToString(program.Log().Lines());
    EXPECT_EQ(program.Log().Count("[JETWAY JOB]"), 4);
    EXPECT_EQ(CreatedCount("Quorvath_VELK_JetwayH"), 0);
}

// Two aircraft shut down at neighbouring stands in the same scan: their three jobs still go one at a time.
TEST_F(AiDay, TwoAircraftArrivingTogetherShareTheModuleOneJobAtATime)
{
    const simulator::ObjectId b738 = program.Sim().AddAiAircraft(AtB22("taxi in"));
    const simulator::ObjectId crj = program.Sim().AddAiAircraft(CrjAtB21("taxi in"));
    program.RunWithModule(9000);
    program.Sim().UpdateAiAircraft(b738, AtB22("shutdown"));
    program.Sim().UpdateAiAircraft(crj, CrjAtB21("shutdown"));
    program.RunWithModule(90000);

    const std::vector<std::string> events = JobEvents(timeline);
    EXPECT_EQ(events.size(), 6u) << ::testing::PrintToString(events);
    ExpectOneJobAtATime(events);
    const std::pair<const char*, simulator::ObjectId> served[] = {
        {"B22 Jetway Front", b738}, {"B22 Jetway Rear", b738}, {"B21 Jetway", crj}};
    for (const auto& [name, ai] : served) {
        SCOPED_TRACE(name);
        SimObject& jetway = Jetway(name);
        ASSERT_NE(Current(jetway), nullptr);
        EXPECT_TRUE(Current(jetway)->IsDocked());
        EXPECT_EQ(jetway.GetStandData().GetOccupantId(), ai);
    }
    EXPECT_EQ(program::Parts().jetwayHandler->GetMovingCount(), 0u);
}

// The aircraft disappears while the front jetway moves towards it: that job is aborted at the module, the
// rear one never starts, and both jetways end as static models on a free stand.
TEST_F(AiDay, VanishedAircraftAbortsTheRunningJobAndTheJetwayGoesStatic)
{
    const simulator::ObjectId ai = Arrive(8000);
    const uint32_t front = Jetway("B22 Jetway Front").GetObjectId();
    ASSERT_EQ(JobEvents(timeline), (std::vector<std::string>{"S" + std::to_string(front), "R" + std::to_string(front)}));
    ASSERT_TRUE(Current(Jetway("B22 Jetway Front")) && Current(Jetway("B22 Jetway Front"))->IsMoving());
    ASSERT_TRUE(program.Sim().RemoveObject(ai));
    program.RunWithModule(60000);

    const std::vector<std::string> events = JobEvents(timeline);
    EXPECT_EQ(std::count(events.begin(), events.end(), "A" + std::to_string(front)), 1)
        << ::testing::PrintToString(events);
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const std::string& e) { return e[0] == 'S'; }), 1)
        << ::testing::PrintToString(events);
    for (const char* name : {"B22 Jetway Front", "B22 Jetway Rear"}) {
        SCOPED_TRACE(name);
        SimObject& jetway = Jetway(name);
        EXPECT_EQ(jetway.GetCurrentModelIndex(), 0);
        EXPECT_TRUE(jetway.IsInSimulation());
        EXPECT_FALSE(jetway.GetStandData().IsOccupiedByAI());
    }
    EXPECT_EQ(CreatedCount("Quorvath_VELK_JetwayH"), 0);
    EXPECT_EQ(program::Parts().jetwayHandler->GetMovingCount(), 0u);
    EXPECT_EQ(program::Parts().aiMonitor->GetTrackedJobCount(), 0);
}

// A module slow to take its jobs (held through three scans) still gets one job at a time: scans and new
// arrivals meanwhile send nothing until it acknowledges.
TEST_F(AiDay, SlowModuleGetsNoSecondJobBeforeItAcknowledges)
{
    const simulator::ObjectId b738 = program.Sim().AddAiAircraft(AtB22("taxi in"));
    const simulator::ObjectId crj = program.Sim().AddAiAircraft(CrjAtB21("taxi in"));
    program.RunWithModule(9000);
    program.HoldJetwayModule(true);
    program.Sim().UpdateAiAircraft(crj, CrjAtB21("shutdown"));
    program.RunWithModule(8000);
    program.Sim().UpdateAiAircraft(b738, AtB22("shutdown"));
    program.RunWithModule(12000);
    std::vector<std::string> events = JobEvents(timeline);
    ASSERT_EQ(events.size(), 1u) << ::testing::PrintToString(events);
    EXPECT_EQ(events[0], "S" + std::to_string(Jetway("B21 Jetway").GetObjectId()));

    program.HoldJetwayModule(false);
    program.RunWithModule(90000);
    events = JobEvents(timeline);
    EXPECT_EQ(events.size(), 6u) << ::testing::PrintToString(events);
    ExpectOneJobAtATime(events);
    for (const char* name : {"B21 Jetway", "B22 Jetway Front", "B22 Jetway Rear"}) {
        SCOPED_TRACE(name);
        ASSERT_NE(Current(Jetway(name)), nullptr);
        EXPECT_TRUE(Current(Jetway(name))->IsDocked());
    }
}

// The aircraft disappears while its first jetway undocks: the undocking goes on to the end (no abort), the
// other jetway still undocks, and the stand ends free with both jetways static.
TEST_F(AiDay, AircraftVanishingWhileUndockingLeavesNoJetwayDocked)
{
    const simulator::ObjectId ai = Arrive();
    const size_t arrivalEvents = JobEvents(timeline).size();
    program.Sim().UpdateAiAircraft(ai, AtB22("clearance"));
    program.RunWithModule(3000);
    ASSERT_EQ(JobEvents(timeline).size(), arrivalEvents + 2) << ::testing::PrintToString(JobEvents(timeline));
    ASSERT_TRUE(program.Sim().RemoveObject(ai));
    program.RunWithModule(60000);

    const std::vector<std::string> events = JobEvents(timeline);
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const std::string& e) { return e[0] == 'A'; }), 0)
        << ::testing::PrintToString(events);
    ExpectOneJobAtATime(events);
    for (const char* name : {"B22 Jetway Front", "B22 Jetway Rear"}) {
        SCOPED_TRACE(name);
        SimObject& jetway = Jetway(name);
        EXPECT_EQ(jetway.GetCurrentModelIndex(), 0);
        EXPECT_TRUE(jetway.IsInSimulation());
        EXPECT_FALSE(jetway.GetStandData().IsOccupiedByAI());
        for (int index = 0; index < 2; ++index)
            if (SimObjectModel* model = jetway.GetModel(index); model && model->GetJetway()) {
                EXPECT_FALSE(model->GetJetway()->IsDocked()) << "model " << index;
            }
    }
    EXPECT_EQ(CreatedCount("Quorvath_VELK_JetwayH"), 0);
    EXPECT_EQ(program::Parts().jetwayHandler->GetMovingCount(), 0u);
    EXPECT_EQ(program::Parts().aiMonitor->GetTrackedJobCount(), 0);
}

// Chosen while the jobs run, the toggle waits; the last job's report carries it out.
TEST_F(AiDay, DetectionToggleWaitsForTheRunningJobs)
{
    Arrive(8000);
    ASSERT_EQ(JobEvents(timeline).size(), 2u);
    // The add-on menu offers the item from the start while detection is on.
    ASSERT_FALSE(MenuItem("Disable AI Traffic Detection").empty());
    ASSERT_TRUE(program.Sim().ChooseAddonMenuItem(MenuItem("Disable AI Traffic Detection"), "Disable AI Traffic Detection"));
    program.PumpWithModule();
    const auto shown = [&](const std::string& text) {
        for (const std::string& line : timeline)
            if (line.find(text) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(shown("[VELK] Waiting for all Jetway Operations to stop..."));
    EXPECT_TRUE(program::Parts().aiMonitor->IsAIDetectionEnabled());
    EXPECT_TRUE(MenuItem("Disable AI Traffic Detection").empty());

    program.RunWithModule(60000);
    EXPECT_TRUE(program::Parts().jetwayHandler->IsEmpty());
    EXPECT_FALSE(program::Parts().aiMonitor->IsAIDetectionEnabled());
    EXPECT_FALSE(MenuItem("Enable AI Traffic Detection").empty());
    // Both jobs ran to their end first.
    EXPECT_EQ(JobEvents(timeline).size(), 4u) << ::testing::PrintToString(JobEvents(timeline));
    const auto lineOf = [&](const std::string& text) {
        long last = -1;
        for (size_t i = 0; i < timeline.size(); ++i)
            if (timeline[i].find(text) != std::string::npos) last = static_cast<long>(i);
        return last;
    };
    EXPECT_GT(lineOf("[VELK] AI Traffic Detection is now disabled!"), lineOf("event 'VELK.JetwayAction.Done'"));
    // Undetected, the aircraft is gone for the program: its jetways rest as static models, the stand is free.
    for (const char* name : {"B22 Jetway Front", "B22 Jetway Rear"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Jetway(name).GetCurrentModelIndex(), 0);
        EXPECT_FALSE(Jetway(name).GetStandData().IsOccupiedByAI());
    }

    // Without jobs running, enabling takes effect at once, and the aircraft still at the stand is served.
    ASSERT_TRUE(program.Sim().ChooseAddonMenuItem(MenuItem("Enable AI Traffic Detection"), "Enable AI Traffic Detection"));
    program.PumpWithModule();
    EXPECT_TRUE(program::Parts().aiMonitor->IsAIDetectionEnabled());
    EXPECT_TRUE(shown("[VELK] AI Traffic Detection is now enabled again!"));
    EXPECT_FALSE(MenuItem("Disable AI Traffic Detection").empty());
    program.RunWithModule(60000);
    EXPECT_EQ(JobEvents(timeline).size(), 8u) << ::testing::PrintToString(JobEvents(timeline));
    for (const char* name : {"B22 Jetway Front", "B22 Jetway Rear"}) {
        SCOPED_TRACE(name);
        ASSERT_NE(Current(Jetway(name)), nullptr);
        EXPECT_TRUE(Current(Jetway(name))->IsDocked());
        EXPECT_TRUE(Jetway(name).GetStandData().IsOccupiedByAI());
    }
}

}  // namespace
