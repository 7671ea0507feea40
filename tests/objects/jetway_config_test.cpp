// The reader of "jetway.cfg": every key into the jetway's record, what missing keys become, the
// linked parts, the sound, and files made to hurt; values parsed once and given to many jetways, and the
// cache that keeps them until it is cleared.
#include "objects/JetwayConfig.h"

#include "foundation/GeoMath.h"
#include "jetway/core/JetwayCodec.h"
#include "link/SimStatus.h"
#include "objects/Jetway.h"
#include "sound/SoundEngine.h"
#include "tests/aircraft/AircraftTestSupport.h"
#include "tests/platform/media_riff_builder.h"
#include "tests/support/TempMachineRoot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using aircrafttest::LogCapture;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

constexpr const char* kPath = "C:\\SimObjects\\Jetway_A\\jetway.cfg";
constexpr const char* kFolder = "C:\\SimObjects\\Jetway_A\\";

// A complete file of a type "A" jetway.
constexpr const char* kFullFile = R"([general]
type = A

[dimensions]
root_floor_height = 4.5
root_bridge_offset = 2.25
mouth_offset = 1.5
leg_offset = 11.0
leg_offset_from_origin = 6.5
wheel_radius = 0.45
stair_length = 3.2
stair_offset = 0.7
stair_offset_from_origin = 1.9
hood_movable_height = 2.6
hood_width = 3.1 ; metres

[Time_Parameters]
root_rotation_time = 40
bridge_extension_time = 35.5

[LinkedSimObject.0]
sim_title = VELK_JW_HEAD
reference_bone = HEAD
offset_x = 1.0
offset_y = -2.0
offset_z = 0.5

[LinkedSimObject.2]
sim_title = VELK_JW_ROOT
reference_bone = ROOT
offset_x = 0
offset_y = 0
offset_z = 0

[range_limits]
bridge_length = 12.5,28.75
root_sweep = -90,90
bridge_dip = -6.5, 4.25
head_sweep = -60,75
leg_length = 2.1,6.9

[Sound]
filename = jetway_motor.wav
loop = Yes
min_distance = 5.9
max_distance = 150
)";

class JetwayConfigTest : public testsupport::MachineRootTest {
protected:
    JetwayConfigTest() : MachineRootTest({.label = "jetwaycfg"}) {}

    void SetUp() override
    {
        MachineRootTest::SetUp();
        folder_ = root_ / "c" / "SimObjects" / "Jetway_A";
        std::filesystem::create_directories(folder_);
    }

    void WriteFile(const std::filesystem::path& path, const std::string& contents) const
    {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << contents;
    }
    void WriteConfig(const std::string& contents) const { WriteFile(folder_ / "jetway.cfg", contents); }

    JetwayConfigTarget Target()
    {
        JetwayConfigTarget t;
        t.jetway = &jetway;
        t.placement.Set(47.25, 8.5, 0.0, false, false, 0, 0, 270.0);
        t.objectName = "LSZH:JW:E12";
        t.modelTitle = "VELK_JW_A";
        return t;
    }
    bool Read(const JetwayConfigTarget& t, SoundEngine* sound = nullptr)
    {
        return JetwayConfig(log.category(), sound).Read(t, kPath);
    }
    bool Read() { return Read(Target()); }
    const JetwayData& R() const { return jetway.GetRecord(); }

    LogCapture log{"VELK.FOLDERMANAGER.TEST"};
    Jetway jetway;
    std::filesystem::path folder_;
};

// Every finite double of the record that the reader writes.
std::vector<double> ConfigNumbers(const JetwayData& r)
{
    return {r.RootFloorHeight, r.RootBridgeOffset, r.MouthOffset, r.LegOffset, r.LegOffsetFromOrigin,
            r.WheelRadius, r.StairLength, r.StairOffset, r.StairOffsetFromOrigin, r.HoodMovableHeight,
            r.HoodWidth, r.RootRotationTime, r.BridgeExtensionTime, r.BridgeLengthRange.first,
            r.BridgeLengthRange.second, r.RootSweepRange.first, r.RootSweepRange.second,
            r.BridgeDipRange.first, r.BridgeDipRange.second, r.HeadSweepRange.first, r.HeadSweepRange.second,
            r.LegLengthRange.first, r.LegLengthRange.second};
}

