// simhost: the stand-in simulator as a program. Plays a scenario on the virtual clock with the module
// loaded, serves SimConnect clients on the machine root's socket and prints the timeline of what the
// simulator saw.
#include "platform/clock.h"
#include "platform/simconnect/Transport.h"
#include "platform/window.h"
#include "simulator/MapPicture.h"
#include "simulator/ModuleHost.h"
#include "simulator/PlayFrame.h"
#include "simulator/Scenario.h"
#include "simulator/Simulator.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/prctl.h>
#include <thread>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: simhost [options]\n"
    "\n"
    "The stand-in simulator: plays a scenario on a virtual clock with the module loaded, serves SimConnect\n"
    "clients (orvane) and prints a timeline of what the simulator saw: connections, objects created and\n"
    "removed (titles, positions), values set on objects, client events, client-data writes, texts and\n"
    "menus. When the scenario's end time is reached it sends the quit message to every client and exits 0.\n"
    "\n"
    "Options:\n"
    "  --scenario FILE        the scenario (XML, see below). Without one the simulator idles until\n"
    "                         interrupted, serving clients.\n"
    "  --module FILE          the module to load (brannet.so). A relative path starts at the current\n"
    "                         directory. Overrides the scenario's module, whose relative path starts at\n"
    "                         the scenario's folder. Without either no module is loaded.\n"
    "  --machine-root DIR     the machine root; else VELK_MACHINE_ROOT; else the scenario's machineRoot\n"
    "                         (relative to the scenario's folder); else the default machine root.\n"
    "  --platform NAME        FSX, FSX-SE, P3D, P3Dv2, P3Dv3, P3Dv4 or P3Dv5 (default: the scenario's, else\n"
    "                         P3Dv4). The process is named like that simulator: fsx.exe for FSX and FSX-SE,\n"
    "                         Prepar3D.exe for the others, so that a process watchdog finds it.\n"
    "  --duration SECONDS     end the scenario after this much simulated time (0: no end, run until\n"
    "                         interrupted); overrides the scenario's duration and End.\n"
    "  --realtime             move the virtual clock with real time.\n"
    "  --fast                 as fast as possible, in lock-step with the clients on the socket (the\n"
    "                         default; accepted for older command lines).\n"
    "  --wait-client NAME     hold the virtual clock at 0 until a client whose name contains NAME (without\n"
    "                         regard to case, e.g. orvane) has connected and handled its first messages,\n"
    "                         so that simhost can be started before the program. Overrides the\n"
    "                         scenario's waitClient.\n"
    "  --wait-timeout SECONDS give up waiting for that client after this long (default 60, or the\n"
    "                         scenario's waitTimeout; 0: wait for ever). Giving up ends simhost with exit\n"
    "                         status 1.\n"
    "  --no-wait-client       ignore the scenario's waitClient and its WaitClient holds: start at once\n"
    "                         and never hold the clock for a client.\n"
    "  --quiet                print no timeline (the socket path is still printed).\n"
    "  --registrations        also print a line for every registration call of a client, in the order they\n"
    "                         arrive: event mappings, notification groups and their priorities, system\n"
    "                         event subscriptions, input events and input group states, reserved-key\n"
    "                         requests, data and client-data definitions, client-data names, data and\n"
    "                         system-state requests, add-on menu sub-items. Off by default: the timeline\n"
    "                         stays short.\n"
    "  --map FILE.svg         draw the world from above into this SVG file when the run ends: the objects\n"
    "                         the simulator holds (jetways with their parts, guidance displays and gate\n"
    "                         number boxes marked by their titles) and the aircraft as outlines, each at\n"
    "                         its place and heading, within 3 km of the user aircraft, with a scale bar\n"
    "                         and a north arrow, and a close view of the 120 m around the user aircraft.\n"
    "                         A path that cannot be written is refused at start.\n"
    "  --map-at SECONDS[,SECONDS...]\n"
    "                         take the pictures at these simulated times instead (the first frame at or\n"
    "                         after each; a time the run does not reach is taken at its end): one panel\n"
    "                         per time, side by side in the one file.\n"
    "  --help                 this text.\n"
    "\n"
    "Fast mode (the default) runs frame after frame without waiting for real time. After each frame it\n"
    "waits until every client connected over the socket has fetched the messages waiting for it and\n"
    "asked again with none left (it has handled them), at most about 1 s of real time per frame, so that\n"
    "the clients' reactions show up at the simulated time they belong to. Clients in this process (the\n"
    "module, the scenario's own clients) are pumped after every frame.\n"
    "\n"
    "Clients connect on the Unix socket <machine root>/simconnect.sock; SimConnect_Open of a program with\n"
    "the same machine root finds it. The first timeline line names it (\"listening at PATH\").\n"
    "While simhost runs, the simulator's main window (class \"FS98MAIN\") is registered in this process.\n"
    "Exit status: 0 when the scenario ended, 1 on a bad module or socket, when the awaited client did not\n"
    "come or the map could not be written at the end, 2 on a bad command line (a map path that cannot be\n"
    "written included) or a scenario refused (below), 128 + signal when interrupted.\n"
    "\n"
    "Scenario format: <Scenario> with the attributes platform, machineRoot, module, frameRate (frames per\n"
    "simulated second, default 30), duration (end time in seconds), waitClient, waitTimeout, creationDelay\n"
    "(frames before an object creation is answered), groundElevation (feet: objects created on the ground\n"
    "stand on it). Its elements each happen at time=\"SECONDS\"\n"
    "(default 0):\n"
    "  <Aircraft title file latitude longitude altitude heading/>   the user aircraft (file: its .air path,\n"
    "                                                               sent as AircraftLoaded)\n"
    "  <Point latitude longitude altitude heading speed/>           a point of the user aircraft's path;\n"
    "                                                               positions in between are interpolated\n"
    "  <State name unit value/>                  a variable of the user aircraft (unit default Number)\n"
    "  <Sim action/>                             start, stop, pause, unpause, sound-on, sound-off,\n"
    "                                            position-changed, quit\n"
    "  <Flight file/>                            a flight loaded (FlightLoaded)\n"
    "  <AI key title atcId atcModel state airport parking latitude longitude altitude heading onGround/>\n"
    "  <AIState ai state airport parking latitude longitude altitude heading onGround/>   changes of an AI\n"
    "                                            aircraft (by key, default its title)\n"
    "  <AIRemove ai|title/>                      an AI aircraft leaves\n"
    "  <Refuse title/>                           creations of this title fail from now on\n"
    "  <Menu line|contains/>                     answers the open menu (line 1..10, or text in the line)\n"
    "  <Key key/>                                a key pressed (reserved keys, input events)\n"
    "  <AddonMenu item sub/>                     an add-on menu item chosen\n"
    "  <NamedVariable name value/>               a named variable the module reads through the gauge table\n"
    "  <Weather windDirection windSpeed visibility precipitation temperature pressure/>   world weather on\n"
    "                                            every object, now and later (degrees, kt, m, none|rain|snow\n"
    "                                            or a mask, Celsius, hPa); what it leaves out stays\n"
    "  <DateTime year month day hour minute zoneOffset timeOfDay/>   the user aircraft's local date and time\n"
    "                                            (zoneOffset: zulu minus local, minutes; timeOfDay: dawn, day,\n"
    "                                            dusk or night, default from the hour); what it leaves out\n"
    "                                            comes from the DateTime before it\n"
    "  <End/>                                    the end time (like duration)\n"
    "  <WaitClient name timeout/>                the clock holds (no frames) until a client whose name\n"
    "                                            contains name (without regard to case) has connected and\n"
    "                                            handled its first messages, as waitClient at the start;\n"
    "                                            the clients there are served meanwhile. After timeout\n"
    "                                            (seconds, default 60; 0: for ever) the day goes on\n"
    "                                            without it\n"
    "  <ApiClient name> <Object key title latitude longitude altitude pitch bank heading onGround/>...\n"
    "      <Listen event/>... </ApiClient>       a SimConnect client of the scenario connects and creates\n"
    "                                            its objects (it hears the VELK.JetwayAction events and the\n"
    "                                            events it is told to listen to)\n"
    "  <Object client key title .../>            one more object created by that client\n"
    "  <RemoveObject client object/>             the client removes its object (by key)\n"
    "  <ClientEvent client name data object/>    the client sends an event (object: a key; default user)\n"
    "  <Text client type=\"print|scroll\" seconds text/> or <Text client type=\"menu\" seconds title prompt\n"
    "      items=\"A|B|C\"/>                       the client shows a text or a menu\n"
    "  <JetwayJob client jetway area type periodMs keyframes rootRotationTime bridgeExtensionTime dipTime\n"
    "      headRotationTime hoodTime rootSweep bridgeDip headSweep bridgeLength legLength rootFloorHeight\n"
    "      rootBridgeOffset legOffset stairLength stairOffset wheelRadius placement parked retractFirst\n"
    "      levelFirst targetRotation targetDip targetHead targetExtension extensionVia>\n"
    "      <Part slot object title link offset/>... </JetwayJob>\n"
    "                                            the client writes a jetway job into VELK.JetwayData.In.<area>\n"
    "                                            and sends VELK.JetwayAction.Start with id * 10 + area (once\n"
    "                                            its objects exist)\n"
    "The state texts of AI and AIState are those a simulator gives its AI traffic: init, sleep, flt plan,\n"
    "startup, preflight support, clearance, push back 1, push back 2, pre taxi out, taxi out, takeoff 1,\n"
    "takeoff 2, T&G depart, enroute, pattern, landing, rollout, go around, taxi in, shutdown, postflight\n"
    "support, <unknown> (exactly so, case included).\n"
    "An element whose value cannot be read (a number out of range, a missing attribute) is reported with its\n"
    "file and line and skipped. A scenario with an unknown element, an unknown attribute or an AI state text\n"
    "that no simulator has is refused: one error names the file and line, and the run does not start\n"
    "(exit status 2).\n";

