#include "scenery/ZipArchive.h"

#include "platform/wintext.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr size_t kZip64RecordSize = 56;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kEndSearchSpan = 65535;
constexpr size_t kEncryptionHeaderSize = 12;
constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr uint16_t kZip64ExtraTag = 0x0001;
constexpr uint32_t kZip64Mark32 = 0xFFFFFFFFu;
constexpr uint16_t kZip64Mark16 = 0xFFFF;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDescriptor = 0x0008;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;

// The most recent result of any operation.
std::atomic<uint32_t> lastResult {ZipResult::Success};

uint32_t Result(uint32_t code)
{
    lastResult.store(code);
    return code;
}

uint16_t Le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t Le64(const uint8_t* p)
{
    return static_cast<uint64_t>(Le32(p)) | (static_cast<uint64_t>(Le32(p + 4)) << 32);
}

// The data of the first block with the tag in an extra field; false when there is none (or the
// blocks before it do not fit the field).
bool FindExtraBlock(const uint8_t* extra, size_t length, uint16_t tag, const uint8_t** data, size_t* size)
{
    size_t pos = 0;
    while (length - pos >= 4) {
        const uint16_t blockTag = Le16(extra + pos);
        const size_t blockSize = Le16(extra + pos + 2);
        if (blockSize > length - pos - 4) return false;
        if (blockTag == tag) {
            *data = extra + pos + 4;
            *size = blockSize;
            return true;
        }
        pos += 4 + blockSize;
    }
    return false;
}

// Sizes and offsets too large for their 32-bit header fields are written as 0xFFFFFFFF there and
// given in full, in this order, in the zip64 block of the extra field: uncompressed size, compressed
// size, local header offset (null: a local header has none). False when a marked value is missing.
bool ReadZip64Values(const uint8_t* extra, size_t length, uint64_t* unc, uint64_t* comp, uint64_t* offset)
{
    uint64_t* const fields[] = {unc, comp, offset};
    bool marked = false;
    for (const uint64_t* field : fields) marked = marked || (field != nullptr && *field == kZip64Mark32);
    if (!marked) return true;
    const uint8_t* block = nullptr;
    size_t size = 0;
    if (!FindExtraBlock(extra, length, kZip64ExtraTag, &block, &size)) return false;
    // A local header's block always holds both sizes when it is there at all.
    const bool bothSizes = offset == nullptr && size >= 16;
    size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        uint64_t* field = fields[i];
        if (field == nullptr) continue;
        if (*field == kZip64Mark32) {
            if (size - at < 8) return false;
            *field = Le64(block + at);
            at += 8;
        } else if (bothSizes) {
            at += 8;
        }
    }
    return true;
}

const std::array<uint32_t, 256>& CrcTable()
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t {};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

// ---- Input ------------------------------------------------------------------------------------------

// The archive's bytes; offset 0 is the archive's start. Reads are exact: a short read fails.
class Input {
public:
    virtual ~Input() = default;
    virtual bool ReadAt(uint64_t offset, uint8_t* out, size_t count) = 0;
    uint64_t Length() const { return length_; }

protected:
    uint64_t length_ = 0;
};

class MemoryInput final : public Input {
public:
    MemoryInput(const void* block, size_t length) : data_(static_cast<const uint8_t*>(block)) { length_ = length; }

    bool ReadAt(uint64_t offset, uint8_t* out, size_t count) override
    {
        if (offset > length_ || count > length_ - offset) return false;
        if (count > 0) std::memcpy(out, data_ + offset, count);
        return true;
    }

private:
    const uint8_t* data_;
};

class HandleInput final : public Input {
public:
    HandleInput(HANDLE file, bool owned) : file_(file), owned_(owned) {}
    ~HandleInput() override
    {
        if (owned_) CloseHandle(file_);
    }

    // The current position becomes the archive's start. False when the handle cannot tell it.
    bool Start()
    {
        LONG high = 0;
        SetLastError(ERROR_SUCCESS);
        const DWORD low = SetFilePointer(file_, 0, &high, FILE_CURRENT);
        if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) return false;
        start_ = (static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) | low;
        DWORD sizeHigh = 0;
        SetLastError(ERROR_SUCCESS);
        const DWORD sizeLow = GetFileSize(file_, &sizeHigh);
        if (sizeLow == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) return false;
        const uint64_t size = (static_cast<uint64_t>(sizeHigh) << 32) | sizeLow;
        length_ = size > start_ ? size - start_ : 0;
        return true;
    }

    bool ReadAt(uint64_t offset, uint8_t* out, size_t count) override
    {
        if (offset > length_ || count > length_ - offset) return false;
        const uint64_t position = start_ + offset;
        LONG high = static_cast<LONG>(position >> 32);
        SetLastError(ERROR_SUCCESS);
        const DWORD low = SetFilePointer(file_, static_cast<LONG>(position & 0xFFFFFFFF), &high, FILE_BEGIN);
        if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) return false;
        while (count > 0) {
            const DWORD want = static_cast<DWORD>(std::min<size_t>(count, 1u << 30));
            DWORD got = 0;
            if (!ReadFile(file_, out, want, &got, nullptr) || got != want) return false;
            out += got;
            count -= got;
        }
        return true;
    }

