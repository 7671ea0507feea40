#include "sound/WaveFile.h"

#include "platform/resources.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
constexpr FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
constexpr FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');

WORD Read16(const unsigned char* p)
{
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

DWORD Read32(const unsigned char* p)
{
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
           (static_cast<DWORD>(p[3]) << 24);
}

// What the sound buffers can stream: their buffer arithmetic needs whole frames and exact rates. The
// reason a format is refused, or null when it is playable. A block align or byte rate that does not follow
// from channels, bits and rate would make the buffers size themselves from a made-up number.
const char* PcmProblem(const WAVEFORMATEX& f)
{
    if (f.wFormatTag != WAVE_FORMAT_PCM) return "not PCM";
    if (f.nChannels != 1 && f.nChannels != 2) return "not 1 or 2 channels";
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return "not 8 or 16 bits per sample";
    if (f.nSamplesPerSec < 100 || f.nSamplesPerSec > 200000) return "samples per second not within 100..200000";
    if (f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8) return "block align is not channels x bits / 8";
    if (uint64_t{f.nAvgBytesPerSec} != uint64_t{f.nSamplesPerSec} * f.nBlockAlign) {
        return "bytes per second are not samples per second x block align";
    }
    return nullptr;
}

}  // namespace

WaveFile::WaveFile(const WaveFile& other)
    : name_(other.name_),
      fromResource_(other.fromResource_),
      format_(other.format_),
      data_(other.data_),
      riff_(other.riff_),
      dataSize_(other.dataSize_),
      fileSize_(other.fileSize_)
{
}

WaveFile& WaveFile::operator=(const WaveFile& other)
{
    if (this != &other) {
        Close();
        name_ = other.name_;
        fromResource_ = other.fromResource_;
        format_ = other.format_;
        data_ = other.data_;
        riff_ = other.riff_;
        dataSize_ = other.dataSize_;
        fileSize_ = other.fileSize_;
    }
    return *this;
}

WaveFile::~WaveFile()
{
    Close();
}

HRESULT WaveFile::Open(const char* name, WAVEFORMATEX* format, DWORD mode, bool fromResource)
{
    if (name == nullptr || mode != WAVEFILE_READ) return E_INVALIDARG;
    Close();
    error_.clear();
    fromResource_ = fromResource;
    HRESULT hr = OpenSource(name);
    if (FAILED(hr)) return hr;
    hr = ReadHeader();
    if (SUCCEEDED(hr)) hr = ResetFile();
    if (FAILED(hr)) {
        Close();
        return E_FAIL;
    }
    dataSize_ = data_.cksize;
    if (format != nullptr) *format = format_;
    return S_OK;
}

HRESULT WaveFile::OpenSource(const char* name)
{
    if (fromResource_) {
        HRSRC resource = FindResourceA(nullptr, name, "WAVE");
        if (resource == nullptr) resource = FindResourceA(nullptr, name, "WAV");
        if (resource == nullptr) return E_FAIL;
        HGLOBAL loaded = LoadResource(nullptr, resource);
        const DWORD size = SizeofResource(nullptr, resource);
        if (loaded == nullptr || size == 0 || size > 0x7FFFFFFFu) return E_FAIL;
        const void* bytes = LockResource(loaded);
        if (bytes == nullptr) return E_FAIL;
        resourceCopy_.assign(static_cast<const char*>(bytes), static_cast<const char*>(bytes) + size);
        MMIOINFO info{};
        info.fccIOProc = FOURCC_MEM;
        info.pchBuffer = resourceCopy_.data();
        info.cchBuffer = static_cast<LONG>(size);
        file_ = mmioOpen(nullptr, &info, MMIO_ALLOCBUF | MMIO_READ);
    } else {
        file_ = mmioOpen(name, nullptr, MMIO_ALLOCBUF | MMIO_READ);
    }
    if (file_ == nullptr) {
        resourceCopy_.clear();
        resourceCopy_.shrink_to_fit();
        return E_FAIL;
    }
    const LONG end = mmioSeek(file_, 0, SEEK_END);
    if (end < 0 || mmioSeek(file_, 0, SEEK_SET) != 0) {
        Close();
        return E_FAIL;
    }
    fileSize_ = end;
    return S_OK;
}

