#include "platform/mmio.h"

#include "platform/machine.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <unordered_set>
#include <vector>

struct MmioFile__ {
    bool memory = false;
    bool buffered = false;
    std::FILE* file = nullptr;
    int64_t size = 0;                // bytes in the file or memory block
    std::vector<char> ownBuffer;     // the read buffer of a file
    MMIOINFO info;                   // the buffer window; position = lBufOffset + (pchNext - pchBuffer)
};

namespace {

constexpr int64_t kMaxOffset = std::numeric_limits<LONG>::max();

struct LiveFiles {
    std::mutex lock;
    std::unordered_set<MmioFile__*> files;
};

LiveFiles& Live()
{
    static LiveFiles* live = new LiveFiles;
    return *live;
}

MmioFile__* Checked(HMMIO h)
{
    if (h == nullptr) return nullptr;
    LiveFiles& live = Live();
    std::lock_guard guard(live.lock);
    return live.files.count(h) != 0 ? h : nullptr;
}

int64_t Position(const MmioFile__& f)
{
    return f.info.lBufOffset + (f.info.pchNext - f.info.pchBuffer);
}

// Reads the file from position at into the buffer; the window then starts there.
void FillBuffer(MmioFile__& f, int64_t at)
{
    size_t n = 0;
    if (at < f.size && std::fseek(f.file, static_cast<long>(at), SEEK_SET) == 0)
        n = std::fread(f.info.pchBuffer, 1, static_cast<size_t>(f.info.cchBuffer), f.file);
    f.info.lBufOffset = static_cast<LONG>(at);
    f.info.pchNext = f.info.pchBuffer;
    f.info.pchEndRead = f.info.pchBuffer + n;
    f.info.lDiskOffset = static_cast<LONG>(at + static_cast<int64_t>(n));
}

bool SeekTo(MmioFile__& f, int64_t at)
{
    if (at < 0 || at > kMaxOffset) return false;
    const int64_t windowEnd = f.info.lBufOffset + (f.info.pchEndRead - f.info.pchBuffer);
    if (at >= f.info.lBufOffset && at <= windowEnd) {
        f.info.pchNext = f.info.pchBuffer + (at - f.info.lBufOffset);
        return true;
    }
    if (f.memory) return false;  // a memory block has no bytes outside its window
    // An empty window at the new position; the next read fills it.
    f.info.lBufOffset = static_cast<LONG>(at);
    f.info.pchNext = f.info.pchBuffer;
    f.info.pchEndRead = f.info.pchBuffer;
    return true;
}

int64_t ReadBytes(MmioFile__& f, char* out, int64_t count)
{
    int64_t total = 0;
    while (total < count) {
        int64_t available = f.info.pchEndRead - f.info.pchNext;
        if (available == 0) {
            if (f.memory) break;
            FillBuffer(f, Position(f));
            available = f.info.pchEndRead - f.info.pchNext;
            if (available == 0) break;
        }
        const int64_t n = std::min(available, count - total);
        std::memcpy(out + total, f.info.pchNext, static_cast<size_t>(n));
        f.info.pchNext += n;
        total += n;
    }
    return total;
}

DWORD Read32(const unsigned char* p)
{
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
           (static_cast<DWORD>(p[3]) << 24);
}

HMMIO Fail(MMIOINFO* info, MMRESULT why)
{
    if (info != nullptr) info->wErrorRet = why;
    return nullptr;
}

}  // namespace