private:
    HANDLE file_;
    bool owned_;
    uint64_t start_ = 0;
};

// ---- Central directory ------------------------------------------------------------------------------

struct CentralEntry {
    uint16_t madeBy = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc = 0;
    uint64_t compSize = 0;
    uint64_t uncSize = 0;
    uint16_t nameLength = 0;
    uint32_t externalAttributes = 0;
    uint64_t localOffset = 0;
    std::string extra;
    std::string safeName;

    bool Encrypted() const { return (flags & kFlagEncrypted) != 0; }
};

// ---- Entry reading ----------------------------------------------------------------------------------

class EntryReader {
public:
    enum class Status { Ok, Password, Data, Crc };

    EntryReader(Input& input, const CentralEntry& entry, int index, uint64_t dataStart, const char* password)
        : index_(index), input_(input), position_(dataStart), compRemaining_(entry.compSize),
          uncRemaining_(entry.uncSize), expectedCrc_(entry.crc), deflated_(entry.method == kMethodDeflated),
          crypt_(password)
    {
        if (entry.Encrypted()) {
            headerLeft_ = kEncryptionHeaderSize;
            encrypted_ = true;
            checkByte_ = (entry.flags & kFlagDescriptor) ? static_cast<uint8_t>(entry.dosTime >> 8)
                                                          : static_cast<uint8_t>(entry.crc >> 24);
        }
    }

    ~EntryReader()
    {
        if (inflating_) inflateEnd(&stream_);
    }

    EntryReader(const EntryReader&) = delete;
    EntryReader& operator=(const EntryReader&) = delete;

    bool Start()
    {
        buffer_.resize(ZipArchive::ChunkSize);
        if (!deflated_) return true;
        std::memset(&stream_, 0, sizeof(stream_));
        inflating_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK;
        return inflating_;
    }

    int Index() const { return index_; }
    bool Ended() const { return ended_; }
    bool Encrypted() const { return encrypted_; }

    // Fills out[0, length) as far as the entry goes; *produced is what was stored.
    Status Read(uint8_t* out, size_t length, size_t* produced)
    {
        *produced = 0;
        while (!ended_) {
            if (*produced == length && uncRemaining_ > 0) break;  // block full, more to come
            if (bufPos_ == bufLen_ && compRemaining_ > 0 && !Fill()) return Status::Data;

            while (headerLeft_ > 0 && bufPos_ < bufLen_) {
                const uint8_t last = buffer_[bufPos_++];
                if (--headerLeft_ == 0 && last != checkByte_) return Status::Password;
            }
            if (headerLeft_ > 0) {
                if (compRemaining_ == 0) return Status::Data;
                continue;
            }

            const size_t room = length - *produced;
            if (!deflated_) {
                const size_t n = std::min({bufLen_ - bufPos_, room, static_cast<size_t>(uncRemaining_)});
                Emit(buffer_.data() + bufPos_, out + *produced, n);
                bufPos_ += n;
                *produced += n;
                if (uncRemaining_ == 0) ended_ = true;
                else if (n == 0 && bufPos_ == bufLen_ && compRemaining_ == 0) return Status::Data;
                continue;
            }

            // Once the declared size is out, only the end of the stream may follow: any further
            // byte means the entry is longer than it says.
            uint8_t spare = 0;
            const bool declaredDone = uncRemaining_ == 0;
            const size_t outRoom = std::min<size_t>({room, uncRemaining_, std::numeric_limits<uInt>::max()});
            stream_.next_in = buffer_.data() + bufPos_;
            stream_.avail_in = static_cast<uInt>(bufLen_ - bufPos_);
            stream_.next_out = declaredDone ? &spare : out + *produced;
            stream_.avail_out = declaredDone ? 1 : static_cast<uInt>(outRoom);
            const uInt inBefore = stream_.avail_in;
            const uInt outBefore = stream_.avail_out;
            const int ret = inflate(&stream_, Z_NO_FLUSH);
            const size_t consumed = inBefore - stream_.avail_in;
            const size_t made = outBefore - stream_.avail_out;
            bufPos_ += consumed;
            if (declaredDone && made > 0) return Status::Data;
            if (!declaredDone) {
                Emit(nullptr, out + *produced, made);
                *produced += made;
            }
            if (ret == Z_STREAM_END) {
                if (uncRemaining_ != 0) return Status::Data;  // shorter than it says
                ended_ = true;
                break;
            }
            if (ret != Z_OK && ret != Z_BUF_ERROR) return Status::Data;
            if (consumed == 0 && made == 0 && (bufPos_ < bufLen_ || compRemaining_ == 0)) return Status::Data;
        }
        if (ended_ && crc_ != expectedCrc_) return Status::Crc;
        return Status::Ok;
    }

private:
    bool Fill()
    {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(ZipArchive::ChunkSize, compRemaining_));
        if (!input_.ReadAt(position_, buffer_.data(), n)) return false;
        if (encrypted_) crypt_.Decode(buffer_.data(), n);
        position_ += n;
        compRemaining_ -= n;
        bufPos_ = 0;
        bufLen_ = n;
        return true;
    }

    // Stored data is copied from `from`; inflated data is already in place (from null).
    void Emit(const uint8_t* from, uint8_t* to, size_t n)
    {
        if (n == 0) return;
        if (from != nullptr) std::memcpy(to, from, n);
        crc_ = ZipCrc32::Update(crc_, to, n);
        uncRemaining_ -= n;
    }

    int index_;
    Input& input_;
    uint64_t position_;
    uint64_t compRemaining_;
    uint64_t uncRemaining_;
    uint32_t expectedCrc_;
    uint32_t crc_ = 0;
    bool deflated_;
    bool encrypted_ = false;
    bool ended_ = false;
    size_t headerLeft_ = 0;
    uint8_t checkByte_ = 0;
    ZipCrypt crypt_;
    std::vector<uint8_t> buffer_;
    size_t bufPos_ = 0;
    size_t bufLen_ = 0;
    z_stream stream_ {};
    bool inflating_ = false;
};

