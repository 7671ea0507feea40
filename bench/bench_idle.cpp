// Idle, as a user measures it: the whole orvane process on the sample machine beside an idle
// `simhost --realtime` (no scenario: the simulator runs its clock and sends its frames and timer events,
// nothing else happens), its CPU time over wall time once it has settled in its dispatch loop. Beside it
// the parts of that figure: the loop as orvane runs it (dispatch, then sleep 1 ms) in a program of its
// own, over the machine's socket with the simulator serving in this process and in process; the
// dispatches' share (the cost of one that finds nothing times the loop's dispatches per second); and what
// sleeping 1 ms at a time takes alone, which no dispatch changes.
#include "bench/GoalReport.h"

#include "platform/simconnect/SimConnect.h"
#include "simulator/Simulator.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kIdleSeconds = 3.0;  // each way
constexpr int kEmptyDispatches = 200000;
constexpr double kIdleGoalPercent = 0.5;
constexpr double kSettleSeconds = 3.0;     // after orvane enters its dispatch loop
constexpr double kProcessSeconds = 6.0;    // the whole process measured this long
const char* const kOrvane = VELK_ORVANE;
const char* const kSimhost = VELK_SIMHOST;
const std::filesystem::path kSampleMachine = VELK_SAMPLE_MACHINE;

void Ignore(SIMCONNECT_RECV*, DWORD, void*) {}

// A machine root of its own for the socket, removed at the end.
class TempRoot {
public:
    TempRoot()
    {
        std::string pattern = "/tmp/velk-bench-idle-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) root_ = pattern;
        setenv("VELK_MACHINE_ROOT", root_.c_str(), 1);
    }
    ~TempRoot()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    const std::filesystem::path& Root() const { return root_; }

private:
    std::filesystem::path root_;
};

std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts a program with its output into outputFile; the process id, or -1.
pid_t Start(const std::vector<std::string>& args, const std::filesystem::path& outputFile)
{
    std::fflush(stdout);
    const pid_t child = fork();
    if (child != 0) return child;
    const int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
    }
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

