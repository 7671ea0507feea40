// Scenarios played in process: what each element does to the world and the timeline, the clients of a
// scenario (objects, texts, menus, jetway jobs), and bad input reported with its line and skipped.
#include "SimTestSupport.h"

#include "jetway/core/JetwayCodec.h"
#include "simulator/Scenario.h"

#include <cmath>

using namespace simtest;

namespace {

struct Played {
    simulator::Simulator sim;
    std::vector<std::string> warnings;
    simulator::Scenario scenario{[this](const std::string& w) { warnings.push_back(w); }};

    Played() { sim.ServeInProcess(); }

    bool Load(const std::string& body, const std::string& rootAttributes = "frameRate=\"20\"")
    {
        std::string error;
        const bool ok = scenario.LoadText("<Scenario " + rootAttributes + ">" + body + "</Scenario>",
                                          "/scenarios", &error);
        EXPECT_TRUE(ok) << error;
        sim.SetFrameRate(scenario.Settings().frameRate);
        sim.SetCreationDelayFrames(scenario.Settings().creationDelayFrames);
        return ok;
    }

    // The frames of simhost's loop up to the given time; `between` runs after every frame.
    void PlayUntil(double seconds, const std::function<void()>& between = nullptr)
    {
        while (sim.NowMs() < static_cast<uint64_t>(seconds * 1000.0)) {
            scenario.Step(sim);
            sim.RunFrames(1);
            scenario.PumpClients(sim);
            if (between) between();
        }
    }

