#include "simulator/Simulator.h"

#include "foundation/Units.h"
#include "platform/simconnect/Transport.h"
#include "platform/simconnect/Wire.h"
#include "simulator/Variables.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <set>

namespace simulator {

namespace sc = platform::simconnect;

namespace {

constexpr ObjectId kUserId = 1;
constexpr size_t kMaxOutboxBytes = 64u << 20;
constexpr DWORD kMaxRadiusMeters = 200000;
// The equatorial radius of the earth, for distances on a sphere.
constexpr double kEarthRadiusMeters = 6378137.0;

// The system events a client may subscribe to, with the spelling the simulator uses.
const char* const kSystemEvents[] = {
    "1sec",       "4sec",        "6Hz",         "AircraftLoaded", "Crashed",  "CrashReset",    "FlightLoaded",
    "FlightSaved", "Frame",      "Pause",       "Paused",         "PauseFrame", "PositionChanged", "Sim",
    "SimStart",   "SimStop",     "Sound",       "Unpaused",       "View",     "ObjectAdded",   "ObjectRemoved",
};

std::string CanonicalSystemEvent(std::string_view name)
{
    const std::string upper = Upper(name);
    for (const char* e : kSystemEvents)
        if (Upper(e) == upper) return e;
    return {};
}

std::string NormalizeKey(std::string_view key)
{
    std::string out;
    for (char c : key)
        if (c != ' ' && c != '\t') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string Format(const char* fmt, double v)
{
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), fmt, v);
    return buffer;
}

double HaversineMeters(double lat1, double lon1, double lat2, double lon2)
{
    constexpr double kRad = units::kRadiansPerDegree;
    const double dLat = (lat2 - lat1) * kRad, dLon = (lon2 - lon1) * kRad;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(lat1 * kRad) * std::cos(lat2 * kRad) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadiusMeters * std::asin(std::min(1.0, std::sqrt(a)));
}

std::string TextTypeName(DWORD type)
{
    static const char* const colours[] = {"black", "white", "red", "green", "blue", "yellow", "magenta", "cyan"};
    if (type <= SIMCONNECT_TEXT_TYPE_SCROLL_CYAN) return std::string("scroll ") + colours[type];
    if (type >= SIMCONNECT_TEXT_TYPE_PRINT_BLACK && type <= SIMCONNECT_TEXT_TYPE_PRINT_CYAN)
        return std::string("print ") + colours[type - SIMCONNECT_TEXT_TYPE_PRINT_BLACK];
    return "menu";
}

// ---- texts of the registration lines ----

std::string PriorityText(DWORD priority)
{
    switch (priority) {
    case SIMCONNECT_GROUP_PRIORITY_HIGHEST: return "highest";
    case SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE: return "highest maskable";
    case SIMCONNECT_GROUP_PRIORITY_STANDARD: return "standard";
    case SIMCONNECT_GROUP_PRIORITY_DEFAULT: return "default";
    case SIMCONNECT_GROUP_PRIORITY_LOWEST: return "lowest";
    default: return std::to_string(priority);
    }
}

std::string DataTypeText(DWORD type)
{
    static const char* const names[] = {"INT32",     "INT64",     "FLOAT32",   "FLOAT64",
                                        "STRING8",   "STRING32",  "STRING64",  "STRING128",
                                        "STRING256", "STRING260", "STRINGV"};
    if (type >= SIMCONNECT_DATATYPE_INT32 && type <= SIMCONNECT_DATATYPE_STRINGV) return names[type - 1];
    return "type " + std::to_string(type);
}

std::string PeriodText(DWORD period)
{
    switch (period) {
    case SIMCONNECT_PERIOD_NEVER: return "never";
    case SIMCONNECT_PERIOD_ONCE: return "once";
    case SIMCONNECT_PERIOD_VISUAL_FRAME: return "every visual frame";
    case SIMCONNECT_PERIOD_SIM_FRAME: return "every sim frame";
    case SIMCONNECT_PERIOD_SECOND: return "every second";
    default: return "period " + std::to_string(period);
    }
}

std::string ClientPeriodText(DWORD period)
{
    switch (period) {
    case SIMCONNECT_CLIENT_DATA_PERIOD_NEVER: return "never";
    case SIMCONNECT_CLIENT_DATA_PERIOD_ONCE: return "once";
    case SIMCONNECT_CLIENT_DATA_PERIOD_VISUAL_FRAME: return "every visual frame";
    case SIMCONNECT_CLIENT_DATA_PERIOD_ON_SET: return "on every write";
    case SIMCONNECT_CLIENT_DATA_PERIOD_SECOND: return "every second";
    default: return "period " + std::to_string(period);
    }
}

std::string ObjectTypeText(DWORD type)
{
    switch (type) {
    case SIMCONNECT_SIMOBJECT_TYPE_USER: return "the user aircraft";
    case SIMCONNECT_SIMOBJECT_TYPE_ALL: return "every object";
    case SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT: return "every aircraft";
    case SIMCONNECT_SIMOBJECT_TYPE_HELICOPTER: return "every helicopter";
    case SIMCONNECT_SIMOBJECT_TYPE_BOAT: return "every boat";
    case SIMCONNECT_SIMOBJECT_TYPE_GROUND: return "every ground vehicle";
    default: return "objects of type " + std::to_string(type);
    }
}

// What a periodic request adds to its period: ", origin 2, interval 1, limit 5, when changed".
std::string RequestDetails(DWORD origin, DWORD interval, DWORD limit, bool changed)
{
    std::string text;
    if (origin) text += ", origin " + std::to_string(origin);
    if (interval) text += ", interval " + std::to_string(interval);
    if (limit) text += ", limit " + std::to_string(limit);
    if (changed) text += ", when changed";
    return text;
}

// Whether the entries of a NUL-separated text end with an empty entry inside the block, as a menu's
// must: the simulator reads a menu's items up to that empty entry, whatever the block's size says.
bool HasEmptyEntry(const Bytes& block)
{
    size_t pos = 0;
    while (pos < block.size()) {
        if (block[pos] == 0) return true;
        while (pos < block.size() && block[pos] != 0) ++pos;
        ++pos;
    }
    return false;
}

// The entries of a NUL-separated text, up to the first empty entry or the end of the block.
std::vector<std::string> SplitEntries(const Bytes& block)
{
    std::vector<std::string> entries;
    size_t pos = 0;
    while (pos < block.size()) {
        size_t end = pos;
        while (end < block.size() && block[end] != 0) ++end;
        if (end == pos) break;
        entries.emplace_back(reinterpret_cast<const char*>(block.data() + pos), end - pos);
        pos = end + 1;
    }
    return entries;
}

struct Group {
    DWORD priority = SIMCONNECT_GROUP_PRIORITY_DEFAULT;
    std::vector<std::pair<DWORD, bool>> members;  // event id, maskable
};

struct InputMapping {
    DWORD group;
    std::string key;
    DWORD down, downValue, up, upValue;
};

struct Periodic {
    DWORD period = 0;
    DWORD flags = 0;
    DWORD origin = 0, interval = 0, limit = 0;
    uint64_t ticks = 0;
    uint32_t sent = 0;
    bool hasLast = false;
    Bytes last;

    // Counts one period; true when this one is due for an answer.
    bool Tick()
    {
        ++ticks;
        if (ticks <= origin) return false;
        return (ticks - origin - 1) % (static_cast<uint64_t>(interval) + 1) == 0;
    }
};

struct DataRequest : Periodic {
    DWORD requestId = 0, defineId = 0;
    ObjectId objectId = 0;
};

struct ClientDataRequest : Periodic {
    DWORD requestId = 0, areaId = 0, defineId = 0;
};

struct ClientBlock {
    DWORD offset, size;
};

struct AddonItem {
    std::string text;
    DWORD data = 0;
    struct Sub {
        std::string text;
        DWORD event, data;
    };
    std::vector<Sub> subs;
};

struct Client {
    uint32_t id = 0;
    std::string name;
    bool connected = true;
    bool remote = false;  // over the socket
    bool opened = false;  // its Open arrived
    // It asked for messages and none were waiting: it has handled everything sent to it so far.
    bool idle = false;
    // When it last dispatched or said it took or handled messages (real time); its connection counts as
    // the first. A client silent for longer than Simulator::kSilentClientMs is not waited for.
    std::chrono::steady_clock::time_point lastHeard = std::chrono::steady_clock::now();
    // Messages that left the outbox, and how many of them the client says it took.
    uint32_t taken = 0;
    uint32_t fetched = 0;
    // Told when a message starts to wait in the outbox (the socket server sends it then).
    std::function<void()> wake;
    std::deque<Bytes> outbox;
    size_t outboxBytes = 0;
    bool overflowNoted = false;
    std::map<DWORD, std::string> events;  // client event id -> name, "" for a private event
    std::map<DWORD, Group> groups;
    std::map<DWORD, std::string> systemEvents;  // subscription id -> canonical name
    std::vector<InputMapping> inputs;
    std::map<DWORD, bool> inputGroupOn;
    std::map<DWORD, std::vector<Field>> defs;
    std::map<DWORD, DataRequest> requests;
    std::map<DWORD, std::string> areaNames;  // client area id -> area name
    std::map<DWORD, std::vector<ClientBlock>> clientDefs;
    std::map<DWORD, ClientDataRequest> clientRequests;
    std::map<DWORD, AddonItem> addon;  // by menu event
    std::string reservedKey;
    DWORD reservedEvent = SIMCONNECT_UNUSED;
};

struct SimObject {
    ObjectId id = 0;
    std::string title;
    DWORD type = SIMCONNECT_SIMOBJECT_TYPE_GROUND;
    uint32_t owner = 0;  // client id, 0 for the simulator's own
    Variables vars;
};

struct Area {
    std::string name;
    Bytes data;
    uint32_t creator = 0;
    bool readOnly = false;
};

struct PendingCreation {
    uint32_t client;
    std::string title;
    SIMCONNECT_DATA_INITPOSITION position{};
    DWORD requestId, sendId;
    int framesLeft;
};

struct Menu {
    uint32_t client;
    DWORD eventId;
    std::string title, prompt;
    std::vector<std::string> lines;
    uint64_t timeoutAt = 0;  // 0: none
    size_t blockBytes = 0;   // as the client sent it
};

struct PrintedText {
    uint32_t client;
    DWORD type, eventId;
    double seconds;
    std::string text;
    uint64_t expiresAt;
};

// ---- decoding requests ----

bool ReadField(sc::Reader& reader, DWORD& value) { return reader.U32(value); }
bool ReadField(sc::Reader& reader, float& value) { return reader.F32(value); }
bool ReadField(sc::Reader& reader, double& value) { return reader.F64(value); }
bool ReadField(sc::Reader& reader, std::string& text) { return reader.Text(text); }
bool ReadField(sc::Reader& reader, Bytes& block) { return reader.Block(block); }

// Reads the fields in order and stops at the first that is missing.
template <typename... Fields>
bool ReadFields(sc::Reader& reader, Fields&... fields)
{
    return (ReadField(reader, fields) && ...);
}

// What a data or client-data request ends with: period, flags, origin, interval, limit.
bool ReadPeriod(sc::Reader& reader, Periodic& request)
{
    return ReadFields(reader, request.period, request.flags, request.origin, request.interval, request.limit);
}

// The size of every record of the definition; nothing when a field has a variable length.
std::optional<size_t> FixedRecordSize(const std::vector<Field>& fields)
{
    bool fixed = true;
    size_t size = 0;
    for (const Field& field : fields) {
        fixed = fixed && field.type != SIMCONNECT_DATATYPE_STRINGV;
        size += FieldSize(field.type);
    }
    return fixed ? std::optional(size) : std::nullopt;
}

// A client-data field is given by its size in bytes or by one of the typed sizes INT8 .. FLOAT64.
bool IsTypedClientField(DWORD sizeOrType) { return sizeOrType >= SIMCONNECT_CLIENTDATATYPE_FLOAT64; }

DWORD TypedClientFieldIndex(DWORD sizeOrType) { return static_cast<DWORD>(-static_cast<int32_t>(sizeOrType)) - 1; }

std::string ClientFieldText(DWORD sizeOrType)
{
    static const char* const typed[] = {"INT8", "INT16", "INT32", "INT64", "FLOAT32", "FLOAT64"};
    return IsTypedClientField(sizeOrType) ? std::string(typed[TypedClientFieldIndex(sizeOrType)])
                                          : std::to_string(sizeOrType) + " bytes";
}

DWORD ClientFieldSize(DWORD sizeOrType)
{
    static const DWORD typed[] = {1, 2, 4, 8, 4, 8};  // INT8 .. FLOAT64
    return IsTypedClientField(sizeOrType) ? typed[TypedClientFieldIndex(sizeOrType)] : sizeOrType;
}

// The first offset after every block of a client-data definition.
DWORD EndOfBlocks(const std::vector<ClientBlock>& blocks)
{
    DWORD end = 0;
    for (const ClientBlock& block : blocks) end = std::max(end, block.offset + block.size);
    return end;
}

uint64_t PeriodTime(uint64_t index, double perSecond)
{
    return static_cast<uint64_t>(std::floor(static_cast<double>(index) * 1000.0 / perSecond));
}

}  // namespace

