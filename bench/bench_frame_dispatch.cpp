// One frame's dispatch with 2,000 active objects: the whole program built in this process as start-up
// does it (components, reload, SimObjects folders, registrations), connected to the in-process stand-in
// simulator, a stand-in for the jetway module answering its reset, and the user aircraft parked at an
// airport of 2,000 placed objects of the synthetic world until every object is created. Then, in the
// steady state, the frame passes (triggered animations, separation planes, variable-driven rotations) and
// the one-second and 6 Hz passes are timed, and the heap allocations they make are counted through the
// replaced global operator new. Time moves only on the manual clock and the simulator's virtual clock.
#include "bench/GoalReport.h"
#include "bench/ProgramPump.h"
#include "bench/SyntheticWorld.h"

#include "app/FSProcess.h"
#include "app/Program.h"
#include "objects/SimObjectList.h"
#include "platform/clock.h"
#include "platform/simconnect/SimConnect.h"
#include "simulator/Simulator.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace {

std::atomic<uint64_t> gAllocations{0};

}  // namespace

void* operator new(std::size_t size)
{
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr double kFrameGoalMs = 0.5;
constexpr double kAllocationGoal = 0.0;
constexpr int kActiveObjects = 2000;
constexpr uint64_t kFrameMs = 50;  // 20 frames a second
constexpr uint64_t kSettleLimitMs = 300000;
constexpr int kMeasuredFrames = 2000;

struct PassFigures {
    double milliseconds = 0.0;  // median per call
    double allocations = 0.0;   // mean per call
};

template <typename Passes>
PassFigures Measure(simulator::Simulator& sim, platform::ManualClock& clock, bench::Pump& pump, Passes passes)
{
    std::vector<double> times;
    times.reserve(kMeasuredFrames);  // its growth would count among the frames' allocations
    uint64_t allocations = 0;
    for (int frame = 0; frame < kMeasuredFrames; ++frame) {
        sim.Advance(kFrameMs);
        clock.Advance(kFrameMs);
        pump();
        const uint64_t before = gAllocations.load(std::memory_order_relaxed);
        const double start = bench::WallSeconds();
        passes();
        times.push_back((bench::WallSeconds() - start) * 1e3);
        allocations += gAllocations.load(std::memory_order_relaxed) - before;
    }
    return {bench::Median(times), static_cast<double>(allocations) / kMeasuredFrames};
}

}  // namespace

