#include "platform/dsound.h"

#include "platform/events.h"
#include "platform/window.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

namespace platform::sound_detail {

struct BufferState {
    RecordedBuffer info;              // everything a test may read
    std::vector<uint8_t> staging;     // what Lock hands out; Unlock copies it into info.data
    std::vector<DSBPOSITIONNOTIFY> notifications;
};

struct PendingListener {
    bool position = false, orientation = false, velocity = false;
    std::array<float, 3> positionValue{}, front{}, top{}, velocityValue{};
};

struct DeviceState {
    explicit DeviceState(bool recording) : recording(recording) {}

    mutable std::mutex lock;
    const bool recording;  // the null device forgets released buffers and keeps no played bytes
    RecordingSoundDevice::Failures failures;
    int devicesCreated = 0;
    int devicesReleased = 0;
    HWND cooperativeWindow = nullptr;
    DWORD cooperativeLevel = 0;
    std::vector<std::shared_ptr<BufferState>> buffers;  // secondary buffers
    std::shared_ptr<BufferState> primary;
    RecordedListener listener;
    PendingListener pending;
};

}  // namespace platform::sound_detail

using platform::sound_detail::BufferState;
using platform::sound_detail::DeviceState;
using platform::RecordedBuffer;

namespace {

class RefCounted {
protected:
    ULONG AddRefImpl() { return ++refs_; }
    ULONG ReleaseImpl() { return --refs_; }

private:
    std::atomic<ULONG> refs_{1};
};

class Listener final : public IDirectSound3DListener, RefCounted {
public:
    explicit Listener(std::shared_ptr<DeviceState> device) : device_(std::move(device)) {}

    HRESULT QueryInterface(DsInterface what, void** out) override
    {
        if (out == nullptr) return DSERR_INVALIDPARAM;
        *out = nullptr;
        if (what != DsInterface::Listener3D) return DSERR_NOINTERFACE;
        AddRef();
        *out = static_cast<IDirectSound3DListener*>(this);
        return DS_OK;
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override
    {
        const ULONG left = ReleaseImpl();
        if (left == 0) delete this;
        return left;
    }

    HRESULT SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override
    {
        return Set(apply, [&](auto& target, bool deferred) {
            if (deferred) {
                target.pending.position = true;
                target.pending.positionValue = {x, y, z};
            } else {
                target.listener.position = {x, y, z};
            }
        });
    }
    HRESULT SetOrientation(D3DVALUE fx, D3DVALUE fy, D3DVALUE fz, D3DVALUE tx, D3DVALUE ty, D3DVALUE tz,
                           DWORD apply) override
    {
        return Set(apply, [&](auto& target, bool deferred) {
            if (deferred) {
                target.pending.orientation = true;
                target.pending.front = {fx, fy, fz};
                target.pending.top = {tx, ty, tz};
            } else {
                target.listener.front = {fx, fy, fz};
                target.listener.top = {tx, ty, tz};
            }
        });
    }
    HRESULT SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override
    {
        return Set(apply, [&](auto& target, bool deferred) {
            if (deferred) {
                target.pending.velocity = true;
                target.pending.velocityValue = {x, y, z};
            } else {
                target.listener.velocity = {x, y, z};
            }
        });
    }
    HRESULT CommitDeferredSettings() override
    {
        std::lock_guard guard(device_->lock);
        auto& p = device_->pending;
        auto& l = device_->listener;
        if (p.position) l.position = p.positionValue;
        if (p.orientation) {
            l.front = p.front;
            l.top = p.top;
        }
        if (p.velocity) l.velocity = p.velocityValue;
        p = {};
        ++l.commits;
        return DS_OK;
    }

private:
    template <typename Change>
    HRESULT Set(DWORD apply, Change change)
    {
        if (apply != DS3D_IMMEDIATE && apply != DS3D_DEFERRED) return DSERR_INVALIDPARAM;
        std::lock_guard guard(device_->lock);
        const bool deferred = apply == DS3D_DEFERRED;
        change(*device_, deferred);
        ++(deferred ? device_->listener.deferredCalls : device_->listener.immediateCalls);
        return DS_OK;
    }

    std::shared_ptr<DeviceState> device_;
};

class Buffer final : public IDirectSoundBuffer8, public IDirectSoundNotify, public IDirectSound3DBuffer, RefCounted {
public:
    Buffer(std::shared_ptr<DeviceState> device, std::shared_ptr<BufferState> state)
        : device_(std::move(device)), state_(std::move(state)) {}

