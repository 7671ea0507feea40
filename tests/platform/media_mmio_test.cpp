#include "platform/mmio.h"

#include "tests/platform/media_riff_builder.h"
#include "tests/platform/media_temp_machine.h"

#include <gtest/gtest.h>

using namespace testing_riff;

namespace {

constexpr FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
constexpr FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
constexpr FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');

// A memory file over bytes, closed at the end of the test.
class MemoryFile {
public:
    explicit MemoryFile(Bytes bytes) : bytes_(std::move(bytes))
    {
        MMIOINFO info;
        info.fccIOProc = FOURCC_MEM;
        info.pchBuffer = reinterpret_cast<char*>(bytes_.data());
        info.cchBuffer = static_cast<LONG>(bytes_.size());
        handle_ = mmioOpen(nullptr, &info, MMIO_READ | MMIO_ALLOCBUF);
    }
    ~MemoryFile()
    {
        if (handle_ != nullptr) mmioClose(handle_, 0);
    }
    HMMIO get() const { return handle_; }

private:
    Bytes bytes_;
    HMMIO handle_ = nullptr;
};

// RIFF/WAVE with a LIST, an odd-sized chunk and its pad byte before "fmt ", then "data".
Bytes Crowded()
{
    return Form("RIFF", "WAVE",
                {Form("LIST", "INFO", {Chunk("INAM", {'a', 'b', 'c'})}), Chunk("odd ", {7, 7, 7}),
                 Chunk("fmt ", FmtBody(Format{})), Chunk("data", Ramp(5)), Chunk("tail", {9})});
}

}  // namespace

TEST(Mmio, DescendFindsChunksInsideTheParentAndAscendSkipsThePad)
{
    MemoryFile file(Crowded());
    ASSERT_NE(file.get(), nullptr);

    MMCKINFO riff;
    ASSERT_EQ(MMSYSERR_NOERROR, mmioDescend(file.get(), &riff, nullptr, 0));
    EXPECT_EQ(FOURCC_RIFF, riff.ckid);
    EXPECT_EQ(kWave, riff.fccType);
    EXPECT_EQ(8u, riff.dwDataOffset);  // the data starts with the form type
    EXPECT_EQ(12, mmioSeek(file.get(), 0, SEEK_CUR));

    MMCKINFO list;
    list.fccType = mmioFOURCC('I', 'N', 'F', 'O');
    ASSERT_EQ(MMSYSERR_NOERROR, mmioDescend(file.get(), &list, &riff, MMIO_FINDLIST));
    EXPECT_EQ(FOURCC_LIST, list.ckid);
    ASSERT_EQ(MMSYSERR_NOERROR, mmioAscend(file.get(), &list, 0));

    MMCKINFO odd;
    ASSERT_EQ(MMSYSERR_NOERROR, mmioDescend(file.get(), &odd, &riff, 0));
    EXPECT_EQ(mmioFOURCC('o', 'd', 'd', ' '), odd.ckid);
    EXPECT_EQ(3u, odd.cksize);
    ASSERT_EQ(MMSYSERR_NOERROR, mmioAscend(file.get(), &odd, 0));
    EXPECT_EQ(static_cast<LONG>(odd.dwDataOffset + 4), mmioSeek(file.get(), 0, SEEK_CUR));  // past the pad

    MMCKINFO fmt;
    fmt.ckid = kFmt;
    ASSERT_EQ(MMSYSERR_NOERROR, mmioDescend(file.get(), &fmt, &riff, MMIO_FINDCHUNK));
    EXPECT_EQ(16u, fmt.cksize);

    // From the start of the form, FINDCHUNK skips the LIST, the odd chunk and "fmt ".
    ASSERT_EQ(static_cast<LONG>(riff.dwDataOffset + 4), mmioSeek(file.get(), riff.dwDataOffset + 4, SEEK_SET));
    MMCKINFO data;
    data.ckid = kData;
    ASSERT_EQ(MMSYSERR_NOERROR, mmioDescend(file.get(), &data, &riff, MMIO_FINDCHUNK));
    EXPECT_EQ(5u, data.cksize);
    char bytes[8] = {};
    EXPECT_EQ(5, mmioRead(file.get(), bytes, 5));
    EXPECT_EQ(4, bytes[4]);
}

