// brannet in-process against the stand-in simulator: an API client plays the main program's side of the
// job exchange while the manual clock drives the jetway ticks.
#include "tests/jetway/core/JetwayTestSupport.h"

#include "module/Brannet.h"
#include "platform/simconnect/ModuleDispatch.h"

#include <cmath>
#include <limits>
#include <string>
#include <map>

using namespace jetwaytest;

namespace {

// The API client's own ids.
enum : DWORD {
    kStart = 36,
    kDone = 37,
    kIntermediate = 38,
    kAbort = 39,
    kDataReceived = 40,
    kResetAll = 41,
    kConnectionCheck = 42,
    kReloadAll = 43,
    kLVarsQuery = 44,
    kLVarsResponse = 45,
    kImmediateStop = 46,
    kGroup = 5,
    kInArea = 24,     // .. 27
    kOutArea = 28,    // .. 35
    kLVarsArea = 50,
    kRecordDefinition = 21,
};

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        JetwayCore::ResetOutChannel();
        sim.ServeInProcess();
        {
            platform::simconnect::OpenCapture capture;
            EXPECT_EQ(DLLStart(), 0);
            ASSERT_EQ(capture.Handles().size(), 1u);
            module = capture.Handles()[0];
        }
        api = OpenClient("orvane");
        const std::pair<DWORD, const char*> events[] = {
            {kStart, "VELK.JetwayAction.Start"},
            {kDone, "VELK.JetwayAction.Done"},
            {kIntermediate, "VELK.JetwayAction.Intermediate"},
            {kAbort, "VELK.JetwayAction.Abort"},
            {kDataReceived, "VELK.JetwayAction.DataReceived"},
            {kResetAll, "VELK.JetwayAction.ResetAll"},
            {kConnectionCheck, "VELK.JetwayAction.ConnectionCheck"},
            {kReloadAll, "VELK.ReloadAll"},
            {kLVarsQuery, "VELK.JetwayAction.AcftLVarsQuery"},
            {kLVarsResponse, "VELK.JetwayAction.AcftLVarsResponse"},
            {kImmediateStop, "VELK.JetwayAction.ImmediateStop"},
        };
        for (const auto& [id, name] : events) {
            SimConnect_MapClientEventToSimEvent(api, id, name);
            SimConnect_AddClientEventToNotificationGroup(api, kGroup, id);
        }
        SimConnect_SetNotificationGroupPriority(api, kGroup, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
        for (DWORD i = 0; i < 4; ++i)
            SimConnect_MapClientDataNameToID(api, ("VELK.JetwayData.In." + std::to_string(i + 1)).c_str(), kInArea + i);
        for (DWORD i = 0; i < 8; ++i)
            SimConnect_MapClientDataNameToID(api, ("VELK.JetwayData.Out." + std::to_string(i + 1)).c_str(), kOutArea + i);
        SimConnect_AddToClientDataDefinition(api, kRecordDefinition, 0, 5600);
        jetwayA = CreateObject(api, "Jetway One", 1);
        jetwayB = CreateObject(api, "Jetway Two", 2);
        partA = CreateObject(api, "Jetway One Bridge", 3);
        Drain(api);
        Pump();
        sim.ClearTimeline();
    }

    void TearDown() override
    {
        DLLStop();
        Panels = nullptr;
        SimConnect_Close(api);
    }

    // Delivers what waits for the module, also what it sent itself on the way.
    void Pump()
    {
        for (int i = 0; i < 4; ++i) platform::simconnect::DispatchToRegisteredCallback(module);
    }

