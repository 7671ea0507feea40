// Which SimObject container folders are found per simulator platform, in which order, and how relative
// ones are completed with the installation folder from the registry.
#include "folders_fixture.h"

#include "objects/SimObjectList.h"

namespace {

using folders_testing::FoldersTest;
using folders_testing::Strings;

const char* const kP3dV4Key = "[HKEY_CURRENT_USER\\Software\\Lockheed Martin\\Prepar3D v4]\nAppPath=sz:C:\\P3D\\\n";
const char* const kFsxKey =
    "[HKCU\\Software\\Microsoft\\Microsoft Games\\Flight Simulator\\10.0]\nAppPath=sz:C:\\FSX\\\n";
const char* const kSeKey =
    "[HKCU\\Software\\Microsoft\\Microsoft Games\\Flight Simulator - Steam Edition\\10.0]\nAppPath=sz:C:\\SE\\\n";

class FoldersDiscoveryTest : public FoldersTest {
protected:
    std::string P3dFolder(const std::string& base, const std::string& version = "v4") const
    {
        return base + "\\Lockheed Martin\\Prepar3d " + version;
    }

    static std::string AddOnXml(const std::string& components)
    {
        return "<?xml version=\"1.0\"?>\n<SimBase.Document Type=\"AddOnXml\" version=\"4,0\">\n" + components +
               "</SimBase.Document>\n";
    }
    static std::string Component(const std::string& category, const std::string& path,
                                 const std::string& element = "AddOn.Component")
    {
        return "<" + element + "><Category>" + category + "</Category><Path>" + path + "</Path></" + element + ">\n";
    }