// ---- Reader state -----------------------------------------------------------------------------------

struct ReaderState {
    std::unique_ptr<Input> input;
    uint64_t prefix = 0;  // bytes in front of the archive proper, added to every stored offset
    std::vector<CentralEntry> entries;
    std::unique_ptr<EntryReader> open;
    int describedIndex = -1;
    ZipEntry described;
    std::optional<std::string> password;
    char baseDir[MAX_PATH] = {};

    const char* Password() const { return password ? password->c_str() : nullptr; }
};

uint32_t CheckHandle(const ZipHandle* zip, ReaderState** state)
{
    if (zip == nullptr) return ZipResult::BadArguments;
    if (zip->kind != ZipArchive::ReadingKind) return ZipResult::WrongKind;
    if (zip->state == nullptr) return ZipResult::BadArguments;
    *state = static_cast<ReaderState*>(zip->state);
    return ZipResult::Success;
}

bool SetBase(ReaderState& state, const std::string& directory)
{
    std::string base = directory;
    if (base.empty() || (base.back() != '\\' && base.back() != '/')) base += '\\';
    if (base.size() >= MAX_PATH) return false;
    std::memcpy(state.baseDir, base.c_str(), base.size() + 1);
    return true;
}

// What the end records say about the central directory.
struct DirectoryEnd {
    uint64_t start = 0;  // where the end record (or the zip64 end record before it) starts
    uint64_t thisDisk = 0;
    uint64_t directoryDisk = 0;
    uint64_t entriesHere = 0;
    uint64_t entriesTotal = 0;
    uint64_t directorySize = 0;
    uint64_t directoryOffset = 0;
};

// The zip64 end record, when its locator lies right before the end record at recordPosition. The
// locator gives the record's offset from the archive's start, which bytes in front of the archive
// shift: the record is looked for there and where a record of the common 56-byte form would end at
// the locator, and taken only where it ends exactly at the locator.
std::optional<DirectoryEnd> ReadZip64End(Input& input, uint64_t recordPosition)
{
    if (recordPosition < kZip64LocatorSize + kZip64RecordSize) return std::nullopt;
    const uint64_t locatorPosition = recordPosition - kZip64LocatorSize;
    uint8_t locator[kZip64LocatorSize];
    if (!input.ReadAt(locatorPosition, locator, sizeof(locator))) return std::nullopt;
    if (Le32(locator) != kZip64LocatorSignature || Le32(locator + 4) != 0 || Le32(locator + 16) > 1) {
        return std::nullopt;
    }
    for (const uint64_t start : {locatorPosition - kZip64RecordSize, Le64(locator + 8)}) {
        if (start > locatorPosition || locatorPosition - start < kZip64RecordSize) continue;
        uint8_t record[kZip64RecordSize];
        if (!input.ReadAt(start, record, sizeof(record))) continue;
        if (Le32(record) != kZip64EndSignature || Le64(record + 4) != locatorPosition - start - 12) continue;
        DirectoryEnd end;
        end.start = start;
        end.thisDisk = Le32(record + 16);
        end.directoryDisk = Le32(record + 20);
        end.entriesHere = Le64(record + 24);
        end.entriesTotal = Le64(record + 32);
        end.directorySize = Le64(record + 40);
        end.directoryOffset = Le64(record + 48);
        return end;
    }
    return std::nullopt;
}

