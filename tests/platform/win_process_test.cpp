// Single-instance mutex, process snapshot, warning box, shell folders, handles and the last error.
#include "platform/process.h"
#include "platform/shell.h"

#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::MachineRootTest;

const char* const kMutexName = "VELK::{24fae70d-d8b5-41a8-9bd1-73a6ccd45ce7}";

class MutexTest : public MachineRootTest {
protected:
    // The one lock file the mutexes of the test have made.
    fs::path LockFile() const
    {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(root_ / ".locks")) files.push_back(entry.path());
        EXPECT_EQ(files.size(), 1u);
        return files.empty() ? fs::path() : files[0];
    }

    // Whether another open file description (as another process has) can take the lock now.
    bool LockIsFree() const
    {
        const int fd = ::open(LockFile().c_str(), O_RDWR | O_CLOEXEC);
        EXPECT_GE(fd, 0);
        const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        ::close(fd);
        return free;
    }
};

TEST_F(MutexTest, SecondHolderInThisProcessGetsAlreadyExists)
{
    SetLastError(0);
    HANDLE first = CreateMutexA(nullptr, FALSE, kMutexName);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_FALSE(LockIsFree());

    HANDLE second = CreateMutexA(nullptr, FALSE, kMutexName);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);

    // The mutex lives while any handle is open.
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_FALSE(LockIsFree());
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_TRUE(LockIsFree());

    HANDLE again = CreateMutexA(nullptr, FALSE, kMutexName);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_TRUE(CloseHandle(again));
}

TEST_F(MutexTest, HolderInAnotherProcessGivesAlreadyExists)
{
    CloseHandle(CreateMutexA(nullptr, FALSE, kMutexName));  // makes the lock file
    const int other = ::open(LockFile().c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);

    SetLastError(0);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutexName);
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(CloseHandle(mutex));
    ::close(other);

    mutex = CreateMutexA(nullptr, FALSE, kMutexName);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_TRUE(CloseHandle(mutex));
}

TEST_F(MutexTest, NamesAreKeptApartAndCaseSensitive)
{
    HANDLE a = CreateMutexA(nullptr, FALSE, "Name/With\\Odd:Chars");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE b = CreateMutexA(nullptr, FALSE, "name/with\\odd:chars");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE c = CreateMutexA(nullptr, FALSE, "Name_With_Odd_Chars");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE d = CreateMutexA(nullptr, FALSE, std::string(1000, 'x').c_str());
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE unnamed = CreateMutexA(nullptr, FALSE, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    for (HANDLE h : {a, b, c, d, unnamed}) EXPECT_TRUE(CloseHandle(h));
    for (const auto& entry : fs::directory_iterator(root_ / ".locks")) {
        EXPECT_LE(entry.path().filename().string().size(), 255u);
        EXPECT_EQ(entry.path().parent_path(), root_ / ".locks");
    }
}

// A machine root that cannot hold a lock folder (here a path below a plain file, which even the
// superuser cannot create): the mutex still tells a second process that the first holds it.
TEST_F(MutexTest, HolderInAnotherProcessIsSeenOnARootThatCannotHoldLocks)
{
    MakeFile("not-a-folder", "x");
    const std::string unusable = (root_ / "not-a-folder" / "machine").string();
    const std::string previous = std::getenv("VELK_MACHINE_ROOT") ? std::getenv("VELK_MACHINE_ROOT") : "";
    ::setenv("VELK_MACHINE_ROOT", unusable.c_str(), 1);
    const std::string name = std::string(kMutexName) + "-unusable-root-" + std::to_string(::getpid());

    // The other process takes the mutex first and holds it until the pipe closes.
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        HANDLE held = CreateMutexA(nullptr, FALSE, name.c_str());
        const char status = held != nullptr && GetLastError() == ERROR_SUCCESS ? 'y' : 'n';
        (void)!::write(ready[1], &status, 1);
        char byte;
        (void)!::read(release[0], &byte, 1);
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char status = 0;
    ASSERT_EQ(::read(ready[0], &status, 1), 1);
    EXPECT_EQ(status, 'y');

    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    if (mutex != nullptr) CloseHandle(mutex);

    ::close(release[1]);  // the other process ends and its lock goes with it
    int exitStatus = 0;
    ::waitpid(child, &exitStatus, 0);
    ::close(ready[0]);
    mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    if (mutex != nullptr) CloseHandle(mutex);
    ::setenv("VELK_MACHINE_ROOT", previous.c_str(), 1);
}

TEST(ProcessSnapshot, ListsThisProcessByName)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);

    std::string comm;
    {
        std::ifstream in("/proc/self/comm");
        std::getline(in, comm);
    }
    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    const std::string exeName = fs::path(exe).filename().string();  // longer than 15 characters

    PROCESSENTRY32 entry;
    bool found = false;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        ++count;
        if (entry.th32ProcessID == GetCurrentProcessId()) {
            found = true;
            EXPECT_EQ(std::string(entry.szExeFile), exeName.size() > 15 ? exeName : comm);
            EXPECT_EQ(entry.th32ParentProcessID, static_cast<DWORD>(getppid()));
            EXPECT_GE(entry.cntThreads, 1u);
        }
    }
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(found);
    EXPECT_GE(count, 1);

    // Walking again from the first entry.
    ASSERT_TRUE(Process32First(snapshot, &entry));
    EXPECT_TRUE(CloseHandle(snapshot));
    EXPECT_FALSE(Process32First(snapshot, &entry));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(ProcessSnapshot, ANameCutByTheKernelIsCompletedFromTheCommandLine)
{
    // The test program's own name is longer than the kernel's 15 characters.
    std::string comm;
    {
        std::ifstream in("/proc/self/comm");
        std::getline(in, comm);
    }
    if (comm.size() < 15) GTEST_SKIP() << "program name fits the kernel's command name";
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID != GetCurrentProcessId()) continue;
        EXPECT_GT(std::strlen(entry.szExeFile), comm.size());
        EXPECT_EQ(std::string(entry.szExeFile).substr(0, comm.size()), comm);
    }
    CloseHandle(snapshot);
}

