#include "platform/window.h"

#include "platform/machine.h"
#include "platform/wintext.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <mutex>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Window {
    uintptr_t id;
    std::string className;
    std::string windowName;
    fs::path published;  // the machine-wide entry, empty for a window of this process only
};

struct Windows {
    std::mutex lock;
    std::vector<Window> list;  // in registration order
    uintptr_t nextId = 0x10010;
};

Windows& All()
{
    static Windows* windows = new Windows;
    return *windows;
}

HWND AsHandle(uintptr_t id)
{
    return reinterpret_cast<HWND>(id);
}

// Machine-wide windows are files "<pid>-<id>" in the root's ".windows" folder holding the class name and
// the window name on two lines. Another process sees such a window under the handle
// kForeignBit | pid << 24 | id, and only while that pid is alive.
constexpr uintptr_t kForeignBit = uintptr_t{1} << 62;

fs::path WindowFolder()
{
    return platform::MachineRoot() / ".windows";
}

bool ProcessAlive(pid_t pid)
{
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

struct ForeignWindow {
    pid_t pid = 0;
    uintptr_t id = 0;
    std::string className;
    std::string windowName;
};

bool ReadForeign(const fs::path& file, ForeignWindow& out)
{
    const std::string name = file.filename().string();
    const auto dash = name.find('-');
    if (dash == std::string::npos) return false;
    try {
        out.pid = static_cast<pid_t>(std::stol(name.substr(0, dash)));
        out.id = static_cast<uintptr_t>(std::stoul(name.substr(dash + 1)));
    } catch (const std::exception&) {
        return false;
    }
    if (out.pid == getpid() || out.id >= (uintptr_t{1} << 24) || !ProcessAlive(out.pid)) return false;
    std::ifstream in(file);
    return static_cast<bool>(std::getline(in, out.className)) && static_cast<bool>(std::getline(in, out.windowName));
}

HWND ForeignHandle(const ForeignWindow& w)
{
    return AsHandle(kForeignBit | static_cast<uintptr_t>(w.pid) << 24 | w.id);
}

HWND FindForeign(const char* className, const char* windowName)
{
    std::error_code ec;
    std::vector<ForeignWindow> found;
    for (const auto& entry : fs::directory_iterator(WindowFolder(), ec)) {
        ForeignWindow w;
        if (!ReadForeign(entry.path(), w)) continue;
        if (className != nullptr && !platform::text::IEquals(w.className, className)) continue;
        if (windowName != nullptr && !platform::text::IEquals(w.windowName, windowName)) continue;
        found.push_back(w);
    }
    if (found.empty()) return nullptr;
    // The oldest registration wins: lowest process id, then lowest window id.
    const auto first = std::min_element(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.pid != b.pid ? a.pid < b.pid : a.id < b.id;
    });
    return ForeignHandle(*first);
}

bool ForeignAlive(HWND window)
{
    const auto value = reinterpret_cast<uintptr_t>(window);
    if ((value & kForeignBit) == 0) return false;
    const auto pid = static_cast<pid_t>((value & ~kForeignBit) >> 24);
    const uintptr_t id = value & ((uintptr_t{1} << 24) - 1);
    std::error_code ec;
    const fs::path file = WindowFolder() / (std::to_string(pid) + "-" + std::to_string(id));
    return fs::exists(file, ec) && ProcessAlive(pid);
}

}  // namespace

HWND FindWindowA(const char* className, const char* windowName)
{
    {
        Windows& windows = All();
        std::lock_guard guard(windows.lock);
        for (const auto& w : windows.list) {
            if (className != nullptr && !platform::text::IEquals(w.className, className)) continue;
            if (windowName != nullptr && !platform::text::IEquals(w.windowName, windowName)) continue;
            return AsHandle(w.id);
        }
    }
    return FindForeign(className, windowName);
}

BOOL IsWindow(HWND window)
{
    {
        Windows& windows = All();
        std::lock_guard guard(windows.lock);
        for (const auto& w : windows.list)
            if (AsHandle(w.id) == window) return TRUE;
    }
    return ForeignAlive(window) ? TRUE : FALSE;
}

namespace platform {

HWND RegisterWindow(const std::string& className, const std::string& windowName, WindowScope scope)
{
    Windows& windows = All();
    std::lock_guard guard(windows.lock);
    const uintptr_t id = windows.nextId;
    windows.nextId += 4;  // handles are never reused
    fs::path published;
    if (scope == WindowScope::Machine) {
        std::error_code ec;
        fs::create_directories(WindowFolder(), ec);
        published = WindowFolder() / (std::to_string(getpid()) + "-" + std::to_string(id));
        std::ofstream out(published, std::ios::trunc);
        out << className << '\n' << windowName << '\n';
        if (!out) published.clear();
    }
    windows.list.push_back({id, className, windowName, published});
    return AsHandle(id);
}

void UnregisterWindow(HWND window)
{
    Windows& windows = All();
    std::lock_guard guard(windows.lock);
    std::erase_if(windows.list, [window](const Window& w) {
        if (AsHandle(w.id) != window) return false;
        std::error_code ec;
        if (!w.published.empty()) fs::remove(w.published, ec);
        return true;
    });
}

}  // namespace platform
