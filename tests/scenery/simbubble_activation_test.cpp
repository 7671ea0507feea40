// What the filtering pass prepares for an object that becomes active: the jetway configuration read from
// the model's folder (model 1 of a jetway with several models), kept per folder until the bubble forgets
// it, with each jetway's sound at its own place; and the sounds of triggerable animations bound to the
// engine at the object's position with their files from the SimObject folder.
#include "folders_fixture.h"
#include "simbubble_test_support.h"

#include "link/SimStatus.h"
#include "platform/clock.h"
#include "platform/dsound.h"
#include "platform/window.h"
#include "sound/SoundEngine.h"
#include "tests/platform/media_riff_builder.h"

#include <optional>
#include <utility>

namespace {

using namespace simbubble_testing;

const std::string kObjects = "C:\\Sim\\Objects";

class SimBubbleActivationTest : public folders_testing::FoldersTest {
protected:
    void SetUp() override
    {
        FoldersTest::SetUp();
        Registry("[HKCU\\Software\\Lockheed Martin\\Prepar3D v4]\nAppPath=sz:C:\\P3D\\\n");
        Write(ca_ + "\\Lockheed Martin\\Prepar3D v4\\simobjects.cfg",
              "[Entry.0]\r\nPath=" + kObjects + "\r\nActive=true\r\n");
        Write(kObjects + "\\Gates\\sim.cfg",
              "[General]\r\nModule=VELK\r\n"
              "[fltsim.0]\r\ntitle=Jetway Short\r\nmodel=short\r\n"
              "[fltsim.1]\r\ntitle=Jetway Long\r\nmodel=long\r\n"
              "[fltsim.2]\r\ntitle=Hangar Door\r\nmodel=door\r\n"
              "[fltsim.3]\r\ntitle=Hangar Gate\r\nmodel=gate\r\n");
        for (const char* model : {"short", "long", "door", "gate"})
            AddModel(kObjects + "\\Gates\\model." + model, model);
        Build("P3Dv4");
        ASSERT_EQ(Manager().LookupTitlePath("Jetway Long"), kObjects + "\\Gates\\model.long\\");
    }

    SimObject& Jetway(const std::string& name, std::initializer_list<std::string> titles)
    {
        SimObject& o = w.Place(name, 1000.0, 0.0, {3});
        o.GetModel(0)->SetSimTitle(*titles.begin());
        for (auto it = titles.begin() + 1; it != titles.end(); ++it) o.AddModel(*it).GetFeatures()->Set(3);
        return o;
    }
    const JetwayData& Record(const std::string& name, int32_t model)
    {
        return *w.active.FindByName(name)->GetModel(model)->GetJetway()->GetJetwayData();
    }

    LogCapture log{"VELK.FSLOOP"};
    World w;
};

TEST_F(SimBubbleActivationTest, JetwaysReadTheirConfigurationFromTheModelFolder)
{
    Write(kObjects + "\\Gates\\model.short\\jetway.cfg", "[general]\r\ntype=H\r\n");
    Write(kObjects + "\\Gates\\model.long\\jetway.cfg", "[general]\r\ntype=T\r\n");
    Jetway("apt:single", {"Jetway Short"});
    Jetway("apt:double", {"Jetway Short", "Jetway Long"});  // model 1 is the one that moves
    Jetway("apt:unknown", {"No Such Title"});
    Jetway("apt:no cfg", {"Hangar Door"});
    w.Index();

    SimBubble bubble(log.Category(), nullptr, &Manager());
    bubble.SetCentre(kLat, kLon);
    bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 0.0);