    void Send(DWORD event, DWORD data)
    {
        SimConnect_TransmitClientEvent(api, 0, event, data, SIMCONNECT_GROUP_PRIORITY_HIGHEST,
                                       SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
    }

    // A docking job for a type "A" jetway with one bridge part.
    JetwayData Job(DWORD jetwayId)
    {
        JetwayCore core;
        JetwayData r = ConfiguredRecord(kJetwayTypeA);
        r.JetwayObjectId = jetwayId;
        // The sender's own ids; the module puts its own in.
        r.AnimationDefinitionId = 17;
        r.PositionDefinitionId = 28;
        r.DoneEventId = 37;
        r.IntermediateEventId = 38;
        r.ReportDefinitionId = 21;
        if (jetwayId == jetwayA) {
            r.Parts[0].SetSimTitle("Jetway One Bridge");
            r.Parts[0].SetLinkTypeFromText("BRIDGE_MOVING");
            r.Parts[0].SetOffset(5, 0, 1);
            r.Parts[0].SetObjectId(partA);
        }
        core.SetJetwayData(r);
        core.ComputeParkedPose();
        SetTargets(core, 0.3, 0.05, -0.2, 22.0, 12.0);
        core.GetJetwayData()->Moving = true;
        return core.GetRecord();
    }

    void WriteJob(const JetwayData& job, DWORD channel)
    {
        JetwayBytes bytes = EncodeJetwayData(job);
        WriteBytes(bytes, channel);
    }
    void WriteBytes(JetwayBytes& bytes, DWORD channel)
    {
        ASSERT_EQ(SimConnect_SetClientData(api, kInArea + channel - 1, kRecordDefinition, 0, 0, 5600, bytes.data()), S_OK);
    }

    // Writes the job, announces it and lets the module take it.
    void StartJob(const JetwayData& job, DWORD channel)
    {
        WriteJob(job, channel);
        Send(kStart, job.JetwayObjectId * 10 + channel);
        Pump();
    }

    // One tick of every moving jetway (the first call also runs the ticks due at once).
    void Tick()
    {
        clock.clock().Advance(ticked ? 40 : 0);
        ticked = true;
        Pump();
    }

    std::vector<SIMCONNECT_RECV_EVENT> ApiEvents() { return Events(Drain(api)); }

    static std::vector<SIMCONNECT_RECV_EVENT> Only(const std::vector<SIMCONNECT_RECV_EVENT>& all, DWORD id)
    {
        std::vector<SIMCONNECT_RECV_EVENT> out;
        for (const auto& e : all)
            if (e.uEventID == id) out.push_back(e);
        return out;
    }

    // Ticks until the API client sees Done for the jetway; every event seen on the way.
    std::vector<SIMCONNECT_RECV_EVENT> RunUntilDone(DWORD jetwayId, int maxTicks = 3000)
    {
        std::vector<SIMCONNECT_RECV_EVENT> seen;
        for (int i = 0; i < maxTicks; ++i) {
            Tick();
            for (const auto& e : ApiEvents()) {
                seen.push_back(e);
                if (e.uEventID == kDone && e.dwData / 10 == jetwayId) return seen;
            }
        }
        ADD_FAILURE() << "no Done for " << jetwayId;
        return seen;
    }

    JetwayData OutArea(int channel)
    {
        JetwayData r;
        auto bytes = sim.ClientData("VELK.JetwayData.Out." + std::to_string(channel));
        if (!bytes || !DecodeJetwayData(bytes->data(), bytes->size(), r)) ADD_FAILURE() << "Out area " << channel;
        return r;
    }

    std::vector<std::string> PrintedTexts()
    {
        std::vector<std::string> out;
        for (const auto& t : sim.Texts()) out.push_back(t.text);
        return out;
    }

    double Var(DWORD id, const char* name, const char* unit = "Number")
    {
        return sim.Number(id, name, unit).value_or(-999999.0);
    }

    platform::ScopedManualClock clock;
    simulator::Simulator sim;
    HANDLE module = nullptr;
    HANDLE api = nullptr;
    DWORD jetwayA = 0, jetwayB = 0, partA = 0;
    bool ticked = false;
};

TEST_F(ModuleTest, LoadingCreatesTheThirteenAreas)
{
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(sim.ClientData("VELK.JetwayData.In." + std::to_string(i))->size(), 5600u);
    for (int i = 1; i <= 8; ++i) EXPECT_EQ(sim.ClientData("VELK.JetwayData.Out." + std::to_string(i))->size(), 5600u);
    EXPECT_EQ(sim.ClientData("VELK.AcftLVars.Out")->size(), 24u);
    EXPECT_EQ(brannet::BuildModuleVersionText(), "1.7.1");
}

TEST_F(ModuleTest, AJobIsReadMovedReportedAndErased)
{
    const JetwayData job = Job(jetwayA);
    WriteJob(job, 3);
    Send(kStart, jetwayA * 10 + 3);
    Pump();

    auto events = ApiEvents();
    auto received = Only(events, kDataReceived);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].dwData, jetwayA);
    EXPECT_EQ(brannet::JetwayCount(), 1u);
    EXPECT_EQ(brannet::PendingCount(), 0u);
    const JetwayCore* jetway = brannet::FindJetway(jetwayA);
    ASSERT_NE(jetway, nullptr);
    EXPECT_EQ(jetway->GetRecord().DoneEventId, brannet::ids::kEventDone);
    EXPECT_EQ(jetway->GetRecord().PositionDefinitionId, brannet::ids::kPartPositionDefinition);
    EXPECT_EQ(jetway->GetRecord().ReportDefinitionId, brannet::ids::kClientDefinitionRecord);
    EXPECT_TRUE(jetway->IsMoving());

    // The jetway object's animation and the part's position change tick by tick.
    Tick();
    const double latitude0 = Var(partA, "PLANE LATITUDE", "degrees");
    std::vector<double> hood;
    for (int i = 0; i < 5; ++i) {
        Tick();
        hood.push_back(Var(jetwayA, "ACCELERATION BODY X"));
    }
    EXPECT_NE(hood.front(), hood.back());
    auto rest = RunUntilDone(jetwayA);
    EXPECT_NE(Var(partA, "PLANE LATITUDE", "degrees"), latitude0);
    EXPECT_EQ(Only(rest, kIntermediate).size(), 1u);
    auto done = Only(rest, kDone);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].dwData, jetwayA * 10 + 1);

    const JetwayData out = OutArea(1);
    EXPECT_TRUE(out.Docked);
    EXPECT_FALSE(out.Moving);
    EXPECT_EQ(out.OutChannel, 1u);
    EXPECT_EQ(out.JetwayObjectId, jetwayA);
    EXPECT_EQ(Var(jetwayA, "VELOCITY WORLD X"), out.ExtensionChannel);

    // The module took its own Done: the entry is gone.
    EXPECT_EQ(brannet::JetwayCount(), 0u);
}

