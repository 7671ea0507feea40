#include "platform/window.h"

#include "platform/wintext.h"

#include <mutex>
#include <vector>

namespace {

struct Window {
    uintptr_t id;
    std::string className;
    std::string windowName;
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

}  // namespace

HWND FindWindowA(const char* className, const char* windowName)
{
    Windows& windows = All();
    std::lock_guard guard(windows.lock);
    for (const auto& w : windows.list) {
        if (className != nullptr && !platform::text::IEquals(w.className, className)) continue;
        if (windowName != nullptr && !platform::text::IEquals(w.windowName, windowName)) continue;
        return AsHandle(w.id);
    }
    return nullptr;
}

BOOL IsWindow(HWND window)
{
    Windows& windows = All();
    std::lock_guard guard(windows.lock);
    for (const auto& w : windows.list)
        if (AsHandle(w.id) == window) return TRUE;
    return FALSE;
}

namespace platform {

HWND RegisterWindow(const std::string& className, const std::string& windowName)
{
    Windows& windows = All();
    std::lock_guard guard(windows.lock);
    const uintptr_t id = windows.nextId;
    windows.nextId += 4;  // handles are never reused
    windows.list.push_back({id, className, windowName});
    return AsHandle(id);
}

void UnregisterWindow(HWND window)
{
    Windows& windows = All();
    std::lock_guard guard(windows.lock);
    std::erase_if(windows.list, [window](const Window& w) { return AsHandle(w.id) == window; });
}

}  // namespace platform