    // Both configuration files of the Steam Edition and of FSX, each naming its own folder.
    void WriteFsxConfigs() const
    {
        Write(ua_ + "\\Microsoft\\FSX\\fsx.cfg", "[Main]\r\nSimObjectPaths.0=SimObjects\\FromFsx\r\n");
        Write(ua_ + "\\Microsoft\\FSX-SE\\fsx_se.cfg", "[Main]\r\nSimObjectPaths.0=SimObjects\\FromSe\r\n");
    }
};

TEST_F(FoldersDiscoveryTest, P3dV4ReadsBothSimObjectsFilesThenBothAddOnFilesInOrder)
{
    Registry(kP3dV4Key);
    Write(P3dFolder(ca_) + "\\simobjects.cfg",
          "[Entry.0]\r\nTitle=Airplanes\r\nPath=SimObjects\\Airplanes\r\nActive=true\r\n"
          "[Entry.1]\r\nPath=SimObjects\\Misc\r\nActive=TRUE\r\n"
          "[Entry.2]\r\nPath=SimObjects\\Off\r\nActive=false\r\n"
          "[Entry.3]\r\nPath=SimObjects\\Yes\r\nActive=yes\r\n"
          "[Entry.4]\r\nPath=SimObjects\\NoActive\r\n");
    Write(P3dFolder(ua_) + "\\simobjects.cfg", "[Entry.0]\r\nPath=D:\\Objects\r\nActive=True\r\n");
    Write(P3dFolder(ca_) + "\\add-ons.cfg", "[Package.0]\r\nPath=C:\\Addons\\Pkg\r\nActive=true\r\n"
                                            "[Package.1]\r\nPath=C:\\Addons\\Off\r\nActive=false\r\n");
    Write(P3dFolder(ua_) + "\\add-ons.cfg", "[Package.0]\r\nPath=C:\\Addons\\User\\\r\nActive=true\r\n");
    Write("C:\\Addons\\Pkg\\add-on.xml",
          AddOnXml(Component("Scenery", "Scenery") + Component("SimObjects", "SimObjects")));
    Write("C:\\Addons\\Off\\add-on.xml", AddOnXml(Component("SimObjects", "Never")));
    Write("C:\\Addons\\User\\add-on.xml", AddOnXml(Component("SimObjects", ".\\Objects")));

    Build("P3Dv4", true);

    EXPECT_EQ(Manager().GetContainerPaths(), (Strings{"SimObjects\\Airplanes", "SimObjects\\Misc", "D:\\Objects",
                                                      "C:\\Addons\\Pkg\\SimObjects", "C:\\Addons\\User\\Objects"}));
    EXPECT_TRUE(Logged("DEBUG Extracting SimObject Paths from '" + P3dFolder(ca_) + "\\simobjects.cfg'"));
    EXPECT_TRUE(Logged("DEBUG > Adding SimObject Path 'SimObjects\\Misc'"));
    EXPECT_TRUE(Logged("DEBUG Extracting Add-On Package Paths from '" + P3dFolder(ua_) + "\\add-ons.cfg'"));
    // Relative paths hang off the installation folder; the scans then look into each.
    EXPECT_TRUE(Logged("DEBUG Looking for sim.cfg files in 'C:\\P3D\\SimObjects\\Airplanes\\'"));
    EXPECT_TRUE(Logged("DEBUG Looking for aircraft.cfg files in 'D:\\Objects\\'"));
    EXPECT_TRUE(Logged("DEBUG SimObjects container paths extracted!"));
    EXPECT_TRUE(Logged("INFO VELK SimObjects Map Building completed. Size=0"));
}

TEST_F(FoldersDiscoveryTest, MissingConfigurationFilesAreReportedAndContributeNothing)
{
    Registry(kP3dV4Key);
    Build("P3Dv4");
    EXPECT_TRUE(Manager().GetContainerPaths().empty());
    EXPECT_TRUE(Logged("DEBUG '" + P3dFolder(ca_) +
                       "\\simobjects.cfg' does not exist! Extraction of SimObject "
                       "Paths not performed..."));
    EXPECT_TRUE(Logged("DEBUG '" + P3dFolder(ua_) +
                       "\\add-ons.cfg' does not exist! Extraction of Add-On Package "
                       "Paths not performed..."));
    EXPECT_TRUE(Logged("INFO VELK SimObjects Map Building completed. Size=0"));
}

TEST_F(FoldersDiscoveryTest, SimObjectsEntriesAreLoggedOnlyInDebugMode)
{
    Registry(kP3dV4Key);
    Write(P3dFolder(ca_) + "\\simobjects.cfg", "[Entry.0]\r\nPath=D:\\Objects\r\nActive=true\r\n");
    Build("P3Dv4", false);
    EXPECT_EQ(Manager().GetContainerPaths(), Strings{"D:\\Objects"});
    EXPECT_FALSE(Logged("DEBUG > Adding SimObject Path 'D:\\Objects'"));
}

// Prepar3D v2 has no add-on packages; v3 and v5 read their own folders.
TEST_F(FoldersDiscoveryTest, EachPrepar3dVersionReadsItsOwnFolders)
{
    struct Case {
        const char* platform;
        const char* version;
        Strings expected;
    };
    const Case cases[] = {
        {"P3Dv2", "v2", {"D:\\Common", "D:\\User"}},
        {"P3Dv3", "v3", {"D:\\Common", "D:\\User", "C:\\Addons\\Pkg\\SimObjects"}},
        {"P3Dv5", "v5", {"D:\\Common", "D:\\User", "C:\\Addons\\Pkg\\SimObjects"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.platform);
        TearDown();
        SetUp();
        Registry(std::string("[HKCU\\Software\\Lockheed Martin\\Prepar3D ") + c.version + "]\nAppPath=sz:C:\\P\\\n");
        Write(P3dFolder(ca_, c.version) + "\\simobjects.cfg", "[Entry.0]\r\nPath=D:\\Common\r\nActive=true\r\n");
        Write(P3dFolder(ua_, c.version) + "\\simobjects.cfg", "[Entry.0]\r\nPath=D:\\User\r\nActive=true\r\n");
        Write(P3dFolder(ca_, c.version) + "\\add-ons.cfg", "[Package.0]\r\nPath=C:\\Addons\\Pkg\r\nActive=true\r\n");
        Write("C:\\Addons\\Pkg\\add-on.xml", AddOnXml(Component("SimObjects", "SimObjects")));
        Build(c.platform);
        EXPECT_EQ(Manager().GetContainerPaths(), c.expected);
    }
}

TEST_F(FoldersDiscoveryTest, FsxReadsSimObjectPathsOfItsMainSection)
{
    Registry(kFsxKey);
    Write(ua_ + "\\Microsoft\\FSX\\fsx.cfg",
          "[Display]\r\nSimObjectPaths.9=Elsewhere\r\n"
          "[Main]\r\nUser Objects=Airplane\r\nSimObjectPaths.0=SimObjects\\Airplanes\r\n"
          "SimObjectPaths.1=D:\\Objects\r\n;SimObjectPaths.2=SimObjects\\Commented\r\n");
    Build("FSX");
    EXPECT_EQ(Manager().GetContainerPaths(), (Strings{"SimObjects\\Airplanes", "D:\\Objects"}));
    EXPECT_TRUE(Logged("DEBUG Extracting SimObjects Paths from '" + ua_ + "\\Microsoft\\FSX\\fsx.cfg'"));
    EXPECT_TRUE(Logged("DEBUG Looking for sim.cfg files in 'C:\\FSX\\SimObjects\\Airplanes\\'"));
    EXPECT_TRUE(Logged("DEBUG Looking for sim.cfg files in 'D:\\Objects\\'"));
    // Neither folder exists: each scan of each path says so once.
    EXPECT_EQ(CountLogged("WARN SimObject Subfolder not found!!!"), 4u);
}

// Which configuration file and installation key the Steam Edition uses.
TEST_F(FoldersDiscoveryTest, SteamEditionSelection)
{
    const std::string seRoot = "[HKCU\\Software\\Microsoft\\Microsoft Games\\Flight Simulator - Steam Edition]\n";
    struct Case {
        const char* name;
        std::string registry;
        const char* expectedLine; // the first folder scanned, or "" when the start fails
        const char* extraLine;
    };
    const Case cases[] = {
        {"co-existence 1", seRoot + "Co-Existence=dword:1\n" + kSeKey + kFsxKey, "C:\\SE\\SimObjects\\FromSe\\", ""},
        {"co-existence 0", seRoot + "Co-Existence=dword:0\n" + kSeKey + kFsxKey, "C:\\FSX\\SimObjects\\FromFsx\\", ""},
        {"unreadable, FSX key present", seRoot + kSeKey + kFsxKey, "C:\\SE\\SimObjects\\FromSe\\",
         "WARN Could not read Co-Existence Key! Checking original FSX registry key -> '0'"},
        {"text value is unreadable", seRoot + "Co-Existence=sz:1\n" + kSeKey + kFsxKey, "C:\\SE\\SimObjects\\FromSe\\",
         "WARN Could not read Co-Existence Key! Checking original FSX registry key -> '0'"},
        {"co-existence 7, FSX key absent", seRoot + "Co-Existence=dword:7\n" + kSeKey, "",
         "WARN Could not read Co-Existence Key! Checking original FSX registry key -> '2'"},
        // The Steam Edition file is chosen, but its installation key is missing.
        {"only the Dovetail key", std::string("[HKLM\\Software\\DovetailGames\\FSX]\n") + kFsxKey, "",
         "WARN Could not read Co-Existence Key! Checking original FSX registry key -> '0'"},
        {"only the 32-bit Dovetail key", std::string("[HKLM\\Software\\WOW6432Node\\DovetailGames\\FSX]\n"), "",
         "WARN Could not read Co-Existence Key! Checking original FSX registry key -> '2'"},
        {"no Steam Edition key", kFsxKey, "C:\\FSX\\SimObjects\\FromFsx\\",
         "ERROR No specific Steam Edition registry key found! Using default FSX keys..."},
    };
    for (const char* platform : {"FSX-SE", "FSX:SE"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(platform) + ": " + c.name);
            TearDown();
            SetUp();
            Registry(c.registry);
            WriteFsxConfigs();
            Build(platform);
            if (*c.expectedLine == '\0') {
                EXPECT_TRUE(Logged("FATAL Could not extract SimObject container paths!!!"));
            } else {
                EXPECT_TRUE(Logged(std::string("DEBUG Looking for sim.cfg files in '") + c.expectedLine + "'"));
                EXPECT_EQ(Manager().GetContainerPaths().size(), 1u);
            }
            if (*c.extraLine != '\0') {
                EXPECT_TRUE(Logged(c.extraLine));
            }
        }
    }
}

TEST_F(FoldersDiscoveryTest, SteamEditionWithCoExistenceOneReadsOnlyItsOwnFile)
{
    Registry("[HKCU\\Software\\Microsoft\\Microsoft Games\\Flight Simulator - Steam Edition]\nCo-Existence=dword:1\n" +
             std::string(kSeKey));
    WriteFsxConfigs();
    Build("FSX-SE");
    EXPECT_EQ(Manager().GetContainerPaths(), Strings{"SimObjects\\FromSe"});
    EXPECT_TRUE(Logged("DEBUG Extracting SimObjects Paths from '" + ua_ + "\\Microsoft\\FSX-SE\\fsx_se.cfg'"));
}

// The installation folder completes relative paths; an unreadable one turns them into "bad" paths.
TEST_F(FoldersDiscoveryTest, InstallationFolderCompletesRelativePaths)
{
    struct Case {
        const char* name;
        std::string appPathLine;
        const char* scanned;
    };
    const Case cases[] = {
        {"text", "AppPath=sz:C:\\FSX\\\n", "C:\\FSX\\SimObjects\\Airplanes\\"},
        {"text without terminator", "AppPath=sz-noterm:C:\\FSX\\\n", "C:\\FSX\\SimObjects\\Airplanes\\"},
        {"missing value", "", "badSimObjects\\Airplanes\\"},
        {"number value", "AppPath=dword:5\n", "badSimObjects\\Airplanes\\"},
        {"too long for the buffer", "AppPath=sz:C:\\" + std::string(600, 'a') + "\\\n", "badSimObjects\\Airplanes\\"},
        {"exactly 512 characters, no terminator", "AppPath=sz-noterm:C:\\" + std::string(509, 'b') + "\n", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        Registry("[HKCU\\Software\\Microsoft\\Microsoft Games\\Flight Simulator\\10.0]\n" + c.appPathLine);
        Write(ua_ + "\\Microsoft\\FSX\\fsx.cfg",
              "[Main]\r\nSimObjectPaths.0=SimObjects\\Airplanes\r\nSimObjectPaths.1=D:\\Objects\r\n"
              "SimObjectPaths.2=X\r\n");
        Build("FSX");
        const std::string scanned = c.scanned ? c.scanned : "C:\\" + std::string(509, 'b') + "SimObjects\\Airplanes\\";
        EXPECT_TRUE(Logged("DEBUG Looking for sim.cfg files in '" + scanned + "'"));
        // An absolute path stays as it is; a one-character path is used unchanged with a warning.
        EXPECT_TRUE(Logged("DEBUG Looking for sim.cfg files in 'D:\\Objects\\'"));
        EXPECT_TRUE(Logged("WARN Found empty/single-char add-on path definition 'X'"));
        EXPECT_TRUE(Logged("DEBUG Looking for sim.cfg files in 'X\\'"));
    }
}

TEST_F(FoldersDiscoveryTest, UnknownPlatformOrMissingInstallationKeyStopsBeforeAnyScan)
{
    for (const char* platform : {"P3Dv4", "MSFS", "", "p3dv4"}) {
        SCOPED_TRACE(platform);
        TearDown();
        SetUp();
        Registry(kFsxKey); // not the key of any of these
        Write(P3dFolder(ca_) + "\\simobjects.cfg", "[Entry.0]\r\nPath=D:\\Objects\r\nActive=true\r\n");
        MakeFolder("D:\\Objects\\Gate");
        AddObject("D:\\Objects\\Gate", "sim.cfg",
                  "[General]\r\nModule=VELK\r\n[fltsim.0]\r\ntitle=Gate A\r\nmodel=\r\n");
        AddModel("D:\\Objects\\Gate\\model", "gate");
        Build(platform);
        EXPECT_TRUE(Logged("FATAL Could not extract SimObject container paths!!!"));
        EXPECT_FALSE(Logged("DEBUG Starting SimObjects container scan..."));
        EXPECT_TRUE(Manager().GetSimObjectsMap().empty());
        EXPECT_TRUE(Manager().GetOwnTitleStatus().empty());
        EXPECT_TRUE(Manager().IsBuilt());

        // Every placed model is then missing.
        SimObjectList list;
        SimObject object;
        object.AddModel("Gate A");
        object.AddModel("GATE B");
        list.Add(object);
        Manager().CheckModels(list);
        EXPECT_EQ(list.At(0)->GetModel(0)->GetSimTitle(), "Quorvath_VELK_MissingObj");
        EXPECT_EQ(list.At(0)->GetModel(1)->GetSimTitle(), "Quorvath_VELK_MissingObj");
        EXPECT_TRUE(Logged("WARN SimObject with SimTitle 'Gate A': 'UNDEFINED.MDL' does NOT exist! "));
    }
}

TEST_F(FoldersDiscoveryTest, SecondBuildChangesNothing)
{
    Registry(kP3dV4Key);
    Write(P3dFolder(ca_) + "\\simobjects.cfg", "[Entry.0]\r\nPath=D:\\Objects\r\nActive=true\r\n");
    AddObject("D:\\Objects\\Gate", "sim.cfg", "[General]\r\nModule=VELK\r\n[fltsim.0]\r\ntitle=Gate A\r\nmodel=\r\n");
    AddModel("D:\\Objects\\Gate\\model", "gate");
    Build("P3Dv4");
    ASSERT_EQ(Manager().GetSimObjectsMap().size(), 1u);

    AddObject("D:\\Objects\\Gate2", "sim.cfg", "[General]\r\nModule=VELK\r\n[fltsim.0]\r\ntitle=Gate B\r\nmodel=\r\n");
    ClearLog();
    Build("FSX");
    EXPECT_EQ(Manager().GetSimObjectsMap().size(), 1u);
    EXPECT_EQ(Manager().GetContainerPaths(), Strings{"D:\\Objects"});
    EXPECT_TRUE(Lines().empty());
}

// A failed first build is not retried either.
TEST_F(FoldersDiscoveryTest, FailedBuildIsNotRetried)
{
    Build("P3Dv4");
    ASSERT_TRUE(Logged("FATAL Could not extract SimObject container paths!!!"));
    Registry(kP3dV4Key);
    ClearLog();
    Build("P3Dv4");
    EXPECT_TRUE(Lines().empty());
}

} // namespace
