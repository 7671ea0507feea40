// A temporary machine root for the RIFF and sound tests: files are written under drive C:.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace testing_riff {

class TempMachine {
public:
    TempMachine()
    {
        if (const char* old = std::getenv("VELK_MACHINE_ROOT")) previous_ = old;
        std::string pattern = (std::filesystem::temp_directory_path() / "velk-sound-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) root_ = pattern;
        setenv("VELK_MACHINE_ROOT", root_.c_str(), 1);
        std::filesystem::create_directories(root_ / "c");
    }
    ~TempMachine()
    {
        if (previous_)
            setenv("VELK_MACHINE_ROOT", previous_->c_str(), 1);
        else
            unsetenv("VELK_MACHINE_ROOT");
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    TempMachine(const TempMachine&) = delete;
    TempMachine& operator=(const TempMachine&) = delete;

    // Writes C:\<relative> (relative uses "/" between folders) and returns its Windows path.
    std::string Write(const std::string& relative, const std::vector<uint8_t>& bytes)
    {
        const auto host = root_ / "c" / relative;
        std::filesystem::create_directories(host.parent_path());
        std::ofstream(host, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        std::string windows = "C:\\" + relative;
        for (char& c : windows)
            if (c == '/') c = '\\';
        return windows;
    }

    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path root_;
    std::optional<std::string> previous_;
};

}  // namespace testing_riff
