#include "scenery/PlacementReader.h"

#include "scenery/RandomSeed.h"

#include "foundation/AltitudeText.h"
#include "foundation/GeoMath.h"
#include "foundation/StringUtils.h"
#include "objects/EnviroDataProbe.h"
#include "objects/SimObject.h"
#include "objects/SimObjectList.h"
#include "objects/VDGS.h"
#include "platform/files.h"
#include "platform/process.h"
#include "scenery/QuadTree.h"
#include "scenery/SceneryLibrary.h"
#include "sound/SoundBuffer.h"

#include <log4cpp/Category.hh>
#include <tinyxml2.h>

#include <algorithm>
#include <memory>
#include <bitset>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <set>
#include <span>
#include <new>
#include <stdexcept>
#include <string_view>

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;

namespace {

log4cpp::Category& Log() { return log4cpp::Category::getInstance("VELK.XML"); }

void LogOutOfMemory(const std::string& path)
{
    Log().error("'%s': out of memory while reading! The rest of the file is skipped.", path.c_str());
}

// Names are compared here rather than by tinyxml2's own lookups, which call strncmp for every child or
// attribute they pass: most names differ in their first letter, and a file has hundreds of thousands of
// lookups. The first match wins, as with tinyxml2.
bool NameIs(const char* actual, const char* wanted)
{
    return actual[0] == wanted[0] && std::strcmp(actual, wanted) == 0;
}

const char* Attr(const XMLElement* element, const char* name)
{
    if (element == nullptr) return nullptr;
    for (const tinyxml2::XMLAttribute* a = element->FirstAttribute(); a != nullptr; a = a->Next()) {
        if (NameIs(a->Name(), name)) return a->Value();
    }
    return nullptr;
}

const XMLElement* SiblingFrom(const XMLElement* element, const char* name)
{
    for (; element != nullptr; element = element->NextSiblingElement()) {
        if (NameIs(element->Name(), name)) return element;
    }
    return nullptr;
}

// The first child element of that name; null for a null parent.
const XMLElement* FirstChild(const tinyxml2::XMLNode* parent, const char* name)
{
    return parent == nullptr ? nullptr : SiblingFrom(parent->FirstChildElement(), name);
}

const XMLElement* NextSibling(const XMLElement* element, const char* name)
{
    return SiblingFrom(element->NextSiblingElement(), name);
}

std::string AttrText(const XMLElement* element, const char* name)
{
    const char* value = Attr(element, name);
    return value ? std::string(value) : std::string();
}

// The whole file in one read; false when it cannot be opened or read whole (a folder included).
bool ReadFileText(const std::string& path, std::string& text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(file, &sizeHigh);
    bool complete = false;
    if (size != INVALID_FILE_SIZE && sizeHigh == 0) {
        text.resize(size);
        DWORD read = 0;
        complete = size == 0 || (ReadFile(file, text.data(), size, &read, nullptr) && read == size);
    }
    CloseHandle(file);
    return complete;
}

// Keywords are exact: only "Yes" is true.
bool IsYes(const char* text) { return text != nullptr && std::strcmp(text, "Yes") == 0; }

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    SplitString(text, separator, parts);
    return parts;
}

// Every separated piece an int by std::stoi's rules (ParseLeadingInt); values holds them only when all are.
bool ToInts(std::string_view text, char separator, std::vector<int32_t>& values)
{
    std::vector<int32_t> numbers;
    bool valid = true;
    ForEachPiece(text, std::string_view(&separator, 1), [&](std::string_view token) {
        int32_t number = 0;
        valid = valid && ParseLeadingInt(token, number);
        numbers.push_back(number);
    });
    if (valid) values = std::move(numbers);
    return valid;
}

bool ToDouble(const char* text, double& value) { return text != nullptr && ParseLeadingDouble(text, value); }

// The whole text a base-10 integer: optional sign, digits only, in the int range.
bool ToIntStrict(const std::string& text, int32_t& value)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    int64_t result = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        result = result * 10 + (text[i] - '0');
        if (result > INT_MAX) return false;  // INT_MIN has no absolute value
    }
    if (negative) result = -result;
    if (result < INT_MIN || result > INT_MAX) return false;
    value = static_cast<int32_t>(result);
    return true;
}

bool HasDigit(const std::string& text)
{
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c))) return true;
    }
    return false;
}

// abs that cannot overflow: INT_MIN gives INT_MAX.
int32_t SafeAbs(int32_t value) { return value == INT_MIN ? INT_MAX : (value < 0 ? -value : value); }

bool IsTokenOf(std::string_view list, std::string_view token)
{
    bool found = false;
    ForEachPiece(list, ";", [&](std::string_view part) { found = found || part == token; });
    return found;
}

template <typename F>
void ForEachChild(const XMLElement* parent, const char* name, F f)
{
    if (parent == nullptr) return;
    for (const XMLElement* child = FirstChild(parent, name); child; child = NextSibling(child, name)) {
        f(child);
    }
}

constexpr double kMaxLatitudeDeg = 90.0;
constexpr double kMaxLongitudeDeg = 180.0;
constexpr double kMillisecondsPerSecond = 1000.0;

bool IsLatLonOutOfRange(double latitudeDeg, double longitudeDeg)
{
    return std::fabs(latitudeDeg) > kMaxLatitudeDeg || std::fabs(longitudeDeg) > kMaxLongitudeDeg;
}

struct Placement {
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    double altitudeFt = 0.0;
    bool agl = false;
    bool zero = false;
    double headingDeg = 0.0;
};

// Whose numbers are read, for the warning about text after a number.
struct NumberSource {
    const std::string& path;
    const std::string& object;  // the SimObject's name suffix
};

// A text from the file as a log line shows it: cut short, control and non-ASCII bytes as \xNN.
std::string Shown(std::string_view text)
{
    constexpr size_t kShownChars = 64;
    return EscapedText(text, kShownChars);
}

// A number read from the start of an attribute's text (numberText, the part of it that holds the number)
// counts as read; text after it ("48.1OO30", "2a40") is a slip the value does not show, so a WARN names
// the file, the line, the object and the attribute.
void WarnTextAfterNumber(const XMLElement* element, const char* name, std::string_view numberText, double value,
                         const NumberSource* source)
{
    double read = 0.0;
    std::string_view rest;
    if (source == nullptr || !ParseLeadingDouble(numberText, read, &rest) || Trimmed(rest).empty()) return;
    Log().warn("'%s' line %d: SimObject '%s': %s='%s' has text after its number! Read as %.10g.",
               source->path.c_str(), element->GetLineNum(), source->object.c_str(), name,
               Shown(Attr(element, name)).c_str(), value);
}

bool ToDouble(const XMLElement* element, const char* name, const char* text, double& value,
              const NumberSource* source)
{
    if (!ToDouble(text, value)) return false;
    WarnTextAfterNumber(element, name, text, value, source);
    return true;
}

bool ToDouble(const XMLElement* element, const char* name, double& value, const NumberSource* source)
{
    return ToDouble(element, name, Attr(element, name), value, source);
}

// Lat, Lon, Hdg and Alt, found in one walk over the attributes (the first of each name counts); false for
// a missing or unusable value. With a source, text after a number is reported.
bool ReadPlacement(const XMLElement* element, Placement& out, const NumberSource* source = nullptr)
{
    const char* latitudeText = nullptr;
    const char* longitudeText = nullptr;
    const char* headingText = nullptr;
    const char* altitudeText = nullptr;
    for (const tinyxml2::XMLAttribute* a = element->FirstAttribute(); a != nullptr; a = a->Next()) {
        const char* const name = a->Name();
        const char** wanted = nullptr;
        if (NameIs(name, "Lat")) wanted = &latitudeText;
        else if (NameIs(name, "Lon")) wanted = &longitudeText;
        else if (NameIs(name, "Hdg")) wanted = &headingText;
        else if (NameIs(name, "Alt")) wanted = &altitudeText;
        if (wanted != nullptr && *wanted == nullptr) *wanted = a->Value();
    }
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    double headingDeg = 0.0;
    if (!ToDouble(element, "Lat", latitudeText, latitudeDeg, source) ||
        !ToDouble(element, "Lon", longitudeText, longitudeDeg, source) ||
        !ToDouble(element, "Hdg", headingText, headingDeg, source)) {
        return false;
    }
    if (IsLatLonOutOfRange(latitudeDeg, longitudeDeg)) return false;
    if (altitudeText == nullptr) return false;
    const std::optional<AltitudeText> altitude = ParseAltitudeText(altitudeText);
    if (!altitude) return false;
    const std::string_view altitudeNumber(altitudeText);
    WarnTextAfterNumber(element, "Alt", altitudeNumber.substr(0, altitudeNumber.find('#')), altitude->altitude,
                        source);
    out = {latitudeDeg, longitudeDeg, altitude->altitude, altitude->isAgl, altitude->isZero, headingDeg};
    return true;
}

void SetFeatures(SimObject& object, SimObjectModel& model, std::initializer_list<int32_t> features)
{
    for (int32_t feature : features) {
        object.SetFeature(feature);
        model.GetFeatures()->Set(feature);
    }
}

// The name of the entry of the index-th usable placement out of count: Name, or Name #k when there
// are several. Entries and the links to them are both named here.
std::string EntryName(const std::string& name, size_t index, size_t count)
{
    if (count < 2) return name;
    char number[24] = {' ', '#'};
    const char* const end = std::to_chars(number + 2, number + sizeof number, index + 1).ptr;
    std::string entry;
    entry.reserve(name.size() + static_cast<size_t>(end - number));
    entry.append(name).append(number, static_cast<size_t>(end - number));
    return entry;
}

