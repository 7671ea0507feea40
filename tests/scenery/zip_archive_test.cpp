// The zip reader: opening, listing, finding, extraction to memory, files and handles, passwords,
// result texts.
#include "scenery/ZipArchive.h"

#include "platform/files.h"
#include "tests/scenery/zip_fixture_writer.h"
#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using velk::test::BuildZip;
using velk::test::ZipFixture;
using velk::test::ZipFixtureEntry;

constexpr char kPassword[] = "Qx7-tower.sdx";
const std::string kXml = "<?xml version=\"1.0\"?>\n<VELK><SimObject Name=\"Stand 12\"/></VELK>\n";

// Data that deflate cannot shrink much, so the compressed entry spans several 16384-byte chunks.
std::string NoisyText(size_t size)
{
    std::string s(size, '\0');
    uint32_t x = 12345;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>('!' + (x >> 16) % 90);
    }
    return s;
}

std::string UnzipAll(ZipHandle* zip, int index, uint32_t* result)
{
    ZipEntry entry;
    *result = ZipArchive::GetItem(zip, index, &entry);
    if (*result != ZipResult::Success) return {};
    std::string out(static_cast<size_t>(entry.unc_size), '\0');
    *result = ZipArchive::UnzipItemToMemory(zip, index, out.data(), out.size());
    return out;
}

class ZipArchiveTest : public testsupport::MachineRootTest {
protected:
    // Writes the archive into the machine and returns its Windows path.
    std::string Store(const std::string& relative, const std::string& bytes)
    {
        MakeFile("c/" + relative, bytes);
        std::string path = "C:\\" + relative;
        for (char& c : path) c = c == '/' ? '\\' : c;
        return path;
    }
};

// ---- The program's road: open by name, one entry, its size, unzip to memory, close -------------------

TEST_F(ZipArchiveTest, ReadsEveryKindOfEntryByFileNameAndFromMemory)
{
    struct Case {
        const char* what;
        bool deflate;
        const char* password;
        bool descriptor;
        std::string data;
    };
    const Case cases[] = {
        {"stored", false, nullptr, false, kXml},
        {"deflated", true, nullptr, false, kXml},
        {"stored, encrypted", false, kPassword, false, kXml},
        {"deflated, encrypted", true, kPassword, false, kXml},
        {"deflated, encrypted, data descriptor", true, kPassword, true, kXml},
        {"stored, data descriptor", false, nullptr, true, kXml},
        {"deflated over several chunks, encrypted", true, kPassword, false, NoisyText(100000)},
        {"stored over several chunks", false, nullptr, false, NoisyText(40000)},
        {"empty, deflated, encrypted", true, kPassword, false, ""},
        {"empty, stored", false, nullptr, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZipFixtureEntry e {"placement.xml", c.data, c.deflate, c.password, c.descriptor};
        const ZipFixture zip = BuildZip({e});
        const std::string path = Store("sdx/test.sdx", zip.bytes);

        for (bool fromMemory : {false, true}) {
            SCOPED_TRACE(fromMemory ? "memory" : "file");
            ZipHandle* h = fromMemory ? ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), c.password)
                                      : ZipArchive::Open(path.c_str(), c.password);
            ASSERT_NE(h, nullptr);
            EXPECT_TRUE(ZipArchive::IsZipHandle(h));
            ZipEntry entry;
            ASSERT_EQ(ZipArchive::GetItem(h, -1, &entry), ZipResult::Success);
            EXPECT_EQ(entry.index, 1);
            EXPECT_STREQ(entry.name, "");
            ASSERT_EQ(ZipArchive::GetItem(h, 0, &entry), ZipResult::Success);
            EXPECT_EQ(entry.index, 0);
            EXPECT_STREQ(entry.name, "placement.xml");
            EXPECT_EQ(entry.unc_size, static_cast<long>(c.data.size()));
            EXPECT_EQ(entry.attr, FILE_ATTRIBUTE_ARCHIVE);

            std::string out(c.data.size(), '\0');
            size_t written = 99;
            EXPECT_EQ(ZipArchive::UnzipItemToMemory(h, 0, out.data(), out.size(), &written), ZipResult::Success);
            EXPECT_EQ(written, c.data.size());
            EXPECT_TRUE(out == c.data);
            EXPECT_EQ(ZipArchive::Close(h), ZipResult::Success);
        }
    }
}

TEST_F(ZipArchiveTest, FailedOpenIsNullWithTheReasonAsMostRecentResult)
{
    const ZipFixture zip = BuildZip({{"a.xml", kXml}});
    Store("sdx/good.sdx", zip.bytes);
    Store("sdx/not-a-zip.sdx", std::string(2000, 'x'));
    Store("sdx/tiny.sdx", "PK");
    Store("sdx/empty.sdx", "");
    struct Case {
        const char* path;
        uint32_t result;
    };
    const Case cases[] = {
        {"C:\\sdx\\missing.sdx", ZipResult::OpenFailed},
        {"C:\\nofolder\\good.sdx", ZipResult::OpenFailed},
        {"C:\\sdx", ZipResult::OpenFailed},
        {"C:\\sdx\\not-a-zip.sdx", ZipResult::OpenFailed},
        {"C:\\sdx\\tiny.sdx", ZipResult::OpenFailed},
        {"C:\\sdx\\empty.sdx", ZipResult::OpenFailed},
        {nullptr, ZipResult::BadArguments},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path ? c.path : "null");
        EXPECT_EQ(ZipArchive::Open(c.path, nullptr), nullptr);
        char text[64];
        ZipArchive::FormatMessage(ZipResult::MostRecent, text, sizeof(text));
        EXPECT_STREQ(text, c.result == ZipResult::OpenFailed ? "Couldn't create/open file" : "Caller: faulty arguments");
    }
    // The good archive opens by a name spelled in another case, as on Windows.
    ZipHandle* h = ZipArchive::Open("c:\\SDX\\GOOD.SDX", nullptr);
    ASSERT_NE(h, nullptr);
    ZipArchive::Close(h);
}

