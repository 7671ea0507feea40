#include "scenery/PlacementReader.h"

#include "scenery/RandomSeed.h"

#include "foundation/AltitudeText.h"
#include "foundation/GeoMath.h"
#include "foundation/StringUtils.h"
#include "objects/VDGS.h"
#include "platform/files.h"
#include "platform/process.h"
#include "objects/EnviroDataProbe.h"
#include "scenery/QuadTree.h"
#include "scenery/SceneryLibrary.h"
#include "objects/SimObject.h"
#include "objects/SimObjectList.h"
#include "sound/SoundBuffer.h"

#include <log4cpp/Category.hh>
#include <tinyxml2.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <ctime>
#include <random>
#include <set>
#include <stdexcept>

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;

namespace {

log4cpp::Category& Log() { return log4cpp::Category::getInstance("VELK.XML"); }

const char* Attr(const XMLElement* element, const char* name) { return element ? element->Attribute(name) : nullptr; }

std::string AttrText(const XMLElement* element, const char* name)
{
    const char* value = Attr(element, name);
    return value ? std::string(value) : std::string();
}

// Keywords are exact: only "Yes" is true.
bool IsYes(const char* text) { return text != nullptr && std::strcmp(text, "Yes") == 0; }

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    SplitString(text, separator, parts);
    return parts;
}

// Base-10 int by the library's rules; a conversion error stays here.
bool ToInt(const std::string& text, int32_t& value)
{
    std::vector<int> numbers;
    try {
        ParseIntList({text}, numbers);
    } catch (const std::exception&) {
        return false;
    }
    if (numbers.size() != 1) return false;
    value = numbers[0];
    return true;
}

