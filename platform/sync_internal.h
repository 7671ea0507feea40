// Internal links between the clock, timer queues and events of the platform layer.
#pragma once

#include "platform/wintypes.h"

#include <cstdint>
#include <memory>

namespace platform {
class ManualClock;
}

namespace platform::detail {

// Milliseconds on the steady clock since the layer's first use.
uint64_t SteadyNowMs();

// Takes every timer of clock off the schedule for good (the clock is going away).
void ForgetManualClock(ManualClock& clock);

struct EventState;
// The shared state behind an event handle; null when handle is not a live event.
std::shared_ptr<EventState> EventStateOf(HANDLE handle);
void SignalEventState(EventState& event);

}  // namespace platform::detail
