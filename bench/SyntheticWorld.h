// A synthetic world at airport scale for the benchmarks: the sample machine's installation (simulator,
// scenery library, SimObjects folders with the object models and their jetway.cfg files, settings)
// without its placement files, and a generated set of placement files in "\xml\" instead.
//
// The objects stand at airports laid on a grid of about 1 degree spacing (110 km), so that a sim bubble
// (40 km radius) around an airport's reference point selects that airport's objects and no other's. The
// first airports are the reference airports, of the sizes asked for (500, 2,000 and 8,000 placed objects
// by default); the others share the rest. Each airport is a realistic mix: stands with one to three
// jetways, a docking guidance display and a gate number box; an apron with a weather probe and its client
// list, a windsock and a flag turning with the wind, a beacon on a timer, conditional objects, a proximity
// barrier, radio-switched floodlights, menu-controlled stairs, a group of carts, a door whose animation
// drives a lamp, a radar turning to the user aircraft and a separation-plane sign; light masts with
// several placements each. Every file names a protection zone. The generation is deterministic.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

struct SyntheticWorldOptions {
    int32_t objectCount = 100000;  // placed objects: entries of the object list (probes not counted)
    int32_t fileCount = 50;
    std::vector<int32_t> referenceSizes = {500, 2000, 8000};
    int32_t airportSize = 500;  // the other airports; the last one takes what is left
};

struct SyntheticAirport {
    std::string icao;
    double latitude = 0.0;  // reference point, degrees
    double longitude = 0.0;
    int32_t objects = 0;    // placed objects (entries)
    int32_t probes = 0;
    int32_t jetways = 0;
};

struct SyntheticWorld {
    std::filesystem::path root;
    std::vector<std::filesystem::path> placementFiles;  // host paths
    std::vector<SyntheticAirport> airports;            // the reference airports first
    int32_t objects = 0;  // entries written: what the reader must put into the object list
    int32_t probes = 0;   // environmental data probes written
    int32_t zones = 0;    // protection zones written
    uint64_t bytes = 0;   // total size of the placement files
};

// Writes the world into root (which must exist): the sample machine's installation, then the placement
// files. Throws std::runtime_error when a file cannot be written.
SyntheticWorld WriteSyntheticWorld(const std::filesystem::path& root, const SyntheticWorldOptions& options = {});

// A temporary machine root that VELK_MACHINE_ROOT names while it lives; removed with everything in it.
// Short, under /tmp: the stand-in simulator's socket may live in it.
class TempWorldRoot {
public:
    TempWorldRoot();
    ~TempWorldRoot();
    TempWorldRoot(const TempWorldRoot&) = delete;
    TempWorldRoot& operator=(const TempWorldRoot&) = delete;

    const std::filesystem::path& Root() const { return root_; }

private:
    std::filesystem::path root_;
    std::string previous_;
    bool hadPrevious_ = false;
};

}  // namespace bench
