// One playable sound: a jetway's sound, a sound of a triggerable animation, or the radio click.
//
// The source streams through a device buffer of two seconds, refilled one second at a time from a
// 300 ms timer (timer thread) when the play cursor passes the middle of either second. Each buffer reads
// its own copy of the source taken from the engine's cache when it is created, so buffers of one source
// play independently. Muted while the simulation is paused or its sound is off.
//
// The owner must stop (or destroy) a playing buffer before the engine it is bound to goes away, and must
// not move it while it plays: its timer holds its address. Stop and destruction wait for a refill that
// is running.
#pragma once

#include "platform/dsound.h"
#include "sound/WaveFile.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class SoundEngine;

class SoundBuffer {
public:
    SoundBuffer() = default;
    // A copy takes the settings, names, position and sample buffer, never the device objects or timer.
    SoundBuffer(const SoundBuffer& other);
    SoundBuffer& operator=(const SoundBuffer& other);
    ~SoundBuffer();

    void SetParameters(const std::string& fileName, bool looped, int32_t minDistance, int32_t maxDistance);
    void SetWaveKey(const std::string& key);
    const std::string& GetFileName() const { return fileName_; }

    void InitPositional(SoundEngine* engine, double x, double y, double z);
    void InitAmbient(SoundEngine* engine, bool looped);
    // Stored only: the device receives the position when the buffer is created on the first play.
    void SetPosition(double x, double y, double z);

    // Creates the device objects on first use and starts the sound. On a playing sound (also a halted
    // one) it only resumes the device buffer where it stopped: there is never a second timer.
    void Play();
    // Stops the device buffer only: the source position and the timer are kept.
    void Halt();
    // Stops, rewinds the source and silences the buffer.
    void Stop();
    // Stops the sound, waiting for a running refill, and gives the device objects back; the settings stay,
    // and a later Play creates them again. Called before the engine goes when the buffer outlives it.
    void Release();

    bool IsLooped() const { return looped_.load(); }
    bool IsCreated() const { return created_; }
    bool IsPlaying() const { return playing_.load(); }

private:
    bool Create();
    void ReleaseDeviceObjects();
    void DeleteTimer();
    static void OnTimer(PVOID self, BOOLEAN fired);
    void Refill();
    void RefillSecond(DWORD offset);
    HRESULT FillSamples(BYTE* destination, DWORD frames, DWORD* framesRead);
    void SetMuted(bool muted);
    BYTE Silence() const;
    void CopySettings(const SoundBuffer& other);

    SoundEngine* engine_ = nullptr;
    double minDistance_ = 1.0;
    double maxDistance_ = 1000000000.0;
    std::string fileName_;
    std::string waveKey_;
    std::atomic<bool> looped_{false};
    std::atomic<bool> muteRequested_{false};
    std::atomic<bool> muted_{false};
    std::atomic<bool> playing_{false};
    LONG savedVolume_ = 0;
    bool created_ = false;
    bool positional_ = false;
    double x_ = 0.0;
    double y_ = 0.0;
    double z_ = 0.0;
    IDirectSoundBuffer8* buffer_ = nullptr;
    IDirectSound3DBuffer* buffer3D_ = nullptr;
    HANDLE events_[2] = {nullptr, nullptr};
    HANDLE timer_ = nullptr;
    HANDLE timerQueue_ = nullptr;
    std::vector<BYTE> samples_;   // one second
    WaveFile reader_;             // this buffer's own reader of the source
    std::atomic<uint32_t> firstHalfCount_{0};
    std::atomic<uint32_t> secondHalfCount_{0};
    std::mutex muteLock_;         // the main thread and the refill both apply the mute state
};
