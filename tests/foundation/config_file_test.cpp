#include "foundation/ConfigFileHelper.h"
#include "foundation/ExecutablePathHelper.h"
#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

using Strings = std::vector<std::string>;

// A temporary machine root with INI files under C:\test.
class ConfigFileTest : public testsupport::MachineRootTest {
protected:
    ConfigFileTest() : MachineRootTest({.label = "foundation"}) {}

    void SetUp() override {
        MachineRootTest::SetUp();
        MakeFolder("c/test/sub");
    }

    // Writes C:\test\<name> and returns its Windows path.
    std::string WriteIni(const std::string& name, const std::string& contents) {
        std::ofstream(root_ / "c" / "test" / name, std::ios::binary) << contents;
        return "C:\\test\\" + name;
    }
};

TEST_F(ConfigFileTest, CheckFileExistsReportsTheSearchError) {
    const std::string file = WriteIni("a.ini", "[S]\nk=v\n");
    EXPECT_EQ(ConfigFileHelper::CheckFileExists(file), 0u);
    EXPECT_EQ(ConfigFileHelper::CheckFileExists("c:\\TEST\\A.INI"), 0u);
    EXPECT_EQ(ConfigFileHelper::CheckFileExists("C:\\test\\sub"), 0u);  // folders count too
    EXPECT_EQ(ConfigFileHelper::CheckFileExists("C:\\test\\missing.ini"), 2u);
    EXPECT_EQ(ConfigFileHelper::CheckFileExists("C:\\nowhere\\missing.ini"), 3u);
}

TEST_F(ConfigFileTest, ReadStringCutsAtSemicolonAndTrimsLongTexts) {
    const std::string file = WriteIni("values.ini",
                                      "[Values]\n"
                                      "plain=abc\n"
                                      "comment=abc ; comment\n"
                                      "shortBlank=a ;x\n"
                                      "oneBlank=\" \"\n"
                                      "twoBlanks=\"  \"\n"
                                      "manyBlanks=\"     \"\n"
                                      "trailing=\"abc   \"\n"
                                      "tab=\"ab\t\"\n"
                                      "startsWithComment=;x\n"
                                      "inner=a b c\n"
                                      "empty=\n"
                                      "[Other]\n"
                                      "plain=other\n");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"Values", "plain", "abc"},
        {"values", "PLAIN", "abc"},  // names compare without regard to case
        {"Values", "comment", "abc"},
        {"Values", "shortBlank", "a "},  // two characters: the trailing blank stays
        {"Values", "oneBlank", " "},
        {"Values", "twoBlanks", "  "},
        {"Values", "manyBlanks", ""},
        {"Values", "trailing", "abc"},
        {"Values", "tab", "ab\t"},  // only blanks are trimmed
        {"Values", "startsWithComment", ""},
        {"Values", "inner", "a b c"},
        {"Values", "empty", ""},
        {"Values", "missing", ""},
        {"Missing", "plain", ""},
        {"Other", "plain", "other"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ConfigFileHelper::ReadString(file, c.section, c.key), c.expected) << c.section << "/" << c.key;
    }
    EXPECT_EQ(ConfigFileHelper::ReadString("C:\\test\\missing.ini", "Values", "plain"), "");
    EXPECT_EQ(ConfigFileHelper::ReadString("C:\\nowhere\\missing.ini", "Values", "plain"), "");
}

TEST_F(ConfigFileTest, ReadStringIsCutToTheValueBuffer) {
    const std::string file = WriteIni("long.ini", "[S]\nlong=" + std::string(300, 'x') + "\n");
    EXPECT_EQ(ConfigFileHelper::ReadString(file, "S", "long"), std::string(259, 'x'));
}

TEST_F(ConfigFileTest, ReadDouble) {
    const std::string file = WriteIni("numbers.ini",
                                      "[N]\n"
                                      "a=1.5abc\n"
                                      "b=-2.5 ; metres\n"
                                      "c=abc\n"
                                      "d=3e2\n");
    EXPECT_EQ(ConfigFileHelper::ReadDouble(file, "N", "a"), 1.5);
    EXPECT_EQ(ConfigFileHelper::ReadDouble(file, "N", "b"), -2.5);
    EXPECT_EQ(ConfigFileHelper::ReadDouble(file, "N", "c"), 0.0);
    EXPECT_EQ(ConfigFileHelper::ReadDouble(file, "N", "d"), 300.0);
    EXPECT_EQ(ConfigFileHelper::ReadDouble(file, "N", "missing"), 0.0);
}

