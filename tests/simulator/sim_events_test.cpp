// Client events, notification groups, system events, keys and the add-on menu.
#include "SimTestSupport.h"
#include "tests/support/CaseNames.h"

using namespace simtest;

namespace {

class EventsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim.ServeInProcess();
        a = OpenClient("A");
        b = OpenClient("B");
    }
    void TearDown() override
    {
        SimConnect_Close(a);
        SimConnect_Close(b);
    }

    // Maps a named event, groups it and sets the group's priority.
    static void Listen(HANDLE h, DWORD event, const char* name, DWORD group, DWORD priority, bool maskable = false)
    {
        ASSERT_EQ(SimConnect_MapClientEventToSimEvent(h, event, name), S_OK);
        ASSERT_EQ(SimConnect_AddClientEventToNotificationGroup(h, group, event, maskable ? TRUE : FALSE), S_OK);
        ASSERT_EQ(SimConnect_SetNotificationGroupPriority(h, group, priority), S_OK);
    }

    simulator::Simulator sim;
    HANDLE a = nullptr;
    HANDLE b = nullptr;
};

TEST_F(EventsTest, NamedEventReachesEveryClientThatGroupedItTheSenderIncludedOnlyThroughDispatch)
{
    Listen(a, 36, "VELK.JetwayAction.Start", 4, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE);
    Listen(b, 242424, "velk.jetwayaction.start", 242424, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE, true);

    ASSERT_EQ(SimConnect_TransmitClientEvent(a, 0, 36, 12343, SIMCONNECT_GROUP_PRIORITY_HIGHEST,
                                             SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY),
              S_OK);

    auto toA = Events(Drain(a));
    ASSERT_EQ(toA.size(), 1u);
    EXPECT_EQ(toA[0].uEventID, 36u);
    EXPECT_EQ(toA[0].uGroupID, 4u);
    EXPECT_EQ(toA[0].dwData, 12343u);
    auto toB = Events(Drain(b));
    ASSERT_EQ(toB.size(), 1u);
    EXPECT_EQ(toB[0].uEventID, 242424u);
    EXPECT_EQ(toB[0].uGroupID, 242424u);
    EXPECT_EQ(toB[0].dwData, 12343u);
    EXPECT_TRUE(Drain(a).empty());
}

// A callback that sends an event to itself is not called again from inside the send.
struct Reentry {
    HANDLE h;
    int depth = 0;
    int maxDepth = 0;
    int calls = 0;
};

void SelfSending(SIMCONNECT_RECV* data, DWORD, void* context)
{
    auto* r = static_cast<Reentry*>(context);
    if (data->dwID != SIMCONNECT_RECV_ID_EVENT) return;
    ++r->calls;
    r->maxDepth = std::max(r->maxDepth, ++r->depth);
    SimConnect_TransmitClientEvent(r->h, 0, 59, 1, 1, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
    --r->depth;
}

TEST_F(EventsTest, SelfSentEventArrivesAtTheNextDispatchNeverReentrantly)
{
    Listen(a, 59, "", 9, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE, true);
    Reentry r{a};
    ASSERT_EQ(SimConnect_TransmitClientEvent(a, 0, 59, 1, 1, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY), S_OK);
    SimConnect_CallDispatch(a, SelfSending, &r);
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.maxDepth, 1);
    SimConnect_CallDispatch(a, SelfSending, &r);
    EXPECT_EQ(r.calls, 2);
}

TEST_F(EventsTest, PrivateEventsStayWithTheirClient)
{
    Listen(a, 57, "", 9, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE, true);
    Listen(b, 57, "", 9, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE, true);
    ASSERT_EQ(SimConnect_TransmitClientEvent(a, 0, 57, 1, 1, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY), S_OK);
    EXPECT_EQ(Events(Drain(a)).size(), 1u);
    EXPECT_TRUE(Drain(b).empty());
}

struct MaskCase {
    const char* name;
    DWORD priorityA;
    bool maskableA;
    DWORD priorityB;
    bool maskableB;
    DWORD sendPriority;
    bool aGets;
    bool bGets;
};

class MaskingTest : public EventsTest, public ::testing::WithParamInterface<MaskCase> {};

TEST_P(MaskingTest, HigherPriorityMaskableGroupHidesTheEventFromLowerOnes)
{
    const MaskCase& c = GetParam();
    Listen(a, 1, "VELK.JetwayQuery", 6, c.priorityA, c.maskableA);
    Listen(b, 7, "VELK.JetwayQuery", 2, c.priorityB, c.maskableB);
    // A third client sends without listening.
    HANDLE sender = OpenClient("sender");
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(sender, 3, "VELK.JetwayQuery"), S_OK);
    ASSERT_EQ(SimConnect_TransmitClientEvent(sender, 0, 3, 5, c.sendPriority, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY),
              S_OK);
    EXPECT_EQ(Events(Drain(a)).size(), c.aGets ? 1u : 0u) << c.name;
    EXPECT_EQ(Events(Drain(b)).size(), c.bGets ? 1u : 0u) << c.name;
    SimConnect_Close(sender);
}

