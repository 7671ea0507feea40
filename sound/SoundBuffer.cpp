#include "sound/SoundBuffer.h"

#include "platform/events.h"
#include "platform/guid.h"
#include "platform/timers.h"
#include "sound/SoundEngine.h"

#include <algorithm>
#include <cstring>
#include <iostream>

namespace {

constexpr DWORD kRefillPeriodMs = 300;

template <typename T>
void ReleaseInterface(T*& p)
{
    if (p != nullptr) {
        p->Release();
        p = nullptr;
    }
}

HANDLE CreateNamedEvent()
{
    GUID guid{};
    if (FAILED(CoCreateGuid(&guid))) return nullptr;
    const std::string name = platform::GuidToString(guid, true);
    return CreateEventA(nullptr, FALSE, FALSE, name.c_str());
}

}  // namespace

SoundBuffer::SoundBuffer(const SoundBuffer& other)
{
    CopySettings(other);
}

SoundBuffer& SoundBuffer::operator=(const SoundBuffer& other)
{
    if (this != &other) {
        DeleteTimer();
        ReleaseDeviceObjects();
        CopySettings(other);
    }
    return *this;
}

SoundBuffer::~SoundBuffer()
{
    DeleteTimer();
    ReleaseDeviceObjects();
}

void SoundBuffer::CopySettings(const SoundBuffer& other)
{
    engine_ = other.engine_;
    minDistance_ = other.minDistance_;
    maxDistance_ = other.maxDistance_;
    fileName_ = other.fileName_;
    waveKey_ = other.waveKey_;
    looped_ = other.looped_.load();
    positional_ = other.positional_;
    x_ = other.x_;
    y_ = other.y_;
    z_ = other.z_;
    samples_ = other.samples_;
    muteRequested_ = false;
    muted_ = false;
    playing_ = false;
    savedVolume_ = 0;
    firstHalfCount_ = 0;
    secondHalfCount_ = 0;
}

void SoundBuffer::SetParameters(const std::string& fileName, bool looped, int32_t minDistance, int32_t maxDistance)
{
    fileName_ = fileName;
    looped_ = looped;
    minDistance_ = minDistance;
    maxDistance_ = maxDistance;
}

void SoundBuffer::SetWaveKey(const std::string& key)
{
    waveKey_ = key;
}

void SoundBuffer::InitPositional(SoundEngine* engine, double x, double y, double z)
{
    engine_ = engine;
    positional_ = true;
    x_ = x;
    y_ = y;
    z_ = z;
}

void SoundBuffer::InitAmbient(SoundEngine* engine, bool looped)
{
    engine_ = engine;
    looped_ = looped;
    positional_ = false;
    x_ = y_ = z_ = 0.0;
}

void SoundBuffer::SetPosition(double x, double y, double z)
{
    x_ = x;
    y_ = y;
    z_ = z;
}

BYTE SoundBuffer::Silence() const
{
    return reader_.GetFormat().wBitsPerSample == 8 ? 128 : 0;
}

