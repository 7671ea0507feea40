#include "simulator/Scenario.h"

#include "jetway/core/JetwayCodec.h"
#include "jetway/core/JetwayCore.h"
#include "platform/simconnect/SimConnect.h"
#include "simulator/ModuleHost.h"
#include "simulator/Variables.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

namespace simulator {

namespace {

constexpr double kMaxSeconds = 1e7;  // about four months of simulated time
constexpr DWORD kClientGroup = 1;
constexpr size_t kJetwayAreas = 4;

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string Number(double v)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.10g", v);
    return buffer;
}

std::string Position(double lat, double lon, double alt, double heading)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%.6f, %.6f, %.1f ft, heading %.1f", lat, lon, alt, heading);
    return buffer;
}

std::string Trim(std::string_view text)
{
    size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
    return std::string(text.substr(b, e - b));
}

// A whole finite number, or nothing.
std::optional<double> ParseNumber(const std::string& text)
{
    const std::string t = Trim(text);
    if (t.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || errno == ERANGE || !std::isfinite(v)) return std::nullopt;
    return v;
}

// The attributes of one element; every problem is collected, and an element with any is skipped.
class Attrs {
public:
    explicit Attrs(const tinyxml2::XMLElement* e) : e_(e) {}

    bool Has(const char* name) const { return e_->Attribute(name) != nullptr; }

    std::string Str(const char* name, const std::string& fallback = "") const
    {
        const char* v = e_->Attribute(name);
        return v ? v : fallback;
    }

    std::string Required(const char* name)
    {
        const char* v = e_->Attribute(name);
        if (!v || !*v) Problem(std::string("needs the attribute '") + name + "'");
        return v ? v : "";
    }

    // Missing: the fallback. Present: a finite number within [lo, hi].
    double Num(const char* name, double fallback, double lo = -1e12, double hi = 1e12)
    {
        const char* v = e_->Attribute(name);
        if (!v) return fallback;
        auto n = ParseNumber(v);
        if (!n || *n < lo || *n > hi) {
            Problem(std::string("attribute '") + name + "' is not a number within " + Number(lo) + ".." +
                    Number(hi) + ": '" + v + "'");
            return fallback;
        }
        return *n;
    }

    bool Flag(const char* name, bool fallback)
    {
        const char* v = e_->Attribute(name);
        if (!v) return fallback;
        const std::string t = Upper(Trim(v));
        if (t == "TRUE" || t == "1" || t == "YES") return true;
        if (t == "FALSE" || t == "0" || t == "NO") return false;
        Problem(std::string("attribute '") + name + "' is not true or false: '" + v + "'");
        return fallback;
    }

    // Comma-separated numbers, between minCount and maxCount of them; missing: empty.
    std::vector<double> List(const char* name, size_t minCount, size_t maxCount)
    {
        const char* v = e_->Attribute(name);
        if (!v) return {};
        std::vector<double> out;
        std::string text = v;
        size_t start = 0;
        for (;;) {
            const size_t comma = text.find(',', start);
            auto n = ParseNumber(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            if (!n) {
                Problem(std::string("attribute '") + name + "' is not a list of numbers: '" + v + "'");
                return {};
            }
            out.push_back(*n);
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        if (out.size() < minCount || out.size() > maxCount) {
            Problem(std::string("attribute '") + name + "' needs " + std::to_string(minCount) +
                    (minCount == maxCount ? "" : ".." + std::to_string(maxCount)) + " numbers: '" + v + "'");
            return {};
        }
        return out;
    }

    double Time() { return Num("time", 0, 0, kMaxSeconds); }

    void Problem(const std::string& text) { problems_.push_back(text); }
    const std::vector<std::string>& Problems() const { return problems_; }

private:
    const tinyxml2::XMLElement* e_;
    std::vector<std::string> problems_;
};

struct PathPoint {
    double t, lat, lon, alt, heading, speed;
};

// A SimConnect client of the scenario, in this process.
struct ScenarioClient {
    std::string name;
    HANDLE handle = nullptr;
    std::map<std::string, ObjectId> objects;     // by key
    std::map<std::string, std::string> titles;   // by key
    std::map<DWORD, std::string> requests;       // creation request id -> key
    std::map<DWORD, std::string> packets;        // packet id -> what it asked for
    std::map<DWORD, DWORD> creationPackets;      // packet id -> creation request id
    std::map<DWORD, std::string> events;         // client event id -> name
    std::map<std::string, DWORD> eventIds;       // upper-case name -> client event id
    std::map<DWORD, std::string> texts;          // text event id -> what was shown
    std::map<std::string, DWORD> areas;          // upper-case area name -> client area id
    std::map<DWORD, DWORD> definitions;          // size -> client data definition id
    DWORD nextRequest = 1, nextEvent = 1, nextArea = 1, nextDefinition = 1;
    bool quit = false;

    // The last packet sent, remembered with what it asked for so that an exception can name it.
    void Remember(const std::string& what)
    {
        DWORD packet = 0;
        if (SimConnect_GetLastSentPacketID(handle, &packet) == S_OK) packets[packet] = what;
    }

    DWORD Event(const std::string& eventName)
    {
        const std::string key = Upper(eventName);
        auto it = eventIds.find(key);
        if (it != eventIds.end()) return it->second;
        const DWORD id = nextEvent++;
        SimConnect_MapClientEventToSimEvent(handle, id, eventName.c_str());
        SimConnect_AddClientEventToNotificationGroup(handle, kClientGroup, id);
        events[id] = eventName;
        eventIds[key] = id;
        return id;
    }

    DWORD Area(const std::string& areaName)
    {
        const std::string key = Upper(areaName);
        auto it = areas.find(key);
        if (it != areas.end()) return it->second;
        const DWORD id = nextArea++;
        SimConnect_MapClientDataNameToID(handle, areaName.c_str(), id);
        areas[key] = id;
        return id;
    }

    DWORD Definition(DWORD size)
    {
        auto it = definitions.find(size);
        if (it != definitions.end()) return it->second;
        const DWORD id = nextDefinition++;
        SimConnect_AddToClientDataDefinition(handle, id, 0, size);
        definitions[size] = id;
        return id;
    }
};

struct ObjectSpec {
    std::string key, title;
    SIMCONNECT_DATA_INITPOSITION position{};
};

struct PartSpec {
    int slot = 1;
    std::string object, title, link;
    double x = 0, y = 0, z = 0;
};

struct JobSpec {
    std::string jetway;
    DWORD area = 1;
    JetwayData record;
    std::vector<PartSpec> parts;
    double targetRotation = 0, targetDip = 0, targetHead = 0, targetExtension = 0, extensionVia = 0;
};

const char* TextResultName(DWORD result)
{
    switch (result) {
    case SIMCONNECT_TEXT_RESULT_DISPLAYED: return "displayed";
    case SIMCONNECT_TEXT_RESULT_QUEUED: return "queued";
    case SIMCONNECT_TEXT_RESULT_REMOVED: return "removed";
    case SIMCONNECT_TEXT_RESULT_REPLACED: return "replaced";
    case SIMCONNECT_TEXT_RESULT_TIMEOUT: return "timed out";
    default: return nullptr;
    }
}

}  // namespace

struct Scenario::State {
    Sink warn;
    ScenarioSettings settings;
    std::string file = "scenario";

