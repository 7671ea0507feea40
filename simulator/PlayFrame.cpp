// One frame of a run as simhost plays it, the socket clients' messages held while the parties in this
// process have their turn. Runs on the simulator's thread.
#include "simulator/PlayFrame.h"

namespace simulator {

void PlayFrame(Simulator& sim, Scenario& scenario, ModuleHost& host, platform::ManualClock* clock, uint64_t& clockMs,
               const std::function<void()>& inProcess)
{
    sim.HoldSocketMessages(true);
    scenario.Step(sim);
    sim.RunFrames(1);
    if (clock) {
        const uint64_t now = sim.NowMs();
        clock->Advance(now - clockMs);
        clockMs = now;
    }
    host.Pump();
    scenario.PumpClients(sim);
    if (inProcess) inProcess();
    sim.HoldSocketMessages(false);
}

}  // namespace simulator
