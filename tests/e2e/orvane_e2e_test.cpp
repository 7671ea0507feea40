// orvane and simhost as separate processes in a fresh machine root: the command line, the single
// instance, a run without simulator, a whole run beside the simulator, and the watchdog.
//
// Nothing here waits for a time: each step waits for a process to end or for a line of the simulator's
// timeline to arrive on its standard output.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kOrvane = VELK_ORVANE;
const std::string kSimhost = VELK_SIMHOST;
const std::string kFixtures = VELK_E2E_FIXTURES;

class MachineRoot {
public:
    MachineRoot()
    {
        // Short: the simulator's socket lives in it.
        char pattern[] = "/tmp/velk-e2e-XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made ? made : "";
        fs::create_directories(DataFolder());
    }
    ~MachineRoot()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    MachineRoot(const MachineRoot&) = delete;
    MachineRoot& operator=(const MachineRoot&) = delete;

    const std::string& Path() const { return path_; }
    fs::path DataFolder() const { return fs::path(path_) / "c/ProgramData/Quorvath/VELK"; }
    std::string Log() const
    {
        std::ifstream in(DataFolder() / "log/VELK.log", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::string path_;
};

// A child process with the machine root set, its standard output and error in pipes when asked.
class Process {
public:
    Process(const std::vector<std::string>& argv, const std::string& machineRoot, bool pipeOut, bool pipeErr)
    {
        int out[2] = {-1, -1}, err[2] = {-1, -1};
        if (pipeOut && pipe(out) != 0) return;
        if (pipeErr && pipe(err) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            setenv("VELK_MACHINE_ROOT", machineRoot.c_str(), 1);
            if (pipeOut) dup2(out[1], 1);
            if (pipeErr) dup2(err[1], 2);
            for (int fd : {out[0], out[1], err[0], err[1]})
                if (fd >= 0) close(fd);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        if (pipeOut) {
            close(out[1]);
            out_ = out[0];
        }
        if (pipeErr) {
            close(err[1]);
            err_ = err[0];
        }
    }
    ~Process()
    {
        if (pid_ > 0 && !waited_) {
            kill(pid_, SIGKILL);
            Wait();
        }
        if (out_ >= 0) close(out_);
        if (err_ >= 0) close(err_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int sig) { kill(pid_, sig); }

    // The exit code; -1 when the process did not end normally.
    int Wait()
    {
        if (waited_) return status_;
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        waited_ = true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return status_;
    }

    // Reads standard output until text has arrived (true) or the output ends (false).
    bool ReadUntil(const std::string& text)
    {
        while (output_.find(text, searched_) == std::string::npos) {
            if (!ReadMore(out_, output_)) return false;
        }
        searched_ = output_.find(text, searched_) + text.size();
        return true;
    }
    // Everything on standard output up to its end.
    const std::string& ReadAll()
    {
        while (ReadMore(out_, output_)) {
        }
        return output_;
    }
    std::string ReadAllErrors()
    {
        std::string text;
        while (ReadMore(err_, text)) {
        }
        return text;
    }

private:
    static bool ReadMore(int fd, std::string& into)
    {
        if (fd < 0) return false;
        char buffer[4096];
        ssize_t n;
        while ((n = read(fd, buffer, sizeof(buffer))) < 0 && errno == EINTR) {
        }
        if (n <= 0) return false;
        into.append(buffer, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    bool waited_ = false;
    int status_ = -1;
    std::string output_;
    size_t searched_ = 0;
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Each text on a later line than the one before.
::testing::AssertionResult InOrder(const std::string& text, const std::vector<std::string>& expected)
{
    const auto lines = Lines(text);
    size_t at = 0;
    for (const std::string& e : expected) {
        while (at < lines.size() && lines[at].find(e) == std::string::npos) ++at;
        if (at == lines.size()) return ::testing::AssertionFailure() << "missing in order: " << e << "\n" << text;
        ++at;
    }
    return ::testing::AssertionSuccess();
}

std::string LastLine(const std::string& text)
{
    const auto lines = Lines(text);
    return lines.empty() ? "" : lines.back();
}

// A simulator serving the machine root, ready once its socket listens.
std::unique_ptr<Process> StartSimhost(const MachineRoot& root, const std::vector<std::string>& options)
{
    std::vector<std::string> argv = {kSimhost};
    argv.insert(argv.end(), options.begin(), options.end());
    auto sim = std::make_unique<Process>(argv, root.Path(), true, false);
    EXPECT_TRUE(sim->Started());
    EXPECT_TRUE(sim->ReadUntil("listening at"));
    return sim;
}

TEST(OrvaneCommandLine, WrongArgumentsEndTheProgramBeforeAnythingIsBuilt)
{
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {{}, {"DEBUG  : CommandLineArgs [1]: NONE!", "FATAL  : No Target Simulator Platform supplied! Shuting down..."}},
        {{"P3Dv4", "extra"},
         {"DEBUG  : CommandLineArgs [3]: " + kOrvane + "; P3Dv4; extra; ",
          "FATAL  : No Target Simulator Platform supplied! Shuting down..."}},
        {{"fsx"}, {"FATAL  : Supplied Target Simulator Platform [fsx] is not supported! Shuting down..."}},
        {{"P3Dv6"}, {"FATAL  : Supplied Target Simulator Platform [P3Dv6] is not supported! Shuting down..."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "no argument" : c.args[0]);
        MachineRoot root;
        std::vector<std::string> argv = {kOrvane};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        Process orvane(argv, root.Path(), false, false);
        EXPECT_EQ(orvane.Wait(), 0);
        const std::string log = root.Log();
        std::vector<std::string> expected = {"INFO  : VELK Version '1.7.1'"};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_TRUE(InOrder(log, expected));
        EXPECT_NE(LastLine(log).find("INFO  : Terminate VELK."), std::string::npos) << log;
        // Nothing constructed, nothing read.
        EXPECT_EQ(log.find("VELK.SETTINGS"), std::string::npos) << log;
        EXPECT_EQ(log.find("Initializing"), std::string::npos) << log;
        EXPECT_EQ(log.find("Targetting Platform"), std::string::npos) << log;
    }
}

TEST(OrvaneRun, WithoutSimulatorTheConnectionFails)
{
    MachineRoot root;
    Process orvane({kOrvane, "P3Dv4"}, root.Path(), false, false);
    EXPECT_EQ(orvane.Wait(), 0);
    const std::string log = root.Log();
    EXPECT_TRUE(InOrder(log, {"INFO  : Targetting Platform [P3Dv4]", "DEBUG  : ### All Initialization Done! ###",
                              "DEBUG VELK.FSPROCESS : Trying to connect to FS...",
                              "FATAL VELK.FSPROCESS : Not able to connect to FS! Shuting down..."}));
    EXPECT_NE(LastLine(log).find("INFO  : Terminate VELK."), std::string::npos) << log;
    EXPECT_EQ(log.find("Entering FS Dispatch Loop."), std::string::npos);
}

TEST(OrvaneRun, BesideTheSimulatorFromConnectionToQuit)
{
    MachineRoot root;
    auto sim = StartSimhost(root, {"--scenario", kFixtures + "/short_run.xml", "--wait-client", "orvane"});
    Process orvane({kOrvane, "P3Dv4"}, root.Path(), false, false);
    const std::string timeline = sim->ReadAll();
    EXPECT_EQ(sim->Wait(), 0);
    EXPECT_EQ(orvane.Wait(), 0);

    EXPECT_TRUE(InOrder(timeline, {
                                      "client 'Orvane VELK' connected",
                                      "key 's' reserved for 'Orvane VELK'",
                                      "client data 'VELK.APIData.Out' created by 'Orvane VELK' (928 bytes)",
                                      "client data 'VELK.APIData.In' created by 'Orvane VELK' (928 bytes)",
                                      "client data 'VELK.APIData.MassResponse' created by 'Orvane VELK' (6156 bytes)",
                                      "client data 'VELK.APIData.MassResponse.VDGS' created by 'Orvane VELK'",
                                      "client data 'VELK.APIData.Lite' created by 'Orvane VELK' (36 bytes)",
                                      "add-on menu item 'VELK 1.7.1' added by 'Orvane VELK'",
                                      "simulation started",
                                      "add-on menu 'VELK 1.7.1' > 'Test DLL Connection!' chosen",
                                      "event 'VELK.JetwayAction.ConnectionCheck' data 0 from 'Orvane VELK'",
                                      "quit sent to every client",
                                      "add-on menu item 'VELK 1.7.1' removed by 'Orvane VELK'",
                                      "client 'Orvane VELK' disconnected",
                                  }));
    EXPECT_EQ(timeline.find("exception"), std::string::npos) << timeline;

    const std::string log = root.Log();
    EXPECT_TRUE(InOrder(log, {
                                 // simhost's main window is seen from orvane's process.
                                 "INFO VELK.SOUNDENGINE : SoundEngine initialized.",
                                 "DEBUG VELK.FSPROCESS : Trying to connect to FS...",
                                 "DEBUG VELK.FSPROCESS : Connected to FS!",
                                 "WARN VELK.FSLOOP : No SimObjects inside Lists! VELK runs in 'External Jetway "
                                 "Triggering Mode' only...",
                                 "DEBUG VELK.FSPROCESS : Entering FS Dispatch Loop.",
                                 "INFO VELK.FSLOOP : ### VELK connected to Simulator ###",
                                 "INFO VELK.FSLOOP : Successfull Registration of Reserved Key 's' -> 's'",
                                 "INFO VELK.FSLOOP : Top-Menu created.",
                                 "DEBUG VELK.FSLOOP : Initialize Data Requests!",
                                 "INFO VELK.FSLOOP : VELK disconnected from Simulator!",
                                 "DEBUG VELK.FSPROCESS : Cleaning up Memory...",
                                 "DEBUG VELK.FSPROCESS : Removing Top-Menu structure...",
                                 "DEBUG VELK.FSPROCESS : Closing Connection to FS.",
                                 "INFO  : Terminate VELK.",
                             }));
    EXPECT_NE(LastLine(log).find("INFO  : Terminate VELK."), std::string::npos) << log;
    // External mode: no frame, 1sec or 6Hz events were asked for; no simulator error came back.
    for (const char* absent : {"frame work", "1sec event", "6Hz event", "EXCEPTION", "Sim Process running"})
        EXPECT_EQ(log.find(absent), std::string::npos) << absent << "\n" << log;
}

TEST(OrvaneRun, SecondInstanceWarnsAndLeavesTheFirstAlone)
{
    MachineRoot root;
    auto sim = StartSimhost(root, {"--platform", "P3Dv4"});
    Process first({kOrvane, "P3Dv4"}, root.Path(), false, false);
    ASSERT_TRUE(sim->ReadUntil("client data 'VELK.APIData.Lite' created"));
    const std::string before = root.Log();
    ASSERT_NE(before.find("Connected to FS!"), std::string::npos);

    Process second({kOrvane, "fsx"}, root.Path(), false, true);
    const std::string errors = second.ReadAllErrors();
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_NE(errors.find("VELK Warning: Another VELK process is still running in the background.\nPlease kill the "
                          "process in Task-Manager and restart the sim!"),
              std::string::npos)
        << errors;
    const std::string after = root.Log();
    EXPECT_EQ(after.compare(0, before.size(), before), 0) << after;
    EXPECT_EQ(after.find("fsx"), std::string::npos) << after;

    sim->Signal(SIGTERM);
    sim->ReadAll();
    EXPECT_EQ(sim->Wait(), 128 + SIGTERM);
    EXPECT_EQ(first.Wait(), 0);
    EXPECT_TRUE(InOrder(root.Log(), {"VELK disconnected from Simulator!", "Terminate VELK."}));
}

// The watchdog watches the simulator's process, not the connection: orvane for FSX is connected to one
// simulator while another one, named as FSX names itself, is killed.
TEST(OrvaneRun, WatchdogEndsTheProgramWhenTheSimulatorProcessIsGone)
{
    MachineRoot root, otherRoot;
    auto served = StartSimhost(root, {"--platform", "P3Dv4"});
    auto watched = StartSimhost(otherRoot, {"--platform", "FSX"});
    Process orvane({kOrvane, "FSX"}, root.Path(), false, false);
    ASSERT_TRUE(served->ReadUntil("client data 'VELK.APIData.Lite' created"));

    watched->Signal(SIGKILL);
    watched->Wait();
    EXPECT_EQ(orvane.Wait(), 0);
    const std::string log = root.Log();
    EXPECT_TRUE(InOrder(log, {"DEBUG VELK.FSPROCESS : Entering FS Dispatch Loop.",
                              "FATAL VELK.WATCHDOG : Sim Process running test failed!",
                              "DEBUG VELK.FSPROCESS : Cleaning up Memory...",
                              "DEBUG VELK.FSPROCESS : Removing Top-Menu structure...",
                              "DEBUG VELK.FSPROCESS : Closing Connection to FS.", "INFO  : Terminate VELK."}));
    EXPECT_EQ(log.find("VELK disconnected from Simulator!"), std::string::npos) << log;

    served->Signal(SIGTERM);
    served->ReadAll();
    EXPECT_EQ(served->Wait(), 128 + SIGTERM);
}

}  // namespace
