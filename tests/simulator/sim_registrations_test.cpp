// The timeline's registration lines: one per registration call of a client, in the order they arrive,
// only when asked for.
#include "SimTestSupport.h"

#include <functional>

using namespace simtest;

namespace {

struct Call {
    std::function<HRESULT(HANDLE)> call;
    std::string line;  // without the time stamp; empty: the call leaves no registration line
};

// In an order in which every call is valid: each one finds what it refers to.
std::vector<Call> Calls()
{
    return {
        {[](HANDLE h) { return SimConnect_MapClientEventToSimEvent(h, 36, "VELK.JetwayAction.Start"); },
         "'A' maps event 36 to 'VELK.JetwayAction.Start'"},
        {[](HANDLE h) { return SimConnect_MapClientEventToSimEvent(h, 57, ""); }, "'A' maps private event 57"},
        {[](HANDLE h) { return SimConnect_AddClientEventToNotificationGroup(h, 4, 36, FALSE); },
         "'A' adds event 36 to group 4 (not maskable)"},
        {[](HANDLE h) { return SimConnect_AddClientEventToNotificationGroup(h, 9, 57, TRUE); },
         "'A' adds event 57 to group 9 (maskable)"},
        {[](HANDLE h) { return SimConnect_SetNotificationGroupPriority(h, 4, SIMCONNECT_GROUP_PRIORITY_HIGHEST); },
         "'A' sets group 4 priority highest"},
        {[](HANDLE h) {
             return SimConnect_SetNotificationGroupPriority(h, 9, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE);
         },
         "'A' sets group 9 priority highest maskable"},
        {[](HANDLE h) { return SimConnect_SetNotificationGroupPriority(h, 9, 12345); },
         "'A' sets group 9 priority 12345"},
        {[](HANDLE h) { return SimConnect_RemoveClientEvent(h, 9, 57); }, "'A' removes event 57 from group 9"},
        {[](HANDLE h) { return SimConnect_SubscribeToSystemEvent(h, 2, "SimStart"); },
         "'A' subscribes event 2 to system event 'SimStart'"},
        {[](HANDLE h) { return SimConnect_UnsubscribeFromSystemEvent(h, 2); }, "'A' unsubscribes event 2"},
        {[](HANDLE h) { return SimConnect_MapInputEventToClientEvent(h, 0, "shift+ctrl+s", 15, 4294967295u); },
         "'A' maps input 'shift+ctrl+s' in group 0 to event 15 (data 4294967295)"},
        {[](HANDLE h) { return SimConnect_MapInputEventToClientEvent(h, 2, "ctrl+x", 16, 1, 17, 2, TRUE); },
         "'A' maps input 'ctrl+x' in group 2 to event 16 (data 1), on release event 17 (data 2), maskable"},
        {[](HANDLE h) { return SimConnect_SetInputGroupPriority(h, 0, SIMCONNECT_GROUP_PRIORITY_HIGHEST); },
         "'A' sets input group 0 priority highest"},
        {[](HANDLE h) { return SimConnect_SetInputGroupState(h, 0, SIMCONNECT_STATE_ON); },
         "'A' sets input group 0 on"},
        {[](HANDLE h) { return SimConnect_SetInputGroupState(h, 2, SIMCONNECT_STATE_OFF); },
         "'A' sets input group 2 off"},
        {[](HANDLE h) { return SimConnect_MapClientEventToSimEvent(h, 31, ""); }, "'A' maps private event 31"},
        {[](HANDLE h) { return SimConnect_RequestReservedKey(h, 31, "s", "", "d"); },
         "'A' asks for a reserved key for event 31: 's', 'd'"},
        {[](HANDLE h) { return SimConnect_AddToDataDefinition(h, 5, "LOCAL MONTH OF YEAR", "Number"); },
         "'A' defines data 5: 'LOCAL MONTH OF YEAR' (Number, FLOAT64)"},
        {[](HANDLE h) {
             return SimConnect_AddToDataDefinition(h, 5, "ZULU TIME", "Minutes", SIMCONNECT_DATATYPE_INT32, 0.5f, 7);
         },
         "'A' defines data 5: 'ZULU TIME' (Minutes, INT32), epsilon 0.5, datum 7"},
        {[](HANDLE h) {
             return SimConnect_AddToDataDefinition(h, 26, "ATC ID", nullptr, SIMCONNECT_DATATYPE_STRINGV);
         },
         "'A' defines data 26: 'ATC ID' (STRINGV)"},
        {[](HANDLE h) {
             return SimConnect_RequestDataOnSimObject(h, 73, 5, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_SECOND,
                                                      SIMCONNECT_DATA_REQUEST_FLAG_CHANGED);
         },
         "'A' requests data 5 on the user aircraft every second (request 73), when changed"},
        {[](HANDLE h) {
             return SimConnect_RequestDataOnSimObject(h, 66, 5, SIMCONNECT_OBJECT_ID_USER,
                                                      SIMCONNECT_PERIOD_VISUAL_FRAME, 0, 2, 1, 10);
         },
         "'A' requests data 5 on the user aircraft every visual frame (request 66), origin 2, interval 1, limit 10"},
        {[](HANDLE h) {
             return SimConnect_RequestDataOnSimObject(h, 73, 5, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_NEVER);
         },
         "'A' stops request 73 of data 5 on the user aircraft"},
        {[](HANDLE h) { return SimConnect_RequestDataOnSimObject(h, 70, 5, 1, SIMCONNECT_PERIOD_ONCE); },
         "'A' requests data 5 on the user aircraft once (request 70)"},
        {[](HANDLE h) {
             return SimConnect_RequestDataOnSimObjectType(h, 90, 26, 5000, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
         },
         "'A' requests data 26 on every aircraft within 5000 m (request 90)"},
        {[](HANDLE h) { return SimConnect_ClearDataDefinition(h, 26); }, "'A' clears data definition 26"},
        {[](HANDLE h) { return SimConnect_MapClientDataNameToID(h, "VELK.JetwayData.In.1", 24); },
         "'A' maps client data 'VELK.JetwayData.In.1' to area 24"},
        // The creation keeps its line of every timeline and gets no second one.
        {[](HANDLE h) { return SimConnect_CreateClientData(h, 24, 5600, SIMCONNECT_CREATE_CLIENT_DATA_FLAG_DEFAULT); },
         ""},
        {[](HANDLE h) { return SimConnect_AddToClientDataDefinition(h, 21, SIMCONNECT_CLIENTDATAOFFSET_AUTO, 5600); },
         "'A' defines client data 21 (5600 bytes)"},
        {[](HANDLE h) { return SimConnect_AddToClientDataDefinition(h, 22, 8, SIMCONNECT_CLIENTDATATYPE_FLOAT64); },
         "'A' defines client data 22 (FLOAT64) at offset 8"},
        {[](HANDLE h) { return SimConnect_AddToClientDataDefinition(h, 22, 0, SIMCONNECT_CLIENTDATATYPE_INT8); },
         "'A' defines client data 22 (INT8) at offset 0"},
        {[](HANDLE h) { return SimConnect_RequestClientData(h, 24, 89, 21); },
         "'A' requests client data area 24 'VELK.JetwayData.In.1' with definition 21 once (request 89)"},
        {[](HANDLE h) {
             return SimConnect_RequestClientData(h, 24, 92, 21, SIMCONNECT_CLIENT_DATA_PERIOD_ON_SET,
                                                 SIMCONNECT_CLIENT_DATA_REQUEST_FLAG_CHANGED);
         },
         "'A' requests client data area 24 'VELK.JetwayData.In.1' with definition 21 on every write (request 92), "
         "when changed"},
        {[](HANDLE h) { return SimConnect_RequestClientData(h, 24, 92, 21, SIMCONNECT_CLIENT_DATA_PERIOD_NEVER); },
         "'A' stops request 92 of client data area 24 'VELK.JetwayData.In.1'"},
        {[](HANDLE h) { return SimConnect_ClearClientDataDefinition(h, 22); }, "'A' clears client data definition 22"},
        {[](HANDLE h) { return SimConnect_RequestSystemState(h, 65, "Sim"); },
         "'A' requests system state 'Sim' (request 65)"},
        {[](HANDLE h) { return SimConnect_MenuAddItem(h, "VELK 1.7.1", 30, 0); }, ""},
        {[](HANDLE h) { return SimConnect_MenuAddSubItem(h, 30, "Test DLL Connection!", 42, 0); },
         "'A' adds add-on menu sub-item 'Test DLL Connection!' under 'VELK 1.7.1' (event 42)"},
        {[](HANDLE h) { return SimConnect_MenuAddSubItem(h, 30, "[a label]", SIMCONNECT_UNUSED, 0); },
         "'A' adds add-on menu sub-item '[a label]' under 'VELK 1.7.1' (no event)"},
        {[](HANDLE h) { return SimConnect_MenuDeleteSubItem(h, 30, 42); },
         "'A' removes add-on menu sub-item of event 42 under 'VELK 1.7.1'"},
    };
}

std::string Unstamped(const std::string& line)
{
    const size_t end = line.find("] ");
    return line.rfind('[', 0) == 0 && end != std::string::npos ? line.substr(end + 2) : line;
}

bool IsRegistration(const std::string& line, const std::string& client)
{
    return Unstamped(line).rfind("'" + client + "' ", 0) == 0;
}

class RegistrationsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim.ServeInProcess();
        a = OpenClient("A");
    }
    void TearDown() override { SimConnect_Close(a); }

