// Start-up read of an airport-scale world: everything the program does from its first placement file to
// the end of its initialisation that grows with the world (the placement-file registry filling the full
// object list, the probes and the protection zones; the quadtree over the full list; the SimObjects map
// of the installation; the model check of every model read), against a raw tinyxml2 parse of the same
// files that keeps one document from file to file and visits every element and attribute. Worlds of
// 10,000, 100,000 and 400,000 placed objects, so that the read is seen to stay linear; the peak memory
// of the read.
//
// Each measurement runs in a forked child, the sizes and the two sides taking turns, seven rounds, all on
// one processor; figures are CPU time, medians; each ratio is taken round by round. The read must put
// into the lists exactly what the generator wrote, find every model, and log no complaint.
#include "bench/GoalReport.h"
#include "bench/RawParse.h"
#include "bench/SyntheticWorld.h"

#include "objects/EnviroDataProbe.h"
#include "objects/SimObject.h"
#include "objects/SimObjectList.h"
#include "scenery/QuadTree.h"
#include "scenery/SceneryFileRegistry.h"
#include "scenery/SimObjectsFolderManager.h"

#include <log4cpp/Category.hh>

#include <stdlib.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultRounds = 7;
constexpr double kReadRatioGoal = 1.3;
constexpr double kReadMemoryGoalMb = 150.0;
constexpr double kLinearityGoal = 1.2;  // the largest per-object read time over the smallest
constexpr int32_t kObjectsPerFile = 2000;
constexpr int32_t kGoalSize = 100000;

struct Reading {
    double seconds = 0.0;    // CPU time of the whole
    double files = 0.0;      // the placement files into the lists
    double quadTree = 0.0;   // the full list into the quadtree
    double simObjectsMap = 0.0;
    double modelCheck = 0.0;
    int32_t objects = 0;
    int32_t probes = 0;
    int32_t zones = 0;
    int32_t missingModels = 0;
    int32_t complaints = 0;
    uint64_t seen = 0;
    long pageFaults = 0;  // minor faults: first touches of fresh memory
};

long MinorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// What first touching that much fresh memory costs this machine, in CPU seconds: the floor under any
// read that keeps it.
bool TouchFreshMemory(double megabytes, Reading& out)
{
    const size_t bytes = static_cast<size_t>(megabytes * 1024.0 * 1024.0);
    const long faults = MinorFaults();
    const double start = bench::CpuSeconds();
    std::unique_ptr<char[]> memory(new char[bytes]);
    for (size_t i = 0; i < bytes; i += 4096) memory[i] = static_cast<char>(i);
    out.seconds = bench::CpuSeconds() - start;
    out.pageFaults = MinorFaults() - faults;
    out.seen = static_cast<unsigned char>(memory[bytes / 2]);
    return true;
}

bool RawParse(const std::vector<std::filesystem::path>& files, Reading& out)
{
    const double start = bench::CpuSeconds();
    auto document = std::make_unique<tinyxml2::XMLDocument>();
    if (!bench::ParseEverything(*document, files, out.seen)) return false;
    out.seconds = bench::CpuSeconds() - start;
    return true;
}

int32_t CountMissingModels(const SimObjectList& objects)
{
    int32_t missing = 0;
    for (int32_t i = 0; i < objects.Count(); ++i) {
        const SimObject* object = objects.At(i);
        for (int32_t m = 0; m < object->GetModelCount(); ++m) {
            if (object->GetModel(m)->SimTitle() == SimObjectsFolderManager::kMissingObjectTitle) ++missing;
        }
    }
    return missing;
}

// As the program's start-up does it: the reload's reading and quadtree, then the SimObjects map and the
// model check.
bool ProgramRead(Reading& out)
{
    bench::ComplaintLog::Reset();
    SceneryFileRegistry registry;
    registry.SetSimPlatform("P3Dv4");
    auto objects = std::make_unique<SimObjectList>();
    auto probes = std::make_unique<EnviroDataProbeList>();
    auto zones = std::make_unique<ProtectionZoneList>();
    auto tree = std::make_unique<QuadTree>(QuadTree::WorldBox());
    SimObjectsFolderManager folders(log4cpp::Category::getInstance("VELK.FOLDERMANAGER"), nullptr);
    folders.SetSimPlatform("P3Dv4");

    const long faults = MinorFaults();
    const double t0 = bench::CpuSeconds();
    registry.FindXmlFiles();
    registry.BuildListsFromXml(0, *objects, *probes, zones.get());
    const double t1 = bench::CpuSeconds();
    for (int32_t i = 0; i < objects->Count(); ++i) {
        SimObject* object = objects->At(i);
        tree->Insert({object->GetLatitude(), object->GetLongitude(), object->GetGroupIndex(), object});
    }
    const double t2 = bench::CpuSeconds();
    folders.BuildSimObjectsMap();
    const double t3 = bench::CpuSeconds();
    folders.CheckModels(*objects);
    const double t4 = bench::CpuSeconds();

    out.pageFaults = MinorFaults() - faults;
    out.seconds = t4 - t0;
    out.files = t1 - t0;
    out.quadTree = t2 - t1;
    out.simObjectsMap = t3 - t2;
    out.modelCheck = t4 - t3;
    out.objects = objects->Count();
    out.probes = probes->Count();
    out.zones = zones->Count();
    out.missingModels = CountMissingModels(*objects);
    out.complaints = bench::ComplaintLog::Count();
    // The child ends here: what the lists hold is left to the end of the process, as the program leaves it.
    objects.release();
    probes.release();
    zones.release();
    tree.release();
    return true;
}