// Whether a TargetSim element lists the running simulator among its ";"-separated IDs.
bool NamesPlatform(const XMLElement* targetSim, const std::string& platformId)
{
    const char* ids = Attr(targetSim, "ID");
    return IsTokenOf(ids != nullptr ? ids : "", platformId);
}

// The ERROR of a file that did not load, with the parser's reason and line when it parsed, else why it
// never got to the parser.
void LogLoadFailure(const std::string& path, const XMLDocument& document, const char* unread)
{
    if (!document.Error()) {
        Log().error("Failed to load file '%s' (%s)", path.c_str(), unread);
        return;
    }
    // The parser's text reads "Error=NAME ErrorID=N (0xN) Line number=N: detail"; the detail is what helps.
    const std::string text = document.ErrorStr() != nullptr ? document.ErrorStr() : "";
    const size_t lineAt = text.find("Line number=");
    const size_t detailAt = lineAt == std::string::npos ? std::string::npos : text.find(": ", lineAt);
    const std::string detail = detailAt == std::string::npos ? "" : ": " + Shown(text.substr(detailAt + 2));
    Log().error("Failed to load file '%s' (line %d: %s%s)", path.c_str(), document.ErrorLineNum(),
                document.ErrorName(), detail.c_str());
}

// The elements a placement file may hold, by parent: the feature elements stand in a Model and directly
// in a Group. An element absent here as a parent holds no elements. The children of Debug are not read.
constexpr std::pair<const char*, const char*> kKnownChildren[] = {
    {"VELK", "Debug"},        {"VELK", "TargetSim"},         {"VELK", "SimObject"},
    {"VELK", "Group"},        {"VELK", "Stand"},             {"VELK", "SimBubbleUpdateProtectionZone"},
    {"SimObject", "TargetSim"}, {"SimObject", "Placement"},  {"SimObject", "Model"},
    {"Group", "SimObject"},   {"Stand", "SimObject"},
    {"Model", "TargetSim"},   {"Model", "EnvironmentalDataProbe"}, {"Model", "DensityAltitudeDisplay"},
    {"Model", "Jetway"},      {"Model", "VDGS"},
    {"VDGS", "DebugTape"},    {"VDGS", "Stop"},
    {"ConditionalVisibility", "Condition"}, {"TriggerableAnimation", "Sound"},
    {"Model", "GroundPolygonShift"},    {"Group", "GroundPolygonShift"},
    {"Model", "VariableDrivenRotation"}, {"Group", "VariableDrivenRotation"},
    {"Model", "ConditionalVisibility"},  {"Group", "ConditionalVisibility"},
    {"Model", "ControllableAnimation"},  {"Group", "ControllableAnimation"},
    {"Model", "TriggerableAnimation"},   {"Group", "TriggerableAnimation"},
    {"Model", "TriggerableVisibility"},  {"Group", "TriggerableVisibility"},
    {"Model", "RandomizedVisibility"},   {"Group", "RandomizedVisibility"},
};

bool IsKnownChild(const char* parent, const char* child)
{
    for (const auto& [knownParent, knownChild] : kKnownChildren) {
        if (NameIs(parent, knownParent) && NameIs(child, knownChild)) return true;
    }
    return false;
}

// An element the reader does not know is a slip (a misspelt name, a feature put where it is not read):
// one WARN with file and line each; what it holds is not looked at.
void WarnUnknownElements(const XMLElement* parent, const std::string& path)
{
    if (NameIs(parent->Name(), "Debug")) return;
    for (const XMLElement* child = parent->FirstChildElement(); child; child = child->NextSiblingElement()) {
        if (IsKnownChild(parent->Name(), child->Name())) {
            WarnUnknownElements(child, path);
        } else {
            Log().warn("'%s' line %d: unknown element '%s' in '%s' is ignored!", path.c_str(), child->GetLineNum(),
                       Shown(child->Name()).c_str(), parent->Name());
        }
    }
}

}  // namespace


int16_t CountChildElements(const XMLElement* parent, const char* name)
{
    int32_t count = 0;
    ForEachChild(parent, name, [&count](const XMLElement*) {
        if (count < INT16_MAX) ++count;
    });
    return static_cast<int16_t>(count);
}

namespace {

// The codes of an aircraft type token into codes (emptied first); true when it named a group of types.
// Reading a file, one vector serves every token.
bool VdgsAircraftCodes(std::string_view rawToken, std::vector<int32_t>& codes)
{
    const std::string_view trimmed = Trimmed(rawToken);
    // Every name below is short; a longer token names nothing.
    char upper[16];
    const bool fits = trimmed.size() <= sizeof upper;
    if (fits) {
        for (size_t i = 0; i < trimmed.size(); ++i) {
            // The program runs in the "C" locale, where upper-casing touches a to z only.
            const char c = trimmed[i];
            upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        }
    }
    const std::string_view token = fits ? std::string_view(upper, trimmed.size()) : std::string_view("?");

    // Views, so that each comparison looks at the lengths before any byte (and no name is measured again).
    static constexpr std::pair<std::string_view, int32_t> kTypes[] = {
        {"B717", 2},  {"B737", 4},  {"B747", 5},  {"B757", 6},  {"B767", 7},  {"B777", 8},  {"B787", 9},
        {"A318", 12}, {"A319", 13}, {"A320", 14}, {"A321", 15}, {"A330", 16}, {"A340", 17}, {"A350", 18},
        {"A380", 19}, {"DC10", 20}, {"MD11", 21}, {"T154", 22}, {"T204", 23}, {"RJ1H", 24}, {"RJ85", 25},
        {"CRJ2", 27}, {"CRJ7", 28}, {"CRJ9", 29}, {"CRJX", 30}, {"E145", 31}, {"E170", 32}, {"E190", 33},
        {"F100", 34}, {"MD80", 35}, {"MD81", 36}, {"MD82", 37}, {"MD83", 38}, {"MD87", 39}, {"CONC", 40},
        {"E175", 41}, {"E195", 42}, {"DH8D", 43}, {"AT72", 44}, {"BCS1", 45}, {"BCS3", 46}, {"SU95", 47},
    };
    codes.clear();
    for (const auto& [name, code] : kTypes) {
        if (token.size() == name.size() && token[0] == name[0] && token == name) {
            codes.push_back(code);
            return false;
        }
    }
    auto range = [&codes](int32_t from, int32_t to) {
        for (int32_t code = from; code <= to; ++code) codes.push_back(code);
    };
    if (token == "AIRBUS_SMALL") {
        range(12, 15);
    } else if (token == "AIRBUS_LARGE") {
        range(16, 19);
    } else if (token == "BOEING_SMALL") {
        range(4, 4);
    } else if (token == "BOEING_LARGE") {
        range(5, 9);
    } else if (token == "ALL_LARGE") {
        range(16, 19);
        range(5, 9);
        range(20, 23);
        range(40, 40);
    } else if (token == "ALL_SMALL") {
        range(12, 15);
        range(2, 2);
        range(4, 4);
    } else if (token == "ALL_REGIONAL") {
        range(2, 2);
        range(24, 25);
        range(27, 39);
        range(41, 47);
    } else if (token == "ALL_ACFT") {
        range(1, 47);
    } else {
        codes.push_back(0);
        return false;
    }
    return true;
}

}  // namespace

VdgsAircraftTypes ParseVdgsAircraftType(std::string_view token)
{
    VdgsAircraftTypes result;
    result.group = VdgsAircraftCodes(token, result.codes);
    return result;
}

void SimObjectNameIndex::Gather(const char* childName, NamedElements& index) const
{
    ForEachChild(parent_, childName, [&index](const XMLElement* child) {
        if (const char* value = Attr(child, "Name")) index.emplace_back(value, child);
    });
    std::stable_sort(index.begin(), index.end(),
                     [](const NamedElement& a, const NamedElement& b) { return a.first < b.first; });
}

std::span<const SimObjectNameIndex::NamedElement> SimObjectNameIndex::Named(const NamedElements& index,
                                                                            std::string_view name)
{
    const auto [first, last] = std::equal_range(
        index.begin(), index.end(), NamedElement(name, nullptr),
        [](const NamedElement& a, const NamedElement& b) { return a.first < b.first; });
    return {first, last};
}

std::span<const SimObjectNameIndex::NamedElement> SimObjectNameIndex::Find(std::string_view name)
{
    if (!built_) {
        Gather("SimObject", byName_);
        built_ = true;
    }
    return Named(byName_, name);
}

const XMLElement* SimObjectNameIndex::FindGroup(std::string_view name)
{
    if (!groupsBuilt_) {
        Gather("Group", groupsByName_);
        groupsBuilt_ = true;
    }
    const std::span<const NamedElement> named = Named(groupsByName_, name);
    return named.empty() ? nullptr : named.front().second;
}

PlacementReader::PlacementReader(PlacementReaderState& state) : state_(state) {}

PlacementReader::~PlacementReader() = default;

uint32_t PlacementReader::NextSeed() const
{
    if (seedSource_) return seedSource_();
    return FreshSeed();
}

std::string PlacementReader::BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of('\\');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

// ----- document -----

int32_t PlacementReader::ReadPlacementFile(int32_t runningCount, const std::string& path, bool isSdx,
                                           SimObjectList& objects, EnviroDataProbeList& probes,
                                           ProtectionZoneList* zones, uint8_t configurationFlag,
                                           int32_t configurationNumber)
{
    state_.noSceneryPath = true;
    int result = -1;
    try {
        if (!document_) document_ = std::make_unique<XMLDocument>(true, tinyxml2::PRESERVE_WHITESPACE);
        XMLDocument& document = *document_;
        document.ClearError();  // the kept document may still hold the last file's error
        if (isSdx) {
            const size_t slash = path.find_last_of('\\');
            const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
            if (sdxOpener_) result = sdxOpener_(fileName, path, document);
        } else {
            if (ReadFileText(path, fileText_)) result = document.Parse(fileText_.data(), fileText_.size());
        }
    } catch (const std::bad_alloc&) {
        LogOutOfMemory(path);
        return runningCount;
    }
    if (result != 0) {
        const char* unread = isSdx ? "the SDX container could not be unpacked" : "the file cannot be read";
        LogLoadFailure(path, *document_, unread);
        return runningCount;
    }
    return ReadPlacementDocument(runningCount, path, *document_, objects, probes, zones, configurationFlag,
                                 configurationNumber);
}

