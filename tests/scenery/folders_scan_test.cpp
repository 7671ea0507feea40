// The scan of the container folders: sim.cfg and aircraft.cfg entries, model status, the missing-model
// check over the placed objects, lookups, dumps and hostile files.
#include "folders_fixture.h"

#include "objects/SimObjectList.h"

#include <cstring>
#include <functional>
#include <set>

namespace {

using folders_testing::FoldersTest;
using folders_testing::Strings;
using Map = std::map<std::string, std::string>;

const std::string kObjects = "C:\\Sim\\Objects";
const std::string kAircraft = "C:\\Sim\\Aircraft";

// The leading chunks of a model file, enough for the header reader: GUID bytes 00 11 .. FF.
std::string ModelFileBytes()
{
    auto u32 = [](uint32_t v) {
        std::string out(4, '\0');
        for (int i = 0; i < 4; ++i) out[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
        return out;
    };
    auto chunk = [&](const std::string& tag, const std::string& data) {
        return tag + u32(static_cast<uint32_t>(data.size())) + data;
    };
    std::string guid;
    for (int i = 0; i < 16; ++i) guid.push_back(static_cast<char>(i * 0x11));
    const float radius = 12.5f;
    uint32_t radiusBits = 0;
    std::memcpy(&radiusBits, &radius, sizeof radiusBits);
    const std::string body = "MDLX" + chunk("MDLH", std::string(8, 'h')) + chunk("MDLG", guid) +
                             chunk("MDLN", std::string("gate\0", 5)) + chunk("PARA", std::string(6, 'p')) +
                             chunk("BBOX", std::string(24, 'b')) + chunk("RADI", u32(radiusBits));
    return "RIFF" + u32(static_cast<uint32_t>(body.size())) + body;
}
const char* const kGuidText = "33221100-5544-7766-8899-aabbccddeeff";

std::string Own(const std::string& entries)
{
    return "[General]\r\nModule=VELK\r\n" + entries;
}
std::string Entry(int n, const std::string& title, const std::string& model)
{
    return "[fltsim." + std::to_string(n) + "]\r\ntitle=" + title + "\r\nmodel=" + model + "\r\n";
}

class FoldersScanTest : public FoldersTest {
protected:
    void SetUp() override
    {
        FoldersTest::SetUp();
        Registry("[HKCU\\Software\\Lockheed Martin\\Prepar3D v4]\nAppPath=sz:C:\\P3D\\\n");
        Write(ca_ + "\\Lockheed Martin\\Prepar3D v4\\simobjects.cfg",
              "[Entry.0]\r\nPath=" + kObjects + "\r\nActive=true\r\n[Entry.1]\r\nPath=" + kAircraft +
                  "\r\nActive=true\r\n");
        MakeFolder(kObjects);
        MakeFolder(kAircraft);
    }

    // One placed object per title, one model each.
    static void Place(SimObjectList& list, const Strings& titles)
    {
        for (const std::string& title : titles) {
            SimObject object;
            object.AddModel(title);
            list.Add(object);
        }
    }
};

TEST_F(FoldersScanTest, OwnObjectsMapTitlesToModelFolders)
{
    AddObject(kObjects + "\\Gates", "sim.cfg",
              Own(Entry(0, "Gate A", "A") + Entry(1, "Gate B", "") + Entry(2, "Never", "X")));
    AddModel(kObjects + "\\Gates\\model.A", "gatea");
    AddModel(kObjects + "\\Gates\\model", "gateb", false);
    AddModel(kObjects + "\\Gates\\model.X", "never");
    Build("P3Dv4", true);

    EXPECT_EQ(Manager().GetSimObjectsMap(),
              (Map{{"gate a", kObjects + "\\Gates\\model.A\\"}, {"gate b", kObjects + "\\Gates\\model\\"}}));
    EXPECT_EQ(Manager().GetOwnTitleStatus(), (Map{{"gate a", "MDLOK"}, {"gate b", "gateb"}}));
    EXPECT_TRUE(Manager().GetOtherTitleStatus().empty());
    EXPECT_TRUE(Logged("INFO Adding VELK model 'gate a' located at '" + kObjects + "\\Gates\\model.A\\' to the map."));
    EXPECT_TRUE(Logged("DEBUG Looking for sim.cfg files in '" + kObjects + "\\'"));
    EXPECT_TRUE(Logged("INFO VELK SimObjects Map Building completed. Size=2"));

    EXPECT_EQ(Manager().LookupTitlePath("GATE A"), kObjects + "\\Gates\\model.A\\");
    EXPECT_EQ(Manager().LookupTitlePath("Gate C"), "");
    EXPECT_EQ(Manager().GetModelFolder("gate a"), kObjects + "\\Gates\\");
    EXPECT_EQ(Manager().GetModelFolder("Gate B"), kObjects + "\\Gates\\");
    EXPECT_EQ(Manager().GetModelFolder("Gate C"), "\\");
}

TEST_F(FoldersScanTest, EntryListEndsAtTheFirstMissingSectionOrModel)
{
    struct Case {
        const char* name;
        std::string entries;
        Strings titles;
    };
    const Case cases[] = {
        {"gap after 1", Entry(0, "T0", "m") + Entry(1, "T1", "m") + Entry(3, "T3", "m"), {"t0", "t1"}},
        {"VOIDVOID model", Entry(0, "T0", "m") + Entry(1, "T1", "VOIDVOID") + Entry(2, "T2", "m"), {"t0"}},
        {"no model key", Entry(0, "T0", "m") + "[fltsim.1]\r\ntitle=T1\r\n" + Entry(2, "T2", "m"), {"t0"}},
        {"empty model is read and ends", Entry(0, "T0", "") + Entry(1, "T1", "m"), {"t0"}},
        {"sections in any order", Entry(1, "T1", "m") + Entry(0, "T0", "m"), {"t0", "t1"}},
        {"first of a repeated section", Entry(0, "T0", "m") + Entry(0, "Again", "m"), {"t0"}},
        {"no entries", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        AddObject(kObjects + "\\Obj", "sim.cfg", Own(c.entries));
        Build("P3Dv4");
        Strings titles;
        for (const auto& [key, folder] : Manager().GetSimObjectsMap()) titles.push_back(key);
        EXPECT_EQ(titles, c.titles);
    }
}

// sim.cfg, aircraft.cfg and model.cfg are read as the private-profile functions read them, whatever the
// line ends and the encoding: a file read otherwise would leave titles out of the maps, and their placed
// models would become the missing-object placeholder.
TEST_F(FoldersScanTest, ConfigurationFilesAreReadAsTheProfileFunctionsReadThem)
{
    const auto replaceAll = [](std::string text, const std::string& from, const std::string& to) {
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
        return text;
    };
    const auto utf16 = [](const std::string& text, bool bigEndian) {
        std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char c : text) {
            out.push_back(bigEndian ? '\0' : c);
            out.push_back(bigEndian ? c : '\0');
        }
        return out;
    };
    struct Case {
        const char* name;
        std::function<std::string(const std::string&)> encode;  // of a text with CR LF line ends
    };
    const Case cases[] = {
        {"CR LF", [](const std::string& text) { return text; }},
        {"LF alone", [&](const std::string& text) { return replaceAll(text, "\r\n", "\n"); }},
        {"CR alone", [&](const std::string& text) { return replaceAll(text, "\r\n", "\r"); }},
        {"UTF-8 with its mark", [](const std::string& text) { return "\xEF\xBB\xBF" + text; }},
        {"UTF-16 little-endian with its mark", [&](const std::string& text) { return utf16(text, false); }},
        {"UTF-16 big-endian with its mark", [&](const std::string& text) { return utf16(text, true); }},
        // A line that opens a bracket and never closes it is no section header.
        {"'[note' line in every section",
         [&](const std::string& text) { return replaceAll(text, "]\r\n", "]\r\n[note\r\n"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        const std::string modelCfg = c.encode("[Models]\r\nNormal=shape.mdl\r\n");
        AddObject(kObjects + "\\Gates", "sim.cfg", c.encode(Own(Entry(0, "Gate A", "A") + Entry(1, "Gate B", "A"))));
        Write(kObjects + "\\Gates\\model.A\\model.cfg", modelCfg);
        Write(kObjects + "\\Gates\\model.A\\shape.mdl", "x");
        AddObject(kAircraft + "\\Jet", "aircraft.cfg",
                  c.encode("[GeneralEngineData]\r\nengine_type=1\r\n" + Entry(0, "Jet One", "") +
                           Entry(1, "Jet Two", "")));
        Write(kAircraft + "\\Jet\\model\\model.cfg", modelCfg);
        Build("P3Dv4");

        const std::string gates = kObjects + "\\Gates\\model.A\\";
        EXPECT_EQ(Manager().GetSimObjectsMap(), (Map{{"gate a", gates}, {"gate b", gates}}));
        EXPECT_EQ(Manager().GetOwnTitleStatus(), (Map{{"gate a", "MDLOK"}, {"gate b", "MDLOK"}}));
        const std::string jet = kAircraft + "\\Jet\\model\\";
        EXPECT_EQ(Manager().GetAircraftMap(), (Map{{"jet one", jet}, {"jet two", jet}}));
        // model.cfg names the model; its file is missing.
        EXPECT_EQ(Manager().GetOtherTitleStatus(), (Map{{"jet one", "shape"}, {"jet two", "shape"}}));
    }
}

TEST_F(FoldersScanTest, OnlyModuleVelkEntersTheSimObjectsMap)
{
    struct Case {
        const char* name;
        std::string general;
        bool own;
        std::string debugLine;
    };
    const std::string cfg = kObjects + "\\Obj\\sim.cfg";
    const Case cases[] = {
        {"VELK", "[General]\r\nModule=VELK\r\n", true, ""},
        {"VELK with blanks", "[general]\r\nmodule = VELK \r\n", true, ""},
        {"lower case", "[General]\r\nModule=velk\r\n", false,
         "WARN Could not extract 'Module=VELK' entry in the [General] section of '" + cfg + "'!"},
        {"other module", "[General]\r\nModule=Other\r\n", false,
         "WARN Could not extract 'Module=VELK' entry in the [General] section of '" + cfg + "'!"},
        {"no module", "[General]\r\nTitle=x\r\n", false,
         "DEBUG Could not extract 'Module' entry in the [General] section of '" + cfg + "'!"},
    };
    for (const Case& c : cases) {
        for (bool debug : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (debug ? " debug" : ""));
            TearDown();
            SetUp();
            AddObject(kObjects + "\\Obj", "sim.cfg", c.general + Entry(0, "Thing", "m"));
            AddModel(kObjects + "\\Obj\\model.m", "thing");
            Build("P3Dv4", debug);
            EXPECT_EQ(Manager().GetSimObjectsMap().size(), c.own ? 1u : 0u);
            const Map found = {{"thing", "MDLOK"}};
            EXPECT_EQ(Manager().GetOwnTitleStatus(), c.own ? found : Map{});
            EXPECT_EQ(Manager().GetOtherTitleStatus(), c.own ? Map{} : found);
            if (!c.debugLine.empty()) {
                EXPECT_EQ(Logged(c.debugLine), debug);
            }
        }
    }
}

TEST_F(FoldersScanTest, FsdtFoldersAreSkippedBySimCfgScanOnly)
{
    const Strings folders = {"FSDT_Extra", "fsdt_jetway_2", "fsdt_velk_gates", "fsdt_jetway", "MyFSDTthing", "plain"};
    for (const std::string& folder : folders) {
        const std::string title = "T " + folder;
        AddObject(kObjects + "\\" + folder, "sim.cfg", Own(Entry(0, title, "")));
        AddObject(kObjects + "\\" + folder, "aircraft.cfg",
                  "[GeneralEngineData]\r\nengine_type=1\r\n" + Entry(0, "A " + folder, ""));
    }
    // A file beside the folders is no SimObject.
    Write(kObjects + "\\readme.txt", "x");
    Build("P3Dv4", true);

    Strings own;
    for (const auto& [key, folder] : Manager().GetSimObjectsMap()) own.push_back(key);
    EXPECT_EQ(own, (Strings{"t fsdt_jetway", "t fsdt_velk_gates", "t plain"}));
    EXPECT_EQ(Manager().GetAircraftMap().size(), folders.size());
    bool warned = false;
    for (const std::string& line : Lines())
        warned = warned || (line.rfind("WARN Incorrect FileAttribute=", 0) == 0 &&
                            line.find(" for '" + kObjects + "\\*'") != std::string::npos);
    EXPECT_TRUE(warned);
}

TEST_F(FoldersScanTest, DuplicateTitleKeepsTheFirstFolderScanned)
{
    AddObject(kObjects + "\\A", "sim.cfg", Own(Entry(0, "Gate A", "")));
    AddObject(kObjects + "\\B", "sim.cfg", Own(Entry(0, "GATE A", "")));
    Build("P3Dv4", true);
    EXPECT_EQ(Manager().GetSimObjectsMap(), (Map{{"gate a", kObjects + "\\A\\model\\"}}));
    EXPECT_TRUE(Logged("WARN Duplicate title found 'gate a', filepaths '" + kObjects + "\\A\\model\\' and '" +
                       kObjects + "\\B\\model\\'"));
    EXPECT_TRUE(Logged("INFO Adding VELK model 'gate a' located at '" + kObjects + "\\B\\model\\' to the map."));
}

TEST_F(FoldersScanTest, JetsAndTurbopropsEnterTheAircraftMap)
{
    struct Case {
        const char* folder;
        const char* engineType;
        bool mapped;
    };
    const Case cases[] = {
        {"Jet", "1", true},     {"Jet10", "10", true}, {"Turboprop", "5", true},
        {"Piston", "0", false}, {"Heli", "3", false},  {"None", "", false},
    };
    for (const Case& c : cases) {
        const std::string engine =
            *c.engineType ? std::string("[GeneralEngineData]\r\nengine_type=") + c.engineType + "\r\n" : "";
        AddObject(kAircraft + "\\" + c.folder, "aircraft.cfg",
                  engine + Entry(0, std::string(c.folder) + " Livery", "") +
                      Entry(1, std::string(c.folder) + " Two", "B") + "[fltsim.2]\r\nmodel=C\r\n" +
                      Entry(3, "Never", ""));
    }
    Build("P3Dv4", true);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string folder = kAircraft + "\\" + c.folder + "\\";
        EXPECT_EQ(Manager().FindAircraftTitle(std::string(c.folder) + " LIVERY"), c.mapped ? folder : "");
        EXPECT_EQ(Manager().FindAircraftTitle(std::string(c.folder) + " two"), c.mapped ? folder : "");
    }
    EXPECT_EQ(Manager().GetAircraftMap().at("jet two"), kAircraft + "\\Jet\\model.B\\");
    EXPECT_EQ(Manager().GetAircraftMap().size(), 6u);
    EXPECT_EQ(Manager().FindAircraftTitle("never"), "");
    EXPECT_TRUE(Logged("INFO 'Engine Type'=0 is neither Jet nor Turboprop! Ignoring this aircraft in '" + kAircraft +
                       "\\Piston\\'"));
    EXPECT_TRUE(
        Logged("INFO No 'Engine_Type' found in aircraft.cfg! Ignoring this aircraft in '" + kAircraft + "\\None\\'"));
    EXPECT_TRUE(Logged("DEBUG Looking for aircraft.cfg files in '" + kAircraft + "\\'"));
    // Aircraft never enter the system's own map.
    EXPECT_TRUE(Manager().GetSimObjectsMap().empty());
}

TEST_F(FoldersScanTest, LastAircraftScannedWinsATitle)
{
    AddObject(kAircraft + "\\A", "aircraft.cfg", "[GeneralEngineData]\r\nengine_type=1\r\n" + Entry(0, "Same", ""));
    AddObject(kAircraft + "\\B", "aircraft.cfg", "[GeneralEngineData]\r\nengine_type=5\r\n" + Entry(0, "SAME", ""));
    Build("P3Dv4");
    EXPECT_EQ(Manager().FindAircraftTitle("same"), kAircraft + "\\B\\");
}

TEST_F(FoldersScanTest, ModelStatusFollowsModelCfgAndTheModelFile)
{
    AddObject(kObjects + "\\Obj", "sim.cfg",
              Own(Entry(0, "Present", "p") + Entry(1, "Absent", "a") + Entry(2, "NoCfg", "n") +
                  Entry(3, "NoNormal", "x") + Entry(4, "Nested", "s") + Entry(5, "Last", "")));
    AddModel(kObjects + "\\Obj\\model.p", "mygate");
    AddModel(kObjects + "\\Obj\\model.a", "mygate", false);
    MakeFolder(kObjects + "\\Obj\\model.n");
    Write(kObjects + "\\Obj\\model.x\\model.cfg", "[Models]\r\nShadow=x.mdl\r\n");
    Write(kObjects + "\\Obj\\model.s\\model.cfg", "[Models]\r\nNormal=missing\\deep.mdl\r\n");
    AddModel(kObjects + "\\Obj\\model", "last");
    Build("P3Dv4", true);

    EXPECT_EQ(Manager().GetOwnTitleStatus(),
              (Map{{"present", "MDLOK"}, {"absent", "mygate"}, {"nested", "missing\\deep"}, {"last", "MDLOK"}}));
    EXPECT_TRUE(Logged("WARN Could not find 'model.cfg' file in '" + kObjects + "\\Obj\\model.n\\'"));
    EXPECT_TRUE(Logged("DEBUG Could not extract 'Normal' entry in the [Models] section of '" + kObjects +
                       "\\Obj\\model.x\\model.cfg'!"));

    SimObjectList list;
    Place(list, {"Present", "ABSENT", "NoCfg", "Nested", "Unknown"});
    ClearLog();
    Manager().CheckModels(list);
    const Strings expected = {"Present", "Quorvath_VELK_MissingObj", "Quorvath_VELK_MissingObj",
                              "Quorvath_VELK_MissingObj", "Quorvath_VELK_MissingObj"};
    for (int32_t i = 0; i < list.Count(); ++i)
        EXPECT_EQ(list.At(i)->GetModel(0)->GetSimTitle(), expected[static_cast<size_t>(i)]);
    EXPECT_EQ(
        Lines(),
        (Strings{
            "WARN SimObject with SimTitle 'ABSENT': '" + kObjects + "\\Obj\\model.a\\mygate.MDL' does NOT exist! ",
            "WARN SimObject with SimTitle 'NoCfg': '" + kObjects + "\\Obj\\model.n\\UNDEFINED.MDL' does NOT exist! ",
            "WARN SimObject with SimTitle 'Nested': '" + kObjects +
                "\\Obj\\model.s\\missing\\deep.MDL' does NOT exist! ",
            "WARN SimObject with SimTitle 'Unknown': 'UNDEFINED.MDL' does NOT exist! ",
        }));
}

// The maps are asked once per title, but every model is still checked and reported by the title it was
// written with: another spelling of a title met before, or the same title again, gets its own line.
TEST_F(FoldersScanTest, EveryModelIsReportedByItsOwnTitleWhateverCameBefore)
{
    AddObject(kObjects + "\\Obj", "sim.cfg", Own(Entry(0, "Present", "p") + Entry(1, "Absent", "a")));
    AddModel(kObjects + "\\Obj\\model.p", "mygate");
    AddModel(kObjects + "\\Obj\\model.a", "mygate", false);
    Build("P3Dv4", true);

    SimObjectList list;
    Place(list, {"ABSENT", "Present", "absent", "ABSENT", "PRESENT", "Unknown", "Unknown"});
    ClearLog();
    Manager().CheckModels(list);
    const Strings expected = {"Quorvath_VELK_MissingObj", "Present", "Quorvath_VELK_MissingObj",
                              "Quorvath_VELK_MissingObj", "PRESENT", "Quorvath_VELK_MissingObj",
                              "Quorvath_VELK_MissingObj"};
    for (int32_t i = 0; i < list.Count(); ++i)
        EXPECT_EQ(list.At(i)->GetModel(0)->GetSimTitle(), expected[static_cast<size_t>(i)]) << i;
    const std::string absent = "' does NOT exist! ";
    const std::string folder = kObjects + "\\Obj\\model.a\\mygate.MDL";
    EXPECT_EQ(Lines(), (Strings{
                           "WARN SimObject with SimTitle 'ABSENT': '" + folder + absent,
                           "WARN SimObject with SimTitle 'absent': '" + folder + absent,
                           "WARN SimObject with SimTitle 'ABSENT': '" + folder + absent,
                           "WARN SimObject with SimTitle 'Unknown': 'UNDEFINED.MDL" + absent,
                           "WARN SimObject with SimTitle 'Unknown': 'UNDEFINED.MDL" + absent,
                       }));
}

TEST_F(FoldersScanTest, DebugOnlyMessagesStayQuietWithoutDebugMode)
{
    AddObject(kObjects + "\\A", "sim.cfg", Own(Entry(0, "Gate", "n")));
    AddObject(kObjects + "\\B", "sim.cfg", Own(Entry(0, "GATE", "")));
    AddObject(kAircraft + "\\P", "aircraft.cfg", "[GeneralEngineData]\r\nengine_type=0\r\n" + Entry(0, "Piston", ""));
    Write(kAircraft + "\\file.txt", "x");
    Build("P3Dv4", false);
    for (const std::string& line : Lines()) {
        EXPECT_EQ(line.find("Duplicate"), std::string::npos) << line;
        EXPECT_EQ(line.find("Adding VELK model"), std::string::npos) << line;
        EXPECT_EQ(line.find("model.cfg"), std::string::npos) << line;
        EXPECT_EQ(line.find("Engine Type"), std::string::npos) << line;
        EXPECT_EQ(line.find("Incorrect FileAttribute"), std::string::npos) << line;
    }
}

// Other modules' objects and aircraft count as existing models for the check, the system's own first.
TEST_F(FoldersScanTest, CheckConsultsOwnStatusBeforeTheOthers)
{
    AddObject(kObjects + "\\Mine", "sim.cfg", Own(Entry(0, "Shared", "m")));
    AddModel(kObjects + "\\Mine\\model.m", "mine", false);
    AddObject(kObjects + "\\Theirs", "sim.cfg",
              "[General]\r\nModule=Other\r\n" + Entry(0, "Shared", "m") + Entry(1, "Theirs", "m"));
    AddModel(kObjects + "\\Theirs\\model.m", "theirs");
    AddObject(kAircraft + "\\Jet", "aircraft.cfg", "[GeneralEngineData]\r\nengine_type=1\r\n" + Entry(0, "Jet", ""));
    AddModel(kAircraft + "\\Jet\\model", "jet");
    Build("P3Dv4");

    SimObjectList list;
    Place(list, {"Shared", "theirs", "JET"});
    Manager().CheckModels(list);
    EXPECT_EQ(list.At(0)->GetModel(0)->GetSimTitle(), "Quorvath_VELK_MissingObj");
    EXPECT_EQ(list.At(1)->GetModel(0)->GetSimTitle(), "theirs");
    EXPECT_EQ(list.At(2)->GetModel(0)->GetSimTitle(), "JET");
    EXPECT_TRUE(
        Logged("WARN SimObject with SimTitle 'Shared': '" + kObjects + "\\Mine\\model.m\\mine.MDL' does NOT exist! "));
}

TEST_F(FoldersScanTest, EveryModelOfAnObjectIsChecked)
{
    AddObject(kObjects + "\\Obj", "sim.cfg", Own(Entry(0, "Good", "")));
    AddModel(kObjects + "\\Obj\\model", "good");
    Build("P3Dv4");
    SimObjectList list;
    SimObject object;
    object.AddModel("Bad");
    object.AddModel("Good");
    object.AddModel("Worse");
    list.Add(object);
    Manager().CheckModels(list);
    EXPECT_EQ(list.At(0)->GetModel(0)->GetSimTitle(), "Quorvath_VELK_MissingObj");
    EXPECT_EQ(list.At(0)->GetModel(1)->GetSimTitle(), "Good");
    EXPECT_EQ(list.At(0)->GetModel(2)->GetSimTitle(), "Quorvath_VELK_MissingObj");
}

TEST_F(FoldersScanTest, SuppressedModelsGetARandomAttitude)
{
    struct Case {
        const char* name;
        bool byName;
    };
    for (const Case& c : {Case{"by model name", true}, Case{"by GUID", false}}) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        AddObject(kObjects + "\\Obj", "sim.cfg", Own(Entry(0, "Hidden", "h") + Entry(1, "Shown", "")));
        AddModel(kObjects + "\\Obj\\model.h", "HiddenGate", true, ModelFileBytes());
        AddModel(kObjects + "\\Obj\\model", "other", true, ModelFileBytes());
        if (c.byName)
            Manager().GetSuppressedMdlList().AddModelName("hiddengate");
        else
            Manager().GetSuppressedMdlList().AddGuid(kGuidText);
        Build("P3Dv4");

        const std::set<std::string> expected =
            c.byName ? std::set<std::string>{"hidden"} : std::set<std::string>{"hidden", "shown"};
        EXPECT_EQ(Manager().GetSuppressedTitles(), expected);
        uint32_t seed = 0;
        EXPECT_TRUE(Manager().GetRandomSeedForTitle("HIDDEN", seed));
        EXPECT_FALSE(Manager().GetRandomSeedForTitle("nothing", seed));

        SimObjectList list;
        for (int i = 0; i < 20; ++i) {
            SimObject object;
            object.AddModel("Hidden");
            object.SetPlacement(1.0, 2.0, 3.0, false, false, 4.0, 5.0, 6.0);
            object.SetSecondPlacement(1.0, 2.0, 3.0, false, false, 4.0, 5.0, 6.0);
            list.Add(object);
        }
        Manager().CheckModels(list);
        for (int32_t i = 0; i < list.Count(); ++i) {
            const SimObject& object = *list.At(i);
            EXPECT_EQ(object.GetModel(0)->GetSimTitle(), "Hidden");
            EXPECT_GE(object.GetBank(), 30.0);
            EXPECT_LE(object.GetBank(), 90.0);
            EXPECT_GE(object.GetHeading(), 0.0);
            EXPECT_LE(object.GetHeading(), 360.0);
            EXPECT_GE(object.GetPitch(), 15.0);
            EXPECT_LE(object.GetPitch(), 90.0);
            EXPECT_EQ(object.GetPitch(), static_cast<int>(object.GetPitch()));
            // Only the current placement turns; the position read from the file stays.
            EXPECT_EQ(object.GetSecondPlacement().GetBank(), 5.0);
            EXPECT_EQ(object.GetLatitude(), 1.0);
        }
    }
}

// Without any suppressed entry nothing is suppressed, even for models without a GUID or name.
TEST_F(FoldersScanTest, NothingIsSuppressedByDefault)
{
    AddObject(kObjects + "\\Obj", "sim.cfg", Own(Entry(0, "Plain", "")));
    AddModel(kObjects + "\\Obj\\model", "plain", true, ModelFileBytes());
    Build("P3Dv4");
    EXPECT_TRUE(Manager().GetSuppressedTitles().empty());
    SimObjectList list;
    SimObject object;
    object.AddModel("Plain");
    object.SetPlacement(1.0, 2.0, 3.0, false, false, 4.0, 5.0, 6.0);
    list.Add(object);
    Manager().CheckModels(list);
    EXPECT_EQ(list.At(0)->GetBank(), 5.0);
}

TEST_F(FoldersScanTest, DumpsWriteOneSortedLinePerEntry)
{
    AddObject(kObjects + "\\Obj", "sim.cfg",
              Own(Entry(0, "Zulu", "z") + Entry(1, "Alpha", "a") + Entry(2, "Mike", "")));
    Write("C:\\Logs\\DUMP_AircraftMap.txt", "old contents\r\n");
    Build("P3Dv4");
    Manager().DumpMaps("C:\\Logs");
    EXPECT_EQ(ReadHost("C:\\Logs\\DUMP_SimObjectsMap.txt"), "alpha=" + kObjects + "\\Obj\\model.a\\\r\n" +
                                                                "mike=" + kObjects + "\\Obj\\model\\\r\n" +
                                                                "zulu=" + kObjects + "\\Obj\\model.z\\\r\n");
    EXPECT_TRUE(HostExists("C:\\Logs\\DUMP_AircraftMap.txt"));
    EXPECT_EQ(ReadHost("C:\\Logs\\DUMP_AircraftMap.txt"), "");
}

TEST_F(FoldersScanTest, DumpIntoAMissingFolderIsReported)
{
    Build("P3Dv4");
    Manager().DumpMaps("C:\\NoSuchFolder");
    EXPECT_TRUE(Logged("ERROR Could not write 'C:\\NoSuchFolder\\DUMP_SimObjectsMap.txt'"));
    EXPECT_TRUE(Logged("ERROR Could not write 'C:\\NoSuchFolder\\DUMP_AircraftMap.txt'"));
}

TEST_F(FoldersScanTest, HostileConfigurationFilesAreSkipped)
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 131) & 0xFF));
    AddObject(kObjects + "\\Garbage", "sim.cfg", garbage);
    AddObject(kObjects + "\\Garbage", "aircraft.cfg", garbage);
    AddObject(kObjects + "\\Brackets", "sim.cfg", "[[[[\r\n]]]]\r\n[fltsim.0\r\ntitle=Open\r\nmodel=\r\n=\r\n[]\r\n");
    MakeFolder(kObjects + "\\Folder\\sim.cfg");
    MakeFolder(kObjects + "\\Folder\\aircraft.cfg");
    // A title longer than the 260-byte buffer is cut like the simulator's own reader cuts it.
    AddObject(kObjects + "\\Long", "sim.cfg", Own(Entry(0, std::string(400, 'L'), "")));
    std::string huge = Own(Entry(0, "Huge", ""));
    huge.append(SimObjectsFolderManager::kMaxConfigFileBytes, ';');
    AddObject(kObjects + "\\Huge", "sim.cfg", huge);
    AddObject(kObjects + "\\Huge", "aircraft.cfg",
              "[GeneralEngineData]\r\nengine_type=1\r\n" + Entry(0, "Big", "") + huge);
    AddObject(kObjects + "\\Good", "sim.cfg", Own(Entry(0, "Good", "")));
    Build("P3Dv4");

    Strings titles;
    for (const auto& [key, folder] : Manager().GetSimObjectsMap()) titles.push_back(key);
    EXPECT_EQ(titles, (Strings{"good", std::string(259, 'l')}));
    EXPECT_TRUE(Manager().GetAircraftMap().empty());
    EXPECT_TRUE(Logged("ERROR '" + kObjects + "\\Huge\\sim.cfg' is too large! Ignoring..."));
    EXPECT_TRUE(Logged("ERROR '" + kObjects + "\\Huge\\aircraft.cfg' is too large! Ignoring..."));
}

