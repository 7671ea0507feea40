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
constexpr double kMaxTextSeconds = 3600;   // an hour
constexpr double kMaxPhaseSeconds = 3600;  // of one phase of a jetway's motion

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
// The names asked for are remembered: an attribute that no reader asks for is unknown.
class Attrs {
public:
    explicit Attrs(const tinyxml2::XMLElement* e) : e_(e) {}

    bool Has(const char* name) const { return Get(name) != nullptr; }

    std::string Str(const char* name, const std::string& fallback = "") const
    {
        const char* v = Get(name);
        return v ? v : fallback;
    }

    std::string Required(const char* name)
    {
        const char* v = Get(name);
        if (!v || !*v) Problem(std::string("needs the attribute '") + name + "'");
        return v ? v : "";
    }

    // Missing: the fallback. Present: a finite number within [lo, hi].
    double Num(const char* name, double fallback, double lo = -1e12, double hi = 1e12)
    {
        const char* v = Get(name);
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
        const char* v = Get(name);
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
        const char* v = Get(name);
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

    // Missing: nothing. Present: as Num and Flag read it.
    std::optional<double> OptionalNum(const char* name, double lo = -1e12, double hi = 1e12)
    {
        if (!Has(name)) return std::nullopt;
        return Num(name, 0, lo, hi);
    }

    std::optional<bool> OptionalFlag(const char* name)
    {
        if (!Has(name)) return std::nullopt;
        return Flag(name, true);
    }

    std::optional<std::string> OptionalStr(const char* name) const
    {
        if (!Has(name)) return std::nullopt;
        return Str(name);
    }

    double Time() { return Num("time", 0, 0, kMaxSeconds); }

    void Problem(const std::string& text) { problems_.push_back(text); }
    // No problem so far.
    bool Clean() const { return problems_.empty(); }
    const std::vector<std::string>& Problems() const { return problems_; }

    // A fault that makes the whole scenario unplayable (the first one counts).
    void Refuse(const std::string& text)
    {
        if (refusal_.empty()) refusal_ = text;
    }
    // The refusal, else the first attribute in the element that no reader asked for; empty when none.
    std::string Refusal() const
    {
        if (!refusal_.empty()) return refusal_;
        for (const tinyxml2::XMLAttribute* a = e_->FirstAttribute(); a; a = a->Next())
            if (!asked_.count(a->Name())) return std::string("unknown attribute '") + a->Name() + "'";
        return {};
    }

private:
    const char* Get(const char* name) const
    {
        asked_.insert(name);
        return e_->Attribute(name);
    }

    const tinyxml2::XMLElement* e_;
    std::vector<std::string> problems_;
    std::string refusal_;
    mutable std::set<std::string> asked_;
};

// The AI TRAFFIC STATE texts a simulator gives its AI aircraft.
const char* const kAiTrafficStates[] = {
    "init",          "sleep",     "flt plan",  "startup",  "preflight support", "clearance", "push back 1",
    "push back 2",   "pre taxi out", "taxi out", "takeoff 1", "takeoff 2",       "T&G depart", "enroute",
    "pattern",       "landing",   "rollout",   "go around", "taxi in",          "shutdown",  "postflight support",
    "<unknown>",
};

// Refuses a state text that no simulator has (exact, case-sensitive).
void CheckAiState(Attrs& attrs, const std::optional<std::string>& state)
{
    if (!state) return;
    if (std::find_if(std::begin(kAiTrafficStates), std::end(kAiTrafficStates),
                     [&](const char* known) { return *state == known; }) == std::end(kAiTrafficStates))
        attrs.Refuse("'" + *state + "' is no AI traffic state (see simhost --help)");
}

struct PathPoint {
    double t, lat, lon, alt, heading, speed;
};

// A text or menu a client shows: the text type, the block as SimConnect_Text takes it, and how the timeline
// names it.
struct TextSpec {
    SIMCONNECT_TEXT_TYPE type = SIMCONNECT_TEXT_TYPE_PRINT_WHITE;
    std::string block;
    std::string what;
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

    // Removes its object of the key.
    void RemoveObject(const std::string& key)
    {
        SimConnect_AIRemoveObject(handle, objects[key], nextRequest++);
        Remember("removal of " + Quote(key));
    }

