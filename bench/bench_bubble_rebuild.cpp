// The sim-bubble rebuild at airport scale: the full world read and put into the quadtree as the reload
// does it, then the bubble's rebuild path (the filtering pass with the jetways' configuration, and the
// two link passes over one walk of the list) around airports of 500, 2,000 and 8,000 placed objects,
// without a simulator. The time per rebuild at each size, and how it grows with the objects selected.
// Each size is measured as the first rebuild after start-up meets it (its jetway.cfg files read from
// disk: the kept INI files are forgotten before it) and as a later rebuild (the files kept).
// Then the rebuild as the program runs it, which the goals judge: the whole program in this process beside
// the in-process stand-in simulator, its log written at DEBUG into a file as orvane writes it, the user at
// each airport in turn with every object of the bubble created; one rebuild (FSProcess::UpdateSimBubble:
// the removal pass of the objects in the simulator, the filtering, the link passes and the first batch of
// creations) timed, first with the INI files forgotten, then with them kept.
#include "bench/GoalReport.h"
#include "bench/SyntheticWorld.h"

#include "bench/ProgramPump.h"
#include "platform/clock.h"
#include "platform/profile.h"

#include "objects/EnviroDataProbe.h"
#include "objects/SimObjectList.h"
#include "scenery/QuadTree.h"
#include "scenery/SceneryFileRegistry.h"
#include "scenery/SimBubble.h"
#include "scenery/SimObjectsFolderManager.h"

#include <log4cpp/Category.hh>
#include <log4cpp/FileAppender.hh>
#include <log4cpp/PatternLayout.hh>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kRebuildGoalMs = 2.0;  // at 2,000 selected
constexpr double kGrowthGoal = 4.4;     // each size is four times the one before: linear is 4
constexpr double kMinSeconds = 3.0;  // all sizes together
constexpr int kMinRebuilds = 5;
constexpr int kMaxRebuilds = 200;
constexpr double kUserAltitudeFeet = 1000.0;

struct Timing {
    double first = 0.0;    // milliseconds, medians: the rebuild that reads the jetway.cfg files
    double rebuild = 0.0;
    double filter = 0.0;
    double links = 0.0;
    int32_t selected = 0;
    int32_t probes = 0;
    int32_t jetwayConfigs = 0;
    int rebuilds = 0;
};

constexpr int kProgramRounds = 3;
constexpr uint64_t kFrameMs = 50;
constexpr uint64_t kSettleLimitMs = 600000;
constexpr uint64_t kStableMs = 3000;

// Frames until the program's creations have stopped coming for a while; the objects it has created.
size_t Settle(simulator::Simulator& sim, platform::ManualClock& clock, bench::Pump& pump)
{
    size_t created = bench::CreatedObjects(sim);
    uint64_t stableSince = 0;
    for (uint64_t elapsed = 0; elapsed < kSettleLimitMs; elapsed += kFrameMs) {
        sim.Advance(kFrameMs);
        clock.Advance(kFrameMs);
        pump();
        if (elapsed % 500 != 0) continue;
        const size_t now = bench::CreatedObjects(sim);
        if (now != created) {
            created = now;
            stableSince = elapsed;
        } else if (elapsed - stableSince >= kStableMs) {
            break;
        }
    }
    return created;
}

// A bubble cycle started as a move of the user starts it: the update pending, no protection zone taken
// (a position initialisation), the resets and the module's reset request.
void StartCycle(const bench::SyntheticAirport& airport)
{
    program::Parts().simBubble->SetUpdatePending(true);
    program::Flags().positionInitialisation = true;
    FSProcess::OnSimBubbleUpdate(SimBubble::kModeMoved, airport.latitude, airport.longitude, kUserAltitudeFeet);
}

// A whole cycle: its start, then the rebuild the module's answer runs.
void Cycle(const bench::SyntheticAirport& airport)
{
    StartCycle(airport);
    FSProcess::UpdateSimBubble(airport.latitude, airport.longitude, kUserAltitudeFeet);
}

