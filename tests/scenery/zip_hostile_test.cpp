// The zip reader against damaged and hostile archives: every one gives an error result, none a
// crash or a read outside the archive (run under AddressSanitizer in CI).
#include "scenery/ZipArchive.h"

#include "tests/scenery/zip_fixture_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using velk::test::BuildZip;
using velk::test::ZipFixture;
using velk::test::ZipFixtureEntry;

const std::string kText = "<VELK><SimObject Name=\"Gate 4\"/></VELK>";

// Runs the program's whole road over an archive held in its own exactly sized heap block, so that
// any read past its end is caught. Returns the first failing result, or Success.
uint32_t ReadRoad(const std::string& bytes, const char* password)
{
    auto block = std::make_unique<char[]>(bytes.size() + 1);
    std::memcpy(block.get(), bytes.data(), bytes.size());
    ZipHandle* h = ZipArchive::OpenFromMemory(block.get(), bytes.size(), password);
    if (h == nullptr) return ZipResult::OpenFailed;
    ZipEntry entry;
    uint32_t result = ZipArchive::GetItem(h, -1, &entry);
    const int count = entry.index;
    for (int i = 0; i < count && result == ZipResult::Success; ++i) {
        result = ZipArchive::GetItem(h, i, &entry);
        if (result != ZipResult::Success) break;
        // The block is exactly the declared size: the reader must never write past it.
        std::vector<char> out(static_cast<size_t>(entry.unc_size));
        result = ZipArchive::UnzipItemToMemory(h, i, out.data(), out.size());
    }
    ZipArchive::Close(h);
    return result;
}

TEST(ZipHostile, EveryTruncationFailsToOpen)
{
    const ZipFixture zip = BuildZip({{"a.xml", kText, true, "pw"}, {"b.xml", kText}});
    ASSERT_EQ(ReadRoad(zip.bytes, "pw"), ZipResult::Success);
    for (size_t length = 0; length < zip.bytes.size(); ++length) {
        EXPECT_EQ(ReadRoad(zip.bytes.substr(0, length), "pw"), ZipResult::OpenFailed) << length;
    }
}

TEST(ZipHostile, EndRecordMustLieInTheLast65535Bytes)
{
    // The record is 22 bytes; with a comment of 65513 bytes it starts exactly 65535 bytes before
    // the end, one byte more and it lies outside the search.
    for (const auto& [commentLength, opens] : {std::pair {size_t {65513}, true}, std::pair {size_t {65514}, false}}) {
        const ZipFixture zip = BuildZip({{"a.xml", kText}}, std::string(commentLength, 'c'));
        EXPECT_EQ(ReadRoad(zip.bytes, nullptr), opens ? ZipResult::Success : ZipResult::OpenFailed) << commentLength;
    }
    // A signature in the comment without room for a record after it is not taken for the record.
    const ZipFixture zip = BuildZip({{"a.xml", kText}}, "PK\x05\x06 tail");
    EXPECT_EQ(ReadRoad(zip.bytes, nullptr), ZipResult::Success);
}