bool ToInts(const std::vector<std::string>& texts, std::vector<int32_t>& values)
{
    std::vector<int> numbers;
    try {
        ParseIntList(texts, numbers);
    } catch (const std::exception&) {
        return false;
    }
    values.assign(numbers.begin(), numbers.end());
    return true;
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

bool IsTokenOf(const std::string& list, const std::string& token)
{
    for (const std::string& part : Split(list, ';')) {
        if (part == token) return true;
    }
    return false;
}

template <typename F>
void ForEachChild(const XMLElement* parent, const char* name, F f)
{
    if (parent == nullptr) return;
    for (const XMLElement* child = parent->FirstChildElement(name); child; child = child->NextSiblingElement(name)) {
        f(child);
    }
}

struct Placement {
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    bool agl = false;
    bool zero = false;
    double heading = 0.0;
};

// Lat, Lon, Hdg and Alt; false for a missing or unusable value.
bool ReadPlacement(const XMLElement* element, Placement& out)
{
    double lat = 0.0;
    double lon = 0.0;
    double hdg = 0.0;
    if (!ToDouble(Attr(element, "Lat"), lat) || !ToDouble(Attr(element, "Lon"), lon) ||
        !ToDouble(Attr(element, "Hdg"), hdg)) {
        return false;
    }
    if (std::fabs(lat) > 90.0 || std::fabs(lon) > 180.0) return false;
    const char* alt = Attr(element, "Alt");
    if (alt == nullptr) return false;
    const std::optional<AltitudeText> parsed = ParseAltitudeText(alt);
    if (!parsed) return false;
    out = {lat, lon, parsed->altitude, parsed->isAgl, parsed->isZero, hdg};
    return true;
}

void SetFeatures(SimObject& object, SimObjectModel& model, std::initializer_list<int32_t> features)
{
    for (int32_t feature : features) {
        object.SetFeature(feature);
        model.GetFeatures()->Set(feature);
    }
}

// The names under which a SimObject element's entries are listed: Name, or Name #k per placement.
void AddEntryNames(const XMLElement* simObject, std::vector<std::string>& names)
{
    const char* name = Attr(simObject, "Name");
    if (name == nullptr) return;
    const int16_t placements = CountChildElements(simObject, "Placement");
    if (placements >= 2) {
        for (int16_t k = 1; k <= placements; ++k) names.push_back(std::string(name) + " #" + std::to_string(k));
    } else {
        names.emplace_back(name);
    }
}

const XMLElement* FindByName(const XMLElement* parent, const char* elementName, const std::string& name)
{
    if (parent == nullptr) return nullptr;
    for (const XMLElement* child = parent->FirstChildElement(elementName); child;
         child = child->NextSiblingElement(elementName)) {
        const char* value = child->Attribute("Name");
        if (value != nullptr && name == value) return child;
    }
    return nullptr;
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

VdgsAircraftTypes ParseVdgsAircraftType(const std::string& rawToken)
{
    std::string token = rawToken;
    TrimLeft(token);
    TrimRight(token);
    for (char& c : token) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    static const std::pair<const char*, int32_t> kTypes[] = {
        {"B717", 2},  {"B737", 4},  {"B747", 5},  {"B757", 6},  {"B767", 7},  {"B777", 8},  {"B787", 9},
        {"A318", 12}, {"A319", 13}, {"A320", 14}, {"A321", 15}, {"A330", 16}, {"A340", 17}, {"A350", 18},
        {"A380", 19}, {"DC10", 20}, {"MD11", 21}, {"T154", 22}, {"T204", 23}, {"RJ1H", 24}, {"RJ85", 25},
        {"CRJ2", 27}, {"CRJ7", 28}, {"CRJ9", 29}, {"CRJX", 30}, {"E145", 31}, {"E170", 32}, {"E190", 33},
        {"F100", 34}, {"MD80", 35}, {"MD81", 36}, {"MD82", 37}, {"MD83", 38}, {"MD87", 39}, {"CONC", 40},
        {"E175", 41}, {"E195", 42}, {"DH8D", 43}, {"AT72", 44}, {"BCS1", 45}, {"BCS3", 46}, {"SU95", 47},
    };
    VdgsAircraftTypes result;
    for (const auto& [name, code] : kTypes) {
        if (token == name) {
            result.codes.push_back(code);
            return result;
        }
    }
    auto range = [&result](int32_t from, int32_t to) {
        for (int32_t code = from; code <= to; ++code) result.codes.push_back(code);
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
        result.codes.push_back(0);
        return result;
    }
    result.group = true;
    return result;
}

PlacementReader::PlacementReader(PlacementReaderState& state) : state_(state) {}

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
    XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    int result = -1;
    if (isSdx) {
        const size_t slash = path.find_last_of('\\');
        const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
        if (sdxOpener_) result = sdxOpener_(fileName, path, document);
    } else {
        std::string text;
        if (platform::ReadWholeFile(path, text)) result = document.Parse(text.data(), text.size());
    }
    if (result != 0) {
        Log().error("Failed to load file '%s'", path.c_str());
        return runningCount;
    }
    return ReadPlacementDocument(runningCount, path, document, objects, probes, zones, configurationFlag,
                                 configurationNumber);
}

int32_t PlacementReader::ReadPlacementText(int32_t runningCount, const std::string& path, const std::string& text,
                                           SimObjectList& objects, EnviroDataProbeList& probes,
                                           ProtectionZoneList* zones, uint8_t configurationFlag,
                                           int32_t configurationNumber)
{
    state_.noSceneryPath = true;
    XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    if (document.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) {
        Log().error("Failed to load file '%s'", path.c_str());
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
    state_.noSceneryPath = true;
    state_.targetSimPresent = false;
    state_.differentSimulator = false;

    const XMLElement* root = document.FirstChildElement("VELK");
    if (root == nullptr) {
        Log().warn("'%s' is not a valid VELK placement xml file! Ignoring entire file...", path.c_str());
        return runningCount;
    }
    if (const char* sceneryPath = root->Attribute("SceneryPath")) {
        state_.sceneryPath = sceneryPath;
        state_.noSceneryPath = false;
    }
    if (root->FirstChildElement("Debug") != nullptr) state_.debugFile = true;
    if (const XMLElement* targetSim = root->FirstChildElement("TargetSim")) {
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

    const std::string baseName = BaseName(path);
    int32_t count = runningCount;
    count += ReadSimObjects(baseName, root, count, objects, probes, configurationFlag, configurationNumber);

    // Group and stand data go to the entries the object list actually received, so that probes and
    // dropped objects never shift them onto another element's entries.
    int32_t index = 0;
    ForEachChild(root, "Group", [&](const XMLElement* group) {
        int32_t appended = 0;
        count += ReadSimObjects(baseName, group, count, objects, probes, configurationFlag, configurationNumber,
                                &appended);
        ReadGroup(group, index++, appended, objects);
    });
    index = 0;
    ForEachChild(root, "Stand", [&](const XMLElement* stand) {
        int32_t appended = 0;
        count += ReadSimObjects(baseName, stand, count, objects, probes, configurationFlag, configurationNumber,
                                &appended);
        ReadStand(stand, index++, appended, objects);
    });
    if (zones != nullptr) ReadProtectionZone(root, *zones);
    return count;
}

// ----- SimObject elements -----

int32_t PlacementReader::ReadSimObjects(const std::string& baseName, const XMLElement* parent, int32_t runningCount,
                                        SimObjectList& objects, EnviroDataProbeList& probes,
                                        uint8_t configurationFlag, int32_t configurationNumber, int32_t* appended)
{
    int32_t taken = 0;
    int32_t added = 0;
    const uint32_t firstRequest = static_cast<uint32_t>(objects.GetRequestIdBase()) + static_cast<uint32_t>(runningCount);
    uint32_t nextRequest = firstRequest;
    int32_t simIndex = -1;

    ForEachChild(parent, "SimObject", [&](const XMLElement* element) {
        ++simIndex;
        SimObject object;
        if (configurationFlag != 0) object.SetStandMembership(true, configurationNumber);
        const char* nameAttr = element->Attribute("Name");
        if (nameAttr == nullptr) {
            Log().error("'%s': A SimObject [%d] has no 'Name' attribute! SimObject ignored.", baseName.c_str(),
                        simIndex);
            return;
        }
        object.SetName(baseName + ":" + nameAttr);
        const std::string suffix = object.GetNameSuffix();

        bool ignoreForTargetSim = false;
        std::string targetIds;
        if (const XMLElement* targetSim = element->FirstChildElement("TargetSim")) {
            targetIds = AttrText(targetSim, "ID");
            ignoreForTargetSim = !IsTokenOf(targetIds, state_.platformId);
            if (!ignoreForTargetSim && state_.debugMode) {
                Log().debug("SimObject '%s': TargetSim specific SimObject found.", suffix.c_str());
            }
        }

        std::vector<Placement> placements;
        int32_t placementIndex = 0;
        ForEachChild(element, "Placement", [&](const XMLElement* placementElement) {
            Placement placement;
            if (ReadPlacement(placementElement, placement)) {
                placements.push_back(placement);
            } else {
                Log().error("SimObject '%s': Placement Data [%d] has a missing or invalid Lat, Lon, Alt or Hdg! "
                            "Placement skipped.",
                            suffix.c_str(), placementIndex);
            }
            ++placementIndex;
        });
        if (placements.empty()) {
            Log().error("SimObject '%s': Placement Data [0] missing! SimObject ignored.", suffix.c_str());
            return;
        }
        const Placement& first = placements.front();

        bool noTargetTitle = false;
        bool isProbe = false;
        ForEachChild(element, "Model", [&](const XMLElement* modelElement) {
            const int32_t m = object.GetModelCount();
            std::string title;
            if (const char* simTitle = modelElement->Attribute("SimTitle")) {
                title = simTitle;
            } else {
                title = "XML_PARSE_ERROR_SIMTITLE_NODE_MISNAMED";
                Log().error("SimObject '%s': A model node has a misnamed 'SimTitle' attribute!", suffix.c_str());
            }
            const char* timer = modelElement->Attribute("Timer");

            ForEachChild(modelElement, "TargetSim", [&](const XMLElement* targetSim) {
                if (!IsTokenOf(AttrText(targetSim, "ID"), state_.platformId)) return;
                if (const char* simTitle = targetSim->Attribute("SimTitle")) {
                    title = simTitle;
                    if (state_.debugMode) {
                        Log().debug("SimObject '%s': TargetSim specific Model '%s' found.", suffix.c_str(),
                                    title.c_str());
                    }
                } else {
                    Log().error("SimObject '%s': Model '%s' has no TargetSim specific SimTitle Attribute defined!",
                                suffix.c_str(), title.c_str());
                    noTargetTitle = true;
                }
            });

            const char* staticTitle = modelElement->Attribute("StaticSimTitle");

            if (const XMLElement* probeElement = modelElement->FirstChildElement("EnvironmentalDataProbe")) {
                isProbe = true;
                if (first.agl) {
                    Log().error("Environmental Data Probe SimObject '%s' must have absolute value for altitude, "
                                "not AGL! EDP not added!",
                                suffix.c_str());
                    return;
                }
                EnviroDataProbe probe;
                if (configurationFlag != 0) probe.SetStandMembership(true, configurationNumber);
                probe.SetName(object.GetName());
                probe.SetPlacement(first.latitude, first.longitude, first.altitude, first.agl, first.zero, 0.0, 0.0,
                                   first.heading);
                SimObjectModel& model = probe.AddModel(title);
                model.SetKeepSimEnabled(true);
                SetFeatures(probe, model, {FeatureEnvironmentalDataProbe});
                object.SetFeature(FeatureEnvironmentalDataProbe);
                if (const char* threshold = probeElement->Attribute("LowVisibilityThreshold")) {
                    int32_t metres = 0;
                    if (ToInt(threshold, metres)) {
                        probe.SetLowVisibilityThreshold(metres);
                    } else {
                        Log().error("Environmental Data Probe '%s': LowVisibilityThreshold '%s' is not a number!",
                                    suffix.c_str(), threshold);
                    }
                }
                if (const char* clientList = probeElement->Attribute("ClientList")) {
                    for (const std::string& token : Split(clientList, ';')) {
                        if (token.empty()) continue;
                        if (token == "ALL_JETWAYS") {
                            probe.SetAllJetways(true);
                            continue;
                        }
                        std::vector<std::string> names;
                        if (const XMLElement* group = FindByName(parent, "Group", token)) {
                            ForEachChild(group, "SimObject", [&names](const XMLElement* member) {
                                AddEntryNames(member, names);
                            });
                        } else if (const XMLElement* client = FindByName(parent, "SimObject", token)) {
                            AddEntryNames(client, names);
                        } else {
                            Log().warn("Environmental Data Probe '%s': Listed Client SimObject '%s' does not exist "
                                       "in the XML!",
                                       suffix.c_str(), token.c_str());
                        }
                        for (std::string& name : names) probe.AddClientName(std::move(name));
                    }
                }
                probe.SetRequestId(nextRequest++);
                ++taken;
                probes.Add(probe);
            } else if (modelElement->FirstChildElement("DensityAltitudeDisplay") != nullptr) {
                SetFeatures(object, object.AddModel(title), {FeatureDensityAltitudeDisplay});
            } else if (const XMLElement* vdgsElement = modelElement->FirstChildElement("VDGS")) {
                if (staticTitle == nullptr) {
                    Log().error("VDGS SimObject '%s': Model '%s' has no StaticSimTitle Attribute defined!",
                                suffix.c_str(), title.c_str());
                    return;
                }
                {
                    SimObjectModel& body = object.AddModel(staticTitle);
                    SetFeatures(object, body, {FeatureVDGS, FeatureTriggVisibilityTextMenu});
                    body.GetTriggVisibility()->SetVisibleOnLoad(true);
                    body.GetTriggVisibility()->SetState(true);
                    body.GetTriggVisibility()->SetVisible(true);
                }
                const std::string unit = AttrText(vdgsElement, "DistanceUnit") == "FT" ? "FT" : "M";
                // A unit is "_FT" or "_M" standing at the end of the title or before another "_" part; a
                // title word that merely starts with M ("_Main") is no unit.
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
                SimObjectModel& display = object.AddModel(displayTitle + "_" + unit);
                SetFeatures(object, display, {FeatureVDGS, FeatureTriggVisibilityTextMenu});
                VDGS* vdgs = display.GetVDGS();
                double value = 0.0;
                if (ToDouble(Attr(vdgsElement, "CaptureDistance"), value)) {
                    vdgs->SetApproachRange(value);
                } else {
                    Log().error("VDGS SimObject '%s': CaptureDistance missing or not a number!", suffix.c_str());
                }
                double lateralOffset = 0.0;
                if (ToDouble(Attr(vdgsElement, "LateralOffset"), value)) {
                    lateralOffset = value;
                } else {
                    Log().error("VDGS SimObject '%s': LateralOffset missing or not a number! Using 0.", suffix.c_str());
                }
                vdgs->SetLateralOffsetBias(lateralOffset);
                vdgs->SetDisplayType(0);
                if (displayTitle.find("APIS") != std::string::npos) {
                    vdgs->SetDisplayType(1);
                } else if (displayTitle.find("TrafficLight") != std::string::npos) {
                    vdgs->SetDisplayType(2);
                } else if (displayTitle.find("Honeywell") != std::string::npos) {
                    vdgs->SetDisplayType(3);
                }

                std::set<int32_t> definedTypes;
                std::vector<double> stopDistances;
                ForEachChild(vdgsElement, "Stop", [&](const XMLElement* stop) {
                    const char* distanceText = stop->Attribute("Distance");
                    if (distanceText == nullptr) return;
                    double distance = 0.0;
                    if (!ToDouble(distanceText, distance)) {
                        Log().error("[VDGS] SimObject '%s': Stop Distance '%s' is not a number! Stop skipped.",
                                    suffix.c_str(), distanceText);
                        return;
                    }
                    stopDistances.push_back(distance);
                    std::string types = AttrText(stop, "AircraftTypes");
                    ReplaceAll(types, ",", ";");
                    ReplaceAll(types, ":", ";");
                    for (const std::string& token : Split(types, ';')) {
                        const VdgsAircraftTypes parsed = ParseVdgsAircraftType(token);
                        for (int32_t code : parsed.codes) {
                            if (code == 0) {
                                Log().warn("[VDGS] SimObject '%s', Stop@%f: AcftType='%s' is not supported by VELK!",
                                           suffix.c_str(), distance, token.c_str());
                            } else if (parsed.group) {
                                vdgs->AddStop(code, true, distance);
                            } else if (!definedTypes.insert(code).second) {
                                Log().warn("[VDGS] SimObject '%s', Stop@%f: AcftType='%s' was already defined "
                                           "before! Not using the stop for this type.",
                                           suffix.c_str(), distance, token.c_str());
                            } else {
                                vdgs->AddStop(code, false, distance);
                            }
                        }
                    }
                });

                if (vdgsElement->FirstChildElement("DebugTape") != nullptr && placements.size() == 1) {
                    auto addDebugObject = [&](const std::string& name, const char* modelTitle, uint32_t request,
                                              double lat, double lon) {
                        SimObject debugObject;
                        if (configurationFlag != 0) debugObject.SetStandMembership(true, configurationNumber);
                        debugObject.SetName(name);
                        debugObject.AddModel(modelTitle);
                        debugObject.SetPlacement(lat, lon, 0.0, true, true, 0.0, 0.0, first.heading);
                        debugObject.SetSecondPlacement(debugObject.GetPlacement());
                        debugObject.SetRequestId(request);
                        objects.Add(debugObject);
                        ++added;
                        ++taken;
                    };
                    const uint32_t base = firstRequest + static_cast<uint32_t>(simIndex);
                    double lat = first.latitude;
                    double lon = first.longitude;
                    if (lateralOffset != 0.0) {
                        GeoMath::OffsetLatLonAbeam(first.latitude, first.longitude, first.heading, lateralOffset, lat,
                                                   lon);
                    }
                    addDebugObject(baseName + ":Tape_" + nameAttr, "Quorvath_VELK_VDGS_Tape", base + 128000u, lat,
                                   lon);
                    for (double distance : stopDistances) {
                        // Where the guidance reads a distance to stop of 0.
                        const LLAData point =
                            VDGS::StopPoint(first.latitude, first.longitude, first.heading, distance, lateralOffset);
                        addDebugObject(baseName + ":Stop_" + nameAttr, "Quorvath_VELK_VDGS_NW_Marker",
                                       base + 256000u, point.GetLatitude(), point.GetLongitude());
                    }
                }
            } else if (const XMLElement* jetwayElement = modelElement->FirstChildElement("Jetway")) {
                object.SetFeature(FeatureJetway);
                const bool pair = staticTitle != nullptr;
                if (pair) {
                    SimObjectModel& body = object.AddModel(staticTitle);
                    SetFeatures(object, body, {FeatureJetway, FeatureTriggVisibilityTextMenu});
                    body.GetTriggVisibility()->SetVisibleOnLoad(true);
                    body.GetTriggVisibility()->SetState(true);
                    body.GetTriggVisibility()->SetVisible(true);
                } else if (state_.debugMode) {
                    Log().info("Jetway SimObject '%s': Model '%s' has no StaticSimTitle Attribute defined!",
                               suffix.c_str(), title.c_str());
                }
                SimObjectModel& moving = object.AddModel(title);
                if (pair) {
                    SetFeatures(object, moving, {FeatureJetway, FeatureTriggVisibilityTextMenu});
                } else {
                    SetFeatures(object, moving, {FeatureJetway});
                }
                const int32_t movingIndex = object.GetModelCount() - 1;
                std::vector<SimObjectModel*> targets{object.GetModel(movingIndex)};
                if (pair) targets.push_back(object.GetModel(m));

                if (const char* multiText = jetwayElement->Attribute("MultiIndex")) {
                    int32_t multi = 0;
                    if (ToInt(multiText, multi)) {
                        multi = SafeAbs(multi);
                        object.SetMultiIndex(multi);
                        for (SimObjectModel* target : targets) target->GetJetway()->SetMultiIndex(multi);
                    } else {
                        Log().error("Jetway SimObject '%s': MultiIndex '%s' is not a number!", suffix.c_str(),
                                    multiText);
                    }
                }

                static constexpr int32_t kRanges[4][2] = {{0, 15}, {40, 75}, {0, 100}, {0, 20}};
                std::mt19937 random(NextSeed());
                auto draw = [&random](size_t position) {
                    std::uniform_int_distribution<int32_t> pick(kRanges[position][0], kRanges[position][1]);
                    return static_cast<double>(pick(random));
                };
                std::vector<double> values;
                bool valid = true;
                if (const char* initialState = jetwayElement->Attribute("InitialState")) {
                    const std::vector<std::string> tokens = Split(initialState, ';');
                    for (size_t position = 0; position < tokens.size(); ++position) {
                        if (tokens[position] == "R") {
                            if (position < 4) values.push_back(draw(position));
                            continue;
                        }
                        double value = 0.0;
                        if (!ParseLeadingDouble(tokens[position], value)) {
                            Log().error("Jetway SimObject '%s': InitialState '%s' is not valid! Door points not set.",
                                        suffix.c_str(), initialState);
                            valid = false;
                            break;
                        }
                        values.push_back(value);
                    }
                } else {
                    for (size_t position = 0; position < 4; ++position) values.push_back(draw(position));
                }
                if (valid) {
                    for (SimObjectModel* target : targets) target->GetJetway()->SetDoorPoints(values);
                }
            } else {
                SimObjectModel& model = object.AddModel(title);
                if (timer != nullptr) {
                    const std::vector<std::string> parts = Split(timer, ';');
                    int32_t period = 0;
                    int32_t steps = 0;
                    if (parts.size() == 2 && ToInt(parts[0], period) && ToInt(parts[1], steps) && period >= 0 &&
                        steps >= 0) {
                        model.GetTimer()->Define(steps, static_cast<double>(steps) * period / 1000.0);
                    } else {
                        Log().error("SimObject '%s': Model '%s' has an invalid Timer '%s'! Must be 'PeriodMs;Steps'.",
                                    suffix.c_str(), title.c_str(), timer);
                    }
                }
                ReadModelSubElements(parent, modelElement, object, m, false);
            }
        });

        if (isProbe) return;
        if (ignoreForTargetSim) {
            Log().info("SimObject '%s' ignored due to different target sim [%s]!", suffix.c_str(), targetIds.c_str());
            return;
        }
        if (noTargetTitle) {
            Log().info("SimObject '%s' ignored due to no target sim specific simtitle found!", suffix.c_str());
            return;
        }
        const bool numbered = placements.size() >= 2;
        for (size_t i = 0; i < placements.size(); ++i) {
            const Placement& p = placements[i];
            SimObject entry = object;
            entry.SetPlacement(p.latitude, p.longitude, p.altitude, p.agl, p.zero, 0.0, 0.0, p.heading);
            entry.SetSecondPlacement(entry.GetPlacement());
            if (numbered) entry.SetName(object.GetName() + " #" + std::to_string(i + 1));
            entry.SetRequestId(nextRequest++);
            objects.Add(entry);
            ++added;
            ++taken;
        }
    });
    if (appended != nullptr) *appended = added;
    return taken;
}

void PlacementReader::ReadGroup(const XMLElement* group, int32_t groupIndex, int32_t entryCount,
                                SimObjectList& objects)
{
    std::string name;
    if (const char* nameAttr = group->Attribute("Name")) {
        name = nameAttr;
    } else {
        const SimObject* last = objects.At(objects.Count() - 1);
        name = "GROUP>" + (last != nullptr ? last->GetName() : std::to_string(groupIndex));
        Log().error("Group 'Name' attribute undefined! Using '%s' for now...", name.c_str());
    }
    const int32_t count = objects.Count();
    const int32_t first = entryCount > count ? 0 : count - entryCount;
    for (int32_t i = count - 1; i >= first; --i) {
        SimObject* entry = objects.At(i);
        entry->SetGroupIndex(groupIndex);
        entry->SetGroupName(name);
        for (int32_t m = 0; m < entry->GetModelCount(); ++m) ReadModelSubElements(nullptr, group, *entry, m, true);
    }
}

void PlacementReader::ReadStand(const XMLElement* stand, int32_t /*standIndex*/, int32_t entryCount,
                                SimObjectList& objects)
{
    const int32_t count = objects.Count();
    const int32_t first = entryCount > count ? 0 : count - entryCount;
    if (first >= count) return;

    const char* icao = stand->Attribute("AfcadICAO");
    const char* gateText = stand->Attribute("AfcadGateName");
    const char* parkingText = stand->Attribute("AfcadParkingNumber");
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
    if (const char* customText = stand->Attribute("CustomDesignator")) {
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
    const XMLElement* zone = root->FirstChildElement("SimBubbleUpdateProtectionZone");
    if (zone == nullptr) return;
    double lat = 0.0;
    double lon = 0.0;
    if (!ToDouble(zone->Attribute("Lat"), lat) || !ToDouble(zone->Attribute("Lon"), lon) || std::fabs(lat) > 90.0 ||
        std::fabs(lon) > 180.0) {
        Log().error("SimBubbleUpdateProtectionZone needs a valid Lat and Lon! Zone not added.");
        return;
    }
    zones.Add(SimBubbleProtectionZone(lat, lon));
}

// ----- feature elements -----

void PlacementReader::ReadModelSubElements(const XMLElement* parent, const XMLElement* holder, SimObject& object,
                                           int32_t modelIndex, bool group)
{
    SimObjectModel* model = object.GetModel(modelIndex);
    if (model == nullptr || holder == nullptr) return;
    auto set = [&](int32_t feature) {
        if (feature <= 0) return;
        model->GetFeatures()->Set(feature);
        object.SetFeature(feature);
    };

    if (const XMLElement* element = holder->FirstChildElement("GroundPolygonShift")) {
        set(ReadGroundPolygonShift(element, *model->GetGroundPolygonShift()));
    }
    ForEachChild(holder, "VariableDrivenRotation",
                 [&](const XMLElement* element) { set(ReadVariableDrivenRotation(element, *model->GetRotation())); });
    if (const XMLElement* element = holder->FirstChildElement("ConditionalVisibility")) {
        ConditionalVisibilityData& data = *model->GetConditionalVisibility();
        if (element->FirstChildElement("Condition") == nullptr) {
            set(ReadConditions(element, data));
        } else {
            ForEachChild(element, "Condition", [&](const XMLElement* condition) { set(ReadConditions(condition, data)); });
            if (const char* expression = element->Attribute("LogicExpression")) {
                data.SetLogicExpression(expression);
            } else {
                Log().error("ConditionalVisibility with Condition elements has no LogicExpression!");
            }
        }
    }
    if (const XMLElement* element = holder->FirstChildElement("ControllableAnimation")) {
        set(ReadControllableAnimation(element, *model->GetControllableAnimation(0), group));
    }
    if (const XMLElement* element = holder->FirstChildElement("TriggerableAnimation")) {
        set(ReadTriggerableAnimation(element, parent, *model->GetTriggerableAnimation(3), group));
    }
    if (const XMLElement* element = holder->FirstChildElement("TriggerableVisibility")) {
        model->GetTriggVisibility()->SetVisibleOnLoad(false);
        set(ReadTriggerableVisibility(element, *model->GetTriggVisibility(), group));
    }
    if (const XMLElement* element = holder->FirstChildElement("RandomizedVisibility")) {
        set(ReadRandomizedVisibility(element, *model->GetRandomizedVisibility()));
    }
}

int32_t PlacementReader::ReadGroundPolygonShift(const XMLElement* element, GroundPolygonShiftData& data)
{
    const char* threshold = element->Attribute("ThresholdAltitudeAGL");
    const char* shift = element->Attribute("ShiftAltitude");
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
        if (const char* axis = element->Attribute("Axis")) {
            for (const std::string& token : Split(axis, ';')) wind.AddAxis(token);
        }
        wind.SetAnimated(IsYes(element->Attribute("Animated")));
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
        data.GetSeparationPlane().SetFromAttributes(IsYes(element->Attribute("UseEyePoint")) ? "Yes" : nullptr,
                                                    IsYes(element->Attribute("FlipNormal")) ? "Yes" : nullptr,
                                                    element->Attribute("Elevation"), element->Attribute("Azimuth"),
                                                    element->Attribute("Offset"));
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
    if (!ToInts(Split(keyframes, ';'), values) || values.size() != 4 || values[1] == INT_MAX) {
        Log().error("Invalid KeyframeData '%s' in ControllableAnimation element! Must be 'Start;End;Initial;Duration'.",
                    keyframes.c_str());
        return 0;
    }
    data.SetInputNames(Split(AttrText(element, "Action"), ','));
    data.SetKeyframes(values[0], values[1] + 1, values[2], static_cast<double>(values[3]));
    return group ? FeatureGroupControllableAnimation : FeatureControllableAnimation;
}

int32_t PlacementReader::ReadTriggerableAnimation(const XMLElement* element, const XMLElement* parent,
                                                  TriggAnimationData& data, bool group)
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
    if (const char* ignore = element->Attribute("IgnoreRadiusFilter")) data.SetIgnoreRadiusFilter(IsYes(ignore));

    if (const char* startText = element->Attribute("StartKF")) {
        const char* endText = element->Attribute("EndKF");
        const char* durationText = element->Attribute("Duration");
        int32_t start = 0;
        int32_t end = 0;
        double duration = 0.0;
        if (endText == nullptr || durationText == nullptr || !ToInt(startText, start) || !ToInt(endText, end) ||
            !ToDouble(durationText, duration)) {
            Log().error("TriggerableAnimation: StartKF needs numeric EndKF and Duration! Keyframes not set.");
        } else if (start >= 0 && end >= 0 && duration >= 0.0) {
            data.SetKeyframes(start, end, start, duration);
        }
    }

    if (const char* sync = element->Attribute("SyncStateWith")) {
        if (parent == nullptr) {
            Log().warn("TriggerableAnimation: SyncStateWith '%s' is not supported in a Group element!", sync);
        } else {
            for (const std::string& name : Split(sync, ';')) {
                if (const XMLElement* match = FindByName(parent, "SimObject", name)) {
                    std::vector<std::string> entries;
                    AddEntryNames(match, entries);
                    for (const std::string& entry : entries) data.AddSyncName(entry);
                }
            }
        }
    }

    ForEachChild(element, "Sound", [&data](const XMLElement* soundElement) {
        const char* fileName = soundElement->Attribute("FileName");
        int32_t minDistance = 0;
        int32_t maxDistance = 0;
        if (fileName == nullptr || !ToInt(AttrText(soundElement, "MinDistance"), minDistance) ||
            !ToInt(AttrText(soundElement, "MaxDistance"), maxDistance)) {
            Log().error("TriggerableAnimation: Sound needs FileName, MinDistance and MaxDistance! Sound skipped.");
            return;
        }
        SoundBuffer sound;
        sound.SetParameters(fileName, IsYes(soundElement->Attribute("Loop")), minDistance, maxDistance);
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
    const bool visibleOnLoad = IsYes(element->Attribute("VisibleOnLoad"));
    if (input == "TextMenu") {
        const std::vector<std::string> names = Split(AttrText(element, "Action"), ',');
        data.SetInputNames(names);
        if (names.front() == "Proximity") {
            data.SetState(visibleOnLoad);
            data.SetVisibleOnLoad(visibleOnLoad);
            return FeatureTriggVisibilityProximity;
        }
        if (const char* ignore = element->Attribute("IgnoreRadiusFilter")) data.SetIgnoreRadiusFilter(IsYes(ignore));
        data.SetVisibleOnLoad(visibleOnLoad);
        data.SetState(visibleOnLoad);
        data.SetVisible(visibleOnLoad);
        return group ? FeatureGroupTriggVisibilityTextMenu : FeatureTriggVisibilityTextMenu;
    }
    if (input == "RadioTX") {
        const std::string activation = AttrText(element, "Activation");
        const std::vector<std::string> parts = Split(activation, ';');
        int32_t clicks = 0;
        if (parts.size() != 2 || !ToInt(parts[0], clicks)) {
            Log().error("Invalid RadioTX Activation '%s'! Must be 'Clicks;Frequency'.", activation.c_str());
            return 0;
        }
        std::vector<int32_t> parameters{clicks};
        if (const char* timeParam = element->Attribute("TimeParam")) {
            std::vector<int32_t> times;
            if (!ToInts(Split(timeParam, ';'), times)) {
                Log().error("Invalid RadioTX TimeParam '%s'! Must be 'Seconds;Minutes'.", timeParam);
                return 0;
            }
            parameters.insert(parameters.end(), times.begin(), times.end());
        }
        std::vector<std::string> names{parts[1]};
        if (const char* action = element->Attribute("Action")) {
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
    const char* text = element->Attribute("PickProbabilityInPercent");
    if (text == nullptr) {
        Log().error("PickProbabilityInPercent not specified in RandomizedVisibility element!");
        return 0;
    }
    int32_t percent = 0;
    if (!ToInt(text, percent) || !data.SetPickProbabilityInPercent(percent)) {
        Log().error("PickProbabilityInPercent '%s' is not a valid percentage!", text);
        return 0;
    }
    return FeatureRandomizedVisibility;
}
