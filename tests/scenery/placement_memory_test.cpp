// What a placement file costs: the placements of one object share its models, a change to one placement
// stays with it, a file adds at most the entry limit, and running out of memory skips the file.
#include "folders_fixture.h"
#include "placement_test_support.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <algorithm>
#include <new>
#include <set>
#include <utility>

using namespace placement_testing;

namespace {

// One object with that many placements and that many models, each model with a timer.
std::string ManyPlacedObject(const std::string& name, int placements, int models)
{
    std::string text = "<SimObject Name=\"" + name + "\">";
    for (int p = 0; p < placements; ++p) {
        text += "<Placement Lat=\"47." + std::to_string(p) + "\" Lon=\"8.5\" Alt=\"0#AGL\" Hdg=\"90\"/>";
    }
    for (int m = 0; m < models; ++m) text += "<Model SimTitle=\"Model_" + std::to_string(m) + "\" Timer=\"100;4\"/>";
    return text + "</SimObject>";
}

// The models the list holds in memory: every model of every entry, counted once however many entries
// show it.
size_t StoredModels(const SimObjectList& objects)
{
    std::set<const SimObjectModel*> stored;
    for (int32_t i = 0; i < objects.Count(); ++i) {
        const SimObject& entry = *objects.At(i);
        for (int32_t m = 0; m < entry.GetModelCount(); ++m) stored.insert(entry.GetModel(m));
    }
    return stored.size();
}

TEST(PlacementMemory, PlacementsOfOneObjectStoreItsModelsOnce)
{
    ReaderRig rig;
    LogCapture log;
    EXPECT_EQ(rig.ReadBody(ManyPlacedObject("Field", 300, 300)), 300);

    ASSERT_EQ(rig.objects.Count(), 300);
    // 300 models in the file, 300 in memory: not one set per placement.
    EXPECT_EQ(StoredModels(rig.objects), 300u);
    for (const char* name : {"Test:Field #1", "Test:Field #150", "Test:Field #300"}) {
        const SimObject& entry = *rig.Find(name);
        ASSERT_EQ(entry.GetModelCount(), 300) << name;
        EXPECT_EQ(entry.GetModel(299)->GetSimTitle(), "Model_299");
        EXPECT_TRUE(entry.GetModel(299)->HasTimer());
    }
    EXPECT_FALSE(log.HasPrefix("ERROR"));
}

TEST(PlacementMemory, ChangingOnePlacementLeavesTheOthersAlone)
{
    ReaderRig rig;
    rig.ReadBody(ManyPlacedObject("Trio", 3, 2));
    ASSERT_EQ(rig.objects.Count(), 3);
    SimObject& first = *rig.Find("Test:Trio #1");
    const SimObject& second = *rig.Find("Test:Trio #2");

    // Stopping shared models has nothing to stop and copies nothing.
    first.StopActivity();
    EXPECT_TRUE(first.SharesModelsWith(second));

    first.GetModel(1)->SetSimTitle("Changed");
    first.SelectModel(1);
    EXPECT_FALSE(first.SharesModelsWith(second));
    EXPECT_EQ(std::as_const(first).GetModel(1)->GetSimTitle(), "Changed");
    EXPECT_TRUE(std::as_const(first).GetModel(1)->GetTriggVisibility()->IsVisible());
    for (const char* name : {"Test:Trio #2", "Test:Trio #3"}) {
        const SimObject& other = *rig.Find(name);
        EXPECT_EQ(other.GetModel(1)->GetSimTitle(), "Model_1") << name;
        EXPECT_FALSE(other.GetModel(1)->GetTriggVisibility()->IsVisible()) << name;
    }

    // A copy of an unchanged placement shares; changing the copy leaves the placement alone.
    SimObject copy = second;
    EXPECT_TRUE(copy.SharesModelsWith(second));
    copy.AddModel("Extra");
    EXPECT_EQ(copy.GetModelCount(), 3);
    EXPECT_EQ(second.GetModelCount(), 2);
    // A change through the shared access reaches every placement that still shares.
    rig.Find("Test:Trio #3")->GetSharedModel(0)->SetSimTitle("Missing");
    EXPECT_EQ(second.GetModel(0)->GetSimTitle(), "Missing");
    EXPECT_EQ(std::as_const(first).GetModel(0)->GetSimTitle(), "Model_0");
}

TEST(PlacementMemory, GroupFeaturesReachEveryPlacement)
{
    ReaderRig rig;
    LogCapture log;
    rig.ReadBody("<Group Name=\"Apron\">" + ManyPlacedObject("Lamp", 3, 2) + SimObjectXml("Sign", "<Model SimTitle=\"S\"/>") +
                 "<ControllableAnimation Input=\"TextMenu\" Action=\"Lights\" KeyframeData=\"0;100;0;5\"/></Group>");
    ASSERT_EQ(rig.objects.Count(), 4);
    for (const char* name : {"Test:Lamp #1", "Test:Lamp #2", "Test:Lamp #3", "Test:Sign"}) {
        const SimObject& entry = *rig.Find(name);
        EXPECT_EQ(entry.GetGroupName(), "Apron") << name;
        EXPECT_TRUE(entry.HasObjectFeature(FeatureGroupControllableAnimation)) << name;
        for (int32_t m = 0; m < entry.GetModelCount(); ++m) {
            EXPECT_TRUE(entry.GetModel(m)->HasFeature(FeatureGroupControllableAnimation)) << name << " " << m;
        }
    }
    EXPECT_EQ(StoredModels(rig.objects), 3u);
    EXPECT_FALSE(log.HasPrefix("ERROR"));
}

TEST(PlacementMemory, FileBeyondTheEntryLimitIsReadNoFurther)
{
    ReaderRig rig;
    LogCapture log;
    rig.reader.SetEntryLimit(5);
    const int32_t count = rig.Read("<VELK>" + ManyPlacedObject("A", 3, 1) + ManyPlacedObject("B", 3, 1) +
                                   SimObjectXml("C", "<Model SimTitle=\"C\"/>") + "<Group Name=\"G\">" +
                                   SimObjectXml("D", "<Model SimTitle=\"D\"/>") + "</Group>" +
                                   "<SimBubbleUpdateProtectionZone Lat=\"1\" Lon=\"2\"/></VELK>",
                                   7, "C:\\xml\\Crowded.xml");

    // The entries up to the limit stay, with their numbers; the rest of the file is never read.
    EXPECT_EQ(count, 7 + 5);
    ASSERT_EQ(rig.objects.Count(), 5);
    EXPECT_EQ(rig.objects.At(4)->GetName(), "Crowded:B #2");
    EXPECT_EQ(rig.Find("Crowded:C"), nullptr);
    EXPECT_EQ(rig.Find("Crowded:D"), nullptr);
    EXPECT_EQ(rig.zones.Count(), 0);
    EXPECT_EQ(log.Count("ERROR 'C:\\xml\\Crowded.xml' adds more than 5 entries! The rest of the file is skipped."), 1u);

    // The limit is per file: the next file reads whole.
    log.Clear();
    EXPECT_EQ(rig.Read("<VELK>" + ManyPlacedObject("E", 4, 1) + "</VELK>", count, "C:\\xml\\Next.xml"), count + 4);
    EXPECT_EQ(rig.objects.Count(), 9);
    EXPECT_FALSE(log.HasPrefix("ERROR"));
}

TEST(PlacementMemory, RunningOutOfMemorySkipsTheRestOfTheFile)
{
    ReaderRig rig;
    LogCapture log;
    // The second jetway's random draw is where the memory runs out.
    int draws = 0;
    rig.reader.SetSeedSource([&draws]() -> uint32_t {
        if (++draws == 2) throw std::bad_alloc();
        return 1u;
    });
    const std::string jetway = "<Model SimTitle=\"J\"><Jetway/></Model>";
    const int32_t count = rig.Read("<VELK>" + SimObjectXml("First", jetway) + SimObjectXml("Second", jetway) +
                                       SimObjectXml("Third", "<Model SimTitle=\"T\"/>") + "</VELK>",
                                   3, "C:\\xml\\Big.xml");
    EXPECT_EQ(count, 3 + 1);
    ASSERT_EQ(rig.objects.Count(), 1);
    EXPECT_EQ(rig.objects.At(0)->GetName(), "Big:First");
    EXPECT_TRUE(log.Has("ERROR 'C:\\xml\\Big.xml': out of memory while reading! The rest of the file is skipped."));

    // Loading a container fails the same way, and the reader goes on with the next file.
    log.Clear();
    rig.reader.SetSdxOpener([](const std::string&, const std::string&, tinyxml2::XMLDocument&) -> int {
        throw std::bad_alloc();
    });
    EXPECT_EQ(rig.reader.ReadPlacementFile(count, "C:\\x\\Huge.sdx", true, rig.objects, rig.probes, &rig.zones, 0, -1),
              count);
    EXPECT_TRUE(log.Has("ERROR 'C:\\x\\Huge.sdx': out of memory while reading! The rest of the file is skipped."));
    EXPECT_EQ(rig.Read("<VELK>" + SimObjectXml("After", "<Model SimTitle=\"A\"/>") + "</VELK>", count), count + 1);
    EXPECT_EQ(rig.objects.Count(), 2);
}

TEST(PlacementMemory, SecondPlacementFollowsTheFirstUntilEitherChanges)
{
    ReaderRig rig;
    rig.ReadBody(ManyPlacedObject("Mast", 2, 1));
    SimObject& entry = *rig.Find("Test:Mast #1");
    EXPECT_DOUBLE_EQ(entry.GetSecondPlacement().GetLatitude(), 47.0);
    EXPECT_DOUBLE_EQ(entry.GetSecondHeading(), 90.0);

    // Ground elevation for both keeps them equal; for the first only, the second keeps its value.
    entry.ApplyGroundElevation(1000.0, 20.0, true);
    EXPECT_DOUBLE_EQ(entry.GetAltitude(), 1020.0);
    EXPECT_DOUBLE_EQ(entry.GetSecondAltitude(), 1020.0);
    EXPECT_FALSE(entry.GetSecondPlacement().IsAltitudeAgl());
    SimObject copy = entry;
    entry.ApplyGroundElevation(2000.0, 20.0, false);
    entry.SetHeading(180.0);
    EXPECT_DOUBLE_EQ(entry.GetAltitude(), 2020.0);
    EXPECT_DOUBLE_EQ(entry.GetSecondAltitude(), 1020.0);
    EXPECT_DOUBLE_EQ(entry.GetSecondHeading(), 90.0);

    // The copy taken before follows its own first placement.
    copy.SetSecondPlacement(1.0, 2.0, 3.0, false, false, 0.0, 0.0, 45.0);
    EXPECT_DOUBLE_EQ(copy.GetSecondHeading(), 45.0);
    EXPECT_DOUBLE_EQ(copy.GetHeading(), 90.0);
    SimObject other = *rig.Find("Test:Mast #2");
    other.SetPitch(5.0);
    EXPECT_DOUBLE_EQ(other.GetSecondPlacement().GetPitch(), 0.0);
    EXPECT_DOUBLE_EQ(SimObject().GetSecondPlacement().GetLatitude(), 0.0);
}

// The start-up check of the model files marks a missing model on every placement at once: they keep
// sharing it.
class PlacementMemoryModelCheck : public folders_testing::FoldersTest {};

TEST_F(PlacementMemoryModelCheck, MissingModelIsMarkedWithoutCopyingTheModels)
{
    Build("P3Dv4");
    ReaderRig rig;
    rig.ReadBody(ManyPlacedObject("Mast", 3, 2));
    ClearLog();
    Manager().CheckModels(rig.objects);

    ASSERT_EQ(rig.objects.Count(), 3);
    for (int32_t i = 0; i < rig.objects.Count(); ++i) {
        const SimObject& entry = *rig.objects.At(i);
        EXPECT_EQ(entry.GetModel(0)->GetSimTitle(), "Quorvath_VELK_MissingObj") << i;
        EXPECT_EQ(entry.GetModel(1)->GetSimTitle(), "Quorvath_VELK_MissingObj") << i;
    }
    EXPECT_EQ(StoredModels(rig.objects), 2u);
    // Each placement is reported as before.
    const folders_testing::Strings lines = Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "WARN SimObject with SimTitle 'Model_1': 'UNDEFINED.MDL' does NOT exist! "),
              3);
}

}  // namespace
