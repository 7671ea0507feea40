// The picture of the world from above: what is taken from the simulator, where it lands on the picture,
// that the file is well-formed XML whatever the titles hold, and simhost's --map and --map-at.
#include "SimTestSupport.h"

#include "foundation/Units.h"
#include "simulator/AircraftDoors.h"
#include "simulator/MapPicture.h"
#include "simulator/PlacedNames.h"

#include <tinyxml2.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

using namespace simtest;
using simulator::MapItem;
using simulator::MapKind;
using simulator::MapScene;

namespace {

constexpr double kEarthRadiusM = 6378137.0;
constexpr double kLat = 48.1, kLon = 11.5;

// The place eastM and northM metres from (latitude, longitude).
std::pair<double, double> Offset(double latitude, double longitude, double eastM, double northM)
{
    return {latitude + northM / kEarthRadiusM * units::kDegreesPerRadian,
            longitude + eastM / (kEarthRadiusM * std::cos(latitude * units::kRadiansPerDegree)) * units::kDegreesPerRadian};
}

MapItem Item(simulator::ObjectId id, const std::string& title, MapKind kind, double eastM, double northM,
             double headingDeg = 0)
{
    MapItem item;
    item.id = id;
    item.title = title;
    item.kind = kind;
    std::tie(item.latitudeDeg, item.longitudeDeg) = Offset(kLat, kLon, eastM, northM);
    item.headingDeg = headingDeg;
    return item;
}

// One drawn item as the picture holds it.
struct Drawn {
    std::string kind, label, title, shows;
    double x = 0, y = 0;
    int doors = 0;
    int servedDoors = 0;  // of them, marked as reached by a jetway
};

struct Picture {
    bool parsed = false;
    std::string error;
    std::map<std::string, Drawn> items;  // by element id
    std::vector<std::string> ids;        // every id attribute
    int panels = 0, joins = 0;            // joins on the main map
    std::multiset<std::string> close;     // kinds of the items in the close views
    std::vector<std::string> counts;     // the counts line of each panel
    std::string text;                    // every text node, joined
};

void Walk(const tinyxml2::XMLElement* e, Picture& p)
{
    for (; e; e = e->NextSiblingElement()) {
        const std::string name = e->Name();
        const char* id = e->Attribute("id");
        const char* cls = e->Attribute("class");
        const std::string klass = cls ? cls : "";
        if (id) p.ids.push_back(id);
        if (name == "g" && klass == "panel") ++p.panels;
        if (name == "g" && klass == "close-view") {  // drawn again at a larger scale: not the map's list
            for (auto* c = e->FirstChildElement(); c; c = c->NextSiblingElement())
                if (c->Attribute("class") && std::string(c->Attribute("class")).rfind("close-item ", 0) == 0)
                    p.close.insert(std::string(c->Attribute("class")).substr(11));
            continue;
        }
        if (name == "line" && klass == "join") ++p.joins;
        if (name == "text" && id && std::string(id).find("counts") != std::string::npos)
            p.counts.push_back(e->GetText() ? e->GetText() : "");
        if (e->GetText()) p.text += std::string(e->GetText()) + "\n";
        if (name == "g" && klass.rfind("item ", 0) == 0 && id) {
            Drawn d;
            d.kind = klass.substr(5);
            const char* transform = e->Attribute("transform");
            EXPECT_TRUE(transform && std::sscanf(transform, "translate(%lf %lf)", &d.x, &d.y) == 2) << id;
            for (auto* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
                const std::string cname = c->Name();
                const char* ccls = c->Attribute("class");
                const char* text = c->GetText() ? c->GetText() : "";
                if (cname == "title") d.title = text;
                if (cname == "text" && ccls && std::string(ccls) == "label") d.label = text;
                if (cname == "text" && ccls && std::string(ccls) == "shows") d.shows = text;
                if (cname == "g")
                    for (auto* s = c->FirstChildElement(); s; s = s->NextSiblingElement()) {
                        const std::string sc = s->Attribute("class") ? s->Attribute("class") : "";
                        d.doors += sc == "door" || sc == "door served";
                        d.servedDoors += sc == "door served";
                    }
            }
            p.items[id] = d;
        }
        Walk(e->FirstChildElement(), p);
    }
}

Picture Parse(const std::string& svg)
{
    Picture p;
    tinyxml2::XMLDocument doc;
    p.parsed = doc.Parse(svg.c_str(), svg.size()) == tinyxml2::XML_SUCCESS;
    if (!p.parsed) {
        p.error = doc.ErrorStr() ? doc.ErrorStr() : "?";
        return p;
    }
    const tinyxml2::XMLElement* root = doc.RootElement();
    EXPECT_STREQ(root->Name(), "svg");
    EXPECT_STREQ(root->Attribute("xmlns"), "http://www.w3.org/2000/svg");
    Walk(root, p);
    return p;
}

std::string Slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(MapPicture, TitlesNameTheKindOfObject)
{
    const std::pair<const char*, MapKind> cases[] = {
        {"Quorvath_VELK_JetwayA", MapKind::Jetway},        {"Quorvath_VELK_JetwayA_Static", MapKind::Jetway},
        {"Quorvath_VELK_JetwayA_Head", MapKind::JetwayPart}, {"Demo Jetway Bridge", MapKind::JetwayPart},
        {"Quorvath_VELK_VDGS_Std_M", MapKind::Vdgs},        {"Docking Guidance B3", MapKind::Vdgs},
        {"Quorvath_VELK_GateNumberBox", MapKind::GateNumber}, {"Gate Number A1", MapKind::GateNumber},
        {"Quorvath_VELK_GPU", MapKind::Object},             {"", MapKind::Object},
    };
    for (const auto& [title, kind] : cases) {
        SCOPED_TRACE(title);
        EXPECT_EQ(simulator::MapKindOfTitle(title), kind);
    }
}

// A small world in the simulator: the user aircraft, an AI aircraft, a jetway with its head, a guidance
// display, a gate number box, a truck with markup in its title, a floodlight across the apron and an object
// far away.
TEST(MapPicture, SmallWorldTakenFromTheSimulatorAndDrawn)
{
    simulator::Simulator sim;
    sim.ServeInProcess();
    HANDLE client = OpenClient("Scenery");
    ASSERT_TRUE(client);
    sim.SetUserPosition(kLat, kLon, 1650, 0, 0, 0);
    sim.SetText(0, "TITLE", "Airbus A320");

    simulator::AiAircraft ai;
    ai.title = "Boeing 737-800";
    std::tie(ai.latitude, ai.longitude) = Offset(kLat, kLon, -60, 0);
    ai.headingDegrees = 180;
    const auto aiId = sim.AddAiAircraft(ai);

    const std::string truck = "Fuel <Truck> & \"Co\" 'A'";
    struct Creation {
        std::string title;
        double eastM, northM, headingDeg;
    };
    const Creation creations[] = {
        {"Quorvath_VELK_JetwayA", -20, 40, 180},    {"Quorvath_VELK_JetwayA_Head", -8, 22, 135},
        {"Quorvath_VELK_VDGS_Std_M", 0, 60, 180},   {"Quorvath_VELK_GateNumberBox", -22, 44, 180},
        {truck, 50, 0, 90},                          {"Far Away Hangar", 9000, 0, 0},
        {"Apron Floodlight", 0, -200, 0},
    };
    std::map<std::string, DWORD> ids;
    DWORD request = 1;
    for (const Creation& c : creations) {
        const auto [lat, lon] = Offset(kLat, kLon, c.eastM, c.northM);
        SIMCONNECT_DATA_INITPOSITION pos{lat, lon, 1650, 0, 0, c.headingDeg, 1, 0};
        ASSERT_EQ(SimConnect_AICreateSimulatedObject(client, c.title.c_str(), pos, request++), S_OK);
        auto assigned = OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(Drain(client), SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
        ASSERT_EQ(assigned.size(), 1u) << c.title;
        ids[c.title] = assigned[0].dwObjectID;
    }
    // The guidance display's reading: 12.5 m to the stop.
    ASSERT_TRUE(sim.SetNumber(ids["Quorvath_VELK_VDGS_Std_M"], "VELOCITY WORLD X", "Number", 12.5));
    sim.Advance(1500);

    const MapScene scene = simulator::CaptureMap(sim);
    EXPECT_DOUBLE_EQ(scene.seconds, static_cast<double>(sim.NowMs()) / 1000.0);
    ASSERT_EQ(scene.items.size(), 9u);
    std::map<std::string, MapKind> kinds;
    for (const MapItem& item : scene.items) kinds[item.title] = item.kind;
    EXPECT_EQ(kinds["Airbus A320"], MapKind::UserAircraft);
    EXPECT_EQ(kinds["Boeing 737-800"], MapKind::AiAircraft);
    EXPECT_EQ(kinds["Quorvath_VELK_JetwayA"], MapKind::Jetway);
    EXPECT_EQ(kinds["Quorvath_VELK_JetwayA_Head"], MapKind::JetwayPart);
    EXPECT_EQ(kinds["Quorvath_VELK_VDGS_Std_M"], MapKind::Vdgs);
    EXPECT_EQ(kinds["Quorvath_VELK_GateNumberBox"], MapKind::GateNumber);
    EXPECT_EQ(kinds[truck], MapKind::Object);

    const std::string svg = simulator::DrawMap({scene});
    const Picture p = Parse(svg);
    ASSERT_TRUE(p.parsed) << p.error;
    EXPECT_EQ(p.panels, 1);
    // One element per object and aircraft within reach, labelled with its title; the far one left out.
    ASSERT_EQ(p.items.size(), 8u);
    const std::string user = "p0-item-" + std::to_string(sim.UserAircraftId());
    const std::pair<std::string, std::string> expected[] = {
        {user, "user-aircraft"},
        {"p0-item-" + std::to_string(aiId), "ai-aircraft"},
        {"p0-item-" + std::to_string(ids["Quorvath_VELK_JetwayA"]), "jetway"},
        {"p0-item-" + std::to_string(ids["Quorvath_VELK_JetwayA_Head"]), "jetway-part"},
        {"p0-item-" + std::to_string(ids["Quorvath_VELK_VDGS_Std_M"]), "vdgs"},
        {"p0-item-" + std::to_string(ids["Quorvath_VELK_GateNumberBox"]), "gate-number"},
        {"p0-item-" + std::to_string(ids[truck]), "object"},
    };
    for (const auto& [id, kind] : expected) {
        SCOPED_TRACE(id);
        ASSERT_TRUE(p.items.count(id));
        EXPECT_EQ(p.items.at(id).kind, kind);
    }
    EXPECT_EQ(p.items.at(user).label, "Airbus A320");
    const Drawn& drawnTruck = p.items.at("p0-item-" + std::to_string(ids[truck]));
    EXPECT_EQ(drawnTruck.label, truck);  // escaped in the file, the same text once read
    EXPECT_EQ(drawnTruck.title, truck);
    EXPECT_EQ(p.items.at("p0-item-" + std::to_string(ids["Quorvath_VELK_VDGS_Std_M"])).shows, "distance 12.5 m");
    EXPECT_EQ(p.joins, 1);  // the head joined to its jetway
    // The close view around the user aircraft: what lies within 60 m of it, the far side of the apron not.
    EXPECT_EQ(p.close, (std::multiset<std::string>{"user-aircraft", "ai-aircraft", "jetway", "jetway-part", "vdgs",
                                                   "gate-number", "object"}));
    ASSERT_EQ(p.counts.size(), 1u);
    EXPECT_NE(p.counts[0].find("1 farther than 3000 m left out"), std::string::npos) << p.counts[0];

    // East is right, north is up.
    const Drawn& u = p.items.at(user);
    EXPECT_GT(drawnTruck.x, u.x + 10);
    EXPECT_NEAR(drawnTruck.y, u.y, 0.5);
    const Drawn& vdgs = p.items.at("p0-item-" + std::to_string(ids["Quorvath_VELK_VDGS_Std_M"]));
    EXPECT_LT(vdgs.y, u.y - 10);
    EXPECT_NEAR(vdgs.x, u.x, 0.5);

    // The same world gives the same file.
    EXPECT_EQ(simulator::DrawMap({simulator::CaptureMap(sim)}), svg);
    SimConnect_Close(client);
}

// Offsets of 100 m in every direction, and across the date line, land where a map reader expects them.
TEST(MapPicture, DirectionsOnThePicture)
{
    struct Case {
        const char* name;
        double eastM, northM;
        int sx, sy;  // expected sign of the picture's x and y difference (y grows downwards)
    } cases[] = {
        {"north", 0, 100, 0, -1}, {"south", 0, -100, 0, 1}, {"east", 100, 0, 1, 0},
        {"west", -100, 0, -1, 0}, {"north-east", 70, 70, 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MapScene scene;
        scene.items = {Item(1, "User", MapKind::UserAircraft, 0, 0), Item(2, "Thing", MapKind::Object, c.eastM, c.northM)};
        const Picture p = Parse(simulator::DrawMap({scene}));
        ASSERT_TRUE(p.parsed) << p.error;
        ASSERT_EQ(p.items.size(), 2u);
        const double dx = p.items.at("p0-item-2").x - p.items.at("p0-item-1").x;
        const double dy = p.items.at("p0-item-2").y - p.items.at("p0-item-1").y;
        auto sign = [](double v) { return std::fabs(v) < 0.5 ? 0 : v > 0 ? 1 : -1; };
        EXPECT_EQ(sign(dx), c.sx) << dx;
        EXPECT_EQ(sign(dy), c.sy) << dy;
        // One scale for both axes.
        if (c.sx && c.sy) {
            EXPECT_NEAR(std::fabs(dx), std::fabs(dy), 1.0);
        }
    }

    // 0.0014 degrees (about 150 m) across the date line, east and west of the aircraft.
    for (const double east : {1.0, -1.0}) {
        SCOPED_TRACE(east);
        MapScene scene;
        MapItem user = Item(1, "User", MapKind::UserAircraft, 0, 0);
        user.latitudeDeg = 10;
        user.longitudeDeg = east * 179.9993;
        MapItem beyond = Item(2, "Beyond", MapKind::Object, 0, 0);
        beyond.latitudeDeg = 10;
        beyond.longitudeDeg = -east * 179.9993;
        scene.items = {user, beyond};
        const Picture p = Parse(simulator::DrawMap({scene}));
        ASSERT_EQ(p.items.size(), 2u);
        const double dx = p.items.at("p0-item-2").x - p.items.at("p0-item-1").x;
        EXPECT_GT(east * dx, 10);
        EXPECT_LT(east * dx, 800);
    }
}

TEST(MapPicture, TextIsEscapedForXml)
{
    const std::pair<std::string, std::string> cases[] = {
        {"<a & b>", "&lt;a &amp; b&gt;"},
        {"say \"hi\" 'there'", "say &quot;hi&quot; &apos;there&apos;"},
        {"bell\x07 tab\t", "bell? tab\t"},
        {"Z\xc3\xbcrich \xe2\x86\x92 gate", "Z\xc3\xbcrich \xe2\x86\x92 gate"},  // kept whole
        {"bad \xff byte", "bad ? byte"},
        {"cut \xc3", "cut ?"},
        {"overlong \xc0\xaf", "overlong ??"},
        {"surrogate \xed\xa0\x80", "surrogate ???"},
    };
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(out);
        EXPECT_EQ(simulator::XmlEscape(in), out);
    }

    // Every such title in one picture: still well-formed, and each reads back as its escaped text.
    MapScene scene;
    scene.items.push_back(Item(1, "User </text><evil/>", MapKind::UserAircraft, 0, 0));
    simulator::ObjectId id = 2;
    for (const auto& [in, out] : cases) {
        scene.items.push_back(Item(id, in, MapKind::Object, 10.0 * id, 0));
        ++id;
    }
    scene.items[1].text = "shows <&>";
    const Picture p = Parse(simulator::DrawMap({scene}));
    ASSERT_TRUE(p.parsed) << p.error;
    EXPECT_EQ(p.items.at("p0-item-1").label, "User </text><evil/>");
    EXPECT_EQ(p.items.at("p0-item-2").label, "<a & b>");
    EXPECT_EQ(p.items.at("p0-item-2").shows, "shows <&>");
    EXPECT_EQ(p.items.at("p0-item-4").title, "bell? tab\t");
}

TEST(MapPicture, EmptyWorldGivesAValidPicture)
{
    // Nothing at all, a scene without items, and a fresh simulator whose aircraft has no place yet.
    simulator::Simulator sim;
    const MapScene fresh = simulator::CaptureMap(sim);
    EXPECT_TRUE(fresh.items.empty());
    EXPECT_EQ(fresh.unplaced, 1);
    for (const auto& scenes : {std::vector<MapScene>{}, std::vector<MapScene>{MapScene{}}, std::vector{fresh}}) {
        const Picture p = Parse(simulator::DrawMap(scenes));
        ASSERT_TRUE(p.parsed) << p.error;
        EXPECT_EQ(p.panels, 1);
        EXPECT_TRUE(p.items.empty());
        EXPECT_NE(p.text.find("nothing to draw"), std::string::npos);
    }
    EXPECT_NE(Parse(simulator::DrawMap({fresh})).counts[0].find("1 without a place left out"), std::string::npos);

    // Places that are not numbers are left out as well, and a heading that is not one draws as north.
    MapScene odd;
    odd.items = {Item(1, "User", MapKind::UserAircraft, 0, 0, NAN), Item(2, "Lost", MapKind::Object, 0, 0),
                 Item(3, "Beyond the pole", MapKind::Object, 0, 0)};
    odd.items[1].longitudeDeg = NAN;
    odd.items[2].latitudeDeg = 95;
    const Picture p = Parse(simulator::DrawMap({odd}));
    ASSERT_TRUE(p.parsed) << p.error;
    EXPECT_EQ(p.items.size(), 1u);
    EXPECT_EQ(p.text.find("nan"), std::string::npos);
    EXPECT_NE(p.counts[0].find("2 without a place left out"), std::string::npos) << p.counts[0];
}

TEST(MapPicture, OnePanelPerTimeWithUniqueIds)
{
    std::vector<MapScene> scenes(3);
    for (size_t i = 0; i < scenes.size(); ++i) {
        scenes[i].seconds = 10.0 * static_cast<double>(i);
        scenes[i].items = {Item(1, "User", MapKind::UserAircraft, 0, 0),
                           Item(7, "Jetway", MapKind::Jetway, 30, 10.0 * static_cast<double>(i))};
    }
    const Picture p = Parse(simulator::DrawMap(scenes));
    ASSERT_TRUE(p.parsed) << p.error;
    EXPECT_EQ(p.panels, 3);
    EXPECT_EQ(p.items.size(), 6u);
    EXPECT_EQ(std::set<std::string>(p.ids.begin(), p.ids.end()).size(), p.ids.size());
    EXPECT_NE(p.text.find("World at 20.000 s"), std::string::npos);
}

TEST(MapPicture, DoorsMarkedWhereKnown)
{
    MapScene scene;
    scene.items = {Item(1, "User", MapKind::UserAircraft, 0, 0, 90), Item(2, "AI", MapKind::AiAircraft, 0, 80)};
    scene.items[0].doors = {{"L1", 14, -2}, {"L2", -10, -2}, {"broken", NAN, 0}};
    // A jetway's head at door L1 (heading 90: forward is east, left is north).
    scene.items.push_back(Item(3, "Jetway Head", MapKind::JetwayPart, 14, 2));
    const std::string svg = simulator::DrawMap({scene});
    const Picture p = Parse(svg);
    ASSERT_TRUE(p.parsed) << p.error;
    EXPECT_EQ(p.items.at("p0-item-1").doors, 2);
    EXPECT_EQ(p.items.at("p0-item-1").servedDoors, 1);
    EXPECT_EQ(p.items.at("p0-item-2").doors, 0);
    // The close view names the doors it draws.
    for (const char* name : {"L1", "L2"})
        EXPECT_NE(svg.find(std::string(">") + name + "</text>"), std::string::npos) << name;
    EXPECT_NE(svg.find("class=\"door-name\""), std::string::npos);
}

TEST(MapPicture, PathsThatCannotBeWrittenAreRefused)
{
    TempMachineRoot root;
    const std::filesystem::path folder = root.Root();
    std::string error;
    const std::pair<std::string, const char*> bad[] = {
        {(folder / "no-such-folder" / "map.svg").string(), "No such file or directory"},
        {folder.string(), "it is a folder"},
        {"", "no file named"},
    };
    for (const auto& [path, why] : bad) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(simulator::CheckMapPath(path, &error));
        EXPECT_NE(error.find("cannot write the map '" + path + "'"), std::string::npos) << error;
        EXPECT_NE(error.find(why), std::string::npos) << error;
        EXPECT_FALSE(simulator::WriteMap(path, {}, &error));
    }
    // A good path is accepted and left as it was: absent stays absent, a file stays.
    const auto fresh = folder / "map.svg";
    EXPECT_TRUE(simulator::CheckMapPath(fresh.string(), &error)) << error;
    EXPECT_FALSE(std::filesystem::exists(fresh));
    std::ofstream(fresh) << "old";
    EXPECT_TRUE(simulator::CheckMapPath(fresh.string(), &error)) << error;
    EXPECT_EQ(Slurp(fresh), "old");
    ASSERT_TRUE(simulator::WriteMap(fresh.string(), {MapScene{}}, &error)) << error;
    EXPECT_TRUE(Parse(Slurp(fresh)).parsed);
}

// ---- simhost --map ----

struct SimhostRun {
    int status = -1;
    std::string out, err;
};

SimhostRun Simhost(const std::filesystem::path& folder, const std::string& args)
{
    const auto out = folder / "out.txt", err = folder / "err.txt";
    const std::string command = std::string(SIMHOST_PATH) + " --machine-root '" + folder.string() + "' " + args +
                                " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int raw = std::system(command.c_str());
    SimhostRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = Slurp(out);
    run.err = Slurp(err);
    return run;
}

class SimhostMap : public ::testing::Test {
protected:
    testsupport::TempMachineRoot root{{.label = "map", .shortPath = true, .exportRoot = false, .driveC = false}};
    const std::string scenario = std::string(VELK_TEST_SOURCE_DIR) + "/fixtures/smoke_scenario.xml";
};

TEST_F(SimhostMap, PicturesAtTheAskedTimesInOneFile)
{
    const auto map = root.Root() / "world map.svg";
    // 99 s is past the scenario's end (3 s): that picture is taken at the end.
    const SimhostRun run = Simhost(root.Root(), "--scenario '" + scenario + "' --map '" + map.string() + "' --map-at 2.5,0.5,99");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("map written to " + map.string()), std::string::npos) << run.out;
    const Picture p = Parse(Slurp(map));
    ASSERT_TRUE(p.parsed) << p.error;
    EXPECT_EQ(p.panels, 3);
    EXPECT_NE(p.text.find("World at 0.500 s"), std::string::npos) << p.text;
    EXPECT_NE(p.text.find("World at 2.500 s"), std::string::npos) << p.text;
    EXPECT_NE(p.text.find("World at 3.000 s"), std::string::npos) << p.text;
    // The AI aircraft comes at 1 s: not in the first picture, in the others.
    int ai = 0;
    for (const auto& [id, d] : p.items) ai += d.label == "Boeing 737-800";
    EXPECT_EQ(ai, 2);

