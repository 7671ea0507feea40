// Data definitions and requests, objects, client data, texts and menus.
#include "SimTestSupport.h"

#include <cmath>
#include <cstring>

using namespace simtest;

namespace {

class DataTest : public ::testing::Test {
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

    simulator::Simulator sim;
    HANDLE a = nullptr;
    HANDLE b = nullptr;
};

std::vector<SIMCONNECT_RECV_SIMOBJECT_DATA> DataOf(const std::vector<Message>& messages)
{
    return OfKind<SIMCONNECT_RECV_SIMOBJECT_DATA>(messages, SIMCONNECT_RECV_ID_SIMOBJECT_DATA);
}

TEST_F(DataTest, UserAircraftRecordInTheDefinitionsUnitsAndTypes)
{
    sim.SetUserPosition(47.5, 8.5, 1400, 2, 0, 90);
    ASSERT_EQ(SimConnect_AddToDataDefinition(a, 0, "Plane Latitude", "degrees"), S_OK);
    ASSERT_EQ(SimConnect_AddToDataDefinition(a, 0, "PLANE ALTITUDE", "Feet"), S_OK);
    ASSERT_EQ(SimConnect_AddToDataDefinition(a, 0, "PLANE HEADING DEGREES TRUE", "Radians"), S_OK);
    ASSERT_EQ(SimConnect_AddToDataDefinition(a, 0, "PLANE ALTITUDE", "Meters", SIMCONNECT_DATATYPE_INT32), S_OK);
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(a, 72, 0, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_ONCE), S_OK);
    auto messages = Drain(a);
    auto data = DataOf(messages);
    ASSERT_EQ(data.size(), 1u);
    EXPECT_EQ(data[0].dwRequestID, 72u);
    EXPECT_EQ(data[0].dwObjectID, sim.UserAircraftId());
    EXPECT_EQ(data[0].dwDefineCount, 4u);
    auto record = Record(messages[0]);
    ASSERT_EQ(record.size(), 28u);
    EXPECT_DOUBLE_EQ(DoubleAt(record, 0), 47.5);
    EXPECT_DOUBLE_EQ(DoubleAt(record, 8), 1400);
    EXPECT_NEAR(DoubleAt(record, 16), M_PI / 2, 1e-12);
    int32_t metres = 0;
    std::memcpy(&metres, record.data() + 24, 4);
    EXPECT_EQ(metres, 426);  // 1400 ft
}

TEST_F(DataTest, PeriodsRunOnTheVirtualClock)
{
    ASSERT_EQ(SimConnect_AddToDataDefinition(a, 2, "SIM DISABLED", "Number"), S_OK);
    sim.SetFrameRate(10);
    // Every visual frame with interval 1: every second frame.
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(a, 66, 2, 0, SIMCONNECT_PERIOD_VISUAL_FRAME, 0, 0, 1), S_OK);
    // Every second, only when changed.
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(a, 73, 2, 0, SIMCONNECT_PERIOD_SECOND,
                                                SIMCONNECT_DATA_REQUEST_FLAG_CHANGED),
              S_OK);
    // Every frame, three times at most.
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(a, 74, 2, 0, SIMCONNECT_PERIOD_VISUAL_FRAME, 0, 0, 0, 3), S_OK);
    EXPECT_TRUE(Drain(a).empty());  // periodic requests answer from the first period on

    sim.Advance(3000);  // 30 frames, 3 seconds
    auto data = DataOf(Drain(a));
    auto count = [&](DWORD request) {
        return std::count_if(data.begin(), data.end(), [&](const auto& d) { return d.dwRequestID == request; });
    };
    EXPECT_EQ(count(66), 15);
    EXPECT_EQ(count(73), 1);  // the value never changed after the first answer
    EXPECT_EQ(count(74), 3);

    sim.SetNumber(0, "SIM DISABLED", "Number", 1);
    sim.Advance(1000);
    data = DataOf(Drain(a));
    EXPECT_EQ(count(73), 1);

    ASSERT_EQ(SimConnect_RequestDataOnSimObject(a, 66, 2, 0, SIMCONNECT_PERIOD_NEVER), S_OK);
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(a, 73, 2, 0, SIMCONNECT_PERIOD_NEVER), S_OK);
    sim.Advance(2000);
    EXPECT_TRUE(Drain(a).empty());
}

