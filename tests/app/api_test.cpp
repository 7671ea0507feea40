// orvane's API from the outside: a client program beside the simulator (the example client library) asks
// the running program about the stands and jetways of the sample airport XVLK, drives the jetways of pier
// B, registers a jetway it placed itself and selects stands. Also requests that careless or hostile
// clients write, and the capacity of the mass answers.
#include "tests/app/ProgramHarness.h"

#include "app/HandlerSupport.h"
#include "examples/api_client/ApiClient.h"
#include "guidance/JetwayTextMenu.h"
#include "guidance/StandFacilitiesTextMenu.h"
#include "guidance/StandTextMenu.h"
#include "guidance/TriggerObjectTextMenu.h"
#include "guidance/VarDrivenAnimationSubMenu.h"
#include "jetway/AIMonitor.h"
#include "jetway/AIObject.h"
#include "jetway/JetwayHandler.h"
#include "jetway/LinkedSimObjectHandler.h"
#include "link/ApiCodec.h"
#include "objects/Jetway.h"
#include "objects/SimObject.h"
#include "objects/SimObjectModel.h"
#include "objects/StandData.h"
#include "platform/dsound.h"
#include "platform/window.h"
#include "sound/SoundBuffer.h"
#include "sound/SoundEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace api_wire {
// Found by the comparisons and messages of the tests below.
bool operator==(const MassEntry& a, const MassEntry& b)
{
    return a.category == b.category && a.number == b.number && a.jetways == b.jetways;
}
void PrintTo(const MassEntry& e, std::ostream* os) { *os << "{" << e.category << ", " << e.number << ", " << e.jetways << "}"; }
}  // namespace api_wire

using namespace programtest;
using api_client::Answer;
using Kind = api_client::Answer::Kind;
using program::CurrentJetway;

namespace {

// B22's two jetways (XVLK_PierB.xml).
constexpr double kB22FrontLatitude = 48.10030;
constexpr double kB22FrontLongitude = 11.50447;
constexpr double kB22RearLatitude = 48.09975;
constexpr double kB22RearLongitude = 11.50430;

constexpr double kA320AltitudeFeet = kXvlkAltitudeFeet + 10.2;
// The A320 standing at B22's stop.
constexpr double kAtB22Latitude = kDisplayLatitude - (42.0 + kA320NoseWheel) / kMetresPerDegreeLatitude;

// A jetway model the sample's SimObjects folders know.
constexpr const char* kJetwayTitle = "Quorvath_VELK_JetwayH";

constexpr uint32_t kTypeH = 4;
constexpr uint32_t kRequestIdMultiIndex1 = 98;
constexpr uint32_t kRequestIdOtherMultiIndex = 104;
constexpr uint32_t kUnknownId = 987654;

using Bytes = std::vector<uint8_t>;

void PutU32(Bytes& b, size_t offset, uint32_t v) { std::memcpy(b.data() + offset, &v, sizeof v); }
void PutI32(Bytes& b, size_t offset, int32_t v) { std::memcpy(b.data() + offset, &v, sizeof v); }
void PutF64(Bytes& b, size_t offset, double v) { std::memcpy(b.data() + offset, &v, sizeof v); }
void PutText(Bytes& b, api_wire::Field f, const std::string& text)
{
    std::memset(b.data() + f.offset, 0, f.size);
    std::memcpy(b.data() + f.offset, text.data(), std::min(text.size(), f.size));
}

std::string Settings()
{
    return "[General]\nPrimaryHotkeyDisable=false\nSecondaryTextMenuHotkey=Ctrl+Shift+V\n"
           "[JetwaySystem]\nJetwaySoundEnable=false\nAircraftStateTriggeredAutoDockingEnable=false\n"
           "[AISystem]\nDetectionEnable=false\n";
}

// The stands of XVLK with jetways, as the placement files give them (the apron, Terminal 2's B11 and
// pier B), in key and number order.
std::vector<api_wire::MassEntry> XvlkJetwayStands()
{
    const int32_t gateA = ParseStandCategory("GATE_A");
    const int32_t gateB = ParseStandCategory("GATE_B");
    return {{gateA, 1, 1}, {gateA, 2, 2}, {gateA, 3, 3}, {gateB, 11, 1}, {gateB, 21, 1}, {gateB, 22, 2}, {gateB, 23, 3}};
}

std::string Describe(const std::vector<Answer>& answers)
{
    std::string text = std::to_string(answers.size()) + " answers";
    for (const Answer& a : answers) text += "\n" + api_client::Describe(a) + " [data " + std::to_string(a.eventData) + "]";
    return text;
}

// orvane over the sample machine with the A320 at a place of pier B, and the client connected beside it.
class ApiDay : public ::testing::Test {
protected:
    ApiDay()
    {
        program::StandMenu() = StandTextMenu();
        program::TriggerMenu() = TriggerObjectTextMenu();
        program::StandOpsMenu() = StandFacilitiesTextMenu();
        program::JetwayMenu() = JetwayTextMenu();
        program::AnimationMenu() = VarDrivenAnimationSubMenu();
    }
    ~ApiDay() override
    {
        client_.reset();
        if (clientHandle_) SimConnect_Close(clientHandle_);
    }

    void StartAt(double latitude, double longitude)
    {
        program_.AddFile(kSettingsFile, Settings());
        program_.Sim().SetGroundElevation(kXvlkAltitudeFeet);
        program_.Start();
        program_.ConnectJetwayParts();
        program_.AnswerJetwayJobs();
        simulator::Simulator& sim = program_.Sim();
        sim.SetNumber(0, "SIM ON GROUND", "Bool", 1);
        sim.SetNumber(0, "NUMBER OF ENGINES", "Number", 2);
        sim.SetNumber(0, "BRAKE PARKING INDICATOR", "Number", 1);
        sim.SetNumber(0, "LIGHT BEACON", "Number", 0);
        program_.PlaceUser(latitude, longitude, kA320AltitudeFeet, 0.0);
        program_.Run(3000);
        program_.LoadUserAircraft(kA320);
        program_.Run(3000);
        ConnectClient();
    }
    void StartAtB22() { StartAt(kAtB22Latitude, kB22Longitude); }

    // The client's connection, opened once orvane has made its areas.
    void ConnectClient()
    {
        ASSERT_EQ(SimConnect_Open(&clientHandle_, "Test API client", nullptr, 0, nullptr, 0), S_OK);
        client_ = std::make_unique<api_client::ApiClient>(clientHandle_);
        ASSERT_TRUE(client_->Register());
        Serve();
        ASSERT_TRUE(client_->Registered());
        EXPECT_TRUE(client_->MissingAreas().empty());
        program_.Log().Clear();
    }

    // Lets the program run, then hands the client everything waiting on its connection; its answers.
    std::vector<Answer> Serve(uint64_t ms = 200)
    {
        program_.Run(ms);
        for (const coretest::Message& message : coretest::Drain(clientHandle_)) {
            const auto* recv = reinterpret_cast<const SIMCONNECT_RECV*>(message.data());
            if (recv->dwID == SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID)
                createdId_ = coretest::As<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(message).dwObjectID;
            client_->HandleMessage(recv, static_cast<DWORD>(message.size()));
        }
        std::vector<Answer> answers;
        Answer answer;
        while (client_->TakeAnswer(answer)) answers.push_back(answer);
        std::string error;
        while (client_->TakeError(error)) ADD_FAILURE() << error;
        return answers;
    }

    // The single answer of a request, of the kind expected.
    std::optional<Answer> One(const std::vector<Answer>& answers, Kind kind)
    {
        EXPECT_EQ(answers.size(), 1u) << Describe(answers);
        if (answers.size() != 1 || answers[0].kind != kind) {
            ADD_FAILURE() << "expected one " << api_client::KindName(kind) << ": " << Describe(answers);
            return std::nullopt;
        }
        return answers[0];
    }