INSTANTIATE_TEST_SUITE_P(
    Priorities, MaskingTest,
    ::testing::Values(MaskCase{"MaskedAbove", 1, true, 10000000, false, 1, true, false},
                      MaskCase{"NotMaskableAbove", 1, false, 10000000, false, 1, true, true},
                      MaskCase{"SameLevelBothGetIt", 10000000, true, 10000000, true, 1, true, true},
                      MaskCase{"MaskedBelowDoesNotMatter", 1, false, 10000000, true, 1, true, true},
                      MaskCase{"SentBelowTheGroup", 1, true, 10000000, false, 5000, false, true}),
    testsupport::CaseName());

TEST_F(EventsTest, WithoutThePriorityFlagTheSendersGroupGivesTheStartingPriority)
{
    Listen(a, 1, "VELK.ReloadAll", 6, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE);
    Listen(b, 2, "VELK.ReloadAll", 3, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
    // Sent from b's group 3 (priority 1): both levels get it.
    ASSERT_EQ(SimConnect_TransmitClientEvent(b, 0, 2, 9, 3, SIMCONNECT_EVENT_FLAG_DEFAULT), S_OK);
    EXPECT_EQ(Events(Drain(a)).size(), 1u);
    EXPECT_EQ(Events(Drain(b)).size(), 1u);
    // From a's group 6: b's group above it is passed over.
    ASSERT_EQ(SimConnect_TransmitClientEvent(a, 0, 1, 9, 6, SIMCONNECT_EVENT_FLAG_DEFAULT), S_OK);
    EXPECT_EQ(Events(Drain(a)).size(), 1u);
    EXPECT_TRUE(Drain(b).empty());
}

TEST_F(EventsTest, UnknownIdsComeBackAsExceptionsWithTheirPacketAndArgument)
{
    Listen(a, 1, "VELK.Watchdog", 6, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
    struct Case {
        DWORD object, event, group, flags, index;
    } cases[] = {
        {0, 99, 1, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY, 2},  // event never mapped
        {777, 1, 1, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY, 1}, // no such object
        {0, 1, 55, SIMCONNECT_EVENT_FLAG_DEFAULT, 4},              // no such group
    };
    for (const Case& c : cases) {
        ASSERT_EQ(SimConnect_TransmitClientEvent(a, c.object, c.event, 0, c.group, c.flags), S_OK);
        const DWORD packet = LastPacket(a);
        auto messages = Drain(a);
        auto ex = Exceptions(messages);
        ASSERT_EQ(ex.size(), 1u) << c.index;
        EXPECT_EQ(ex[0].dwException, static_cast<DWORD>(SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID));
        EXPECT_EQ(ex[0].dwSendID, packet);
        EXPECT_EQ(ex[0].dwIndex, c.index);
        EXPECT_TRUE(Events(messages).empty());
    }
}

TEST_F(EventsTest, PauseSetEventPausesTheSimulationAndFreezeEventsMarkTheObject)
{
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(a, 14, "PAUSE_SET"), S_OK);
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(a, 11, "FREEZE_LATITUDE_LONGITUDE_SET"), S_OK);
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(b, 1, "Pause"), S_OK);
    ASSERT_EQ(SimConnect_TransmitClientEvent(a, 0, 14, 1, 1, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY), S_OK);
    EXPECT_TRUE(sim.IsPaused());
    auto pause = Events(Drain(b));
    ASSERT_EQ(pause.size(), 1u);
    EXPECT_EQ(pause[0].uEventID, 1u);
    EXPECT_EQ(pause[0].dwData, 1u);

    const auto ai = sim.AddAiAircraft({});
    ASSERT_EQ(SimConnect_TransmitClientEvent(a, ai, 11, 1, 1, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY), S_OK);
    EXPECT_EQ(sim.Number(ai, "IS LATITUDE LONGITUDE FREEZE ON", "Bool"), 1.0);
}

