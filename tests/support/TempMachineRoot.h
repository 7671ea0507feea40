// A fresh temporary machine root for one test: VELK_MACHINE_ROOT names it while it lives, then the previous
// value comes back and the folder is removed. Made, used and removed on the test's own thread.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace testsupport {

class TempMachineRoot {
public:
    struct Options {
        const char* label = "machine";  // the folder is "velk-<label>-XXXXXX"
        bool shortPath = false;         // under /tmp whatever TMPDIR says: a socket lives in the root
        bool exportRoot = true;         // false: VELK_MACHINE_ROOT is left alone (the root goes to children)
        bool driveC = true;             // make the folder of drive C:
    };

    TempMachineRoot() : TempMachineRoot(Options{}) {}
    explicit TempMachineRoot(const Options& options) : exported_(options.exportRoot)
    {
        const std::filesystem::path base = options.shortPath ? std::filesystem::path("/tmp")
                                                             : std::filesystem::temp_directory_path();
        std::string pattern = (base / (std::string("velk-") + options.label + "-XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary machine root");
        root_ = pattern;
        if (exported_) {
            if (const char* old = getenv("VELK_MACHINE_ROOT")) previous_ = old;
            setenv("VELK_MACHINE_ROOT", root_.c_str(), 1);
        }
        if (options.driveC) MakeFolder("c");
    }
    ~TempMachineRoot()
    {
        if (exported_) {
            if (previous_) setenv("VELK_MACHINE_ROOT", previous_->c_str(), 1);
            else unsetenv("VELK_MACHINE_ROOT");
        }
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    TempMachineRoot(const TempMachineRoot&) = delete;
    TempMachineRoot& operator=(const TempMachineRoot&) = delete;

    const std::filesystem::path& Root() const { return root_; }
    std::string Path() const { return root_.string(); }

    // Host path below the root, "/" separated: Host("c/ProgramData/a.ini").
    std::filesystem::path Host(const std::string& relative) const { return root_ / relative; }

    void MakeFolder(const std::string& relative) const { std::filesystem::create_directories(Host(relative)); }

    // Writes the file with host calls, so that the layer under test does not prepare its own input.
    void MakeFile(const std::string& relative, std::string_view contents) const
    {
        const std::filesystem::path path = Host(relative);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(contents.data(), static_cast<std::streamsize>(contents.size()));
    }

    std::string ReadHost(const std::string& relative) const
    {
        std::ifstream in(Host(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path root_;
    std::optional<std::string> previous_;
    bool exported_;
};

// A fixture whose every test runs on its own machine root, made in SetUp and removed in TearDown.
class MachineRootTest : public ::testing::Test {
protected:
    MachineRootTest() = default;
    explicit MachineRootTest(const TempMachineRoot::Options& options) : options_(options) {}

    void SetUp() override
    {
        machine_.emplace(options_);
        root_ = machine_->Root();
    }
    void TearDown() override { machine_.reset(); }

    std::filesystem::path Host(const std::string& relative) const { return root_ / relative; }
    void MakeFolder(const std::string& relative) const { machine_->MakeFolder(relative); }
    void MakeFile(const std::string& relative, std::string_view contents) const
    {
        machine_->MakeFile(relative, contents);
    }
    std::string ReadHost(const std::string& relative) const { return machine_->ReadHost(relative); }

    std::filesystem::path root_;

private:
    TempMachineRoot::Options options_;
    std::optional<TempMachineRoot> machine_;
};

}  // namespace testsupport
