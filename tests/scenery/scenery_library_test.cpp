// The scenery library: which areas of the simulator's scenery.cfg are switched on, per platform.
#include "scenery/SceneryLibrary.h"
#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

const char* const kFsxFolder = "c/ProgramData/Microsoft/FSX";
const char* const kFsxSeFolder = "c/ProgramData/Microsoft/FSX-SE";
const char* const kV2Folder = "c/ProgramData/Lockheed Martin/Prepar3D v2";
const char* const kV3Folder = "c/ProgramData/Lockheed Martin/Prepar3D v3";
const char* const kV4Folder = "c/ProgramData/Lockheed Martin/Prepar3D v4";
const char* const kV5Folder = "c/ProgramData/Lockheed Martin/Prepar3D v5";

const char* const kLibrary =
    "[General]\r\n"
    "Title=FS World\r\n"
    "\r\n"
    "[Area.001]\r\n"
    "Title=Default Terrain\r\n"
    "Local=Scenery\\World\r\n"
    "Active=TRUE\r\n"
    "\r\n"
    "[Area.002]\r\n"
    "Title=Gates\r\n"
    "Local=Addon Scenery\\Gates\r\n"
    "Active=FALSE\r\n";

// A temporary machine root; files are written with host paths so the layer under test reads them.
class SceneryLibraryTest : public testsupport::MachineRootTest {
protected:
    SceneryLibraryTest() : MachineRootTest({.label = "scenery-lib"}) {}

    void WriteConfig(const std::string& folder, const std::string& contents) const
    {
        std::filesystem::create_directories(root_ / folder);
        std::ofstream(root_ / folder / "scenery.cfg", std::ios::binary | std::ios::trunc) << contents;
    }

    // An area section whose folder is "Scenery\<tag>", switched on.
    static std::string TaggedLibrary(const std::string& tag)
    {
        return "[General]\nTitle=x\n[Area.001]\nLocal=Scenery\\" + tag + "\nActive=TRUE\n";
    }
};

TEST_F(SceneryLibraryTest, StartsEmpty)
{
    SceneryLibrary library;
    EXPECT_EQ(library.GetAreaIndex(), 0);
    EXPECT_EQ(library.GetPlatformId(), "");
    EXPECT_TRUE(library.GetSections().empty());
    EXPECT_EQ(library.DataFolder(), "");
    EXPECT_FALSE(library.IsSceneryActive("Scenery\\World"));
}