TEST_F(ConfigFileTest, ReadNumberList) {
    const std::string file = WriteIni("lists.ini",
                                      "[L]\n"
                                      "gap=1.5,,2\n"
                                      "long=1,2,3,4\n"
                                      "text=a,3\n"
                                      "commented=;1,2\n"
                                      "withComment=4,5 ; six\n");
    using Numbers = std::vector<double>;
    EXPECT_EQ(ConfigFileHelper::ReadNumberList(file, "L", "gap", 2), (Numbers{1.5, 0.0, 2.0}));
    // Not padded or cut to the default count.
    EXPECT_EQ(ConfigFileHelper::ReadNumberList(file, "L", "long", 2), (Numbers{1, 2, 3, 4}));
    EXPECT_EQ(ConfigFileHelper::ReadNumberList(file, "L", "text", 0), (Numbers{0.0, 3.0}));
    EXPECT_EQ(ConfigFileHelper::ReadNumberList(file, "L", "withComment", 0), (Numbers{4.0, 5.0}));
    EXPECT_EQ(ConfigFileHelper::ReadNumberList(file, "L", "absent", 3), (Numbers{0.0, 0.0, 0.0}));
    EXPECT_EQ(ConfigFileHelper::ReadNumberList(file, "L", "commented", 2), (Numbers{0.0, 0.0}));
    EXPECT_TRUE(ConfigFileHelper::ReadNumberList(file, "L", "absent", 0).empty());
    EXPECT_TRUE(ConfigFileHelper::ReadNumberList(file, "L", "absent", -5).empty());
    EXPECT_EQ(ConfigFileHelper::ReadNumberList("C:\\test\\none.ini", "L", "gap", 1), (Numbers{0.0}));
}

TEST_F(ConfigFileTest, SectionAndKeyNamesInFileOrder) {
    const std::string file = WriteIni("names.ini",
                                      "[Zulu]\nb=1\na=2\n"
                                      "[Alpha]\n"
                                      "; comment=1\n"
                                      "y=3\nx=4\n"
                                      "[Mike]\n");
    EXPECT_EQ(ConfigFileHelper::GetSectionNames(file), (Strings{"Zulu", "Alpha", "Mike"}));
    EXPECT_EQ(ConfigFileHelper::GetKeyNames(file, "Zulu"), (Strings{"b", "a"}));
    EXPECT_EQ(ConfigFileHelper::GetKeyNames(file, "alpha"), (Strings{"y", "x"}));
    EXPECT_TRUE(ConfigFileHelper::GetKeyNames(file, "Mike").empty());
    EXPECT_TRUE(ConfigFileHelper::GetKeyNames(file, "Missing").empty());
    EXPECT_TRUE(ConfigFileHelper::GetSectionNames("C:\\test\\none.ini").empty());
    EXPECT_TRUE(ConfigFileHelper::GetKeyNames("C:\\test\\none.ini", "Zulu").empty());
    EXPECT_TRUE(ConfigFileHelper::GetSectionNames(WriteIni("empty.ini", "")).empty());
}

TEST_F(ConfigFileTest, GetKeyValuesByNameSkipsCommentedKeys) {
    const std::string file = WriteIni("fsx.cfg",
                                      "[Main]\r\n"
                                      "SimObjectPaths.0=SimObjects\\Airplanes\r\n"
                                      "//SimObjectPaths.3=Old\r\n"
                                      "XSimObjectPaths.5=Kept\r\n"
                                      "X;SimObjectPaths.6=Dropped\r\n"
                                      "SimObjectPaths.1=\r\n"
                                      "SimObjectPaths.2=Path ; not cut\r\n"
                                      "SimObjectPaths.7//old=Slashes after the name\r\n"
                                      "Other=zzz\r\n");
    EXPECT_EQ(ConfigFileHelper::GetKeyValuesByName(file, "Main", "SimObjectPaths."),
              (Strings{"SimObjects\\Airplanes", "Kept", "", "Path ; not cut", "Slashes after the name"}));
    EXPECT_TRUE(ConfigFileHelper::GetKeyValuesByName(file, "Main", "Nothing").empty());
    EXPECT_TRUE(ConfigFileHelper::GetKeyValuesByName("C:\\test\\none.cfg", "Main", "SimObjectPaths.").empty());
}