TEST_F(ModuleTest, StartOutsideTheFourAreasLeavesNothingPending)
{
    Send(kStart, jetwayA * 10 + 5);
    Send(kStart, jetwayA * 10 + 0);
    Pump();
    EXPECT_EQ(brannet::PendingCount(), 0u);
    EXPECT_TRUE(Only(ApiEvents(), kDataReceived).empty());
}

TEST_F(ModuleTest, AbortStopsTheNamedJetwayAtItsNextTick)
{
    StartJob(Job(jetwayA), 1);
    for (int i = 0; i < 10; ++i) Tick();
    ApiEvents();

    Send(kAbort, jetwayA * 10 + 1);  // carries the plain id: this matches nothing
    Pump();
    Tick();
    EXPECT_TRUE(Only(ApiEvents(), kDone).empty());

    Send(kAbort, jetwayA);
    Pump();
    Tick();
    auto done = Only(ApiEvents(), kDone);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].dwData, jetwayA * 10 + 1);
    EXPECT_FALSE(OutArea(1).Docked);
    EXPECT_EQ(brannet::JetwayCount(), 0u);
}

TEST_F(ModuleTest, ResetAllStopsEveryJetwayAndReportsTheCount)
{
    StartJob(Job(jetwayA), 1);
    StartJob(Job(jetwayB), 2);
    Tick();
    Tick();
    ASSERT_EQ(brannet::JetwayCount(), 2u);
    ApiEvents();

    Send(kResetAll, 3);
    Pump();
    auto reload = Only(ApiEvents(), kReloadAll);
    ASSERT_EQ(reload.size(), 1u);
    EXPECT_EQ(reload[0].dwData, 2u);
    EXPECT_EQ(brannet::JetwayCount(), 0u);
    EXPECT_FALSE(brannet::IsResetRunning());
    const auto texts = PrintedTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "[VELK] All active Jetways stopped due to Main Module (exe) Reset/Disconnection! (N=2)");

    // No tick runs after the reset.
    const double extension = Var(jetwayA, "VELOCITY WORLD X");
    for (int i = 0; i < 20; ++i) Tick();
    EXPECT_EQ(Var(jetwayA, "VELOCITY WORLD X"), extension);
    EXPECT_TRUE(Only(ApiEvents(), kDone).empty());
}