// Waits up to seconds for the text to appear in the file; false when it does not or the process ended.
bool WaitFor(const std::filesystem::path& file, const std::string& text, pid_t process, double seconds)
{
    const double start = bench::WallSeconds();
    while (bench::WallSeconds() - start < seconds) {
        if (ReadText(file).find(text) != std::string::npos) return true;
        if (waitpid(process, nullptr, WNOHANG) == process) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// CPU time of every thread of a process so far, in seconds, from the scheduler's own count.
double ProcessCpuSeconds(pid_t process)
{
    double seconds = 0.0;
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(process) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream in(task.path() / "schedstat");
        unsigned long long ns = 0;
        if (in >> ns) seconds += static_cast<double>(ns) * 1e-9;
    }
    return seconds;
}

// Ends a process we started: asked first, then told.
void Stop(pid_t process, int signal)
{
    if (process <= 0) return;
    kill(process, signal);
    const double start = bench::WallSeconds();
    while (bench::WallSeconds() - start < 10.0) {
        if (waitpid(process, nullptr, WNOHANG) == process) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(process, SIGKILL);
    waitpid(process, nullptr, 0);
}

struct ProcessFigures {
    double orvanePercent = 0;
    double simhostPercent = 0;
};

// orvane on the sample machine beside an idle simhost --realtime; false when it could not be brought up.
bool MeasureWholeProcess(const std::filesystem::path& root, ProcessFigures& figures)
{
    std::filesystem::copy(kSampleMachine, root,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    const std::filesystem::path simOutput = root / "simhost-output.txt";
    const pid_t sim = Start({kSimhost, "--realtime", "--quiet", "--platform", "P3Dv4", "--machine-root", root.string()},
                            simOutput);
    if (sim < 0 || !WaitFor(simOutput, "listening at", sim, 10.0)) {
        std::fprintf(stderr, "bench_idle: simhost did not start listening\n");
        Stop(sim, SIGTERM);
        return false;
    }
    const pid_t orvane = Start({kOrvane, "P3Dv4"}, root / "orvane-output.txt");
    const std::filesystem::path log = root / "c/ProgramData/Quorvath/VELK/log/VELK.log";
    const bool looping = orvane > 0 && WaitFor(log, "Entering FS Dispatch Loop.", orvane, 30.0);
    if (looping) {
        std::this_thread::sleep_for(std::chrono::duration<double>(kSettleSeconds));
        const double wall0 = bench::WallSeconds();
        const double orvane0 = ProcessCpuSeconds(orvane);
        const double sim0 = ProcessCpuSeconds(sim);
        std::this_thread::sleep_for(std::chrono::duration<double>(kProcessSeconds));
        const double orvane1 = ProcessCpuSeconds(orvane);
        const double sim1 = ProcessCpuSeconds(sim);
        const double wall = bench::WallSeconds() - wall0;
        figures.orvanePercent = 100.0 * (orvane1 - orvane0) / wall;
        figures.simhostPercent = 100.0 * (sim1 - sim0) / wall;
    } else {
        std::fprintf(stderr, "bench_idle: orvane did not reach its dispatch loop\n");
    }
    // simhost sends its quit message as it ends; orvane then leaves its loop.
    Stop(sim, SIGINT);
    Stop(orvane, SIGTERM);
    return looping;
}

// The share of a core a loop that only sleeps 1 ms at a time takes: what the loop costs without the
// dispatch.
double SleepOnlyPercent()
{
    const double wall0 = bench::WallSeconds();
    const double cpu0 = bench::CpuSeconds();
    while (bench::WallSeconds() - wall0 < kIdleSeconds) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 100.0 * (bench::CpuSeconds() - cpu0) / (bench::WallSeconds() - wall0);
}

struct IdleFigures {
    double corePercent = 0;      // CPU time of the process over wall time, while the loop runs
    double callsPerSecond = 0;   // dispatches of the loop
    double dispatchNs = 0;       // CPU time of one dispatch that finds nothing
    // The share of a core the loop's dispatches take: as many per second as the loop makes, at that cost.
    double DispatchPercent() const { return 100.0 * callsPerSecond * dispatchNs * 1e-9; }
};

// Connects, takes the first messages, then measures; false when no connection could be made.
bool MeasureIdle(const char* name, IdleFigures& figures)
{
    HANDLE h = nullptr;
    if (SimConnect_Open(&h, name, nullptr, 0, nullptr, 0) != S_OK) return false;
    SimConnect_SubscribeToSystemEvent(h, 1, "Frame");
    for (int i = 0; i < 10; ++i) {
        SimConnect_CallDispatch(h, Ignore, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    const double wall0 = bench::WallSeconds();
    const double cpu0 = bench::CpuSeconds();
    int calls = 0;
    while (bench::WallSeconds() - wall0 < kIdleSeconds) {
        SimConnect_CallDispatch(h, Ignore, nullptr);
        ++calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double wall = bench::WallSeconds() - wall0;
    figures.corePercent = 100.0 * (bench::CpuSeconds() - cpu0) / wall;
    figures.callsPerSecond = calls / wall;

    const double cpu1 = bench::CpuSeconds();
    for (int i = 0; i < kEmptyDispatches; ++i) SimConnect_CallDispatch(h, Ignore, nullptr);
    figures.dispatchNs = 1e9 * (bench::CpuSeconds() - cpu1) / kEmptyDispatches;
    SimConnect_Close(h);
    return true;
}

}  // namespace

int main()
{
    ProcessFigures whole;
    {
        TempRoot processRoot;
        if (!MeasureWholeProcess(processRoot.Root(), whole)) return 1;
    }
    TempRoot root;
    IdleFigures socket, inProcess;
    {
        simulator::Simulator sim;
        sim.SetTimelineKept(false);
        std::string error;
        if (!sim.Listen(&error)) {
            std::fprintf(stderr, "bench_idle: %s\n", error.c_str());
            return 1;
        }
        if (!MeasureIdle("Orvane idle", socket)) {
            std::fprintf(stderr, "bench_idle: no connection over the socket\n");
            return 1;
        }
    }
    {
        simulator::Simulator sim;
        sim.SetTimelineKept(false);
        sim.ServeInProcess();
        if (!MeasureIdle("Orvane idle", inProcess)) {
            std::fprintf(stderr, "bench_idle: no connection in process\n");
            return 1;
        }
    }

    const double sleepOnly = SleepOnlyPercent();

    bench::GoalTable table("Idle: orvane beside an idle simhost --realtime (" +
                           std::to_string(static_cast<int>(kProcessSeconds)) +
                           " s), and its loop (dispatch, then sleep 1 ms) alone (" +
                           std::to_string(static_cast<int>(kIdleSeconds)) + " s each)");
    table.AtMost("the whole orvane process, share of a core", whole.orvanePercent, kIdleGoalPercent, "%", 3);
    table.Info("  simhost beside it, share of a core", whole.simhostPercent, "%", 2);
    table.Info("over the socket: the dispatches, share of a core", socket.DispatchPercent(), "%", 3);
    table.Info("  one empty dispatch, both sides", socket.dispatchNs, "ns", 0);
    table.Info("  dispatches per second", socket.callsPerSecond, "", 0);
    table.Info("  the whole loop, both sides, share of a core", socket.corePercent, "%", 2);
    table.Info("  sleeping 1 ms alone, share of a core", sleepOnly, "%", 2);
    table.Info("in process: the dispatches, share of a core", inProcess.DispatchPercent(), "%", 3);
    table.Info("  one empty dispatch", inProcess.dispatchNs, "ns", 0);
    table.Info("  the whole loop, share of a core", inProcess.corePercent, "%", 2);
    table.Print();
    std::printf("The run phase's loop (a dispatch, then Sleep 1 ms, for as long as the program runs) sets the "
                "whole process's figure: it wakes about %.0f times a second whatever the dispatches cost; "
                "sleeping 1 ms alone takes %.2f %% of a core here, the dispatches %.3f %%.\n",
                socket.callsPerSecond, sleepOnly, socket.DispatchPercent());
    std::printf("bench_idle: %d of 1 goals met\n", 1 - table.NotMet());
    return 0;
}
