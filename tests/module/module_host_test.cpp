// The built brannet module loaded by the simulator's module host (dlopen, Panels, DLLStart), driven by an
// API client that creates a jetway with its parts and sends it one job: the demo of the jetway exchange.
// With VELK_PRINT_TIMELINE set, the simulator's timeline is printed.
#include "tests/jetway/core/JetwayTestSupport.h"

#include "simulator/ModuleHost.h"

#include <cstdio>
#include <cstdlib>

using namespace jetwaytest;

namespace {

enum : DWORD { kStart = 1, kDone = 2, kIntermediate = 3, kDataReceived = 4, kGroup = 1, kIn1 = 10, kRecord = 5 };

TEST(ModuleHost, TheLoadedModuleMovesAJetwayTickByTickUntilDone)
{
    platform::ScopedManualClock clock;
    simulator::Simulator sim;
    std::vector<std::string> timeline;
    sim.SetTimelineListener([&](const std::string& line) { timeline.push_back(line); });
    simulator::ModuleHost host(sim);
    std::string error;
    ASSERT_TRUE(host.Load(BRANNET_MODULE_PATH, &error)) << error;
    simulator::ModuleHost::SetNamedVariable("FSLA320_ParkBrake", 1);

    HANDLE api = OpenClient("VELK API demo");
    const std::pair<DWORD, const char*> events[] = {{kStart, "VELK.JetwayAction.Start"},
                                                    {kDone, "VELK.JetwayAction.Done"},
                                                    {kIntermediate, "VELK.JetwayAction.Intermediate"},
                                                    {kDataReceived, "VELK.JetwayAction.DataReceived"}};
    for (const auto& [id, name] : events) {
        SimConnect_MapClientEventToSimEvent(api, id, name);
        SimConnect_AddClientEventToNotificationGroup(api, kGroup, id);
    }
    SimConnect_SetNotificationGroupPriority(api, kGroup, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
    SimConnect_MapClientDataNameToID(api, "VELK.JetwayData.In.1", kIn1);
    SimConnect_AddToClientDataDefinition(api, kRecord, 0, 5600);

    const DWORD jetwayId = CreateObject(api, "Demo Jetway", 1);
    const DWORD bridgeId = CreateObject(api, "Demo Jetway Bridge", 2);
    const DWORD headId = CreateObject(api, "Demo Jetway Head", 3);
    ASSERT_NE(jetwayId * bridgeId * headId, 0u);

    JetwayCore job;
    JetwayData r = ConfiguredRecord(kJetwayTypeA);
    r.JetwayObjectId = jetwayId;
    r.PeriodMs = 100;
    r.RootRotationTime = r.DipTime = r.HeadRotationTime = 1.0;
    r.BridgeExtensionTime = 4.0;
    r.Parts[0].SetSimTitle("Demo Jetway Bridge");
    r.Parts[0].SetLinkTypeFromText("BRIDGE_MOVING");
    r.Parts[0].SetOffset(6, 0, 0.5);
    r.Parts[0].SetObjectId(bridgeId);
    r.Parts[1].SetSimTitle("Demo Jetway Head");
    r.Parts[1].SetLinkTypeFromText("HEAD");
    r.Parts[1].SetOffset(12, 0, 0.5);
    r.Parts[1].SetObjectId(headId);
    job.SetJetwayData(r);
    job.ComputeParkedPose();
    SetTargets(job, 0.25, 0.04, -0.3, 21.0, 0);
    job.GetJetwayData()->Moving = true;
    JetwayBytes bytes = EncodeJetwayData(job.GetRecord());
    ASSERT_EQ(SimConnect_SetClientData(api, kIn1, kRecord, 0, 0, 5600, bytes.data()), S_OK);
    SimConnect_TransmitClientEvent(api, 0, kStart, jetwayId * 10 + 1, SIMCONNECT_GROUP_PRIORITY_HIGHEST,
                                   SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);

    std::vector<double> extension, bridgeLatitude;
    int dataReceived = 0, intermediate = 0, done = 0;
    for (int tick = 0; tick < 400 && done == 0; ++tick) {
        host.Pump();
        clock.clock().Advance(tick == 0 ? 0 : 100);
        sim.Advance(100);
        host.Pump();
        for (const auto& e : Events(Drain(api))) {
            dataReceived += e.uEventID == kDataReceived;
            intermediate += e.uEventID == kIntermediate;
            if (e.uEventID == kDone) {
                ++done;
                EXPECT_EQ(e.dwData, jetwayId * 10 + 1);
            }
        }
        if (auto v = sim.Number(jetwayId, "VELOCITY WORLD X", "Number")) extension.push_back(*v);
        if (auto v = sim.Number(bridgeId, "PLANE LATITUDE", "degrees")) bridgeLatitude.push_back(*v);
    }
    EXPECT_EQ(dataReceived, 1);
    EXPECT_EQ(intermediate, 1);
    EXPECT_EQ(done, 1);

    // The extension channel rose step by step to its target, and the bridge part moved with it.
    ASSERT_GT(extension.size(), 10u);
    EXPECT_NEAR(extension.back(), job.ScaleExtension(21.0), 1e-6);
    size_t rises = 0;
    for (size_t i = 1; i < extension.size(); ++i) rises += extension[i] > extension[i - 1];
    EXPECT_GE(rises, 5u);
    ASSERT_FALSE(bridgeLatitude.empty());
    EXPECT_NE(bridgeLatitude.front(), bridgeLatitude.back());

    auto has = [&](const std::string& text) {
        for (const auto& line : timeline)
            if (line.find(text) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(has("'brannet' connected"));
    EXPECT_TRUE(has("'VELK.JetwayAction.Start'"));
    EXPECT_TRUE(has("set by 'brannet'"));
    EXPECT_TRUE(has("'VELK.JetwayAction.Done'"));
    if (std::getenv("VELK_PRINT_TIMELINE"))
        for (const auto& line : timeline) std::printf("%s\n", line.c_str());

    SimConnect_Close(api);
    host.Unload();
}

}  // namespace
