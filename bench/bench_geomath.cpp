// Geodesy and the flag word: called for every object in range on every frame.
#include "foundation/BitField64.h"
#include "foundation/GeoMath.h"

#include <benchmark/benchmark.h>

#include <array>

namespace {

struct Pair {
    double lat1, lon1, lat2, lon2;
};

// Stand-to-aircraft distances, a cross-airport one, a long haul and a nearly antipodal pair (the
// slow case of the Vincenty series).
constexpr std::array<Pair, 4> kPairs = {{
    {47.260219, 11.343964, 47.260510, 11.344800},
    {47.260219, 11.343964, 47.254100, 11.327800},
    {51.470022, -0.454296, 40.641311, -73.778139},
    {0.5, 0.0, -0.5, 179.7},
}};

void BM_HaversineDistance(benchmark::State& state)
{
    const Pair& p = kPairs[static_cast<size_t>(state.range(0))];
    for (auto _ : state)
        benchmark::DoNotOptimize(GeoMath::HaversineDistance(p.lat1, p.lon1, p.lat2, p.lon2));
}
BENCHMARK(BM_HaversineDistance)->DenseRange(0, 3);

void BM_RhumbLineBearing(benchmark::State& state)
{
    const Pair& p = kPairs[static_cast<size_t>(state.range(0))];
    for (auto _ : state)
        benchmark::DoNotOptimize(GeoMath::RhumbLineBearing(p.lat1, p.lon1, p.lat2, p.lon2));
}
BENCHMARK(BM_RhumbLineBearing)->DenseRange(0, 3);

void BM_VincentyInverse(benchmark::State& state)
{
    const Pair& p = kPairs[static_cast<size_t>(state.range(0))];
    VincentyResult out;
    for (auto _ : state) {
        GeoMath::VincentyInverse(out, p.lat1, p.lon1, p.lat2, p.lon2);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_VincentyInverse)->DenseRange(0, 3);

void BM_LLAToSimXYZ(benchmark::State& state)
{
    XYZData out;
    double lat = 47.260219;
    for (auto _ : state) {
        GeoMath::LLAToSimXYZ(lat, 11.343964, 1906.0, out);
        benchmark::DoNotOptimize(out);
        lat += 1e-9;  // a new point each time, as the objects of a frame are
    }
}
BENCHMARK(BM_LLAToSimXYZ);

// The animation state word: a few narrow fields rewritten per tick, some values clamped.
void BM_BitField64SetBits(benchmark::State& state)
{
    BitField64 word;
    uint64_t value = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(word.SetBits(0, 3, value));
        benchmark::DoNotOptimize(word.SetBits(4, 11, value * 7));
        benchmark::DoNotOptimize(word.SetBits(32, 63, value << 20));
        ++value;
    }
    state.SetItemsProcessed(state.iterations() * 3);
}
BENCHMARK(BM_BitField64SetBits);

}  // namespace