    std::vector<Answer> MassQuery(const std::string& icao)
    {
        EXPECT_TRUE(client_->MassQuery({icao}));
        return Serve();
    }
    std::vector<Answer> Query(const std::string& icao, const std::string& gate, uint32_t number)
    {
        api_wire::JetwayQueryRequest request;
        request.stand = {icao, gate, number};
        request.latitude = kAtB22Latitude;
        request.longitude = kB22Longitude;
        request.altitudeFeet = kA320AltitudeFeet;
        EXPECT_TRUE(client_->JetwayQuery(request));
        return Serve();
    }
    std::vector<Answer> Trigger(uint32_t id, const std::string& door, uint32_t mode, bool own = false)
    {
        api_wire::JetwayTriggerRequest request;
        request.mode = mode;
        request.jetwayId = id;
        request.door = door;
        request.own = own;
        EXPECT_TRUE(client_->JetwayTrigger(request));
        return Serve(1000);
    }
    std::vector<Answer> Inform(uint32_t mode, uint32_t id)
    {
        api_wire::JetwayInformRequest request;
        request.mode = mode;
        request.jetwayId = id;
        return Inform(request);
    }
    std::vector<Answer> Inform(const api_wire::JetwayInformRequest& request)
    {
        EXPECT_TRUE(client_->JetwayInform(request));
        return Serve();
    }
    std::vector<Answer> StandInform(uint32_t mode, const api_wire::StandRef& stand)
    {
        EXPECT_TRUE(client_->StandInform({mode, stand}));
        return Serve();
    }
    std::vector<Answer> StandInformLite(uint32_t mode, const api_wire::StandRef& stand)
    {
        EXPECT_TRUE(client_->StandInformLite({mode, stand, 0}));
        return Serve();
    }
    std::vector<Answer> Raw(const std::string& event, const Bytes* record, bool lite)
    {
        if (record) {
            EXPECT_TRUE(lite ? client_->WriteLiteArea(record->data(), record->size())
                             : client_->WriteRequestArea(record->data(), record->size()));
        }
        EXPECT_TRUE(client_->SendRequestEvent(event));
        return Serve(500);
    }

    // A valid mass query of XVLK gets its full answer.
    void ExpectXvlkMassAnswer()
    {
        const auto answer = One(MassQuery("XVLK"), Kind::MassResponse);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->stands.icao, "XVLK");
        EXPECT_EQ(answer->stands.entries, XvlkJetwayStands());
        EXPECT_EQ(answer->guidanceStands.icao, "XVLK");
        EXPECT_FALSE(answer->guidanceStands.entries.empty());
    }

    // The object id of the jetway the program created at a place: its static model while its stand is not
    // selected, else the one that moves.
    DWORD PlacedJetwayAt(double latitude, double longitude, bool moving = true)
    {
        for (const simulator::ObjectInfo& info : program_.Sim().Objects()) {
            if (info.createdBy != "Orvane VELK" || info.title.find("Jetway") == std::string::npos) continue;
            if ((info.title.find("_Static") == std::string::npos) != moving) continue;
            const auto lat = program_.Sim().Number(info.id, "PLANE LATITUDE", "degrees");
            const auto lon = program_.Sim().Number(info.id, "PLANE LONGITUDE", "degrees");
            if (lat && lon && std::fabs(*lat - latitude) < 1e-6 && std::fabs(*lon - longitude) < 1e-6) return info.id;
        }
        return 0;
    }

    // The client places a jetway model of its own; the simulator's id of it.
    DWORD CreateClientJetway(const std::string& title, double latitude, double longitude, double heading)
    {
        createdId_ = 0;
        SIMCONNECT_DATA_INITPOSITION at{latitude, longitude, kXvlkAltitudeFeet, 0.0, 0.0, heading, 1, 0};
        EXPECT_EQ(SimConnect_AICreateSimulatedObject(clientHandle_, title.c_str(), at, 7001), S_OK);
        Serve();
        EXPECT_NE(createdId_, 0u);
        return createdId_;
    }

    // A registration of the client's jetway as stand "gate a" 12 of KJFK.
    api_wire::JetwayInformRequest Registration(uint32_t id, int32_t multiIndex = 1) const
    {
        api_wire::JetwayInformRequest request;
        request.mode = api_wire::kInformRegister;
        request.jetwayId = id;
        request.latitude = kB22FrontLatitude;
        request.longitude = kB22FrontLongitude;
        request.altitudeFeet = kXvlkAltitudeFeet;
        request.heading = 340.0;
        request.stand = {"KJFK", "gate a", 12};
        request.multiIndex = multiIndex;
        request.simTitle = kJetwayTitle;
        return request;
    }

    // The client selects B22: its jetways are switched to the models that move.
    void SelectB22()
    {
        const auto answer = One(StandInform(api_wire::kStandSelect, {"XVLK", "GATE_B", 22}), Kind::StandStatus);
        ASSERT_TRUE(answer);
        ASSERT_EQ(answer->status.status, api_wire::kStandSelected);
        Serve(1000);
        program_.Log().Clear();
    }

    JetwayHandler& Jetways() { return *program::Parts().jetwayHandler; }

    // Stand jetways the test makes itself (declared before the program: they outlive its stand list).
    std::deque<SimObject> ownedJetways_;
    ProgramHarness program_;
    HANDLE clientHandle_ = nullptr;
    std::unique_ptr<api_client::ApiClient> client_;
    DWORD createdId_ = 0;
};

// ---- JetwayMassQuery ----

TEST_F(ApiDay, TheMassQueryListsTheAirportsJetwayAndGuidanceStands)
{
    StartAtB22();
    ASSERT_EQ(ParseStandCategory("GATE_B"), ParseStandCategory("GATE_A") + 1);
    ASSERT_EQ(ParseStandCategory("GATE_B"), 5);

    const auto answer = One(MassQuery("XVLK"), Kind::MassResponse);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->eventData, 0u);
    EXPECT_EQ(answer->stands.icao, "XVLK");
    EXPECT_EQ(answer->stands.entries, XvlkJetwayStands()) << api_client::Describe(*answer);
    // Guidance stands carry no jetway count; pier B's three displays are among them.
    EXPECT_EQ(answer->guidanceStands.icao, "XVLK");
    for (int32_t number : {21, 22, 23}) {
        const bool listed = std::any_of(answer->guidanceStands.entries.begin(), answer->guidanceStands.entries.end(),
                                        [&](const api_wire::MassEntry& e) {
                                            return e.category == 5 && e.number == number && e.jetways == 0;
                                        });
        EXPECT_TRUE(listed) << "B" << number << ": " << api_client::Describe(*answer);
    }
    EXPECT_FALSE(program_.Log().Has("[API::MASSQUERY]"));
}

TEST_F(ApiDay, AnIcaoOfFiveLettersIsCutToFourWithAWarning)
{
    StartAtB22();
    const auto answer = One(MassQuery("XVLKX"), Kind::MassResponse);
    ASSERT_TRUE(answer);
    EXPECT_TRUE(program_.Log().Has(
        "WARN VELK.FSLOOP : [API::MASSQUERY] ICAO Code 'XVLKX' has 5 letters! Only considering first 4..."))
        << ::testing::PrintToString(program_.Log().Lines());
    EXPECT_EQ(answer->stands.icao, "XVLK");
    EXPECT_EQ(answer->stands.entries, XvlkJetwayStands());
    EXPECT_EQ(answer->guidanceStands.icao, "XVLK");
    EXPECT_FALSE(answer->guidanceStands.entries.empty());
}

TEST_F(ApiDay, AnUnknownAirportGetsEmptyLists)
{
    StartAtB22();
    for (const char* icao : {"KJFK", "XVL", ""}) {
        SCOPED_TRACE(icao);
        const auto answer = One(MassQuery(icao), Kind::MassResponse);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->stands.icao, icao);
        EXPECT_TRUE(answer->stands.entries.empty()) << api_client::Describe(*answer);
        EXPECT_TRUE(answer->guidanceStands.entries.empty()) << api_client::Describe(*answer);
    }
}

// ---- JetwayQuery ----

TEST_F(ApiDay, TheStandQueryDescribesTheStandsJetwaysBeforeAndAfterDocking)
{
    StartAtB22();
    // No stand selected: the static models stand there.
    DWORD front = PlacedJetwayAt(kB22FrontLatitude, kB22FrontLongitude, false);
    DWORD rear = PlacedJetwayAt(kB22RearLatitude, kB22RearLongitude, false);
    ASSERT_NE(front, 0u);
    ASSERT_NE(rear, 0u);

    auto answer = One(Query("XVLK", "GATE_B", 22), Kind::JetwayResponse);
    ASSERT_TRUE(answer);
    const api_wire::JetwayResponse& r = answer->jetways;
    EXPECT_EQ(answer->eventData, 0u);
    EXPECT_EQ(r.count, 2u);
    EXPECT_EQ(r.ids, (std::array<uint32_t, 4>{front, rear, 0, 0}));
    EXPECT_EQ(r.names[0], "B22 Jetway Front");
    EXPECT_EQ(r.names[1], "B22 Jetway Rear");
    EXPECT_EQ(r.names[2], "");
    EXPECT_EQ(r.types, (std::array<uint32_t, 4>{kTypeH, kTypeH, 0, 0}));
    EXPECT_EQ(r.states, (std::array<uint32_t, 4>{api_wire::kSlotUndocked, api_wire::kSlotUndocked,
                                                 api_wire::kSlotEmpty, api_wire::kSlotEmpty}));
    EXPECT_EQ(r.doors, (std::array<uint32_t, 4>{5, 5, 5, 5}));
    EXPECT_EQ(r.version, api_wire::kVersion);
    // The request's stand and position come back as they were written.
    api_wire::Area written{};
    api_wire::JetwayQueryRequest request;
    request.stand = {"XVLK", "GATE_B", 22};
    request.latitude = kAtB22Latitude;
    request.longitude = kB22Longitude;
    request.altitudeFeet = kA320AltitudeFeet;
    api_wire::EncodeJetwayQuery(request, written);
    EXPECT_TRUE(std::equal(r.echo.begin(), r.echo.end(), written.begin() + 8));
    EXPECT_EQ(api_client::QueriedStand(r).number, 22u);

    // Each jetway docked through the API to its door, once the stand is selected.
    SelectB22();
    front = PlacedJetwayAt(kB22FrontLatitude, kB22FrontLongitude);
    rear = PlacedJetwayAt(kB22RearLatitude, kB22RearLongitude);
    ASSERT_EQ(Trigger(front, "1L", 0).size(), 2u);
    ASSERT_EQ(Trigger(rear, "2L", 0).size(), 2u);
    answer = One(Query("XVLK", "GATE_B", 22), Kind::JetwayResponse);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->jetways.count, 2u);
    EXPECT_EQ(answer->jetways.ids, (std::array<uint32_t, 4>{front, rear, 0, 0}));
    EXPECT_EQ(answer->jetways.states, (std::array<uint32_t, 4>{api_wire::kSlotDocked, api_wire::kSlotDocked,
                                                               api_wire::kSlotEmpty, api_wire::kSlotEmpty}));
    EXPECT_EQ(answer->jetways.doors, (std::array<uint32_t, 4>{0, 1, 5, 5}));
}