struct ProgramTiming {
    std::vector<double> first, rebuild;  // milliseconds
    int32_t selected = 0;
    size_t created = 0;
};

// The rebuild as the program runs it, around the first sizes airports of the world in root; false when
// the program could not be brought up.
bool MeasureProgramRebuilds(const bench::SyntheticWorld& world, size_t sizes, std::vector<ProgramTiming>& out)
{
    // The program's log, as orvane writes it: every line from DEBUG up into a file.
    log4cpp::Category& rootLog = log4cpp::Category::getRoot();
    auto* file = new log4cpp::FileAppender("default", (world.root / "bench-VELK.log").string(), false, 0644);
    auto* layout = new log4cpp::PatternLayout();
    layout->setConversionPattern("[%d{%H:%M:%S.%l}] %p %c : %m%n");
    file->setLayout(layout);
    rootLog.addAppender(file);
    rootLog.setPriority(log4cpp::Priority::DEBUG);

    platform::ScopedManualClock manualClock;
    platform::ManualClock& clock = manualClock.clock();
    program::Flags().Reset();
    program::Flags().targetPlatform = "P3Dv4";
    program::Flags().logFolder = "C:\\ProgramData\\Quorvath\\VELK\\log";
    bool ok = true;
    {
        simulator::Simulator sim;
        sim.SetFrameRate(1000.0 / kFrameMs);
        sim.SetTimelineKept(false);
        bench::Pump pump;
        FSProcess::ConstructComponents();
        FSProcess::ReloadAll(false);
        FSProcess::BuildInternalMaps();
        sim.ServeInProcess();
        if (program::Sim().Open() != S_OK) {
            std::fprintf(stderr, "bench_bubble_rebuild: no connection to the in-process simulator\n");
            ok = false;
        } else {
            program::Flags().externalMode = program::Flags().objectCount == 0;
            FSProcess::RegisterWithSimulator();
            pump.Connect();
            sim.StartSim();
            out.assign(sizes, ProgramTiming{});
            for (int round = 0; round < kProgramRounds && ok; ++round) {
                for (size_t a = 0; a < 2 * sizes && ok; ++a) {
                    const bool cold = a < sizes;
                    const bench::SyntheticAirport& airport = world.airports[a % sizes];
                    sim.SetUserPosition(airport.latitude, airport.longitude, kUserAltitudeFeet, 0.0, 0.0, 0.0);
                    // The bubble of this airport in the simulator, as the rebuild finds it.
                    Cycle(airport);
                    Settle(sim, clock, pump);
                    if (cold) platform::ClearProfileCache();
                    // The cycle's resets, as a move of the user starts them, then the rebuild itself, timed,
                    // as the module's answer runs it (the answer that follows finds nothing pending).
                    StartCycle(airport);
                    const double t0 = bench::WallSeconds();
                    FSProcess::UpdateSimBubble(airport.latitude, airport.longitude, kUserAltitudeFeet);
                    const double ms = (bench::WallSeconds() - t0) * 1e3;
                    ProgramTiming& timing = out[a % sizes];
                    (cold ? timing.first : timing.rebuild).push_back(ms);
                    timing.selected = program::Parts().activeObjects->Count();
                    timing.created = Settle(sim, clock, pump);
                    if (timing.selected != airport.objects) {
                        std::fprintf(stderr, "bench_bubble_rebuild: the program's bubble around %s holds %d of %d\n",
                                     airport.icao.c_str(), timing.selected, airport.objects);
                        ok = false;
                    }
                }
            }
            SimConnect_Close(pump.module);
        }
        program::Parts().ReleaseAtShutdown();
        program::Parts() = program::Components{};
        program::Flags().Reset();
    }
    rootLog.setPriority(log4cpp::Priority::WARN);
    rootLog.removeAppender(file);
    return ok;
}

}  // namespace