    struct Action {
        uint64_t at;
        std::function<void(Simulator&)> run;
    };
    std::vector<Action> actions;
    size_t nextAction = 0;

    // Steps of a client that wait for the ids of the objects they name.
    struct Deferred {
        std::string client;
        std::vector<std::string> keys;
        std::string what;
        std::function<void(Simulator&, ScenarioClient&)> run;
    };
    std::vector<Deferred> deferred;

    std::vector<PathPoint> path;
    size_t nextPointNoted = 0;

    std::map<std::string, ScenarioClient> clients;  // by name
    std::map<std::string, AiAircraft> ai;           // by key
    std::map<std::string, ObjectId> aiIds;          // by key

    void Warn(const std::string& text) const
    {
        if (warn) warn(text);
        else std::fprintf(stderr, "simhost: %s\n", text.c_str());
    }

    ScenarioClient* Client(Simulator& sim, const std::string& name, const std::string& what)
    {
        auto it = clients.find(name);
        if (it != clients.end() && it->second.handle && !it->second.quit) return &it->second;
        sim.Note("scenario: " + what + " skipped: no client " + Quote(name));
        return nullptr;
    }

    void Add(uint64_t at, std::function<void(Simulator&)> run) { actions.push_back({at, std::move(run)}); }

    void Defer(std::string client, std::vector<std::string> keys, std::string what,
               std::function<void(Simulator&, ScenarioClient&)> run)
    {
        deferred.push_back({std::move(client), std::move(keys), std::move(what), std::move(run)});
    }

    bool Read(const tinyxml2::XMLDocument& doc, const std::string& folder, std::string* error);
    void ReadElement(const tinyxml2::XMLElement* e);
    void ReadClient(const tinyxml2::XMLElement* e, Attrs& a, uint64_t at);
    std::optional<ObjectSpec> ReadObject(const tinyxml2::XMLElement* e);
    void ReadJob(const tinyxml2::XMLElement* e, Attrs& a, uint64_t at);
    void ReadText(Attrs& a, uint64_t at);

