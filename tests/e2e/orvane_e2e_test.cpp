// orvane and simhost as separate processes in a fresh machine root: the command line, the single
// instance, a run without simulator, a whole run beside the simulator, and the watchdog; what the tools
// say about a user's own files (a refused scenario, slips in a placement file); the example API client
// asked to dock a docked jetway.
//
// Nothing here waits for a time: each step waits for a process to end or for a line of the simulator's
// timeline to arrive on its standard output.
#include "examples/api_client/ApiClient.h"
#include "platform/simconnect/SimConnect.h"
#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <regex>
#include <thread>
#include <vector>

namespace api_wire {
// Found by the comparisons and messages of the tests below.
bool operator==(const MassEntry& a, const MassEntry& b)
{
    return a.category == b.category && a.number == b.number && a.jetways == b.jetways;
}
void PrintTo(const MassEntry& e, std::ostream* os) { *os << "{" << e.category << ", " << e.number << ", " << e.jetways << "}"; }
}  // namespace api_wire

namespace {

namespace fs = std::filesystem;

const std::string kOrvane = VELK_ORVANE;
const std::string kSimhost = VELK_SIMHOST;
const std::string kFixtures = VELK_E2E_FIXTURES;
const std::string kApiClient = VELK_API_CLIENT;
const std::string kBrannet = VELK_BRANNET;
const std::string kSampleMachine = VELK_SAMPLE_MACHINE;

// The root goes to the child processes only; this process keeps its own VELK_MACHINE_ROOT.
class MachineRoot : public testsupport::TempMachineRoot {
public:
    // Short: the simulator's socket lives in it.
    MachineRoot() : TempMachineRoot(Options{.label = "e2e", .shortPath = true, .exportRoot = false, .driveC = false})
    {
        fs::create_directories(DataFolder());
    }

