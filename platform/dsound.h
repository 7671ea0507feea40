// The sound device: the DirectSound 8 operations the sound engine and sound buffers use, declared as our
// own abstract classes. Two backends sit behind DirectSoundCreate8: the null device (the default: it
// accepts every call and plays nothing) and the recording device that tests install, whose play cursor
// the test moves and which keeps every byte it plays.
#pragma once

#include "platform/guid.h"
#include "platform/mmio.h"  // WAVEFORMATEX
#include "platform/wintypes.h"

#include <array>
#include <memory>
#include <vector>

using D3DVALUE = float;

// Result codes.
constexpr HRESULT DS_OK = S_OK;
constexpr HRESULT DSERR_GENERIC = E_FAIL;
constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DSERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DSERR_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT DSERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DSERR_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT DSERR_ALLOCATED = static_cast<HRESULT>(0x8878000Au);
constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001Eu);
constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
constexpr HRESULT DSERR_PRIOLEVELNEEDED = static_cast<HRESULT>(0x88780046u);
constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);
constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);

// Cooperative levels.
constexpr DWORD DSSCL_NORMAL = 0x00000001;
constexpr DWORD DSSCL_PRIORITY = 0x00000002;

// Buffer capabilities.
constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x00000001;
constexpr DWORD DSBCAPS_CTRL3D = 0x00000010;
constexpr DWORD DSBCAPS_CTRLVOLUME = 0x00000080;
constexpr DWORD DSBCAPS_CTRLPOSITIONNOTIFY = 0x00000100;
constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x00008000;
constexpr DWORD DSBCAPS_MUTE3DATMAXDISTANCE = 0x00020000;

constexpr DWORD DSBPLAY_LOOPING = 0x00000001;
constexpr DWORD DSBSTATUS_PLAYING = 0x00000001;
constexpr DWORD DSBSTATUS_LOOPING = 0x00000004;
constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x00000001;
constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x00000002;
constexpr DWORD DSBPN_OFFSETSTOP = 0xFFFFFFFFu;

constexpr LONG DSBVOLUME_MIN = -10000;
constexpr LONG DSBVOLUME_MAX = 0;
constexpr DWORD DSBSIZE_MIN = 4;
constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;

constexpr DWORD DS3D_IMMEDIATE = 0x00000000;
constexpr DWORD DS3D_DEFERRED = 0x00000001;
constexpr DWORD DS3DMODE_NORMAL = 0x00000000;
constexpr DWORD DS3DMODE_HEADRELATIVE = 0x00000001;
constexpr DWORD DS3DMODE_DISABLE = 0x00000002;

inline constexpr GUID DS3DALG_DEFAULT = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// The size a buffer description declares in dwSize: that of the 32-bit layout.
constexpr DWORD DSBUFFERDESC_SIZE = 36;

struct DSBUFFERDESC {
    DWORD dwSize = 0;
    DWORD dwFlags = 0;
    DWORD dwBufferBytes = 0;
    DWORD dwReserved = 0;
    const WAVEFORMATEX* lpwfxFormat = nullptr;
    GUID guid3DAlgorithm = DS3DALG_DEFAULT;
};

struct DSBPOSITIONNOTIFY {
    DWORD dwOffset = 0;
    HANDLE hEventNotify = nullptr;
};

// What QueryInterface can be asked for.
enum class DsInterface { Buffer, Buffer8, Notify, Buffer3D, Listener3D };

class IDsUnknown {
public:
    virtual HRESULT QueryInterface(DsInterface what, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IDsUnknown() = default;
};

class IDirectSoundBuffer : public IDsUnknown {
public:
    virtual HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) = 0;
    virtual HRESULT GetStatus(DWORD* status) = 0;
    virtual HRESULT GetVolume(LONG* volume) = 0;
    // Up to two regions (the second when the range wraps round the end of the buffer).
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                         DWORD flags) = 0;
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT SetCurrentPosition(DWORD position) = 0;
    virtual HRESULT SetVolume(LONG volume) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) = 0;
};

class IDirectSoundBuffer8 : public IDirectSoundBuffer {};

class IDirectSoundNotify : public IDsUnknown {
public:
    virtual HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) = 0;
};

class IDirectSound3DBuffer : public IDsUnknown {
public:
    virtual HRESULT SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) = 0;
    virtual HRESULT SetMinDistance(D3DVALUE distance, DWORD apply) = 0;
    virtual HRESULT SetMaxDistance(D3DVALUE distance, DWORD apply) = 0;
    virtual HRESULT SetMode(DWORD mode, DWORD apply) = 0;
};

