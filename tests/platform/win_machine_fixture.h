// A temporary machine root for one test: VELK_MACHINE_ROOT points at it, drive C: exists, and files
// are made with their host paths so that the layer under test is not used to prepare its own input.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace velk::test {

class MachineRootTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velk-machine-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        const char* previous = getenv("VELK_MACHINE_ROOT");
        hadPrevious_ = previous != nullptr;
        if (hadPrevious_) previous_ = previous;
        setenv("VELK_MACHINE_ROOT", root_.c_str(), 1);
        std::filesystem::create_directories(root_ / "c");
    }

    void TearDown() override
    {
        if (hadPrevious_) setenv("VELK_MACHINE_ROOT", previous_.c_str(), 1);
        else unsetenv("VELK_MACHINE_ROOT");
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    // Host path below the root, "/" separated: Host("c/ProgramData/a.ini").
    std::filesystem::path Host(const std::string& relative) const { return root_ / relative; }

    void MakeFile(const std::string& relative, const std::string& contents) const
    {
        const std::filesystem::path path = Host(relative);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << contents;
    }

    void MakeFolder(const std::string& relative) const { std::filesystem::create_directories(Host(relative)); }

    std::string ReadHost(const std::string& relative) const
    {
        std::ifstream in(Host(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::filesystem::path root_;

private:
    bool hadPrevious_ = false;
    std::string previous_;
};

}  // namespace velk::test
