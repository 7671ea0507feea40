#include "simulator/PlacedNames.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>

namespace simulator {
namespace {

constexpr double kMetresPerDegree = 111320.0;
constexpr double kSamePlaceM = 1.0;
constexpr size_t kMaxFileBytes = 16 << 20;

std::string Lower(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Attribute(const tinyxml2::XMLElement* e, const char* name)
{
    const char* v = e->Attribute(name);
    return v ? v : "";
}

// "Pier B;22" gives "B22", "A;3" "A3": the last word of the designator and the number. Without a
// designator: the gate name and the parking number ("GATE_A 1").
std::string StandLabel(const tinyxml2::XMLElement* stand)
{
    const std::string designator = Attribute(stand, "CustomDesignator");
    const size_t semicolon = designator.find(';');
    if (semicolon != std::string::npos) {
        std::string head = designator.substr(0, semicolon), number = designator.substr(semicolon + 1);
        while (!head.empty() && head.back() == ' ') head.pop_back();
        const size_t space = head.find_last_of(' ');
        const std::string word = space == std::string::npos ? head : head.substr(space + 1);
        number.erase(0, number.find_first_not_of(" \t"));
        if (!word.empty() && !number.empty()) return word + number;
    }
    return Attribute(stand, "AfcadGateName") + " " + Attribute(stand, "AfcadParkingNumber");
}

void ReadSimObjects(const tinyxml2::XMLElement* parent, const std::string& stand, std::vector<PlacedName>& out)
{
    for (const auto* object = parent->FirstChildElement("SimObject"); object;
         object = object->NextSiblingElement("SimObject")) {
        PlacedName entry;
        entry.name = Attribute(object, "Name");
        entry.stand = stand;
        for (const auto* model = object->FirstChildElement("Model"); model; model = model->NextSiblingElement("Model"))
            for (const char* attribute : {"SimTitle", "StaticSimTitle"})
                if (const char* title = model->Attribute(attribute)) entry.titles.emplace_back(title);
        for (const auto* placement = object->FirstChildElement("Placement"); placement;
             placement = placement->NextSiblingElement("Placement")) {
            const char* lat = placement->Attribute("Lat");
            const char* lon = placement->Attribute("Lon");
            if (!lat || !lon) continue;
            entry.latitudeDeg = std::strtod(lat, nullptr);
            entry.longitudeDeg = std::strtod(lon, nullptr);
            out.push_back(entry);
        }
    }
}

bool BeginsWith(const std::string& text, const std::string& prefix)
{
    return !prefix.empty() && text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::vector<PlacedName> ParsePlacedNames(const std::string& xmlText)
{
    std::vector<PlacedName> names;
    tinyxml2::XMLDocument doc;
    if (doc.Parse(xmlText.c_str(), xmlText.size()) != tinyxml2::XML_SUCCESS) return names;
    const tinyxml2::XMLElement* root = doc.FirstChildElement("VELK");
    if (!root) return names;
    ReadSimObjects(root, "", names);
    for (const auto* group = root->FirstChildElement("Group"); group; group = group->NextSiblingElement("Group"))
        ReadSimObjects(group, "", names);
    for (const auto* stand = root->FirstChildElement("Stand"); stand; stand = stand->NextSiblingElement("Stand"))
        ReadSimObjects(stand, StandLabel(stand), names);
    return names;
}

std::vector<PlacedName> ReadPlacedNames(const std::string& root)
{
    std::vector<PlacedName> names;
    if (root.empty()) return names;
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::path(root) / "c/ProgramData/Quorvath/VELK/xml";
    std::vector<std::filesystem::path> files;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file(error) && Lower(it->path().extension().string()) == ".xml" &&
            it->file_size(error) <= kMaxFileBytes)
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        const std::vector<PlacedName> found = ParsePlacedNames(text.str());
        names.insert(names.end(), found.begin(), found.end());
    }
    return names;
}

void NamePlacedItems(MapScene& scene, const std::vector<PlacedName>& names)
{
    for (MapItem& item : scene.items) {
        if (item.kind == MapKind::UserAircraft || item.kind == MapKind::AiAircraft || item.kind == MapKind::JetwayPart)
            continue;
        const std::string title = Lower(item.title);
        const double metresPerDegreeEast = kMetresPerDegree * std::cos(item.latitudeDeg * std::numbers::pi / 180);
        for (const PlacedName& placed : names) {
            const double northM = (item.latitudeDeg - placed.latitudeDeg) * kMetresPerDegree;
            const double eastM = (item.longitudeDeg - placed.longitudeDeg) * metresPerDegreeEast;
            if (std::hypot(northM, eastM) > kSamePlaceM) continue;
            if (std::none_of(placed.titles.begin(), placed.titles.end(),
                             [&](const std::string& t) { return BeginsWith(title, Lower(t)); }))
                continue;
            if (item.kind == MapKind::Vdgs && !placed.stand.empty()) item.label = placed.stand + " display";
            else if (item.kind == MapKind::GateNumber && !placed.stand.empty()) item.label = placed.stand + " gate number";
            else item.label = placed.name;
            break;
        }
    }
}

}  // namespace simulator