void PlacementReader::ReleaseFileMemory()
{
    document_.reset();
    std::string().swap(fileText_);
}

int32_t PlacementReader::ReadPlacementText(int32_t runningCount, const std::string& path, const std::string& text,
                                           SimObjectList& objects, EnviroDataProbeList& probes,
                                           ProtectionZoneList* zones, uint8_t configurationFlag,
                                           int32_t configurationNumber)
{
    state_.noSceneryPath = true;
    XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    tinyxml2::XMLError parsed = tinyxml2::XML_ERROR_PARSING;
    try {
        parsed = document.Parse(text.data(), text.size());
    } catch (const std::bad_alloc&) {
        LogOutOfMemory(path);
        return runningCount;
    }
    if (parsed != tinyxml2::XML_SUCCESS) {
        LogLoadFailure(path, document, "the text cannot be read");
        return runningCount;
    }
    return ReadPlacementDocument(runningCount, path, document, objects, probes, zones, configurationFlag,
                                 configurationNumber);
}

int32_t PlacementReader::ReadPlacementDocument(int32_t runningCount, const std::string& path,
                                               const XMLDocument& document, SimObjectList& objects,
                                               EnviroDataProbeList& probes, ProtectionZoneList* zones,
                                               uint8_t configurationFlag, int32_t configurationNumber)
{
    file_ = FileProgress{};
    file_.path = path;
    int32_t count = runningCount;
    try {
        count = ReadDocumentContent(runningCount, path, document, objects, probes, zones, configurationFlag,
                                    configurationNumber);
    } catch (const std::bad_alloc&) {
        // What the file added stays, complete entry by entry; the numbers it took stay taken.
        LogOutOfMemory(path);
        count = runningCount + file_.taken;
    }
    file_ = FileProgress{};
    return count;
}

int32_t PlacementReader::ReadDocumentContent(int32_t runningCount, const std::string& path,
                                             const XMLDocument& document, SimObjectList& objects,
                                             EnviroDataProbeList& probes, ProtectionZoneList* zones,
                                             uint8_t configurationFlag, int32_t configurationNumber)
{
    state_.noSceneryPath = true;
    state_.targetSimPresent = false;
    state_.differentSimulator = false;

    const XMLElement* root = FirstChild(&document, "VELK");
    if (root == nullptr) {
        Log().warn("'%s' is not a valid VELK placement xml file! Ignoring entire file...", path.c_str());
        return runningCount;
    }
    if (const char* sceneryPath = Attr(root, "SceneryPath")) {
        state_.sceneryPath = sceneryPath;
        state_.noSceneryPath = false;
    }
    if (FirstChild(root, "Debug") != nullptr) state_.debugFile = true;
    if (const XMLElement* targetSim = FirstChild(root, "TargetSim")) {
        state_.targetSimPresent = true;
        const std::string ids = AttrText(targetSim, "ID");
        state_.differentSimulator = !IsTokenOf(ids, state_.platformId);
        if (state_.differentSimulator) {
            Log().info("'%s' TargetSim [%s] is different from current running sim [%s]! Ignoring entire file...",
                       path.c_str(), ids.c_str(), state_.platformId.c_str());
            return runningCount;
        }
    }
    if (!state_.noSceneryPath && state_.library != nullptr && !state_.library->IsSceneryActive(state_.sceneryPath)) {
        Log().info("Scenery '%s' is not active in the scenery library. VELK ignores '%s'", state_.sceneryPath.c_str(),
                   path.c_str());
        return runningCount;
    }

    WarnUnknownElements(root, path);

    // Room for one entry per SimObject element; several placements grow the list further.
    int32_t elements = objects.Count() + CountChildElements(root, "SimObject");
    for (const char* holder : {"Group", "Stand"}) {
        ForEachChild(root, holder,
                     [&elements](const XMLElement* parent) { elements += CountChildElements(parent, "SimObject"); });
    }
    objects.Reserve(elements);

    const std::string baseName = BaseName(path);
    int32_t count = runningCount;
    count += ReadSimObjects(baseName, root, count, objects, probes, configurationFlag, configurationNumber);

    // Group and stand data go to the entries the object list actually received, so that probes and
    // dropped objects never shift them onto another element's entries.
    int32_t index = 0;
    ForEachChild(root, "Group", [&](const XMLElement* group) {
        if (file_.stopped) return;
        int32_t appended = 0;
        count += ReadSimObjects(baseName, group, count, objects, probes, configurationFlag, configurationNumber,
                                &appended);
        ReadGroup(group, index++, appended, objects);
    });
    index = 0;
    ForEachChild(root, "Stand", [&](const XMLElement* stand) {
        if (file_.stopped) return;
        int32_t appended = 0;
        count += ReadSimObjects(baseName, stand, count, objects, probes, configurationFlag, configurationNumber,
                                &appended);
        ReadStand(stand, index++, appended, objects);
    });
    if (zones != nullptr && !file_.stopped) ReadProtectionZone(root, *zones);
    return count;
}

// ----- SimObject elements -----

// Where one ReadSimObjects call puts what it reads, and the request numbers it has taken so far.
struct PlacementReader::SimObjectBatch {
    const std::string& baseName;
    const XMLElement* parent;  // the element holding the SimObject elements: the root, a Group or a Stand
    const std::string& platformId;
    SimObjectList& objects;
    EnviroDataProbeList& probes;
    uint8_t configurationFlag;
    int32_t configurationNumber;
    uint32_t nextRequest;
    int32_t taken = 0;  // request numbers taken: entries, probes and debug objects
    int32_t added = 0;  // entries added to the object list
    SimObjectNameIndex siblings{parent};
    std::string suffix{};  // the name suffix of the element being read, kept so that its room is reused
    std::vector<Placement> placements{};  // the usable placements of the element being read, likewise
};

// One SimObject element while its models are read: the object they go into and what they found.
struct PlacementReader::SimObjectReading {
    SimObjectBatch& batch;
    const char* name;  // the element's Name attribute
    int32_t simIndex;
    std::string& suffix;  // the object's name suffix, for messages: the batch's room for it
    std::vector<Placement>& placements;  // the batch's room for them
    SimObject object{};
    bool isProbe = false;
    bool noTargetTitle = false;
};