    // Without --map-at: one picture at the end, the same each run.
    const SimhostRun once = Simhost(root.Root(), "--scenario '" + scenario + "' --quiet --map '" + map.string() + "'");
    ASSERT_EQ(once.status, 0) << once.err;
    const std::string first = Slurp(map);
    EXPECT_EQ(Parse(first).panels, 1);
    ASSERT_EQ(Simhost(root.Root(), "--scenario '" + scenario + "' --quiet --map '" + map.string() + "'").status, 0);
    EXPECT_EQ(Slurp(map), first);
}

TEST_F(SimhostMap, BadMapOptionsEndSimhostAtOnce)
{
    const struct {
        std::string args, message;
    } cases[] = {
        {"--map '" + (root.Root() / "missing" / "m.svg").string() + "'",
         "simhost: cannot write the map '" + (root.Root() / "missing" / "m.svg").string() + "': No such file or directory"},
        {"--map '" + root.Path() + "'", "it is a folder"},
        {"--map-at 5", "simhost: --map-at needs --map FILE.svg"},
        {"--map '" + root.Path() + "/m.svg' --map-at 1,x", "--map-at needs seconds separated by commas, not '1,x'"},
        {"--map", "--map needs a value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const SimhostRun run = Simhost(root.Root(), "--scenario '" + scenario + "' " + c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("listening at"), std::string::npos);  // refused before anything ran
    }
    EXPECT_FALSE(std::filesystem::exists(root.Root() / "m.svg"));
}

}  // namespace

