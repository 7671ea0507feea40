#include "sound/WaveFile.h"

#include "platform/resources.h"
#include "tests/platform/media_riff_builder.h"
#include "tests/platform/media_temp_machine.h"

#include <gtest/gtest.h>

using namespace testing_riff;

namespace {

// Reads everything that is left, in pieces of the given size.
Bytes ReadAll(WaveFile& wave, DWORD piece = 1000)
{
    Bytes all;
    Bytes buffer(piece);
    for (;;) {
        DWORD n = 0;
        EXPECT_EQ(S_OK, wave.Read(buffer.data(), piece, &n));
        if (n == 0) return all;
        all.insert(all.end(), buffer.begin(), buffer.begin() + n);
    }
}

Format Stereo16()
{
    Format f;
    f.channels = 2;
    f.bitsPerSample = 16;
    f.blockAlign = 4;
    f.samplesPerSec = 11025;
    f.avgBytesPerSec = 44100;
    return f;
}

}  // namespace

TEST(WaveFile, FilesOpenOnlyWhenTheyAreStreamablePcm)
{
    Format mono;
    Format nonPcm = mono;
    nonPcm.tag = 3;
    Format threeChannels = mono;
    threeChannels.channels = 3;
    Format bits24 = mono;
    bits24.bitsPerSample = 24;
    Format noAlign = mono;
    noAlign.blockAlign = 0;
    Format wrongRate = mono;
    wrongRate.avgBytesPerSec = 44100;
    Format noSamples = mono;
    noSamples.samplesPerSec = 0;
    noSamples.avgBytesPerSec = 0;
    Format absurdRate = mono;
    absurdRate.samplesPerSec = 0x40000000;
    absurdRate.avgBytesPerSec = 0x40000000;
    // Rate and byte rate agree with the block align, but the block align is no frame: a buffer sized
    // from it would ask for gigabytes.
    Format hugeAlign = mono;
    hugeAlign.samplesPerSec = 200000;
    hugeAlign.blockAlign = 0xFFFF;
    hugeAlign.avgBytesPerSec = 200000u * 0xFFFF;
    Format shortAlign = Stereo16();
    shortAlign.blockAlign = 2;
    shortAlign.avgBytesPerSec = 22050;

    struct Case {
        const char* what;
        Bytes image;
        HRESULT result;
        DWORD size;          // data bytes when opened
        Bytes samples;       // what reading gives when opened
    };
    const Bytes ramp = Ramp(300);
    const Case cases[] = {
        {"valid", Wave(mono, ramp), S_OK, 300, ramp},
        {"LIST before fmt",
         Form("RIFF", "WAVE",
              {Form("LIST", "INFO", {Chunk("ICMT", {'h', 'i'})}), Chunk("fmt ", FmtBody(mono)), Chunk("data", ramp)}),
         S_OK, 300, ramp},
        {"odd-sized chunk before fmt and data",
         Form("RIFF", "WAVE", {Chunk("junk", {1, 2, 3}), Chunk("fmt ", FmtBody(mono, 2)), Chunk("pad ", {5}),
                               Chunk("data", ramp)}),
         S_OK, 300, ramp},
        {"data before fmt", Form("RIFF", "WAVE", {Chunk("data", ramp), Chunk("fmt ", FmtBody(mono))}), S_OK, 300, ramp},
        {"odd data cut to whole frames", Wave(Stereo16(), Ramp(10)), S_OK, 8, Ramp(8)},
        {"empty data", Wave(mono, {}), S_OK, 0, {}},
        {"data beyond the end of the file",
         Form("RIFF", "WAVE", {Chunk("fmt ", FmtBody(mono)), ChunkClaiming("data", 1000, ramp)}), S_OK, 300, ramp},
        {"wrong form", Form("RIFF", "AVI ", {Chunk("fmt ", FmtBody(mono)), Chunk("data", ramp)}), E_FAIL, 0, {}},
        {"not RIFF", Form("LIST", "WAVE", {Chunk("fmt ", FmtBody(mono)), Chunk("data", ramp)}), E_FAIL, 0, {}},
        {"short fmt",
         Form("RIFF", "WAVE", {Chunk("fmt ", [&] {
             Bytes body = FmtBody(mono);
             body.resize(14);
             return body;
         }()), Chunk("data", ramp)}),
         E_FAIL, 0, {}},
        {"no fmt", Form("RIFF", "WAVE", {Chunk("data", ramp)}), E_FAIL, 0, {}},
        {"non-PCM", Wave(nonPcm, ramp), E_FAIL, 0, {}},
        {"three channels", Wave(threeChannels, ramp), E_FAIL, 0, {}},
        {"24 bits", Wave(bits24, ramp), E_FAIL, 0, {}},
        {"block align 0", Wave(noAlign, ramp), E_FAIL, 0, {}},
        {"bytes per second not rate times align", Wave(wrongRate, ramp), E_FAIL, 0, {}},
        {"no samples per second", Wave(noSamples, ramp), E_FAIL, 0, {}},
        {"absurd rate", Wave(absurdRate, ramp), E_FAIL, 0, {}},
        {"block align above a frame", Wave(hugeAlign, ramp), E_FAIL, 0, {}},
        {"block align below a frame", Wave(shortAlign, ramp), E_FAIL, 0, {}},
        {"no data", Form("RIFF", "WAVE", {Chunk("fmt ", FmtBody(mono)), Chunk("fact", {0, 0, 0, 0})}), E_FAIL, 0, {}},
        {"data after the RIFF chunk",
         [&] {
             Bytes image = Form("RIFF", "WAVE", {Chunk("fmt ", FmtBody(mono))});
             const Bytes data = Chunk("data", ramp);
             image.insert(image.end(), data.begin(), data.end());
             return image;
         }(),
         E_FAIL, 0, {}},
        {"empty file", {}, E_FAIL, 0, {}},
        {"cut in the header", Bytes{'R', 'I', 'F', 'F', 100, 0, 0, 0, 'W', 'A', 'V'}, E_FAIL, 0, {}},
    };

    TempMachine machine;
    int index = 0;
    for (const auto& c : cases) {
        const std::string path = machine.Write("sound/case" + std::to_string(index++) + ".wav", c.image);
        WaveFile wave;
        WAVEFORMATEX format;
        EXPECT_EQ(c.result, wave.Open(path.c_str(), &format, WAVEFILE_READ, false)) << c.what;
        EXPECT_EQ(SUCCEEDED(c.result), wave.IsOpen()) << c.what;
        if (FAILED(c.result)) continue;
        EXPECT_EQ(c.size, wave.GetSize()) << c.what;
        EXPECT_EQ(WAVE_FORMAT_PCM, format.wFormatTag) << c.what;
        EXPECT_EQ(0, format.cbSize) << c.what;
        EXPECT_EQ(c.samples, ReadAll(wave)) << c.what;
    }
}