TEST_F(ZipArchiveTest, OpensFromAHandleAtItsPositionAndLeavesItOpen)
{
    const ZipFixture zip = BuildZip({{"a.xml", kXml, true}});
    const std::string path = Store("blob.bin", "HEADER--" + zip.bytes);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_EQ(SetFilePointer(file, 8, nullptr, FILE_BEGIN), 8u);

    ZipHandle* h = ZipArchive::OpenFromHandle(file, nullptr);
    ASSERT_NE(h, nullptr);
    uint32_t result = 0;
    EXPECT_EQ(UnzipAll(h, 0, &result), kXml);
    EXPECT_EQ(result, ZipResult::Success);
    EXPECT_EQ(ZipArchive::Close(h), ZipResult::Success);
    EXPECT_NE(GetFileSize(file, nullptr), INVALID_FILE_SIZE) << "the caller's handle stays open";
    EXPECT_TRUE(CloseHandle(file));

    // A handle that is not a file cannot tell its position.
    WIN32_FIND_DATAA found;
    HANDLE listing = FindFirstFileA("C:\\*", &found);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ZipArchive::OpenFromHandle(listing, nullptr), nullptr);
    char text[64];
    ZipArchive::FormatMessage(ZipResult::MostRecent, text, sizeof(text));
    EXPECT_STREQ(text, "Zip-bug: trying to seek the unseekable");
    FindClose(listing);
    EXPECT_EQ(ZipArchive::OpenFromHandle(nullptr, nullptr), nullptr);
}

TEST_F(ZipArchiveTest, BytesInFrontOfTheArchiveAreSkippedAsAPrefix)
{
    const ZipFixture zip = BuildZip({{"a.xml", kXml, true, kPassword}}, "comment", std::string(300, 'S'));
    ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), kPassword);
    ASSERT_NE(h, nullptr);
    uint32_t result = 0;
    EXPECT_EQ(UnzipAll(h, 0, &result), kXml);
    EXPECT_EQ(result, ZipResult::Success);
    ZipArchive::Close(h);
}

TEST_F(ZipArchiveTest, Zip64EndRecordBeforeTheEndRecordIsNoPrefix)
{
    for (const std::string prefix : {"", "STUB"}) {
        SCOPED_TRACE(prefix);
        const ZipFixture zip = BuildZip({{"-", kXml, true, kPassword, true}}, "", prefix, true);
        ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), kPassword);
        ASSERT_NE(h, nullptr);
        uint32_t result = 0;
        EXPECT_EQ(UnzipAll(h, 0, &result), kXml);
        EXPECT_EQ(result, ZipResult::Success);
        ZipArchive::Close(h);
    }
}

// ---- Archives made by the zip tool (fixtures/zip; its README says how each was made) -------------------

std::string ToolFixturePath(const std::string& name)
{
    return std::string(VELK_TEST_SOURCE_DIR) + "/fixtures/zip/" + name;
}