    ASSERT_EQ(w.active.Count(), 4);
    EXPECT_EQ(w.active.GetJetwayIndices().size(), 4u);
    EXPECT_EQ(w.active.GetRequestedCount(), 4);
    EXPECT_EQ(Record("apt:single", 0).JetwayType, static_cast<uint32_t>(kJetwayTypeH));
    EXPECT_EQ(Record("apt:double", 1).JetwayType, static_cast<uint32_t>(kJetwayTypeT));
    EXPECT_EQ(Record("apt:double", 0).JetwayType, static_cast<uint32_t>(kJetwayTypeA));  // untouched
    EXPECT_EQ(Record("apt:unknown", 0).JetwayType, static_cast<uint32_t>(kJetwayTypeA));
    EXPECT_TRUE(log.Logged("ERROR [SIMBUBBLE] No model folder for jetway model 'No Such Title' of SimObject "
                           "'apt:unknown': 'jetway.cfg' not read!"));
    // The missing file is the reader's to report, on the folder manager's category.
    EXPECT_TRUE(Logged("ERROR 'jetway.cfg' not found for Model 'Hangar Door' of SimObject 'apt:no cfg'! Path='" +
                       kObjects + "\\Gates\\model.door\\jetway.cfg', Code(2)"));
}

// The read objects stay as read: the copies in the bubble share their models, and what a pass prepares
// for a copy (a jetway's configuration) goes into that copy's own models only, so that the next pass
// copies the read object as cheaply again.
TEST_F(SimBubbleActivationTest, TheCopiesShareTheReadModelsAndPrepareOnlyTheirOwn)
{
    Write(kObjects + "\\Gates\\model.short\\jetway.cfg", "[general]\r\ntype=H\r\n");
    Jetway("apt:jetway", {"Jetway Short"});
    w.Place("apt:plain", 2000.0, 0.0, {});
    w.Index();
    const SimObject& readJetway = *w.all.FindByName("apt:jetway");
    const SimObject& readPlain = *w.all.FindByName("apt:plain");

    SimBubble bubble(log.Category(), nullptr, &Manager());
    bubble.SetCentre(kLat, kLon);
    for (int pass = 0; pass < 2; ++pass) {
        bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 0.0);
        ASSERT_EQ(w.active.Count(), 2);
        EXPECT_TRUE(std::as_const(*w.active.FindByName("apt:plain")).SharesModelsWith(readPlain)) << pass;
        EXPECT_EQ(Record("apt:jetway", 0).JetwayType, static_cast<uint32_t>(kJetwayTypeH)) << pass;
        // The read jetway keeps one shared, unconfigured set for the copies of every pass.
        EXPECT_TRUE(SimObject(readJetway).SharesModelsWith(readJetway)) << pass;
        EXPECT_FALSE(readJetway.GetModel(0)->GetJetway()->HasConfig()) << pass;
    }
    w.active.Empty();
}

TEST_F(SimBubbleActivationTest, AJetwayWithoutModelsIsLoggedAndSkipped)
{
    SimObject bare;
    bare.SetName("apt:bare");
    bare.SetFeature(3);
    bare.SetPlacement(kLat, kLon, 0.0, false, false, 0, 0, 0);
    w.all.Add(bare);
    w.tree.Insert(QuadTreeEntry{kLat, kLon, -1, w.all.At(0)});
    SimBubble bubble(log.Category(), nullptr, &Manager());
    bubble.SetCentre(kLat, kLon);
    bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 0.0);
    EXPECT_EQ(w.active.Count(), 1);
    EXPECT_TRUE(log.Logged(
        "ERROR [SIMBUBBLE] SimObject 'apt:bare' is a jetway without a model: no jetway configuration read!"));
}

