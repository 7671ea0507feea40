// The run phase against the in-process simulator: connection, registrations in their order, the loop
// until the simulator quits, the shutdown; the failed connection; the watchdog's stop and its process test.
#include "app/FSProcess.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "foundation/GeoMath.h"
#include "link/SeasonalObjectHandler.h"
#include "link/SimStatus.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/timers.h"
#include "simulator/Simulator.h"
#include "tests/app/CoreTestSupport.h"
#include "tests/support/ProgramParts.h"

#include <gtest/gtest.h>

#include <cctype>

using namespace coretest;
using program::Flags;
using program::Parts;

namespace {

class RunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Flags().Reset();
        Flags().targetPlatform = "P3Dv4";
    }
    void TearDown() override
    {
        if (quitTimer_) DeleteTimerQueueTimer(nullptr, quitTimer_, INVALID_HANDLE_VALUE);
        program::Sim().Close();
        testsupport::ClearProgramParts();
    }

    void MakeComponents()
    {
        testsupport::MakeProgramParts({.customCommands = 0, .geoMath = true});
    }

    // The simulator quits after the loop has slept this long (on the manual clock).
    void QuitAfter(DWORD ms)
    {
        ASSERT_TRUE(CreateTimerQueueTimer(
            &quitTimer_, nullptr, [](void* s, BOOLEAN) { static_cast<simulator::Simulator*>(s)->Quit(); }, &sim, ms,
            0, WT_EXECUTEDEFAULT));
    }

    std::vector<std::string> TimelineWith(const std::string& text)
    {
        std::vector<std::string> out;
        for (const std::string& line : sim.Timeline())
            if (line.find(text) != std::string::npos) out.push_back(line.substr(line.find("] ") + 2));
        return out;
    }

    TempMachineRoot root;
    LogCapture log;
    platform::ScopedManualClock clock;
    simulator::Simulator sim;
    HANDLE quitTimer_ = nullptr;
};

TEST_F(RunTest, ExternalModeRunsUntilTheSimulatorQuits)
{
    MakeComponents();
    sim.ServeInProcess();
    QuitAfter(50);
    FSProcess::Run();

    EXPECT_EQ(Flags().quit.load(), 1);
    EXPECT_TRUE(Flags().externalMode);
    EXPECT_TRUE(log.InOrder({
        "DEBUG VELK.FSPROCESS : Trying to connect to FS...",
        "DEBUG VELK.FSPROCESS : Connected to FS!",
        "WARN VELK.FSLOOP : No SimObjects inside Lists! VELK runs in 'External Jetway Triggering Mode' only...",
        "DEBUG VELK.FSPROCESS : Entering FS Dispatch Loop.",
        "INFO VELK.FSLOOP : ### VELK connected to Simulator ###",
        "DEBUG VELK.FSLOOP : SimState query...Running=0",
        "INFO VELK.FSLOOP : Successfull Registration of Reserved Key 's' -> 's'",
        "INFO VELK.FSLOOP : Creating Top-Menu structure...",
        "INFO VELK.FSLOOP : Top-Menu created.",
        "INFO VELK.FSLOOP : VELK disconnected from Simulator!",
        "DEBUG VELK.FSPROCESS : Cleaning up Memory...",
        "DEBUG VELK.FSPROCESS : Removing Top-Menu structure...",
        "DEBUG VELK.FSPROCESS : Closing Connection to FS.",
    }));
    EXPECT_FALSE(log.Has("EXCEPTION"));
    EXPECT_FALSE(log.Has("Hotkey set"));

    // What the simulator saw, in order.
    const std::vector<std::string> expected = {
        "client 'Orvane VELK' connected",
        "key 's' reserved for 'Orvane VELK'",
        "client data 'VELK.APIData.Out' created by 'Orvane VELK' (928 bytes)",
        "client data 'VELK.APIData.In' created by 'Orvane VELK' (928 bytes)",
        "client data 'VELK.APIData.MassResponse' created by 'Orvane VELK' (6156 bytes)",
        "client data 'VELK.APIData.MassResponse.VDGS' created by 'Orvane VELK' (4108 bytes)",
        "client data 'VELK.APIData.Lite' created by 'Orvane VELK' (36 bytes)",
        "add-on menu item 'VELK 1.7.1' added by 'Orvane VELK'",
        "quit sent to every client",
        "add-on menu item 'VELK 1.7.1' removed by 'Orvane VELK'",
        "client 'Orvane VELK' disconnected",
    };
    EXPECT_EQ(TimelineWith(""), expected);

    // The components are gone, except the settings, which live as long as the process.
    EXPECT_EQ(Parts().seasonal, nullptr);
    EXPECT_EQ(Parts().simStatus, nullptr);
    EXPECT_EQ(Parts().geoMath, nullptr);
    EXPECT_EQ(Parts().customCommands, nullptr);
    EXPECT_NE(Parts().settings, nullptr);
    EXPECT_EQ(program::Sim().GetHandle(), nullptr);
}

