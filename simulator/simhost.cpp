// simhost: runs a scenario in the stand-in simulator with the module loaded, serves SimConnect clients
// on the machine root's socket and prints the timeline of what the simulator saw.
#include "simulator/ModuleHost.h"
#include "simulator/Simulator.h"

#include <tinyxml2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <sys/prctl.h>
#include <thread>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: simhost [options]\n"
    "Runs the stand-in simulator: serves SimConnect on the machine root's socket, loads the module,\n"
    "plays a scenario and prints the timeline.\n"
    "\n"
    "  --scenario FILE       scenario XML (aircraft, path, state changes, AI traffic, menu choices)\n"
    "  --module FILE         the module to load (brannet)\n"
    "  --machine-root DIR    the machine root (else VELK_MACHINE_ROOT, else the scenario's machineRoot)\n"
    "  --platform NAME       FSX, FSX-SE, P3Dv2 .. P3Dv5 (names the process fsx.exe or Prepar3D.exe)\n"
    "  --duration SECONDS    stop after this much simulated time (0: until interrupted)\n"
    "  --fast                do not wait for real time between frames\n"
    "  --quiet               print no timeline\n"
    "  --help                this text\n";

std::atomic<bool> g_stop{false};

void OnSignal(int)
{
    g_stop = true;
}

struct Options {
    std::string scenario, module, machineRoot, platform;
    double duration = -1;
    bool fast = false, quiet = false;
};

struct PathPoint {
    double t, lat, lon, alt, heading, speed;
};

struct Scenario {
    std::string platform = "P3Dv4";
    std::string machineRoot;
    double frameRate = 30;
    double duration = 0;
    std::vector<PathPoint> path;
    std::vector<std::pair<uint64_t, std::function<void(simulator::Simulator&)>>> actions;
};

double Attr(const tinyxml2::XMLElement* e, const char* name, double fallback = 0)
{
    double v = fallback;
    e->QueryDoubleAttribute(name, &v);
    return v;
}

std::string Text(const tinyxml2::XMLElement* e, const char* name)
{
    const char* v = e->Attribute(name);
    return v ? v : "";
}

uint64_t TimeMs(const tinyxml2::XMLElement* e)
{
    const double t = Attr(e, "time");
    return t > 0 && t < 1e9 ? static_cast<uint64_t>(t * 1000.0) : 0;
}

