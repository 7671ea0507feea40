#include "sound/SoundEngine.h"

#include "foundation/GeoMath.h"
#include "link/SimStatus.h"
#include "platform/window.h"

#include <log4cpp/Category.hh>

namespace {

unsigned Code(HRESULT hr)
{
    return static_cast<unsigned>(hr);
}

}  // namespace

SoundEngine::SoundEngine(log4cpp::Category& log, const SimStatus& status, const GeoMath& geo, bool disable,
                         bool verbose)
    : log_(log), paused_(status.GetPausedFlag()), soundOff_(status.GetSoundOffFlag()), geo_(geo)
{
    if (disable) {
        disabled_ = true;
        log_.info("Disabling Sound Engine due to setting!");
    } else {
        if (verbose) log_.debug("Creating DirectSound device...");
        const HRESULT hr = DirectSoundCreate8(nullptr, &device_, nullptr);
        if (FAILED(hr)) {
            log_.error("DirectSound Device Creation Error (%#010x), Disabling Sound Engine!", Code(hr));
            disabled_ = true;
            device_ = nullptr;
        }
    }
    if (verbose) log_.debug("Checking DirectSound device pointer (0x%p)...", static_cast<void*>(device_));
    if (device_ == nullptr) {
        disabled_ = true;
        log_.warn("Disabling Sound Engine! Device Pointer is NULL!");
    }
    if (disabled_) return;
    SetUp(verbose);
}

void SoundEngine::SetUp(bool verbose)
{
    disabled_ = true;  // until the listener step is reached

    if (verbose) log_.debug("Setting cooperative level...");
    HRESULT hr = device_->SetCooperativeLevel(FindWindowA("FS98MAIN", nullptr), DSSCL_NORMAL);
    if (FAILED(hr)) {
        // Without a cooperative level no buffer may be made: the engine stays off.
        log_.error("DirectSound CooperativeLevel Setting Error (%#010x)", Code(hr));
        log_.warn("SoundEngine disabled!");
        return;
    }

    if (verbose) log_.debug("Creating primary sound buffer...");
    DSBUFFERDESC description{};
    description.dwSize = DSBUFFERDESC_SIZE;
    description.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
    IDirectSoundBuffer* primary = nullptr;
    hr = device_->CreateSoundBuffer(&description, &primary, nullptr);
    if (FAILED(hr)) {
        log_.error("CreateSoundBuffer Error (%#010x)", Code(hr));
        primary = nullptr;
    }

    if (verbose) log_.debug("Creating 3D Sound Listener...");
    if (primary == nullptr) {
        log_.warn("Primary Sound Buffer Pointer is NULL!");
    } else {
        void* listener = nullptr;
        hr = primary->QueryInterface(DsInterface::Listener3D, &listener);
        if (FAILED(hr)) {
            log_.error("3D Sound Listener Query Error (%#010x)", Code(hr));
            listener = nullptr;
        }
        listener_ = static_cast<IDirectSound3DListener*>(listener);
        primary->Release();
        disabled_ = false;
        log_.info("SoundEngine initialized.");
    }
    if (disabled_) log_.warn("SoundEngine disabled!");
}

SoundEngine::~SoundEngine()
{
    if (listener_ != nullptr) listener_->Release();
    // Released whenever it exists: a set-up that failed half-way still holds the device.
    if (device_ != nullptr) device_->Release();
}

bool SoundEngine::IsSilenced() const
{
    return paused_->load() || soundOff_->load();
}

bool SoundEngine::LoadWavFile(const std::string& key, bool fromResource)
{
    WaveFile wave;
    if (FAILED(wave.Open(key.c_str(), nullptr, WAVEFILE_READ, fromResource))) {
        log_.error("Not able to load WavFile '%s'", key.c_str());
        if (!wave.GetFormatError().empty()) {
            log_.error("WavFile '%s' refused: %s", key.c_str(), wave.GetFormatError().c_str());
        }
        return false;
    }
    cache_.try_emplace(key, wave);  // the copy is closed
    wave.Close();
    return true;
}

bool SoundEngine::PreloadSound(const std::string& resourceName)
{
    if (!LoadWavFile(resourceName, true)) return false;
    cache_.find(resourceName)->second.SetName(resourceName);
    return true;
}

std::string SoundEngine::MakeSoundPath(const std::string& folder, const std::string& fileName)
{
    return folder + "sound\\" + fileName;
}

bool SoundEngine::LoadSoundFile(const std::string& folder, const std::string& fileName)
{
    const std::string key = MakeSoundPath(folder, fileName);
    if (!LoadWavFile(key, false)) return false;
    cache_.find(key)->second.SetName(fileName);
    return true;
}

const WaveFile* SoundEngine::FindWave(const std::string& key) const
{
    const auto found = cache_.find(key);
    return found != cache_.end() ? &found->second : nullptr;
}

bool SoundEngine::HasWave(const std::string& key) const
{
    return cache_.count(key) != 0;
}

void SoundEngine::UpdateListener(double latitude, double longitude, double altitude, double heading,
                                 double velocityX, double velocityY, double velocityZ)
{
    if (disabled_ || listener_ == nullptr) return;
    LocalFrame frame;
    geo_.BuildLocalFrame(latitude, longitude, altitude, heading, frame);
    auto f = [](double v) { return static_cast<D3DVALUE>(v); };
    listener_->SetPosition(f(frame.position.x), f(frame.position.y), f(frame.position.z), DS3D_DEFERRED);
    listener_->SetOrientation(f(frame.front.x), f(frame.front.y), f(frame.front.z), f(frame.top.x), f(frame.top.y),
                              f(frame.top.z), DS3D_DEFERRED);
    listener_->SetVelocity(f(velocityX), f(velocityY), f(velocityZ), DS3D_DEFERRED);
    listener_->CommitDeferredSettings();
}
