// Triggered animations against the in-process simulator and a recording sound device, on the manual
// clock: the triggered-state word and the model's animation state word written to the object run by run,
// reversal, pause with its release and re-pause, the sounds that start and stop, the container's slots,
// and stopping or destroying what still runs.
#include "objects/AnimationDataContainer.h"

#include "foundation/GeoMath.h"
#include "link/SimStatus.h"
#include "platform/clock.h"
#include "platform/dsound.h"
#include "platform/resources.h"
#include "platform/simconnect/SimConnect.h"
#include "platform/window.h"
#include "simulator/Simulator.h"
#include "sound/SoundEngine.h"
#include "tests/platform/media_riff_builder.h"
#include "tests/platform/media_temp_machine.h"
#include "tests/simulator/SimTestSupport.h"

#include <log4cpp/Category.hh>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kDefVelocityBodyZ = 16;
constexpr DWORD kDefVelocityBodyY = 19;
constexpr DWORD kEventPauseSet = 14;
constexpr double kUnwritten = -1234.5;

testing_riff::Bytes ShortWave()
{
    testing_riff::Format format;
    format.samplesPerSec = format.avgBytesPerSec = 1000;
    return testing_riff::Wave(format, testing_riff::Ramp(200));
}

class TriggeredAnimationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim.ServeInProcess();
        h = simtest::OpenClient("animations");
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(SimConnect_AddToDataDefinition(h, kDefVelocityBodyZ, "VELOCITY BODY Z", "Number"), S_OK);
        ASSERT_EQ(SimConnect_AddToDataDefinition(h, kDefVelocityBodyY, "VELOCITY BODY Y", "Number"), S_OK);
        ASSERT_EQ(SimConnect_MapClientEventToSimEvent(h, kEventPauseSet, "PAUSE_SET"), S_OK);
        simulator::AiAircraft ai;
        ai.title = "Hangar Door";
        objectId = sim.AddAiAircraft(ai);
        ASSERT_GT(objectId, 1u);
        ASSERT_TRUE(sim.SetNumber(objectId, "VELOCITY BODY Z", "Number", kUnwritten));
        ASSERT_TRUE(sim.SetNumber(objectId, "VELOCITY BODY Y", "Number", kUnwritten));

        engine.emplace(log4cpp::Category::getInstance("VELK.SOUNDENGINE"), status, geo, false, false);
        ASSERT_FALSE(engine->IsDisabled());
        for (const char* name : {"DOOR_OPEN", "DOOR_CLOSE", "DOOR_THIRD"}) {
            resources.push_back(std::make_unique<platform::ScopedResource>(name, "WAVE", ShortWave()));
            ASSERT_TRUE(engine->PreloadSound(name));
        }

        // What the frame handler sends, written as the program writes it.
        out.sendStateWord = [this](const BitField64& word) {
            double value = word.ToDouble();
            ASSERT_EQ(SimConnect_SetDataOnSimObject(h, kDefVelocityBodyY, objectId, 0, 0, sizeof(value), &value),
                      S_OK);
            sent.push_back("Y " + Number(value));
        };
        out.pauseSet = [this](DWORD data) {
            ASSERT_EQ(SimConnect_TransmitClientEvent(h, 0, kEventPauseSet, data, SIMCONNECT_GROUP_PRIORITY_HIGHEST,
                                                     SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY),
                      S_OK);
            sent.push_back("PAUSE_SET " + std::to_string(data));
        };
    }
    void TearDown() override
    {
        container.reset();
        SimConnect_Close(h);
    }

    static std::string Number(double value) { return std::to_string(static_cast<long long>(value)); }

    // Slot 3 with keyframes 0..10 over 0.4 s (one keyframe per 40 ms tick) and n sounds.
    TriggAnimationData& Define(int sounds = 2, int32_t end = 10, double seconds = 0.4)
    {
        TriggAnimationData& animation = *container->GetTriggerableAnimation(3);
        animation.SetKeyframes(0, end, 0, seconds);
        const char* names[] = {"DOOR_OPEN", "DOOR_CLOSE", "DOOR_THIRD"};
        for (int i = 0; i < sounds; ++i) {
            SoundBuffer sound;
            sound.SetParameters(names[i], false, 1, 100);
            sound.SetWaveKey(names[i]);
            EXPECT_TRUE(animation.AddSound(sound));
        }
        animation.InitSounds(&*engine, "", 10.0, 20.0, 30.0);
        return animation;
    }

    // The trigger fires (state set), as the proximity handler and the text menu do.
    bool Trigger(bool on)
    {
        container->GetTriggerableAnimation(3)->SetState(on);
        return container->RunTriggeredAnimation(status.GetPausedFlag(), [this](double bits) {
            ASSERT_EQ(SimConnect_SetDataOnSimObject(h, kDefVelocityBodyZ, objectId, 0, 0, sizeof(bits), &bits), S_OK);
            sent.push_back("Z " + Number(bits));
        });
    }

    // One pass of the frame handler; returns what it sent.
    std::vector<std::string> Pass()
    {
        sent.clear();
        container->GetTriggerableAnimation(3)->UpdateStateWord(modelWord, status.IsPaused(), out);
        return TakeSent();
    }

    std::vector<std::string> TakeSent()
    {
        auto taken = sent;
        sent.clear();
        return taken;
    }

    void Ticks(int n) { clock.clock().Advance(40u * static_cast<unsigned>(n)); }

    double Written(const char* variable) const { return sim.Number(objectId, variable, "Number").value_or(kUnwritten); }

    bool Playing(int index) { return container->GetTriggerableAnimation(3)->GetSound(index)->IsPlaying(); }

    void PauseSimulation(bool paused)
    {
        sim.SetPaused(paused);
        status.SetPaused(paused);
    }

    platform::ScopedManualClock clock;
    platform::ScopedRecordingDevice device;
    platform::ScopedWindow window{"FS98MAIN"};
    simulator::Simulator sim;
    SimStatus status;
    GeoMath geo;
    std::vector<std::unique_ptr<platform::ScopedResource>> resources;
    std::optional<SoundEngine> engine;
    std::unique_ptr<AnimationDataContainer> container = std::make_unique<AnimationDataContainer>();
    BitField64 modelWord;
    AnimationStateOutput out;
    std::vector<std::string> sent;
    HANDLE h = nullptr;
    DWORD objectId = 0;
};

}  // namespace

