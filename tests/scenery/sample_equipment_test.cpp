// The stand equipment and the aircraft of the sample machine (examples/machine), read the way start-up reads
// them: the placement files, the SimObjects folders, every jetway's jetway.cfg, "AircraftExits.ini",
// "AircraftParameters.ini" and the aircraft's own aircraft.cfg. A demo day docks over these stands and
// aircraft; each row says what it relies on.
#include "aircraft/AircraftConfigData.h"
#include "aircraft/AircraftParameters.h"
#include "aircraft/AircraftTypeTable.h"
#include "jetway/IKSolver.h"
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

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using testing::IsEmpty;

const std::filesystem::path kSampleMachine =
    std::filesystem::path(VELK_TEST_SOURCE_DIR) / ".." / ".." / "examples" / "machine";

class SampleEquipmentTest : public testsupport::MachineRootTest {
protected:
    SampleEquipmentTest() : MachineRootTest({.label = "equipment"}) {}

    void SetUp() override
    {
        MachineRootTest::SetUp();
        ASSERT_TRUE(std::filesystem::is_directory(kSampleMachine)) << kSampleMachine;
        std::filesystem::copy(kSampleMachine, root_,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        registry_ = std::make_unique<SceneryFileRegistry>();
        registry_->GetPlacementReader().SetSeedSource([] { return 7u; });
        registry_->SetSimPlatform("P3Dv4");
        registry_->FindSdxCfgFiles();
        int32_t count = registry_->BuildListsFromSdx(0, configurations_, objects_, probes_, &zones_);
        registry_->FindXmlFiles();
        registry_->BuildListsFromXml(count, objects_, probes_, &zones_);

        manager_ = std::make_unique<SimObjectsFolderManager>(folderLog_.category(), nullptr);
        manager_->SetSimPlatform("P3Dv4");
        testing::internal::CaptureStdout();
        manager_->BuildSimObjectsMap();
        modelReaderOutput_ = testing::internal::GetCapturedStdout();
        manager_->CheckModels(objects_);
    }

    void TearDown() override
    {
        manager_.reset();
        registry_.reset();
        MachineRootTest::TearDown();
    }

    // The objects of one stand with a feature, by ascending MultiIndex (the order of the stand's jetways).
    std::vector<const SimObject*> StandObjects(const std::string& gate, int32_t number, int32_t feature) const
    {
        std::vector<const SimObject*> found;
        for (int32_t i = 0; i < objects_.Count(); ++i) {
            const SimObject* object = objects_.At(i);
            const StandData& stand = object->GetStandData();
            if (stand.GetAirportIcao() == "XVLK" && stand.GetGateName() == gate && stand.GetParkingNumber() == number &&
                object->HasObjectFeature(feature))
                found.push_back(object);
        }
        std::stable_sort(found.begin(), found.end(), [](const SimObject* a, const SimObject* b) {
            return a->GetMultiIndex() < b->GetMultiIndex();
        });
        return found;
    }

    // The jetway.cfg of a placed jetway (its moving model, behind the static one), read into a fresh jetway.
    bool ReadJetwayConfig(const SimObject& object, Jetway& jetway)
    {
        const JetwayConfig reader(&folderLog_.category(), nullptr);
        const SimObjectModel* moving = object.GetModel(1);
        JetwayConfigTarget target;
        target.jetway = &jetway;
        target.placement = object.GetPlacement();
        target.objectName = object.GetName();
        target.modelTitle = moving->GetSimTitle();
        const std::string folder = manager_->LookupTitlePath(moving->GetSimTitle());
        return !folder.empty() && reader.Read(target, folder + "jetway.cfg");
    }

    testsupport::LogCapture xmlLog_{"VELK.XML"};
    testsupport::LogCapture folderLog_{"VELK.FOLDERMANAGER"};
    testsupport::LogCapture exitsLog_{"VELK.ACFTEXITS"};
    testsupport::LogCapture parametersLog_{"VELK.ACFTPARAMS"};
    std::unique_ptr<SceneryFileRegistry> registry_;
    std::unique_ptr<SimObjectsFolderManager> manager_;
    StringTripleList configurations_;
    SimObjectList objects_;
    EnviroDataProbeList probes_;
    ProtectionZoneList zones_;
    std::string modelReaderOutput_;
};

TEST_F(SampleEquipmentTest, ReadsEveryFileWithoutAComplaint)
{
    EXPECT_THAT(registry_->GetXmlFiles(), testing::Contains("XVLK\\XVLK_PierB.xml"));
    for (const char* priority : {"FATAL", "ERROR", "WARN"}) {
        EXPECT_THAT(xmlLog_.Priority(priority), IsEmpty()) << "VELK.XML " << priority;
        EXPECT_THAT(folderLog_.Priority(priority), IsEmpty()) << "VELK.FOLDERMANAGER " << priority;
    }
    EXPECT_EQ(modelReaderOutput_, "") << "every model file has a readable header";
}

struct StandRow {
    const char* name;
    const char* gate;
    int32_t number;
    const char* designator;  // "NONE" without a custom designator
    const char* customNumber;
    std::vector<uint32_t> jetwayTypes;  // by ascending MultiIndex
};

// One, two and three jetways, every jetway type (types A and H move by one phase machine, N and T by the
// other), and the stands with the "Pier B" designator whose boxes show B21..B23.
TEST_F(SampleEquipmentTest, StandsHaveTheirJetwaysOfEveryType)
{
    const StandRow rows[] = {
        {"A1, one type A", "GATE_A", 1, "NONE", "0", {kJetwayTypeA}},
        {"A2, type A and N", "GATE_A", 2, "NONE", "0", {kJetwayTypeA, kJetwayTypeN}},
        {"A3, three with a designator", "GATE_A", 3, "A", "3", {kJetwayTypeA, kJetwayTypeA, kJetwayTypeN}},
        {"B11, the custom configuration's", "GATE_B", 11, "NONE", "0", {kJetwayTypeN}},
        {"B21, one type T", "GATE_B", 21, "Pier B", "21", {kJetwayTypeT}},
        {"B22, two type H", "GATE_B", 22, "Pier B", "22", {kJetwayTypeH, kJetwayTypeH}},
        {"B23, type H twice and a raised T", "GATE_B", 23, "Pier B", "23",
         {kJetwayTypeH, kJetwayTypeH, kJetwayTypeT}},
    };
    std::set<uint32_t> types;
    for (const StandRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<const SimObject*> jetways = StandObjects(row.gate, row.number, FeatureJetway);
        std::vector<uint32_t> jetwayTypes;
        for (const SimObject* object : jetways) {
            const StandData& stand = object->GetStandData();
            EXPECT_EQ(stand.GetCustomDesignator(), row.designator);
            EXPECT_EQ(stand.GetCustomNumber(), row.customNumber);
            EXPECT_EQ(stand.HasCustomDesignator(), std::string(row.designator) != "NONE");
            Jetway jetway;
            ASSERT_TRUE(ReadJetwayConfig(*object, jetway)) << object->GetName();
            jetwayTypes.push_back(jetway.GetJetwayData()->JetwayType);
        }
        EXPECT_EQ(jetwayTypes, row.jetwayTypes);
        types.insert(jetwayTypes.begin(), jetwayTypes.end());
    }
    EXPECT_EQ(types, (std::set<uint32_t>{kJetwayTypeA, kJetwayTypeN, kJetwayTypeT, kJetwayTypeH}));
    EXPECT_THAT(folderLog_.Priority("ERROR"), IsEmpty());
}

// The raised upper-deck jetway of B23 stands 15 ft above the ground: its floor is that much higher.
TEST_F(SampleEquipmentTest, TheRaisedJetwayKeepsItsHeightAboveGround)
{
    const SimObject* upper = objects_.FindByName("XVLK_PierB:B23 Jetway Upper");
    const SimObject* lower = objects_.FindByName("XVLK_PierB:B21 Jetway");
    ASSERT_NE(upper, nullptr);
    ASSERT_NE(lower, nullptr);
    Jetway upperJetway;
    Jetway lowerJetway;
    ASSERT_TRUE(ReadJetwayConfig(*upper, upperJetway));
    ASSERT_TRUE(ReadJetwayConfig(*lower, lowerJetway));
    EXPECT_NEAR(upperJetway.GetJetwayData()->RootFloorHeight - lowerJetway.GetJetwayData()->RootFloorHeight,
                15.0 * 0.3048, 1e-9);
}

// Every model folder of the package that holds a jetway model has a jetway.cfg the reader accepts, and
// every part it links (heads, the sliding tunnel, the gate number box) is a title of the installation.
TEST_F(SampleEquipmentTest, EveryJetwayModelFolderHasAReadableConfiguration)
{
    std::set<std::string> folders;
    for (int32_t i = 0; i < objects_.Count(); ++i) {
        const SimObject* object = objects_.At(i);
        if (!object->HasObjectFeature(FeatureJetway)) continue;
        if (!folders.insert(manager_->LookupTitlePath(object->GetModel(1)->GetSimTitle())).second) continue;
        SCOPED_TRACE(object->GetName());
        Jetway jetway;
        ASSERT_TRUE(ReadJetwayConfig(*object, jetway));
        EXPECT_TRUE(jetway.HasConfig());
        int parts = 0;
        bool gateNumberBox = false;
        for (const LinkedSimObject& part : jetway.GetJetwayData()->Parts) {
            if (part.GetSimTitle().empty()) continue;
            ++parts;
            EXPECT_NE(manager_->LookupTitlePath(part.GetSimTitle()), "") << part.GetSimTitle();
            if (part.GetSimTitle() == "Quorvath_VELK_GateNumberBox") {
                gateNumberBox = true;
                EXPECT_EQ(part.GetLinkType(), LinkType::Root);
            }
        }
        EXPECT_EQ(parts, 2) << "the moving part and the gate number box";
        EXPECT_TRUE(gateNumberBox);
    }
    EXPECT_EQ(folders.size(), 4u) << "the folders of the types A, N, T and H";
    EXPECT_THAT(folderLog_.Priority("ERROR"), IsEmpty());
}

// Every jetway of the pier's stands carries a gate number box (checked with the jetway models above); the
// stand's designator ends in a blank and a capital letter, so the box shows that letter and the custom number.
TEST_F(SampleEquipmentTest, PierStandsNameTheirGateNumberBoxes)
{
    for (int32_t number : {21, 22, 23}) {
        SCOPED_TRACE(number);
        const std::vector<const SimObject*> jetways = StandObjects("GATE_B", number, FeatureJetway);
        ASSERT_FALSE(jetways.empty());
        for (const SimObject* object : jetways) {
            const StandData& stand = object->GetStandData();
            EXPECT_TRUE(stand.HasCustomDesignator());
            const std::string designator = stand.GetCustomDesignator();
            ASSERT_GE(designator.size(), 2u);
            EXPECT_EQ(designator.substr(designator.size() - 2), " B");
            EXPECT_EQ(designator.back() + stand.GetCustomNumber(), "B" + std::to_string(number));
        }
    }
}

struct DisplayRow {
    const char* name;
    const char* object;
    int32_t displayType;  // 0 standard, 1 APIS, 2 traffic light, 3 Honeywell
    std::map<std::string, double> stopsM;  // every aircraft type of the sample fleet the stand takes
};

TEST_F(SampleEquipmentTest, EveryDisplayTypeGuidesTheSampleFleet)
{
    const DisplayRow rows[] = {
        {"standard", "XVLK_Apron:A1 VDGS", 0, {{"A320", 42.0}, {"B737", 40.5}, {"CRJ7", 44.0}}},
        {"APIS", "XVLK_Apron:A3 VDGS", 1, {{"A320", 42.0}}},
        {"traffic light", "XVLK_PierB:B21 VDGS", 2, {{"CRJ7", 16.7}, {"A320", 16.7}, {"B738", 16.7}}},
        {"Honeywell", "XVLK_PierB:B22 VDGS", 3,
         {{"CRJ7", 44.0}, {"A320", 42.0}, {"B738", 40.5}}},
        {"standard, wide-body", "XVLK_PierB:B23 VDGS", 0, {{"B744", 34.0}, {"B738", 40.5}, {"A320", 42.0}}},
    };
    const AircraftTypeTable types;
    std::set<int32_t> displayTypes;
    for (const DisplayRow& row : rows) {
        SCOPED_TRACE(row.name);
        const SimObject* object = objects_.FindByName(row.object);
        ASSERT_NE(object, nullptr);
        ASSERT_TRUE(object->HasObjectFeature(FeatureVDGS));
        ASSERT_EQ(object->GetModelCount(), 2);
        EXPECT_EQ(object->GetModel(0)->GetSimTitle(), "Quorvath_VELK_VDGS_Static");
        EXPECT_NE(manager_->LookupTitlePath(object->GetModel(1)->GetSimTitle()), "")
            << object->GetModel(1)->GetSimTitle();
        const VDGS& vdgs = *object->GetModel(1)->GetVDGS();
        EXPECT_EQ(vdgs.GetDisplayType(), row.displayType);
        displayTypes.insert(vdgs.GetDisplayType());
        for (const auto& [type, distanceM] : row.stopsM) {
            const auto stop = vdgs.GetStopTable().find(types.GetCode(type));
            ASSERT_NE(stop, vdgs.GetStopTable().end()) << type;
            EXPECT_EQ(stop->second, distanceM) << type;
        }
    }
    EXPECT_EQ(displayTypes, (std::set<int32_t>{0, 1, 2, 3}));
}

struct AircraftRow {
    const char* title;
    const char* folder;
    const char* icaoType;
    std::vector<std::string> doors;  // names as the aircraft numbers them, front to back
    bool customExits;                // the doors come from AircraftExits.ini
};

// Every aircraft of the sample fleet: found by its title, its nose wheel and eye point, its doors (left
// passenger doors only; an upper deck door counts on its own deck) and door parameters for every door.
TEST_F(SampleEquipmentTest, EveryAircraftResolvesWithItsDoors)
{
    const AircraftRow rows[] = {
        {"Quorvath AI CRJ-700 Velkair Regional", "Quorvath CRJ7 AI", "CRJ7", {"1L"}, false},
        {"Quorvath A320-214 Velkair", "Quorvath A320", "A320", {"1L", "2L"}, false},
        {"Quorvath AI B737-800 Nordlink", "Quorvath B738 AI", "B738", {"1L", "2L"}, true},
        {"Quorvath B747-400 Velkair", "Quorvath B744", "B744", {"1L", "1L Upper", "2L"}, false},
    };
    AircraftParameters parameters(&parametersLog_.category());
    parameters.ReadParameters();
    EXPECT_THAT(*parameters.GetTypeList(), testing::UnorderedElementsAre("A320", "B738", "CRJ7", "B744"));
    const AircraftTypeTable types;
    EXPECT_EQ(manager_->GetAircraftMap().size(), std::size(rows));
    for (const AircraftRow& row : rows) {
        SCOPED_TRACE(row.title);
        const std::string folder = manager_->FindAircraftTitle(row.title);
        EXPECT_EQ(folder, std::string("C:\\Prepar3D v4\\SimObjects\\Airplanes\\") + row.folder + "\\");
        exitsLog_.Clear();
        AircraftConfigData config(&exitsLog_.category());
        config.SetAircraftPath(folder);
        config.ReadAircraftData();
        config.SetDoorParameters(parameters.GetDoorMap());
        config.SetICAOType(types.FindIn(config.GetAtcModel()));
        EXPECT_EQ(config.GetICAOType(), row.icaoType);
        EXPECT_EQ(config.GetCreatedBy(), "Quorvath Sample Fleet");
        EXPECT_TRUE(config.HasNoseWheel());
        EXPECT_EQ(config.GetEyePointRelative().size(), 3u);
        EXPECT_EQ(exitsLog_.Has("DEBUG Found Custom Exit Data. (Quorvath Sample Fleet:Quorvath_AI_B738)"),
                  row.customExits);

        // Numbered per deck in list order, as the user aircraft and the AI aircraft name them.
        std::vector<std::string> doors;
        int main = 0;
        int upper = 0;
        for (const AircraftParameters::DoorData& exit : config.GetExits()) {
            doors.push_back(exit.upperDeck ? std::to_string(++upper) + "L Upper" : std::to_string(++main) + "L");
            EXPECT_LT(exit.y, 0.0) << doors.back() << " is on the left";
            EXPECT_NE(config.GetDoorParameters(doors.back()), nullptr) << doors.back();
        }
        EXPECT_EQ(doors, row.doors);
        EXPECT_THAT(exitsLog_.Priority("ERROR"), IsEmpty());
        EXPECT_THAT(exitsLog_.Priority("WARN"), IsEmpty());
    }
    EXPECT_THAT(parametersLog_.Priority("WARN"), IsEmpty());
}

// Where an aircraft's door and nose wheel are in its aircraft.cfg (feet from the reference datum).
struct FleetDoor {
    const char* name;
    double xFt, yFt, zFt;       // the door
    double noseXFt, noseZFt;    // the nose wheel's contact point
};

constexpr FleetDoor kA320Door1{"A320 1L", 42.5, -6.2, 1.0, 38.0, -10.2};
constexpr FleetDoor kA320Door2{"A320 2L", -43.0, -5.4, 1.6, 38.0, -10.2};
constexpr FleetDoor kCrj7Door1{"CRJ7 1L", 33.0, -4.3, 1.5, 35.5, -6.8};
constexpr FleetDoor kB738Door1{"B738 1L", 43.0, -6.0, 2.8, 36.5, -9.1};
constexpr FleetDoor kB738Door2{"B738 2L (AircraftExits.ini)", -40.5, -5.8, 3.2, 36.5, -9.1};
constexpr FleetDoor kB744Door1{"B744 1L", 78.0, -9.4, -1.5, 84.0, -17.6};
constexpr FleetDoor kB744Door2{"B744 2L", 30.0, -10.2, -1.8, 84.0, -17.6};
constexpr FleetDoor kB744Upper{"B744 1L Upper", 45.0, -6.4, 8.5, 84.0, -17.6};

struct DockingRow {
    const char* jetway;
    const char* display;
    double stopM;  // the display's stop for the type
    FleetDoor door;
    bool doorLed;  // the guidance leads door 1L (a stand with one type N or T jetway), not the nose wheel
};

// The aircraft of the sample fleet stopped where the display of the stand stops them (on its centre line,
// heading north, on the ground at 1650 ft): every jetway of the pier reaches the door it serves.
TEST_F(SampleEquipmentTest, PierJetwaysReachTheDoorsOfTheFleetAtTheStops)
{
    const DockingRow rows[] = {
        {"B21 Jetway", "B21 VDGS", 16.7, kA320Door1, true},
        {"B21 Jetway", "B21 VDGS", 16.7, kCrj7Door1, true},
        {"B21 Jetway", "B21 VDGS", 16.7, kB738Door1, true},
        {"B22 Jetway Front", "B22 VDGS", 42.0, kA320Door1, false},
        {"B22 Jetway Rear", "B22 VDGS", 42.0, kA320Door2, false},
        {"B22 Jetway Front", "B22 VDGS", 44.0, kCrj7Door1, false},
        {"B22 Jetway Front", "B22 VDGS", 40.5, kB738Door1, false},
        {"B22 Jetway Rear", "B22 VDGS", 40.5, kB738Door2, false},
        {"B23 Jetway 1", "B23 VDGS", 34.0, kB744Door1, false},
        {"B23 Jetway 2", "B23 VDGS", 34.0, kB744Door2, false},
        {"B23 Jetway Upper", "B23 VDGS", 34.0, kB744Upper, false},
        {"B23 Jetway 1", "B23 VDGS", 40.5, kB738Door1, false},
        {"B23 Jetway 2", "B23 VDGS", 40.5, kB738Door2, false},
        {"B23 Jetway 1", "B23 VDGS", 42.0, kA320Door1, false},
        {"B23 Jetway 2", "B23 VDGS", 42.0, kA320Door2, false},
    };
    constexpr double kGroundFt = 1650.0;
    constexpr double kMetresPerFoot = 0.3048;
    constexpr double kMetresPerDegree = 6378137.0 * M_PI / 180.0;
    const IKSolver solver(nullptr);
    for (const DockingRow& row : rows) {
        SCOPED_TRACE(std::string(row.jetway) + ", " + row.door.name);
        const SimObject* object = objects_.FindByName(std::string("XVLK_PierB:") + row.jetway);
        const SimObject* display = objects_.FindByName(std::string("XVLK_PierB:") + row.display);
        ASSERT_NE(object, nullptr);
        ASSERT_NE(display, nullptr);
        Jetway jetway;
        ASSERT_TRUE(ReadJetwayConfig(*object, jetway));

        // The led point stops on the display's line, the stop distance south of the display.
        const double metresPerDegreeLon = kMetresPerDegree * std::cos(display->GetLatitude() * M_PI / 180.0);
        double doorLat = display->GetLatitude() - row.stopM / kMetresPerDegree;
        double doorLon = display->GetLongitude();
        if (!row.doorLed) {
            doorLat += (row.door.xFt - row.door.noseXFt) * kMetresPerFoot / kMetresPerDegree;
            doorLon += row.door.yFt * kMetresPerFoot / metresPerDegreeLon;
        }
        LLAData door(doorLat, doorLon, kGroundFt + row.door.zFt - row.door.noseZFt);

        // Created on the ground: the altitude above it is the offset.
        PlacementData placement = object->GetPlacement();
        placement.SetAltitudeOffset(placement.GetAltitude());
        placement.SetAltitude(kGroundFt + placement.GetAltitude());
        uint32_t mask = 0;
        const bool solved = solver.Solve(&placement, &jetway, 0.0, door, false, mask);
        std::string reasons;
        IKSolver::FailureText(mask, reasons);
        EXPECT_TRUE(solved) << reasons;
    }
}

}  // namespace
