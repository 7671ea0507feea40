// The placement-file reader: one XML document (a plain file of the "xml" folder, or the text an SDX
// container carries) turned into entries of the full object list, environmental data probes and
// protection zones.
//
// The placement-file registry owns the state this reader works on (platform id, scenery library, debug
// flags) and calls ReadPlacementFile once per file, passing the running count from call to call. Every
// fault of a file is logged on "VELK.XML" and skips the element, the object or the whole file; nothing
// is thrown and nothing read before is lost.
//
// The entries of one SimObject element with several placements share its models (SimObject::ShareModels),
// so that what a file costs grows with the file, not with placements times models. A file that would add
// more than kMaxEntriesPerFile entries, or that runs out of memory, is read no further: an ERROR names
// it, and the entries it added before stay.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
}  // namespace tinyxml2

class EnviroDataProbeList;
class ProtectionZoneList;
class SceneryLibrary;
class SimObject;
class SimObjectList;
class TriggAnimationData;
class TriggVisibilityData;
class ControllableAnimationData;
class VariableDrivenRotationData;
class ConditionalVisibilityData;
class GroundPolygonShiftData;
class RandomizedVisibilityData;

// The registry members the reader reads and sets while it reads one file.
struct PlacementReaderState {
    std::string platformId;              // "FSX", "FSX-SE", "FSX:SE", "P3Dv2" .. "P3Dv5"
    SceneryLibrary* library = nullptr;   // null: every scenery area counts as active
    bool debugMode = false;              // gates the DEBUG lines and one INFO line
    bool debugFile = false;              // set by a "Debug" element, never cleared here
    bool noSceneryPath = true;
    bool targetSimPresent = false;
    bool differentSimulator = false;
    std::string sceneryPath;             // the last file's "SceneryPath"
};

// The registry's SDX opener: (file name, path, document) → 0 when the container's text was parsed into
// the document.
using SdxOpener = std::function<int(const std::string& fileName, const std::string& path, tinyxml2::XMLDocument& document)>;

// Number of direct children of that name, saturated at the int16 range. The readers walk the children
// themselves, so a file with more children than that still reads them all.
int16_t CountChildElements(const tinyxml2::XMLElement* parent, const char* name);

// Type codes of a docking guidance stop's aircraft type token and whether it named a group of types.
// A token naming no type gives the single code 0.
struct VdgsAircraftTypes {
    std::vector<int32_t> codes;
    bool group = false;
};
VdgsAircraftTypes ParseVdgsAircraftType(std::string_view token);

// The SimObject and Group children of one element (the root, a Group or a Stand) by their Name, gathered
// on the first lookup, so that each link between objects finds its targets without walking every child.
class SimObjectNameIndex {
public:
    explicit SimObjectNameIndex(const tinyxml2::XMLElement* parent) : parent_(parent) {}

    // A child and its Name, which points into the document.
    using NamedElement = std::pair<std::string_view, const tinyxml2::XMLElement*>;

    const tinyxml2::XMLElement* Parent() const { return parent_; }
    // The SimObject children with exactly that Name, in document order; empty when there is none. Valid
    // while the index lives.
    std::span<const NamedElement> Find(std::string_view name);
    // The first Group child with that Name; null when there is none.
    const tinyxml2::XMLElement* FindGroup(std::string_view name);

private:
    // Children by Name, sorted by name and, for equal names, in document order.
    using NamedElements = std::vector<NamedElement>;
    // The children of the index with that name; they stand together.
    static std::span<const NamedElement> Named(const NamedElements& index, std::string_view name);
    void Gather(const char* childName, NamedElements& index) const;

    const tinyxml2::XMLElement* parent_;
    bool built_ = false;
    bool groupsBuilt_ = false;
    NamedElements byName_;
    NamedElements groupsByName_;
};

class PlacementReader {
public:
    // Entries (placements of objects, and debug objects) one file may add; far above any real airport.
    static constexpr int32_t kMaxEntriesPerFile = 200000;

    explicit PlacementReader(PlacementReaderState& state);
    ~PlacementReader();
    PlacementReader(const PlacementReader&) = delete;
    PlacementReader& operator=(const PlacementReader&) = delete;

    // Where the SDX documents come from; without one an SDX file fails to load.
    void SetSdxOpener(SdxOpener opener) { sdxOpener_ = std::move(opener); }
    // The jetway InitialState's random draws are seeded from this; by default MixSeed of the processor
    // clock, the time in seconds and the process id. Tests make it fixed.
    void SetSeedSource(std::function<uint32_t()> source) { seedSource_ = std::move(source); }
    // The entries one file may add; kMaxEntriesPerFile unless a test lowers it.
    void SetEntryLimit(int32_t limit) { entryLimit_ = limit; }

    // Reads one file (loaded from the path, or through the SDX opener) and returns running count plus
    // the request numbers its entries and probes took.
    int32_t ReadPlacementFile(int32_t runningCount, const std::string& path, bool isSdx, SimObjectList& objects,
                              EnviroDataProbeList& probes, ProtectionZoneList* zones, uint8_t configurationFlag,
                              int32_t configurationNumber);
    // The document and the file text kept from file to file, given back (the registry does it after a
    // list of files).
    void ReleaseFileMemory();
    // The same for a document text already in memory; path names the file in messages and names.
    int32_t ReadPlacementText(int32_t runningCount, const std::string& path, const std::string& text,
                              SimObjectList& objects, EnviroDataProbeList& probes, ProtectionZoneList* zones,
                              uint8_t configurationFlag, int32_t configurationNumber);
    // The same for a parsed document.
    int32_t ReadPlacementDocument(int32_t runningCount, const std::string& path, const tinyxml2::XMLDocument& document,
                                  SimObjectList& objects, EnviroDataProbeList& probes, ProtectionZoneList* zones,
                                  uint8_t configurationFlag, int32_t configurationNumber);