namespace {

// Whether a SimObject's own TargetSim names another simulator, and the IDs it lists.
struct ObjectTargetSim {
    bool otherSimulator = false;
    std::string ids;
};

// The first TargetSim, Placement and Model children of a SimObject element and the models its Model
// children make (one each, two for one with a static part), found in one walk over its children.
struct SimObjectChildren {
    const XMLElement* targetSim = nullptr;
    const XMLElement* firstPlacement = nullptr;
    const XMLElement* firstModel = nullptr;
    int32_t models = 0;
};

SimObjectChildren FindSimObjectChildren(const XMLElement* simObject)
{
    SimObjectChildren children;
    for (const XMLElement* child = simObject->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        const char* const name = child->Name();
        if (NameIs(name, "Placement")) {
            if (children.firstPlacement == nullptr) children.firstPlacement = child;
        } else if (NameIs(name, "Model")) {
            if (children.firstModel == nullptr) children.firstModel = child;
            children.models += Attr(child, "StaticSimTitle") != nullptr ? 2 : 1;
        } else if (NameIs(name, "TargetSim")) {
            if (children.targetSim == nullptr) children.targetSim = child;
        }
    }
    return children;
}

// targetSim: the element's first TargetSim child, or null.
ObjectTargetSim ReadObjectTargetSim(const XMLElement* targetSim, const PlacementReaderState& state,
                                    const std::string& suffix)
{
    ObjectTargetSim result;
    if (targetSim != nullptr) {
        result.ids = AttrText(targetSim, "ID");
        result.otherSimulator = !NamesPlatform(targetSim, state.platformId);
        if (!result.otherSimulator && state.debugMode) {
            Log().debug("SimObject '%s': TargetSim specific SimObject found.", suffix.c_str());
        }
    }
    return result;
}

// The usable Placement children, from the first of them, into placements (emptied first); each unusable
// one is logged and skipped.
void ReadPlacements(const XMLElement* firstPlacement, const std::string& suffix, const std::string& path,
                    std::vector<Placement>& placements)
{
    placements.clear();
    const NumberSource source{path, suffix};
    int32_t placementIndex = 0;
    for (const XMLElement* placementElement = firstPlacement; placementElement != nullptr;
         placementElement = NextSibling(placementElement, "Placement")) {
        Placement placement;
        if (ReadPlacement(placementElement, placement, &source)) {
            placements.push_back(placement);
        } else {
            Log().error("SimObject '%s': Placement Data [%d] has a missing or invalid Lat, Lon, Alt or Hdg! "
                        "Placement skipped.",
                        suffix.c_str(), placementIndex);
        }
        ++placementIndex;
    }
}

// The model's SimTitle, replaced by the SimTitle of a TargetSim naming this simulator; it points into
// the document. A matching TargetSim without a SimTitle sets noTargetTitle.
const char* ReadModelTitle(const XMLElement* modelElement, const PlacementReaderState& state,
                           const std::string& suffix, bool& noTargetTitle)
{
    const char* title = nullptr;
    if (const char* simTitle = Attr(modelElement, "SimTitle")) {
        title = simTitle;
    } else {
        title = "XML_PARSE_ERROR_SIMTITLE_NODE_MISNAMED";
        Log().error("SimObject '%s': A model node has a misnamed 'SimTitle' attribute!", suffix.c_str());
    }
    ForEachChild(modelElement, "TargetSim", [&](const XMLElement* targetSim) {
        if (!NamesPlatform(targetSim, state.platformId)) return;
        if (const char* simTitle = Attr(targetSim, "SimTitle")) {
            title = simTitle;
            if (state.debugMode) {
                Log().debug("SimObject '%s': TargetSim specific Model '%s' found.", suffix.c_str(), title);
            }
        } else {
            Log().error("SimObject '%s': Model '%s' has no TargetSim specific SimTitle Attribute defined!",
                        suffix.c_str(), title);
            noTargetTitle = true;
        }
    });
    return title;
}

// ----- links to other SimObjects -----

// Whether ReadSimObject drops the whole element after reading its models: a probe, a TargetSim naming
// another simulator, or a Model whose TargetSim for this simulator has no SimTitle.
bool IsDroppedWhole(const XMLElement* simObject, const std::string& platformId)
{
    if (const XMLElement* targetSim = FirstChild(simObject, "TargetSim")) {
        if (!NamesPlatform(targetSim, platformId)) return true;
    }
    bool dropped = false;
    ForEachChild(simObject, "Model", [&](const XMLElement* model) {
        if (FirstChild(model, "EnvironmentalDataProbe") != nullptr) dropped = true;
        ForEachChild(model, "TargetSim", [&](const XMLElement* targetSim) {
            if (NamesPlatform(targetSim, platformId) && Attr(targetSim, "SimTitle") == nullptr) dropped = true;
        });
    });
    return dropped;
}

// The entries ReadSimObject adds for a SimObject element, worked out from the element alone by the same
// rules, so that a link read before its target (or to a target in a later Group) names exactly the
// entries the target gets: a skipped placement takes no number, and the numbers after it close up.
struct PlannedEntries {
    std::vector<std::string> names;          // without the file base name; empty when none is added
    std::vector<int32_t> skippedPlacements;  // indices of the Placement children that get no entry
};

PlannedEntries PlanEntries(const XMLElement* simObject, const std::string& platformId)
{
    PlannedEntries plan;
    size_t usable = 0;
    int32_t index = 0;
    ForEachChild(simObject, "Placement", [&](const XMLElement* element) {
        Placement placement;
        if (ReadPlacement(element, placement)) {
            ++usable;
        } else {
            plan.skippedPlacements.push_back(index);
        }
        ++index;
    });
    const char* name = Attr(simObject, "Name");
    if (name == nullptr || usable == 0 || IsDroppedWhole(simObject, platformId)) return plan;
    for (size_t i = 0; i < usable; ++i) plan.names.push_back(EntryName(name, i, usable));
    return plan;
}

// The entry names one ClientList or SyncStateWith links to, each once, in link order. A link that
// reaches no entry is logged, naming it, and left out; it never falls to a neighbouring entry.
class LinkList {
public:
    // owner and list start the messages: "Environmental Data Probe 'P'" and "ClientList".
    LinkList(std::string owner, const char* list, const std::string& platformId)
        : owner_(std::move(owner)), list_(list), platformId_(platformId)
    {
    }

    // False, logged, for an empty token or one listed before: the caller skips it.
    bool TakeToken(const std::string& token)
    {
        if (token.empty()) {
            Log().warn("%s: %s has an empty name! Skipped.", owner_.c_str(), list_);
            return false;
        }
        if (!tokens_.insert(token).second) {
            Log().warn("%s: %s lists '%s' more than once! Skipped.", owner_.c_str(), list_, token.c_str());
            return false;
        }
        return true;
    }

    // The entries of the sibling SimObject elements named token (one per simulator, say); false when
    // no sibling has that name.
    bool AddSimObjects(SimObjectNameIndex& siblings, const std::string& token)
    {
        const std::span<const SimObjectNameIndex::NamedElement> named = siblings.Find(token);
        if (named.empty()) return false;
        bool added = false;
        for (const auto& [simObjectName, simObject] : named) {
            const PlannedEntries plan = PlanEntries(simObject, platformId_);
            if (plan.names.empty()) continue;
            added = true;
            AddPlanned(token.c_str(), plan);
        }
        if (!added) NotAdded(token.c_str());
        return true;
    }

    // The entries of one SimObject element (a member of a listed Group).
    void AddSimObject(const XMLElement* simObject)
    {
        const char* name = Attr(simObject, "Name");
        if (name == nullptr) return;  // logged when the element itself is read
        const PlannedEntries plan = PlanEntries(simObject, platformId_);
        if (plan.names.empty()) {
            NotAdded(name);
        } else {
            AddPlanned(name, plan);
        }
    }

    std::vector<std::string> TakeNames() { return std::move(names_); }

private:
    void NotAdded(const char* name) const
    {
        Log().warn("%s: %s SimObject '%s' is not added! Not linked.", owner_.c_str(), list_, name);
    }

    void AddPlanned(const char* name, const PlannedEntries& plan)
    {
        for (int32_t index : plan.skippedPlacements) {
            Log().warn("%s: %s SimObject '%s' Placement [%d] was skipped! Not linked.", owner_.c_str(), list_, name,
                       index);
        }
        for (const std::string& entry : plan.names) {
            if (linked_.insert(entry).second) {
                names_.push_back(entry);
            } else {
                Log().warn("%s: %s entry '%s' is linked already! Not linked again.", owner_.c_str(), list_,
                           entry.c_str());
            }
        }
    }

