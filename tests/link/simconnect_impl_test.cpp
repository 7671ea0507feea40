// The connection wrapper against the in-process simulator: what each id reaches, which record each data
// definition yields, and the edges of the texts, object data and result areas.
#include "foundation/Records.h"
#include "jetway/core/JetwayData.h"
#include "link/SimConnectImpl.h"
#include "simulator/Simulator.h"
#include "tests/app/CoreTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace coretest;
using namespace velk_ids;

namespace {

class SimConnectImplTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim.ServeInProcess();
        ASSERT_EQ(conn.Open(), S_OK);
        ASSERT_EQ(Kind(Drain(conn.GetHandle()).at(0)), static_cast<DWORD>(SIMCONNECT_RECV_ID_OPEN));
        ASSERT_EQ(SimConnect_Open(&other, "Other", nullptr, 0, nullptr, 0), S_OK);
        Drain(other);
    }
    void TearDown() override
    {
        conn.Close();
        SimConnect_Close(other);
    }

    // Every registration of the run phase, in its order.
    void RegisterAll(bool external)
    {
        conn.MapPrivateEvents();
        conn.RequestSimState();
        conn.SubscribeSystemEvents();
        if (!external) {
            conn.SubscribeTimerEvents();
            conn.DefineDateTimeData();
            conn.MapVoiceCaptureEvents();
        }
        conn.RequestReservedKey();
        conn.MapFreezeToggleEvent();
        conn.MapFreezeSetEvents();
        conn.MapJetwayDataAreas();
        conn.MapJetwayActionEvents();
        conn.DefineJetwayMotionData();
        conn.CreateApiDataAreas();
        conn.MapApiEvents();
        conn.MapAcftLVarsArea();
        conn.MapAcftLVarsEvents();
        conn.MapWatchdogEvent();
        if (!external) {
            conn.MapMenuEvents();
            conn.AddMainMenuEventToGroup();
            conn.DefineObjectData();
        }
        conn.DefineAircraftData();
    }

    std::vector<Message> Messages() { return Drain(conn.GetHandle()); }

    std::vector<SIMCONNECT_RECV_EXCEPTION> Exceptions(const std::vector<Message>& m)
    {
        return OfKind<SIMCONNECT_RECV_EXCEPTION>(m, SIMCONNECT_RECV_ID_EXCEPTION);
    }

    simulator::Simulator sim;
    SimConnectImpl conn;
    HANDLE other = nullptr;
};

TEST_F(SimConnectImplTest, EveryRegistrationIsAcceptedInBothModes)
{
    RegisterAll(false);
    auto messages = Messages();
    EXPECT_TRUE(Exceptions(messages).empty());
    // The answers of the run phase's two requests.
    EXPECT_EQ(OfKind<SIMCONNECT_RECV_SYSTEM_STATE>(messages, SIMCONNECT_RECV_ID_SYSTEM_STATE).size(), 1u);
    EXPECT_EQ(OfKind<SIMCONNECT_RECV_RESERVED_KEY>(messages, SIMCONNECT_RECV_ID_RESERVED_KEY).size(), 1u);
}

TEST_F(SimConnectImplTest, ApiAreasAreCreatedInOrderWithTheirSizes)
{
    conn.CreateApiDataAreas();
    EXPECT_TRUE(Exceptions(Messages()).empty());
    const std::pair<const char*, size_t> areas[] = {
        {"VELK.APIData.Out", 928},           {"VELK.APIData.In", 928},   {"VELK.APIData.MassResponse", 6156},
        {"VELK.APIData.MassResponse.VDGS", 4108}, {"VELK.APIData.Lite", 36},
    };
    std::vector<std::string> created;
    for (const std::string& line : sim.Timeline())
        if (line.find("client data '") != std::string::npos) created.push_back(line);
    ASSERT_EQ(created.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(areas[i].first);
        EXPECT_NE(created[i].find(std::string("'") + areas[i].first + "' created"), std::string::npos);
        auto bytes = sim.ClientData(areas[i].first);
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(bytes->size(), areas[i].second);
    }
}