TEST_F(ModuleTest, ResetAllWithoutJetwaysSendsZeroAndPrintsNothing)
{
    Send(kResetAll, 3);
    Pump();
    auto reload = Only(ApiEvents(), kReloadAll);
    ASSERT_EQ(reload.size(), 1u);
    EXPECT_EQ(reload[0].dwData, 0u);
    EXPECT_TRUE(PrintedTexts().empty());
}

TEST_F(ModuleTest, AJobArrivingDuringAResetIsStoppedAtOnce)
{
    WriteJob(Job(jetwayA), 1);
    Send(kStart, jetwayA * 10 + 1);
    Send(kResetAll, 0);  // arrives before the area's contents
    Pump();

    auto events = ApiEvents();
    auto stop = Only(events, kImmediateStop);
    ASSERT_EQ(stop.size(), 1u);
    EXPECT_EQ(stop[0].dwData, jetwayA);
    EXPECT_EQ(Only(events, kDataReceived).size(), 1u);
    EXPECT_EQ(brannet::JetwayCount(), 0u);
    EXPECT_FALSE(brannet::IsResetRunning());  // the last pending job arrived
    for (int i = 0; i < 5; ++i) Tick();
    EXPECT_FALSE(sim.Number(jetwayA, "VELOCITY WORLD X", "Number").has_value());
}

TEST_F(ModuleTest, AWriteToAVanishedJetwayStartsAReset)
{
    StartJob(Job(jetwayA), 1);
    Tick();
    ASSERT_TRUE(sim.RemoveObject(jetwayA));
    Tick();  // the write fails: unrecognised object, argument 2
    Pump();
    auto reload = Only(ApiEvents(), kReloadAll);
    ASSERT_EQ(reload.size(), 1u);
    EXPECT_EQ(reload[0].dwData, 1u);
    EXPECT_EQ(brannet::JetwayCount(), 0u);
    const auto texts = PrintedTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("(N=1)"), std::string::npos);
}

// Only a write refused for an object the simulator no longer knows (an unrecognised id at the object's
// argument) means the program's jetways are out of date; any other exception stops no jetway.
TEST_F(ModuleTest, OnlyAnUnknownObjectOfAWriteStartsAReset)
{
    const struct {
        const char* name;
        DWORD exception;
        DWORD index;
        bool reset;
    } rows[] = {
        {"unrecognised id at argument 1", SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 1, false},
        {"unrecognised id at argument 3", SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 3, false},
        {"unrecognised id without an argument", SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 0, false},
        {"another exception at argument 2", SIMCONNECT_EXCEPTION_DATA_ERROR, 2, false},
        {"unrecognised id at the object's argument", SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2, true},  // last
    };
    StartJob(Job(jetwayA), 1);
    ApiEvents();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SIMCONNECT_RECV_EXCEPTION ex{};
        ex.dwSize = sizeof ex;
        ex.dwVersion = 1;
        ex.dwID = SIMCONNECT_RECV_ID_EXCEPTION;
        ex.dwException = row.exception;
        ex.dwSendID = 1;
        ex.dwIndex = row.index;
        brannet::ModuleDispatchProc(reinterpret_cast<SIMCONNECT_RECV*>(&ex), sizeof ex, nullptr);
        Pump();
        EXPECT_EQ(Only(ApiEvents(), kReloadAll).size(), row.reset ? 1u : 0u);
        EXPECT_EQ(brannet::JetwayCount(), row.reset ? 0u : 1u);
    }
}

