// The sim-bubble rebuild at airport scale: the full world read and put into the quadtree as the reload
// does it, then the bubble's rebuild path (the filtering pass with the jetways' configuration, and the
// two link passes over one walk of the list) around airports of 500, 2,000 and 8,000 placed objects,
// without a simulator. The time per rebuild at each size, and how it grows with the objects selected.
// Each size is measured as the first rebuild after start-up meets it (its jetway.cfg files read from
// disk: the kept INI files are forgotten before it) and as a later rebuild (the files kept).
// Not measured here: the removal pass of the simulator's objects that precedes a rebuild in the program
// (one simulator call and one log line per object), which needs the program and a simulator.
#include "bench/GoalReport.h"
#include "bench/SyntheticWorld.h"

#include "platform/profile.h"

#include "objects/EnviroDataProbe.h"
#include "objects/SimObjectList.h"
#include "scenery/QuadTree.h"
#include "scenery/SceneryFileRegistry.h"
#include "scenery/SimBubble.h"
#include "scenery/SimObjectsFolderManager.h"

#include <log4cpp/Category.hh>

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

    bench::GoalTable table("Sim-bubble rebuild out of " + std::to_string(world.objects) +
                           " placed objects (emptying and filtering with jetway configuration, probe and sync links; "
                           "sizes in turn; medians; without the removal pass)");
    int goals = 0;
    for (const Timing& t : timings) {
        const std::string size = std::to_string(t.selected) + " selected";
        if (t.selected == 2000) {
            table.AtMost("first rebuild (jetway.cfg from disk), " + size, t.first, kRebuildGoalMs, "ms", 3);
            table.AtMost("rebuild, " + size, t.rebuild, kRebuildGoalMs, "ms", 3);
            goals += 2;
        } else {
            table.Info("first rebuild (jetway.cfg from disk), " + size, t.first, "ms", 3);
            table.Info("rebuild, " + size, t.rebuild, "ms", 3);
        }
        table.Info("  filtering (with " + std::to_string(t.jetwayConfigs) + " jetway configurations)", t.filter, "ms",
                   3);
        table.Info("  the two link passes (" + std::to_string(t.probes) + " probes)", t.links, "ms", 3);
    }
    for (size_t i = 1; i < timings.size(); ++i) {
        table.AtMost("growth " + std::to_string(timings[i].selected) + " / " + std::to_string(timings[i - 1].selected) +
                         " selected (linear: 4)",
                     timings[i].rebuild / timings[i - 1].rebuild, kGrowthGoal, "x");
        ++goals;
        table.Info("  growth of the filtering", timings[i].filter / timings[i - 1].filter, "x");
        table.Info("  growth of the two link passes",
                   timings[i].links / timings[i - 1].links,
                   "x");
    }
    table.Print();
    std::printf("bench_bubble_rebuild: %d of %d goals met; ran %.1f s\n", goals - table.NotMet(), goals,
                bench::WallSeconds() - benchStart);
    return 0;
}
