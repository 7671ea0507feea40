// The dispatch handler: each message kind, event, request and data word against what follows it, the
// flags it keeps, and messages that are short or hostile.
#include "app/FSProcess.h"
#include "app/HandlerSupport.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "jetway/AIMonitor.h"
#include "link/SeasonalObjectHandler.h"
#include "objects/EnviroDataProbe.h"
#include "objects/InjectionQueue.h"
#include "objects/SimObjectList.h"
#include "scenery/QuadTree.h"
#include "scenery/SimBubble.h"
#include "link/SimStatus.h"
#include "simulator/Simulator.h"
#include "tests/app/CoreTestSupport.h"
#include "tests/support/ProgramParts.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

using namespace coretest;
using namespace velk_ids;
using program::Flags;
using program::Parts;
using program::Sim;

namespace {

SIMCONNECT_RECV_EVENT Event(DWORD id, DWORD data = 0, DWORD kind = SIMCONNECT_RECV_ID_EVENT)
{
    SIMCONNECT_RECV_EVENT e{};
    e.dwSize = sizeof(e);
    e.dwVersion = 1;
    e.dwID = kind;
    e.uGroupID = SIMCONNECT_UNKNOWN_GROUP;
    e.uEventID = id;
    e.dwData = data;
    return e;
}

template <typename T>
void Send(T& record, DWORD size = sizeof(T))
{
    FSProcess::Dispatch(reinterpret_cast<SIMCONNECT_RECV*>(&record), size, nullptr);
}

void SendEvent(DWORD id, DWORD data = 0)
{
    auto e = Event(id, data);
    Send(e);
}

SIMCONNECT_RECV_SYSTEM_STATE SystemState(DWORD request, DWORD value)
{
    SIMCONNECT_RECV_SYSTEM_STATE s{};
    s.dwSize = sizeof(s);
    s.dwID = SIMCONNECT_RECV_ID_SYSTEM_STATE;
    s.dwRequestID = request;
    s.dwInteger = value;
    return s;
}

SIMCONNECT_RECV_EXCEPTION Exception(DWORD exception, DWORD sendId, DWORD index)
{
    SIMCONNECT_RECV_EXCEPTION e{};
    e.dwSize = sizeof(e);
    e.dwID = SIMCONNECT_RECV_ID_EXCEPTION;
    e.dwException = exception;
    e.dwSendID = sendId;
    e.dwIndex = index;
    return e;
}

// A data message with its record after the header.
std::vector<uint8_t> DataMessage(DWORD kind, DWORD request, DWORD define, const void* record, size_t size)
{
    std::vector<uint8_t> bytes(SIMCONNECT_DATA_OFFSET + size, 0);
    SIMCONNECT_RECV_SIMOBJECT_DATA header{};
    header.dwSize = static_cast<DWORD>(bytes.size());
    header.dwID = kind;
    header.dwRequestID = request;
    header.dwDefineID = define;
    std::memcpy(bytes.data(), &header, SIMCONNECT_DATA_OFFSET);
    if (size) std::memcpy(bytes.data() + SIMCONNECT_DATA_OFFSET, record, size);
    return bytes;
}

void SendBytes(std::vector<uint8_t>& bytes)
{
    FSProcess::Dispatch(reinterpret_cast<SIMCONNECT_RECV*>(bytes.data()), static_cast<DWORD>(bytes.size()), nullptr);
}

struct DateTime {
    double month, dayOfYear, dayOfWeek, dayOfMonth;
    int32_t zone, zulu, timeOfDay, year;
};
static_assert(sizeof(DateTime) == 48);

void SendDateTime(const DateTime& record)
{
    auto bytes = DataMessage(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, RequestDateTime, DefDateTime, &record, sizeof(record));
    SendBytes(bytes);
}

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::MakeProgramParts({.customCommands = 2});
        Flags().logFolder = "C:\\ProgramData\\Quorvath\\VELK\\log";
        sim.ServeInProcess();
        ASSERT_EQ(Sim().Open(), S_OK);
        ASSERT_EQ(SimConnect_Open(&module, "Module", nullptr, 0, nullptr, 0), S_OK);
        Drain(module);
    }
    void TearDown() override
    {
        Sim().Close();
        SimConnect_Close(module);
        testsupport::ClearProgramParts();
    }

    // The run phase's registrations; without external mode every event and definition is there.
    void Register(bool external)
    {
        Flags().objectCount = external ? 0 : 1;
        Flags().externalMode = external;
        FSProcess::RegisterWithSimulator();
        // The module's side: the areas it creates.
        ASSERT_EQ(SimConnect_MapClientDataNameToID(module, "VELK.AcftLVars.Out", 1), S_OK);
        ASSERT_EQ(SimConnect_CreateClientData(module, 1, 24, 0), S_OK);
        Pending();
        log.Clear();
    }

    // What the simulator has sent the program, taken without dispatching it.
    std::vector<Message> Pending() { return Drain(Sim().GetHandle()); }

    std::vector<SIMCONNECT_RECV_EVENT> PendingEvents()
    {
        return OfKind<SIMCONNECT_RECV_EVENT>(Pending(), SIMCONNECT_RECV_ID_EVENT);
    }

    TempMachineRoot root;
    LogCapture log;
    simulator::Simulator sim;
    HANDLE module = nullptr;
};

