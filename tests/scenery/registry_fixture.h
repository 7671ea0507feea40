// A temporary machine with the program data folder and its "cfg", "sdx" and "xml" folders, SDX containers
// written with the test zip writer, a registry, its lists and a capture of the "VELK.XML" log.
#pragma once

#include "objects/EnviroDataProbe.h"
#include "objects/SimObject.h"
#include "objects/SimObjectList.h"
#include "scenery/QuadTree.h"
#include "scenery/SceneryFileRegistry.h"
#include "tests/scenery/placement_test_support.h"
#include "tests/scenery/zip_fixture_writer.h"
#include "tests/support/TempMachineRoot.h"

#include <memory>
#include <string>
#include <vector>

namespace registry_testing {

using Strings = std::vector<std::string>;

// Host folder of "C:\ProgramData\Quorvath\VELK".
inline const std::string kData = "c/ProgramData/Quorvath/VELK/";

inline std::string Placement(const std::string& objectName, const std::string& title = "Cone")
{
    return "<VELK>" + placement_testing::SimObjectXml(objectName, "<Model SimTitle=\"" + title + "\"/>") + "</VELK>";
}

inline std::string Configuration(const std::string& attributes)
{
    return "<VELK><CustomConfiguration " + attributes + "/></VELK>";
}

class RegistryTest : public testsupport::MachineRootTest {
protected:
    void SetUp() override
    {
        MachineRootTest::SetUp();
        MakeFolder(kData + "cfg");
        MakeFolder(kData + "sdx");
        MakeFolder(kData + "xml");
        registry = std::make_unique<SceneryFileRegistry>();
        registry->GetPlacementReader().SetSeedSource([] { return 7u; });
    }

    void TearDown() override
    {
        registry.reset();
        MachineRootTest::TearDown();
    }

    // A container of one (or more) entries, enciphered with the password of its own file name unless
    // another one is given.
    void MakeSdx(const std::string& relative, const std::vector<std::string>& texts, const std::string& password = "")
    {
        const std::string key = password.empty() ? SceneryFileRegistry::SdxPassword(relative) : password;
        std::vector<velk::test::ZipFixtureEntry> entries;
        for (size_t i = 0; i < texts.size(); ++i) {
            entries.emplace_back("entry" + std::to_string(i) + ".xml", texts[i], true, key.c_str());
        }
        MakeFile(kData + relative, velk::test::BuildZip(entries).bytes);
    }
    void MakeSdx(const std::string& relative, const std::string& text) { MakeSdx(relative, Strings{text}); }

    // The Windows path of a file below the program data folder.
    static std::string DataPath(std::string relative)
    {
        for (char& c : relative) c = c == '/' ? '\\' : c;
        return "C:\\ProgramData\\Quorvath\\VELK\\" + relative;
    }

    void LoadAll()
    {
        registry->FindSdxCfgFiles();
        count = registry->BuildListsFromSdx(0, configurations, objects, probes, &zones);
        registry->FindXmlFiles();
        count = registry->BuildListsFromXml(count, objects, probes, &zones);
    }

    Strings ObjectNames() const
    {
        Strings names;
        for (int32_t i = 0; i < objects.Count(); ++i) names.push_back(objects.At(i)->GetName());
        return names;
    }

    placement_testing::LogCapture log;
    std::unique_ptr<SceneryFileRegistry> registry;
    StringTripleList configurations;
    SimObjectList objects;
    EnviroDataProbeList probes;
    ProtectionZoneList zones;
    int32_t count = 0;
};

}  // namespace registry_testing