    std::string owner_;
    const char* list_;
    const std::string& platformId_;
    std::set<std::string> tokens_;
    std::set<std::string> linked_;
    std::vector<std::string> names_;
};

// The static part of a VDGS or jetway: shown from the start and switchable from the text menu.
void AddShownStaticModel(SimObject& object, const char* staticTitle, int32_t feature)
{
    SimObjectModel& body = object.AddModel(staticTitle);
    SetFeatures(object, body, {feature, FeatureTriggVisibilityTextMenu});
    body.GetTriggVisibility()->SetVisibleOnLoad(true);
    body.GetTriggVisibility()->SetState(true);
    body.GetTriggVisibility()->SetVisible(true);
}

// ----- environmental data probe -----

void ReadProbeThreshold(const XMLElement* probeElement, EnviroDataProbe& probe, const std::string& suffix)
{
    const char* thresholdText = Attr(probeElement, "LowVisibilityThreshold");
    if (thresholdText == nullptr) return;
    int32_t thresholdM = 0;
    if (ParseLeadingInt(thresholdText, thresholdM)) {
        probe.SetLowVisibilityThreshold(thresholdM);
    } else {
        Log().error("Environmental Data Probe '%s': LowVisibilityThreshold '%s' is not a number!", suffix.c_str(),
                    thresholdText);
    }
}

void ReadProbeClients(const XMLElement* probeElement, SimObjectNameIndex& siblings, EnviroDataProbe& probe,
                      const std::string& suffix, const std::string& platformId)
{
    const char* clientList = Attr(probeElement, "ClientList");
    if (clientList == nullptr) return;
    LinkList links("Environmental Data Probe '" + suffix + "'", "ClientList", platformId);
    for (const std::string& token : Split(clientList, ';')) {
        if (!links.TakeToken(token)) continue;
        if (token == "ALL_JETWAYS") {
            probe.SetAllJetways(true);
        } else if (const XMLElement* group = siblings.FindGroup(token)) {
            ForEachChild(group, "SimObject", [&links](const XMLElement* member) { links.AddSimObject(member); });
        } else if (!links.AddSimObjects(siblings, token)) {
            Log().warn("Environmental Data Probe '%s': Listed Client SimObject '%s' does not exist in the XML!",
                       suffix.c_str(), token.c_str());
        }
    }
    for (std::string& name : links.TakeNames()) probe.AddClientName(std::move(name));
}

// ----- docking guidance -----

// The title without its distance unit. A unit is "_FT" or "_M" standing at the end of the title or
// before another "_" part; a title word that merely starts with M ("_Main") is no unit.
std::string VdgsTitleWithoutUnit(const std::string& title, const std::string& suffix)
{
    std::string displayTitle = title;
    for (const char* unitText : {"_FT", "_M"}) {
        size_t at = 0;
        const size_t length = std::strlen(unitText);
        while ((at = displayTitle.find(unitText, at)) != std::string::npos) {
            const size_t after = at + length;
            if (after == displayTitle.size() || displayTitle[after] == '_') break;
            at = after;
        }
        if (at != std::string::npos) {
            Log().warn("VDGS SimObject '%s': Model '%s' contains unit! SimTitle needs to be without units! "
                       "Removing unit...",
                       suffix.c_str(), title.c_str());
            displayTitle.resize(at);
            break;
        }
    }
    return displayTitle;
}

// CaptureDistance and LateralOffset; returns the lateral offset set (0 when missing).
double ReadVdgsGeometry(const XMLElement* vdgsElement, VDGS& vdgs, const std::string& suffix, const std::string& path)
{
    const NumberSource source{path, suffix};
    double captureDistanceM = 0.0;
    if (ToDouble(vdgsElement, "CaptureDistance", captureDistanceM, &source)) {
        vdgs.SetApproachRange(captureDistanceM);
    } else {
        Log().error("VDGS SimObject '%s': CaptureDistance missing or not a number!", suffix.c_str());
    }
    double lateralOffsetM = 0.0;
    if (!ToDouble(vdgsElement, "LateralOffset", lateralOffsetM, &source)) {
        lateralOffsetM = 0.0;
        Log().error("VDGS SimObject '%s': LateralOffset missing or not a number! Using 0.", suffix.c_str());
    }
    vdgs.SetLateralOffsetBias(lateralOffsetM);
    return lateralOffsetM;
}

void SetVdgsDisplayType(VDGS& vdgs, const std::string& displayTitle)
{
    vdgs.SetDisplayType(0);
    if (displayTitle.find("APIS") != std::string::npos) {
        vdgs.SetDisplayType(1);
    } else if (displayTitle.find("TrafficLight") != std::string::npos) {
        vdgs.SetDisplayType(2);
    } else if (displayTitle.find("Honeywell") != std::string::npos) {
        vdgs.SetDisplayType(3);
    }
}

// The aircraft types of one Stop. A single type keeps the first stop that named it; a group of types
// adds its stop to every type of the group.
// The type codes a single type has taken a stop for already; codes run from 1 to 47.
using DefinedVdgsTypes = std::bitset<64>;

void AddVdgsStopTypes(const XMLElement* stop, double distanceM, VDGS& vdgs, DefinedVdgsTypes& definedTypes,
                      std::vector<int32_t>& codes, const std::string& suffix)
{
    const char* types = Attr(stop, "AircraftTypes");
    // Types are separated by ';', ',' or ':' alike.
    ForEachPiece(types != nullptr ? types : "", ";,:", [&](std::string_view token) {
        const bool group = VdgsAircraftCodes(token, codes);
        const int tokenLength = static_cast<int>(token.size());
        for (int32_t code : codes) {
            if (code <= 0 || static_cast<size_t>(code) >= definedTypes.size()) {
                Log().warn("[VDGS] SimObject '%s', Stop@%f: AcftType='%.*s' is not supported by VELK!", suffix.c_str(),
                           distanceM, tokenLength, token.data());
            } else if (group) {
                vdgs.AddStop(code, true, distanceM);
            } else if (definedTypes.test(static_cast<size_t>(code))) {
                Log().warn("[VDGS] SimObject '%s', Stop@%f: AcftType='%.*s' was already defined before! Not using "
                           "the stop for this type.",
                           suffix.c_str(), distanceM, tokenLength, token.data());
            } else {
                definedTypes.set(static_cast<size_t>(code));
                vdgs.AddStop(code, false, distanceM);
            }
        }
    });
}

// The Stop children; returns the distance of every stop read, in document order.
std::vector<double> ReadVdgsStops(const XMLElement* vdgsElement, VDGS& vdgs, const std::string& suffix,
                                  const std::string& path)
{
    const NumberSource source{path, suffix};
    DefinedVdgsTypes definedTypes;
    std::vector<int32_t> codes;
    std::vector<double> stopDistancesM;
    ForEachChild(vdgsElement, "Stop", [&](const XMLElement* stop) {
        const char* distanceText = Attr(stop, "Distance");
        if (distanceText == nullptr) return;
        double distanceM = 0.0;
        if (!ToDouble(stop, "Distance", distanceM, &source)) {
            Log().error("[VDGS] SimObject '%s': Stop Distance '%s' is not a number! Stop skipped.", suffix.c_str(),
                        distanceText);
            return;
        }
        stopDistancesM.push_back(distanceM);
        AddVdgsStopTypes(stop, distanceM, vdgs, definedTypes, codes, suffix);
    });
    return stopDistancesM;
}

// ----- jetway -----

void ReadJetwayMultiIndex(const XMLElement* jetwayElement, SimObject& object,
                          std::span<SimObjectModel* const> targets, const std::string& suffix)
{
    const char* multiText = Attr(jetwayElement, "MultiIndex");
    if (multiText == nullptr) return;
    int32_t multiIndex = 0;
    if (!ParseLeadingInt(multiText, multiIndex)) {
        Log().error("Jetway SimObject '%s': MultiIndex '%s' is not a number!", suffix.c_str(), multiText);
        return;
    }
    multiIndex = SafeAbs(multiIndex);
    object.SetMultiIndex(multiIndex);
    for (SimObjectModel* target : targets) target->SetJetwayMultiIndex(multiIndex);
}

// The door points of InitialState; an "R" among the first four values, or a missing InitialState,
// draws the value from its range. Empty when a value is not a number.
std::optional<std::vector<double>> ReadJetwayDoorPoints(const XMLElement* jetwayElement,
                                                        const std::function<uint32_t()>& seed,
                                                        const std::string& suffix)
{
    static constexpr int32_t kRanges[4][2] = {{0, 15}, {40, 75}, {0, 100}, {0, 20}};
    // Seeded at the first draw: most jetways give every value, and a fresh seed costs a clock read.
    std::optional<SeededMt19937> random;
    auto draw = [&random, &seed](size_t position) {
        if (!random) random.emplace(seed());
        std::uniform_int_distribution<int32_t> pick(kRanges[position][0], kRanges[position][1]);
        return static_cast<double>(pick(*random));
    };
    std::vector<double> values;
    const char* initialState = Attr(jetwayElement, "InitialState");
    if (initialState == nullptr) {
        for (size_t position = 0; position < 4; ++position) values.push_back(draw(position));
        return values;
    }
    size_t position = 0;
    bool valid = true;
    ForEachPiece(initialState, ";", [&](std::string_view token) {
        if (!valid) return;
        if (token == "R") {
            if (position < 4) values.push_back(draw(position));
        } else {
            double value = 0.0;
            valid = ParseLeadingDouble(token, value);
            values.push_back(value);
        }
        ++position;
    });
    if (!valid) {
        Log().error("Jetway SimObject '%s': InitialState '%s' is not valid! Door points not set.", suffix.c_str(),
                    initialState);
        return std::nullopt;
    }
    return values;
}

// ----- plain model -----

// "PeriodMs;Steps": steps counts per cycle, one cycle every steps periods.
void ReadModelTimer(const char* timerText, SimObjectModel& model, const std::string& suffix,
                    const char* title)
{
    std::vector<int32_t> values;  // PeriodMs, Steps
    const bool numbers = ToInts(timerText, ';', values) && values.size() == 2;
    const int32_t periodMs = numbers ? values[0] : 0;
    const int32_t steps = numbers ? values[1] : 0;
    if (numbers && periodMs >= 0 && steps >= 0) {
        model.GetTimer()->Define(steps, static_cast<double>(steps) * periodMs / kMillisecondsPerSecond);
    } else {
        Log().error("SimObject '%s': Model '%s' has an invalid Timer '%s'! Must be 'PeriodMs;Steps'.", suffix.c_str(),
                    title, timerText);
    }
}

}  // namespace

int32_t PlacementReader::ReadSimObjects(const std::string& baseName, const XMLElement* parent, int32_t runningCount,
                                        SimObjectList& objects, EnviroDataProbeList& probes,
                                        uint8_t configurationFlag, int32_t configurationNumber, int32_t* appended)
{
    const uint32_t firstRequest = static_cast<uint32_t>(objects.GetRequestIdBase()) + static_cast<uint32_t>(runningCount);
    SimObjectBatch batch{baseName,          parent,       state_.platformId, objects, probes, configurationFlag,
                         configurationNumber, firstRequest};
    int32_t simIndex = -1;
    try {
        ForEachChild(parent, "SimObject", [&](const XMLElement* element) {
            if (!file_.stopped) ReadSimObject(batch, element, ++simIndex);
        });
    } catch (const std::bad_alloc&) {
        // The file's reader returns the numbers taken so far, so that no later file takes them again.
        file_.taken += batch.taken;
        throw;
    }
    file_.taken += batch.taken;
    if (appended != nullptr) *appended = batch.added;
    return batch.taken;
}

void PlacementReader::ReadSimObject(SimObjectBatch& batch, const XMLElement* element, int32_t simIndex)
{
    const char* name = Attr(element, "Name");
    if (name == nullptr) {
        Log().error("'%s': A SimObject [%d] has no 'Name' attribute! SimObject ignored.", batch.baseName.c_str(),
                    simIndex);
        return;
    }
    SimObjectReading reading{batch, name, simIndex, batch.suffix, batch.placements};
    SimObject& object = reading.object;
    if (batch.configurationFlag != 0) object.SetStandMembership(true, batch.configurationNumber);
    std::string fullName;
    fullName.reserve(batch.baseName.size() + 1 + std::strlen(name));
    fullName.append(batch.baseName).append(1, ':').append(name);
    // What follows the first ":" of the full name.
    const size_t colon = fullName.find(':');
    reading.suffix.assign(fullName, colon + 1, std::string::npos);
    object.SetName(std::move(fullName));

    const SimObjectChildren children = FindSimObjectChildren(element);
    const ObjectTargetSim targetSim = ReadObjectTargetSim(children.targetSim, state_, reading.suffix);
    ReadPlacements(children.firstPlacement, reading.suffix, file_.path, reading.placements);
    if (reading.placements.empty()) {
        Log().error("SimObject '%s': Placement Data [0] missing! SimObject ignored.", reading.suffix.c_str());
        return;
    }
    object.ReserveModels(children.models);
    for (const XMLElement* modelElement = children.firstModel; modelElement != nullptr;
         modelElement = NextSibling(modelElement, "Model")) {
        ReadModel(reading, modelElement);
    }

    // PlanEntries makes the same drops from the element alone, for the links to this object.
    if (reading.isProbe) return;
    if (targetSim.otherSimulator) {
        Log().info("SimObject '%s' ignored due to different target sim [%s]!", reading.suffix.c_str(),
                   targetSim.ids.c_str());
        return;
    }
    if (reading.noTargetTitle) {
        Log().info("SimObject '%s' ignored due to no target sim specific simtitle found!", reading.suffix.c_str());
        return;
    }
    AddEntries(reading);
}