TEST(Mmio, SearchStopsAtTheEndOfTheParent)
{
    // "late" sits after the RIFF chunk: a search inside the RIFF must not find it.
    Bytes image = Form("RIFF", "WAVE", {Chunk("fmt ", FmtBody(Format{}))});
    const Bytes late = Chunk("late", {1, 2});
    image.insert(image.end(), late.begin(), late.end());
    MemoryFile file(image);
    MMCKINFO riff;
    ASSERT_EQ(MMSYSERR_NOERROR, mmioDescend(file.get(), &riff, nullptr, 0));
    MMCKINFO wanted;
    wanted.ckid = mmioFOURCC('l', 'a', 't', 'e');
    EXPECT_EQ(MMIOERR_CHUNKNOTFOUND, mmioDescend(file.get(), &wanted, &riff, MMIO_FINDCHUNK));

    // Without a parent the search walks on to the end of the file.
    ASSERT_EQ(0, mmioSeek(file.get(), 0, SEEK_SET));
    wanted = MMCKINFO{};
    wanted.fccType = kWave;
    ASSERT_EQ(MMSYSERR_NOERROR, mmioDescend(file.get(), &wanted, nullptr, MMIO_FINDRIFF));
    ASSERT_EQ(MMSYSERR_NOERROR, mmioAscend(file.get(), &wanted, 0));
    wanted.ckid = mmioFOURCC('l', 'a', 't', 'e');
    EXPECT_EQ(MMSYSERR_NOERROR, mmioDescend(file.get(), &wanted, nullptr, MMIO_FINDCHUNK));
}

