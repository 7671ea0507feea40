// File handles of the machine stand-in: open and create with Windows errors and sharing, read,
// write, seek, size, times; DOS times; the current directory.
#include "platform/files.h"
#include "platform/machine.h"

#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>

namespace {

using testsupport::MachineRootTest;

class FileHandleTest : public MachineRootTest {
protected:
    void SetUp() override
    {
        MachineRootTest::SetUp();
        MakeFile("c/Data/file.bin", "0123456789");
        MakeFile("c/Data/locked.txt", "locked");
        ::chmod(Host("c/Data/locked.txt").c_str(), 0444);
    }

    static HANDLE OpenRead(const char* path, DWORD share = FILE_SHARE_READ)
    {
        return CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
};

TEST_F(FileHandleTest, CreateFileResultsAndErrors)
{
    struct Case {
        const char* path;
        DWORD access;
        DWORD disposition;
        bool opens;
        DWORD error;  // last error after the call
    };
    const Case cases[] = {
        {"C:\\Data\\file.bin", GENERIC_READ, OPEN_EXISTING, true, 0},
        {"c:\\DATA\\FILE.BIN", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, true, 0},
        {"C:\\Data\\missing.bin", GENERIC_READ, OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND},
        {"C:\\Missing\\file.bin", GENERIC_READ, OPEN_EXISTING, false, ERROR_PATH_NOT_FOUND},
        {"C:\\Data", GENERIC_READ, OPEN_EXISTING, false, ERROR_ACCESS_DENIED},
        {"C:\\Data\\locked.txt", GENERIC_READ, OPEN_EXISTING, true, 0},
        {"C:\\Data\\locked.txt", GENERIC_WRITE, OPEN_EXISTING, false, ERROR_ACCESS_DENIED},
        {"C:\\Data\\locked.txt", GENERIC_WRITE, CREATE_ALWAYS, false, ERROR_ACCESS_DENIED},
        {"C:\\Data\\new.bin", GENERIC_WRITE, CREATE_ALWAYS, true, 0},
        {"C:\\Data\\FILE.bin", GENERIC_WRITE, CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS},
        {"C:\\Missing\\new.bin", GENERIC_WRITE, CREATE_ALWAYS, false, ERROR_PATH_NOT_FOUND},
        {"C:\\Data", GENERIC_WRITE, CREATE_ALWAYS, false, ERROR_ACCESS_DENIED},
        {"C:\\Data\\bad|name", GENERIC_WRITE, CREATE_ALWAYS, false, ERROR_INVALID_NAME},
        {"C:\\Data\\file.bin", GENERIC_READ, 4 /* OPEN_ALWAYS, not offered */, false, ERROR_INVALID_PARAMETER},
        {nullptr, GENERIC_READ, OPEN_EXISTING, false, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path ? c.path : "null");
        SetLastError(12345);
        HANDLE h = CreateFileA(c.path, c.access, 0, nullptr, c.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
        if (h != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(h));
        }
    }
    // Replacing truncated the file; the new one exists.
    EXPECT_EQ(ReadHost("c/Data/file.bin"), "");
    EXPECT_TRUE(std::filesystem::exists(Host("c/Data/new.bin")));
}

TEST_F(FileHandleTest, SharingFollowsTheFlagsOfEveryOpenHandle)
{
    struct Case {
        DWORD firstAccess, firstShare, secondAccess, secondShare;
        bool secondOpens;
    };
    const DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE;
    const Case cases[] = {
        {R, SR, R, SR, true},
        {R, 0, R, SR, false},        // the first allows no other reader
        {R, SR, R, 0, false},        // the second would forbid the first's reading
        {R, SR, W, SR, false},       // writing is not shared
        {R, SR | SW, W, SR, true},
        {W, SR, R, SR | SW, true},
        {W, SR, R, SR, false},       // the second must allow the first's writing
        {W, 0, R, SR | SW, false},
        {R | W, SR | SW, R | W, SR | SW, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.firstAccess << "/" << c.firstShare << " then "
                                        << c.secondAccess << "/" << c.secondShare);
        HANDLE first = CreateFileA("C:\\Data\\file.bin", c.firstAccess, c.firstShare, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        HANDLE second =
            CreateFileA("C:\\Data\\file.bin", c.secondAccess, c.secondShare, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens);
        if (second != INVALID_HANDLE_VALUE) {
            CloseHandle(second);
        } else {
            EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
        }
        CloseHandle(first);
    }
    // A refused replace leaves the contents alone; after the close it is allowed.
    HANDLE reader = OpenRead("C:\\Data\\file.bin");
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA("C:\\Data\\file.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadHost("c/Data/file.bin"), "0123456789");
    CloseHandle(reader);
    HANDLE writer = CreateFileA("C:\\Data\\file.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE);
    CloseHandle(writer);
}

TEST_F(FileHandleTest, ReadWriteAndTheirRefusals)
{
    HANDLE h = OpenRead("C:\\Data\\file.bin");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buffer[16] = {};
    DWORD read = 99;
    EXPECT_TRUE(ReadFile(h, buffer, 4, &read, nullptr));
    EXPECT_EQ(read, 4u);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_TRUE(ReadFile(h, buffer, 16, &read, nullptr));
    EXPECT_EQ(read, 6u) << "a read at the end returns what there is";
    EXPECT_TRUE(ReadFile(h, buffer, 16, &read, nullptr));
    EXPECT_EQ(read, 0u);
    DWORD written = 99;
    EXPECT_FALSE(WriteFile(h, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(ReadFile(h, buffer, 1, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    int overlapped = 0;
    EXPECT_FALSE(ReadFile(h, buffer, 1, &read, &overlapped));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(ReadFile(h, buffer, 1, &read, nullptr)) << "closed";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(h));

    HANDLE w = CreateFileA("C:\\Data\\out.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(w, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(WriteFile(w, "hello", 5, &written, nullptr));
    EXPECT_EQ(written, 5u);
    EXPECT_FALSE(ReadFile(w, buffer, 1, &read, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(w);
    EXPECT_EQ(ReadHost("c/Data/out.txt"), "hello");

    // Handles of another kind, null and invalid are not files.
    WIN32_FIND_DATAA found;
    HANDLE listing = FindFirstFileA("C:\\Data\\*", &found);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    for (HANDLE bad : {listing, static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        EXPECT_FALSE(ReadFile(bad, buffer, 1, &read, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(WriteFile(bad, "x", 1, &written, nullptr));
        EXPECT_EQ(SetFilePointer(bad, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
        EXPECT_EQ(GetFileSize(bad, nullptr), INVALID_FILE_SIZE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    FindClose(listing);
}

TEST_F(FileHandleTest, SetFilePointerMovesAndRefusesAsWindowsDoes)
{
    HANDLE h = CreateFileA("C:\\Data\\file.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    struct Case {
        LONG distance;
        bool withHigh;
        LONG high;
        DWORD method;
        DWORD result;
        DWORD error;
        LONG highAfter;
    };
    const Case cases[] = {
        {3, false, 0, FILE_BEGIN, 3, 0, 0},
        {2, false, 0, FILE_CURRENT, 5, 0, 0},
        {-1, false, 0, FILE_END, 9, 0, 0},
        {-20, false, 0, FILE_CURRENT, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK, 0},
        {100, false, 0, FILE_END, 110, 0, 0},  // beyond the end is allowed
        {0, false, 0, 7, INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER, 0},
        {0, true, 1, FILE_BEGIN, 0, 0, 1},  // 4 GiB: needs the high part
        {-1, true, -1, FILE_CURRENT, 0xFFFFFFFFu, 0, 0},  // 4 GiB - 1: the failure value, yet no error
        {0, false, 0, FILE_CURRENT, INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER, 0},
        {0, true, 0, FILE_BEGIN, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.distance << " method " << c.method);
        LONG high = c.high;
        SetLastError(777);
        EXPECT_EQ(SetFilePointer(h, c.distance, c.withHigh ? &high : nullptr, c.method), c.result);
        EXPECT_EQ(GetLastError(), c.error);
        if (c.withHigh) {
            EXPECT_EQ(high, c.highAfter);
        }
    }
    // The position is where reading goes on.
    ASSERT_EQ(SetFilePointer(h, 7, nullptr, FILE_BEGIN), 7u);
    char buffer[8] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(h, buffer, 8, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "789");
    // Writing past the end fills the gap, as Windows does (with zeros here).
    ASSERT_EQ(SetFilePointer(h, 12, nullptr, FILE_BEGIN), 12u);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "!", 1, &written, nullptr));
    DWORD high = 77;
    EXPECT_EQ(GetFileSize(h, &high), 13u);
    EXPECT_EQ(high, 0u);
    CloseHandle(h);
    EXPECT_EQ(ReadHost("c/Data/file.bin"), std::string("0123456789\0\0!", 13));
}

TEST_F(FileHandleTest, ReadOnlyAttributeAppliesToLaterOpens)
{
    HANDLE h = CreateFileA("C:\\Data\\ro.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "abc", 3, &written, nullptr)) << "this handle may still write";
    CloseHandle(h);
    EXPECT_EQ(GetFileAttributesA("C:\\Data\\ro.txt"), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(CreateFileA("C:\\Data\\ro.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadHost("c/Data/ro.txt"), "abc");
}

TEST_F(FileHandleTest, SetFileTimeSetsAccessAndModification)
{
    HANDLE h = CreateFileA("C:\\Data\\t.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const uint64_t ticks = 1500000000ULL * 10000000ULL + 116444736000000000ULL + 1234567;
    const FILETIME t {static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
    EXPECT_TRUE(SetFileTime(h, nullptr, &t, &t));
    CloseHandle(h);
    struct stat info {};
    ASSERT_EQ(::stat(Host("c/Data/t.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1500000000);
    EXPECT_EQ(info.st_mtim.tv_nsec, 123456700);
    EXPECT_EQ(info.st_atim.tv_sec, 1500000000);

    HANDLE r = OpenRead("C:\\Data\\t.txt");
    EXPECT_FALSE(SetFileTime(r, nullptr, &t, &t)) << "needs write access";
    CloseHandle(r);
}

TEST(FileTimes, DosDateAndTime)
{
    struct Case {
        WORD date;
        WORD time;
        bool valid;
        int64_t unixSeconds;
    };
    const Case cases[] = {
        {0x0021, 0x0000, true, 315532800},                        // 1980-01-01 00:00:00
        {0x5A8F, 0x6A4B, true, 1744723102},                       // 2025-04-15 13:18:22
        {static_cast<WORD>((20 << 9) | (2 << 5) | 29), 0, true, 951782400},   // 2000-02-29
        {static_cast<WORD>((21 << 9) | (2 << 5) | 29), 0, false, 0},          // 2001-02-29
        {0x0000, 0x0000, false, 0},                               // month 0, day 0
        {0x0021, static_cast<WORD>(24 << 11), false, 0},          // hour 24
        {0x0021, static_cast<WORD>(60 << 5), false, 0},           // minute 60
        {static_cast<WORD>((1 << 5) | 0), 0, false, 0},           // day 0
        {static_cast<WORD>((13 << 5) | 1), 0, false, 0},          // month 13
        {0xFF9F, 0xBF7D, true, 4354819198},                       // 2107-12-31 23:59:58, the last
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.date << " " << c.time);
        FILETIME t {7, 7};
        EXPECT_EQ(DosDateTimeToFileTime(c.date, c.time, &t) != FALSE, c.valid);
        if (!c.valid) continue;
        const uint64_t ticks = static_cast<uint64_t>(c.unixSeconds) * 10000000ULL + 116444736000000000ULL;
        EXPECT_EQ(t.dwLowDateTime, static_cast<DWORD>(ticks & 0xFFFFFFFF));
        EXPECT_EQ(t.dwHighDateTime, static_cast<DWORD>(ticks >> 32));
    }
}

TEST(CurrentDirectory, IsTheRootOfDriveC)
{
    struct Case {
        DWORD size;
        bool withBuffer;
        DWORD result;
        const char* text;
    };
    const Case cases[] = {
        {260, true, 3, "C:\\"},
        {4, true, 3, "C:\\"},
        {3, true, 4, "#"},  // too small: the size needed, buffer untouched
        {0, true, 4, "#"},
        {0, false, 4, nullptr},
    };
    for (const Case& c : cases) {
        char buffer[8] = "#";
        EXPECT_EQ(GetCurrentDirectoryA(c.size, c.withBuffer ? buffer : nullptr), c.result);
        if (c.text) {
            EXPECT_STREQ(buffer, c.text);
        }
    }
    // A path without a drive resolves in the current directory.
    EXPECT_EQ(platform::ResolveForWrite("x.txt"), platform::ResolveForWrite("C:\\x.txt"));
}

}  // namespace