    // Sends the event at the highest priority, to its object of the key or (key empty) the user aircraft.
    void SendEvent(const std::string& eventName, const std::string& objectKey, double data)
    {
        const DWORD target = objectKey.empty() ? SIMCONNECT_OBJECT_ID_USER : objects[objectKey];
        SimConnect_TransmitClientEvent(handle, target, Event(eventName), static_cast<DWORD>(data),
                                       SIMCONNECT_GROUP_PRIORITY_HIGHEST, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
        Remember("event " + Quote(eventName));
    }

    void ShowText(const TextSpec& text, double seconds)
    {
        const DWORD eventId = nextEvent++;
        texts[eventId] = text.what;
        // The answer comes as a private event of this client, which it maps like any other.
        SimConnect_MapClientEventToSimEvent(handle, eventId, "");
        SimConnect_Text(handle, text.type, static_cast<float>(seconds), eventId, static_cast<DWORD>(text.block.size()),
                        const_cast<char*>(text.block.data()));
        Remember(text.what);
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

// One element of the scenario being read: the XML, its attributes (where every problem collects) and its time.
struct Element {
    const tinyxml2::XMLElement* xml;
    Attrs& attrs;
    double seconds;
    uint64_t at;  // ms of simulated time
};

// What an AIState element changes: only the attributes it gives.
struct AiChange {
    std::optional<double> latitude, longitude, altitudeFeet, headingDegrees;
    std::optional<bool> onGround;
    std::optional<std::string> state, airport, parking;

    void ApplyTo(AiAircraft& aircraft) const
    {
        if (latitude) aircraft.latitude = *latitude;
        if (longitude) aircraft.longitude = *longitude;
        if (altitudeFeet) aircraft.altitudeFeet = *altitudeFeet;
        if (headingDegrees) aircraft.headingDegrees = *headingDegrees;
        if (onGround) aircraft.onGround = *onGround;
        if (state) aircraft.state = *state;
        if (airport) aircraft.airport = *airport;
        if (parking) aircraft.parking = *parking;
    }
};

// The actions of a Sim element.
struct SimAction {
    const char* name;
    void (*run)(Simulator&);
};

const SimAction kSimActions[] = {
    {"start", [](Simulator& sim) { sim.StartSim(); }},
    {"stop", [](Simulator& sim) { sim.StopSim(); }},
    {"pause", [](Simulator& sim) { sim.SetPaused(true); }},
    {"unpause", [](Simulator& sim) { sim.SetPaused(false); }},
    {"sound-on", [](Simulator& sim) { sim.SetSound(true); }},
    {"sound-off", [](Simulator& sim) { sim.SetSound(false); }},
    {"position-changed", [](Simulator& sim) { sim.ChangePosition(); }},
    {"quit", [](Simulator& sim) { sim.Quit(); }},
};

// Answers the open menu with line number `line` (1..10) or, when `contains` is given, the first line that
// contains it.
void AnswerMenu(Simulator& sim, int line, const std::string& contains)
{
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
}

// Removes the simulator's own objects (AI traffic) of the title.
void RemoveAiByTitle(Simulator& sim, const std::string& title)
{
    for (const auto& object : sim.Objects())
        if (object.title == title && object.createdBy.empty() && object.id != sim.UserAircraftId())
            sim.RemoveObject(object.id);
}

// A menu: NUL-separated entries (title, prompt, items) ending with an empty one.
TextSpec ReadMenuText(Attrs& attrs)
{
    TextSpec text;
    text.type = SIMCONNECT_TEXT_TYPE_MENU;
    const std::string title = attrs.Required("title"), prompt = attrs.Str("prompt"), items = attrs.Required("items");
    // An empty prompt would end the entries early.
    text.block = title + '\0' + (prompt.empty() ? " " : prompt) + '\0';
    size_t start = 0, count = 0;
    for (;;) {
        const size_t bar = items.find('|', start);
        const std::string item = Trim(items.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (!item.empty()) {
            text.block += item + '\0';
            ++count;
        }
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    if (count == 0 || count > 10) attrs.Problem("needs 1..10 items separated by '|'");
    text.block += '\0';
    text.what = "menu " + Quote(title);
    return text;
}

// type: print or scroll.
TextSpec ReadPrintedText(Attrs& attrs, const std::string& type)
{
    TextSpec text;
    text.type = type == "print" ? SIMCONNECT_TEXT_TYPE_PRINT_WHITE : SIMCONNECT_TEXT_TYPE_SCROLL_WHITE;
    const std::string line = attrs.Required("text");
    text.block = line + '\0';
    text.what = type + " text " + Quote(line);
    return text;
}

// The jetway's own attributes of a JetwayJob into its record.
void ReadJetwayRecord(Attrs& attrs, JetwayData& record)
{
    const std::string type = Upper(Trim(attrs.Str("type", "A")));
    static const std::pair<const char*, uint32_t> types[] = {
        {"A", kJetwayTypeA}, {"N", kJetwayTypeN}, {"T", kJetwayTypeT}, {"H", kJetwayTypeH},
        {"1", kJetwayTypeA}, {"2", kJetwayTypeN}, {"3", kJetwayTypeT}, {"4", kJetwayTypeH}};
    auto known = std::find_if(std::begin(types), std::end(types), [&](const auto& entry) { return type == entry.first; });
    if (known == std::end(types)) attrs.Problem("type must be A, N, T or H: '" + type + "'");
    else record.JetwayType = known->second;
    // Zero period or keyframes is let through on purpose: the module must refuse such a job.
    record.PeriodMs = static_cast<uint32_t>(attrs.Num("periodMs", record.PeriodMs, 0, 600000));
    record.KeyframeCount = static_cast<uint32_t>(attrs.Num("keyframes", record.KeyframeCount, 0, 100000));
    record.RootRotationTime = attrs.Num("rootRotationTime", record.RootRotationTime, 0, kMaxPhaseSeconds);
    record.BridgeExtensionTime = attrs.Num("bridgeExtensionTime", record.BridgeExtensionTime, 0, kMaxPhaseSeconds);
    record.DipTime = attrs.Num("dipTime", record.DipTime, 0, kMaxPhaseSeconds);
    record.HeadRotationTime = attrs.Num("headRotationTime", record.HeadRotationTime, 0, kMaxPhaseSeconds);
    record.HoodTime = attrs.Num("hoodTime", record.HoodTime, 0, kMaxPhaseSeconds);
    auto range = [&](const char* name, JetwayRange& out) {
        auto bounds = attrs.List(name, 2, 2);
        if (bounds.size() == 2) out = {bounds[0], bounds[1]};
    };
    range("rootSweep", record.RootSweepRange);
    range("bridgeDip", record.BridgeDipRange);
    range("headSweep", record.HeadSweepRange);
    range("bridgeLength", record.BridgeLengthRange);
    range("legLength", record.LegLengthRange);
    record.RootFloorHeight = attrs.Num("rootFloorHeight", 0);
    record.RootBridgeOffset = attrs.Num("rootBridgeOffset", 0);
    record.LegOffset = attrs.Num("legOffset", 0);
    record.StairLength = attrs.Num("stairLength", 0);
    record.StairOffset = attrs.Num("stairOffset", 0);
    record.WheelRadius = attrs.Num("wheelRadius", 0);
    if (auto placement = attrs.List("placement", 4, 4); placement.size() == 4) {
        record.JetwayLatitude = placement[0];
        record.JetwayLongitude = placement[1];
        record.JetwayAltitude = placement[2];
        record.JetwayHeading = placement[3];
    }
    auto parked = attrs.List("parked", 1, 4);
    record.PlacementPointCount = static_cast<int32_t>(parked.size());
    for (size_t i = 0; i < parked.size(); ++i) record.PlacementPoints[i] = parked[i];
    record.RetractFirst = attrs.Flag("retractFirst", false);
    record.LevelFirst = attrs.Flag("levelFirst", false);
}

// Refuses the scenario for a fault of one element: (the element, its kind, what is wrong).
using Refuser = std::function<void(const tinyxml2::XMLElement*, const std::string&, const std::string&)>;

// The Part elements of a JetwayJob; their problems go to the job's attributes.
std::vector<PartSpec> ReadParts(const tinyxml2::XMLElement* job, Attrs& attrs, const Refuser& refuse)
{
    std::vector<PartSpec> parts;
    std::set<int> slots;
    for (const auto* xml = job->FirstChildElement(); xml; xml = xml->NextSiblingElement()) {
        if (std::string(xml->Name()) != "Part") {
            refuse(xml, xml->Name(), "unknown element in JetwayJob");
            continue;
        }
        Attrs partAttrs(xml);
        PartSpec part;
        part.slot = static_cast<int>(partAttrs.Num("slot", 0, 1, JetwayData::kPartCount));
        part.object = partAttrs.Required("object");
        part.title = partAttrs.Str("title");
        part.link = partAttrs.Str("link", "STATIC");
        LinkedSimObject probe;
        if (!probe.SetLinkTypeFromText(part.link)) partAttrs.Problem("unknown link '" + part.link + "'");
        if (auto offset = partAttrs.List("offset", 3, 3); offset.size() == 3) {
            part.x = offset[0];
            part.y = offset[1];
            part.z = offset[2];
        }
        if (!slots.insert(part.slot).second) partAttrs.Problem("slot " + std::to_string(part.slot) + " used twice");
        if (const std::string refusal = partAttrs.Refusal(); !refusal.empty()) refuse(xml, "Part", refusal);
        for (const std::string& problem : partAttrs.Problems())
            attrs.Problem("Part (line " + std::to_string(xml->GetLineNum()) + "): " + problem);
        parts.push_back(part);
    }
    return parts;
}

// The weather variables of a Weather element: attribute, variable, unit, range.
struct WeatherAttribute {
    const char* attribute;
    const char* variable;
    const char* unit;
    double lo, hi;
};

const WeatherAttribute kWeatherAttributes[] = {
    {"windDirection", "AMBIENT WIND DIRECTION", "Degrees", 0, 360},
    {"windSpeed", "AMBIENT WIND VELOCITY", "Knots", 0, 400},
    {"visibility", "AMBIENT VISIBILITY", "Meters", 0, 1e6},
    {"precipitation", "AMBIENT PRECIP STATE", "Mask", 0, 255},
    {"temperature", "AMBIENT TEMPERATURE", "Celsius", -100, 100},
    {"pressure", "SEA LEVEL PRESSURE", "Hectopascal", 800, 1200},
};

// The precipitation keywords; other values are masks given as numbers.
std::optional<double> PrecipitationMask(const std::string& text)
{
    const std::string t = Upper(Trim(text));
    if (t == "NONE") return 2;
    if (t == "RAIN") return 4;
    if (t == "SNOW") return 8;
    return std::nullopt;
}

// A local date and time; zoneOffset is the simulator's TIME ZONE OFFSET: zulu minus local, in minutes.
struct LocalDateTime {
    int year = 2026, month = 7, day = 15, hour = 12, minute = 0, zoneOffset = 0;
    int timeOfDay = -1;  // the simulator's TIME OF DAY (0 dawn, 1 day, 2 dusk, 3 night); -1: from the hour
};

bool IsLeapYear(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

int DayOfYear(const LocalDateTime& t)
{
    int day = t.day;
    for (int m = 1; m < t.month; ++m) day += DaysInMonth(t.year, m);
    return day;
}

// 0 = Sunday.
int Weekday(const LocalDateTime& t)
{
    // Days since Sunday, 31 December of year 0 in the proleptic Gregorian calendar.
    const long y = t.year - 1;
    const long days = y * 365 + y / 4 - y / 100 + y / 400 + DayOfYear(t);
    return static_cast<int>(days % 7);
}

// Dawn 05:00, day 07:00, dusk 18:00, night 20:00.
int TimeOfDay(const LocalDateTime& t)
{
    if (t.timeOfDay >= 0) return t.timeOfDay;
    if (t.hour < 5 || t.hour >= 20) return 3;
    if (t.hour < 7) return 0;
    return t.hour < 18 ? 1 : 2;
}

// Sets the date and time variables of the user aircraft. weekdayFromOne: the platform counts the days of
// the week 1 (Sunday) to 7; otherwise 0 to 6.
void SetDateTime(Simulator& sim, const LocalDateTime& t, bool weekdayFromOne)
{
    const int local = t.hour * 60 + t.minute;
    const int zulu = ((local + t.zoneOffset) % 1440 + 1440) % 1440;
    const int weekday = Weekday(t) + (weekdayFromOne ? 1 : 0);
    sim.SetNumber(0, "LOCAL YEAR", "Number", t.year);
    sim.SetNumber(0, "LOCAL MONTH OF YEAR", "Number", t.month);
    sim.SetNumber(0, "LOCAL DAY OF MONTH", "Number", t.day);
    sim.SetNumber(0, "LOCAL DAY OF YEAR", "Number", DayOfYear(t));
    sim.SetNumber(0, "LOCAL DAY OF WEEK", "Number", weekday);
    sim.SetNumber(0, "TIME ZONE OFFSET", "Minutes", t.zoneOffset);
    sim.SetNumber(0, "ZULU TIME", "Minutes", zulu);
    sim.SetNumber(0, "TIME OF DAY", "Enum", TimeOfDay(t));
    static const char* const kTimesOfDay[] = {"dawn", "day", "dusk", "night"};
    char text[160];
    std::snprintf(text, sizeof text,
                  "local date and time %04d-%02d-%02d %02d:%02d (day %d of the year, weekday %d, zulu %02d:%02d, "
                  "offset %d min, %s)",
                  t.year, t.month, t.day, t.hour, t.minute, DayOfYear(t), weekday, zulu / 60, zulu % 60,
                  t.zoneOffset, kTimesOfDay[TimeOfDay(t)]);
    sim.Note(text);
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

    std::vector<ClientHold> holds;
    size_t nextHold = 0;

    std::map<std::string, ScenarioClient> clients;  // by name
    std::map<std::string, AiAircraft> ai;           // by key
    std::map<std::string, ObjectId> aiIds;          // by key
    LocalDateTime dateTime;  // of the DateTime element read last: what the next one leaves out
    // The first fault that makes the scenario unplayable, with its file and line; empty: none.
    std::string refusal;

    void Warn(const std::string& text) const
    {
        if (warn) warn(text);
        else std::fprintf(stderr, "simhost: %s\n", text.c_str());
    }

    void Refuse(const tinyxml2::XMLElement* xml, const std::string& kind, const std::string& text)
    {
        if (refusal.empty()) refusal = file + ":" + std::to_string(xml->GetLineNum()) + ": " + kind + ": " + text;
    }
    Refuser RefuseFn()
    {
        return [this](const tinyxml2::XMLElement* xml, const std::string& kind, const std::string& text) {
            Refuse(xml, kind, text);
        };
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
    void ReadElement(const tinyxml2::XMLElement* xml);
    // One reader per element kind.
    void ReadAircraft(const Element& element);
    void ReadPoint(const Element& element);
    void ReadState(const Element& element);
    void ReadSim(const Element& element);
    void ReadFlight(const Element& element);
    void ReadAI(const Element& element);
    void ReadAIState(const Element& element);
    void ReadAIRemove(const Element& element);
    void ReadMenu(const Element& element);
    void ReadKey(const Element& element);
    void ReadAddonMenu(const Element& element);
    void ReadNamedVariable(const Element& element);
    void ReadRefuse(const Element& element);
    void ReadEnd(const Element& element);
    void ReadWaitClient(const Element& element);
    void ReadClient(const Element& element);
    void ReadObject(const Element& element);
    void ReadRemoveObject(const Element& element);
    void ReadClientEvent(const Element& element);
    void ReadText(const Element& element);
    void ReadJob(const Element& element);
    void ReadWeather(const Element& element);
    void ReadDateTime(const Element& element);
    // An object of a client, in an ApiClient or on its own; nothing (and the problems reported) when it has any.
    // With the element's own attributes given, their problems are left to the caller.
    std::optional<ObjectSpec> ReadObjectSpec(const tinyxml2::XMLElement* xml, Attrs* given = nullptr);

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
    if (a.Has("groundElevation")) settings.groundElevationFeet = a.Num("groundElevation", 0, -2000, 30000);
    if (const std::string r = a.Refusal(); !r.empty()) Refuse(root, "Scenario", r);
    for (const std::string& p : a.Problems())
        Warn(file + ":" + std::to_string(root->GetLineNum()) + ": Scenario: " + p + " (default used)");

    // A scenario that names what no simulator knows would play another day than the one written: refused
    // whole, at its first such fault.
    for (const auto* e = root->FirstChildElement(); e && refusal.empty(); e = e->NextSiblingElement()) ReadElement(e);
    if (!refusal.empty()) {
        if (error) *error = refusal;
        return false;
    }
    std::stable_sort(actions.begin(), actions.end(), [](const Action& x, const Action& y) { return x.at < y.at; });
    std::stable_sort(path.begin(), path.end(), [](const PathPoint& x, const PathPoint& y) { return x.t < y.t; });
    std::stable_sort(holds.begin(), holds.end(),
                     [](const ClientHold& x, const ClientHold& y) { return x.atMs < y.atMs; });
    return true;
}

void Scenario::State::ReadElement(const tinyxml2::XMLElement* xml)
{
    using ElementReader = void (State::*)(const Element&);
    static const std::map<std::string, ElementReader> readers = {
        {"Aircraft", &State::ReadAircraft},
        {"Point", &State::ReadPoint},
        {"State", &State::ReadState},
        {"Sim", &State::ReadSim},
        {"Flight", &State::ReadFlight},
        {"AI", &State::ReadAI},
        {"AIState", &State::ReadAIState},
        {"AIRemove", &State::ReadAIRemove},
        {"Menu", &State::ReadMenu},
        {"Key", &State::ReadKey},
        {"AddonMenu", &State::ReadAddonMenu},
        {"NamedVariable", &State::ReadNamedVariable},
        {"Refuse", &State::ReadRefuse},
        {"End", &State::ReadEnd},
        {"WaitClient", &State::ReadWaitClient},
        {"ApiClient", &State::ReadClient},
        {"Object", &State::ReadObject},
        {"RemoveObject", &State::ReadRemoveObject},
        {"ClientEvent", &State::ReadClientEvent},
        {"Text", &State::ReadText},
        {"JetwayJob", &State::ReadJob},
        {"Weather", &State::ReadWeather},
        {"DateTime", &State::ReadDateTime},
    };
    const std::string kind = xml->Name();
    Attrs attrs(xml);
    const double seconds = attrs.Time();
    const Element element{xml, attrs, seconds, static_cast<uint64_t>(std::llround(seconds * 1000.0))};
    // Each reader adds its step only when every attribute was read; the problems are reported here.
    auto reader = readers.find(kind);
    if (reader == readers.end()) return Refuse(xml, kind, "unknown element");
    (this->*reader->second)(element);
    if (const std::string r = attrs.Refusal(); !r.empty()) return Refuse(xml, kind, r);
    if (kind != "ApiClient" && kind != "JetwayJob")
        if (const auto* child = xml->FirstChildElement()) return Refuse(child, child->Name(), "unknown element in " + kind);
    if (!refusal.empty()) return;
    for (const std::string& problem : attrs.Problems())
        Warn(file + ":" + std::to_string(xml->GetLineNum()) + ": " + kind + ": " + problem + " (element skipped)");
}

void Scenario::State::ReadAircraft(const Element& element)
{
    Attrs& attrs = element.attrs;
    const std::string title = attrs.Str("title"), airFile = attrs.Str("file");
    const double latitude = attrs.Num("latitude", 0, -90, 90), longitude = attrs.Num("longitude", 0, -180, 180),
                 altitudeFeet = attrs.Num("altitude", 0), headingDegrees = attrs.Num("heading", 0, -360, 360);
    if (!attrs.Clean()) return;
    Add(element.at, [=](Simulator& sim) {
        sim.SetUserPosition(latitude, longitude, altitudeFeet, 0, 0, headingDegrees);
        if (!title.empty()) sim.SetText(0, "TITLE", title);
        sim.Note("user aircraft " + Quote(title) + " at " + Position(latitude, longitude, altitudeFeet, headingDegrees));
        if (!airFile.empty()) sim.LoadAircraft(airFile);
    });
}

void Scenario::State::ReadPoint(const Element& element)
{
    Attrs& attrs = element.attrs;
    const PathPoint point{element.seconds,
                          attrs.Num("latitude", 0, -90, 90),
                          attrs.Num("longitude", 0, -180, 180),
                          attrs.Num("altitude", 0),
                          attrs.Num("heading", 0, -360, 360),
                          attrs.Num("speed", 0, 0, 10000)};
    if (attrs.Clean()) path.push_back(point);
}

void Scenario::State::ReadState(const Element& element)
{
    Attrs& attrs = element.attrs;
    const std::string name = attrs.Required("name"), unit = attrs.Str("unit", "Number");
    const double value = attrs.Num("value", 0);
    if (!attrs.Clean()) return;
    Add(element.at, [=](Simulator& sim) {
        sim.SetNumber(0, name, unit, value);
        sim.Note("user aircraft: " + name + " = " + Number(value) + " (" + unit + ")");
    });
}

void Scenario::State::ReadSim(const Element& element)
{
    Attrs& attrs = element.attrs;
    const std::string action = attrs.Required("action");
    auto known = std::find_if(std::begin(kSimActions), std::end(kSimActions),
                              [&](const SimAction& entry) { return action == entry.name; });
    if (!action.empty() && known == std::end(kSimActions)) attrs.Problem("unknown action '" + action + "'");
    if (attrs.Clean()) Add(element.at, known->run);
}

void Scenario::State::ReadFlight(const Element& element)
{
    const std::string flightFile = element.attrs.Required("file");
    if (element.attrs.Clean()) Add(element.at, [=](Simulator& sim) { sim.LoadFlight(flightFile); });
}

void Scenario::State::ReadAI(const Element& element)
{
    Attrs& attrs = element.attrs;
    AiAircraft aircraft;
    aircraft.title = attrs.Required("title");
    const std::string key = attrs.Str("key", aircraft.title);
    aircraft.atcId = attrs.Str("atcId");
    aircraft.atcModel = attrs.Str("atcModel");
    aircraft.state = attrs.Str("state", aircraft.state);
    aircraft.airport = attrs.Str("airport");
    aircraft.parking = attrs.Str("parking");
    aircraft.latitude = attrs.Num("latitude", 0, -90, 90);
    aircraft.longitude = attrs.Num("longitude", 0, -180, 180);
    aircraft.altitudeFeet = attrs.Num("altitude", 0);
    aircraft.headingDegrees = attrs.Num("heading", 0, -360, 360);
    aircraft.onGround = attrs.Flag("onGround", true);
    CheckAiState(attrs, aircraft.state);
    if (!attrs.Clean()) return;
    Add(element.at, [=, this](Simulator& sim) {
        ai[key] = aircraft;
        aiIds[key] = sim.AddAiAircraft(aircraft);
    });
}

void Scenario::State::ReadAIState(const Element& element)
{
    Attrs& attrs = element.attrs;
    const std::string key = attrs.Required("ai");
    AiChange change;
    change.latitude = attrs.OptionalNum("latitude", -90, 90);
    change.longitude = attrs.OptionalNum("longitude", -180, 180);
    change.altitudeFeet = attrs.OptionalNum("altitude");
    change.headingDegrees = attrs.OptionalNum("heading", -360, 360);
    change.onGround = attrs.OptionalFlag("onGround");
    change.state = attrs.OptionalStr("state");
    change.airport = attrs.OptionalStr("airport");
    change.parking = attrs.OptionalStr("parking");
    CheckAiState(attrs, change.state);
    if (!attrs.Clean()) return;
    Add(element.at, [=, this](Simulator& sim) {
        auto aircraft = ai.find(key);
        if (aircraft == ai.end()) return sim.Note("scenario: AIState skipped: no AI aircraft " + Quote(key));
        change.ApplyTo(aircraft->second);
        if (!sim.UpdateAiAircraft(aiIds[key], aircraft->second))
            sim.Note("scenario: AIState skipped: AI aircraft " + Quote(key) + " is gone");
    });
}

void Scenario::State::ReadAIRemove(const Element& element)
{
    Attrs& attrs = element.attrs;
    const std::string key = attrs.Str("ai"), title = attrs.Str("title");
    if (key.empty() && title.empty()) attrs.Problem("needs the attribute 'ai' or 'title'");
    if (!attrs.Clean()) return;
    Add(element.at, [=, this](Simulator& sim) {
        if (key.empty()) return RemoveAiByTitle(sim, title);
        auto id = aiIds.find(key);
        if (id == aiIds.end() || !sim.RemoveObject(id->second))
            sim.Note("scenario: AIRemove skipped: no AI aircraft " + Quote(key));
    });
}

void Scenario::State::ReadMenu(const Element& element)
{
    Attrs& attrs = element.attrs;
    const int line = static_cast<int>(attrs.Num("line", 0, 1, 10));
    const std::string contains = attrs.Str("contains");
    if (line == 0 && contains.empty()) attrs.Problem("needs the attribute 'line' or 'contains'");
    if (attrs.Clean()) Add(element.at, [=](Simulator& sim) { AnswerMenu(sim, line, contains); });
}

void Scenario::State::ReadKey(const Element& element)
{
    const std::string key = element.attrs.Required("key");
    if (element.attrs.Clean()) Add(element.at, [=](Simulator& sim) { sim.PressKey(key); });
}

void Scenario::State::ReadAddonMenu(const Element& element)
{
    Attrs& attrs = element.attrs;
    const std::string item = attrs.Required("item"), sub = attrs.Str("sub");
    if (!attrs.Clean()) return;
    Add(element.at, [=](Simulator& sim) {
        if (!sim.ChooseAddonMenuItem(item, sub))
            sim.Note("scenario: add-on menu " + Quote(item) + (sub.empty() ? "" : " > " + Quote(sub)) + " not found");
    });
}

void Scenario::State::ReadNamedVariable(const Element& element)
{
    Attrs& attrs = element.attrs;
    const std::string name = attrs.Required("name");
    const double value = attrs.Num("value", 0);
    if (!attrs.Clean()) return;
    Add(element.at, [=](Simulator& sim) {
        ModuleHost::SetNamedVariable(name, value);
        sim.Note("named variable " + name + " = " + Number(value));
    });
}

void Scenario::State::ReadRefuse(const Element& element)
{
    const std::string title = element.attrs.Required("title");
    if (!element.attrs.Clean()) return;
    Add(element.at, [=](Simulator& sim) {
        sim.RefuseTitle(title);
        sim.Note("creations of " + Quote(title) + " will fail");
    });
}

void Scenario::State::ReadEnd(const Element& element)
{
    if (!element.attrs.Has("time")) element.attrs.Problem("needs the attribute 'time'");
    if (element.attrs.Clean()) settings.endSeconds = element.seconds;
}

void Scenario::State::ReadWaitClient(const Element& element)
{
    Attrs& attrs = element.attrs;
    ClientHold hold;
    hold.atMs = element.at;
    const std::string name = attrs.Required("name");
    hold.name = Trim(name);
    // A blank name would be in every client's name.
    if (!name.empty() && hold.name.empty()) attrs.Problem("attribute 'name' is blank");
    hold.timeoutSeconds = attrs.Num("timeout", hold.timeoutSeconds, 0, kMaxSeconds);
    if (attrs.Clean()) holds.push_back(hold);
}

void Scenario::State::ReadObject(const Element& element)
{
    const std::string client = element.attrs.Required("client");
    auto object = ReadObjectSpec(element.xml, &element.attrs);
    if (!element.attrs.Clean() || !object) return;
    Add(element.at, [=, this](Simulator& sim) {
        if (ScenarioClient* c = Client(sim, client, "Object " + Quote(object->key))) CreateObject(sim, *c, *object);
    });
}

void Scenario::State::ReadRemoveObject(const Element& element)
{
    Attrs& attrs = element.attrs;
    const std::string client = attrs.Required("client"), key = attrs.Required("object");
    if (!attrs.Clean()) return;
    Add(element.at, [=, this](Simulator&) {
        Defer(client, {key}, "RemoveObject " + Quote(key),
              [key](Simulator&, ScenarioClient& c) { c.RemoveObject(key); });
    });
}

void Scenario::State::ReadClientEvent(const Element& element)
{
    Attrs& attrs = element.attrs;
    const std::string client = attrs.Required("client"), name = attrs.Required("name"), object = attrs.Str("object");
    const double data = attrs.Num("data", 0, 0, 4294967295.0);
    if (!attrs.Clean()) return;
    Add(element.at, [=, this](Simulator&) {
        std::vector<std::string> keys;
        if (!object.empty()) keys.push_back(object);
        Defer(client, keys, "ClientEvent " + Quote(name),
              [=](Simulator&, ScenarioClient& c) { c.SendEvent(name, object, data); });
    });
}

void Scenario::State::ReadWeather(const Element& element)
{
    Attrs& attrs = element.attrs;
    std::vector<std::pair<const WeatherAttribute*, double>> values;
    for (const WeatherAttribute& w : kWeatherAttributes) {
        if (!attrs.Has(w.attribute)) continue;
        const auto keyword = w.unit == std::string("Mask") ? PrecipitationMask(attrs.Str(w.attribute)) : std::nullopt;
        values.emplace_back(&w, keyword ? *keyword : attrs.Num(w.attribute, 0, w.lo, w.hi));
    }
    if (values.empty()) attrs.Problem("needs at least one of windDirection, windSpeed, visibility, precipitation, "
                                      "temperature, pressure");
    if (!attrs.Clean()) return;
    Add(element.at, [=](Simulator& sim) {
        std::string text = "weather:";
        const char* separator = " ";
        for (const auto& [w, value] : values) {
            sim.SetWeather(w->variable, w->unit, value);
            text += separator + std::string(w->variable) + " = " + Number(value) + " (" + w->unit + ")";
            separator = ", ";
        }
        sim.Note(text);
    });
}

void Scenario::State::ReadDateTime(const Element& element)
{
    Attrs& attrs = element.attrs;
    LocalDateTime t = dateTime;
    t.year = static_cast<int>(attrs.Num("year", t.year, 1, 9999));
    t.month = static_cast<int>(attrs.Num("month", t.month, 1, 12));
    t.day = static_cast<int>(attrs.Num("day", t.day, 1, 31));
    t.hour = static_cast<int>(attrs.Num("hour", t.hour, 0, 23));
    t.minute = static_cast<int>(attrs.Num("minute", t.minute, 0, 59));
    t.zoneOffset = static_cast<int>(attrs.Num("zoneOffset", t.zoneOffset, -1440, 1440));
    const std::string timeOfDay = Upper(Trim(attrs.Str("timeOfDay")));
    static const char* const kNames[] = {"DAWN", "DAY", "DUSK", "NIGHT"};
    auto named = std::find(std::begin(kNames), std::end(kNames), timeOfDay);
    t.timeOfDay = named == std::end(kNames) ? -1 : static_cast<int>(named - std::begin(kNames));
    if (!timeOfDay.empty() && named == std::end(kNames)) attrs.Problem("timeOfDay must be dawn, day, dusk or night");
    if (attrs.Clean())
        for (const char* whole : {"year", "month", "day", "hour", "minute", "zoneOffset"})
            if (auto v = attrs.OptionalNum(whole); v && *v != std::floor(*v))
                attrs.Problem(std::string(whole) + " is not whole");
    if (attrs.Clean() && t.day > DaysInMonth(t.year, t.month)) attrs.Problem("no such day in that month");
    if (!attrs.Clean()) return;
    dateTime = t;
    Add(element.at, [=, this](Simulator& sim) {
        const std::string& p = settings.platform;
        SetDateTime(sim, t, p == "P3Dv3" || p == "P3Dv4" || p == "P3Dv5");
    });
}

std::optional<ObjectSpec> Scenario::State::ReadObjectSpec(const tinyxml2::XMLElement* xml, Attrs* given)
{
    Attrs local(xml);
    Attrs& attrs = given ? *given : local;
    ObjectSpec object;
    object.title = attrs.Required("title");
    object.key = attrs.Str("key", object.title);
    object.position.Latitude = attrs.Num("latitude", 0, -90, 90);
    object.position.Longitude = attrs.Num("longitude", 0, -180, 180);
    object.position.Altitude = attrs.Num("altitude", 0);
    object.position.Pitch = attrs.Num("pitch", 0, -360, 360);
    object.position.Bank = attrs.Num("bank", 0, -360, 360);
    object.position.Heading = attrs.Num("heading", 0, -360, 360);
    object.position.OnGround = attrs.Flag("onGround", true) ? 1 : 0;
    object.position.Airspeed = 0;
    attrs.Time();  // allowed on a top-level Object
    attrs.Str("client");
    if (given) return attrs.Clean() ? std::optional<ObjectSpec>(object) : std::nullopt;
    if (const std::string r = attrs.Refusal(); !r.empty()) {
        Refuse(xml, "Object", r);
        return std::nullopt;
    }
    if (attrs.Clean()) return object;
    for (const std::string& problem : attrs.Problems())
        Warn(file + ":" + std::to_string(xml->GetLineNum()) + ": Object: " + problem + " (element skipped)");
    return std::nullopt;
}

void Scenario::State::ReadClient(const Element& element)
{
    const std::string name = element.attrs.Required("name");
    if (!element.attrs.Clean()) return;
    std::vector<std::string> listen;
    std::vector<ObjectSpec> objects;
    for (const auto* child = element.xml->FirstChildElement(); child; child = child->NextSiblingElement()) {
        const std::string kind = child->Name();
        const std::string where = file + ":" + std::to_string(child->GetLineNum()) + ": ";
        if (kind == "Object") {
            if (auto object = ReadObjectSpec(child)) objects.push_back(*object);
        } else if (kind == "Listen") {
            Attrs listenAttrs(child);
            const std::string eventName = listenAttrs.Str("event");
            if (const std::string r = listenAttrs.Refusal(); !r.empty()) Refuse(child, kind, r);
            else if (!eventName.empty()) listen.push_back(eventName);
            else Warn(where + "Listen: needs the attribute 'event' (element skipped)");
        } else {
            Refuse(child, kind, "unknown element in ApiClient");
        }
    }
    Add(element.at, [=, this](Simulator& sim) {
        OpenClient(sim, name, listen);
        auto client = clients.find(name);
        if (client == clients.end() || !client->second.handle) return;
        for (const ObjectSpec& object : objects) CreateObject(sim, client->second, object);
    });
}

void Scenario::State::ReadText(const Element& element)
{
    Attrs& attrs = element.attrs;
    const std::string client = attrs.Required("client");
    const std::string type = attrs.Str("type", "print");
    const double seconds = attrs.Num("seconds", 0, 0, kMaxTextSeconds);
    TextSpec text;
    if (type == "menu") text = ReadMenuText(attrs);
    else if (type == "print" || type == "scroll") text = ReadPrintedText(attrs, type);
    else attrs.Problem("type must be print, scroll or menu: '" + type + "'");
    if (!attrs.Clean()) return;
    Add(element.at, [=, this](Simulator& sim) {
        ScenarioClient* c = Client(sim, client, "Text");
        if (c) c->ShowText(text, seconds);
    });
}

void Scenario::State::ReadJob(const Element& element)
{
    Attrs& attrs = element.attrs;
    const std::string client = attrs.Required("client");
    JobSpec job;
    job.jetway = attrs.Required("jetway");
    job.area = static_cast<DWORD>(attrs.Num("area", 1, 1, kJetwayAreas));
    ReadJetwayRecord(attrs, job.record);
    job.targetRotation = attrs.Num("targetRotation", 0);
    job.targetDip = attrs.Num("targetDip", 0);
    job.targetHead = attrs.Num("targetHead", 0);
    job.targetExtension = attrs.Num("targetExtension", 0);
    job.extensionVia = attrs.Num("extensionVia", 0);
    job.parts = ReadParts(element.xml, attrs, RefuseFn());
    if (!attrs.Clean()) return;

    std::vector<std::string> keys{job.jetway};
    for (const PartSpec& part : job.parts) keys.push_back(part.object);
    Add(element.at, [=, this](Simulator&) {
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
        if (error) {
            const std::string line = doc.ErrorLineNum() > 0 ? ":" + std::to_string(doc.ErrorLineNum()) : "";
            *error = path + line + ": cannot read scenario: " + doc.ErrorStr();
        }
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

std::optional<ClientHold> Scenario::TakeHold(uint64_t nowMs)
{
    State& s = *state_;
    if (s.nextHold >= s.holds.size() || s.holds[s.nextHold].atMs > nowMs) return std::nullopt;
    return s.holds[s.nextHold++];
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