bool PlacementReader::TakeEntry()
{
    if (file_.stopped) return false;
    if (file_.entries >= entryLimit_) {
        Log().error("'%s' adds more than %d entries! The rest of the file is skipped.", file_.path.c_str(),
                    entryLimit_);
        file_.stopped = true;
        return false;
    }
    ++file_.entries;
    return true;
}

// One entry per placement, named "Name #k" when there are several; the entries share the models.
void PlacementReader::AddEntries(SimObjectReading& reading)
{
    SimObjectBatch& batch = reading.batch;
    const size_t count = reading.placements.size();
    // With several entries each gets a name of its own; the copies start without one.
    std::string name;
    if (count >= 2) {
        name = reading.object.TakeName();
        reading.object.ShareModels();
    }
    for (size_t i = 0; i < count; ++i) {
        if (!TakeEntry()) return;
        const Placement& placement = reading.placements[i];
        std::string entryName = count >= 2 ? EntryName(name, i, count) : std::string();
        // Every entry but the last gets a copy; the last takes the object read itself.
        SimObject& entry =
            i + 1 < count ? batch.objects.Add(reading.object) : batch.objects.Add(std::move(reading.object));
        entry.SetPlacement(placement.latitudeDeg, placement.longitudeDeg, placement.altitudeFt, placement.agl,
                           placement.zero, 0.0, 0.0, placement.headingDeg);
        entry.SetSecondPlacement(entry.GetPlacement());
        if (count >= 2) entry.SetName(std::move(entryName));
        entry.SetRequestId(batch.nextRequest++);
        ++batch.added;
        ++batch.taken;
    }
}

namespace {

// The first child of each kind marker of a Model element, found in one walk over its children.
struct KindMarkers {
    const XMLElement* probe = nullptr;
    const XMLElement* densityAltitudeDisplay = nullptr;
    const XMLElement* vdgs = nullptr;
    const XMLElement* jetway = nullptr;
};

KindMarkers FindKindMarkers(const XMLElement* modelElement)
{
    KindMarkers markers;
    for (const XMLElement* child = modelElement->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        const char* const name = child->Name();
        const XMLElement** first = nullptr;
        if (NameIs(name, "EnvironmentalDataProbe")) first = &markers.probe;
        else if (NameIs(name, "DensityAltitudeDisplay")) first = &markers.densityAltitudeDisplay;
        else if (NameIs(name, "VDGS")) first = &markers.vdgs;
        else if (NameIs(name, "Jetway")) first = &markers.jetway;
        if (first != nullptr && *first == nullptr) *first = child;
    }
    return markers;
}

}  // namespace

// One Model element: its titles, then the reader of the kind its first feature child names.
void PlacementReader::ReadModel(SimObjectReading& reading, const XMLElement* modelElement)
{
    const char* const title = ReadModelTitle(modelElement, state_, reading.suffix, reading.noTargetTitle);
    const char* staticTitle = Attr(modelElement, "StaticSimTitle");
    const KindMarkers markers = FindKindMarkers(modelElement);
    if (const XMLElement* probeElement = markers.probe) {
        ReadProbeModel(reading, probeElement, title);
    } else if (markers.densityAltitudeDisplay != nullptr) {
        SetFeatures(reading.object, reading.object.AddModel(title), {FeatureDensityAltitudeDisplay});
    } else if (const XMLElement* vdgsElement = markers.vdgs) {
        ReadVdgsModel(reading, vdgsElement, title, staticTitle);
    } else if (const XMLElement* jetwayElement = markers.jetway) {
        ReadJetwayModel(reading, jetwayElement, title, staticTitle);
    } else {
        ReadPlainModel(reading, modelElement, title);
    }
}

// A probe goes to the probe list, at the first placement; the object it came from adds no entries.
void PlacementReader::ReadProbeModel(SimObjectReading& reading, const XMLElement* probeElement,
                                     const char* title)
{
    reading.isProbe = true;
    const Placement& first = reading.placements.front();
    if (first.agl) {
        Log().error("Environmental Data Probe SimObject '%s' must have absolute value for altitude, not AGL! EDP "
                    "not added!",
                    reading.suffix.c_str());
        return;
    }
    SimObjectBatch& batch = reading.batch;
    EnviroDataProbe probe;
    if (batch.configurationFlag != 0) probe.SetStandMembership(true, batch.configurationNumber);
    probe.SetName(reading.object.GetName());
    probe.SetPlacement(first.latitudeDeg, first.longitudeDeg, first.altitudeFt, first.agl, first.zero, 0.0, 0.0,
                       first.headingDeg);
    SimObjectModel& model = probe.AddModel(title);
    model.SetKeepSimEnabled(true);
    SetFeatures(probe, model, {FeatureEnvironmentalDataProbe});
    reading.object.SetFeature(FeatureEnvironmentalDataProbe);
    ReadProbeThreshold(probeElement, probe, reading.suffix);
    ReadProbeClients(probeElement, batch.siblings, probe, reading.suffix, batch.platformId);
    probe.SetRequestId(batch.nextRequest++);
    ++batch.taken;
    batch.probes.Add(probe);
}

// A VDGS is a static model (StaticSimTitle) and a display model named by the SimTitle and the unit.
void PlacementReader::ReadVdgsModel(SimObjectReading& reading, const XMLElement* vdgsElement,
                                    const char* title, const char* staticTitle)
{
    if (staticTitle == nullptr) {
        Log().error("VDGS SimObject '%s': Model '%s' has no StaticSimTitle Attribute defined!", reading.suffix.c_str(),
                    title);
        return;
    }
    SimObject& object = reading.object;
    AddShownStaticModel(object, staticTitle, FeatureVDGS);
    const std::string unit = AttrText(vdgsElement, "DistanceUnit") == "FT" ? "FT" : "M";
    const std::string displayTitle = VdgsTitleWithoutUnit(title, reading.suffix);
    SimObjectModel& display = object.AddModel(displayTitle + "_" + unit);
    SetFeatures(object, display, {FeatureVDGS, FeatureTriggVisibilityTextMenu});
    VDGS& vdgs = *display.GetVDGS();
    const double lateralOffsetM = ReadVdgsGeometry(vdgsElement, vdgs, reading.suffix, file_.path);
    SetVdgsDisplayType(vdgs, displayTitle);
    const std::vector<double> stopDistancesM = ReadVdgsStops(vdgsElement, vdgs, reading.suffix, file_.path);
    if (FirstChild(vdgsElement, "DebugTape") != nullptr && reading.placements.size() == 1) {
        AddVdgsDebugObjects(reading, lateralOffsetM, stopDistancesM);
    }
}

// A tape along the guidance line and a marker at each stop, as objects of their own.
void PlacementReader::AddVdgsDebugObjects(SimObjectReading& reading, double lateralOffsetM,
                                          const std::vector<double>& stopDistancesM)
{
    SimObjectBatch& batch = reading.batch;
    const Placement& first = reading.placements.front();
    double tapeLatitudeDeg = first.latitudeDeg;
    double tapeLongitudeDeg = first.longitudeDeg;
    if (lateralOffsetM != 0.0) {
        GeoMath::OffsetLatLonAbeam(first.latitudeDeg, first.longitudeDeg, first.headingDeg, lateralOffsetM,
                                   tapeLatitudeDeg, tapeLongitudeDeg);
    }
    AddVdgsDebugObject(batch, batch.baseName + ":Tape_" + reading.name, "Quorvath_VELK_VDGS_Tape", tapeLatitudeDeg,
                       tapeLongitudeDeg, first.headingDeg);
    for (double distanceM : stopDistancesM) {
        // Where the guidance reads a distance to stop of 0.
        const LLAData stopPoint =
            VDGS::StopPoint(first.latitudeDeg, first.longitudeDeg, first.headingDeg, distanceM, lateralOffsetM);
        AddVdgsDebugObject(batch, batch.baseName + ":Stop_" + reading.name, "Quorvath_VELK_VDGS_NW_Marker",
                           stopPoint.GetLatitude(), stopPoint.GetLongitude(), first.headingDeg);
    }
}

// Each debug object is an entry like any other and takes the next request number: the simulator's answer
// to its creation must find it and no other object, however many entries the world holds.
void PlacementReader::AddVdgsDebugObject(SimObjectBatch& batch, const std::string& name, const char* modelTitle,
                                         double latitudeDeg, double longitudeDeg, double headingDeg)
{
    // A display at a pole, or an offset or distance beyond reason, puts the point nowhere on the globe.
    if (!std::isfinite(latitudeDeg) || !std::isfinite(longitudeDeg) || IsLatLonOutOfRange(latitudeDeg, longitudeDeg)) {
        Log().error("VDGS debug object '%s' would stand off the globe; not placed", name.c_str());
        return;
    }
    if (!TakeEntry()) return;
    SimObject debugObject;
    if (batch.configurationFlag != 0) debugObject.SetStandMembership(true, batch.configurationNumber);
    debugObject.SetName(name);
    debugObject.AddModel(modelTitle);
    debugObject.SetPlacement(latitudeDeg, longitudeDeg, 0.0, true, true, 0.0, 0.0, headingDeg);
    debugObject.SetSecondPlacement(debugObject.GetPlacement());
    debugObject.SetRequestId(batch.nextRequest++);
    batch.objects.Add(std::move(debugObject));
    ++batch.added;
    ++batch.taken;
}

