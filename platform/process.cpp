#include "platform/process.h"

#include "platform/machine.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// ---- The named mutex: a lock file per name, locked (flock) while this process holds a handle. ----

struct NamedLock {
    int fd = -1;  // -1: another process held the lock when the name was first opened here
    int handles = 0;
};

struct MutexTable {
    std::mutex lock;
    std::map<std::string, NamedLock> names;
};

// Never destroyed: the single-instance mutex is created during static initialisation and held until
// the process ends.
MutexTable& Mutexes()
{
    static MutexTable* table = new MutexTable;
    return *table;
}

struct MutexObject : platform::KernelObject {
    std::string name;  // empty for an unnamed mutex
    ~MutexObject() override;
};

MutexObject::~MutexObject()
{
    if (name.empty()) return;
    MutexTable& table = Mutexes();
    std::lock_guard guard(table.lock);
    auto it = table.names.find(name);
    if (it == table.names.end() || --it->second.handles > 0) return;
    if (it->second.fd >= 0) ::close(it->second.fd);  // releases the lock
    table.names.erase(it);
}

// Kernel object names are case-sensitive; every byte outside a safe set is written as %XX so that two
// names never share a lock file. Very long names keep a readable head and a hash of the whole.
std::string LockFileName(const std::string& name)
{
    std::string result;
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '{' || c == '}' || (c == '.' && !result.empty())) {
            result += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            result += hex;
        }
    }
    if (result.size() > 200) {
        uint64_t hash = 1469598103934665603ull;  // FNV-1a
        for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
        char tail[24];
        std::snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(hash));
        result = result.substr(0, 180) + tail;
    }
    return result;
}

// Opens a lock file for reading (a lock needs no more); creates it first where it may.
int OpenLock(const fs::path& folder, const std::string& fileName)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    const fs::path file = folder / fileName;
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);  // made by another user, or a read-only root
    return fd;
}

// The lock file of a name lives in the machine root's ".locks" folder. A root that cannot hold it
// (read-only, missing, or not a folder) keeps its locks in the system's temporary folder instead, under
// a name made of the root's path, so that two programs on one root still meet at one file.
int OpenLockFile(const std::string& name)
{
    const fs::path root = platform::MachineRoot();
    const int fd = OpenLock(root / ".locks", LockFileName(name));
    if (fd >= 0) return fd;

    std::error_code ec;
    fs::path temp = fs::temp_directory_path(ec);
    if (ec) temp = "/tmp";
    const fs::path shared = temp / "velk-locks";
    if (fs::create_directories(shared, ec)) {
        // Every user's programs lock here; the sticky bit keeps their files their own.
        fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit, ec);
    }
    uint64_t hash = 1469598103934665603ull;  // FNV-1a of the root's path
    fs::path where = fs::weakly_canonical(root, ec);
    if (ec) where = root;
    for (unsigned char c : where.string()) hash = (hash ^ c) * 1099511628211ull;
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "%016llx-", static_cast<unsigned long long>(hash));
    return OpenLock(shared, prefix + LockFileName(name));
}

// ---- The process snapshot. ----

struct ProcessInfo {
    DWORD pid = 0;
    DWORD parent = 0;
    DWORD threads = 0;
    std::string name;
};

struct Snapshot : platform::KernelObject {
    std::vector<ProcessInfo> processes;
    size_t next = 0;
};

bool ReadSmallFile(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    char buffer[4096];
    in.read(buffer, sizeof buffer);
    text.assign(buffer, static_cast<size_t>(in.gcount()));
    return true;
}

// The name the process is known by: its command name, or the file name of argv[0] when the command
// name may have been cut (the kernel keeps 15 characters) and argv[0] continues it.
std::string ProcessName(const std::string& procFolder)
{
    std::string comm;
    if (!ReadSmallFile(procFolder + "/comm", comm)) return {};
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    if (comm.size() < 15) return comm;

    std::string cmdline;
    if (!ReadSmallFile(procFolder + "/cmdline", cmdline)) return comm;
    const std::string argv0 = cmdline.substr(0, cmdline.find('\0'));
    const size_t slash = argv0.find_last_of('/');
    const std::string base = slash == std::string::npos ? argv0 : argv0.substr(slash + 1);
    return base.size() > comm.size() && base.compare(0, comm.size(), comm) == 0 ? base : comm;
}

