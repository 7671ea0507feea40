// A temporary machine with a simulator's registry keys, configuration files and SimObject folders, and a
// capture of what the folder manager logs ("PRIORITY message" per line).
#pragma once

#include "platform/shell.h"
#include "scenery/SimObjectsFolderManager.h"
#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>
#include <log4cpp/Category.hh>
#include <log4cpp/OstreamAppender.hh>
#include <log4cpp/PatternLayout.hh>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace folders_testing {

using Strings = std::vector<std::string>;

// Paths here are Windows paths ("C:\a\b"); the shared fixture's host-relative helpers are hidden.
class FoldersTest : public testsupport::MachineRootTest {
protected:
    FoldersTest() : MachineRootTest({.label = "folders"}) {}

    void SetUp() override
    {
        MachineRootTest::SetUp();

        char path[MAX_PATH] = {};
        ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_APPDATA, FALSE));
        ca_ = path;
        ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_APPDATA, FALSE));
        ua_ = path;

        logText_.str("");
        log4cpp::Category& category = log4cpp::Category::getInstance("VELK.FOLDERMANAGER");
        appender_ = new log4cpp::OstreamAppender("folders-capture", &logText_);
        auto* layout = new log4cpp::PatternLayout();
        layout->setConversionPattern("%p %m%n");
        appender_->setLayout(layout);
        category.removeAllAppenders();
        category.addAppender(appender_); // owned by the category from now on
        category.setAdditivity(false);
        category.setPriority(log4cpp::Priority::DEBUG);
        manager_ = std::make_unique<SimObjectsFolderManager>(category, nullptr);
    }

    void TearDown() override
    {
        manager_.reset();
        log4cpp::Category::getInstance("VELK.FOLDERMANAGER").removeAllAppenders();
        MachineRootTest::TearDown();
    }

    // The host file of a Windows path "X:\a\b" as this fixture creates it (components kept as written).
    std::filesystem::path Host(const std::string& windowsPath) const
    {
        std::filesystem::path host = root_ / std::string(1, static_cast<char>(std::tolower(windowsPath[0])));
        std::stringstream parts(windowsPath.substr(2));
        for (std::string part; std::getline(parts, part, '\\');) {
            if (!part.empty()) host /= part;
        }
        return host;
    }

    void Write(const std::string& windowsPath, const std::string& contents) const
    {
        const auto host = Host(windowsPath);
        std::filesystem::create_directories(host.parent_path());
        std::ofstream(host, std::ios::binary | std::ios::trunc) << contents;
    }

    void MakeFolder(const std::string& windowsPath) const { std::filesystem::create_directories(Host(windowsPath)); }

    std::string ReadHost(const std::string& windowsPath) const
    {
        std::ifstream in(Host(windowsPath), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    bool HostExists(const std::string& windowsPath) const { return std::filesystem::exists(Host(windowsPath)); }

    void Registry(const std::string& text) const
    {
        std::ofstream(root_ / "registry.txt", std::ios::binary | std::ios::trunc) << text;
    }

    // A SimObject folder: folder\sim.cfg (or aircraft.cfg) with the text.
    void AddObject(const std::string& objectFolder, const std::string& cfgName, const std::string& cfg) const
    {
        Write(objectFolder + "\\" + cfgName, cfg);
    }

    // A model folder: model.cfg naming "<model>.mdl", and that file when present.
    void AddModel(const std::string& modelFolder, const std::string& model, bool present = true,
                  const std::string& bytes = "x") const
    {
        Write(modelFolder + "\\model.cfg", "[models]\r\nnormal=" + model + ".mdl\r\n");
        if (present) Write(modelFolder + "\\" + model + ".mdl", bytes);
    }

    Strings Lines() const
    {
        Strings lines;
        std::istringstream in(logText_.str());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    bool Logged(const std::string& line) const
    {
        const Strings lines = Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    size_t CountLogged(const std::string& line) const
    {
        const Strings lines = Lines();
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }
    void ClearLog() { logText_.str(""); }

    SimObjectsFolderManager& Manager() { return *manager_; }

    void Build(const std::string& platform, bool debug = false)
    {
        manager_->SetDebugMode(debug);
        manager_->SetSimPlatform(platform);
        manager_->BuildSimObjectsMap();
    }

    std::string ca_;
    std::string ua_;
    std::unique_ptr<SimObjectsFolderManager> manager_;

private:
    std::ostringstream logText_;
    log4cpp::Appender* appender_ = nullptr;
};

} // namespace folders_testing