// Each row: what the program is handed, and the message that the simulator sends back because of the
// call the handler made.
TEST_F(DispatchTest, MessagesThatCallTheSimulator)
{
    Register(false);
    struct Row {
        const char* name;
        std::function<void()> deliver;
        DWORD kind;
        DWORD id;  // request id, or event id for events
    };
    const Row rows[] = {
        {"voice capture start requests the COM radios", [] { SendEvent(EventVoiceCaptureStart); },
         SIMCONNECT_RECV_ID_SIMOBJECT_DATA, RequestComRadios},
        {"aircraft variables answer requests their area", [] { SendEvent(EventAcftLVarsResponse); },
         SIMCONNECT_RECV_ID_CLIENT_DATA, RequestAcftLVars},
        {"reserved key shows the main menu for every command", [] { SendEvent(EventReservedKey); },
         SIMCONNECT_RECV_ID_EVENT, EventShowMainMenu},
        {"aircraft loaded asks for its file",
         [] {
             auto e = Event(EventAircraftLoaded, 0, SIMCONNECT_RECV_ID_EVENT_FILENAME);
             SIMCONNECT_RECV_EVENT_FILENAME f{};
             std::memcpy(&f, &e, sizeof(e));
             f.dwSize = sizeof(f);
             Send(f);
         },
         SIMCONNECT_RECV_ID_SYSTEM_STATE, RequestAircraftLoaded},
        {"injection finished restarts the date and time request",
         [] {
             Parts().seasonal->SetChanged(false);
             SendEvent(EventInjectionFinished, 1);
         },
         SIMCONNECT_RECV_ID_SIMOBJECT_DATA, RequestDateTime},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.deliver();
        sim.Advance(1000);
        bool found = false;
        for (const Message& m : Pending()) {
            if (Kind(m) != row.kind) continue;
            if (row.kind == SIMCONNECT_RECV_ID_EVENT) {
                auto e = As<SIMCONNECT_RECV_EVENT>(m);
                found = found || (e.uEventID == row.id && e.dwData == 0xFFFFFFFFu);
            } else if (row.kind == SIMCONNECT_RECV_ID_SYSTEM_STATE) {
                found = found || As<SIMCONNECT_RECV_SYSTEM_STATE>(m).dwRequestID == row.id;
            } else {
                found = found || As<SIMCONNECT_RECV_SIMOBJECT_DATA>(m).dwRequestID == row.id;
            }
        }
        EXPECT_TRUE(found);
    }
    EXPECT_TRUE(Parts().seasonal->IsChanged());
}

TEST_F(DispatchTest, TestDllConnectionAsksTheModule)
{
    Register(true);
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(module, 7, "VELK.JetwayAction.ConnectionCheck"), S_OK);
    ASSERT_EQ(SimConnect_AddClientEventToNotificationGroup(module, 1, 7), S_OK);
    ASSERT_EQ(SimConnect_SetNotificationGroupPriority(module, 1, SIMCONNECT_GROUP_PRIORITY_HIGHEST), S_OK);
    SendEvent(EventMenuTestDll);
    auto events = OfKind<SIMCONNECT_RECV_EVENT>(Drain(module), SIMCONNECT_RECV_ID_EVENT);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].uEventID, 7u);
}

TEST_F(DispatchTest, VoiceCaptureAsksOnceUntilItStops)
{
    Register(false);
    auto radioRequests = [&] {
        int n = 0;
        for (const Message& m : Pending())
            if (Kind(m) == SIMCONNECT_RECV_ID_SIMOBJECT_DATA &&
                As<SIMCONNECT_RECV_SIMOBJECT_DATA>(m).dwRequestID == RequestComRadios)
                ++n;
        return n;
    };
    SendEvent(EventVoiceCaptureStart);
    SendEvent(EventVoiceCaptureStart);
    EXPECT_EQ(radioRequests(), 1);
    EXPECT_TRUE(Flags().voiceCaptureActive);
    SendEvent(EventVoiceCaptureStop);
    EXPECT_FALSE(Flags().voiceCaptureActive);
    SendEvent(EventVoiceCaptureStart);
    EXPECT_EQ(radioRequests(), 1);
}