TEST_F(DataTest, ValuesSetOnAnObjectReadBack)
{
    SIMCONNECT_DATA_INITPOSITION pos{47.1, 8.2, 1300, 0, 0, 270, 1, 0};
    ASSERT_EQ(SimConnect_AICreateSimulatedObject(a, "Jetway A", pos, 105), S_OK);
    auto assigned = OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(Drain(a), SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    ASSERT_EQ(assigned.size(), 1u);
    EXPECT_EQ(assigned[0].dwRequestID, 105u);
    const DWORD id = assigned[0].dwObjectID;
    EXPECT_EQ(sim.Object(id)->title, "Jetway A");
    EXPECT_EQ(sim.Object(id)->createdBy, "A");

    const char* fields[] = {"VELOCITY WORLD Z", "VELOCITY BODY Z", "VELOCITY WORLD X", "VELOCITY BODY X",
                            "VELOCITY WORLD Y", "VELOCITY BODY Y", "ACCELERATION BODY X", "ACCELERATION BODY Y",
                            "ACCELERATION BODY Z"};
    for (const char* f : fields) ASSERT_EQ(SimConnect_AddToDataDefinition(a, 17, f, "Number"), S_OK);
    double motion[9];
    for (int i = 0; i < 9; ++i) motion[i] = 0.5 + i;
    ASSERT_EQ(SimConnect_SetDataOnSimObject(a, 17, id, 0, 0, sizeof(motion), motion), S_OK);
    EXPECT_EQ(sim.Number(id, "velocity body x", "Number"), 3.5);

    // Another client reads them through its own definition.
    for (const char* f : fields) ASSERT_EQ(SimConnect_AddToDataDefinition(b, 1, f, "Number"), S_OK);
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(b, 9, 1, id, SIMCONNECT_PERIOD_ONCE), S_OK);
    auto messages = Drain(b);
    ASSERT_EQ(messages.size(), 1u);
    auto record = Record(messages[0]);
    ASSERT_EQ(record.size(), sizeof(motion));
    EXPECT_EQ(std::memcmp(record.data(), motion, sizeof(motion)), 0);

    // The creation position reads back in any angle or length unit.
    EXPECT_NEAR(*sim.Number(id, "PLANE HEADING DEGREES TRUE", "Radians"), 1.5 * M_PI, 1e-12);
    EXPECT_DOUBLE_EQ(*sim.Number(id, "PLANE ALTITUDE", "Feet"), 1300);
}

TEST_F(DataTest, BadDataRequestsAreExceptionsWithTheirArgument)
{
    ASSERT_EQ(SimConnect_AddToDataDefinition(a, 14, "PLANE ALTITUDE", "Feet"), S_OK);
    double value = 1;
    struct Case {
        const char* label;
        std::function<HRESULT()> call;
        DWORD exception, index;
    } cases[] = {
        {"unknown definition", [&] { return SimConnect_RequestDataOnSimObject(a, 1, 99, 0, SIMCONNECT_PERIOD_ONCE); },
         SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2},
        {"unknown object", [&] { return SimConnect_RequestDataOnSimObject(a, 70, 14, 4242, SIMCONNECT_PERIOD_ONCE); },
         SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 3},
        {"set unknown object", [&] { return SimConnect_SetDataOnSimObject(a, 14, 4242, 0, 0, 8, &value); },
         SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2},
        {"set wrong size", [&] { return SimConnect_SetDataOnSimObject(a, 14, 0, 0, 0, 4, &value); },
         SIMCONNECT_EXCEPTION_SIZE_MISMATCH, 5},
        {"remove unknown object", [&] { return SimConnect_AIRemoveObject(a, 4242, 7); },
         SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 1},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.call(), S_OK) << c.label;
        const DWORD packet = LastPacket(a);
        auto ex = Exceptions(Drain(a));
        ASSERT_EQ(ex.size(), 1u) << c.label;
        EXPECT_EQ(ex[0].dwException, c.exception) << c.label;
        EXPECT_EQ(ex[0].dwSendID, packet) << c.label;
        EXPECT_EQ(ex[0].dwIndex, c.index) << c.label;
    }
}