// A named event sent by another client reaches the program under its id and in its group.
TEST_F(SimConnectImplTest, NamedEventsArriveUnderTheirIdsAndGroups)
{
    RegisterAll(false);
    Messages();
    struct Case {
        const char* name;
        DWORD id;
        DWORD group;
    };
    const Case cases[] = {
        {"VELK.JetwayAction.Start", 36, 4},          {"VELK.JetwayAction.DataReceived", 63, 4},
        {"VELK.JetwayAction.Done", 37, 4},           {"VELK.JetwayAction.Intermediate", 38, 4},
        {"VELK.JetwayAction.Abort", 39, 4},          {"VELK.JetwayAction.ResetAll", 40, 4},
        {"VELK.JetwayAction.ConnectionCheck", 41, 4}, {"VELK.JetwayAction.ImmediateStop", 66, 4},
        {"VELK.ReloadAll", 45, 6},                   {"VELK.JetwayQuery", 46, 6},
        {"VELK.JetwayResponse", 47, 6},              {"VELK.JetwayTrigger", 48, 6},
        {"VELK.JetwayTriggerStatus", 49, 6},         {"VELK.JetwayInform", 50, 6},
        {"VELK.JetwayInformStatus", 51, 6},          {"VELK.StandInform", 52, 6},
        {"VELK.StandInformStatus", 53, 6},           {"VELK.JetwayMassQuery", 54, 6},
        {"VELK.JetwayMassResponse", 55, 6},          {"VELK.StandInform.Lite", 64, 6},
        {"VELK.StandInformStatus.Lite", 65, 6},      {"VELK.JetwayAction.AcftLVarsResponse", 62, 7},
        {"VELK.ShowSubMenu", 16, 1},                 {"VELK.ShowJetwayMenu", 17, 1},
        {"VELK.ShowJetwayMenuStandOps", 18, 1},      {"VELK.ShowStandsMenu", 19, 1},
        {"VELK.ShowMainMenu", 15, 1},
    };
    DWORD senderId = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(SimConnect_MapClientEventToSimEvent(other, senderId, c.name), S_OK);
        ASSERT_EQ(SimConnect_TransmitClientEvent(other, 0, senderId, 4242, SIMCONNECT_GROUP_PRIORITY_HIGHEST,
                                                 SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY),
                  S_OK);
        ++senderId;
        auto events = OfKind<SIMCONNECT_RECV_EVENT>(Messages(), SIMCONNECT_RECV_ID_EVENT);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].uEventID, c.id);
        EXPECT_EQ(events[0].uGroupID, c.group);
        EXPECT_EQ(events[0].dwData, 4242u);
    }
    // Mapped but in no group: the program never hears them.
    for (const char* name : {"VELK.Watchdog", "VELK.JetwayAction.AcftLVarsQuery"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(SimConnect_MapClientEventToSimEvent(other, senderId, name), S_OK);
        SimConnect_TransmitClientEvent(other, 0, senderId++, 1, SIMCONNECT_GROUP_PRIORITY_HIGHEST,
                                       SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
        EXPECT_TRUE(OfKind<SIMCONNECT_RECV_EVENT>(Messages(), SIMCONNECT_RECV_ID_EVENT).empty());
    }
}

// The size of each definition's record shows the types of its fields.
TEST_F(SimConnectImplTest, DataDefinitionsYieldTheirRecords)
{
    RegisterAll(false);
    Messages();
    const std::pair<DWORD, size_t> definitions[] = {
        {0, 88}, {1, 80}, {2, 8},  {4, 40},  {5, 48},  {9, 24},  {11, 8}, {12, 8},
        {13, 8}, {14, 8}, {16, 8}, {17, 72}, {18, 8},  {19, 8},  {20, 40}, {27, 8},
        {28, 48}, {29, 32},
    };
    DWORD request = 500;
    for (const auto& [definition, size] : definitions) {
        SCOPED_TRACE(definition);
        ASSERT_EQ(SimConnect_RequestDataOnSimObject(conn.GetHandle(), request, definition, 0, SIMCONNECT_PERIOD_ONCE),
                  S_OK);
        auto data = OfKind<SIMCONNECT_RECV_SIMOBJECT_DATA>(Messages(), SIMCONNECT_RECV_ID_SIMOBJECT_DATA);
        ASSERT_EQ(data.size(), 1u);
        EXPECT_EQ(data[0].dwRequestID, request);
        EXPECT_EQ(data[0].dwSize - SIMCONNECT_DATA_OFFSET, size);
        ++request;
    }
}

TEST_F(SimConnectImplTest, DateTimeRecordHoldsItsFieldsInOrder)
{
    conn.DefineDateTimeData();
    sim.SetNumber(0, "LOCAL MONTH OF YEAR", "Number", 6);
    sim.SetNumber(0, "LOCAL DAY OF YEAR", "Number", 170);
    sim.SetNumber(0, "LOCAL DAY OF WEEK", "Number", 3);
    sim.SetNumber(0, "LOCAL DAY OF MONTH", "Number", 19);
    sim.SetNumber(0, "TIME ZONE OFFSET", "Minutes", -120);
    sim.SetNumber(0, "ZULU TIME", "Minutes", 600);
    sim.SetNumber(0, "TIME OF DAY", "Enum", 1);
    sim.SetNumber(0, "LOCAL YEAR", "Number", 2024);
    conn.StartDateTimeRequest();
    sim.Advance(1000);
    std::vector<Message> data;
    for (const Message& m : Messages())
        if (Kind(m) == SIMCONNECT_RECV_ID_SIMOBJECT_DATA) data.push_back(m);
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(As<SIMCONNECT_RECV_SIMOBJECT_DATA>(data[0]).dwRequestID, 73u);
    auto record = Record(data[0]);
    ASSERT_EQ(record.size(), 48u);
    double day[4];
    int32_t time[4];
    std::memcpy(day, record.data(), 32);
    std::memcpy(time, record.data() + 32, 16);
    EXPECT_EQ(day[0], 6);
    EXPECT_EQ(day[1], 170);
    EXPECT_EQ(day[2], 3);
    EXPECT_EQ(day[3], 19);
    EXPECT_EQ(time[0], -120);
    EXPECT_EQ(time[1], 600);
    EXPECT_EQ(time[2], 1);
    EXPECT_EQ(time[3], 2024);

    // Stopped: no further answers, also when the values change.
    conn.StopDateTimeRequest();
    sim.SetNumber(0, "LOCAL YEAR", "Number", 2025);
    sim.Advance(3000);
    EXPECT_TRUE(OfKind<SIMCONNECT_RECV_SIMOBJECT_DATA>(Messages(), SIMCONNECT_RECV_ID_SIMOBJECT_DATA).empty());
}

TEST_F(SimConnectImplTest, ObjectDataIsNeverSentToObjectZero)
{
    conn.DefineObjectData();
    conn.DefineJetwayMotionData();
    conn.DefineAircraftData();
    Messages();
    const DWORD before = conn.GetLastSentPacketId();
    const double value = 1.5;
    const JetwayMotionRecord motion{};
    const VdgsDisplayRecord vdgs{};
    const ObjectPlacementRecord placement{};
    const GateNumberRecord gate{};
    conn.SetObjectAltitude(0, &value);
    conn.SetObjectHeading(0, &value);
    conn.SetObjectPitch(0, &value);
    conn.SetObjectBank(0, &value);
    conn.SetVelocityBodyZ(0, value);
    conn.SetJetwayMotion(0, &motion);
    conn.SetVelocityWorldZ(0, &value);
    conn.SetVelocityBodyY(0, &value);
    conn.SetVdgsDisplay(0, &vdgs);
    conn.SetVelocityWorldX(0, &value);
    conn.SetObjectPlacement(0, &placement);
    conn.SetGateNumberDigits(0, &gate);
    EXPECT_EQ(conn.GetLastSentPacketId(), before);

    // A real object receives the values, in the order of the record.
    const simulator::ObjectId ai = sim.AddAiAircraft({});
    const GateNumberRecord digits{1, 2, 3, 4};
    conn.SetGateNumberDigits(ai, &digits);
    EXPECT_NE(conn.GetLastSentPacketId(), before);
    EXPECT_TRUE(Exceptions(Messages()).empty());
    EXPECT_EQ(sim.Number(ai, "ACCELERATION BODY X", "Number"), 1.0);
    EXPECT_EQ(sim.Number(ai, "VELOCITY BODY X", "Number"), 4.0);
}

TEST_F(SimConnectImplTest, JetwayResultAreaChannels)
{
    conn.MapJetwayDataAreas();
    // The module creates the areas.
    for (int i = 1; i <= 8; ++i) {
        const std::string name = "VELK.JetwayData.Out." + std::to_string(i);
        ASSERT_EQ(SimConnect_MapClientDataNameToID(other, name.c_str(), 100 + i), S_OK);
        ASSERT_EQ(SimConnect_CreateClientData(other, 100 + i, 5600, 0), S_OK);
    }
    Messages();
    const DWORD before = conn.GetLastSentPacketId();
    EXPECT_FALSE(conn.RequestJetwayDataOut(0));
    EXPECT_FALSE(conn.RequestJetwayDataOut(9));
    EXPECT_EQ(conn.GetLastSentPacketId(), before);

    for (const auto& [channel, area] : {std::pair<DWORD, DWORD>{1, 28}, {8, 35}}) {
        EXPECT_TRUE(conn.RequestJetwayDataOut(channel));
        auto data = OfKind<SIMCONNECT_RECV_CLIENT_DATA>(Messages(), SIMCONNECT_RECV_ID_CLIENT_DATA);
        ASSERT_EQ(data.size(), 1u);
        EXPECT_EQ(data[0].dwRequestID, 89u);
        EXPECT_EQ(data[0].dwObjectID, area);
        EXPECT_EQ(data[0].dwDefineID, 21u);
        EXPECT_EQ(data[0].dwSize - SIMCONNECT_DATA_OFFSET, 5600u);
    }
}

TEST_F(SimConnectImplTest, JetwayJobGoesOnlyToAJobArea)
{
    conn.MapJetwayDataAreas();
    ASSERT_EQ(SimConnect_MapClientDataNameToID(other, "VELK.JetwayData.In.3", 7), S_OK);
    ASSERT_EQ(SimConnect_CreateClientData(other, 7, 5600, 0), S_OK);
    JetwayData record;
    record.JetwayObjectId = 4711;
    record.ClientDataAreaId = 28;  // a result area
    EXPECT_FALSE(conn.SendJetwayData(record));
    record.ClientDataAreaId = 26;
    EXPECT_TRUE(conn.SendJetwayData(record));
    EXPECT_TRUE(Exceptions(Messages()).empty());
    auto bytes = sim.ClientData("VELK.JetwayData.In.3");
    ASSERT_TRUE(bytes.has_value());
    uint32_t id = 0;
    std::memcpy(&id, bytes->data() + 4672, 4);
    EXPECT_EQ(id, 4711u);
}

// The job writer that the connection and the jetway control link share: only the four job areas take a
// job, each under the job area's name, and the result of the write is handed back.
TEST_F(SimConnectImplTest, JobWriterTakesOnlyTheFourJobAreas)
{
    conn.MapJetwayDataAreas();
    for (int n = 1; n <= 4; ++n) {
        const std::string name = "VELK.JetwayData.In." + std::to_string(n);
        ASSERT_EQ(SimConnect_MapClientDataNameToID(other, name.c_str(), 10 + n), S_OK);
        ASSERT_EQ(SimConnect_CreateClientData(other, 10 + n, 5600, 0), S_OK);
    }
    Messages();
    struct Case {
        DWORD area;
        const char* written;  // null: refused
    };
    const Case cases[] = {
        {0, nullptr},  {23, nullptr}, {24, "VELK.JetwayData.In.1"}, {25, "VELK.JetwayData.In.2"},
        {26, "VELK.JetwayData.In.3"}, {27, "VELK.JetwayData.In.4"}, {28, nullptr}, {37, nullptr},
    };
    uint32_t id = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.area);
        JetwayData record;
        record.JetwayObjectId = ++id;
        record.ClientDataAreaId = c.area;
        const DWORD before = conn.GetLastSentPacketId();
        HRESULT result = E_FAIL;
        EXPECT_EQ(WriteJetwayJob(conn.GetHandle(), record, &result), c.written != nullptr);
        if (c.written == nullptr) {
            EXPECT_EQ(conn.GetLastSentPacketId(), before);
            EXPECT_EQ(result, E_FAIL);  // untouched
            continue;
        }
        EXPECT_EQ(result, S_OK);
        auto bytes = sim.ClientData(c.written);
        ASSERT_TRUE(bytes.has_value());
        uint32_t written = 0;
        std::memcpy(&written, bytes->data() + 4672, 4);
        EXPECT_EQ(written, id);
    }
    EXPECT_TRUE(Exceptions(Messages()).empty());
}