// The flags start clear and follow the events; the timers that read them keep their addresses, so they
// are read through those too.
TEST_F(DispatchTest, PauseAndSoundFollowTheirData)
{
    const SimStatus& status = *Parts().simStatus;
    const std::atomic<bool>* paused = status.GetPausedFlag();
    const std::atomic<bool>* soundOff = status.GetSoundOffFlag();
    ASSERT_NE(paused, soundOff);
    EXPECT_FALSE(paused->load());
    EXPECT_FALSE(soundOff->load());
    const struct {
        DWORD event, data;
        bool paused, soundOff;
    } rows[] = {
        {EventPause, 1, true, false},  {EventPause, 0, false, false}, {EventPause, 7, true, false},
        {EventSound, 0, true, true},   {EventSound, 1, true, false},  {EventPause, 0, false, false},
    };
    for (const auto& row : rows) {
        SendEvent(row.event, row.data);
        EXPECT_EQ(paused->load(), row.paused) << row.event << " " << row.data;
        EXPECT_EQ(soundOff->load(), row.soundOff) << row.event << " " << row.data;
    }
}

TEST_F(DispatchTest, QuitSetsTheQuitFlagAndOpenIsLogged)
{
    SIMCONNECT_RECV open{sizeof(SIMCONNECT_RECV), 1, SIMCONNECT_RECV_ID_OPEN};
    Send(open);
    EXPECT_EQ(Flags().quit.load(), 0);
    SIMCONNECT_RECV quit{sizeof(SIMCONNECT_RECV), 1, SIMCONNECT_RECV_ID_QUIT};
    Send(quit);
    EXPECT_EQ(Flags().quit.load(), 1);
    EXPECT_TRUE(log.InOrder({"INFO VELK.FSLOOP : ### VELK connected to Simulator ###",
                             "INFO VELK.FSLOOP : VELK disconnected from Simulator!"}));
}

// Only -1 and the positions of the custom commands (two here) are menu requests; anything else asks for
// the main menu.
TEST_F(DispatchTest, MainMenuDataOutsideTheCommandsCountsAsTheMainMenu)
{
    const std::pair<DWORD, int32_t> rows[] = {
        {0xFFFFFFFFu, -1}, {0, 0}, {1, 1}, {2, -1}, {0x7FFFFFFFu, -1}, {0x80000000u, -1}, {0xFFFFFFFEu, -1},
    };
    for (const auto& [data, expected] : rows) {
        Flags().lastMainMenuRequest = 5;
        SendEvent(EventShowMainMenu, data);
        EXPECT_EQ(Flags().lastMainMenuRequest, expected) << data;
    }
}

// The passes themselves are tested over real objects in the frame-pass tests; here only their rhythm.
TEST_F(DispatchTest, EveryThirdFrameRunsTheFrameWork)
{
    auto frame = Event(EventFrame, 0, SIMCONNECT_RECV_ID_EVENT_FRAME);
    SIMCONNECT_RECV_EVENT_FRAME f{};
    std::memcpy(&f, &frame, sizeof(frame));
    f.dwSize = sizeof(f);
    Send(f);
    Send(f);
    EXPECT_EQ(Flags().frameCounter, 2);
    Send(f);
    EXPECT_EQ(Flags().frameCounter, 0);
    // Another frame id is no visual frame.
    f.uEventID = 9;
    Send(f);
    EXPECT_EQ(Flags().frameCounter, 0);
    f.uEventID = EventFrame;
    Send(f);
    EXPECT_EQ(Flags().frameCounter, 1);
}

TEST_F(DispatchTest, SimStartInExternalModeStartsTheAircraftRequestsOnly)
{
    Register(true);
    SendEvent(EventSimStart);
    EXPECT_TRUE(Flags().simStartSeen);
    EXPECT_FALSE(Flags().positionInitialised);
    EXPECT_FALSE(Parts().seasonal->IsChanged());
    sim.RunFrames(2);
    sim.Advance(1000);
    std::set<DWORD> requests;
    for (const Message& m : Pending()) {
        if (Kind(m) == SIMCONNECT_RECV_ID_SYSTEM_STATE) requests.insert(As<SIMCONNECT_RECV_SYSTEM_STATE>(m).dwRequestID);
        if (Kind(m) == SIMCONNECT_RECV_ID_SIMOBJECT_DATA)
            requests.insert(As<SIMCONNECT_RECV_SIMOBJECT_DATA>(m).dwRequestID);
        EXPECT_NE(Kind(m), static_cast<DWORD>(SIMCONNECT_RECV_ID_EXCEPTION));
    }
    EXPECT_EQ(requests, (std::set<DWORD>{RequestAircraftLoaded, RequestUserAircraft, RequestUserAircraftState}));
    EXPECT_TRUE(log.InOrder({"Initialize Data Requests!", "Initialize Position after SimStart Event!"}));

    // Later starts do not start them again.
    log.Clear();
    SendEvent(EventSimStart);
    EXPECT_FALSE(log.Has("Initialize Data Requests!"));
}