// Finds the end record within the last 64 KiB (the record and its comment) and reads the whole
// central directory, checking every header against the directory's bounds.
bool ReadDirectory(ReaderState& state)
{
    Input& input = *state.input;
    const uint64_t length = input.Length();
    if (length < kEndRecordSize) return false;
    const size_t span = static_cast<size_t>(std::min<uint64_t>(length, kEndSearchSpan));
    std::vector<uint8_t> tail(span);
    if (!input.ReadAt(length - span, tail.data(), span)) return false;

    // Scan backwards; a signature without a whole record after it is not the record.
    std::optional<size_t> found;
    for (size_t i = span - kEndRecordSize + 1; i-- > 0;) {
        if (Le32(&tail[i]) == kEndSignature) {
            found = i;
            break;
        }
    }
    if (!found) return false;
    const uint8_t* record = &tail[*found];
    const uint64_t recordPosition = length - span + *found;
    DirectoryEnd end;
    end.start = recordPosition;
    end.thisDisk = Le16(record + 4);
    end.directoryDisk = Le16(record + 6);
    end.entriesHere = Le16(record + 8);
    end.entriesTotal = Le16(record + 10);
    end.directorySize = Le32(record + 12);
    end.directoryOffset = Le32(record + 16);
    // A zip64 end record and its locator may sit between the directory and the end record (zip
    // writes them with -fz, for data read from a pipe, and for archives too large for the end
    // record's fields, which it then leaves at their all-ones marks). Its values are the whole ones;
    // the directory ends where it starts, so it is no prefix.
    const bool marked = end.entriesHere == kZip64Mark16 || end.entriesTotal == kZip64Mark16 ||
                        end.directorySize == kZip64Mark32 || end.directoryOffset == kZip64Mark32;
    if (const std::optional<DirectoryEnd> zip64 = ReadZip64End(input, recordPosition)) {
        end = *zip64;
    } else if (marked) {
        return false;
    }
    if (end.thisDisk != 0 || end.directoryDisk != 0 || end.entriesHere != end.entriesTotal) return false;
    if (end.directorySize > end.start || end.directoryOffset > end.start - end.directorySize) return false;
    const uint64_t directoryEnd = end.directoryOffset + end.directorySize;
    state.prefix = end.start - directoryEnd;
    const uint64_t directorySize = end.directorySize;
    const uint64_t entriesTotal = end.entriesTotal;

    // Every header takes 46 bytes at least: a count the directory cannot hold is refused before
    // anything is reserved for it.
    if (entriesTotal > directorySize / kCentralHeaderSize) return false;
    std::vector<uint8_t> directory(static_cast<size_t>(directorySize));
    if (!input.ReadAt(state.prefix + end.directoryOffset, directory.data(), directory.size())) return false;

    state.entries.reserve(entriesTotal);
    size_t pos = 0;
    for (uint64_t i = 0; i < entriesTotal; ++i) {
        if (directory.size() - pos < kCentralHeaderSize) return false;
        const uint8_t* h = directory.data() + pos;
        if (Le32(h) != kCentralSignature) return false;
        const size_t nameLength = Le16(h + 28);
        const size_t extraLength = Le16(h + 30);
        const size_t commentLength = Le16(h + 32);
        if (directory.size() - pos - kCentralHeaderSize < nameLength + extraLength + commentLength) return false;

        CentralEntry entry;
        entry.madeBy = Le16(h + 4);
        entry.flags = Le16(h + 8);
        entry.method = Le16(h + 10);
        entry.dosTime = Le16(h + 12);
        entry.dosDate = Le16(h + 14);
        entry.crc = Le32(h + 16);
        entry.compSize = Le32(h + 20);
        entry.uncSize = Le32(h + 24);
        entry.nameLength = static_cast<uint16_t>(nameLength);
        entry.externalAttributes = Le32(h + 38);
        entry.localOffset = Le32(h + 42);
        const char* name = reinterpret_cast<const char*>(h + kCentralHeaderSize);
        // The name as a C string, at most MAX_PATH - 1 characters.
        const auto terminated = static_cast<size_t>(std::find(name, name + nameLength, '\0') - name);
        const size_t shown = std::min<size_t>({terminated, MAX_PATH - 1});
        entry.safeName = ZipArchive::SafeEntryName(std::string(name, shown));
        entry.extra.assign(name + nameLength, extraLength);
        const auto* extra = reinterpret_cast<const uint8_t*>(entry.extra.data());
        if (!ReadZip64Values(extra, extraLength, &entry.uncSize, &entry.compSize, &entry.localOffset)) return false;
        state.entries.push_back(std::move(entry));
        pos += kCentralHeaderSize + nameLength + extraLength + commentLength;
    }
    return true;
}

// Checks the local header against the central one and finds where the data start; the data must lie
// inside the archive.
bool CheckLocalHeader(ReaderState& state, const CentralEntry& entry, uint64_t* dataStart)
{
    uint8_t h[kLocalHeaderSize];
    const uint64_t length = state.input->Length();  // the prefix lies inside it
    if (entry.localOffset > length - state.prefix) return false;
    const uint64_t offset = state.prefix + entry.localOffset;
    if (!state.input->ReadAt(offset, h, sizeof(h))) return false;
    if (Le32(h) != kLocalSignature) return false;
    const uint16_t flags = Le16(h + 6);
    const uint16_t method = Le16(h + 8);
    if (method != entry.method || (method != kMethodStored && method != kMethodDeflated)) return false;
    if (Le16(h + 26) != entry.nameLength) return false;
    if (!(flags & kFlagDescriptor)) {
        // The sizes may be in the zip64 block of the local extra field, as the central ones may.
        uint64_t compSize = Le32(h + 18);
        uint64_t uncSize = Le32(h + 22);
        if (compSize == kZip64Mark32 || uncSize == kZip64Mark32) {
            const size_t extraLength = Le16(h + 28);
            const uint64_t extraStart = offset + kLocalHeaderSize + entry.nameLength;
            if (extraStart > length || extraLength > length - extraStart) return false;
            std::vector<uint8_t> extra(extraLength);
            if (!state.input->ReadAt(extraStart, extra.data(), extra.size())) return false;
            if (!ReadZip64Values(extra.data(), extra.size(), &uncSize, &compSize, nullptr)) return false;
        }
        if (Le32(h + 14) != entry.crc || compSize != entry.compSize || uncSize != entry.uncSize) return false;
    }

    // Sizes that cannot belong together are refused before any byte is read.
    const uint64_t start = offset + kLocalHeaderSize + Le16(h + 26) + Le16(h + 28);
    if (start > length || entry.compSize > length - start) return false;
    const uint64_t header = entry.Encrypted() ? kEncryptionHeaderSize : 0;
    if (entry.compSize < header) return false;
    if (method == kMethodStored && entry.compSize - header != entry.uncSize) return false;
    // Deflate cannot expand more than 1032 to 1: a larger stated size is a lie that would only make
    // a caller allocate for it.
    if (method == kMethodDeflated && entry.uncSize > (entry.compSize - header) * kMaxDeflateRatio + 1024) return false;
    *dataStart = start;
    return true;
}

