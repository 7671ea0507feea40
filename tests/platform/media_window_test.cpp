// Windows by class name, in this process and published for the whole machine root.
#include "platform/window.h"

#include "media_temp_machine.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

void Publish(const std::filesystem::path& root, long pid, int id, const char* className)
{
    std::filesystem::create_directories(root / ".windows");
    std::ofstream(root / ".windows" / (std::to_string(pid) + "-" + std::to_string(id))) << className << "\n\n";
}

TEST(Windows, ProcessWindowsAreFoundByClassWithoutRegardToCase)
{
    testing_riff::TempMachine machine;
    EXPECT_EQ(FindWindowA("FS98MAIN", nullptr), nullptr);
    platform::ScopedWindow window("FS98MAIN");
    EXPECT_EQ(FindWindowA("fs98main", nullptr), window.get());
    EXPECT_TRUE(IsWindow(window.get()));
    // A window of this process only is not published.
    EXPECT_FALSE(std::filesystem::exists(machine.Root() / ".windows"));
}

TEST(Windows, MachineWindowsOfLiveProcessesAreSeenAndDeadOnesAreNot)
{
    testing_riff::TempMachine machine;
    // The parent process is alive; a process id beyond the kernel's limit never is.
    Publish(machine.Root(), static_cast<long>(getppid()), 16, "FS98MAIN");
    Publish(machine.Root(), 99999999L, 20, "DEADWINDOW");
    Publish(machine.Root(), 12, 0, "");  // garbage entries are skipped
    std::ofstream(machine.Root() / ".windows" / "not-a-window") << "FS98MAIN\n\n";

    const HWND found = FindWindowA("FS98MAIN", nullptr);
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(IsWindow(found));
    EXPECT_EQ(FindWindowA("DEADWINDOW", nullptr), nullptr);

    std::filesystem::remove(machine.Root() / ".windows" / (std::to_string(getppid()) + "-16"));
    EXPECT_FALSE(IsWindow(found));
    EXPECT_EQ(FindWindowA("FS98MAIN", nullptr), nullptr);
}

TEST(Windows, MachineScopeWindowIsPublishedUntilUnregistered)
{
    testing_riff::TempMachine machine;
    {
        platform::ScopedWindow window("FS98MAIN", "", platform::WindowScope::Machine);
        ASSERT_TRUE(std::filesystem::exists(machine.Root() / ".windows"));
        EXPECT_FALSE(std::filesystem::is_empty(machine.Root() / ".windows"));
        EXPECT_EQ(FindWindowA("FS98MAIN", nullptr), window.get());
    }
    EXPECT_TRUE(std::filesystem::is_empty(machine.Root() / ".windows"));
    EXPECT_EQ(FindWindowA("FS98MAIN", nullptr), nullptr);
}

}  // namespace
