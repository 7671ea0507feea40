// The whole program run in a benchmark's process beside the in-process stand-in simulator: the pump that
// dispatches the program's messages and plays the jetway module's part of a bubble cycle (the reset
// request answered with the reload event), and the count of the objects the program has created. Main
// thread only.
#pragma once

#include "app/FSProcess.h"
#include "app/Program.h"
#include "platform/simconnect/SimConnect.h"
#include "simulator/Simulator.h"

#include <cstddef>

namespace bench {

// The module's part of a bubble cycle: the reset request is answered with the reload event.
constexpr DWORD kResetAll = 1;
constexpr DWORD kReloadAll = 2;
constexpr DWORD kGroup = 1;

struct Pump {
    HANDLE module = nullptr;
    int dispatched = 0;

    static void Program(SIMCONNECT_RECV* data, DWORD size, void* context)
    {
        ++static_cast<Pump*>(context)->dispatched;
        FSProcess::Dispatch(data, size, nullptr);
    }
    static void Module(SIMCONNECT_RECV* data, DWORD, void* context)
    {
        auto* pump = static_cast<Pump*>(context);
        if (data->dwID != SIMCONNECT_RECV_ID_EVENT) return;
        if (reinterpret_cast<SIMCONNECT_RECV_EVENT*>(data)->uEventID != kResetAll) return;
        ++pump->dispatched;
        SimConnect_TransmitClientEvent(pump->module, SIMCONNECT_OBJECT_ID_USER, kReloadAll, 0,
                                       SIMCONNECT_GROUP_PRIORITY_HIGHEST, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
    }

    void Connect()
    {
        SimConnect_Open(&module, "Module", nullptr, 0, nullptr, 0);
        SimConnect_MapClientEventToSimEvent(module, kResetAll, "VELK.JetwayAction.ResetAll");
        SimConnect_AddClientEventToNotificationGroup(module, kGroup, kResetAll, FALSE);
        SimConnect_MapClientEventToSimEvent(module, kReloadAll, "VELK.ReloadAll");
        SimConnect_SetNotificationGroupPriority(module, kGroup, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
    }

    // Dispatches until neither side has anything waiting.
    void operator()()
    {
        for (int round = 0; round < 50; ++round) {
            const int before = dispatched;
            SimConnect_CallDispatch(program::Sim().GetHandle(), &Pump::Program, this);
            SimConnect_CallDispatch(module, &Pump::Module, this);
            if (dispatched == before) return;
        }
    }
};

inline size_t CreatedObjects(const simulator::Simulator& sim)
{
    size_t count = 0;
    for (const simulator::ObjectInfo& info : sim.Objects())
        if (info.createdBy == "Orvane VELK") ++count;
    return count;
}

}  // namespace bench