FILETIME UnixSecondsToFileTime(int32_t seconds)
{
    const auto ticks = static_cast<uint64_t>(static_cast<int64_t>(seconds) * 10000000LL + kUnixEpochTicks);
    return {static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
}

void Describe(const CentralEntry& central, int index, ZipEntry* entry)
{
    *entry = ZipEntry {};
    entry->index = index;
    std::memcpy(entry->name, central.safeName.c_str(), central.safeName.size() + 1);

    const unsigned host = central.madeBy >> 8;
    const uint32_t external = central.externalAttributes;
    bool readOnly, hidden = false, system = false, directory, archive;
    if (host == 0 || host == 7 || host == 11 || host == 14) {
        readOnly = external & 0x01;
        hidden = external & 0x02;
        system = external & 0x04;
        directory = external & 0x10;
        archive = external & 0x20;
    } else {
        directory = external & 0x40000000u;
        readOnly = !(external & 0x00800000u);
        archive = true;
    }
    entry->attr = (directory ? FILE_ATTRIBUTE_DIRECTORY : 0) | (archive ? FILE_ATTRIBUTE_ARCHIVE : 0) |
                  (hidden ? FILE_ATTRIBUTE_HIDDEN : 0) | (readOnly ? FILE_ATTRIBUTE_READONLY : 0) |
                  (system ? FILE_ATTRIBUTE_SYSTEM : 0);

    FILETIME local {};
    FILETIME utc {};
    if (DosDateTimeToFileTime(central.dosDate, central.dosTime, &local)) LocalFileTimeToFileTime(&local, &utc);
    entry->atime = entry->ctime = entry->mtime = utc;

    // Extended timestamp block: flags, then the times its bits name, as far as the block holds them.
    const std::string& extra = central.extra;
    size_t pos = 0;
    while (extra.size() - pos >= 4) {
        const auto* p = reinterpret_cast<const uint8_t*>(extra.data() + pos);
        const uint16_t tag = Le16(p);
        const size_t size = Le16(p + 2);
        if (size > extra.size() - pos - 4) break;
        if (tag == 0x5455 && size >= 1) {
            const uint8_t flags = p[4];
            size_t at = 1;
            FILETIME* targets[] = {&entry->mtime, &entry->atime, &entry->ctime};
            for (int bit = 0; bit < 3; ++bit) {
                if (!(flags & (1 << bit)) || size - at < 4) continue;
                *targets[bit] = UnixSecondsToFileTime(static_cast<int32_t>(Le32(p + 4 + at)));
                at += 4;
            }
        }
        pos += 4 + size;
    }
    entry->comp_size = static_cast<long>(central.compSize);
    entry->unc_size = static_cast<long>(central.uncSize);
}

bool OpenEntry(ReaderState& state, int index)
{
    state.open.reset();
    const CentralEntry& central = state.entries[static_cast<size_t>(index)];
    uint64_t dataStart = 0;
    if (!CheckLocalHeader(state, central, &dataStart)) return false;
    auto reader = std::make_unique<EntryReader>(*state.input, central, index, dataStart, state.Password());
    if (!reader->Start()) return false;
    state.open = std::move(reader);
    return true;
}

// Result of a failed read, after the entry was closed. An encrypted entry whose data do not inflate
// or check out was read with a wrong password that happened to pass the check byte.
uint32_t ReadFailure(ReaderState& state, EntryReader::Status status)
{
    const bool encrypted = state.open && state.open->Encrypted();
    state.open.reset();
    if (status == EntryReader::Status::Password || encrypted) return ZipResult::PasswordRequired;
    return status == EntryReader::Status::Crc ? ZipResult::Corrupt : ZipResult::FlateError;
}

bool IsAbsolute(const std::string& path)
{
    return (!path.empty() && (path[0] == '\\' || path[0] == '/')) || (path.size() >= 2 && path[1] == ':');
}

bool ClimbsOut(const std::string& path)
{
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos) end = path.size();
        if (path.compare(start, end - start, "..") == 0 && end - start == 2) return true;
        start = end + 1;
    }
    return false;
}

