// Top-level windows by class name. There is no window system here: the stand-in simulator registers the
// windows that a real simulator would show (its main window has the class "FS98MAIN").
#pragma once

#include "platform/wintypes.h"

#include <string>

// className or windowName null: any. Class and window names compare without regard to case. The window
// registered first wins; null when none matches.
HWND FindWindowA(const char* className, const char* windowName);
BOOL IsWindow(HWND window);

namespace platform {

HWND RegisterWindow(const std::string& className, const std::string& windowName = "");
// Unknown handles are ignored.
void UnregisterWindow(HWND window);

// A window for the lifetime of the guard.
class ScopedWindow {
public:
    explicit ScopedWindow(const std::string& className, const std::string& windowName = "")
        : window_(RegisterWindow(className, windowName)) {}
    ~ScopedWindow() { UnregisterWindow(window_); }
    ScopedWindow(const ScopedWindow&) = delete;
    ScopedWindow& operator=(const ScopedWindow&) = delete;
    HWND get() const { return window_; }

private:
    HWND window_;
};

}  // namespace platform