TEST_F(EventsTest, SystemEventsFollowTheVirtualClock)
{
    const char* names[] = {"Frame", "6Hz", "1sec", "4sec"};
    for (DWORD i = 0; i < 4; ++i) ASSERT_EQ(SimConnect_SubscribeToSystemEvent(a, 5 + i, names[i]), S_OK);
    sim.SetFrameRate(20);
    sim.Advance(4000);
    auto messages = Drain(a);
    EXPECT_EQ(OfKind<SIMCONNECT_RECV_EVENT_FRAME>(messages, SIMCONNECT_RECV_ID_EVENT_FRAME).size(), 80u);
    size_t sixHz = 0, oneSec = 0, fourSec = 0;
    for (const auto& e : Events(messages)) {
        EXPECT_EQ(e.uGroupID, SIMCONNECT_UNKNOWN_GROUP);
        sixHz += e.uEventID == 6;
        oneSec += e.uEventID == 7;
        fourSec += e.uEventID == 8;
    }
    EXPECT_EQ(sixHz, 24u);
    EXPECT_EQ(oneSec, 4u);
    EXPECT_EQ(fourSec, 1u);
    EXPECT_EQ(sim.NowMs(), 4000u);
}

TEST_F(EventsTest, StateChangesBecomeSystemEventsAndSystemStates)
{
    const char* names[] = {"SimStart", "Sound", "PositionChanged", "AircraftLoaded", "FlightLoaded", "SimStop"};
    for (DWORD i = 0; i < 6; ++i) ASSERT_EQ(SimConnect_SubscribeToSystemEvent(a, i, names[i]), S_OK);
    sim.StartSim();
    sim.SetSound(false);
    sim.ChangePosition();
    sim.LoadAircraft("C:\\P3D\\SimObjects\\Airplanes\\A320\\a320.air");
    sim.LoadFlight("C:\\Flights\\default.fxml");
    sim.StopSim();
    auto messages = Drain(a);
    auto events = Events(messages);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].uEventID, 0u);
    EXPECT_EQ(events[1].uEventID, 1u);
    EXPECT_EQ(events[1].dwData, 0u);  // sound off
    EXPECT_EQ(events[2].uEventID, 2u);
    EXPECT_EQ(events[3].uEventID, 5u);
    auto files = OfKind<SIMCONNECT_RECV_EVENT_FILENAME>(messages, SIMCONNECT_RECV_ID_EVENT_FILENAME);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].uEventID, 3u);
    EXPECT_STREQ(files[0].szFileName, "C:\\P3D\\SimObjects\\Airplanes\\A320\\a320.air");
    EXPECT_EQ(files[1].uEventID, 4u);

    sim.StartSim();
    ASSERT_EQ(SimConnect_RequestSystemState(a, 65, "Sim"), S_OK);
    ASSERT_EQ(SimConnect_RequestSystemState(a, 82, "AircraftLoaded"), S_OK);
    ASSERT_EQ(SimConnect_RequestSystemState(a, 83, "NoSuchState"), S_OK);
    const DWORD badPacket = LastPacket(a);
    messages = Drain(a);
    auto states = OfKind<SIMCONNECT_RECV_SYSTEM_STATE>(messages, SIMCONNECT_RECV_ID_SYSTEM_STATE);
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states[0].dwRequestID, 65u);
    EXPECT_EQ(states[0].dwInteger, 1u);
    EXPECT_STREQ(states[1].szString, "C:\\P3D\\SimObjects\\Airplanes\\A320\\a320.air");
    auto ex = Exceptions(messages);
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_EQ(ex[0].dwException, static_cast<DWORD>(SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED));
    EXPECT_EQ(ex[0].dwSendID, badPacket);
}

TEST_F(EventsTest, UnknownSystemEventIsRefused)
{
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(a, 3, "NoSuchEvent"), S_OK);
    auto ex = Exceptions(Drain(a));
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_EQ(ex[0].dwException, static_cast<DWORD>(SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED));
    EXPECT_EQ(ex[0].dwIndex, 2u);
}

TEST_F(EventsTest, HotkeyWorksOnlyWhileItsInputGroupIsOn)
{
    Listen(a, 15, "VELK.ShowMainMenu", 1, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE, true);
    ASSERT_EQ(SimConnect_MapInputEventToClientEvent(a, 0, "shift+ctrl+v", 15, 3), S_OK);
    EXPECT_FALSE(sim.PressKey("Shift+Ctrl+V"));
    EXPECT_TRUE(Drain(a).empty());
    ASSERT_EQ(SimConnect_SetInputGroupState(a, 0, SIMCONNECT_STATE_ON), S_OK);
    EXPECT_TRUE(sim.PressKey("Shift+Ctrl+V"));
    auto events = Events(Drain(a));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].uEventID, 15u);
    EXPECT_EQ(events[0].dwData, 3u);
}