std::string ReadToolFixture(const std::string& name)
{
    std::ifstream in(ToolFixturePath(name), std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ToolArchive {
    const char* file;
    const char* how;
    const char* name;      // as the tool stored it ("-" for standard input)
    const char* password;  // the one it was made with
    long compSize;
    bool zip64End;         // a zip64 end record sits before the end record
};

const ToolArchive kToolArchives[] = {
    {"zip64.zip", "zip -fz: sizes in zip64 blocks, directory offset in the zip64 end record", "placement.xml",
     nullptr, 298, true},
    {"zip64_stored.zip", "zip -fz -0: stored", "placement.xml", nullptr, 1684, true},
    {"zip64_password.zip", "zip -fz -P: encrypted, data descriptor", "placement.xml", kPassword, 310, true},
    {"streamed.zip", "cat | zip - - | cat: zip64 data descriptor", "-", nullptr, 298, false},
    {"streamed_password.zip", "cat | zip -P - - | cat: encrypted, zip64 data descriptor", "-", kPassword, 310,
     false},
    {"streamed_to_file.zip", "cat | zip - - > file: local sizes only in the zip64 block", "-", nullptr, 298, true},
    {"password.zip", "zip -P: encrypted, data descriptor", "placement.xml", kPassword, 310, false},
};

TEST_F(ZipArchiveTest, ReadsArchivesMadeByTheZipTool)
{
    const std::string expected = ReadToolFixture("placement.xml");
    ASSERT_EQ(expected.size(), 1684u);
    for (const ToolArchive& c : kToolArchives) {
        SCOPED_TRACE(std::string(c.file) + " (" + c.how + ")");
        const std::string bytes = ReadToolFixture(c.file);
        for (bool fromMemory : {false, true}) {
            SCOPED_TRACE(fromMemory ? "memory" : "file");
            const std::string path = ToolFixturePath(c.file);
            ZipHandle* h = fromMemory ? ZipArchive::OpenFromMemory(bytes.data(), bytes.size(), c.password)
                                      : ZipArchive::Open(path.c_str(), c.password);
            ASSERT_NE(h, nullptr);
            ZipEntry entry;
            ASSERT_EQ(ZipArchive::GetItem(h, -1, &entry), ZipResult::Success);
            EXPECT_EQ(entry.index, 1);
            ASSERT_EQ(ZipArchive::GetItem(h, 0, &entry), ZipResult::Success);
            EXPECT_STREQ(entry.name, c.name);
            EXPECT_EQ(entry.unc_size, 1684);
            EXPECT_EQ(entry.comp_size, c.compSize);
            uint32_t result = 0;
            EXPECT_TRUE(UnzipAll(h, 0, &result) == expected);
            EXPECT_EQ(result, ZipResult::Success);
            ZipArchive::Close(h);
        }
        if (c.password != nullptr) {
            ZipHandle* h = ZipArchive::OpenFromMemory(bytes.data(), bytes.size(), "qx7-tower.sdx");
            ASSERT_NE(h, nullptr);
            uint32_t result = 0;
            UnzipAll(h, 0, &result);
            EXPECT_EQ(result, ZipResult::PasswordRequired);
            ZipArchive::Close(h);
        }
    }
}

TEST_F(ZipArchiveTest, ToolArchivesKeepTheirTimesAndExtractToFiles)
{
    // zip64.zip holds an extended timestamp block beside its zip64 block: 2024-05-01 12:00:00 UTC.
    const std::string bytes = ReadToolFixture("zip64.zip");
    ZipHandle* h = ZipArchive::OpenFromMemory(bytes.data(), bytes.size(), nullptr);
    ASSERT_NE(h, nullptr);
    ZipEntry entry;
    ASSERT_EQ(ZipArchive::GetItem(h, 0, &entry), ZipResult::Success);
    const uint64_t ticks = (static_cast<uint64_t>(entry.mtime.dwHighDateTime) << 32) | entry.mtime.dwLowDateTime;
    EXPECT_EQ(ticks, 1714564800ULL * 10000000ULL + 116444736000000000ULL);
    MakeFolder("c/Out");
    ASSERT_EQ(ZipArchive::SetBaseDir(h, "C:\\Out"), ZipResult::Success);
    EXPECT_EQ(ZipArchive::UnzipItemToFile(h, 0, entry.name), ZipResult::Success);
    EXPECT_TRUE(ReadHost("c/Out/placement.xml") == ReadToolFixture("placement.xml"));
    ZipArchive::Close(h);
}

TEST_F(ZipArchiveTest, BytesInFrontOfAToolMadeZip64ArchiveAreAPrefix)
{
    // The zip64 end record's locator counts from the archive's start, not the file's.
    const std::string expected = ReadToolFixture("placement.xml");
    for (const ToolArchive& c : kToolArchives) {
        if (!c.zip64End) continue;
        SCOPED_TRACE(c.file);
        const std::string bytes = std::string(777, 'S') + ReadToolFixture(c.file);
        ZipHandle* h = ZipArchive::OpenFromMemory(bytes.data(), bytes.size(), c.password);
        ASSERT_NE(h, nullptr);
        uint32_t result = 0;
        EXPECT_TRUE(UnzipAll(h, 0, &result) == expected);
        EXPECT_EQ(result, ZipResult::Success);
        ZipArchive::Close(h);
    }
}

// ---- Passwords ----------------------------------------------------------------------------------------

TEST_F(ZipArchiveTest, EveryWrongPasswordIsRefusedNeverReadAsData)
{
    // About one wrong password in 256 passes the check byte; the CRC-32 (stored) and the inflater
    // (deflated) must catch those, so all of these fail with the password error.
    for (bool deflate : {false, true}) {
        SCOPED_TRACE(deflate ? "deflated" : "stored");
        const ZipFixture zip = BuildZip({{"a.xml", kXml, deflate, kPassword}});
        int passedCheckByte = 0;
        for (int i = 0; i < 1500; ++i) {
            const std::string wrong = "guess" + std::to_string(i);
            ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), wrong.c_str());
            ASSERT_NE(h, nullptr);
            std::string out(kXml.size(), '\0');
            const uint32_t result = ZipArchive::UnzipItemToMemory(h, 0, out.data(), out.size());
            ASSERT_EQ(result, ZipResult::PasswordRequired) << wrong;
            // Which wrong passwords got past the twelfth byte, computed as the format defines it.
            ZipCrypt crypt(wrong.c_str());
            std::string header = zip.bytes.substr(zip.local[0] + 30 + 5, 12);
            crypt.Decode(reinterpret_cast<uint8_t*>(header.data()), header.size());
            if (static_cast<uint8_t>(header[11]) == static_cast<uint8_t>(velk::test::FixtureCrc(kXml) >> 24)) {
                ++passedCheckByte;
            }
            ZipArchive::Close(h);
        }
        EXPECT_GT(passedCheckByte, 0) << "the sample must include passwords that pass the check byte";
    }

    const ZipFixture zip = BuildZip({{"a.xml", kXml, true, kPassword}});
    for (const char* password : {static_cast<const char*>(nullptr), "", "qx7-tower.sdx", "Qx7-tower.sd"}) {
        ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), password);
        ASSERT_NE(h, nullptr);
        uint32_t result = 0;
        UnzipAll(h, 0, &result);
        EXPECT_EQ(result, ZipResult::PasswordRequired) << (password ? password : "none");
        ZipArchive::Close(h);
    }
}

TEST_F(ZipArchiveTest, PasswordIsCopiedAtOpen)
{
    const ZipFixture zip = BuildZip({{"a.xml", kXml, true, kPassword}});
    char password[32];
    std::strcpy(password, kPassword);
    ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), password);
    ASSERT_NE(h, nullptr);
    std::memset(password, 'z', sizeof(password) - 1);
    uint32_t result = 0;
    EXPECT_EQ(UnzipAll(h, 0, &result), kXml);
    EXPECT_EQ(result, ZipResult::Success);
    ZipArchive::Close(h);
}

// ---- Listing and finding ------------------------------------------------------------------------------