TEST_F(TriggeredAnimationTest, RunToTheEndAndBackWritesBothWords)
{
    Define();
    ASSERT_TRUE(Trigger(true));
    EXPECT_EQ(TakeSent(), (std::vector<std::string>{"Z 1"}));
    EXPECT_EQ(Written("VELOCITY BODY Z"), 1.0);
    EXPECT_EQ(Written("VELOCITY BODY Y"), kUnwritten);  // the frame handler writes that one

    EXPECT_EQ(Pass(), (std::vector<std::string>{"Y 2"}));  // running towards the end
    EXPECT_EQ(Written("VELOCITY BODY Y"), 2.0);
    EXPECT_TRUE(Playing(0));
    EXPECT_FALSE(Playing(1));
    EXPECT_EQ(container->GetTriggerableAnimation(3)->GetCurrentSound(), 1);

    Ticks(9);
    EXPECT_TRUE(Pass().empty());
    Ticks(1);
    EXPECT_EQ(Pass(), (std::vector<std::string>{"Y 8"}));  // stopped at the end
    EXPECT_EQ(Written("VELOCITY BODY Y"), 8.0);
    EXPECT_FALSE(Playing(0));
    EXPECT_EQ(container->GetTriggerableAnimation(3)->GetCurrentSound(), 0);
    EXPECT_TRUE(Pass().empty());

    ASSERT_TRUE(Trigger(false));
    EXPECT_EQ(TakeSent(), (std::vector<std::string>{"Z 0"}));
    EXPECT_EQ(Pass(), (std::vector<std::string>{"Y 4"}));  // running back; the stop bit cleared
    EXPECT_TRUE(Playing(1));
    EXPECT_FALSE(Playing(0));
    Ticks(10);
    EXPECT_EQ(Pass(), (std::vector<std::string>{"Y 16"}));  // stopped at the start
    EXPECT_EQ(Written("VELOCITY BODY Y"), 16.0);
    EXPECT_FALSE(Playing(1));
}

