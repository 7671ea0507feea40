// simhost as a process of its own, the way the program meets it: listed under the platform's simulator
// name, holding its clock until the awaited client has connected, in lock-step with that client in fast
// mode, and ending with the quit message and exit status 0. Nothing here sleeps: the test reads the
// child's output as it comes, with a generous limit that fails the test instead of hanging.
#include "SimTestSupport.h"

#include "platform/process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>

extern char** environ;

using namespace simtest;

namespace {

constexpr int kLimitMs = 60000;

// A child process whose standard output the test reads.
class Child {
public:
    ~Child()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0) close(fd_);
    }

    bool Start(const std::vector<std::string>& args)
    {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        fd_ = pipeFds[0];
        if (rc != 0) pid_ = -1;
        return rc == 0;
    }

    pid_t Pid() const { return pid_; }
    const std::string& Output() const { return output_; }

    // Reads until the output holds text (true) or the child closed it or the limit passed (false).
    bool ReadUntil(const std::string& text)
    {
        return Read([&] { return output_.find(text) != std::string::npos; }) == Outcome::Found;
    }

    // True when the child closed its output within the limit.
    bool ReadToEnd() { return Read([] { return false; }) == Outcome::End; }

private:
    enum class Outcome { Found, End, Late };

    template <typename Done>
    Outcome Read(Done done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLimitMs);
        while (!done()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return Outcome::Late;
            pollfd p{fd_, POLLIN, 0};
            const int n = poll(&p, 1, static_cast<int>(left.count()));
            if (n < 0 && errno == EINTR) continue;
            if (n == 0) return Outcome::Late;
            char buffer[4096];
            const ssize_t got = read(fd_, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return Outcome::End;
            output_.append(buffer, static_cast<size_t>(got));
        }
        return Outcome::Found;
    }

public:

    // Reads the rest of the output and returns the exit status; -1 (child killed) when the output does
    // not end within the limit.
    int Finish()
    {
        const bool ended = ReadToEnd();
        int status = 0;
        if (!ended) kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string output_;
};

std::string ProcessName(pid_t pid)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    std::string name;
    PROCESSENTRY32 entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == static_cast<DWORD>(pid)) name = entry.szExeFile;
    CloseHandle(snapshot);
    return name;
}

// Answers every frame with an event of its own carrying the frame's number, until the quit message.
struct Reactor {
    HANDLE h = nullptr;
    int frames = 0;
    bool quit = false;

    static void OnMessage(SIMCONNECT_RECV* m, DWORD, void* context)
    {
        auto* self = static_cast<Reactor*>(context);
        if (m->dwID == SIMCONNECT_RECV_ID_QUIT) self->quit = true;
        if (m->dwID != SIMCONNECT_RECV_ID_EVENT_FRAME) return;
        ++self->frames;
        SimConnect_TransmitClientEvent(self->h, SIMCONNECT_OBJECT_ID_USER, 2, static_cast<DWORD>(self->frames),
                                       SIMCONNECT_GROUP_PRIORITY_HIGHEST, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
    }

    void Run()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLimitMs);
        while (!quit && std::chrono::steady_clock::now() < deadline)
            if (FAILED(SimConnect_CallDispatch(h, OnMessage, this))) break;
    }
};

struct PlatformCase {
    const char* platform;
    const char* processName;
};

class SimhostProcessTest : public ::testing::TestWithParam<PlatformCase> {};