    HRESULT QueryInterface(DsInterface what, void** out) override
    {
        if (out == nullptr) return DSERR_INVALIDPARAM;
        *out = nullptr;
        const DWORD flags = state_->info.flags;
        const bool primary = state_->info.primary;
        switch (what) {
        case DsInterface::Buffer:
        case DsInterface::Buffer8:
            AddRef();
            *out = static_cast<IDirectSoundBuffer8*>(this);
            return DS_OK;
        case DsInterface::Notify:
            if (primary || (flags & DSBCAPS_CTRLPOSITIONNOTIFY) == 0) return DSERR_NOINTERFACE;
            AddRef();
            *out = static_cast<IDirectSoundNotify*>(this);
            return DS_OK;
        case DsInterface::Buffer3D:
            if (primary || (flags & DSBCAPS_CTRL3D) == 0) return DSERR_NOINTERFACE;
            AddRef();
            *out = static_cast<IDirectSound3DBuffer*>(this);
            return DS_OK;
        case DsInterface::Listener3D: {
            if (!primary || (flags & DSBCAPS_CTRL3D) == 0) return DSERR_NOINTERFACE;
            std::lock_guard guard(device_->lock);
            if (FAILED(device_->failures.listenerQuery)) return device_->failures.listenerQuery;
            device_->listener.exists = true;
            *out = static_cast<IDirectSound3DListener*>(new Listener(device_));
            return DS_OK;
        }
        }
        return DSERR_NOINTERFACE;
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override
    {
        const ULONG left = ReleaseImpl();
        if (left == 0) {
            std::lock_guard guard(device_->lock);
            state_->info.released = true;
            state_->info.releasedAfterDevice = device_->devicesReleased > 0;
            state_->info.playing = false;
            if (!device_->recording) {
                std::erase(device_->buffers, state_);
                if (device_->primary == state_) device_->primary.reset();
            }
        }
        if (left == 0) delete this;
        return left;
    }

    HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override
    {
        std::lock_guard guard(device_->lock);
        const RecordedBuffer& b = state_->info;
        if (b.primary) return DSERR_INVALIDCALL;
        if (playCursor != nullptr) *playCursor = b.playCursor;
        // The write cursor runs a little ahead of the play cursor, as on real hardware.
        if (writeCursor != nullptr) *writeCursor = (b.playCursor + b.format.nBlockAlign * 64u) % b.bytes;
        return DS_OK;
    }

    HRESULT GetStatus(DWORD* status) override
    {
        if (status == nullptr) return DSERR_INVALIDPARAM;
        std::lock_guard guard(device_->lock);
        const RecordedBuffer& b = state_->info;
        *status = (b.playing ? DSBSTATUS_PLAYING : 0) | (b.playing && b.looping ? DSBSTATUS_LOOPING : 0);
        return DS_OK;
    }

    HRESULT GetVolume(LONG* volume) override
    {
        if (volume == nullptr) return DSERR_INVALIDPARAM;
        std::lock_guard guard(device_->lock);
        if ((state_->info.flags & DSBCAPS_CTRLVOLUME) == 0) return DSERR_CONTROLUNAVAIL;
        *volume = state_->info.volume;
        return DS_OK;
    }

    HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                 DWORD flags) override
    {
        if (part1 == nullptr || bytes1 == nullptr) return DSERR_INVALIDPARAM;
        std::lock_guard guard(device_->lock);
        RecordedBuffer& b = state_->info;
        if (b.primary) return DSERR_INVALIDCALL;
        if ((flags & DSBLOCK_FROMWRITECURSOR) != 0) offset = (b.playCursor + b.format.nBlockAlign * 64u) % b.bytes;
        if ((flags & DSBLOCK_ENTIREBUFFER) != 0) {
            offset = 0;
            bytes = b.bytes;
        }
        if (offset >= b.bytes || bytes == 0 || bytes > b.bytes) return DSERR_INVALIDPARAM;
        const DWORD first = std::min(bytes, b.bytes - offset);
        const DWORD second = bytes - first;
        if (second > 0 && (part2 == nullptr || bytes2 == nullptr)) return DSERR_INVALIDPARAM;
        std::memcpy(state_->staging.data() + offset, b.data.data() + offset, first);
        std::memcpy(state_->staging.data(), b.data.data(), second);
        *part1 = state_->staging.data() + offset;
        *bytes1 = first;
        if (part2 != nullptr) *part2 = second > 0 ? state_->staging.data() : nullptr;
        if (bytes2 != nullptr) *bytes2 = second;
        ++b.locks;
        return DS_OK;
    }

    HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) override
    {
        std::lock_guard guard(device_->lock);
        RecordedBuffer& b = state_->info;
        uint8_t* base = state_->staging.data();
        auto inside = [&](void* p, DWORD n) {
            auto* q = static_cast<uint8_t*>(p);
            return q >= base && q <= base + b.bytes && n <= static_cast<DWORD>(base + b.bytes - q);
        };
        if (part1 == nullptr || !inside(part1, bytes1) || (part2 != nullptr && !inside(part2, bytes2)))
            return DSERR_INVALIDPARAM;
        const auto at1 = static_cast<uint8_t*>(part1) - base;
        std::memcpy(b.data.data() + at1, part1, bytes1);
        if (part2 != nullptr) std::memcpy(b.data.data() + (static_cast<uint8_t*>(part2) - base), part2, bytes2);
        return DS_OK;
    }

    HRESULT Play(DWORD, DWORD, DWORD flags) override
    {
        std::lock_guard guard(device_->lock);
        RecordedBuffer& b = state_->info;
        b.playing = true;
        b.looping = (flags & DSBPLAY_LOOPING) != 0;
        ++b.plays;
        return DS_OK;
    }

    HRESULT SetCurrentPosition(DWORD position) override
    {
        std::lock_guard guard(device_->lock);
        RecordedBuffer& b = state_->info;
        if (b.primary) return DSERR_INVALIDCALL;
        if (position >= b.bytes) return DSERR_INVALIDPARAM;
        b.playCursor = position;
        return DS_OK;
    }

    HRESULT SetVolume(LONG volume) override
    {
        std::lock_guard guard(device_->lock);
        RecordedBuffer& b = state_->info;
        if ((b.flags & DSBCAPS_CTRLVOLUME) == 0) return DSERR_CONTROLUNAVAIL;
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
        b.volume = volume;
        if (device_->recording) b.volumeChanges.push_back(volume);
        return DS_OK;
    }

    HRESULT Stop() override
    {
        std::lock_guard guard(device_->lock);
        state_->info.playing = false;
        ++state_->info.stops;
        return DS_OK;
    }

    HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) override
    {
        if (count > 0 && positions == nullptr) return DSERR_INVALIDPARAM;
        std::lock_guard guard(device_->lock);
        RecordedBuffer& b = state_->info;
        if (b.playing) return DSERR_INVALIDCALL;
        for (DWORD i = 0; i < count; ++i) {
            if (positions[i].hEventNotify == nullptr) return DSERR_INVALIDPARAM;
            if (positions[i].dwOffset >= b.bytes && positions[i].dwOffset != DSBPN_OFFSETSTOP)
                return DSERR_INVALIDPARAM;
        }
        state_->notifications.assign(positions, positions + count);
        b.notifyOffsets.clear();
        for (DWORD i = 0; i < count; ++i) b.notifyOffsets.push_back(positions[i].dwOffset);
        return DS_OK;
    }