TEST(Mmio, HostileSizesEndTheSearchWithoutReadingOutside)
{
    struct Case {
        const char* what;
        Bytes image;
    };
    const Case cases[] = {
        {"huge chunk", Form("RIFF", "WAVE", {ChunkClaiming("junk", 0xFFFFFFFFu, {1, 2, 3, 4})})},
        {"cut header", Form("RIFF", "WAVE", {Bytes{'f', 'm', 't'}})},
        {"empty form", Form("RIFF", "WAVE", {})},
    };
    for (const auto& c : cases) {
        MemoryFile file(c.image);
        MMCKINFO riff;
        ASSERT_EQ(MMSYSERR_NOERROR, mmioDescend(file.get(), &riff, nullptr, 0)) << c.what;
        MMCKINFO fmt;
        fmt.ckid = kFmt;
        EXPECT_EQ(MMIOERR_CHUNKNOTFOUND, mmioDescend(file.get(), &fmt, &riff, MMIO_FINDCHUNK)) << c.what;
    }
    // A RIFF header cut inside its form type.
    MemoryFile cut(Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A'});
    MMCKINFO riff;
    EXPECT_EQ(MMIOERR_CHUNKNOTFOUND, mmioDescend(cut.get(), &riff, nullptr, 0));
}

TEST(Mmio, SeekingAMemoryBlockStaysInsideIt)
{
    MemoryFile file(Ramp(10));
    EXPECT_EQ(10, mmioSeek(file.get(), 0, SEEK_END));
    EXPECT_EQ(-1, mmioSeek(file.get(), 1, SEEK_END));
    EXPECT_EQ(-1, mmioSeek(file.get(), -1, SEEK_SET));
    EXPECT_EQ(4, mmioSeek(file.get(), 4, SEEK_SET));
    EXPECT_EQ(6, mmioSeek(file.get(), 2, SEEK_CUR));
    char b = 0;
    EXPECT_EQ(1, mmioRead(file.get(), &b, 1));
    EXPECT_EQ(6, b);
    EXPECT_EQ(-1, mmioSeek(file.get(), 0, 7));
}

TEST(Mmio, MemoryFileCannotBeAdvancedPastItsEnd)
{
    MemoryFile file(Ramp(4));
    MMIOINFO io;
    ASSERT_EQ(MMSYSERR_NOERROR, mmioGetInfo(file.get(), &io, 0));
    EXPECT_EQ(4, io.pchEndRead - io.pchNext);
    io.pchNext = io.pchEndRead;
    EXPECT_EQ(MMIOERR_CANNOTEXPAND, mmioAdvance(file.get(), &io, MMIO_READ));
    // The position given back is kept.
    EXPECT_EQ(4, mmioSeek(file.get(), 0, SEEK_CUR));
    io.pchNext = io.pchEndRead + 1;
    EXPECT_EQ(MMSYSERR_INVALPARAM, mmioSetInfo(file.get(), &io, 0));
}

TEST(Mmio, FileIsReadThroughItsBufferAndAdvanceRefillsIt)
{
    TempMachine machine;
    const std::string path = machine.Write("Sound/Ramp.bin", Ramp(100));

    MMIOINFO open;
    open.cchBuffer = 16;  // a small buffer so that the reads cross it several times
    HMMIO file = mmioOpen("c:\\SOUND\\ramp.BIN", &open, MMIO_READ | MMIO_ALLOCBUF);
    ASSERT_NE(file, nullptr) << path;

    std::vector<uint8_t> got;
    MMIOINFO io;
    ASSERT_EQ(MMSYSERR_NOERROR, mmioGetInfo(file, &io, 0));
    for (;;) {
        if (io.pchNext == io.pchEndRead) {
            ASSERT_EQ(MMSYSERR_NOERROR, mmioAdvance(file, &io, MMIO_READ));
            if (io.pchNext == io.pchEndRead) break;  // end of the file: an empty advance
            EXPECT_LE(io.pchEndRead - io.pchBuffer, 16);
        }
        got.push_back(static_cast<uint8_t>(*io.pchNext++));
    }
    ASSERT_EQ(MMSYSERR_NOERROR, mmioSetInfo(file, &io, 0));
    EXPECT_EQ(Ramp(100), got);

    // Seek and read across the buffer window; a file may be positioned past its end.
    EXPECT_EQ(30, mmioSeek(file, 30, SEEK_SET));
    char bytes[40] = {};
    EXPECT_EQ(40, mmioRead(file, bytes, 40));
    EXPECT_EQ(30, bytes[0]);
    EXPECT_EQ(69, bytes[39]);
    EXPECT_EQ(200, mmioSeek(file, 200, SEEK_SET));
    EXPECT_EQ(0, mmioRead(file, bytes, 4));
    EXPECT_EQ(MMSYSERR_NOERROR, mmioClose(file, 0));
}

TEST(Mmio, OpenFailuresSayWhy)
{
    TempMachine machine;
    machine.Write("sound/a.wav", Ramp(4));
    std::filesystem::create_directories(machine.Root() / "c" / "folder");
    struct Case {
        const char* what;
        const char* path;
        DWORD flags;
        MMRESULT error;
    };
    const Case cases[] = {
        {"missing file", "C:\\sound\\b.wav", MMIO_READ, MMIOERR_FILENOTFOUND},
        {"missing folder", "C:\\nothing\\a.wav", MMIO_READ, MMIOERR_FILENOTFOUND},
        {"folder", "C:\\folder", MMIO_READ, MMIOERR_CANNOTOPEN},
        {"write mode", "C:\\sound\\a.wav", MMIO_WRITE, MMIOERR_CANNOTWRITE},
        {"no name", nullptr, MMIO_READ, MMSYSERR_INVALPARAM},
    };
    for (const auto& c : cases) {
        MMIOINFO info;
        EXPECT_EQ(nullptr, mmioOpen(c.path, &info, c.flags)) << c.what;
        EXPECT_EQ(c.error, info.wErrorRet) << c.what;
    }
    // Unbuffered files read but refuse the buffered interface.
    HMMIO file = mmioOpen("C:\\sound\\a.wav", nullptr, MMIO_READ);
    ASSERT_NE(file, nullptr);
    MMIOINFO io;
    EXPECT_EQ(MMIOERR_UNBUFFERED, mmioAdvance(file, &io, MMIO_READ));
    char b[4];
    EXPECT_EQ(4, mmioRead(file, b, 4));
    mmioClose(file, 0);
}

TEST(Mmio, ClosedHandlesAreRefused)
{
    MMIOINFO info;
    Bytes bytes = Ramp(4);
    info.fccIOProc = FOURCC_MEM;
    info.pchBuffer = reinterpret_cast<char*>(bytes.data());
    info.cchBuffer = 4;
    HMMIO file = mmioOpen(nullptr, &info, MMIO_READ);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(MMSYSERR_NOERROR, mmioClose(file, 0));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, mmioClose(file, 0));
    char b;
    EXPECT_EQ(-1, mmioRead(file, &b, 1));
    EXPECT_EQ(-1, mmioSeek(nullptr, 0, SEEK_SET));
    MMCKINFO ck;
    EXPECT_EQ(MMSYSERR_INVALHANDLE, mmioDescend(nullptr, &ck, nullptr, 0));
}
