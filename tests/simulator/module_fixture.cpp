// A small module for the module host tests. It resolves SimConnect from the program that loads it.
#include "platform/simconnect/Gauges.h"
#include "platform/simconnect/SimConnect.h"

namespace {

HANDLE g_handle = nullptr;
int g_starts = 0;

double ReadVariable(const char* name);

void Dispatch(SIMCONNECT_RECV* data, DWORD, void*)
{
    if (data->dwID != SIMCONNECT_RECV_ID_EVENT) return;
    auto* event = static_cast<SIMCONNECT_RECV_EVENT*>(data);
    if (event->uEventID != 1) return;
    // Answers a query with the named variable's value (times 10) and how often it was started.
    const double value = ReadVariable("FSLA320_ParkBrake");
    SimConnect_TransmitClientEvent(g_handle, 0, 2, static_cast<DWORD>(value * 10 + 1000 * g_starts), 1,
                                   SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
}

}  // namespace

extern "C" {

PANELS* Panels = nullptr;

int DLLStart()
{
    if (FAILED(SimConnect_Open(&g_handle, "fixture module", nullptr, 0, nullptr, 0))) return 0;
    ++g_starts;
    SimConnect_MapClientEventToSimEvent(g_handle, 1, "Fixture.Query");
    SimConnect_MapClientEventToSimEvent(g_handle, 2, "Fixture.Answer");
    SimConnect_AddClientEventToNotificationGroup(g_handle, 1, 1, FALSE);
    SimConnect_SetNotificationGroupPriority(g_handle, 1, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
    SimConnect_CallDispatch(g_handle, Dispatch, nullptr);
    return 0;
}

void DLLStop()
{
    if (g_handle) SimConnect_Close(g_handle);
}
}

namespace {

double ReadVariable(const char* name)
{
    if (!Panels) return -0.123;
    auto lookup = reinterpret_cast<LookupNamedVariableFunction>(Panels->slots[kLookupNamedVariableSlot]);
    auto read = reinterpret_cast<ReadNamedVariableFunction>(Panels->slots[kReadNamedVariableSlot]);
    const int id = lookup(name);
    return id == -1 ? -0.123 : read(id);
}

}  // namespace