struct Simulator::Impl : std::enable_shared_from_this<Simulator::Impl> {
    mutable std::mutex mutex;
    // Signalled when a client connects, dispatches or goes away.
    std::condition_variable clientsChanged;
    std::string name;
    bool accepting = true;
    uint32_t nextClient = 1;
    std::map<uint32_t, Client> clients;

    uint64_t now = 0;
    double fps = 30.0;
    uint64_t frameBase = 0, frameIndex = 0;
    uint64_t sixHzIndex = 0, secondIndex = 0;

    bool running = false, paused = false, soundOn = true;
    std::string aircraftFile, flightFile;

    ObjectId nextObject = kUserId + 1;
    std::map<ObjectId, SimObject> objects;
    std::set<std::string> refusedTitles;
    // World weather, by upper-case name: every object carries it.
    struct WorldValue {
        std::string name, unit;
        double value;
    };
    std::map<std::string, WorldValue> weather;
    int creationDelay = 0;
    std::optional<double> groundElevationFeet;  // where objects created on the ground stand; none: as asked
    std::vector<PendingCreation> creations;

    std::map<std::string, Area> areas;  // by upper-case name

    std::optional<Menu> menu;
    std::vector<PrintedText> texts;

    // The kept lines of the timeline, one after another in one text, and where each starts.
    bool keepTimeline = true;
    std::string timelineText;
    std::vector<size_t> lineStarts;
    std::string line;        // the line being logged
    std::string changeText;  // the text of a data write being logged
    std::function<void(const std::string&)> listener;
    bool registrations = false;  // a line per registration call of a client

    std::shared_ptr<sc::Endpoint> endpoint;
    std::shared_ptr<sc::SocketServer> socketServer;
    // A message waits for a client on the socket: sent before the request that caused it is answered.
    std::atomic<bool> socketMessagesWaiting{false};
    // While set, messages to clients on the socket stay in their outboxes (HoldSocketMessages).
    bool socketHeld = false;

    Impl()
    {
        SimObject& user = objects[kUserId];
        user.id = kUserId;
        user.title = "User Aircraft";
        user.type = SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT;
        user.vars.SetNumber("IS USER SIM", "Bool", 1);
        user.vars.SetNumber("SIM ON GROUND", "Bool", 1);
        for (const WorldValue& w : std::initializer_list<WorldValue>{{"AMBIENT WIND DIRECTION", "Degrees", 270},
                                                                     {"AMBIENT WIND VELOCITY", "Knots", 8},
                                                                     {"AMBIENT VISIBILITY", "Meters", 20000},
                                                                     {"AMBIENT PRECIP STATE", "Mask", 2},
                                                                     {"AMBIENT TEMPERATURE", "Celsius", 15},
                                                                     {"SEA LEVEL PRESSURE", "Hectopascal", 1013}})
            SetWeather(w);
    }

    // ---- helpers ----

    // Whether a line logged now is kept or shown: otherwise it need not be built.
    bool TimelineWanted() const { return keepTimeline || listener; }

    void Log(std::string_view text)
    {
        if (!TimelineWanted()) return;
        char stamp[32];
        std::snprintf(stamp, sizeof(stamp), "[%9.3f] ", static_cast<double>(now) / 1000.0);
        line.assign(stamp);
        line.append(text);
        if (keepTimeline) {
            lineStarts.push_back(timelineText.size());
            timelineText.append(line);
        }
        if (listener) listener(line);
    }

    static std::string Quote(const std::string& s) { return "'" + s + "'"; }

    // A registration call of the client, when those are shown. Built only then: some of these calls
    // (requests) come every frame.
    template <typename Text>
    void Registration(const Client& c, Text text)
    {
        if (registrations) Log(Quote(ClientName(c)) + " " + text());
    }

    std::string RequestTarget(ObjectId id) const
    {
        if (id == SIMCONNECT_OBJECT_ID_USER || id == kUserId) return "the user aircraft";
        const SimObject* o = FindObject(id);
        return o ? "object " + Describe(*o) : "object " + std::to_string(id);
    }

    std::string AreaText(const Client& c, DWORD areaId) const
    {
        auto it = c.areaNames.find(areaId);
        return "area " + std::to_string(areaId) + (it == c.areaNames.end() ? std::string() : " " + Quote(it->second));
    }

    std::string ClientName(const Client& c) const
    {
        return c.name.empty() ? "client " + std::to_string(c.id) : c.name;
    }

    void Push(Client& c, Bytes message)
    {
        if (!c.connected) return;
        if (c.outboxBytes + message.size() > kMaxOutboxBytes) {
            if (!c.overflowNoted) Log("messages to " + Quote(ClientName(c)) + " dropped: it does not dispatch");
            c.overflowNoted = true;
            return;
        }
        c.outboxBytes += message.size();
        const bool first = c.outbox.empty();
        c.outbox.push_back(std::move(message));
        c.idle = false;
        if (c.remote && socketHeld) return;
        if (c.remote) socketMessagesWaiting = true;
        if (first && c.wake) c.wake();
    }

    void Fail(Client& c, DWORD exception, DWORD sendId, DWORD index)
    {
        Log("exception " + std::to_string(exception) + " to " + Quote(ClientName(c)) + " for packet " +
            std::to_string(sendId) + ", argument " + std::to_string(index));
        Push(c, sc::MakeException(exception, sendId, index));
    }

    SimObject* FindObject(ObjectId id)
    {
        if (id == SIMCONNECT_OBJECT_ID_USER) id = kUserId;
        auto it = objects.find(id);
        return it == objects.end() ? nullptr : &it->second;
    }

    const SimObject* FindObject(ObjectId id) const { return const_cast<Impl*>(this)->FindObject(id); }

    std::string Describe(const SimObject& o) const { return std::to_string(o.id) + " " + Quote(o.title); }

    std::string PositionText(const SimObject& o) const
    {
        const auto& v = o.vars;
        return Format("%.6f", v.Number("PLANE LATITUDE", "degrees").value_or(0)) + ", " +
               Format("%.6f", v.Number("PLANE LONGITUDE", "degrees").value_or(0)) + ", " +
               Format("%.1f ft", v.Number("PLANE ALTITUDE", "feet").value_or(0)) + ", heading " +
               Format("%.1f", v.Number("PLANE HEADING DEGREES TRUE", "degrees").value_or(0));
    }

    // ---- system events ----

    template <typename Make>
    void SystemEvent(const char* eventName, Make make)
    {
        for (auto& [id, c] : clients) {
            if (!c.connected) continue;
            for (const auto& [subscription, subscribed] : c.systemEvents)
                if (subscribed == eventName) Push(c, make(subscription));
        }
    }

    void SimpleSystemEvent(const char* eventName, DWORD data)
    {
        SystemEvent(eventName, [&](DWORD sub) { return sc::MakeEvent(SIMCONNECT_UNKNOWN_GROUP, sub, data); });
    }

    void FileSystemEvent(const char* eventName, const std::string& file)
    {
        SystemEvent(eventName,
                    [&](DWORD sub) { return sc::MakeEventFilename(SIMCONNECT_UNKNOWN_GROUP, sub, 0, file, 0); });
    }

    void ObjectEvent(const char* eventName, const SimObject& o)
    {
        SystemEvent(eventName, [&](DWORD sub) {
            return sc::MakeEventObjectAddRemove(SIMCONNECT_UNKNOWN_GROUP, sub, o.id, o.type);
        });
    }

    // ---- client events ----

    struct Target {
        DWORD priority;
        Client* client;
        DWORD group;
        DWORD event;
        bool maskable;
    };

    // Sends the event of `sender` (its own id) down the priority levels from startPriority, to every
    // client that mapped the same name (only the sender for a private event) and grouped it. A level
    // where some group masks the event is the last one to get it.
    void Deliver(Client& sender, DWORD eventId, const std::string& eventName, DWORD data, DWORD startPriority)
    {
        std::vector<Target> targets;
        for (auto& [id, c] : clients) {
            if (!c.connected) continue;
            if (eventName.empty() && &c != &sender) continue;
            for (const auto& [ownId, ownName] : c.events) {
                const bool same = eventName.empty() ? ownId == eventId : Upper(ownName) == Upper(eventName);
                if (!same) continue;
                for (const auto& [groupId, group] : c.groups)
                    for (const auto& [member, maskable] : group.members)
                        if (member == ownId && group.priority >= startPriority)
                            targets.push_back({group.priority, &c, groupId, ownId, maskable});
            }
        }
        std::stable_sort(targets.begin(), targets.end(),
                         [](const Target& a, const Target& b) { return a.priority < b.priority; });
        for (size_t i = 0; i < targets.size();) {
            size_t j = i;
            bool masked = false;
            for (; j < targets.size() && targets[j].priority == targets[i].priority; ++j) {
                Push(*targets[j].client, sc::MakeEvent(targets[j].group, targets[j].event, data));
                masked = masked || targets[j].maskable;
            }
            if (masked) break;
            i = j;
        }
    }

    // The simulator's own handling of the sim events it knows.
    void ApplySimEvent(const std::string& eventName, SimObject& target, DWORD data)
    {
        const std::string n = Upper(eventName);
        if (n == "PAUSE_SET") SetPaused(data != 0);
        else if (n == "PAUSE_ON") SetPaused(true);
        else if (n == "PAUSE_OFF") SetPaused(false);
        else if (n == "PAUSE_TOGGLE") SetPaused(!paused);
        const struct {
            const char* prefix;
            const char* variable;
        } freezes[] = {{"FREEZE_LATITUDE_LONGITUDE", "IS LATITUDE LONGITUDE FREEZE ON"},
                       {"FREEZE_ALTITUDE", "IS ALTITUDE FREEZE ON"},
                       {"FREEZE_ATTITUDE", "IS ATTITUDE FREEZE ON"}};
        for (const auto& f : freezes) {
            const std::string prefix = f.prefix;
            if (n == prefix + "_SET") target.vars.SetNumber(f.variable, "Bool", data != 0 ? 1 : 0);
            if (n == prefix + "_TOGGLE")
                target.vars.SetNumber(f.variable, "Bool",
                                      target.vars.Number(f.variable, "Bool").value_or(0) != 0 ? 0 : 1);
        }
    }

