// api_client: an example client of orvane's API. Connects to the simulator, runs its commands in order
// (asks for stands and jetways, docks and undocks jetways, selects stands, registers jetways) and prints
// every request it sends and every answer orvane gives.
#include "examples/api_client/ApiClient.h"
#include "platform/clock.h"
#include "platform/machine.h"
#include "platform/simconnect/SimConnect.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: api_client [--timeout SECONDS] COMMAND [ARGS] [COMMAND [ARGS]...]\n"
    "\n"
    "An example client of orvane's API. Connects to the simulator (found through the machine root,\n"
    "VELK_MACHINE_ROOT), runs the commands in order, prints each request it sends (\"> ...\") and each\n"
    "answer, and exits 0 when every command got its answers; 1 when an answer did not come within the\n"
    "timeout, a jetway could not be moved or the simulator refused the client; 2 on wrong arguments.\n"
    "\n"
    "Options:\n"
    "  --timeout SECONDS   how long to wait for each answer (real seconds, default 60)\n"
    "\n"
    "Commands:\n"
    "  stands ICAO                      the stands of an airport with jetways and with guidance\n"
    "  jetways ICAO STAND NUMBER        the jetways of a stand (e.g. jetways XVLK GATE_B 22)\n"
    "  undock REF                       undock a docked jetway and wait until it is undocked (one\n"
    "                                   undocked already is left as it is)\n"
    "  dock REF [DOOR]                  dock a jetway at DOOR (default: the door this run undocked it\n"
    "                                   from) and wait until it is docked (one docked already is left\n"
    "                                   as it is)\n"
    "  test REF DOOR                    whether the jetway could dock at DOOR (status 1) or not (0)\n"
    "  select ICAO STAND NUMBER         select a stand (StandInform)\n"
    "  deselect ICAO STAND NUMBER       deselect a stand\n"
    "  select-lite ICAO STAND NUMBER    select a stand (StandInform.Lite)\n"
    "  deselect-lite ICAO STAND NUMBER  deselect a stand (StandInform.Lite)\n"
    "  register ICAO STAND NUMBER MULTIINDEX JETWAY_ID LAT LON ALT HDG TITLE [PART_ID...]\n"
    "                                   register a jetway of the client's own (up to 4 part ids)\n"
    "  remove JETWAY_ID                 remove a registered jetway\n"
    "  reset                            reset the registered jetways\n"
    "  probe                            have orvane check that its registered jetways still exist\n"
    "\n"
    "REF is a jetway object id, or ICAO:STAND:NUMBER#SLOT: slot 1..4 of that stand's JetwayQuery answer\n"
    "(the stand is asked first when this run has no answer for it). Doors: 1L, 2L, 3L, 4L, \"1L Upper\".\n";

[[noreturn]] void UsageError(const std::string& message)
{
    std::fprintf(stderr, "api_client: %s\n\n%s", message.c_str(), kUsage);
    std::exit(2);
}

[[noreturn]] void Fail(const std::string& message)
{
    std::fflush(stdout);
    std::fprintf(stderr, "api_client: %s\n", message.c_str());
    std::exit(1);
}

