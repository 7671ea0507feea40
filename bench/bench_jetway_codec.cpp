// The 5600-byte jetway record: encoded for every job and report, decoded by the module and the program.
#include "jetway/core/JetwayCodec.h"

#include <benchmark/benchmark.h>

namespace {

JetwayData SampleJob()
{
    JetwayData job;
    job.JetwayObjectId = 17;
    job.JetwayType = kJetwayTypeN;
    job.BridgeLengthRange = {10, 30};
    job.RootSweepRange = {-90, 90};
    job.TargetExtension = 18;
    job.JetwayLatitude = 47.26;
    job.JetwayLongitude = 11.34;
    for (size_t i = 0; i < JetwayData::kPartCount; ++i) {
        job.Parts[i].SetSimTitle("jetway part title of a typical length");
        job.Parts[i].SetOffset(0.5 * static_cast<double>(i), 1.5, -4);
    }
    return job;
}

void BM_EncodeJetwayData(benchmark::State& state)
{
    const JetwayData job = SampleJob();
    JetwayBytes out{};
    for (auto _ : state) {
        EncodeJetwayData(job, out.data());
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(jetway_wire::kRecordSize));
}
BENCHMARK(BM_EncodeJetwayData);

void BM_DecodeJetwayData(benchmark::State& state)
{
    const JetwayBytes bytes = EncodeJetwayData(SampleJob());
    JetwayData job;
    for (auto _ : state) {
        benchmark::DoNotOptimize(DecodeJetwayData(bytes.data(), bytes.size(), job));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(jetway_wire::kRecordSize));
}
BENCHMARK(BM_DecodeJetwayData);

// What the module does with every job before it moves anything.
void BM_DecodeAndCheckJob(benchmark::State& state)
{
    const JetwayBytes bytes = EncodeJetwayData(SampleJob());
    JetwayData job;
    for (auto _ : state) {
        DecodeJetwayData(bytes.data(), bytes.size(), job);
        benchmark::DoNotOptimize(CheckJob(job));
    }
}
BENCHMARK(BM_DecodeAndCheckJob);

}  // namespace