TEST_F(SimBubbleActivationTest, AnimationSoundsAreBoundAtTheObject)
{
    platform::ScopedManualClock clock;
    platform::ScopedRecordingDevice device;
    platform::ScopedWindow window{"FS98MAIN"};
    SimStatus status;
    GeoMath geo;
    SoundEngine engine(log4cpp::Category::getInstance("VELK.SOUNDENGINE"), status, geo, false, false);
    ASSERT_FALSE(engine.IsDisabled());

    testing_riff::Format format;
    format.samplesPerSec = format.avgBytesPerSec = 1000;
    const testing_riff::Bytes wave = testing_riff::Wave(format, testing_riff::Ramp(200));
    for (const char* name : {"open.wav", "hum.wav", "plain.wav"}) {
        Write(kObjects + "\\Gates\\sound\\" + name, std::string(wave.begin(), wave.end()));
    }
    auto sound = [](const char* file) {
        SoundBuffer s;
        s.SetParameters(file, false, 1, 100);
        return s;
    };

    SimObject& door = w.Place("apt:door", 1000.0, 0.0, {25, 26});
    door.GetModel(0)->SetSimTitle("Hangar Door");
    door.GetModel(0)->GetFeatures()->Set(25);
    door.GetModel(0)->GetTriggerableAnimation(3)->AddSound(sound("open.wav"));
    SimObjectModel& controllable = door.AddModel("Hangar Gate");  // feature 26 only: no sounds bound
    controllable.GetFeatures()->Set(26);
    controllable.GetTriggerableAnimation(3)->AddSound(sound("hum.wav"));
    SimObject& plain = w.Place("apt:plain", 2000.0, 0.0, {22});  // not animated: nothing bound
    plain.GetModel(0)->SetSimTitle("Hangar Gate");
    plain.GetModel(0)->GetTriggerableAnimation(3)->AddSound(sound("plain.wav"));
    w.Index();

    SimBubble bubble(log.Category(), &engine, &Manager());
    bubble.SetCentre(kLat, kLon);
    bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 0.0);
    ASSERT_EQ(w.active.Count(), 2);

    const std::string folder = kObjects + "\\Gates\\";
    EXPECT_TRUE(engine.HasWave(SoundEngine::MakeSoundPath(folder, "open.wav")));
    EXPECT_FALSE(engine.HasWave(SoundEngine::MakeSoundPath(folder, "hum.wav")));
    EXPECT_FALSE(engine.HasWave(SoundEngine::MakeSoundPath(folder, "plain.wav")));

    // The active copy plays at the object's place.
    SimObject* active = w.active.FindByName("apt:door");
    XYZData at;
    GeoMath::LLAToSimXYZ(active->GetLatitude(), active->GetLongitude(), active->GetAltitude(), at);
    active->GetModel(0)->GetTriggerableAnimation(3)->PlayFirstSound();
    ASSERT_EQ(device.BufferCount(), 1u);
    EXPECT_EQ(device.Buffer(0).position,
              (std::array<float, 3>{static_cast<float>(at.x), static_cast<float>(at.y), static_cast<float>(at.z)}));
    EXPECT_TRUE(device.Buffer(0).playing);

    // The next rebuild silences it before the copy goes, and gives its buffer back.
    bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 0.0);
    EXPECT_FALSE(device.Buffer(0).playing);
    EXPECT_TRUE(device.Buffer(0).released);

    // Emptying the list alone gives back at once what the objects' own models hold.
    w.active.FindByName("apt:door")->GetModel(0)->GetTriggerableAnimation(3)->PlayFirstSound();
    ASSERT_EQ(device.BufferCount(), 2u);
    w.active.Empty();
    EXPECT_FALSE(device.Buffer(1).playing);
    EXPECT_TRUE(device.Buffer(1).released);
}