// Parent and thread count from /proc/<pid>/stat; the command name there may hold ')' and blanks, so
// the fields are counted from the last ')'.
void ReadStat(const std::string& procFolder, ProcessInfo& info)
{
    std::string stat;
    if (!ReadSmallFile(procFolder + "/stat", stat)) return;
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return;
    std::vector<std::string> fields;  // from field 3 (state) on
    size_t start = close + 2;
    while (start < stat.size() && fields.size() < 18) {
        size_t end = stat.find(' ', start);
        if (end == std::string::npos) end = stat.size();
        fields.push_back(stat.substr(start, end - start));
        start = end + 1;
    }
    auto number = [&fields](size_t field) -> DWORD {
        if (field - 3 >= fields.size()) return 0;
        return static_cast<DWORD>(std::strtoul(fields[field - 3].c_str(), nullptr, 10));
    };
    info.parent = number(4);
    info.threads = number(20);
}

void Fill(PROCESSENTRY32* entry, const ProcessInfo& info)
{
    entry->th32ProcessID = info.pid;
    entry->th32ParentProcessID = info.parent;
    entry->cntThreads = info.threads;
    const size_t length = info.name.size() < MAX_PATH - 1 ? info.name.size() : MAX_PATH - 1;
    std::memcpy(entry->szExeFile, info.name.data(), length);
    entry->szExeFile[length] = '\0';
}

BOOL NextEntry(HANDLE snapshot, PROCESSENTRY32* entry, bool first)
{
    Snapshot* state = platform::HandleAs<Snapshot>(snapshot);
    if (state == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (entry == nullptr || entry->dwSize < sizeof(PROCESSENTRY32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (first) state->next = 0;
    if (state->next >= state->processes.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    Fill(entry, state->processes[state->next++]);
    return TRUE;
}

}  // namespace

HANDLE CreateMutexA(void* /*securityAttributes*/, BOOL /*initialOwner*/, const char* name)
{
    auto mutex = std::make_unique<MutexObject>();
    if (name == nullptr || *name == '\0') {
        SetLastError(ERROR_SUCCESS);
        return static_cast<platform::KernelObject*>(mutex.release());
    }

    MutexTable& table = Mutexes();
    std::lock_guard guard(table.lock);
    auto it = table.names.find(name);
    if (it != table.names.end()) {
        // This process already has the name open: the same mutex, which exists already.
        ++it->second.handles;
        mutex->name = name;
        SetLastError(ERROR_ALREADY_EXISTS);
        return static_cast<platform::KernelObject*>(mutex.release());
    }

    const int fd = OpenLockFile(name);
    if (fd < 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    NamedLock entry;
    entry.handles = 1;
    DWORD result = ERROR_SUCCESS;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        entry.fd = fd;
    } else {
        ::close(fd);
        result = ERROR_ALREADY_EXISTS;  // another process holds it
    }
    table.names.emplace(name, entry);
    mutex->name = name;
    SetLastError(result);
    return static_cast<platform::KernelObject*>(mutex.release());
}

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD /*processId*/)
{
    auto snapshot = std::make_unique<Snapshot>();
    if ((flags & TH32CS_SNAPPROCESS) != 0) {
        std::error_code ec;
        for (const fs::directory_entry& entry : fs::directory_iterator("/proc", ec)) {
            const std::string id = entry.path().filename().string();
            if (id.empty() || id.find_first_not_of("0123456789") != std::string::npos || id.size() > 9) continue;
            ProcessInfo info;
            info.pid = static_cast<DWORD>(std::stoul(id));
            const std::string folder = entry.path().string();
            info.name = ProcessName(folder);
            if (info.name.empty()) continue;  // ended while we looked
            ReadStat(folder, info);
            snapshot->processes.push_back(std::move(info));
        }
        if (ec && snapshot->processes.empty()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
    }
    return static_cast<platform::KernelObject*>(snapshot.release());
}

BOOL Process32First(HANDLE snapshot, PROCESSENTRY32* entry)
{
    return NextEntry(snapshot, entry, true);
}

BOOL Process32Next(HANDLE snapshot, PROCESSENTRY32* entry)
{
    return NextEntry(snapshot, entry, false);
}

DWORD GetCurrentProcessId()
{
    return static_cast<DWORD>(::getpid());
}

int MessageBoxA(HWND /*owner*/, const char* text, const char* caption, UINT /*type*/)
{
    std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "Error", text != nullptr ? text : "");
    std::fflush(stderr);
    return IDOK;
}