TEST_F(ModuleTest, ConnectionCheckPrintsTheJetwayCountAndVersion)
{
    StartJob(Job(jetwayA), 1);
    Send(kConnectionCheck, 0);
    Pump();
    const auto texts = PrintedTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "[VELK] JETWAY CONTROL SYSTEM is up and running (N=1)! Module Version 1.7.1");
    ASSERT_FALSE(sim.Texts().empty());
    EXPECT_EQ(sim.Texts()[0].type, static_cast<DWORD>(SIMCONNECT_TEXT_TYPE_PRINT_WHITE));
    EXPECT_NEAR(sim.Texts()[0].seconds, 4.0, 1e-6);
}

// A gauge table over a few named variables.
std::map<std::string, double> g_variables;
std::vector<std::string> g_names;
int LookupVariable(const char* name)
{
    for (size_t i = 0; i < g_names.size(); ++i)
        if (g_names[i] == name) return static_cast<int32_t>(i);
    return -1;
}
double ReadVariable(int id) { return g_variables.at(g_names.at(static_cast<size_t>(id))); }

TEST_F(ModuleTest, AircraftVariablesComeThroughTheGaugeTable)
{
    g_names = {"FSLA320_ParkBrake", "FSLA320_Beacon_B_Visibility_Emitter"};
    g_variables = {{"FSLA320_ParkBrake", 1.0}, {"FSLA320_Beacon_B_Visibility_Emitter", 0.5}};
    PANELS table{};
    table.slots[kLookupNamedVariableSlot] = reinterpret_cast<GaugeFunction>(&LookupVariable);
    table.slots[kReadNamedVariableSlot] = reinterpret_cast<GaugeFunction>(&ReadVariable);

    EXPECT_EQ(brannet::ReadAircraftLVar("FSLA320_ParkBrake"), brannet::kUnreadableVariable);  // no table yet
    Panels = &table;
    EXPECT_EQ(brannet::ReadAircraftLVar("FSLA320_ParkBrake"), 1.0);
    EXPECT_EQ(brannet::ReadAircraftLVar("FSDT_GSX_DEBOARDING_STATE"), brannet::kUnreadableVariable);
    EXPECT_EQ(brannet::ReadAircraftLVar(""), brannet::kUnreadableVariable);
    EXPECT_EQ(brannet::ReadAircraftLVar(nullptr), brannet::kUnreadableVariable);

    Send(kLVarsQuery, 0);
    Pump();
    auto response = Only(ApiEvents(), kLVarsResponse);
    ASSERT_EQ(response.size(), 1u);
    EXPECT_EQ(response[0].dwData, 0u);
    const auto block = sim.ClientData("VELK.AcftLVars.Out");
    ASSERT_TRUE(block.has_value());
    std::vector<uint8_t> bytes = *block;
    double values[3];
    std::memcpy(values, bytes.data(), sizeof values);
    EXPECT_EQ(values[0], 1.0);
    EXPECT_EQ(values[1], 0.5);
    EXPECT_EQ(values[2], -0.123);

    PANELS empty{};
    Panels = &empty;  // a table without the two functions
    EXPECT_EQ(brannet::ReadAircraftLVar("FSLA320_ParkBrake"), brannet::kUnreadableVariable);
}

// ---- hostile records ----

struct HostileCase {
    const char* what;
    void (*spoil)(JetwayData&);
};

