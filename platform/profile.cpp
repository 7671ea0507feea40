#include "platform/profile.h"

#include "platform/machine.h"
#include "platform/wintext.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

using platform::text::IEquals;

struct Line {
    std::string_view key;
    std::string_view value;
};

struct Section {
    std::string_view name;
    std::vector<Line> lines;
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view Unquote(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value.remove_prefix(1);
        value.remove_suffix(1);
    }
    return value;
}

void AppendUtf8(std::string& out, uint32_t code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// UTF-16 text after its byte order mark, as the narrow (UTF-8) text the callers get. A lone surrogate
// becomes U+FFFD, as the Windows conversion makes it; an odd last byte is dropped.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian)
{
    const size_t count = bytes.size() / 2;
    auto unit = [&](size_t i) -> uint32_t {
        const auto a = static_cast<unsigned char>(bytes[2 * i]);
        const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    std::string out;
    out.reserve(count + count / 2);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t code = unit(i);
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < count) {
            const uint32_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, code >= 0xD800 && code <= 0xDFFF ? 0xFFFD : code);
    }
    return out;
}

// The file's text as the callers read it: UTF-16 with a byte order mark (little or big endian) is
// converted, a UTF-8 byte order mark is dropped, anything else is taken byte for byte.
std::string DecodeText(std::string raw)
{
    const std::string_view view(raw);
    if (view.substr(0, 2) == "\xFF\xFE") return Utf16ToUtf8(view.substr(2), false);
    if (view.substr(0, 2) == "\xFE\xFF") return Utf16ToUtf8(view.substr(2), true);
    if (view.substr(0, 3) == "\xEF\xBB\xBF") raw.erase(0, 3);
    return raw;
}

// Every section in file order, repeated names included; the views point into text.
std::vector<Section> ParseIni(std::string_view text)
{
    std::vector<Section> sections;
    size_t start = 0;
    while (start < text.size()) {
        // CR LF, LF and CR alone all end a line (the empty line between CR and LF is skipped below).
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = Trim(text.substr(start, end - start));
        start = end + 1;

        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            if (close != std::string_view::npos) {
                sections.push_back({Trim(line.substr(1, close - 1)), {}});
                continue;
            }
            // Without ']' the line is no section header: it counts only as a "key=value" line.
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos || sections.empty()) continue;
        sections.back().lines.push_back({Trim(line.substr(0, equals)), Unquote(Trim(line.substr(equals + 1)))});
    }
    return sections;
}

// Section names hashed and compared without regard to ASCII case, so that finding one allocates nothing.
struct FoldedHash {
    size_t operator()(std::string_view name) const
    {
        uint64_t hash = 14695981039346656037ull;  // FNV-1a over the lower-cased bytes
        for (char c : name) {
            hash = (hash ^ static_cast<unsigned char>(platform::text::AsciiLower(c))) * 1099511628211ull;
        }
        return static_cast<size_t>(hash);
    }
};
struct FoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const { return IEquals(a, b); }
};
using SectionIndex = std::unordered_map<std::string_view, size_t, FoldedHash, FoldedEqual>;

// The first section of every name, so that a file of thousands of sections finds one without comparing
// its name with all of them. The keys are the sections' own names, views into the file's text.
SectionIndex IndexSections(const std::vector<Section>& sections)
{
    SectionIndex index;
    index.reserve(sections.size());
    for (size_t i = 0; i < sections.size(); ++i) index.emplace(sections[i].name, i);
    return index;
}

// A file's text and its sections; never changed once made, so that any thread may read it.
struct ParsedIni {
    explicit ParsedIni(std::string decoded)
        : text(std::move(decoded)), sections(ParseIni(text)), firstOfName(IndexSections(sections))
    {
    }
    ParsedIni(const ParsedIni&) = delete;
    ParsedIni& operator=(const ParsedIni&) = delete;

    size_t Bytes() const
    {
        size_t bytes = sizeof *this + text.size() + sections.size() * sizeof(Section);
        for (const Section& section : sections) bytes += section.lines.size() * sizeof(Line);
        bytes += firstOfName.size() * (sizeof(SectionIndex::value_type) + 2 * sizeof(void*));
        return bytes;
    }

    const Section* Find(std::string_view name) const
    {
        const auto found = firstOfName.find(name);
        return found != firstOfName.end() ? &sections[found->second] : nullptr;
    }

    const std::string text;  // declared first: the sections point into it
    const std::vector<Section> sections;
    const SectionIndex firstOfName;
};

// ---- The parse cache ------------------------------------------------------------------------------
//
// A file is read and parsed once and kept, keyed by its host path and checked at every call against
// its stamp (device, inode, size, modification and change times in nanoseconds): a rewritten file,
// one replaced by another, or one whose times were set back, is read again.
//
// File times have the granularity of the file system's clock (a few milliseconds, a second or two on
// some file systems), so a file rewritten with the same size within one tick of its last change keeps
// its stamp. A file whose modification time was less than kSettleNanoseconds before it was read is
// therefore read again at every call until a read finds it older (its text is compared and parsed
// again only when it changed); from then on any write moves the modification time. What stays
// unseen: a same-size rewrite whose modification time is then set back to the old value within one
// tick of the previous change, which no ordinary writer does.

