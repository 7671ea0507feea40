// The sample machine of examples/machine, read the way start-up reads it: the placement-file registry
// (custom configurations, then the XML placement files) under P3Dv4, then the SimObjects folder search and
// the model check over every object read. The sample must read without a single complaint, and every
// kind of placement it is there to show must arrive.
#include "objects/EnviroDataProbe.h"
#include "objects/JetwayConfig.h"
#include "objects/SimObject.h"
#include "objects/SimObjectList.h"
#include "objects/SimObjectModel.h"
#include "scenery/QuadTree.h"
#include "scenery/SceneryFileRegistry.h"
#include "scenery/SimObjectsFolderManager.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempMachineRoot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing::UnorderedElementsAre;
using Strings = std::vector<std::string>;

const std::filesystem::path kSampleMachine =
    std::filesystem::path(VELK_TEST_SOURCE_DIR) / ".." / ".." / "examples" / "machine";

constexpr const char* kPlatform = "P3Dv4";
constexpr int32_t kApronObjects = 22;     // XVLK_Apron.xml: 8 loose (one with two placements), 3 carts, 11 on stands
constexpr int32_t kTerminal2Objects = 3;  // the stand of the custom configuration
constexpr int32_t kPierBObjects = 9;      // XVLK_PierB.xml: stands B21..B23, six jetways and three displays

class SampleMachineTest : public testsupport::MachineRootTest {
protected:
    SampleMachineTest() : MachineRootTest({.label = "sample"}) {}

    void SetUp() override
    {
        MachineRootTest::SetUp();
        ASSERT_TRUE(std::filesystem::is_directory(kSampleMachine)) << kSampleMachine;
        std::filesystem::copy(kSampleMachine, root_,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);

        // The placement files, as the reload reads them.
        registry_ = std::make_unique<SceneryFileRegistry>();
        registry_->GetPlacementReader().SetSeedSource([] { return 7u; });
        registry_->SetSimPlatform(kPlatform);
        registry_->FindSdxCfgFiles();
        count_ = registry_->BuildListsFromSdx(0, configurations_, objects_, probes_, &zones_);
        registry_->FindXmlFiles();
        count_ = registry_->BuildListsFromXml(count_, objects_, probes_, &zones_);

        // Then the SimObjects folders and the model check over everything read. The model header reader
        // complains on the standard output.
        manager_ = std::make_unique<SimObjectsFolderManager>(folderLog_.category(), nullptr);
        manager_->SetSimPlatform(kPlatform);
        testing::internal::CaptureStdout();
        manager_->BuildSimObjectsMap();
        modelReaderOutput_ = testing::internal::GetCapturedStdout();
        titlesBeforeCheck_ = Titles();
        manager_->CheckModels(objects_);
    }

    void TearDown() override
    {
        manager_.reset();
        registry_.reset();
        MachineRootTest::TearDown();
    }

    // Every title of every model of every object, in list order.
    Strings Titles() const
    {
        Strings titles;
        for (int32_t i = 0; i < objects_.Count(); ++i) {
            const SimObject* object = objects_.At(i);
            for (int32_t m = 0; m < object->GetModelCount(); ++m) titles.push_back(object->GetModel(m)->GetSimTitle());
        }
        return titles;
    }

    std::vector<const SimObject*> ObjectsWith(int32_t feature) const
    {
        std::vector<const SimObject*> found;
        for (int32_t i = 0; i < objects_.Count(); ++i) {
            if (objects_.At(i)->HasObjectFeature(feature)) found.push_back(objects_.At(i));
        }
        return found;
    }

    testsupport::LogCapture xmlLog_{"VELK.XML"};
    testsupport::LogCapture folderLog_{"VELK.FOLDERMANAGER"};
    testsupport::LogCapture loopLog_{"VELK.FSLOOP"};
    std::unique_ptr<SceneryFileRegistry> registry_;
    std::unique_ptr<SimObjectsFolderManager> manager_;
    StringTripleList configurations_;
    SimObjectList objects_;
    EnviroDataProbeList probes_;
    ProtectionZoneList zones_;
    int32_t count_ = 0;
    std::string modelReaderOutput_;
    Strings titlesBeforeCheck_;
};

TEST_F(SampleMachineTest, ReadsWithoutAComplaint)
{
    for (const char* priority : {"FATAL", "ERROR", "WARN"}) {
        EXPECT_THAT(xmlLog_.Priority(priority), IsEmpty()) << "VELK.XML " << priority;
        EXPECT_THAT(folderLog_.Priority(priority), IsEmpty()) << "VELK.FOLDERMANAGER " << priority;
        EXPECT_THAT(loopLog_.Priority(priority), IsEmpty()) << "VELK.FSLOOP " << priority;
    }
    EXPECT_EQ(modelReaderOutput_, "") << "every model file has a readable header";
}