TEST_F(ApiDay, AQueryOfAnUnknownStandAnswersNoJetways)
{
    StartAtB22();
    for (const auto& [gate, number] : std::vector<std::pair<std::string, uint32_t>>{{"GATE_B", 24}, {"GATE_Z", 22}}) {
        SCOPED_TRACE(gate + " " + std::to_string(number));
        api_wire::JetwayQueryRequest request;
        request.stand = {"XVLK", gate, number};
        // Far from every jetway: the search near the position finds none either.
        request.latitude = kXvlkLatitude + 1.0;
        request.longitude = kXvlkLongitude;
        ASSERT_TRUE(client_->JetwayQuery(request));
        const auto answer = One(Serve(), Kind::JetwayResponse);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->jetways.count, 0u);
        EXPECT_EQ(answer->jetways.ids, (std::array<uint32_t, 4>{}));
        EXPECT_EQ(answer->jetways.states, (std::array<uint32_t, 4>{api_wire::kSlotEmpty, api_wire::kSlotEmpty,
                                                                   api_wire::kSlotEmpty, api_wire::kSlotEmpty}));
        EXPECT_EQ(answer->jetways.doors, (std::array<uint32_t, 4>{5, 5, 5, 5}));
        EXPECT_EQ(api_client::QueriedStand(answer->jetways).name, gate);
    }
}

// ---- JetwayTrigger, user form ----

TEST_F(ApiDay, TriggersTestDockAndUndockTheStandsJetway)
{
    StartAtB22();
    SelectB22();
    const DWORD front = PlacedJetwayAt(kB22FrontLatitude, kB22FrontLongitude);
    ASSERT_NE(front, 0u);

    // Test only: a door in reach is solvable, nothing moves.
    auto answers = Trigger(front, "1L", api_wire::kTriggerTestOnly);
    auto answer = One(answers, Kind::TriggerStatus);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status.jetwayId, front);
    EXPECT_EQ(answer->status.status, api_wire::kTriggerSolvable);
    EXPECT_EQ(answer->status.version, api_wire::kVersion);
    EXPECT_EQ(answer->eventData, 0u);
    EXPECT_TRUE(program_.AnsweredJobs().empty());

    // Operate: the job starts (2) and the module's report docks it (3).
    answers = Trigger(front, "1L", 0);
    ASSERT_EQ(answers.size(), 2u) << Describe(answers);
    EXPECT_EQ(answers[0].kind, Kind::TriggerStatus);
    EXPECT_EQ(answers[0].status.jetwayId, front);
    EXPECT_EQ(answers[0].status.status, api_wire::kTriggerAiDocking);
    EXPECT_EQ(answers[1].kind, Kind::TriggerStatus);
    EXPECT_EQ(answers[1].status.jetwayId, front);
    EXPECT_EQ(answers[1].status.status, api_wire::kTriggerDocked);
    EXPECT_EQ(answers[1].eventData, 0u);
    ASSERT_EQ(program_.AnsweredJobs().size(), 1u);
    EXPECT_EQ(program_.AnsweredJobs()[0], std::make_pair(static_cast<uint32_t>(front), true));
    EXPECT_FALSE(Jetways().IsActive(front));

    // Operate on the docked jetway: it undocks (4, then 5).
    answers = Trigger(front, "1L", 0);
    ASSERT_EQ(answers.size(), 2u) << Describe(answers);
    EXPECT_EQ(answers[0].status.status, api_wire::kTriggerAiUndocking);
    EXPECT_EQ(answers[1].status.status, api_wire::kTriggerUndocked);
    EXPECT_EQ(answers[1].status.jetwayId, front);
    ASSERT_EQ(program_.AnsweredJobs().size(), 2u);
    EXPECT_FALSE(program_.AnsweredJobs()[1].second);
}

// Two triggers for one jetway in a row: the second finds the first one's job running and starts nothing,
// for a stand jetway and for one the client placed.
TEST_F(ApiDay, ASecondTriggerWhileTheJetwaysJobRunsStartsNothing)
{
    StartAtB22();
    SelectB22();
    const DWORD front = PlacedJetwayAt(kB22FrontLatitude, kB22FrontLongitude);
    ASSERT_NE(front, 0u);
    const DWORD placed = CreateClientJetway(kJetwayTitle, kB22FrontLatitude, kB22FrontLongitude, 340.0);
    ASSERT_EQ(One(Inform(Registration(placed)), Kind::InformStatus)->status.status, api_wire::kInformRegistered);

    for (const auto& [id, own] : {std::pair<DWORD, bool>{front, false}, std::pair<DWORD, bool>{placed, true}}) {
        SCOPED_TRACE(own ? "placed by the client" : "stand jetway");
        const size_t before = program_.AnsweredJobs().size();
        api_wire::JetwayTriggerRequest request;
        request.jetwayId = id;
        request.door = "1L";
        request.own = own;
        ASSERT_TRUE(client_->JetwayTrigger(request));
        ASSERT_TRUE(client_->JetwayTrigger(request));
        const auto answers = Serve(1000);
        ASSERT_EQ(program_.AnsweredJobs().size(), before + 1) << Describe(answers);
        EXPECT_EQ(program_.AnsweredJobs().back(), std::make_pair(static_cast<uint32_t>(id), true));
        // Undocked again for the next row.
        Trigger(id, "1L", 0, own);
        ASSERT_EQ(program_.AnsweredJobs().size(), before + 2);
    }
}

TEST_F(ApiDay, TriggersOfUnknownJetwaysAreLoggedAndNotAnswered)
{
    StartAtB22();
    SelectB22();
    EXPECT_TRUE(Trigger(kUnknownId, "1L", 0).empty());
    EXPECT_TRUE(program_.Log().Has("ERROR VELK.FSLOOP : [API::TRIGGER] Could not find the requested Jetway with ID [987654]!"))
        << ::testing::PrintToString(program_.Log().Lines());

    // A stand jetway is no jetway the client registered.
    const DWORD front = PlacedJetwayAt(kB22FrontLatitude, kB22FrontLongitude);
    for (uint32_t id : {kUnknownId, static_cast<uint32_t>(front)}) {
        program_.Log().Clear();
        program::Flags().simulatorErrors.clear();  // each on its own: the same line again would be a repeat
        EXPECT_TRUE(Trigger(id, "1L", 0, true).empty());
        EXPECT_TRUE(program_.Log().Has("ERROR VELK.FSLOOP : [API::TRIGGER] Internal Jetway Instance not found! -> 'NULL'"))
            << id;
    }
    EXPECT_TRUE(program_.AnsweredJobs().empty());
}

TEST_F(ApiDay, ADoorOverrideThatIsNoNumberIsRefused)
{
    StartAtB22();
    SelectB22();
    const DWORD front = PlacedJetwayAt(kB22FrontLatitude, kB22FrontLongitude);
    for (uint32_t mode : {api_wire::kTriggerTestOnly, 0u}) {
        SCOPED_TRACE(mode);
        api_wire::JetwayTriggerRequest request;
        request.mode = mode;
        request.jetwayId = front;
        request.door = "1L";
        request.overrideDoor = true;
        request.doorData = {kAtB22Latitude, kB22Longitude, kA320AltitudeFeet, 1.0, 2.0,
                            std::numeric_limits<double>::quiet_NaN(), 0.0, 0.0};
        ASSERT_TRUE(client_->JetwayTrigger(request));
        const auto answer = One(Serve(1000), Kind::TriggerStatus);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status.jetwayId, front);
        EXPECT_EQ(answer->status.status, api_wire::kTriggerNoSolution);
    }
    EXPECT_TRUE(program_.AnsweredJobs().empty());
}