TEST_F(JetwayConfigTest, EveryKeyReachesItsField)
{
    WriteConfig(kFullFile);
    ASSERT_TRUE(Read());
    EXPECT_TRUE(jetway.HasConfig());

    const JetwayData& r = R();
    EXPECT_EQ(kJetwayTypeA, r.JetwayType);
    struct Field {
        const char* name;
        double actual;
        double expected;
    };
    const Field fields[] = {
        {"root_floor_height", r.RootFloorHeight, 4.5},
        {"root_bridge_offset", r.RootBridgeOffset, 2.25},
        {"mouth_offset", r.MouthOffset, 1.5},
        {"leg_offset", r.LegOffset, 11.0},
        {"leg_offset_from_origin", r.LegOffsetFromOrigin, 6.5},
        {"wheel_radius", r.WheelRadius, 0.45},
        {"stair_length", r.StairLength, 3.2},
        {"stair_offset", r.StairOffset, 0.7},
        {"stair_offset_from_origin", r.StairOffsetFromOrigin, 1.9},
        {"hood_movable_height", r.HoodMovableHeight, 2.6},
        {"hood_width (comment cut off)", r.HoodWidth, 3.1},
        {"root_rotation_time", r.RootRotationTime, 40.0},
        {"bridge_extension_time", r.BridgeExtensionTime, 35.5},
        {"bridge_length first", r.BridgeLengthRange.first, 12.5},
        {"bridge_length second", r.BridgeLengthRange.second, 28.75},
        {"root_sweep first", r.RootSweepRange.first, -90.0},
        {"root_sweep second", r.RootSweepRange.second, 90.0},
        {"bridge_dip first", r.BridgeDipRange.first, -6.5},
        {"bridge_dip second (blank after the comma)", r.BridgeDipRange.second, 4.25},
        {"head_sweep first", r.HeadSweepRange.first, -60.0},
        {"head_sweep second", r.HeadSweepRange.second, 75.0},
        {"leg_length first", r.LegLengthRange.first, 2.1},
        {"leg_length second", r.LegLengthRange.second, 6.9},
    };
    for (const Field& f : fields) EXPECT_DOUBLE_EQ(f.expected, f.actual) << f.name;

    // What the file does not speak of keeps the fresh record's values.
    EXPECT_EQ(100u, r.KeyframeCount);
    EXPECT_EQ(40u, r.PeriodMs);
    EXPECT_DOUBLE_EQ(2.0, r.DipTime);
    EXPECT_DOUBLE_EQ(1.0, r.DoorHalfHeight);
    EXPECT_DOUBLE_EQ(10.0, r.DoorValue4);

    // Section 0 fills slot 1, section 2 slot 3; the others stay empty.
    EXPECT_EQ("VELK_JW_HEAD", r.Parts[0].GetSimTitle());
    EXPECT_EQ("VELK_JW_HEAD", r.Parts[0].GetCreationTitle());
    EXPECT_EQ(LinkType::Head, r.Parts[0].GetLinkType());
    EXPECT_DOUBLE_EQ(1.0, r.Parts[0].GetOffset().x);
    EXPECT_DOUBLE_EQ(-2.0, r.Parts[0].GetOffset().y);
    EXPECT_DOUBLE_EQ(0.5, r.Parts[0].GetOffset().z);
    EXPECT_EQ("VELK_JW_ROOT", r.Parts[2].GetSimTitle());
    EXPECT_EQ(LinkType::Root, r.Parts[2].GetLinkType());
    for (int slot : {2, 4, 5, 6}) EXPECT_FALSE(jetway.HasPart(slot)) << slot;

    EXPECT_EQ("jetway_motor.wav", jetway.GetSound().GetFileName());
    EXPECT_TRUE(jetway.GetSound().IsLooped());
    // Without a sound engine nothing is loaded, so nothing may play.
    EXPECT_FALSE(jetway.IsSoundEnabled());
    EXPECT_THAT(log.Lines(), IsEmpty());
}

