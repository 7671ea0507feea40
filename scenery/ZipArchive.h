// Read-only zip archive reader (PKWARE format: stored and deflated entries, traditional encryption,
// data descriptors, zip64 sizes and offsets) over a file, a Win32 file handle or a memory block.
//
// Hardened against hostile archives: every size, offset, count and length the archive states is
// checked against the archive and the buffers before use, so a bad archive gives an error result and
// never a read or write outside a buffer. The CRC-32 of every extracted entry is checked when the
// entry ends. Entry names are made safe relative paths when they are described (see SafeEntryName),
// and a relative target name that climbs with ".." is refused for extraction to a file.
#pragma once

#include "platform/files.h"
#include "platform/wintypes.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Result codes of the reader.
namespace ZipResult {
constexpr uint32_t Success = 0x00000000;
constexpr uint32_t DuplicateFailed = 0x00000100;
constexpr uint32_t OpenFailed = 0x00000200;       // archive cannot be opened / directory unreadable; target file
constexpr uint32_t NoMemory = 0x00000300;
constexpr uint32_t WriteFailed = 0x00000400;
constexpr uint32_t NotFound = 0x00000500;
constexpr uint32_t MoreData = 0x00000600;         // the block is full, call again for the rest
constexpr uint32_t Corrupt = 0x00000700;          // bad local header, data beyond the archive, CRC mismatch
constexpr uint32_t ReadFailed = 0x00000800;
constexpr uint32_t PasswordRequired = 0x00001000;
constexpr uint32_t BadArguments = 0x00010000;
constexpr uint32_t NotMemoryZip = 0x00020000;
constexpr uint32_t MemoryTooSmall = 0x00030000;
constexpr uint32_t PreviousError = 0x00040000;
constexpr uint32_t AlreadyEnded = 0x00050000;
constexpr uint32_t SizeWrong = 0x00060000;
constexpr uint32_t PartlyUnzipped = 0x00070000;
constexpr uint32_t WrongKind = 0x00080000;
constexpr uint32_t NotInitialised = 0x01000000;
constexpr uint32_t Unseekable = 0x02000000;
constexpr uint32_t NoChange = 0x04000000;
constexpr uint32_t FlateError = 0x05000000;
// Argument of ZipArchive::FormatMessage for the most recent result.
constexpr uint32_t MostRecent = 0x00000001;
}  // namespace ZipResult

// What the open operations hand out: kind 1 is an archive opened for reading.
struct ZipHandle {
    uint32_t kind = 0;
    void* state = nullptr;
};

// One entry as ZipArchive::GetItem and ZipArchive::FindItem describe it.
struct ZipEntry {
    int index = 0;               // for index -1: the number of entries
    char name[MAX_PATH] = {};    // safe relative path, NUL-terminated
    uint32_t attr = 0;           // FILE_ATTRIBUTE_* values
    FILETIME atime{};
    FILETIME ctime{};
    FILETIME mtime{};
    long comp_size = 0;
    long unc_size = 0;
};

// CRC-32 of zip archives (reflected polynomial 0xEDB88320).
class ZipCrc32 {
public:
    static uint32_t Update(uint32_t crc, const uint8_t* data, size_t length);
    // One step on the pre-inverted register, as the encryption keys use it.
    static uint32_t Step(uint32_t crc, uint8_t byte);
};

// PKWARE traditional encryption, deciphering side.
class ZipCrypt {
public:
    explicit ZipCrypt(const char* password);  // null: no password bytes
    static void UpdateKeys(uint32_t keys[3], uint8_t plain);
    uint8_t DecodeByte(uint8_t cipher);
    void Decode(uint8_t* data, size_t length);

private:
    uint32_t keys_[3];
};

class ZipArchive {
public:
    static constexpr uint32_t ReadingKind = 1;
    static constexpr size_t ChunkSize = 16384;

    // Null on failure; the most recent result tells why. The password is copied. A memory archive
    // is not copied: the block must stay valid until Close. A handle must be positioned at the
    // archive's start and stays open (the caller closes it after Close).
    static ZipHandle* Open(const char* fileName, const char* password);
    static ZipHandle* OpenFromMemory(const void* block, size_t length, const char* password);
    static ZipHandle* OpenFromHandle(HANDLE file, const char* password);

    // Index -1: entry->index is the number of entries, the rest cleared. On failure the entry is
    // cleared (index 0).
    static uint32_t GetItem(ZipHandle* zip, int index, ZipEntry* entry);
    // Compares with the entries' safe names; not found: *index -1 and NotFound.
    static uint32_t FindItem(ZipHandle* zip, const char* name, bool ignoreCase, int* index, ZipEntry* entry);
    // Success when the entry ended within the block (*written, when given, is the number of bytes
    // stored by this call); MoreData when the block is full and more remains: the next call with the
    // same index continues.
    static uint32_t UnzipItemToMemory(ZipHandle* zip, int index, void* block, size_t length,
                                      size_t* written = nullptr);
    // A relative target lies under the base directory and must not climb out of it with "..". The
    // entry is written beside the target and replaces it only when all of it was read and checked,
    // so a failed extraction (a wrong password, damaged data) leaves an existing file untouched.
    static uint32_t UnzipItemToFile(ZipHandle* zip, int index, const char* target);
    static uint32_t UnzipItemToHandle(ZipHandle* zip, int index, HANDLE target);
    static uint32_t SetBaseDir(ZipHandle* zip, const char* directory);
    static uint32_t Close(ZipHandle* zip);

    // Copies at most length - 1 characters and a NUL; returns the text's full length.
    static size_t FormatMessage(uint32_t code, char* buffer, size_t length);
    static bool IsZipHandle(const ZipHandle* zip);

    // The name rules: leading drive prefixes, separators and "..\" are dropped, everything up to
    // and including an inner "\..\" is dropped, and a trailing ".." component drops the whole name,
    // so the result never reaches above the folder it is extracted to.
    static std::string SafeEntryName(std::string name);
};