class IDirectSound3DListener : public IDsUnknown {
public:
    virtual HRESULT SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) = 0;
    virtual HRESULT SetOrientation(D3DVALUE frontX, D3DVALUE frontY, D3DVALUE frontZ, D3DVALUE topX, D3DVALUE topY,
                                   D3DVALUE topZ, DWORD apply) = 0;
    virtual HRESULT SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) = 0;
    virtual HRESULT CommitDeferredSettings() = 0;
};

class IDirectSound8 : public IDsUnknown {
public:
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer,
                                      void* outer) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
};

// device null: the default device.
HRESULT DirectSoundCreate8(const GUID* device, IDirectSound8** out, void* outer);

namespace platform {

class SoundDeviceFactory {
public:
    virtual ~SoundDeviceFactory() = default;
    virtual HRESULT CreateDevice(IDirectSound8** out) = 0;
};

// Installs the backend of DirectSoundCreate8 (not owned); null restores the null device.
void SetSoundDeviceFactory(SoundDeviceFactory* factory);

namespace sound_detail {
struct DeviceState;
}

// What the recording device knows of one buffer, copied out at the time of asking.
struct RecordedBuffer {
    bool primary = false;
    DWORD flags = 0;
    DWORD bytes = 0;
    WAVEFORMATEX format;
    bool released = false;
    bool releasedAfterDevice = false;  // its device had been released already
    bool playing = false;
    bool looping = false;
    DWORD playCursor = 0;
    LONG volume = 0;
    std::vector<LONG> volumeChanges;     // every SetVolume in order
    std::vector<DWORD> notifyOffsets;
    std::vector<uint8_t> data;           // the buffer's bytes now
    std::vector<uint8_t> played;         // every byte the cursor has passed while playing
    int locks = 0;
    int plays = 0;
    int stops = 0;
    std::array<float, 3> position = {0, 0, 0};
    float minDistance = 1.0f;
    float maxDistance = 1e9f;
    DWORD mode3D = DS3DMODE_NORMAL;
    DWORD last3DApply = DS3D_IMMEDIATE;
};

struct RecordedListener {
    bool exists = false;
    std::array<float, 3> position = {0, 0, 0};
    std::array<float, 3> front = {0, 0, 1};
    std::array<float, 3> top = {0, 1, 0};
    std::array<float, 3> velocity = {0, 0, 0};
    int deferredCalls = 0;
    int immediateCalls = 0;
    int commits = 0;
};

// A device for tests. Each set-up step can be made to fail with a chosen code.
class RecordingSoundDevice : public SoundDeviceFactory {
public:
    struct Failures {
        HRESULT create = S_OK;              // DirectSoundCreate8
        bool createGivesNoDevice = false;   // success without a device
        HRESULT cooperativeLevel = S_OK;
        HRESULT primaryBuffer = S_OK;
        HRESULT listenerQuery = S_OK;
        HRESULT secondaryBuffer = S_OK;
    };

    RecordingSoundDevice();
    ~RecordingSoundDevice() override;

    HRESULT CreateDevice(IDirectSound8** out) override;

    void SetFailures(const Failures& failures);

    int DevicesCreated() const;
    int DevicesReleased() const;
    HWND CooperativeWindow() const;
    DWORD CooperativeLevel() const;

    // Secondary buffers in creation order (released ones included).
    size_t BufferCount() const;
    RecordedBuffer Buffer(size_t index) const;
    RecordedBuffer PrimaryBuffer() const;
    RecordedListener Listener() const;

    // Moves the play cursor of every playing secondary buffer forward by bytes: each byte passed is
    // recorded, and each notification offset passed signals its event. A buffer that does not loop stops
    // at its end.
    void AdvancePlayCursor(DWORD bytes);

private:
    std::shared_ptr<sound_detail::DeviceState> state_;
};

// A recording device installed for the lifetime of the guard.
class ScopedRecordingDevice : public RecordingSoundDevice {
public:
    ScopedRecordingDevice() { SetSoundDeviceFactory(this); }
    ~ScopedRecordingDevice() override { SetSoundDeviceFactory(nullptr); }
    ScopedRecordingDevice(const ScopedRecordingDevice&) = delete;
    ScopedRecordingDevice& operator=(const ScopedRecordingDevice&) = delete;
};

}  // namespace platform