TEST(ZipHostile, DamagedDirectoriesAndHeadersGiveErrors)
{
    struct Case {
        const char* what;
        std::function<void(ZipFixture&)> damage;
        uint32_t result;
    };
    const size_t kCentralName = 28, kCentralExtra = 30, kCentralComment = 32, kCentralLocal = 42;
    const size_t kCompSize = 20;
    const Case cases[] = {
        {"directory offset beyond the file", [](ZipFixture& z) { z.Put32(z.end + 16, 0x7FFFFFF0); },
         ZipResult::OpenFailed},
        {"directory size beyond the file", [](ZipFixture& z) { z.Put32(z.end + 12, 0xFFFFFF00); },
         ZipResult::OpenFailed},
        {"offset plus size wraps 32 bits", [](ZipFixture& z) { z.Put32(z.end + 16, 0xFFFFFFF0); z.Put32(z.end + 12, 0x20); },
         ZipResult::OpenFailed},
        {"huge entry count", [](ZipFixture& z) { z.Put16(z.end + 8, 0xFFFF); z.Put16(z.end + 10, 0xFFFF); },
         ZipResult::OpenFailed},
        {"one entry more than the directory holds", [](ZipFixture& z) { z.Put16(z.end + 8, 3); z.Put16(z.end + 10, 3); },
         ZipResult::OpenFailed},
        {"counts disagree", [](ZipFixture& z) { z.Put16(z.end + 8, 1); }, ZipResult::OpenFailed},
        {"second disk", [](ZipFixture& z) { z.Put16(z.end + 4, 1); }, ZipResult::OpenFailed},
        {"name length beyond the record", [&](ZipFixture& z) { z.Put16(z.central[1] + kCentralName, 0xFFFF); },
         ZipResult::OpenFailed},
        {"extra length beyond the record", [&](ZipFixture& z) { z.Put16(z.central[0] + kCentralExtra, 0x4000); },
         ZipResult::OpenFailed},
        {"comment length beyond the record", [&](ZipFixture& z) { z.Put16(z.central[1] + kCentralComment, 40); },
         ZipResult::OpenFailed},
        {"central signature wrong", [&](ZipFixture& z) { z.bytes[z.central[1]] = 'X'; }, ZipResult::OpenFailed},
        {"local header offset beyond the file", [&](ZipFixture& z) { z.Put32(z.central[0] + kCentralLocal, 0xFFFFFFF0); },
         ZipResult::Corrupt},
        {"local header offset near the end", [&](ZipFixture& z) {
             z.Put32(z.central[0] + kCentralLocal, static_cast<uint32_t>(z.bytes.size() - 10)); },
         ZipResult::Corrupt},
        {"compressed size beyond the file", [&](ZipFixture& z) {
             z.Put32(z.central[0] + kCompSize, 0x7FFFFFFF); z.Put32(z.local[0] + 18, 0x7FFFFFFF); },
         ZipResult::Corrupt},
        {"local signature wrong", [&](ZipFixture& z) { z.bytes[z.local[0] + 2] = 'x'; }, ZipResult::Corrupt},
        {"local and central sizes differ", [&](ZipFixture& z) { z.Put32(z.local[0] + 22, 1); }, ZipResult::Corrupt},
        {"local name length differs", [&](ZipFixture& z) { z.Put16(z.local[0] + 26, 4); }, ZipResult::Corrupt},
        {"unknown method", [&](ZipFixture& z) { z.Put16(z.local[0] + 8, 12); z.Put16(z.central[0] + 10, 12); },
         ZipResult::Corrupt},
        {"local extra length pushes data beyond the file", [&](ZipFixture& z) { z.Put16(z.local[0] + 28, 0xFFFF); },
         ZipResult::Corrupt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZipFixture zip = BuildZip({{"a.xml", kText, true}, {"b.xml", kText}});
        c.damage(zip);
        EXPECT_EQ(ReadRoad(zip.bytes, nullptr), c.result);
    }
}

TEST(ZipHostile, DataThatDoNotMatchTheirHeadersAreErrors)
{
    struct Case {
        const char* what;
        bool deflate;
        const char* password;
        std::function<void(ZipFixture&)> damage;
        uint32_t result;
    };
    auto setCrc = [](ZipFixture& z, uint32_t crc) {
        z.Put32(z.local[0] + 14, crc);
        z.Put32(z.central[0] + 16, crc);
    };
    auto setUnc = [](ZipFixture& z, uint32_t size) {
        z.Put32(z.local[0] + 22, size);
        z.Put32(z.central[0] + 24, size);
    };
    auto setComp = [](ZipFixture& z, uint32_t size) {
        z.Put32(z.local[0] + 18, size);
        z.Put32(z.central[0] + 20, size);
    };
    const size_t data = 30 + 5;  // after the local header and the name "a.xml"
    const uint32_t crc = velk::test::FixtureCrc(kText);
    const auto length = static_cast<uint32_t>(kText.size());
    const Case cases[] = {
        {"stored, CRC wrong", false, nullptr, [&](ZipFixture& z) { setCrc(z, crc ^ 1); }, ZipResult::Corrupt},
        {"deflated, CRC wrong", true, nullptr, [&](ZipFixture& z) { setCrc(z, crc ^ 0x100); }, ZipResult::Corrupt},
        {"stored, a data byte changed", false, nullptr, [&](ZipFixture& z) { z.bytes[z.local[0] + data + 3] ^= 0x20; },
         ZipResult::Corrupt},
        {"deflated, stream damaged", true, nullptr, [&](ZipFixture& z) { z.bytes[z.local[0] + data] = '\xFF'; },
         ZipResult::FlateError},
        {"deflated, says shorter than it is", true, nullptr, [&](ZipFixture& z) { setUnc(z, length - 5); },
         ZipResult::FlateError},
        {"deflated, says longer than it is", true, nullptr, [&](ZipFixture& z) { setUnc(z, length + 5); },
         ZipResult::FlateError},
        {"deflated, stream cut short", true, nullptr, [&](ZipFixture& z) {
             const uint32_t comp = static_cast<uint32_t>(z.central[0] - z.local[0] - data);  // nothing follows but the directory
             setComp(z, comp - 3); },
         ZipResult::FlateError},
        {"deflated, says more than deflate can expand to", true, nullptr, [&](ZipFixture& z) { setUnc(z, 0x7FFFFFFF); },
         ZipResult::Corrupt},
        {"stored, sizes disagree", false, nullptr, [&](ZipFixture& z) { setUnc(z, length - 1); }, ZipResult::Corrupt},
        {"encrypted, shorter than its header", false, "pw", [&](ZipFixture& z) { setComp(z, 11); setUnc(z, 0); },
         ZipResult::Corrupt},
        {"encrypted, CRC wrong but check byte right", false, "pw", [&](ZipFixture& z) {
             // The check byte is the CRC's high byte: change only its low byte.
             setCrc(z, crc ^ 0x01); },
         ZipResult::PasswordRequired},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZipFixture zip = BuildZip({{"a.xml", kText, c.deflate, c.password}});
        c.damage(zip);
        EXPECT_EQ(ReadRoad(zip.bytes, c.password), c.result);
    }
}

TEST(ZipHostile, CrcMismatchIsReportedAfterAPartialRead)
{
    const std::string data(1000, 'q');
    ZipFixture zip = BuildZip({{"a.xml", data}});
    zip.Put32(zip.local[0] + 14, 0x12345678);
    zip.Put32(zip.central[0] + 16, 0x12345678);
    ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), nullptr);
    ASSERT_NE(h, nullptr);
    char block[600];
    EXPECT_EQ(ZipArchive::UnzipItemToMemory(h, 0, block, sizeof(block)), ZipResult::MoreData);
    EXPECT_EQ(ZipArchive::UnzipItemToMemory(h, 0, block, sizeof(block)), ZipResult::Corrupt);
    ZipArchive::Close(h);
}