// Creates every missing folder of the path up to (and with `includeLast`, including) its last
// component, one level at a time.
void MakeFolders(const std::string& path, bool includeLast)
{
    size_t pos = IsAbsolute(path) && path.size() >= 2 && path[1] == ':' ? 2 : 0;
    while (true) {
        const size_t next = path.find_first_of("\\/", pos + 1);
        if (next == std::string::npos) break;
        if (next > pos + 1) CreateDirectoryA(path.substr(0, next).c_str(), nullptr);
        pos = next;
    }
    if (includeLast && !path.empty() && path.back() != '\\' && path.back() != '/') {
        CreateDirectoryA(path.c_str(), nullptr);
    }
}

uint32_t ExtractTo(ReaderState& state, int index, HANDLE target)
{
    if (!OpenEntry(state, index)) return ZipResult::Corrupt;
    std::vector<uint8_t> chunk(ZipArchive::ChunkSize);
    while (true) {
        size_t produced = 0;
        const EntryReader::Status status = state.open->Read(chunk.data(), chunk.size(), &produced);
        if (status != EntryReader::Status::Ok) return ReadFailure(state, status);
        if (produced > 0) {
            DWORD written = 0;
            if (!WriteFile(target, chunk.data(), static_cast<DWORD>(produced), &written, nullptr) ||
                written != produced) {
                state.open.reset();
                return ZipResult::WriteFailed;
            }
        }
        if (state.open->Ended()) break;
    }
    state.open.reset();
    return ZipResult::Success;
}

ZipHandle* OpenWith(std::unique_ptr<ReaderState> state)
{
    if (!ReadDirectory(*state)) {
        Result(ZipResult::OpenFailed);
        return nullptr;
    }
    auto* zip = new ZipHandle;
    zip->kind = ZipArchive::ReadingKind;
    zip->state = state.release();
    Result(ZipResult::Success);
    return zip;
}

std::unique_ptr<ReaderState> NewState(const char* password)
{
    auto state = std::make_unique<ReaderState>();
    if (password != nullptr) state->password = password;
    char current[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    SetBase(*state, length > 0 && length < MAX_PATH ? std::string(current, length) : std::string("C:\\"));
    return state;
}

}  // namespace

// ---- CRC-32 and traditional encryption ----------------------------------------------------------------