TEST_F(EventsTest, ReservedKeyGoesToTheFirstFreeChoice)
{
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(b, 40, ""), S_OK);
    ASSERT_EQ(SimConnect_RequestReservedKey(b, 40, "s"), S_OK);
    Drain(b);
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(a, 31, ""), S_OK);
    ASSERT_EQ(SimConnect_AddClientEventToNotificationGroup(a, 8, 31), S_OK);
    ASSERT_EQ(SimConnect_RequestReservedKey(a, 31, "s", "a", "d"), S_OK);
    auto keys = OfKind<SIMCONNECT_RECV_RESERVED_KEY>(Drain(a), SIMCONNECT_RECV_ID_RESERVED_KEY);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_STREQ(keys[0].szChoiceReserved, "a");
    EXPECT_TRUE(sim.PressKey("a"));
    auto events = Events(Drain(a));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].uEventID, 31u);
}

// Like the real simulator, a key or an add-on menu item raises only events that the client mapped.
TEST_F(EventsTest, UnmappedEventsOfKeysAndMenuItemsReachNobody)
{
    ASSERT_EQ(SimConnect_MapInputEventToClientEvent(a, 0, "shift+ctrl+v", 15, 3), S_OK);
    ASSERT_EQ(SimConnect_SetInputGroupState(a, 0, SIMCONNECT_STATE_ON), S_OK);
    ASSERT_EQ(SimConnect_RequestReservedKey(a, 31, "s"), S_OK);
    ASSERT_EQ(SimConnect_MenuAddItem(a, "VELK", 30, 0), S_OK);
    ASSERT_EQ(SimConnect_MenuAddSubItem(a, 30, "Reload All!", 32, 0), S_OK);
    // The other client maps the same ids: still not a's events.
    for (DWORD event : {15u, 30u, 31u, 32u}) {
        ASSERT_EQ(SimConnect_MapClientEventToSimEvent(b, event, ""), S_OK);
        ASSERT_EQ(SimConnect_AddClientEventToNotificationGroup(b, 8, event), S_OK);
    }
    Drain(a);
    Drain(b);

    sim.PressKey("Shift+Ctrl+V");
    sim.PressKey("s");
    EXPECT_TRUE(sim.ChooseAddonMenuItem("VELK"));
    EXPECT_TRUE(sim.ChooseAddonMenuItem("VELK", "Reload All!"));
    EXPECT_TRUE(Events(Drain(a)).empty());
    EXPECT_TRUE(Events(Drain(b)).empty());
}

TEST_F(EventsTest, AddonMenuItemsRaiseTheirEvents)
{
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(a, 30, ""), S_OK);
    ASSERT_EQ(SimConnect_MenuAddItem(a, "VELK", 30, 0), S_OK);
    ASSERT_EQ(SimConnect_AddClientEventToNotificationGroup(a, 8, 30), S_OK);
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(a, 32, ""), S_OK);
    ASSERT_EQ(SimConnect_MenuAddSubItem(a, 30, "Reload All!", 32, 0), S_OK);
    ASSERT_EQ(SimConnect_AddClientEventToNotificationGroup(a, 8, 32), S_OK);
    ASSERT_EQ(SimConnect_MenuAddSubItem(a, 30, "[a label]", SIMCONNECT_UNUSED, 0), S_OK);
    ASSERT_EQ(SimConnect_SetNotificationGroupPriority(a, 8, SIMCONNECT_GROUP_PRIORITY_HIGHEST), S_OK);

    EXPECT_EQ(sim.AddonMenu(), (std::vector<std::string>{"VELK", "VELK > Reload All!", "VELK > [a label]"}));
    EXPECT_FALSE(sim.ChooseAddonMenuItem("VELK", "[a label]"));
    EXPECT_TRUE(sim.ChooseAddonMenuItem("VELK", "Reload All!"));
    auto events = Events(Drain(a));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].uEventID, 32u);
    EXPECT_EQ(events[0].uGroupID, 8u);

    ASSERT_EQ(SimConnect_MenuDeleteSubItem(a, 30, 32), S_OK);
    ASSERT_EQ(SimConnect_MenuDeleteItem(a, 30), S_OK);
    EXPECT_TRUE(sim.AddonMenu().empty());
    ASSERT_EQ(SimConnect_MenuDeleteItem(a, 30), S_OK);
    EXPECT_EQ(Exceptions(Drain(a)).size(), 1u);
}

TEST_F(EventsTest, TimelineRecordsConnectionsAndNamedEvents)
{
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(a, 41, "VELK.JetwayAction.ConnectionCheck"), S_OK);
    ASSERT_EQ(SimConnect_TransmitClientEvent(a, 0, 41, 0, 1, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY), S_OK);
    auto lines = sim.Timeline();
    auto contains = [&](const std::string& text) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != l.npos; });
    };
    EXPECT_TRUE(contains("client 'A' connected"));
    EXPECT_TRUE(contains("event 'VELK.JetwayAction.ConnectionCheck' data 0 from 'A'"));
}

}  // namespace
