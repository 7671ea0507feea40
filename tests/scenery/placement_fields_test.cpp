// Fields the placement reader hands on to every entry and every sound: stand data on all entries of a
// stand, the reading order of groups and stands, the settings of an animation's sounds, and the order
// a custom configuration leaves the object list in.
#include "placement_test_support.h"
#include "registry_fixture.h"

#include "link/SimStatus.h"
#include "platform/clock.h"
#include "platform/dsound.h"
#include "platform/resources.h"
#include "platform/window.h"
#include "sound/SoundEngine.h"
#include "tests/platform/media_riff_builder.h"

#include <gtest/gtest.h>

#include <optional>

using namespace placement_testing;

namespace {

std::string PlacementAt(const std::string& lat)
{
    return "<Placement Lat=\"" + lat + "\" Lon=\"8.5\" Alt=\"0#AGL\" Hdg=\"90\"/>";
}

std::vector<std::string> Names(const SimObjectList& objects)
{
    std::vector<std::string> names;
    for (int32_t i = 0; i < objects.Count(); ++i) names.push_back(objects.At(i)->GetName());
    return names;
}

// ---- Names ------------------------------------------------------------------------------------------

// Element and attribute names match whole and by case: a name that shares the first letter, begins like
// the wanted one or differs in case is passed over, and the first of two equal names is taken.
TEST(PlacementFields, NamesMatchWholeAndByCase)
{
    struct Case {
        const char* what;
        std::string simObject;
        std::vector<std::string> entries;  // names of the entries made
        double latitude;                   // of the first entry
        std::string title;                 // of the first entry's model
    };
    const std::string model = "<Model SimTitle=\"M\"/>";
    const std::vector<Case> cases = {
        {"attributes that begin alike come before the wanted ones",
         "<SimObject Names=\"wrong\" Name=\"A\"><Placement Latitude=\"1\" Lat=\"47.5\" Lon=\"8.5\" "
         "Alt=\"0#AGL\" Hdg=\"90\"/>" + model + "</SimObject>",
         {"Test:A"}, 47.5, "M"},
        {"an attribute differing in case is not the wanted one",
         "<SimObject Name=\"B\"><Placement lat=\"1\" Lat=\"46.5\" Lon=\"8.5\" Alt=\"0\" Hdg=\"0\"/>" +
             model + "</SimObject>",
         {"Test:B"}, 46.5, "M"},
        {"elements that begin alike are passed over",
         "<SimObject Name=\"C\"><Placements/><Placement Lat=\"45.5\" Lon=\"8.5\" Alt=\"0\" Hdg=\"0\"/>"
         "<Models SimTitle=\"Decoy\"/><Mode SimTitle=\"Decoy\"/><Model SimTitle=\"Real\"/></SimObject>",
         {"Test:C"}, 45.5, "Real"},
        {"a SimObject without a placement of that exact name is dropped",
         "<SimObject Name=\"D\"><placement Lat=\"45.5\" Lon=\"8.5\" Alt=\"0\" Hdg=\"0\"/>" + model +
             "</SimObject>",
         {}, 0.0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReaderRig rig;
        rig.Read("<VELK>" + c.simObject + "</VELK>");
        ASSERT_EQ(Names(rig.objects), c.entries);
        if (c.entries.empty()) continue;
        const SimObject* entry = rig.objects.At(0);
        EXPECT_DOUBLE_EQ(entry->GetLatitude(), c.latitude);
        ASSERT_EQ(entry->GetModelCount(), 1);
        EXPECT_EQ(entry->GetModel(0)->GetSimTitle(), c.title);
    }
}

// ---- Stands -----------------------------------------------------------------------------------------

// A stand's data belongs to every entry its SimObject elements make, whatever the number of placements
// each has and wherever a skipped placement or a dropped object sits.
TEST(PlacementFields, StandDataReachesEveryEntryOfTheStand)
{
    struct Case {
        const char* what;
        std::string members;                // the SimObject elements inside the Stand
        std::vector<std::string> entries;   // the entries they make, all of the stand
    };
    const std::string bad = "<Placement Lat=\"x\" Lon=\"8.5\" Alt=\"0\" Hdg=\"0\"/>";
    const std::string probe = "<Model SimTitle=\"P\"><EnvironmentalDataProbe/></Model>";
    const std::vector<Case> cases = {
        {"one element, three placements",
         SimObjectXml("Bridge", "<Model SimTitle=\"B\"/>",
                      PlacementAt("47.1") + PlacementAt("47.2") + PlacementAt("47.3")),
         {"Test:Bridge #1", "Test:Bridge #2", "Test:Bridge #3"}},
        {"two elements, the first with two placements",
         SimObjectXml("Bridge", "<Model SimTitle=\"B\"/>", PlacementAt("47.1") + PlacementAt("47.2")) +
             SimObjectXml("Guide", "<Model SimTitle=\"G\"/>"),
         {"Test:Bridge #1", "Test:Bridge #2", "Test:Guide"}},
        {"a skipped placement and a probe between the entries",
         SimObjectXml("Bridge", "<Model SimTitle=\"B\"/>", PlacementAt("47.1") + bad + PlacementAt("47.3")) +
             SimObjectXml("Probe", probe) + SimObjectXml("Guide", "<Model SimTitle=\"G\"/>"),
         {"Test:Bridge #1", "Test:Bridge #2", "Test:Guide"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReaderRig rig;
        rig.Read("<VELK>" + SimObjectXml("Before", "<Model SimTitle=\"X\"/>") +
                 "<Stand AfcadICAO=\"LSZH\" AfcadGateName=\"GATE_B\" AfcadParkingNumber=\"31\" "
                 "CustomDesignator=\"B;31\">" +
                 c.members + "</Stand></VELK>");
        std::vector<std::string> expected{"Test:Before"};
        expected.insert(expected.end(), c.entries.begin(), c.entries.end());
        ASSERT_EQ(Names(rig.objects), expected);
        EXPECT_EQ(rig.objects.At(0)->GetStandData().GetAirportIcao(), "NONE");
        for (int32_t i = 1; i < rig.objects.Count(); ++i) {
            const SimObject* entry = rig.objects.At(i);
            SCOPED_TRACE(entry->GetName());
            const StandData& stand = entry->GetStandData();
            EXPECT_EQ(stand.GetAirportIcao(), "LSZH");
            EXPECT_EQ(stand.GetGateName(), "GATE_B");
            EXPECT_EQ(stand.GetParkingNumber(), 31);
            EXPECT_EQ(stand.GetCustomDesignator(), "B");
            EXPECT_EQ(stand.GetCustomNumber(), "31");
            EXPECT_TRUE(stand.HasCustomDesignator());
        }
    }
}

// ---- Reading order ----------------------------------------------------------------------------------

// The root's objects come first, then every Group, then every Stand, whatever order the elements have
// in the file: the entries take their places in the list and their request numbers in that order, and
// a Group without a Name is named after an entry of its own, never after a stand's.
TEST(PlacementFields, GroupsAreReadBeforeStandsWhateverTheDocumentOrder)
{
    const std::string stand =
        "<Stand AfcadICAO=\"LSZH\" AfcadGateName=\"GATE_A\" AfcadParkingNumber=\"5\">" +
        SimObjectXml("Bridge", "<Model SimTitle=\"B\"/>", PlacementAt("47.1") + PlacementAt("47.2")) + "</Stand>";
    const std::string namedGroup =
        "<Group Name=\"Lights\">" + SimObjectXml("Mast", "<Model SimTitle=\"M\"/>") + "</Group>";
    const std::string namelessGroup = "<Group>" + SimObjectXml("Cone", "<Model SimTitle=\"C\"/>") + "</Group>";
    const std::string root = SimObjectXml("Tower", "<Model SimTitle=\"T\"/>");

    for (const std::string& body : {stand + namedGroup + root + namelessGroup,
                                    root + namedGroup + namelessGroup + stand,
                                    namelessGroup + stand + namedGroup + root}) {
        SCOPED_TRACE(body);
        ReaderRig rig;
        const int32_t taken = rig.Read("<VELK>" + body + "</VELK>", 10);
        EXPECT_EQ(taken, 15);
        ASSERT_EQ(rig.objects.Count(), 5);

        struct Expected {
            const char* name;
            int32_t groupIndex;
            const char* groupName;
            const char* icao;
        };
        const bool namedFirst = body.find("Lights") < body.find("Cone");
        const Expected expected[] = {
            {"Test:Tower", -1, "", "NONE"},
            {namedFirst ? "Test:Mast" : "Test:Cone", 0, namedFirst ? "Lights" : "GROUP>Test:Cone", "NONE"},
            {namedFirst ? "Test:Cone" : "Test:Mast", 1, namedFirst ? "GROUP>Test:Cone" : "Lights", "NONE"},
            {"Test:Bridge #1", -1, "", "LSZH"},
            {"Test:Bridge #2", -1, "", "LSZH"},
        };
        const uint32_t base = static_cast<uint32_t>(rig.objects.GetRequestIdBase()) + 10u;
        for (int32_t i = 0; i < 5; ++i) {
            const SimObject* entry = rig.objects.At(i);
            const Expected& e = expected[i];
            EXPECT_EQ(entry->GetName(), e.name) << i;
            EXPECT_EQ(entry->GetRequestId(), base + static_cast<uint32_t>(i)) << e.name;
            EXPECT_EQ(entry->GetGroupIndex(), e.groupIndex) << e.name;
            if (e.groupIndex >= 0) {
                EXPECT_EQ(entry->GetGroupName(), e.groupName) << e.name;
            }
            EXPECT_EQ(entry->GetStandData().GetAirportIcao(), e.icao) << e.name;
        }
    }
}

// ---- Sounds of a triggerable animation ----------------------------------------------------------------

class PlacementSoundTest : public testing::Test {
protected:
    void SetUp() override
    {
        engine.emplace(log4cpp::Category::getInstance("VELK.SOUNDENGINE"), status, geo, false, false);
        ASSERT_FALSE(engine->IsDisabled());
        testing_riff::Format format;
        format.samplesPerSec = format.avgBytesPerSec = 1000;
        wave.emplace("PLACEMENT_TEST_WAVE", "WAVE", testing_riff::Wave(format, testing_riff::Ramp(200)));
        ASSERT_TRUE(engine->PreloadSound("PLACEMENT_TEST_WAVE"));
    }

    // What the device is told of the read sound once it plays at a place.
    platform::RecordedBuffer Played(SoundBuffer& sound)
    {
        sound.SetWaveKey("PLACEMENT_TEST_WAVE");
        sound.InitPositional(&*engine, 1.0, 2.0, 3.0);
        const size_t before = device.BufferCount();
        sound.Play();
        EXPECT_EQ(device.BufferCount(), before + 1);
        platform::RecordedBuffer buffer = device.Buffer(device.BufferCount() - 1);
        sound.Stop();
        return buffer;
    }

    platform::ScopedManualClock clock;
    platform::ScopedRecordingDevice device;
    platform::ScopedWindow window{"FS98MAIN"};
    SimStatus status;
    GeoMath geo;
    std::optional<platform::ScopedResource> wave;
    std::optional<SoundEngine> engine;
};

// Each Sound keeps its own loop flag and its two distances the right way round.
TEST_F(PlacementSoundTest, EachSoundKeepsItsLoopFlagAndDistances)
{
    struct Case {
        const char* attributes;
        const char* file;
        bool looped;
        float minDistance;
        float maxDistance;
    };
    const Case cases[] = {
        {"FileName=\"open.wav\" Loop=\"Yes\" MinDistance=\"3\" MaxDistance=\"70\"", "open.wav", true, 3.0f, 70.0f},
        {"FileName=\"hum.wav\" Loop=\"No\" MinDistance=\"12\" MaxDistance=\"400\"", "hum.wav", false, 12.0f, 400.0f},
        {"MaxDistance=\"9\" Loop=\"Yes\" MinDistance=\"8\" FileName=\"end.wav\"", "end.wav", true, 8.0f, 9.0f},
    };
    std::string sounds;
    for (const Case& c : cases) sounds += std::string("<Sound ") + c.attributes + "/>";
    ReaderRig rig;
    rig.ReadBody(SimObjectXml("Door", "<Model SimTitle=\"D\">"
                                      "<TriggerableAnimation Input=\"TextMenu\" Action=\"Open\">" +
                                          sounds + "</TriggerableAnimation></Model>"));
    SimObject* door = rig.Find("Test:Door");
    ASSERT_NE(door, nullptr);
    TriggAnimationData* animation = door->GetModel(0)->GetTriggerableAnimation(3);
    ASSERT_EQ(animation->GetSoundCount(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.attributes);
        SoundBuffer* sound = animation->GetSound(i);
        ASSERT_NE(sound, nullptr);
        EXPECT_EQ(sound->GetFileName(), c.file);
        EXPECT_EQ(sound->IsLooped(), c.looped);
        const platform::RecordedBuffer played = Played(*sound);
        EXPECT_FLOAT_EQ(played.minDistance, c.minDistance);
        EXPECT_FLOAT_EQ(played.maxDistance, c.maxDistance);
    }
}

// ---- Custom configurations --------------------------------------------------------------------------

using registry_testing::Configuration;
using registry_testing::RegistryTest;

// After each configuration the object list is in group order: ungrouped entries (root and stand
// objects) first, then the members of group 0, 1, ..., each run in reading order.
TEST_F(RegistryTest, ConfigurationLeavesTheObjectsInGroupOrder)
{
    using registry_testing::Strings;
    MakeSdx("cfg/Custom.sdx", Configuration("Name=\"Main\" KeyStroke=\"K\" MenuTitle=\"M\""));
    MakeSdx("sdx/Main/A.sdx",
            "<VELK><Group Name=\"G0\">" + SimObjectXml("A0", "<Model SimTitle=\"X\"/>") + "</Group>" +
                "<Group Name=\"G1\">" + SimObjectXml("A1", "<Model SimTitle=\"X\"/>") + "</Group>" +
                "<Stand AfcadICAO=\"LSZH\" AfcadGateName=\"GATE_A\" AfcadParkingNumber=\"1\">" +
                SimObjectXml("AS", "<Model SimTitle=\"X\"/>") + "</Stand>" +
                SimObjectXml("AR", "<Model SimTitle=\"X\"/>") + "</VELK>");
    MakeSdx("sdx/Main/B.sdx", "<VELK><Group Name=\"H0\">" + SimObjectXml("B0", "<Model SimTitle=\"X\"/>") + "</Group>" +
                                  SimObjectXml("BR", "<Model SimTitle=\"X\"/>") + "</VELK>");
    LoadAll();

    // Read as A:AR, A:A0, A:A1, A:AS, B:BR, B:B0.
    EXPECT_EQ(ObjectNames(), (Strings{"A:AR", "A:AS", "B:BR", "A:A0", "B:B0", "A:A1"}));
    for (int32_t i = 1; i < objects.Count(); ++i) {
        EXPECT_LE(objects.At(i - 1)->GetGroupIndex(), objects.At(i)->GetGroupIndex()) << objects.At(i)->GetName();
    }
    EXPECT_EQ(count, 6);
}

}  // namespace