TEST_P(SimhostProcessTest, ListedAsTheSimulatorHeldForItsClientAndInLockStepWithIt)
{
    TempMachineRoot root;
    const std::string scenario = root.Path() + "/probe.xml";
    std::ofstream(scenario) << "<Scenario platform=\"" << GetParam().platform
                            << "\" frameRate=\"20\" duration=\"1\" waitClient=\"probe\" waitTimeout=\"60\">"
                               "<Sim time=\"0\" action=\"start\"/></Scenario>";
    Child simhost;
    ASSERT_TRUE(simhost.Start({SIMHOST_PATH, "--scenario", scenario, "--machine-root", root.Path()}));
    ASSERT_TRUE(simhost.ReadUntil("waiting for a client")) << simhost.Output();

    EXPECT_EQ(ProcessName(simhost.Pid()), GetParam().processName);

    // The clock stays at 0 until the client has connected and set itself up.
    Reactor client;
    ASSERT_EQ(SimConnect_Open(&client.h, "Lock-step Probe", nullptr, 0, nullptr, 0), S_OK);
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(client.h, 1, "Frame"), S_OK);
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(client.h, 2, "Probe.Reaction"), S_OK);
    client.Run();
    EXPECT_TRUE(client.quit);
    SimConnect_Close(client.h);

    EXPECT_EQ(simhost.Finish(), 0) << simhost.Output();
    const std::string& out = simhost.Output();
    EXPECT_NE(out.find("simulation started"), std::string::npos);
    EXPECT_NE(out.find("quit sent to every client"), std::string::npos);

    // Every frame's reaction is in the timeline at that frame's time: 20 frames of 50 ms.
    EXPECT_EQ(client.frames, 20);
    const std::regex reaction(R"(\[\s*(\d+)\.(\d+)\] event 'Probe.Reaction' data (\d+) from)");
    int seen = 0;
    for (std::sregex_iterator it(out.begin(), out.end(), reaction), end; it != end; ++it) {
        const int ms = std::stoi((*it)[1]) * 1000 + std::stoi((*it)[2]);
        const int frame = std::stoi((*it)[3]);
        EXPECT_EQ(ms, frame * 50) << it->str();
        ++seen;
    }
    EXPECT_EQ(seen, 20);
}

INSTANTIATE_TEST_SUITE_P(Platforms, SimhostProcessTest,
                         ::testing::Values(PlatformCase{"P3Dv4", "Prepar3D.exe"}, PlatformCase{"P3Dv5", "Prepar3D.exe"},
                                           PlatformCase{"FSX", "fsx.exe"}, PlatformCase{"FSX-SE", "fsx.exe"}),
                         [](const auto& info) {
                             std::string name = info.param.platform;
                             std::erase(name, '-');
                             return name;
                         });

// A client that connects and never dispatches holds the fast mode no longer than it stays silent: the
// working client beside it is still served in lock-step, every frame, and the day ends in real seconds
// (waiting for the silent one at every frame would take 1 s per frame, 400 s here).
TEST(SimhostProcessTest, ASilentClientBesideAWorkingOneStopsHoldingTheClock)
{
    TempMachineRoot root;
    const std::string scenario = root.Path() + "/silent.xml";
    std::ofstream(scenario) << "<Scenario platform=\"P3Dv4\" frameRate=\"20\" duration=\"20\" waitClient=\"probe\" "
                               "waitTimeout=\"60\"><Sim time=\"0\" action=\"start\"/></Scenario>";
    Child simhost;
    ASSERT_TRUE(simhost.Start({SIMHOST_PATH, "--scenario", scenario, "--machine-root", root.Path(), "--fast"}));
    ASSERT_TRUE(simhost.ReadUntil("waiting for a client")) << simhost.Output();
    const auto started = std::chrono::steady_clock::now();

    HANDLE silent = nullptr;
    ASSERT_EQ(SimConnect_Open(&silent, "Silent client", nullptr, 0, nullptr, 0), S_OK);
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(silent, 1, "Frame"), S_OK);
    Reactor client;
    ASSERT_EQ(SimConnect_Open(&client.h, "Lock-step Probe", nullptr, 0, nullptr, 0), S_OK);
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(client.h, 1, "Frame"), S_OK);
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(client.h, 2, "Probe.Reaction"), S_OK);
    client.Run();
    EXPECT_TRUE(client.quit);
    SimConnect_Close(client.h);
    EXPECT_EQ(simhost.Finish(), 0) << simhost.Output();
    SimConnect_Close(silent);
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LT(seconds, 20) << "the silent client is waited for no longer than "
                           << simulator::Simulator::kSilentClientMs << " ms";

    EXPECT_EQ(client.frames, 400);
    const std::string& out = simhost.Output();
    const std::regex reaction(R"(\[\s*(\d+)\.(\d+)\] event 'Probe.Reaction' data (\d+) from)");
    int seen = 0;
    for (std::sregex_iterator it(out.begin(), out.end(), reaction), end; it != end; ++it) {
        const int ms = std::stoi((*it)[1]) * 1000 + std::stoi((*it)[2]);
        ASSERT_EQ(ms, std::stoi((*it)[3]) * 50) << it->str();
        ++seen;
    }
    EXPECT_EQ(seen, 400);
}