void Print(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string Upper(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool ParseUnsigned(const std::string& text, uint32_t& value)
{
    if (text.empty() || text.size() > 10 || !std::all_of(text.begin(), text.end(), ::isdigit)) return false;
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (v > 0xFFFFFFFFull) return false;
    value = static_cast<uint32_t>(v);
    return true;
}

bool ParseInt(const std::string& text, int32_t& value)
{
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool ParseDouble(const std::string& text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0';
}

// A jetway as the command line names it: its id, or a slot of a stand's JetwayQuery answer.
struct JetwayRef {
    uint32_t id = 0;
    api_wire::StandRef stand;
    uint32_t slot = 0;  // 1..4 when given by stand

    std::string Text() const
    {
        if (slot == 0) return "jetway " + std::to_string(id);
        return stand.icao + ":" + stand.name + ":" + std::to_string(stand.number) + "#" + std::to_string(slot);
    }
};

std::optional<JetwayRef> ParseRef(const std::string& text)
{
    JetwayRef ref;
    if (ParseUnsigned(text, ref.id)) return ref.id != 0 ? std::optional(ref) : std::nullopt;
    const size_t hash = text.rfind('#');
    if (hash == std::string::npos) return std::nullopt;
    const std::string standText = text.substr(0, hash);
    const size_t first = standText.find(':');
    const size_t last = standText.rfind(':');
    if (first == std::string::npos || first == last) return std::nullopt;
    ref.stand.icao = Upper(standText.substr(0, first));
    ref.stand.name = Upper(standText.substr(first + 1, last - first - 1));
    if (ref.stand.icao.empty() || ref.stand.name.empty() || !ParseUnsigned(standText.substr(last + 1), ref.stand.number))
        return std::nullopt;
    if (!ParseUnsigned(text.substr(hash + 1), ref.slot) || ref.slot < 1 || ref.slot > api_wire::kSlots)
        return std::nullopt;
    return ref;
}

struct Command {
    std::string name;
    api_wire::StandRef stand;
    JetwayRef jetway;
    std::string door;
    api_wire::JetwayInformRequest inform;
};

const char* const kCommandNames[] = {"stands", "jetways", "undock", "dock", "test", "select", "deselect",
                                     "select-lite", "deselect-lite", "register", "remove", "reset", "probe"};

bool IsCommand(const std::string& word)
{
    return std::find_if(std::begin(kCommandNames), std::end(kCommandNames),
                        [&](const char* name) { return word == name; }) != std::end(kCommandNames);
}

std::string StandText(const api_wire::StandRef& s) { return s.icao + " " + s.name + " " + std::to_string(s.number); }
std::string StandKey(const api_wire::StandRef& s) { return Upper(s.icao) + ":" + Upper(s.name) + ":" + std::to_string(s.number); }

// The command line after the options, into commands; wrong arguments end the program with the usage.
std::vector<Command> ParseCommands(const std::vector<std::string>& args)
{
    std::vector<Command> commands;
    size_t i = 0;
    const auto take = [&](const std::string& command, const char* what) -> std::string {
        if (i >= args.size()) UsageError(command + " needs " + what);
        return args[i++];
    };
    const auto stand = [&](const std::string& command) {
        api_wire::StandRef s;
        s.icao = Upper(take(command, "ICAO STAND NUMBER"));
        s.name = Upper(take(command, "ICAO STAND NUMBER"));
        const std::string number = take(command, "ICAO STAND NUMBER");
        if (!ParseUnsigned(number, s.number)) UsageError(command + ": '" + number + "' is not a stand number");
        return s;
    };
    const auto ref = [&](const std::string& command) {
        const std::string text = take(command, "a jetway (ID or ICAO:STAND:NUMBER#SLOT)");
        auto r = ParseRef(text);
        if (!r) UsageError(command + ": '" + text + "' is neither a jetway id nor ICAO:STAND:NUMBER#SLOT (slot 1..4)");
        return *r;
    };
    const auto number = [&](const std::string& command, const char* what, auto& value, auto parse) {
        const std::string text = take(command, what);
        if (!parse(text, value)) UsageError(command + ": '" + text + "' is not a valid " + what);
    };
    while (i < args.size()) {
        Command c;
        c.name = args[i++];
        if (c.name == "stands") {
            c.stand.icao = Upper(take(c.name, "an ICAO code"));
        } else if (c.name == "jetways" || c.name == "select" || c.name == "deselect" || c.name == "select-lite" ||
                   c.name == "deselect-lite") {
            c.stand = stand(c.name);
        } else if (c.name == "undock") {
            c.jetway = ref(c.name);
        } else if (c.name == "dock") {
            c.jetway = ref(c.name);
            if (i < args.size() && !IsCommand(args[i])) c.door = args[i++];
        } else if (c.name == "test") {
            c.jetway = ref(c.name);
            c.door = take(c.name, "a DOOR");
        } else if (c.name == "register") {
            api_wire::JetwayInformRequest& r = c.inform;
            r.mode = api_wire::kInformRegister;
            r.version = api_wire::kVersion;
            r.stand = stand(c.name);
            number(c.name, "MULTIINDEX", r.multiIndex, ParseInt);
            number(c.name, "JETWAY_ID", r.jetwayId, ParseUnsigned);
            number(c.name, "LAT", r.latitude, ParseDouble);
            number(c.name, "LON", r.longitude, ParseDouble);
            number(c.name, "ALT", r.altitudeFeet, ParseDouble);
            number(c.name, "HDG", r.heading, ParseDouble);
            r.simTitle = take(c.name, "a TITLE");
            size_t parts = 0;
            uint32_t part = 0;
            while (i < args.size() && ParseUnsigned(args[i], part)) {
                if (parts == r.partIds.size()) UsageError("register takes at most 4 part ids");
                r.partIds[parts++] = part;
                ++i;
            }
        } else if (c.name == "remove") {
            c.inform.mode = api_wire::kInformRemove;
            number(c.name, "JETWAY_ID", c.inform.jetwayId, ParseUnsigned);
        } else if (c.name == "reset") {
            c.inform.mode = api_wire::kInformReset;
        } else if (c.name == "probe") {
            c.inform.mode = api_wire::kInformProbe;
        } else {
            UsageError("unknown command '" + c.name + "'");
        }
        commands.push_back(std::move(c));
    }
    if (commands.empty()) UsageError("no command given");
    return commands;
}

class Runner {
public:
    Runner(HANDLE handle, double timeoutSeconds) : handle_(handle), client_(handle), timeout_(timeoutSeconds) {}

    void Register()
    {
        if (!client_.Register()) Fail("the registration with the simulator failed");
        Pump("the simulator's answer to the registration", [&] { return client_.Registered(); });
        if (!client_.MissingAreas().empty()) {
            std::string names;
            for (const std::string& name : client_.MissingAreas()) names += (names.empty() ? "\"" : ", \"") + name + "\"";
            Fail("the simulator has no area " + names +
                 ": orvane creates the API areas when it connects; start api_client after orvane");
        }
    }

    void Run(const Command& c)
    {
        if (c.name == "stands") return Stands(c.stand.icao);
        if (c.name == "jetways") return void(Query(c.stand));
        if (c.name == "undock") return Undock(c.jetway);
        if (c.name == "dock") return Dock(c.jetway, c.door);
        if (c.name == "test") return Test(c.jetway, c.door);
        if (c.name == "select" || c.name == "deselect") return Stand(c.stand, c.name == "select");
        if (c.name == "select-lite" || c.name == "deselect-lite") return Lite(c.stand, c.name == "select-lite");
        return Inform(c.inform);
    }

private:
    // Hands every message to the client and prints the answers as they come, until `done` holds; a
    // timeout, or the simulator quitting, ends the program.
    void Pump(const std::string& what, const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_);
        while (!done()) {
            SIMCONNECT_RECV* message = nullptr;
            DWORD size = 0;
            if (SUCCEEDED(SimConnect_GetNextDispatch(handle_, &message, &size))) {
                if (message->dwID == SIMCONNECT_RECV_ID_QUIT) Fail("the simulator quit while waiting for " + what);
                client_.HandleMessage(message, size);
                std::string error;
                while (client_.TakeError(error)) std::fprintf(stderr, "api_client: %s\n", error.c_str());
                continue;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                char seconds[32];
                std::snprintf(seconds, sizeof seconds, "%g", timeout_);
                Fail(std::string("no answer within ") + seconds + " s: waited for " + what);
            }
            Sleep(1);
        }
    }

    // Waits for an answer of the kind that `wanted` accepts; every answer that arrives is printed.
    api_client::Answer Await(api_client::Answer::Kind kind, const std::function<bool(const api_client::Answer&)>& wanted)
    {
        std::optional<api_client::Answer> found;
        Pump(std::string(api_client::KindName(kind)), [&] {
            api_client::Answer answer;
            while (!found && client_.TakeAnswer(answer)) {
                Print(api_client::Describe(answer));
                if (answer.kind == kind && wanted(answer)) found = std::move(answer);
            }
            return found.has_value();
        });
        return *found;
    }

    void Check(bool sent, const std::string& what)
    {
        if (!sent) Fail("could not send " + what);
    }

    void Stands(const std::string& icao)
    {
        Print("> JetwayMassQuery " + icao);
        Check(client_.MassQuery({icao}), "the JetwayMassQuery");
        Await(api_client::Answer::Kind::MassResponse,
              [&](const api_client::Answer& a) { return Upper(a.stands.icao) == Upper(icao); });
    }

    const api_wire::JetwayResponse& Query(const api_wire::StandRef& stand)
    {
        Print("> JetwayQuery " + StandText(stand));
        api_wire::JetwayQueryRequest request;
        request.stand = stand;
        Check(client_.JetwayQuery(request), "the JetwayQuery");
        const api_client::Answer answer =
            Await(api_client::Answer::Kind::JetwayResponse, [&](const api_client::Answer& a) {
                return StandKey(api_client::QueriedStand(a.jetways)) == StandKey(stand);
            });
        return queries_[StandKey(stand)] = answer.jetways;
    }

    // The jetway's id and, when a query answer of this run shows it, its slot there.
    struct Known {
        uint32_t id = 0;
        const api_wire::JetwayResponse* answer = nullptr;
        size_t slot = 0;  // 0-based
    };

    Known Resolve(const JetwayRef& ref, bool queryIfUnknown)
    {
        Known k;
        if (ref.slot == 0) {
            k.id = ref.id;
            for (const auto& [key, answer] : queries_)
                for (size_t i = 0; i < std::min<size_t>(answer.count, api_wire::kSlots); ++i)
                    if (answer.ids[i] == ref.id) {
                        k.answer = &answer;
                        k.slot = i;
                    }
            return k;
        }
        auto it = queries_.find(StandKey(ref.stand));
        const api_wire::JetwayResponse* answer = nullptr;
        if (it != queries_.end()) answer = &it->second;
        else if (queryIfUnknown) answer = &Query(ref.stand);
        if (answer == nullptr) return k;
        if (ref.slot > std::min<size_t>(answer->count, api_wire::kSlots) || answer->ids[ref.slot - 1] == 0)
            Fail(ref.Text() + ": the stand has no jetway in slot " + std::to_string(ref.slot));
        k.id = answer->ids[ref.slot - 1];
        k.answer = answer;
        k.slot = ref.slot - 1;
        return k;
    }

    // Sends the trigger and waits for the status that ends it: `target`, or a failure (exit 1).
    void Trigger(uint32_t jetway, uint32_t mode, const std::string& door, uint32_t target)
    {
        Print(std::string("> JetwayTrigger ") + (mode == api_wire::kTriggerTestOnly ? "test" : "operate") +
              " jetway " + std::to_string(jetway) + " at " + door);
        api_wire::JetwayTriggerRequest request;
        request.mode = mode;
        request.jetwayId = jetway;
        request.door = door;
        Check(client_.JetwayTrigger(request), "the JetwayTrigger");
        // An operate request moves the jetway the other way when it stands where asked already: its
        // first status then shows that motion.
        const uint32_t wrongWay = target == api_wire::kTriggerDocked ? api_wire::kTriggerAiUndocking
                                                                     : api_wire::kTriggerAiDocking;
        const auto ends = [&](uint32_t s) {
            if (mode == api_wire::kTriggerTestOnly) return true;
            return s == target || s == wrongWay || s == api_wire::kTriggerNoSolution ||
                   s == api_wire::kTriggerAborted || s == api_wire::kTriggerGone;
        };
        const api_client::Answer answer =
            Await(api_client::Answer::Kind::TriggerStatus,
                  [&](const api_client::Answer& a) { return a.status.jetwayId == jetway && ends(a.status.status); });
        if (mode == api_wire::kTriggerTestOnly) return;
        if (answer.status.status == wrongWay)
            Fail("jetway " + std::to_string(jetway) + " stood where asked already: orvane moves it back (status " +
                 std::to_string(wrongWay) + ")");
        if (answer.status.status != target)
            Fail("jetway " + std::to_string(jetway) + " did not move: status " + std::to_string(answer.status.status));
        // The query answers of this run follow the jetway, so that a later command sees where it is.
        for (auto& [key, known] : queries_)
            for (size_t i = 0; i < api_wire::kSlots; ++i)
                if (known.ids[i] == jetway) {
                    known.states[i] = target == api_wire::kTriggerDocked ? api_wire::kSlotDocked : api_wire::kSlotUndocked;
                    known.doors[i] = target == api_wire::kTriggerDocked ? api_wire::DoorCode(door) : api_wire::kDoorNone;
                }
    }

    void Undock(const JetwayRef& ref)
    {
        const Known k = Resolve(ref, true);
        if (k.answer == nullptr)
            Fail(ref.Text() + ": no JetwayQuery answer of this run shows it; give it as ICAO:STAND:NUMBER#SLOT");
        const uint32_t state = k.answer->states[k.slot];
        if (state == api_wire::kSlotUndocked) {
            Print("jetway " + std::to_string(k.id) + " is undocked already: not moved");
            return;
        }
        if (state != api_wire::kSlotDocked)
            Fail("jetway " + std::to_string(k.id) + " is not docked (slot state " + std::to_string(state) + ")");
        const std::string door = api_wire::DoorName(k.answer->doors[k.slot]);
        if (door.empty()) Fail("jetway " + std::to_string(k.id) + " is docked at a door without a name");
        Trigger(k.id, 0, door, api_wire::kTriggerUndocked);
        undockedFrom_[k.id] = door;
    }

    void Dock(const JetwayRef& ref, std::string door)
    {
        const Known k = Resolve(ref, true);
        // A trigger of a docked jetway would undock it.
        if (k.answer != nullptr && k.answer->states[k.slot] == api_wire::kSlotDocked) {
            const std::string at = api_wire::DoorName(k.answer->doors[k.slot]);
            Print("jetway " + std::to_string(k.id) + " is docked already" + (at.empty() ? "" : " at " + at) +
                  ": not moved");
            return;
        }
        if (door.empty()) {
            auto it = undockedFrom_.find(k.id);
            if (it == undockedFrom_.end())
                UsageError("dock " + ref.Text() + " needs a DOOR: this run did not undock that jetway");
            door = it->second;
        }
        Trigger(k.id, 0, door, api_wire::kTriggerDocked);
    }

    void Test(const JetwayRef& ref, const std::string& door)
    {
        const Known k = Resolve(ref, true);
        Trigger(k.id, api_wire::kTriggerTestOnly, door, api_wire::kTriggerSolvable);
    }

    void Stand(const api_wire::StandRef& stand, bool select)
    {
        Print(std::string("> StandInform ") + (select ? "select " : "deselect ") + StandText(stand));
        api_wire::StandInformRequest request;
        request.mode = select ? api_wire::kStandSelect : api_wire::kStandDeselect;
        request.stand = stand;
        Check(client_.StandInform(request), "the StandInform");
        Await(api_client::Answer::Kind::StandStatus, [](const api_client::Answer&) { return true; });
    }

    void Lite(const api_wire::StandRef& stand, bool select)
    {
        Print(std::string("> StandInform.Lite ") + (select ? "select " : "deselect ") + StandText(stand));
        api_wire::LiteRecord request;
        request.mode = select ? api_wire::kStandSelect : api_wire::kStandDeselect;
        request.stand = stand;
        Check(client_.StandInformLite(request), "the StandInform.Lite");
        Await(api_client::Answer::Kind::LiteStatus, [](const api_client::Answer&) { return true; });
    }

    void Inform(const api_wire::JetwayInformRequest& request)
    {
        static const char* const kModes[] = {"probe", "reset", "register", "remove"};
        std::string text = std::string("> JetwayInform ") + (request.mode < 4 ? kModes[request.mode] : "?");
        if (request.mode == api_wire::kInformRegister)
            text += " jetway " + std::to_string(request.jetwayId) + " at " + StandText(request.stand) + " '" +
                    request.simTitle + "'";
        else if (request.mode == api_wire::kInformRemove)
            text += " jetway " + std::to_string(request.jetwayId);
        Print(text);
        Check(client_.JetwayInform(request), "the JetwayInform");
        Await(api_client::Answer::Kind::InformStatus, [](const api_client::Answer&) { return true; });
    }

    HANDLE handle_;
    api_client::ApiClient client_;
    double timeout_;
    std::map<std::string, api_wire::JetwayResponse> queries_;  // by stand
    std::map<uint32_t, std::string> undockedFrom_;            // jetway id -> door
};

}  // namespace

int main(int argc, char** argv)
{
    double timeout = 60.0;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--timeout") {
            if (i + 1 >= argc || !ParseDouble(argv[i + 1], timeout) || !(timeout > 0))
                UsageError("--timeout needs a positive number of seconds");
            ++i;
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            UsageError("unknown option " + arg);
        } else {
            args.push_back(arg);
        }
    }
    const std::vector<Command> commands = ParseCommands(args);

    HANDLE handle = nullptr;
    if (FAILED(SimConnect_Open(&handle, "VELK API client example", nullptr, 0, nullptr, 0)))
        Fail("cannot connect to the simulator: none listens in the machine root " + platform::MachineRoot().string());

    Runner runner(handle, timeout);
    runner.Register();
    for (const Command& c : commands) runner.Run(c);
    SimConnect_Close(handle);
    return 0;
}
