// Paths, attributes, listings and whole-file access of the machine stand-in.
#include "platform/files.h"
#include "platform/machine.h"

#include "tests/support/TempMachineRoot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::MachineRootTest;

class PathTest : public MachineRootTest {
protected:
    void SetUp() override
    {
        MachineRootTest::SetUp();
        MakeFile("c/ProgramData/Quorvath/VELK/orvane.ini", "[Main]\n");
        MakeFolder("c/ProgramData/Quorvath/VELK/log");
        MakeFile("d/Data/x.txt", "x");
    }
};

TEST_F(PathTest, ResolvesWindowsPathsAsWindowsDoes)
{
    const std::string ini = "c/ProgramData/Quorvath/VELK/orvane.ini";
    struct Case {
        const char* path;
        std::string expected;  // relative to the root; empty: not found
        DWORD error;
    };
    const Case cases[] = {
        {"C:\\ProgramData\\Quorvath\\VELK\\orvane.ini", ini, 0},
        {"c:\\programdata\\QUORVATH\\velk\\ORVANE.INI", ini, 0},
        {"C:/ProgramData//Quorvath\\\\VELK/./orvane.ini", ini, 0},
        {"C:\\ProgramData\\Quorvath\\VELK\\log\\..\\orvane.ini", ini, 0},
        {"C:\\..\\..\\ProgramData\\Quorvath\\VELK\\orvane.ini", ini, 0},
        {"\\ProgramData\\Quorvath\\VELK\\orvane.ini", ini, 0},
        {"ProgramData\\Quorvath\\VELK\\orvane.ini", ini, 0},
        {"C:ProgramData\\Quorvath\\VELK\\orvane.ini", ini, 0},
        {"C:\\ProgramData\\Quorvath\\VELK\\log\\", "c/ProgramData/Quorvath/VELK/log", 0},
        {"D:\\data\\X.TXT", "d/Data/x.txt", 0},
        {"C:\\", "c", 0},
        {"C:\\ProgramData\\Quorvath\\VELK\\missing.ini", "", ERROR_FILE_NOT_FOUND},
        {"C:\\ProgramData\\Missing\\VELK\\orvane.ini", "", ERROR_PATH_NOT_FOUND},
        {"C:\\ProgramData\\Quorvath\\VELK\\orvane.ini\\x", "", ERROR_PATH_NOT_FOUND},
        {"E:\\anything", "", ERROR_PATH_NOT_FOUND},
        {"E:\\", "", ERROR_PATH_NOT_FOUND},
        {"", "", ERROR_PATH_NOT_FOUND},
        {"C:\\ProgramData\\a*b", "", ERROR_INVALID_NAME},
        {"C:\\Program:Data", "", ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        DWORD error = 0;
        const std::optional<fs::path> resolved = platform::ResolveExisting(c.path, &error);
        if (c.expected.empty()) {
            EXPECT_FALSE(resolved.has_value());
            EXPECT_EQ(error, c.error);
        } else {
            ASSERT_TRUE(resolved.has_value());
            EXPECT_EQ(*resolved, Host(c.expected));
        }
    }
}

TEST_F(PathTest, ExactNameWinsThenFirstInNameOrder)
{
    MakeFile("c/Mixed/File.txt", "upper");
    MakeFile("c/Mixed/file.txt", "lower");
    EXPECT_EQ(platform::ResolveExisting("C:\\Mixed\\file.txt"), Host("c/Mixed/file.txt"));
    EXPECT_EQ(platform::ResolveExisting("C:\\Mixed\\File.txt"), Host("c/Mixed/File.txt"));
    EXPECT_EQ(platform::ResolveExisting("C:\\Mixed\\FILE.TXT"), Host("c/Mixed/File.txt"));
}

TEST_F(PathTest, HostPathsAreUsedDirectly)
{
    const std::string host = Host("c/ProgramData/Quorvath/VELK/orvane.ini").string();
    EXPECT_EQ(platform::ResolveExisting(host), fs::path(host));
    std::string upper = Host("c/PROGRAMDATA/quorvath/VELK/ORVANE.ini").string();
    EXPECT_EQ(platform::ResolveExisting(upper), fs::path(host));
}

TEST_F(PathTest, ResolveForWriteKeepsExistingSpellingAndAppendsTheRest)
{
    EXPECT_EQ(platform::ResolveForWrite("C:\\PROGRAMDATA\\quorvath\\velk\\NewDir\\new.log"),
              Host("c/ProgramData/Quorvath/VELK/NewDir/new.log"));
    EXPECT_EQ(platform::ResolveForWrite("c:\\programdata\\quorvath\\velk\\ORVANE.INI"),
              Host("c/ProgramData/Quorvath/VELK/orvane.ini"));
    EXPECT_EQ(platform::ResolveForWrite("F:\\x\\y"), Host("f/x/y"));
}

TEST_F(PathTest, ToWindowsPathMapsBackIntoDrives)
{
    EXPECT_EQ(platform::ToWindowsPath(Host("c/ProgramData/Quorvath/VELK/orvane.ini")),
              "C:\\ProgramData\\Quorvath\\VELK\\orvane.ini");
    EXPECT_EQ(platform::ToWindowsPath(Host("c")), "C:\\");
    EXPECT_EQ(platform::ToWindowsPath(Host("d/Data/../Data/x.txt")), "D:\\Data\\x.txt");
    EXPECT_EQ(platform::ToWindowsPath(root_), "");
    EXPECT_EQ(platform::ToWindowsPath(Host("registry.txt")), "");
    EXPECT_EQ(platform::ToWindowsPath("/etc/passwd"), "");
    EXPECT_EQ(platform::ToWindowsPath(Host("c/../../elsewhere")), "");
}

TEST(MachineRootDefault, FollowsTheEnvironmentAtEveryCall)
{
    auto save = [](const char* name) -> std::optional<std::string> {
        const char* value = getenv(name);
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    };
    auto restore = [](const char* name, const std::optional<std::string>& value) {
        if (value) setenv(name, value->c_str(), 1);
        else unsetenv(name);
    };
    const auto root = save("VELK_MACHINE_ROOT");
    const auto xdg = save("XDG_DATA_HOME");
    const auto home = save("HOME");

    setenv("VELK_MACHINE_ROOT", "/srv/machine-a", 1);
    EXPECT_EQ(platform::MachineRoot(), fs::path("/srv/machine-a"));
    setenv("VELK_MACHINE_ROOT", "/srv/machine-b/", 1);
    EXPECT_EQ(platform::MachineRoot().lexically_normal(), fs::path("/srv/machine-b/"));
    unsetenv("VELK_MACHINE_ROOT");
    setenv("XDG_DATA_HOME", "/srv/xdg", 1);
    EXPECT_EQ(platform::MachineRoot(), fs::path("/srv/xdg/velk-machine"));
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(platform::MachineRoot(), fs::path("/home/someone/.local/share/velk-machine"));

    restore("VELK_MACHINE_ROOT", root);
    restore("XDG_DATA_HOME", xdg);
    restore("HOME", home);
}

TEST_F(PathTest, AttributesAndTheirErrors)
{
    MakeFile("c/ro.txt", "r");
    ASSERT_EQ(chmod(Host("c/ro.txt").c_str(), 0444), 0);
    struct Case {
        const char* path;
        DWORD attributes;
        DWORD error;
    };
    const Case cases[] = {
        {"C:\\ProgramData\\Quorvath\\VELK", FILE_ATTRIBUTE_DIRECTORY, 0},
        {"C:\\PROGRAMDATA\\Quorvath\\VELK\\orvane.ini", FILE_ATTRIBUTE_NORMAL, 0},
        {"C:\\RO.TXT", FILE_ATTRIBUTE_READONLY, 0},
        {"C:\\ProgramData\\Quorvath\\VELK\\nothing.mdl", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
        {"C:\\ProgramData\\Nothing\\model.mdl", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        SetLastError(0);
        EXPECT_EQ(GetFileAttributesA(c.path), c.attributes);
        if (c.attributes == INVALID_FILE_ATTRIBUTES) {
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesA(nullptr), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

class ListingTest : public MachineRootTest {
protected:
    void SetUp() override
    {
        MachineRootTest::SetUp();
        MakeFile("c/List/beta.xml", "12345");
        MakeFile("c/List/Alpha.XML", "");
        MakeFile("c/List/alpha2.xml", "");
        MakeFile("c/List/gamma.txt", "");
        MakeFile("c/List/noext", "");
        MakeFolder("c/List/Sub");
    }

    // Every name of a listing in order, or the error of FindFirstFileA as "error N".
    static std::vector<std::string> List(const char* pattern)
    {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA(pattern, &data);
        if (find == INVALID_HANDLE_VALUE) return {"error " + std::to_string(GetLastError())};
        std::vector<std::string> names;
        do {
            names.emplace_back(data.cFileName);
        } while (FindNextFileA(find, &data));
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(find));
        return names;
    }
};

TEST_F(ListingTest, PatternsAndOrder)
{
    using V = std::vector<std::string>;
    const V all = {".", "..", "Alpha.XML", "alpha2.xml", "beta.xml", "gamma.txt", "noext", "Sub"};
    struct Case {
        const char* pattern;
        V expected;
    };
    const Case cases[] = {
        {"C:\\List\\*", all},
        {"c:\\list\\*.*", all},
        {"C:/List//*", all},
        {"C:\\List\\*.xml", {"Alpha.XML", "alpha2.xml", "beta.xml"}},
        {"C:\\List\\?eta.*", {"beta.xml"}},
        {"C:\\List\\alpha?.xml", {"alpha2.xml"}},
        {"C:\\List\\A*", {"Alpha.XML", "alpha2.xml"}},
        {"C:\\List\\GAMMA.TXT", {"gamma.txt"}},
        {"C:\\List\\noext.*", {"noext"}},
        {"C:\\List\\Sub", {"Sub"}},
        {"C:\\List\\Sub\\*", {".", ".."}},
        {"C:\\*", {"List"}},  // a drive's root has no "." and ".."
        {"C:\\List\\*.dll", {"error 2"}},
        {"C:\\List\\missing.txt", {"error 2"}},
        {"C:\\List\\", {"error 2"}},
        {"C:\\Missing\\*", {"error 3"}},
        {"C:\\List\\beta.xml\\*", {"error 3"}},
        {"C:\\Li*\\*", {"error 123"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(List(c.pattern), c.expected);
    }
}

TEST_F(ListingTest, EntriesCarrySizesAndAttributes)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("C:\\List\\*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    bool sawBeta = false;
    bool sawSub = false;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == ".." || name == "Sub") {
            EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY) << name;
            sawSub = sawSub || name == "Sub";
        } else {
            EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_NORMAL) << name;
        }
        if (name == "beta.xml") {
            sawBeta = true;
            EXPECT_EQ(data.nFileSizeLow, 5u);
            EXPECT_EQ(data.nFileSizeHigh, 0u);
            EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
        }
    } while (FindNextFileA(find, &data));
    EXPECT_TRUE(sawBeta);
    EXPECT_TRUE(sawSub);
    EXPECT_FALSE(FindNextFileA(find, &data));  // stays at the end
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(find));
}

TEST_F(ListingTest, BadHandlesAndArgumentsAreRefused)
{
    WIN32_FIND_DATAA data;
    EXPECT_EQ(FindFirstFileA(nullptr, &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(FindFirstFileA("C:\\List\\*", nullptr), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &data));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FindClose(nullptr));

    HANDLE find = FindFirstFileA("C:\\List\\*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindClose(find));  // closed twice
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FindNextFileA(find, &data));
}

TEST_F(ListingTest, NamesWindowsCannotHoldAreNotListed)
{
    MakeFile("c/Odd/good.txt", "");
    MakeFile("c/Odd/back\\slash.txt", "");
    MakeFile("c/Odd/co:lon.txt", "");
    MakeFile("c/Odd/st*r.txt", "");
    EXPECT_EQ(List("C:\\Odd\\*.txt"), std::vector<std::string>{"good.txt"});
}

TEST_F(PathTest, CreateDirectoryResults)
{
    MakeFile("c/plain.txt", "");
    struct Case {
        const char* path;
        BOOL result;
        DWORD error;
    };
    const Case cases[] = {
        {"C:\\ProgramData\\Quorvath\\VELK\\new", TRUE, 0},
        {"C:\\ProgramData\\Quorvath\\VELK\\new", FALSE, ERROR_ALREADY_EXISTS},
        {"C:\\PROGRAMDATA\\quorvath\\velk\\LOG", FALSE, ERROR_ALREADY_EXISTS},
        {"C:\\plain.txt", FALSE, ERROR_ALREADY_EXISTS},
        {"C:\\", FALSE, ERROR_ALREADY_EXISTS},
        {"C:\\No\\Such\\new", FALSE, ERROR_PATH_NOT_FOUND},
        {"C:\\plain.txt\\new", FALSE, ERROR_PATH_NOT_FOUND},
        {"E:\\new", FALSE, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        SetLastError(0);
        EXPECT_EQ(CreateDirectoryA(c.path, nullptr), c.result);
        if (!c.result) {
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
    EXPECT_TRUE(fs::is_directory(Host("c/ProgramData/Quorvath/VELK/new")));
    EXPECT_FALSE(fs::exists(Host("c/ProgramData/Quorvath/VELK/LOG")));
}

TEST_F(PathTest, DeleteFileResults)
{
    MakeFile("c/gone.txt", "");
    MakeFile("c/kept.txt", "");
    ASSERT_EQ(chmod(Host("c/kept.txt").c_str(), 0444), 0);
    EXPECT_TRUE(DeleteFileA("C:\\GONE.txt"));
    EXPECT_FALSE(fs::exists(Host("c/gone.txt")));
    EXPECT_FALSE(DeleteFileA("C:\\gone.txt"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(DeleteFileA("C:\\Nowhere\\gone.txt"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(DeleteFileA("C:\\ProgramData"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(DeleteFileA("C:\\kept.txt"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(fs::exists(Host("c/kept.txt")));
}

TEST_F(PathTest, WholeFilesAndTextMode)
{
    const std::string path = "C:\\ProgramData\\Quorvath\\VELK\\log\\dump.txt";
    ASSERT_TRUE(platform::WriteWholeFile(path, "a\nb\r\nc\n\n", true));
    EXPECT_EQ(ReadHost("c/ProgramData/Quorvath/VELK/log/dump.txt"), "a\r\nb\r\nc\r\n\r\n");
    std::string back;
    ASSERT_TRUE(platform::ReadWholeFile("c:\\programdata\\quorvath\\velk\\LOG\\DUMP.TXT", back));
    EXPECT_EQ(back, "a\r\nb\r\nc\r\n\r\n");

    // Binary mode keeps the bytes; another spelling of the name replaces the same file.
    const std::string binary("x\ny\0z", 5);
    ASSERT_TRUE(platform::WriteWholeFile("C:\\PROGRAMDATA\\Quorvath\\VELK\\LOG\\Dump.TXT", binary, false));
    EXPECT_EQ(ReadHost("c/ProgramData/Quorvath/VELK/log/dump.txt"), binary);
    EXPECT_EQ(std::distance(fs::directory_iterator(Host("c/ProgramData/Quorvath/VELK/log")), fs::directory_iterator()),
              1);

    EXPECT_FALSE(platform::WriteWholeFile("C:\\No\\Folder\\x.txt", "x", true));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(platform::WriteWholeFile("C:\\ProgramData", "x", true));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    back = "unchanged";
    EXPECT_FALSE(platform::ReadWholeFile("C:\\ProgramData\\none.txt", back));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(platform::ReadWholeFile("C:\\None\\none.txt", back));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(platform::ReadWholeFile("C:\\ProgramData", back));
    EXPECT_EQ(back, "unchanged");
}

// A whole file comes back byte for byte whatever its size: empty, under and over one read block.
TEST_F(PathTest, ReadWholeFileGivesEveryByte)
{
    for (const size_t size : {size_t{0}, size_t{1}, size_t{4095}, size_t{4097}, size_t{300000}}) {
        std::string contents(size, '\0');
        for (size_t i = 0; i < size; ++i) contents[i] = static_cast<char>((i * 131 + size) % 256);
        ASSERT_TRUE(platform::WriteWholeFile("C:\\ProgramData\\whole.bin", contents, false));
        std::string back = "stale";
        ASSERT_TRUE(platform::ReadWholeFile("C:\\ProgramData\\whole.bin", back)) << size;
        EXPECT_EQ(back, contents) << size;
    }
}

TEST(PathMatchSpec, ShellPatterns)
{
    struct Case {
        const char* file;
        const char* spec;
        BOOL expected;
    };
    const Case cases[] = {
        {"gate.xml", "*.xml", TRUE},     {"GATE.XML", "*.xml", TRUE},       {"gate.xmlx", "*.xml", FALSE},
        {"gate.sdx", "*.xml", FALSE},    {"noext", "*.*", TRUE},            {"a.b.xml", "*.xml", TRUE},
        {"gate.sdx", "*.xml;*.sdx", TRUE}, {"gate.sdx", "*.xml; *.sdx", TRUE}, {"ab", "a?", TRUE},
        {"a", "a?", FALSE},              {"", "*", TRUE},                   {"x", "", FALSE},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*a*c", FALSE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PathMatchSpecA(c.file, c.spec), c.expected) << c.file << " / " << c.spec;
    }
    EXPECT_FALSE(PathMatchSpecA(nullptr, "*"));
    EXPECT_FALSE(PathMatchSpecA("x", nullptr));
}

TEST_F(PathTest, ModuleFileNameOutsideTheRootIsTheHostPath)
{
    char expected[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", expected, sizeof expected - 1), 0);
    char buffer[4096];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), expected);
    EXPECT_EQ(length, std::strlen(expected));

    char small[5];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), sizeof small);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(small), std::string(expected, 4));
}

}  // namespace