// Every reaction of an event in the output, as (ms, frame number) in order.
std::vector<std::pair<int, int>> Reactions(const std::string& out, const std::string& event)
{
    const std::regex reaction(R"(\[\s*(\d+)\.(\d+)\] event ')" + event + R"(' data (\d+) from)");
    std::vector<std::pair<int, int>> seen;
    for (std::sregex_iterator it(out.begin(), out.end(), reaction), end; it != end; ++it)
        seen.emplace_back(std::stoi((*it)[1]) * 1000 + std::stoi((*it)[2]), std::stoi((*it)[3]));
    return seen;
}

// Frame times of the reactions from `first` on, frames of 50 ms starting after `fromMs`.
std::vector<std::pair<int, int>> Expected(int fromMs, int count)
{
    std::vector<std::pair<int, int>> expected;
    for (int frame = 1; frame <= count; ++frame) expected.emplace_back(fromMs + frame * 50, frame);
    return expected;
}

TEST(SimhostProcessTest, AHoldOfTheScenarioStopsTheClockUntilItsClientComesServingTheOthersMeanwhile)
{
    TempMachineRoot root;
    const std::string scenario = root.Path() + "/hold.xml";
    std::ofstream(scenario) << "<Scenario frameRate=\"20\" duration=\"1\" waitClient=\"early\" waitTimeout=\"60\">"
                               "<Sim time=\"0\" action=\"start\"/>"
                               "<WaitClient time=\"0.5\" name=\"LATE\" timeout=\"60\"/></Scenario>";
    Child simhost;
    ASSERT_TRUE(simhost.Start({SIMHOST_PATH, "--scenario", scenario, "--machine-root", root.Path()}));
    ASSERT_TRUE(simhost.ReadUntil("waiting for a client named like 'early'")) << simhost.Output();

    Reactor early;
    ASSERT_EQ(SimConnect_Open(&early.h, "Early Probe", nullptr, 0, nullptr, 0), S_OK);
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(early.h, 1, "Frame"), S_OK);
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(early.h, 2, "Early.Reaction"), S_OK);
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(early.h, 3, "Early.WhileHeld"), S_OK);
    // In lock-step up to the hold at 0.5 s: ten frames.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLimitMs);
    while (early.frames < 10 && std::chrono::steady_clock::now() < deadline)
        ASSERT_EQ(SimConnect_CallDispatch(early.h, Reactor::OnMessage, &early), S_OK);
    ASSERT_EQ(early.frames, 10);
    ASSERT_TRUE(simhost.ReadUntil("[    0.500] waiting for a client named like 'LATE'")) << simhost.Output();

    // Held, the simulator still takes what the early client sends.
    ASSERT_EQ(SimConnect_TransmitClientEvent(early.h, SIMCONNECT_OBJECT_ID_USER, 3, 7, SIMCONNECT_GROUP_PRIORITY_HIGHEST,
                                             SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY),
              S_OK);
    ASSERT_TRUE(simhost.ReadUntil("[    0.500] event 'Early.WhileHeld' data 7 from 'Early Probe'")) << simhost.Output();

    // The late client's name holds the hold's name in another case.
    Reactor late;
    ASSERT_EQ(SimConnect_Open(&late.h, "The late probe", nullptr, 0, nullptr, 0), S_OK);
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(late.h, 1, "Frame"), S_OK);
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(late.h, 2, "Late.Reaction"), S_OK);
    while ((!early.quit || !late.quit) && std::chrono::steady_clock::now() < deadline) {
        if (!early.quit) {
            ASSERT_EQ(SimConnect_CallDispatch(early.h, Reactor::OnMessage, &early), S_OK);
        }
        if (!late.quit) {
            ASSERT_EQ(SimConnect_CallDispatch(late.h, Reactor::OnMessage, &late), S_OK);
        }
    }
    EXPECT_TRUE(early.quit && late.quit);
    SimConnect_Close(early.h);
    SimConnect_Close(late.h);

    EXPECT_EQ(simhost.Finish(), 0) << simhost.Output();
    const std::string& out = simhost.Output();
    EXPECT_NE(out.find("[    0.500] a client named like 'LATE' is there: the clock goes on"), std::string::npos) << out;
    // No frame passed while held: the early client's frames keep their times, the late one's start at 0.5 s.
    EXPECT_EQ(Reactions(out, "Early.Reaction"), Expected(0, 20));
    EXPECT_EQ(Reactions(out, "Late.Reaction"), Expected(500, 10));
}

