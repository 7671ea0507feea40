#include "platform/dsound.h"
#include "platform/events.h"
#include "platform/window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

WAVEFORMATEX Mono8(DWORD rate = 1000)
{
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = rate;
    f.nAvgBytesPerSec = rate;
    f.nBlockAlign = 1;
    f.wBitsPerSample = 8;
    return f;
}

template <typename T>
struct Released {
    void operator()(T* p) const
    {
        if (p != nullptr) p->Release();
    }
};
template <typename T>
using Ref = std::unique_ptr<T, Released<T>>;

class SoundDevice : public testing::Test {
protected:
    Ref<IDirectSound8> CreateDevice()
    {
        IDirectSound8* device = nullptr;
        EXPECT_EQ(DS_OK, DirectSoundCreate8(nullptr, &device, nullptr));
        return Ref<IDirectSound8>(device);
    }

    Ref<IDirectSoundBuffer8> CreateBuffer(IDirectSound8* device, DWORD bytes, DWORD flags, const WAVEFORMATEX& f)
    {
        DSBUFFERDESC d;
        d.dwSize = DSBUFFERDESC_SIZE;
        d.dwFlags = flags;
        d.dwBufferBytes = bytes;
        d.lpwfxFormat = &f;
        IDirectSoundBuffer* first = nullptr;
        EXPECT_EQ(DS_OK, device->CreateSoundBuffer(&d, &first, nullptr));
        IDirectSoundBuffer8* buffer = nullptr;
        if (first != nullptr) {
            EXPECT_EQ(DS_OK, first->QueryInterface(DsInterface::Buffer8, reinterpret_cast<void**>(&buffer)));
            first->Release();
        }
        return Ref<IDirectSoundBuffer8>(buffer);
    }

    platform::ScopedRecordingDevice recorder;
};

}  // namespace

TEST(Windows, FoundByClassWhileRegistered)
{
    EXPECT_EQ(nullptr, FindWindowA("FS98MAIN", nullptr));
    HWND main;
    {
        platform::ScopedWindow window("FS98MAIN", "Simulator");
        main = window.get();
        EXPECT_EQ(main, FindWindowA("fs98main", nullptr));
        EXPECT_EQ(main, FindWindowA(nullptr, "SIMULATOR"));
        EXPECT_EQ(nullptr, FindWindowA("FS98MAIN", "Other"));
        EXPECT_TRUE(IsWindow(main));
    }
    EXPECT_EQ(nullptr, FindWindowA("FS98MAIN", nullptr));
    EXPECT_FALSE(IsWindow(main));
    platform::ScopedWindow again("FS98MAIN");
    EXPECT_NE(main, again.get());  // handles are not reused
}

TEST_F(SoundDevice, NullDeviceIsTheDefaultAndAcceptsEverything)
{
    platform::SetSoundDeviceFactory(nullptr);
    auto device = CreateDevice();
    ASSERT_NE(device, nullptr);
    platform::ScopedWindow window("FS98MAIN");
    EXPECT_EQ(DS_OK, device->SetCooperativeLevel(window.get(), DSSCL_NORMAL));
    auto buffer = CreateBuffer(device.get(), 100, DSBCAPS_CTRLVOLUME, Mono8());
    ASSERT_NE(buffer, nullptr);
    void* p = nullptr;
    DWORD n = 0;
    EXPECT_EQ(DS_OK, buffer->Lock(0, 100, &p, &n, nullptr, nullptr, 0));
    EXPECT_EQ(DS_OK, buffer->Unlock(p, n, nullptr, 0));
    EXPECT_EQ(DS_OK, buffer->Play(0, 0, DSBPLAY_LOOPING));
    EXPECT_EQ(0, recorder.DevicesCreated());
    platform::SetSoundDeviceFactory(&recorder);
}

TEST_F(SoundDevice, CooperativeLevelNeedsALiveWindow)
{
    auto device = CreateDevice();
    EXPECT_EQ(DSERR_INVALIDPARAM, device->SetCooperativeLevel(nullptr, DSSCL_NORMAL));
    EXPECT_EQ(DSERR_INVALIDPARAM, device->SetCooperativeLevel(FindWindowA("FS98MAIN", nullptr), DSSCL_NORMAL));
    platform::ScopedWindow window("FS98MAIN");
    EXPECT_EQ(DS_OK, device->SetCooperativeLevel(FindWindowA("FS98MAIN", nullptr), DSSCL_NORMAL));
    EXPECT_EQ(window.get(), recorder.CooperativeWindow());
    EXPECT_EQ(DSSCL_NORMAL, recorder.CooperativeLevel());
}