// ---- JetwayTrigger, AI form ----

TEST_F(ApiDay, AnAiTriggerForAnUnknownAircraftAnswersGone)
{
    StartAtB22();
    const DWORD front = PlacedJetwayAt(kB22FrontLatitude, kB22FrontLongitude);
    api_wire::JetwayTriggerRequest request;
    request.aiForm = true;
    request.jetwayId = front;
    request.aiAircraftId = 4711;
    request.door = "1L";
    ASSERT_TRUE(client_->JetwayTrigger(request));
    const auto answer = One(Serve(1000), Kind::TriggerStatus);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->eventData, front * 10 + api_wire::kTriggerGone);
    EXPECT_TRUE(program_.Log().Has("WARN VELK.FSLOOP : [API::AI_TRIGGER] Not able to find AI object [4711]!"));
    EXPECT_TRUE(program_.AnsweredJobs().empty());
}

TEST_F(ApiDay, AnAiTriggerForAMonitoredAircraftAndAnUnregisteredJetwayHasNoSolution)
{
    StartAtB22();
    AIMonitor* monitor = program::Parts().aiMonitor.get();
    if (!monitor) GTEST_SKIP() << "no AI monitor in this start-up";
    monitor->AddPendingAIObject(AIObject(4712, "AI A320", "sleep", kAtB22Latitude, kB22Longitude + 0.002,
                                         kA320AltitudeFeet, 0.0, "", nullptr, nullptr));
    monitor->PromoteAIObject(4712);
    ASSERT_NE(monitor->FindAIObject(4712), nullptr);

    api_wire::JetwayTriggerRequest request;
    request.aiForm = true;
    request.jetwayId = kUnknownId;
    request.aiAircraftId = 4712;
    request.door = "1L";
    ASSERT_TRUE(client_->JetwayTrigger(request));
    const auto answer = One(Serve(1000), Kind::TriggerStatus);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->eventData, kUnknownId * 10 + api_wire::kTriggerNoSolution);
    EXPECT_TRUE(program_.Log().Has("WARN VELK.FSLOOP : [API::AI_TRIGGER] Not able to find JW object [987654]!"));
}

// ---- JetwayInform ----

TEST_F(ApiDay, AJetwayTheClientPlacedIsRegisteredDockedAndRemoved)
{
    StartAtB22();
    const DWORD id = CreateClientJetway(kJetwayTitle, kB22FrontLatitude, kB22FrontLongitude, 340.0);
    ASSERT_NE(id, 0u);

    auto answer = One(Inform(Registration(id)), Kind::InformStatus);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status.jetwayId, id);
    EXPECT_EQ(answer->status.status, api_wire::kInformRegistered);
    EXPECT_EQ(answer->status.version, api_wire::kVersion);
    EXPECT_EQ(answer->eventData, id * 10 + api_wire::kInformRegistered);
    SimObject* registered = Jetways().FindJetway(id);
    ASSERT_NE(registered, nullptr);
    EXPECT_EQ(registered->GetName(), ":EXT::KJFK::GATE_A::12::MX1");
    EXPECT_EQ(registered->GetRequestId(), kRequestIdMultiIndex1);
    EXPECT_EQ(registered->GetStandData().GetStandKey(), "KJFK:GATE_A");
    EXPECT_EQ(registered->GetStandData().GetParkingNumber(), 12);
    ASSERT_NE(CurrentJetway(*registered), nullptr);
    EXPECT_TRUE(CurrentJetway(*registered)->HasConfig());
    // The registration named no part objects (ids 0): the jetway's parts stay the program's to make.
    const Jetway& jetway = *CurrentJetway(*registered);
    for (int slot : {1, 2}) {
        SCOPED_TRACE(slot);
        ASSERT_TRUE(jetway.HasPart(slot));
        EXPECT_FALSE(LinkedSimObjectHandler::IsExternallySupplied(jetway.GetRecord().Parts[slot - 1]));
    }

    // The client's own jetway docks to the aircraft's front door and undocks again.
    auto answers = Trigger(id, "1L", 0, true);
    ASSERT_EQ(answers.size(), 2u) << Describe(answers) << ::testing::PrintToString(program_.Log().Lines());
    EXPECT_EQ(answers[0].status.status, api_wire::kTriggerAiDocking);
    EXPECT_EQ(answers[1].status.jetwayId, id);
    EXPECT_EQ(answers[1].status.status, api_wire::kTriggerDocked);
    EXPECT_TRUE(CurrentJetway(*Jetways().FindJetway(id))->IsDocked());
    answers = Trigger(id, "1L", 0, true);
    ASSERT_EQ(answers.size(), 2u) << Describe(answers);
    EXPECT_EQ(answers[1].status.status, api_wire::kTriggerUndocked);

    answer = One(Inform(api_wire::kInformRemove, id), Kind::InformStatus);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status.status, api_wire::kInformRemoved);
    EXPECT_EQ(answer->eventData, id * 10 + api_wire::kInformRemoved);
    EXPECT_EQ(Jetways().FindJetway(id), nullptr);
    // Gone for the triggers too.
    program_.Log().Clear();
    EXPECT_TRUE(Trigger(id, "1L", 0, true).empty());
    EXPECT_TRUE(program_.Log().Has("[API::TRIGGER] Internal Jetway Instance not found! -> 'NULL'"));
}

TEST_F(ApiDay, ASecondRegistrationOfTheSameIdIsRefusedAndChangesNothing)
{
    StartAtB22();
    const DWORD id = CreateClientJetway(kJetwayTitle, kB22FrontLatitude, kB22FrontLongitude, 340.0);
    ASSERT_EQ(One(Inform(Registration(id)), Kind::InformStatus)->status.status, api_wire::kInformRegistered);

    api_wire::JetwayInformRequest again = Registration(id, 3);
    again.stand = {"EDDM", "gate b", 7};
    const auto answer = One(Inform(again), Kind::InformStatus);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status.status, api_wire::kInformRefused);
    EXPECT_EQ(answer->eventData, id * 10 + api_wire::kInformRefused);
    EXPECT_TRUE(program_.Log().Has(
        "ERROR VELK.FSLOOP : [API::INFORM] Jetway [" + std::to_string(id) + "] is registered already!"));
    SimObject* registered = Jetways().FindJetway(id);
    ASSERT_NE(registered, nullptr);
    EXPECT_EQ(registered->GetName(), ":EXT::KJFK::GATE_A::12::MX1");
    EXPECT_EQ(registered->GetRequestId(), kRequestIdMultiIndex1);
    EXPECT_EQ(Jetways().GetExternalJetwayCount(), 1u);
    EXPECT_EQ(Jetways().GetExternalStandIndex().count("EDDM:GATE_B"), 0u);
}

struct RefusedRegistration {
    const char* name;
    std::function<void(api_wire::JetwayInformRequest&)> change;
    uint32_t status;
    const char* logged;  // "%d" stands for the id
};

void PrintTo(const RefusedRegistration& c, std::ostream* os) { *os << c.name; }

class ApiRefusedRegistration : public ApiDay, public ::testing::WithParamInterface<RefusedRegistration> {};

TEST_P(ApiRefusedRegistration, IsAnsweredLoggedAndRegistersNothing)
{
    const RefusedRegistration& c = GetParam();
    StartAtB22();
    const DWORD id = CreateClientJetway(kJetwayTitle, kB22FrontLatitude, kB22FrontLongitude, 340.0);
    api_wire::JetwayInformRequest request = Registration(id);
    c.change(request);
    const auto answer = One(Inform(request), Kind::InformStatus);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status.jetwayId, request.jetwayId);
    EXPECT_EQ(answer->status.status, c.status);
    EXPECT_EQ(answer->eventData, request.jetwayId * 10 + c.status);
    std::string logged = c.logged;
    if (const size_t at = logged.find("%d"); at != std::string::npos) logged.replace(at, 2, std::to_string(id));
    EXPECT_TRUE(program_.Log().Has(logged)) << ::testing::PrintToString(program_.Log().Lines());
    EXPECT_EQ(Jetways().GetExternalJetwayCount(), 0u);
    EXPECT_EQ(Jetways().FindJetway(id), nullptr);
    EXPECT_TRUE(Jetways().GetExternalStandIndex().empty());
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr const char* kNoPosition = "ERROR VELK.FSLOOP : [API::INFORM] Jetway [%d] has no valid position!";

