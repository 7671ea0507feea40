// Destroying the owner of a timer while its callback runs on a real timer thread.
//
// The callback is stopped at a hold point inside a call it makes (a write the stand-in simulator or the
// sound device sees), the owner is destroyed on another thread, and the callback is let go only after a
// destruction that returns at once would have returned. An owner that deletes its timer queue without
// waiting is caught three ways: its destruction returns while the callback is held (checked here), the
// callback touches the freed owner after it is let go (AddressSanitizer), and the callback's reads before
// the hold point are not ordered before the free (ThreadSanitizer). For that last one the test thread
// learns of the hold through a relaxed atomic only: nothing it does afterwards synchronises with the
// callback until the callback is let go.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace testsupport {

class CallbackHold {
public:
    // From now on the first call of Here() holds its thread.
    void Arm() { armed_.store(true); }

    // The hold point, called by the callback under test. Holds the first call after Arm() until Release().
    void Here()
    {
        if (!armed_.load() || taken_.exchange(true)) return;
        inside_.store(true, std::memory_order_relaxed);
        std::unique_lock<std::mutex> lock(mutex_);
        released_.wait(lock, [this] { return release_; });
    }

    // Waits until a callback is held at Here().
    void WaitUntilHeld() const
    {
        while (!inside_.load(std::memory_order_relaxed)) std::this_thread::yield();
    }

    void Release()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            release_ = true;
        }
        released_.notify_all();
    }

private:
    std::atomic<bool> armed_{false};
    std::atomic<bool> taken_{false};
    std::atomic<bool> inside_{false};
    std::mutex mutex_;
    std::condition_variable released_;
    bool release_ = false;
};

// How many times the test thread yields while it gives a destruction that does not wait the chance to
// return. Only a faulty destruction can return meanwhile; a correct one waits for Release() however long.
constexpr int kYieldsForAFaultyReturn = 100000;

// Holds the callback at hold.Here() (armed by the caller), runs destroy on another thread, and returns
// whether destroy returned while the callback was still held. The callback is let go before this returns.
inline bool DestructionReturnedWhileHeld(CallbackHold& hold, const std::function<void()>& destroy)
{
    hold.WaitUntilHeld();
    std::atomic<bool> returned{false};
    std::thread destroyer([&] {
        destroy();
        returned.store(true, std::memory_order_relaxed);
    });
    for (int i = 0; i < kYieldsForAFaultyReturn && !returned.load(std::memory_order_relaxed); ++i)
        std::this_thread::yield();
    const bool early = returned.load(std::memory_order_relaxed);
    hold.Release();
    destroyer.join();
    return early;
}

}  // namespace testsupport