constexpr size_t kMaxCachedFiles = 64;
constexpr size_t kMaxCachedBytes = size_t{64} << 20;
constexpr int64_t kSettleNanoseconds = 2'000'000'000;

int64_t Nanoseconds(const timespec& time)
{
    return static_cast<int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t modified = 0;
    int64_t changed = 0;

    static FileStamp Of(const struct stat& info)
    {
        return {info.st_dev, info.st_ino, info.st_size, Nanoseconds(info.st_mtim), Nanoseconds(info.st_ctim)};
    }
    bool operator==(const FileStamp&) const = default;
};

int64_t NowNanoseconds()
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return Nanoseconds(now);
}

std::atomic<uint64_t> g_fileReads {0};
std::atomic<uint64_t> g_parses {0};

// The whole file behind an open descriptor; false on a read error.
bool ReadAll(int fd, std::string& contents)
{
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        contents.append(chunk, static_cast<size_t>(got));
    }
}

class ProfileCache {
public:
    // The parsed file, or null when it cannot be read (missing, a folder, no permission).
    std::shared_ptr<const ParsedIni> Get(const char* fileName)
    {
        if (fileName == nullptr) return nullptr;
        const std::optional<std::filesystem::path> resolved = platform::ResolveExisting(fileName);
        if (!resolved) return nullptr;
        const std::string key = resolved->string();

        struct stat info {};
        if (::stat(key.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
            Forget(key);
            return nullptr;
        }
        std::shared_ptr<const ParsedIni> unsettled;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const auto found = index_.find(key);
            if (found != index_.end()) {
                Entry& entry = *found->second;
                if (entry.stamp == FileStamp::Of(info)) {
                    order_.splice(order_.begin(), order_, found->second);
                    if (entry.settled) return entry.parsed;
                    unsettled = entry.parsed;
                }
            }
        }

        // Not kept, rewritten, or too young to trust its stamp: read it.
        const int64_t now = NowNanoseconds();
        const int fd = ::open(key.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            Forget(key);
            return nullptr;
        }
        std::string raw;
        const bool read = ::fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode) && ReadAll(fd, raw);
        ::close(fd);
        if (!read) {
            Forget(key);
            return nullptr;
        }
        g_fileReads.fetch_add(1, std::memory_order_relaxed);

        std::string text = DecodeText(std::move(raw));
        std::shared_ptr<const ParsedIni> parsed;
        if (unsettled != nullptr && unsettled->text == text) {
            parsed = std::move(unsettled);
        } else {
            parsed = std::make_shared<const ParsedIni>(std::move(text));
            g_parses.fetch_add(1, std::memory_order_relaxed);
        }
        const bool settled = now - Nanoseconds(info.st_mtim) >= kSettleNanoseconds;
        Store(key, FileStamp::Of(info), settled, parsed);
        return parsed;
    }

    void Clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        order_.clear();
        index_.clear();
        bytes_ = 0;
    }

    size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return order_.size();
    }

    void Forget(const std::string& key)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = index_.find(key);
        if (found != index_.end()) Erase(found->second);
    }

private:
    struct Entry {
        std::string key;
        FileStamp stamp;
        bool settled = false;
        std::shared_ptr<const ParsedIni> parsed;
        size_t bytes = 0;
    };
    using Order = std::list<Entry>;

    void Store(const std::string& key, const FileStamp& stamp, bool settled, std::shared_ptr<const ParsedIni> parsed)
    {
        const size_t bytes = parsed->Bytes();
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = index_.find(key);
        if (found != index_.end()) Erase(found->second);
        if (bytes > kMaxCachedBytes) return;  // used for this call only
        while (!order_.empty() && (order_.size() >= kMaxCachedFiles || bytes_ + bytes > kMaxCachedBytes)) {
            Erase(std::prev(order_.end()));  // the least recently used
        }
        order_.push_front({key, stamp, settled, std::move(parsed), bytes});
        index_[key] = order_.begin();
        bytes_ += bytes;
    }

    void Erase(Order::iterator entry)
    {
        bytes_ -= entry->bytes;
        index_.erase(entry->key);
        order_.erase(entry);
    }

    std::mutex mutex_;
    Order order_;  // most recently used first
    std::unordered_map<std::string, Order::iterator> index_;
    size_t bytes_ = 0;
};

ProfileCache& Cache()
{
    // Never destroyed: timer threads may still read a file while the program ends.
    static ProfileCache* const cache = new ProfileCache;
    return *cache;
}

// Copies a value, cut to size - 1. The result is the length copied.
DWORD CopyValue(std::string_view value, char* buffer, DWORD size)
{
    if (buffer == nullptr || size == 0) return 0;
    const size_t length = value.size() < size - 1 ? value.size() : size - 1;
    std::memcpy(buffer, value.data(), length);
    buffer[length] = '\0';
    if (length < value.size()) SetLastError(ERROR_MORE_DATA);
    return static_cast<DWORD>(length);
}

