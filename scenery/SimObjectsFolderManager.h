// Finds the simulator's SimObject folders for the running platform (its configuration files under the
// application data folders, P3D add-on packages and the installation folder in the registry), scans them
// once and keeps what the rest of the program asks about simulator titles:
//
// - the SimObjects map: title of every object whose sim.cfg says [General] Module=VELK -> model folder;
// - the aircraft map: title of every jet or turboprop in an aircraft.cfg -> model folder;
// - whether the model file of each title exists ("MDLOK", or the missing model's name).
//
// Titles are keys in lower case (ASCII A-Z only). A model folder always ends in "\". Main thread only.
#pragma once

#include "foundation/ConfigFileHelper.h"
#include "scenery/MDLFile.h"
#include "scenery/SuppressedMdlList.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace log4cpp {
class Category;
}
class SimObjectList;
class SoundEngine;

class SimObjectsFolderManager {
public:
    // The title every model gets whose model file the scan did not find.
    static constexpr const char* kMissingObjectTitle = "Quorvath_VELK_MissingObj";
    static constexpr const char* kModelOk = "MDLOK";
    static constexpr const char* kUndefined = "UNDEFINED";

    // Bounds against hostile files: bigger configuration or add-on description files are skipped.
    static constexpr size_t kMaxConfigFileBytes = 8u * 1024u * 1024u;
    static constexpr size_t kMaxAddOnXmlBytes = 4u * 1024u * 1024u;

    SimObjectsFolderManager(log4cpp::Category& log, SoundEngine* soundEngine);
    virtual ~SimObjectsFolderManager();
    SimObjectsFolderManager(const SimObjectsFolderManager&) = delete;
    SimObjectsFolderManager& operator=(const SimObjectsFolderManager&) = delete;

    void SetDebugMode(bool debug) { debug_ = debug ? 1 : 0; }
    // "FSX", "FSX-SE", "FSX:SE", "P3Dv2", "P3Dv3", "P3Dv4" or "P3Dv5".
    void SetSimPlatform(std::string platformId) { platformId_ = std::move(platformId); }

    // The first call finds the container folders and fills the maps; later calls do nothing, even when
    // the first one failed.
    void BuildSimObjectsMap();
    // Replaces the title of every model whose model file the scan did not find by the missing-object
    // title; suppressed models give their object a random attitude.
    void CheckModels(SimObjectList& objects);

    // Model folder of one of the system's own titles; "" when unknown.
    std::string LookupTitlePath(std::string title) const;
    // The SimObject folder (the model folder's parent, with "\"); "\" alone for an unknown title.
    std::string GetModelFolder(std::string title) const;
    // The aircraft's folder (its model folder's parent, with "\"); "" when the title is no known jet or
    // turboprop.
    std::string FindAircraftTitle(std::string title) const;
    // Writes folder\DUMP_SimObjectsMap.txt and folder\DUMP_AircraftMap.txt ("title=model folder" lines).
    void DumpMaps(std::string folder) const;

    // The SimObject container folders that the active packages of one add-ons.cfg declare.
    std::vector<std::string> ReadAddOnPackages(const std::string& addOnsCfgPath);
    // Records whether the model that model.cfg of the folder names exists, under the title's key.
    void CheckModelFile(const std::string& modelFolder, const std::string& title, bool ownModule);
    // True with a fresh seed when the title's model is suppressed.
    bool GetRandomSeedForTitle(const std::string& title, uint32_t& seed) const;

    static std::string ToLowerAscii(std::string text);

    bool IsBuilt() const { return built_ != 0; }
    bool IsDebugMode() const { return debug_ != 0; }
    const std::string& GetSimPlatform() const { return platformId_; }
    SoundEngine* GetSoundEngine() const { return soundEngine_; }
    log4cpp::Category& GetLog() const { return log_; }
    ConfigFileHelper& GetConfigHelper() { return config_; }
    SuppressedMdlList& GetSuppressedMdlList() { return suppressed_; }

    const std::vector<std::string>& GetContainerPaths() const { return containerPaths_; }
    const std::map<std::string, std::string>& GetSimObjectsMap() const { return simObjects_; }
    const std::map<std::string, std::string>& GetAircraftMap() const { return aircraft_; }
    const std::map<std::string, std::string>& GetOwnTitleStatus() const { return ownStatus_; }
    const std::map<std::string, std::string>& GetOtherTitleStatus() const { return otherStatus_; }
    const std::set<std::string>& GetSuppressedTitles() const { return suppressedTitles_; }

private:
    // Fills the container paths and the installation folder; false when the platform is unknown or its
    // installation key cannot be opened.
    bool FindContainerPaths(const std::string& commonAppData, const std::string& userAppData, std::string& appPath);
    void ReadFsxCfgPaths(const std::string& cfgPath);
    void ReadSimObjectsCfgPaths(const std::string& cfgPath);
    // Opens HKEY_CURRENT_USER\key; false when it cannot be opened. appPath "bad" when unreadable.
    bool ReadAppPath(const std::string& key, std::string& appPath) const;
    void ChooseSteamEditionFiles(const std::string& userAppData, std::string& cfgPath, std::string& key);
    std::string CompleteContainerPath(const std::string& path, const std::string& appPath) const;
    void ScanSimCfg(const std::string& container);
    void ScanAircraftCfg(const std::string& container);
    bool ReadModelName(const std::string& modelFolder, std::string& modelName);

    log4cpp::Category& log_;
    uint8_t built_ = 0;
    uint8_t debug_ = 0;
    MDLFile header_;
    SoundEngine* soundEngine_;
    std::string platformId_;
    ConfigFileHelper config_;
    SuppressedMdlList suppressed_;
    std::set<std::string> suppressedTitles_;
    std::map<std::string, std::string> otherStatus_;
    std::map<std::string, std::string> ownStatus_;
    std::map<std::string, std::string> simObjects_;
    std::map<std::string, std::string> aircraft_;
    std::vector<std::string> containerPaths_;
    // model.cfg answers of the running scan by model folder (many titles share one model).
    std::map<std::string, std::pair<int, std::string>> modelCfgCache_;
};