    void OpenClient(Simulator& sim, const std::string& name, const std::vector<std::string>& listen);
    void CreateObject(Simulator& sim, ScenarioClient& c, const ObjectSpec& o);
    void SendJob(Simulator& sim, ScenarioClient& c, const JobSpec& job);
    void RunDeferred(Simulator& sim);
    void FollowPath(Simulator& sim, double t);
    void Receive(Simulator& sim, ScenarioClient& c, const SIMCONNECT_RECV* m, DWORD size);
};

// ---- Reading ----

bool Scenario::State::Read(const tinyxml2::XMLDocument& doc, const std::string& folder, std::string* error)
{
    const tinyxml2::XMLElement* root = doc.FirstChildElement("Scenario");
    if (!root) {
        if (error) *error = file + " has no Scenario element";
        return false;
    }
    Attrs a(root);
    auto resolve = [&](const std::string& p) {
        if (p.empty()) return p;
        const std::filesystem::path path(p);
        return path.is_absolute() || folder.empty() ? p : (std::filesystem::path(folder) / path).string();
    };
    settings.platform = a.Str("platform", settings.platform);
    settings.machineRoot = resolve(a.Str("machineRoot"));
    settings.module = resolve(a.Str("module"));
    settings.frameRate = a.Num("frameRate", 30, 1, 1000);
    settings.endSeconds = a.Num("duration", 0, 0, kMaxSeconds);
    settings.waitClient = a.Str("waitClient");
    settings.waitTimeoutSeconds = a.Num("waitTimeout", settings.waitTimeoutSeconds, 0, kMaxSeconds);
    settings.creationDelayFrames = static_cast<int>(a.Num("creationDelay", 0, 0, 10000));
    for (const std::string& p : a.Problems())
        Warn(file + ":" + std::to_string(root->GetLineNum()) + ": Scenario: " + p + " (default used)");

    for (const auto* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) ReadElement(e);
    std::stable_sort(actions.begin(), actions.end(), [](const Action& x, const Action& y) { return x.at < y.at; });
    std::stable_sort(path.begin(), path.end(), [](const PathPoint& x, const PathPoint& y) { return x.t < y.t; });
    return true;
}

void Scenario::State::ReadElement(const tinyxml2::XMLElement* e)
{
    const std::string kind = e->Name();
    Attrs a(e);
    const double seconds = a.Time();
    const auto at = static_cast<uint64_t>(std::llround(seconds * 1000.0));
    // Elements add their step only when every attribute was read; problems are reported below.
    auto ok = [&] { return a.Problems().empty(); };

    if (kind == "Aircraft") {
        const std::string title = a.Str("title"), airFile = a.Str("file");
        const double lat = a.Num("latitude", 0, -90, 90), lon = a.Num("longitude", 0, -180, 180),
                     alt = a.Num("altitude", 0), hdg = a.Num("heading", 0, -360, 360);
        if (ok())
            Add(at, [=](Simulator& sim) {
                sim.SetUserPosition(lat, lon, alt, 0, 0, hdg);
                if (!title.empty()) sim.SetText(0, "TITLE", title);
                sim.Note("user aircraft " + Quote(title) + " at " + Position(lat, lon, alt, hdg));
                if (!airFile.empty()) sim.LoadAircraft(airFile);
            });
    } else if (kind == "Point") {
        PathPoint p{seconds, a.Num("latitude", 0, -90, 90), a.Num("longitude", 0, -180, 180), a.Num("altitude", 0),
                    a.Num("heading", 0, -360, 360), a.Num("speed", 0, 0, 10000)};
        if (ok()) path.push_back(p);
    } else if (kind == "State") {
        const std::string name = a.Required("name"), unit = a.Str("unit", "Number");
        const double value = a.Num("value", 0);
        if (ok())
            Add(at, [=](Simulator& sim) {
                sim.SetNumber(0, name, unit, value);
                sim.Note("user aircraft: " + name + " = " + Number(value) + " (" + unit + ")");
            });
    } else if (kind == "Sim") {
        const std::string action = a.Required("action");
        static const char* const known[] = {"start", "stop", "pause", "unpause", "sound-on", "sound-off",
                                            "position-changed", "quit"};
        if (!action.empty() && std::none_of(std::begin(known), std::end(known), [&](const char* k) { return action == k; }))
            a.Problem("unknown action '" + action + "'");
        if (ok())
            Add(at, [=](Simulator& sim) {
                if (action == "start") sim.StartSim();
                else if (action == "stop") sim.StopSim();
                else if (action == "pause") sim.SetPaused(true);
                else if (action == "unpause") sim.SetPaused(false);
                else if (action == "sound-on") sim.SetSound(true);
                else if (action == "sound-off") sim.SetSound(false);
                else if (action == "position-changed") sim.ChangePosition();
                else sim.Quit();
            });
    } else if (kind == "Flight") {
        const std::string flight = a.Required("file");
        if (ok()) Add(at, [=](Simulator& sim) { sim.LoadFlight(flight); });
    } else if (kind == "AI") {
        AiAircraft ai;
        ai.title = a.Required("title");
        const std::string key = a.Str("key", ai.title);
        ai.atcId = a.Str("atcId");
        ai.atcModel = a.Str("atcModel");
        ai.state = a.Str("state", ai.state);
        ai.airport = a.Str("airport");
        ai.parking = a.Str("parking");
        ai.latitude = a.Num("latitude", 0, -90, 90);
        ai.longitude = a.Num("longitude", 0, -180, 180);
        ai.altitudeFeet = a.Num("altitude", 0);
        ai.headingDegrees = a.Num("heading", 0, -360, 360);
        ai.onGround = a.Flag("onGround", true);
        if (ok())
            Add(at, [=, this](Simulator& sim) {
                this->ai[key] = ai;
                aiIds[key] = sim.AddAiAircraft(ai);
            });
    } else if (kind == "AIState") {
        const std::string key = a.Required("ai");
        // Only the attributes given change.
        const bool hasLat = a.Has("latitude"), hasLon = a.Has("longitude"), hasAlt = a.Has("altitude"),
                   hasHdg = a.Has("heading"), hasGround = a.Has("onGround");
        const double lat = a.Num("latitude", 0, -90, 90), lon = a.Num("longitude", 0, -180, 180),
                     alt = a.Num("altitude", 0), hdg = a.Num("heading", 0, -360, 360);
        const bool ground = a.Flag("onGround", true);
        const std::optional<std::string> state = a.Has("state") ? std::optional(a.Str("state")) : std::nullopt,
                                          airport = a.Has("airport") ? std::optional(a.Str("airport")) : std::nullopt,
                                          parking = a.Has("parking") ? std::optional(a.Str("parking")) : std::nullopt;
        if (ok())
            Add(at, [=, this](Simulator& sim) {
                auto it = ai.find(key);
                if (it == ai.end()) return sim.Note("scenario: AIState skipped: no AI aircraft " + Quote(key));
                AiAircraft& x = it->second;
                if (hasLat) x.latitude = lat;
                if (hasLon) x.longitude = lon;
                if (hasAlt) x.altitudeFeet = alt;
                if (hasHdg) x.headingDegrees = hdg;
                if (hasGround) x.onGround = ground;
                if (state) x.state = *state;
                if (airport) x.airport = *airport;
                if (parking) x.parking = *parking;
                if (!sim.UpdateAiAircraft(aiIds[key], x))
                    sim.Note("scenario: AIState skipped: AI aircraft " + Quote(key) + " is gone");
            });
    } else if (kind == "AIRemove") {
        const std::string key = a.Str("ai"), title = a.Str("title");
        if (key.empty() && title.empty()) a.Problem("needs the attribute 'ai' or 'title'");
        if (ok())
            Add(at, [=, this](Simulator& sim) {
                if (!key.empty()) {
                    auto it = aiIds.find(key);
                    if (it == aiIds.end() || !sim.RemoveObject(it->second))
                        sim.Note("scenario: AIRemove skipped: no AI aircraft " + Quote(key));
                    return;
                }
                for (const auto& o : sim.Objects())
                    if (o.title == title && o.createdBy.empty() && o.id != sim.UserAircraftId()) sim.RemoveObject(o.id);
            });
    } else if (kind == "Menu") {
        const int line = static_cast<int>(a.Num("line", 0, 1, 10));
        const std::string contains = a.Str("contains");
        if (line == 0 && contains.empty()) a.Problem("needs the attribute 'line' or 'contains'");
        if (ok())
            Add(at, [=](Simulator& sim) {
                auto menu = sim.OpenMenu();
                if (!menu) return sim.Note("scenario: no menu open to choose from");
                for (size_t i = 0; i < menu->lines.size(); ++i) {
                    const bool match = contains.empty() ? static_cast<int>(i) + 1 == line
                                                        : menu->lines[i].find(contains) != std::string::npos;
                    if (match) {
                        sim.ChooseMenuLine(static_cast<int>(i));
                        return;
                    }
                }
                sim.Note("scenario: menu " + Quote(menu->title) + " has no such line");
            });
    } else if (kind == "Key") {
        const std::string key = a.Required("key");
        if (ok()) Add(at, [=](Simulator& sim) { sim.PressKey(key); });
    } else if (kind == "AddonMenu") {
        const std::string item = a.Required("item"), sub = a.Str("sub");
        if (ok())
            Add(at, [=](Simulator& sim) {
                if (!sim.ChooseAddonMenuItem(item, sub))
                    sim.Note("scenario: add-on menu " + Quote(item) + (sub.empty() ? "" : " > " + Quote(sub)) +
                             " not found");
            });
    } else if (kind == "NamedVariable") {
        const std::string name = a.Required("name");
        const double value = a.Num("value", 0);
        if (ok())
            Add(at, [=](Simulator& sim) {
                ModuleHost::SetNamedVariable(name, value);
                sim.Note("named variable " + name + " = " + Number(value));
            });
    } else if (kind == "Refuse") {
        const std::string title = a.Required("title");
        if (ok())
            Add(at, [=](Simulator& sim) {
                sim.RefuseTitle(title);
                sim.Note("creations of " + Quote(title) + " will fail");
            });
    } else if (kind == "End") {
        if (!a.Has("time")) a.Problem("needs the attribute 'time'");
        if (ok()) settings.endSeconds = seconds;
    } else if (kind == "ApiClient") {
        ReadClient(e, a, at);
    } else if (kind == "Object") {
        const std::string client = a.Required("client");
        auto o = ReadObject(e);
        if (ok() && o)
            Add(at, [=, this](Simulator& sim) {
                if (ScenarioClient* c = Client(sim, client, "Object " + Quote(o->key))) CreateObject(sim, *c, *o);
            });
    } else if (kind == "RemoveObject") {
        const std::string client = a.Required("client"), key = a.Required("object");
        if (ok())
            Add(at, [=, this](Simulator&) {
                Defer(client, {key}, "RemoveObject " + Quote(key), [key](Simulator&, ScenarioClient& c) {
                    SimConnect_AIRemoveObject(c.handle, c.objects[key], c.nextRequest++);
                    c.Remember("removal of " + Quote(key));
                });
            });
    } else if (kind == "ClientEvent") {
        const std::string client = a.Required("client"), name = a.Required("name"), object = a.Str("object");
        const double data = a.Num("data", 0, 0, 4294967295.0);
        if (ok())
            Add(at, [=, this](Simulator&) {
                std::vector<std::string> keys;
                if (!object.empty()) keys.push_back(object);
                Defer(client, keys, "ClientEvent " + Quote(name), [=](Simulator&, ScenarioClient& c) {
                    const DWORD target = object.empty() ? SIMCONNECT_OBJECT_ID_USER : c.objects[object];
                    SimConnect_TransmitClientEvent(c.handle, target, c.Event(name), static_cast<DWORD>(data),
                                                   SIMCONNECT_GROUP_PRIORITY_HIGHEST,
                                                   SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
                    c.Remember("event " + Quote(name));
                });
            });
    } else if (kind == "Text") {
        ReadText(a, at);
    } else if (kind == "JetwayJob") {
        ReadJob(e, a, at);
    } else {
        a.Problem("unknown element");
    }
    for (const std::string& p : a.Problems())
        Warn(file + ":" + std::to_string(e->GetLineNum()) + ": " + kind + ": " + p + " (element skipped)");
}

std::optional<ObjectSpec> Scenario::State::ReadObject(const tinyxml2::XMLElement* e)
{
    Attrs a(e);
    ObjectSpec o;
    o.title = a.Required("title");
    o.key = a.Str("key", o.title);
    o.position.Latitude = a.Num("latitude", 0, -90, 90);
    o.position.Longitude = a.Num("longitude", 0, -180, 180);
    o.position.Altitude = a.Num("altitude", 0);
    o.position.Pitch = a.Num("pitch", 0, -360, 360);
    o.position.Bank = a.Num("bank", 0, -360, 360);
    o.position.Heading = a.Num("heading", 0, -360, 360);
    o.position.OnGround = a.Flag("onGround", true) ? 1 : 0;
    o.position.Airspeed = 0;
    a.Time();  // allowed on a top-level Object
    a.Str("client");
    if (a.Problems().empty()) return o;
    for (const std::string& p : a.Problems())
        Warn(file + ":" + std::to_string(e->GetLineNum()) + ": Object: " + p + " (element skipped)");
    return std::nullopt;
}

void Scenario::State::ReadClient(const tinyxml2::XMLElement* e, Attrs& a, uint64_t at)
{
    const std::string name = a.Required("name");
    if (!a.Problems().empty()) return;
    std::vector<std::string> listen;
    std::vector<ObjectSpec> objects;
    for (const auto* child = e->FirstChildElement(); child; child = child->NextSiblingElement()) {
        const std::string kind = child->Name();
        if (kind == "Object") {
            if (auto o = ReadObject(child)) objects.push_back(*o);
        } else if (kind == "Listen") {
            const char* ev = child->Attribute("event");
            if (ev && *ev) listen.emplace_back(ev);
            else Warn(file + ":" + std::to_string(child->GetLineNum()) + ": Listen: needs the attribute 'event' (element skipped)");
        } else {
            Warn(file + ":" + std::to_string(child->GetLineNum()) + ": " + kind + ": unknown element in ApiClient (element skipped)");
        }
    }
    Add(at, [=, this](Simulator& sim) {
        OpenClient(sim, name, listen);
        auto it = clients.find(name);
        if (it == clients.end() || !it->second.handle) return;
        for (const ObjectSpec& o : objects) CreateObject(sim, it->second, o);
    });
}

void Scenario::State::ReadText(Attrs& a, uint64_t at)
{
    const std::string client = a.Required("client");
    const std::string type = a.Str("type", "print");
    const double seconds = a.Num("seconds", 0, 0, 3600);
    std::string block;
    SIMCONNECT_TEXT_TYPE textType = SIMCONNECT_TEXT_TYPE_PRINT_WHITE;
    std::string what;
    if (type == "menu") {
        textType = SIMCONNECT_TEXT_TYPE_MENU;
        const std::string title = a.Required("title"), prompt = a.Str("prompt"), items = a.Required("items");
        // Entries are NUL-separated and end with an empty one; an empty prompt would end them early.
        block = title + '\0' + (prompt.empty() ? " " : prompt) + '\0';
        size_t start = 0, count = 0;
        for (;;) {
            const size_t bar = items.find('|', start);
            const std::string item = Trim(items.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
            if (!item.empty()) {
                block += item + '\0';
                ++count;
            }
            if (bar == std::string::npos) break;
            start = bar + 1;
        }
        if (count == 0 || count > 10) a.Problem("needs 1..10 items separated by '|'");
        block += '\0';
        what = "menu " + Quote(title);
    } else if (type == "print" || type == "scroll") {
        textType = type == "print" ? SIMCONNECT_TEXT_TYPE_PRINT_WHITE : SIMCONNECT_TEXT_TYPE_SCROLL_WHITE;
        const std::string text = a.Required("text");
        block = text + '\0';
        what = type + " text " + Quote(text);
    } else {
        a.Problem("type must be print, scroll or menu: '" + type + "'");
    }
    if (!a.Problems().empty()) return;
    Add(at, [=, this](Simulator& sim) {
        ScenarioClient* c = Client(sim, client, "Text");
        if (!c) return;
        const DWORD eventId = c->nextEvent++;
        c->texts[eventId] = what;
        SimConnect_Text(c->handle, textType, static_cast<float>(seconds), eventId, static_cast<DWORD>(block.size()),
                        const_cast<char*>(block.data()));
        c->Remember(what);
    });
}

void Scenario::State::ReadJob(const tinyxml2::XMLElement* e, Attrs& a, uint64_t at)
{
    const std::string client = a.Required("client");
    JobSpec job;
    job.jetway = a.Required("jetway");
    job.area = static_cast<DWORD>(a.Num("area", 1, 1, kJetwayAreas));
    JetwayData& r = job.record;
    const std::string type = Upper(Trim(a.Str("type", "A")));
    static const std::pair<const char*, uint32_t> types[] = {
        {"A", kJetwayTypeA}, {"N", kJetwayTypeN}, {"T", kJetwayTypeT}, {"H", kJetwayTypeH},
        {"1", kJetwayTypeA}, {"2", kJetwayTypeN}, {"3", kJetwayTypeT}, {"4", kJetwayTypeH}};
    auto t = std::find_if(std::begin(types), std::end(types), [&](const auto& p) { return type == p.first; });
    if (t == std::end(types)) a.Problem("type must be A, N, T or H: '" + type + "'");
    else r.JetwayType = t->second;
    // Zero period or keyframes is let through on purpose: the module must refuse such a job.
    r.PeriodMs = static_cast<uint32_t>(a.Num("periodMs", r.PeriodMs, 0, 600000));
    r.KeyframeCount = static_cast<uint32_t>(a.Num("keyframes", r.KeyframeCount, 0, 100000));
    r.RootRotationTime = a.Num("rootRotationTime", r.RootRotationTime, 0, 3600);
    r.BridgeExtensionTime = a.Num("bridgeExtensionTime", r.BridgeExtensionTime, 0, 3600);
    r.DipTime = a.Num("dipTime", r.DipTime, 0, 3600);
    r.HeadRotationTime = a.Num("headRotationTime", r.HeadRotationTime, 0, 3600);
    r.HoodTime = a.Num("hoodTime", r.HoodTime, 0, 3600);
    auto range = [&](const char* name, JetwayRange& out) {
        auto v = a.List(name, 2, 2);
        if (v.size() == 2) out = {v[0], v[1]};
    };
    range("rootSweep", r.RootSweepRange);
    range("bridgeDip", r.BridgeDipRange);
    range("headSweep", r.HeadSweepRange);
    range("bridgeLength", r.BridgeLengthRange);
    range("legLength", r.LegLengthRange);
    r.RootFloorHeight = a.Num("rootFloorHeight", 0);
    r.RootBridgeOffset = a.Num("rootBridgeOffset", 0);
    r.LegOffset = a.Num("legOffset", 0);
    r.StairLength = a.Num("stairLength", 0);
    r.StairOffset = a.Num("stairOffset", 0);
    r.WheelRadius = a.Num("wheelRadius", 0);
    if (auto p = a.List("placement", 4, 4); p.size() == 4) {
        r.JetwayLatitude = p[0];
        r.JetwayLongitude = p[1];
        r.JetwayAltitude = p[2];
        r.JetwayHeading = p[3];
    }
    auto parked = a.List("parked", 1, 4);
    r.PlacementPointCount = static_cast<int32_t>(parked.size());
    for (size_t i = 0; i < parked.size(); ++i) r.PlacementPoints[i] = parked[i];
    r.RetractFirst = a.Flag("retractFirst", false);
    r.LevelFirst = a.Flag("levelFirst", false);
    job.targetRotation = a.Num("targetRotation", 0);
    job.targetDip = a.Num("targetDip", 0);
    job.targetHead = a.Num("targetHead", 0);
    job.targetExtension = a.Num("targetExtension", 0);
    job.extensionVia = a.Num("extensionVia", 0);

    std::set<int> slots;
    for (const auto* p = e->FirstChildElement(); p; p = p->NextSiblingElement()) {
        if (std::string(p->Name()) != "Part") {
            a.Problem(std::string("unknown element ") + p->Name() + " in JetwayJob");
            continue;
        }
        Attrs pa(p);
        PartSpec part;
        part.slot = static_cast<int>(pa.Num("slot", 0, 1, JetwayData::kPartCount));
        part.object = pa.Required("object");
        part.title = pa.Str("title");
        part.link = pa.Str("link", "STATIC");
        LinkedSimObject probe;
        if (!probe.SetLinkTypeFromText(part.link)) pa.Problem("unknown link '" + part.link + "'");
        if (auto o = pa.List("offset", 3, 3); o.size() == 3) {
            part.x = o[0];
            part.y = o[1];
            part.z = o[2];
        }
        if (!slots.insert(part.slot).second) pa.Problem("slot " + std::to_string(part.slot) + " used twice");
        for (const std::string& problem : pa.Problems()) a.Problem("Part (line " + std::to_string(p->GetLineNum()) + "): " + problem);
        job.parts.push_back(part);
    }
    if (!a.Problems().empty()) return;

    std::vector<std::string> keys{job.jetway};
    for (const PartSpec& p : job.parts) keys.push_back(p.object);
    Add(at, [=, this](Simulator&) {
        Defer(client, keys, "JetwayJob for " + Quote(job.jetway),
              [=, this](Simulator& sim, ScenarioClient& c) { SendJob(sim, c, job); });
    });
}

// ---- Playing ----

void Scenario::State::OpenClient(Simulator& sim, const std::string& name, const std::vector<std::string>& listen)
{
    if (clients.count(name) && clients[name].handle) return sim.Note("scenario: client " + Quote(name) + " is already open");
    ScenarioClient& c = clients[name];
    c.name = name;
    if (SimConnect_Open(&c.handle, name.c_str(), nullptr, 0, nullptr, 0) != S_OK || !c.handle) {
        c.handle = nullptr;
        Warn("scenario client " + Quote(name) + " could not connect");
        return;
    }
    SimConnect_SetNotificationGroupPriority(c.handle, kClientGroup, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
    // It hears how the jetway jobs it sends go, and whatever else the scenario names.
    for (const char* e : {"VELK.JetwayAction.Start", "VELK.JetwayAction.DataReceived",
                          "VELK.JetwayAction.Intermediate", "VELK.JetwayAction.Done"})
        c.Event(e);
    for (const std::string& e : listen) c.Event(e);
}

void Scenario::State::CreateObject(Simulator&, ScenarioClient& c, const ObjectSpec& o)
{
    const DWORD request = c.nextRequest++;
    c.requests[request] = o.key;
    c.titles[o.key] = o.title;
    c.objects.erase(o.key);
    SimConnect_AICreateSimulatedObject(c.handle, o.title.c_str(), o.position, request);
    c.Remember("creation of " + Quote(o.title) + " as " + Quote(o.key));
    DWORD packet = 0;
    if (SimConnect_GetLastSentPacketID(c.handle, &packet) == S_OK) c.creationPackets[packet] = request;
}

void Scenario::State::SendJob(Simulator& sim, ScenarioClient& c, const JobSpec& spec)
{
    JetwayData r = spec.record;
    r.JetwayObjectId = c.objects[spec.jetway];
    for (const PartSpec& p : spec.parts) {
        LinkedSimObject& part = r.Parts[static_cast<size_t>(p.slot - 1)];
        part.SetSimTitle(p.title.empty() ? c.titles[p.object] : p.title);
        part.SetLinkTypeFromText(p.link);
        part.SetOffset(p.x, p.y, p.z);
        part.SetObjectId(c.objects[p.object]);
    }
    // The parked pose and the legs as the program's solver leaves them in a job.
    JetwayCore core;
    core.SetJetwayData(r);
    core.ComputeParkedPose();
    JetwayData& job = *core.GetJetwayData();
    const JetwayPose now = job.CurrentPose;
    job.TargetRootRotation = spec.targetRotation;
    job.TargetDip = spec.targetDip;
    job.TargetHead = spec.targetHead;
    job.TargetExtension = spec.targetExtension;
    job.ExtensionVia = spec.extensionVia;
    job.TargetLegLength = core.LegLength(spec.targetExtension, spec.targetDip);
    const double start = job.RetractFirst ? spec.extensionVia : now.extension;
    job.LegLengthVia = core.LegLength(spec.extensionVia, now.dip);
    job.LegLengthLevel = core.LegLength(start, 0.0);
    job.LegLengthAfterDip = core.LegLength(start, spec.targetDip);
    job.Moving = true;
    const JetwayBytes bytes = EncodeJetwayData(job);

    const std::string area = "VELK.JetwayData.In." + std::to_string(spec.area);
    sim.Note(Quote(c.name) + " sends a jetway job for object " + std::to_string(job.JetwayObjectId) + " through " +
             Quote(area));
    SimConnect_SetClientData(c.handle, c.Area(area), c.Definition(jetway_wire::kRecordSize), 0, 0,
                             static_cast<DWORD>(bytes.size()), const_cast<uint8_t*>(bytes.data()));
    c.Remember("write of " + Quote(area));
    SimConnect_TransmitClientEvent(c.handle, SIMCONNECT_OBJECT_ID_USER, c.Event("VELK.JetwayAction.Start"),
                                   job.JetwayObjectId * 10 + spec.area, SIMCONNECT_GROUP_PRIORITY_HIGHEST,
                                   SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
    c.Remember("event 'VELK.JetwayAction.Start'");
}

void Scenario::State::RunDeferred(Simulator& sim)
{
    for (size_t i = 0; i < deferred.size();) {
        Deferred& d = deferred[i];
        auto it = clients.find(d.client);
        ScenarioClient* c = it != clients.end() && it->second.handle && !it->second.quit ? &it->second : nullptr;
        std::string missing;
        bool waiting = false;
        for (const std::string& key : c ? d.keys : std::vector<std::string>{}) {
            if (c->objects.count(key)) continue;
            const bool pending = std::any_of(c->requests.begin(), c->requests.end(),
                                             [&](const auto& r) { return r.second == key; });
            // A failed creation, or an object never asked for, will not come.
            if (!pending) {
                missing = key;
                break;
            }
            waiting = true;
        }
        if (!c) {
            sim.Note("scenario: " + d.what + " skipped: no client " + Quote(d.client));
        } else if (!missing.empty()) {
            sim.Note("scenario: " + d.what + " skipped: no object " + Quote(missing));
        } else if (waiting) {
            ++i;  // the creation is not answered yet
            continue;
        } else {
            Deferred ready = std::move(d);
            deferred.erase(deferred.begin() + static_cast<long>(i));
            ready.run(sim, *c);
            continue;
        }
        deferred.erase(deferred.begin() + static_cast<long>(i));
    }
}

void Scenario::State::FollowPath(Simulator& sim, double t)
{
    if (path.empty() || t < path.front().t) return;
    size_t i = 0;
    while (i + 1 < path.size() && path[i + 1].t <= t) ++i;
    const PathPoint& a = path[i];
    const PathPoint& b = i + 1 < path.size() ? path[i + 1] : a;
    const double f = b.t > a.t ? std::clamp((t - a.t) / (b.t - a.t), 0.0, 1.0) : 0.0;
    auto mix = [&](double x, double y) { return x + (y - x) * f; };
    // The shorter way round between two headings.
    double turn = std::fmod(b.heading - a.heading, 360.0);
    if (turn > 180) turn -= 360;
    if (turn < -180) turn += 360;
    double heading = std::fmod(a.heading + turn * f + 360.0, 360.0);
    sim.SetUserPosition(mix(a.lat, b.lat), mix(a.lon, b.lon), mix(a.alt, b.alt), 0, 0, heading);
    sim.SetNumber(0, "GROUND VELOCITY", "Knots", mix(a.speed, b.speed));
    while (nextPointNoted < path.size() && path[nextPointNoted].t <= t) {
        const PathPoint& p = path[nextPointNoted++];
        sim.Note("user aircraft at path point " + std::to_string(nextPointNoted) + ": " +
                 Position(p.lat, p.lon, p.alt, p.heading) + ", " + Number(p.speed) + " kt");
    }
}

void Scenario::State::Receive(Simulator& sim, ScenarioClient& c, const SIMCONNECT_RECV* m, DWORD size)
{
    const std::string who = Quote(c.name);
    switch (m->dwID) {
    case SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID: {
        if (size < sizeof(SIMCONNECT_RECV_ASSIGNED_OBJECT_ID)) return;
        const auto* a = static_cast<const SIMCONNECT_RECV_ASSIGNED_OBJECT_ID*>(m);
        auto it = c.requests.find(a->dwRequestID);
        if (it == c.requests.end()) return;
        c.objects[it->second] = a->dwObjectID;
        sim.Note(who + " got object " + std::to_string(a->dwObjectID) + " for " + Quote(it->second));
        c.requests.erase(it);
        return;
    }
    case SIMCONNECT_RECV_ID_EXCEPTION: {
        if (size < sizeof(SIMCONNECT_RECV_EXCEPTION)) return;
        const auto* x = static_cast<const SIMCONNECT_RECV_EXCEPTION*>(m);
        auto what = c.packets.find(x->dwSendID);
        const std::string text = what == c.packets.end() ? "packet " + std::to_string(x->dwSendID) : what->second;
        sim.Note(who + " got exception " + std::to_string(x->dwException) + " for " + text);
        // A failed creation: the steps waiting for that object give up.
        if (auto p = c.creationPackets.find(x->dwSendID); p != c.creationPackets.end()) c.requests.erase(p->second);
        return;
    }
    case SIMCONNECT_RECV_ID_EVENT: {
        if (size < sizeof(SIMCONNECT_RECV_EVENT)) return;
        const auto* e = static_cast<const SIMCONNECT_RECV_EVENT*>(m);
        if (auto t = c.texts.find(e->uEventID); t != c.texts.end()) {
            const char* result = TextResultName(e->dwData);
            sim.Note(who + " got " + t->second + ": " +
                     (result ? std::string(result) : "line " + std::to_string(e->dwData + 1) + " chosen"));
            return;
        }
        auto name = c.events.find(e->uEventID);
        sim.Note(who + " received event " +
                 (name == c.events.end() ? std::to_string(e->uEventID) : Quote(name->second)) + " data " +
                 std::to_string(e->dwData));
        return;
    }
    case SIMCONNECT_RECV_ID_QUIT:
        sim.Note(who + " received quit");
        c.quit = true;
        return;
    default: return;
    }
}

// ---- Scenario ----

Scenario::Scenario(Sink warn) : state_(std::make_unique<State>())
{
    state_->warn = std::move(warn);
}

Scenario::~Scenario()
{
    CloseClients();
}

bool Scenario::LoadFile(const std::string& path, std::string* error)
{
    tinyxml2::XMLDocument doc;
    if (doc.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS) {
        if (error) *error = "cannot read scenario " + path + ": " + doc.ErrorStr();
        return false;
    }
    state_->file = path;
    return state_->Read(doc, std::filesystem::path(path).parent_path().string(), error);
}

bool Scenario::LoadText(const std::string& xml, const std::string& folder, std::string* error)
{
    tinyxml2::XMLDocument doc;
    if (doc.Parse(xml.c_str(), xml.size()) != tinyxml2::XML_SUCCESS) {
        if (error) *error = std::string("cannot read scenario: ") + doc.ErrorStr();
        return false;
    }
    return state_->Read(doc, folder, error);
}

ScenarioSettings& Scenario::Settings()
{
    return state_->settings;
}

const ScenarioSettings& Scenario::Settings() const
{
    return state_->settings;
}

void Scenario::Step(Simulator& sim)
{
    State& s = *state_;
    const uint64_t now = sim.NowMs();
    while (s.nextAction < s.actions.size() && s.actions[s.nextAction].at <= now) {
        // Moved out first: a step may add deferred steps but never new actions.
        auto run = s.actions[s.nextAction++].run;
        run(sim);
    }
    s.RunDeferred(sim);
    s.FollowPath(sim, static_cast<double>(now) / 1000.0);
}

void Scenario::PumpClients(Simulator& sim)
{
    for (auto& [name, c] : state_->clients) {
        if (!c.handle) continue;
        struct Context {
            State* state;
            Simulator* sim;
            ScenarioClient* client;
        } context{state_.get(), &sim, &c};
        SimConnect_CallDispatch(
            c.handle,
            [](SIMCONNECT_RECV* m, DWORD size, void* p) {
                auto* ctx = static_cast<Context*>(p);
                if (m && size >= sizeof(SIMCONNECT_RECV)) ctx->state->Receive(*ctx->sim, *ctx->client, m, size);
            },
            &context);
    }
    state_->RunDeferred(sim);
}

bool Scenario::Ended(uint64_t nowMs) const
{
    const double end = state_->settings.endSeconds;
    return end > 0 && static_cast<double>(nowMs) >= end * 1000.0;
}

void Scenario::CloseClients()
{
    for (auto& [name, c] : state_->clients) {
        if (c.handle) SimConnect_Close(c.handle);
        c.handle = nullptr;
    }
}

}  // namespace simulator