TEST_F(TriggeredAnimationTest, SeparationPlaneBitOfTheWordIsKept)
{
    Define(0);
    modelWord.SetBit(0);
    Trigger(true);
    EXPECT_EQ(Pass(), (std::vector<std::string>{"Y 3"}));
    Ticks(10);
    EXPECT_EQ(Pass(), (std::vector<std::string>{"Y 9"}));
}

TEST_F(TriggeredAnimationTest, ReversalMidWayTurnsTheWordAndTheSound)
{
    Define();
    Trigger(true);
    Pass();
    Ticks(5);
    ASSERT_TRUE(Trigger(false));
    EXPECT_EQ(TakeSent(), (std::vector<std::string>{"Z 0"}));
    EXPECT_FALSE(container->GetTriggerableAnimation(3)->IsStarted());  // still the first run
    EXPECT_EQ(Pass(), (std::vector<std::string>{"Y 4"}));
    EXPECT_FALSE(Playing(0));
    EXPECT_TRUE(Playing(1));
    Ticks(4);
    EXPECT_EQ(container->GetTriggerableAnimation(3)->GetPosition(), 1.0);
    Ticks(1);
    EXPECT_EQ(Pass(), (std::vector<std::string>{"Y 16"}));
    EXPECT_FALSE(Playing(1));

    // Back towards the end once more, from the start: an ordinary start.
    Trigger(true);
    EXPECT_EQ(TakeSent(), (std::vector<std::string>{"Z 1"}));
    EXPECT_EQ(Pass(), (std::vector<std::string>{"Y 2"}));
}

TEST_F(TriggeredAnimationTest, SoundOfEachDirectionByNumberOfSounds)
{
    struct Case {
        int sounds;
        int forwardSound, backwardSound;  // index playing, -1 none
    } cases[] = {{0, -1, -1}, {1, 0, 0}, {2, 0, 1}, {3, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.sounds) + " sounds");
        container = std::make_unique<AnimationDataContainer>();
        TriggAnimationData& animation = Define(c.sounds);
        const auto playing = [&] {
            for (int i = 0; i < c.sounds; ++i)
                if (animation.GetSound(static_cast<size_t>(i))->IsPlaying()) return i;
            return -1;
        };
        Trigger(true);
        Pass();
        EXPECT_EQ(playing(), c.forwardSound);
        EXPECT_EQ(animation.GetCurrentSound(), c.forwardSound + 1);
        Ticks(10);
        Pass();
        EXPECT_EQ(playing(), -1);
        Trigger(false);
        Pass();
        EXPECT_EQ(playing(), c.backwardSound);
        EXPECT_EQ(animation.GetCurrentSound(), c.backwardSound + 1);
        Ticks(10);
        Pass();
        EXPECT_EQ(playing(), -1);
    }
}

TEST_F(TriggeredAnimationTest, PausedSimulationIsReleasedForOnePassAndPausedAgain)
{
    Define();
    Trigger(true);
    Pass();
    Ticks(3);
    PauseSimulation(true);
    Ticks(1);
    EXPECT_EQ(container->GetTriggerableAnimation(3)->GetPosition(), 10.0);  // straight to the end

    EXPECT_EQ(Pass(), (std::vector<std::string>{"PAUSE_SET 0", "Y 8"}));
    EXPECT_FALSE(sim.IsPaused());  // the model shows its end while the simulation runs
    EXPECT_EQ(Written("VELOCITY BODY Y"), 8.0);
    EXPECT_FALSE(Playing(0));
    status.SetPaused(false);  // the "Pause" event the simulator sends back

    EXPECT_EQ(Pass(), (std::vector<std::string>{"PAUSE_SET 1"}));
    EXPECT_TRUE(sim.IsPaused());
    EXPECT_TRUE(Pass().empty());
}