TEST_F(SimConnectImplTest, ApiAnswerGoesOutWholeOrNotAtAll)
{
    conn.CreateApiDataAreas();
    Messages();
    std::vector<uint8_t> answer(928, 0);
    answer[0] = 7;
    answer[927] = 9;
    const DWORD before = conn.GetLastSentPacketId();
    EXPECT_FALSE(WriteApiAnswer(conn.GetHandle(), nullptr, 928));
    EXPECT_FALSE(WriteApiAnswer(conn.GetHandle(), answer.data(), 927));
    EXPECT_FALSE(WriteApiAnswer(conn.GetHandle(), answer.data(), 929));
    EXPECT_EQ(conn.GetLastSentPacketId(), before);
    EXPECT_TRUE(WriteApiAnswer(conn.GetHandle(), answer.data(), answer.size()));
    EXPECT_TRUE(Exceptions(Messages()).empty());
    auto bytes = sim.ClientData("VELK.APIData.Out");
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, answer);
}

// A printed text is cut to 255 characters; a shorter one after it carries nothing of the longer one.
TEST_F(SimConnectImplTest, PrintedTextsAreCutAndTerminated)
{
    conn.PrintMessage(std::string(300, 'x'));
    conn.PrintMessageFor("short", 3.0);
    auto texts = sim.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, std::string(255, 'x'));
    EXPECT_EQ(texts[0].type, static_cast<DWORD>(SIMCONNECT_TEXT_TYPE_PRINT_WHITE));
    EXPECT_DOUBLE_EQ(texts[0].seconds, 6.0);
    EXPECT_EQ(texts[1].text, "short");
    EXPECT_DOUBLE_EQ(texts[1].seconds, 3.0);
}