TEST_F(SoundDevice, BufferDescriptionsAreChecked)
{
    auto device = CreateDevice();
    const WAVEFORMATEX f = Mono8();
    WAVEFORMATEX stereo16 = f;
    stereo16.nBlockAlign = 4;
    struct Case {
        const char* what;
        DWORD size, flags, bytes;
        const WAVEFORMATEX* format;
        HRESULT result;
    };
    const Case cases[] = {
        {"primary", 36, DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D, 0, nullptr, DS_OK},
        {"primary with bytes", 36, DSBCAPS_PRIMARYBUFFER, 100, nullptr, DSERR_INVALIDPARAM},
        {"secondary", 36, DSBCAPS_CTRLVOLUME, 100, &f, DS_OK},
        {"wrong size field", 40, DSBCAPS_CTRLVOLUME, 100, &f, DSERR_INVALIDPARAM},
        {"no format", 36, 0, 100, nullptr, DSERR_INVALIDPARAM},
        {"too small", 36, 0, 2, &f, DSERR_INVALIDPARAM},
        {"partial frame", 36, 0, 102, &stereo16, DSERR_BADFORMAT},
    };
    for (const auto& c : cases) {
        DSBUFFERDESC d;
        d.dwSize = c.size;
        d.dwFlags = c.flags;
        d.dwBufferBytes = c.bytes;
        d.lpwfxFormat = c.format;
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(c.result, device->CreateSoundBuffer(&d, &b, nullptr)) << c.what;
        EXPECT_EQ(SUCCEEDED(c.result), b != nullptr) << c.what;
        if (b != nullptr) b->Release();
    }
}

TEST_F(SoundDevice, LockWrapsRoundTheEndAndUnlockWritesBack)
{
    auto device = CreateDevice();
    auto buffer = CreateBuffer(device.get(), 10, 0, Mono8());
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(DS_OK, buffer->Lock(7, 6, &p1, &n1, &p2, &n2, 0));
    EXPECT_EQ(3u, n1);
    EXPECT_EQ(3u, n2);
    std::memset(p1, 1, n1);
    std::memset(p2, 2, n2);
    ASSERT_EQ(DS_OK, buffer->Unlock(p1, n1, p2, n2));
    const std::vector<uint8_t> expected = {2, 2, 2, 0, 0, 0, 0, 1, 1, 1};
    EXPECT_EQ(expected, recorder.Buffer(0).data);
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->Lock(7, 6, &p1, &n1, nullptr, nullptr, 0));
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->Lock(10, 1, &p1, &n1, &p2, &n2, 0));
    ASSERT_EQ(DS_OK, buffer->Lock(5, 1, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER));
    EXPECT_EQ(10u, n1);
    EXPECT_EQ(0u, n2);
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->Unlock(nullptr, 0, nullptr, 0));
    EXPECT_EQ(DS_OK, buffer->Unlock(p1, n1, p2, n2));
}

TEST_F(SoundDevice, PlayCursorSignalsNotificationsAndRecordsWhatItPlays)
{
    auto device = CreateDevice();
    auto buffer = CreateBuffer(device.get(), 8, DSBCAPS_CTRLPOSITIONNOTIFY, Mono8());
    void* p = nullptr;
    DWORD n = 0;
    ASSERT_EQ(DS_OK, buffer->Lock(0, 8, &p, &n, nullptr, nullptr, 0));
    for (DWORD i = 0; i < n; ++i) static_cast<uint8_t*>(p)[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(DS_OK, buffer->Unlock(p, n, nullptr, 0));

    HANDLE first = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE second = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    IDirectSoundNotify* notify = nullptr;
    ASSERT_EQ(DS_OK, buffer->QueryInterface(DsInterface::Notify, reinterpret_cast<void**>(&notify)));
    DSBPOSITIONNOTIFY positions[2] = {{1, first}, {5, second}};
    ASSERT_EQ(DS_OK, notify->SetNotificationPositions(2, positions));
    notify->Release();
    EXPECT_EQ((std::vector<DWORD>{1, 5}), recorder.Buffer(0).notifyOffsets);

    recorder.AdvancePlayCursor(4);  // not playing: nothing moves
    EXPECT_TRUE(recorder.Buffer(0).played.empty());

    ASSERT_EQ(DS_OK, buffer->SetCurrentPosition(6));
    ASSERT_EQ(DS_OK, buffer->Play(0, 0, DSBPLAY_LOOPING));
    recorder.AdvancePlayCursor(3);  // plays 6, 7, 0
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(first, 0));
    recorder.AdvancePlayCursor(1);  // plays 1
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first, 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(second, 0));
    recorder.AdvancePlayCursor(4);  // plays 2..5
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second, 0));
    EXPECT_EQ((std::vector<uint8_t>{6, 7, 0, 1, 2, 3, 4, 5}), recorder.Buffer(0).played);
    DWORD play = 0;
    ASSERT_EQ(DS_OK, buffer->GetCurrentPosition(&play, nullptr));
    EXPECT_EQ(6u, play);

    // Without looping the buffer stops at its end.
    ASSERT_EQ(DS_OK, buffer->Play(0, 0, 0));
    recorder.AdvancePlayCursor(10);
    EXPECT_FALSE(recorder.Buffer(0).playing);
    EXPECT_EQ(10u, recorder.Buffer(0).played.size());
    CloseHandle(first);
    CloseHandle(second);
}