TEST_F(TriggeredAnimationTest, StopWhileRunningSimulationNeedsNoRelease)
{
    Define();
    Trigger(true);
    Pass();
    Ticks(10);
    EXPECT_EQ(Pass(), (std::vector<std::string>{"Y 8"}));
    EXPECT_FALSE(container->GetTriggerableAnimation(3)->IsRePausePending());
}

// The started step reads the direction when the pass runs: a run that already ended has turned it, so
// the pass reports the run backwards for a moment before the stop at the end, which it sends last.
TEST_F(TriggeredAnimationTest, RunAndStopBetweenTwoPassesEndsOnTheStopWord)
{
    Define(2, 10, 0.0);  // no duration: the first tick reaches the end
    Trigger(true);
    TakeSent();
    Ticks(1);
    EXPECT_EQ(Pass(), (std::vector<std::string>{"Y 4", "Y 8"}));
    EXPECT_EQ(Written("VELOCITY BODY Y"), 8.0);
    EXPECT_FALSE(Playing(0));
    EXPECT_FALSE(Playing(1));
}

TEST_F(TriggeredAnimationTest, AnimationWithoutKeyframesIsNotRun)
{
    container->GetTriggerableAnimation(3)->SetState(true);
    EXPECT_FALSE(Trigger(true));
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(Written("VELOCITY BODY Z"), kUnwritten);
    EXPECT_FALSE(container->GetTriggerableAnimation(3)->IsRunning());
    EXPECT_FALSE(container->GetStateBits()->TestBit(0));
    EXPECT_TRUE(Pass().empty());
}

TEST_F(TriggeredAnimationTest, StopAllSilencesTimersAndSounds)
{
    Define();
    Trigger(true);
    Pass();
    Ticks(3);
    ASSERT_TRUE(Playing(0));
    container->StopAll();
    EXPECT_FALSE(container->GetTriggerableAnimation(3)->IsRunning());
    EXPECT_FALSE(Playing(0));
    EXPECT_EQ(container->GetTriggerableAnimation(3)->GetCurrentSound(), 0);
    Ticks(100);
    EXPECT_EQ(container->GetTriggerableAnimation(3)->GetPosition(), 3.0);
    EXPECT_TRUE(Pass().empty());
}

TEST_F(TriggeredAnimationTest, DestroyingARunningContainerLeavesNoCallback)
{
    Define();
    ControllableAnimationData& controllable = *container->GetControllableAnimation(0);
    controllable.SetKeyframes(0, 100, 0, 4.0);
    ASSERT_TRUE(controllable.Start());
    Trigger(true);
    Pass();
    Ticks(2);
    ASSERT_TRUE(Playing(0));
    container.reset();
    clock.clock().Advance(10000);  // the sanitizer build catches a callback on freed memory
    device.AdvancePlayCursor(5000);
    clock.clock().Advance(1000);
}

TEST_F(TriggeredAnimationTest, CopyOfARunningContainerRunsNothing)
{
    Define();
    Trigger(true);
    Pass();
    Ticks(2);
    AnimationDataContainer copy(*container);
    const TriggAnimationData& copied = *copy.GetTriggerableAnimation(3);
    EXPECT_FALSE(copied.IsRunning());
    EXPECT_EQ(copied.GetPosition(), 2.0);
    EXPECT_TRUE(copy.GetStateBits()->TestBit(0));
    EXPECT_EQ(copied.GetSoundCount(), 2u);
    EXPECT_FALSE(copy.GetTriggerableAnimation(3)->GetSound(0)->IsPlaying());
    Ticks(3);
    EXPECT_EQ(copied.GetPosition(), 2.0);
    EXPECT_EQ(container->GetTriggerableAnimation(3)->GetPosition(), 5.0);
}