TEST_F(DispatchTest, SimStartWithObjectsInitialisesThePosition)
{
    Register(false);
    SendEvent(EventSimStart);
    EXPECT_TRUE(Flags().positionInitialised);
    EXPECT_TRUE(Parts().seasonal->IsChanged());
    auto events = PendingEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].uEventID, EventSimBubbleUpdate);
    EXPECT_EQ(events[0].dwData, 0u);

    // A position change in the simulator's interface, then the next start: mode 1.
    SendEvent(EventPositionChanged);
    EXPECT_TRUE(Flags().uiPositionChange);
    SendEvent(EventSimStart);
    EXPECT_FALSE(Flags().uiPositionChange);
    events = PendingEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].dwData, 1u);
    EXPECT_TRUE(log.Has("Initialize Position after Position change due to UI!"));
}

TEST_F(DispatchTest, SimStartWhilePausedRequestsNoPosition)
{
    Register(false);
    SendEvent(EventPause, 1);
    SendEvent(EventSimStart);
    EXPECT_TRUE(Flags().simStartSeen);
    EXPECT_FALSE(Flags().positionInitialised);
    EXPECT_TRUE(PendingEvents().empty());
}

TEST_F(DispatchTest, PositionChangesCountOnlyAfterTheFirstInitialisation)
{
    auto flight = Event(EventFlightLoaded, 0, SIMCONNECT_RECV_ID_EVENT_FILENAME);
    SIMCONNECT_RECV_EVENT_FILENAME f{};
    std::memcpy(&f, &flight, sizeof(flight));
    f.dwSize = sizeof(f);
    Send(f);
    SendEvent(EventPositionChanged);
    EXPECT_FALSE(Flags().uiPositionChange);
    Flags().positionInitialised = true;
    Send(f);
    EXPECT_TRUE(Flags().uiPositionChange);
    Flags().uiPositionChange = false;
    Flags().externalMode = true;
    SendEvent(EventPositionChanged);
    EXPECT_FALSE(Flags().uiPositionChange);
}

TEST_F(DispatchTest, SimStateAnswer)
{
    Register(false);
    auto stopped = SystemState(RequestSimState, 0);
    Send(stopped);
    EXPECT_TRUE(log.Has("DEBUG VELK.FSLOOP : SimState query...Running=0"));
    EXPECT_FALSE(Flags().simStartSeen);
    EXPECT_TRUE(PendingEvents().empty());

    auto running = SystemState(RequestSimState, 1);
    Send(running);
    EXPECT_TRUE(Flags().simStartSeen);
    EXPECT_TRUE(Flags().positionInitialised);
    EXPECT_TRUE(log.InOrder({"SimState query...Running=1", "Initialize Position after SimState query!"}));
    auto events = PendingEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].uEventID, EventSimBubbleUpdate);
}

TEST_F(DispatchTest, SimStateEnablesTheMenuHotkey)
{
    Parts().customCommands->at(0) = StringTriple{"Cmd", "shift+ctrl+k", "Title", true};
    Register(false);
    ASSERT_TRUE(Flags().hotkeySet);
    sim.PressKey("shift+ctrl+k");  // enabled by the run phase already
    auto events = PendingEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].uEventID, EventShowMainMenu);
    EXPECT_EQ(events[0].dwData, 0u);
    SimConnect_SetInputGroupState(Sim().GetHandle(), InputGroupHotkeys, SIMCONNECT_STATE_OFF);
    auto answer = SystemState(RequestSimState, 0);
    Send(answer);
    sim.PressKey("shift+ctrl+k");
    EXPECT_EQ(PendingEvents().size(), 1u);
}

