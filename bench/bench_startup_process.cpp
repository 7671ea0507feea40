// The start-up as a user measures it: the CPU time of the whole orvane process, started with no simulator
// so that it ends right after its initialisation, on the 100,000-object synthetic world (every title of
// which has its SimObjects entry and model), less its CPU time on the sample machine; against the CPU time
// of a program that only parses the same placement files (parse_only_xml), less its time on the sample
// machine's files. Black box: both are separate processes, run in turn, seven rounds, on one processor;
// the ratio is taken round by round, the table shows medians.
#include "bench/GoalReport.h"
#include "bench/SyntheticWorld.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRounds = 7;
constexpr double kRatioGoal = 1.3;
const char* const kOrvane = VELK_ORVANE;
const char* const kParseOnly = VELK_PARSE_ONLY;
const fs::path kSampleMachine = VELK_SAMPLE_MACHINE;

struct Run {
    double cpuSeconds = 0.0;  // user and system time of the process
    long peakRssKb = 0;
    bool ok = false;
};

// Runs the program with these arguments and VELK_MACHINE_ROOT set to root, its output thrown away.
Run RunProcess(const std::vector<std::string>& args, const fs::path& root)
{
    Run run;
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0) return run;
    if (child == 0) {
        setenv("VELK_MACHINE_ROOT", root.c_str(), 1);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return run;
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    run.peakRssKb = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

fs::path LogFile(const fs::path& root) { return root / "c/ProgramData/Quorvath/VELK/log/VELK.log"; }
fs::path XmlFolder(const fs::path& root) { return root / "c/ProgramData/Quorvath/VELK/xml"; }

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// orvane's run must have read the world through to the end of its initialisation and found every model.
bool CheckLog(const fs::path& root, const char* which)
{
    const std::string log = ReadText(LogFile(root));
    if (log.find("### All Initialization Done! ###") == std::string::npos) {
        std::fprintf(stderr, "bench_startup_process: orvane on the %s did not finish its initialisation\n", which);
        return false;
    }
    if (log.find("does NOT exist") != std::string::npos) {
        std::fprintf(stderr, "bench_startup_process: orvane on the %s missed a model\n", which);
        return false;
    }
    return true;
}

}  // namespace

int main()
{
    const double benchStart = bench::WallSeconds();
    if (!bench::PinToCurrentCpu()) std::printf("(could not keep the rounds on one processor)\n");
    bench::TempWorldRoot sampleRoot;
    fs::copy(kSampleMachine, sampleRoot.Root(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    bench::TempWorldRoot worldRoot;
    const bench::SyntheticWorld world = bench::WriteSyntheticWorld(worldRoot.Root());
    std::printf("Synthetic world: %d placed objects in %zu files, %.1f MB; the sample machine beside it\n",
                world.objects, world.placementFiles.size(), static_cast<double>(world.bytes) / 1e6);

    const std::vector<std::string> orvane = {kOrvane, "P3Dv4"};
    std::vector<double> orvaneWorld, orvaneSample, parseWorld, parseSample, ratios, peakMb;
    for (int round = 0; round < kRounds; ++round) {
        const Run ow = RunProcess(orvane, worldRoot.Root());
        const Run pw = RunProcess({kParseOnly, XmlFolder(worldRoot.Root()).string()}, worldRoot.Root());
        const Run os = RunProcess(orvane, sampleRoot.Root());
        const Run ps = RunProcess({kParseOnly, XmlFolder(sampleRoot.Root()).string()}, sampleRoot.Root());
        if (!ow.ok || !pw.ok || !os.ok || !ps.ok) {
            std::fprintf(stderr, "bench_startup_process: a run failed (orvane %d/%d, parse %d/%d)\n", ow.ok, os.ok,
                         pw.ok, ps.ok);
            return 1;
        }
        if (round == 0 && (!CheckLog(worldRoot.Root(), "world") || !CheckLog(sampleRoot.Root(), "sample machine")))
            return 1;
        orvaneWorld.push_back(ow.cpuSeconds);
        orvaneSample.push_back(os.cpuSeconds);
        parseWorld.push_back(pw.cpuSeconds);
        parseSample.push_back(ps.cpuSeconds);
        ratios.push_back((ow.cpuSeconds - os.cpuSeconds) / (pw.cpuSeconds - ps.cpuSeconds));
        peakMb.push_back(static_cast<double>(ow.peakRssKb) / 1024.0);
        std::printf("  round %d: orvane %.0f ms (sample %.0f ms), parse only %.0f ms (sample %.1f ms): %.2f x\n",
                    round + 1, ow.cpuSeconds * 1e3, os.cpuSeconds * 1e3, pw.cpuSeconds * 1e3, ps.cpuSeconds * 1e3,
                    ratios.back());
    }

    bench::GoalTable table("Whole orvane start-up on " + std::to_string(world.objects) +
                           " placed objects, no simulator, as processes (CPU time, medians of " +
                           std::to_string(kRounds) + " rounds; the ratio round by round)");
    table.Info("orvane on the world", bench::Median(orvaneWorld) * 1e3, "ms", 1);
    table.Info("orvane on the sample machine", bench::Median(orvaneSample) * 1e3, "ms", 1);
    table.Info("parse only, the world's files", bench::Median(parseWorld) * 1e3, "ms", 1);
    table.Info("parse only, the sample machine's files", bench::Median(parseSample) * 1e3, "ms", 1);
    table.AtMost("orvane (world - sample) / parse only (world - sample)", bench::Median(ratios), kRatioGoal, "x");
    table.Info("orvane peak resident memory on the world", bench::Median(peakMb), "MB", 1);
    table.Print();
    std::printf("bench_startup_process: %d of 1 goals met; ran %.1f s\n", 1 - table.NotMet(),
                bench::WallSeconds() - benchStart);
    return 0;
}