std::atomic<int> g_signal{0};

void OnSignal(int signal)
{
    g_signal = signal;
}

struct Options {
    std::string scenario, module, machineRoot, platform, waitClient;
    std::optional<double> duration, waitTimeout;
    bool realtime = false, quiet = false, noWaitClient = false, registrations = false;
    std::string map;
    std::vector<uint64_t> mapAtMs;  // ascending, no repeats
};

bool ParseSeconds(const std::string& text, double& out)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(v >= 0 && v <= 1e7)) return false;
    out = v;
    return true;
}

// Seconds as a person writes them: 60, 0.5.
std::string Seconds(double seconds)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", seconds);
    return buffer;
}

// "S[,S...]" as times in ms, ascending without repeats; false when a part is not a number of seconds.
bool ParseTimes(const std::string& text, std::vector<uint64_t>& out)
{
    out.clear();
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        double seconds = 0;
        if (!ParseSeconds(text.substr(start, comma - start), seconds)) return false;
        out.push_back(static_cast<uint64_t>(std::llround(seconds * 1000.0)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return true;
}

// The simulator a platform name stands for: its process name and its application name; nullopt when
// the name is unknown.
std::optional<std::pair<const char*, const char*>> Platform(const std::string& name)
{
    std::string upper;
    for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "FSX" || upper == "FSX-SE") return std::pair{"fsx.exe", "Microsoft Flight Simulator X"};
    for (const char* p : {"P3D", "P3DV2", "P3DV3", "P3DV4", "P3DV5"})
        if (upper == p) return std::pair{"Prepar3D.exe", "Lockheed Martin Prepar3D"};
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "simhost: %s needs a value (see --help)\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        auto seconds = [&]() {
            const std::string text = value();
            double v = 0;
            if (!ParseSeconds(text, v)) {
                std::fprintf(stderr, "simhost: %s needs a number of seconds, not '%s'\n", arg.c_str(), text.c_str());
                std::exit(2);
            }
            return v;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--scenario") o.scenario = value();
        else if (arg == "--module") o.module = value();
        else if (arg == "--machine-root") o.machineRoot = value();
        else if (arg == "--platform") o.platform = value();
        else if (arg == "--duration") o.duration = seconds();
        else if (arg == "--realtime") o.realtime = true;
        else if (arg == "--fast") o.realtime = false;
        else if (arg == "--wait-client") o.waitClient = value();
        else if (arg == "--wait-timeout") o.waitTimeout = seconds();
        else if (arg == "--no-wait-client") o.noWaitClient = true;
        else if (arg == "--quiet") o.quiet = true;
        else if (arg == "--registrations") o.registrations = true;
        else if (arg == "--map") o.map = value();
        else if (arg == "--map-at") {
            const std::string text = value();
            if (!ParseTimes(text, o.mapAtMs)) {
                std::fprintf(stderr, "simhost: --map-at needs seconds separated by commas, not '%s'\n", text.c_str());
                return 2;
            }
        } else {
            std::fprintf(stderr, "simhost: unknown option %s (see --help)\n", arg.c_str());
            return 2;
        }
    }

    std::string error;
    if (!o.mapAtMs.empty() && o.map.empty()) {
        std::fprintf(stderr, "simhost: --map-at needs --map FILE.svg\n");
        return 2;
    }
    if (!o.map.empty() && !simulator::CheckMapPath(o.map, &error)) {
        std::fprintf(stderr, "simhost: %s\n", error.c_str());
        return 2;
    }

    simulator::Scenario scenario;
    if (!o.scenario.empty() && !scenario.LoadFile(o.scenario, &error)) {
        std::fprintf(stderr, "simhost: %s (the run does not start)\n", error.c_str());
        return 2;
    }
    simulator::ScenarioSettings& s = scenario.Settings();
    if (!o.platform.empty()) s.platform = o.platform;
    if (o.duration) s.endSeconds = *o.duration;
    if (!o.waitClient.empty()) s.waitClient = o.waitClient;
    if (o.noWaitClient) s.waitClient.clear();
    if (o.waitTimeout) s.waitTimeoutSeconds = *o.waitTimeout;
    const auto platform = Platform(s.platform);
    if (!platform) {
        std::fprintf(stderr, "simhost: unknown platform '%s' (FSX, FSX-SE, P3D, P3Dv2 .. P3Dv5)\n", s.platform.c_str());
        return 2;
    }
    if (!o.machineRoot.empty()) setenv("VELK_MACHINE_ROOT", o.machineRoot.c_str(), 1);
    else if (!std::getenv("VELK_MACHINE_ROOT") && !s.machineRoot.empty())
        setenv("VELK_MACHINE_ROOT", s.machineRoot.c_str(), 1);
    std::string module = s.module;
    if (!o.module.empty()) {
        std::error_code ec;
        const auto absolute = std::filesystem::absolute(o.module, ec);
        module = ec ? o.module : absolute.string();
    }

    // The program's watchdog looks for the simulator's process by name; threads started later inherit it.
    prctl(PR_SET_NAME, platform->first, 0, 0, 0);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    platform::ScopedWindow window("FS98MAIN", platform->second, platform::WindowScope::Machine);
    // In fast mode the module's timers run on the virtual clock: installed before the module starts them.
    std::optional<platform::ScopedManualClock> manualClock;
    if (!o.realtime) manualClock.emplace();
    uint64_t clockMs = 0;

    simulator::Simulator sim(platform->second);
    // The timeline is printed as it comes (or not at all with --quiet); none of it is kept.
    sim.SetTimelineKept(false);
    if (!o.quiet) sim.SetTimelineListener([](const std::string& line) { std::printf("%s\n", line.c_str()); });
    sim.SetTimelineRegistrations(o.registrations);
    sim.SetFrameRate(s.frameRate);
    sim.SetCreationDelayFrames(s.creationDelayFrames);
    sim.SetGroundElevation(s.groundElevationFeet);
    if (!sim.Listen(&error)) {
        std::fprintf(stderr, "simhost: %s\n", error.c_str());
        return 1;
    }
    if (o.quiet) std::printf("listening at %s\n", platform::simconnect::SocketPath().string().c_str());
    std::fflush(stdout);

    simulator::ModuleHost host(sim);
    if (!module.empty() && !host.Load(module, &error)) {
        std::fprintf(stderr, "simhost: cannot load module %s: %s\n", module.c_str(), error.c_str());
        return 1;
    }

    // Ends the run: the quit message to every client, and a moment for those on the socket to take it.
    auto finish = [&] {
        sim.Quit();
        host.Pump();
        scenario.PumpClients(sim);
        sim.WaitForSocketClients(std::chrono::seconds(1), simulator::Simulator::SocketWait::Fetched);
        sim.WaitForSocketClients(std::chrono::seconds(1), simulator::Simulator::SocketWait::Gone);
        scenario.CloseClients();
        host.Unload();
        sim.StopServing();
        std::fflush(stdout);
    };

    // Holds the clock until a client whose name contains `name` has connected and handled its first
    // messages; false when none did within the timeout (0: none) or a signal came. The clients already
    // there are served meanwhile: those on the socket by the server, the module and the scenario's here
    // (the program may check the connection before it dispatches).
    auto waitForClient = [&](const std::string& name, double timeoutSeconds) {
        sim.Note("waiting for a client named like '" + name + "'");
        std::fflush(stdout);
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::milliseconds(static_cast<int64_t>(timeoutSeconds * 1000.0));
        bool found = false;
        while (!found && g_signal == 0) {
            if (timeoutSeconds > 0 && std::chrono::steady_clock::now() >= deadline) break;
            found = sim.WaitForClient(name, std::chrono::milliseconds(20));
            host.Pump();
            scenario.PumpClients(sim);
            std::fflush(stdout);
        }
        return found;
    };

    if (!s.waitClient.empty() && !waitForClient(s.waitClient, s.waitTimeoutSeconds) && g_signal == 0) {
        std::fprintf(stderr, "simhost: no client named like '%s' connected within %g s\n", s.waitClient.c_str(),
                     s.waitTimeoutSeconds);
        finish();
        return 1;
    }

    // The pictures of the world for --map, taken at the first frame at or after each asked time.
    std::vector<simulator::MapScene> mapScenes;
    size_t mapNext = 0;
    auto takePictures = [&](bool atEnd) {
        if (o.map.empty()) return;
        if (o.mapAtMs.empty()) {
            if (atEnd) mapScenes.push_back(simulator::CaptureMap(sim));
            return;
        }
        bool due = false;
        while (mapNext < o.mapAtMs.size() && (atEnd || sim.NowMs() >= o.mapAtMs[mapNext])) {
            ++mapNext;
            due = true;
        }
        if (due) mapScenes.push_back(simulator::CaptureMap(sim));
    };

    auto started = std::chrono::steady_clock::now();
    bool slowNoted = false;
    while (g_signal == 0 && !scenario.Ended(sim.NowMs())) {
        // A hold of the scenario stops the clock here, before the steps of its time; the day goes on
        // without the client when it does not come.
        while (auto hold = scenario.TakeHold(sim.NowMs())) {
            if (o.noWaitClient) continue;
            const auto held = std::chrono::steady_clock::now();
            if (waitForClient(hold->name, hold->timeoutSeconds))
                sim.Note("a client named like '" + hold->name + "' is there: the clock goes on");
            else if (g_signal == 0)
                sim.Note("no client named like '" + hold->name + "' came within " + Seconds(hold->timeoutSeconds) +
                         " s: the clock goes on without it");
            // In real time the frames still to come keep their pace from here.
            started += std::chrono::steady_clock::now() - held;
        }
        if (g_signal != 0) break;
        simulator::PlayFrame(sim, scenario, host, manualClock ? &manualClock->clock() : nullptr, clockMs,
                             [&] { takePictures(false); });
        std::fflush(stdout);
        if (o.realtime) {
            std::this_thread::sleep_until(started + std::chrono::milliseconds(sim.NowMs()));
        } else if (!sim.WaitForSocketClients(std::chrono::seconds(1)) && !slowNoted) {
            std::fprintf(stderr, "simhost: a client on the socket did not keep up within 1 s; going on\n");
            slowNoted = true;
        }
    }
    const int signal = g_signal;
    takePictures(true);
    bool mapWritten = true;
    if (!o.map.empty()) {
        mapWritten = simulator::WriteMap(o.map, mapScenes, &error);
        if (mapWritten) sim.Note("map written to " + o.map);
        else std::fprintf(stderr, "simhost: %s\n", error.c_str());
    }
    finish();
    return signal != 0 ? 128 + signal : mapWritten ? 0 : 1;
}
