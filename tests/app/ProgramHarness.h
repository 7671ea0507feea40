// The whole program in one test: the sample machine (examples/machine) in a temporary machine root, every
// component built and loaded as start-up does it, the connection open to an in-process simulator, and a
// stand-in for the jetway module that answers its reset request. Time moves only through Run: the
// simulator's clock and the platform's manual clock advance together, and the program's messages are
// dispatched after every frame.
#pragma once

#include "app/FSProcess.h"
#include "app/Program.h"
#include "platform/clock.h"
#include "simulator/Simulator.h"
#include "tests/app/CoreTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace programtest {

inline const std::filesystem::path kSampleMachine =
    std::filesystem::path(VELK_TEST_SOURCE_DIR) / ".." / ".." / "examples" / "machine";

// The sample airport's reference point.
constexpr double kXvlkLatitude = 48.1000;
constexpr double kXvlkLongitude = 11.5000;
constexpr double kXvlkAltitudeFeet = 1650.0;

class ProgramHarness {
public:
    ProgramHarness()
    {
        std::filesystem::copy(kSampleMachine, root_.Root(),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        program::Flags().Reset();
        program::Flags().targetPlatform = "P3Dv4";
        program::Flags().logFolder = "C:\\ProgramData\\Quorvath\\VELK\\log";
        sim_.SetFrameRate(kFrameRate);
    }
    ~ProgramHarness()
    {
        program::Sim().Close();
        if (module_) SimConnect_Close(module_);
        program::Parts().ReleaseAtShutdown();
        program::Parts() = program::Components{};
        program::Flags().Reset();
    }
    ProgramHarness(const ProgramHarness&) = delete;
    ProgramHarness& operator=(const ProgramHarness&) = delete;

    // Start-up as WinMain does it, then the run phase's connection and registrations.
    void Start()
    {
        FSProcess::ConstructComponents();
        FSProcess::ReloadAll(false);
        FSProcess::BuildInternalMaps();
        sim_.ServeInProcess();
        ASSERT_EQ(program::Sim().Open(), S_OK);
        program::Flags().externalMode = program::Flags().objectCount == 0;
        FSProcess::RegisterWithSimulator();
        ConnectModule();
    }

    // The user aircraft at a place; the simulation starts there when it has not yet.
    void PlaceUser(double latitude, double longitude, double altitudeFeet, double heading = 0.0)
    {
        sim_.SetUserPosition(latitude, longitude, altitudeFeet, 0.0, 0.0, heading);
        if (!sim_.IsRunning()) sim_.StartSim();
    }

    // Moves both clocks by ms in frames, dispatching the program's and the module's messages after each.
    void Run(uint64_t ms)
    {
        const uint64_t frame = 1000 / kFrameRate;
        for (uint64_t done = 0; done < ms; done += frame) {
            sim_.Advance(frame);
            clock_.clock().Advance(frame);
            Pump();
        }
    }

    // Dispatches until neither side has anything waiting.
    void Pump()
    {
        for (int round = 0; round < 50; ++round) {
            const int before = dispatched_;
            SimConnect_CallDispatch(program::Sim().GetHandle(), &ProgramHarness::CountingDispatch, this);
            PumpModule();
            if (dispatched_ == before) return;
        }
    }

    // Titles of the simulated objects the program has created, sorted; one entry per object.
    std::vector<std::string> CreatedTitles() const
    {
        std::vector<std::string> titles;
        for (const simulator::ObjectInfo& info : sim_.Objects())
            if (info.createdBy == "Orvane VELK") titles.push_back(info.title);
        std::sort(titles.begin(), titles.end());
        return titles;
    }

    // A file in the machine root (host path below it), written before Start.
    void AddFile(const std::string& relative, const std::string& text) { root_.MakeFile(relative, text); }

    simulator::Simulator& Sim() { return sim_; }
    coretest::LogCapture& Log() { return log_; }
    const std::filesystem::path& Root() const { return root_.Root(); }
    int ModuleResets() const { return moduleResets_; }

private:
    static constexpr int kFrameRate = 20;

    static void CountingDispatch(SIMCONNECT_RECV* data, DWORD size, void* context)
    {
        ++static_cast<ProgramHarness*>(context)->dispatched_;
        FSProcess::Dispatch(data, size, nullptr);
    }

    // The module's part of a bubble cycle: "VELK.JetwayAction.ResetAll" is answered with "VELK.ReloadAll".
    void ConnectModule()
    {
        ASSERT_EQ(SimConnect_Open(&module_, "Module", nullptr, 0, nullptr, 0), S_OK);
        SimConnect_MapClientEventToSimEvent(module_, kResetAll, "VELK.JetwayAction.ResetAll");
        SimConnect_AddClientEventToNotificationGroup(module_, kGroup, kResetAll, FALSE);
        SimConnect_MapClientEventToSimEvent(module_, kReloadAll, "VELK.ReloadAll");
        SimConnect_SetNotificationGroupPriority(module_, kGroup, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
    }

    void PumpModule()
    {
        if (!module_) return;
        for (const simtest::Message& message : simtest::Drain(module_)) {
            if (simtest::Kind(message) != SIMCONNECT_RECV_ID_EVENT) continue;
            if (simtest::As<SIMCONNECT_RECV_EVENT>(message).uEventID != kResetAll) continue;
            ++moduleResets_;
            ++dispatched_;
            SimConnect_TransmitClientEvent(module_, SIMCONNECT_OBJECT_ID_USER, kReloadAll, 0,
                                           SIMCONNECT_GROUP_PRIORITY_HIGHEST,
                                           SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
        }
    }

    static constexpr DWORD kResetAll = 1;
    static constexpr DWORD kReloadAll = 2;
    static constexpr DWORD kGroup = 1;

    coretest::TempMachineRoot root_;
    platform::ScopedManualClock clock_;
    coretest::LogCapture log_;
    simulator::Simulator sim_;
    HANDLE module_ = nullptr;
    int dispatched_ = 0;
    int moduleResets_ = 0;
};

}  // namespace programtest
