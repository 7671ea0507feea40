// brannet's jetway ticks measured through the in-process stand-in simulator: eight jetways moved at once
// by a scenario's API client (as in the jetway demo), the module in this process on the manual clock.
// The CPU time of the whole run (simulator frames, the module, the API client) over the moving jetway
// ticks; and the stand-in's own cost of one value written with SetDataOnSimObject.
#include "bench/GoalReport.h"

#include "module/Brannet.h"
#include "platform/clock.h"
#include "platform/simconnect/ModuleDispatch.h"
#include "platform/simconnect/SimConnect.h"
#include "simulator/Scenario.h"
#include "simulator/Simulator.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kJetways = 8;
constexpr double kFrameRate = 20;
constexpr double kRunSeconds = 8;
constexpr double kTickGoalUs = 20;
constexpr int kWrites = 20000;
constexpr int kValuesPerWrite = 6;

// Every jetway with a bridge and a head part; the jobs start one after another on the four job areas.
std::string ScenarioText()
{
    std::string xml = "<Scenario platform=\"P3Dv4\" frameRate=\"20\" duration=\"" +
                      std::to_string(static_cast<int>(kRunSeconds)) + "\">\n";
    xml += "  <Sim time=\"0\" action=\"start\"/>\n";
    xml += "  <Aircraft title=\"Airbus A320\" latitude=\"47.0000\" longitude=\"8.0000\" altitude=\"1300\" heading=\"0\"/>\n";
    xml += "  <ApiClient time=\"0.5\" name=\"VELK API bench\">\n";
    for (int i = 1; i <= kJetways; ++i) {
        const std::string n = std::to_string(i);
        const std::pair<const char*, const char*> parts[] = {{"jetway", ""}, {"bridge", " Bridge"}, {"head", " Head"}};
        for (const auto& [key, title] : parts) {
            xml += "    <Object key=\"" + std::string(key) + n + "\" title=\"Bench Jetway " + n + title +
                   "\" latitude=\"47.0000\" longitude=\"8.0000\" altitude=\"1300\" heading=\"90\"/>\n";
        }
    }
    xml += "  </ApiClient>\n";
    for (int i = 1; i <= kJetways; ++i) {
        const std::string n = std::to_string(i);
        const std::string time = std::to_string(1.0 + 0.4 * (i - 1));
        const std::string area = std::to_string((i - 1) % 4 + 1);
        xml += "  <JetwayJob time=\"" + time + "\" client=\"VELK API bench\" jetway=\"jetway" + n + "\" area=\"" +
               area +
               "\" type=\"A\" periodMs=\"100\" keyframes=\"100\" rootRotationTime=\"1\" bridgeExtensionTime=\"4\" "
               "dipTime=\"1\" headRotationTime=\"1\" hoodTime=\"0.2\" rootSweep=\"-90,90\" bridgeDip=\"-10,10\" "
               "headSweep=\"-90,90\" bridgeLength=\"10,30\" legLength=\"2,6\" rootFloorHeight=\"4\" "
               "rootBridgeOffset=\"2\" legOffset=\"8\" stairLength=\"5\" stairOffset=\"1\" wheelRadius=\"0.5\" "
               "placement=\"47.0000,8.0000,1300,90\" parked=\"50,50,50,25\" targetRotation=\"0.25\" "
               "targetDip=\"0.04\" targetHead=\"-0.3\" targetExtension=\"21\">\n";
        xml += "    <Part slot=\"1\" object=\"bridge" + n + "\" link=\"BRIDGE_MOVING\" offset=\"6,0,0.5\"/>\n";
        xml += "    <Part slot=\"2\" object=\"head" + n + "\" link=\"HEAD\" offset=\"12,0,0.5\"/>\n";
        xml += "  </JetwayJob>\n";
    }
    xml += "</Scenario>\n";
    return xml;
}

struct RunFigures {
    double cpuSeconds = 0;
    int ticks = 0;  // writes of the module to a jetway object (not its parts): one per moving jetway tick
};