TEST_F(DispatchTest, Exceptions)
{
    Flags().reachabilityProbes[77] = 1234;
    const struct {
        DWORD exception, sendId, index;
        const char* line;
    } rows[] = {
        {22, 5, 1, "ERROR VELK.FSLOOP : SimConnect EXCEPTION! Not able to create SimObject ''"},
        {3, 77, 2, "ERROR VELK.FSLOOP : SimConnect EXCEPTION! UNRECOGNIZED ID (3)"},
        {3, 78, 3, "ERROR VELK.FSLOOP : SimConnect EXCEPTION! UNRECOGNIZED ID (3)"},
        {3, 77, 3, "ERROR VELK.FSLOOP : Not able to reach external SimObject. Not found in external map anymore..."},
        {3, 77, 3, "ERROR VELK.FSLOOP : SimConnect EXCEPTION! UNRECOGNIZED ID (3)"},  // the entry is gone
        {7, 1, 1, "ERROR VELK.FSLOOP : SimConnect EXCEPTION! ID=7"},
    };
    for (const auto& row : rows) {
        log.Clear();
        Flags().simulatorErrors.clear();  // each row on its own: no line is a repeat
        auto e = Exception(row.exception, row.sendId, row.index);
        Send(e);
        auto lines = log.Lines();
        ASSERT_EQ(lines.size(), 1u) << row.line;
        EXPECT_EQ(lines[0], row.line);
    }
    EXPECT_TRUE(Flags().reachabilityProbes.empty());
}

// A simulator that sends nothing but faulty messages fills the log by a line per tenfold: identical
// lines are written once, then counted, and the count is written after 10, 100, 1000, ... of them.
// Beyond the texts told apart, new texts share one count.
TEST_F(DispatchTest, RepeatedSimulatorErrorsAreCountedNotEachLogged)
{
    log.Clear();
    for (DWORD i = 0; i < 2000; ++i) {
        auto e = Exception(23 + i % 2, i, 1);  // 22 and 3 have handlers of their own
        Send(e);
    }
    const std::vector<std::string> expected = {
        "ERROR VELK.FSLOOP : SimConnect EXCEPTION! ID=23",
        "ERROR VELK.FSLOOP : SimConnect EXCEPTION! ID=24",
        "ERROR VELK.FSLOOP : SimConnect EXCEPTION! ID=23 ... repeated 10 times",
        "ERROR VELK.FSLOOP : SimConnect EXCEPTION! ID=24 ... repeated 10 times",
        "ERROR VELK.FSLOOP : SimConnect EXCEPTION! ID=23 ... repeated 100 times",
        "ERROR VELK.FSLOOP : SimConnect EXCEPTION! ID=24 ... repeated 100 times",
        "ERROR VELK.FSLOOP : SimConnect EXCEPTION! ID=23 ... repeated 1000 times",
        "ERROR VELK.FSLOOP : SimConnect EXCEPTION! ID=24 ... repeated 1000 times",
    };
    EXPECT_EQ(log.Lines(), expected);

    // A hostile peer that makes every line different: the texts beyond the limit are counted together.
    log.Clear();
    const size_t told = program::kMaxSimulatorErrorTexts - Flags().simulatorErrors.size();
    for (size_t i = 0; i < told + 1000; ++i) {
        SIMCONNECT_RECV_CLIENT_DATA data{};
        data.dwSize = sizeof(data);
        data.dwID = SIMCONNECT_RECV_ID_CLIENT_DATA;
        data.dwDefineID = static_cast<DWORD>(1000 + i);
        Send(data);
    }
    EXPECT_EQ(log.Lines().size(), told + 4) << "one line per text told apart, then 1, 10, 100, 1000";
    EXPECT_EQ(log.Lines().back(), "ERROR VELK.FSLOOP : [API] Unknown API Data received! DefineID = " +
                                       std::to_string(1000 + told + 999) + " ... repeated 1000 times");
}

// "VELK.ReloadAll" goes on with a bubble rebuild only as the module's answer to the reset the rebuild
// asked for, and once: any client can send it, unasked or as often as it likes.
TEST_F(DispatchTest, TheModulesResetAnswerRebuildsTheBubbleOnceAndOnlyWhenAsked)
{
    program::Components& parts = Parts();
    parts.simBubble.reset(new SimBubble(program::LoopLog(), nullptr, nullptr));
    parts.activeObjects.reset(new SimObjectList());
    parts.activeProbes.reset(new EnviroDataProbeList());
    parts.readProbes.reset(new EnviroDataProbeList());
    parts.quadTree.reset(new QuadTree(QuadTree::WorldBox()));
    parts.injectionQueue.reset(new InjectionQueue());
    Register(false);
    SimBubble& bubble = *parts.simBubble;

    bubble.SetUpdatePending(true);
    SendEvent(EventReloadAll);
    EXPECT_TRUE(bubble.IsUpdatePending()) << "unasked: no rebuild";

    FSProcess::OnSimBubbleUpdate(SimBubble::kModeMoved, 48.1, 11.5, 1650.0);  // asks the module to reset
    EXPECT_TRUE(bubble.IsUpdatePending());
    SendEvent(EventReloadAll);
    EXPECT_FALSE(bubble.IsUpdatePending()) << "the answer rebuilds";

    bubble.SetUpdatePending(true);
    SendEvent(EventReloadAll);
    EXPECT_TRUE(bubble.IsUpdatePending()) << "a second answer to one reset: no second rebuild";
}