// Copies a list of names, each NUL-terminated and an extra NUL at the end. A list that does not fit
// is cut and ends with two NULs; the result is then size - 2. As on Windows, a list that would fill
// the buffer exactly (its last NUL in the last byte) counts as not fitting: the bytes are the same,
// the result is size - 2.
DWORD CopyList(const std::vector<std::string_view>& names, char* buffer, DWORD size)
{
    if (buffer == nullptr || size == 0) return 0;
    std::string list;
    for (std::string_view name : names) {
        list.append(name);
        list.push_back('\0');
    }
    if (list.size() + 1 < size) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        if (list.empty() && size >= 2) buffer[1] = '\0';  // an empty list still ends in two NULs
        return static_cast<DWORD>(list.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    SetLastError(ERROR_MORE_DATA);
    return size - 2;
}

// Collects names once each, first spelling kept, in the order met.
class NameList {
public:
    void Add(std::string_view name)
    {
        if (name.empty()) return;
        std::string folded(name);
        for (char& c : folded) c = platform::text::AsciiLower(c);
        if (seen_.insert(std::move(folded)).second) names_.push_back(name);
    }
    const std::vector<std::string_view>& Names() const { return names_; }

private:
    std::unordered_set<std::string> seen_;
    std::vector<std::string_view> names_;
};

// The default loses its trailing blanks, as on Windows.
std::string_view DefaultText(const char* defaultValue)
{
    std::string_view text = defaultValue != nullptr ? defaultValue : "";
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

DWORD Lookup(const ParsedIni* parsed, const char* section, const char* key, const char* defaultValue, char* buffer,
             DWORD size)
{
    const bool wantList = section == nullptr || key == nullptr;
    if (parsed == nullptr) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return wantList ? CopyList({}, buffer, size) : CopyValue(DefaultText(defaultValue), buffer, size);
    }

    SetLastError(ERROR_SUCCESS);
    NameList names;
    if (section == nullptr) {
        for (const Section& each : parsed->sections) names.Add(each.name);
        return CopyList(names.Names(), buffer, size);
    }
    const Section* found = parsed->Find(section);
    if (found == nullptr) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return wantList ? CopyList({}, buffer, size) : CopyValue(DefaultText(defaultValue), buffer, size);
    }
    if (key == nullptr) {
        for (const Line& line : found->lines) names.Add(line.key);
        return CopyList(names.Names(), buffer, size);
    }
    for (const Line& line : found->lines) {
        if (IEquals(line.key, key)) return CopyValue(line.value, buffer, size);
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return CopyValue(DefaultText(defaultValue), buffer, size);
}

}  // namespace

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                               DWORD size, const char* fileName)
{
    const std::shared_ptr<const ParsedIni> parsed = Cache().Get(fileName);
    return Lookup(parsed.get(), section, key, defaultValue, buffer, size);
}

UINT GetPrivateProfileIntA(const char* section, const char* key, int defaultValue, const char* fileName)
{
    if (section == nullptr || key == nullptr) return static_cast<UINT>(defaultValue);
    char value[64];
    if (GetPrivateProfileStringA(section, key, "", value, sizeof value, fileName) == 0) {
        return static_cast<UINT>(defaultValue);
    }
    // Read as Windows reads it: control characters and blanks skipped, a sign, a base prefix ("0x",
    // "0o", "0b"), then digits up to the first that is none, gathered in 32 bits with wrap-around.
    const auto* p = reinterpret_cast<const unsigned char*>(value);
    while (*p != '\0' && *p <= ' ') ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    uint32_t base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'o' || p[1] == 'b')) {
        base = p[1] == 'x' ? 16 : p[1] == 'o' ? 8 : 2;
        p += 2;
    }
    uint32_t number = 0;
    for (;; ++p) {
        uint32_t digit = 99;
        if (*p >= '0' && *p <= '9') digit = *p - '0';
        else if (*p >= 'a' && *p <= 'z') digit = *p - 'a' + 10;
        else if (*p >= 'A' && *p <= 'Z') digit = *p - 'A' + 10;
        if (digit >= base) break;
        number = number * base + digit;
    }
    return negative ? 0u - number : number;
}

DWORD GetPrivateProfileSectionNamesA(char* buffer, DWORD size, const char* fileName)
{
    return GetPrivateProfileStringA(nullptr, nullptr, "", buffer, size, fileName);
}

namespace platform {

DWORD ProfileStringFromText(std::string_view text, const char* section, const char* key, const char* defaultValue,
                            char* buffer, DWORD size)
{
    const ParsedIni parsed(DecodeText(std::string(text)));
    return Lookup(&parsed, section, key, defaultValue, buffer, size);
}

ProfileFile::ProfileFile(const char* fileName) : parsed_(Cache().Get(fileName)) {}

DWORD ProfileFile::GetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                             DWORD size) const
{
    return Lookup(static_cast<const ParsedIni*>(parsed_.get()), section, key, defaultValue, buffer, size);
}

ProfileCacheCounters ProfileCacheCountersNow()
{
    return {g_fileReads.load(std::memory_order_relaxed), g_parses.load(std::memory_order_relaxed), Cache().Count()};
}

void ClearProfileCache()
{
    Cache().Clear();
}

}  // namespace platform