TEST(SimhostProcessTest, AHoldWhoseClientNeverComesLetsTheDayGoOnAfterItsTimeout)
{
    TempMachineRoot root;
    const std::string scenario = root.Path() + "/hold.xml";
    std::ofstream(scenario) << "<Scenario frameRate=\"20\" duration=\"1\">"
                               "<WaitClient time=\"0.5\" name=\"nobody\" timeout=\"0.05\"/>"
                               "<Sim time=\"0.5\" action=\"start\"/><Sim time=\"0.9\" action=\"pause\"/></Scenario>";
    Child simhost;
    ASSERT_TRUE(simhost.Start({SIMHOST_PATH, "--scenario", scenario, "--machine-root", root.Path()}));
    EXPECT_EQ(simhost.Finish(), 0) << simhost.Output();
    const std::string& out = simhost.Output();
    const size_t waiting = out.find("[    0.500] waiting for a client named like 'nobody'");
    const size_t gaveUp = out.find("[    0.500] no client named like 'nobody' came within 0.05 s: the clock goes on without it");
    const size_t started = out.find("[    0.500] simulation started");
    ASSERT_NE(waiting, std::string::npos) << out;
    ASSERT_NE(gaveUp, std::string::npos) << out;
    ASSERT_NE(started, std::string::npos) << out;
    // The steps of the hold's time come after it.
    EXPECT_LT(waiting, gaveUp);
    EXPECT_LT(gaveUp, started);
    EXPECT_NE(out.find("[    0.900] paused"), std::string::npos) << out;

    // Told not to wait for clients, simhost never holds.
    Child unheld;
    ASSERT_TRUE(unheld.Start({SIMHOST_PATH, "--scenario", scenario, "--machine-root", root.Path(), "--no-wait-client"}));
    EXPECT_EQ(unheld.Finish(), 0) << unheld.Output();
    EXPECT_EQ(unheld.Output().find("waiting for a client"), std::string::npos) << unheld.Output();
    EXPECT_NE(unheld.Output().find("[    0.900] paused"), std::string::npos) << unheld.Output();
}

TEST(SimhostProcessTest, AClientThatNeverComesEndsTheRunWithAnError)
{
    TempMachineRoot root;
    Child simhost;
    ASSERT_TRUE(simhost.Start({SIMHOST_PATH, "--machine-root", root.Path(), "--duration", "1", "--wait-client",
                               "nobody", "--wait-timeout", "0.05"}));
    EXPECT_EQ(simhost.Finish(), 1) << simhost.Output();
}

TEST(SimhostProcessTest, BadCommandLinesAreRefused)
{
    TempMachineRoot root;
    const std::vector<std::string> cases[] = {
        {"--platform", "XP"},
        {"--duration", "soon"},
        {"--wait-timeout", "-1"},
        {"--bogus"},
        {"--scenario"},
    };
    for (const auto& args : cases) {
        std::vector<std::string> command{SIMHOST_PATH, "--machine-root", root.Path()};
        command.insert(command.end(), args.begin(), args.end());
        Child simhost;
        ASSERT_TRUE(simhost.Start(command));
        EXPECT_EQ(simhost.Finish(), 2) << args[0];
    }
    Child help;
    ASSERT_TRUE(help.Start({SIMHOST_PATH, "--help"}));
    EXPECT_EQ(help.Finish(), 0);
    for (const char* option : {"--scenario", "--module", "--machine-root", "--platform", "--duration", "--realtime",
                               "--fast", "--wait-client", "--wait-timeout", "--no-wait-client", "--quiet", "--help",
                               "simconnect.sock", "FS98MAIN", "lock-step", "<JetwayJob", "<WaitClient"})
        EXPECT_NE(help.Output().find(option), std::string::npos) << option;
}

}  // namespace