uint32_t Get32(const std::string& bytes, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return v;
}

void Put64(ZipFixture& z, size_t at, uint64_t v)
{
    z.Put32(at, static_cast<uint32_t>(v & 0xFFFFFFFF));
    z.Put32(at + 4, static_cast<uint32_t>(v >> 32));
}

// Two entries whose central headers leave sizes and local header offsets at their all-ones marks and
// give them in zip64 blocks (after an extended timestamp block), behind a zip64 end record whose end
// record holds only marks: what a zip tool writes for archives past 4 GiB, made small.
struct Zip64Fields {
    ZipFixture zip;
    std::vector<size_t> block;  // offset of each zip64 block's values (unc, comp, local offset)
    size_t record = 0;          // offset of the zip64 end record
};

Zip64Fields Zip64FieldsArchive()
{
    std::vector<ZipFixtureEntry> entries {{"a.xml", kText, true, "pw", true}, {"b.xml", kText + kText}};
    const ZipFixture plain = BuildZip(entries, "", "", true);
    for (size_t i = 0; i < entries.size(); ++i) {
        std::string extra = velk::test::ModificationTimeExtra(1600000000);
        velk::test::Add16(extra, 0x0001);
        velk::test::Add16(extra, 24);
        for (const size_t field : {24, 20, 42}) {  // uncompressed size, compressed size, local header offset
            velk::test::Add32(extra, Get32(plain.bytes, plain.central[i] + field));
            velk::test::Add32(extra, 0);
        }
        entries[i].centralExtra = extra;
    }
    Zip64Fields out;
    out.zip = BuildZip(entries, "", "", true);
    ZipFixture& z = out.zip;
    for (size_t i = 0; i < entries.size(); ++i) {
        for (const size_t field : {20, 24, 42}) z.Put32(z.central[i] + field, 0xFFFFFFFF);
        out.block.push_back(z.central[i] + 46 + entries[i].name.size() + 9 + 4);
    }
    z.Put16(z.end + 8, 0xFFFF);
    z.Put16(z.end + 10, 0xFFFF);
    z.Put32(z.end + 12, 0xFFFFFFFF);
    z.Put32(z.end + 16, 0xFFFFFFFF);
    out.record = z.end - 20 - 56;
    return out;
}