TEST_F(ZipArchiveTest, GetItemIndexRulesAndHandleChecks)
{
    const ZipFixture zip = BuildZip({{"a.xml", kXml}});
    ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), nullptr);
    ASSERT_NE(h, nullptr);
    struct Case {
        int index;
        uint32_t result;
        int entryIndex;
    };
    const Case cases[] = {
        {-1, ZipResult::Success, 1}, {0, ZipResult::Success, 0}, {-2, ZipResult::BadArguments, 0},
        {1, ZipResult::BadArguments, 0}, {-1000, ZipResult::BadArguments, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        ZipEntry entry;
        entry.index = 77;
        EXPECT_EQ(ZipArchive::GetItem(h, c.index, &entry), c.result);
        EXPECT_EQ(entry.index, c.entryIndex);
    }
    EXPECT_EQ(ZipArchive::GetItem(h, 0, nullptr), ZipResult::BadArguments);
    ZipArchive::Close(h);
}

TEST_F(ZipArchiveTest, NullAndForeignHandlesAreRefusedByEveryOperation)
{
    ZipHandle foreign;
    foreign.kind = 2;  // what a zip being created would be
    char block[8];
    int index = 5;
    ZipEntry entry;
    struct Case {
        ZipHandle* handle;
        uint32_t result;
    };
    for (const Case& c : {Case {nullptr, ZipResult::BadArguments}, Case {&foreign, ZipResult::WrongKind}}) {
        SCOPED_TRACE(c.result);
        entry.index = 9;
        EXPECT_EQ(ZipArchive::GetItem(c.handle, -1, &entry), c.result);
        EXPECT_EQ(entry.index, 0);
        EXPECT_EQ(ZipArchive::FindItem(c.handle, "a.xml", false, &index, &entry), c.result);
        EXPECT_EQ(index, -1);
        EXPECT_EQ(ZipArchive::UnzipItemToMemory(c.handle, 0, block, sizeof(block)), c.result);
        EXPECT_EQ(ZipArchive::UnzipItemToFile(c.handle, 0, "a.xml"), c.result);
        EXPECT_EQ(ZipArchive::UnzipItemToHandle(c.handle, 0, nullptr), c.result);
        EXPECT_EQ(ZipArchive::SetBaseDir(c.handle, "C:\\x"), c.result);
        EXPECT_EQ(ZipArchive::Close(c.handle), c.result);
        EXPECT_FALSE(ZipArchive::IsZipHandle(c.handle));
    }
    EXPECT_EQ(foreign.kind, 2u);
}

TEST_F(ZipArchiveTest, FindItemComparesSafeNamesWithTheCaseRuleAsked)
{
    const ZipFixture zip = BuildZip({{"Cfg/Tower.xml", "one"}, {"..\\Evil.XML", "two"}, {"readme.txt", "three"}});
    ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), nullptr);
    ASSERT_NE(h, nullptr);
    struct Case {
        const char* name;
        bool ignoreCase;
        uint32_t result;
        int index;
    };
    const Case cases[] = {
        {"Cfg/Tower.xml", false, ZipResult::Success, 0},
        {"cfg/tower.XML", false, ZipResult::NotFound, -1},
        {"cfg/tower.XML", true, ZipResult::Success, 0},
        {"Evil.XML", false, ZipResult::Success, 1},  // found by the name it is described with
        {"..\\Evil.XML", true, ZipResult::NotFound, -1},
        {"Cfg\\Tower.xml", true, ZipResult::NotFound, -1},
        {"readme", true, ZipResult::NotFound, -1},
        {"", true, ZipResult::NotFound, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int index = 42;
        ZipEntry entry;
        EXPECT_EQ(ZipArchive::FindItem(h, c.name, c.ignoreCase, &index, &entry), c.result);
        EXPECT_EQ(index, c.index);
        if (c.index >= 0) {
            EXPECT_EQ(entry.index, c.index);
        }
    }
    int index = 0;
    ZipEntry entry;
    EXPECT_EQ(ZipArchive::FindItem(h, nullptr, true, &index, &entry), ZipResult::BadArguments);
    ZipArchive::Close(h);
}

