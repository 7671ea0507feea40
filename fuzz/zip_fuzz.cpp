// Any bytes as a zip archive, the way an SDX container reaches the program: a file of the machine
// opened with the password its name gives. The same bytes are opened from memory too, and both must
// list and extract the same. Every entry is listed and extracted whole, in small blocks and (the first one)
// to a file; then the container goes through the SDX reader.
//
// Checks: the count fits the archive; names are safe relative paths ending within their field; a
// stated size that deflate cannot reach is refused before extraction; an extraction never stores more
// than the stated size and ends with exactly that size or fails; a failed extraction to a file leaves
// the file there as it was, and nothing beside it.
#include "scenery/SceneryFileRegistry.h"
#include "scenery/ZipArchive.h"

#include "fuzz/fuzz_support.h"
#include "fuzz/quiet_log.h"

#include <log4cpp/Category.hh>
#include <log4cpp/Priority.hh>
#include <tinyxml2.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kCentralHeaderSize = 46;
constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr int kMaxEntries = 32;
constexpr size_t kMaxChunkCalls = 4096;
const char kPrevious[] = "the file that was there before";

log4cpp::Category& QuietLog()
{
    return velk_fuzz::QuietLog("VELK.FUZZ.ZIP");
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A name the reader hands out: terminated within its field, relative, never climbing with "..".
void CheckSafeName(const ZipEntry& entry)
{
    const size_t length = strnlen(entry.name, MAX_PATH);
    VELK_FUZZ_CHECK(length < MAX_PATH);
    if (length == 0) return;
    VELK_FUZZ_CHECK(!IsSeparator(entry.name[0]));
    VELK_FUZZ_CHECK(length < 2 || entry.name[1] != ':');
    size_t start = 0;
    while (start <= length) {
        size_t end = start;
        while (end < length && !IsSeparator(entry.name[end])) ++end;
        VELK_FUZZ_CHECK(!(end - start == 2 && entry.name[start] == '.' && entry.name[start + 1] == '.'));
        start = end + 1;
    }
}

bool SameEntry(const ZipEntry& a, const ZipEntry& b)
{
    return a.index == b.index && std::strcmp(a.name, b.name) == 0 && a.attr == b.attr &&
           a.comp_size == b.comp_size && a.unc_size == b.unc_size &&
           std::memcmp(&a.mtime, &b.mtime, sizeof a.mtime) == 0;
}

struct Extracted {
    uint32_t result = ZipResult::Success;
    Bytes bytes;
};

// The entry in one call, into a block of exactly its stated size (the sanitizer sees a write past it).
Extracted WholeToMemory(ZipHandle* zip, int index, size_t stated)
{
    Extracted out;
    out.bytes.resize(stated);
    size_t written = 0;
    out.result = ZipArchive::UnzipItemToMemory(zip, index, out.bytes.data(), out.bytes.size(), &written);
    VELK_FUZZ_CHECK(written <= stated);
    VELK_FUZZ_CHECK(out.result != ZipResult::MoreData);  // the block holds the whole stated size
    if (out.result == ZipResult::Success) VELK_FUZZ_CHECK(written == stated);
    return out;
}

// The entry in chunks of `chunk` bytes each, after a call with an empty block.
Extracted ChunksToMemory(ZipHandle* zip, int index, size_t stated, size_t chunk)
{
    Extracted out;
    size_t written = 1;
    out.result = ZipArchive::UnzipItemToMemory(zip, index, nullptr, 0, &written);
    VELK_FUZZ_CHECK(written == 0);
    Bytes block(chunk);
    for (size_t calls = 0; out.result == ZipResult::MoreData; ++calls) {
        // More calls than the stated size allows: the reader keeps saying "more".
        if (calls == kMaxChunkCalls) velk_fuzz::Fail("extraction never ends", __FILE__, __LINE__);
        out.result = ZipArchive::UnzipItemToMemory(zip, index, block.data(), block.size(), &written);
        VELK_FUZZ_CHECK(written <= chunk);
        out.bytes.insert(out.bytes.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(written));
        VELK_FUZZ_CHECK(out.bytes.size() <= stated);
    }
    if (out.result == ZipResult::Success) VELK_FUZZ_CHECK(out.bytes.size() == stated);
    return out;
}

std::string ReadHost(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The entry to a file that already exists: replaced only by a whole, checked entry.
void ToFile(ZipHandle* zip, int index, const ZipEntry& entry, const Extracted& memory)
{
    const std::filesystem::path target = velk_fuzz::ScratchFolder() / "out.bin";
    std::error_code ignored;
    std::filesystem::remove_all(target, ignored);  // the last run may have left it read-only
    velk_fuzz::WriteScratchFile("out.bin", reinterpret_cast<const uint8_t*>(kPrevious), sizeof kPrevious - 1);

    const uint32_t result = ZipArchive::UnzipItemToFile(zip, index, target.string().c_str());
    VELK_FUZZ_CHECK(!std::filesystem::exists(target.string() + ".~unzip0"));
    const std::string now = ReadHost(target);
    if (result == ZipResult::Success) {
        VELK_FUZZ_CHECK(!(entry.attr & FILE_ATTRIBUTE_DIRECTORY));  // a folder cannot replace the file
        VELK_FUZZ_CHECK(memory.result == ZipResult::Success);
        VELK_FUZZ_CHECK(now.size() == memory.bytes.size());
        VELK_FUZZ_CHECK(std::memcmp(now.data(), memory.bytes.data(), now.size()) == 0);
    } else {
        VELK_FUZZ_CHECK(now == kPrevious);
    }
    std::filesystem::remove_all(target, ignored);
}

// True when the first entry extracted whole.
bool CheckEntries(ZipHandle* fromFile, ZipHandle* fromMemory, size_t archiveSize, uint8_t chunkByte)
{
    bool firstWhole = false;
    ZipEntry fileCount, memoryCount;
    VELK_FUZZ_CHECK(ZipArchive::GetItem(fromFile, -1, &fileCount) == ZipResult::Success);
    VELK_FUZZ_CHECK(ZipArchive::GetItem(fromMemory, -1, &memoryCount) == ZipResult::Success);
    const int count = fileCount.index;
    VELK_FUZZ_CHECK(count == memoryCount.index);
    VELK_FUZZ_CHECK(count >= 0 && static_cast<size_t>(count) <= archiveSize / kCentralHeaderSize);

    ZipEntry outside;
    VELK_FUZZ_CHECK(ZipArchive::GetItem(fromFile, count, &outside) == ZipResult::BadArguments);
    VELK_FUZZ_CHECK(outside.index == 0 && outside.name[0] == '\0');

    for (int i = 0; i < count && i < kMaxEntries; ++i) {
        ZipEntry a, b;
        const uint32_t listed = ZipArchive::GetItem(fromFile, i, &a);
        VELK_FUZZ_CHECK(listed == ZipArchive::GetItem(fromMemory, i, &b));
        VELK_FUZZ_CHECK(SameEntry(a, b));
        if (listed != ZipResult::Success) {
            VELK_FUZZ_CHECK(a.index == 0 && a.name[0] == '\0');
            VELK_FUZZ_CHECK(ZipArchive::UnzipItemToMemory(fromMemory, i, nullptr, 0) != ZipResult::Success);
            continue;
        }
        VELK_FUZZ_CHECK(a.index == i);
        CheckSafeName(a);
        VELK_FUZZ_CHECK(a.comp_size >= 0 && static_cast<size_t>(a.comp_size) <= archiveSize);
        VELK_FUZZ_CHECK(a.unc_size >= 0);
        const auto stated = static_cast<size_t>(a.unc_size);
        VELK_FUZZ_CHECK(stated <= static_cast<uint64_t>(a.comp_size) * kMaxDeflateRatio + 1024);

        // The first entry of that name is found by it.
        if (a.name[0] != '\0') {
            int found = -1;
            ZipEntry byName;
            const uint32_t code = ZipArchive::FindItem(fromFile, a.name, false, &found, &byName);
            if (code == ZipResult::Success) {
                VELK_FUZZ_CHECK(found >= 0 && found <= i);
                VELK_FUZZ_CHECK(std::strcmp(byName.name, a.name) == 0);
            } else {
                VELK_FUZZ_CHECK(found == -1 && code == ZipResult::Corrupt);  // an earlier one of that name
            }
        }

        const Extracted whole = WholeToMemory(fromMemory, i, stated);
        // Chunks small enough to cut the entry often, but never more calls than the bound allows.
        size_t chunk = 1 + chunkByte % 700;
        if (stated / chunk >= kMaxChunkCalls - 2) chunk = stated / (kMaxChunkCalls - 2) + 1;
        const Extracted chunks = ChunksToMemory(fromFile, i, stated, chunk);
        VELK_FUZZ_CHECK(whole.result == chunks.result);
        if (whole.result == ZipResult::Success) VELK_FUZZ_CHECK(whole.bytes == chunks.bytes);
        if (i == 0) {
            ToFile(fromFile, i, a, whole);
            firstWhole = whole.result == ZipResult::Success;
        }
    }
    return firstWhole;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static log4cpp::Category& log = QuietLog();
    // The SDX password comes from the file's name: "input.sdx" gives "VELK-SDX/input".
    const std::string path = velk_fuzz::WriteScratchFile("input.sdx", data, size);
    const std::string password = SceneryFileRegistry::SdxPassword(path);
    const uint8_t chunkByte = size == 0 ? 0 : data[size - 1];

    ZipHandle* fromFile = ZipArchive::Open(path.c_str(), password.c_str());
    ZipHandle* fromMemory = ZipArchive::OpenFromMemory(size == 0 ? nullptr : data, size, password.c_str());
    VELK_FUZZ_CHECK((fromFile == nullptr) == (fromMemory == nullptr));
    int count = 0;
    bool firstWhole = false;
    if (fromFile != nullptr) {
        ZipEntry counted;
        ZipArchive::GetItem(fromFile, -1, &counted);
        count = counted.index;
        firstWhole = CheckEntries(fromFile, fromMemory, size, chunkByte);
        VELK_FUZZ_CHECK(ZipArchive::Close(fromFile) == ZipResult::Success);
        VELK_FUZZ_CHECK(ZipArchive::Close(fromMemory) == ZipResult::Success);
    }

    // The SDX reader parses only a container of one entry that extracts whole.
    static SceneryFileRegistry registry(log);
    tinyxml2::XMLDocument document;
    const int32_t result = registry.OpenSdxFile(path, document, "input.sdx");
    if (result == 0) VELK_FUZZ_CHECK(count == 1 && firstWhole);
    return 0;
}