TEST(WaveFile, RefusedFormatSaysWhy)
{
    Format align = Stereo16();
    align.blockAlign = 0xFFFF;
    align.avgBytesPerSec = 11025u * 0xFFFF;
    Format rate = Stereo16();
    rate.avgBytesPerSec = 44101;
    const struct {
        const char* what;
        Bytes image;
        const char* error;
    } cases[] = {
        {"block align", Wave(align, Ramp(8)), "block align is not channels x bits / 8"},
        {"byte rate", Wave(rate, Ramp(8)), "bytes per second are not samples per second x block align"},
        {"valid", Wave(Stereo16(), Ramp(8)), ""},
        {"no fmt: not a format refusal", Form("RIFF", "WAVE", {Chunk("data", Ramp(8))}), ""},
    };
    TempMachine machine;
    WaveFile wave;  // one reader: a later open forgets the earlier refusal
    for (const auto& c : cases) {
        const std::string path = machine.Write(std::string("sound/") + c.what + ".wav", c.image);
        wave.Open(path.c_str(), nullptr, WAVEFILE_READ, false);
        EXPECT_EQ(c.error, wave.GetFormatError()) << c.what;
    }
}

TEST(WaveFile, FormatIsTakenFromTheFmtChunk)
{
    TempMachine machine;
    const std::string path = machine.Write("s.wav", Wave(Stereo16(), Ramp(40)));
    WaveFile wave;
    ASSERT_EQ(S_OK, wave.Open(path.c_str(), nullptr, WAVEFILE_READ, false));
    const WAVEFORMATEX& f = wave.GetFormat();
    EXPECT_EQ(2, f.nChannels);
    EXPECT_EQ(11025u, f.nSamplesPerSec);
    EXPECT_EQ(44100u, f.nAvgBytesPerSec);
    EXPECT_EQ(4, f.nBlockAlign);
    EXPECT_EQ(16, f.wBitsPerSample);
    EXPECT_FALSE(wave.IsFromResource());
}

