#include "objects/Jetway.h"

#include "sound/SoundEngine.h"

Jetway& Jetway::operator=(const Jetway& other)
{
    if (this == &other) return *this;
    JetwayCore::operator=(other);
    sound_ = other.sound_;
    soundEnabled_ = other.soundEnabled_;
    multiIndex_ = other.multiIndex_;
    return *this;
}

bool Jetway::SetupSound(SoundEngine& engine, const std::string& folder, double x, double y, double z)
{
    const std::string& fileName = sound_.GetFileName();
    sound_.SetWaveKey(SoundEngine::MakeSoundPath(folder, fileName));
    const bool loaded = !fileName.empty() && engine.LoadSoundFile(folder, fileName);
    sound_.InitPositional(&engine, x, y, z);
    soundEnabled_ = loaded;
    return loaded;
}

void Jetway::ResetSound()
{
    sound_.Stop();
    sound_ = SoundBuffer();
    soundEnabled_ = false;
}

void Jetway::PlaySound()
{
    if (soundEnabled_) sound_.Play();
}

void Jetway::StopSound()
{
    if (soundEnabled_) sound_.Stop();
}

void Jetway::UpdateSoundPosition(double x, double y, double z)
{
    if (soundEnabled_) sound_.SetPosition(x, y, z);
}