TEST_F(SimBubbleActivationTest, EachFolderIsReadOnceUntilTheConfigurationsAreForgotten)
{
    const std::string shortFile = kObjects + "\\Gates\\model.short\\jetway.cfg";
    Write(shortFile, "[general]\r\ntype=H\r\n");
    Write(kObjects + "\\Gates\\model.long\\jetway.cfg", "[general]\r\ntype=T\r\n");
    Jetway("apt:one", {"Jetway Short"});
    Jetway("apt:two", {"Jetway Short"});
    Jetway("apt:double", {"Jetway Short", "Jetway Long"});
    Jetway("apt:no cfg", {"Hangar Door"});
    w.Index();

    SimBubble bubble(log.Category(), nullptr, &Manager());
    bubble.SetCentre(kLat, kLon);
    auto types = [this] {
        return std::vector<uint32_t>{Record("apt:one", 0).JetwayType, Record("apt:two", 0).JetwayType,
                                     Record("apt:double", 1).JetwayType};
    };
    const std::vector<uint32_t> before = {kJetwayTypeH, kJetwayTypeH, kJetwayTypeT};
    bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 0.0);
    EXPECT_EQ(bubble.GetJetwayConfigCount(), 3u);  // short, long and the missing one
    EXPECT_EQ(types(), before);

    // A changed file is not seen by the next passes; the missing one is reported every pass.
    Write(shortFile, "[general]\r\ntype=N\r\n");
    Write(kObjects + "\\Gates\\model.door\\jetway.cfg", "[general]\r\ntype=A\r\n");
    const std::string notFound = "ERROR 'jetway.cfg' not found for Model 'Hangar Door' of SimObject 'apt:no cfg'! "
                                 "Path='" + kObjects + "\\Gates\\model.door\\jetway.cfg', Code(2)";
    ClearLog();
    bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 0.0);
    EXPECT_EQ(types(), before);
    EXPECT_TRUE(Logged(notFound));
    EXPECT_FALSE(w.active.FindByName("apt:no cfg")->GetModel(0)->GetJetway()->HasConfig());

    // Forgotten, every file is read again.
    bubble.ForgetJetwayConfigs();
    EXPECT_EQ(bubble.GetJetwayConfigCount(), 0u);
    ClearLog();
    bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 0.0);
    EXPECT_EQ(types(), (std::vector<uint32_t>{kJetwayTypeN, kJetwayTypeN, kJetwayTypeT}));
    EXPECT_FALSE(Logged(notFound));
    EXPECT_TRUE(w.active.FindByName("apt:no cfg")->GetModel(0)->GetJetway()->HasConfig());
}

TEST_F(SimBubbleActivationTest, JetwaysOfOneFolderSoundEachAtItsOwnPlace)
{
    platform::ScopedManualClock clock;
    platform::ScopedRecordingDevice device;
    platform::ScopedWindow window{"FS98MAIN"};
    SimStatus status;
    GeoMath geo;
    SoundEngine engine(log4cpp::Category::getInstance("VELK.SOUNDENGINE"), status, geo, false, false);
    ASSERT_FALSE(engine.IsDisabled());
    testing_riff::Format format;
    format.samplesPerSec = format.avgBytesPerSec = 1000;
    const testing_riff::Bytes wave = testing_riff::Wave(format, testing_riff::Ramp(200));
    Write(kObjects + "\\Gates\\model.short\\sound\\motor.wav", std::string(wave.begin(), wave.end()));
    Write(kObjects + "\\Gates\\model.short\\jetway.cfg",
          "[general]\r\ntype=A\r\n[Sound]\r\nfilename=motor.wav\r\nmin_distance=2\r\nmax_distance=90\r\n");
    Jetway("apt:north", {"Jetway Short"});
    SimObject& east = w.Place("apt:east", 3000.0, 90.0, {3});
    east.GetModel(0)->SetSimTitle("Jetway Short");
    w.Index();

    SimBubble bubble(log.Category(), &engine, &Manager());
    bubble.SetCentre(kLat, kLon);
    bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 0.0);
    ASSERT_EQ(bubble.GetJetwayConfigCount(), 1u);

    size_t played = 0;
    for (const char* name : {"apt:north", "apt:east"}) {
        SCOPED_TRACE(name);
        SimObject* object = w.active.FindByName(name);
        ::Jetway* jetway = object->GetModel(0)->GetJetway();
        ASSERT_TRUE(jetway->IsSoundEnabled());
        EXPECT_EQ(jetway->GetSound().GetFileName(), "motor.wav");
        jetway->PlaySound();
        ASSERT_EQ(device.BufferCount(), ++played);
        XYZData at;
        GeoMath::LLAToSimXYZ(object->GetLatitude(), object->GetLongitude(), object->GetAltitude(), at);
        EXPECT_EQ(device.Buffer(played - 1).position,
                  (std::array<float, 3>{static_cast<float>(at.x), static_cast<float>(at.y), static_cast<float>(at.z)}));
    }
    EXPECT_NE(device.Buffer(0).position, device.Buffer(1).position);
    w.active.Empty();
}

}  // namespace
