// The simulator's scenery library ("scenery.cfg"): which scenery areas are switched on.
//
// Each area of the file is a section with its folder in "Local" and its switch in "Active". The file
// sits in a fixed data folder per platform; Prepar3D v4 and v5 have none, so nothing is active there.
// The section names are read at Load; the values are read from the file at every test. Every failure
// (missing file, unknown platform, no such area) answers "not active". Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class SceneryLibrary {
public:
    SceneryLibrary() = default;
    ~SceneryLibrary() = default;

    // Stores the platform id ("FSX", "FSX-SE", "FSX:SE", "P3Dv2" ... "P3Dv5") and reads its section list.
    void Load(std::string platformId);
    // True when the area whose "Local" value is exactly the folder (case, separators and trailing "\"
    // included) has "Active" exactly "TRUE".
    bool IsSceneryActive(std::string folder);
    // Forgets the platform and its sections; the index of the last lookup stays.
    void Clear();

    // The platform's data folder with a trailing "\", empty when the platform has no scenery library.
    std::string DataFolder() const;
    void ReadAreaSections();
    // Sets the area index to the first area whose "Local" value equals the folder, else -1.
    void FindAreaByLocal(std::string folder);

    int32_t GetAreaIndex() const { return areaIndex_; }
    const std::string& GetPlatformId() const { return platformId_; }
    // The section names of the file in file order, without the file's first section.
    const std::vector<std::string>& GetSections() const { return sections_; }

private:
    std::string ConfigPath() const { return DataFolder() + "scenery.cfg"; }

    int32_t areaIndex_ = 0;
    std::string platformId_;
    std::vector<std::string> sections_;
};
