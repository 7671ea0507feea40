// SDX containers and custom configurations: the password rule, what a container must hold, failed
// extractions, the configuration records and the menu position their objects carry.
#include "registry_fixture.h"

#include "scenery/ZipArchive.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

using namespace registry_testing;

namespace {

TEST(SdxPassword, DependsOnTheFileNameOnly)
{
    struct Case {
        const char* path;
        const char* password;
    };
    const Case cases[] = {
        {"C:\\ProgramData\\Quorvath\\VELK\\sdx\\Main\\EDDM_Terminal2.sdx", "VELK-SDX/eddm_terminal2"},
        {"D:\\elsewhere\\EDDM_Terminal2.SDX", "VELK-SDX/eddm_terminal2"},
        {"sdx/Main/Pack.v2.sdx", "VELK-SDX/pack.v2"},
        {"NoExtension", "VELK-SDX/noextension"},
        {"C:\\x\\.sdx", "VELK-SDX/.sdx"},
        {"C:\\x\\\xC4rger.sdx", "VELK-SDX/\xC4rger"},  // bytes outside A-Z stay as they are
        {"", "VELK-SDX/"},
    };
    for (const Case& c : cases) EXPECT_EQ(SceneryFileRegistry::SdxPassword(c.path), c.password) << c.path;
}

// ---- Opening a container ----------------------------------------------------------------------------

TEST_F(RegistryTest, ContainerTextIsParsedWhole)
{
    const std::string text = Placement("Gate");
    MakeSdx("sdx/Main/Terminal.sdx", text);
    tinyxml2::XMLDocument document;
    EXPECT_EQ(registry->OpenSdxFile(DataPath("sdx/Main/Terminal.sdx"), document, "Terminal.sdx"), 0);
    ASSERT_NE(document.FirstChildElement("VELK"), nullptr);
    EXPECT_NE(document.FirstChildElement("VELK")->FirstChildElement("SimObject"), nullptr);
    EXPECT_TRUE(log.Has("DEBUG SDX Decompilation of 'Terminal.sdx' successful."));
}

TEST_F(RegistryTest, ContainerMovedToAnotherFolderIsStillReadableButRenamedIsNot)
{
    MakeSdx("sdx/Main/Terminal.sdx", Placement("Gate"));
    std::filesystem::create_directories(Host(kData + "sdx/Other"));
    std::filesystem::copy_file(Host(kData + "sdx/Main/Terminal.sdx"), Host(kData + "sdx/Other/Terminal.sdx"));
    std::filesystem::copy_file(Host(kData + "sdx/Main/Terminal.sdx"), Host(kData + "sdx/Main/Renamed.sdx"));

    tinyxml2::XMLDocument moved;
    EXPECT_EQ(registry->OpenSdxFile(DataPath("sdx/Other/Terminal.sdx"), moved, "moved"), 0);
    tinyxml2::XMLDocument renamed;
    EXPECT_NE(registry->OpenSdxFile(DataPath("sdx/Main/Renamed.sdx"), renamed, "renamed"), 0);
    EXPECT_EQ(renamed.FirstChildElement("VELK"), nullptr);
    EXPECT_TRUE(log.HasPrefix("ERROR Error in SDX Decompilation of 'renamed' (unzip "));
}

TEST_F(RegistryTest, BadContainersFailWithTheirReason)
{
    struct Case {
        const char* name;
        std::string bytes;  // empty: no file at all
        const char* reason;
    };
    const std::string text = Placement("Gate");
    const std::string key = SceneryFileRegistry::SdxPassword("x.sdx");
    auto zip = [&](std::vector<velk::test::ZipFixtureEntry> entries) { return velk::test::BuildZip(entries).bytes; };

    std::string corrupt = zip({{"a.xml", text, false, key.c_str()}});
    corrupt[corrupt.size() / 3] ^= 0x5A;  // inside the enciphered data: the CRC-32 no longer matches
    std::string truncated = zip({{"a.xml", text, true, key.c_str()}});
    velk::test::ZipFixture lying = velk::test::BuildZip({{"a.xml", text, false, key.c_str()}});
    lying.Put32(lying.central[0] + 24, static_cast<uint32_t>(text.size() + 10));  // states more than it holds
    velk::test::ZipFixture lyingDeflated = velk::test::BuildZip({{"a.xml", text, true, key.c_str()}});
    lyingDeflated.Put32(lyingDeflated.central[0] + 24, static_cast<uint32_t>(text.size() + 10));
    velk::test::ZipFixture shortDeflated = velk::test::BuildZip({{"a.xml", text, true, key.c_str()}});
    shortDeflated.Put32(shortDeflated.central[0] + 24, static_cast<uint32_t>(text.size() - 10));
    velk::test::ZipFixture huge = velk::test::BuildZip({{"a.xml", text, true, key.c_str()}});
    huge.Put32(huge.central[0] + 24, 0x7FFFFFF0u);

    const std::vector<Case> cases = {
        {"missing", "", "(nItems)"},
        {"not a zip", "plain text, no archive", "(nItems)"},
        {"two entries", zip({{"a.xml", text, false, key.c_str()}, {"b.xml", text, false, key.c_str()}}), "(nItems)"},
        {"no entries", zip({}), "(nItems)"},
        {"empty entry", zip({{"a.xml", "", false, key.c_str()}}), "(size)"},
        {"wrong password", zip({{"a.xml", text, true, "VELK-SDX/other"}}), "(unzip "},
        {"no password", zip({{"a.xml", text, true}}), ""},  // plain archives are accepted
        {"NUL ends the text", zip({{"a.xml", text + std::string(1, '\0') + "<junk", true, key.c_str()}}), ""},
        {"corrupt entry", corrupt, "(unzip "},
        {"stored entry stating more", lying.bytes, "(size)"},
        {"deflated entry stating more", lyingDeflated.bytes, "(size)"},
        {"deflated entry stating less", shortDeflated.bytes, "(size)"},
        {"huge stated size", huge.bytes, "(size)"},
        {"not xml", zip({{"a.xml", "<VELK><open", false, key.c_str()}}), "("},
    };
    for (const Case& c : cases) {
        log.Clear();
        if (!c.bytes.empty()) MakeFile(kData + "sdx/x.sdx", c.bytes);
        else std::filesystem::remove(Host(kData + "sdx/x.sdx"));
        tinyxml2::XMLDocument document;
        const int32_t result = registry->OpenSdxFile(DataPath("sdx/x.sdx"), document, c.name);
        if (std::string(c.reason).empty()) {
            EXPECT_EQ(result, 0) << c.name;
        } else {
            EXPECT_NE(result, 0) << c.name;
            EXPECT_TRUE(log.HasPrefix(std::string("ERROR Error in SDX Decompilation of '") + c.name + "' " + c.reason))
                << c.name << "\n" << (log.Lines().empty() ? std::string() : log.Lines().back());
        }
    }
}

// ---- Containers made by the zip tool (fixtures/sdx; its README says how each was made) ------------------

std::string ReadSdxFixture(const std::string& name)
{
    std::ifstream in(std::string(VELK_TEST_SOURCE_DIR) + "/fixtures/sdx/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What a load leaves of one entry, for comparing two loads.
using EntrySnapshot = std::tuple<std::string, uint32_t, double, double, double, int32_t, std::string, std::string,
                                 std::string, int32_t, std::pair<uint8_t, int32_t>>;

std::vector<EntrySnapshot> Snapshot(const SimObjectList& objects)
{
    std::vector<EntrySnapshot> entries;
    for (int32_t i = 0; i < objects.Count(); ++i) {
        const SimObject* o = objects.At(i);
        const StandData& stand = o->GetStandData();
        entries.emplace_back(o->GetName(), o->GetRequestId(), o->GetLatitude(), o->GetLongitude(), o->GetHeading(),
                             o->GetGroupIndex(), o->GetGroupName(), o->GetModel(0)->GetSimTitle(),
                             stand.GetAirportIcao() + "/" + stand.GetGateName(), stand.GetParkingNumber(),
                             o->GetStandMembership());
    }
    return entries;
}

// Containers the zip tool enciphered with the password of their file name, one entry deflated and one
// stored, both with a data descriptor: the text comes out byte for byte, and a load reads them exactly
// as it reads the same text in a container of the test writer.
TEST_F(RegistryTest, ContainersMadeByTheZipToolReadLikeOurOwn)
{
    const std::string text = ReadSdxFixture("gates.xml");
    ASSERT_EQ(text.size(), 653u);
    for (const char* name : {"Deflated.sdx", "Stored.sdx"}) {
        SCOPED_TRACE(name);
        const std::string relative = std::string("sdx/Main/") + name;

        const std::string bytes = ReadSdxFixture(name);
        const std::string password = SceneryFileRegistry::SdxPassword(name);
        ZipHandle* zip = ZipArchive::OpenFromMemory(bytes.data(), bytes.size(), password.c_str());
        ASSERT_NE(zip, nullptr);
        std::string extracted(text.size(), '\0');
        size_t written = 0;
        EXPECT_EQ(ZipArchive::UnzipItemToMemory(zip, 0, extracted.data(), extracted.size(), &written),
                  ZipResult::Success);
        EXPECT_EQ(written, text.size());
        EXPECT_TRUE(extracted == text);
        ZipArchive::Close(zip);

        std::vector<EntrySnapshot> loads[2];
        for (int tool = 1; tool >= 0; --tool) {
            registry = std::make_unique<SceneryFileRegistry>();
            registry->GetPlacementReader().SetSeedSource([] { return 7u; });
            objects.Reset();
            configurations.clear();
            log.Clear();
            MakeSdx("cfg/Custom.sdx", Configuration("Name=\"Main\" KeyStroke=\"K\" MenuTitle=\"M\""));
            if (tool == 1) {
                MakeFile(kData + relative, bytes);
            } else {
                MakeSdx(relative, text);
            }
            LoadAll();
            EXPECT_TRUE(log.Has(std::string("DEBUG SDX Decompilation of '") + name + "' successful."));
            loads[tool] = Snapshot(objects);
        }
        EXPECT_EQ(loads[1].size(), 4u);
        EXPECT_EQ(loads[1], loads[0]);
        std::filesystem::remove(Host(kData + relative));
    }
}

TEST_F(RegistryTest, FailedContainerIsAFailedLoadAndTheOthersStillCount)
{
    MakeSdx("cfg/Custom.sdx", Configuration("Name=\"Main\" KeyStroke=\"K\" MenuTitle=\"M\""));
    MakeSdx("sdx/Main/A.sdx", Placement("FromA"));
    MakeSdx("sdx/Main/B.sdx", Strings{Placement("FromB")}, "VELK-SDX/wrong");
    MakeSdx("sdx/Main/C.sdx", Strings{Placement("C1"), Placement("C2")});
    MakeSdx("sdx/Main/D.sdx", Placement("FromD"));

    LoadAll();

    EXPECT_EQ(ObjectNames(), (Strings{"A:FromA", "D:FromD"}));
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(log.Has("ERROR Failed to load file 'C:\\ProgramData\\Quorvath\\VELK\\sdx\\Main\\B.sdx' (the SDX "
                        "container could not be unpacked)"));
    EXPECT_TRUE(log.Has("ERROR Error in SDX Decompilation of 'C.sdx' (nItems)!"));
}

// ---- Custom configurations --------------------------------------------------------------------------

TEST_F(RegistryTest, ConfigurationRecordsWithAndWithoutKeyStroke)
{
    struct Case {
        const char* attributes;
        StringTriple expected;
    };
    const std::vector<Case> cases = {
        {"Name=\"Main\" KeyStroke=\"Ctrl+K\" MenuTitle=\"Main Terminal\"", {"Main", "Ctrl+K", "Main Terminal", true}},
        {"Name=\"Main\" MenuTitle=\"Main Terminal\"", {"Main", "", "", false}},
        {"Name=\"Main\" KeyStroke=\"Ctrl+K\"", {"Main", "", "", false}},
        {"Name=\"Main\" KeyStroke=\"\" MenuTitle=\"\"", {"Main", "", "", true}},
    };
    for (const Case& c : cases) {
        MakeSdx("cfg/Custom.sdx", Configuration(c.attributes));
        StringTriple record;
        ASSERT_EQ(registry->ReadSdxCustomConfig("Custom.sdx", record), 0) << c.attributes;
        EXPECT_EQ(record.first, c.expected.first) << c.attributes;
        EXPECT_EQ(record.second, c.expected.second) << c.attributes;
        EXPECT_EQ(record.third, c.expected.third) << c.attributes;
        EXPECT_EQ(record.complete, c.expected.complete) << c.attributes;
    }
}

TEST_F(RegistryTest, ConfigurationWithoutKeyStrokeStillLoadsItsContainers)
{
    MakeSdx("cfg/Custom.sdx", Configuration("Name=\"Main\" MenuTitle=\"M\""));
    MakeSdx("sdx/Main/A.sdx", Placement("Gate"));
    LoadAll();
    ASSERT_EQ(configurations.size(), 1u);
    EXPECT_FALSE(configurations[0].complete);
    ASSERT_EQ(objects.Count(), 1);
    EXPECT_EQ(objects.At(0)->GetStandMembership().first, 0);  // not a member of any menu
}

TEST_F(RegistryTest, UnreadableOrNamelessConfigurationsAreSkippedWithTheirCode)
{
    struct Case {
        std::string text;      // the container's XML text
        const char* password;  // "" for the right one
        int32_t code;
    };
    const std::vector<Case> cases = {
        {Configuration("Name=\"Main\""), "wrong", 1},
        {Configuration("KeyStroke=\"K\" MenuTitle=\"M\""), "", SceneryFileRegistry::kNoConfiguration},
        {Configuration("Name=\"..\\..\\..\\Windows\""), "", SceneryFileRegistry::kUnsafeName},
        {Configuration("Name=\"..\""), "", SceneryFileRegistry::kUnsafeName},
        {Configuration("Name=\"\""), "", SceneryFileRegistry::kUnsafeName},
        {Configuration("Name=\"C:\""), "", SceneryFileRegistry::kUnsafeName},
        {Configuration("Name=\"a/b\""), "", SceneryFileRegistry::kUnsafeName},
    };
    for (const Case& c : cases) {
        MakeSdx("cfg/Custom.sdx", Strings{c.text}, c.password);
        StringTriple record;
        EXPECT_EQ(registry->ReadSdxCustomConfig("Custom.sdx", record), c.code) << c.text;
        EXPECT_EQ(record.first, "") << c.text;
    }

    MakeSdx("cfg/Custom.sdx", Configuration("Name=\"..\""));
    MakeSdx("sdx/Main.sdx", Placement("Escaped"));  // what "\sdx\..\" would have found
    LoadAll();
    EXPECT_TRUE(configurations.empty());
    EXPECT_EQ(objects.Count(), 0);
    EXPECT_TRUE(log.Has("ERROR Config File Error [3]: 'Custom.sdx'"));
}

// A container without a CustomConfiguration element is read as an empty configuration: it takes its
// command's position, and no placement files are read for it (an empty name names no folder).
TEST_F(RegistryTest, ContainerWithoutConfigurationElementIsAnEmptyConfiguration)
{
    for (const char* text : {"<VELK/>", "<Other><CustomConfiguration Name=\"Main\"/></Other>"}) {
        SCOPED_TRACE(text);
        MakeSdx("cfg/A.sdx", Strings{text});
        StringTriple record;
        EXPECT_EQ(registry->ReadSdxCustomConfig("A.sdx", record), 0);
        EXPECT_EQ(record.first, "");
        EXPECT_FALSE(record.complete);
    }

    MakeSdx("cfg/A.sdx", Strings{"<VELK/>"});
    MakeSdx("cfg/B.sdx", Configuration("Name=\"Bravo\" KeyStroke=\"2\" MenuTitle=\"Bravo\""));
    MakeSdx("sdx/Loose.sdx", Placement("Loose"));  // what "\sdx\\" would have found
    MakeSdx("sdx/Bravo/b.sdx", Placement("InBravo"));
    LoadAll();
    ASSERT_EQ(configurations.size(), 2u);
    EXPECT_EQ(configurations[0].first, "");
    EXPECT_EQ(configurations[1].first, "Bravo");
    ASSERT_EQ(objects.Count(), 1);
    EXPECT_EQ(objects.At(0)->GetStandMembership().second, 1);  // Bravo kept its position
    EXPECT_TRUE(log.Has("WARN SDX Custom Config 'A.sdx' has no CustomConfiguration element!"));
}

TEST_F(RegistryTest, ConfigurationObjectsCarryThePositionOfTheirCommand)
{
    // "A" cannot be read: the objects of "B" and "C" still name the commands they got, 0 and 1.
    MakeSdx("cfg/A.sdx", Strings{Configuration("Name=\"Alpha\" KeyStroke=\"1\" MenuTitle=\"Alpha\"")}, "VELK-SDX/wrong");
    MakeSdx("cfg/B.sdx", Configuration("Name=\"Bravo\" KeyStroke=\"2\" MenuTitle=\"Bravo\""));
    MakeSdx("cfg/C.sdx", Configuration("Name=\"Charlie\" KeyStroke=\"3\" MenuTitle=\"Charlie\""));
    MakeSdx("sdx/Alpha/a.sdx", Placement("InAlpha"));
    MakeSdx("sdx/Bravo/b1.sdx", Placement("InBravo1"));
    MakeSdx("sdx/Bravo/b2.sdx", Placement("InBravo2"));
    MakeSdx("sdx/Bravo/sub/deep.sdx", Placement("NotSearched"));
    MakeSdx("sdx/Charlie/c.sdx", Placement("InCharlie"));

    configurations.push_back({"Earlier", "0", "Earlier", true});  // a command already in the list
    LoadAll();

    ASSERT_EQ(configurations.size(), 3u);
    EXPECT_EQ(configurations[1].first, "Bravo");
    EXPECT_EQ(configurations[2].first, "Charlie");
    EXPECT_TRUE(log.HasPrefix("ERROR Config File Error [1]: 'A.sdx'"));

    std::map<std::string, int32_t> positions;
    for (int32_t i = 0; i < objects.Count(); ++i) {
        const auto membership = objects.At(i)->GetStandMembership();
        EXPECT_EQ(membership.first, 1) << objects.At(i)->GetName();
        positions[objects.At(i)->GetName()] = membership.second;
    }
    EXPECT_EQ(positions, (std::map<std::string, int32_t>{{"b1:InBravo1", 1}, {"b2:InBravo2", 1}, {"c:InCharlie", 2}}));
    EXPECT_EQ(count, 3);
}

TEST_F(RegistryTest, HostileContainerNamesAreListedAndReadLikeAnyOther)
{
    const Strings names = {"with space.sdx", "semi;colon.sdx", "pct%s%n.sdx", "UPPER.SDX", "-dash.sdx"};
    MakeSdx("cfg/Custom.sdx", Configuration("Name=\"Main Terminal %s\" KeyStroke=\"K\" MenuTitle=\"M\""));
    for (const std::string& name : names) MakeSdx("sdx/Main Terminal %s/" + name, Placement("Obj"));

    LoadAll();

    EXPECT_EQ(objects.Count(), static_cast<int32_t>(names.size()));
    EXPECT_EQ(count, static_cast<int32_t>(names.size()));
    EXPECT_TRUE(log.Has("DEBUG SDX Decompilation of 'pct%s%n.sdx' successful."));
}

}  // namespace