TEST_F(SimConnectImplTest, ClosingTheTextMenuRemovesIt)
{
    const char menu[] = "Title\0Prompt\0Line one\0Line two\0";
    conn.ShowTextMenu(EventMainMenuResult, menu, sizeof(menu));
    auto open = sim.OpenMenu();
    ASSERT_TRUE(open.has_value());
    EXPECT_EQ(open->title, "Title");
    ASSERT_EQ(open->lines.size(), 2u);
    conn.CloseTextMenu(EventMainMenuResult);
    EXPECT_FALSE(sim.OpenMenu().has_value());
}

TEST_F(SimConnectImplTest, AddOnMenuItemsSendTheirEvents)
{
    conn.RequestReservedKey();
    conn.AddTopMenu("VELK 1.7.1");
    conn.AddTopMenuItemMapped("Text-Menu Command: s", EventReservedKey);
    conn.AddTopMenuItem("Test DLL Connection!", EventMenuTestDll);
    conn.SetTopMenuGroupPriority();
    Messages();
    EXPECT_EQ(sim.AddonMenu(), (std::vector<std::string>{"VELK 1.7.1", "VELK 1.7.1 > Text-Menu Command: s",
                                                         "VELK 1.7.1 > Test DLL Connection!"}));
    ASSERT_TRUE(sim.ChooseAddonMenuItem("VELK 1.7.1", "Test DLL Connection!"));
    auto events = OfKind<SIMCONNECT_RECV_EVENT>(Messages(), SIMCONNECT_RECV_ID_EVENT);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].uEventID, 42u);
    EXPECT_EQ(events[0].uGroupID, 8u);
    conn.RemoveTopMenuItem(EventMenuTestDll);
    EXPECT_EQ(sim.AddonMenu(), (std::vector<std::string>{"VELK 1.7.1", "VELK 1.7.1 > Text-Menu Command: s"}));
    conn.RemoveTopMenu();
    EXPECT_TRUE(sim.AddonMenu().empty());
}