TEST_F(DataTest, RefusedCreationAnswersWithTheSendIdAndDelayedOnesWaitForFrames)
{
    sim.RefuseTitle("No Such Model");
    SIMCONNECT_DATA_INITPOSITION pos{};
    ASSERT_EQ(SimConnect_AICreateSimulatedObject(a, "No Such Model", pos, 106), S_OK);
    const DWORD refused = LastPacket(a);
    sim.SetCreationDelayFrames(2);
    ASSERT_EQ(SimConnect_AICreateSimulatedObject(a, "Good Model", pos, 107), S_OK);

    auto messages = Drain(a);
    auto ex = Exceptions(messages);
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_EQ(ex[0].dwException, static_cast<DWORD>(SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED));
    EXPECT_EQ(ex[0].dwSendID, refused);
    EXPECT_TRUE(OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(messages, SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID).empty());

    sim.RunFrames(1);
    EXPECT_TRUE(Drain(a).empty());
    sim.RunFrames(1);
    auto assigned = OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(Drain(a), SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    ASSERT_EQ(assigned.size(), 1u);
    EXPECT_EQ(assigned[0].dwRequestID, 107u);

    // Removal, and the objects of a client that leaves go with it.
    ASSERT_EQ(SimConnect_AICreateSimulatedObject(a, "Second", pos, 108), S_OK);
    sim.RunFrames(2);
    auto second = OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(Drain(a), SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    ASSERT_EQ(second.size(), 1u);
    ASSERT_EQ(SimConnect_AIRemoveObject(a, assigned[0].dwObjectID, 109), S_OK);
    EXPECT_FALSE(sim.Object(assigned[0].dwObjectID));
    EXPECT_TRUE(sim.Object(second[0].dwObjectID));
    SimConnect_Close(a);
    a = nullptr;
    EXPECT_FALSE(sim.Object(second[0].dwObjectID));
}

TEST_F(DataTest, AircraftByTypeWithinTheRadiusWithVariableLengthTexts)
{
    sim.SetUserPosition(47.0, 8.0, 1400);
    simulator::AiAircraft near;
    near.title = "Airbus A320 Lufthansa";
    near.atcId = "DAIPA";
    near.atcModel = "A320";
    near.state = "sleep";
    near.airport = "EDDF";
    near.parking = "GATE A 12, Heavy";
    near.latitude = 47.01;  // about 1.1 km north
    near.longitude = 8.0;
    const auto nearId = sim.AddAiAircraft(near);
    simulator::AiAircraft far = near;
    far.latitude = 48.0;
    sim.AddAiAircraft(far);
    SIMCONNECT_DATA_INITPOSITION pos{47.0, 8.0, 1400, 0, 0, 0, 1, 0};
    ASSERT_EQ(SimConnect_AICreateSimulatedObject(a, "Jetway", pos, 105), S_OK);  // not an aircraft

    const struct {
        const char* name;
        const char* unit;
        SIMCONNECT_DATATYPE type;
    } fields[] = {{"Plane Latitude", "degrees", SIMCONNECT_DATATYPE_FLOAT64},
                  {"IS USER SIM", "Bool", SIMCONNECT_DATATYPE_FLOAT64},
                  {"AI TRAFFIC CURRENT AIRPORT", nullptr, SIMCONNECT_DATATYPE_STRING32},
                  {"AI TRAFFIC ASSIGNED PARKING", nullptr, SIMCONNECT_DATATYPE_STRING128},
                  {"ATC ID", nullptr, SIMCONNECT_DATATYPE_STRINGV},
                  {"ATC MODEL", nullptr, SIMCONNECT_DATATYPE_STRINGV},
                  {"TITLE", nullptr, SIMCONNECT_DATATYPE_STRINGV},
                  {"AI TRAFFIC STATE", nullptr, SIMCONNECT_DATATYPE_STRING32}};
    for (const auto& f : fields) ASSERT_EQ(SimConnect_AddToDataDefinition(a, 26, f.name, f.unit, f.type), S_OK);
    Drain(a);
    ASSERT_EQ(SimConnect_RequestDataOnSimObjectType(a, 90, 26, 5000, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT), S_OK);
    auto messages = Drain(a);
    ASSERT_EQ(messages.size(), 2u);  // the user aircraft and the near AI aircraft
    auto ai = As<SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE>(messages[1]);
    EXPECT_EQ(ai.dwObjectID, nearId);
    EXPECT_EQ(ai.dwentrynumber, 2u);
    EXPECT_EQ(ai.dwoutof, 2u);

    // Read the texts in place, as the scan does.
    Message& m = messages[1];
    auto* recv = reinterpret_cast<SIMCONNECT_RECV*>(m.data());
    char* base = reinterpret_cast<char*>(m.data()) + SIMCONNECT_DATA_OFFSET;
    EXPECT_STREQ(base + 16, "EDDF");
    EXPECT_STREQ(base + 48, "GATE A 12, Heavy");
    char* at = base + 176;
    std::vector<std::string> texts;
    for (int i = 0; i < 4; ++i) {
        char* text = nullptr;
        DWORD size = 0;
        ASSERT_EQ(SimConnect_RetrieveString(recv, static_cast<DWORD>(m.size()), at, &text, &size), S_OK);
        texts.emplace_back(text);
        at += size;
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"DAIPA", "A320", "Airbus A320 Lufthansa", "sleep"}));
    // Past the end of the message there is nothing to read.
    char* text = nullptr;
    DWORD size = 0;
    char* end = reinterpret_cast<char*>(m.data()) + m.size();
    EXPECT_EQ(SimConnect_RetrieveString(recv, static_cast<DWORD>(m.size()), end, &text, &size), E_FAIL);
    // A text that the message's end cuts off is refused.
    char* title = base + 176 + 6 + 5;
    const auto cut = static_cast<DWORD>(title + 10 - reinterpret_cast<char*>(m.data()));
    EXPECT_EQ(SimConnect_RetrieveString(recv, cut, title, &text, &size), E_FAIL);
    EXPECT_EQ(SimConnect_RetrieveString(recv, cut + 12, title, &text, &size), S_OK);
    EXPECT_EQ(size, 22u);

    // Nothing in range: one answer with no entries.
    ASSERT_EQ(SimConnect_RequestDataOnSimObjectType(a, 91, 26, 0, SIMCONNECT_SIMOBJECT_TYPE_HELICOPTER), S_OK);
    auto none = OfKind<SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE>(Drain(a), SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].dwentrynumber, 0u);
    EXPECT_EQ(none[0].dwoutof, 0u);
}

