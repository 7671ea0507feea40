#include "objects/TriggAnimationData.h"

#include "sound/SoundEngine.h"

using namespace animation_state;

TriggAnimationData::~TriggAnimationData() = default;

std::string TriggAnimationData::GetSyncName(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= syncNames_.size()) return std::string();
    return syncNames_[static_cast<size_t>(index)];
}

void TriggAnimationData::AddSyncTarget(SimObject* target)
{
    if (target != nullptr) syncTargets_.push_back(target);
}

SimObject* TriggAnimationData::GetSyncTarget(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= syncTargets_.size()) return nullptr;
    return syncTargets_[static_cast<size_t>(index)];
}

bool TriggAnimationData::AddSound(const SoundBuffer& sound)
{
    if (sounds_.size() >= kMaxSounds) return false;
    sounds_.reserve(kMaxSounds);
    sounds_.push_back(sound);
    return true;
}

SoundBuffer* TriggAnimationData::GetSound(size_t index) { return index < sounds_.size() ? &sounds_[index] : nullptr; }

void TriggAnimationData::InitSounds(SoundEngine* engine, const std::string& folder, double x, double y, double z)
{
    for (SoundBuffer& sound : sounds_) {
        if (engine != nullptr && !engine->IsDisabled() && !folder.empty()) {
            const std::string key = SoundEngine::MakeSoundPath(folder, sound.GetFileName());
            // One WAV serves every object of the model; a file that cannot be read is logged once per
            // binding and the sound stays silent.
            if (!engine->HasWave(key)) engine->LoadSoundFile(folder, sound.GetFileName());
            sound.SetWaveKey(key);
        }
        sound.InitPositional(engine, x, y, z);
    }
}

void TriggAnimationData::SetSoundPositions(double x, double y, double z)
{
    for (SoundBuffer& sound : sounds_) sound.SetPosition(x, y, z);
}

void TriggAnimationData::PlayFirstSound()
{
    if (sounds_.empty()) return;
    sounds_[0].Play();
    currentSound_ = 1;
}

void TriggAnimationData::PlaySound()
{
    if (sounds_.size() == 2) {
        sounds_[1].Play();
        currentSound_ = 2;
    } else {
        PlayFirstSound();
    }
}

void TriggAnimationData::StopSound()
{
    const size_t index = currentSound_ == 1 ? 0 : currentSound_ == 2 ? 1 : kMaxSounds;
    if (index < sounds_.size()) sounds_[index].Stop();
    currentSound_ = 0;
}

void TriggAnimationData::StopAll()
{
    Stop();
    for (SoundBuffer& sound : sounds_) sound.Stop();
    currentSound_ = 0;
}

void TriggAnimationData::UpdateStateWord(BitField64& word, bool simPaused, const AnimationStateOutput& out)
{
    if (!IsDefined()) return;
    const auto send = [&] {
        if (out.sendStateWord) out.sendStateWord(word);
    };
    const auto pauseSet = [&](DWORD data) {
        if (out.pauseSet) out.pauseSet(data);
    };

    if (TakeRePausePending()) pauseSet(1);

    if (TakeStarted()) {
        word.ClearBit(kStoppedAtEnd);
        word.ClearBit(kStoppedAtStart);
        if (IsForward()) {
            PlayFirstSound();
            word.SetBit(kRunningToEnd);
            word.ClearBit(kRunningToStart);
        } else {
            PlaySound();
            word.ClearBit(kRunningToEnd);
            word.SetBit(kRunningToStart);
        }
        send();
    }

    if (TakeReversalPending()) {
        StopSound();
        if (IsForward()) {
            word.SetBit(kRunningToEnd);
            word.ClearBit(kRunningToStart);
            PlayFirstSound();
        } else {
            word.ClearBit(kRunningToEnd);
            word.SetBit(kRunningToStart);
            PlaySound();
        }
        send();
    }

    if (TakeStopped()) {
        // Stopping on the start keyframe sets forward for the next run, stopping on the end clears it.
        if (IsForward()) word.SetBit(kStoppedAtStart);
        else word.SetBit(kStoppedAtEnd);
        word.ClearBit(kRunningToEnd);
        word.ClearBit(kRunningToStart);
        if (simPaused) {
            // The model shows the end point only while the simulation runs: release it until the next pass.
            SetRePausePending(true);
            pauseSet(0);
        }
        send();
        StopSound();
    }
}