// The doors come from the aircraft.cfg [exits]: feet to metres, named by their comment, bad lines skipped.
TEST(MapDoors, ExitsOfAnAircraftCfg)
{
    const std::string cfg =
        "[fltsim.0]\ntitle=T\n[EXITS]\nnumber_of_exits=4\n"
        "exit.0=0.4, 42.5, -6.2, 1.0, 0    // 1L\n"
        "exit.1=0.4, -43.0, 5.4, 1.6, 0\n"
        "exit.2=0.4, nonsense, 5.4, 1.6, 0 // broken\n"
        "exit.3=0.4, 10\n"
        "[contact_points]\nexit.9=0.4, 1, 1, 1, 0\n";
    const auto doors = simulator::ParseAircraftExits(cfg);
    ASSERT_EQ(doors.size(), 2u);
    EXPECT_EQ(doors[0].name, "1L");
    EXPECT_NEAR(doors[0].forwardM, 42.5 * 0.3048, 1e-9);
    EXPECT_NEAR(doors[0].rightM, -6.2 * 0.3048, 1e-9);
    EXPECT_EQ(doors[1].name, "exit 1");
    EXPECT_TRUE(simulator::ParseAircraftExits("").empty());
    // Unnamed doors on the left get the program's names, counted among the left doors.
    const auto unnamed = simulator::ParseAircraftExits(
        "[exits]\nexit.0=0.4, 43, -6, 2.8, 0\nexit.1=0.4, 43, 6, 2.8, 0\nexit.2=0.4, -40, -5.8, 3, 0\n");
    ASSERT_EQ(unnamed.size(), 3u);
    EXPECT_EQ(unnamed[0].name, "1L");
    EXPECT_EQ(unnamed[1].name, "exit 1");
    EXPECT_EQ(unnamed[2].name, "2L");

    EXPECT_EQ(simulator::MachinePath("/m", "C:\\P3D\\A\\a.air"), "/m/c/P3D/A/a.air");
    EXPECT_EQ(simulator::MachinePath("/m", "relative\\a.air"), "");
    EXPECT_EQ(simulator::MachinePath("", "C:\\a.air"), "");
}