TEST_F(ZipArchiveTest, AttributesAndTimesAsDescribed)
{
    ZipFixtureEntry fat {"fat.txt", "x"};
    fat.external = 0x01 | 0x02 | 0x04 | 0x20;  // read-only, hidden, system, archive
    ZipFixtureEntry fatFolder {"folder/", ""};
    fatFolder.external = 0x10;
    ZipFixtureEntry unixFile {"unix.txt", "x"};
    unixFile.madeBy = 0x031E;
    unixFile.external = 0100644u << 16;
    ZipFixtureEntry unixReadOnly {"unix-ro.txt", "x"};
    unixReadOnly.madeBy = 0x031E;
    unixReadOnly.external = 0100444u << 16;
    ZipFixtureEntry unixFolder {"unix-dir/", ""};
    unixFolder.madeBy = 0x031E;
    unixFolder.external = (040755u << 16) | 0x10;
    ZipFixtureEntry stamped {"stamped.txt", "x"};
    stamped.centralExtra = std::string("\x99\x99\x02\x00zz", 6) + velk::test::ModificationTimeExtra(1700000000);
    ZipFixtureEntry badDate {"bad-date.txt", "x"};
    badDate.dosDate = 0;

    const ZipFixture zip = BuildZip({fat, fatFolder, unixFile, unixReadOnly, unixFolder, stamped, badDate});
    ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), nullptr);
    ASSERT_NE(h, nullptr);
    const uint32_t expected[] = {
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE,
        FILE_ATTRIBUTE_DIRECTORY,
        FILE_ATTRIBUTE_ARCHIVE,
        FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY,
        FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_DIRECTORY,
        FILE_ATTRIBUTE_ARCHIVE,
        FILE_ATTRIBUTE_ARCHIVE,
    };
    for (int i = 0; i < 7; ++i) {
        ZipEntry entry;
        ASSERT_EQ(ZipArchive::GetItem(h, i, &entry), ZipResult::Success);
        EXPECT_EQ(entry.attr, expected[i]) << entry.name;
    }

    // DOS time, local to UTC, for all three times.
    FILETIME local {};
    FILETIME utc {};
    ASSERT_TRUE(DosDateTimeToFileTime(fat.dosDate, fat.dosTime, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
    ZipEntry entry;
    ASSERT_EQ(ZipArchive::GetItem(h, 0, &entry), ZipResult::Success);
    for (const FILETIME& t : {entry.mtime, entry.atime, entry.ctime}) {
        EXPECT_EQ(t.dwLowDateTime, utc.dwLowDateTime);
        EXPECT_EQ(t.dwHighDateTime, utc.dwHighDateTime);
    }
    // The extended timestamp gives the modification time in Unix seconds; the others stay DOS.
    ASSERT_EQ(ZipArchive::GetItem(h, 5, &entry), ZipResult::Success);
    const uint64_t ticks = 1700000000ULL * 10000000ULL + 116444736000000000ULL;
    EXPECT_EQ(entry.mtime.dwLowDateTime, static_cast<DWORD>(ticks & 0xFFFFFFFF));
    EXPECT_EQ(entry.mtime.dwHighDateTime, static_cast<DWORD>(ticks >> 32));
    EXPECT_EQ(entry.atime.dwLowDateTime, utc.dwLowDateTime);
    // An impossible DOS date reads as time 0 instead of garbage.
    ASSERT_EQ(ZipArchive::GetItem(h, 6, &entry), ZipResult::Success);
    EXPECT_EQ(entry.mtime.dwLowDateTime, 0u);
    EXPECT_EQ(entry.mtime.dwHighDateTime, 0u);
    ZipArchive::Close(h);
}

// ---- Extraction to memory in parts --------------------------------------------------------------------

TEST_F(ZipArchiveTest, BlockSmallerThanTheEntryContinuesWithTheSameIndex)
{
    const std::string data = NoisyText(100);
    for (bool deflate : {false, true}) {
        SCOPED_TRACE(deflate ? "deflated" : "stored");
        const ZipFixture zip = BuildZip({{"a.xml", data, deflate, kPassword}, {"b.xml", "other"}});
        ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), kPassword);
        ASSERT_NE(h, nullptr);
        char block[60];
        size_t written = 0;
        EXPECT_EQ(ZipArchive::UnzipItemToMemory(h, 0, block, 60, &written), ZipResult::MoreData);
        EXPECT_EQ(std::string(block, written), data.substr(0, 60));
        EXPECT_EQ(ZipArchive::UnzipItemToMemory(h, 0, block, 60, &written), ZipResult::Success);
        EXPECT_EQ(std::string(block, written), data.substr(60));

        // Describing another entry closes the half-read one: the next call starts over.
        EXPECT_EQ(ZipArchive::UnzipItemToMemory(h, 0, block, 60, &written), ZipResult::MoreData);
        ZipEntry entry;
        EXPECT_EQ(ZipArchive::GetItem(h, 1, &entry), ZipResult::Success);
        EXPECT_EQ(ZipArchive::UnzipItemToMemory(h, 0, block, 60, &written), ZipResult::MoreData);
        EXPECT_EQ(std::string(block, written), data.substr(0, 60));
        ZipArchive::Close(h);  // with an entry still open
    }
}

TEST_F(ZipArchiveTest, OddBlockSizesReassembleALargeEntry)
{
    const std::string data = NoisyText(70000) + std::string(50000, 'a');
    const ZipFixture zip = BuildZip({{"big.xml", data, true, kPassword}});
    for (size_t blockSize : {1u, 999u, 16384u, 16385u}) {
        SCOPED_TRACE(blockSize);
        ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), kPassword);
        ASSERT_NE(h, nullptr);
        std::string out;
        std::vector<char> block(blockSize);
        uint32_t result = ZipResult::MoreData;
        int calls = 0;
        while (result == ZipResult::MoreData && calls < 200000) {
            size_t written = 0;
            result = ZipArchive::UnzipItemToMemory(h, 0, block.data(), block.size(), &written);
            out.append(block.data(), written);
            ++calls;
        }
        EXPECT_EQ(result, ZipResult::Success);
        EXPECT_TRUE(out == data);
        ZipArchive::Close(h);
    }
}

TEST_F(ZipArchiveTest, MemoryArgumentsAreChecked)
{
    const ZipFixture zip = BuildZip({{"a.xml", kXml}, {"empty.xml", ""}});
    ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), nullptr);
    ASSERT_NE(h, nullptr);
    char block[4];
    EXPECT_EQ(ZipArchive::UnzipItemToMemory(h, -1, block, sizeof(block)), ZipResult::BadArguments);
    EXPECT_EQ(ZipArchive::UnzipItemToMemory(h, 2, block, sizeof(block)), ZipResult::BadArguments);
    EXPECT_EQ(ZipArchive::UnzipItemToMemory(h, 0, nullptr, 10), ZipResult::BadArguments);
    EXPECT_EQ(ZipArchive::UnzipItemToMemory(h, 0, nullptr, 0), ZipResult::MoreData);
    EXPECT_EQ(ZipArchive::UnzipItemToMemory(h, 1, nullptr, 0), ZipResult::Success);
    ZipArchive::Close(h);
    EXPECT_EQ(ZipArchive::OpenFromMemory(nullptr, 10, nullptr), nullptr);
    EXPECT_EQ(ZipArchive::OpenFromMemory(nullptr, 0, nullptr), nullptr);
}