uint32_t ZipCrc32::Step(uint32_t crc, uint8_t byte)
{
    return CrcTable()[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

uint32_t ZipCrc32::Update(uint32_t crc, const uint8_t* data, size_t length)
{
    const std::array<uint32_t, 256>& table = CrcTable();
    crc = ~crc;
    for (size_t i = 0; i < length; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

ZipCrypt::ZipCrypt(const char* password) : keys_ {0x12345678u, 0x23456789u, 0x34567890u}
{
    for (const char* p = password; p != nullptr && *p != '\0'; ++p) UpdateKeys(keys_, static_cast<uint8_t>(*p));
}

void ZipCrypt::UpdateKeys(uint32_t keys[3], uint8_t plain)
{
    keys[0] = ZipCrc32::Step(keys[0], plain);
    keys[1] = (keys[1] + (keys[0] & 0xFF)) * 134775813u + 1;
    keys[2] = ZipCrc32::Step(keys[2], static_cast<uint8_t>(keys[1] >> 24));
}

uint8_t ZipCrypt::DecodeByte(uint8_t cipher)
{
    const uint32_t k = (keys_[2] & 0xFFFF) | 2;
    const auto plain = static_cast<uint8_t>(cipher ^ static_cast<uint8_t>((k * (k ^ 1)) >> 8));
    UpdateKeys(keys_, plain);
    return plain;
}

void ZipCrypt::Decode(uint8_t* data, size_t length)
{
    for (size_t i = 0; i < length; ++i) data[i] = DecodeByte(data[i]);
}

// ---- ZipArchive -------------------------------------------------------------------------------------

ZipHandle* ZipArchive::Open(const char* fileName, const char* password)
{
    if (fileName == nullptr) {
        Result(ZipResult::BadArguments);
        return nullptr;
    }
    auto state = NewState(password);
    HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Result(ZipResult::OpenFailed);
        return nullptr;
    }
    auto input = std::make_unique<HandleInput>(file, true);
    if (!input->Start()) {
        Result(ZipResult::OpenFailed);
        return nullptr;
    }
    state->input = std::move(input);
    return OpenWith(std::move(state));
}

ZipHandle* ZipArchive::OpenFromMemory(const void* block, size_t length, const char* password)
{
    if (block == nullptr && length > 0) {
        Result(ZipResult::BadArguments);
        return nullptr;
    }
    auto state = NewState(password);
    state->input = std::make_unique<MemoryInput>(block, length);
    return OpenWith(std::move(state));
}

ZipHandle* ZipArchive::OpenFromHandle(HANDLE file, const char* password)
{
    if (file == nullptr || file == INVALID_HANDLE_VALUE) {
        Result(ZipResult::BadArguments);
        return nullptr;
    }
    auto state = NewState(password);
    auto input = std::make_unique<HandleInput>(file, false);
    if (!input->Start()) {
        Result(ZipResult::Unseekable);
        return nullptr;
    }
    state->input = std::move(input);
    return OpenWith(std::move(state));
}

uint32_t ZipArchive::GetItem(ZipHandle* zip, int index, ZipEntry* entry)
{
    if (entry != nullptr) *entry = ZipEntry {};
    ReaderState* state = nullptr;
    if (const uint32_t code = CheckHandle(zip, &state); code != ZipResult::Success) return Result(code);
    if (entry == nullptr) return Result(ZipResult::BadArguments);
    const auto count = static_cast<int>(state->entries.size());
    if (index == -1) {
        entry->index = count;
        return Result(ZipResult::Success);
    }
    if (index < -1 || index >= count) return Result(ZipResult::BadArguments);
    if (state->describedIndex == index) {
        *entry = state->described;
        return Result(ZipResult::Success);
    }

    state->open.reset();
    const CentralEntry& central = state->entries[static_cast<size_t>(index)];
    uint64_t dataStart = 0;
    if (!CheckLocalHeader(*state, central, &dataStart)) return Result(ZipResult::Corrupt);
    Describe(central, index, entry);
    state->describedIndex = index;
    state->described = *entry;
    return Result(ZipResult::Success);
}

uint32_t ZipArchive::FindItem(ZipHandle* zip, const char* name, bool ignoreCase, int* index, ZipEntry* entry)
{
    if (index != nullptr) *index = -1;
    if (entry != nullptr) *entry = ZipEntry {};
    ReaderState* state = nullptr;
    if (const uint32_t code = CheckHandle(zip, &state); code != ZipResult::Success) return Result(code);
    if (name == nullptr || index == nullptr || entry == nullptr) return Result(ZipResult::BadArguments);
    for (size_t i = 0; i < state->entries.size(); ++i) {
        const std::string& candidate = state->entries[i].safeName;
        if (ignoreCase ? platform::text::IEquals(candidate, name) : candidate == name) {
            const uint32_t code = GetItem(zip, static_cast<int>(i), entry);
            if (code == ZipResult::Success) *index = static_cast<int>(i);
            return code;
        }
    }
    return Result(ZipResult::NotFound);
}

uint32_t ZipArchive::UnzipItemToMemory(ZipHandle* zip, int index, void* block, size_t length, size_t* written)
{
    if (written != nullptr) *written = 0;
    ReaderState* state = nullptr;
    if (const uint32_t code = CheckHandle(zip, &state); code != ZipResult::Success) return Result(code);
    if ((block == nullptr && length > 0) || index < 0 || static_cast<size_t>(index) >= state->entries.size()) {
        return Result(ZipResult::BadArguments);
    }
    if (!state->open || state->open->Index() != index) {
        if (!OpenEntry(*state, index)) return Result(ZipResult::Corrupt);
    }
    size_t produced = 0;
    const EntryReader::Status status = state->open->Read(static_cast<uint8_t*>(block), length, &produced);
    if (written != nullptr) *written = produced;
    if (status != EntryReader::Status::Ok) return Result(ReadFailure(*state, status));
    if (!state->open->Ended()) return Result(ZipResult::MoreData);
    state->open.reset();
    return Result(ZipResult::Success);
}

uint32_t ZipArchive::UnzipItemToFile(ZipHandle* zip, int index, const char* target)
{
    ReaderState* state = nullptr;
    if (const uint32_t code = CheckHandle(zip, &state); code != ZipResult::Success) return Result(code);
    if (target == nullptr) return Result(ZipResult::BadArguments);
    ZipEntry entry;
    if (const uint32_t code = GetItem(zip, index, &entry); code != ZipResult::Success) return code;

    // The caller may name any place outright; a relative name stays under the base directory.
    std::string path = target;
    if (!IsAbsolute(path)) {
        if (ClimbsOut(path)) return Result(ZipResult::BadArguments);
        path = state->baseDir + path;
    }
    if (entry.attr & FILE_ATTRIBUTE_DIRECTORY) {
        MakeFolders(path, true);
        const DWORD attributes = GetFileAttributesA(path.c_str());
        const bool made = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        return Result(made ? ZipResult::Success : ZipResult::OpenFailed);
    }

    MakeFolders(path, false);
    // A folder or a read-only file of that name cannot be replaced: refused before anything is read.
    const DWORD existing = GetFileAttributesA(path.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
        return Result(ZipResult::OpenFailed);
    }

    // The entry is written to a new file beside the target, which takes the target's name only once
    // the whole entry was read and its CRC-32 checked out: a wrong password or damaged data leave a
    // file already there as it was, and no half-written file behind.
    std::string temporary;
    for (int n = 0; n < 100; ++n) {
        std::string candidate = path + ".~unzip" + std::to_string(n);
        if (GetFileAttributesA(candidate.c_str()) == INVALID_FILE_ATTRIBUTES) {
            temporary = std::move(candidate);
            break;
        }
    }
    if (temporary.empty()) return Result(ZipResult::OpenFailed);
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return Result(ZipResult::OpenFailed);
    uint32_t code = ExtractTo(*state, index, file);
    if (code == ZipResult::Success) SetFileTime(file, &entry.ctime, &entry.atime, &entry.mtime);
    CloseHandle(file);
    if (code == ZipResult::Success && !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        code = ZipResult::OpenFailed;
    }
    if (code != ZipResult::Success) {
        DeleteFileA(temporary.c_str());
        return Result(code);
    }
    const DWORD attributes = entry.attr & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                           FILE_ATTRIBUTE_ARCHIVE);
    if (attributes != 0) SetFileAttributesA(path.c_str(), attributes);
    return Result(ZipResult::Success);
}

uint32_t ZipArchive::UnzipItemToHandle(ZipHandle* zip, int index, HANDLE target)
{
    ReaderState* state = nullptr;
    if (const uint32_t code = CheckHandle(zip, &state); code != ZipResult::Success) return Result(code);
    if (target == nullptr || target == INVALID_HANDLE_VALUE) return Result(ZipResult::BadArguments);
    ZipEntry entry;
    if (const uint32_t code = GetItem(zip, index, &entry); code != ZipResult::Success) return code;
    if (entry.attr & FILE_ATTRIBUTE_DIRECTORY) return Result(ZipResult::Success);
    return Result(ExtractTo(*state, index, target));
}

uint32_t ZipArchive::SetBaseDir(ZipHandle* zip, const char* directory)
{
    ReaderState* state = nullptr;
    if (const uint32_t code = CheckHandle(zip, &state); code != ZipResult::Success) return Result(code);
    if (directory == nullptr || !SetBase(*state, directory)) return Result(ZipResult::BadArguments);
    return Result(ZipResult::Success);
}

uint32_t ZipArchive::Close(ZipHandle* zip)
{
    ReaderState* state = nullptr;
    if (const uint32_t code = CheckHandle(zip, &state); code != ZipResult::Success) return Result(code);
    delete state;  // closes the entry, and the file when it was opened here
    zip->state = nullptr;
    zip->kind = 0;
    delete zip;
    return Result(ZipResult::Success);
}

size_t ZipArchive::FormatMessage(uint32_t code, char* buffer, size_t length)
{
    if (code == ZipResult::MostRecent) code = lastResult.load();
    const char* text = "unknown zip result code";
    switch (code) {
    case ZipResult::Success: text = "Success"; break;
    case ZipResult::DuplicateFailed: text = "Culdn't duplicate handle"; break;
    case ZipResult::OpenFailed: text = "Couldn't create/open file"; break;
    case ZipResult::NoMemory: text = "Failed to allocate memory"; break;
    case ZipResult::WriteFailed: text = "Error writing to file"; break;
    case ZipResult::NotFound: text = "File not found in the zipfile"; break;
    case ZipResult::MoreData: text = "Still more data to unzip"; break;
    case ZipResult::Corrupt: text = "Zipfile is corrupt or not a zipfile"; break;
    case ZipResult::ReadFailed: text = "Error reading file"; break;
    case ZipResult::PasswordRequired: text = "Correct password required"; break;
    case ZipResult::BadArguments: text = "Caller: faulty arguments"; break;
    case ZipResult::NotMemoryZip: text = "Caller: can only get memory of a memory zipfile"; break;
    case ZipResult::MemoryTooSmall: text = "Caller: not enough space allocated for memory zipfile"; break;
    case ZipResult::PreviousError: text = "Caller: there was a previous error"; break;
    case ZipResult::AlreadyEnded: text = "Caller: additions to the zip have already been ended"; break;
    case ZipResult::SizeWrong: text = "Zip-bug: the anticipated size turned out wrong"; break;
    case ZipResult::PartlyUnzipped: text = "Caller: the file had already been partially unzipped"; break;
    case ZipResult::WrongKind: text = "Caller: mixing creation and opening of zip"; break;
    case ZipResult::NotInitialised: text = "Zip-bug: internal initialisation not completed"; break;
    case ZipResult::Unseekable: text = "Zip-bug: trying to seek the unseekable"; break;
    case ZipResult::NoChange: text = "Zip-bug: tried to change mind, but not allowed"; break;
    case ZipResult::FlateError: text = "Zip-bug: an internal error during flation"; break;
    default: break;
    }
    const size_t full = std::strlen(text);
    if (buffer != nullptr && length > 0) {
        const size_t n = std::min(full, length - 1);
        std::memcpy(buffer, text, n);
        buffer[n] = '\0';
    }
    return full;
}

bool ZipArchive::IsZipHandle(const ZipHandle* zip)
{
    return zip != nullptr && zip->kind == ReadingKind;
}

std::string ZipArchive::SafeEntryName(std::string name)
{
    static constexpr const char* kClimbs[] = {"\\..\\", "\\../", "/../", "/..\\"};
    auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
    bool changed = true;
    while (changed && !name.empty()) {
        changed = false;
        if (name.size() >= 2 && name[1] == ':') {
            name.erase(0, 2);
            changed = true;
        } else if (isSeparator(name[0])) {
            name.erase(0, 1);
            changed = true;
        } else if (name.size() >= 3 && name[0] == '.' && name[1] == '.' && isSeparator(name[2])) {
            name.erase(0, 3);
            changed = true;
        } else {
            for (const char* climb : kClimbs) {
                if (const size_t at = name.find(climb); at != std::string::npos) {
                    name.erase(0, at + 4);
                    changed = true;
                    break;
                }
            }
        }
        // A name that ends by climbing (".." or "a\..") names its parent: nothing of it is safe.
        const size_t n = name.size();
        if (!changed && n >= 2 && name.compare(n - 2, 2, "..") == 0 && (n == 2 || isSeparator(name[n - 3]))) {
            name.clear();
        }
    }
    return name;
}