TEST(WaveFile, RadioClickReadsOnceThenRewinds)
{
    WaveFile wave;
    ASSERT_EQ(S_OK, wave.Open("RADIO_CLICK_LOOP", nullptr, WAVEFILE_READ, true));
    EXPECT_TRUE(wave.IsFromResource());
    EXPECT_EQ(17920u, wave.GetSize());
    Bytes buffer(30000);
    DWORD n = 0;
    ASSERT_EQ(S_OK, wave.Read(buffer.data(), 30000, &n));
    EXPECT_EQ(17920u, n);
    const auto resource = platform::RadioClickResource();
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 17920, resource.begin() + 44));
    ASSERT_EQ(S_OK, wave.Read(buffer.data(), 30000, &n));
    EXPECT_EQ(0u, n);
    ASSERT_EQ(S_OK, wave.ResetFile());
    ASSERT_EQ(S_OK, wave.Read(buffer.data(), 30000, &n));
    EXPECT_EQ(17920u, n);
}

TEST(WaveFile, ResourceOfTypeWavIsFoundWhenThereIsNoWave)
{
    platform::ScopedResource resource("OLD_STYLE", "WAV", Wave(Format{}, Ramp(20)));
    WaveFile wave;
    ASSERT_EQ(S_OK, wave.Open("old_style", nullptr, WAVEFILE_READ, true));
    EXPECT_EQ(Ramp(20), ReadAll(wave));
    WaveFile missing;
    EXPECT_EQ(E_FAIL, missing.Open("NO_SUCH_SOUND", nullptr, WAVEFILE_READ, true));
    EXPECT_EQ(E_FAIL, missing.Open("C:\\no\\such.wav", nullptr, WAVEFILE_READ, false));
}

TEST(WaveFile, LongFileReadsAcrossTheBufferInAnyPieces)
{
    TempMachine machine;
    const Bytes samples = Ramp(30001, 7);
    const std::string path = machine.Write("long.wav", Wave(Format{}, samples));
    WaveFile wave;
    ASSERT_EQ(S_OK, wave.Open(path.c_str(), nullptr, WAVEFILE_READ, false));
    EXPECT_EQ(samples, ReadAll(wave, 4093));
    ASSERT_EQ(S_OK, wave.ResetFile());
    EXPECT_EQ(samples, ReadAll(wave, 22050));
}

TEST(WaveFile, CopyIsClosedAndIndependent)
{
    WaveFile original;
    ASSERT_EQ(S_OK, original.Open("RADIO_CLICK_LOOP", nullptr, WAVEFILE_READ, true));
    original.SetName("click");
    BYTE b[10];
    DWORD n = 0;
    ASSERT_EQ(S_OK, original.Read(b, 10, &n));

    WaveFile copy(original);
    EXPECT_FALSE(copy.IsOpen());
    EXPECT_EQ("click", copy.GetName());
    EXPECT_TRUE(copy.IsFromResource());
    EXPECT_EQ(17920u, copy.GetSize());
    EXPECT_EQ(22050u, copy.GetFormat().nSamplesPerSec);
    EXPECT_EQ(CO_E_NOTINITIALIZED, copy.Read(b, 10, &n));
    copy.Close();

    EXPECT_TRUE(original.IsOpen());
    ASSERT_EQ(S_OK, original.Read(b, 10, &n));
    EXPECT_EQ(10u, n);

    WaveFile assigned;
    ASSERT_EQ(S_OK, assigned.Open("RADIO_CLICK_LOOP", nullptr, WAVEFILE_READ, true));
    assigned = original;
    EXPECT_FALSE(assigned.IsOpen());
    EXPECT_TRUE(original.IsOpen());
}

TEST(WaveFile, BadCallsAreRefused)
{
    WaveFile wave;
    BYTE b[4];
    DWORD n = 0;
    EXPECT_EQ(CO_E_NOTINITIALIZED, wave.Read(b, 4, &n));
    EXPECT_EQ(CO_E_NOTINITIALIZED, wave.ResetFile());
    EXPECT_EQ(E_INVALIDARG, wave.Open(nullptr, nullptr, WAVEFILE_READ, false));
    EXPECT_EQ(E_INVALIDARG, wave.Open("RADIO_CLICK_LOOP", nullptr, 2, true));
    ASSERT_EQ(S_OK, wave.Open("RADIO_CLICK_LOOP", nullptr, WAVEFILE_READ, true));
    EXPECT_EQ(E_INVALIDARG, wave.Read(nullptr, 4, &n));
    EXPECT_EQ(E_INVALIDARG, wave.Read(b, 4, nullptr));
    wave.Close();
    EXPECT_FALSE(wave.IsOpen());
    wave.Close();  // twice is harmless
}