    void Transmit(Client& c, DWORD sendId, ObjectId objectId, DWORD eventId, DWORD data, DWORD group, DWORD flags)
    {
        auto ev = c.events.find(eventId);
        if (ev == c.events.end()) return Fail(c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 2);
        SimObject* target = FindObject(objectId);
        if (!target) return Fail(c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 1);
        DWORD start = group;
        if (!(flags & SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY)) {
            auto g = c.groups.find(group);
            if (g == c.groups.end()) return Fail(c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 4);
            start = g->second.priority;
        }
        const std::string eventName = ev->second;
        Log("event " + (eventName.empty() ? "private " + std::to_string(eventId) : Quote(eventName)) + " data " +
            std::to_string(data) + " from " + Quote(ClientName(c)) +
            (target->id == kUserId ? std::string() : " to object " + Describe(*target)));
        Deliver(c, eventId, eventName, data, start);
        if (!eventName.empty()) ApplySimEvent(eventName, *target, data);
    }

    // An event of the client raised by the simulator (hotkey, add-on menu): through its groups as if the
    // client had sent it at the highest priority.
    // Like the real simulator, an event id the client never mapped reaches nobody.
    void RaiseClientEvent(Client& c, DWORD eventId, DWORD data)
    {
        auto ev = c.events.find(eventId);
        if (ev == c.events.end()) return;
        Deliver(c, eventId, ev->second, data, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
    }

    // ---- data ----

    void SendObjectData(Client& c, DataRequest& r, const SimObject& o, bool periodic)
    {
        auto def = c.defs.find(r.defineId);
        if (def == c.defs.end()) return;
        Bytes record = EncodeRecord(o.vars, def->second);
        if (periodic && (r.flags & SIMCONNECT_DATA_REQUEST_FLAG_CHANGED) && r.hasLast && r.last == record) return;
        Push(c, sc::MakeData(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, r.requestId, o.id, r.defineId, r.flags, 1, 1,
                             static_cast<DWORD>(def->second.size()), record));
        r.hasLast = true;
        r.last = std::move(record);
        ++r.sent;
    }

    std::optional<Bytes> ReadArea(Client& c, DWORD areaId, DWORD defineId)
    {
        auto nameIt = c.areaNames.find(areaId);
        auto def = c.clientDefs.find(defineId);
        if (nameIt == c.areaNames.end() || def == c.clientDefs.end()) return std::nullopt;
        auto area = areas.find(Upper(nameIt->second));
        if (area == areas.end()) return std::nullopt;
        Bytes out;
        for (const ClientBlock& b : def->second) {
            for (DWORD i = 0; i < b.size; ++i) {
                const uint64_t at = static_cast<uint64_t>(b.offset) + i;
                out.push_back(at < area->second.data.size() ? area->second.data[at] : 0);
            }
        }
        return out;
    }

    void SendClientData(Client& c, ClientDataRequest& r, bool periodic)
    {
        auto record = ReadArea(c, r.areaId, r.defineId);
        if (!record) return;
        if (periodic && (r.flags & SIMCONNECT_CLIENT_DATA_REQUEST_FLAG_CHANGED) && r.hasLast && r.last == *record)
            return;
        Push(c, sc::MakeData(SIMCONNECT_RECV_ID_CLIENT_DATA, r.requestId, r.areaId, r.defineId, r.flags, 1, 1,
                             static_cast<DWORD>(c.clientDefs[r.defineId].size()), *record));
        r.hasLast = true;
        r.last = std::move(*record);
        ++r.sent;
    }

    // One period of kind `period` passed: answer the requests that are due.
    void TickRequests(DWORD objectPeriod, DWORD clientPeriod)
    {
        for (auto& [cid, c] : clients) {
            if (!c.connected) continue;
            for (auto it = c.requests.begin(); it != c.requests.end();) {
                DataRequest& r = it->second;
                const SimObject* o = FindObject(r.objectId);
                if (!o) {
                    it = c.requests.erase(it);  // the object is gone
                    continue;
                }
                if (r.period == objectPeriod && r.Tick()) SendObjectData(c, r, *o, true);
                if (r.limit && r.sent >= r.limit) it = c.requests.erase(it);
                else ++it;
            }
            for (auto it = c.clientRequests.begin(); it != c.clientRequests.end();) {
                ClientDataRequest& r = it->second;
                if (r.period == clientPeriod && r.Tick()) SendClientData(c, r, true);
                if (r.limit && r.sent >= r.limit) it = c.clientRequests.erase(it);
                else ++it;
            }
        }
    }

    // ---- objects ----

    void SetWeather(const WorldValue& w)
    {
        weather[Upper(w.name)] = w;
        for (auto& [id, o] : objects) o.vars.SetNumber(w.name, w.unit, w.value);
    }

    SimObject& NewObject(const std::string& title, DWORD type, uint32_t owner)
    {
        const ObjectId id = nextObject++;
        SimObject& o = objects[id];
        o.id = id;
        o.title = title;
        o.type = type;
        o.owner = owner;
        o.vars.SetText("TITLE", title);
        o.vars.SetNumber("IS USER SIM", "Bool", 0);
        for (const auto& [key, w] : weather) o.vars.SetNumber(w.name, w.unit, w.value);
        return o;
    }

    void PlaceObject(SimObject& o, double lat, double lon, double altFeet, double pitchDeg, double bankDeg,
                     double headingDeg)
    {
        o.vars.SetNumber("PLANE LATITUDE", "degrees", lat);
        o.vars.SetNumber("PLANE LONGITUDE", "degrees", lon);
        o.vars.SetNumber("PLANE ALTITUDE", "feet", altFeet);
        o.vars.SetNumber("PLANE PITCH DEGREES", "degrees", pitchDeg);
        o.vars.SetNumber("PLANE BANK DEGREES", "degrees", bankDeg);
        o.vars.SetNumber("PLANE HEADING DEGREES TRUE", "degrees", headingDeg);
    }

    void FinishCreation(const PendingCreation& p)
    {
        auto cit = clients.find(p.client);
        if (cit == clients.end() || !cit->second.connected) return;
        Client& c = cit->second;
        if (p.title.empty() || refusedTitles.count(Upper(p.title))) {
            Log("creation of " + Quote(p.title) + " for " + Quote(ClientName(c)) + " refused");
            return Fail(c, SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED, p.sendId, 1);
        }
        SimObject& o = NewObject(p.title, SIMCONNECT_SIMOBJECT_TYPE_GROUND, c.id);
        // An object created on the ground stands on the ground, whatever altitude it asked for.
        const double altitude = p.position.OnGround && groundElevationFeet ? *groundElevationFeet : p.position.Altitude;
        PlaceObject(o, p.position.Latitude, p.position.Longitude, altitude, p.position.Pitch, p.position.Bank,
                    p.position.Heading);
        o.vars.SetNumber("SIM ON GROUND", "Bool", p.position.OnGround ? 1 : 0);
        o.vars.SetNumber("AIRSPEED TRUE", "knots", p.position.Airspeed);
        Log("object " + Describe(o) + " created for " + Quote(ClientName(c)) + " (request " +
            std::to_string(p.requestId) + ") at " + PositionText(o));
        Push(c, sc::MakeAssignedObjectId(p.requestId, o.id));
        ObjectEvent("ObjectAdded", o);
    }

    void EraseObject(ObjectId id, const std::string& by)
    {
        auto it = objects.find(id);
        if (it == objects.end()) return;
        Log("object " + Describe(it->second) + " removed" + (by.empty() ? std::string() : " by " + Quote(by)) +
            " at " + PositionText(it->second));
        ObjectEvent("ObjectRemoved", it->second);
        objects.erase(it);
    }

    // ---- texts and menus ----

    // The result of a text or menu, as the event the client named; only when the client mapped it.
    void TextResult(uint32_t clientId, DWORD eventId, DWORD result)
    {
        if (eventId == 0) return;
        auto it = clients.find(clientId);
        if (it == clients.end() || !it->second.events.count(eventId)) return;
        Push(it->second, sc::MakeEvent(SIMCONNECT_UNKNOWN_GROUP, eventId, result));
    }

    void CloseMenu(DWORD result, const std::string& why)
    {
        if (!menu) return;
        Menu old = std::move(*menu);
        menu.reset();
        Log("menu " + Quote(old.title) + " " + why);
        TextResult(old.client, old.eventId, result);
    }

    void ShowText(Client& c, DWORD sendId, DWORD type, float seconds, DWORD eventId, const Bytes& block)
    {
        if (type == SIMCONNECT_TEXT_TYPE_MENU) {
            if (block.empty() || block[0] == 0) {
                if (menu && menu->client == c.id && menu->eventId == eventId)
                    CloseMenu(SIMCONNECT_TEXT_RESULT_REMOVED, "removed by " + Quote(ClientName(c)));
                return;
            }
            if (!HasEmptyEntry(block)) {
                // The simulator would read on past the block for the rest of the menu.
                Log("menu from " + Quote(ClientName(c)) + " refused: its " + std::to_string(block.size()) +
                    "-byte block has no empty entry to end its items");
                return Fail(c, SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE, sendId, 4);
            }
            std::vector<std::string> entries = SplitEntries(block);
            if (menu) CloseMenu(SIMCONNECT_TEXT_RESULT_REPLACED, "replaced");
            Menu m;
            m.client = c.id;
            m.eventId = eventId;
            m.blockBytes = block.size();
            m.title = entries.size() > 0 ? entries[0] : "";
            m.prompt = entries.size() > 1 ? entries[1] : "";
            for (size_t i = 2; i < entries.size() && m.lines.size() < 10; ++i) m.lines.push_back(entries[i]);
            if (seconds > 0) m.timeoutAt = now + static_cast<uint64_t>(std::llround(seconds * 1000.0));
            std::string text = "menu " + Quote(m.title) + " from " + Quote(ClientName(c)) + ": " + m.prompt;
            for (size_t i = 0; i < m.lines.size(); ++i) text += " | " + std::to_string(i + 1) + ". " + m.lines[i];
            Log(text);
            menu = std::move(m);
            TextResult(c.id, eventId, SIMCONNECT_TEXT_RESULT_DISPLAYED);
            return;
        }
        const bool print = type >= SIMCONNECT_TEXT_TYPE_PRINT_BLACK && type <= SIMCONNECT_TEXT_TYPE_PRINT_CYAN;
        if (!print && type > SIMCONNECT_TEXT_TYPE_SCROLL_CYAN)
            return Fail(c, SIMCONNECT_EXCEPTION_INVALID_ENUM, sendId, 1);
        size_t len = 0;
        while (len < block.size() && block[len] != 0) ++len;
        PrintedText t{c.id, type, eventId, seconds, std::string(reinterpret_cast<const char*>(block.data()), len),
                      now + static_cast<uint64_t>(std::llround(std::max(0.0f, seconds) * 1000.0))};
        Log("text (" + TextTypeName(type) + ", " + Format("%.1f", seconds) + " s) from " + Quote(ClientName(c)) +
            ": " + Quote(t.text));
        texts.push_back(std::move(t));
        TextResult(c.id, eventId, SIMCONNECT_TEXT_RESULT_DISPLAYED);
    }

    // ---- clock ----

    void RunFrame()
    {
        for (size_t i = 0; i < creations.size();) {
            if (creations[i].framesLeft-- <= 0) {
                PendingCreation p = creations[i];
                creations.erase(creations.begin() + static_cast<long>(i));
                FinishCreation(p);
            } else {
                ++i;
            }
        }
        SystemEvent("Frame", [&](DWORD sub) {
            return sc::MakeEventFrame(SIMCONNECT_UNKNOWN_GROUP, sub, static_cast<float>(fps), 1.0f);
        });
        TickRequests(SIMCONNECT_PERIOD_VISUAL_FRAME, SIMCONNECT_CLIENT_DATA_PERIOD_VISUAL_FRAME);
        TickRequests(SIMCONNECT_PERIOD_SIM_FRAME, SIMCONNECT_UNUSED);
    }

    void Advance(uint64_t ms)
    {
        const uint64_t target = now + ms;
        for (;;) {
            const uint64_t frameAt = frameBase + PeriodTime(frameIndex + 1, fps);
            const uint64_t sixHzAt = PeriodTime(sixHzIndex + 1, 6.0);
            const uint64_t secondAt = (secondIndex + 1) * 1000;
            uint64_t next = std::min({frameAt, sixHzAt, secondAt});
            if (menu && menu->timeoutAt) next = std::min(next, menu->timeoutAt);
            for (const auto& t : texts) next = std::min(next, t.expiresAt);
            if (next > target) break;
            now = next;
            if (menu && menu->timeoutAt && menu->timeoutAt <= now) CloseMenu(SIMCONNECT_TEXT_RESULT_TIMEOUT, "timed out");
            for (size_t i = 0; i < texts.size();) {
                if (texts[i].expiresAt <= now) {
                    TextResult(texts[i].client, texts[i].eventId, SIMCONNECT_TEXT_RESULT_TIMEOUT);
                    texts.erase(texts.begin() + static_cast<long>(i));
                } else {
                    ++i;
                }
            }
            if (frameAt == now) {
                ++frameIndex;
                RunFrame();
            }
            if (sixHzAt == now) {
                ++sixHzIndex;
                SimpleSystemEvent("6Hz", 0);
            }
            if (secondAt == now) {
                ++secondIndex;
                SimpleSystemEvent("1sec", 0);
                TickRequests(SIMCONNECT_PERIOD_SECOND, SIMCONNECT_CLIENT_DATA_PERIOD_SECOND);
                if (secondIndex % 4 == 0) SimpleSystemEvent("4sec", 0);
            }
        }
        now = target;
    }

    void SetPaused(bool value)
    {
        if (paused == value) return;
        paused = value;
        Log(value ? "paused" : "unpaused");
        SimpleSystemEvent("Pause", value ? 1 : 0);
        SimpleSystemEvent(value ? "Paused" : "Unpaused", 0);
    }

    // ---- requests ----

    void Handle(uint32_t clientId, const Bytes& request, Bytes& replyBytes);
    void HandleRequest(Client& client, sc::RequestKind kind, DWORD sendId, sc::Reader& reader);
    void HandleReceived(Client& client, sc::RequestKind kind, sc::Reader& reader);
    bool TakeMessages(uint32_t clientId, std::deque<Bytes>& messages);
    // Sends what waits for clients on the socket. Called without the lock.
    void SendSocketMessages()
    {
        if (!socketMessagesWaiting.exchange(false)) return;
        std::shared_ptr<sc::SocketServer> server;
        {
            std::lock_guard lock(mutex);
            server = socketServer;
        }
        if (server) server->SendWaiting();
    }
    // One handler per request kind: each reads its fields and stops when they are not all there.
    void HandleOpen(Client& client, sc::Reader& reader);
    void HandleMapClientEvent(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleTransmitClientEvent(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleAddClientEventToGroup(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleRemoveClientEvent(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleSetGroupPriority(Client& client, sc::Reader& reader);
    void HandleSubscribeSystemEvent(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleUnsubscribeSystemEvent(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleMapInputEvent(Client& client, sc::Reader& reader);
    void HandleSetInputGroupPriority(Client& client, sc::Reader& reader);
    void HandleSetInputGroupState(Client& client, sc::Reader& reader);
    void HandleRequestReservedKey(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleAddToDataDefinition(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleClearDataDefinition(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleRequestDataOnSimObject(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleRequestDataOnSimObjectType(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleSetDataOnSimObject(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleCreateSimulatedObject(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleRemoveObject(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleMapClientDataName(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleCreateClientData(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleAddToClientDataDefinition(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleClearClientDataDefinition(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleRequestClientData(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleSetClientData(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleText(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleMenuAddItem(Client& client, sc::Reader& reader);
    void HandleMenuDeleteItem(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleMenuAddSubItem(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleMenuDeleteSubItem(Client& client, DWORD sendId, sc::Reader& reader);
    void HandleRequestSystemState(Client& client, DWORD sendId, sc::Reader& reader);
    // What the handlers share.
    bool KeyReservedByOther(const Client& client, const std::string& key) const;
    std::string DataRequestText(const DataRequest& request) const;
    std::vector<const SimObject*> ObjectsAroundUser(DWORD objectType, DWORD radiusMeters) const;
    bool SetObjectRecord(const Client& client, SimObject& object, const std::vector<Field>& fields,
                         const uint8_t* record, DWORD recordSize);
    void LogObjectRecord(const Client& client, const SimObject& object, const std::vector<Field>& fields,
                         const uint8_t* record, DWORD recordSize);
    std::string ClientDataRequestText(const Client& client, const ClientDataRequest& request) const;
    void AnswerRequestsOnWrite(const std::string& areaKey);
    std::string AddonParentText(const Client& client, DWORD menuEventId) const;
    void Disconnect(uint32_t clientId, const char* why);
};

void Simulator::Impl::Disconnect(uint32_t clientId, const char* why)
{
    auto it = clients.find(clientId);
    if (it == clients.end()) return;
    Client& c = it->second;
    if (c.connected) {
        Log("client " + Quote(ClientName(c)) + " " + why);
        c.connected = false;
        // The objects a client created leave with it.
        std::vector<ObjectId> owned;
        for (const auto& [id, o] : objects)
            if (o.owner == clientId) owned.push_back(id);
        for (ObjectId id : owned) EraseObject(id, "");
        if (menu && menu->client == clientId) menu.reset();
        std::erase_if(texts, [&](const PrintedText& t) { return t.client == clientId; });
        std::erase_if(creations, [&](const PendingCreation& p) { return p.client == clientId; });
    }
    clients.erase(it);
    clientsChanged.notify_all();
}

namespace {

// A reply that is only a result.
void ReplyResult(Bytes& reply, int32_t result)
{
    reply.clear();
    for (int i = 0; i < 4; ++i) reply.push_back(static_cast<uint8_t>(static_cast<uint32_t>(result) >> (8 * i)));
}

}  // namespace

void Simulator::Impl::Handle(uint32_t clientId, const Bytes& request, Bytes& replyBytes)
{
    sc::Reader reader(request);
    uint32_t kindValue = 0, sendId = 0;
    std::lock_guard lock(mutex);
    auto it = clients.find(clientId);
    if (!reader.U32(kindValue) || !reader.U32(sendId) || it == clients.end() || !it->second.connected)
        return ReplyResult(replyBytes, E_FAIL);
    Client& c = it->second;
    const auto kind = static_cast<sc::RequestKind>(kindValue);
    if (kind == sc::RequestKind::Dispatch) {
        c.lastHeard = std::chrono::steady_clock::now();
        c.idle = c.outbox.empty();
        clientsChanged.notify_all();
        // While held, the outbox keeps its messages and the answer carries none.
        const bool held = c.remote && socketHeld;
        sc::Writer reply;
        reply.I32(S_OK);
        size_t bytes = 0;
        uint32_t count = 0;
        const size_t countAt = reply.Size();
        reply.U32(0);
        while (!held && !c.outbox.empty() && (count == 0 || bytes + c.outbox.front().size() <= sc::kDispatchBatchBytes)) {
            const Bytes& m = c.outbox.front();
            reply.Block(m.data(), m.size());
            bytes += m.size();
            c.outboxBytes -= m.size();
            ++count;
            c.outbox.pop_front();
        }
        c.taken += count;
        c.fetched = c.taken;
        reply.PatchU32(countAt, count);
        replyBytes = reply.Take();
        return;
    }
    HandleRequest(c, kind, sendId, reader);
    if (!reader.Ok()) {
        Log("malformed request " + std::to_string(kindValue) + " from " + Quote(ClientName(c)) + " ignored");
        return ReplyResult(replyBytes, E_FAIL);
    }
    ReplyResult(replyBytes, S_OK);
}

// The client took (Fetched) or handled (Handled) the first `count` messages that left its outbox.
void Simulator::Impl::HandleReceived(Client& client, sc::RequestKind kind, sc::Reader& reader)
{
    uint32_t count = 0;
    if (!reader.U32(count)) return;
    client.lastHeard = std::chrono::steady_clock::now();
    client.fetched = std::min(count, client.taken);
    if (kind == sc::RequestKind::Handled) client.idle = count == client.taken && client.outbox.empty();
    clientsChanged.notify_all();
}

// Moves the messages waiting for the client to `messages`; false when the simulator no longer knows it.
bool Simulator::Impl::TakeMessages(uint32_t clientId, std::deque<Bytes>& messages)
{
    std::lock_guard lock(mutex);
    auto it = clients.find(clientId);
    if (it == clients.end() || !it->second.connected) return false;
    Client& c = it->second;
    if (c.remote && socketHeld) return true;
    c.taken += static_cast<uint32_t>(c.outbox.size());
    for (Bytes& m : c.outbox) messages.push_back(std::move(m));
    c.outbox.clear();
    c.outboxBytes = 0;
    clientsChanged.notify_all();
    return true;
}

void Simulator::Impl::HandleRequest(Client& client, sc::RequestKind kind, DWORD sendId, sc::Reader& reader)
{
    using K = sc::RequestKind;
    switch (kind) {
    case K::Open: return HandleOpen(client, reader);
    case K::Close: return Disconnect(client.id, "disconnected");
    case K::MapClientEvent: return HandleMapClientEvent(client, sendId, reader);
    case K::TransmitClientEvent: return HandleTransmitClientEvent(client, sendId, reader);
    case K::AddClientEventToGroup: return HandleAddClientEventToGroup(client, sendId, reader);
    case K::RemoveClientEvent: return HandleRemoveClientEvent(client, sendId, reader);
    case K::SetGroupPriority: return HandleSetGroupPriority(client, reader);
    case K::SubscribeSystemEvent: return HandleSubscribeSystemEvent(client, sendId, reader);
    case K::UnsubscribeSystemEvent: return HandleUnsubscribeSystemEvent(client, sendId, reader);
    case K::MapInputEvent: return HandleMapInputEvent(client, reader);
    case K::SetInputGroupPriority: return HandleSetInputGroupPriority(client, reader);
    case K::SetInputGroupState: return HandleSetInputGroupState(client, reader);
    case K::RequestReservedKey: return HandleRequestReservedKey(client, sendId, reader);
    case K::AddToDataDefinition: return HandleAddToDataDefinition(client, sendId, reader);
    case K::ClearDataDefinition: return HandleClearDataDefinition(client, sendId, reader);
    case K::RequestDataOnSimObject: return HandleRequestDataOnSimObject(client, sendId, reader);
    case K::RequestDataOnSimObjectType: return HandleRequestDataOnSimObjectType(client, sendId, reader);
    case K::SetDataOnSimObject: return HandleSetDataOnSimObject(client, sendId, reader);
    case K::AICreateSimulatedObject: return HandleCreateSimulatedObject(client, sendId, reader);
    case K::AIRemoveObject: return HandleRemoveObject(client, sendId, reader);
    case K::MapClientDataName: return HandleMapClientDataName(client, sendId, reader);
    case K::CreateClientData: return HandleCreateClientData(client, sendId, reader);
    case K::AddToClientDataDefinition: return HandleAddToClientDataDefinition(client, sendId, reader);
    case K::ClearClientDataDefinition: return HandleClearClientDataDefinition(client, sendId, reader);
    case K::RequestClientData: return HandleRequestClientData(client, sendId, reader);
    case K::SetClientData: return HandleSetClientData(client, sendId, reader);
    case K::Text: return HandleText(client, sendId, reader);
    case K::MenuAddItem: return HandleMenuAddItem(client, reader);
    case K::MenuDeleteItem: return HandleMenuDeleteItem(client, sendId, reader);
    case K::MenuAddSubItem: return HandleMenuAddSubItem(client, sendId, reader);
    case K::MenuDeleteSubItem: return HandleMenuDeleteSubItem(client, sendId, reader);
    case K::RequestSystemState: return HandleRequestSystemState(client, sendId, reader);
    case K::Fetched:
    case K::Handled: return HandleReceived(client, kind, reader);
    case K::Dispatch: return;
    }
    // An unknown request kind.
    Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 0);
}

// ---- connection and client events ----

void Simulator::Impl::HandleOpen(Client& client, sc::Reader& reader)
{
    if (!reader.Text(client.name)) return;
    Log("client " + Quote(ClientName(client)) + " connected" + (client.remote ? " over the socket" : ""));
    client.opened = true;
    Push(client, sc::MakeOpen(name));
    clientsChanged.notify_all();
}

void Simulator::Impl::HandleMapClientEvent(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD eventId = 0;
    std::string eventName;
    if (!ReadFields(reader, eventId, eventName)) return;
    Registration(client, [&] {
        return eventName.empty() ? "maps private event " + std::to_string(eventId)
                                 : "maps event " + std::to_string(eventId) + " to " + Quote(eventName);
    });
    if (client.events.count(eventId)) return Fail(client, SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE, sendId, 1);
    client.events[eventId] = eventName;
}

void Simulator::Impl::HandleTransmitClientEvent(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD objectId = 0, eventId = 0, data = 0, group = 0, flags = 0;
    if (!ReadFields(reader, objectId, eventId, data, group, flags)) return;
    Transmit(client, sendId, objectId, eventId, data, group, flags);
}

void Simulator::Impl::HandleAddClientEventToGroup(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD groupId = 0, eventId = 0, maskable = 0;
    if (!ReadFields(reader, groupId, eventId, maskable)) return;
    Registration(client, [&] {
        return "adds event " + std::to_string(eventId) + " to group " + std::to_string(groupId) +
               (maskable ? " (maskable)" : " (not maskable)");
    });
    if (!client.events.count(eventId)) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 2);
    auto& members = client.groups[groupId].members;
    auto member = std::find_if(members.begin(), members.end(), [&](const auto& m) { return m.first == eventId; });
    if (member == members.end()) members.emplace_back(eventId, maskable != 0);
    else member->second = maskable != 0;
}

void Simulator::Impl::HandleRemoveClientEvent(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD groupId = 0, eventId = 0;
    if (!ReadFields(reader, groupId, eventId)) return;
    Registration(client, [&] {
        return "removes event " + std::to_string(eventId) + " from group " + std::to_string(groupId);
    });
    auto group = client.groups.find(groupId);
    if (group == client.groups.end()) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 1);
    std::erase_if(group->second.members, [&](const auto& m) { return m.first == eventId; });
}

void Simulator::Impl::HandleSetGroupPriority(Client& client, sc::Reader& reader)
{
    DWORD groupId = 0, priority = 0;
    if (!ReadFields(reader, groupId, priority)) return;
    Registration(client,
                 [&] { return "sets group " + std::to_string(groupId) + " priority " + PriorityText(priority); });
    client.groups[groupId].priority = priority;
}

void Simulator::Impl::HandleSubscribeSystemEvent(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD eventId = 0;
    std::string eventName;
    if (!ReadFields(reader, eventId, eventName)) return;
    Registration(client, [&] {
        return "subscribes event " + std::to_string(eventId) + " to system event " + Quote(eventName);
    });
    const std::string canonical = CanonicalSystemEvent(eventName);
    if (canonical.empty()) return Fail(client, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, sendId, 2);
    client.systemEvents[eventId] = canonical;
}

void Simulator::Impl::HandleUnsubscribeSystemEvent(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD eventId = 0;
    if (!ReadFields(reader, eventId)) return;
    Registration(client, [&] { return "unsubscribes event " + std::to_string(eventId); });
    if (!client.systemEvents.erase(eventId)) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 1);
}

// ---- input ----

void Simulator::Impl::HandleMapInputEvent(Client& client, sc::Reader& reader)
{
    InputMapping mapping{};
    std::string keys;
    DWORD maskable = 0;
    if (!ReadFields(reader, mapping.group, keys, mapping.down, mapping.downValue, mapping.up, mapping.upValue,
                    maskable))
        return;
    Registration(client, [&] {
        std::string text = "maps input " + Quote(keys) + " in group " + std::to_string(mapping.group) +
                           " to event " + std::to_string(mapping.down) + " (data " +
                           std::to_string(mapping.downValue) + ")";
        if (mapping.up != SIMCONNECT_UNUSED)
            text += ", on release event " + std::to_string(mapping.up) + " (data " + std::to_string(mapping.upValue) +
                    ")";
        return maskable ? text + ", maskable" : text;
    });
    mapping.key = NormalizeKey(keys);
    client.inputs.push_back(std::move(mapping));
}

void Simulator::Impl::HandleSetInputGroupPriority(Client& client, sc::Reader& reader)
{
    DWORD groupId = 0, priority = 0;
    if (!ReadFields(reader, groupId, priority)) return;
    Registration(client, [&] {
        return "sets input group " + std::to_string(groupId) + " priority " + PriorityText(priority);
    });
}

void Simulator::Impl::HandleSetInputGroupState(Client& client, sc::Reader& reader)
{
    DWORD groupId = 0, state = 0;
    if (!ReadFields(reader, groupId, state)) return;
    Registration(client, [&] {
        return "sets input group " + std::to_string(groupId) + (state == SIMCONNECT_STATE_ON ? " on" : " off");
    });
    client.inputGroupOn[groupId] = state == SIMCONNECT_STATE_ON;
}

void Simulator::Impl::HandleRequestReservedKey(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD eventId = 0;
    std::array<std::string, 3> choices;
    if (!ReadFields(reader, eventId, choices[0], choices[1], choices[2])) return;
    Registration(client, [&] {
        std::string text = "asks for a reserved key for event " + std::to_string(eventId) + ":";
        const char* separator = " ";
        for (const std::string& choice : choices) {
            if (choice.empty()) continue;
            text += separator + Quote(choice);
            separator = ", ";
        }
        return text;
    });
    for (const std::string& choice : choices) {
        if (choice.empty()) continue;
        const std::string key = NormalizeKey(choice);
        if (KeyReservedByOther(client, key)) continue;
        client.reservedKey = key;
        client.reservedEvent = eventId;
        Log("key " + Quote(choice) + " reserved for " + Quote(ClientName(client)));
        Push(client, sc::MakeReservedKey(choice, choice));
        return;
    }
    Fail(client, SIMCONNECT_EXCEPTION_ERROR, sendId, 2);
}

bool Simulator::Impl::KeyReservedByOther(const Client& client, const std::string& key) const
{
    for (const auto& [id, other] : clients)
        if (other.connected && &other != &client && other.reservedKey == key) return true;
    return false;
}

// ---- data on objects ----

void Simulator::Impl::HandleAddToDataDefinition(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD defineId = 0, datumType = 0, datumId = 0;
    std::string variable, unit;
    float epsilon = 0;
    if (!ReadFields(reader, defineId, variable, unit, datumType, epsilon, datumId)) return;
    Registration(client, [&] {
        std::string text = "defines data " + std::to_string(defineId) + ": " + Quote(variable) + " (" +
                           (unit.empty() ? std::string() : unit + ", ") + DataTypeText(datumType) + ")";
        if (epsilon != 0) text += ", epsilon " + Format("%g", epsilon);
        if (datumId != SIMCONNECT_UNUSED) text += ", datum " + std::to_string(datumId);
        return text;
    });
    if (datumType < SIMCONNECT_DATATYPE_INT32 || datumType > SIMCONNECT_DATATYPE_STRINGV)
        return Fail(client, SIMCONNECT_EXCEPTION_INVALID_DATA_TYPE, sendId, 4);
    client.defs[defineId].push_back({variable, unit, datumType});
}

void Simulator::Impl::HandleClearDataDefinition(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD defineId = 0;
    if (!ReadFields(reader, defineId)) return;
    Registration(client, [&] { return "clears data definition " + std::to_string(defineId); });
    if (!client.defs.erase(defineId)) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 1);
}

void Simulator::Impl::HandleRequestDataOnSimObject(Client& client, DWORD sendId, sc::Reader& reader)
{
    DataRequest request;
    if (!ReadFields(reader, request.requestId, request.defineId, request.objectId) || !ReadPeriod(reader, request))
        return;
    Registration(client, [&] { return DataRequestText(request); });
    if (!client.defs.count(request.defineId)) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 2);
    const SimObject* object = FindObject(request.objectId);
    if (!object) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 3);
    if (request.period > SIMCONNECT_PERIOD_SECOND) return Fail(client, SIMCONNECT_EXCEPTION_INVALID_ENUM, sendId, 4);
    client.requests.erase(request.requestId);
    if (request.period == SIMCONNECT_PERIOD_NEVER) return;
    request.objectId = object->id;
    if (request.period == SIMCONNECT_PERIOD_ONCE) return SendObjectData(client, request, *object, false);
    client.requests[request.requestId] = std::move(request);
}

std::string Simulator::Impl::DataRequestText(const DataRequest& request) const
{
    if (request.period == SIMCONNECT_PERIOD_NEVER)
        return "stops request " + std::to_string(request.requestId) + " of data " + std::to_string(request.defineId) +
               " on " + RequestTarget(request.objectId);
    return "requests data " + std::to_string(request.defineId) + " on " + RequestTarget(request.objectId) + " " +
           PeriodText(request.period) + " (request " + std::to_string(request.requestId) + ")" +
           RequestDetails(request.origin, request.interval, request.limit,
                          (request.flags & SIMCONNECT_DATA_REQUEST_FLAG_CHANGED) != 0);
}

void Simulator::Impl::HandleRequestDataOnSimObjectType(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD requestId = 0, defineId = 0, radiusMeters = 0, objectType = 0;
    if (!ReadFields(reader, requestId, defineId, radiusMeters, objectType)) return;
    Registration(client, [&] {
        return "requests data " + std::to_string(defineId) + " on " + ObjectTypeText(objectType) + " within " +
               std::to_string(radiusMeters) + " m (request " + std::to_string(requestId) + ")";
    });
    auto definition = client.defs.find(defineId);
    if (definition == client.defs.end()) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 2);
    if (radiusMeters > kMaxRadiusMeters) return Fail(client, SIMCONNECT_EXCEPTION_OUT_OF_BOUNDS, sendId, 3);
    if (objectType > SIMCONNECT_SIMOBJECT_TYPE_GROUND)
        return Fail(client, SIMCONNECT_EXCEPTION_INVALID_ENUM, sendId, 4);
    const std::vector<const SimObject*> found = ObjectsAroundUser(objectType, radiusMeters);
    const auto count = static_cast<DWORD>(found.size());
    const auto fieldCount = static_cast<DWORD>(definition->second.size());
    if (found.empty())
        Push(client, sc::MakeData(SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE, requestId, 0, defineId, 0, 0, 0,
                                  fieldCount, {}));
    for (DWORD entry = 0; entry < count; ++entry)
        Push(client, sc::MakeData(SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE, requestId, found[entry]->id, defineId, 0,
                                  entry + 1, count, fieldCount, EncodeRecord(found[entry]->vars, definition->second)));
}

// The objects of the type within the radius of the user aircraft, which is always among them when the type
// takes it in.
std::vector<const SimObject*> Simulator::Impl::ObjectsAroundUser(DWORD objectType, DWORD radiusMeters) const
{
    const SimObject& user = objects.at(kUserId);
    const double userLatitude = user.vars.Number("PLANE LATITUDE", "degrees").value_or(0);
    const double userLongitude = user.vars.Number("PLANE LONGITUDE", "degrees").value_or(0);
    std::vector<const SimObject*> found;
    for (const auto& [id, object] : objects) {
        const bool typeOk = objectType == SIMCONNECT_SIMOBJECT_TYPE_ALL ||
                            (objectType == SIMCONNECT_SIMOBJECT_TYPE_USER ? id == kUserId : object.type == objectType);
        if (!typeOk) continue;
        const double distanceMeters =
            HaversineMeters(userLatitude, userLongitude, object.vars.Number("PLANE LATITUDE", "degrees").value_or(0),
                            object.vars.Number("PLANE LONGITUDE", "degrees").value_or(0));
        if (id == kUserId || distanceMeters <= radiusMeters) found.push_back(&object);
    }
    return found;
}

void Simulator::Impl::HandleSetDataOnSimObject(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD defineId = 0, objectId = 0, flags = 0, arrayCount = 0, recordSize = 0;
    const uint8_t* data = nullptr;
    size_t dataSize = 0;
    if (!ReadFields(reader, defineId, objectId, flags, arrayCount, recordSize) || !reader.BlockView(data, dataSize))
        return;
    auto definition = client.defs.find(defineId);
    if (definition == client.defs.end()) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 1);
    SimObject* object = FindObject(objectId);
    if (!object) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 2);
    const DWORD recordCount = arrayCount ? arrayCount : 1;
    if (static_cast<uint64_t>(recordCount) * recordSize != dataSize)
        return Fail(client, SIMCONNECT_EXCEPTION_SIZE_MISMATCH, sendId, 5);
    const std::optional<size_t> fixedSize = FixedRecordSize(definition->second);
    if (fixedSize && *fixedSize != recordSize) return Fail(client, SIMCONNECT_EXCEPTION_SIZE_MISMATCH, sendId, 5);
    for (DWORD index = 0; index < recordCount; ++index) {
        const uint8_t* record = data + static_cast<size_t>(index) * recordSize;
        if (!SetObjectRecord(client, *object, definition->second, record, recordSize))
            return Fail(client, SIMCONNECT_EXCEPTION_DATA_ERROR, sendId, 6);
    }
}

// Writes one record into the object's variables, all of it or, when it cannot be decoded, none of it.
bool Simulator::Impl::SetObjectRecord(const Client& client, SimObject& object, const std::vector<Field>& fields,
                                      const uint8_t* record, DWORD recordSize)
{
    if (!RecordLength(fields, record, recordSize)) return false;
    DecodeRecord(object.vars, fields, record, recordSize);
    if (TimelineWanted()) LogObjectRecord(client, object, fields, record, recordSize);
    return true;
}

void Simulator::Impl::LogObjectRecord(const Client& client, const SimObject& object, const std::vector<Field>& fields,
                                      const uint8_t* record, DWORD recordSize)
{
    changeText.assign("object ");
    changeText.append(std::to_string(object.id));
    changeText.append(" '");
    changeText.append(object.title);
    changeText.append("' set by '");
    if (client.name.empty()) changeText.append("client " + std::to_string(client.id));
    else changeText.append(client.name);
    changeText.append("':");
    if (!fields.empty()) changeText.append(" ");
    AppendRecordText(changeText, fields, record, recordSize);
    Log(changeText);
}

// ---- objects ----

void Simulator::Impl::HandleCreateSimulatedObject(Client& client, DWORD sendId, sc::Reader& reader)
{
    PendingCreation creation;
    creation.client = client.id;
    creation.sendId = sendId;
    auto& position = creation.position;
    if (!ReadFields(reader, creation.title, position.Latitude, position.Longitude, position.Altitude, position.Pitch,
                    position.Bank, position.Heading, position.OnGround, position.Airspeed, creation.requestId))
        return;
    creation.framesLeft = creationDelay - 1;
    if (creationDelay <= 0) return FinishCreation(creation);
    creations.push_back(std::move(creation));
}

void Simulator::Impl::HandleRemoveObject(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD objectId = 0, requestId = 0;
    if (!ReadFields(reader, objectId, requestId)) return;
    SimObject* object = objectId == SIMCONNECT_OBJECT_ID_USER ? nullptr : FindObject(objectId);
    if (!object) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 1);
    if (object->owner == 0) return Fail(client, SIMCONNECT_EXCEPTION_ILLEGAL_OPERATION, sendId, 1);
    EraseObject(object->id, ClientName(client));
}

// ---- client data ----

void Simulator::Impl::HandleMapClientDataName(Client& client, DWORD sendId, sc::Reader& reader)
{
    std::string areaName;
    DWORD areaId = 0;
    if (!ReadFields(reader, areaName, areaId)) return;
    Registration(client,
                 [&] { return "maps client data " + Quote(areaName) + " to area " + std::to_string(areaId); });
    auto existing = client.areaNames.find(areaId);
    if (existing != client.areaNames.end() && Upper(existing->second) != Upper(areaName))
        return Fail(client, SIMCONNECT_EXCEPTION_DUPLICATE_ID, sendId, 2);
    client.areaNames[areaId] = areaName;
}

void Simulator::Impl::HandleCreateClientData(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD areaId = 0, size = 0, flags = 0;
    if (!ReadFields(reader, areaId, size, flags)) return;
    auto areaName = client.areaNames.find(areaId);
    if (areaName == client.areaNames.end()) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 1);
    if (size == 0 || size > SIMCONNECT_CLIENTDATA_MAX_SIZE)
        return Fail(client, SIMCONNECT_EXCEPTION_OUT_OF_BOUNDS, sendId, 2);
    const std::string key = Upper(areaName->second);
    if (areas.count(key)) return Fail(client, SIMCONNECT_EXCEPTION_ALREADY_CREATED, sendId, 1);
    Area& area = areas[key];
    area.name = areaName->second;
    area.data.assign(size, 0);
    area.creator = client.id;
    area.readOnly = (flags & SIMCONNECT_CREATE_CLIENT_DATA_FLAG_READ_ONLY) != 0;
    Log("client data " + Quote(area.name) + " created by " + Quote(ClientName(client)) + " (" +
        std::to_string(size) + " bytes)");
}

void Simulator::Impl::HandleAddToClientDataDefinition(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD defineId = 0, offset = 0, sizeOrType = 0, datumId = 0;
    float epsilon = 0;
    if (!ReadFields(reader, defineId, offset, sizeOrType, epsilon, datumId)) return;
    Registration(client, [&] {
        std::string text = "defines client data " + std::to_string(defineId) + " (" + ClientFieldText(sizeOrType) + ")";
        if (offset != SIMCONNECT_CLIENTDATAOFFSET_AUTO) text += " at offset " + std::to_string(offset);
        return text;
    });
    const DWORD size = ClientFieldSize(sizeOrType);
    if (size == 0 || size > SIMCONNECT_CLIENTDATA_MAX_SIZE)
        return Fail(client, SIMCONNECT_EXCEPTION_OUT_OF_BOUNDS, sendId, 3);
    auto& blocks = client.clientDefs[defineId];
    if (offset == SIMCONNECT_CLIENTDATAOFFSET_AUTO) offset = EndOfBlocks(blocks);
    if (offset > SIMCONNECT_CLIENTDATA_MAX_SIZE) return Fail(client, SIMCONNECT_EXCEPTION_OUT_OF_BOUNDS, sendId, 2);
    blocks.push_back({offset, size});
}

void Simulator::Impl::HandleClearClientDataDefinition(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD defineId = 0;
    if (!ReadFields(reader, defineId)) return;
    Registration(client, [&] { return "clears client data definition " + std::to_string(defineId); });
    if (!client.clientDefs.erase(defineId)) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 1);
}

void Simulator::Impl::HandleRequestClientData(Client& client, DWORD sendId, sc::Reader& reader)
{
    ClientDataRequest request;
    if (!ReadFields(reader, request.areaId, request.requestId, request.defineId) || !ReadPeriod(reader, request))
        return;
    Registration(client, [&] { return ClientDataRequestText(client, request); });
    auto areaName = client.areaNames.find(request.areaId);
    if (areaName == client.areaNames.end() || !areas.count(Upper(areaName->second)))
        return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 1);
    if (!client.clientDefs.count(request.defineId))
        return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 3);
    if (request.period > SIMCONNECT_CLIENT_DATA_PERIOD_SECOND)
        return Fail(client, SIMCONNECT_EXCEPTION_INVALID_ENUM, sendId, 4);
    client.clientRequests.erase(request.requestId);
    if (request.period == SIMCONNECT_CLIENT_DATA_PERIOD_NEVER) return;
    if (request.period == SIMCONNECT_CLIENT_DATA_PERIOD_ONCE) return SendClientData(client, request, false);
    client.clientRequests[request.requestId] = std::move(request);
}

std::string Simulator::Impl::ClientDataRequestText(const Client& client, const ClientDataRequest& request) const
{
    if (request.period == SIMCONNECT_CLIENT_DATA_PERIOD_NEVER)
        return "stops request " + std::to_string(request.requestId) + " of client data " +
               AreaText(client, request.areaId);
    return "requests client data " + AreaText(client, request.areaId) + " with definition " +
           std::to_string(request.defineId) + " " + ClientPeriodText(request.period) + " (request " +
           std::to_string(request.requestId) + ")" +
           RequestDetails(request.origin, request.interval, request.limit,
                          (request.flags & SIMCONNECT_CLIENT_DATA_REQUEST_FLAG_CHANGED) != 0);
}

void Simulator::Impl::HandleSetClientData(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD areaId = 0, defineId = 0, flags = 0, reserved = 0;
    Bytes data;
    if (!ReadFields(reader, areaId, defineId, flags, reserved, data)) return;
    auto areaName = client.areaNames.find(areaId);
    auto area = areaName == client.areaNames.end() ? areas.end() : areas.find(Upper(areaName->second));
    if (area == areas.end()) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 1);
    auto definition = client.clientDefs.find(defineId);
    if (definition == client.clientDefs.end()) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 2);
    Area& target = area->second;
    if (target.readOnly && target.creator != client.id)
        return Fail(client, SIMCONNECT_EXCEPTION_ILLEGAL_OPERATION, sendId, 1);
    size_t definedBytes = 0;
    for (const ClientBlock& block : definition->second) {
        definedBytes += block.size;
        if (static_cast<uint64_t>(block.offset) + block.size > target.data.size())
            return Fail(client, SIMCONNECT_EXCEPTION_OUT_OF_BOUNDS, sendId, 2);
    }
    if (definedBytes != data.size()) return Fail(client, SIMCONNECT_EXCEPTION_SIZE_MISMATCH, sendId, 5);
    size_t position = 0;
    for (const ClientBlock& block : definition->second) {
        std::copy_n(data.begin() + static_cast<long>(position), block.size,
                    target.data.begin() + static_cast<long>(block.offset));
        position += block.size;
    }
    Log("client data " + Quote(target.name) + " written by " + Quote(ClientName(client)) + " (" +
        std::to_string(data.size()) + " bytes)");
    AnswerRequestsOnWrite(area->first);
}

// The client-data requests of every client on the area (by upper-case name) that answer on every write.
void Simulator::Impl::AnswerRequestsOnWrite(const std::string& areaKey)
{
    for (auto& [id, other] : clients) {
        if (!other.connected) continue;
        for (auto& [requestId, request] : other.clientRequests) {
            auto areaName = other.areaNames.find(request.areaId);
            if (request.period == SIMCONNECT_CLIENT_DATA_PERIOD_ON_SET && areaName != other.areaNames.end() &&
                Upper(areaName->second) == areaKey && request.Tick())
                SendClientData(other, request, true);
        }
        std::erase_if(other.clientRequests,
                      [](const auto& entry) { return entry.second.limit && entry.second.sent >= entry.second.limit; });
    }
}

// ---- texts and the add-on menu ----

void Simulator::Impl::HandleText(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD type = 0, eventId = 0;
    float seconds = 0;
    Bytes text;
    if (!ReadFields(reader, type, seconds, eventId, text)) return;
    ShowText(client, sendId, type, seconds, eventId, text);
}

void Simulator::Impl::HandleMenuAddItem(Client& client, sc::Reader& reader)
{
    std::string text;
    DWORD menuEventId = 0, data = 0;
    if (!ReadFields(reader, text, menuEventId, data)) return;
    client.addon[menuEventId] = AddonItem{text, data, {}};
    Log("add-on menu item " + Quote(text) + " added by " + Quote(ClientName(client)));
}

void Simulator::Impl::HandleMenuDeleteItem(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD menuEventId = 0;
    if (!ReadFields(reader, menuEventId)) return;
    if (!client.addon.count(menuEventId)) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 1);
    Log("add-on menu item " + Quote(client.addon[menuEventId].text) + " removed by " + Quote(ClientName(client)));
    client.addon.erase(menuEventId);
}

void Simulator::Impl::HandleMenuAddSubItem(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD menuEventId = 0, subEventId = 0, data = 0;
    std::string text;
    if (!ReadFields(reader, menuEventId, text, subEventId, data)) return;
    Registration(client, [&] {
        return "adds add-on menu sub-item " + Quote(text) + " under " + AddonParentText(client, menuEventId) +
               (subEventId == SIMCONNECT_UNUSED ? std::string(" (no event)")
                                                : " (event " + std::to_string(subEventId) + ")");
    });
    auto item = client.addon.find(menuEventId);
    if (item == client.addon.end()) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 1);
    item->second.subs.push_back({text, subEventId, data});
}

void Simulator::Impl::HandleMenuDeleteSubItem(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD menuEventId = 0, subEventId = 0;
    if (!ReadFields(reader, menuEventId, subEventId)) return;
    Registration(client, [&] {
        return "removes add-on menu sub-item of event " + std::to_string(subEventId) + " under " +
               AddonParentText(client, menuEventId);
    });
    auto item = client.addon.find(menuEventId);
    if (item == client.addon.end()) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 1);
    auto& subs = item->second.subs;
    const size_t before = subs.size();
    std::erase_if(subs, [&](const AddonItem::Sub& sub) { return sub.event == subEventId; });
    if (subs.size() == before) return Fail(client, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, sendId, 2);
}

// The add-on menu item of the event by its text, else the event.
std::string Simulator::Impl::AddonParentText(const Client& client, DWORD menuEventId) const
{
    auto parent = client.addon.find(menuEventId);
    return parent == client.addon.end() ? "event " + std::to_string(menuEventId) : Quote(parent->second.text);
}

// ---- system state ----

void Simulator::Impl::HandleRequestSystemState(Client& client, DWORD sendId, sc::Reader& reader)
{
    DWORD requestId = 0;
    std::string stateName;
    if (!ReadFields(reader, requestId, stateName)) return;
    Registration(client, [&] {
        return "requests system state " + Quote(stateName) + " (request " + std::to_string(requestId) + ")";
    });
    const std::string state = Upper(stateName);
    if (state == "SIM") Push(client, sc::MakeSystemState(requestId, running ? 1 : 0, 0, ""));
    else if (state == "AIRCRAFTLOADED") Push(client, sc::MakeSystemState(requestId, 0, 0, aircraftFile));
    else if (state == "FLIGHTLOADED") Push(client, sc::MakeSystemState(requestId, 0, 0, flightFile));
    else if (state == "DIALOGMODE") Push(client, sc::MakeSystemState(requestId, 0, 0, ""));
    else if (state == "FLIGHTPLAN") Push(client, sc::MakeSystemState(requestId, 0, 0, ""));
    else return Fail(client, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, sendId, 2);
}

// ---- Sessions ----

namespace {

class ImplSession : public sc::Session {
public:
    ImplSession(std::shared_ptr<Simulator::Impl> impl, uint32_t client) : impl_(std::move(impl)), client_(client) {}
    ~ImplSession() override
    {
        std::lock_guard lock(impl_->mutex);
        impl_->Disconnect(client_, "went away");
    }
    bool Exchange(const sc::Bytes& request, sc::Bytes& reply) override
    {
        impl_->Handle(client_, request, reply);
        // What the request sent to clients on the socket is in their sockets before it is answered.
        impl_->SendSocketMessages();
        sc::Reader r(reply);
        int32_t hr = E_FAIL;
        // A client the simulator no longer knows is cut off.
        if (r.I32(hr) && FAILED(hr)) {
            std::lock_guard lock(impl_->mutex);
            if (!impl_->clients.count(client_)) return false;
        }
        return true;
    }
    bool Receive(std::deque<sc::Bytes>& messages) override { return impl_->TakeMessages(client_, messages); }
    void SetWake(std::function<void()> wake) override
    {
        std::lock_guard lock(impl_->mutex);
        auto it = impl_->clients.find(client_);
        if (it != impl_->clients.end()) it->second.wake = std::move(wake);
    }
    void CutOff(const std::string& why) override
    {
        std::lock_guard lock(impl_->mutex);
        auto it = impl_->clients.find(client_);
        const std::string name = it == impl_->clients.end() ? "client " + std::to_string(client_)
                                                            : impl_->ClientName(it->second);
        impl_->Log("connection of " + impl_->Quote(name) + " closed: it " + why);
    }

private:
    std::shared_ptr<Simulator::Impl> impl_;
    uint32_t client_;
};

class ImplEndpoint : public sc::Endpoint {
public:
    ImplEndpoint(std::shared_ptr<Simulator::Impl> impl, bool remote) : impl_(std::move(impl)), remote_(remote) {}
    std::unique_ptr<sc::Session> Connect() override
    {
        uint32_t id;
        {
            std::lock_guard lock(impl_->mutex);
            if (!impl_->accepting) return nullptr;
            id = impl_->nextClient++;
            impl_->clients[id].id = id;
            impl_->clients[id].remote = remote_;
        }
        return std::make_unique<ImplSession>(impl_, id);
    }

private:
    std::shared_ptr<Simulator::Impl> impl_;
    bool remote_;
};

}  // namespace

// ---- Simulator ----

namespace {

// Holds the simulator's lock; on leaving, sends the messages that now wait for clients on the socket, so
// that they are in the sockets when the call returns.
class Locked {
public:
    explicit Locked(Simulator::Impl& impl) : impl_(impl), lock_(impl.mutex) {}
    ~Locked()
    {
        lock_.unlock();
        impl_.SendSocketMessages();
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    Simulator::Impl& impl_;
    std::unique_lock<std::mutex> lock_;
};

}  // namespace

Simulator::Simulator(std::string name) : impl_(std::make_shared<Impl>())
{
    impl_->name = std::move(name);
    impl_->endpoint = std::make_shared<ImplEndpoint>(impl_, false);
}

Simulator::~Simulator()
{
    Quit();
    StopServing();
    Locked lock(*impl_);
    impl_->accepting = false;
    for (auto& [id, c] : impl_->clients) c.connected = false;
    impl_->clients.clear();
    // The endpoint holds the state alive through in-process sessions; break the cycle.
    impl_->endpoint.reset();
}

void Simulator::ServeInProcess()
{
    sc::SetInProcessEndpoint(impl_->endpoint);
}

bool Simulator::Listen(std::string* error)
{
    // The socket's own endpoint marks its clients as remote; StopServing breaks the cycle it makes.
    auto server = std::make_shared<sc::SocketServer>(std::make_shared<ImplEndpoint>(impl_, true));
    const auto path = sc::SocketPath();
    if (!server->Start(path, error)) return false;
    std::shared_ptr<sc::SocketServer> previous;
    {
        Locked lock(*impl_);
        previous = std::move(impl_->socketServer);
        impl_->socketServer = std::move(server);
        impl_->Log("listening at " + path.string());
    }
    // Stopped outside the lock: its threads take it.
    if (previous) previous->Stop();
    return true;
}

void Simulator::StopServing()
{
    if (impl_->endpoint && sc::GetInProcessEndpoint() == impl_->endpoint) sc::SetInProcessEndpoint(nullptr);
    std::shared_ptr<sc::SocketServer> server;
    {
        Locked lock(*impl_);
        server = std::move(impl_->socketServer);
    }
    if (server) server->Stop();  // its threads take the lock
}

std::vector<std::string> Simulator::Clients() const
{
    Locked lock(*impl_);
    std::vector<std::string> names;
    for (const auto& [id, c] : impl_->clients)
        if (c.connected) names.push_back(impl_->ClientName(c));
    return names;
}

void Simulator::HoldSocketMessages(bool hold)
{
    // On release, what waited goes out as the lock is let go.
    Locked lock(*impl_);
    impl_->socketHeld = hold;
    if (hold) return;
    for (const auto& [id, c] : impl_->clients)
        if (c.connected && c.remote && !c.outbox.empty()) impl_->socketMessagesWaiting = true;
}

bool Simulator::WaitForSocketClients(std::chrono::milliseconds limit, SocketWait what)
{
    using Clock = std::chrono::steady_clock;
    const auto silentFor = std::chrono::milliseconds(kSilentClientMs);
    const Clock::time_point deadline = Clock::now() + limit;
    std::unique_lock lock(impl_->mutex);
    for (;;) {
        const Clock::time_point now = Clock::now();
        // The earliest moment a client waited for falls silent: it is not waited for from then on.
        Clock::time_point wake = deadline;
        bool done = true;
        for (const auto& [id, c] : impl_->clients) {
            if (!c.connected || !c.remote) continue;
            if (what == SocketWait::Gone) {
                done = false;
                continue;
            }
            const bool waiting = what == SocketWait::Fetched ? !c.outbox.empty() || c.fetched != c.taken : !c.idle;
            if (!waiting || now - c.lastHeard >= silentFor) continue;
            done = false;
            wake = std::min(wake, c.lastHeard + silentFor);
        }
        if (done) return true;
        if (now >= deadline) return false;
        impl_->clientsChanged.wait_until(lock, wake);
    }
}

bool Simulator::WaitForClient(const std::string& name, std::chrono::milliseconds limit)
{
    const std::string wanted = Upper(name);
    std::unique_lock lock(impl_->mutex);
    auto found = [&] {
        for (const auto& [id, c] : impl_->clients)
            if (c.connected && c.opened && c.idle && Upper(c.name).find(wanted) != std::string::npos) return true;
        return false;
    };
    return impl_->clientsChanged.wait_for(lock, limit, found);
}

uint64_t Simulator::NowMs() const
{
    Locked lock(*impl_);
    return impl_->now;
}

void Simulator::Advance(uint64_t ms)
{
    Locked lock(*impl_);
    impl_->Advance(ms);
}

void Simulator::RunFrames(int count)
{
    Locked lock(*impl_);
    for (int i = 0; i < count; ++i) {
        const uint64_t next = impl_->frameBase + PeriodTime(impl_->frameIndex + 1, impl_->fps);
        impl_->Advance(next - impl_->now);
    }
}

void Simulator::SetFrameRate(double framesPerSecond)
{
    Locked lock(*impl_);
    if (!(framesPerSecond >= 1.0 && framesPerSecond <= 1000.0)) return;
    impl_->fps = framesPerSecond;
    impl_->frameBase = impl_->now;
    impl_->frameIndex = 0;
}

void Simulator::StartSim()
{
    Locked lock(*impl_);
    impl_->running = true;
    impl_->Log("simulation started");
    impl_->SimpleSystemEvent("SimStart", 0);
    impl_->SimpleSystemEvent("Sim", 1);
}

void Simulator::StopSim()
{
    Locked lock(*impl_);
    impl_->running = false;
    impl_->Log("simulation stopped");
    impl_->SimpleSystemEvent("SimStop", 0);
    impl_->SimpleSystemEvent("Sim", 0);
}

bool Simulator::IsRunning() const
{
    Locked lock(*impl_);
    return impl_->running;
}

void Simulator::SetPaused(bool paused)
{
    Locked lock(*impl_);
    impl_->SetPaused(paused);
}

bool Simulator::IsPaused() const
{
    Locked lock(*impl_);
    return impl_->paused;
}

void Simulator::SetSound(bool on)
{
    Locked lock(*impl_);
    impl_->soundOn = on;
    impl_->Log(on ? "sound on" : "sound off");
    impl_->SimpleSystemEvent("Sound", on ? 1 : 0);
}

void Simulator::ChangePosition()
{
    Locked lock(*impl_);
    impl_->Log("position changed");
    impl_->SimpleSystemEvent("PositionChanged", 0);
}

void Simulator::LoadAircraft(const std::string& airFile)
{
    Locked lock(*impl_);
    impl_->aircraftFile = airFile;
    impl_->Log("aircraft loaded: " + airFile);
    impl_->FileSystemEvent("AircraftLoaded", airFile);
}

std::string Simulator::AircraftFile() const
{
    Locked lock(*impl_);
    return impl_->aircraftFile;
}

void Simulator::LoadFlight(const std::string& flightFile)
{
    Locked lock(*impl_);
    impl_->flightFile = flightFile;
    impl_->Log("flight loaded: " + flightFile);
    impl_->FileSystemEvent("FlightLoaded", flightFile);
}

void Simulator::Quit()
{
    Locked lock(*impl_);
    bool any = false;
    for (auto& [id, c] : impl_->clients) {
        if (!c.connected) continue;
        impl_->Push(c, sc::MakeQuit());
        any = true;
    }
    if (any) impl_->Log("quit sent to every client");
}

ObjectId Simulator::UserAircraftId() const
{
    return kUserId;
}

void Simulator::SetUserPosition(double latitude, double longitude, double altitudeFeet, double pitchDegrees,
                                double bankDegrees, double headingDegrees)
{
    Locked lock(*impl_);
    impl_->PlaceObject(impl_->objects.at(kUserId), latitude, longitude, altitudeFeet, pitchDegrees, bankDegrees,
                       headingDegrees);
}

ObjectId Simulator::AddAiAircraft(const AiAircraft& ai)
{
    Locked lock(*impl_);
    SimObject& o = impl_->NewObject(ai.title, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT, 0);
    impl_->PlaceObject(o, ai.latitude, ai.longitude, ai.altitudeFeet, 0, 0, ai.headingDegrees);
    o.vars.SetNumber("SIM ON GROUND", "Bool", ai.onGround ? 1 : 0);
    o.vars.SetText("ATC ID", ai.atcId);
    o.vars.SetText("ATC MODEL", ai.atcModel);
    o.vars.SetText("AI TRAFFIC STATE", ai.state);
    o.vars.SetText("AI TRAFFIC CURRENT AIRPORT", ai.airport);
    o.vars.SetText("AI TRAFFIC ASSIGNED PARKING", ai.parking);
    impl_->Log("AI aircraft " + impl_->Describe(o) + " (" + ai.state + ") at " + impl_->PositionText(o) +
               (ai.parking.empty() ? std::string() : ", parking " + Impl::Quote(ai.parking)));
    impl_->ObjectEvent("ObjectAdded", o);
    return o.id;
}

bool Simulator::UpdateAiAircraft(ObjectId id, const AiAircraft& ai)
{
    Locked lock(*impl_);
    SimObject* o = impl_->FindObject(id);
    if (!o || o->id == kUserId || o->owner != 0 || o->type != SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT) return false;
    impl_->PlaceObject(*o, ai.latitude, ai.longitude, ai.altitudeFeet, 0, 0, ai.headingDegrees);
    o->vars.SetNumber("SIM ON GROUND", "Bool", ai.onGround ? 1 : 0);
    o->vars.SetText("AI TRAFFIC STATE", ai.state);
    o->vars.SetText("AI TRAFFIC CURRENT AIRPORT", ai.airport);
    o->vars.SetText("AI TRAFFIC ASSIGNED PARKING", ai.parking);
    impl_->Log("AI aircraft " + impl_->Describe(*o) + " now " + ai.state + " at " + impl_->PositionText(*o) +
               (ai.parking.empty() ? std::string() : ", parking " + Impl::Quote(ai.parking)));
    return true;
}

bool Simulator::RemoveObject(ObjectId id)
{
    Locked lock(*impl_);
    if (id == SIMCONNECT_OBJECT_ID_USER || id == kUserId || !impl_->objects.count(id)) return false;
    impl_->EraseObject(id, "");
    return true;
}

std::optional<ObjectInfo> Simulator::Object(ObjectId id) const
{
    Locked lock(*impl_);
    const SimObject* o = impl_->FindObject(id);
    if (!o) return std::nullopt;
    ObjectInfo info{o->id, o->title, o->type, {}};
    auto c = impl_->clients.find(o->owner);
    if (o->owner && c != impl_->clients.end()) info.createdBy = impl_->ClientName(c->second);
    return info;
}

std::vector<ObjectInfo> Simulator::Objects() const
{
    std::vector<ObjectId> ids;
    {
        Locked lock(*impl_);
        for (const auto& [id, o] : impl_->objects) ids.push_back(id);
    }
    std::vector<ObjectInfo> out;
    for (ObjectId id : ids)
        if (auto info = Object(id)) out.push_back(*info);
    return out;
}

bool Simulator::SetNumber(ObjectId id, const std::string& name, const std::string& unit, double value)
{
    Locked lock(*impl_);
    SimObject* o = impl_->FindObject(id);
    if (!o) return false;
    o->vars.SetNumber(name, unit, value);
    return true;
}

std::optional<double> Simulator::Number(ObjectId id, const std::string& name, const std::string& unit) const
{
    Locked lock(*impl_);
    const SimObject* o = impl_->FindObject(id);
    return o ? o->vars.Number(name, unit) : std::nullopt;
}

bool Simulator::SetText(ObjectId id, const std::string& name, const std::string& text)
{
    Locked lock(*impl_);
    SimObject* o = impl_->FindObject(id);
    if (!o) return false;
    o->vars.SetText(name, text);
    return true;
}

std::optional<std::string> Simulator::Text(ObjectId id, const std::string& name) const
{
    Locked lock(*impl_);
    const SimObject* o = impl_->FindObject(id);
    return o ? o->vars.Text(name) : std::nullopt;
}

void Simulator::SetWeather(const std::string& name, const std::string& unit, double value)
{
    Locked lock(*impl_);
    impl_->SetWeather({name, unit, value});
}

void Simulator::RefuseTitle(const std::string& title)
{
    Locked lock(*impl_);
    impl_->refusedTitles.insert(Upper(title));
}

void Simulator::SetCreationDelayFrames(int frames)
{
    Locked lock(*impl_);
    impl_->creationDelay = std::max(0, frames);
}

void Simulator::SetGroundElevation(double feet)
{
    Locked lock(*impl_);
    impl_->groundElevationFeet.reset();
    if (std::isfinite(feet)) impl_->groundElevationFeet = feet;
}

bool Simulator::PressKey(const std::string& key)
{
    Locked lock(*impl_);
    const std::string k = NormalizeKey(key);
    impl_->Log("key " + Upper(key) + " pressed");
    bool any = false;
    for (auto& [id, c] : impl_->clients) {
        if (!c.connected) continue;
        if (!c.reservedKey.empty() && c.reservedKey == k) {
            impl_->RaiseClientEvent(c, c.reservedEvent, 0);
            any = true;
        }
        for (const InputMapping& m : c.inputs) {
            if (m.key != k || !c.inputGroupOn[m.group]) continue;
            impl_->RaiseClientEvent(c, m.down, m.downValue);
            if (m.up != SIMCONNECT_UNUSED) impl_->RaiseClientEvent(c, m.up, m.upValue);
            any = true;
        }
    }
    return any;
}

bool Simulator::ChooseAddonMenuItem(const std::string& item, const std::string& subItem)
{
    Locked lock(*impl_);
    for (auto& [id, c] : impl_->clients) {
        if (!c.connected) continue;
        for (auto& [event, entry] : c.addon) {
            if (entry.text != item) continue;
            if (subItem.empty()) {
                impl_->Log("add-on menu " + Impl::Quote(item) + " chosen");
                impl_->RaiseClientEvent(c, event, entry.data);
                return true;
            }
            for (const auto& sub : entry.subs) {
                if (sub.text != subItem || sub.event == SIMCONNECT_UNUSED) continue;
                impl_->Log("add-on menu " + Impl::Quote(item) + " > " + Impl::Quote(subItem) + " chosen");
                impl_->RaiseClientEvent(c, sub.event, sub.data);
                return true;
            }
        }
    }
    return false;
}

std::vector<std::string> Simulator::AddonMenu() const
{
    Locked lock(*impl_);
    std::vector<std::string> lines;
    for (const auto& [id, c] : impl_->clients) {
        for (const auto& [event, entry] : c.addon) {
            lines.push_back(entry.text);
            for (const auto& sub : entry.subs) lines.push_back(entry.text + " > " + sub.text);
        }
    }
    return lines;
}

std::optional<MenuInfo> Simulator::OpenMenu() const
{
    Locked lock(*impl_);
    if (!impl_->menu) return std::nullopt;
    const Menu& m = *impl_->menu;
    MenuInfo info{{}, m.eventId, m.title, m.prompt, m.lines, m.blockBytes};
    auto c = impl_->clients.find(m.client);
    if (c != impl_->clients.end()) info.client = impl_->ClientName(c->second);
    return info;
}

bool Simulator::ChooseMenuLine(int index)
{
    Locked lock(*impl_);
    if (!impl_->menu || index < 0 || static_cast<size_t>(index) >= impl_->menu->lines.size()) return false;
    const std::string line = impl_->menu->lines[static_cast<size_t>(index)];
    impl_->CloseMenu(static_cast<DWORD>(index), "answered with line " + std::to_string(index + 1) + " " +
                                                     Impl::Quote(line));
    return true;
}

std::vector<TextInfo> Simulator::Texts() const
{
    Locked lock(*impl_);
    std::vector<TextInfo> out;
    for (const PrintedText& t : impl_->texts) {
        TextInfo info{{}, t.type, t.seconds, t.text};
        auto c = impl_->clients.find(t.client);
        if (c != impl_->clients.end()) info.client = impl_->ClientName(c->second);
        out.push_back(std::move(info));
    }
    return out;
}

std::optional<std::vector<uint8_t>> Simulator::ClientData(const std::string& name) const
{
    Locked lock(*impl_);
    auto it = impl_->areas.find(Upper(name));
    if (it == impl_->areas.end()) return std::nullopt;
    return it->second.data;
}

std::vector<std::string> Simulator::Timeline() const
{
    Locked lock(*impl_);
    const std::string& text = impl_->timelineText;
    const std::vector<size_t>& starts = impl_->lineStarts;
    std::vector<std::string> lines;
    lines.reserve(starts.size());
    for (size_t i = 0; i < starts.size(); ++i) {
        const size_t end = i + 1 < starts.size() ? starts[i + 1] : text.size();
        lines.push_back(text.substr(starts[i], end - starts[i]));
    }
    return lines;
}

void Simulator::Note(const std::string& text)
{
    Locked lock(*impl_);
    impl_->Log(text);
}

void Simulator::ClearTimeline()
{
    Locked lock(*impl_);
    impl_->timelineText.clear();
    impl_->lineStarts.clear();
}

void Simulator::SetTimelineKept(bool keep)
{
    Locked lock(*impl_);
    impl_->keepTimeline = keep;
    if (!keep) {
        impl_->timelineText = std::string();
        impl_->lineStarts = std::vector<size_t>();
    }
}

void Simulator::SetTimelineRegistrations(bool on)
{
    Locked lock(*impl_);
    impl_->registrations = on;
}

void Simulator::SetTimelineListener(std::function<void(const std::string&)> listener)
{
    Locked lock(*impl_);
    impl_->listener = std::move(listener);
}

}  // namespace simulator