HMMIO mmioOpenA(const char* fileName, MMIOINFO* info, DWORD flags)
{
    if ((flags & (MMIO_WRITE | MMIO_READWRITE)) != 0) return Fail(info, MMIOERR_CANNOTWRITE);

    auto f = std::make_unique<MmioFile__>();
    if (info != nullptr && info->fccIOProc == FOURCC_MEM) {
        if (info->cchBuffer < 0 || (info->cchBuffer > 0 && info->pchBuffer == nullptr))
            return Fail(info, MMSYSERR_INVALPARAM);
        f->memory = true;
        f->buffered = true;
        f->size = info->cchBuffer;
        f->info.cchBuffer = info->cchBuffer;
        f->info.pchBuffer = info->pchBuffer;
        f->info.pchNext = info->pchBuffer;
        f->info.pchEndRead = info->pchBuffer + info->cchBuffer;
        f->info.lDiskOffset = info->cchBuffer;
    } else {
        if (fileName == nullptr) return Fail(info, MMSYSERR_INVALPARAM);
        const auto path = platform::ResolveExisting(fileName);
        if (!path) return Fail(info, MMIOERR_FILENOTFOUND);
        std::error_code error;
        if (!std::filesystem::is_regular_file(*path, error)) return Fail(info, MMIOERR_CANNOTOPEN);
        const auto size = std::filesystem::file_size(*path, error);
        if (error || size > static_cast<uintmax_t>(kMaxOffset)) return Fail(info, MMIOERR_CANNOTOPEN);
        f->file = std::fopen(path->c_str(), "rb");
        if (f->file == nullptr) return Fail(info, MMIOERR_CANNOTOPEN);
        f->size = static_cast<int64_t>(size);
        f->buffered = (flags & MMIO_ALLOCBUF) != 0;
        LONG bufferSize = MMIO_DEFAULTBUFFER;
        if (f->buffered && info != nullptr && info->cchBuffer > 0) bufferSize = info->cchBuffer;
        f->ownBuffer.resize(static_cast<size_t>(bufferSize));
        f->info.cchBuffer = bufferSize;
        f->info.pchBuffer = f->ownBuffer.data();
        f->info.pchNext = f->info.pchBuffer;
        f->info.pchEndRead = f->info.pchBuffer;
    }
    f->info.dwFlags = flags;
    f->info.fccIOProc = f->memory ? FOURCC_MEM : FOURCC_DOS;
    HMMIO h = f.release();
    h->info.hmmio = h;
    {
        LiveFiles& live = Live();
        std::lock_guard guard(live.lock);
        live.files.insert(h);
    }
    if (info != nullptr) info->wErrorRet = MMSYSERR_NOERROR;
    return h;
}

MMRESULT mmioClose(HMMIO file, UINT)
{
    MmioFile__* f = Checked(file);
    if (f == nullptr) return MMSYSERR_INVALHANDLE;
    {
        LiveFiles& live = Live();
        std::lock_guard guard(live.lock);
        live.files.erase(f);
    }
    if (f->file != nullptr) std::fclose(f->file);
    delete f;
    return MMSYSERR_NOERROR;
}

LONG mmioRead(HMMIO file, HPSTR buffer, LONG count)
{
    MmioFile__* f = Checked(file);
    if (f == nullptr || count < 0 || (buffer == nullptr && count > 0)) return -1;
    return static_cast<LONG>(ReadBytes(*f, buffer, count));
}

LONG mmioSeek(HMMIO file, LONG offset, int origin)
{
    MmioFile__* f = Checked(file);
    if (f == nullptr) return -1;
    int64_t base = 0;
    switch (origin) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = Position(*f); break;
    case SEEK_END: base = f->size; break;
    default: return -1;
    }
    const int64_t at = base + offset;
    if (f->memory && at > f->size) return -1;
    if (!SeekTo(*f, at)) return -1;
    return static_cast<LONG>(at);
}

MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags)
{
    MmioFile__* f = Checked(file);
    if (f == nullptr) return MMSYSERR_INVALHANDLE;
    if (chunk == nullptr) return MMSYSERR_INVALPARAM;
    const int64_t end = parent != nullptr ? int64_t{parent->dwDataOffset} + parent->cksize
                                          : std::numeric_limits<int64_t>::max();
    const FOURCC wantId = chunk->ckid;
    const FOURCC wantType = chunk->fccType;
    for (;;) {
        const int64_t at = Position(*f);
        if (at + 8 > end) return MMIOERR_CHUNKNOTFOUND;
        unsigned char header[12];
        if (ReadBytes(*f, reinterpret_cast<char*>(header), 8) != 8) return MMIOERR_CHUNKNOTFOUND;
        const FOURCC id = Read32(header);
        const DWORD size = Read32(header + 4);
        const int64_t dataOffset = at + 8;
        FOURCC type = 0;
        const bool hasType = id == FOURCC_RIFF || id == FOURCC_LIST;
        if (hasType) {
            if (ReadBytes(*f, reinterpret_cast<char*>(header + 8), 4) != 4) return MMIOERR_CHUNKNOTFOUND;
            type = Read32(header + 8);
        }
        bool match = true;
        if ((flags & MMIO_FINDCHUNK) != 0)
            match = id == wantId;
        else if ((flags & MMIO_FINDRIFF) != 0)
            match = id == FOURCC_RIFF && type == wantType;
        else if ((flags & MMIO_FINDLIST) != 0)
            match = id == FOURCC_LIST && type == wantType;
        if (match) {
            if (dataOffset > kMaxOffset) return MMIOERR_CHUNKNOTFOUND;
            chunk->ckid = id;
            chunk->cksize = size;
            chunk->fccType = type;
            chunk->dwDataOffset = static_cast<DWORD>(dataOffset);
            chunk->dwFlags = 0;
            return MMSYSERR_NOERROR;
        }
        const int64_t next = dataOffset + size + (size & 1);
        if (next > end || !SeekTo(*f, next)) return MMIOERR_CHUNKNOTFOUND;
    }
}

MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, UINT)
{
    MmioFile__* f = Checked(file);
    if (f == nullptr) return MMSYSERR_INVALHANDLE;
    if (chunk == nullptr) return MMSYSERR_INVALPARAM;
    const int64_t end = int64_t{chunk->dwDataOffset} + chunk->cksize + (chunk->cksize & 1);
    if ((f->memory && end > f->size) || !SeekTo(*f, end)) return MMIOERR_CANNOTSEEK;
    return MMSYSERR_NOERROR;
}

MMRESULT mmioGetInfo(HMMIO file, MMIOINFO* info, UINT)
{
    MmioFile__* f = Checked(file);
    if (f == nullptr) return MMSYSERR_INVALHANDLE;
    if (info == nullptr) return MMSYSERR_INVALPARAM;
    *info = f->info;
    if (!f->buffered) {
        info->cchBuffer = 0;
        info->pchBuffer = info->pchNext = info->pchEndRead = nullptr;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT mmioSetInfo(HMMIO file, const MMIOINFO* info, UINT)
{
    MmioFile__* f = Checked(file);
    if (f == nullptr) return MMSYSERR_INVALHANDLE;
    if (info == nullptr) return MMSYSERR_INVALPARAM;
    if (!f->buffered) return MMSYSERR_NOERROR;
    if (info->pchNext < f->info.pchBuffer || info->pchNext > f->info.pchEndRead) return MMSYSERR_INVALPARAM;
    f->info.pchNext = info->pchNext;
    return MMSYSERR_NOERROR;
}

MMRESULT mmioAdvance(HMMIO file, MMIOINFO* info, UINT flags)
{
    MmioFile__* f = Checked(file);
    if (f == nullptr) return MMSYSERR_INVALHANDLE;
    if (!f->buffered) return MMIOERR_UNBUFFERED;
    if ((flags & (MMIO_WRITE | MMIO_READWRITE)) != 0) return MMIOERR_CANNOTWRITE;
    if (info != nullptr) {
        MMRESULT r = mmioSetInfo(file, info, 0);
        if (r != MMSYSERR_NOERROR) return r;
    }
    MMRESULT result = MMSYSERR_NOERROR;
    if (f->memory) {
        if (f->info.pchNext == f->info.pchEndRead) result = MMIOERR_CANNOTEXPAND;
    } else {
        FillBuffer(*f, Position(*f));
    }
    if (info != nullptr) mmioGetInfo(file, info, 0);
    return result;
}