const HostileCase kHostile[] = {
    {"type 0", [](JetwayData& r) { r.JetwayType = 0; }},
    {"type 9", [](JetwayData& r) { r.JetwayType = 9; }},
    {"period 0", [](JetwayData& r) { r.PeriodMs = 0; }},
    {"keyframes 0", [](JetwayData& r) { r.KeyframeCount = 0; }},
    {"NaN target", [](JetwayData& r) { r.TargetExtension = std::nan(""); }},
    {"infinite time", [](JetwayData& r) { r.RootRotationTime = INFINITY; }},
    {"NaN part offset", [](JetwayData& r) { r.Parts[0].SetOffset(std::nan(""), 0, 0); }},
    // Finite values beyond any real jetway.
    {"period past its limit", [](JetwayData& r) { r.PeriodMs = job_limits::kMaxPeriodMs + 1; }},
    {"keyframes past their limit", [](JetwayData& r) { r.KeyframeCount = job_limits::kMaxKeyframes + 1; }},
    {"length past its limit",
     [](JetwayData& r) { r.TargetExtension = std::nextafter(job_limits::kMaxLengthMetres, INFINITY); }},
    {"huge part offset", [](JetwayData& r) { r.Parts[0].SetOffset(1e308, 0, 0); }},
    {"huge negative range", [](JetwayData& r) { r.BridgeLengthRange.first = -1e308; }},
    {"sweep angle past its limit", [](JetwayData& r) { r.RootSweepRange.second = 720.001; }},
    {"huge joint angle", [](JetwayData& r) { r.TargetHead = 1e308; }},
    {"sweep time past its limit", [](JetwayData& r) { r.RootRotationTime = 3600.001; }},
    {"negative tiny duration", [](JetwayData& r) { r.DipDurationMs = -std::numeric_limits<double>::denorm_min(); }},
    {"huge channel", [](JetwayData& r) { r.ExtensionChannel = -1e308; }},
    {"huge increment", [](JetwayData& r) { r.Increments.partExtension = 1e308; }},
    {"huge placement point", [](JetwayData& r) { r.PlacementPoints[3] = 1e308; }},
    {"latitude past the pole", [](JetwayData& r) { r.JetwayLatitude = std::nextafter(90.0, INFINITY); }},
    {"longitude past the antimeridian", [](JetwayData& r) { r.JetwayLongitude = -180.000001; }},
    {"altitude above the band", [](JetwayData& r) { r.JetwayAltitude = job_limits::kMaxAltitudeFeet + 1; }},
    {"altitude below the band", [](JetwayData& r) { r.JetwayAltitude = -1e308; }},
    {"huge heading", [](JetwayData& r) { r.JetwayHeading = 1e308; }},
    {"huge part placement", [](JetwayData& r) { r.Parts[0].GetPlacement().SetLatitude(1e308); }},
    // The job that overflowed the motion: huge values all through the record.
    {"everything huge", [](JetwayData& r) {
         r.Parts[0].SetOffset(1e308, 1e308, 1e308);
         r.JetwayLatitude = 1e308;
         r.JetwayLongitude = 1e308;
         r.JetwayAltitude = 1e308;
         r.JetwayHeading = 1e308;
         r.TargetExtension = 1e308;
         r.TargetRootRotation = 1e308;
         r.BridgeLengthRange = {-1e308, 1e308};
         r.RootRotationTime = 1e308;
     }},
};