INSTANTIATE_TEST_SUITE_P(
    Sample, ApiRefusedRegistration,
    ::testing::Values(
        RefusedRegistration{"IdZero", [](auto& r) { r.jetwayId = 0; }, api_wire::kInformRefused,
                            "ERROR VELK.FSLOOP : [API::INFORM] A jetway without an object id cannot be registered!"},
        RefusedRegistration{"UnknownTitle", [](auto& r) { r.simTitle = "Some_Other_Jetway"; }, api_wire::kInformNoConfig,
                            "ERROR VELK.FSLOOP : [API::INFORM] No model folder for jetway title 'Some_Other_Jetway'!"},
        RefusedRegistration{"EmptyTitle", [](auto& r) { r.simTitle.clear(); }, api_wire::kInformNoConfig,
                            "ERROR VELK.FSLOOP : [API::INFORM] No model folder for jetway title ''!"},
        RefusedRegistration{"LatitudeNaN", [](auto& r) { r.latitude = kNaN; }, api_wire::kInformRefused, kNoPosition},
        RefusedRegistration{"LongitudeInfinite", [](auto& r) { r.longitude = -kInf; }, api_wire::kInformRefused,
                            kNoPosition},
        RefusedRegistration{"AltitudeInfinite", [](auto& r) { r.altitudeFeet = kInf; }, api_wire::kInformRefused,
                            kNoPosition},
        RefusedRegistration{"HeadingNaN", [](auto& r) { r.heading = kNaN; }, api_wire::kInformRefused, kNoPosition},
        RefusedRegistration{"LatitudeBeyondThePole", [](auto& r) { r.latitude = 90.5; }, api_wire::kInformRefused,
                            kNoPosition},
        RefusedRegistration{"LongitudeBeyondTheDateLine", [](auto& r) { r.longitude = -180.5; },
                            api_wire::kInformRefused, kNoPosition}),
    [](const auto& info) { return std::string(info.param.name); });

struct OddMultiIndex {
    const char* name;
    int32_t multiIndex;
    uint32_t requestId;
    bool logged;
};

void PrintTo(const OddMultiIndex& c, std::ostream* os) { *os << c.name; }

class ApiOddMultiIndex : public ApiDay, public ::testing::WithParamInterface<OddMultiIndex> {};

TEST_P(ApiOddMultiIndex, IsRegisteredWithTheRequestIdOfItsIndex)
{
    const OddMultiIndex& c = GetParam();
    StartAtB22();
    const DWORD id = CreateClientJetway(kJetwayTitle, kB22FrontLatitude, kB22FrontLongitude, 340.0);
    const auto answer = One(Inform(Registration(id, c.multiIndex)), Kind::InformStatus);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status.status, api_wire::kInformRegistered);
    const std::string line = "ERROR VELK.FSLOOP : [API::INFORM] VELK only supports up to 4 jetways per stand! Supplied MultiIndex=[" +
                             std::to_string(c.multiIndex) + "]";
    EXPECT_EQ(program_.Log().Has(line), c.logged) << ::testing::PrintToString(program_.Log().Lines());
    SimObject* registered = Jetways().FindJetway(id);
    ASSERT_NE(registered, nullptr);
    EXPECT_EQ(registered->GetRequestId(), c.requestId);
    EXPECT_EQ(registered->GetName(), ":EXT::KJFK::GATE_A::12::MX" + std::to_string(c.multiIndex));
}

INSTANTIATE_TEST_SUITE_P(Sample, ApiOddMultiIndex,
                         ::testing::Values(OddMultiIndex{"Zero", 0, 97, false}, OddMultiIndex{"Four", 4, 101, false},
                                           OddMultiIndex{"Five", 5, kRequestIdOtherMultiIndex, true},
                                           OddMultiIndex{"Seven", 7, kRequestIdOtherMultiIndex, true},
                                           OddMultiIndex{"Negative", -1, kRequestIdOtherMultiIndex, true},
                                           OddMultiIndex{"Huge", std::numeric_limits<int32_t>::max(),
                                                         kRequestIdOtherMultiIndex, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ApiDay, TheOtherInformModesAnswerWithTheirStatus)
{
    StartAtB22();
    const DWORD id = CreateClientJetway(kJetwayTitle, kB22FrontLatitude, kB22FrontLongitude, 340.0);

    // A client of another protocol version is still answered.
    api_wire::JetwayInformRequest oldClient = Registration(id);
    oldClient.version = 1;
    auto answer = One(Inform(oldClient), Kind::InformStatus);
    ASSERT_TRUE(answer);
    EXPECT_TRUE(program_.Log().Has("FATAL VELK.FSLOOP : [API::INFORM] API Version mismatch! External App uses V1, VELK uses V2"));
    EXPECT_EQ(answer->status.status, api_wire::kInformRegistered);
    EXPECT_EQ(answer->status.version, api_wire::kVersion);
    ASSERT_NE(Jetways().FindJetway(id), nullptr);

    // A second jetway of the client, at rest like the first.
    const DWORD rear = CreateClientJetway(kJetwayTitle, kB22RearLatitude, kB22RearLongitude, 340.0);
    api_wire::JetwayInformRequest rearRegistration = Registration(rear, 2);
    rearRegistration.latitude = kB22RearLatitude;
    rearRegistration.longitude = kB22RearLongitude;
    ASSERT_EQ(One(Inform(rearRegistration), Kind::InformStatus)->status.status, api_wire::kInformRegistered);

    struct ModeCase {
        uint32_t mode;
        uint32_t status;
        bool registered;  // the client's jetways are still registered afterwards
    };
    for (const ModeCase& c : {ModeCase{0, api_wire::kInformProbed, true}, ModeCase{1, api_wire::kInformWasReset, false},
                              ModeCase{9, api_wire::kInformRefused, true}}) {
        SCOPED_TRACE(c.mode);
        if (!Jetways().FindJetway(id)) {
            ASSERT_EQ(One(Inform(Registration(id)), Kind::InformStatus)->status.status, api_wire::kInformRegistered);
            ASSERT_EQ(One(Inform(rearRegistration), Kind::InformStatus)->status.status, api_wire::kInformRegistered);
        }
        program_.Log().Clear();
        answer = One(Inform(c.mode, id), Kind::InformStatus);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status.status, c.status);
        EXPECT_EQ(answer->status.jetwayId, id);
        EXPECT_EQ(answer->eventData, id * 10 + c.status);
        EXPECT_EQ(program_.Log().Has("ERROR VELK.FSLOOP : [API::INFORM] Invalid API Inform Mode received [9]!"), c.mode == 9);
        EXPECT_FALSE(program_.Log().Has("API Version mismatch"));
        // The probe finds both objects in place and an unknown mode changes nothing; the reset ends every
        // registration, at rest as well as moving.
        EXPECT_EQ(Jetways().FindJetway(id) != nullptr, c.registered);
        EXPECT_EQ(Jetways().FindJetway(rear) != nullptr, c.registered);
        EXPECT_EQ(Jetways().GetExternalJetwayCount(), c.registered ? 2u : 0u);
        EXPECT_TRUE(c.registered || Jetways().GetExternalStandIndex().empty());
    }

    // Removing an id that is not registered is no error.
    answer = One(Inform(api_wire::kInformRemove, kUnknownId), Kind::InformStatus);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status.status, api_wire::kInformRemoved);
    EXPECT_NE(Jetways().FindJetway(id), nullptr);
}

// The reachability check asks the simulator for each registered jetway's object; one the client has
// deleted is dropped with its parts, whether or not it was moving.
struct ReachabilityCheck {
    const char* name;
    std::function<void(ApiDay&, DWORD)> run;
};

void PrintTo(const ReachabilityCheck& c, std::ostream* os) { *os << c.name; }

class ApiReachabilityCheck : public ApiDay, public ::testing::WithParamInterface<ReachabilityCheck> {
public:
    void RunInform(DWORD id) { ASSERT_TRUE(One(Inform(api_wire::kInformProbe, id), Kind::InformStatus)); }
    void RunReloadAll()
    {
        FSProcess::ReloadAll(true);
        Serve(3000);
    }
};

TEST_P(ApiReachabilityCheck, DropsAJetwayAtRestWhoseObjectTheClientDeleted)
{
    StartAtB22();
    const DWORD gone = CreateClientJetway(kJetwayTitle, kB22FrontLatitude, kB22FrontLongitude, 340.0);
    const DWORD kept = CreateClientJetway(kJetwayTitle, kB22RearLatitude, kB22RearLongitude, 340.0);
    ASSERT_EQ(One(Inform(Registration(gone, 1)), Kind::InformStatus)->status.status, api_wire::kInformRegistered);
    api_wire::JetwayInformRequest keptRegistration = Registration(kept, 2);
    keptRegistration.latitude = kB22RearLatitude;
    keptRegistration.longitude = kB22RearLongitude;
    ASSERT_EQ(One(Inform(keptRegistration), Kind::InformStatus)->status.status, api_wire::kInformRegistered);
    ASSERT_FALSE(CurrentJetway(*Jetways().FindJetway(gone))->IsMoving());

    ASSERT_EQ(SimConnect_AIRemoveObject(clientHandle_, gone, 7002), S_OK);
    Serve();
    GetParam().run(*this, gone);

    EXPECT_EQ(Jetways().FindJetway(gone), nullptr);
    EXPECT_NE(Jetways().FindJetway(kept), nullptr);
    EXPECT_EQ(Jetways().GetExternalJetwayCount(), 1u);
    for (const auto& [packet, object] : program::Flags().reachabilityProbes) EXPECT_NE(object, gone);
    EXPECT_FALSE(program_.Log().Has("UNRECOGNIZED ID")) << ::testing::PrintToString(program_.Log().Lines());
}