    // The SimObject children of parent. Returns the request numbers taken (entries, probes and debug
    // objects); appended is set to the number of entries added to the object list.
    int32_t ReadSimObjects(const std::string& baseName, const tinyxml2::XMLElement* parent, int32_t runningCount,
                           SimObjectList& objects, EnviroDataProbeList& probes, uint8_t configurationFlag,
                           int32_t configurationNumber, int32_t* appended = nullptr);
    // Group and stand data for the last entryCount entries of the list.
    void ReadGroup(const tinyxml2::XMLElement* group, int32_t groupIndex, int32_t entryCount, SimObjectList& objects);
    void ReadStand(const tinyxml2::XMLElement* stand, int32_t standIndex, int32_t entryCount, SimObjectList& objects);
    void ReadProtectionZone(const tinyxml2::XMLElement* root, ProtectionZoneList& zones);

    // The feature elements of a Model (group false, siblings = the SimObject elements beside the object's
    // own) or of a Group (group true, no siblings), read into one model of the object.
    void ReadModelSubElements(SimObjectNameIndex* siblings, const tinyxml2::XMLElement* holder, SimObject& object,
                              int32_t modelIndex, bool group);

    // One reader per feature element; each returns the feature number to set, 0 for none.
    static int32_t ReadGroundPolygonShift(const tinyxml2::XMLElement* element, GroundPolygonShiftData& data);
    static int32_t ReadVariableDrivenRotation(const tinyxml2::XMLElement* element, VariableDrivenRotationData& data);
    static int32_t ReadConditions(const tinyxml2::XMLElement* element, ConditionalVisibilityData& data);
    static int32_t ReadControllableAnimation(const tinyxml2::XMLElement* element, ControllableAnimationData& data,
                                             bool group);
    // SyncStateWith names the entries the listed sibling SimObject elements get under platformId.
    static int32_t ReadTriggerableAnimation(const tinyxml2::XMLElement* element, SimObjectNameIndex* siblings,
                                            const std::string& platformId, TriggAnimationData& data, bool group);
    static int32_t ReadTriggerableVisibility(const tinyxml2::XMLElement* element, TriggVisibilityData& data,
                                             bool group);
    static int32_t ReadRandomizedVisibility(const tinyxml2::XMLElement* element, RandomizedVisibilityData& data);

    // "file" of "C:\a\b\file.tar.xml".
    static std::string BaseName(const std::string& path);

private:
    // One ReadSimObjects call, and one SimObject element of it; defined beside the readers.
    struct SimObjectBatch;
    struct SimObjectReading;

    // One reader per SimObject element and per kind of Model.
    void ReadSimObject(SimObjectBatch& batch, const tinyxml2::XMLElement* element, int32_t simIndex);
    void AddEntries(SimObjectReading& reading);
    // Counts one more entry of the file; false, logged once, when the file has had all it may add.
    bool TakeEntry();
    int32_t ReadDocumentContent(int32_t runningCount, const std::string& path, const tinyxml2::XMLDocument& document,
                                SimObjectList& objects, EnviroDataProbeList& probes, ProtectionZoneList* zones,
                                uint8_t configurationFlag, int32_t configurationNumber);
    void ReadModel(SimObjectReading& reading, const tinyxml2::XMLElement* modelElement);
    static void ReadProbeModel(SimObjectReading& reading, const tinyxml2::XMLElement* probeElement,
                               const char* title);
    void ReadVdgsModel(SimObjectReading& reading, const tinyxml2::XMLElement* vdgsElement,
                       const char* title, const char* staticTitle);
    void AddVdgsDebugObjects(SimObjectReading& reading, double lateralOffsetM,
                             const std::vector<double>& stopDistancesM);
    void AddVdgsDebugObject(SimObjectBatch& batch, const std::string& name, const char* modelTitle,
                            double latitudeDeg, double longitudeDeg, double headingDeg);
    void ReadJetwayModel(SimObjectReading& reading, const tinyxml2::XMLElement* jetwayElement,
                         const char* title, const char* staticTitle);
    void ReadPlainModel(SimObjectReading& reading, const tinyxml2::XMLElement* modelElement,
                        const char* title);

    uint32_t NextSeed() const;

    PlacementReaderState& state_;
    SdxOpener sdxOpener_;
    std::function<uint32_t()> seedSource_;
    int32_t entryLimit_ = kMaxEntriesPerFile;

    // The file being read: its path for messages, the entries it added and the request numbers it took
    // so far, and whether it is read no further.
    struct FileProgress {
        std::string path;
        int32_t entries = 0;
        int32_t taken = 0;
        bool stopped = false;
    };
    FileProgress file_;
    // The text of the file read last and its document, kept so that the next file reads into the same room
    // (as large as the largest file read) until ReleaseFileMemory.
    std::string fileText_;
    std::unique_ptr<tinyxml2::XMLDocument> document_;
};