// ---- Entry names --------------------------------------------------------------------------------------

TEST(ZipEntryNames, AreCutToSafeRelativePaths)
{
    struct Case {
        const char* raw;
        const char* safe;
    };
    const Case cases[] = {
        {"placement.xml", "placement.xml"},
        {"sub/dir/a.xml", "sub/dir/a.xml"},
        {"..\\..\\evil\\x.xml", "evil\\x.xml"},
        {"D:\\a\\b.xml", "a\\b.xml"},
        {"\\\\server\\x.xml", "server\\x.xml"},
        {"/etc/passwd", "etc/passwd"},
        {"../../../etc/passwd", "etc/passwd"},
        {"a/b/../../../c.xml", "c.xml"},
        {"a\\../b.xml", "b.xml"},
        {"a/..\\b.xml", "b.xml"},
        {"C:..\\x.xml", "x.xml"},
        {"C:D:/x.xml", "x.xml"},
        {"..", ""},
        {"a/..", ""},
        {"a\\b\\..", ""},
        {"C:", ""},
        {"...\\x", "...\\x"},
        {"a..b/c", "a..b/c"},
        {"x/..y/z", "x/..y/z"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ZipArchive::SafeEntryName(c.raw), c.safe) << c.raw;
    }
}

TEST_F(ZipArchiveTest, LongNamesAreCutTo259Characters)
{
    const std::string longName = std::string(300, 'n') + ".xml";
    const ZipFixture zip = BuildZip({{longName, "data"}});
    ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), nullptr);
    ASSERT_NE(h, nullptr);
    ZipEntry entry;
    ASSERT_EQ(ZipArchive::GetItem(h, 0, &entry), ZipResult::Success);
    EXPECT_EQ(std::strlen(entry.name), 259u);
    ZipArchive::Close(h);
}

// ---- Extraction to files and handles ------------------------------------------------------------------

TEST_F(ZipArchiveTest, ExtractsByDescribedNameUnderTheBaseDirectory)
{
    ZipFixtureEntry plain {"cfg/tower.xml", kXml, true, kPassword};
    plain.centralExtra = velk::test::ModificationTimeExtra(1600000000);
    ZipFixtureEntry climbing {"..\\..\\evil\\x.xml", "evil", false, kPassword};
    ZipFixtureEntry absolute {"D:\\a\\b.xml", "abs", true, kPassword};
    ZipFixtureEntry rooted {"/etc/passwd", "root", false, kPassword};
    ZipFixtureEntry folder {"empty/folder/", ""};
    folder.external = 0x10;
    ZipFixtureEntry readOnly {"ro.txt", "locked", false, kPassword};
    readOnly.external = 0x21;
    const ZipFixture zip = BuildZip({plain, climbing, absolute, rooted, folder, readOnly});
    MakeFolder("c/Out");
    ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), kPassword);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ZipArchive::SetBaseDir(h, "C:\\Out"), ZipResult::Success);

    struct Case {
        const char* host;  // where it must land, below the machine root
        std::string data;
    };
    const Case cases[] = {
        {"c/Out/cfg/tower.xml", kXml}, {"c/Out/evil/x.xml", "evil"}, {"c/Out/a/b.xml", "abs"},
        {"c/Out/etc/passwd", "root"},  {"c/Out/empty/folder", ""},   {"c/Out/ro.txt", "locked"},
    };
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(cases[i].host);
        ZipEntry entry;
        ASSERT_EQ(ZipArchive::GetItem(h, i, &entry), ZipResult::Success);
        EXPECT_EQ(ZipArchive::UnzipItemToFile(h, i, entry.name), ZipResult::Success);
        if (i == 4) {
            EXPECT_TRUE(std::filesystem::is_directory(Host(cases[i].host)));
        } else {
            EXPECT_EQ(ReadHost(cases[i].host), cases[i].data);
        }
    }
    // Nothing landed outside the base directory.
    EXPECT_FALSE(std::filesystem::exists(Host("c/evil")));
    EXPECT_FALSE(std::filesystem::exists(Host("evil")));
    EXPECT_FALSE(std::filesystem::exists(Host("d")));
    EXPECT_FALSE(std::filesystem::exists(Host("c/etc")));

    // The entry's attributes and modification time are given to the file.
    EXPECT_EQ(GetFileAttributesA("C:\\Out\\ro.txt"), FILE_ATTRIBUTE_READONLY);
    struct stat info {};
    ASSERT_EQ(::stat(Host("c/Out/cfg/tower.xml").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1600000000);
    ZipArchive::Close(h);
}

TEST_F(ZipArchiveTest, TargetsThatClimbOutOfTheBaseDirectoryAreRefused)
{
    const ZipFixture zip = BuildZip({{"a.xml", kXml}});
    MakeFolder("c/Base/inner");
    ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), nullptr);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ZipArchive::SetBaseDir(h, "C:\\Base\\inner\\"), ZipResult::Success);
    for (const char* target : {"..\\a.xml", "../a.xml", "x\\..\\..\\a.xml", "..", "inner/../../a.xml"}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(ZipArchive::UnzipItemToFile(h, 0, target), ZipResult::BadArguments);
    }
    EXPECT_FALSE(std::filesystem::exists(Host("c/Base/a.xml")));
    EXPECT_FALSE(std::filesystem::exists(Host("c/a.xml")));
    // A target the caller names outright is taken as it is; without a base directory set the
    // current directory "C:\" is the base.
    EXPECT_EQ(ZipArchive::UnzipItemToFile(h, 0, "C:\\Elsewhere\\deep\\a.xml"), ZipResult::Success);
    EXPECT_EQ(ReadHost("c/Elsewhere/deep/a.xml"), kXml);
    ZipArchive::Close(h);

    h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ZipArchive::UnzipItemToFile(h, 0, "top.xml"), ZipResult::Success);
    EXPECT_EQ(ReadHost("c/top.xml"), kXml);
    EXPECT_EQ(ZipArchive::UnzipItemToFile(h, 0, nullptr), ZipResult::BadArguments);
    EXPECT_EQ(ZipArchive::SetBaseDir(h, nullptr), ZipResult::BadArguments);
    EXPECT_EQ(ZipArchive::SetBaseDir(h, std::string(259, 'a').c_str()), ZipResult::BadArguments);
    ZipArchive::Close(h);
}