    bool Saw(const std::string& text) const
    {
        for (const auto& line : sim.Timeline())
            if (line.find(text) != std::string::npos) return true;
        return false;
    }
};

TEST(ScenarioTest, BadElementsAreReportedWithTheirLineAndSkipped)
{
    Played p;
    ASSERT_TRUE(p.Load("\n<State time=\"abc\" name=\"LIGHT BEACON\" value=\"1\"/>"
                       "\n<State time=\"1\" name=\"LIGHT BEACON\" value=\"1e999\"/>"
                       "\n<Aircraft latitude=\"95\"/>"
                       "\n<Sim action=\"explode\"/>"
                       "\n<Menu/>"
                       "\n<State/>"
                       "\n<Text client=\"C\" type=\"menu\" title=\"T\" items=\"|\"/>"
                       "\n<JetwayJob client=\"C\" jetway=\"j\" type=\"Q\" rootSweep=\"1,2,3\"><Part slot=\"9\" object=\"x\" link=\"NOPE\"/></JetwayJob>"
                       "\n<State time=\"0\" name=\"BRAKE PARKING INDICATOR\" value=\"1\"/>"));
    // One line per problem; every problem of the job is named, its parts' included.
    const char* expected[] = {":2: State: attribute 'time'", ":3: State: attribute 'value'",
                              ":4: Aircraft: attribute 'latitude'", ":5: Sim: unknown action 'explode'",
                              ":6: Menu: needs the attribute 'line' or 'contains'", ":7: State: needs the attribute 'name'",
                              ":8: Text: needs 1..10 items", ":9: JetwayJob: type must be A, N, T or H",
                              ":9: JetwayJob: attribute 'rootSweep' needs 2 numbers",
                              ":9: JetwayJob: Part (line 9): attribute 'slot'",
                              ":9: JetwayJob: Part (line 9): unknown link 'NOPE'"};
    ASSERT_EQ(p.warnings.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_NE(p.warnings[i].find(expected[i]), std::string::npos) << p.warnings[i];
        EXPECT_NE(p.warnings[i].find("(element skipped)"), std::string::npos) << p.warnings[i];
    }

    p.PlayUntil(2);
    EXPECT_EQ(p.sim.Number(0, "BRAKE PARKING INDICATOR", "Bool"), 1.0);
    EXPECT_FALSE(p.sim.Number(0, "LIGHT BEACON", "Bool").has_value());
    EXPECT_FALSE(p.sim.IsRunning());
}

// A name that no simulator knows would play another day than the one written: the scenario is refused
// whole, with one error naming the first such fault by file and line, and nothing else reported.
TEST(ScenarioTest, UnknownElementsAttributesAndAiStatesRefuseTheScenario)
{
    struct Case {
        const char* body;
        const char* error;
    };
    const Case cases[] = {
        {"\n<Bogus/>", "scenario:2: Bogus: unknown element"},
        {"\n<State name=\"LIGHT BEACON\" vaule=\"1\"/>", "scenario:2: State: unknown attribute 'vaule'"},
        {"\n<Aircraft title=\"A\">\n<Door/></Aircraft>", "scenario:3: Door: unknown element in Aircraft"},
        {"\n<AI title=\"B738\" state=\"pushback\"/>", "scenario:2: AI: 'pushback' is no AI traffic state"},
        {"\n<AI title=\"B738\"/>\n<AIState ai=\"B738\" state=\"Sleep\"/>",
         "scenario:3: AIState: 'Sleep' is no AI traffic state"},
        {"\n<ApiClient name=\"c\">\n<Objekt title=\"t\"/></ApiClient>", "scenario:3: Objekt: unknown element in ApiClient"},
        {"\n<ApiClient name=\"c\">\n<Object title=\"t\" lat=\"1\"/></ApiClient>",
         "scenario:3: Object: unknown attribute 'lat'"},
        {"\n<ApiClient name=\"c\"><Listen event=\"E\" once=\"1\"/></ApiClient>", "scenario:2: Listen: unknown attribute 'once'"},
        {"\n<JetwayJob client=\"c\" jetway=\"j\">\n<Part object=\"p\" ofset=\"1,2,3\"/></JetwayJob>",
         "scenario:3: Part: unknown attribute 'ofset'"},
        {"\n<JetwayJob client=\"c\" jetway=\"j\">\n<Link/></JetwayJob>", "scenario:3: Link: unknown element in JetwayJob"},
        // Only the first fault is named, and a skipped element before it is still reported as such.
        {"\n<State/>\n<Sim acton=\"start\"/>\n<Bogus/>", "scenario:3: Sim: unknown attribute 'acton'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        std::vector<std::string> warnings;
        simulator::Scenario s([&](const std::string& w) { warnings.push_back(w); });
        std::string error;
        EXPECT_FALSE(s.LoadText(std::string("<Scenario>") + c.body + "</Scenario>", "", &error));
        EXPECT_EQ(error.find(c.error), 0u) << error;
        EXPECT_EQ(error.find("unknown", error.find("unknown") + 1), std::string::npos) << error;
        for (const std::string& w : warnings) EXPECT_NE(w.find("(element skipped)"), std::string::npos) << w;
    }

    simulator::Scenario root([](const std::string&) {});
    std::string error;
    EXPECT_FALSE(root.LoadText("<Scenario\nframerate=\"20\"/>", "", &error));
    EXPECT_NE(error.find(":1: Scenario: unknown attribute 'framerate'"), std::string::npos) << error;
}

TEST(ScenarioTest, EveryAiStateTextOfASimulatorIsPlayed)
{
    const char* const states[] = {"init",         "sleep",      "flt plan",  "startup",    "preflight support",
                                  "clearance",    "push back 1", "push back 2", "pre taxi out", "taxi out",
                                  "takeoff 1",    "takeoff 2",  "T&amp;G depart", "enroute", "pattern",
                                  "landing",      "rollout",    "go around", "taxi in",    "shutdown",
                                  "postflight support", "&lt;unknown&gt;"};
    std::string body = "<AI key=\"a\" title=\"B738\"/>";
    for (const char* state : states) body += std::string("<AIState ai=\"a\" state=\"") + state + "\"/>";
    Played p;
    EXPECT_TRUE(p.Load(body));
    EXPECT_TRUE(p.warnings.empty());
}

TEST(ScenarioTest, WhatIsNotAScenarioIsRefusedWhole)
{
    const std::pair<const char*, const char*> cases[] = {
        {"<Other/>", "no Scenario element"},
        {"<Scenario><State", "cannot read scenario"},
        {"", "cannot read scenario"},
    };
    for (const auto& [xml, why] : cases) {
        simulator::Scenario s([](const std::string&) {});
        std::string error;
        EXPECT_FALSE(s.LoadText(xml, "", &error)) << xml;
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
    simulator::Scenario missing([](const std::string&) {});
    std::string error;
    EXPECT_FALSE(missing.LoadFile("/nonexistent/scenario.xml", &error));
    EXPECT_FALSE(error.empty());
}

TEST(ScenarioTest, SettingsComeFromTheRootWithPathsStartingAtTheScenarioFolder)
{
    Played p;
    ASSERT_TRUE(p.Load("<End time=\"12.5\"/>", "frameRate=\"20\" platform=\"FSX\" module=\"../build/brannet.so\" machineRoot=\"/abs/root\" "
                                              "waitClient=\"orvane\" waitTimeout=\"5\" creationDelay=\"2\""));
    const auto& s = p.scenario.Settings();
    EXPECT_EQ(s.platform, "FSX");
    EXPECT_EQ(s.module, "/scenarios/../build/brannet.so");
    EXPECT_EQ(s.machineRoot, "/abs/root");
    EXPECT_EQ(s.waitClient, "orvane");
    EXPECT_EQ(s.waitTimeoutSeconds, 5.0);
    EXPECT_EQ(s.creationDelayFrames, 2);
    EXPECT_EQ(s.endSeconds, 12.5);
    EXPECT_FALSE(p.scenario.Ended(12499));
    EXPECT_TRUE(p.scenario.Ended(12500));

    // A bad root attribute keeps its default and is reported.
    Played q;
    ASSERT_TRUE(q.Load("", "frameRate=\"0\""));
    EXPECT_EQ(q.scenario.Settings().frameRate, 30.0);
    ASSERT_EQ(q.warnings.size(), 1u);
    EXPECT_NE(q.warnings[0].find("frameRate"), std::string::npos);
    EXPECT_FALSE(q.scenario.Ended(1u << 30));  // no end: runs until interrupted
}

TEST(ScenarioTest, TheUserAircraftFollowsItsPathTurningTheShortWay)
{
    Played p;
    ASSERT_TRUE(p.Load("<Point time=\"1\" latitude=\"50\" longitude=\"8\" altitude=\"300\" heading=\"350\" speed=\"10\"/>"
                       "<Point time=\"3\" latitude=\"50.002\" longitude=\"8\" altitude=\"300\" heading=\"10\" speed=\"20\"/>"));
    p.PlayUntil(2);  // the step at 2.000 s is the next frame's
    p.scenario.Step(p.sim);
    EXPECT_NEAR(*p.sim.Number(0, "PLANE LATITUDE", "degrees"), 50.001, 1e-9);
    const double heading = *p.sim.Number(0, "PLANE HEADING DEGREES TRUE", "degrees");
    EXPECT_NEAR(std::min(heading, 360 - heading), 0.0, 1e-9);  // through north, not through south
    EXPECT_NEAR(*p.sim.Number(0, "GROUND VELOCITY", "knots"), 15.0, 1e-9);
    p.PlayUntil(5);
    EXPECT_NEAR(*p.sim.Number(0, "PLANE LATITUDE", "degrees"), 50.002, 1e-9);
    size_t noted = 0;
    for (const auto& line : p.sim.Timeline()) noted += line.find("path point") != std::string::npos;
    EXPECT_EQ(noted, 2u);
}

TEST(ScenarioTest, AiTrafficArrivesAtItsParkingAndLeaves)
{
    Played p;
    ASSERT_TRUE(p.Load("<AI time=\"0\" key=\"a\" title=\"B738\" state=\"taxi in\" parking=\"GATE 1\" latitude=\"50\" longitude=\"8\"/>"
                       "<AIState time=\"1\" ai=\"a\" state=\"sleep\" latitude=\"50.001\"/>"
                       "<AIState time=\"1\" ai=\"nobody\" state=\"sleep\"/>"
                       "<AIRemove time=\"2\" ai=\"a\"/>"));
    simulator::ObjectId id = 0;
    p.PlayUntil(1.5, [&] {
        for (const auto& o : p.sim.Objects())
            if (o.title == "B738") id = o.id;
    });
    ASSERT_NE(id, 0u);
    EXPECT_EQ(p.sim.Text(id, "AI TRAFFIC STATE"), "sleep");
    EXPECT_EQ(p.sim.Text(id, "AI TRAFFIC ASSIGNED PARKING"), "GATE 1");  // kept: not given
    EXPECT_NEAR(*p.sim.Number(id, "PLANE LATITUDE", "degrees"), 50.001, 1e-12);
    EXPECT_NEAR(*p.sim.Number(id, "PLANE LONGITUDE", "degrees"), 8.0, 1e-12);
    EXPECT_TRUE(p.Saw("AIState skipped: no AI aircraft 'nobody'"));
    p.PlayUntil(3);
    EXPECT_FALSE(p.sim.Object(id).has_value());

    // Only AI aircraft are updated that way.
    simulator::AiAircraft any;
    EXPECT_FALSE(p.sim.UpdateAiAircraft(p.sim.UserAircraftId(), any));
    EXPECT_FALSE(p.sim.UpdateAiAircraft(id, any));
}

TEST(ScenarioTest, AClientOfTheScenarioCreatesShowsAndHearsTheAnswers)
{
    Played p;
    ASSERT_TRUE(p.Load("<Refuse title=\"Broken\"/>"
                       "<ApiClient time=\"0.5\" name=\"C\">"
                       "  <Object key=\"ok\" title=\"Stairs\" latitude=\"50\" longitude=\"8\" altitude=\"300\" heading=\"90\"/>"
                       "  <Object key=\"bad\" title=\"Broken\"/>"
                       "</ApiClient>"
                       "<Text time=\"1\" client=\"C\" type=\"menu\" title=\"Stand\" prompt=\"Stairs?\" items=\"Bring|Leave\"/>"
                       "<Menu time=\"2\" contains=\"Leave\"/>"
                       "<ClientEvent time=\"2\" client=\"C\" name=\"Custom.Event\" data=\"7\" object=\"ok\"/>"
                       "<ClientEvent time=\"2\" client=\"C\" name=\"Custom.Event\" object=\"bad\"/>"
                       "<Text time=\"2\" client=\"nobody\" text=\"x\"/>"
                       "<RemoveObject time=\"3\" client=\"C\" object=\"ok\"/>"));
    p.PlayUntil(4);
    EXPECT_TRUE(p.Saw("object 2 'Stairs' created for 'C' (request 1) at 50.000000, 8.000000, 300.0 ft, heading 90.0"));
    EXPECT_TRUE(p.Saw("'C' got object 2 for 'ok'"));
    EXPECT_TRUE(p.Saw("'C' got exception 22 for creation of 'Broken' as 'bad'"));
    EXPECT_TRUE(p.Saw("'C' got menu 'Stand': line 2 chosen"));
    EXPECT_TRUE(p.Saw("event 'Custom.Event' data 7 from 'C' to object 2 'Stairs'"));
    EXPECT_TRUE(p.Saw("ClientEvent 'Custom.Event' skipped: no object 'bad'"));
    EXPECT_TRUE(p.Saw("Text skipped: no client 'nobody'"));
    EXPECT_TRUE(p.Saw("object 2 'Stairs' removed by 'C'"));
    EXPECT_EQ(p.sim.Clients(), std::vector<std::string>{"C"});
    p.scenario.CloseClients();
    EXPECT_TRUE(p.sim.Clients().empty());
}

// What the module does with a job: the In area, and the Start event heard on the module's group.
struct ModuleStandIn {
    HANDLE h = OpenClient("module stand-in");
    std::vector<SIMCONNECT_RECV_EVENT> starts;

    ModuleStandIn()
    {
        SimConnect_MapClientDataNameToID(h, "VELK.JetwayData.In.2", 1);
        SimConnect_CreateClientData(h, 1, jetway_wire::kRecordSize, 0);
        SimConnect_MapClientEventToSimEvent(h, 5, "VELK.JetwayAction.Start");
        SimConnect_AddClientEventToNotificationGroup(h, 9, 5);
        SimConnect_SetNotificationGroupPriority(h, 9, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
    }
    ~ModuleStandIn() { SimConnect_Close(h); }
    void Pump()
    {
        for (const auto& e : Events(Drain(h))) starts.push_back(e);
    }
};

constexpr const char* kJob =
    "<JetwayJob time=\"0\" client=\"C\" jetway=\"jw\" area=\"2\" type=\"T\" periodMs=\"50\" keyframes=\"80\""
    " rootSweep=\"-90,90\" bridgeDip=\"-10,10\" headSweep=\"-90,90\" bridgeLength=\"10,30\" legLength=\"2,6\""
    " rootFloorHeight=\"4\" placement=\"47,8,1300,90\" parked=\"50,50,50,25\" targetExtension=\"21\" targetDip=\"0.04\">"
    "  <Part slot=\"2\" object=\"head\" link=\"HEAD\" offset=\"12,0,0.5\"/>"
    "</JetwayJob>";

TEST(ScenarioTest, AJetwayJobWaitsForItsObjectsThenWritesAWholeRecordAndStartsIt)
{
    Played p;
    ASSERT_TRUE(p.Load(std::string("<ApiClient time=\"0\" name=\"C\">"
                                   "  <Object key=\"jw\" title=\"Demo Jetway\"/><Object key=\"head\" title=\"Demo Head\"/>"
                                   "</ApiClient>") + kJob,
                       "frameRate=\"20\" creationDelay=\"3\""));
    ModuleStandIn module;
    std::vector<uint64_t> startTimes;
    p.PlayUntil(1, [&] {
        module.Pump();
        if (!module.starts.empty() && startTimes.empty()) startTimes.push_back(p.sim.NowMs());
    });
    ASSERT_EQ(module.starts.size(), 1u);
    const auto jetway = p.sim.Objects()[1];  // after the user aircraft
    ASSERT_EQ(jetway.title, "Demo Jetway");
    EXPECT_EQ(module.starts[0].dwData, jetway.id * 10 + 2);
    EXPECT_GE(startTimes[0], 150u);  // not before the creations were answered

    auto bytes = p.sim.ClientData("VELK.JetwayData.In.2");
    ASSERT_TRUE(bytes.has_value());
    JetwayData r;
    ASSERT_TRUE(DecodeJetwayData(bytes->data(), bytes->size(), r));
    EXPECT_EQ(r.JetwayObjectId, jetway.id);
    EXPECT_EQ(r.JetwayType, kJetwayTypeT);
    EXPECT_EQ(r.PeriodMs, 50u);
    EXPECT_EQ(r.KeyframeCount, 80u);
    EXPECT_TRUE(r.Moving.load());
    EXPECT_EQ(r.PlacementPointCount, 4);
    EXPECT_EQ(r.JetwayHeading, 90.0);
    EXPECT_EQ(r.TargetExtension, 21.0);
    EXPECT_GT(r.TargetLegLength, 0.0);
    EXPECT_EQ(CheckJob(r), JobCheck::Ok);
    const LinkedSimObject& head = r.Parts[1];
    EXPECT_EQ(head.GetObjectId(), jetway.id + 1);
    EXPECT_EQ(head.GetSimTitle(), "Demo Head");
    EXPECT_EQ(head.GetLinkType(), LinkType::Head);
    EXPECT_EQ(r.Parts[0].GetObjectId(), 0u);
}

TEST(ScenarioTest, AJetwayJobWhoseObjectCouldNotBeCreatedIsSkipped)
{
    Played p;
    ASSERT_TRUE(p.Load(std::string("<Refuse title=\"Demo Head\"/>"
                                   "<ApiClient time=\"0\" name=\"C\">"
                                   "  <Object key=\"jw\" title=\"Demo Jetway\"/><Object key=\"head\" title=\"Demo Head\"/>"
                                   "</ApiClient>") + kJob));
    ModuleStandIn module;
    p.PlayUntil(1, [&] { module.Pump(); });
    EXPECT_TRUE(module.starts.empty());
    EXPECT_TRUE(p.Saw("JetwayJob for 'jw' skipped: no object 'head'"));
    EXPECT_FALSE(p.Saw("written by 'C'"));
}

// Reads objects' variables as the program asks for them: its weather definition (six INT32) and its date
// and time definition (four FLOAT64, then four INT32).
struct Reader {
    HANDLE h = OpenClient("reader");
    DWORD nextRequest = 1;

    Reader()
    {
        for (auto [name, unit] : {std::pair{"AMBIENT WIND DIRECTION", "Degrees"}, {"AMBIENT WIND VELOCITY", "Knots"},
                                  {"AMBIENT VISIBILITY", "Meters"}, {"AMBIENT PRECIP STATE", "Mask"},
                                  {"AMBIENT TEMPERATURE", "Celsius"}, {"SEA LEVEL PRESSURE", "Hectopascal"}})
            SimConnect_AddToDataDefinition(h, 9, name, unit, SIMCONNECT_DATATYPE_INT32);
        for (const char* name : {"LOCAL MONTH OF YEAR", "LOCAL DAY OF YEAR", "LOCAL DAY OF WEEK", "LOCAL DAY OF MONTH"})
            SimConnect_AddToDataDefinition(h, 5, name, "Number");
        for (auto [name, unit] : {std::pair{"TIME ZONE OFFSET", "Minutes"}, {"ZULU TIME", "Minutes"},
                                  {"TIME OF DAY", "Enum"}, {"LOCAL YEAR", "Number"}})
            SimConnect_AddToDataDefinition(h, 5, name, unit, SIMCONNECT_DATATYPE_INT32);
    }
    ~Reader() { SimConnect_Close(h); }

    std::vector<uint8_t> Read(DWORD definition, DWORD object)
    {
        SimConnect_RequestDataOnSimObject(h, nextRequest++, definition, object, SIMCONNECT_PERIOD_ONCE);
        for (const Message& m : Drain(h))
            if (Kind(m) == SIMCONNECT_RECV_ID_SIMOBJECT_DATA) return Record(m);
        ADD_FAILURE() << "no data for object " << object;
        return {};
    }

    static int32_t IntAt(const std::vector<uint8_t>& record, size_t offset)
    {
        int32_t v = 0;
        if (offset + 4 <= record.size()) std::memcpy(&v, record.data() + offset, 4);
        return v;
    }

    // wind direction, wind speed, visibility, precipitation, temperature, pressure
    std::vector<int32_t> Weather(DWORD object)
    {
        auto record = Read(9, object);
        std::vector<int32_t> out;
        for (size_t i = 0; i < 6; ++i) out.push_back(IntAt(record, i * 4));
        return out;
    }

    // month, day of year, weekday, day of month, zone offset, zulu minutes, time of day, year
    std::vector<int32_t> DateTime()
    {
        auto record = Read(5, SIMCONNECT_OBJECT_ID_USER);
        std::vector<int32_t> out;
        for (size_t i = 0; i < 4; ++i) out.push_back(static_cast<int32_t>(DoubleAt(record, i * 8)));
        for (size_t i = 0; i < 4; ++i) out.push_back(IntAt(record, 32 + i * 4));
        return out;
    }
};

DWORD ObjectOf(const simulator::Simulator& sim, const std::string& title)
{
    for (const auto& o : sim.Objects())
        if (o.title == title) return o.id;
    ADD_FAILURE() << "no object " << title;
    return 0;
}

TEST(ScenarioTest, TheWeatherReachesTheUserAircraftAndEveryObjectOldOrNew)
{
    Played p;
    ASSERT_TRUE(p.Load("<ApiClient time=\"0\" name=\"C\"><Object key=\"early\" title=\"Early Probe\"/></ApiClient>"
                       "<Weather time=\"1\" windDirection=\"90\" windSpeed=\"25\" visibility=\"800\""
                       "         precipitation=\"snow\" temperature=\"-3\" pressure=\"990\"/>"
                       "<Object time=\"2\" client=\"C\" key=\"late\" title=\"Late Probe\"/>"
                       "<Weather time=\"3\" windSpeed=\"5\" precipitation=\"4\"/>"));
    Reader reader;
    const std::vector<int32_t> calm{270, 8, 20000, 2, 15, 1013};
    p.PlayUntil(0.5);
    const DWORD early = ObjectOf(p.sim, "Early Probe");
    EXPECT_EQ(reader.Weather(early), calm);
    EXPECT_EQ(reader.Weather(SIMCONNECT_OBJECT_ID_USER), calm);

    const std::vector<int32_t> snow{90, 25, 800, 8, -3, 990};
    p.PlayUntil(2.5);
    EXPECT_TRUE(p.Saw("weather: AMBIENT WIND DIRECTION = 90 (Degrees), AMBIENT WIND VELOCITY = 25 (Knots), "
                      "AMBIENT VISIBILITY = 800 (Meters), AMBIENT PRECIP STATE = 8 (Mask), "
                      "AMBIENT TEMPERATURE = -3 (Celsius), SEA LEVEL PRESSURE = 990 (Hectopascal)"));
    const DWORD late = ObjectOf(p.sim, "Late Probe");
    for (DWORD object : {early, late, static_cast<DWORD>(SIMCONNECT_OBJECT_ID_USER)})
        EXPECT_EQ(reader.Weather(object), snow) << "object " << object;

    // Only what a step names changes.
    p.PlayUntil(3.5);
    EXPECT_TRUE(p.Saw("weather: AMBIENT WIND VELOCITY = 5 (Knots), AMBIENT PRECIP STATE = 4 (Mask)"));
    const std::vector<int32_t> rain{90, 5, 800, 4, -3, 990};
    for (DWORD object : {early, late, static_cast<DWORD>(SIMCONNECT_OBJECT_ID_USER)})
        EXPECT_EQ(reader.Weather(object), rain) << "object " << object;
    // Units of one kind convert.
    EXPECT_NEAR(*p.sim.Number(late, "AMBIENT VISIBILITY", "Feet"), 2624.67, 0.01);
}

struct DateTimeCase {
    const char* platform;
    const char* element;
    std::vector<int32_t> expected;  // as Reader::DateTime gives them
    const char* note;
};

class ScenarioDateTime : public ::testing::TestWithParam<DateTimeCase> {};

TEST_P(ScenarioDateTime, SetsTheEightVariablesOfTheUserAircraftConsistently)
{
    const DateTimeCase& c = GetParam();
    Played p;
    ASSERT_TRUE(p.Load(std::string("<DateTime time=\"1\" ") + c.element + "/>",
                       std::string("frameRate=\"20\" platform=\"") + c.platform + "\""));
    Reader reader;
    p.PlayUntil(1.5);
    EXPECT_EQ(reader.DateTime(), c.expected);
    EXPECT_TRUE(p.Saw(c.note)) << c.note;
    EXPECT_TRUE(p.warnings.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Days, ScenarioDateTime,
    ::testing::Values(
        // A Wednesday in summer at noon, two hours east of Greenwich; P3Dv4 counts the weekday from 1.
        DateTimeCase{"P3Dv4", "year=\"2026\" month=\"7\" day=\"15\" hour=\"12\" minute=\"0\" zoneOffset=\"-120\"",
                     {7, 196, 4, 15, -120, 600, 1, 2026},
                     "local date and time 2026-07-15 12:00 (day 196 of the year, weekday 4, zulu 10:00, offset -120 "
                     "min, day)"},
        // New Year's Eve of a leap year, late at night west of Greenwich: zulu is past midnight; FSX counts from 0.
        DateTimeCase{"FSX", "year=\"2024\" month=\"12\" day=\"31\" hour=\"23\" minute=\"30\" zoneOffset=\"60\"",
                     {12, 366, 2, 31, 60, 30, 3, 2024},
                     "local date and time 2024-12-31 23:30 (day 366 of the year, weekday 2, zulu 00:30, offset 60 min, "
                     "night)"},
        // A Sunday at dawn, east of Greenwich across midnight backwards.
        DateTimeCase{"P3Dv5", "year=\"2026\" month=\"1\" day=\"4\" hour=\"5\" minute=\"10\" zoneOffset=\"-600\"",
                     {1, 4, 1, 4, -600, 1150, 0, 2026}, "(day 4 of the year, weekday 1, zulu 19:10"},
        // The leap day of a century divisible by 400, at dusk; a time of day given outright wins over the hour.
        DateTimeCase{"P3Dv4", "year=\"2000\" month=\"3\" day=\"1\" hour=\"19\" minute=\"59\"",
                     {3, 61, 4, 1, 0, 1199, 2, 2000}, "2000-03-01 19:59 (day 61 of the year, weekday 4"},
        DateTimeCase{"P3Dv4", "year=\"2000\" month=\"2\" day=\"29\" hour=\"12\" timeOfDay=\"Night\"",
                     {2, 60, 3, 29, 0, 720, 3, 2000}, "(day 60 of the year, weekday 3, zulu 12:00, offset 0 min, night)"}));

TEST(ScenarioTest, ADateTimeKeepsWhatItLeavesOutFromTheOneBefore)
{
    Played p;
    ASSERT_TRUE(p.Load("<DateTime time=\"1\" year=\"2026\" month=\"1\" day=\"12\" hour=\"6\" zoneOffset=\"-60\"/>"
                       "<DateTime time=\"2\" hour=\"19\" minute=\"45\"/>"));
    Reader reader;
    p.PlayUntil(1.5);
    EXPECT_EQ(reader.DateTime(), (std::vector<int32_t>{1, 12, 2, 12, -60, 300, 0, 2026}));
    p.PlayUntil(2.5);
    EXPECT_EQ(reader.DateTime(), (std::vector<int32_t>{1, 12, 2, 12, -60, 1125, 2, 2026}));
}

TEST(ScenarioTest, BadWeatherAndDateTimeAreReportedAndSkipped)
{
    Played p;
    ASSERT_TRUE(p.Load("\n<Weather time=\"1\" windDirection=\"400\"/>"
                       "\n<Weather time=\"1\" precipitation=\"hail\"/>"
                       "\n<Weather time=\"1\"/>"
                       "\n<DateTime time=\"1\" year=\"2025\" month=\"2\" day=\"29\"/>"
                       "\n<DateTime time=\"1\" month=\"4\" day=\"31\"/>"
                       "\n<DateTime time=\"1\" hour=\"24\"/>"
                       "\n<DateTime time=\"1\" minute=\"7.5\"/>"
                       "\n<DateTime time=\"1\" timeOfDay=\"noon\"/>"
                       "\n<DateTime time=\"1\" year=\"2026\" month=\"4\" day=\"30\" zoneOffset=\"nan\"/>"));
    const std::vector<std::string> expected{
        "scenario:2: Weather: attribute 'windDirection' is not a number within 0..360: '400' (element skipped)",
        "scenario:3: Weather: attribute 'precipitation' is not a number within 0..255: 'hail' (element skipped)",
        "scenario:4: Weather: needs at least one of windDirection, windSpeed, visibility, precipitation, "
        "temperature, pressure (element skipped)",
        "scenario:5: DateTime: no such day in that month (element skipped)",
        "scenario:6: DateTime: no such day in that month (element skipped)",
        "scenario:7: DateTime: attribute 'hour' is not a number within 0..23: '24' (element skipped)",
        "scenario:8: DateTime: minute is not whole (element skipped)",
        "scenario:9: DateTime: timeOfDay must be dawn, day, dusk or night (element skipped)",
        "scenario:10: DateTime: attribute 'zoneOffset' is not a number within -1440..1440: 'nan' (element skipped)",
    };
    EXPECT_EQ(p.warnings, expected);
    Reader reader;
    p.PlayUntil(1.5);
    EXPECT_EQ(reader.Weather(SIMCONNECT_OBJECT_ID_USER), (std::vector<int32_t>{270, 8, 20000, 2, 15, 1013}));
    EXPECT_FALSE(p.sim.Number(0, "LOCAL YEAR", "Number").has_value());
    EXPECT_FALSE(p.Saw("weather:"));
    EXPECT_FALSE(p.Saw("local date and time"));
}

TEST(ScenarioTest, HoldsForAClientAreTakenOnceEachInTimeOrderWhenTheirTimeComes)
{
    Played p;
    ASSERT_TRUE(p.Load("\n<WaitClient time=\"20\" name=\"Second\" timeout=\"0\"/>"
                       "\n<WaitClient time=\"10\" name=\" API client \"/>"
                       "\n<WaitClient time=\"5\"/>"
                       "\n<WaitClient time=\"5\" name=\"  \"/>"
                       "\n<WaitClient time=\"5\" name=\"x\" timeout=\"-1\"/>"));
    const std::vector<std::string> expected{
        "scenario:4: WaitClient: needs the attribute 'name' (element skipped)",
        "scenario:5: WaitClient: attribute 'name' is blank (element skipped)",
        "scenario:6: WaitClient: attribute 'timeout' is not a number within 0..10000000: '-1' (element skipped)",
    };
    EXPECT_EQ(p.warnings, expected);

    EXPECT_FALSE(p.scenario.TakeHold(9999).has_value());
    // Both due at once: the earlier first, then the later, then none.
    auto first = p.scenario.TakeHold(20000);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->atMs, 10000u);
    EXPECT_EQ(first->name, "API client");
    EXPECT_EQ(first->timeoutSeconds, 60.0);
    auto second = p.scenario.TakeHold(20000);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->atMs, 20000u);
    EXPECT_EQ(second->name, "Second");
    EXPECT_EQ(second->timeoutSeconds, 0.0);
    EXPECT_FALSE(p.scenario.TakeHold(1u << 30).has_value());
}

}  // namespace