// With objects the menus, hotkeys and definitions are registered; with the primary hotkey disabled the
// add-on menu is built by the run phase, once, and no key is reserved.
TEST_F(RunTest, WithObjectsAndThePrimaryHotkeyDisabled)
{
    root.WriteSettings("[General]\nPrimaryHotkeyDisable=true\nSecondaryTextMenuHotkey=shift+ctrl+v\n");
    MakeComponents();
    Parts().customCommands->push_back(StringTriple{"Terminal 1", "shift+ctrl+k", "T1 stands", true});
    Parts().customCommands->push_back(StringTriple{"No title", "shift+ctrl+j", "", false});
    Flags().objectCount = 3;
    sim.ServeInProcess();
    QuitAfter(50);
    FSProcess::Run();

    EXPECT_FALSE(Flags().externalMode);
    EXPECT_FALSE(log.Has("External Jetway Triggering Mode"));
    EXPECT_TRUE(log.InOrder({
        "INFO VELK.FSLOOP : Creating Top-Menu structure...",
        "INFO VELK.FSLOOP : Top-Menu created.",
        "DEBUG VELK.FSPROCESS : Customized Text-Menu Hotkey set -> 'shift+ctrl+k'",
        "DEBUG VELK.FSPROCESS : Secondary Text-Menu Hotkey set -> 'shift+ctrl+v'",
        "DEBUG VELK.FSPROCESS : Entering FS Dispatch Loop.",
    }));
    EXPECT_EQ(log.Count("Creating Top-Menu structure..."), 1);
    EXPECT_FALSE(log.Has("shift+ctrl+j"));
    EXPECT_FALSE(log.Has("EXCEPTION"));
    EXPECT_TRUE(TimelineWith("reserved").empty());
}

TEST_F(RunTest, SecondaryHotkeyNotDefined)
{
    MakeComponents();
    Flags().objectCount = 1;
    sim.ServeInProcess();
    QuitAfter(10);
    FSProcess::Run();
    EXPECT_TRUE(log.Has("DEBUG VELK.FSPROCESS : Secondary Text-Menu Hotkey not defined in INI file..."));
    EXPECT_FALSE(log.Has("EXCEPTION"));
}

TEST_F(RunTest, FailedConnectionStopsAtOnce)
{
    MakeComponents();
    FSProcess::Run();
    EXPECT_TRUE(log.InOrder({"DEBUG VELK.FSPROCESS : Trying to connect to FS...",
                             "FATAL VELK.FSPROCESS : Not able to connect to FS! Shuting down..."}));
    EXPECT_FALSE(log.Has("Connected to FS!"));
    EXPECT_FALSE(log.Has("Cleaning up Memory..."));
    EXPECT_NE(Parts().seasonal, nullptr);
}

// Once stopped, the watchdog never checks again: nothing it does can reach a log that is shut down.
TEST_F(RunTest, StoppedWatchdogNeverRuns)
{
    Flags().targetPlatform = "P3Dv4";
    FSProcess::StartProcessWatchdog();
    EXPECT_NE(Flags().watchdogQueue, nullptr);
    EXPECT_TRUE(log.Has("DEBUG VELK.FSPROCESS : Setting up Process Watchdog..."));
    FSProcess::StopProcessWatchdog();
    EXPECT_EQ(Flags().watchdogQueue, nullptr);
    FSProcess::StopProcessWatchdog();  // again: nothing left to stop
    clock.clock().Advance(20000);
    EXPECT_EQ(Flags().quit.load(), 0);
    EXPECT_FALSE(log.Has("Sim Process running test failed!"));
}

TEST_F(RunTest, WatchdogLooksForTheSimulatorOfThePlatform)
{
    const std::pair<const char*, const char*> rows[] = {
        {"FSX", "fsx.exe"},          {"FSX-SE", "fsx.exe"},       {"FSX:SE", "fsx.exe"},
        {"P3Dv2", "Prepar3D.exe"},   {"P3Dv3", "Prepar3D.exe"},   {"P3Dv4", "Prepar3D.exe"},
        {"P3Dv5", "Prepar3D.exe"},
    };
    for (const auto& [platform, name] : rows) EXPECT_EQ(FSProcess::SimProcessName(platform), name) << platform;

    // This test program's own name, found in any case.
    std::string own;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == GetCurrentProcessId()) own = entry.szExeFile;
    CloseHandle(snapshot);
    ASSERT_FALSE(own.empty());
    std::string upper = own;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(FSProcess::IsProcessRunning(own));
    EXPECT_TRUE(FSProcess::IsProcessRunning(upper));
    EXPECT_FALSE(FSProcess::IsProcessRunning("velk-no-such-simulator.exe"));
    EXPECT_FALSE(FSProcess::IsProcessRunning(""));
}

}  // namespace