TEST_F(SampleMachineTest, FindsEveryPlacementFileAndReadsTheExpectedObjects)
{
    EXPECT_THAT(registry_->GetSdxCfgFiles(), ElementsAre("XVLK_Terminal2.sdx"));
    EXPECT_THAT(registry_->GetXmlFiles(),
                UnorderedElementsAre("XVLK\\XVLK_Apron.xml", "XVLK\\XVLK_CargoRamp.xml", "XVLK\\XVLK_PierB.xml"));
    EXPECT_EQ(objects_.Count(), kApronObjects + kTerminal2Objects + kPierBObjects);
    ASSERT_EQ(probes_.Count(), 1);
    EXPECT_EQ(probes_.At(0)->GetName(), "XVLK_Apron:XVLK Weather Probe");
    EXPECT_EQ(zones_.Count(), 1);
    // Every entry and the probe took one request number.
    EXPECT_EQ(count_, objects_.Count() + probes_.Count());
}

TEST_F(SampleMachineTest, ReadsTheCustomConfigurationAndItsCommand)
{
    ASSERT_EQ(configurations_.size(), 1u);
    EXPECT_EQ(configurations_[0].first, "XVLK_Terminal2");
    EXPECT_EQ(configurations_[0].second, "Shift+Ctrl+2");
    EXPECT_EQ(configurations_[0].third, "Velkburg Terminal 2");
    EXPECT_TRUE(configurations_[0].complete);

    Strings members;
    for (int32_t i = 0; i < objects_.Count(); ++i) {
        const SimObject* object = objects_.At(i);
        if (object->GetStandMembership() == std::pair<uint8_t, int32_t>{1, 0}) members.push_back(object->GetName());
    }
    EXPECT_THAT(members, UnorderedElementsAre("XVLK_T2_Stands:B11 Jetway", "XVLK_T2_Stands:B11 VDGS",
                                              "XVLK_T2_Stands:B11 Gate Number"));
}

// The area is switched off in scenery.cfg. Under P3Dv4 the library is not read at all, so a file that names
// any area is skipped; the file stays right for a platform that reads it.
TEST_F(SampleMachineTest, SkipsThePlacementFileOfTheInactiveSceneryArea)
{
    for (int32_t i = 0; i < objects_.Count(); ++i) {
        EXPECT_NE(objects_.At(i)->GetNamePrefix(), "XVLK_CargoRamp") << objects_.At(i)->GetName();
    }
    EXPECT_TRUE(xmlLog_.Has("INFO Scenery 'Addon Scenery\\Velkburg Cargo' is not active in the scenery library. "
                            "VELK ignores 'C:\\ProgramData\\Quorvath\\VELK\\xml\\XVLK\\XVLK_CargoRamp.xml'"));
}

struct FeatureRow {
    const char* name;
    int32_t feature;
};

TEST_F(SampleMachineTest, ShowsEveryFeatureFamily)
{
    const FeatureRow rows[] = {
        {"jetway", FeatureJetway},
        {"docking guidance", FeatureVDGS},
        {"rotation by wind direction", FeatureRotationByWindDirection},
        {"season condition", FeatureConditionMonthOfYear},
        {"time of day condition", FeatureConditionTimeOfDay},
        {"clock time condition", FeatureConditionTime},
        {"weekday condition", FeatureConditionDayOfWeek},
        {"weather condition", FeatureConditionMetPrecipitation},
        {"proximity animation", FeatureTriggAnimationProximity},
        {"radio visibility", FeatureTriggVisibilityRadio},
        {"menu animation", FeatureTriggAnimationTextMenu},
        {"controllable animation", FeatureControllableAnimation},
        {"group menu visibility", FeatureGroupTriggVisibilityTextMenu},
        {"randomized visibility", FeatureRandomizedVisibility},
    };
    for (const FeatureRow& row : rows) {
        EXPECT_FALSE(ObjectsWith(row.feature).empty()) << row.name;
    }

    const SimObject* beacon = objects_.FindByName("XVLK_Apron:Terminal Beacon");
    ASSERT_NE(beacon, nullptr);
    EXPECT_TRUE(beacon->GetModel(0)->GetTimer()->IsDefined()) << "timer";

    EXPECT_NE(objects_.FindByName("XVLK_Apron:Apron Floodlight #1"), nullptr) << "two placements";
    EXPECT_NE(objects_.FindByName("XVLK_Apron:Apron Floodlight #2"), nullptr) << "two placements";

    Strings carts;
    for (int32_t i = 0; i < objects_.Count(); ++i) {
        if (objects_.At(i)->GetGroupName() == "Remote Stand Carts") carts.push_back(objects_.At(i)->GetNameSuffix());
    }
    EXPECT_THAT(carts, UnorderedElementsAre("Cart 1", "Cart 2", "Cart 3")) << "group";
}