bool SoundBuffer::Create()
{
    if (engine_ == nullptr || engine_->IsDisabled() || engine_->GetDevice() == nullptr) return false;
    const WaveFile* cached = engine_->FindWave(waveKey_);
    if (cached == nullptr) return false;
    reader_ = *cached;  // a closed copy: this buffer's own read position
    if (FAILED(reader_.Open(waveKey_.c_str(), nullptr, WAVEFILE_READ, reader_.IsFromResource()))) return false;
    const WAVEFORMATEX format = reader_.GetFormat();
    const DWORD second = format.nAvgBytesPerSec;

    events_[0] = CreateNamedEvent();
    events_[1] = CreateNamedEvent();
    if (events_[0] == nullptr || events_[1] == nullptr) {
        std::cout << "\n [SOUND] Error during Event Creation for the Notification Positions!";
        ReleaseDeviceObjects();
        return false;
    }
    ResetEvent(events_[0]);
    ResetEvent(events_[1]);
    DSBPOSITIONNOTIFY positions[2]{};
    positions[0].dwOffset = second / 2 - 1;
    positions[0].hEventNotify = events_[0];
    positions[1].dwOffset = 3 * second / 2 - 1;
    positions[1].hEventNotify = events_[1];

    samples_.assign(second, Silence());

    DSBUFFERDESC description{};
    description.dwSize = DSBUFFERDESC_SIZE;
    description.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_GLOBALFOCUS;
    if (positional_) description.dwFlags |= DSBCAPS_CTRL3D | DSBCAPS_MUTE3DATMAXDISTANCE;
    description.dwBufferBytes = 2 * second;
    description.lpwfxFormat = &format;
    description.guid3DAlgorithm = DS3DALG_DEFAULT;

    IDirectSoundBuffer* first = nullptr;
    if (FAILED(engine_->GetDevice()->CreateSoundBuffer(&description, &first, nullptr)) || first == nullptr) {
        ReleaseDeviceObjects();
        return false;
    }
    void* buffer8 = nullptr;
    const HRESULT hr = first->QueryInterface(DsInterface::Buffer8, &buffer8);
    first->Release();
    buffer_ = SUCCEEDED(hr) ? static_cast<IDirectSoundBuffer8*>(buffer8) : nullptr;
    if (buffer_ == nullptr) {
        ReleaseDeviceObjects();
        return false;
    }

    // Without its notifications the buffer would never be refilled: such a buffer is not used.
    void* notifyInterface = nullptr;
    if (FAILED(buffer_->QueryInterface(DsInterface::Notify, &notifyInterface))) {
        ReleaseDeviceObjects();
        return false;
    }
    auto* notify = static_cast<IDirectSoundNotify*>(notifyInterface);
    const HRESULT notified = notify->SetNotificationPositions(2, positions);
    notify->Release();
    if (FAILED(notified)) {
        ReleaseDeviceObjects();
        return false;
    }

    if (positional_) {
        void* spatial = nullptr;
        if (FAILED(buffer_->QueryInterface(DsInterface::Buffer3D, &spatial))) {
            ReleaseDeviceObjects();
            return false;
        }
        buffer3D_ = static_cast<IDirectSound3DBuffer*>(spatial);
        buffer3D_->SetPosition(static_cast<D3DVALUE>(x_), static_cast<D3DVALUE>(y_), static_cast<D3DVALUE>(z_),
                               DS3D_IMMEDIATE);
        buffer3D_->SetMinDistance(static_cast<D3DVALUE>(minDistance_), DS3D_IMMEDIATE);
        buffer3D_->SetMaxDistance(static_cast<D3DVALUE>(maxDistance_), DS3D_IMMEDIATE);
        buffer3D_->SetMode(DS3DMODE_NORMAL, DS3D_IMMEDIATE);
    }
    created_ = true;
    return true;
}

void SoundBuffer::ReleaseDeviceObjects()
{
    ReleaseInterface(buffer3D_);
    ReleaseInterface(buffer_);
    for (HANDLE& event : events_) {
        if (event != nullptr) CloseHandle(event);
        event = nullptr;
    }
    reader_.Close();
    created_ = false;
    playing_ = false;
    muted_ = false;
    muteRequested_ = false;
    firstHalfCount_ = 0;
    secondHalfCount_ = 0;
}

void SoundBuffer::DeleteTimer()
{
    if (timerQueue_ != nullptr) {
        // Waits for a refill that is running: nothing may touch this buffer afterwards.
        DeleteTimerQueueEx(timerQueue_, INVALID_HANDLE_VALUE);
        timerQueue_ = nullptr;
        timer_ = nullptr;
    }
}

void SoundBuffer::Play()
{
    if (!created_) Create();
    if (engine_ == nullptr || engine_->IsDisabled() || buffer_ == nullptr) return;

    if (playing_) {
        // Already streaming (or halted): go on where the device buffer stopped, with the one timer.
        SetMuted(engine_->IsSilenced());
        buffer_->Play(0, 0, DSBPLAY_LOOPING);
        return;
    }

    const DWORD second = reader_.GetFormat().nAvgBytesPerSec;
    if (firstHalfCount_ == 0) {
        void* part1 = nullptr;
        void* part2 = nullptr;
        DWORD bytes1 = 0, bytes2 = 0;
        if (FAILED(buffer_->Lock(0, second, &part1, &bytes1, &part2, &bytes2, 0))) return;
        DWORD frames = 0;
        FillSamples(samples_.data(), reader_.GetFormat().nSamplesPerSec, &frames);
        const DWORD filled = std::min(frames * reader_.GetFormat().nBlockAlign, bytes1);
        std::memset(part1, Silence(), bytes1);
        std::memcpy(part1, samples_.data(), filled);
        buffer_->Unlock(part1, bytes1, part2, bytes2);
    }

    buffer_->SetCurrentPosition(0);
    SetMuted(engine_->IsSilenced());
    buffer_->Play(0, 0, DSBPLAY_LOOPING);  // always looping: the timer decides what the next second holds

    playing_ = true;
    timerQueue_ = CreateTimerQueue();
    if (timerQueue_ == nullptr ||
        !CreateTimerQueueTimer(&timer_, timerQueue_, &SoundBuffer::OnTimer, this, kRefillPeriodMs, kRefillPeriodMs,
                               WT_EXECUTEINTIMERTHREAD)) {
        DeleteTimer();
        buffer_->Stop();
        playing_ = false;
    }
}