// Any client can send the request events as fast as it likes: while the area read of a request is on its
// way, more events of that request read the area once more after it, not once each.
TEST_F(DispatchTest, RequestEventsWhileTheirReadIsOnItsWayReadTheAreaOnceMore)
{
    Register(true);
    const auto reads = [&] {
        size_t count = 0;
        for (const std::string& line : sim.Timeline())
            if (line.find("requests client data") != std::string::npos &&
                line.find("VELK.APIData.In") != std::string::npos)
                ++count;
        return count;
    };
    const auto deliver = [&] {
        for (auto& message : Drain(Sim().GetHandle()))
            FSProcess::Dispatch(reinterpret_cast<SIMCONNECT_RECV*>(message.data()), static_cast<DWORD>(message.size()),
                                nullptr);
    };
    sim.SetTimelineRegistrations(true);
    sim.ClearTimeline();
    for (int i = 0; i < 50; ++i) SendEvent(EventJetwayMassQuery);
    EXPECT_EQ(reads(), 1u);
    deliver();  // the read arrives: the one asked for meanwhile goes out
    EXPECT_EQ(reads(), 2u);
    deliver();
    EXPECT_EQ(reads(), 2u) << "nothing more was asked";
    SendEvent(EventJetwayMassQuery);
    EXPECT_EQ(reads(), 3u) << "a request after the answer is read at once";
}

TEST_F(DispatchTest, ReservedKeyIsCopiedBoundedAndBuildsTheMenuOnce)
{
    Register(true);
    SIMCONNECT_RECV_RESERVED_KEY key{};
    key.dwSize = sizeof(key);
    key.dwID = SIMCONNECT_RECV_ID_RESERVED_KEY;
    std::memset(key.szChoiceReserved, 'c', sizeof(key.szChoiceReserved));  // no terminator in either
    std::memset(key.szReservedKey, 'k', sizeof(key.szReservedKey));
    Send(key);
    EXPECT_EQ(std::string(Flags().reservedKey), std::string(49, 'k'));
    EXPECT_TRUE(Flags().topMenuCreated);
    EXPECT_TRUE(log.Has("INFO VELK.FSLOOP : Successfull Registration of Reserved Key '" + std::string(30, 'c') +
                        "' -> '" + std::string(50, 'k') + "'"));
    EXPECT_TRUE(log.InOrder({"Creating Top-Menu structure...", "Top-Menu created."}));
    // External mode: the version entry and "Test DLL Connection!" only.
    EXPECT_EQ(sim.AddonMenu(), (std::vector<std::string>{"VELK 1.7.1", "VELK 1.7.1 > Test DLL Connection!"}));

    std::strcpy(key.szReservedKey, "a");
    Send(key);
    EXPECT_STREQ(Flags().reservedKey, "a");
    EXPECT_EQ(log.Count("Creating Top-Menu structure..."), 1);
}

// A program that only serves other programs' jetway requests offers no AI detection item, however the
// settings have it; the detection itself still runs as they say.
TEST_F(DispatchTest, ExternalModeTopMenuHasNoAiDetectionItem)
{
    root.WriteSettings("[AISystem]\nDetectionEnable=true\n");
    Parts().settings->Read();
    Parts().aiMonitor.reset(new AIMonitor());
    ASSERT_TRUE(Parts().aiMonitor->IsAIDetectionEnabled());
    Register(true);
    FSProcess::CreateTopMenu();
    EXPECT_EQ(sim.AddonMenu(), (std::vector<std::string>{"VELK 1.7.1", "VELK 1.7.1 > Test DLL Connection!"}));
    EXPECT_TRUE(Parts().aiMonitor->IsAIDetectionEnabled());
}

TEST_F(DispatchTest, TopMenuWithObjectsNamesTheKeys)
{
    root.WriteSettings("[General]\nSecondaryTextMenuHotkey=shift+ctrl+v\nDebugMode=true\n");
    Parts().settings->Read();
    Register(false);
    SIMCONNECT_RECV_RESERVED_KEY key{};
    key.dwSize = sizeof(key);
    key.dwID = SIMCONNECT_RECV_ID_RESERVED_KEY;
    std::strcpy(key.szChoiceReserved, "s");
    std::strcpy(key.szReservedKey, "s");
    Send(key);
    EXPECT_EQ(sim.AddonMenu(),
              (std::vector<std::string>{"VELK 1.7.1", "VELK 1.7.1 > Text-Menu Commands: s ; shift+ctrl+v",
                                        "VELK 1.7.1 > Test DLL Connection!", "VELK 1.7.1 > Reload All!",
                                        "VELK 1.7.1 > Dump SimObjects Map"}));
}

