// One INI value read: the configuration readers call it per key; the parsed file is kept, so a read after
// the first costs one file-status check. Single-threaded benchmark.
#include "platform/profile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// A small machine root with C:\ProgramData\Bench\settings.ini, removed at the end.
class TempMachine {
public:
    TempMachine()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velk-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        root_ = pattern;
        setenv("VELK_MACHINE_ROOT", root_.c_str(), 1);
        const auto folder = root_ / "c" / "ProgramData" / "Bench";
        std::filesystem::create_directories(folder);
        std::ofstream ini(folder / "settings.ini", std::ios::binary);
        ini << "[General]\r\nName=Orvane\r\nLogLevel=2\r\nSound=1\r\n";
        ini << "[Sound]\r\nVolume=80\r\nRadio=\"on\"\r\n";
        for (int i = 0; i < 12; ++i) ini << "[Stand" << i << "]\r\nGate=A" << i << "\r\nType=1\r\n";
        ini << "[Jetways]\r\nCount=4\r\nPeriod=40\r\nKeyframes=100\r\n";
    }
    ~TempMachine()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

private:
    std::filesystem::path root_;
};

const char* const kPath = "C:\\ProgramData\\Bench\\settings.ini";

void BM_GetPrivateProfileString(benchmark::State& state)
{
    TempMachine machine;
    char value[256];
    // A key of the first section, and of the last one (the whole file is parsed either way).
    const bool last = state.range(0) != 0;
    const char* section = last ? "Jetways" : "General";
    const char* key = last ? "Keyframes" : "Name";
    for (auto _ : state)
        benchmark::DoNotOptimize(GetPrivateProfileStringA(section, key, "none", value, sizeof value, kPath));
}
BENCHMARK(BM_GetPrivateProfileString)->Arg(0)->Arg(1);

void BM_GetPrivateProfileInt(benchmark::State& state)
{
    TempMachine machine;
    for (auto _ : state) benchmark::DoNotOptimize(GetPrivateProfileIntA("Jetways", "Period", 0, kPath));
}
BENCHMARK(BM_GetPrivateProfileInt);

// The parser alone, without the file read.
void BM_ProfileStringFromText(benchmark::State& state)
{
    const std::string text = "[General]\r\nName=Orvane\r\nLogLevel=2\r\n[Sound]\r\nVolume=80\r\nRadio=\"on\"\r\n";
    char value[256];
    for (auto _ : state)
        benchmark::DoNotOptimize(
            platform::ProfileStringFromText(text, "Sound", "Radio", "", value, static_cast<DWORD>(sizeof value)));
}
BENCHMARK(BM_ProfileStringFromText);

}  // namespace
