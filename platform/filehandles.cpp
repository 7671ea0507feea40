// File handles over host files: open with Windows sharing rules, read, write, seek, size, times.
#include "platform/files.h"

#include "platform/machine.h"
#include "platform/winpath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <limits>
#include <mutex>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;  // 1970-01-01 in 100 ns ticks since 1601

struct FileObject : platform::KernelObject {
    ~FileObject() override;

    int fd = -1;
    DWORD access = 0;
    DWORD share = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

// Every open file handle, for the sharing check.
struct OpenFiles {
    std::mutex lock;
    std::vector<FileObject*> files;
};

OpenFiles& Open()
{
    static OpenFiles* open = new OpenFiles;  // handles may outlive every other static
    return *open;
}

FileObject::~FileObject()
{
    {
        OpenFiles& open = Open();
        std::lock_guard guard(open.lock);
        open.files.erase(std::remove(open.files.begin(), open.files.end(), this), open.files.end());
    }
    if (fd >= 0) ::close(fd);
}

// A new handle must allow what every open handle of the file does, and every open handle must allow
// what the new one does.
bool SharingAllows(const FileObject& existing, DWORD access, DWORD share)
{
    if ((access & GENERIC_READ) && !(existing.share & FILE_SHARE_READ)) return false;
    if ((access & GENERIC_WRITE) && !(existing.share & FILE_SHARE_WRITE)) return false;
    if ((existing.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return false;
    if ((existing.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return false;
    return true;
}

HANDLE Fail(DWORD error)
{
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

FileObject* FileFromHandle(HANDLE handle)
{
    FileObject* file = platform::HandleAs<FileObject>(handle);
    if (file == nullptr) SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

int64_t Ticks(const FILETIME& time)
{
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

FILETIME FromTicks(int64_t ticks)
{
    const auto value = static_cast<uint64_t>(std::max<int64_t>(ticks, 0));
    return {static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}

timespec ToTimespec(const FILETIME* time)
{
    timespec result {};
    if (time == nullptr) {
        result.tv_nsec = UTIME_OMIT;
        return result;
    }
    const int64_t sinceUnix = Ticks(*time) - kUnixEpochTicks;
    int64_t seconds = sinceUnix / kTicksPerSecond;
    int64_t rest = sinceUnix % kTicksPerSecond;
    if (rest < 0) {
        rest += kTicksPerSecond;
        --seconds;
    }
    result.tv_sec = static_cast<time_t>(seconds);
    result.tv_nsec = static_cast<long>(rest * 100);
    return result;
}

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

unsigned DaysInMonth(unsigned year, unsigned month)
{
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

HANDLE CreateFileA(const char* path, DWORD access, DWORD share, void* /*securityAttributes*/, DWORD disposition,
                   DWORD flagsAndAttributes, HANDLE /*templateFile*/)
{
    if (path == nullptr || (disposition != OPEN_EXISTING && disposition != CREATE_ALWAYS)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    fs::path target;
    bool existed = true;
    if (disposition == OPEN_EXISTING) {
        DWORD error = ERROR_FILE_NOT_FOUND;
        const std::optional<fs::path> resolved = platform::ResolveExisting(path, &error);
        if (!resolved) return Fail(error);
        target = *resolved;
    } else {
        const platform::winpath::ParsedPath parsed = platform::winpath::Parse(path);
        if (!parsed.valid) return Fail(ERROR_INVALID_NAME);
        if (parsed.empty) return Fail(ERROR_PATH_NOT_FOUND);
        if (parsed.components.empty()) return Fail(ERROR_ACCESS_DENIED);  // a drive's root
        DWORD error = ERROR_PATH_NOT_FOUND;
        const std::optional<fs::path> parent =
            platform::winpath::Resolve(parsed, parsed.components.size() - 1, &error);
        std::error_code ec;
        if (!parent || !fs::is_directory(*parent, ec)) return Fail(ERROR_PATH_NOT_FOUND);
        const std::string& name = parsed.components.back();
        const std::optional<std::string> actual = platform::winpath::FindEntry(*parent, name);
        existed = actual.has_value();
        target = *parent / actual.value_or(name);
    }

    struct stat info {};
    if (existed) {
        if (::stat(target.c_str(), &info) != 0) return Fail(ERROR_FILE_NOT_FOUND);
        if (S_ISDIR(info.st_mode)) return Fail(ERROR_ACCESS_DENIED);
        // Read-only is the owner's write bit, as the attributes report it.
        const bool readOnly = (info.st_mode & S_IWUSR) == 0;
        if (readOnly && ((access & GENERIC_WRITE) || disposition == CREATE_ALWAYS)) return Fail(ERROR_ACCESS_DENIED);
    }

    int flags = O_CLOEXEC;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE)) flags |= O_RDWR;
    else if (access & GENERIC_WRITE) flags |= O_WRONLY;
    else flags |= O_RDONLY;
    if (disposition == CREATE_ALWAYS) flags |= O_CREAT;
    if (disposition == CREATE_ALWAYS && !(access & GENERIC_WRITE)) flags = (flags & ~O_RDONLY) | O_RDWR;
    const mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;

    auto file = std::make_unique<FileObject>();
    file->fd = ::open(target.c_str(), flags, mode);
    if (file->fd < 0) return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
    if (::fstat(file->fd, &info) != 0) return Fail(ERROR_ACCESS_DENIED);
    file->access = access & (GENERIC_READ | GENERIC_WRITE);
    file->share = share;
    file->device = info.st_dev;
    file->inode = info.st_ino;

    {
        OpenFiles& open = Open();
        std::lock_guard guard(open.lock);
        for (const FileObject* other : open.files) {
            if (other->device == file->device && other->inode == file->inode &&
                !SharingAllows(*other, file->access, share)) {
                return Fail(ERROR_SHARING_VIOLATION);  // nothing truncated yet
            }
        }
        open.files.push_back(file.get());
    }
    // Replacing empties the file only once the sharing rules allowed the open.
    if (disposition == CREATE_ALWAYS && existed && ::ftruncate(file->fd, 0) != 0) return Fail(ERROR_ACCESS_DENIED);

    SetLastError(disposition == CREATE_ALWAYS && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return static_cast<platform::KernelObject*>(file.release());
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD toRead, DWORD* read, void* overlapped)
{
    FileObject* file = FileFromHandle(handle);
    if (file == nullptr) return FALSE;
    if (read == nullptr || overlapped != nullptr || (buffer == nullptr && toRead > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *read = 0;
    if (!(file->access & GENERIC_READ)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    auto* out = static_cast<char*>(buffer);
    while (*read < toRead) {
        const ssize_t n = ::read(file->fd, out + *read, toRead - *read);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (n == 0) break;  // end of file
        *read += static_cast<DWORD>(n);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD toWrite, DWORD* written, void* overlapped)
{
    FileObject* file = FileFromHandle(handle);
    if (file == nullptr) return FALSE;
    if (written == nullptr || overlapped != nullptr || (buffer == nullptr && toWrite > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *written = 0;
    if (!(file->access & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const auto* in = static_cast<const char*>(buffer);
    while (*written < toWrite) {
        const ssize_t n = ::write(file->fd, in + *written, toWrite - *written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            SetLastError(errno == ENOSPC ? 112 /* ERROR_DISK_FULL */ : ERROR_ACCESS_DENIED);
            return FALSE;
        }
        *written += static_cast<DWORD>(n);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD method)
{
    FileObject* file = FileFromHandle(handle);
    if (file == nullptr) return INVALID_SET_FILE_POINTER;
    int64_t move = distance;
    if (distanceHigh != nullptr) {
        move = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                    static_cast<uint32_t>(distance));
    }
    int64_t base = 0;
    if (method == FILE_CURRENT) {
        base = ::lseek(file->fd, 0, SEEK_CUR);
    } else if (method == FILE_END) {
        struct stat info {};
        base = ::fstat(file->fd, &info) == 0 ? info.st_size : -1;
    } else if (method != FILE_BEGIN) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (base < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    if ((move > 0 && base > std::numeric_limits<int64_t>::max() - move) || base + move < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    const int64_t position = base + move;
    if (distanceHigh == nullptr && position > 0xFFFFFFFELL) {
        // The position could not be told apart from the failure value.
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (::lseek(file->fd, static_cast<off_t>(position), SEEK_SET) < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position & 0xFFFFFFFF);
}

DWORD GetFileSize(HANDLE handle, DWORD* sizeHigh)
{
    FileObject* file = FileFromHandle(handle);
    if (file == nullptr) return INVALID_FILE_SIZE;
    struct stat info {};
    if (::fstat(file->fd, &info) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    const auto size = static_cast<uint64_t>(info.st_size);
    if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size & 0xFFFFFFFF);
}

BOOL SetFileTime(HANDLE handle, const FILETIME* /*creation*/, const FILETIME* access, const FILETIME* write)
{
    FileObject* file = FileFromHandle(handle);
    if (file == nullptr) return FALSE;
    if (!(file->access & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const timespec times[2] = {ToTimespec(access), ToTimespec(write)};
    if (::futimens(file->fd, times) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL DosDateTimeToFileTime(WORD dosDate, WORD dosTime, FILETIME* fileTime)
{
    const unsigned day = dosDate & 0x1F;
    const unsigned month = (dosDate >> 5) & 0x0F;
    const unsigned year = 1980 + (dosDate >> 9);
    const unsigned seconds = (dosTime & 0x1F) * 2;
    const unsigned minutes = (dosTime >> 5) & 0x3F;
    const unsigned hours = dosTime >> 11;
    if (fileTime == nullptr || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hours > 23 || minutes > 59 || seconds > 59) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const int64_t unixSeconds = DaysFromCivil(year, month, day) * 86400 + hours * 3600 + minutes * 60 + seconds;
    *fileTime = FromTicks(unixSeconds * kTicksPerSecond + kUnixEpochTicks);
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* localTime, FILETIME* utcTime)
{
    if (localTime == nullptr || utcTime == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Windows applies the offset in force now, not the one of the date converted.
    const time_t now = ::time(nullptr);
    struct tm local {};
    const long offsetSeconds = ::localtime_r(&now, &local) != nullptr ? local.tm_gmtoff : 0;
    *utcTime = FromTicks(Ticks(*localTime) - static_cast<int64_t>(offsetSeconds) * kTicksPerSecond);
    return TRUE;
}

DWORD GetCurrentDirectoryA(DWORD size, char* buffer)
{
    static constexpr char kCurrent[] = "C:\\";
    constexpr DWORD kLength = sizeof(kCurrent) - 1;
    if (buffer == nullptr || size <= kLength) return kLength + 1;
    std::memcpy(buffer, kCurrent, sizeof(kCurrent));
    return kLength;
}