TEST_F(ZipArchiveTest, ExtractionFailuresReportAndLeaveNoFile)
{
    const ZipFixture zip = BuildZip({{"a.xml", kXml, true, kPassword}});
    MakeFolder("c/Out");
    ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), "wrong");
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ZipArchive::SetBaseDir(h, "C:\\Out"), ZipResult::Success);
    EXPECT_EQ(ZipArchive::UnzipItemToFile(h, 0, "a.xml"), ZipResult::PasswordRequired);
    EXPECT_FALSE(std::filesystem::exists(Host("c/Out/a.xml")));
    // A target the file system refuses.
    MakeFolder("c/Out/taken");
    EXPECT_EQ(ZipArchive::UnzipItemToFile(h, 0, "taken"), ZipResult::OpenFailed);
    EXPECT_EQ(ZipArchive::UnzipItemToFile(h, 0, "bad*name.xml"), ZipResult::OpenFailed);
    ZipArchive::Close(h);
}

// A file already at the target keeps every byte unless the entry was read whole and checked: the
// entry goes to a file beside it first, and nothing of that is left behind.
TEST_F(ZipArchiveTest, FailedExtractionLeavesAFileAlreadyThereAsItWas)
{
    const std::string precious = "precious settings that must survive\n";
    ZipFixture damaged = BuildZip({{"a.xml", kXml, false}});
    const uint32_t wrongCrc = velk::test::FixtureCrc(kXml) ^ 0x00010000u;
    damaged.Put32(damaged.local[0] + 14, wrongCrc);
    damaged.Put32(damaged.central[0] + 16, wrongCrc);
    struct Case {
        const char* what;
        std::string archive;
        const char* password;
        uint32_t result;
    };
    const Case cases[] = {
        {"wrong password", BuildZip({{"a.xml", kXml, true, kPassword}}).bytes, "wrong", ZipResult::PasswordRequired},
        {"no password", BuildZip({{"a.xml", kXml, false, kPassword}}).bytes, nullptr, ZipResult::PasswordRequired},
        {"wrong password, archive made by zip -P", ReadToolFixture("password.zip"), "Qx7-tower.sdX",
         ZipResult::PasswordRequired},
        {"CRC-32 does not check out", damaged.bytes, nullptr, ZipResult::Corrupt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Host("c/Out"));
        MakeFile("c/Out/a.xml", precious);
        ZipHandle* h = ZipArchive::OpenFromMemory(c.archive.data(), c.archive.size(), c.password);
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(ZipArchive::SetBaseDir(h, "C:\\Out"), ZipResult::Success);
        EXPECT_EQ(ZipArchive::UnzipItemToFile(h, 0, "a.xml"), c.result);
        EXPECT_EQ(ReadHost("c/Out/a.xml"), precious);
        // The same through an absolute target.
        EXPECT_EQ(ZipArchive::UnzipItemToFile(h, 0, "C:\\Out\\a.xml"), c.result);
        EXPECT_EQ(ReadHost("c/Out/a.xml"), precious);
        ZipArchive::Close(h);
        std::vector<std::string> names;
        for (const auto& item : std::filesystem::directory_iterator(Host("c/Out"))) {
            names.push_back(item.path().filename().string());
        }
        EXPECT_EQ(names, std::vector<std::string> {"a.xml"});
    }

    // The right password replaces the file, and leaves nothing else beside it either.
    std::filesystem::remove_all(Host("c/Out"));
    MakeFile("c/Out/a.xml", precious);
    MakeFile("c/Out/a.xml.~unzip0", "somebody else's file");
    ZipFixtureEntry readOnly {"a.xml", kXml, true, kPassword};
    readOnly.external = 0x21;
    const ZipFixture zip = BuildZip({readOnly});
    ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), kPassword);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ZipArchive::SetBaseDir(h, "C:\\Out"), ZipResult::Success);
    EXPECT_EQ(ZipArchive::UnzipItemToFile(h, 0, "a.xml"), ZipResult::Success);
    EXPECT_EQ(ReadHost("c/Out/a.xml"), kXml);
    EXPECT_EQ(GetFileAttributesA("C:\\Out\\a.xml"), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ReadHost("c/Out/a.xml.~unzip0"), "somebody else's file");
    size_t count = 0;
    for ([[maybe_unused]] const auto& item : std::filesystem::directory_iterator(Host("c/Out"))) ++count;
    EXPECT_EQ(count, 2u);
    // Now read-only, the file is not replaced, and stays as it is.
    EXPECT_EQ(ZipArchive::UnzipItemToFile(h, 0, "a.xml"), ZipResult::OpenFailed);
    EXPECT_EQ(ReadHost("c/Out/a.xml"), kXml);
    ZipArchive::Close(h);
}