TEST_F(JetwayConfigTest, MissingFileLeavesTheJetwayAlone)
{
    ASSERT_FALSE(Read());
    EXPECT_FALSE(jetway.HasConfig());
    EXPECT_EQ(kJetwayTypeA, R().JetwayType);
    EXPECT_DOUBLE_EQ(1.0, R().HoodWidth);
    EXPECT_DOUBLE_EQ(2.0, R().RootRotationTime);
    EXPECT_THAT(log.Lines(),
                ElementsAre("ERROR 'jetway.cfg' not found for Model 'VELK_JW_A' of SimObject 'LSZH:JW:E12'! "
                            "Path='C:\\SimObjects\\Jetway_A\\jetway.cfg', Code(2)"));

    // A missing folder gives the path error.
    log.Clear();
    EXPECT_FALSE(JetwayConfig(log.category(), nullptr).Read(Target(), "C:\\SimObjects\\Nowhere\\jetway.cfg"));
    EXPECT_THAT(log.Lines(), ElementsAre(HasSubstr("Code(3)")));

    // No jetway to fill.
    JetwayConfigTarget none = Target();
    none.jetway = nullptr;
    WriteConfig(kFullFile);
    EXPECT_FALSE(Read(none));
}

TEST_F(JetwayConfigTest, TypeIsExactAndCaseSensitive)
{
    const struct {
        const char* line;
        uint32_t type;
    } cases[] = {
        {"type = A", 1}, {"type = N", 2}, {"type = T", 3},  {"type = H", 4}, {"type = a", 0},
        {"type = h", 0}, {"type = AN", 0}, {"type = 1", 0}, {"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        WriteConfig(std::string("[general]\n") + c.line + "\n");
        log.Clear();
        ASSERT_TRUE(Read());
        EXPECT_EQ(c.type, R().JetwayType);
        // A jetway of no known type is still configured (control refuses it), and the file is blamed.
        EXPECT_TRUE(jetway.HasConfig());
        EXPECT_EQ(c.type == 0 ? 1u : 0u, log.Priority("ERROR").size());
    }
}

TEST_F(JetwayConfigTest, MissingKeysOverwriteDefaultsWithZero)
{
    // The file exists with nothing in it: every number the reader reads becomes 0, the hood's 1.0
    // defaults and the times included.
    WriteConfig("[general]\ntype = N\n");
    ASSERT_TRUE(Read());
    EXPECT_EQ(kJetwayTypeN, R().JetwayType);
    for (double v : ConfigNumbers(R())) EXPECT_EQ(0.0, v);
    EXPECT_DOUBLE_EQ(1.0, R().DoorHalfHeight);  // not a file value
    EXPECT_DOUBLE_EQ(2.0, R().HeadRotationTime);
    EXPECT_FALSE(jetway.HasPart(1));
    EXPECT_TRUE(jetway.GetSound().GetFileName().empty());
    EXPECT_FALSE(jetway.IsSoundEnabled());
    EXPECT_THAT(log.Lines(), IsEmpty());
}

TEST_F(JetwayConfigTest, RangesTakeTwoNumbers)
{
    const struct {
        const char* value;
        double first;
        double second;
        size_t errors;
        size_t warnings;
    } cases[] = {
        {"-90,90", -90, 90, 0, 0},
        {" -12.5 , 7 ", -12.5, 7, 0, 0},
        {"5", 5, 0, 0, 1},           // the second is not given: 0
        {"1,2,3", 1, 2, 0, 1},       // the rest is ignored
        {"x,7", 0, 7, 1, 0},         // no number in the first piece
        {"1e400,3", 0, 3, 1, 0},     // beyond the double range
        {"nan,inf", 0, 0, 2, 0},     // no finite number
        {"4000000,2", 0, 2, 1, 0},   // absurdly large
        {",", 0, 0, 2, 0},
        {"12abc,30m", 12, 30, 0, 0}, // the leading number counts, as atof reads it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        WriteConfig(std::string("[general]\ntype = A\n[range_limits]\nroot_sweep = ") + c.value + "\n");
        log.Clear();
        ASSERT_TRUE(Read());
        EXPECT_DOUBLE_EQ(c.first, R().RootSweepRange.first);
        EXPECT_DOUBLE_EQ(c.second, R().RootSweepRange.second);
        EXPECT_EQ(c.errors, log.Priority("ERROR").size());
        EXPECT_EQ(c.warnings, log.Priority("WARN").size());
    }
}

TEST_F(JetwayConfigTest, PlacementAboveGroundRaisesFloorAndLowersParts)
{
    WriteConfig("[dimensions]\nroot_floor_height = 4.0\n"
                "[LinkedSimObject.1]\nsim_title = P\nreference_bone = BRIDGE_MOVING\noffset_z = 1.0\n");
    const struct {
        const char* what;
        bool agl;
        double altitude;
        double floor;
        double partZ;
    } cases[] = {
        {"3 ft above ground", true, 3.0, 4.9144, 0.0856},
        {"mean sea level altitude", false, 3.0, 4.0, 1.0},
        {"above ground at 0 ft", true, 0.0, 4.0, 1.0},
        {"above ground, below 0.00001 ft", true, 0.000001, 4.0, 1.0},
        {"10 ft below ground", true, -10.0, 4.0 - 3.048, 1.0 + 3.048},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        JetwayConfigTarget t = Target();
        t.placement.Set(47.25, 8.5, c.altitude, c.agl, PlacementData::IsZeroAltitude(c.altitude), 0, 0, 90);
        ASSERT_TRUE(Read(t));
        EXPECT_NEAR(c.floor, R().RootFloorHeight, 1e-12);
        EXPECT_NEAR(c.partZ, R().Parts[1].GetOffset().z, 1e-12);
    }
}

TEST_F(JetwayConfigTest, LinkedPartSectionsAreCheckedOneByOne)
{
    const std::string t254(254, 'T');
    const std::string t255(255, 'T');
    WriteConfig("[general]\ntype = T\n[LinkedSimObject.0]\nsim_title = " + t254 + "\nreference_bone = STATIC\n"
                "[LinkedSimObject.1]\nsim_title = " + t255 + "\nreference_bone = HEAD\n"
                "[LinkedSimObject.2]\nreference_bone = HEAD\n"
                "[LinkedSimObject.3]\nsim_title = NO_BONE\n"
                "[LinkedSimObject.4]\nsim_title = BAD_BONE\nreference_bone = head\n"
                "[LinkedSimObject.5]\nsim_title = GOOD\nreference_bone = BRIDGE_STATIC\noffset_x = 2.5\n"
                "[LinkedSimObject.6]\nsim_title = NEVER\nreference_bone = HEAD\n");
    ASSERT_TRUE(Read());
    const JetwayData& r = R();
    EXPECT_EQ(t254, r.Parts[0].GetSimTitle());
    EXPECT_EQ(LinkType::Static, r.Parts[0].GetLinkType());
    for (int slot : {2, 3, 4, 5}) EXPECT_FALSE(jetway.HasPart(slot)) << slot;
    EXPECT_EQ("GOOD", r.Parts[5].GetSimTitle());
    EXPECT_EQ(LinkType::BridgeStatic, r.Parts[5].GetLinkType());
    EXPECT_DOUBLE_EQ(2.5, r.Parts[5].GetOffset().x);
    EXPECT_EQ(LinkType::None, r.Parts[4].GetLinkType());

    EXPECT_THAT(log.Lines(),
                ElementsAre("ERROR VELK_JW_A: 'LinkedSimObject.1' sim_title is too long (255)! -> '" + t255 +
                                "'! Linking unsuccessful!",
                            "ERROR VELK_JW_A: 'LinkedSimObject.2' has no 'sim_title' defined! Linking unsuccessful!",
                            "ERROR VELK_JW_A: 'LinkedSimObject.3' has no 'reference_bone' defined! Linking "
                            "unsuccessful!",
                            "ERROR VELK_JW_A: 'LinkedSimObject.4' has unsupported reference bone! -> 'head'! "
                            "Linking unsuccessful!"));
}

TEST_F(JetwayConfigTest, RereadingEmptiesSlotsWhoseSectionTurnedBad)
{
    WriteConfig("[LinkedSimObject.0]\nsim_title = HEAD_A\nreference_bone = HEAD\n"
                "[LinkedSimObject.1]\nsim_title = KEEP\nreference_bone = ROOT\n");
    ASSERT_TRUE(Read());
    ASSERT_TRUE(jetway.HasPart(1));
    WriteConfig("[LinkedSimObject.0]\nsim_title = HEAD_A\nreference_bone = NECK\n"
                "[LinkedSimObject.1]\nsim_title = KEEP\nreference_bone = ROOT\n");
    ASSERT_TRUE(Read());
    EXPECT_FALSE(jetway.HasPart(1));
    EXPECT_TRUE(jetway.GetRecord().Parts[0].GetCreationTitle().empty());
    EXPECT_TRUE(jetway.HasPart(2));
}

TEST_F(JetwayConfigTest, SoundLoopsOnlyForItsFourWords)
{
    const struct {
        const char* loop;
        bool looped;
    } cases[] = {{"true", true}, {"True", true}, {"yes", true},  {"Yes", true},
                 {"TRUE", false}, {"YES", false}, {"1", false}, {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.loop);
        WriteConfig(std::string("[Sound]\nfilename = motor.wav\nloop = ") + c.loop + "\n");
        ASSERT_TRUE(Read());
        EXPECT_EQ("motor.wav", jetway.GetSound().GetFileName());
        EXPECT_EQ(c.looped, jetway.GetSound().IsLooped());
    }
}

TEST_F(JetwayConfigTest, SoundIsLoadedFromTheModelFolder)
{
    using namespace testing_riff;
    const Bytes wav = Wave(Format{}, Ramp(2205));
    WriteFile(folder_ / "sound" / "motor.wav", std::string(wav.begin(), wav.end()));
    WriteConfig("[Sound]\nfilename = motor.wav\nloop = true\nmin_distance = 3\nmax_distance = 200\n");

    LogCapture soundLog{"VELK.SOUNDENGINE.JWTEST"};
    SimStatus status;
    GeoMath geo;
    SoundEngine engine(*soundLog.category(), status, geo, true, false);  // no device: loading still works
    ASSERT_TRUE(Read(Target(), &engine));
    EXPECT_TRUE(engine.HasWave(SoundEngine::MakeSoundPath(kFolder, "motor.wav")));
    EXPECT_TRUE(jetway.IsSoundEnabled());

    // A sound file that is not there: the jetway stays silent, the engine says why.
    WriteConfig("[Sound]\nfilename = missing.wav\n");
    ASSERT_TRUE(Read(Target(), &engine));
    EXPECT_EQ("missing.wav", jetway.GetSound().GetFileName());
    EXPECT_FALSE(jetway.IsSoundEnabled());
    EXPECT_EQ(1u, soundLog.Priority("ERROR").size());

    // No [Sound] section: the jetway gets no sound.
    Jetway fresh;
    WriteConfig("[general]\ntype = A\n");
    JetwayConfigTarget t = Target();
    t.jetway = &fresh;
    ASSERT_TRUE(Read(t, &engine));
    EXPECT_TRUE(fresh.GetSound().GetFileName().empty());
    EXPECT_FALSE(fresh.IsSoundEnabled());
}

TEST_F(JetwayConfigTest, HostileFilesGiveZerosAndErrorsNeverGarbage)
{
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7919) & 0xFF);
    const std::string longLine = "[dimensions]\nroot_floor_height = " + std::string(5000, '9') + "\n";
    const struct {
        const char* what;
        std::string contents;
        size_t minErrors;
    } cases[] = {
        {"binary garbage", binary, 0},
        {"not a number", "[dimensions]\nroot_floor_height = abc\nhood_width = --1\n", 2},
        {"nan and infinity",
         "[dimensions]\nroot_floor_height = nan\nmouth_offset = inf\nleg_offset = -INF\n"
         "[Time_Parameters]\nroot_rotation_time = NaN\n",
         4},
        {"beyond the double range", "[dimensions]\nroot_floor_height = 1e400\nleg_offset = -1e999\n", 2},
        {"huge but finite",
         "[dimensions]\nroot_floor_height = 1e300\n[Time_Parameters]\nbridge_extension_time = 9e15\n", 2},
        {"a 5000-digit number", longLine, 1},
        {"sections without keys", "[general]\n[dimensions]\n[range_limits]\n[LinkedSimObject.0]\n[Sound]\n", 0},
        {"keys outside any section", "type = A\nroot_floor_height = 4\n", 0},
        {"huge part offsets",
         "[LinkedSimObject.0]\nsim_title=X\nreference_bone=HEAD\noffset_x=1e308\noffset_y=nan\n", 2},
        {"huge sound distances", "[Sound]\nfilename=a.wav\nmin_distance=1e300\nmax_distance=-3e9\n", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteConfig(c.contents);
        log.Clear();
        Jetway fresh;
        JetwayConfigTarget t = Target();
        t.jetway = &fresh;
        ASSERT_TRUE(Read(t));
        const JetwayData& r = fresh.GetRecord();
        for (double v : ConfigNumbers(r)) {
            EXPECT_TRUE(std::isfinite(v));
            EXPECT_LE(std::fabs(v), JetwayConfig::kMaxMagnitude);
        }
        for (const LinkedSimObject& part : r.Parts) {
            EXPECT_TRUE(std::isfinite(part.GetOffset().x) && std::isfinite(part.GetOffset().y) &&
                        std::isfinite(part.GetOffset().z));
        }
        EXPECT_GE(log.Priority("ERROR").size(), c.minErrors);
        // What the module checks before it moves anything holds for the record.
        JetwayData job = r;
        job.JetwayObjectId = 1;
        job.JetwayType = kJetwayTypeA;
        EXPECT_EQ(JobCheck::Ok, CheckJob(job));
    }
}