TEST_F(SoundDevice, VolumeAndInterfacesFollowTheCapabilities)
{
    auto device = CreateDevice();
    auto plain = CreateBuffer(device.get(), 8, 0, Mono8());
    LONG volume = 1;
    EXPECT_EQ(DSERR_CONTROLUNAVAIL, plain->SetVolume(-100));
    EXPECT_EQ(DSERR_CONTROLUNAVAIL, plain->GetVolume(&volume));
    void* none = nullptr;
    EXPECT_EQ(DSERR_NOINTERFACE, plain->QueryInterface(DsInterface::Notify, &none));
    EXPECT_EQ(DSERR_NOINTERFACE, plain->QueryInterface(DsInterface::Buffer3D, &none));
    EXPECT_EQ(nullptr, none);

    auto full = CreateBuffer(device.get(), 8, DSBCAPS_CTRLVOLUME | DSBCAPS_CTRL3D, Mono8());
    EXPECT_EQ(DS_OK, full->SetVolume(-10000));
    EXPECT_EQ(DSERR_INVALIDPARAM, full->SetVolume(-10001));
    EXPECT_EQ(DS_OK, full->GetVolume(&volume));
    EXPECT_EQ(-10000, volume);
    IDirectSound3DBuffer* spatial = nullptr;
    ASSERT_EQ(DS_OK, full->QueryInterface(DsInterface::Buffer3D, reinterpret_cast<void**>(&spatial)));
    EXPECT_EQ(DS_OK, spatial->SetPosition(1, 2, 3, DS3D_IMMEDIATE));
    EXPECT_EQ(DS_OK, spatial->SetMaxDistance(50, DS3D_IMMEDIATE));
    spatial->Release();
    const auto recorded = recorder.Buffer(1);
    EXPECT_EQ((std::array<float, 3>{1, 2, 3}), recorded.position);
    EXPECT_EQ(50.0f, recorded.maxDistance);
    EXPECT_FALSE(recorded.released);
    full.reset();
    EXPECT_TRUE(recorder.Buffer(1).released);
}

TEST_F(SoundDevice, ListenerAppliesDeferredSettingsOnCommit)
{
    auto device = CreateDevice();
    DSBUFFERDESC d;
    d.dwSize = DSBUFFERDESC_SIZE;
    d.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
    IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(DS_OK, device->CreateSoundBuffer(&d, &primary, nullptr));
    IDirectSound3DListener* listener = nullptr;
    ASSERT_EQ(DS_OK, primary->QueryInterface(DsInterface::Listener3D, reinterpret_cast<void**>(&listener)));
    primary->Release();  // the listener outlives the primary buffer

    EXPECT_EQ(DS_OK, listener->SetPosition(1, 2, 3, DS3D_DEFERRED));
    EXPECT_EQ(DS_OK, listener->SetVelocity(4, 5, 6, DS3D_DEFERRED));
    EXPECT_EQ((std::array<float, 3>{0, 0, 0}), recorder.Listener().position);
    EXPECT_EQ(DS_OK, listener->CommitDeferredSettings());
    auto l = recorder.Listener();
    EXPECT_EQ((std::array<float, 3>{1, 2, 3}), l.position);
    EXPECT_EQ((std::array<float, 3>{4, 5, 6}), l.velocity);
    EXPECT_EQ(2, l.deferredCalls);
    EXPECT_EQ(1, l.commits);
    listener->Release();
}

TEST_F(SoundDevice, EachSetUpStepCanBeMadeToFail)
{
    platform::RecordingSoundDevice::Failures failures;
    failures.create = DSERR_NODRIVER;
    recorder.SetFailures(failures);
    IDirectSound8* device = nullptr;
    EXPECT_EQ(DSERR_NODRIVER, DirectSoundCreate8(nullptr, &device, nullptr));
    EXPECT_EQ(nullptr, device);

    failures = {};
    failures.createGivesNoDevice = true;
    recorder.SetFailures(failures);
    EXPECT_EQ(DS_OK, DirectSoundCreate8(nullptr, &device, nullptr));
    EXPECT_EQ(nullptr, device);

    failures = {};
    failures.cooperativeLevel = DSERR_ALLOCATED;
    failures.primaryBuffer = DSERR_OUTOFMEMORY;
    failures.listenerQuery = DSERR_NOINTERFACE;
    recorder.SetFailures(failures);
    auto created = CreateDevice();
    platform::ScopedWindow window("FS98MAIN");
    EXPECT_EQ(DSERR_ALLOCATED, created->SetCooperativeLevel(window.get(), DSSCL_NORMAL));
    DSBUFFERDESC d;
    d.dwSize = DSBUFFERDESC_SIZE;
    d.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
    IDirectSoundBuffer* primary = nullptr;
    EXPECT_EQ(DSERR_OUTOFMEMORY, created->CreateSoundBuffer(&d, &primary, nullptr));

    failures.primaryBuffer = S_OK;
    recorder.SetFailures(failures);
    ASSERT_EQ(DS_OK, created->CreateSoundBuffer(&d, &primary, nullptr));
    void* listener = nullptr;
    EXPECT_EQ(DSERR_NOINTERFACE, primary->QueryInterface(DsInterface::Listener3D, &listener));
    primary->Release();
    created.reset();
    EXPECT_EQ(1, recorder.DevicesCreated());
    EXPECT_EQ(1, recorder.DevicesReleased());
}