int main()
{
    const double benchStart = bench::WallSeconds();
    new bench::ComplaintLog();
    bench::TempWorldRoot root;
    const bench::SyntheticWorld world = bench::WriteSyntheticWorld(root.Root());
    std::printf("Synthetic world: %d placed objects, %d probes in %zu files, %.1f MB\n", world.objects, world.probes,
                world.placementFiles.size(), static_cast<double>(world.bytes) / 1e6);

    // The reload's part: the lists, the quadtree over the full list, the SimObjects folders.
    SceneryFileRegistry registry;
    registry.SetSimPlatform("P3Dv4");
    SimObjectList all;
    EnviroDataProbeList readProbes;
    ProtectionZoneList zones;
    registry.FindXmlFiles();
    registry.BuildListsFromXml(0, all, readProbes, &zones);
    if (all.Count() != world.objects || readProbes.Count() != world.probes) {
        std::fprintf(stderr, "bench_bubble_rebuild: read %d of %d objects and %d of %d probes\n", all.Count(),
                     world.objects, readProbes.Count(), world.probes);
        return 1;
    }
    QuadTree tree(QuadTree::WorldBox());
    for (int32_t i = 0; i < all.Count(); ++i) {
        SimObject* object = all.At(i);
        tree.Insert({object->GetLatitude(), object->GetLongitude(), object->GetGroupIndex(), object});
    }
    log4cpp::Category& loopLog = log4cpp::Category::getInstance("VELK.FSLOOP");
    SimObjectsFolderManager folders(log4cpp::Category::getInstance("VELK.FOLDERS"), nullptr);
    folders.SetSimPlatform("P3Dv4");
    folders.BuildSimObjectsMap();
    std::printf("World read and indexed in %.1f s\n", bench::WallSeconds() - benchStart);

    SimBubble bubble(loopLog, nullptr, &folders);
    SimObjectList active;
    EnviroDataProbeList activeProbes;
    const size_t sizes = std::min<size_t>(3, world.airports.size());
    struct Samples {
        std::vector<double> first, rebuild, filter, links;
    };
    std::vector<Samples> samples(sizes);
    std::vector<Timing> timings(sizes);
    bench::ComplaintLog::Reset();
    // The sizes take turns, one rebuild each per round, so that a drift in the machine's speed reaches
    // every size alike and each rebuild starts from what another airport left in the caches, as a real
    // rebuild follows minutes of other work. The first round is a warm-up.
    const double measureStart = bench::WallSeconds();
    for (int round = 0; round <= kMaxRebuilds; ++round) {
        for (size_t a = 0; a < 2 * sizes; ++a) {
            // Each size twice in turn: first with the INI files forgotten (as the first rebuild after start-up
            // finds them), then as a later rebuild does.
            const bool cold = a < sizes;
            if (cold) platform::ClearProfileCache();
            const bench::SyntheticAirport& airport = world.airports[a % sizes];
            bubble.SetCentre(airport.latitude, airport.longitude);
            const double t0 = bench::WallSeconds();
            bubble.FilterObjects(active, activeProbes, readProbes, tree, kUserAltitudeFeet);
            const double t1 = bench::WallSeconds();
            bubble.ResolveLinks(activeProbes, active);
            const double t3 = bench::WallSeconds();
            Timing& timing = timings[a % sizes];
            timing.selected = active.Count();
            timing.probes = activeProbes.Count();
            timing.jetwayConfigs = active.GetRequestedCount();
            // The next rebuild begins by emptying the list: that part of it belongs to this size, so it
            // is done and timed here, and the next size finds the list empty.
            const double t4 = bench::WallSeconds();
            active.Empty();
            const double emptying = bench::WallSeconds() - t4;
            if (timing.selected != airport.objects || timing.jetwayConfigs != airport.jetways ||
                timing.probes != airport.probes || bench::ComplaintLog::Count() != 0) {
                std::fprintf(stderr,
                             "bench_bubble_rebuild: around %s: %d of %d objects, %d of %d probes, %d of %d jetway "
                             "configurations, %d complaints\n",
                             airport.icao.c_str(), timing.selected, airport.objects, timing.probes, airport.probes,
                             timing.jetwayConfigs, airport.jetways, bench::ComplaintLog::Count());
                return 1;
            }
            if (round == 0) continue;
            Samples& sample = samples[a % sizes];
            if (cold) {
                sample.first.push_back((t3 - t0 + emptying) * 1e3);
                continue;
            }
            sample.rebuild.push_back((t3 - t0 + emptying) * 1e3);
            sample.filter.push_back((t1 - t0 + emptying) * 1e3);
            sample.links.push_back((t3 - t1) * 1e3);
        }
        if (round >= kMinRebuilds && bench::WallSeconds() - measureStart >= kMinSeconds) break;
    }
    for (size_t a = 0; a < sizes; ++a) {
        Timing& timing = timings[a];
        timing.first = bench::Median(samples[a].first);
        timing.rebuild = bench::Median(samples[a].rebuild);
        timing.filter = bench::Median(samples[a].filter);
        timing.links = bench::Median(samples[a].links);
        timing.rebuilds = static_cast<int>(samples[a].rebuild.size());
        std::printf("  %d selected (%d jetways, %d probes): %d rebuilds, median %.2f ms, first %.2f ms\n",
                    timing.selected, timing.jetwayConfigs, timing.probes, timing.rebuilds, timing.rebuild, timing.first);
    }

    std::vector<ProgramTiming> program;
    if (!MeasureProgramRebuilds(world, sizes, program)) return 1;

    bench::GoalTable table("Sim-bubble rebuild out of " + std::to_string(world.objects) +
                           " placed objects: as the program runs it (the removal pass of the objects in the "
                           "simulator, filtering, links, first batch of creations; log at DEBUG into a file; medians "
                           "of " + std::to_string(kProgramRounds) + "), and the bubble's passes alone (emptying, "
                           "filtering with jetway configuration, links; sizes in turn; medians)");
    int goals = 0;
    for (size_t a = 0; a < timings.size(); ++a) {
        const Timing& t = timings[a];
        const ProgramTiming& p = program[a];
        const std::string size = std::to_string(t.selected) + " selected";
        const double first = bench::Median(p.first);
        const double rebuild = bench::Median(p.rebuild);
        if (t.selected == 2000) {
            table.AtMost("first rebuild (jetway.cfg from disk), " + size, first, kRebuildGoalMs, "ms", 3);
            table.AtMost("rebuild, " + size, rebuild, kRebuildGoalMs, "ms", 3);
            goals += 2;
        } else {
            table.Info("first rebuild (jetway.cfg from disk), " + size, first, "ms", 3);
            table.Info("rebuild, " + size, rebuild, "ms", 3);
        }
        table.Info("  objects in the simulator after it (parts included)", static_cast<double>(p.created), "", 0);
        table.Info("  the bubble's passes alone, first", t.first, "ms", 3);
        table.Info("  the bubble's passes alone", t.rebuild, "ms", 3);
        table.Info("    filtering (with " + std::to_string(t.jetwayConfigs) + " jetway configurations)", t.filter,
                   "ms", 3);
        table.Info("    the two link passes (" + std::to_string(t.probes) + " probes)", t.links, "ms", 3);
    }
    for (size_t i = 1; i < timings.size(); ++i) {
        const double growth = bench::Median(program[i].rebuild) / bench::Median(program[i - 1].rebuild);
        table.AtMost("growth " + std::to_string(timings[i].selected) + " / " + std::to_string(timings[i - 1].selected) +
                         " selected (linear: 4)",
                     growth, kGrowthGoal, "x");
        ++goals;
        table.Info("  growth of the bubble's passes alone", timings[i].rebuild / timings[i - 1].rebuild, "x");
    }
    table.Print();
    std::printf("bench_bubble_rebuild: %d of %d goals met; ran %.1f s\n", goals - table.NotMet(), goals,
                bench::WallSeconds() - benchStart);
    return 0;
}