TEST_F(DataTest, ClientDataWrittenByOneClientIsReadByAnother)
{
    // The module's side creates the area.
    ASSERT_EQ(SimConnect_MapClientDataNameToID(b, "VELK.JetwayData.In.3", 242434), S_OK);
    ASSERT_EQ(SimConnect_CreateClientData(b, 242434, 5600, SIMCONNECT_CREATE_CLIENT_DATA_FLAG_DEFAULT), S_OK);
    ASSERT_EQ(SimConnect_AddToClientDataDefinition(b, 1, SIMCONNECT_CLIENTDATAOFFSET_AUTO, 5600), S_OK);
    // The program maps the same name under its own id.
    ASSERT_EQ(SimConnect_MapClientDataNameToID(a, "VELK.JetwayData.In.3", 26), S_OK);
    ASSERT_EQ(SimConnect_AddToClientDataDefinition(a, 21, SIMCONNECT_CLIENTDATAOFFSET_AUTO, 5600), S_OK);
    std::vector<uint8_t> job(5600);
    for (size_t i = 0; i < job.size(); ++i) job[i] = static_cast<uint8_t>(i * 7);
    ASSERT_EQ(SimConnect_SetClientData(a, 26, 21, 0, 0, 5600, job.data()), S_OK);
    EXPECT_EQ(sim.ClientData("velk.jetwaydata.in.3"), job);

    ASSERT_EQ(SimConnect_RequestClientData(b, 242434, 242424, 1), S_OK);
    auto messages = Drain(b);
    ASSERT_EQ(messages.size(), 1u);
    auto d = As<SIMCONNECT_RECV_CLIENT_DATA>(messages[0]);
    EXPECT_EQ(Kind(messages[0]), static_cast<DWORD>(SIMCONNECT_RECV_ID_CLIENT_DATA));
    EXPECT_EQ(d.dwRequestID, 242424u);
    EXPECT_EQ(d.dwDefineID, 1u);
    EXPECT_EQ(Record(messages[0]), job);
    EXPECT_TRUE(Exceptions(Drain(a)).empty());
}

