// The whole program in one test: the sample machine (examples/machine) in a temporary machine root, every
// component built and loaded as start-up does it, the connection open to an in-process simulator, and a
// stand-in for the jetway module that answers its reset request. Time moves only through Run: the
// simulator's clock and the platform's manual clock advance together, and the program's messages are
// dispatched after every frame.
#pragma once

#include "app/FSProcess.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "jetway/IKSolver.h"
#include "jetway/JetwayControl.h"
#include "jetway/LinkedSimObjectHandler.h"
#include "jetway/core/JetwayCodec.h"
#include "objects/SimObjectList.h"
#include "platform/clock.h"
#include "platform/simconnect/ModuleDispatch.h"
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
constexpr double kMetresPerDegreeLatitude = 111192.0;  // along the meridian at 48.1 N

// The sample machine's settings file, below the machine root.
constexpr const char* kSettingsFile = "c/ProgramData/Quorvath/VELK/orvane.ini";
// Pier B: stand B22's centre line (its display's longitude) and the displays' latitude (XVLK_PierB.xml).
constexpr double kB22Longitude = 11.50460;
constexpr double kDisplayLatitude = 48.10045;
// The sample's A320, and how far ahead of its reference point the nose wheels stand (aircraft.cfg, feet).
constexpr const char* kA320 = "Quorvath A320";
constexpr double kA320NoseWheel = 38.0 * 0.3048;

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

    // The user aircraft of a folder below the sample's "SimObjects\Airplanes": the simulator reports it
    // loaded, and the program reads its configuration.
    void LoadUserAircraft(const std::string& folder)
    {
        sim_.LoadAircraft("C:\\Prepar3D v4\\SimObjects\\Airplanes\\" + folder + "\\aircraft.air");
        Pump();
    }

    // What the run phase does after the registrations besides dispatching: the solver and the linked
    // parts get the connection, and the jetway control is made over it. Called after Start.
    void ConnectJetwayParts() { FSProcess::ConnectComponents(); }

    // The module's stand-in also answers jetway jobs as the module does, each at once: "DataReceived" and
    // "Intermediate" for the jetway, then its record back in an Out area, moved to the other end (docked
    // becomes undocked and the reverse), with "Done". Called after Start.
    void AnswerJetwayJobs()
    {
        ASSERT_NE(module_, nullptr);
        const std::pair<DWORD, const char*> events[] = {{kStart, "VELK.JetwayAction.Start"},
                                                        {kDataReceived, "VELK.JetwayAction.DataReceived"},
                                                        {kIntermediate, "VELK.JetwayAction.Intermediate"},
                                                        {kDone, "VELK.JetwayAction.Done"}};
        for (const auto& [id, name] : events) SimConnect_MapClientEventToSimEvent(module_, id, name);
        SimConnect_AddClientEventToNotificationGroup(module_, kGroup, kStart, FALSE);
        for (DWORD i = 0; i < kInAreas; ++i) {
            const std::string name = "VELK.JetwayData.In." + std::to_string(i + 1);
            SimConnect_MapClientDataNameToID(module_, name.c_str(), kInAreaFirst + i);
            SimConnect_CreateClientData(module_, kInAreaFirst + i, jetway_wire::kRecordSize,
                                        SIMCONNECT_CREATE_CLIENT_DATA_FLAG_DEFAULT);
        }
        for (DWORD i = 0; i < kOutAreas; ++i) {
            const std::string name = "VELK.JetwayData.Out." + std::to_string(i + 1);
            SimConnect_MapClientDataNameToID(module_, name.c_str(), kOutAreaFirst + i);
            SimConnect_CreateClientData(module_, kOutAreaFirst + i, jetway_wire::kRecordSize,
                                        SIMCONNECT_CREATE_CLIENT_DATA_FLAG_DEFAULT);
        }
        SimConnect_AddToClientDataDefinition(module_, kRecordDefinition, 0, jetway_wire::kRecordSize);
        answerJobs_ = true;
        Pump();
    }

    // The jobs the module's stand-in answered, in order: the jetway's id and whether it ended docked.
    const std::vector<std::pair<uint32_t, bool>>& AnsweredJobs() const { return answeredJobs_; }
    // The record of the last job answered, as the program wrote it to its In area.
    const JetwayData& LastJob() const { return lastJob_; }

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
            if (answerJobs_ && simtest::As<SIMCONNECT_RECV_EVENT>(message).uEventID == kStart) {
                AnswerJob(simtest::As<SIMCONNECT_RECV_EVENT>(message).dwData);
                ++dispatched_;
                continue;
            }
            if (simtest::As<SIMCONNECT_RECV_EVENT>(message).uEventID != kResetAll) continue;
            ++moduleResets_;
            ++dispatched_;
            SimConnect_TransmitClientEvent(module_, SIMCONNECT_OBJECT_ID_USER, kReloadAll, 0,
                                           SIMCONNECT_GROUP_PRIORITY_HIGHEST,
                                           SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
        }
    }

    // One job: the record of the In area the start names, sent back finished.
    void AnswerJob(DWORD data)
    {
        const uint32_t id = data / 10;
        const uint32_t channel = data % 10;
        if (channel < 1 || channel > kInAreas) return;
        const auto bytes = sim_.ClientData("VELK.JetwayData.In." + std::to_string(channel));
        JetwayData record;
        if (!bytes || !DecodeJetwayData(bytes->data(), bytes->size(), record)) return;
        lastJob_ = record;
        const auto send = [this](DWORD event, DWORD value) {
            SimConnect_TransmitClientEvent(module_, SIMCONNECT_OBJECT_ID_USER, event, value,
                                           SIMCONNECT_GROUP_PRIORITY_HIGHEST,
                                           SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
        };
        send(kDataReceived, id);
        send(kIntermediate, id);
        record.Moving = false;
        record.AbortRequested = false;
        record.Docked = !record.Docked;
        outChannel_ = outChannel_ % kOutAreas + 1;
        record.OutChannel = outChannel_;
        record.ClientDataAreaId = kOutAreaFirst + outChannel_ - 1;
        JetwayBytes out = EncodeJetwayData(record);
        SimConnect_SetClientData(module_, record.ClientDataAreaId, kRecordDefinition, 0, 0,
                                 static_cast<DWORD>(out.size()), out.data());
        send(kDone, id * 10 + outChannel_);
        answeredJobs_.emplace_back(id, record.Docked);
    }

    static constexpr DWORD kStart = 10;
    static constexpr DWORD kDataReceived = 11;
    static constexpr DWORD kIntermediate = 12;
    static constexpr DWORD kDone = 13;
    static constexpr DWORD kInAreas = 4;
    static constexpr DWORD kOutAreas = 8;
    static constexpr DWORD kInAreaFirst = 20;
    static constexpr DWORD kOutAreaFirst = 30;
    static constexpr DWORD kRecordDefinition = 5;
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
    bool answerJobs_ = false;
    DWORD outChannel_ = 0;
    std::vector<std::pair<uint32_t, bool>> answeredJobs_;
    JetwayData lastJob_{};

    // ---- AI traffic ----
    // The real jetway module (module/, linked into the test) in place of the stand-in: it answers the
    // reset as the stand-in does, takes the jobs written to "VELK.JetwayData.In.n", acknowledges them at
    // once and moves the jetways on the platform's timers. Call after Start; run with RunWithModule.
public:
    // Also the rest of the run phase's set-up that Start leaves out: the connection for the solver and the
    // linked parts, and the jetway control that sends the jobs.
    template <typename StartFn, typename StopFn>
    void StartJetwayModule(StartFn start, StopFn stop)
    {
        FSProcess::ConnectComponents();
        if (module_) {
            SimConnect_Close(module_);
            module_ = nullptr;
        }
        platform::simconnect::OpenCapture capture;
        start();
        ASSERT_EQ(capture.Handles().size(), 1u);
        jetwayModule_.handle = capture.Handles()[0];
        jetwayModule_.stop = stop;
    }
    // As Run, the real module served after every frame.
    void RunWithModule(uint64_t ms)
    {
        const uint64_t frame = 1000 / kFrameRate;
        for (uint64_t done = 0; done < ms; done += frame) {
            sim_.Advance(frame);
            clock_.clock().Advance(frame);
            PumpWithModule();
        }
    }
    // A held module gets nothing: the jobs wait unread in its queue, as behind a busy simulator.
    void HoldJetwayModule(bool held) { jetwayModule_.held = held; }
    void PumpWithModule()
    {
        for (int round = 0; round < 50; ++round) {
            const int before = dispatched_;
            SimConnect_CallDispatch(program::Sim().GetHandle(), &ProgramHarness::CountingDispatch, this);
            for (int i = 0; i < 4 && jetwayModule_.handle && !jetwayModule_.held; ++i)
                platform::simconnect::DispatchToRegisteredCallback(jetwayModule_.handle);
            SimConnect_CallDispatch(program::Sim().GetHandle(), &ProgramHarness::CountingDispatch, this);
            if (dispatched_ == before) return;
        }
    }

private:
    // Stops the module before the simulator goes (declared last: destroyed first).
    struct JetwayModule {
        HANDLE handle = nullptr;
        void (*stop)() = nullptr;
        bool held = false;
        ~JetwayModule()
        {
            if (stop) stop();
        }
    };
    JetwayModule jetwayModule_;
};

}  // namespace programtest