// The user aircraft's doors through its .air path, an AI aircraft's through its title in a folder beside it;
// the sample machine's user and AI aircraft get theirs on the map.
TEST(MapDoors, FoundUnderTheMachineRoot)
{
    const std::filesystem::path root = std::filesystem::path(::testing::TempDir()) / "map-doors-root";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root / "c/Sim/Planes/User");
    std::filesystem::create_directories(root / "c/Sim/Planes/Other");
    std::ofstream(root / "c/Sim/Planes/User/aircraft.cfg") << "[fltsim.0]\ntitle=U\n[exits]\nexit.0=0.4, 10, -5, 1, 0 // 1L\n";
    std::ofstream(root / "c/Sim/Planes/Other/aircraft.cfg") << "[fltsim.0]\ntitle=AI One\n[exits]\nexit.0=0.4, 20, -4, 1, 0\nexit.1=0.4, 20, 4, 1, 0\n";
    const std::string air = "C:\\Sim\\Planes\\User\\u.air";
    EXPECT_EQ(simulator::DoorsOfAirFile(root.string(), air).size(), 1u);
    EXPECT_EQ(simulator::DoorsOfTitle(root.string(), air, "AI One").size(), 2u);
    EXPECT_TRUE(simulator::DoorsOfTitle(root.string(), air, "Nobody").empty());
    EXPECT_TRUE(simulator::DoorsOfAirFile(root.string(), "C:\\Nowhere\\x.air").empty());

    // The program's AircraftExits.ini replaces the doors of the aircraft its section names
    // ("ui_createdby:sim" contains it); the first such section counts.
    std::filesystem::create_directories(root / "c/ProgramData/Quorvath/VELK");
    std::ofstream(root / "c/Sim/Planes/Other/aircraft.cfg")
        << "[fltsim.0]\ntitle=AI One\nsim=Other_Model\nui_createdby=Fleet\n[exits]\nexit.0=0.4, 20, -4, 1, 0\n";
    std::ofstream(root / "c/ProgramData/Quorvath/VELK/AircraftExits.ini")
        << "; custom exits\n[Fleet:Someone_Else]\nexit.0=0.4, 1, -1, 1, 0\n"
           "[Fleet:Other]\nexit.0=0.4, 20, -4, 1, 0\nexit.1=0.4, -20, -4, 1, 0\n[Fleet:Other_Model]\nexit.0=1, 2, -3, 4, 0\n";
    const auto custom = simulator::DoorsOfTitle(root.string(), air, "AI One");
    ASSERT_EQ(custom.size(), 2u);
    EXPECT_EQ(custom[1].name, "2L");
    EXPECT_NEAR(custom[1].forwardM, -20 * 0.3048, 1e-9);
    EXPECT_EQ(simulator::DoorsOfAirFile(root.string(), air).size(), 1u);  // not named by any section
    std::filesystem::remove_all(root);
}

