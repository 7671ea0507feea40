#include "platform/wintypes.h"

#include <mutex>
#include <unordered_set>

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

// The set of live objects. Built on first use and never destroyed: handles are created during static
// initialisation (the single-instance mutex) and may outlive every other static.
struct LiveSet {
    std::mutex lock;
    std::unordered_set<const platform::KernelObject*> objects;
};

LiveSet& Live()
{
    static LiveSet* set = new LiveSet;
    return *set;
}

}  // namespace

DWORD GetLastError()
{
    return lastError;
}

void SetLastError(DWORD code)
{
    lastError = code;
}

namespace platform {

KernelObject::KernelObject()
{
    LiveSet& live = Live();
    std::lock_guard guard(live.lock);
    live.objects.insert(this);
}

KernelObject::KernelObject(const KernelObject&) : KernelObject() {}

KernelObject::~KernelObject()
{
    LiveSet& live = Live();
    std::lock_guard guard(live.lock);
    live.objects.erase(this);
}

KernelObject* LiveObject(HANDLE handle)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
    auto* object = static_cast<KernelObject*>(handle);
    LiveSet& live = Live();
    std::lock_guard guard(live.lock);
    return live.objects.count(object) != 0 ? object : nullptr;
}

}  // namespace platform

BOOL CloseHandle(HANDLE handle)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto* object = static_cast<platform::KernelObject*>(handle);
    {
        // Taken out of the set under the lock, so two threads closing the same handle delete it once.
        LiveSet& live = Live();
        std::lock_guard guard(live.lock);
        if (live.objects.erase(object) == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    delete object;
    return TRUE;
}