// Plays the scenario with the module in process. countTicks: the timeline is shown to a listener that
// counts the module's writes to the jetways (and so is built); otherwise no line is built.
bool Run(bool countTicks, RunFigures& figures)
{
    platform::ScopedManualClock manualClock;
    simulator::Simulator sim;
    sim.SetTimelineKept(false);
    sim.SetFrameRate(kFrameRate);
    int ticks = 0;
    if (countTicks) {
        // "object 5 'Bench Jetway 3' set by 'brannet': ...": the jetway itself, not one of its parts.
        sim.SetTimelineListener([&ticks](const std::string& line) {
            if (line.find("'Bench Jetway ") != std::string::npos &&
                line.find("' set by 'brannet'") != std::string::npos &&
                line.find("Bridge' set by") == std::string::npos && line.find("Head' set by") == std::string::npos)
                ++ticks;
        });
    }
    simulator::Scenario scenario([](const std::string& problem) {
        std::fprintf(stderr, "bench_module_tick: %s\n", problem.c_str());
    });
    std::string error;
    if (!scenario.LoadText(ScenarioText(), ".", &error)) {
        std::fprintf(stderr, "bench_module_tick: %s\n", error.c_str());
        return false;
    }
    sim.ServeInProcess();
    HANDLE module = nullptr;
    {
        platform::simconnect::OpenCapture capture;
        if (DLLStart() != 0 || capture.Handles().size() != 1) {
            std::fprintf(stderr, "bench_module_tick: the module did not connect\n");
            return false;
        }
        module = capture.Handles()[0];
    }
    uint64_t clockMs = 0;
    const double cpu0 = bench::CpuSeconds();
    while (!scenario.Ended(sim.NowMs())) {
        scenario.Step(sim);
        sim.RunFrames(1);
        const uint64_t now = sim.NowMs();
        manualClock.clock().Advance(now - clockMs);
        clockMs = now;
        platform::simconnect::DispatchToRegisteredCallback(module);
        scenario.PumpClients(sim);
    }
    figures.cpuSeconds = bench::CpuSeconds() - cpu0;
    figures.ticks = ticks;
    DLLStop();
    Panels = nullptr;
    scenario.CloseClients();
    sim.StopServing();
    return true;
}

void Ignore(SIMCONNECT_RECV*, DWORD, void*) {}

// CPU time of one SetDataOnSimObject of kValuesPerWrite numbers on an object, in process.
double WriteMicroseconds(bool keepTimeline)
{
    simulator::Simulator sim;
    sim.SetTimelineKept(keepTimeline);
    sim.ServeInProcess();
    HANDLE h = nullptr;
    if (SimConnect_Open(&h, "writer", nullptr, 0, nullptr, 0) != S_OK) return 0;
    const char* names[kValuesPerWrite] = {"PLANE LATITUDE",      "PLANE LONGITUDE",    "PLANE ALTITUDE",
                                          "PLANE PITCH DEGREES", "PLANE BANK DEGREES", "PLANE HEADING DEGREES TRUE"};
    for (const char* name : names) SimConnect_AddToDataDefinition(h, 1, name, "degrees", SIMCONNECT_DATATYPE_FLOAT64, 0, 0);
    SIMCONNECT_DATA_INITPOSITION place{47.0, 8.0, 1300.0, 0, 0, 90.0, 1, 0};
    SimConnect_AICreateSimulatedObject(h, "Written Object", place, 7);
    sim.RunFrames(1);
    DWORD objectId = 0;
    for (const simulator::ObjectInfo& info : sim.Objects())
        if (info.title == "Written Object") objectId = info.id;
    SimConnect_CallDispatch(h, Ignore, nullptr);
    double values[kValuesPerWrite] = {47.0, 8.0, 1300.0, 0.0, 0.0, 90.0};
    const double cpu0 = bench::CpuSeconds();
    for (int i = 0; i < kWrites; ++i) {
        values[0] = 47.0 + i * 1e-7;
        SimConnect_SetDataOnSimObject(h, 1, objectId, 0, 0, sizeof values, values);
    }
    const double us = 1e6 * (bench::CpuSeconds() - cpu0) / kWrites;
    SimConnect_Close(h);
    sim.StopServing();
    return us;
}

}  // namespace

int main()
{
    // The quiet run is taken twice and the faster kept: the first run of the process also pays for what
    // is done once (loading, first allocations).
    RunFigures counted, quiet, again;
    if (!Run(true, counted) || !Run(false, quiet) || !Run(false, again)) return 1;
    quiet.cpuSeconds = std::min(quiet.cpuSeconds, again.cpuSeconds);
    if (counted.ticks == 0) {
        std::fprintf(stderr, "bench_module_tick: no jetway moved\n");
        return 1;
    }
    const double perTickUs = 1e6 * quiet.cpuSeconds / counted.ticks;
    const double perTickShownUs = 1e6 * counted.cpuSeconds / counted.ticks;
    const double writeUs = WriteMicroseconds(false);
    const double writeKeptUs = WriteMicroseconds(true);

    bench::GoalTable table("brannet ticks through the in-process stand-in: " + std::to_string(kJetways) +
                           " jetways moving, " + std::to_string(counted.ticks) + " moving jetway ticks in " +
                           std::to_string(static_cast<int>(kRunSeconds)) + " simulated s");
    table.AtMost("CPU per moving jetway tick (whole run, no timeline)", perTickUs, kTickGoalUs, "us", 2);
    table.Info("  the same with the timeline shown", perTickShownUs, "us", 2);
    table.Info("stand-in, one write of 6 values (no timeline)", writeUs, "us", 3);
    table.Info("  per value written", writeUs / kValuesPerWrite, "us", 3);
    table.Info("  one write of 6 values, timeline kept", writeKeptUs, "us", 3);
    table.Print();
    std::printf("bench_module_tick: %d of 1 goals met\n", 1 - table.NotMet());
    return 0;
}