HRESULT WaveFile::ReadHeader()
{
    riff_ = MMCKINFO{};
    if (mmioDescend(file_, &riff_, nullptr, 0) != MMSYSERR_NOERROR) return E_FAIL;
    if (riff_.ckid != FOURCC_RIFF || riff_.fccType != kWave) return E_FAIL;

    MMCKINFO fmt{};
    fmt.ckid = kFmt;
    if (mmioDescend(file_, &fmt, &riff_, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return E_FAIL;
    if (fmt.cksize < 16) return E_FAIL;
    unsigned char pcm[16];
    if (mmioRead(file_, reinterpret_cast<HPSTR>(pcm), sizeof pcm) != static_cast<LONG>(sizeof pcm)) return E_FAIL;

    WAVEFORMATEX format{};
    format.wFormatTag = Read16(pcm);
    format.nChannels = Read16(pcm + 2);
    format.nSamplesPerSec = Read32(pcm + 4);
    format.nAvgBytesPerSec = Read32(pcm + 8);
    format.nBlockAlign = Read16(pcm + 12);
    format.wBitsPerSample = Read16(pcm + 14);
    format.cbSize = 0;
    if (const char* problem = PcmProblem(format)) {
        error_ = problem;
        return E_FAIL;
    }
    format_ = format;

    if (mmioAscend(file_, &fmt, 0) != MMSYSERR_NOERROR) return E_FAIL;
    return S_OK;
}

HRESULT WaveFile::ResetFile()
{
    if (file_ == nullptr) return CO_E_NOTINITIALIZED;
    if (mmioSeek(file_, static_cast<LONG>(riff_.dwDataOffset + sizeof(FOURCC)), SEEK_SET) == -1) return E_FAIL;
    data_ = MMCKINFO{};
    data_.ckid = kData;
    if (mmioDescend(file_, &data_, &riff_, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return E_FAIL;
    // A cut-off file plays what it holds, in whole frames.
    const int64_t present = std::max<int64_t>(0, fileSize_ - data_.dwDataOffset);
    DWORD size = static_cast<DWORD>(std::min<int64_t>(data_.cksize, present));
    if (format_.nBlockAlign > 0) size -= size % format_.nBlockAlign;
    data_.cksize = size;
    return S_OK;
}

HRESULT WaveFile::Read(BYTE* destination, DWORD size, DWORD* read)
{
    if (file_ == nullptr) return CO_E_NOTINITIALIZED;
    if (destination == nullptr || read == nullptr) return E_INVALIDARG;
    *read = 0;

    MMIOINFO io{};
    if (mmioGetInfo(file_, &io, 0) != MMSYSERR_NOERROR) return E_FAIL;
    const DWORD count = std::min(size, data_.cksize);
    data_.cksize -= count;

    DWORD copied = 0;
    HRESULT hr = S_OK;
    while (copied < count) {
        if (io.pchNext == io.pchEndRead) {
            if (mmioAdvance(file_, &io, MMIO_READ) != MMSYSERR_NOERROR || io.pchNext == io.pchEndRead) {
                hr = E_FAIL;
                break;
            }
        }
        const DWORD n = std::min<DWORD>(count - copied, static_cast<DWORD>(io.pchEndRead - io.pchNext));
        std::memcpy(destination + copied, io.pchNext, n);
        io.pchNext += n;
        copied += n;
    }
    data_.cksize += count - copied;  // what could not be read is still to read
    if (mmioSetInfo(file_, &io, 0) != MMSYSERR_NOERROR) hr = E_FAIL;
    *read = copied;
    return hr;
}

void WaveFile::Close()
{
    if (file_ != nullptr) {
        mmioClose(file_, 0);
        file_ = nullptr;
    }
    resourceCopy_.clear();
    resourceCopy_.shrink_to_fit();
}
