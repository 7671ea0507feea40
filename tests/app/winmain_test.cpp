// orvane's whole start-up and run in this process, against no simulator at all, on the manual clock.
// Its own executable: the program shuts the log down at its end, which no other test may see.
#include "app/FSProcess.h"
#include "app/Program.h"
#include "platform/clock.h"
#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

// The watchdog starts before the connection is tried; when the connection fails the program ends, and
// the watchdog must end with it: left running, its next check would find no simulator process and touch
// the flags and the log of a program that has finished.
TEST(WinMainRun, AFailedConnectionStopsTheWatchdog)
{
    testsupport::TempMachineRoot root;
    root.MakeFolder("c/ProgramData/Quorvath/VELK");
    program::Flags().Reset();
    platform::ScopedManualClock clock;

    char program[] = "orvane";
    char platformName[] = "P3Dv4";
    char* argv[] = {program, platformName, nullptr};
    EXPECT_EQ(WinMain(2, argv), 0);

    std::ifstream in(root.Host("c/ProgramData/Quorvath/VELK/log/VELK.log"), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string log = text.str();
    const size_t watchdog = log.find("Setting up Process Watchdog...");
    const size_t failed = log.find("Not able to connect to FS! Shuting down...");
    ASSERT_NE(watchdog, std::string::npos) << log;
    ASSERT_NE(failed, std::string::npos) << log;
    EXPECT_LT(watchdog, failed);

    EXPECT_EQ(program::Flags().watchdogQueue, nullptr);
    EXPECT_EQ(program::Flags().watchdogTimer, nullptr);
    program::Flags().quit.store(0);
    clock.clock().Advance(20000);  // four watchdog periods
    EXPECT_EQ(program::Flags().quit.load(), 0) << "the watchdog checked after the program had ended";
}

}  // namespace