int main()
{
    const double benchStart = bench::WallSeconds();
    new bench::ComplaintLog();
    bench::TempWorldRoot root;
    bench::SyntheticWorldOptions options;
    options.objectCount = 2 * kActiveObjects;
    options.fileCount = 2;
    options.referenceSizes = {kActiveObjects};
    options.airportSize = kActiveObjects;
    const bench::SyntheticWorld world = bench::WriteSyntheticWorld(root.Root(), options);
    const bench::SyntheticAirport& airport = world.airports.front();

    platform::ScopedManualClock manualClock;
    platform::ManualClock& clock = manualClock.clock();
    program::Flags().Reset();
    program::Flags().targetPlatform = "P3Dv4";
    program::Flags().logFolder = "C:\\ProgramData\\Quorvath\\VELK\\log";
    {
        simulator::Simulator sim;
        sim.SetFrameRate(1000.0 / kFrameMs);
        // As simhost runs it: the timeline is not kept, so only the program's own work is counted.
        sim.SetTimelineKept(false);
        bench::Pump pump;

        FSProcess::ConstructComponents();
        FSProcess::ReloadAll(false);
        FSProcess::BuildInternalMaps();
        sim.ServeInProcess();
        if (program::Sim().Open() != S_OK) {
            std::fprintf(stderr, "bench_frame_dispatch: no connection to the in-process simulator\n");
            return 1;
        }
        program::Flags().externalMode = program::Flags().objectCount == 0;
        FSProcess::RegisterWithSimulator();
        pump.Connect();
        sim.SetUserPosition(airport.latitude, airport.longitude, 10.0, 0.0, 0.0, 0.0);
        sim.StartSim();

        // Until the bubble is built and its creations have stopped coming.
        size_t created = 0;
        uint64_t elapsed = 0;
        uint64_t stableSince = 0;
        while (elapsed < kSettleLimitMs) {
            sim.Advance(kFrameMs);
            clock.Advance(kFrameMs);
            pump();
            elapsed += kFrameMs;
            if (elapsed % 1000 != 0) continue;
            const size_t now = bench::CreatedObjects(sim);
            if (now != created) {
                created = now;
                stableSince = elapsed;
            } else if (created > 0 && elapsed - stableSince >= 10000) {
                break;
            }
        }
        const SimObjectList* active = program::Parts().activeObjects.get();
        const int32_t activeCount = active ? active->Count() : 0;
        std::printf("Program started over %d placed objects; %d active around %s, %zu created in the simulator "
                    "after %.0f simulated s (set-up %.1f s)\n",
                    world.objects, activeCount, airport.icao.c_str(), created, elapsed / 1000.0,
                    bench::WallSeconds() - benchStart);
        if (activeCount != kActiveObjects || created == 0) {
            std::fprintf(stderr, "bench_frame_dispatch: the bubble holds %d objects, %zu created; expected %d\n",
                         activeCount, created, kActiveObjects);
            return 1;
        }

        const PassFigures frame = Measure(sim, clock, pump, [] {
            FSProcess::AnimateObjectsPerFrame();
            FSProcess::UpdateSeparationPlanes();
            FSProcess::UpdateVariableDrivenRotations();
        });
        const PassFigures animations = Measure(sim, clock, pump, [] { FSProcess::AnimateObjectsPerFrame(); });
        const PassFigures planes = Measure(sim, clock, pump, [] { FSProcess::UpdateSeparationPlanes(); });
        const PassFigures rotations = Measure(sim, clock, pump, [] { FSProcess::UpdateVariableDrivenRotations(); });
        const PassFigures second = Measure(sim, clock, pump, [] {
            FSProcess::UpdateRadioClickTriggers(false, nullptr, 0);
            FSProcess::UpdateProximityTriggers();
        });
        const PassFigures sixHz = Measure(sim, clock, pump, [] {
            FSProcess::UpdateVdgsGuidance();
            FSProcess::UpdateGroundPolygonShift();
        });

        // The same frame passes with the connection closed: every write then fails at once in the client, so
        // what remains is the program's own work, without the in-process simulator's handling of the writes
        // (whose allocations this process counts as well).
        program::Sim().Close();
        const PassFigures own = Measure(sim, clock, pump, [] {
            FSProcess::AnimateObjectsPerFrame();
            FSProcess::UpdateSeparationPlanes();
            FSProcess::UpdateVariableDrivenRotations();
        });

        SimObjectList& list = *program::Parts().activeObjects;
        bench::GoalTable table("Frame dispatch with " + std::to_string(activeCount) + " active objects (" +
                               std::to_string(list.GetAnimatedIndices().size()) + " animated, " +
                               std::to_string(list.GetSeparationPlaneIndices().size()) + " separation planes, " +
                               std::to_string(list.GetRotationIndices().size()) + " rotating, " +
                               std::to_string(list.GetProximityIndices().size()) + " proximity, " +
                               std::to_string(list.GetRadioCandidates().size()) + " radio; " +
                               std::to_string(kMeasuredFrames) + " frames each)");
        table.AtMost("frame passes, per frame (median)", frame.milliseconds, kFrameGoalMs, "ms", 4);
        table.AtMost("frame passes, heap allocations per frame", frame.allocations, kAllocationGoal, "", 3);
        table.Info("  without the connection: the program's own work", own.milliseconds, "ms", 4);
        table.Info("  without the connection: heap allocations", own.allocations, "", 1);
        table.Info("  animations alone, per frame", animations.milliseconds, "ms", 4);
        table.Info("  animations alone, heap allocations per frame", animations.allocations, "", 1);
        table.Info("  separation planes alone, per frame", planes.milliseconds, "ms", 4);
        table.Info("  separation planes alone, heap allocations per frame", planes.allocations, "", 1);
        table.Info("  rotations alone, per frame", rotations.milliseconds, "ms", 4);
        table.Info("  rotations alone, heap allocations per frame", rotations.allocations, "", 1);
        table.Info("1 s passes (radio click, proximity), per call", second.milliseconds, "ms", 4);
        table.Info("1 s passes, heap allocations per call", second.allocations, "", 1);
        table.Info("6 Hz passes (guidance, ground shift), per call", sixHz.milliseconds, "ms", 4);
        table.Info("6 Hz passes, heap allocations per call", sixHz.allocations, "", 1);
        table.Print();
        std::printf("bench_frame_dispatch: %d of %d goals met; ran %.1f s\n", 2 - table.NotMet(), 2,
                    bench::WallSeconds() - benchStart);

        SimConnect_Close(pump.module);
        program::Parts().ReleaseAtShutdown();
        program::Parts() = program::Components{};
        program::Flags().Reset();
    }
    return 0;
}
