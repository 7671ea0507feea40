// Top-level windows by class name. There is no window system here: the stand-in simulator registers the
// windows that a real simulator would show (its main window has the class "FS98MAIN"). A window
// registered for the whole machine is also seen by the other processes of the same machine root, for as
// long as the registering process lives.
#pragma once

#include "platform/wintypes.h"

#include <string>

// className or windowName null: any. Class and window names compare without regard to case. The window
// registered first in this process wins, then the machine-wide windows of other processes; null when
// none matches.
HWND FindWindowA(const char* className, const char* windowName);
BOOL IsWindow(HWND window);

namespace platform {

enum class WindowScope { Process, Machine };

HWND RegisterWindow(const std::string& className, const std::string& windowName = "",
                    WindowScope scope = WindowScope::Process);
// Unknown handles are ignored.
void UnregisterWindow(HWND window);

// A window for the lifetime of the guard.
class ScopedWindow {
public:
    explicit ScopedWindow(const std::string& className, const std::string& windowName = "",
                          WindowScope scope = WindowScope::Process)
        : window_(RegisterWindow(className, windowName, scope)) {}
    ~ScopedWindow() { UnregisterWindow(window_); }
    ScopedWindow(const ScopedWindow&) = delete;
    ScopedWindow& operator=(const ScopedWindow&) = delete;
    HWND get() const { return window_; }

private:
    HWND window_;
};

}  // namespace platform