TEST_F(DataTest, ClientDataErrorsAndUpdatesOnEveryWrite)
{
    ASSERT_EQ(SimConnect_MapClientDataNameToID(a, "VELK.AcftLVars.Out", 36), S_OK);
    ASSERT_EQ(SimConnect_AddToClientDataDefinition(a, 23, SIMCONNECT_CLIENTDATAOFFSET_AUTO, 24), S_OK);
    // Not created yet.
    ASSERT_EQ(SimConnect_RequestClientData(a, 36, 102, 23), S_OK);
    auto ex = Exceptions(Drain(a));
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_EQ(ex[0].dwIndex, 1u);

    ASSERT_EQ(SimConnect_MapClientDataNameToID(b, "VELK.AcftLVars.Out", 242436), S_OK);
    ASSERT_EQ(SimConnect_CreateClientData(b, 242436, 24, 0), S_OK);
    ASSERT_EQ(SimConnect_CreateClientData(a, 36, 24, 0), S_OK);  // already there
    ex = Exceptions(Drain(a));
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_EQ(ex[0].dwException, static_cast<DWORD>(SIMCONNECT_EXCEPTION_ALREADY_CREATED));

    ASSERT_EQ(SimConnect_AddToClientDataDefinition(b, 2, SIMCONNECT_CLIENTDATAOFFSET_AUTO, SIMCONNECT_CLIENTDATATYPE_FLOAT64), S_OK);
    ASSERT_EQ(SimConnect_AddToClientDataDefinition(b, 2, SIMCONNECT_CLIENTDATAOFFSET_AUTO, 16), S_OK);
    ASSERT_EQ(SimConnect_RequestClientData(a, 36, 102, 23, SIMCONNECT_CLIENT_DATA_PERIOD_ON_SET), S_OK);
    double values[3] = {1.0, 0.0, -0.123};
    ASSERT_EQ(SimConnect_SetClientData(b, 242436, 2, 0, 0, 24, values), S_OK);
    ASSERT_EQ(SimConnect_SetClientData(b, 242436, 2, 0, 0, 16, values), S_OK);  // wrong size
    ex = Exceptions(Drain(b));
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_EQ(ex[0].dwException, static_cast<DWORD>(SIMCONNECT_EXCEPTION_SIZE_MISMATCH));
    values[1] = 1.0;
    ASSERT_EQ(SimConnect_SetClientData(b, 242436, 2, 0, 0, 24, values), S_OK);
    auto data = Drain(a);
    ASSERT_EQ(data.size(), 2u);
    EXPECT_DOUBLE_EQ(DoubleAt(Record(data[0]), 8), 0.0);
    EXPECT_DOUBLE_EQ(DoubleAt(Record(data[1]), 8), 1.0);
    EXPECT_DOUBLE_EQ(DoubleAt(Record(data[1]), 16), -0.123);
}