// A jetway is its moving model (SimTitle), and with a StaticSimTitle a static model before it; both
// take the MultiIndex and the door points.
void PlacementReader::ReadJetwayModel(SimObjectReading& reading, const XMLElement* jetwayElement,
                                      const char* title, const char* staticTitle)
{
    SimObject& object = reading.object;
    const int32_t staticIndex = object.GetModelCount();
    object.SetFeature(FeatureJetway);
    const bool pair = staticTitle != nullptr;
    if (pair) {
        AddShownStaticModel(object, staticTitle, FeatureJetway);
    } else if (state_.debugMode) {
        Log().info("Jetway SimObject '%s': Model '%s' has no StaticSimTitle Attribute defined!", reading.suffix.c_str(),
                   title);
    }
    SimObjectModel& moving = object.AddModel(title);
    if (pair) {
        SetFeatures(object, moving, {FeatureJetway, FeatureTriggVisibilityTextMenu});
    } else {
        SetFeatures(object, moving, {FeatureJetway});
    }
    SimObjectModel* const models[2] = {object.GetModel(object.GetModelCount() - 1),
                                       pair ? object.GetModel(staticIndex) : nullptr};
    const std::span<SimObjectModel* const> targets(models, pair ? 2 : 1);

    ReadJetwayMultiIndex(jetwayElement, object, targets, reading.suffix);
    if (std::optional<std::vector<double>> doorPoints =
            ReadJetwayDoorPoints(jetwayElement, [this] { return NextSeed(); }, reading.suffix)) {
        // The last model takes the values themselves, any other a copy.
        if (pair) targets[1]->SetJetwayDoorPoints(*doorPoints);
        targets[0]->SetJetwayDoorPoints(std::move(*doorPoints));
    }
}

// Any other model: its Timer and its feature elements.
void PlacementReader::ReadPlainModel(SimObjectReading& reading, const XMLElement* modelElement,
                                     const char* title)
{
    const int32_t modelIndex = reading.object.GetModelCount();
    SimObjectModel& model = reading.object.AddModel(title);
    if (const char* timerText = Attr(modelElement, "Timer")) {
        ReadModelTimer(timerText, model, reading.suffix, title);
    }
    ReadModelSubElements(&reading.batch.siblings, modelElement, reading.object, modelIndex, false);
}

void PlacementReader::ReadGroup(const XMLElement* group, int32_t groupIndex, int32_t entryCount,
                                SimObjectList& objects)
{
    std::string name;
    if (const char* nameAttr = Attr(group, "Name")) {
        name = nameAttr;
    } else {
        const SimObject* last = objects.At(objects.Count() - 1);
        name = "GROUP>" + (last != nullptr ? last->GetName() : std::to_string(groupIndex));
        Log().error("Group 'Name' attribute undefined! Using '%s' for now...", name.c_str());
    }
    const int32_t count = objects.Count();
    const int32_t first = entryCount > count ? 0 : count - entryCount;
    const SimObject* read = nullptr;  // the entry read last
    for (int32_t i = count - 1; i >= first; --i) {
        SimObject* entry = objects.At(i);
        entry->SetGroupIndex(groupIndex);
        entry->SetGroupName(name);
        // The placements of one element stand side by side and share their models: the group's features
        // go into the shared models once, and the other placements take the object flags that gave.
        if (read != nullptr && entry->SharesModelsWith(*read)) {
            *entry->GetFeatures() = *read->GetFeatures();
            continue;
        }
        for (int32_t m = 0; m < entry->GetModelCount(); ++m) ReadModelSubElements(nullptr, group, *entry, m, true);
        read = entry;
    }
}