TEST_F(SampleMachineTest, PlacesStandsWithOneTwoAndThreeJetways)
{
    std::map<std::string, int> jetways;
    std::map<std::string, int> displays;
    for (int32_t i = 0; i < objects_.Count(); ++i) {
        const SimObject* object = objects_.At(i);
        const StandData& stand = object->GetStandData();
        if (stand.GetAirportIcao().empty()) continue;
        const std::string key = stand.GetAirportIcao() + " " + stand.GetGateName() + " " +
                                std::to_string(stand.GetParkingNumber());
        if (object->HasObjectFeature(FeatureJetway)) ++jetways[key];
        if (object->HasObjectFeature(FeatureVDGS)) ++displays[key];
    }
    EXPECT_EQ(jetways, (std::map<std::string, int>{
                           {"XVLK GATE_A 1", 1}, {"XVLK GATE_A 2", 2}, {"XVLK GATE_A 3", 3}, {"XVLK GATE_B 11", 1},
                           {"XVLK GATE_B 21", 1}, {"XVLK GATE_B 22", 2}, {"XVLK GATE_B 23", 3}}));
    EXPECT_EQ(displays, (std::map<std::string, int>{
                            {"XVLK GATE_A 1", 1}, {"XVLK GATE_A 2", 1}, {"XVLK GATE_A 3", 1}, {"XVLK GATE_B 11", 1},
                            {"XVLK GATE_B 21", 1}, {"XVLK GATE_B 22", 1}, {"XVLK GATE_B 23", 1}}));
}

TEST_F(SampleMachineTest, FindsTheSimObjectsFoldersOfTheInstallation)
{
    EXPECT_THAT(manager_->GetContainerPaths(),
                ElementsAre("SimObjects\\Airplanes", "C:\\Quorvath\\VELK Objects\\SimObjects"));
    EXPECT_EQ(manager_->FindAircraftTitle("Quorvath A320-214 Velkair"),
              "C:\\Prepar3D v4\\SimObjects\\Airplanes\\Quorvath A320\\");
    EXPECT_NE(manager_->FindAircraftTitle("Quorvath AI B737-800 Nordlink"), "");
    EXPECT_NE(manager_->FindAircraftTitle("Quorvath AI CRJ-700 Velkair Regional"), "");
    EXPECT_EQ(manager_->GetAircraftMap().size(), 4u);
}

TEST_F(SampleMachineTest, FindsEveryPlacedTitleInTheSimObjectsFolders)
{
    std::set<std::string> titles(titlesBeforeCheck_.begin(), titlesBeforeCheck_.end());
    titles.insert(probes_.At(0)->GetModel(0)->GetSimTitle());
    titles.insert(SimObjectsFolderManager::kMissingObjectTitle);
    for (const std::string& title : titles) {
        EXPECT_NE(manager_->LookupTitlePath(title), "") << title;
        const auto status = manager_->GetOwnTitleStatus().find(SimObjectsFolderManager::ToLowerAscii(title));
        ASSERT_NE(status, manager_->GetOwnTitleStatus().end()) << title;
        EXPECT_EQ(status->second, SimObjectsFolderManager::kModelOk) << title;
    }
    EXPECT_EQ(Titles(), titlesBeforeCheck_) << "no model was replaced by the missing-object title";
}

TEST_F(SampleMachineTest, ReadsTheJetwayConfigurationOfEveryJetway)
{
    folderLog_.Clear();
    const JetwayConfig reader(&folderLog_.category(), nullptr);
    const std::vector<const SimObject*> jetways = ObjectsWith(FeatureJetway);
    ASSERT_EQ(jetways.size(), 13u);
    std::set<uint32_t> types;
    for (const SimObject* object : jetways) {
        // The moving model follows the static one; its folder holds jetway.cfg.
        const SimObjectModel* moving = object->GetModel(1);
        Jetway jetway;
        JetwayConfigTarget target;
        target.jetway = &jetway;
        target.placement = object->GetPlacement();
        target.objectName = object->GetName();
        target.modelTitle = moving->GetSimTitle();
        ASSERT_TRUE(reader.Read(target, manager_->LookupTitlePath(moving->GetSimTitle()) + "jetway.cfg"))
            << object->GetName();
        const JetwayData& data = *jetway.GetJetwayData();
        types.insert(data.JetwayType);
        for (const LinkedSimObject& part : data.Parts) {
            if (part.GetSimTitle().empty()) continue;
            EXPECT_NE(manager_->LookupTitlePath(part.GetSimTitle()), "")
                << object->GetName() << ": " << part.GetSimTitle();
        }
    }
    EXPECT_EQ(types, (std::set<uint32_t>{kJetwayTypeA, kJetwayTypeN, kJetwayTypeT, kJetwayTypeH}));
    EXPECT_THAT(folderLog_.Priority("ERROR"), IsEmpty());
    EXPECT_THAT(folderLog_.Priority("WARN"), IsEmpty());
}

}  // namespace
