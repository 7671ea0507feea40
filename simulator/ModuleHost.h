// Loads a module the way the simulator does: dlopen, the gauge table into its exported `Panels`,
// DLLStart, the module's SimConnect messages delivered on the simulator's thread, DLLStop, dlclose.
//
// The module resolves the SimConnect and platform functions from the program that loads it (built with
// exported symbols), so that it shares the host's simulator connection table, clock and timers.
#pragma once

#include "simulator/Simulator.h"

#include <string>
#include <vector>

namespace simulator {

class ModuleHost {
public:
    // Serves the simulator in process: the module's SimConnect_Open reaches it.
    explicit ModuleHost(Simulator& sim);
    ~ModuleHost();
    ModuleHost(const ModuleHost&) = delete;
    ModuleHost& operator=(const ModuleHost&) = delete;

    // False with *error when the file cannot be loaded or lacks DLLStart, DLLStop or Panels.
    bool Load(const std::string& path, std::string* error = nullptr);
    bool IsLoaded() const { return library_ != nullptr; }
    // Hands the module every pending message (call on the simulator's thread).
    void Pump();
    // DLLStop, then unloads.
    void Unload();

    // The named variables the gauge table offers; every module sees the same set.
    static void SetNamedVariable(const std::string& name, double value);
    static void ClearNamedVariables();

private:
    Simulator& sim_;
    void* library_ = nullptr;
    void (*stop_)() = nullptr;
    std::vector<void*> handles_;
};

}  // namespace simulator