TEST_F(TriggeredAnimationTest, SoundsArePlacedAtTheObject)
{
    TriggAnimationData& animation = Define(1);
    animation.PlayFirstSound();
    ASSERT_EQ(device.BufferCount(), 1u);
    const auto buffer = device.Buffer(0);
    EXPECT_TRUE(buffer.playing);
    EXPECT_EQ(buffer.position, (std::array<float, 3>{10.0f, 20.0f, 30.0f}));
    EXPECT_EQ(buffer.minDistance, 1.0f);
    EXPECT_EQ(buffer.maxDistance, 100.0f);
    animation.StopSound();
    EXPECT_FALSE(device.Buffer(0).playing);
}

TEST_F(TriggeredAnimationTest, SoundFilesComeFromTheModelsSoundFolder)
{
    testing_riff::TempMachine machine;
    machine.Write("Models/Door/sound/open.wav", ShortWave());
    TriggAnimationData& animation = *container->GetTriggerableAnimation(3);
    SoundBuffer open, missing;
    open.SetParameters("open.wav", false, 0, 0);
    missing.SetParameters("missing.wav", false, 0, 0);
    animation.AddSound(open);
    animation.AddSound(missing);
    animation.InitSounds(&*engine, "C:\\Models\\Door\\", 1.0, 2.0, 3.0);
    EXPECT_TRUE(engine->HasWave("C:\\Models\\Door\\sound\\open.wav"));
    EXPECT_FALSE(engine->HasWave("C:\\Models\\Door\\sound\\missing.wav"));

    animation.PlayFirstSound();
    EXPECT_TRUE(animation.GetSound(0)->IsPlaying());
    animation.StopSound();
    animation.PlaySound();  // two sounds: the second, whose file is missing, stays silent
    EXPECT_FALSE(animation.GetSound(1)->IsPlaying());
    EXPECT_EQ(device.BufferCount(), 1u);
    animation.StopSound();

    // The sim bubble moves the sounds with the object.
    animation.SetSoundPositions(4.0, 5.0, 6.0);
    animation.PlayFirstSound();
    EXPECT_EQ(device.Buffer(0).position, (std::array<float, 3>{1.0f, 2.0f, 3.0f}));  // created before the move
    animation.StopSound();
}

TEST_F(TriggeredAnimationTest, SoundsWithoutAnEngineStaySilent)
{
    TriggAnimationData& animation = *container->GetTriggerableAnimation(3);
    SoundBuffer sound;
    sound.SetParameters("DOOR_OPEN", false, 0, 0);
    sound.SetWaveKey("DOOR_OPEN");
    animation.AddSound(sound);
    animation.InitSounds(nullptr, "C:\\Models\\", 0, 0, 0);
    animation.PlayFirstSound();
    EXPECT_FALSE(animation.GetSound(0)->IsPlaying());
    animation.StopSound();
    EXPECT_EQ(animation.GetCurrentSound(), 0);
}

TEST(TriggAnimationData, KeepsAtMostThreeSounds)
{
    TriggAnimationData animation;
    SoundBuffer sound;
    for (int i = 0; i < 3; ++i) {
        sound.SetParameters("s" + std::to_string(i), false, 0, 0);
        EXPECT_TRUE(animation.AddSound(sound));
    }
    sound.SetParameters("s3", false, 0, 0);
    EXPECT_FALSE(animation.AddSound(sound));
    EXPECT_EQ(animation.GetSoundCount(), 3u);
    EXPECT_EQ(animation.GetSound(2)->GetFileName(), "s2");
    EXPECT_EQ(animation.GetSound(3), nullptr);

    // Sound calls on an animation without sounds do nothing.
    TriggAnimationData silent;
    silent.PlayFirstSound();
    silent.PlaySound();
    EXPECT_EQ(silent.GetCurrentSound(), 0);
    silent.StopSound();
    EXPECT_EQ(silent.GetSound(0), nullptr);
}