bool LoadScenario(const std::string& file, Scenario& s)
{
    tinyxml2::XMLDocument doc;
    if (doc.LoadFile(file.c_str()) != tinyxml2::XML_SUCCESS) {
        std::fprintf(stderr, "simhost: cannot read scenario %s: %s\n", file.c_str(), doc.ErrorStr());
        return false;
    }
    const tinyxml2::XMLElement* root = doc.FirstChildElement("Scenario");
    if (!root) {
        std::fprintf(stderr, "simhost: %s has no Scenario element\n", file.c_str());
        return false;
    }
    if (root->Attribute("platform")) s.platform = Text(root, "platform");
    s.machineRoot = Text(root, "machineRoot");
    s.frameRate = Attr(root, "frameRate", 30);
    s.duration = Attr(root, "duration", 0);
    for (const auto* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const std::string kind = e->Name();
        const uint64_t at = TimeMs(e);
        auto add = [&](std::function<void(simulator::Simulator&)> f) { s.actions.emplace_back(at, std::move(f)); };
        if (kind == "Aircraft") {
            const std::string title = Text(e, "title"), airFile = Text(e, "file");
            const double lat = Attr(e, "latitude"), lon = Attr(e, "longitude"), alt = Attr(e, "altitude"),
                         hdg = Attr(e, "heading");
            add([=](simulator::Simulator& sim) {
                sim.SetUserPosition(lat, lon, alt, 0, 0, hdg);
                if (!title.empty()) sim.SetText(0, "TITLE", title);
                if (!airFile.empty()) sim.LoadAircraft(airFile);
            });
        } else if (kind == "Point") {
            s.path.push_back({at / 1000.0, Attr(e, "latitude"), Attr(e, "longitude"), Attr(e, "altitude"),
                              Attr(e, "heading"), Attr(e, "speed")});
        } else if (kind == "State") {
            const std::string name = Text(e, "name"), unit = Text(e, "unit");
            const double value = Attr(e, "value");
            add([=](simulator::Simulator& sim) { sim.SetNumber(0, name, unit.empty() ? "Number" : unit, value); });
        } else if (kind == "Sim") {
            const std::string action = Text(e, "action");
            add([=](simulator::Simulator& sim) {
                if (action == "start") sim.StartSim();
                else if (action == "stop") sim.StopSim();
                else if (action == "pause") sim.SetPaused(true);
                else if (action == "unpause") sim.SetPaused(false);
                else if (action == "sound-on") sim.SetSound(true);
                else if (action == "sound-off") sim.SetSound(false);
                else if (action == "position-changed") sim.ChangePosition();
                else if (action == "quit") sim.Quit();
                else std::fprintf(stderr, "simhost: unknown Sim action '%s' skipped\n", action.c_str());
            });
        } else if (kind == "AI") {
            simulator::AiAircraft ai;
            ai.title = Text(e, "title");
            ai.atcId = Text(e, "atcId");
            ai.atcModel = Text(e, "atcModel");
            if (e->Attribute("state")) ai.state = Text(e, "state");
            ai.airport = Text(e, "airport");
            ai.parking = Text(e, "parking");
            ai.latitude = Attr(e, "latitude");
            ai.longitude = Attr(e, "longitude");
            ai.altitudeFeet = Attr(e, "altitude");
            ai.headingDegrees = Attr(e, "heading");
            add([=](simulator::Simulator& sim) { sim.AddAiAircraft(ai); });
        } else if (kind == "AIRemove") {
            const std::string title = Text(e, "title");
            add([=](simulator::Simulator& sim) {
                for (const auto& o : sim.Objects())
                    if (o.title == title && o.createdBy.empty() && o.id != sim.UserAircraftId()) sim.RemoveObject(o.id);
            });
        } else if (kind == "Menu") {
            const int line = static_cast<int>(Attr(e, "line", 0));
            const std::string contains = Text(e, "contains");
            add([=](simulator::Simulator& sim) {
                auto menu = sim.OpenMenu();
                if (!menu) return;
                for (size_t i = 0; i < menu->lines.size(); ++i) {
                    const bool match = contains.empty() ? static_cast<int>(i) + 1 == line
                                                        : menu->lines[i].find(contains) != std::string::npos;
                    if (match) {
                        sim.ChooseMenuLine(static_cast<int>(i));
                        return;
                    }
                }
            });
        } else if (kind == "Key") {
            const std::string key = Text(e, "key");
            add([=](simulator::Simulator& sim) { sim.PressKey(key); });
        } else if (kind == "AddonMenu") {
            const std::string item = Text(e, "item"), sub = Text(e, "sub");
            add([=](simulator::Simulator& sim) { sim.ChooseAddonMenuItem(item, sub); });
        } else if (kind == "NamedVariable") {
            const std::string name = Text(e, "name");
            const double value = Attr(e, "value");
            add([=](simulator::Simulator&) { simulator::ModuleHost::SetNamedVariable(name, value); });
        } else if (kind == "Refuse") {
            const std::string title = Text(e, "title");
            add([=](simulator::Simulator& sim) { sim.RefuseTitle(title); });
        } else {
            std::fprintf(stderr, "simhost: unknown scenario element '%s' skipped\n", kind.c_str());
        }
    }
    std::stable_sort(s.actions.begin(), s.actions.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::sort(s.path.begin(), s.path.end(), [](const PathPoint& a, const PathPoint& b) { return a.t < b.t; });
    return true;
}

// The user aircraft's place on the path at time t (seconds), linear between the points.
void FollowPath(simulator::Simulator& sim, const std::vector<PathPoint>& path, double t)
{
    if (path.empty() || t < path.front().t) return;
    size_t i = 0;
    while (i + 1 < path.size() && path[i + 1].t <= t) ++i;
    const PathPoint& a = path[i];
    const PathPoint& b = i + 1 < path.size() ? path[i + 1] : a;
    const double f = b.t > a.t ? std::clamp((t - a.t) / (b.t - a.t), 0.0, 1.0) : 0.0;
    auto mix = [&](double x, double y) { return x + (y - x) * f; };
    sim.SetUserPosition(mix(a.lat, b.lat), mix(a.lon, b.lon), mix(a.alt, b.alt), 0, 0, mix(a.heading, b.heading));
    sim.SetNumber(0, "GROUND VELOCITY", "Knots", mix(a.speed, b.speed));
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "simhost: %s needs a value\n%s", arg.c_str(), kUsage);
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--scenario") o.scenario = value();
        else if (arg == "--module") o.module = value();
        else if (arg == "--machine-root") o.machineRoot = value();
        else if (arg == "--platform") o.platform = value();
        else if (arg == "--duration") o.duration = std::atof(value().c_str());
        else if (arg == "--fast") o.fast = true;
        else if (arg == "--quiet") o.quiet = true;
        else {
            std::fprintf(stderr, "simhost: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }

    Scenario s;
    if (!o.scenario.empty() && !LoadScenario(o.scenario, s)) return 1;
    if (!o.platform.empty()) s.platform = o.platform;
    if (o.duration >= 0) s.duration = o.duration;
    if (!o.machineRoot.empty()) setenv("VELK_MACHINE_ROOT", o.machineRoot.c_str(), 1);
    else if (!std::getenv("VELK_MACHINE_ROOT") && !s.machineRoot.empty())
        setenv("VELK_MACHINE_ROOT", s.machineRoot.c_str(), 1);

    // The program's watchdog looks for the simulator's process by name.
    const bool fsx = s.platform.rfind("FSX", 0) == 0;
    prctl(PR_SET_NAME, fsx ? "fsx.exe" : "Prepar3D.exe", 0, 0, 0);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    simulator::Simulator sim(fsx ? "Microsoft Flight Simulator X" : "Lockheed Martin Prepar3D");
    if (!o.quiet) sim.SetTimelineListener([](const std::string& line) { std::printf("%s\n", line.c_str()); });
    sim.SetFrameRate(s.frameRate);
    std::string error;
    if (!sim.Listen(&error)) {
        std::fprintf(stderr, "simhost: %s\n", error.c_str());
        return 1;
    }
    simulator::ModuleHost host(sim);
    if (!o.module.empty() && !host.Load(o.module, &error)) {
        std::fprintf(stderr, "simhost: cannot load module %s: %s\n", o.module.c_str(), error.c_str());
        return 1;
    }

    size_t next = 0;
    const auto started = std::chrono::steady_clock::now();
    while (!g_stop) {
        const uint64_t now = sim.NowMs();
        if (s.duration > 0 && now >= static_cast<uint64_t>(s.duration * 1000.0)) break;
        while (next < s.actions.size() && s.actions[next].first <= now) s.actions[next++].second(sim);
        FollowPath(sim, s.path, static_cast<double>(now) / 1000.0);
        sim.RunFrames(1);
        host.Pump();
        std::fflush(stdout);
        if (!o.fast) std::this_thread::sleep_until(started + std::chrono::milliseconds(sim.NowMs()));
    }
    sim.Quit();
    host.Unload();
    return 0;
}