INSTANTIATE_TEST_SUITE_P(
    Sample, ApiReachabilityCheck,
    ::testing::Values(ReachabilityCheck{"InformProbe", [](ApiDay& t, DWORD id) {
                                            static_cast<ApiReachabilityCheck&>(t).RunInform(id);
                                        }},
                      ReachabilityCheck{"ReloadAll", [](ApiDay& t, DWORD) {
                                            static_cast<ApiReachabilityCheck&>(t).RunReloadAll();
                                        }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Shutdown ----

// orvane shuts down while a jetway a client registered plays its sound and the radio click is loaded and
// playing: each sound stops and gives its device objects back before the sound engine goes (and with it
// the simulation status that the sounds read; the sanitizer build reports any sound left to run on).
class ApiShutdown : public ApiDay {
protected:
    static constexpr const char* kClick = "RADIO_CLICK_LOOP";
    platform::ScopedWindow window_{"FS98MAIN"};  // the simulator's main window, which the engine binds to
    platform::ScopedRecordingDevice device_;
};

TEST_F(ApiShutdown, RegisteredJetwaySoundAndRadioClickAreReleasedBeforeTheSoundEngine)
{
    StartAtB22();
    SoundEngine* engine = program::Parts().soundEngine.get();
    ASSERT_NE(engine, nullptr);
    ASSERT_NE(engine->GetDevice(), nullptr);
    // The click as start-up loads it, then played.
    ASSERT_TRUE(engine->PreloadSound(kClick));
    SoundBuffer& click = program::RadioClick();
    click.SetParameters(kClick, true, 0, 0);
    click.SetWaveKey(kClick);
    click.InitAmbient(engine, true);
    click.Play();
    ASSERT_TRUE(click.IsPlaying());
    // The client's jetway, playing a sound of its own.
    const DWORD id = CreateClientJetway(kJetwayTitle, kB22FrontLatitude, kB22FrontLongitude, 340.0);
    ASSERT_EQ(One(Inform(Registration(id)), Kind::InformStatus)->status.status, api_wire::kInformRegistered);
    Jetway& jetway = *CurrentJetway(*Jetways().FindJetway(id));
    jetway.GetSound().SetParameters(kClick, true, 0, 0);
    jetway.GetSound().SetWaveKey(kClick);
    jetway.GetSound().InitPositional(engine, 0.0, 0.0, 0.0);
    jetway.SetSoundEnabled(true);
    jetway.PlaySound();
    ASSERT_TRUE(jetway.GetSound().IsPlaying());
    program_.Run(1000);
    ASSERT_EQ(device_.BufferCount(), 2u);

    program::Parts().ReleaseAtShutdown();
    EXPECT_FALSE(click.IsCreated());
    EXPECT_FALSE(click.IsPlaying());
    EXPECT_EQ(device_.DevicesReleased(), 1);
    for (size_t i = 0; i < device_.BufferCount(); ++i) {
        SCOPED_TRACE(i);
        const platform::RecordedBuffer buffer = device_.Buffer(i);
        EXPECT_TRUE(buffer.released);
        EXPECT_FALSE(buffer.releasedAfterDevice);
        EXPECT_FALSE(buffer.playing);
    }
}

// ---- StandInform ----

TEST_F(ApiDay, StandInformSelectsAndDeselectsAStandForTheClient)
{
    StartAtB22();
    auto answer = One(StandInform(api_wire::kStandSelect, {"XVLK", "GATE_B", 22}), Kind::StandStatus);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status.status, api_wire::kStandSelected);
    EXPECT_EQ(answer->status.version, api_wire::kVersion);
    StandData selected = program::StandMenu().GetSelectedStand();
    EXPECT_TRUE(program::StandMenu().IsStandSelected());
    EXPECT_EQ(selected.GetStandKey(), "XVLK:GATE_B");
    EXPECT_EQ(selected.GetParkingNumber(), 22);
    EXPECT_TRUE(selected.IsSelectedByApi());

    // Another mode leaves the selection alone.
    answer = One(StandInform(7, {"XVLK", "GATE_B", 23}), Kind::StandStatus);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status.status, api_wire::kStandOther);
    selected = program::StandMenu().GetSelectedStand();
    EXPECT_EQ(selected.GetParkingNumber(), 22);
    EXPECT_TRUE(selected.IsSelectedByApi());

    answer = One(StandInform(api_wire::kStandDeselect, {}), Kind::StandStatus);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status.status, api_wire::kStandDeselected);
    EXPECT_FALSE(program::StandMenu().IsStandSelected());
    EXPECT_FALSE(program::StandMenu().GetSelectedStand().IsSelectedByApi());
}

// Only a stand that exists is selected: one whose key has that number among the jetways' stands or the
// guidance displays' stands. Any other is answered 0 in both forms and changes nothing.
TEST_F(ApiDay, StandInformSelectsOnlyAStandThatExists)
{
    StartAtB22();
    ASSERT_EQ(One(StandInform(api_wire::kStandSelect, {"XVLK", "GATE_B", 22}), Kind::StandStatus)->status.status,
              api_wire::kStandSelected);
    struct Unknown {
        const char* what;
        api_wire::StandRef stand;
    };
    for (const Unknown& c : {Unknown{"unknown name", {"XVLK", "NO_SUCH_GATE", 999}},
                             Unknown{"known name, unknown number", {"XVLK", "GATE_B", 999}},
                             Unknown{"unknown airport", {"ZZZZ", "GATE_B", 23}}}) {
        for (const bool lite : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (lite ? ", lite form" : ""));
            program_.Log().Clear();
            if (lite) {
                const auto answer = One(StandInformLite(api_wire::kStandSelect, c.stand), Kind::LiteStatus);
                ASSERT_TRUE(answer);
                EXPECT_EQ(answer->lite.status, api_wire::kStandOther);
            } else {
                const auto answer = One(StandInform(api_wire::kStandSelect, c.stand), Kind::StandStatus);
                ASSERT_TRUE(answer);
                EXPECT_EQ(answer->status.status, api_wire::kStandOther);
            }
            const StandData selected = program::StandMenu().GetSelectedStand();
            EXPECT_EQ(selected.GetStandKey(), "XVLK:GATE_B");
            EXPECT_EQ(selected.GetParkingNumber(), 22);
            EXPECT_TRUE(selected.IsSelectedByApi());
            // Said once: the lite form's same line is a repeat, which the limiter counts instead of writing.
            if (!lite)
                EXPECT_TRUE(program_.Log().Has("WARN VELK.FSLOOP : [API::STANDINFORM] No stand '" + c.stand.icao + ":" +
                                           c.stand.name + "' #" + std::to_string(c.stand.number) + ": nothing selected"))
                << ::testing::PrintToString(program_.Log().Lines());
        }
    }
    // B23 exists: selected.
    EXPECT_EQ(One(StandInformLite(api_wire::kStandSelect, {"XVLK", "GATE_B", 23}), Kind::LiteStatus)->lite.status,
              api_wire::kStandSelected);
    EXPECT_EQ(program::StandMenu().GetSelectedStand().GetParkingNumber(), 23);
}

TEST_F(ApiDay, TheLiteFormSelectsWithoutTheClientsMark)
{
    StartAtB22();
    auto answer = One(StandInformLite(api_wire::kStandSelect, {"XVLK", "GATE_B", 22}), Kind::LiteStatus);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->lite.status, api_wire::kStandSelected);
    EXPECT_EQ(answer->lite.mode, api_wire::kStandSelect);
    EXPECT_EQ(answer->lite.stand.icao, "XVLK");
    EXPECT_EQ(answer->lite.stand.name, "GATE_B");
    EXPECT_EQ(answer->lite.stand.number, 22u);
    EXPECT_EQ(answer->eventData, 0u);
    StandData selected = program::StandMenu().GetSelectedStand();
    EXPECT_EQ(selected.GetStandKey(), "XVLK:GATE_B");
    EXPECT_EQ(selected.GetParkingNumber(), 22);
    EXPECT_FALSE(selected.IsSelectedByApi());

    answer = One(StandInformLite(7, {"XVLK", "GATE_B", 23}), Kind::LiteStatus);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->lite.status, api_wire::kStandOther);
    EXPECT_EQ(answer->lite.stand.number, 23u);
    EXPECT_EQ(program::StandMenu().GetSelectedStand().GetParkingNumber(), 22);

    answer = One(StandInformLite(api_wire::kStandDeselect, {"XVLK", "GATE_B", 22}), Kind::LiteStatus);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->lite.status, api_wire::kStandDeselected);
    EXPECT_FALSE(program::StandMenu().IsStandSelected());
}