TEST_F(SimConnectImplTest, ReservedKeyFallsBackToTheNextChoice)
{
    ASSERT_EQ(SimConnect_RequestReservedKey(other, 9, "s"), S_OK);
    conn.RequestReservedKey();
    auto keys = OfKind<SIMCONNECT_RECV_RESERVED_KEY>(Messages(), SIMCONNECT_RECV_ID_RESERVED_KEY);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_STREQ(keys[0].szReservedKey, "a");
}

// The reserved key and the add-on menu line that names it both send the key's event to the program.
TEST_F(SimConnectImplTest, ReservedKeyAndItsMenuLineReachTheProgram)
{
    conn.RequestReservedKey();
    conn.AddReservedKeyToMenuGroup();
    conn.AddTopMenu("VELK 1.7.1");
    conn.AddTopMenuItemMapped("Text-Menu Command: s", EventReservedKey);
    Messages();
    ASSERT_TRUE(sim.PressKey("s"));
    ASSERT_TRUE(sim.ChooseAddonMenuItem("VELK 1.7.1", "Text-Menu Command: s"));
    auto events = OfKind<SIMCONNECT_RECV_EVENT>(Messages(), SIMCONNECT_RECV_ID_EVENT);
    ASSERT_EQ(events.size(), 2u);
    for (const auto& event : events) EXPECT_EQ(event.uEventID, static_cast<DWORD>(EventReservedKey));
}