TEST(ProcessSnapshot, BadArguments)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(0, 0);  // no processes asked for
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32 entry;
    EXPECT_FALSE(Process32First(snapshot, &entry));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_FALSE(Process32First(snapshot, nullptr));
    entry.dwSize = 4;
    EXPECT_FALSE(Process32First(snapshot, &entry));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    CloseHandle(snapshot);
}

TEST(MessageBox, WritesCaptionAndTextToStandardError)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "Another process.\nRestart!", "VELK Warning", MB_OK | MB_ICONWARNING), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "VELK Warning: Another process.\nRestart!\nError: \n");
}

TEST(Handles, LastErrorIsPerThreadAndBadHandlesAreRefused)
{
    SetLastError(ERROR_ALREADY_EXISTS);
    DWORD seenInThread = 1;
    std::thread([&seenInThread] {
        seenInThread = GetLastError();
        SetLastError(ERROR_FILE_NOT_FOUND);
    }).join();
    EXPECT_EQ(seenInThread, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);

    int notAnObject = 0;
    for (HANDLE bad : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, static_cast<HANDLE>(&notAnObject)}) {
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(bad));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
}

class ShellTest : public MachineRootTest {};

TEST_F(ShellTest, SpecialFolders)
{
    const char* user = getenv("USER");
    const std::string saved = user != nullptr ? user : "";
    setenv("USER", "pilot", 1);

    struct Case {
        int folder;
        HRESULT result;
        const char* path;
    };
    const Case cases[] = {
        {CSIDL_COMMON_APPDATA, S_OK, "C:\\ProgramData"},
        {CSIDL_APPDATA, S_OK, "C:\\Users\\pilot\\AppData\\Roaming"},
        {CSIDL_APPDATA | 0x4000, S_OK, "C:\\Users\\pilot\\AppData\\Roaming"},  // other flag bits are ignored
        {0x0005, E_INVALIDARG, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        char path[MAX_PATH] = "garbage";
        EXPECT_EQ(SHGetFolderPathA(nullptr, c.folder, nullptr, SHGFP_TYPE_CURRENT, path), c.result);
        EXPECT_STREQ(path, c.path);
    }
    EXPECT_FALSE(fs::exists(Host("c/Users")));
    char path[MAX_PATH];
    EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path), S_OK);
    EXPECT_TRUE(fs::is_directory(Host("c/Users/pilot/AppData/Roaming")));
    EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, nullptr), E_INVALIDARG);

    EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_APPDATA, FALSE));
    EXPECT_STREQ(path, "C:\\ProgramData");
    EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, 0x0005, FALSE));

    // A user name that cannot be a folder name.
    setenv("USER", "a\\b", 1);
    EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, path), S_OK);
    EXPECT_STREQ(path, "C:\\Users\\user\\AppData\\Roaming");
    unsetenv("USER");
    EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, path), S_OK);
    EXPECT_STREQ(path, "C:\\Users\\user\\AppData\\Roaming");

    if (user != nullptr) setenv("USER", saved.c_str(), 1);
}

TEST(PathRemoveExtension, CutsTheLastExtensionOfTheLastComponent)
{
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"model.mdl", "model"},
        {"C:\\a.b\\model.v2.mdl", "C:\\a.b\\model.v2"},
        {"C:\\a.b\\model", "C:\\a.b\\model"},
        {"noext", "noext"},
        {"", ""},
    };
    for (const Case& c : cases) {
        char buffer[64];
        std::strcpy(buffer, c.in);
        PathRemoveExtensionA(buffer);
        EXPECT_STREQ(buffer, c.out) << c.in;
    }
    PathRemoveExtensionA(nullptr);
}

}  // namespace