// Without the primary hotkey nothing maps the reserved key's event: the add-on menu item maps it itself,
// so that choosing it still opens the main menu.
TEST_F(DispatchTest, TextMenuItemWorksWithThePrimaryHotkeyDisabled)
{
    root.WriteSettings("[General]\nPrimaryHotkeyDisable=true\n");
    Parts().settings->Read();
    Register(false);
    FSProcess::CreateTopMenu();
    ASSERT_EQ(sim.AddonMenu()[1], "VELK 1.7.1 > Text-Menu Command: NONE");
    ASSERT_TRUE(sim.ChooseAddonMenuItem("VELK 1.7.1", "Text-Menu Command: NONE"));
    bool reserved = false;
    for (const SIMCONNECT_RECV_EVENT& event : PendingEvents()) reserved = reserved || event.uEventID == EventReservedKey;
    EXPECT_TRUE(reserved);
}

TEST_F(DispatchTest, ClientDataOfUnknownDefinitionsIsReported)
{
    const std::pair<DWORD, bool> rows[] = {{21, false}, {22, false}, {23, false}, {30, false},
                                           {24, true},  {29, true},  {0, true},   {0xFFFFFFFFu, true}};
    for (const auto& [define, reported] : rows) {
        log.Clear();
        uint8_t record[8] = {};
        auto bytes = DataMessage(SIMCONNECT_RECV_ID_CLIENT_DATA, 4000, define, record, sizeof(record));
        SendBytes(bytes);
        EXPECT_EQ(log.Has("ERROR VELK.FSLOOP : [API] Unknown API Data received! DefineID = " +
                          std::to_string(static_cast<int>(define))),
                  reported)
            << define;
    }
}

TEST_F(DispatchTest, DateTimeIsTakenOverOnlyWhileRequested)
{
    SeasonalObjectHandler& seasonal = *Parts().seasonal;
    const DateTime june{6.5, 170.9, 3.0, 14.99, -120, 600, 3, 2024};
    SendDateTime(june);
    EXPECT_TRUE(log.Has("INFO VELK.FSLOOP : [SEASONALOBJECTHANDLER] Skipping update..."));
    EXPECT_EQ(seasonal.GetMonthOfYear(), 0);
    EXPECT_EQ(seasonal.GetDayOfWeek(), 7);

    seasonal.SetChanged(true);
    SendDateTime(june);
    EXPECT_TRUE(log.Has("INFO VELK.FSLOOP : [SEASONALOBJECTHANDLER] Variables initialized!"));
    EXPECT_TRUE(seasonal.IsInitialised());
    EXPECT_EQ(seasonal.GetMonthOfYear(), 7);
    EXPECT_EQ(seasonal.GetDayOfYear(), 170);
    EXPECT_EQ(seasonal.GetDayOfWeek(), 2);  // P3Dv4 counts one higher
    EXPECT_EQ(seasonal.GetDayOfMonth(), 14);
    EXPECT_EQ(seasonal.GetTimeZoneOffset(), -120);
    EXPECT_EQ(seasonal.GetZuluTime(), 600);
    EXPECT_EQ(seasonal.GetTimeOfDay(), 4);
    EXPECT_EQ(seasonal.GetLocalYear(), 2024);

    log.Clear();
    SendDateTime(june);
    EXPECT_TRUE(log.Has("[SEASONALOBJECTHANDLER] Refreshing Season/Time Data..."));

    DateTime july = june;
    july.month = 7.0;
    SendDateTime(july);
    EXPECT_EQ(seasonal.GetMonthOfYear(), 7);
    july.dayOfMonth = 15;
    SendDateTime(july);
    EXPECT_EQ(seasonal.GetDayOfMonth(), 15);
}

TEST_F(DispatchTest, DayOfWeekAsItComesOnTheOlderPlatforms)
{
    Flags().targetPlatform = "FSX";
    Parts().seasonal->SetChanged(true);
    SendDateTime({1, 1, 3.0, 1, 0, 0, 0, 2024});
    EXPECT_EQ(Parts().seasonal->GetDayOfWeek(), 3);
}

