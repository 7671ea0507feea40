// The multimedia file functions for RIFF files: open a file or a memory block, walk its chunks, read
// through a buffer. Read access only; shaped as the Windows functions of the same names.
#pragma once

#include "platform/wintypes.h"

#include <cstdio>  // SEEK_SET, SEEK_CUR, SEEK_END for mmioSeek

using FOURCC = DWORD;
using MMRESULT = UINT;
using HPSTR = char*;
struct MmioFile__;
using HMMIO = MmioFile__*;
using LPMMIOPROC = LONG (*)(char* info, UINT message, intptr_t param1, intptr_t param2);

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d)
{
    return static_cast<FOURCC>(static_cast<uint8_t>(a)) | (static_cast<FOURCC>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<FOURCC>(static_cast<uint8_t>(c)) << 16) | (static_cast<FOURCC>(static_cast<uint8_t>(d)) << 24);
}

constexpr FOURCC FOURCC_RIFF = mmioFOURCC('R', 'I', 'F', 'F');
constexpr FOURCC FOURCC_LIST = mmioFOURCC('L', 'I', 'S', 'T');
constexpr FOURCC FOURCC_DOS = mmioFOURCC('D', 'O', 'S', ' ');
constexpr FOURCC FOURCC_MEM = mmioFOURCC('M', 'E', 'M', ' ');

// Result codes.
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MMIOERR_FILENOTFOUND = 257;
constexpr MMRESULT MMIOERR_OUTOFMEMORY = 258;
constexpr MMRESULT MMIOERR_CANNOTOPEN = 259;
constexpr MMRESULT MMIOERR_CANNOTREAD = 261;
constexpr MMRESULT MMIOERR_CANNOTWRITE = 262;
constexpr MMRESULT MMIOERR_CANNOTSEEK = 263;
constexpr MMRESULT MMIOERR_CANNOTEXPAND = 264;
constexpr MMRESULT MMIOERR_CHUNKNOTFOUND = 265;
constexpr MMRESULT MMIOERR_UNBUFFERED = 266;

// mmioOpen flags. Only reading is offered: a write mode fails with MMIOERR_CANNOTWRITE.
constexpr DWORD MMIO_READ = 0x00000000;
constexpr DWORD MMIO_WRITE = 0x00000001;
constexpr DWORD MMIO_READWRITE = 0x00000002;
constexpr DWORD MMIO_DENYWRITE = 0x00000020;
constexpr DWORD MMIO_ALLOCBUF = 0x00010000;
constexpr DWORD MMIO_DEFAULTBUFFER = 8192;

// mmioDescend flags.
constexpr UINT MMIO_FINDCHUNK = 0x0010;
constexpr UINT MMIO_FINDRIFF = 0x0020;
constexpr UINT MMIO_FINDLIST = 0x0040;

// The buffered I/O state. mmioGetInfo hands it out; a reader moves pchNext through the bytes up to
// pchEndRead, calls mmioAdvance for more, and gives the state back with mmioSetInfo.
struct MMIOINFO {
    DWORD dwFlags = 0;
    FOURCC fccIOProc = 0;       // FOURCC_MEM opens the memory block pchBuffer/cchBuffer
    LPMMIOPROC pIOProc = nullptr;
    UINT wErrorRet = 0;         // why mmioOpen failed
    HANDLE htask = nullptr;
    LONG cchBuffer = 0;
    HPSTR pchBuffer = nullptr;
    HPSTR pchNext = nullptr;
    HPSTR pchEndRead = nullptr;
    HPSTR pchEndWrite = nullptr;
    LONG lBufOffset = 0;        // file offset of pchBuffer
    LONG lDiskOffset = 0;       // file offset of the next byte read from the source
    DWORD adwInfo[3] = {};
    DWORD dwReserved1 = 0;
    DWORD dwReserved2 = 0;
    HMMIO hmmio = nullptr;
};

// One chunk: id, size of its data, form type (RIFF and LIST only), offset of its data.
struct MMCKINFO {
    FOURCC ckid = 0;
    DWORD cksize = 0;
    FOURCC fccType = 0;
    DWORD dwDataOffset = 0;
    DWORD dwFlags = 0;
};

// A file path (resolved in the machine), or with info->fccIOProc == FOURCC_MEM the memory block
// info->pchBuffer of info->cchBuffer bytes, which the caller keeps alive until mmioClose. Null on failure
// with the reason in info->wErrorRet when info is given.
HMMIO mmioOpenA(const char* fileName, MMIOINFO* info, DWORD flags);
inline HMMIO mmioOpen(const char* fileName, MMIOINFO* info, DWORD flags) { return mmioOpenA(fileName, info, flags); }
MMRESULT mmioClose(HMMIO file, UINT flags);

// Bytes read (0 at the end), -1 on error.
LONG mmioRead(HMMIO file, HPSTR buffer, LONG count);
// origin SEEK_SET, SEEK_CUR or SEEK_END. The new position, or -1 for a position before the start, past
// the end of a memory block, or beyond 2^31 - 1. A file may be positioned past its end (reads give 0).
LONG mmioSeek(HMMIO file, LONG offset, int origin);

// Reads the chunk header at the current position into *chunk (flags 0), or with MMIO_FINDCHUNK,
// MMIO_FINDRIFF or MMIO_FINDLIST skips chunks until one with chunk->ckid (or a RIFF/LIST with
// chunk->fccType) is found, staying inside parent when one is given. Leaves the position at the chunk's
// data (past the form type for RIFF and LIST).
MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags);
// Moves past the end of the chunk and its pad byte when its size is odd.
MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, UINT flags);

MMRESULT mmioGetInfo(HMMIO file, MMIOINFO* info, UINT flags);
MMRESULT mmioSetInfo(HMMIO file, const MMIOINFO* info, UINT flags);
// Refills the buffer from the position info->pchNext has reached (flags MMIO_READ). At the end of a file
// the call succeeds with pchNext == pchEndRead; a memory file cannot grow and gives MMIOERR_CANNOTEXPAND.
MMRESULT mmioAdvance(HMMIO file, MMIOINFO* info, UINT flags);

// The wave format record: the 16 PCM bytes of a "fmt " chunk and the size of extra format bytes.
constexpr WORD WAVE_FORMAT_PCM = 1;

struct WAVEFORMATEX {
    WORD wFormatTag = 0;
    WORD nChannels = 0;
    DWORD nSamplesPerSec = 0;
    DWORD nAvgBytesPerSec = 0;
    WORD nBlockAlign = 0;
    WORD wBitsPerSample = 0;
    WORD cbSize = 0;
};
