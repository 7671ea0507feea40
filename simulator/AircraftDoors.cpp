#include "simulator/AircraftDoors.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace simulator {
namespace {

constexpr double kMetresPerFoot = 0.3048;
constexpr size_t kMaxCfgBytes = 1 << 20;

std::string Trim(const std::string& s)
{
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::string Lower(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string ReadSmallFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text(kMaxCfgBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

// The value of title= in a [fltsim.N] section, or empty.
bool HasTitle(const std::string& cfgText, const std::string& title)
{
    std::istringstream lines(cfgText);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos || Lower(Trim(line.substr(0, eq))) != "title") continue;
        if (Trim(line.substr(eq + 1)) == title) return true;
    }
    return false;
}

// The first value of a key (any case) in the text, or empty.
std::string FirstValue(const std::string& text, const std::string& key)
{
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos && Lower(Trim(line.substr(0, eq))) == key) return Trim(line.substr(eq + 1));
    }
    return {};
}

constexpr const char* kCustomExitsFile = "C:\\ProgramData\\Quorvath\\VELK\\AircraftExits.ini";

// The aircraft.cfg's own doors, or those AircraftExits.ini gives it instead.
std::vector<MapDoor> DoorsOf(const std::string& root, const std::string& cfgText)
{
    std::vector<MapDoor> custom = CustomExits(ReadSmallFile(MachinePath(root, kCustomExitsFile)), cfgText);
    return custom.empty() ? ParseAircraftExits(cfgText) : custom;
}

}  // namespace

std::vector<MapDoor> CustomExits(const std::string& iniText, const std::string& cfgText)
{
    const std::string aircraft = FirstValue(cfgText, "ui_createdby") + ":" + FirstValue(cfgText, "sim");
    std::istringstream lines(iniText);
    std::string line, exits;
    bool inSection = false, found = false;
    while (std::getline(lines, line)) {
        const std::string t = Trim(line);
        if (!t.empty() && t.front() == '[') {
            if (found) break;
            const size_t end = t.find(']');
            const std::string name = t.substr(1, end == std::string::npos ? std::string::npos : end - 1);
            inSection = !name.empty() && aircraft.find(name) != std::string::npos;
            found = inSection;
            continue;
        }
        if (inSection) exits += t + "\n";
    }
    return found ? ParseAircraftExits("[exits]\n" + exits) : std::vector<MapDoor>{};
}

std::vector<MapDoor> ParseAircraftExits(const std::string& cfgText)
{
    std::vector<MapDoor> doors;
    std::istringstream lines(cfgText);
    std::string line, section;
    int leftDoors = 0;
    while (std::getline(lines, line)) {
        const std::string t = Trim(line);
        if (!t.empty() && t.front() == '[') {
            section = Lower(t);
            continue;
        }
        if (section != "[exits]") continue;
        const size_t eq = t.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = Lower(Trim(t.substr(0, eq)));
        if (key.rfind("exit.", 0) != 0) continue;
        std::string value = t.substr(eq + 1), name;
        if (const size_t comment = value.find("//"); comment != std::string::npos) {
            name = Trim(value.substr(comment + 2));
            value.resize(comment);
        }
        if (const size_t comment = value.find(';'); comment != std::string::npos) value.resize(comment);
        double numbers[5];
        int count = 0;
        std::istringstream fields(value);
        std::string field;
        while (count < 5 && std::getline(fields, field, ',')) {
            char* end = nullptr;
            const std::string f = Trim(field);
            numbers[count] = std::strtod(f.c_str(), &end);
            if (f.empty() || *end != '\0' || !std::isfinite(numbers[count])) break;
            ++count;
        }
        if (count < 4) continue;
        if (const size_t comma = name.find(','); comma != std::string::npos) name.resize(comma);
        MapDoor door;
        if (name.empty() && numbers[2] < 0) name = std::to_string(++leftDoors) + "L";
        door.name = name.empty() ? "exit " + key.substr(5) : name;
        door.forwardM = numbers[1] * kMetresPerFoot;
        door.rightM = numbers[2] * kMetresPerFoot;
        doors.push_back(door);
    }
    return doors;
}

std::string MachinePath(const std::string& root, const std::string& windowsPath)
{
    if (root.empty() || windowsPath.size() < 3 || windowsPath[1] != ':' ||
        !std::isalpha(static_cast<unsigned char>(windowsPath[0])))
        return {};
    std::string rest = windowsPath.substr(2);
    for (char& c : rest)
        if (c == '\\') c = '/';
    while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
    std::string drive(1, static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0]))));
    return (std::filesystem::path(root) / drive / rest).string();
}

std::vector<MapDoor> DoorsOfAirFile(const std::string& root, const std::string& airFile)
{
    const std::string path = MachinePath(root, airFile);
    if (path.empty()) return {};
    return DoorsOf(root, ReadSmallFile(std::filesystem::path(path).parent_path() / "aircraft.cfg"));
}

std::vector<MapDoor> DoorsOfTitle(const std::string& root, const std::string& airFile, const std::string& title)
{
    const std::string path = MachinePath(root, airFile);
    if (path.empty() || title.empty()) return {};
    std::error_code error;
    const std::filesystem::path folders = std::filesystem::path(path).parent_path().parent_path();
    for (const auto& entry : std::filesystem::directory_iterator(folders, error)) {
        const std::string text = ReadSmallFile(entry.path() / "aircraft.cfg");
        if (!text.empty() && HasTitle(text, title)) return DoorsOf(root, text);
    }
    return {};
}

}  // namespace simulator
