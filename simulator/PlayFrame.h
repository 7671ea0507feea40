// One frame of a run as simhost plays it, in the order that makes one scenario give one timeline.
// Runs on the simulator's thread.
#pragma once

#include "platform/clock.h"
#include "simulator/ModuleHost.h"
#include "simulator/Scenario.h"
#include "simulator/Simulator.h"

#include <cstdint>
#include <functional>

namespace simulator {

// Plays the frame at the simulator's next time: the scenario's steps due, the frame itself, the module's
// timers on the virtual clock up to the frame's time (clock: null when the timers run in real time;
// clockMs: where the virtual clock stands), the messages of the module and of the scenario's clients, then
// `inProcess` (may be empty). All that while the messages to clients on the socket are held: they go out
// together at the end. A socket client's answer to this frame therefore reaches the module and the
// scenario's clients in the next frame, however quickly it comes; otherwise a fast answer would overtake
// the module's turn at this frame and a slow one would not, and two runs would differ by a frame.
void PlayFrame(Simulator& sim, Scenario& scenario, ModuleHost& host, platform::ManualClock* clock, uint64_t& clockMs,
               const std::function<void()>& inProcess);

}  // namespace simulator
