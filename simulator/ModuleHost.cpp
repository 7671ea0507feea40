#include "simulator/ModuleHost.h"

#include "platform/simconnect/Gauges.h"
#include "platform/simconnect/ModuleDispatch.h"

#include <dlfcn.h>
#include <map>
#include <mutex>

namespace simulator {

namespace {

std::mutex g_variablesMutex;
std::vector<std::pair<std::string, double>> g_variables;  // the id is the index

int LookupNamedVariable(const char* name)
{
    if (!name) return -1;
    std::lock_guard lock(g_variablesMutex);
    for (size_t i = 0; i < g_variables.size(); ++i)
        if (g_variables[i].first == name) return static_cast<int>(i);
    return -1;
}

double ReadNamedVariable(int id)
{
    std::lock_guard lock(g_variablesMutex);
    if (id < 0 || static_cast<size_t>(id) >= g_variables.size()) return 0.0;
    return g_variables[static_cast<size_t>(id)].second;
}

// An unused slot must not be a null pointer that a module might call: it does nothing.
void EmptySlot() {}

PANELS MakeTable()
{
    PANELS table{};
    for (auto& slot : table.slots) slot = EmptySlot;
    table.slots[kLookupNamedVariableSlot] = reinterpret_cast<GaugeFunction>(&LookupNamedVariable);
    table.slots[kReadNamedVariableSlot] = reinterpret_cast<GaugeFunction>(&ReadNamedVariable);
    return table;
}

PANELS g_table = MakeTable();

}  // namespace

ModuleHost::ModuleHost(Simulator& sim) : sim_(sim)
{
    sim_.ServeInProcess();
}

ModuleHost::~ModuleHost()
{
    Unload();
}

bool ModuleHost::Load(const std::string& path, std::string* error)
{
    Unload();
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        if (error) *error = dlerror();
        return false;
    }
    auto start = reinterpret_cast<int (*)()>(dlsym(library, "DLLStart"));
    auto stop = reinterpret_cast<void (*)()>(dlsym(library, "DLLStop"));
    auto panels = static_cast<PANELS**>(dlsym(library, "Panels"));
    if (!start || !stop || !panels) {
        if (error) *error = path + " does not export DLLStart, DLLStop and Panels";
        dlclose(library);
        return false;
    }
    library_ = library;
    stop_ = stop;
    *panels = &g_table;
    platform::simconnect::OpenCapture capture;
    start();
    handles_ = capture.Handles();
    return true;
}

void ModuleHost::Pump()
{
    for (void* h : handles_) platform::simconnect::DispatchToRegisteredCallback(h);
}

void ModuleHost::Unload()
{
    if (!library_) return;
    stop_();
    handles_.clear();
    dlclose(library_);
    library_ = nullptr;
    stop_ = nullptr;
}

void ModuleHost::SetNamedVariable(const std::string& name, double value)
{
    std::lock_guard lock(g_variablesMutex);
    for (auto& [n, v] : g_variables) {
        if (n == name) {
            v = value;
            return;
        }
    }
    g_variables.emplace_back(name, value);
}

void ModuleHost::ClearNamedVariables()
{
    std::lock_guard lock(g_variablesMutex);
    g_variables.clear();
}

}  // namespace simulator