TEST_F(SceneryLibraryTest, AreasAreFoundByTheirExactLocalFolder)
{
    WriteConfig(kFsxFolder, kLibrary);
    SceneryLibrary library;
    library.Load("FSX");
    EXPECT_EQ(library.GetPlatformId(), "FSX");
    EXPECT_EQ(library.GetSections(), (Strings{"Area.001", "Area.002"}));

    const struct {
        const char* folder;
        bool active;
        int32_t area;
    } cases[] = {
        {"Scenery\\World", true, 0},
        {"Addon Scenery\\Gates", false, 1},  // Active=FALSE
        {"addon scenery\\gates", false, -1},  // letter case counts
        {"SCENERY\\WORLD", false, -1},
        {"Scenery\\World\\", false, -1},  // so does a trailing separator
        {"Scenery/World", false, -1},
        {"C:\\FSX\\Scenery\\World", false, -1},
        {"Scenery", false, -1},
        {"Scenery\\World ", false, -1},
        {"FS World", false, -1},  // a title is no folder
        {"", false, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(library.IsSceneryActive(c.folder), c.active) << c.folder;
        EXPECT_EQ(library.GetAreaIndex(), c.area) << c.folder;
    }
}

TEST_F(SceneryLibraryTest, OnlyTrueInCapitalsSwitchesAnAreaOn)
{
    const struct {
        const char* line;
        bool active;
    } cases[] = {
        {"Active=TRUE", true},
        {"active = TRUE  ", true},  // key names ignore case, values are trimmed
        {"Active=\"TRUE\"", true},  // one pair of quotes is stripped
        {"Active=True", false},
        {"Active=true", false},
        {"Active=FALSE", false},
        {"Active=1", false},
        {"Active=", false},
        {"Active=TRUEE", false},
        {"Active=TRUE;on", false},  // no inline comments
        {"Active=TRUE TRUE TRUE TRUE", false},  // cut to 15 characters, still not TRUE
        {"; Active=TRUE", false},
        {"Title=no switch at all", false},
    };
    for (const auto& c : cases) {
        WriteConfig(kV3Folder, std::string("[General]\n[Area.001]\nLocal=Scenery\\Gates\n") + c.line + "\n");
        SceneryLibrary library;
        library.Load("P3Dv3");
        EXPECT_EQ(library.IsSceneryActive("Scenery\\Gates"), c.active) << c.line;
        EXPECT_EQ(library.GetAreaIndex(), 0) << c.line;
    }
}

TEST_F(SceneryLibraryTest, TheFirstSectionOfTheFileIsNeverAnArea)
{
    WriteConfig(kFsxFolder,
                "[Area.001]\nLocal=Scenery\\First\nActive=TRUE\n"
                "[Area.002]\nLocal=Scenery\\Second\nActive=TRUE\n");
    SceneryLibrary library;
    library.Load("FSX");
    EXPECT_EQ(library.GetSections(), (Strings{"Area.002"}));
    EXPECT_FALSE(library.IsSceneryActive("Scenery\\First"));
    EXPECT_TRUE(library.IsSceneryActive("Scenery\\Second"));
}

TEST_F(SceneryLibraryTest, EachPlatformReadsItsOwnFixedFolder)
{
    WriteConfig(kFsxFolder, TaggedLibrary("fsx"));
    WriteConfig(kFsxSeFolder, TaggedLibrary("fsxse"));
    WriteConfig(kV2Folder, TaggedLibrary("v2"));
    WriteConfig(kV3Folder, TaggedLibrary("v3"));
    WriteConfig(kV4Folder, TaggedLibrary("v4"));
    WriteConfig(kV5Folder, TaggedLibrary("v5"));
    // Not a place any platform reads.
    WriteConfig("c/Users/user/AppData/Roaming/Microsoft/FSX", TaggedLibrary("roaming"));

    const Strings tags = {"fsx", "fsxse", "v2", "v3", "v4", "v5", "roaming"};
    const struct {
        const char* platform;
        const char* dataFolder;
        const char* tag;  // the one area the platform sees; none without a data folder
    } cases[] = {
        {"FSX", "C:\\ProgramData\\Microsoft\\FSX\\", "fsx"},
        {"FSX-SE", "C:\\ProgramData\\Microsoft\\FSX-SE\\", "fsxse"},
        {"FSX:SE", "C:\\ProgramData\\Microsoft\\FSX-SE\\", "fsxse"},
        {"P3Dv2", "C:\\ProgramData\\Lockheed Martin\\Prepar3D v2\\", "v2"},
        {"P3Dv3", "C:\\ProgramData\\Lockheed Martin\\Prepar3D v3\\", "v3"},
        {"P3Dv4", "", nullptr},
        {"P3Dv5", "", nullptr},
        {"", "", nullptr},
        {"fsx", "", nullptr},
        {"P3Dv6", "", nullptr},
        {"FSX ", "", nullptr},
    };
    for (const auto& c : cases) {
        SceneryLibrary library;
        library.Load(c.platform);
        EXPECT_EQ(library.GetPlatformId(), c.platform);
        EXPECT_EQ(library.DataFolder(), c.dataFolder) << c.platform;
        EXPECT_EQ(library.GetSections().size(), c.tag != nullptr ? 1u : 0u) << c.platform;
        for (const std::string& tag : tags) {
            const bool expected = c.tag != nullptr && tag == c.tag;
            EXPECT_EQ(library.IsSceneryActive("Scenery\\" + tag), expected) << c.platform << " / " << tag;
        }
    }
}

TEST_F(SceneryLibraryTest, ValuesAreReadAtEveryTestButSectionsOnlyAtLoad)
{
    WriteConfig(kV2Folder, kLibrary);
    SceneryLibrary library;
    library.Load("P3Dv2");
    ASSERT_TRUE(library.IsSceneryActive("Scenery\\World"));

    WriteConfig(kV2Folder, std::string(kLibrary) +
                               "[Area.003]\nLocal=Addon Scenery\\New\nActive=TRUE\n");
    EXPECT_TRUE(library.IsSceneryActive("Scenery\\World"));
    EXPECT_FALSE(library.IsSceneryActive("Addon Scenery\\New"));  // not in the list yet

    std::string switchedOff = kLibrary;
    switchedOff.replace(switchedOff.find("Active=TRUE"), 11, "Active=FALSE");
    WriteConfig(kV2Folder, switchedOff + "[Area.003]\nLocal=Addon Scenery\\New\nActive=TRUE\n");
    EXPECT_FALSE(library.IsSceneryActive("Scenery\\World"));  // the value changed

    library.Load("P3Dv2");
    EXPECT_TRUE(library.IsSceneryActive("Addon Scenery\\New"));
    EXPECT_EQ(library.GetAreaIndex(), 2);
}

TEST_F(SceneryLibraryTest, ClearForgetsTheLibraryUntilTheNextLoad)
{
    WriteConfig(kFsxSeFolder, kLibrary);
    SceneryLibrary library;
    library.Load("FSX:SE");
    ASSERT_TRUE(library.IsSceneryActive("Scenery\\World"));
    library.IsSceneryActive("Addon Scenery\\Gates");
    ASSERT_EQ(library.GetAreaIndex(), 1);

    library.Clear();
    EXPECT_EQ(library.GetPlatformId(), "");
    EXPECT_TRUE(library.GetSections().empty());
    EXPECT_EQ(library.GetSections().capacity(), 0u);
    EXPECT_EQ(library.DataFolder(), "");
    EXPECT_EQ(library.GetAreaIndex(), 1);  // the last lookup's result stays
    EXPECT_FALSE(library.IsSceneryActive("Scenery\\World"));
    EXPECT_EQ(library.GetAreaIndex(), -1);

    library.Load("FSX-SE");
    EXPECT_TRUE(library.IsSceneryActive("Scenery\\World"));
}

TEST_F(SceneryLibraryTest, AMissingLibraryHasNoActiveArea)
{
    SceneryLibrary library;
    library.Load("FSX");  // no file, no folder
    EXPECT_TRUE(library.GetSections().empty());
    EXPECT_FALSE(library.IsSceneryActive("Scenery\\World"));
    EXPECT_EQ(library.GetAreaIndex(), -1);

    // A folder named like the file.
    std::filesystem::create_directories(root_ / kFsxFolder / "scenery.cfg");
    library.Load("FSX");
    EXPECT_TRUE(library.GetSections().empty());
    EXPECT_FALSE(library.IsSceneryActive("Scenery\\World"));

    // A file that goes away after the sections were read.
    std::filesystem::remove_all(root_ / kFsxFolder);
    WriteConfig(kFsxFolder, kLibrary);
    library.Load("FSX");
    ASSERT_EQ(library.GetSections().size(), 2u);
    std::filesystem::remove(root_ / kFsxFolder / "scenery.cfg");
    EXPECT_FALSE(library.IsSceneryActive("Scenery\\World"));
}

TEST_F(SceneryLibraryTest, ALibraryOfManyAreasIsReadToTheEnd)
{
    // 150 long section names take far more than 4096 bytes; the last area must still be found.
    const std::string stem = "Area.Addon.Scenery.Package.With.A.Long.Name.";
    std::string text = "[General]\nTitle=x\n";
    for (int i = 1; i <= 150; ++i) {
        const std::string number = std::to_string(i);
        text += "[" + stem + number + "]\nLocal=Addon Scenery\\Pack" + number +
                "\nActive=" + (i % 2 == 0 ? "TRUE" : "FALSE") + "\n";
    }
    WriteConfig(kV3Folder, text);
    SceneryLibrary library;
    library.Load("P3Dv3");
    ASSERT_EQ(library.GetSections().size(), 150u);
    EXPECT_EQ(library.GetSections().back(), stem + "150");
    EXPECT_TRUE(library.IsSceneryActive("Addon Scenery\\Pack150"));
    EXPECT_EQ(library.GetAreaIndex(), 149);
    EXPECT_FALSE(library.IsSceneryActive("Addon Scenery\\Pack149"));
    EXPECT_EQ(library.GetAreaIndex(), 148);
}

TEST_F(SceneryLibraryTest, HostileLibraries)
{
    const std::string longFolder(400, 'L');
    const struct {
        const char* label;
        std::string text;
        std::string folder;
        bool active;
    } cases[] = {
        {"binary garbage", std::string("\0\x01\xff[\x80\x7f]\n=\n\0\0[", 14) + std::string(5000, '\xfe'),
         "Scenery\\World", false},
        {"empty file", "", "Scenery\\World", false},
        {"no sections", "Local=Scenery\\World\nActive=TRUE\n", "Scenery\\World", false},
        {"section without a Local key, empty folder", "[General]\n[Area.001]\nActive=TRUE\n", "", false},
        {"empty Local value, empty folder", "[General]\n[Area.001]\nLocal=\nActive=TRUE\n", "", false},
        {"quoted Local value", "[General]\n[Area.001]\nLocal=\"Scenery\\World\"\nActive=TRUE\n",
         "Scenery\\World", true},
        {"repeated section: the first one counts",
         "[General]\n[Area.001]\nLocal=Scenery\\World\nActive=FALSE\n"
         "[Area.001]\nLocal=Scenery\\World\nActive=TRUE\n",
         "Scenery\\World", false},
        {"repeated key: the first one counts",
         "[General]\n[Area.001]\nLocal=Scenery\\World\nLocal=Scenery\\Other\nActive=TRUE\nActive=FALSE\n",
         "Scenery\\Other", false},
        {"section header without a bracket is no section: its lines stay in [General]",
         "[General]\n[Area.001\nLocal=Scenery\\World\nActive=TRUE\n", "Scenery\\World", false},
        {"Local longer than 259 characters, full folder",
         "[General]\n[Area.001]\nLocal=" + longFolder + "\nActive=TRUE\n", longFolder, false},
        {"Local longer than 259 characters, folder cut like the value",
         "[General]\n[Area.001]\nLocal=" + longFolder + "\nActive=TRUE\n", std::string(259, 'L'), true},
        {"very long Active value", "[General]\n[Area.001]\nLocal=S\nActive=TRUE" + std::string(100000, 'E') + "\n",
         "S", false},
        {"very long section name",
         "[General]\n[" + std::string(20000, 'A') + "]\nLocal=Scenery\\World\nActive=TRUE\n", "Scenery\\World",
         true},
    };
    for (const auto& c : cases) {
        WriteConfig(kFsxFolder, c.text);
        SceneryLibrary library;
        library.Load("FSX");
        EXPECT_EQ(library.IsSceneryActive(c.folder), c.active) << c.label;
    }
}

}  // namespace