TEST_F(DispatchTest, ReloadAllReadsTheSettingsAgain)
{
    Register(false);
    ASSERT_FALSE(Parts().settings->IsDebugMode());
    root.WriteSettings("[General]\nDebugMode=true\n");
    SendEvent(EventMenuReloadAll);
    EXPECT_TRUE(Parts().settings->IsDebugMode());
    EXPECT_TRUE(log.InOrder({"INFO VELK.FSLOOP : >>> >>> >>> >>> RELOADING ALL <<< <<< <<< <<<",
                             "Trying to read Settings from orvanes.ini file...",
                             "SDX/XML/INI Handling done! Going back to the Dispatch Loop...",
                             "DEBUG VELK.FSLOOP : Initialize Position after Reset."}));
    // A position initialisation with mode 1 follows.
    auto events = PendingEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].uEventID, EventSimBubbleUpdate);
    EXPECT_EQ(events[0].dwData, 1u);
}

TEST_F(DispatchTest, LoggedEvents)
{
    SendEvent(EventJetwayImmediateStop, 4711);
    EXPECT_TRUE(log.Has("INFO VELK.FSLOOP : [DLL:RESET_ALL FROM EXE] DLL has ignored start signal of JW [4711]"));
    SendEvent(EventMenuDumpMaps);
    EXPECT_TRUE(log.Has("INFO VELK.FSLOOP : Dumping Maps...C:\\ProgramData\\Quorvath\\VELK\\log"));
    root.WriteSettings("[General]\nDebugMode=true\n");
    Parts().settings->Read();
    SendEvent(EventSimBubbleUpdate, 2);
    EXPECT_TRUE(log.Has("DEBUG VELK.FSLOOP : [SIMBUBBLE] Handling Update (2)"));
}

// Each API request event reads its request area once, under the request's own id and definition.
TEST_F(DispatchTest, ApiRequestEventsReadTheirAreaOnce)
{
    Register(false);
    const struct {
        DWORD event;
        DWORD request;
        DWORD definition;
    } rows[] = {{EventJetwayQuery, RequestJetwayQuery, ClientDefApiRecord},
                {EventJetwayTrigger, RequestJetwayTrigger, ClientDefApiRecord},
                {EventJetwayInform, RequestJetwayInform, ClientDefApiRecord},
                {EventStandInform, RequestStandInform, ClientDefApiRecord},
                {EventJetwayMassQuery, RequestJetwayMassQuery, ClientDefApiRecord},
                {EventStandInformLite, RequestStandInformLite, ClientDefApiLite}};
    for (const auto& row : rows) {
        SendEvent(row.event);
        int reads = 0;
        for (const Message& m : Pending()) {
            if (Kind(m) != SIMCONNECT_RECV_ID_CLIENT_DATA) continue;
            const auto data = As<SIMCONNECT_RECV_CLIENT_DATA>(m);
            EXPECT_EQ(data.dwRequestID, row.request) << row.event;
            EXPECT_EQ(data.dwDefineID, row.definition) << row.event;
            ++reads;
        }
        EXPECT_EQ(reads, 1) << row.event;
    }
    EXPECT_EQ(Flags().quit.load(), 0);
}

// Messages shorter than their record, a null message and unknown kinds are ignored.
TEST_F(DispatchTest, ShortAndUnknownMessagesAreIgnored)
{
    Register(false);
    FSProcess::Dispatch(nullptr, 100, nullptr);
    auto quit = Event(0, 0, SIMCONNECT_RECV_ID_QUIT);
    Send(quit, 8);
    EXPECT_EQ(Flags().quit.load(), 0);
    auto start = Event(EventSimStart);
    Send(start, sizeof(SIMCONNECT_RECV) + 4);
    EXPECT_FALSE(Flags().simStartSeen);
    auto state = SystemState(RequestSimState, 1);
    Send(state, 20);
    EXPECT_FALSE(Flags().simStartSeen);
    SIMCONNECT_RECV_RESERVED_KEY key{};
    key.dwID = SIMCONNECT_RECV_ID_RESERVED_KEY;
    Send(key, sizeof(key) - 1);
    EXPECT_FALSE(Flags().topMenuCreated);
    uint8_t record[4] = {1, 2, 3, 4};
    Parts().seasonal->SetChanged(true);
    auto shortDate = DataMessage(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, RequestDateTime, DefDateTime, record, 4);
    SendBytes(shortDate);
    EXPECT_FALSE(Parts().seasonal->IsInitialised());
    auto header = DataMessage(SIMCONNECT_RECV_ID_CLIENT_DATA, 89, 21, record, 0);
    header.resize(SIMCONNECT_DATA_OFFSET);
    SendBytes(header);
    auto unknown = Event(0, 0, 99);
    Send(unknown);
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_TRUE(Pending().empty());
}

}  // namespace