// ---- Hostile and careless records ----

struct HostileRecord {
    const char* name;
    const char* event;
    bool lite;
    bool written;  // false: the event alone, the area as it was made (zero)
    uint8_t fill;  // every byte of the record before the numbers are set
    std::function<void(Bytes&)> set;
    std::optional<Kind> answer;  // nothing when no answer is expected
    std::function<void(const Answer&)> check;
    std::vector<std::string> logged;
};

void PrintTo(const HostileRecord& c, std::ostream* os) { *os << c.name; }

class ApiHostileRecord : public ApiDay, public ::testing::WithParamInterface<HostileRecord> {};

TEST_P(ApiHostileRecord, IsHandledWithinItsFieldsAndTheNextRequestIsAnswered)
{
    const HostileRecord& c = GetParam();
    StartAtB22();
    Bytes record(c.lite ? api_wire::kLiteSize : api_wire::kRecordSize, c.fill);
    if (c.set) c.set(record);
    const std::vector<Answer> answers = Raw(c.event, c.written ? &record : nullptr, c.lite);
    if (c.answer) {
        const auto answer = One(answers, *c.answer);
        if (answer && c.check) c.check(*answer);
    } else {
        EXPECT_TRUE(answers.empty()) << Describe(answers);
    }
    for (const std::string& line : c.logged)
        EXPECT_TRUE(program_.Log().Has(line)) << line << "\n" << ::testing::PrintToString(program_.Log().Lines());
    EXPECT_TRUE(program_.AnsweredJobs().empty());
    EXPECT_EQ(Jetways().GetExternalJetwayCount(), 0u);
    ExpectXvlkMassAnswer();
}

constexpr uint32_t kAs = 0x41414141u;  // four 'A's read as a number
const std::string kAsText = std::to_string(static_cast<int>(kAs));

void Mode(Bytes& b, api_wire::Field f, uint32_t v) { PutU32(b, f.offset, v); }

// A registration whose texts fill their fields and run on into the next.
void FilledRegistration(Bytes& b)
{
    using namespace api_wire::in;
    Mode(b, kInformMode, api_wire::kInformRegister);
    PutU32(b, kInformJetway.offset, 5555);
    PutF64(b, kInformLatitude.offset, kB22FrontLatitude);
    PutF64(b, kInformLongitude.offset, kB22FrontLongitude);
    PutF64(b, kInformAltitude.offset, kXvlkAltitudeFeet);
    PutF64(b, kInformHeading.offset, 340.0);
    PutI32(b, kInformMultiIndex.offset, 1);
    PutU32(b, kInformVersion.offset, api_wire::kVersion);
}

const std::string kUnterminatedTitle(api_wire::in::kInformTitle.size, 'A');

