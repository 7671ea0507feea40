// The WAV reader on any bytes, as a file of the machine (how a sound arrives) and as a resource (the
// memory path of the RIFF functions); both must agree. Then the RIFF functions walked by hand over the
// memory block, as a reader of another chunk layout would.
#include "platform/mmio.h"
#include "platform/resources.h"
#include "sound/WaveFile.h"

#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Opened {
    HRESULT result = E_FAIL;
    WAVEFORMATEX format{};
    DWORD size = 0;
    Bytes samples;
};

// Everything the reader gives, in pieces of `piece` bytes; then again after ResetFile.
Opened ReadWave(const char* name, bool fromResource, DWORD piece, const uint8_t* input, size_t inputSize)
{
    Opened out;
    WaveFile wave;
    out.result = wave.Open(name, &out.format, WAVEFILE_READ, fromResource);
    if (FAILED(out.result)) {
        VELK_FUZZ_CHECK(!wave.IsOpen());
        return out;
    }
    const WAVEFORMATEX& f = out.format;
    VELK_FUZZ_CHECK(f.wFormatTag == WAVE_FORMAT_PCM);
    VELK_FUZZ_CHECK(f.nChannels == 1 || f.nChannels == 2);
    VELK_FUZZ_CHECK(f.wBitsPerSample == 8 || f.wBitsPerSample == 16);
    VELK_FUZZ_CHECK(f.nBlockAlign > 0);
    out.size = wave.GetSize();
    VELK_FUZZ_CHECK(out.size <= inputSize);
    VELK_FUZZ_CHECK(out.size % f.nBlockAlign == 0);

    Bytes buffer(piece);
    for (int pass = 0; pass < 2; ++pass) {
        Bytes all;
        for (;;) {
            DWORD n = 0xFFFFFFFFu;
            VELK_FUZZ_CHECK(wave.Read(buffer.data(), piece, &n) == S_OK);
            VELK_FUZZ_CHECK(n <= piece);
            if (n == 0) break;
            all.insert(all.end(), buffer.begin(), buffer.begin() + n);
            VELK_FUZZ_CHECK(all.size() <= out.size);
        }
        VELK_FUZZ_CHECK(all.size() == out.size);
        if (pass == 0) {
            out.samples = std::move(all);
            VELK_FUZZ_CHECK(wave.ResetFile() == S_OK);
        } else {
            VELK_FUZZ_CHECK(all == out.samples);
        }
    }
    // The samples are bytes of the input, not of anything around it.
    if (!out.samples.empty()) {
        VELK_FUZZ_CHECK(std::search(input, input + inputSize, out.samples.begin(), out.samples.end()) !=
                        input + inputSize);
    }
    // A copy is closed and reads nothing.
    WaveFile copy(wave);
    DWORD n = 0;
    VELK_FUZZ_CHECK(!copy.IsOpen());
    VELK_FUZZ_CHECK(copy.Read(buffer.data(), piece, &n) == CO_E_NOTINITIALIZED);
    return out;
}

// The chunks of the first RIFF form, by hand: every position stays inside the block.
void WalkChunks(const uint8_t* data, size_t size)
{
    if (size == 0) return;
    std::vector<char> block(data, data + size);
    MMIOINFO info{};
    info.fccIOProc = FOURCC_MEM;
    info.pchBuffer = block.data();
    info.cchBuffer = static_cast<LONG>(size);
    HMMIO file = mmioOpen(nullptr, &info, MMIO_READ);
    if (file == nullptr) return;

    MMCKINFO riff{};
    if (mmioDescend(file, &riff, nullptr, 0) == MMSYSERR_NOERROR) {
        VELK_FUZZ_CHECK(riff.dwDataOffset <= size);
        char chunkBytes[64];
        for (int i = 0; i < 64; ++i) {
            MMCKINFO chunk{};
            const MMCKINFO* parent = riff.ckid == FOURCC_RIFF || riff.ckid == FOURCC_LIST ? &riff : nullptr;
            if (mmioDescend(file, &chunk, parent, 0) != MMSYSERR_NOERROR) break;
            VELK_FUZZ_CHECK(chunk.dwDataOffset <= size);
            // RIFF and LIST leave the position past their form type.
            const DWORD at = chunk.dwDataOffset + (chunk.ckid == FOURCC_RIFF || chunk.ckid == FOURCC_LIST ? 4 : 0);
            const LONG want = static_cast<LONG>(std::min<DWORD>(chunk.cksize, sizeof chunkBytes));
            const LONG got = mmioRead(file, chunkBytes, want);
            VELK_FUZZ_CHECK(got >= -1 && got <= want);
            if (got > 0) VELK_FUZZ_CHECK(at + got <= size && std::memcmp(chunkBytes, data + at, got) == 0);
            const LONG here = mmioSeek(file, 0, SEEK_CUR);
            VELK_FUZZ_CHECK(here >= 0 && static_cast<size_t>(here) <= size);
            if (mmioAscend(file, &chunk, 0) != MMSYSERR_NOERROR) break;
        }
        // The buffered interface from wherever the walk ended.
        MMIOINFO io{};
        if (mmioGetInfo(file, &io, 0) == MMSYSERR_NOERROR) {
            VELK_FUZZ_CHECK(io.pchNext <= io.pchEndRead);
            size_t seen = 0;
            for (int i = 0; i < 4 && mmioAdvance(file, &io, MMIO_READ) == MMSYSERR_NOERROR; ++i) {
                VELK_FUZZ_CHECK(io.pchNext <= io.pchEndRead);
                seen += static_cast<size_t>(io.pchEndRead - io.pchNext);
                io.pchNext = io.pchEndRead;
                VELK_FUZZ_CHECK(seen <= size);
            }
            mmioSetInfo(file, &io, 0);
        }
    }
    VELK_FUZZ_CHECK(mmioSeek(file, static_cast<LONG>(size) + 1, SEEK_SET) == -1);
    VELK_FUZZ_CHECK(mmioSeek(file, -1, SEEK_SET) == -1);
    mmioClose(file, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const DWORD piece = 1 + static_cast<DWORD>(size % 997);

    const std::string path = velk_fuzz::WriteScratchFile("input.wav", data, size);
    const Opened fromFile = ReadWave(path.c_str(), false, piece, data, size);

    Opened fromResource;
    {
        platform::ScopedResource resource("FUZZ_INPUT", "WAVE", Bytes(data, data + size));
        fromResource = ReadWave("FUZZ_INPUT", true, piece, data, size);
    }
    // An empty resource cannot be loaded at all; otherwise file and memory read the same sound.
    if (size > 0) {
        VELK_FUZZ_CHECK(SUCCEEDED(fromFile.result) == SUCCEEDED(fromResource.result));
        VELK_FUZZ_CHECK(fromFile.size == fromResource.size);
        VELK_FUZZ_CHECK(fromFile.samples == fromResource.samples);
    }

    WalkChunks(data, size);
    return 0;
}