void PlacementReader::ReadStand(const XMLElement* stand, int32_t /*standIndex*/, int32_t entryCount,
                                SimObjectList& objects)
{
    const int32_t count = objects.Count();
    const int32_t first = entryCount > count ? 0 : count - entryCount;
    if (first >= count) return;

    const char* icao = Attr(stand, "AfcadICAO");
    const char* gateText = Attr(stand, "AfcadGateName");
    const char* parkingText = Attr(stand, "AfcadParkingNumber");
    if (icao == nullptr || gateText == nullptr || parkingText == nullptr) {
        Log().error("<Stand> AFCAD ICAO, GateName and Parking Number must be provided!");
        return;
    }
    std::string gateName = gateText;
    for (char& c : gateName) {
        c = c == ' ' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    bool valid = true;
    if (ParseStandCategory(gateName) == 0) {
        Log().error("<Stand> AfcadGateName Attribute '%s' is not valid!", gateText);
        valid = false;
    }
    int32_t parking = 0;
    if (!HasDigit(parkingText) || !ToIntStrict(parkingText, parking)) {
        Log().error("<Stand> AfcadParkingNumber Attribute '%s' is not a number!", parkingText);
        valid = false;
    }
    parking = SafeAbs(parking);

    std::string designator = "NONE";
    std::string number = "0";
    bool custom = false;
    if (const char* customText = Attr(stand, "CustomDesignator")) {
        const std::vector<std::string> parts = Split(customText, ';');
        if (parts.size() == 2) {
            designator = parts[0];
            number = parts[1];
            const size_t digitsAt = number.find_first_not_of(" \t");
            number.erase(0, digitsAt == std::string::npos ? number.size() : digitsAt);
            custom = true;
        } else if (parts.size() == 1 && !HasDigit(parts[0])) {
            designator = parts[0];
            number = parkingText;
            custom = true;
        } else {
            Log().warn("<Stand> CustomDesignator Attribute invalid format '%s'. Must be 'CustomDesignator;Number'!",
                       customText);
        }
    }
    if (!valid) {
        Log().error("<Stand> '%s, %s, %s' contains invalid data! Stand is not added.", icao, gateText, parkingText);
        return;
    }
    for (int32_t i = count - 1; i >= first; --i) {
        objects.At(i)->SetStandData(icao, gateName, parking, designator, number, custom);
    }
}

void PlacementReader::ReadProtectionZone(const XMLElement* root, ProtectionZoneList& zones)
{
    const XMLElement* zone = FirstChild(root, "SimBubbleUpdateProtectionZone");
    if (zone == nullptr) return;
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    if (!ToDouble(Attr(zone, "Lat"), latitudeDeg) || !ToDouble(Attr(zone, "Lon"), longitudeDeg) ||
        IsLatLonOutOfRange(latitudeDeg, longitudeDeg)) {
        Log().error("SimBubbleUpdateProtectionZone needs a valid Lat and Lon! Zone not added.");
        return;
    }
    zones.Add(SimBubbleProtectionZone(latitudeDeg, longitudeDeg));
}

// ----- feature elements -----

void PlacementReader::ReadModelSubElements(SimObjectNameIndex* siblings, const XMLElement* holder, SimObject& object,
                                           int32_t modelIndex, bool group)
{
    // Read into the models as shared: every placement of the object belongs to the holder alike.
    SimObjectModel* model = object.GetSharedModel(modelIndex);
    if (model == nullptr || holder == nullptr) return;
    auto set = [&](int32_t feature) {
        if (feature <= 0) return;
        model->GetFeatures()->Set(feature);
        object.SetFeature(feature);
    };

    // The first of each feature element, found in one walk over the holder's children; they are read in
    // a fixed order whatever their order in the file.
    const XMLElement* groundShift = nullptr;
    const XMLElement* firstRotation = nullptr;
    const XMLElement* conditionalVisibility = nullptr;
    const XMLElement* controllableAnimation = nullptr;
    const XMLElement* triggerableAnimation = nullptr;
    const XMLElement* triggerableVisibility = nullptr;
    const XMLElement* randomizedVisibility = nullptr;
    for (const XMLElement* child = holder->FirstChildElement(); child != nullptr; child = child->NextSiblingElement()) {
        const char* const name = child->Name();
        const XMLElement** first = nullptr;
        if (NameIs(name, "GroundPolygonShift")) first = &groundShift;
        else if (NameIs(name, "VariableDrivenRotation")) first = &firstRotation;
        else if (NameIs(name, "ConditionalVisibility")) first = &conditionalVisibility;
        else if (NameIs(name, "ControllableAnimation")) first = &controllableAnimation;
        else if (NameIs(name, "TriggerableAnimation")) first = &triggerableAnimation;
        else if (NameIs(name, "TriggerableVisibility")) first = &triggerableVisibility;
        else if (NameIs(name, "RandomizedVisibility")) first = &randomizedVisibility;
        if (first != nullptr && *first == nullptr) *first = child;
    }

    if (const XMLElement* element = groundShift) {
        set(ReadGroundPolygonShift(element, *model->GetGroundPolygonShift()));
    }
    for (const XMLElement* element = firstRotation; element != nullptr;
         element = NextSibling(element, "VariableDrivenRotation")) {
        set(ReadVariableDrivenRotation(element, *model->GetRotation()));
    }
    if (const XMLElement* element = conditionalVisibility) {
        ConditionalVisibilityData& data = *model->GetConditionalVisibility();
        if (FirstChild(element, "Condition") == nullptr) {
            set(ReadConditions(element, data));
        } else {
            ForEachChild(element, "Condition", [&](const XMLElement* condition) { set(ReadConditions(condition, data)); });
            if (const char* expression = Attr(element, "LogicExpression")) {
                data.SetLogicExpression(expression);
            } else {
                Log().error("ConditionalVisibility with Condition elements has no LogicExpression!");
            }
        }
    }
    if (const XMLElement* element = controllableAnimation) {
        set(ReadControllableAnimation(element, *model->GetControllableAnimation(0), group));
    }
    if (const XMLElement* element = triggerableAnimation) {
        set(ReadTriggerableAnimation(element, siblings, state_.platformId, *model->GetTriggerableAnimation(3), group));
    }
    if (const XMLElement* element = triggerableVisibility) {
        model->GetTriggVisibility()->SetVisibleOnLoad(false);
        set(ReadTriggerableVisibility(element, *model->GetTriggVisibility(), group));
    }
    if (const XMLElement* element = randomizedVisibility) {
        set(ReadRandomizedVisibility(element, *model->GetRandomizedVisibility()));
    }
}

int32_t PlacementReader::ReadGroundPolygonShift(const XMLElement* element, GroundPolygonShiftData& data)
{
    const char* threshold = Attr(element, "ThresholdAltitudeAGL");
    const char* shift = Attr(element, "ShiftAltitude");
    if (threshold == nullptr || shift == nullptr) {
        Log().error("ThresholdAltitudeAGL and/or ShiftAltitude not specified in GroundPolygonShift element!");
        return 0;
    }
    double t = 0.0;
    double s = 0.0;
    if (!ToDouble(threshold, t) || !ToDouble(shift, s) || !data.SetValues(t, s)) {
        Log().error("GroundPolygonShift values '%s' and '%s' are not numbers!", threshold, shift);
        return 0;
    }
    return FeatureGroundPolygonShift;
}

int32_t PlacementReader::ReadVariableDrivenRotation(const XMLElement* element, VariableDrivenRotationData& data)
{
    const std::string variable = AttrText(element, "Variable");
    if (variable == "WindDirection") {
        VDR_WindDirData& wind = *data.GetWindDirection();
        if (const char* axis = Attr(element, "Axis")) {
            for (const std::string& token : Split(axis, ';')) wind.AddAxis(token);
        }
        wind.SetAnimated(IsYes(Attr(element, "Animated")));
        return FeatureRotationByWindDirection;
    }
    if (variable == "UserAircraftPosition") {
        const std::string mode = AttrText(element, "Mode");
        if (mode == "TURN") {
            data.GetUserAircraftPosition()->SetMode(VDR_UserAircraftPositionData::kTurn);
        } else if (mode == "POINT") {
            data.GetUserAircraftPosition()->SetMode(VDR_UserAircraftPositionData::kPoint);
        }
        return FeatureRotationByUserAircraftPosition;
    }
    Log().error("Invalid Conditional Rotation Driver Variable: '%s'!", variable.c_str());
    return 0;
}

int32_t PlacementReader::ReadConditions(const XMLElement* element, ConditionalVisibilityData& data)
{
    const std::string variable = AttrText(element, "Variable");
    const ConditionType type = data.AddCondition(AttrText(element, "ID"), variable, AttrText(element, "Value"));
    if (type == ConditionType::SeparationPlane) {
        // Only the exact "Yes" is true.
        data.GetSeparationPlane().SetFromAttributes(IsYes(Attr(element, "UseEyePoint")) ? "Yes" : nullptr,
                                                    IsYes(Attr(element, "FlipNormal")) ? "Yes" : nullptr,
                                                    Attr(element, "Elevation"), Attr(element, "Azimuth"),
                                                    Attr(element, "Offset"));
    }
    return ConditionFeature(type);
}

int32_t PlacementReader::ReadControllableAnimation(const XMLElement* element, ControllableAnimationData& data,
                                                   bool group)
{
    const std::string input = AttrText(element, "Input");
    if (input != "TextMenu") {
        Log().error("Invalid Controlled Animation Input Type: '%s'!", input.c_str());
        return 0;
    }
    const std::string keyframes = AttrText(element, "KeyframeData");
    std::vector<int32_t> values;
    if (!ToInts(keyframes, ';', values) || values.size() != 4 || values[1] == INT_MAX) {
        Log().error("Invalid KeyframeData '%s' in ControllableAnimation element! Must be 'Start;End;Initial;Duration'.",
                    keyframes.c_str());
        return 0;
    }
    data.SetInputNames(Split(AttrText(element, "Action"), ','));
    data.SetKeyframes(values[0], values[1] + 1, values[2], static_cast<double>(values[3]));
    return group ? FeatureGroupControllableAnimation : FeatureControllableAnimation;
}

int32_t PlacementReader::ReadTriggerableAnimation(const XMLElement* element, SimObjectNameIndex* siblings,
                                                  const std::string& platformId, TriggAnimationData& data,
                                                  bool group)
{
    const std::string input = AttrText(element, "Input");
    if (input != "TextMenu") {
        Log().error("Invalid Triggerable Animation Input Type: '%s'!", input.c_str());
        return 0;
    }
    const std::vector<std::string> names = Split(AttrText(element, "Action"), ',');
    data.SetInputNames(names);
    const int32_t feature = names.front() == "Proximity" ? FeatureTriggAnimationProximity
                            : group                      ? FeatureGroupTriggAnimationTextMenu
                                                         : FeatureTriggAnimationTextMenu;
    if (const char* ignore = Attr(element, "IgnoreRadiusFilter")) data.SetIgnoreRadiusFilter(IsYes(ignore));

    if (const char* startText = Attr(element, "StartKF")) {
        const char* endText = Attr(element, "EndKF");
        const char* durationText = Attr(element, "Duration");
        int32_t start = 0;
        int32_t end = 0;
        double duration = 0.0;
        if (endText == nullptr || durationText == nullptr || !ParseLeadingInt(startText, start) ||
            !ParseLeadingInt(endText, end) || !ToDouble(durationText, duration)) {
            Log().error("TriggerableAnimation: StartKF needs numeric EndKF and Duration! Keyframes not set.");
        } else if (start >= 0 && end >= 0 && duration >= 0.0) {
            data.SetKeyframes(start, end, start, duration);
        }
    }

    if (const char* sync = Attr(element, "SyncStateWith")) {
        if (siblings == nullptr) {
            Log().warn("TriggerableAnimation: SyncStateWith '%s' is not supported in a Group element!", sync);
        } else {
            LinkList links("TriggerableAnimation", "SyncStateWith", platformId);
            for (const std::string& name : Split(sync, ';')) {
                if (links.TakeToken(name) && !links.AddSimObjects(*siblings, name)) {
                    Log().warn("TriggerableAnimation: SyncStateWith SimObject '%s' does not exist in the XML! "
                               "Skipped.",
                               name.c_str());
                }
            }
            for (const std::string& entry : links.TakeNames()) data.AddSyncName(entry);
        }
    }

    ForEachChild(element, "Sound", [&data](const XMLElement* soundElement) {
        const char* fileName = Attr(soundElement, "FileName");
        int32_t minDistance = 0;
        int32_t maxDistance = 0;
        if (fileName == nullptr || !ParseLeadingInt(AttrText(soundElement, "MinDistance"), minDistance) ||
            !ParseLeadingInt(AttrText(soundElement, "MaxDistance"), maxDistance)) {
            Log().error("TriggerableAnimation: Sound needs FileName, MinDistance and MaxDistance! Sound skipped.");
            return;
        }
        SoundBuffer sound;
        sound.SetParameters(fileName, IsYes(Attr(soundElement, "Loop")), minDistance, maxDistance);
        if (!data.AddSound(sound)) {
            Log().warn("TriggerableAnimation: Sound '%s' skipped, an animation keeps at most three sounds!", fileName);
        }
    });
    return feature;
}

int32_t PlacementReader::ReadTriggerableVisibility(const XMLElement* element, TriggVisibilityData& data, bool group)
{
    data.SetActionGiven(false);
    const std::string input = AttrText(element, "Input");
    const bool visibleOnLoad = IsYes(Attr(element, "VisibleOnLoad"));
    if (input == "TextMenu") {
        const std::vector<std::string> names = Split(AttrText(element, "Action"), ',');
        data.SetInputNames(names);
        if (names.front() == "Proximity") {
            data.SetState(visibleOnLoad);
            data.SetVisibleOnLoad(visibleOnLoad);
            return FeatureTriggVisibilityProximity;
        }
        if (const char* ignore = Attr(element, "IgnoreRadiusFilter")) data.SetIgnoreRadiusFilter(IsYes(ignore));
        data.SetVisibleOnLoad(visibleOnLoad);
        data.SetState(visibleOnLoad);
        data.SetVisible(visibleOnLoad);
        return group ? FeatureGroupTriggVisibilityTextMenu : FeatureTriggVisibilityTextMenu;
    }
    if (input == "RadioTX") {
        const std::string activation = AttrText(element, "Activation");
        const std::vector<std::string> parts = Split(activation, ';');
        int32_t clicks = 0;
        if (parts.size() != 2 || !ParseLeadingInt(parts[0], clicks)) {
            Log().error("Invalid RadioTX Activation '%s'! Must be 'Clicks;Frequency'.", activation.c_str());
            return 0;
        }
        std::vector<int32_t> parameters{clicks};
        if (const char* timeParam = Attr(element, "TimeParam")) {
            std::vector<int32_t> times;
            if (!ToInts(timeParam, ';', times)) {
                Log().error("Invalid RadioTX TimeParam '%s'! Must be 'Seconds;Minutes'.", timeParam);
                return 0;
            }
            parameters.insert(parameters.end(), times.begin(), times.end());
        }
        std::vector<std::string> names{parts[1]};
        if (const char* action = Attr(element, "Action")) {
            for (std::string& text : Split(action, ',')) names.push_back(std::move(text));
            data.SetActionGiven(true);
        }
        data.SetInputNames(std::move(names));
        data.SetParameters(std::move(parameters));
        data.SetVisibleOnLoad(visibleOnLoad);
        data.SetState(visibleOnLoad);
        data.SetVisible(visibleOnLoad);
        return group ? FeatureGroupTriggVisibilityRadio : FeatureTriggVisibilityRadio;
    }
    Log().error("Invalid Triggerable Visibility Input Type: '%s'!", input.c_str());
    return 0;
}

int32_t PlacementReader::ReadRandomizedVisibility(const XMLElement* element, RandomizedVisibilityData& data)
{
    const char* text = Attr(element, "PickProbabilityInPercent");
    if (text == nullptr) {
        Log().error("PickProbabilityInPercent not specified in RandomizedVisibility element!");
        return 0;
    }
    int32_t percent = 0;
    if (!ParseLeadingInt(text, percent) || !data.SetPickProbabilityInPercent(percent)) {
        Log().error("PickProbabilityInPercent '%s' is not a valid percentage!", text);
        return 0;
    }
    return FeatureRandomizedVisibility;
}