    fs::path DataFolder() const { return Root() / "c/ProgramData/Quorvath/VELK"; }
    std::string Log() const
    {
        std::ifstream in(DataFolder() / "log/VELK.log", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

// A child process with the machine root set, its standard output and error in pipes when asked.
class Process {
public:
    // outFile: standard output goes to that file instead (a pipe nobody reads would stop the child).
    Process(const std::vector<std::string>& argv, const std::string& machineRoot, bool pipeOut, bool pipeErr,
            const std::string& outFile = "")
    {
        int out[2] = {-1, -1}, err[2] = {-1, -1};
        if (pipeOut && pipe(out) != 0) return;
        if (pipeErr && pipe(err) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            setenv("VELK_MACHINE_ROOT", machineRoot.c_str(), 1);
            if (pipeOut) dup2(out[1], 1);
            if (!outFile.empty()) {
                const int fd = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd >= 0) dup2(fd, 1);
            }
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
        std::string console;  // why, on standard error
    };
    const std::string noPlatform = "orvane: no simulator platform given: start it as 'orvane PLATFORM' with one of "
                                   "FSX, FSX-SE, FSX:SE, P3Dv2, P3Dv3, P3Dv4 or P3Dv5.";
    const Case cases[] = {
        {{}, {"DEBUG  : CommandLineArgs [1]: NONE!", "FATAL  : No Target Simulator Platform supplied! Shuting down..."},
         noPlatform},
        {{"P3Dv4", "extra"},
         {"DEBUG  : CommandLineArgs [3]: " + kOrvane + "; P3Dv4; extra; ",
          "FATAL  : No Target Simulator Platform supplied! Shuting down..."},
         noPlatform},
        {{"fsx"}, {"FATAL  : Supplied Target Simulator Platform [fsx] is not supported! Shuting down..."},
         "orvane: the simulator platform 'fsx' is not supported: use one of FSX, FSX-SE, FSX:SE, P3Dv2, P3Dv3, "
         "P3Dv4 or P3Dv5."},
        {{"P3Dv6"}, {"FATAL  : Supplied Target Simulator Platform [P3Dv6] is not supported! Shuting down..."},
         "orvane: the simulator platform 'P3Dv6' is not supported: use one of FSX, FSX-SE, FSX:SE, P3Dv2, P3Dv3, "
         "P3Dv4 or P3Dv5."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "no argument" : c.args[0]);
        MachineRoot root;
        std::vector<std::string> argv = {kOrvane};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        Process orvane(argv, root.Path(), false, true);
        const std::string errors = orvane.ReadAllErrors();
        EXPECT_EQ(orvane.Wait(), 0);
        EXPECT_EQ(errors, c.console + " The log is C:\\ProgramData\\Quorvath\\VELK\\log\\VELK.log (" +
                              (root.DataFolder() / "log/VELK.log").string() + ").\n");
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
    Process orvane({kOrvane, "P3Dv4"}, root.Path(), false, true);
    const std::string errors = orvane.ReadAllErrors();
    EXPECT_EQ(orvane.Wait(), 0);
    // One line says why on the console, and where to read more.
    EXPECT_EQ(errors, "orvane: no simulator to connect to: start the simulator first. The log is "
                      "C:\\ProgramData\\Quorvath\\VELK\\log\\VELK.log (" +
                          (root.DataFolder() / "log/VELK.log").string() + ").\n");
    const std::string log = root.Log();
    EXPECT_TRUE(InOrder(log, {"INFO  : Targetting Platform [P3Dv4]", "DEBUG  : ### All Initialization Done! ###",
                              "DEBUG VELK.FSPROCESS : Trying to connect to FS...",
                              "FATAL VELK.FSPROCESS : Not able to connect to FS! Shuting down..."}));
    EXPECT_NE(LastLine(log).find("INFO  : Terminate VELK."), std::string::npos) << log;
    EXPECT_EQ(log.find("Entering FS Dispatch Loop."), std::string::npos);
}

// The log folder's place is taken by a plain file, so the log cannot be opened: orvane says so once on
// standard error and runs its start-up to the end all the same.
TEST(OrvaneRun, ALogThatCannotBeOpenedIsReportedOnceOnStandardError)
{
    MachineRoot root;
    std::ofstream(root.DataFolder() / "log") << "not a folder";
    Process orvane({kOrvane, "P3Dv4"}, root.Path(), false, true);
    const std::string errors = orvane.ReadAllErrors();
    EXPECT_EQ(orvane.Wait(), 0);
    const std::string line = "orvane: cannot open the log file ";
    const size_t first = errors.find(line);
    ASSERT_NE(first, std::string::npos) << errors;
    EXPECT_EQ(errors.find(line, first + 1), std::string::npos) << errors;
    EXPECT_NE(errors.find("running without a log"), std::string::npos) << errors;
}

// The log file is on a full disk (it leads to /dev/full): every write fails; orvane says so once on
// standard error and runs its start-up to the end all the same.
TEST(OrvaneRun, ALogThatCannotBeWrittenIsReportedOnceOnStandardError)
{
    MachineRoot root;
    fs::create_directories(root.DataFolder() / "log");
    fs::create_symlink("/dev/full", root.DataFolder() / "log/VELK.log");
    Process orvane({kOrvane, "P3Dv4"}, root.Path(), false, true);
    const std::string errors = orvane.ReadAllErrors();
    EXPECT_EQ(orvane.Wait(), 0);
    const std::string line = "orvane: cannot write the log file ";
    const size_t first = errors.find(line);
    ASSERT_NE(first, std::string::npos) << errors;
    EXPECT_EQ(errors.find(line, first + 1), std::string::npos) << errors;
    EXPECT_NE(errors.find("No space left on device"), std::string::npos) << errors;
}

TEST(OrvaneRun, BesideTheSimulatorFromConnectionToQuit)
{
    MachineRoot root;
    auto sim = StartSimhost(root, {"--scenario", kFixtures + "/short_run.xml", "--wait-client", "orvane"});
    Process orvane({kOrvane, "P3Dv4"}, root.Path(), false, true);
    const std::string timeline = sim->ReadAll();
    EXPECT_EQ(sim->Wait(), 0);
    EXPECT_EQ(orvane.ReadAllErrors(), "");  // it connected: nothing to say on the console
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

// The text of a timeline line without its time stamp ("[    0.000] ").
std::string Unstamped(const std::string& line)
{
    const size_t end = line.find("] ");
    return line.rfind('[', 0) == 0 && end != std::string::npos ? line.substr(end + 2) : line;
}

// What orvane registers in external jetway triggering mode (no placement file), call by call, from the
// connection up to the dispatch loop: the ids, names, groups and definitions the module and API clients
// rely on, in the order the run phase makes them.
std::vector<std::string> ExternalModeRegistrations()
{
    const std::string me = "'Orvane VELK' ";
    std::vector<std::string> lines;
    auto add = [&](const std::string& text) { lines.push_back(me + text); };
    auto mapEvent = [&](int id, const std::string& name) {
        add("maps event " + std::to_string(id) + " to '" + name + "'");
    };
    auto group = [&](int event, int group, bool maskable) {
        add("adds event " + std::to_string(event) + " to group " + std::to_string(group) +
            (maskable ? " (maskable)" : " (not maskable)"));
    };
    auto field = [&](int definition, const std::string& name, const std::string& type) {
        add("defines data " + std::to_string(definition) + ": '" + name + "' (" + type + ")");
    };
    auto areaName = [&](const std::string& name, int area) {
        add("maps client data '" + name + "' to area " + std::to_string(area));
    };
    auto clientDef = [&](int definition, int bytes) {
        add("defines client data " + std::to_string(definition) + " (" + std::to_string(bytes) + " bytes)");
    };
    auto created = [&](const std::string& name, int bytes) {
        lines.push_back("client data '" + name + "' created by 'Orvane VELK' (" + std::to_string(bytes) + " bytes)");
    };

    lines.push_back("client 'Orvane VELK' connected over the socket");
    // Private events of the injection end and the sim-bubble update.
    add("maps private event 57");
    add("maps private event 59");
    group(57, 9, true);
    group(59, 9, true);
    add("sets group 9 priority highest maskable");
    add("requests system state 'Sim' (request 65)");
    const std::pair<int, const char*> systemEvents[] = {{0, "SimStart"},       {1, "Pause"},         {3, "Sound"},
                                                        {2, "SimStop"},        {4, "PositionChanged"},
                                                        {9, "AircraftLoaded"}, {58, "FlightLoaded"}, {5, "4sec"}};
    for (const auto& [id, name] : systemEvents)
        add("subscribes event " + std::to_string(id) + " to system event '" + name + "'");
    mapEvent(14, "PAUSE_SET");
    // External mode: neither timer events, date and time nor voice capture. The primary hotkey is on.
    add("maps private event 31");
    add("asks for a reserved key for event 31: 's', 'a', 'd'");
    lines.push_back("key 's' reserved for 'Orvane VELK'");
    mapEvent(10, "FREEZE_LATITUDE_LONGITUDE_TOGGLE");
    group(10, 0, false);
    add("sets group 0 priority highest");
    mapEvent(11, "FREEZE_LATITUDE_LONGITUDE_SET");
    mapEvent(12, "FREEZE_ALTITUDE_SET");
    mapEvent(13, "FREEZE_ATTITUDE_SET");
    for (int i = 1; i <= 4; ++i) areaName("VELK.JetwayData.In." + std::to_string(i), 23 + i);
    for (int i = 1; i <= 8; ++i) areaName("VELK.JetwayData.Out." + std::to_string(i), 27 + i);
    clientDef(21, 5600);
    struct Event {
        int id;
        const char* name;
        bool maskable;
    };
    const Event jetwayActions[] = {{36, "VELK.JetwayAction.Start", false},
                                   {63, "VELK.JetwayAction.DataReceived", true},
                                   {37, "VELK.JetwayAction.Done", false},
                                   {38, "VELK.JetwayAction.Intermediate", false},
                                   {39, "VELK.JetwayAction.Abort", false},
                                   {40, "VELK.JetwayAction.ResetAll", false},
                                   {41, "VELK.JetwayAction.ConnectionCheck", false},
                                   {66, "VELK.JetwayAction.ImmediateStop", false}};
    for (const Event& e : jetwayActions) mapEvent(e.id, e.name);
    for (const Event& e : jetwayActions) group(e.id, 4, e.maskable);
    add("sets group 4 priority highest maskable");
    for (const char* name : {"VELOCITY WORLD Z", "VELOCITY BODY Z", "VELOCITY WORLD X", "VELOCITY BODY X",
                             "VELOCITY WORLD Y", "VELOCITY BODY Y", "ACCELERATION BODY X", "ACCELERATION BODY Y",
                             "ACCELERATION BODY Z"})
        field(17, name, "Number, FLOAT64");
    field(18, "VELOCITY WORLD Z", "Number, FLOAT64");
    areaName("VELK.APIData.Out", 37);
    areaName("VELK.APIData.In", 38);
    created("VELK.APIData.Out", 928);
    created("VELK.APIData.In", 928);
    clientDef(22, 928);
    const std::tuple<const char*, int, int, int> apiAreas[] = {{"VELK.APIData.MassResponse", 39, 6156, 24},
                                                              {"VELK.APIData.MassResponse.VDGS", 40, 4108, 25},
                                                              {"VELK.APIData.Lite", 41, 36, 30}};
    for (const auto& [name, area, bytes, definition] : apiAreas) {
        areaName(name, area);
        created(name, bytes);
        clientDef(definition, bytes);
    }
    mapEvent(45, "VELK.ReloadAll");
    group(45, 6, false);
    const Event apiEvents[] = {{46, "VELK.JetwayQuery", true},          {47, "VELK.JetwayResponse", false},
                               {48, "VELK.JetwayTrigger", true},        {49, "VELK.JetwayTriggerStatus", false},
                               {50, "VELK.JetwayInform", true},         {51, "VELK.JetwayInformStatus", false},
                               {52, "VELK.StandInform", true},          {53, "VELK.StandInformStatus", false},
                               {54, "VELK.JetwayMassQuery", true},      {55, "VELK.JetwayMassResponse", false},
                               {64, "VELK.StandInform.Lite", true},     {65, "VELK.StandInformStatus.Lite", false}};
    for (const Event& e : apiEvents) mapEvent(e.id, e.name);
    for (const Event& e : apiEvents) group(e.id, 6, e.maskable);
    add("sets group 6 priority highest maskable");
    areaName("VELK.AcftLVars.Out", 36);
    clientDef(23, 24);
    mapEvent(61, "VELK.JetwayAction.AcftLVarsQuery");
    mapEvent(62, "VELK.JetwayAction.AcftLVarsResponse");
    group(62, 7, true);
    add("sets group 7 priority highest maskable");
    mapEvent(43, "VELK.Watchdog");
    // External mode: no menu events, hotkeys or object-data definitions. The aircraft data always.
    field(19, "VELOCITY BODY Y", "Number, FLOAT64");
    field(2, "SIM DISABLED", "Number, FLOAT64");
    const std::pair<const char*, const char*> placement[] = {
        {"Plane Latitude", "degrees"},         {"Plane Longitude", "degrees"},   {"PLANE ALTITUDE", "Feet"},
        {"PLANE PITCH DEGREES", "Radians"},    {"PLANE BANK DEGREES", "Radians"},
        {"PLANE HEADING DEGREES TRUE", "Radians"}};
    for (const auto& [name, unit] : placement) field(0, name, std::string(unit) + ", FLOAT64");
    for (const char* name : {"VELOCITY WORLD X", "VELOCITY WORLD Y", "VELOCITY WORLD Z", "VELOCITY BODY Z"})
        field(0, name, "meter per second, FLOAT64");
    field(0, "GROUND VELOCITY", "Knots, FLOAT64");
    for (const char* name : {"BRAKE PARKING INDICATOR", "LIGHT BEACON", "NUMBER OF ENGINES", "GENERAL ENG RPM:1",
                             "GENERAL ENG RPM:2", "GENERAL ENG RPM:3", "GENERAL ENG RPM:4", "BRAKE INDICATOR",
                             "IS SLEW ACTIVE"})
        field(1, name, "Number, FLOAT64");
    field(1, "SIM ON GROUND", "Bool, FLOAT64");
    for (const auto& [name, unit] : placement) field(28, name, std::string(unit) + ", FLOAT64");
    const std::pair<const char*, const char*> aiScan[] = {
        {"Plane Latitude", "degrees, FLOAT64"},   {"Plane Longitude", "degrees, FLOAT64"},
        {"PLANE ALTITUDE", "Feet, FLOAT64"},      {"PLANE HEADING DEGREES TRUE", "Radians, FLOAT64"},
        {"SIM ON GROUND", "Bool, FLOAT64"},       {"IS USER SIM", "Bool, FLOAT64"},
        {"AI TRAFFIC CURRENT AIRPORT", "STRING32"}, {"AI TRAFFIC ASSIGNED PARKING", "STRING128"},
        {"ATC ID", "STRINGV"},                    {"ATC MODEL", "STRINGV"},
        {"TITLE", "STRINGV"},                     {"AI TRAFFIC STATE", "STRING32"}};
    for (const auto& [name, type] : aiScan) field(26, name, type);
    return lines;
}

TEST(OrvaneRun, RegistrationsInExternalModeInTheirOrderWithNothingOfTheObjectMode)
{
    MachineRoot root;
    auto sim = StartSimhost(root, {"--scenario", kFixtures + "/short_run.xml", "--wait-client", "orvane",
                                   "--registrations"});
    Process orvane({kOrvane, "P3Dv4"}, root.Path(), false, false);
    const std::string timeline = sim->ReadAll();
    EXPECT_EQ(sim->Wait(), 0);
    EXPECT_EQ(orvane.Wait(), 0);
    EXPECT_NE(root.Log().find("VELK runs in 'External Jetway Triggering Mode' only..."), std::string::npos);

    // The run phase, exactly: from the connection to the first answer handled in the dispatch loop (the
    // reserved key's, which builds the add-on menu).
    std::vector<std::string> runPhase;
    bool connected = false;
    for (const std::string& line : Lines(timeline)) {
        const std::string text = Unstamped(line);
        if (text.find("Orvane VELK") == std::string::npos) continue;
        if (text.rfind("client 'Orvane VELK' connected", 0) == 0) connected = true;
        if (!connected) continue;
        if (text == "'Orvane VELK' maps private event 30") break;
        runPhase.push_back(text);
    }
    const std::vector<std::string> expected = ExternalModeRegistrations();
    EXPECT_EQ(runPhase, expected) << timeline;

    // The same order in the whole timeline, then the dispatch loop's registrations and the run's end.
    std::vector<std::string> inOrder = expected;
    for (const char* later : {
             "'Orvane VELK' maps private event 30",
             "add-on menu item 'VELK 1.7.1' added by 'Orvane VELK'",
             "'Orvane VELK' adds event 30 to group 8 (not maskable)",
             "'Orvane VELK' maps private event 42",
             "'Orvane VELK' adds add-on menu sub-item 'Test DLL Connection!' under 'VELK 1.7.1' (event 42)",
             "'Orvane VELK' adds event 42 to group 8 (not maskable)",
             "'Orvane VELK' sets group 8 priority highest",
             "simulation started",
             "'Orvane VELK' requests system state 'AircraftLoaded' (request 82)",
             "'Orvane VELK' requests data 0 on the user aircraft every visual frame (request 66), interval 1",
             "'Orvane VELK' requests data 1 on the user aircraft every second (request 91)",
             "quit sent to every client",
             "client 'Orvane VELK' disconnected",
         })
        inOrder.push_back(later);
    EXPECT_TRUE(InOrder(timeline, inOrder));

    // What external mode leaves out: timer and frame events, the date and time definition and its
    // request, voice capture, the menu events, the hotkeys, the object-data definitions.
    std::vector<std::string> absent = {"system event '1sec'", "system event '6Hz'", "system event 'Frame'",
                                       "subscribes event 6 ",  "subscribes event 7 ", "subscribes event 8 ",
                                       "defines data 5:",      "(request 73)",        "maps input",
                                       "sets input group",     "to group 1 ",         "exception"};
    for (int event : {15, 16, 17, 18, 19, 28, 29}) absent.push_back("maps event " + std::to_string(event) + " ");
    for (int definition : {16, 27, 29, 20, 14, 11, 12, 13, 4, 9})
        absent.push_back("defines data " + std::to_string(definition) + ":");
    for (const std::string& text : absent) EXPECT_EQ(timeline.find(text), std::string::npos) << text << "\n" << timeline;
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

// A scenario that names what simhost does not know is refused before anything starts: one error on
// standard error names the file and the line, and the exit status is 2.
TEST(SimhostScenario, AnUnknownNameRefusesTheRunWithFileAndLine)
{
    struct Case {
        const char* body;
        int line;
        const char* what;
    };
    const Case cases[] = {
        {"<Sim action=\"start\"/>\n  <Pushback time=\"3\"/>", 3, "Pushback: unknown element"},
        {"\n\n  <State name=\"LIGHT BEACON\" valeu=\"1\"/>", 4, "State: unknown attribute 'valeu'"},
        {"<AI key=\"a\" title=\"B738\"/>\n  <AIState time=\"5\" ai=\"a\" state=\"pushback\"/>", 3,
         "AIState: 'pushback' is no AI traffic state"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MachineRoot root;
        const std::string file = (root.Root() / "day.xml").string();
        std::ofstream(file) << "<Scenario duration=\"10\">\n  " << c.body << "\n</Scenario>\n";
        Process sim({kSimhost, "--scenario", file}, root.Path(), true, true);
        const std::string errors = sim.ReadAllErrors();
        EXPECT_EQ(sim.Wait(), 2);
        EXPECT_EQ(errors, "simhost: " + file + ":" + std::to_string(c.line) + ": " + c.what +
                              (std::string(c.what).find("state") != std::string::npos
                                   ? " (see simhost --help)"
                                   : "") +
                              " (the run does not start)\n");
        EXPECT_EQ(sim.ReadAll().find("listening at"), std::string::npos);
    }
}

// orvane reads its placement files before it connects, so a run without simulator shows what it makes of
// a user's file: the slips are logged with the file and the line, and a file that does not parse with
// the parser's reason and line.
TEST(OrvaneRun, SlipsInAPlacementFileAreLoggedWithFileAndLine)
{
    MachineRoot root;
    fs::create_directories(root.DataFolder() / "xml");
    std::ofstream(root.DataFolder() / "xml/Mine.xml") << "<VELK>\n"
                                                          "  <SimObject Name=\"Lamp\">\n"
                                                          "    <Placement Lat=\"48.1OO30\" Lon=\"11.5\"\n"
                                                          "               Alt=\"0#AGL\" Hdg=\"2a40\"/>\n"
                                                          "    <Model SimTitle=\"Lamp\"/>\n"
                                                          "    <Modell SimTitle=\"Lamp\"/>\n"
                                                          "  </SimObject>\n"
                                                          "</VELK>\n";
    std::ofstream(root.DataFolder() / "xml/Broken.xml") << "<VELK>\n  <SimObject Name=\"A\">\n</VELK>\n";
    Process orvane({kOrvane, "P3Dv4"}, root.Path(), false, false);
    EXPECT_EQ(orvane.Wait(), 0);
    const std::string log = root.Log();
    const std::string mine = "'C:\\ProgramData\\Quorvath\\VELK\\xml\\Mine.xml'";
    for (const std::string& line :
         {"WARN VELK.XML : " + mine + " line 3: SimObject 'Lamp': Lat='48.1OO30' has text after its number! Read as 48.1.",
          "WARN VELK.XML : " + mine + " line 3: SimObject 'Lamp': Hdg='2a40' has text after its number! Read as 2.",
          "WARN VELK.XML : " + mine + " line 6: unknown element 'Modell' in 'SimObject' is ignored!",
          std::string("ERROR VELK.XML : Failed to load file 'C:\\ProgramData\\Quorvath\\VELK\\xml\\Broken.xml' (line 2: "
                      "XML_ERROR_MISMATCHED_ELEMENT")})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

// The example API client beside orvane and the simulator, the user aircraft on its stop at B22: a dock of
// the jetway it has just docked, and an undock of the one it has just undocked, say so, leave the jetway
// where it is and end with status 0.
TEST(ApiClientRun, DockOfADockedJetwayAndUndockOfAnUndockedOneMoveNothing)
{
    MachineRoot root;
    fs::copy(kSampleMachine, root.Root(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    auto sim = StartSimhost(root, {"--scenario", kFixtures + "/parked_at_b22.xml", "--module", kBrannet});
    Process orvane({kOrvane, "P3Dv4"}, root.Path(), false, false);
    ASSERT_TRUE(sim->ReadUntil("waiting for a client named like 'API client'"));
    const std::string jetway = "XVLK:GATE_B:22#1";
    Process client({kApiClient, "--timeout", "60", "select", "XVLK", "GATE_B", "22", "dock", jetway, "1L", "dock",
                    jetway, "1L", "undock", jetway, "undock", jetway},
                   root.Path(), true, false);
    // The simulator's timeline is read while the client runs, so that its pipe never fills and holds it.
    std::thread timeline([&sim] { sim->ReadAll(); });
    const std::string output = client.ReadAll();
    EXPECT_EQ(client.Wait(), 0) << output;
    timeline.join();
    EXPECT_EQ(sim->Wait(), 0);
    EXPECT_EQ(orvane.Wait(), 0);

    EXPECT_TRUE(InOrder(output, {"docked (3)", "is docked already at 1L: not moved", "undocked (5)",
                                 "is undocked already: not moved"}));
    // One trigger each way: the repeated commands sent none.
    size_t triggers = 0;
    for (size_t at = output.find("> JetwayTrigger"); at != std::string::npos; at = output.find("> JetwayTrigger", at + 1))
        ++triggers;
    EXPECT_EQ(triggers, 2u) << output;
}

// ---- Hostile clients beside a well-behaved one ----

// The test process's own connections go to the machine root's simulator while this lives.
class ConnectTo {
public:
    explicit ConnectTo(const std::string& root)
    {
        const char* old = std::getenv("VELK_MACHINE_ROOT");
        if (old) old_ = old;
        had_ = old != nullptr;
        setenv("VELK_MACHINE_ROOT", root.c_str(), 1);
    }
    ~ConnectTo()
    {
        if (had_) setenv("VELK_MACHINE_ROOT", old_.c_str(), 1);
        else unsetenv("VELK_MACHINE_ROOT");
    }

private:
    std::string old_;
    bool had_ = false;
};

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// An API client on its own connection: requests and their answers, handed over by dispatching.
class ApiConnection {
public:
    explicit ApiConnection(const std::string& name)
    {
        if (SimConnect_Open(&handle_, name.c_str(), nullptr, 0, nullptr, 0) != S_OK) return;
        client_ = std::make_unique<api_client::ApiClient>(handle_);
    }
    ~ApiConnection()
    {
        client_.reset();
        if (handle_) SimConnect_Close(handle_);
    }
    bool Register()
    {
        if (!client_ || !client_->Register()) return false;
        const Clock::time_point start = Clock::now();
        while (!client_->Registered() && MsSince(start) < 10000) Dispatch();
        return client_->Registered() && client_->MissingAreas().empty();
    }
    api_client::ApiClient& Client() { return *client_; }
    HANDLE Handle() const { return handle_; }

    void Dispatch()
    {
        SimConnect_CallDispatch(
            handle_,
            [](SIMCONNECT_RECV* message, DWORD size, void* context) {
                auto* self = static_cast<ApiConnection*>(context);
                if (message->dwID == SIMCONNECT_RECV_ID_SYSTEM_STATE &&
                    reinterpret_cast<const SIMCONNECT_RECV_SYSTEM_STATE*>(message)->dwRequestID == kSyncRequest)
                    self->synced_ = true;
                self->client_->HandleMessage(message, size);
            },
            this);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Returns once the simulator has handled every call this connection made before (they are handled in
    // order): the calls are sent without waiting for them.
    bool Sync()
    {
        synced_ = false;
        if (SimConnect_RequestSystemState(handle_, kSyncRequest, "Sim") != S_OK) return false;
        const Clock::time_point start = Clock::now();
        while (!synced_ && MsSince(start) < 60000) Dispatch();
        return synced_;
    }
    // The first answer of the kind (and for which mine holds) that arrives within limitMs; none when none
    // does.
    std::optional<api_client::Answer> Await(api_client::Answer::Kind kind, int64_t limitMs,
                                            bool (*mine)(const api_client::Answer&) = nullptr)
    {
        const Clock::time_point start = Clock::now();
        api_client::Answer answer;
        while (MsSince(start) < limitMs) {
            Dispatch();
            while (client_->TakeAnswer(answer))
                if (answer.kind == kind && (!mine || mine(answer))) return answer;
        }
        return std::nullopt;
    }
    void Forget()
    {
        Dispatch();
        api_client::Answer answer;
        while (client_->TakeAnswer(answer)) {
        }
        std::string error;
        while (client_->TakeError(error)) {
        }
    }

private:
    static constexpr DWORD kSyncRequest = 4711;
    HANDLE handle_ = nullptr;
    std::unique_ptr<api_client::ApiClient> client_;
    bool synced_ = false;
};

// Random records into the API areas, each with a request event, as fast as the connection takes them.
void SendRandomRecords(ApiConnection& hostile, std::mt19937& random, int count)
{
    static const char* const kRequests[] = {"VELK.JetwayQuery",  "VELK.JetwayTrigger",   "VELK.JetwayInform",
                                            "VELK.StandInform",  "VELK.JetwayMassQuery", "VELK.StandInform.Lite"};
    std::vector<uint8_t> record(api_wire::kRecordSize);
    for (int i = 0; i < count; ++i) {
        for (uint8_t& byte : record) byte = static_cast<uint8_t>(random());
        const char* event = kRequests[random() % std::size(kRequests)];
        if (std::string(event) == "VELK.StandInform.Lite") hostile.Client().WriteLiteArea(record.data(), api_wire::kLiteSize);
        else hostile.Client().WriteRequestArea(record.data(), record.size());
        hostile.Client().SendRequestEvent(event);
        if (i % 200 == 0) hostile.Forget();
    }
}

// orvane's own client events with random data: menus, reloads, job reports of the module.
void SendEventStorm(HANDLE hostile, std::mt19937& random, int count)
{
    static const char* const kEvents[] = {
        "VELK.ShowMainMenu",          "VELK.ShowSubMenu",
        "VELK.ShowJetwayMenu",        "VELK.ShowJetwayMenuStandOps",
        "VELK.ShowStandsMenu",        "VELK.ReloadAll",
        "VELK.JetwayAction.Done",     "VELK.JetwayAction.Intermediate",
        "VELK.JetwayAction.DataReceived", "VELK.JetwayAction.ImmediateStop",
        "VELK.JetwayAction.AcftLVarsResponse"};
    constexpr DWORD kFirst = 500;
    for (DWORD i = 0; i < std::size(kEvents); ++i) SimConnect_MapClientEventToSimEvent(hostile, kFirst + i, kEvents[i]);
    for (int i = 0; i < count; ++i)
        SimConnect_TransmitClientEvent(hostile, SIMCONNECT_OBJECT_ID_USER,
                                       kFirst + static_cast<DWORD>(random() % std::size(kEvents)),
                                       static_cast<DWORD>(random()), SIMCONNECT_GROUP_PRIORITY_HIGHEST,
                                       SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
}

// orvane over the sample airport, the aircraft parked at B22. One client writes 20,000 random records into
// the API areas and then sends 5,000 of orvane's own events with random data; a well-behaved client beside
// it asks for XVLK's stands all the while. It is answered within 1 s throughout, and exactly once the
// flood is over; the menus and the stands are quiet 2 s after it; orvane's log grows by few lines, each
// one line with its time stamp and nothing but printable bytes.
TEST(OrvaneHostileClients, AFloodOfRecordsAndEventsLeavesTheLogShortAndTheOtherClientServed)
{
    MachineRoot root;
    fs::copy(kSampleMachine, root.Root(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const fs::path timelineFile = root.Root() / "timeline.txt";
    Process sim({kSimhost, "--scenario", kFixtures + "/parked_at_b22_until_stopped.xml", "--module", kBrannet, "--realtime"}, root.Path(), false, false,
                timelineFile.string());
    const auto timeline = [&] { return ReadFile(timelineFile); };
    const auto waitFor = [&](const std::string& text, int64_t limitMs) {
        const Clock::time_point start = Clock::now();
        while (timeline().find(text) == std::string::npos && MsSince(start) < limitMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return timeline().find(text) != std::string::npos;
    };
    ASSERT_TRUE(waitFor("listening at", 10000)) << timeline();
    Process orvane({kOrvane, "P3Dv4"}, root.Path(), false, false);
    ASSERT_TRUE(waitFor("simulation started", 60000)) << timeline();

    ConnectTo connect(root.Path());
    ApiConnection good("Well-behaved API client");
    ASSERT_TRUE(good.Register());
    // orvane has built the bubble around the aircraft: XVLK's stands are listed, the same twice running,
    // and B22 has its two jetways.
    api_wire::JetwayQueryRequest query;
    query.stand = {"XVLK", "GATE_B", 22};
    query.latitude = 48.099968;
    query.longitude = 11.5046;
    query.altitudeFeet = 1660.2;
    std::vector<api_wire::MassEntry> xvlk, previous;
    uint32_t b22Jetways = 0;
    const Clock::time_point asking = Clock::now();
    while ((xvlk.empty() || xvlk != previous || b22Jetways != 2) && MsSince(asking) < 60000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        previous = xvlk;
        good.Forget();
        ASSERT_TRUE(good.Client().MassQuery({"XVLK"}));
        const auto stands = good.Await(api_client::Answer::Kind::MassResponse, 1000);
        xvlk = stands ? stands->stands.entries : std::vector<api_wire::MassEntry>{};
        ASSERT_TRUE(good.Client().JetwayQuery(query));
        const auto jetways = good.Await(api_client::Answer::Kind::JetwayResponse, 1000);
        b22Jetways = jetways ? jetways->jetways.count : 0;
    }
    ASSERT_FALSE(xvlk.empty());
    ASSERT_EQ(xvlk, previous);
    ASSERT_EQ(b22Jetways, 2u);
    const size_t logLinesBefore = Lines(root.Log()).size();

    ApiConnection hostile("Hostile client");
    ASSERT_TRUE(hostile.Register());
    std::atomic<int> phase{0};  // 1 records, 2 events, 3 done
    std::atomic<size_t> logLinesAfterRecords{0};
    std::thread flood([&] {
        std::mt19937 random(26);
        phase = 1;
        SendRandomRecords(hostile, random, 20000);
        hostile.Sync();
        logLinesAfterRecords = Lines(root.Log()).size();
        phase = 2;
        SendEventStorm(hostile.Handle(), random, 5000);
        hostile.Sync();
        phase = 3;
    });

    // Answered within 1 s throughout: its own answer (XVLK's, which no random record asks for), unless a
    // random record overwrote its request before orvane read it; then the answer read that record.
    const auto ownAnswer = [](const api_client::Answer& a) { return a.stands.icao == "XVLK"; };
    int64_t slowestMs = 0;
    int asked = 0, own = 0;
    while (phase != 3) {
        good.Forget();
        const Clock::time_point sent = Clock::now();
        ASSERT_TRUE(good.Client().MassQuery({"XVLK"}));
        const auto answer = good.Await(api_client::Answer::Kind::MassResponse, 5000,
                                       phase == 2 ? +ownAnswer : nullptr);
        ASSERT_TRUE(answer.has_value()) << "no answer within 5 s in phase " << phase;
        slowestMs = std::max(slowestMs, MsSince(sent));
        ++asked;
        if (ownAnswer(*answer)) {
            EXPECT_EQ(answer->stands.entries, xvlk);
            ++own;
        }
    }
    flood.join();
    EXPECT_LE(slowestMs, 1000) << asked << " requests, " << own << " answered with XVLK's stands";
    EXPECT_GT(own, 0);

    // Settled within 2 s: from then on no menu opens or closes and no object is made or removed.
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    const size_t settledAt = timeline().size();
    for (int i = 0; i < 5; ++i) {
        good.Forget();
        ASSERT_TRUE(good.Client().MassQuery({"XVLK"}));
        const auto answer = good.Await(api_client::Answer::Kind::MassResponse, 1000);
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->stands.icao, "XVLK");
        EXPECT_EQ(answer->stands.entries, xvlk);
    }
    good.Forget();
    ASSERT_TRUE(good.Client().JetwayQuery(query));
    const auto jetways = good.Await(api_client::Answer::Kind::JetwayResponse, 1000);
    ASSERT_TRUE(jetways.has_value());
    EXPECT_EQ(jetways->jetways.count, 2u) << "B22's two jetways";
    const std::string after = timeline().substr(settledAt);
    for (const char* busy : {"] menu '", "created for 'Orvane VELK'", "removed by 'Orvane VELK'"})
        EXPECT_EQ(after.find(busy), std::string::npos) << busy << "\n" << after.substr(0, 4000);

    sim.Signal(SIGTERM);
    sim.Wait();
    EXPECT_EQ(orvane.Wait(), 0);

    const std::string log = root.Log();
    const std::vector<std::string> lines = Lines(log);
    EXPECT_LT(logLinesAfterRecords - logLinesBefore, 1000u) << "lines for 20,000 random records";
    EXPECT_LT(lines.size() - logLinesBefore, 2000u) << "lines for the whole flood";
    const std::regex stamped(R"(\[\d\d:\d\d:\d\d\.\d\d\d\] (DEBUG|INFO|WARN|ERROR|FATAL) \S* ?: .*)");
    size_t unstamped = 0, rawBytes = 0;
    for (const std::string& line : lines) {
        if (!std::regex_match(line, stamped)) ++unstamped;
        for (const char c : line) rawBytes += (c < 0x20 || c > 0x7E) ? 1 : 0;
    }
    EXPECT_EQ(unstamped, 0u);
    EXPECT_EQ(rawBytes, 0u);
    EXPECT_NE(log.find("... repeated"), std::string::npos) << "the limiter counted the repeats";
    EXPECT_NE(LastLine(log).find("INFO  : Terminate VELK."), std::string::npos);
}

}  // namespace