void SoundBuffer::Halt()
{
    if (buffer_ != nullptr && created_) buffer_->Stop();
}

void SoundBuffer::Stop()
{
    if (buffer_ == nullptr || !created_ || !playing_) return;
    playing_ = false;
    buffer_->Stop();
    DeleteTimer();
    reader_.ResetFile();
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    if (SUCCEEDED(buffer_->Lock(0, 0, &part1, &bytes1, &part2, &bytes2, DSBLOCK_ENTIREBUFFER))) {
        std::memset(part1, Silence(), bytes1);
        if (part2 != nullptr) std::memset(part2, Silence(), bytes2);
        buffer_->Unlock(part1, bytes1, part2, bytes2);
    }
    buffer_->SetCurrentPosition(0);
    ResetEvent(events_[0]);
    ResetEvent(events_[1]);
    firstHalfCount_ = 0;
    secondHalfCount_ = 0;
}

void SoundBuffer::Release()
{
    // The refill first (waiting for one that runs): nothing touches the device buffer afterwards.
    DeleteTimer();
    if (buffer_ != nullptr && playing_) buffer_->Stop();
    ReleaseDeviceObjects();
}

void SoundBuffer::OnTimer(PVOID self, BOOLEAN)
{
    static_cast<SoundBuffer*>(self)->Refill();
}

void SoundBuffer::Refill()
{
    const DWORD signalled = WaitForMultipleObjects(2, events_, FALSE, 0);
    const DWORD second = reader_.GetFormat().nAvgBytesPerSec;
    if (signalled == WAIT_OBJECT_0) {
        // Playback passed the middle of the first second: the second one is free.
        ++firstHalfCount_;
        RefillSecond(second);
    } else if (signalled == WAIT_OBJECT_0 + 1) {
        ++secondHalfCount_;
        RefillSecond(0);
    } else {
        SetMuted(engine_->IsSilenced());
    }
}

void SoundBuffer::RefillSecond(DWORD offset)
{
    const WAVEFORMATEX& format = reader_.GetFormat();
    const DWORD second = format.nAvgBytesPerSec;
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    if (FAILED(buffer_->Lock(offset, second, &part1, &bytes1, &part2, &bytes2, 0))) return;
    DWORD frames = 0;
    FillSamples(samples_.data(), format.nSamplesPerSec, &frames);
    const DWORD filled = std::min(frames * format.nBlockAlign, second);
    std::memset(samples_.data() + filled, Silence(), second - filled);
    std::memcpy(part1, samples_.data(), bytes1);
    if (part2 != nullptr) std::memcpy(part2, samples_.data() + bytes1, std::min(bytes2, second - bytes1));
    buffer_->Unlock(part1, bytes1, part2, bytes2);
}

HRESULT SoundBuffer::FillSamples(BYTE* destination, DWORD frames, DWORD* framesRead)
{
    const DWORD align = reader_.GetFormat().nBlockAlign;
    const DWORD wanted = frames * align;
    DWORD got = 0;
    bool rewound = false;
    HRESULT hr = S_OK;
    while (got < wanted) {
        DWORD n = 0;
        hr = reader_.Read(destination + got, wanted - got, &n);
        got += n;
        if (FAILED(hr) || got == wanted || !looped_) break;
        if (n > 0)
            rewound = false;
        else if (rewound)
            break;  // nothing to read right after a rewind: an empty source loops as silence
        hr = reader_.ResetFile();
        if (FAILED(hr)) break;
        rewound = true;
    }
    *framesRead = align > 0 ? got / align : 0;
    return hr;
}

void SoundBuffer::SetMuted(bool muted)
{
    std::lock_guard guard(muteLock_);
    muteRequested_ = muted;
    if (muted == muted_) return;
    muted_ = muted;
    if (muted) {
        buffer_->GetVolume(&savedVolume_);
        buffer_->SetVolume(DSBVOLUME_MIN);
    } else {
        buffer_->SetVolume(savedVolume_);
    }
}