// Many entries in one file (an AI traffic package) are read in one pass, not once per entry.
TEST_F(FoldersScanTest, ManyEntriesAreReadQuickly)
{
    std::string entries;
    for (int n = 0; n < 5000; ++n) entries += Entry(n, "Livery " + std::to_string(n), "");
    AddObject(kAircraft + "\\Traffic", "aircraft.cfg", "[GeneralEngineData]\r\nengine_type=1\r\n" + entries);
    AddModel(kAircraft + "\\Traffic\\model", "traffic");
    Build("P3Dv4");
    EXPECT_EQ(Manager().GetAircraftMap().size(), 5000u);
    EXPECT_EQ(Manager().GetOtherTitleStatus().size(), 5000u);
    EXPECT_EQ(Manager().FindAircraftTitle("livery 4999"), kAircraft + "\\Traffic\\");
}

// Folders named by the configuration that do not exist, or a container that is a file, are skipped.
TEST_F(FoldersScanTest, MissingContainersAreSkipped)
{
    Write(ca_ + "\\Lockheed Martin\\Prepar3D v4\\simobjects.cfg",
          "[Entry.0]\r\nPath=C:\\Missing\\Deep\r\nActive=true\r\n[Entry.1]\r\nPath=C:\\Sim\\File.txt\r\nActive=true\r\n"
          "[Entry.2]\r\nPath=" +
              kObjects + "\r\nActive=true\r\n");
    Write("C:\\Sim\\File.txt", "x");
    AddObject(kObjects + "\\Obj", "sim.cfg", Own(Entry(0, "Good", "")));
    Build("P3Dv4");
    EXPECT_EQ(Manager().GetSimObjectsMap().size(), 1u);
    EXPECT_EQ(CountLogged("WARN SimObject Subfolder not found!!!"), 4u);
}

} // namespace