TEST_F(ModuleTest, HostileRecordsAreAnsweredAtOnceAndNothingMoves)
{
    int channel = 0;
    for (const HostileCase& c : kHostile) {
        SCOPED_TRACE(c.what);
        JetwayData job = Job(jetwayA);
        c.spoil(job);
        StartJob(job, 1);
        channel = channel % 8 + 1;
        auto events = ApiEvents();
        EXPECT_EQ(Only(events, kDataReceived).size(), 1u);
        auto done = Only(events, kDone);
        ASSERT_EQ(done.size(), 1u);
        EXPECT_EQ(done[0].dwData, jetwayA * 10 + static_cast<DWORD>(channel));
        const JetwayData out = OutArea(channel);
        EXPECT_FALSE(out.Moving);
        EXPECT_FALSE(out.Docked);
        EXPECT_EQ(out.Phase, 0u);
        EXPECT_EQ(brannet::JetwayCount(), 0u);
        EXPECT_EQ(brannet::PendingCount(), 0u);
        Tick();
        EXPECT_FALSE(sim.Number(jetwayA, "VELOCITY WORLD X", "Number").has_value()) << "the jetway was written";
        EXPECT_FALSE(sim.Number(partA, "PLANE LATITUDE", "degrees").has_value() &&
                     sim.Number(partA, "PLANE LATITUDE", "degrees") != 47.0);
    }
}

TEST_F(ModuleTest, ARefusedJobIsToldOnStandardError)
{
    JetwayData job = Job(jetwayA);
    job.JetwayAltitude = 1e308;
    testing::internal::CaptureStderr();
    StartJob(job, 1);
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(told, "brannet: job for jetway " + std::to_string(jetwayA) + " refused: value out of range (altitude)\n");
    EXPECT_EQ(Only(ApiEvents(), kDone).size(), 1u);
}

// A job with values at the edges of their ranges is taken and moved; what the motion cannot place on
// the globe it does not write, and the module says so once.
TEST_F(ModuleTest, AJobAtTheLimitsMovesAndWritesOnlyWhatLiesOnTheGlobe)
{
    JetwayData job = Job(jetwayA);
    job.JetwayLatitude = job_limits::kMaxLatitude;  // at the pole every longitude step is infinite
    job.JetwayLongitude = -job_limits::kMaxLongitude;
    job.JetwayAltitude = job_limits::kMaxAltitudeFeet;
    job.JetwayHeading = -job_limits::kMaxAngleDegrees;
    job.KeyframeCount = job_limits::kMaxKeyframes;
    job.RootRotationTime = job.BridgeExtensionTime = job.DipTime = job.HeadRotationTime = 0.001;
    job.Parts[0].SetOffset(job_limits::kMaxLengthMetres, -job_limits::kMaxLengthMetres, job_limits::kMaxLengthMetres);
    ASSERT_EQ(CheckJob(job), JobCheck::Ok);
    const auto latitude = sim.Number(partA, "PLANE LATITUDE", "degrees");

    testing::internal::CaptureStderr();
    StartJob(job, 1);
    EXPECT_EQ(brannet::JetwayCount(), 1u);
    auto events = RunUntilDone(jetwayA, 20000);
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Only(events, kDone).size(), 1u);
    EXPECT_TRUE(OutArea(1).Docked);
    for (const char* name : {"VELOCITY WORLD Z", "VELOCITY WORLD X", "VELOCITY BODY X", "ACCELERATION BODY Y"})
        EXPECT_TRUE(std::isfinite(Var(jetwayA, name))) << name;
    EXPECT_EQ(sim.Number(partA, "PLANE LATITUDE", "degrees"), latitude);
    EXPECT_EQ(told, "brannet: jetway " + std::to_string(jetwayA) +
                        ": part position not finite, off the globe or overturned, not written\n");
}

TEST_F(ModuleTest, AShortPayloadIsIgnored)
{
    Send(kStart, jetwayA * 10 + 1);
    Pump();
    ASSERT_TRUE(brannet::IsPending(jetwayA));
    ApiEvents();

    // A client-data message for the In request that holds less than a record.
    std::vector<uint8_t> message(SIMCONNECT_DATA_OFFSET + 100, 0);
    SIMCONNECT_RECV_CLIENT_DATA header{};
    header.dwSize = static_cast<DWORD>(message.size());
    header.dwID = SIMCONNECT_RECV_ID_CLIENT_DATA;
    header.dwRequestID = brannet::ids::kRequestInArea;
    std::memcpy(message.data(), &header, SIMCONNECT_DATA_OFFSET);
    brannet::ModuleDispatchProc(reinterpret_cast<SIMCONNECT_RECV*>(message.data()),
                                static_cast<DWORD>(message.size()), nullptr);
    brannet::ModuleDispatchProc(reinterpret_cast<SIMCONNECT_RECV*>(message.data()), 4, nullptr);
    EXPECT_EQ(brannet::JetwayCount(), 0u);
    EXPECT_TRUE(brannet::IsPending(jetwayA));
    Pump();
    EXPECT_TRUE(ApiEvents().empty());
}

