// The program's one sound device front end: binds the device to the simulator's main window, keeps the
// 3D listener at the user aircraft and caches the WAV sources that the sound buffers play.
//
// Lifetime: created at start-up before anything that carries a sound, deleted at shutdown after every
// sound buffer bound to it is stopped. The program-wide radio click in particular must be stopped (or
// destroyed) before the engine is deleted, since its refill timer reads the engine's status flags.
#pragma once

#include "platform/dsound.h"
#include "sound/WaveFile.h"

#include <atomic>
#include <map>
#include <string>

namespace log4cpp {
class Category;
}
class GeoMath;
class SimStatus;

class SoundEngine {
public:
    // log: "VELK.SOUNDENGINE". disable: the setting that switches sound off. verbose: debug lines of the
    // set-up. Any failed set-up step leaves the engine disabled: every sound then does nothing.
    SoundEngine(log4cpp::Category& log, const SimStatus& status, const GeoMath& geo, bool disable, bool verbose);
    virtual ~SoundEngine();
    SoundEngine(const SoundEngine&) = delete;
    SoundEngine& operator=(const SoundEngine&) = delete;

    bool IsDisabled() const { return disabled_; }
    // True while the simulation is paused or its sound is off. Safe from any thread.
    bool IsSilenced() const;
    IDirectSound8* GetDevice() const { return device_; }

    // Opens the source (a Windows path, or a resource name when fromResource) and caches a closed copy
    // of its reader under key; a key already cached keeps its first entry. False (and one ERROR line)
    // when the source cannot be opened.
    bool LoadWavFile(const std::string& key, bool fromResource);
    // A sound of the program's own resources, cached under its name.
    bool PreloadSound(const std::string& resourceName);
    // folder ends with a backslash: folder + "sound\" + fileName.
    static std::string MakeSoundPath(const std::string& folder, const std::string& fileName);
    // A sound file of a model, cached under MakeSoundPath(folder, fileName).
    bool LoadSoundFile(const std::string& folder, const std::string& fileName);

    // The cache is used on the main thread only: sound buffers take their copy when they are created.
    const WaveFile* FindWave(const std::string& key) const;
    bool HasWave(const std::string& key) const;

    // Places the listener at the user aircraft (degrees, feet, heading in radians, velocity in m/s):
    // position, orientation and velocity take effect together. Nothing without a listener.
    void UpdateListener(double latitude, double longitude, double altitude, double heading, double velocityX,
                        double velocityY, double velocityZ);

private:
    void SetUp(bool verbose);

    log4cpp::Category& log_;
    IDirectSound8* device_ = nullptr;
    IDirectSound3DListener* listener_ = nullptr;
    const std::atomic<bool>* paused_;
    const std::atomic<bool>* soundOff_;
    const GeoMath& geo_;
    std::map<std::string, WaveFile> cache_;
    bool disabled_ = false;
};