INSTANTIATE_TEST_SUITE_P(
    In, ApiHostileRecord,
    ::testing::Values(
        // JetwayMassQuery
        HostileRecord{"MassQueryUnterminated", "VELK.JetwayMassQuery", false, true, 'A', nullptr, Kind::MassResponse,
                      [](const Answer& a) {
                          EXPECT_EQ(a.stands.icao, "AAAA");
                          EXPECT_TRUE(a.stands.entries.empty());
                          EXPECT_TRUE(a.guidanceStands.entries.empty());
                      },
                      {"WARN VELK.FSLOOP : [API::MASSQUERY] ICAO Code 'AAAAAAAA' has 8 letters! Only considering first 4..."}},
        HostileRecord{"MassQueryNothingWritten", "VELK.JetwayMassQuery", false, false, 0, nullptr, Kind::MassResponse,
                      [](const Answer& a) {
                          EXPECT_EQ(a.stands.icao, "");
                          EXPECT_TRUE(a.stands.entries.empty());
                          EXPECT_TRUE(a.guidanceStands.entries.empty());
                      },
                      {}},
        // JetwayQuery
        HostileRecord{"QueryUnterminated", "VELK.JetwayQuery", false, true, 'A', nullptr, Kind::JetwayResponse,
                      [](const Answer& a) {
                          EXPECT_EQ(a.jetways.count, 0u);
                          for (uint8_t byte : a.jetways.echo) ASSERT_EQ(byte, 'A');
                          EXPECT_EQ(api_client::QueriedStand(a.jetways).icao, "AAAAA");
                      },
                      {}},
        HostileRecord{"QueryAtNoNumberPosition", "VELK.JetwayQuery", false, true, 0,
                      [](Bytes& b) {
                          PutF64(b, api_wire::in::kQueryLatitude.offset, kNaN);
                          PutF64(b, api_wire::in::kQueryLongitude.offset, kInf);
                          PutF64(b, api_wire::in::kQueryAltitude.offset, kNaN);
                      },
                      Kind::JetwayResponse, [](const Answer& a) { EXPECT_EQ(a.jetways.count, 0u); }, {}},
        HostileRecord{"QueryNothingWritten", "VELK.JetwayQuery", false, false, 0, nullptr, Kind::JetwayResponse,
                      [](const Answer& a) { EXPECT_EQ(a.jetways.count, 0u); }, {}},
        // JetwayTrigger
        HostileRecord{"TriggerUnterminatedOwn", "VELK.JetwayTrigger", false, true, 'A', nullptr, std::nullopt, nullptr,
                      {"ERROR VELK.FSLOOP : [API::TRIGGER] Internal Jetway Instance not found! -> 'NULL'"}},
        HostileRecord{"TriggerUnterminatedActive", "VELK.JetwayTrigger", false, true, 'A',
                      [](Bytes& b) { Mode(b, api_wire::in::kTriggerOwn, 0); }, std::nullopt, nullptr,
                      {"ERROR VELK.FSLOOP : [API::TRIGGER] Could not find the requested Jetway with ID [" + kAsText + "]!"}},
        HostileRecord{"TriggerUnterminatedAi", "VELK.JetwayTrigger", false, true, 'A',
                      [](Bytes& b) { Mode(b, api_wire::in::kTriggerForm, api_wire::kTriggerAiForm); },
                      Kind::TriggerStatus,
                      [](const Answer& a) { EXPECT_EQ(a.eventData, kAs * 10u + api_wire::kTriggerGone); },
                      {"WARN VELK.FSLOOP : [API::AI_TRIGGER] Not able to find AI object [" + kAsText + "]!"}},
        HostileRecord{"TriggerIdZero", "VELK.JetwayTrigger", false, true, 0,
                      [](Bytes& b) { PutText(b, api_wire::in::kTriggerDoor, "1L"); }, std::nullopt, nullptr,
                      {"ERROR VELK.FSLOOP : [API::TRIGGER] Could not find the requested Jetway with ID [0]!"}},
        HostileRecord{"TriggerOwnIdZero", "VELK.JetwayTrigger", false, true, 0,
                      [](Bytes& b) { Mode(b, api_wire::in::kTriggerOwn, 1); }, std::nullopt, nullptr,
                      {"ERROR VELK.FSLOOP : [API::TRIGGER] Internal Jetway Instance not found! -> 'NULL'"}},
        HostileRecord{"TriggerNothingWritten", "VELK.JetwayTrigger", false, false, 0, nullptr, std::nullopt, nullptr,
                      {"ERROR VELK.FSLOOP : [API::TRIGGER] Could not find the requested Jetway with ID [0]!"}},
        // JetwayInform
        HostileRecord{"InformUnterminated", "VELK.JetwayInform", false, true, 'A', nullptr, Kind::InformStatus,
                      [](const Answer& a) {
                          EXPECT_EQ(a.status.jetwayId, kAs);
                          EXPECT_EQ(a.status.status, api_wire::kInformRefused);
                      },
                      {"FATAL VELK.FSLOOP : [API::INFORM] API Version mismatch! External App uses V" + kAsText + ", VELK uses V2",
                       "ERROR VELK.FSLOOP : [API::INFORM] Invalid API Inform Mode received [" + kAsText + "]!"}},
        HostileRecord{"InformRegistrationWithUnterminatedTexts", "VELK.JetwayInform", false, true, 'A',
                      FilledRegistration, Kind::InformStatus,
                      [](const Answer& a) {
                          EXPECT_EQ(a.status.jetwayId, 5555u);
                          EXPECT_EQ(a.status.status, api_wire::kInformNoConfig);
                      },
                      {"ERROR VELK.FSLOOP : [API::INFORM] No model folder for jetway title '" + kUnterminatedTitle + "'!"}},
        HostileRecord{"InformRegistrationIdZero", "VELK.JetwayInform", false, true, 'A',
                      [](Bytes& b) {
                          FilledRegistration(b);
                          PutU32(b, api_wire::in::kInformJetway.offset, 0);
                      },
                      Kind::InformStatus,
                      [](const Answer& a) { EXPECT_EQ(a.status.status, api_wire::kInformRefused); },
                      {"ERROR VELK.FSLOOP : [API::INFORM] A jetway without an object id cannot be registered!"}},
        HostileRecord{"InformRegistrationAtNoNumber", "VELK.JetwayInform", false, true, 'A',
                      [](Bytes& b) {
                          FilledRegistration(b);
                          PutF64(b, api_wire::in::kInformLatitude.offset, kNaN);
                          PutText(b, api_wire::in::kInformTitle, kJetwayTitle);
                      },
                      Kind::InformStatus,
                      [](const Answer& a) { EXPECT_EQ(a.status.status, api_wire::kInformRefused); },
                      {"ERROR VELK.FSLOOP : [API::INFORM] Jetway [5555] has no valid position!"}},
        HostileRecord{"InformNothingWritten", "VELK.JetwayInform", false, false, 0, nullptr, Kind::InformStatus,
                      [](const Answer& a) {
                          EXPECT_EQ(a.status.jetwayId, 0u);
                          EXPECT_EQ(a.status.status, api_wire::kInformProbed);
                          EXPECT_EQ(a.eventData, 0u);
                      },
                      {"FATAL VELK.FSLOOP : [API::INFORM] API Version mismatch! External App uses V0, VELK uses V2"}},
        // StandInform
        HostileRecord{"StandInformUnterminated", "VELK.StandInform", false, true, 'A', nullptr, Kind::StandStatus,
                      [](const Answer& a) {
                          EXPECT_EQ(a.status.status, api_wire::kStandOther);
                          EXPECT_FALSE(program::StandMenu().IsStandSelected());
                      },
                      {}},
        // No such stand: nothing is selected; the key is read within its fields.
        HostileRecord{"StandInformSelectUnterminated", "VELK.StandInform", false, true, 'A',
                      [](Bytes& b) { Mode(b, api_wire::in::kStandMode, api_wire::kStandSelect); }, Kind::StandStatus,
                      [](const Answer& a) {
                          EXPECT_EQ(a.status.status, api_wire::kStandOther);
                          EXPECT_FALSE(program::StandMenu().IsStandSelected());
                      },
                      {"WARN VELK.FSLOOP : [API::STANDINFORM] No stand 'AAAAA:" + std::string(19, 'A') + "' #" +
                       std::to_string(kAs) + ": nothing selected"}},
        HostileRecord{"StandInformNothingWritten", "VELK.StandInform", false, false, 0, nullptr, Kind::StandStatus,
                      [](const Answer& a) {
                          EXPECT_EQ(a.status.status, api_wire::kStandOther);
                          EXPECT_FALSE(program::StandMenu().IsStandSelected());
                      },
                      {"WARN VELK.FSLOOP : [API::STANDINFORM] No stand ':' #0: nothing selected"}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Lite, ApiHostileRecord,
    ::testing::Values(
        HostileRecord{"Unterminated", "VELK.StandInform.Lite", true, true, 'A', nullptr, Kind::LiteStatus,
                      [](const Answer& a) {
                          EXPECT_EQ(a.lite.status, api_wire::kStandOther);
                          EXPECT_EQ(a.lite.mode, kAs);
                          // The echo is cut to its fields.
                          EXPECT_EQ(a.lite.stand.icao, "AAAA");
                          EXPECT_EQ(a.lite.stand.name, std::string(18, 'A'));
                          EXPECT_EQ(a.lite.stand.number, kAs);
                          EXPECT_FALSE(program::StandMenu().IsStandSelected());
                      },
                      {}},
        HostileRecord{"SelectUnterminated", "VELK.StandInform.Lite", true, true, 'A',
                      [](Bytes& b) { Mode(b, api_wire::lite::kMode, api_wire::kStandSelect); }, Kind::LiteStatus,
                      [](const Answer& a) {
                          EXPECT_EQ(a.lite.status, api_wire::kStandOther);
                          EXPECT_FALSE(program::StandMenu().IsStandSelected());
                      },
                      {"WARN VELK.FSLOOP : [API::STANDINFORM] No stand 'AAAAA:" + std::string(19, 'A') + "' #" +
                       std::to_string(kAs) + ": nothing selected"}},
        HostileRecord{"NothingWritten", "VELK.StandInform.Lite", true, false, 0, nullptr, Kind::LiteStatus,
                      [](const Answer& a) {
                          EXPECT_EQ(a.lite.status, api_wire::kStandOther);
                          EXPECT_EQ(a.lite.stand.icao, "");
                          EXPECT_FALSE(program::StandMenu().IsStandSelected());
                      },
                      {"WARN VELK.FSLOOP : [API::STANDINFORM] No stand ':' #0: nothing selected"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A client writing random records as fast as it can: each request is handled, and its lines go through
// the repeat limiter, so the log grows by a few hundred lines, not by one or more per request.
TEST_F(ApiDay, RandomRecordsLeaveFewLogLinesAndTheNextRequestIsAnswered)
{
    StartAtB22();
    using Handler = void (*)(const uint8_t*, size_t);
    const Handler handlers[] = {FSProcess::OnApiJetwayQuery, FSProcess::OnApiJetwayTrigger,
                                FSProcess::OnApiJetwayInform, FSProcess::OnApiStandInform,
                                FSProcess::OnApiMassQuery,    FSProcess::OnApiStandInformLite};
    std::mt19937 random(26);
    Bytes record(api_wire::kRecordSize);
    constexpr int kRecords = 20000;
    for (int i = 0; i < kRecords; ++i) {
        for (uint8_t& byte : record) byte = static_cast<uint8_t>(random());
        const size_t kind = i % std::size(handlers);
        handlers[kind](record.data(), handlers[kind] == FSProcess::OnApiStandInformLite ? api_wire::kLiteSize
                                                                                          : record.size());
        if (i % 1000 == 999) Serve(0);  // the answers the client is sent
    }
    const size_t lines = program_.Log().Lines().size();
    EXPECT_LT(lines, 1000u);
    EXPECT_GT(lines, 0u);
    bool counted = false;
    for (const std::string& line : program_.Log().Lines())
        counted = counted || line.find("... repeated 1000 times") != std::string::npos;
    EXPECT_TRUE(counted) << "the count is told";
    EXPECT_EQ(Jetways().GetExternalJetwayCount(), 0u);
    ExpectXvlkMassAnswer();
}

// ---- Capacity ----

TEST_F(ApiDay, TheMassAnswerStopsAtTheAreasCapacityAndSaysSo)
{
    StartAtB22();
    // 600 stands with one jetway each at an airport of their own.
    for (uint32_t number = 1; number <= 600; ++number) {
        SimObject& object = ownedJetways_.emplace_back();
        object.SetFeature(FeatureJetway);
        object.SetObjectId(900000 + number);
        object.SetName("XCAP:Jetway " + std::to_string(number));
        object.SetStandData("XCAP", "GATE_C", static_cast<int32_t>(number), "NONE", "0", false);
        Jetways().AddStandJetway(&object);
    }
    const auto answer = One(MassQuery("XCAP"), Kind::MassResponse);
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->stands.entries.size(), api_wire::kMaxMassEntries);
    const int32_t gateC = ParseStandCategory("GATE_C");
    for (size_t i = 0; i < answer->stands.entries.size(); ++i)
        ASSERT_EQ(answer->stands.entries[i], (api_wire::MassEntry{gateC, static_cast<int32_t>(i + 1), 1})) << i;
    EXPECT_TRUE(program_.Log().Has(
        "WARN VELK.FSLOOP : [API::MASSQUERY] 600 stands with jetways at 'XCAP': only the first 512 are answered!"))
        << ::testing::PrintToString(program_.Log().Lines());

    // Exactly as many as fit: no warning.
    program_.Log().Clear();
    for (size_t i = 512; i < ownedJetways_.size(); ++i) ownedJetways_[i].SetStandData("XCAQ", "GATE_C", 1, "NONE", "0", false);
    // Rebuilt from scratch: the stand list keys stand jetways by the stand they had when entered.
    Jetways().ResetAllJetways();
    for (size_t i = 0; i < 512; ++i) Jetways().AddStandJetway(&ownedJetways_[i]);
    const auto full = One(MassQuery("XCAP"), Kind::MassResponse);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->stands.entries.size(), api_wire::kMaxMassEntries);
    EXPECT_FALSE(program_.Log().Has("[API::MASSQUERY]"));
}

}  // namespace
