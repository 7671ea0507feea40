// Idle: a program connected to the stand-in simulator with nothing happening, run as the main program's
// loop runs (dispatch, then sleep 1 ms). Measured over the machine's socket with the simulator serving in
// this process, so that the CPU time of both sides counts, and for comparison in process. The goal is on
// the dispatches: the cost of one that finds nothing times the loop's dispatches per second. The whole
// loop's share is shown beside what sleeping alone takes on this machine, which no dispatch changes.
#include "bench/GoalReport.h"

#include "platform/simconnect/SimConnect.h"
#include "simulator/Simulator.h"

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace {

constexpr double kIdleSeconds = 3.0;  // each way
constexpr int kEmptyDispatches = 200000;
constexpr double kIdleGoalPercent = 0.5;

void Ignore(SIMCONNECT_RECV*, DWORD, void*) {}

// A machine root of its own for the socket, removed at the end.
class TempRoot {
public:
    TempRoot()
    {
        std::string pattern = "/tmp/velk-bench-idle-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) root_ = pattern;
        setenv("VELK_MACHINE_ROOT", root_.c_str(), 1);
    }
    ~TempRoot()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

private:
    std::filesystem::path root_;
};

// The share of a core a loop that only sleeps 1 ms at a time takes: what the loop costs without the
// dispatch.
double SleepOnlyPercent()
{
    const double wall0 = bench::WallSeconds();
    const double cpu0 = bench::CpuSeconds();
    while (bench::WallSeconds() - wall0 < kIdleSeconds) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 100.0 * (bench::CpuSeconds() - cpu0) / (bench::WallSeconds() - wall0);
}

struct IdleFigures {
    double corePercent = 0;      // CPU time of the process over wall time, while the loop runs
    double callsPerSecond = 0;   // dispatches of the loop
    double dispatchNs = 0;       // CPU time of one dispatch that finds nothing
    // The share of a core the loop's dispatches take: as many per second as the loop makes, at that cost.
    double DispatchPercent() const { return 100.0 * callsPerSecond * dispatchNs * 1e-9; }
};

// Connects, takes the first messages, then measures; false when no connection could be made.
bool MeasureIdle(const char* name, IdleFigures& figures)
{
    HANDLE h = nullptr;
    if (SimConnect_Open(&h, name, nullptr, 0, nullptr, 0) != S_OK) return false;
    SimConnect_SubscribeToSystemEvent(h, 1, "Frame");
    for (int i = 0; i < 10; ++i) {
        SimConnect_CallDispatch(h, Ignore, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    const double wall0 = bench::WallSeconds();
    const double cpu0 = bench::CpuSeconds();
    int calls = 0;
    while (bench::WallSeconds() - wall0 < kIdleSeconds) {
        SimConnect_CallDispatch(h, Ignore, nullptr);
        ++calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double wall = bench::WallSeconds() - wall0;
    figures.corePercent = 100.0 * (bench::CpuSeconds() - cpu0) / wall;
    figures.callsPerSecond = calls / wall;

    const double cpu1 = bench::CpuSeconds();
    for (int i = 0; i < kEmptyDispatches; ++i) SimConnect_CallDispatch(h, Ignore, nullptr);
    figures.dispatchNs = 1e9 * (bench::CpuSeconds() - cpu1) / kEmptyDispatches;
    SimConnect_Close(h);
    return true;
}

}  // namespace

int main()
{
    TempRoot root;
    IdleFigures socket, inProcess;
    {
        simulator::Simulator sim;
        sim.SetTimelineKept(false);
        std::string error;
        if (!sim.Listen(&error)) {
            std::fprintf(stderr, "bench_idle: %s\n", error.c_str());
            return 1;
        }
        if (!MeasureIdle("Orvane idle", socket)) {
            std::fprintf(stderr, "bench_idle: no connection over the socket\n");
            return 1;
        }
    }
    {
        simulator::Simulator sim;
        sim.SetTimelineKept(false);
        sim.ServeInProcess();
        if (!MeasureIdle("Orvane idle", inProcess)) {
            std::fprintf(stderr, "bench_idle: no connection in process\n");
            return 1;
        }
    }

    const double sleepOnly = SleepOnlyPercent();

    bench::GoalTable table("Idle: dispatch and sleep 1 ms with nothing happening (" +
                           std::to_string(static_cast<int>(kIdleSeconds)) + " s each)");
    table.AtMost("over the socket: the dispatches, share of a core", socket.DispatchPercent(), kIdleGoalPercent, "%",
                 3);
    table.Info("  one empty dispatch, both sides", socket.dispatchNs, "ns", 0);
    table.Info("  dispatches per second", socket.callsPerSecond, "", 0);
    table.Info("  the whole loop, both sides, share of a core", socket.corePercent, "%", 2);
    table.Info("  sleeping 1 ms alone, share of a core", sleepOnly, "%", 2);
    table.Info("in process: the dispatches, share of a core", inProcess.DispatchPercent(), "%", 3);
    table.Info("  one empty dispatch", inProcess.dispatchNs, "ns", 0);
    table.Info("  the whole loop, share of a core", inProcess.corePercent, "%", 2);
    table.Print();
    std::printf("bench_idle: %d of 1 goals met\n", 1 - table.NotMet());
    return 0;
}