    HRESULT SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override
    {
        return Set3D(apply, [&](RecordedBuffer& b) { b.position = {x, y, z}; });
    }
    HRESULT SetMinDistance(D3DVALUE distance, DWORD apply) override
    {
        return Set3D(apply, [&](RecordedBuffer& b) { b.minDistance = distance; });
    }
    HRESULT SetMaxDistance(D3DVALUE distance, DWORD apply) override
    {
        return Set3D(apply, [&](RecordedBuffer& b) { b.maxDistance = distance; });
    }
    HRESULT SetMode(DWORD mode, DWORD apply) override
    {
        if (mode > DS3DMODE_DISABLE) return DSERR_INVALIDPARAM;
        return Set3D(apply, [&](RecordedBuffer& b) { b.mode3D = mode; });
    }

private:
    template <typename Change>
    HRESULT Set3D(DWORD apply, Change change)
    {
        if (apply != DS3D_IMMEDIATE && apply != DS3D_DEFERRED) return DSERR_INVALIDPARAM;
        std::lock_guard guard(device_->lock);
        change(state_->info);
        state_->info.last3DApply = apply;
        return DS_OK;
    }

    std::shared_ptr<DeviceState> device_;
    std::shared_ptr<BufferState> state_;
};

class Device final : public IDirectSound8, RefCounted {
public:
    explicit Device(std::shared_ptr<DeviceState> state) : state_(std::move(state)) {}