TEST(ZipHostile, Zip64FieldsAreReadAndCheckedLikeTheOthers)
{
    {
        const Zip64Fields good = Zip64FieldsArchive();
        ASSERT_EQ(ReadRoad(good.zip.bytes, "pw"), ZipResult::Success);
        ZipHandle* h = ZipArchive::OpenFromMemory(good.zip.bytes.data(), good.zip.bytes.size(), "pw");
        ASSERT_NE(h, nullptr);
        ZipEntry entry;
        ASSERT_EQ(ZipArchive::GetItem(h, 1, &entry), ZipResult::Success);
        EXPECT_STREQ(entry.name, "b.xml");
        EXPECT_EQ(entry.unc_size, static_cast<long>(2 * kText.size()));
        EXPECT_EQ(entry.comp_size, static_cast<long>(2 * kText.size()));
        std::string out(2 * kText.size(), '\0');
        EXPECT_EQ(ZipArchive::UnzipItemToMemory(h, 1, out.data(), out.size()), ZipResult::Success);
        EXPECT_EQ(out, kText + kText);
        ZipArchive::Close(h);
    }

    struct Case {
        const char* what;
        std::function<void(Zip64Fields&)> damage;
        uint32_t result;
    };
    const Case cases[] = {
        {"zip64 block missing", [](Zip64Fields& f) { f.zip.Put16(f.block[1] - 4, 0x7777); }, ZipResult::OpenFailed},
        {"zip64 block too short for the marked values", [](Zip64Fields& f) { f.zip.Put16(f.block[1] - 2, 16); },
         ZipResult::OpenFailed},
        {"zip64 block longer than the extra field",
         [](Zip64Fields& f) { f.zip.Put16(f.block[1] - 2, 200); }, ZipResult::OpenFailed},
        {"block before the zip64 block longer than the extra field",
         [](Zip64Fields& f) { f.zip.Put16(f.block[0] - 4 - 9 + 2, 200); }, ZipResult::OpenFailed},
        {"local header offset far beyond the file", [](Zip64Fields& f) { Put64(f.zip, f.block[1] + 16, 1ULL << 62); },
         ZipResult::Corrupt},
        {"local header offset at the all-ones mark of 64 bits",
         [](Zip64Fields& f) { Put64(f.zip, f.block[0] + 16, ~0ULL); }, ZipResult::Corrupt},
        // The first entry has a data descriptor, so its local header states no sizes to compare with.
        {"compressed size far beyond the file", [](Zip64Fields& f) { Put64(f.zip, f.block[0] + 8, 1ULL << 40); },
         ZipResult::Corrupt},
        {"uncompressed size far beyond what deflate makes",
         [](Zip64Fields& f) { Put64(f.zip, f.block[0], 1ULL << 40); }, ZipResult::Corrupt},
        {"compressed size differs from the local header's",
         [](Zip64Fields& f) { Put64(f.zip, f.block[1] + 8, 2 * kText.size() + 1); }, ZipResult::Corrupt},
        {"stored sizes disagree", [](Zip64Fields& f) { Put64(f.zip, f.block[1], 2 * kText.size() + 1); },
         ZipResult::Corrupt},
        {"end record marked but no zip64 end record",
         [](Zip64Fields& f) { f.zip.bytes[f.zip.end - 20] = 'X'; }, ZipResult::OpenFailed},
        {"zip64 end record signature wrong", [](Zip64Fields& f) { f.zip.bytes[f.record + 1] = 'X'; },
         ZipResult::OpenFailed},
        {"zip64 end record size wrong", [](Zip64Fields& f) { Put64(f.zip, f.record + 4, 45); }, ZipResult::OpenFailed},
        {"zip64 entry counts disagree", [](Zip64Fields& f) { Put64(f.zip, f.record + 24, 1); }, ZipResult::OpenFailed},
        {"zip64 entry count huge",
         [](Zip64Fields& f) { Put64(f.zip, f.record + 24, 1ULL << 60); Put64(f.zip, f.record + 32, 1ULL << 60); },
         ZipResult::OpenFailed},
        {"zip64 directory size huge", [](Zip64Fields& f) { Put64(f.zip, f.record + 40, 1ULL << 62); },
         ZipResult::OpenFailed},
        {"zip64 directory offset plus size wraps 64 bits",
         [](Zip64Fields& f) { Put64(f.zip, f.record + 48, ~0ULL - 8); }, ZipResult::OpenFailed},
        {"zip64 directory on a second disk", [](Zip64Fields& f) { f.zip.Put32(f.record + 20, 1); },
         ZipResult::OpenFailed},
        {"locator names a second disk", [](Zip64Fields& f) { f.zip.Put32(f.zip.end - 20 + 4, 1); },
         ZipResult::OpenFailed},
        {"locator counts three disks", [](Zip64Fields& f) { f.zip.Put32(f.zip.end - 20 + 16, 3); },
         ZipResult::OpenFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Zip64Fields fields = Zip64FieldsArchive();
        c.damage(fields);
        EXPECT_EQ(ReadRoad(fields.zip.bytes, "pw"), c.result);
    }

    // Local headers that put their sizes in zip64 blocks (as zip does writing to a file it can seek
    // back in) are checked against the central ones all the same.
    ZipFixture streamed = BuildZip({{"a.xml", kText, true}});
    const uint32_t comp = Get32(streamed.bytes, streamed.local[0] + 18);
    std::string local = streamed.bytes.substr(0, 30) + "a.xml";
    std::string block;
    velk::test::Add16(block, 0x0001);
    velk::test::Add16(block, 16);
    for (const uint64_t v : {static_cast<uint64_t>(kText.size()), static_cast<uint64_t>(comp)}) {
        velk::test::Add32(block, static_cast<uint32_t>(v));
        velk::test::Add32(block, 0);
    }
    struct LocalCase {
        const char* what;
        std::function<void(std::string&)> damage;
        uint32_t result;
    };
    const LocalCase localCases[] = {
        {"as written", [](std::string&) {}, ZipResult::Success},
        {"uncompressed size differs", [](std::string& b) { b[4] = static_cast<char>(b[4] + 1); }, ZipResult::Corrupt},
        {"compressed size differs", [](std::string& b) { b[12] = static_cast<char>(b[12] + 1); }, ZipResult::Corrupt},
        {"zip64 block missing", [](std::string& b) { b[0] = 0x55; }, ZipResult::Corrupt},
        {"zip64 block too short", [](std::string& b) { b[2] = 8; }, ZipResult::Corrupt},
    };
    for (const LocalCase& c : localCases) {
        SCOPED_TRACE(std::string("local zip64 block: ") + c.what);
        std::string damagedBlock = block;
        c.damage(damagedBlock);
        // The same archive with a 20-byte local extra field: shift every offset by it.
        ZipFixture zip = streamed;
        zip.Put32(zip.local[0] + 18, 0xFFFFFFFF);
        zip.Put32(zip.local[0] + 22, 0xFFFFFFFF);
        zip.Put16(zip.local[0] + 28, static_cast<uint16_t>(damagedBlock.size()));
        zip.bytes.insert(zip.local[0] + 30 + 5, damagedBlock);
        zip.end += damagedBlock.size();
        zip.Put32(zip.end + 16, Get32(zip.bytes, zip.end + 16) + static_cast<uint32_t>(damagedBlock.size()));
        EXPECT_EQ(ReadRoad(zip.bytes, nullptr), c.result);
    }
}

TEST(ZipHostile, RandomDamageNeverCrashes)
{
    const ZipFixture original = BuildZip({{"a.xml", kText + kText, true, "pw"},
                                          {"b.xml", std::string(3000, 'b'), true},
                                          {"c.xml", kText, false, "pw", true}});
    uint32_t x = 2024;
    auto next = [&x] {
        x = x * 1664525u + 1013904223u;
        return x >> 8;
    };
    int opened = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = original.bytes;
        const int flips = 1 + static_cast<int>(next() % 4);
        for (int i = 0; i < flips; ++i) bytes[next() % bytes.size()] = static_cast<char>(next());
        if (ReadRoad(bytes, "pw") != ZipResult::OpenFailed) ++opened;
    }
    EXPECT_GT(opened, 0);  // damage inside the entries reaches the extraction code
}

}  // namespace