// The names a scenery author gave: a stand's designator letter and number, every placement of a SimObject.
TEST(MapNames, PlacementFilesGiveTheAuthorsNames)
{
    const auto names = simulator::ParsePlacedNames(
        "<VELK><SimObject Name=\"Windsock\"><Placement Lat=\"48.1\" Lon=\"11.5\"/><Model SimTitle=\"Sock\"/></SimObject>"
        "<Stand AfcadGateName=\"GATE_B\" AfcadParkingNumber=\"22\" CustomDesignator=\"Pier B;22\">"
        "<SimObject Name=\"B22 Jetway Front\"><Placement Lat=\"48.2\" Lon=\"11.6\"/><Placement Lat=\"48.3\" Lon=\"11.7\"/>"
        "<Model SimTitle=\"Jw\" StaticSimTitle=\"Jw_Static\"/></SimObject></Stand>"
        "<Stand AfcadGateName=\"GATE_A\" AfcadParkingNumber=\"1\"><SimObject Name=\"A1 VDGS\">"
        "<Placement Lat=\"48.4\" Lon=\"11.8\"/><Model SimTitle=\"D\"/></SimObject></Stand></VELK>");
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0].name, "Windsock");
    EXPECT_EQ(names[0].stand, "");
    EXPECT_EQ(names[1].stand, "B22");
    EXPECT_EQ(names[2].name, "B22 Jetway Front");
    EXPECT_DOUBLE_EQ(names[2].latitudeDeg, 48.3);
    EXPECT_EQ(names[2].titles, (std::vector<std::string>{"Jw", "Jw_Static"}));
    EXPECT_EQ(names[3].stand, "GATE_A 1");
    EXPECT_TRUE(simulator::ParsePlacedNames("<VELK><SimObject").empty());
}