    HRESULT QueryInterface(DsInterface, void** out) override
    {
        if (out != nullptr) *out = nullptr;
        return DSERR_NOINTERFACE;
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override
    {
        const ULONG left = ReleaseImpl();
        if (left == 0) {
            {
                std::lock_guard guard(state_->lock);
                ++state_->devicesReleased;
            }
            delete this;
        }
        return left;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD level) override
    {
        std::lock_guard guard(state_->lock);
        if (FAILED(state_->failures.cooperativeLevel)) return state_->failures.cooperativeLevel;
        if (window == nullptr || !IsWindow(window)) return DSERR_INVALIDPARAM;
        if (level < DSSCL_NORMAL || level > 3) return DSERR_INVALIDPARAM;
        state_->cooperativeWindow = window;
        state_->cooperativeLevel = level;
        return DS_OK;
    }

    HRESULT CreateSoundBuffer(const DSBUFFERDESC* d, IDirectSoundBuffer** out, void* outer) override
    {
        if (out == nullptr) return DSERR_INVALIDPARAM;
        *out = nullptr;
        if (outer != nullptr) return DSERR_NOAGGREGATION;
        if (d == nullptr || d->dwSize != DSBUFFERDESC_SIZE) return DSERR_INVALIDPARAM;
        const bool primary = (d->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0;
        std::lock_guard guard(state_->lock);
        auto buffer = std::make_shared<BufferState>();
        RecordedBuffer& b = buffer->info;
        b.primary = primary;
        b.flags = d->dwFlags;
        if (primary) {
            if (FAILED(state_->failures.primaryBuffer)) return state_->failures.primaryBuffer;
            if (d->dwBufferBytes != 0 || d->lpwfxFormat != nullptr) return DSERR_INVALIDPARAM;
            state_->primary = buffer;
        } else {
            if (FAILED(state_->failures.secondaryBuffer)) return state_->failures.secondaryBuffer;
            const WAVEFORMATEX* f = d->lpwfxFormat;
            if (f == nullptr || d->dwBufferBytes < DSBSIZE_MIN || d->dwBufferBytes > DSBSIZE_MAX)
                return DSERR_INVALIDPARAM;
            if (f->wFormatTag != WAVE_FORMAT_PCM || f->nBlockAlign == 0 || d->dwBufferBytes % f->nBlockAlign != 0)
                return DSERR_BADFORMAT;
            b.format = *f;
            b.bytes = d->dwBufferBytes;
            b.data.assign(b.bytes, 0);
            buffer->staging.assign(b.bytes, 0);
            state_->buffers.push_back(buffer);
        }
        *out = static_cast<IDirectSoundBuffer8*>(new Buffer(state_, buffer));
        return DS_OK;
    }

private:
    std::shared_ptr<DeviceState> state_;
};

class NullDeviceFactory final : public platform::SoundDeviceFactory {
public:
    HRESULT CreateDevice(IDirectSound8** out) override
    {
        *out = new Device(std::make_shared<DeviceState>(false));
        return DS_OK;
    }
};

std::atomic<platform::SoundDeviceFactory*> installedFactory{nullptr};

}  // namespace

HRESULT DirectSoundCreate8(const GUID*, IDirectSound8** out, void* outer)
{
    if (out == nullptr) return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (outer != nullptr) return DSERR_NOAGGREGATION;
    static NullDeviceFactory nullFactory;
    platform::SoundDeviceFactory* factory = installedFactory.load();
    return (factory != nullptr ? factory : &nullFactory)->CreateDevice(out);
}

namespace platform {

void SetSoundDeviceFactory(SoundDeviceFactory* factory)
{
    installedFactory.store(factory);
}

RecordingSoundDevice::RecordingSoundDevice() : state_(std::make_shared<DeviceState>(true)) {}

RecordingSoundDevice::~RecordingSoundDevice() = default;

HRESULT RecordingSoundDevice::CreateDevice(IDirectSound8** out)
{
    std::lock_guard guard(state_->lock);
    if (FAILED(state_->failures.create)) return state_->failures.create;
    if (state_->failures.createGivesNoDevice) return DS_OK;
    ++state_->devicesCreated;
    *out = new Device(state_);
    return DS_OK;
}

void RecordingSoundDevice::SetFailures(const Failures& failures)
{
    std::lock_guard guard(state_->lock);
    state_->failures = failures;
}

int RecordingSoundDevice::DevicesCreated() const
{
    std::lock_guard guard(state_->lock);
    return state_->devicesCreated;
}

int RecordingSoundDevice::DevicesReleased() const
{
    std::lock_guard guard(state_->lock);
    return state_->devicesReleased;
}

HWND RecordingSoundDevice::CooperativeWindow() const
{
    std::lock_guard guard(state_->lock);
    return state_->cooperativeWindow;
}

DWORD RecordingSoundDevice::CooperativeLevel() const
{
    std::lock_guard guard(state_->lock);
    return state_->cooperativeLevel;
}

size_t RecordingSoundDevice::BufferCount() const
{
    std::lock_guard guard(state_->lock);
    return state_->buffers.size();
}

RecordedBuffer RecordingSoundDevice::Buffer(size_t index) const
{
    std::lock_guard guard(state_->lock);
    return index < state_->buffers.size() ? state_->buffers[index]->info : RecordedBuffer{};
}

RecordedBuffer RecordingSoundDevice::PrimaryBuffer() const
{
    std::lock_guard guard(state_->lock);
    return state_->primary ? state_->primary->info : RecordedBuffer{};
}

RecordedListener RecordingSoundDevice::Listener() const
{
    std::lock_guard guard(state_->lock);
    return state_->listener;
}

void RecordingSoundDevice::AdvancePlayCursor(DWORD bytes)
{
    std::lock_guard guard(state_->lock);
    for (auto& buffer : state_->buffers) {
        RecordedBuffer& b = buffer->info;
        for (DWORD i = 0; i < bytes && b.playing && !b.released; ++i) {
            for (const auto& n : buffer->notifications)
                if (n.dwOffset == b.playCursor) SetEvent(n.hEventNotify);
            b.played.push_back(b.data[b.playCursor]);
            if (++b.playCursor == b.bytes) {
                b.playCursor = 0;
                if (!b.looping) {
                    b.playing = false;
                    for (const auto& n : buffer->notifications)
                        if (n.dwOffset == DSBPN_OFFSETSTOP) SetEvent(n.hEventNotify);
                }
            }
        }
    }
}

}  // namespace platform
