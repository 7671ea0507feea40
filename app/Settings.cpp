#include "app/Settings.h"

#include "foundation/ExecutablePathHelper.h"

#include <log4cpp/Category.hh>

Settings::Settings(log4cpp::Category& log) : log_(log)
{
    Read();
}

bool Settings::HasSecondaryTextMenuHotkey() const
{
    return !secondaryTextMenuHotkey_.empty() && secondaryTextMenuHotkey_ != "NONE";
}

bool Settings::GetBool(const std::string& file, const std::string& section, const std::string& key, bool* allRead,
                       bool optional)
{
    const std::string value = ini_.ReadString(file, section, key);
    if (value.empty()) {
        if (!optional) {
            log_.warn("Could not extract '%s::%s' setting! Feature is disabled!", section.c_str(), key.c_str());
            if (allRead) *allRead = false;
        }
        return false;
    }
    return value == "True" || value == "true";
}

std::string Settings::GetString(const std::string& file, const std::string& section, const std::string& key,
                                const std::string& fallback)
{
    const std::string value = ini_.ReadString(file, section, key);
    if (!value.empty()) return value;
    log_.warn("Could not extract '%s::%s' setting! Default value=%s!", section.c_str(), key.c_str(), fallback.c_str());
    return fallback;
}

void Settings::Read()
{
    const std::string file = ExecutablePathHelper::GetProgramDataFolder() + "\\" + kFileName;
    bool allRead = true;

    if (ConfigFileHelper::CheckFileExists(file) != ERROR_SUCCESS) {
        log_.warn("%s does not exists! Disabling features or setting standard values!", kFileName);
        watchdogEnable_ = false;
        aiDetectionEnable_ = false;
        userJetwaySoundEnable_ = false;
        primaryHotkeyDisable_ = false;
        debugMode_ = false;
        soundEngineDisable_ = false;
        forceHorizontalJetwayForRotation_ = true;
        aircraftStateTriggeredAutoDockingEnable_ = false;
        fastJetwaysEnable_ = false;
        secondaryTextMenuHotkey_ = "NONE";
    } else {
        watchdogEnable_ = GetBool(file, "General", "WatchdogEnable", &allRead);
        secondaryTextMenuHotkey_ = GetString(file, "General", "SecondaryTextMenuHotkey", "NONE");
        primaryHotkeyDisable_ = GetBool(file, "General", "PrimaryHotkeyDisable", &allRead);
        debugMode_ = GetBool(file, "General", "DebugMode", &allRead);
        soundEngineDisable_ = GetBool(file, "General", "SoundEngineDisable", &allRead);
        forceHorizontalJetwayForRotation_ =
            GetBool(file, "JetwaySystem", "ForceHorizontalJetwayForRotation", &allRead, true);
        userJetwaySoundEnable_ = GetBool(file, "JetwaySystem", "JetwaySoundEnable", &allRead);
        aircraftStateTriggeredAutoDockingEnable_ =
            GetBool(file, "JetwaySystem", "AircraftStateTriggeredAutoDockingEnable", &allRead);
        aiDetectionEnable_ = GetBool(file, "AISystem", "DetectionEnable", &allRead);
        aiJetwaySoundEnable_ = GetBool(file, "AISystem", "JetwaySoundEnable", &allRead);
        fastJetwaysEnable_ = GetBool(file, "Debug", "FastJetwaysEnable", &allRead);

        if (allRead) log_.debug("All Settings successfully read.");
        else log_.warn("Not all Settings have been read successfully! See above...");
    }

    // AI jetways never play sounds.
    aiJetwaySoundEnable_ = false;

    log_.debug("Current Settings (1) -> SoundEngine=%d; WatchDog=%d; SecMenuHotKey=%s", soundEngineDisable_ ? 0 : 1,
               watchdogEnable_ ? 1 : 0, secondaryTextMenuHotkey_.c_str());
    log_.debug("Current Settings (2) -> UserJetwaySound=%d; PrimaryHotKey=%d", userJetwaySoundEnable_ ? 1 : 0,
               primaryHotkeyDisable_ ? 0 : 1);
    log_.debug("Current Settings (3) -> AircraftStateTriggeredAutoDockingEnable=%d",
               aircraftStateTriggeredAutoDockingEnable_ ? 1 : 0);
    log_.debug("Current Settings (4) -> AIDetection=%d; AIJetwaySound=%d", aiDetectionEnable_ ? 1 : 0,
               aiJetwaySoundEnable_ ? 1 : 0);
}
