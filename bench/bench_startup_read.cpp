// Start-up read of an airport-scale world: the program's own reading path (the placement-file registry
// filling the full object list, the probes and the protection zones, as the reload does it) against the
// plain XML parse of the same files, side by side in one run, and the peak memory of the read.
//
// Each measurement runs in a forked child, alternating, seven rounds, all on one processor; the table shows
// the medians. The read must put into the lists exactly what the generator wrote, without one complaint.
#include "bench/GoalReport.h"
#include "bench/SyntheticWorld.h"

#include "objects/EnviroDataProbe.h"
#include "objects/SimObjectList.h"
#include "scenery/QuadTree.h"
#include "scenery/SceneryFileRegistry.h"

#include <tinyxml2.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 7;
constexpr double kReadRatioGoal = 1.3;
constexpr double kReadMemoryGoalMb = 150.0;

struct Reading {
    double seconds = 0.0;
    int32_t objects = 0;
    int32_t probes = 0;
    int32_t zones = 0;
    int32_t complaints = 0;
};

bool RawParse(const std::vector<std::filesystem::path>& files, Reading& out)
{
    const double start = bench::WallSeconds();
    for (const std::filesystem::path& file : files) {
        tinyxml2::XMLDocument document;
        if (document.LoadFile(file.c_str()) != tinyxml2::XML_SUCCESS) return false;
    }
    out.seconds = bench::WallSeconds() - start;
    return true;
}

bool ProgramRead(Reading& out)
{
    bench::ComplaintLog::Reset();
    SceneryFileRegistry registry;
    registry.SetSimPlatform("P3Dv4");
    SimObjectList objects;
    EnviroDataProbeList probes;
    ProtectionZoneList zones;
    const double start = bench::WallSeconds();
    registry.FindXmlFiles();
    registry.BuildListsFromXml(0, objects, probes, &zones);
    out.seconds = bench::WallSeconds() - start;
    out.objects = objects.Count();
    out.probes = probes.Count();
    out.zones = zones.Count();
    out.complaints = bench::ComplaintLog::Count();
    return true;
}

}  // namespace

int main()
{
    const double benchStart = bench::WallSeconds();
    if (!bench::PinToCurrentCpu()) std::printf("(could not keep the rounds on one processor)\n");
    new bench::ComplaintLog();
    bench::TempWorldRoot root;
    const double generateStart = bench::WallSeconds();
    const bench::SyntheticWorld world = bench::WriteSyntheticWorld(root.Root());
    const double generateSeconds = bench::WallSeconds() - generateStart;
    std::printf("Synthetic world: %d placed objects, %d probes, %d protection zones in %zu files, %.1f MB "
                "(written in %.2f s)\n",
                world.objects, world.probes, world.zones, world.placementFiles.size(),
                static_cast<double>(world.bytes) / 1e6, generateSeconds);

    std::vector<double> rawSeconds;
    std::vector<double> readSeconds;
    std::vector<double> readGrowthMb;
    std::vector<double> rawGrowthMb;
    std::vector<double> ratios;  // each round's read against its own raw parse
    Reading read;
    for (int round = 0; round < kRounds; ++round) {
        Reading raw;
        long rawGrowthKb = 0;
        if (!bench::RunInChild<Reading>([&](Reading& r) { return RawParse(world.placementFiles, r); }, raw,
                                        rawGrowthKb)) {
            std::fprintf(stderr, "bench_startup_read: the raw parse of the world failed\n");
            return 1;
        }
        long readGrowthKb = 0;
        if (!bench::RunInChild<Reading>(ProgramRead, read, readGrowthKb)) {
            std::fprintf(stderr, "bench_startup_read: the program's read of the world failed\n");
            return 1;
        }
        rawSeconds.push_back(raw.seconds);
        readSeconds.push_back(read.seconds);
        ratios.push_back(read.seconds / raw.seconds);
        rawGrowthMb.push_back(static_cast<double>(rawGrowthKb) / 1024.0);
        readGrowthMb.push_back(static_cast<double>(readGrowthKb) / 1024.0);
        std::printf("  round %d: raw parse %.1f ms, program read %.1f ms, read peak growth %.1f MB\n", round + 1,
                    raw.seconds * 1e3, read.seconds * 1e3, readGrowthMb.back());
    }

    if (read.objects != world.objects || read.probes != world.probes || read.zones != world.zones ||
        read.complaints != 0) {
        std::fprintf(stderr,
                     "bench_startup_read: the read does not match the world: %d/%d objects, %d/%d probes, %d/%d "
                     "zones, %d complaints\n",
                     read.objects, world.objects, read.probes, world.probes, read.zones, world.zones,
                     read.complaints);
        return 1;
    }

    const double raw = bench::Median(rawSeconds);
    const double program = bench::Median(readSeconds);
    bench::GoalTable table("Start-up read of " + std::to_string(world.objects) + " placed objects in " +
                           std::to_string(world.placementFiles.size()) + " files (medians of " +
                           std::to_string(kRounds) + " rounds; the ratio pair by pair, so that a drift in the "
                           "machine's speed between rounds does not reach it)");
    table.Info("raw tinyxml2 parse (LoadFile of every file)", raw * 1e3, "ms", 1);
    table.Info("program read (registry into the object list)", program * 1e3, "ms", 1);
    table.AtMost("program read / raw parse", bench::Median(ratios), kReadRatioGoal, "x");
    table.Info("raw parse peak memory growth (one document at a time)", bench::Median(rawGrowthMb), "MB", 1);
    table.AtMost("program read peak memory growth", bench::Median(readGrowthMb), kReadMemoryGoalMb, "MB", 1);
    table.Info("program read memory per placed object", bench::Median(readGrowthMb) * 1024.0 * 1024.0 / world.objects,
               "B", 0);
    table.Print();
    std::printf("bench_startup_read: %d of %d goals met; ran %.1f s\n", 2 - table.NotMet(), 2,
                bench::WallSeconds() - benchStart);
    return 0;
}
