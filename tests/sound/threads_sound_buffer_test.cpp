// A playing sound buffer on the real timer thread: destroyed or stopped while its refill is writing into
// the device buffer, it waits for that refill, which goes on to read the source into its sample buffer.
//
// The recording device sits behind a device of this test that hands out its buffers wrapped: a wrapped
// buffer's Lock is the hold point of the refill.
#include "sound/SoundBuffer.h"

#include "foundation/GeoMath.h"
#include "link/SimStatus.h"
#include "platform/dsound.h"
#include "platform/window.h"
#include "sound/SoundEngine.h"
#include "tests/sound/sound_test_support.h"
#include "tests/support/CallbackHold.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>

using sound_testing::LogCapture;

namespace {

// A secondary buffer of the recording device whose Lock passes the hold point first.
class HeldBuffer final : public IDirectSoundBuffer8 {
public:
    HeldBuffer(IDirectSoundBuffer* inner, testsupport::CallbackHold& hold) : inner_(inner), hold_(hold) {}

    HRESULT QueryInterface(DsInterface what, void** out) override
    {
        if (what != DsInterface::Buffer && what != DsInterface::Buffer8) return inner_->QueryInterface(what, out);
        AddRef();
        *out = static_cast<IDirectSoundBuffer8*>(this);
        return DS_OK;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override
    {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override { return inner_->GetCurrentPosition(play, write); }
    HRESULT GetStatus(DWORD* status) override { return inner_->GetStatus(status); }
    HRESULT GetVolume(LONG* volume) override { return inner_->GetVolume(volume); }
    HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                 DWORD flags) override
    {
        hold_.Here();
        return inner_->Lock(offset, bytes, part1, bytes1, part2, bytes2, flags);
    }
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override
    {
        return inner_->Play(reserved, priority, flags);
    }
    HRESULT SetCurrentPosition(DWORD position) override { return inner_->SetCurrentPosition(position); }
    HRESULT SetVolume(LONG volume) override { return inner_->SetVolume(volume); }
    HRESULT Stop() override { return inner_->Stop(); }
    HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) override
    {
        return inner_->Unlock(part1, bytes1, part2, bytes2);
    }

private:
    ~HeldBuffer() override { inner_->Release(); }

    IDirectSoundBuffer* inner_;
    testsupport::CallbackHold& hold_;
    std::atomic<ULONG> references_{1};
};

// The recording device, handing out its secondary buffers wrapped.
class HeldDevice final : public IDirectSound8 {
public:
    HeldDevice(IDirectSound8* inner, testsupport::CallbackHold& hold) : inner_(inner), hold_(hold) {}

    HRESULT QueryInterface(DsInterface what, void** out) override { return inner_->QueryInterface(what, out); }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override
    {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer, void* outer) override
    {
        const HRESULT hr = inner_->CreateSoundBuffer(description, buffer, outer);
        if (SUCCEEDED(hr) && *buffer != nullptr && !(description->dwFlags & DSBCAPS_PRIMARYBUFFER))
            *buffer = new HeldBuffer(*buffer, hold_);
        return hr;
    }
    HRESULT SetCooperativeLevel(HWND window, DWORD level) override
    {
        return inner_->SetCooperativeLevel(window, level);
    }

private:
    ~HeldDevice() override { inner_->Release(); }

    IDirectSound8* inner_;
    testsupport::CallbackHold& hold_;
    std::atomic<ULONG> references_{1};
};

// Installed for the lifetime of the test: every device it makes is a HeldDevice.
class HeldDeviceFactory final : public platform::SoundDeviceFactory {
public:
    explicit HeldDeviceFactory(testsupport::CallbackHold& hold) : hold_(hold) { platform::SetSoundDeviceFactory(this); }
    ~HeldDeviceFactory() override { platform::SetSoundDeviceFactory(nullptr); }

    HRESULT CreateDevice(IDirectSound8** out) override
    {
        IDirectSound8* device = nullptr;
        const HRESULT hr = recording.CreateDevice(&device);
        *out = SUCCEEDED(hr) && device != nullptr ? new HeldDevice(device, hold_) : device;
        return hr;
    }

    platform::RecordingSoundDevice recording;

private:
    testsupport::CallbackHold& hold_;
};

class SoundBufferThreadsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.emplace(log.category(), status, geo, false, false);
        ASSERT_FALSE(engine->IsDisabled());
        ASSERT_TRUE(engine->PreloadSound("RADIO_CLICK_LOOP"));
    }

    // The radio click playing, with the device past the middle of the first second: the next refill
    // (within 300 ms) fills the second one, and is held as it locks the device buffer.
    std::unique_ptr<SoundBuffer> PlayingClick()
    {
        auto click = std::make_unique<SoundBuffer>();
        click->SetParameters("RADIO_CLICK_LOOP", true, 0, 0);
        click->SetWaveKey("RADIO_CLICK_LOOP");
        click->InitAmbient(&*engine, true);
        click->Play();
        EXPECT_TRUE(click->IsPlaying());
        hold.Arm();
        devices.recording.AdvancePlayCursor(22050 / 2 + 1);
        return click;
    }

    testsupport::CallbackHold hold;
    HeldDeviceFactory devices{hold};
    platform::ScopedWindow window{"FS98MAIN"};
    LogCapture log{"VELK.SOUNDENGINE"};
    SimStatus status;
    GeoMath geo;
    std::optional<SoundEngine> engine;
};

TEST_F(SoundBufferThreadsTest, DestructionWaitsForARunningRefill)
{
    std::unique_ptr<SoundBuffer> click = PlayingClick();
    EXPECT_FALSE(testsupport::DestructionReturnedWhileHeld(hold, [&click] { click.reset(); }));
}

TEST_F(SoundBufferThreadsTest, StopWaitsForARunningRefill)
{
    std::unique_ptr<SoundBuffer> click = PlayingClick();
    // Stop, then destruction at once: a refill let go after Stop returned would find the buffer gone.
    EXPECT_FALSE(testsupport::DestructionReturnedWhileHeld(hold, [&click] {
        click->Stop();
        click.reset();
    }));
}

}  // namespace
