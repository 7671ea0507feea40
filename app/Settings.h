// The user's settings file "orvane.ini" in the program data folder. Read at start and again on
// "Reload All!"; a missing file or key never stops the program: it is logged and the default used.
#pragma once

#include "foundation/ConfigFileHelper.h"

#include <string>

namespace log4cpp {
class Category;
}

class Settings {
public:
    static constexpr const char* kFileName = "orvane.ini";

    explicit Settings(log4cpp::Category& log);
    virtual ~Settings() = default;
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // (Re)reads every key and logs the result.
    void Read();

    bool IsWatchdogEnabled() const { return watchdogEnable_; }
    bool IsAiDetectionEnabled() const { return aiDetectionEnable_; }
    bool IsUserJetwaySoundEnabled() const { return userJetwaySoundEnable_; }
    bool IsAiJetwaySoundEnabled() const { return aiJetwaySoundEnable_; }
    bool IsPrimaryHotkeyDisabled() const { return primaryHotkeyDisable_; }
    bool IsDebugMode() const { return debugMode_; }
    bool IsSoundEngineDisabled() const { return soundEngineDisable_; }
    bool IsForceHorizontalJetwayForRotation() const { return forceHorizontalJetwayForRotation_; }
    bool IsAircraftStateTriggeredAutoDockingEnabled() const { return aircraftStateTriggeredAutoDockingEnable_; }
    bool IsFastJetwaysEnabled() const { return fastJetwaysEnable_; }

    std::string GetSecondaryTextMenuHotkey() const { return secondaryTextMenuHotkey_; }
    // Neither empty nor exactly "NONE".
    bool HasSecondaryTextMenuHotkey() const;

    // True only for exactly "True" or "true". An empty value of a required key logs a warning and
    // clears *allRead.
    bool GetBool(const std::string& file, const std::string& section, const std::string& key, bool* allRead,
                 bool optional = false);
    // The value, or the default (logged) when it is empty.
    std::string GetString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& fallback);

private:
    log4cpp::Category& log_;
    ConfigFileHelper ini_;
    bool watchdogEnable_ = false;
    bool aiDetectionEnable_ = false;
    bool userJetwaySoundEnable_ = false;
    bool aiJetwaySoundEnable_ = false;
    std::string secondaryTextMenuHotkey_ = "NONE";
    bool primaryHotkeyDisable_ = false;
    bool debugMode_ = false;
    bool soundEngineDisable_ = false;
    bool forceHorizontalJetwayForRotation_ = false;
    bool aircraftStateTriggeredAutoDockingEnable_ = false;
    bool fastJetwaysEnable_ = false;
};
