// The placement-file registry: finds the custom configurations and placement files in the program data
// folder and hands each one to the placement reader, which fills the object, probe and zone lists.
//
// Folders below the program data folder:
//   "\cfg\"          custom configurations, SDX containers (this folder only)
//   "\sdx\<Name>\"   the SDX placement containers of the configuration called Name (this folder only)
//   "\xml\"          plain XML placement files, sub-folders included except "dbg", "bkk", "off", "out"
//
// An SDX container is a zip archive with exactly one entry, the XML text, enciphered with the traditional
// PKWARE method. Its password depends on the container's file name only, so a container can move to
// another folder but cannot be renamed:
//
//   password = "VELK-SDX/" + stem, where stem is the file name without its folder (everything after the
//   last "\" or "/") and without its last extension (from the last "." on, when that "." is not the
//   first character), with the ASCII letters A-Z turned into a-z and every other byte kept as it is.
//
//   "C:\ProgramData\Quorvath\VELK\sdx\Main\EDDM_Terminal2.sdx" -> "VELK-SDX/eddm_terminal2"
//   "Pack.v2.SDX" -> "VELK-SDX/pack.v2"
//
// Every fault of a folder or file is logged and skips that file; a load never stops. Main thread only.
#pragma once

#include "foundation/StringUtils.h"
#include "scenery/PlacementReader.h"
#include "scenery/SceneryLibrary.h"

#include <cstdint>
#include <string>
#include <vector>

namespace log4cpp {
class Category;
}

class SceneryFileRegistry {
public:
    // Largest entry text an SDX container may carry; a larger stated size is refused before allocation.
    static constexpr long kMaxSdxTextSize = 64L * 1024 * 1024;

    explicit SceneryFileRegistry(log4cpp::Category& log);
    SceneryFileRegistry();  // logs on "VELK.XML"
    SceneryFileRegistry(const SceneryFileRegistry&) = delete;
    SceneryFileRegistry& operator=(const SceneryFileRegistry&) = delete;

    // The password of an SDX container, from its file name as described above.
    static std::string SdxPassword(const std::string& path);

    // Empties the scenery library and both file lists.
    void Clear();
    void SetDebugMode(bool debugMode) { state_.debugMode = debugMode; }
    // Stores the platform id and makes the scenery library read that simulator's "scenery.cfg".
    void SetSimPlatform(std::string platform);

    void FindSdxCfgFiles();
    void FindXmlFiles();
    // Appends the entries of program data folder + folder matching "*." + pattern to list. For the
    // pattern "xml" the sub-folders are searched as well and an entry is its path below "\xml\".
    void FindFiles(const std::string& folder, const std::string& pattern, std::vector<std::string>& list);

    // Reads every custom configuration and its containers. The objects of a configuration carry the
    // position its record gets in configurations. Returns the running count.
    int32_t BuildListsFromSdx(int32_t count, StringTripleList& configurations, SimObjectList& objects,
                              EnviroDataProbeList& probes, ProtectionZoneList* zones);
    // Reads every XML file; returns the running count.
    int32_t BuildListsFromXml(int32_t count, SimObjectList& objects, EnviroDataProbeList& probes,
                              ProtectionZoneList* zones);

    // 0 when the configuration container could be read: record gets Name, and KeyStroke and MenuTitle
    // with the complete flag when both are given; a container without a CustomConfiguration element
    // (or without a VELK root) leaves the record empty, a configuration with no placement files.
    // Otherwise the error code.
    int32_t ReadSdxCustomConfig(const std::string& fileName, StringTriple& record);
    // 0 when the container's text was extracted whole and parsed into the document; messages name the
    // container by displayName.
    int32_t OpenSdxFile(const std::string& path, tinyxml2::XMLDocument& document, const std::string& displayName);

    // One placement file, through the placement reader (SDX containers through OpenSdxFile).
    int32_t ReadPlacementFile(int32_t count, const std::string& path, bool isSdx, SimObjectList& objects,
                              EnviroDataProbeList& probes, ProtectionZoneList* zones, bool configurationComplete,
                              int32_t configurationIndex);

    // Copy of the n-th XML file entry; "" outside the list.
    std::string GetXmlFile(size_t n) const { return n < xmlFiles_.size() ? xmlFiles_[n] : std::string(); }
    const std::vector<std::string>& GetXmlFiles() const { return xmlFiles_; }
    const std::vector<std::string>& GetSdxCfgFiles() const { return sdxCfgFiles_; }
    bool IsDebugFile() const { return state_.debugFile; }
    bool IsDebugMode() const { return state_.debugMode; }
    const std::string& GetSimPlatform() const { return state_.platformId; }
    SceneryLibrary& GetSceneryLibrary() { return library_; }
    PlacementReader& GetPlacementReader() { return reader_; }

    // Result codes of ReadSdxCustomConfig besides those of OpenSdxFile.
    static constexpr int32_t kNoConfiguration = 2;  // a CustomConfiguration without a Name
    static constexpr int32_t kUnsafeName = 3;       // a Name that is no plain folder name

private:
    log4cpp::Category& log_;
    const std::string xmlFolder_ = "\\xml\\";
    const std::string cfgFolder_ = "\\cfg\\";
    const std::string sdxFolder_ = "\\sdx\\";
    std::vector<std::string> sdxCfgFiles_;
    std::vector<std::string> xmlFiles_;
    SceneryLibrary library_;
    PlacementReaderState state_;
    PlacementReader reader_{state_};
};