TEST_F(ZipArchiveTest, ExtractsToAHandle)
{
    const std::string data = NoisyText(50000);
    ZipFixtureEntry folder {"dir/", ""};
    folder.external = 0x10;
    const ZipFixture zip = BuildZip({{"a.xml", data, true, kPassword}, folder});
    ZipHandle* h = ZipArchive::OpenFromMemory(zip.bytes.data(), zip.bytes.size(), kPassword);
    ASSERT_NE(h, nullptr);

    HANDLE out = CreateFileA("C:\\out.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ZipArchive::UnzipItemToHandle(h, 0, out), ZipResult::Success);
    EXPECT_EQ(ZipArchive::UnzipItemToHandle(h, 1, out), ZipResult::Success) << "a folder writes nothing";
    CloseHandle(out);
    EXPECT_TRUE(ReadHost("c/out.bin") == data);

    // A handle that cannot be written, a closed one, none.
    HANDLE readOnly = CreateFileA("C:\\out.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ZipArchive::UnzipItemToHandle(h, 0, readOnly), ZipResult::WriteFailed);
    CloseHandle(readOnly);
    EXPECT_EQ(ZipArchive::UnzipItemToHandle(h, 0, readOnly), ZipResult::WriteFailed);
    EXPECT_EQ(ZipArchive::UnzipItemToHandle(h, 0, nullptr), ZipResult::BadArguments);
    EXPECT_EQ(ZipArchive::UnzipItemToHandle(h, 0, INVALID_HANDLE_VALUE), ZipResult::BadArguments);
    EXPECT_EQ(ZipArchive::UnzipItemToHandle(h, 2, out), ZipResult::BadArguments);
    ZipArchive::Close(h);
}

// ---- Result texts -------------------------------------------------------------------------------------

TEST(ZipResultTexts, FormatMessageCopiesCutsAndReportsTheFullLength)
{
    struct Case {
        uint32_t code;
        const char* text;
    };
    const Case cases[] = {
        {0x00000000, "Success"},
        {0x00000100, "Culdn't duplicate handle"},
        {0x00000200, "Couldn't create/open file"},
        {0x00000300, "Failed to allocate memory"},
        {0x00000400, "Error writing to file"},
        {0x00000500, "File not found in the zipfile"},
        {0x00000600, "Still more data to unzip"},
        {0x00000700, "Zipfile is corrupt or not a zipfile"},
        {0x00000800, "Error reading file"},
        {0x00001000, "Correct password required"},
        {0x00010000, "Caller: faulty arguments"},
        {0x00020000, "Caller: can only get memory of a memory zipfile"},
        {0x00030000, "Caller: not enough space allocated for memory zipfile"},
        {0x00040000, "Caller: there was a previous error"},
        {0x00050000, "Caller: additions to the zip have already been ended"},
        {0x00060000, "Zip-bug: the anticipated size turned out wrong"},
        {0x00070000, "Caller: the file had already been partially unzipped"},
        {0x00080000, "Caller: mixing creation and opening of zip"},
        {0x01000000, "Zip-bug: internal initialisation not completed"},
        {0x02000000, "Zip-bug: trying to seek the unseekable"},
        {0x04000000, "Zip-bug: tried to change mind, but not allowed"},
        {0x05000000, "Zip-bug: an internal error during flation"},
        {0x00000002, "unknown zip result code"},
        {0x00000701, "unknown zip result code"},
        {0xFFFFFFFF, "unknown zip result code"},
    };
    for (const Case& c : cases) {
        char buffer[80];
        EXPECT_EQ(ZipArchive::FormatMessage(c.code, buffer, sizeof(buffer)), std::strlen(c.text));
        EXPECT_STREQ(buffer, c.text);
    }

    char small[10];
    std::memset(small, '#', sizeof(small));
    EXPECT_EQ(ZipArchive::FormatMessage(0x700, small, sizeof(small)), 35u);
    EXPECT_STREQ(small, "Zipfile i");
    char one = 'x';
    EXPECT_EQ(ZipArchive::FormatMessage(0x700, &one, 1), 35u);
    EXPECT_EQ(one, '\0');
    EXPECT_EQ(ZipArchive::FormatMessage(0x700, nullptr, 50), 35u);
    EXPECT_EQ(ZipArchive::FormatMessage(0x700, small, 0), 35u);
    EXPECT_EQ(small[0], 'Z');
}

TEST(ZipResultTexts, CodeOneMeansTheMostRecentResult)
{
    ZipEntry entry;
    ZipArchive::GetItem(nullptr, 0, &entry);
    char buffer[64];
    ZipArchive::FormatMessage(ZipResult::MostRecent, buffer, sizeof(buffer));
    EXPECT_STREQ(buffer, "Caller: faulty arguments");
    ZipHandle foreign;
    foreign.kind = 7;
    ZipArchive::Close(&foreign);
    ZipArchive::FormatMessage(ZipResult::MostRecent, buffer, sizeof(buffer));
    EXPECT_STREQ(buffer, "Caller: mixing creation and opening of zip");
}

// ---- Crypto primitives against known values -----------------------------------------------------------

TEST(ZipPrimitives, Crc32AndKeysFollowTheFormat)
{
    const std::string check = "123456789";
    EXPECT_EQ(ZipCrc32::Update(0, reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xCBF43926u);
    // Running update equals one pass.
    uint32_t crc = ZipCrc32::Update(0, reinterpret_cast<const uint8_t*>(check.data()), 4);
    crc = ZipCrc32::Update(crc, reinterpret_cast<const uint8_t*>(check.data()) + 4, 5);
    EXPECT_EQ(crc, 0xCBF43926u);

    // Decoding undoes the fixture writer's independent enciphering.
    const std::string plain = "The quick brown fox";
    std::string cipher = velk::test::FixtureCipher("secret").Encrypt(plain);
    ZipCrypt crypt("secret");
    crypt.Decode(reinterpret_cast<uint8_t*>(cipher.data()), cipher.size());
    EXPECT_EQ(cipher, plain);
}

}  // namespace