TEST_F(SimConnectImplTest, MenuHotkeyCarriesItsDataOnceEnabled)
{
    conn.MapMenuEvents();
    conn.AddMainMenuEventToGroup();
    EXPECT_EQ(conn.MapMenuHotkey("shift+ctrl+v", 3), S_OK);
    EXPECT_EQ(conn.MapMenuHotkey("shift+ctrl+w", 0xFFFFFFFFu), S_OK);
    Messages();
    sim.PressKey("shift+ctrl+v");
    EXPECT_TRUE(OfKind<SIMCONNECT_RECV_EVENT>(Messages(), SIMCONNECT_RECV_ID_EVENT).empty());
    conn.EnableHotkeyInput();
    for (const auto& [key, data] : {std::pair<const char*, DWORD>{"shift+ctrl+v", 3}, {"shift+ctrl+w", 0xFFFFFFFFu}}) {
        sim.PressKey(key);
        auto events = OfKind<SIMCONNECT_RECV_EVENT>(Messages(), SIMCONNECT_RECV_ID_EVENT);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].uEventID, 15u);
        EXPECT_EQ(events[0].uGroupID, 1u);
        EXPECT_EQ(events[0].dwData, data);
    }
}

TEST_F(SimConnectImplTest, FreezeSendsAttitudeThenPositionThenAltitude)
{
    conn.MapFreezeSetEvents();
    const simulator::ObjectId ai = sim.AddAiAircraft({});
    sim.ClearTimeline();
    conn.FreezeObject(ai);
    std::vector<std::string> events;
    for (const std::string& line : sim.Timeline())
        if (line.find("event '") != std::string::npos) events.push_back(line);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_NE(events[0].find("'FREEZE_ATTITUDE_SET' data 1"), std::string::npos);
    EXPECT_NE(events[1].find("'FREEZE_LATITUDE_LONGITUDE_SET' data 1"), std::string::npos);
    EXPECT_NE(events[2].find("'FREEZE_ALTITUDE_SET' data 1"), std::string::npos);
}