    simulator::Simulator sim;
    HANDLE a = nullptr;
};

TEST_F(RegistrationsTest, EachCallGivesItsLineNamingTheClient)
{
    sim.SetTimelineRegistrations(true);
    for (const Call& c : Calls()) {
        SCOPED_TRACE(c.line);
        sim.ClearTimeline();
        ASSERT_EQ(c.call(a), S_OK);
        const auto timeline = sim.Timeline();
        std::vector<std::string> registrations;
        for (const std::string& line : timeline)
            if (IsRegistration(line, "A")) registrations.push_back(Unstamped(line));
        if (c.line.empty()) EXPECT_TRUE(registrations.empty());
        else EXPECT_EQ(registrations, std::vector<std::string>{c.line});
        // Every line has the time stamp the others have.
        for (const std::string& line : timeline) EXPECT_EQ(line.rfind("[    0.000] ", 0), 0u) << line;
    }
    EXPECT_TRUE(Exceptions(Drain(a)).empty());
}

TEST_F(RegistrationsTest, OffByDefaultWhileTheLinesOfEveryTimelineStay)
{
    for (const Call& c : Calls()) ASSERT_EQ(c.call(a), S_OK) << c.line;
    const auto timeline = sim.Timeline();
    for (const std::string& line : timeline) EXPECT_FALSE(IsRegistration(line, "A")) << line;
    auto has = [&](const std::string& text) {
        return std::any_of(timeline.begin(), timeline.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(has("key 's' reserved for 'A'"));
    EXPECT_TRUE(has("client data 'VELK.JetwayData.In.1' created by 'A' (5600 bytes)"));
    EXPECT_TRUE(has("add-on menu item 'VELK 1.7.1' added by 'A'"));

    // Switched off again after being on: nothing more.
    sim.SetTimelineRegistrations(true);
    sim.SetTimelineRegistrations(false);
    sim.ClearTimeline();
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(a, 100, "VELK.ReloadAll"), S_OK);
    EXPECT_TRUE(sim.Timeline().empty());
}

// A refused call still shows what was asked, before the exception that answers it; lines of several
// clients keep their order of arrival and name their client.
TEST_F(RegistrationsTest, RefusedCallsAndSeveralClientsKeepTheOrderOfArrival)
{
    sim.SetTimelineRegistrations(true);
    HANDLE b = OpenClient("B");
    sim.ClearTimeline();
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(a, 36, "VELK.JetwayAction.Start"), S_OK);
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(b, 36, "VELK.JetwayAction.Start"), S_OK);
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(a, 36, "VELK.JetwayAction.Done"), S_OK);
    const DWORD duplicate = LastPacket(a);
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(b, 3, "NoSuchEvent"), S_OK);
    const DWORD unknown = LastPacket(b);
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(a, 1, 99, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_ONCE), S_OK);
    const DWORD undefined = LastPacket(a);

    std::vector<std::string> lines;
    for (const std::string& line : sim.Timeline()) lines.push_back(Unstamped(line));
    const std::vector<std::string> expected = {
        "'A' maps event 36 to 'VELK.JetwayAction.Start'",
        "'B' maps event 36 to 'VELK.JetwayAction.Start'",
        "'A' maps event 36 to 'VELK.JetwayAction.Done'",
        "exception " + std::to_string(SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE) + " to 'A' for packet " +
            std::to_string(duplicate) + ", argument 1",
        "'B' subscribes event 3 to system event 'NoSuchEvent'",
        "exception " + std::to_string(SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED) + " to 'B' for packet " +
            std::to_string(unknown) + ", argument 2",
        "'A' requests data 99 on the user aircraft once (request 1)",
        "exception " + std::to_string(SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID) + " to 'A' for packet " +
            std::to_string(undefined) + ", argument 2",
    };
    EXPECT_EQ(lines, expected);
    SimConnect_Close(b);
}

// A request for an object names it; one for an object that is gone names only its id.
TEST_F(RegistrationsTest, RequestsOnObjectsNameThem)
{
    simulator::AiAircraft ai;
    ai.title = "Boeing 737-800";
    const auto id = sim.AddAiAircraft(ai);
    ASSERT_EQ(SimConnect_AddToDataDefinition(a, 2, "SIM DISABLED", "Number"), S_OK);
    sim.SetTimelineRegistrations(true);
    sim.ClearTimeline();
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(a, 70, 2, id, SIMCONNECT_PERIOD_ONCE), S_OK);
    ASSERT_TRUE(sim.RemoveObject(id));
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(a, 70, 2, id, SIMCONNECT_PERIOD_ONCE), S_OK);
    std::vector<std::string> registrations;
    for (const std::string& line : sim.Timeline())
        if (IsRegistration(line, "A")) registrations.push_back(Unstamped(line));
    const std::string n = std::to_string(id);
    EXPECT_EQ(registrations,
              (std::vector<std::string>{"'A' requests data 2 on object " + n + " 'Boeing 737-800' once (request 70)",
                                        "'A' requests data 2 on object " + n + " once (request 70)"}));
}

}  // namespace