struct Size {
    std::unique_ptr<bench::TempWorldRoot> root;
    bench::SyntheticWorld world;
    std::vector<double> raw, read, ratio, files, quadTree, simObjectsMap, modelCheck, growthMb, rawGrowthMb;
    std::vector<double> faults, touch;
};

}  // namespace

// Arguments, for a profile of one size: the sizes (objects, e.g. "100000"), "--rounds N", and "--profile":
// one program read of each size in this process (no child, no table), for a profiler that does not
// follow forks; "--profile-raw": the same with the raw parse, its yardstick.
int main(int argc, char** argv)
{
    const double benchStart = bench::WallSeconds();
    int kRounds = kDefaultRounds;
    std::vector<int32_t> objectCounts;
    bool profile = false;
    bool profileRaw = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--profile") == 0) profile = true;
        else if (std::strcmp(argv[i], "--profile-raw") == 0) profileRaw = true;
        else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) kRounds = std::max(1, std::atoi(argv[++i]));
        else if (std::atoi(argv[i]) >= kObjectsPerFile) objectCounts.push_back(std::atoi(argv[i]));
    }
    if (objectCounts.empty()) objectCounts = {10000, kGoalSize, 400000};
    if (!bench::PinToCurrentCpu()) std::printf("(could not keep the rounds on one processor)\n");
    new bench::ComplaintLog();

    std::vector<Size> sizes;
    for (int32_t objects : objectCounts) {
        Size size;
        size.root = std::make_unique<bench::TempWorldRoot>();
        bench::SyntheticWorldOptions options;
        options.objectCount = objects;
        options.fileCount = objects / kObjectsPerFile;
        const double start = bench::WallSeconds();
        size.world = bench::WriteSyntheticWorld(size.root->Root(), options);
        std::printf("Synthetic world: %d placed objects, %d probes, %d protection zones in %zu files, %.1f MB "
                    "(written in %.2f s)\n",
                    size.world.objects, size.world.probes, size.world.zones, size.world.placementFiles.size(),
                    static_cast<double>(size.world.bytes) / 1e6, bench::WallSeconds() - start);
        sizes.push_back(std::move(size));
    }

    if (profile) {
        for (Size& size : sizes) {
            setenv("VELK_MACHINE_ROOT", size.world.root.c_str(), 1);
            Reading read;
            ProgramRead(read);
            std::printf("%d objects read in %.1f ms\n", read.objects, read.seconds * 1e3);
        }
        return 0;
    }
    if (profileRaw) {
        for (Size& size : sizes) {
            Reading raw;
            if (!RawParse(size.world.placementFiles, raw)) return 1;
            std::printf("%d objects' files parsed in %.1f ms\n", size.world.objects, raw.seconds * 1e3);
        }
        return 0;
    }

    for (int round = 0; round < kRounds; ++round) {
        std::printf("  round %d:", round + 1);
        for (Size& size : sizes) {
            // The children read the machine root of their own world.
            setenv("VELK_MACHINE_ROOT", size.world.root.c_str(), 1);
            Reading raw;
            long rawGrowthKb = 0;
            if (!bench::RunInChild<Reading>([&](Reading& r) { return RawParse(size.world.placementFiles, r); }, raw,
                                            rawGrowthKb)) {
                std::fprintf(stderr, "bench_startup_read: the raw parse of the world failed\n");
                return 1;
            }
            Reading read;
            long readGrowthKb = 0;
            if (!bench::RunInChild<Reading>(ProgramRead, read, readGrowthKb)) {
                std::fprintf(stderr, "bench_startup_read: the program's read of the world failed\n");
                return 1;
            }
            const bench::SyntheticWorld& world = size.world;
            if (read.objects != world.objects || read.probes != world.probes || read.zones != world.zones ||
                read.missingModels != 0 || read.complaints != 0) {
                std::fprintf(stderr,
                             "bench_startup_read: the read does not match the world: %d/%d objects, %d/%d probes, "
                             "%d/%d zones, %d models missing, %d complaints\n",
                             read.objects, world.objects, read.probes, world.probes, read.zones, world.zones,
                             read.missingModels, read.complaints);
                return 1;
            }
            size.raw.push_back(raw.seconds);
            size.read.push_back(read.seconds);
            size.ratio.push_back(read.seconds / raw.seconds);
            size.files.push_back(read.files);
            size.quadTree.push_back(read.quadTree);
            size.simObjectsMap.push_back(read.simObjectsMap);
            size.modelCheck.push_back(read.modelCheck);
            size.growthMb.push_back(static_cast<double>(readGrowthKb) / 1024.0);
            size.rawGrowthMb.push_back(static_cast<double>(rawGrowthKb) / 1024.0);
            size.faults.push_back(static_cast<double>(read.pageFaults));
            if (world.objects == kGoalSize) {
                Reading touch;
                long touchGrowthKb = 0;
                const double megabytes = size.growthMb.back();
                if (bench::RunInChild<Reading>([&](Reading& r) { return TouchFreshMemory(megabytes, r); }, touch,
                                               touchGrowthKb))
                    size.touch.push_back(touch.seconds);
            }
            std::printf("  %dk %.0f/%.0f ms", world.objects / 1000, raw.seconds * 1e3, read.seconds * 1e3);
        }
        std::printf("  (raw/read)\n");
    }

    bench::GoalTable table("Start-up read: placement files, quadtree, SimObjects map and model check, against a raw "
                           "parse visiting every element and attribute (CPU time, medians of " +
                           std::to_string(kRounds) + " rounds; ratios round by round)");
    // Linearity is judged on what grows with the world: the SimObjects map is a scan of the installation,
    // the same for every world, and is left out of that figure (it is in every other).
    double fastest = 0.0;
    double slowest = 0.0;
    for (const Size& size : sizes) {
        const int32_t n = size.world.objects;
        const std::string label = std::to_string(n / 1000) + "k";
        const double perObjectUs = bench::Median(size.read) * 1e6 / n;
        std::vector<double> growing;
        for (size_t i = 0; i < size.read.size(); ++i) growing.push_back(size.read[i] - size.simObjectsMap[i]);
        const double growingPerObjectUs = bench::Median(growing) * 1e6 / n;
        fastest = fastest == 0.0 ? growingPerObjectUs : std::min(fastest, growingPerObjectUs);
        slowest = std::max(slowest, growingPerObjectUs);
        table.Info(label + ": raw parse", bench::Median(size.raw) * 1e3, "ms", 1);
        table.Info(label + ": program read", bench::Median(size.read) * 1e3, "ms", 1);
        if (n == kGoalSize) {
            table.Info("  placement files into the lists", bench::Median(size.files) * 1e3, "ms", 1);
            table.Info("  quadtree", bench::Median(size.quadTree) * 1e3, "ms", 1);
            table.Info("  SimObjects map", bench::Median(size.simObjectsMap) * 1e3, "ms", 1);
            table.Info("  model check", bench::Median(size.modelCheck) * 1e3, "ms", 1);
            table.AtMost(label + ": program read / raw parse", bench::Median(size.ratio), kReadRatioGoal, "x");
            table.Info(label + ": raw parse peak memory growth", bench::Median(size.rawGrowthMb), "MB", 1);
            table.AtMost(label + ": program read peak memory growth", bench::Median(size.growthMb), kReadMemoryGoalMb,
                         "MB", 1);
            table.Info(label + ": memory per placed object", bench::Median(size.growthMb) * 1024.0 * 1024.0 / n, "B",
                       0);
            table.Info(label + ": page faults of the read", bench::Median(size.faults), "", 0);
            table.Info(label + ": first touch of as much fresh memory alone", bench::Median(size.touch) * 1e3, "ms", 1);
        } else {
            table.Info(label + ": program read / raw parse", bench::Median(size.ratio), "x");
        }
        table.Info(label + ": program read per placed object", perObjectUs, "us", 3);
        table.Info(label + ": the same without the SimObjects map", growingPerObjectUs, "us", 3);
    }
    if (sizes.size() > 1)
        table.AtMost("per-object read without the map, slowest size / fastest", slowest / fastest, kLinearityGoal,
                     "x");
    table.Print();
    const int goals = table.Goals();
    std::printf("bench_startup_read: %d of %d goals met; ran %.1f s\n", goals - table.NotMet(), goals,
                bench::WallSeconds() - benchStart);
    return 0;
}