// The probe with index 0 was started with request 1: stopping it stops that request.
TEST_F(SimConnectImplTest, ProbeRequestStopsTheRequestItsStartUsed)
{
    conn.DefineObjectData();
    Messages();
    conn.StartProbeRequest(0, 1);
    sim.SetNumber(0, "AMBIENT WIND DIRECTION", "Degrees", 90);
    sim.Advance(1000);
    auto data = OfKind<SIMCONNECT_RECV_SIMOBJECT_DATA>(Messages(), SIMCONNECT_RECV_ID_SIMOBJECT_DATA);
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(data.back().dwRequestID, 1u);
    EXPECT_EQ(data.back().dwDefineID, 9u);

    conn.StopProbeRequest(0, 0);
    sim.SetNumber(0, "AMBIENT WIND DIRECTION", "Degrees", 180);
    sim.Advance(2000);
    EXPECT_TRUE(OfKind<SIMCONNECT_RECV_SIMOBJECT_DATA>(Messages(), SIMCONNECT_RECV_ID_SIMOBJECT_DATA).empty());

    // Out of the 64 probe requests nothing is sent.
    const DWORD before = conn.GetLastSentPacketId();
    conn.StartProbeRequest(0, 65);
    conn.StartProbeRequest(0, 0);
    conn.StopProbeRequest(0, 64);
    EXPECT_EQ(conn.GetLastSentPacketId(), before);
}

TEST_F(SimConnectImplTest, UserAircraftRequestsStartInOrder)
{
    conn.DefineAircraftData();
    sim.LoadAircraft("C:\\P3D\\SimObjects\\Airplanes\\A320\\A320.air");
    Messages();
    conn.StartUserAircraftRequests();
    sim.RunFrames(2);
    sim.Advance(1000);
    std::vector<DWORD> requests;
    for (const Message& m : Messages()) {
        if (Kind(m) == SIMCONNECT_RECV_ID_SYSTEM_STATE) {
            auto state = As<SIMCONNECT_RECV_SYSTEM_STATE>(m);
            requests.push_back(state.dwRequestID);
            EXPECT_STREQ(state.szString, "C:\\P3D\\SimObjects\\Airplanes\\A320\\A320.air");
        } else if (Kind(m) == SIMCONNECT_RECV_ID_SIMOBJECT_DATA) {
            requests.push_back(As<SIMCONNECT_RECV_SIMOBJECT_DATA>(m).dwRequestID);
        }
    }
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front(), 82u);
    EXPECT_NE(std::find(requests.begin(), requests.end(), 66u), requests.end());
    EXPECT_NE(std::find(requests.begin(), requests.end(), 91u), requests.end());
}

TEST(SimConnectImplPositions, InitialPositionFromThePlacement)
{
    PlacementData placement;
    placement.Set(50.05, 8.57, 364.0, true, false, 1.0, 2.0, 90.0);
    auto position = SimConnectImpl::MakeInitPosition(placement);
    EXPECT_EQ(position.Latitude, 50.05);
    EXPECT_EQ(position.Longitude, 8.57);
    EXPECT_EQ(position.Altitude, 364.0);
    EXPECT_EQ(position.Pitch, 1.0);
    EXPECT_EQ(position.Bank, 2.0);
    EXPECT_EQ(position.Heading, 90.0);
    EXPECT_EQ(position.OnGround, 1u);
    EXPECT_EQ(position.Airspeed, 0u);

    placement.SetAltitudeIsAgl(false);
    auto raised = SimConnectImpl::MakeInitPositionRaised(placement, 50.0);
    EXPECT_NEAR(raised.Altitude, 364.0 + 50.0 * 3.28084, 1e-9);
    EXPECT_EQ(raised.OnGround, 0u);
}

}  // namespace