// Labels name what the author placed: the object on a placement with one of its titles gets its name (a
// display and a gate number box their stand's); an object off the placement or of another title keeps its
// title.
TEST(MapNames, ItemsOnAPlacementAreLabelledByTheirAuthorsName)
{
    struct Row {
        const char* title;
        MapKind kind;
        double offsetM;  // from the placement, east
        const char* label;
    };
    const Row rows[] = {
        {"Quorvath_VELK_JetwayH", MapKind::Jetway, 0.3, "B22 Jetway Front"},
        {"QUORVATH_VELK_JETWAYH_STATIC", MapKind::Jetway, 0, "B22 Jetway Front"},
        {"Quorvath_VELK_VDGS_Honeywell_M", MapKind::Vdgs, 0, "B22 display"},
        {"Quorvath_VELK_GateNumberBox", MapKind::GateNumber, 0, "B22 gate number"},
        {"Quorvath_VELK_JetwayH", MapKind::Jetway, 2.0, ""},
        {"Quorvath_VELK_Windsock", MapKind::Object, 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        MapScene scene;
        scene.items = {Item(1, "User", MapKind::UserAircraft, -40, 0), Item(2, row.title, row.kind, row.offsetM, 0)};
        simulator::PlacedName placed;
        std::tie(placed.latitudeDeg, placed.longitudeDeg) = Offset(kLat, kLon, 0, 0);
        placed.name = row.kind == MapKind::Jetway ? "B22 Jetway Front" : "B22 Thing";
        placed.stand = "B22";
        placed.titles = {"Quorvath_VELK_JetwayH", "Quorvath_VELK_JetwayH_Static", "Quorvath_VELK_VDGS_Honeywell",
                         "Quorvath_VELK_GateNumberBox"};
        simulator::NamePlacedItems(scene, {placed});
        EXPECT_EQ(scene.items[1].label, row.label);
        EXPECT_EQ(scene.items[0].label, "");
        const Picture p = Parse(simulator::DrawMap({scene}));
        ASSERT_TRUE(p.parsed) << p.error;
        EXPECT_EQ(p.items.at("p0-item-2").label, *row.label ? row.label : row.title);
        EXPECT_EQ(p.items.at("p0-item-2").title, row.title);  // the tooltip keeps the title
    }
}

// Where labels have no room (eighty objects on one spot), each of the rest gets a number at its place and
// its label in the key beside the map; every object keeps one or the other.
TEST(MapNames, LabelsWithoutRoomGoToANumberedKey)
{
    MapScene scene;
    scene.items.push_back(Item(1, "User", MapKind::UserAircraft, -300, 0));
    for (int i = 0; i < 80; ++i)
        scene.items.push_back(Item(static_cast<simulator::ObjectId>(10 + i), "Cone " + std::to_string(i), MapKind::Object,
                                   0.01 * i, 0));
    const std::string svg = simulator::DrawMap({scene});
    const Picture p = Parse(svg);
    ASSERT_TRUE(p.parsed) << p.error;
    size_t labelled = 0;
    for (const auto& [id, drawn] : p.items) labelled += drawn.kind == "object" && !drawn.label.empty();
    size_t numbers = 0, entries = 0;
    for (size_t at = svg.find("class=\"key-number\""); at != std::string::npos; at = svg.find("class=\"key-number\"", at + 1))
        ++numbers;
    for (size_t at = svg.find("class=\"key-entry\""); at != std::string::npos; at = svg.find("class=\"key-entry\"", at + 1))
        ++entries;
    EXPECT_GT(numbers, 0u);
    EXPECT_EQ(labelled + numbers, 80u);
    // What the key has no room for is counted.
    size_t more = 0;
    if (const size_t at = svg.find(">and "); at != std::string::npos) more = std::stoul(svg.substr(at + 5));
    EXPECT_EQ(entries + more, numbers);
    EXPECT_NE(svg.find(">1  Cone "), std::string::npos);
    EXPECT_NE(svg.find("Labels without room on the map:"), std::string::npos);
}