TEST_F(DataTest, MenusReportDisplayedChosenReplacedRemovedAndTimeout)
{
    const char menu[] = "VELK\0Choose:\0Dock\0Undock\0EXIT...\0\0\0\0";
    // The results come as the private events each client mapped for its menus.
    for (DWORD event : {21u, 22u, 24u}) ASSERT_EQ(SimConnect_MapClientEventToSimEvent(a, event, ""), S_OK);
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(b, 5, ""), S_OK);
    ASSERT_EQ(SimConnect_Text(a, SIMCONNECT_TEXT_TYPE_MENU, 0, 21, sizeof(menu), const_cast<char*>(menu)), S_OK);
    auto open = sim.OpenMenu();
    ASSERT_TRUE(open);
    EXPECT_EQ(open->title, "VELK");
    EXPECT_EQ(open->prompt, "Choose:");
    EXPECT_EQ(open->lines, (std::vector<std::string>{"Dock", "Undock", "EXIT..."}));
    EXPECT_FALSE(sim.ChooseMenuLine(3));
    EXPECT_TRUE(sim.ChooseMenuLine(1));
    EXPECT_FALSE(sim.OpenMenu());
    auto events = Events(Drain(a));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].dwData, static_cast<DWORD>(SIMCONNECT_TEXT_RESULT_DISPLAYED));
    EXPECT_EQ(events[1].uEventID, 21u);
    EXPECT_EQ(events[1].dwData, 1u);

    // Replaced by another client's menu, which is then removed with an empty text.
    ASSERT_EQ(SimConnect_Text(a, SIMCONNECT_TEXT_TYPE_MENU, 0, 24, sizeof(menu), const_cast<char*>(menu)), S_OK);
    ASSERT_EQ(SimConnect_Text(b, SIMCONNECT_TEXT_TYPE_MENU, 0, 5, sizeof(menu), const_cast<char*>(menu)), S_OK);
    const char empty[4] = {};
    ASSERT_EQ(SimConnect_Text(b, SIMCONNECT_TEXT_TYPE_MENU, 0, 5, 4, const_cast<char*>(empty)), S_OK);
    events = Events(Drain(a));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].dwData, static_cast<DWORD>(SIMCONNECT_TEXT_RESULT_REPLACED));
    events = Events(Drain(b));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].dwData, static_cast<DWORD>(SIMCONNECT_TEXT_RESULT_REMOVED));

    // A menu with a timeout.
    ASSERT_EQ(SimConnect_Text(a, SIMCONNECT_TEXT_TYPE_MENU, 2.0f, 22, sizeof(menu), const_cast<char*>(menu)), S_OK);
    sim.Advance(1999);
    EXPECT_TRUE(sim.OpenMenu());
    sim.Advance(1);
    EXPECT_FALSE(sim.OpenMenu());
    events = Events(Drain(a));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].dwData, static_cast<DWORD>(SIMCONNECT_TEXT_RESULT_TIMEOUT));
}