class SectionListTest : public ConfigFileTest {
protected:
    void SetUp() override {
        ConfigFileTest::SetUp();
        file = WriteIni("scenery.cfg",
                        "[General]\nTitle=Scenery\n"
                        "[Entry.1]\nPath=A\nActive=TRUE\n"
                        "[Entry.2]\nPath=B\nActive=yes\n"
                        "[Entry.3]\nPath=C\n"
                        "[Entry.4]\nActive=TRUE\n"
                        "[Entry.5]\nPath=E\nActive=true\n"
                        "[Entry.6]\nActive=True\nPath=F ; raw\n"
                        "[Package.1]\nPath=P\nActive=FALSE\n"
                        "[Entry.7]\nPath=G\nActive=False\n");
    }
    std::string file;
};

TEST_F(SectionListTest, GetSectionValuesMatchingFiltersByCondition) {
    EXPECT_EQ(ConfigFileHelper::GetSectionValuesMatching(file, "Entry.", "Path", "Active", true),
              (Strings{"A", "E", "F ; raw"}));
    EXPECT_EQ(ConfigFileHelper::GetSectionValuesMatching(file, "Entry.", "Path", "Active", false),
              (Strings{"B", "C", "G"}));
    EXPECT_EQ(ConfigFileHelper::GetSectionValuesMatching(file, "Entry.", "Path", "NONE", true),
              (Strings{"A", "B", "C", "E", "F ; raw", "G"}));
    EXPECT_EQ(ConfigFileHelper::GetSectionValuesMatching(file, "Package.", "Path", "NONE", true), (Strings{"P"}));
    EXPECT_EQ(ConfigFileHelper::GetSectionValuesMatching(file, "Package.", "Path", "Active", true), Strings{});
    EXPECT_TRUE(ConfigFileHelper::GetSectionValuesMatching("C:\\test\\none.cfg", "Entry.", "Path", "NONE", true)
                    .empty());
}

TEST_F(SectionListTest, GetSectionValuesAndEntries) {
    EXPECT_EQ(ConfigFileHelper::GetSectionValues(file, "Entry.", "Path"),
              (Strings{"A", "B", "C", "", "E", "F ; raw", "G"}));
    EXPECT_EQ(ConfigFileHelper::GetSectionEntries(file, "Entry.6"), (Strings{"Active=True", "Path=F ; raw"}));
    EXPECT_TRUE(ConfigFileHelper::GetSectionEntries(file, "Missing").empty());
    EXPECT_TRUE(ConfigFileHelper::GetSectionValues("C:\\test\\none.cfg", "Entry.", "Path").empty());
    EXPECT_TRUE(ConfigFileHelper::GetSectionEntries("C:\\test\\none.cfg", "Entry.1").empty());
}

TEST_F(ConfigFileTest, ProgramDataFolder) {
    EXPECT_EQ(ExecutablePathHelper::GetProgramDataFolder(), "C:\\ProgramData\\Quorvath\\VELK");
}

TEST(ExecutablePathTest, FolderIsThePathWithoutTheFileName) {
    const std::string path = ExecutablePathHelper::GetExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.find("foundation_tests"), std::string::npos);
    const std::string folder = ExecutablePathHelper::GetExecutableFolder();
    ASSERT_LT(folder.size(), path.size());
    EXPECT_EQ(path.compare(0, folder.size(), folder), 0);
    EXPECT_TRUE(path[folder.size()] == '/' || path[folder.size()] == '\\');
    EXPECT_EQ(path.find_first_of("\\/", folder.size() + 1), std::string::npos);
}

}  // namespace
