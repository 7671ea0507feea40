// The registry's file search: which files of the "cfg", "sdx" and "xml" folders are listed, how they are
// named and in which order, and what a missing folder logs.
#include "registry_fixture.h"

#include "foundation/ExecutablePathHelper.h"

#include <gtest/gtest.h>

using namespace registry_testing;

namespace {

TEST_F(RegistryTest, ProgramDataFolderIsTheOneTheFixtureFills)
{
    EXPECT_EQ(ExecutablePathHelper::GetProgramDataFolder(), "C:\\ProgramData\\Quorvath\\VELK");
}

TEST_F(RegistryTest, XmlTreeIsListedBelowTheXmlFolderInNameOrderSkippingSpecialFolders)
{
    MakeFile(kData + "xml/b.xml", "");
    MakeFile(kData + "xml/A.XML", "");
    MakeFile(kData + "xml/notes.txt", "");
    MakeFile(kData + "xml/c.xml.bak", "");
    MakeFile(kData + "xml/Area/one.xml", "");
    MakeFile(kData + "xml/Area/Deep/two.xml", "");
    for (const char* skipped : {"off", "dbg", "bkk", "out"}) MakeFile(kData + "xml/" + skipped + "/hidden.xml", "");
    MakeFile(kData + "xml/Area/off/hidden.xml", "");
    MakeFolder(kData + "xml/folder.xml");  // a folder is searched, never listed as a file
    MakeFile(kData + "xml/folder.xml/inner.xml", "");

    registry->FindXmlFiles();

    EXPECT_EQ(registry->GetXmlFiles(),
              (Strings{"A.XML", "Area\\Deep\\two.xml", "Area\\one.xml", "b.xml", "folder.xml\\inner.xml"}));
    EXPECT_TRUE(log.Has("DEBUG Finding XML Files..."));
    EXPECT_TRUE(log.Has("INFO xml File Found: 'Area\\Deep\\two.xml'."));
    EXPECT_EQ(registry->GetXmlFile(1), "Area\\Deep\\two.xml");
    EXPECT_EQ(registry->GetXmlFile(99), "");
}

TEST_F(RegistryTest, ConfigurationsAreListedFromTheCfgFolderOnly)
{
    MakeSdx("cfg/Second.sdx", Configuration("Name=\"B\""));
    MakeSdx("cfg/first.SDX", Configuration("Name=\"A\""));
    MakeSdx("cfg/sub/Nested.sdx", Configuration("Name=\"C\""));
    MakeFile(kData + "cfg/readme.txt", "");
    MakeFolder(kData + "cfg/dir.sdx");

    registry->FindSdxCfgFiles();

    EXPECT_EQ(registry->GetSdxCfgFiles(), (Strings{"first.SDX", "Second.sdx"}));
    EXPECT_TRUE(log.Has("DEBUG Finding SDX CFG Files..."));
    EXPECT_TRUE(log.Has("INFO sdx File Found: 'first.SDX'."));
}

TEST_F(RegistryTest, MissingFolderIsLoggedAndLeavesTheListAsItWas)
{
    std::vector<std::string> list{"kept"};
    registry->FindFiles("\\nowhere\\", "xml", list);
    EXPECT_EQ(list, Strings{"kept"});
    EXPECT_TRUE(log.Has("INFO Non-existing directory at '\\nowhere\\'. "
                        "[C:\\ProgramData\\Quorvath\\VELK\\nowhere\\*.*]"));
}

TEST_F(RegistryTest, FindingAgainAppendsAndClearEmptiesBothLists)
{
    MakeFile(kData + "xml/a.xml", "");
    MakeSdx("cfg/c.sdx", Configuration("Name=\"C\""));
    registry->FindXmlFiles();
    registry->FindXmlFiles();
    registry->FindSdxCfgFiles();
    EXPECT_EQ(registry->GetXmlFiles(), (Strings{"a.xml", "a.xml"}));

    registry->Clear();
    EXPECT_TRUE(registry->GetXmlFiles().empty());
    EXPECT_TRUE(registry->GetSdxCfgFiles().empty());
    EXPECT_EQ(registry->GetSceneryLibrary().GetPlatformId(), "");
}

TEST_F(RegistryTest, PlatformAndDebugModeReachTheReaderState)
{
    registry->SetSimPlatform("P3Dv4");
    registry->SetDebugMode(true);
    EXPECT_EQ(registry->GetSimPlatform(), "P3Dv4");
    EXPECT_EQ(registry->GetSceneryLibrary().GetPlatformId(), "P3Dv4");
    EXPECT_TRUE(registry->IsDebugMode());
    EXPECT_FALSE(registry->IsDebugFile());
}

// ---- Whole loads ------------------------------------------------------------------------------------

TEST_F(RegistryTest, NoFilesAtAllKeepsTheCountAndLogsBothEmptyLists)
{
    registry->FindSdxCfgFiles();
    EXPECT_EQ(registry->BuildListsFromSdx(41, configurations, objects, probes, &zones), 41);
    registry->FindXmlFiles();
    EXPECT_EQ(registry->BuildListsFromXml(41, objects, probes, &zones), 41);
    EXPECT_TRUE(log.Has("INFO No SDX Files found! Lists are empty."));
    EXPECT_TRUE(log.Has("WARN No XML Files found! Lists are still empty."));
}

TEST_F(RegistryTest, XmlFilesAreReadInListOrderAfterEveryConfiguration)
{
    MakeFile(kData + "xml/b.xml", Placement("FromB"));
    MakeFile(kData + "xml/Area/a.xml", Placement("FromA"));
    MakeFile(kData + "xml/broken.xml", "<VELK><SimObject");
    // Read into the document the broken file left behind.
    MakeFile(kData + "xml/c.xml", Placement("FromC"));
    MakeSdx("cfg/Custom.sdx", Configuration("Name=\"Main\" KeyStroke=\"K\" MenuTitle=\"Main\""));
    MakeSdx("sdx/Main/Terminal.sdx", Placement("FromSdx"));

    LoadAll();

    EXPECT_EQ(ObjectNames(), (Strings{"Terminal:FromSdx", "a:FromA", "b:FromB", "c:FromC"}));
    EXPECT_EQ(count, 4);
    EXPECT_TRUE(log.HasPrefix("ERROR Failed to load file 'C:\\ProgramData\\Quorvath\\VELK\\xml\\broken.xml' (line 1: "));
    EXPECT_TRUE(log.Has("DEBUG Building List from File 'C:\\ProgramData\\Quorvath\\VELK\\xml\\Area\\a.xml'"));
    EXPECT_TRUE(log.Has("DEBUG XML Data successfully read and List created."));
}

TEST_F(RegistryTest, NoXmlFilesAfterSdxObjectsSaysNothingWasAdded)
{
    MakeSdx("cfg/Custom.sdx", Configuration("Name=\"Main\""));
    MakeSdx("sdx/Main/Terminal.sdx", Placement("Gate"));
    LoadAll();
    EXPECT_EQ(objects.Count(), 1);
    EXPECT_TRUE(log.Has("WARN No XML Files found! Nothing added to Lists."));
}

}  // namespace