// The simulator reads a menu's items up to its first empty entry: a block whose entries run to its end
// without one is refused, and the menu shown before stays open.
TEST_F(DataTest, MenuBlockWithoutAnEmptyEntryIsRefused)
{
    const char menu[] = "VELK\0Choose:\0Dock\0Undock\0";  // the implicit NUL is the empty entry
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(a, 21, ""), S_OK);
    ASSERT_EQ(SimConnect_Text(a, SIMCONNECT_TEXT_TYPE_MENU, 0, 21, sizeof(menu), const_cast<char*>(menu)), S_OK);
    ASSERT_TRUE(sim.OpenMenu());
    EXPECT_EQ(sim.OpenMenu()->blockBytes, sizeof(menu));
    Drain(a);

    const char other[] = "Other\0Prompt\0Line";
    ASSERT_EQ(SimConnect_Text(a, SIMCONNECT_TEXT_TYPE_MENU, 0, 21, sizeof(other) - 1, const_cast<char*>(other)),
              S_OK);
    ASSERT_TRUE(sim.OpenMenu());
    EXPECT_EQ(sim.OpenMenu()->title, "VELK");
    const auto messages = Drain(a);
    ASSERT_EQ(messages.size(), 1u);
    ASSERT_EQ(Kind(messages[0]), static_cast<DWORD>(SIMCONNECT_RECV_ID_EXCEPTION));
    EXPECT_EQ(As<SIMCONNECT_RECV_EXCEPTION>(messages[0]).dwException,
              static_cast<DWORD>(SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE));
}

// Like the real simulator, a result event that the client never mapped is not delivered: the menu works,
// its client hears nothing.
TEST_F(DataTest, MenuResultsNeedTheirEventMapped)
{
    const char menu[] = "VELK\0Choose:\0Dock\0Undock\0\0";
    char text[64] = "Jetway docked";
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(b, 23, "VELK.SomeNamedEvent"), S_OK);  // b's, not a's
    ASSERT_EQ(SimConnect_Text(a, SIMCONNECT_TEXT_TYPE_MENU, 1.0f, 23, sizeof(menu), const_cast<char*>(menu)), S_OK);
    ASSERT_TRUE(sim.OpenMenu());
    EXPECT_TRUE(sim.ChooseMenuLine(0));
    ASSERT_EQ(SimConnect_Text(a, SIMCONNECT_TEXT_TYPE_MENU, 1.0f, 23, sizeof(menu), const_cast<char*>(menu)), S_OK);
    sim.Advance(1000);
    EXPECT_FALSE(sim.OpenMenu());  // timed out
    ASSERT_EQ(SimConnect_Text(a, SIMCONNECT_TEXT_TYPE_PRINT_WHITE, 1.0f, 23, sizeof(text), text), S_OK);
    sim.Advance(1000);
    EXPECT_TRUE(Drain(a).empty());
    EXPECT_TRUE(Events(Drain(b)).empty());
}

TEST_F(DataTest, PrintedTextsShowForTheirTimeWithoutResultForEventZero)
{
    char buffer[256] = "[VELK] JETWAY CONTROL SYSTEM is up and running (N=0)! Module Version 1.7.1";
    ASSERT_EQ(SimConnect_Text(a, SIMCONNECT_TEXT_TYPE_PRINT_WHITE, 4.0f, 0, sizeof(buffer), buffer), S_OK);
    auto texts = sim.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, buffer);
    EXPECT_EQ(texts[0].client, "A");
    sim.Advance(4000);
    EXPECT_TRUE(sim.Texts().empty());
    EXPECT_TRUE(Drain(a).empty());
}

}  // namespace