TEST(TriggAnimationData, SyncNamesAndTargetsOutsideTheListAreNone)
{
    TriggAnimationData animation;
    animation.AddSyncName("Door #1");
    animation.AddSyncName("Door #2");
    EXPECT_EQ(animation.GetSyncNameCount(), 2u);
    EXPECT_EQ(animation.GetSyncName(1), "Door #2");
    EXPECT_EQ(animation.GetSyncName(2), "");
    EXPECT_EQ(animation.GetSyncName(-1), "");

    // Targets are only held, never looked into.
    int first = 0, second = 0;
    auto* a = reinterpret_cast<SimObject*>(&first);
    auto* b = reinterpret_cast<SimObject*>(&second);
    animation.AddSyncTarget(a);
    animation.AddSyncTarget(nullptr);
    animation.AddSyncTarget(b);
    EXPECT_EQ(animation.GetSyncTargetCount(), 2u);
    EXPECT_EQ(animation.GetSyncTarget(0), a);
    EXPECT_EQ(animation.GetSyncTarget(1), b);
    EXPECT_EQ(animation.GetSyncTarget(-1), nullptr);
    EXPECT_EQ(animation.GetSyncTarget(2), nullptr);

    TriggAnimationData copy(animation);
    EXPECT_EQ(copy.GetSyncTarget(1), b);
    EXPECT_EQ(copy.GetSyncName(0), "Door #1");
}

TEST(AnimationDataContainer, SlotsOutsideTheirRangeAreNull)
{
    AnimationDataContainer container;
    for (int slot = -1; slot <= 9; ++slot) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(container.GetControllableAnimation(slot) != nullptr, slot >= 0 && slot <= 2);
        EXPECT_EQ(container.GetTriggerableAnimation(slot) != nullptr, slot >= 3 && slot <= 8);
    }
    EXPECT_NE(container.GetTriggerableAnimation(3), container.GetTriggerableAnimation(4));
    EXPECT_NE(static_cast<AnimationData*>(container.GetControllableAnimation(0)),
              static_cast<AnimationData*>(container.GetControllableAnimation(1)));
}

TEST(AnimationDataContainer, StateBitFollowsTheTriggerState)
{
    AnimationDataContainer container;
    container.GetTriggerableAnimation(3)->SetState(true);
    container.UpdateStateBit(3);
    EXPECT_EQ(container.GetStateBits()->ToUint64(), 1u);
    container.GetTriggerableAnimation(4)->SetState(true);
    container.UpdateStateBit(4);
    EXPECT_EQ(container.GetStateBits()->ToUint64(), 3u);
    container.GetTriggerableAnimation(3)->ToggleState();
    container.UpdateStateBit(3);
    EXPECT_EQ(container.GetStateBits()->ToUint64(), 2u);
    for (int slot : {-1, 0, 2, 9, 100}) container.UpdateStateBit(slot);  // no triggerable slot: nothing
    EXPECT_EQ(container.GetStateBits()->ToUint64(), 2u);
}

// A sound is bound to the engine at its address, so adding the next ones must not move it.
TEST(TriggAnimationSounds, StayInPlaceAsMoreAreAddedAndAFourthIsRefused)
{
    TriggAnimationData animation;
    EXPECT_EQ(animation.GetSoundCount(), 0u);
    EXPECT_EQ(animation.GetSound(0), nullptr);
    SoundBuffer sound;
    sound.SetParameters("open.wav", false, 1, 100);
    ASSERT_TRUE(animation.AddSound(sound));
    const SoundBuffer* first = animation.GetSound(0);
    ASSERT_TRUE(animation.AddSound(sound));
    const SoundBuffer* second = animation.GetSound(1);
    ASSERT_TRUE(animation.AddSound(sound));
    EXPECT_FALSE(animation.AddSound(sound));
    EXPECT_EQ(animation.GetSoundCount(), 3u);
    EXPECT_EQ(animation.GetSound(0), first);
    EXPECT_EQ(animation.GetSound(1), second);
    EXPECT_EQ(animation.GetSound(3), nullptr);
}