TEST_F(ModuleTest, UnterminatedPartTitlesEndAtTheirLastByte)
{
    JetwayBytes bytes = EncodeJetwayData(Job(jetwayA));
    std::memset(&bytes[49], 'T', 256);
    std::memset(&bytes[305], 'C', 256);
    WriteBytes(bytes, 2);
    Send(kStart, jetwayA * 10 + 2);
    Pump();
    const JetwayCore* jetway = brannet::FindJetway(jetwayA);
    ASSERT_NE(jetway, nullptr);
    EXPECT_EQ(jetway->GetRecord().Parts[0].GetSimTitle(), std::string(255, 'T'));
    EXPECT_EQ(jetway->GetRecord().Parts[0].GetCreationTitle(), std::string(255, 'C'));
}

TEST_F(ModuleTest, ANewJobForAMovingJetwayReplacesTheOldMotion)
{
    StartJob(Job(jetwayA), 1);
    for (int i = 0; i < 8; ++i) Tick();
    ApiEvents();

    JetwayData second = Job(jetwayA);
    second.TargetExtension = 14;
    StartJob(second, 2);
    EXPECT_EQ(brannet::JetwayCount(), 1u);
    auto events = RunUntilDone(jetwayA);
    EXPECT_EQ(Only(events, kDone).size(), 1u);
    EXPECT_NEAR(OutArea(1).ExtensionChannel, 20.0, 1e-6);  // 14 m of 10..30 m
    for (int i = 0; i < 50; ++i) Tick();
    EXPECT_TRUE(Only(ApiEvents(), kDone).empty());
}

TEST_F(ModuleTest, AStaleDoneLeavesAMovingJetwayAlone)
{
    StartJob(Job(jetwayA), 1);
    Tick();
    Send(kDone, jetwayA * 10 + 7);  // a report of an earlier job, seen late
    Pump();
    EXPECT_EQ(brannet::JetwayCount(), 1u);
    ApiEvents();
    auto events = RunUntilDone(jetwayA);
    EXPECT_EQ(Only(events, kDone).back().dwData, jetwayA * 10 + 1);
    EXPECT_EQ(brannet::JetwayCount(), 0u);
}

TEST_F(ModuleTest, StopEndsEveryMotionAndStartBeginsClean)
{
    StartJob(Job(jetwayA), 1);
    StartJob(Job(jetwayB), 2);
    Send(kStart, jetwayB * 10 + 3);  // announced, never delivered
    Send(kResetAll, 0);
    Tick();
    ASSERT_TRUE(brannet::IsResetRunning());
    ASSERT_TRUE(brannet::IsPending(jetwayB));

    StartJob(Job(jetwayA), 4);
    Tick();
    DLLStop();
    EXPECT_EQ(brannet::JetwayCount(), 0u);
    const double extension = Var(jetwayA, "VELOCITY WORLD X");
    for (int i = 0; i < 20; ++i) clock.clock().Advance(40);
    EXPECT_EQ(Var(jetwayA, "VELOCITY WORLD X"), extension);

    {
        platform::simconnect::OpenCapture capture;
        DLLStart();
        module = capture.Handles().at(0);
    }
    EXPECT_EQ(brannet::PendingCount(), 0u);
    EXPECT_FALSE(brannet::IsResetRunning());
}

}  // namespace