// With a ground elevation known, an object created on the ground stands on it; one created in the air
// keeps its altitude. Without one, both stand where they asked to.
TEST_F(DataTest, ObjectsCreatedOnTheGroundStandOnTheGroundElevation)
{
    SIMCONNECT_DATA_INITPOSITION onGround{47.1, 8.2, 28, 0, 0, 0, 1, 0};
    SIMCONNECT_DATA_INITPOSITION inTheAir{47.1, 8.2, 3000, 0, 0, 0, 0, 0};
    auto created = [&](const SIMCONNECT_DATA_INITPOSITION& pos) {
        EXPECT_EQ(SimConnect_AICreateSimulatedObject(a, "Cone", pos, 105), S_OK);
        auto assigned = OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(Drain(a), SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
        return assigned.empty() ? DWORD{0} : assigned[0].dwObjectID;
    };
    EXPECT_DOUBLE_EQ(*sim.Number(created(onGround), "PLANE ALTITUDE", "Feet"), 28);
    sim.SetGroundElevation(1650);
    EXPECT_DOUBLE_EQ(*sim.Number(created(onGround), "PLANE ALTITUDE", "Feet"), 1650);
    EXPECT_DOUBLE_EQ(*sim.Number(created(inTheAir), "PLANE ALTITUDE", "Feet"), 3000);
    sim.SetGroundElevation(std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(*sim.Number(created(onGround), "PLANE ALTITUDE", "Feet"), 28);
}

namespace {

// A record of a number and a variable-length text, as a write of the definition below sends it.
std::vector<uint8_t> NumberAndText(double number, const std::string& text, bool terminated)
{
    std::vector<uint8_t> record(8);
    std::memcpy(record.data(), &number, 8);
    record.insert(record.end(), text.begin(), text.end());
    if (terminated) record.push_back(0);
    return record;
}

}  // namespace

TEST_F(DataTest, AWriteSetsTheWholeRecordOrNothingOfItAndItsLineShowsTheValues)
{
    ASSERT_EQ(SimConnect_AddToDataDefinition(a, 3, "Plane Altitude", "feet"), S_OK);
    ASSERT_EQ(SimConnect_AddToDataDefinition(a, 3, "ATC ID", nullptr, SIMCONNECT_DATATYPE_STRINGV), S_OK);
    const DWORD user = sim.UserAircraftId();
    sim.ClearTimeline();

    auto good = NumberAndText(1500, "HB-ABC", true);
    ASSERT_EQ(SimConnect_SetDataOnSimObject(a, 3, user, 0, 0, static_cast<DWORD>(good.size()), good.data()), S_OK);
    EXPECT_EQ(sim.Number(user, "PLANE ALTITUDE", "feet"), 1500);
    EXPECT_EQ(sim.Text(user, "atc id"), "HB-ABC");
    ASSERT_EQ(sim.Timeline().size(), 1u);
    EXPECT_NE(sim.Timeline()[0].find("object 1 'User Aircraft' set by 'A': Plane Altitude = 1500, ATC ID = 'HB-ABC'"),
              std::string::npos)
        << sim.Timeline()[0];

    // The text is not terminated: the number before it is not taken either.
    auto bad = NumberAndText(2500, "HB-XYZ", false);
    ASSERT_EQ(SimConnect_SetDataOnSimObject(a, 3, user, 0, 0, static_cast<DWORD>(bad.size()), bad.data()), S_OK);
    const auto exceptions = Exceptions(Drain(a));
    ASSERT_EQ(exceptions.size(), 1u);
    EXPECT_EQ(exceptions[0].dwException, static_cast<DWORD>(SIMCONNECT_EXCEPTION_DATA_ERROR));
    EXPECT_EQ(sim.Number(user, "PLANE ALTITUDE", "feet"), 1500);
    EXPECT_EQ(sim.Text(user, "ATC ID"), "HB-ABC");
}

TEST_F(DataTest, ATimelineNotKeptGoesOnlyToTheListener)
{
    std::vector<std::string> heard;
    sim.SetTimelineListener([&heard](const std::string& line) { heard.push_back(line); });
    sim.Note("kept");
    sim.SetTimelineKept(false);
    EXPECT_TRUE(sim.Timeline().empty());
    sim.Note("heard only");
    EXPECT_TRUE(sim.Timeline().empty());
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[1], "[    0.000] heard only");

    sim.SetTimelineKept(true);
    sim.Note("first\nline");  // a line may hold line breaks of its own
    sim.Note("second");
    EXPECT_EQ(sim.Timeline(), (std::vector<std::string>{"[    0.000] first\nline", "[    0.000] second"}));
    // The fixture's clean-up still writes lines: the listener must not outlive what it writes into.
    sim.SetTimelineListener(nullptr);
}