TEST_F(JetwayConfigTest, BadPlacementAltitudeIsNotAddedToTheFloor)
{
    WriteConfig("[general]\ntype = H\n[dimensions]\nroot_floor_height = 4.0\n");
    JetwayConfigTarget t = Target();
    t.placement.Set(47.25, 8.5, std::nan(""), true, false, 0, 0, 0);
    ASSERT_TRUE(Read(t));
    EXPECT_DOUBLE_EQ(4.0, R().RootFloorHeight);
    EXPECT_EQ(1u, log.Priority("ERROR").size());
}

// The sample machine's jetway models.
std::vector<std::string> SampleConfigs()
{
    const std::filesystem::path objects = std::filesystem::path(VELK_TEST_SOURCE_DIR) / ".." / ".." / "examples" /
                                          "machine" / "c" / "Quorvath" / "VELK Objects" / "SimObjects";
    std::vector<std::string> files;
    for (const char* model : {"VELK_JetwayA", "VELK_JetwayN", "VELK_JetwayH", "VELK_JetwayT"}) {
        std::ifstream in(objects / model / "model" / "jetway.cfg", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        files.push_back(text.str());
    }
    return files;
}

// Everything the reader gives a jetway: the record's bytes as the module receives them, the sound's
// settings and the configured flag.
struct Given {
    JetwayBytes record;
    std::string soundFile;
    bool looped = false;
    bool configured = false;

    explicit Given(const Jetway& jetway)
        : record(EncodeJetwayData(jetway.GetRecord())),
          soundFile(jetway.GetSound().GetFileName()),
          looped(jetway.GetSound().IsLooped()),
          configured(jetway.HasConfig())
    {
    }
    bool operator==(const Given& other) const
    {
        return record == other.record && soundFile == other.soundFile && looped == other.looped &&
               configured == other.configured;
    }
};

TEST_F(JetwayConfigTest, ValuesParsedOnceGiveEveryJetwayTheRecordOfAFreshRead)
{
    std::vector<std::string> files = SampleConfigs();
    ASSERT_EQ(files.size(), 4u);
    for (const std::string& file : files) ASSERT_NE(file.find("[general]"), std::string::npos);
    files.push_back(kFullFile);

    // Placements with and without a ground offset, one after the other from the same parsed values.
    struct Placement {
        const char* what;
        double altitude;
        bool agl;
    };
    const Placement placements[] = {{"on the ground", 0.0, true},
                                    {"12 ft above ground", 12.0, true},
                                    {"sea level altitude", 350.0, false},
                                    {"5 ft below ground", -5.0, true}};
    for (size_t f = 0; f < files.size(); ++f) {
        WriteConfig(files[f]);
        const JetwayConfigValues values = JetwayConfig::Parse(kPath);
        for (const Placement& p : placements) {
            SCOPED_TRACE(std::to_string(f) + ", " + p.what);
            JetwayConfigTarget t = Target();
            t.placement.Set(47.25, 8.5, p.altitude, p.agl, PlacementData::IsZeroAltitude(p.altitude), 0, 0, 90);

            // Both jetways carry parts of an earlier configuration: slots the file does not name keep them.
            Jetway fresh;
            Jetway given;
            for (Jetway* jetway : {&fresh, &given}) {
                WriteConfig(kFullFile);
                t.jetway = jetway;
                ASSERT_TRUE(Read(t));
            }
            WriteConfig(files[f]);

            t.jetway = &fresh;
            ASSERT_TRUE(Read(t));
            t.jetway = &given;
            ASSERT_TRUE(JetwayConfig(log.category(), nullptr).Apply(t, values));
            EXPECT_TRUE(Given(fresh) == Given(given));
        }
    }
    EXPECT_THAT(log.Lines(), IsEmpty());
}

TEST_F(JetwayConfigTest, ComplaintsAreLoggedForEveryJetwayInReadingOrder)
{
    WriteConfig("[general]\ntype = X\n"
                "[dimensions]\nroot_floor_height = abc\nhood_width = 2e9\n"
                "[LinkedSimObject.0]\nsim_title = NO_BONE\n"
                "[LinkedSimObject.1]\nsim_title = P\nreference_bone = ROOT\noffset_y = zz\n"
                "[range_limits]\nroot_sweep = 5\nleg_length = q,1\n"
                "[Sound]\nfilename = m.wav\nmax_distance = -3e9\n");
    const JetwayConfigValues values = JetwayConfig::Parse(kPath);
    const std::string file = std::string("'") + kPath + "': ";
    const std::vector<std::string> perJetway = {
        "ERROR " + file + "[general] type = 'X' is no jetway type (A, N, T or H)! The jetway cannot be operated.",
        "ERROR SimObject 'LSZH:JW:E12': placement altitude is out of range! Taking the ground.",
        "ERROR " + file + "[dimensions] root_floor_height = 'abc' is not a number! Taking 0.",
        "ERROR " + file + "[dimensions] hood_width = '2e9' is out of range! Taking 0.",
        "ERROR VELK_JW_A: 'LinkedSimObject.0' has no 'reference_bone' defined! Linking unsuccessful!",
        "ERROR " + file + "[LinkedSimObject.1] offset_y = 'zz' is not a number! Taking 0.",
        "WARN " + file + "[range_limits] root_sweep = '5' should be two numbers!",
        "ERROR " + file + "[range_limits] leg_length = 'q,1' has no usable number at place 1! Taking 0.",
        "ERROR " + file + "[Sound] max_distance = '-3e9' is out of range! Taking 0.",
    };

    JetwayConfigTarget t = Target();
    t.placement.Set(47.25, 8.5, std::nan(""), true, false, 0, 0, 0);
    const JetwayConfig reader(log.category(), nullptr);
    ASSERT_TRUE(reader.Apply(t, values));
    EXPECT_EQ(log.Lines(), perJetway);

    // The second jetway hears the same; a fresh read says the same again.
    log.Clear();
    Jetway second;
    t.jetway = &second;
    ASSERT_TRUE(reader.Apply(t, values));
    EXPECT_EQ(log.Lines(), perJetway);
    log.Clear();
    ASSERT_TRUE(Read(t));
    EXPECT_EQ(log.Lines(), perJetway);

    // The missing file is reported per jetway with that jetway's names.
    const JetwayConfigValues missing = JetwayConfig::Parse("C:\\SimObjects\\Jetway_B\\jetway.cfg");
    for (const char* name : {"LSZH:JW:E14", "LSZH:JW:E16"}) {
        log.Clear();
        Jetway untouched;
        t.jetway = &untouched;
        t.objectName = name;
        EXPECT_FALSE(reader.Apply(t, missing));
        EXPECT_FALSE(untouched.HasConfig());
        EXPECT_THAT(log.Lines(), ElementsAre("ERROR 'jetway.cfg' not found for Model 'VELK_JW_A' of SimObject '" +
                                             std::string(name) +
                                             "'! Path='C:\\SimObjects\\Jetway_B\\jetway.cfg', Code(3)"));
    }
}

TEST_F(JetwayConfigTest, CachedValuesPrepareEachJetwaysSound)
{
    using namespace testing_riff;
    const Bytes wav = Wave(Format{}, Ramp(2205));
    WriteFile(folder_ / "sound" / "motor.wav", std::string(wav.begin(), wav.end()));
    WriteConfig("[Sound]\nfilename = motor.wav\nloop = true\nmin_distance = 3\nmax_distance = 200\n");

    LogCapture soundLog{"VELK.SOUNDENGINE.JWCACHE"};
    SimStatus status;
    GeoMath geo;
    SoundEngine engine(*soundLog.category(), status, geo, true, false);
    JetwayConfigCache cache;
    const JetwayConfig reader(log.category(), &engine);
    Jetway first;
    Jetway second;
    for (Jetway* jetway : {&first, &second}) {
        JetwayConfigTarget t = Target();
        t.jetway = jetway;
        ASSERT_TRUE(reader.Apply(t, cache.Get(kPath)));
        EXPECT_TRUE(jetway->IsSoundEnabled());
        EXPECT_EQ("motor.wav", jetway->GetSound().GetFileName());
        EXPECT_TRUE(jetway->GetSound().IsLooped());
    }
    EXPECT_EQ(cache.Count(), 1u);
    EXPECT_TRUE(engine.HasWave(SoundEngine::MakeSoundPath(kFolder, "motor.wav")));
    EXPECT_THAT(soundLog.Priority("ERROR"), IsEmpty());
}

TEST_F(JetwayConfigTest, TheCacheKeepsEachFileUntilCleared)
{
    WriteConfig("[general]\ntype = A\n[dimensions]\nhood_width = 3\n");
    JetwayConfigCache cache;
    const JetwayConfigValues* first = &cache.Get(kPath);
    EXPECT_EQ(first->type, static_cast<uint32_t>(kJetwayTypeA));

    // A changed file is not read again: the kept values answer.
    WriteConfig("[general]\ntype = T\n[dimensions]\nhood_width = 4\n");
    EXPECT_EQ(&cache.Get(kPath), first);
    EXPECT_EQ(cache.Get(kPath).type, static_cast<uint32_t>(kJetwayTypeA));
    EXPECT_DOUBLE_EQ(cache.Get(kPath).hoodWidth, 3.0);

    // A missing file stays missing until the cache is cleared, even when it appears.
    const std::string otherPath = "C:\\SimObjects\\Jetway_B\\jetway.cfg";
    EXPECT_NE(cache.Get(otherPath).missingCode, 0u);
    WriteFile(root_ / "c" / "SimObjects" / "Jetway_B" / "jetway.cfg", "[general]\ntype = H\n");
    EXPECT_NE(cache.Get(otherPath).missingCode, 0u);
    EXPECT_EQ(cache.Count(), 2u);

    cache.Clear();
    EXPECT_EQ(cache.Count(), 0u);
    EXPECT_EQ(cache.Get(kPath).type, static_cast<uint32_t>(kJetwayTypeT));
    EXPECT_DOUBLE_EQ(cache.Get(kPath).hoodWidth, 4.0);
    EXPECT_EQ(cache.Get(otherPath).missingCode, 0u);
    EXPECT_EQ(cache.Get(otherPath).type, static_cast<uint32_t>(kJetwayTypeH));
}

}  // namespace

