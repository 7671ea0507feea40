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
    if (soundCount_ >= kMaxSounds) return false;
    sounds_[soundCount_++] = sound;
    return true;
}

SoundBuffer* TriggAnimationData::GetSound(size_t index) { return index < soundCount_ ? &sounds_[index] : nullptr; }

void TriggAnimationData::InitSounds(SoundEngine* engine, const std::string& folder, double x, double y, double z)
{
    for (size_t i = 0; i < soundCount_; ++i) {
        SoundBuffer& sound = sounds_[i];
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
    for (size_t i = 0; i < soundCount_; ++i) sounds_[i].SetPosition(x, y, z);
}

void TriggAnimationData::PlayFirstSound()
{
    if (soundCount_ == 0) return;
    sounds_[0].Play();
    currentSound_ = 1;
}

void TriggAnimationData::PlaySound()
{
    if (soundCount_ == 2) {
        sounds_[1].Play();
        currentSound_ = 2;
    } else {
        PlayFirstSound();
    }
}

void TriggAnimationData::StopSound()
{
    const size_t index = currentSound_ == 1 ? 0 : currentSound_ == 2 ? 1 : kMaxSounds;
    if (index < soundCount_) sounds_[index].Stop();
    currentSound_ = 0;
}

void TriggAnimationData::StopAll()
{
    Stop();
    for (size_t i = 0; i < soundCount_; ++i) sounds_[i].Stop();
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
