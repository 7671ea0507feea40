// Reads the PCM sample data of a RIFF/WAVE sound, from a file of the machine or from one of the
// program's own resources (type "WAVE", else "WAV").
#pragma once

#include "platform/mmio.h"
#include "platform/wintypes.h"

#include <string>
#include <vector>

constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

// The only open mode.
constexpr DWORD WAVEFILE_READ = 1;

class WaveFile {
public:
    WaveFile() = default;
    // A copy takes the name, source kind, format and chunk positions, but is closed.
    WaveFile(const WaveFile& other);
    WaveFile& operator=(const WaveFile& other);
    ~WaveFile();

    // name: a Windows path, or a resource name when fromResource. format (may be null) receives the format.
    // Refused with E_FAIL: anything but a RIFF/WAVE with a "fmt " of at least 16 bytes describing PCM of
    // 1 or 2 channels, 8 or 16 bits, 100 to 200000 samples per second, a block align above 0 and bytes per
    // second equal to samples per second times block align, followed by a "data" chunk. The block align
    // must be channels times bits / 8.
    // A "data" chunk that claims more bytes than the file holds is cut to the bytes present, and to whole
    // frames. E_INVALIDARG for a null name or another mode.
    HRESULT Open(const char* name, WAVEFORMATEX* format, DWORD mode, bool fromResource);
    // Up to size bytes of the data still to read; 0 bytes and S_OK at the end of the data.
    HRESULT Read(BYTE* destination, DWORD size, DWORD* read);
    // Back to the start of the sample data.
    HRESULT ResetFile();
    void Close();

    bool IsOpen() const { return file_ != nullptr; }
    // Why the last Open refused the sound's format; empty when it did not (or failed for another reason).
    const std::string& GetFormatError() const { return error_; }
    bool IsFromResource() const { return fromResource_; }
    const WAVEFORMATEX& GetFormat() const { return format_; }
    // Bytes of sample data, as found at opening.
    DWORD GetSize() const { return dataSize_; }
    const std::string& GetName() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }

private:
    HRESULT OpenSource(const char* name);
    HRESULT ReadHeader();

    std::string name_;
    bool fromResource_ = false;
    WAVEFORMATEX format_{};
    HMMIO file_ = nullptr;
    MMCKINFO data_{};          // cksize counts down as data is read
    MMCKINFO riff_{};
    DWORD dataSize_ = 0;
    int64_t fileSize_ = 0;
    std::vector<char> resourceCopy_;  // the memory file of a resource, alive while open
    std::string error_;
};
