#include "scenery/SimObjectsFolderManager.h"

#include "scenery/RandomSeed.h"

#include "objects/SimObjectList.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/shell.h"

#include <log4cpp/Category.hh>
#include <tinyxml2.h>

#include <cstring>
#include <ctime>
#include <random>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kRegistryTextSize = 512;
constexpr const char* kFsxKey = "Software\\Microsoft\\Microsoft Games\\Flight Simulator\\10.0";
constexpr const char* kFsxSeKey = "Software\\Microsoft\\Microsoft Games\\Flight Simulator - Steam Edition\\10.0";
constexpr const wchar_t* kSteamEditionKey = L"Software\\Microsoft\\Microsoft Games\\Flight Simulator - Steam Edition";
constexpr const wchar_t* kDovetailKey = L"Software\\DovetailGames\\FSX";
constexpr const wchar_t* kDovetailWowKey = L"Software\\WOW6432Node\\DovetailGames\\FSX";
constexpr const wchar_t* kFsxKeyW = L"Software\\Microsoft\\Microsoft Games\\Flight Simulator\\10.0";

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// Size of an existing file; false when there is none.
bool FileSize(const std::string& path, uint64_t& size)
{
    WIN32_FIND_DATAA data{};
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool Exists(const std::string& path)
{
    WIN32_FIND_DATAA data{};
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return true;
}

void AppendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Some installers write add-on.xml as UTF-16 with a byte order mark (little- or big-endian); the
// parser reads UTF-8, so such text is converted, mark dropped. Text without the mark is left as it
// is. False for text that claims UTF-16 but is not (an odd number of bytes, a lone surrogate).
bool ConvertUtf16ToUtf8(std::string& text)
{
    if (text.size() < 2) return true;
    const auto first = static_cast<uint8_t>(text[0]);
    const auto second = static_cast<uint8_t>(text[1]);
    const bool little = first == 0xFF && second == 0xFE;
    if (!little && !(first == 0xFE && second == 0xFF)) return true;
    if (text.size() % 2 != 0) return false;
    auto unit = [&text, little](size_t at) {
        const auto lo = static_cast<uint8_t>(text[little ? at : at + 1]);
        const auto hi = static_cast<uint8_t>(text[little ? at + 1 : at]);
        return static_cast<uint32_t>(lo | (hi << 8));
    };
    std::string out;
    out.reserve(text.size());
    for (size_t at = 2; at < text.size(); at += 2) {
        uint32_t c = unit(at);
        if (c >= 0xDC00 && c <= 0xDFFF) return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (text.size() - at < 4) return false;
            const uint32_t low = unit(at + 2);
            if (low < 0xDC00 || low > 0xDFFF) return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            at += 2;
        }
        AppendUtf8(out, c);
    }
    text = std::move(out);
    return true;
}

// One configuration file taken once from the private-profile functions and answered as they answer, so
// that a file with many [fltsim.N] sections is found and checked once, not for every value.
class IniText {
public:
    // False when the file is bigger than the bound (it then answers every read with the default).
    bool Load(const std::string& path, size_t maxBytes)
    {
        uint64_t size = 0;
        if (!FileSize(path, size)) return true;
        if (size > maxBytes) return false;
        file_ = platform::ProfileFile(path.c_str());
        return true;
    }

    // The value as GetPrivateProfileStringA gives it with a 260-byte buffer; the result is its length.
    DWORD Read(const std::string& section, const char* key, const char* defaultValue, std::string& value) const
    {
        char buffer[ConfigFileHelper::ValueBufferSize] = {};
        const DWORD length = file_.GetString(section.c_str(), key, defaultValue, buffer, sizeof(buffer));
        value.assign(buffer, length);
        return length;
    }

private:
    platform::ProfileFile file_;
};

void RemoveTrailingBackslashes(std::string& text)
{
    while (!text.empty() && text.back() == '\\') text.pop_back();
}

bool IsSimObjectsCategory(const char* text)
{
    if (text == nullptr) return false;
    return std::strcmp(text, "SimObjects") == 0 || std::strcmp(text, "Simobjects") == 0 ||
           std::strcmp(text, "simobjects") == 0 || std::strcmp(text, "simObjects") == 0;
}

// Cut before the last "\"; a text without one stays as it is.
std::string CutAtLastBackslash(const std::string& text)
{
    return text.substr(0, text.rfind('\\'));
}

// The SimObject folder of a model folder: cut twice at the last "\", then "\" again.
std::string ParentFolder(const std::string& modelFolder)
{
    return CutAtLastBackslash(CutAtLastBackslash(modelFolder)) + "\\";
}

std::string ModelFolder(const std::string& objectFolder, const std::string& model)
{
    return model.empty() ? objectFolder + "model\\" : objectFolder + "model." + model + "\\";
}

} // namespace

SimObjectsFolderManager::SimObjectsFolderManager(log4cpp::Category& log, SoundEngine* soundEngine)
    : log_(log), soundEngine_(soundEngine)
{
}

SimObjectsFolderManager::~SimObjectsFolderManager() = default;

std::string SimObjectsFolderManager::ToLowerAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// ---- Building ---------------------------------------------------------------------------------------

void SimObjectsFolderManager::BuildSimObjectsMap()
{
    if (built_ != 0) return;
    otherStatus_.clear();
    ownStatus_.clear();
    simObjects_.clear();
    aircraft_.clear();
    built_ = 1;
    containerPaths_.clear();
    suppressedTitles_.clear();
    modelCfgCache_.clear();

    char common[MAX_PATH + 1] = {};
    char user[MAX_PATH + 1] = {};
    if (!SHGetSpecialFolderPathA(nullptr, common, CSIDL_COMMON_APPDATA, FALSE)) common[0] = '\0';
    if (!SHGetSpecialFolderPathA(nullptr, user, CSIDL_APPDATA, FALSE)) user[0] = '\0';

    std::string appPath;
    if (!FindContainerPaths(common, user, appPath)) {
        log_.fatal("Could not extract SimObject container paths!!!");
        return;
    }
    log_.debug("SimObjects container paths extracted!");
    log_.debug("Starting SimObjects container scan...");

    // The paths are copied: completing one must not change the recorded discovery list.
    const std::vector<std::string> paths = containerPaths_;
    for (const std::string& path : paths) {
        const std::string container = CompleteContainerPath(path, appPath);
        ScanSimCfg(container);
        ScanAircraftCfg(container);
    }
    modelCfgCache_.clear();
    log_.info("VELK SimObjects Map Building completed. Size=%u", static_cast<unsigned>(simObjects_.size()));
}

bool SimObjectsFolderManager::FindContainerPaths(const std::string& commonAppData, const std::string& userAppData,
                                                 std::string& appPath)
{
    const std::string& id = platformId_;
    if (id == "FSX") {
        ReadFsxCfgPaths(userAppData + "\\Microsoft\\FSX" + "\\fsx.cfg");
        return ReadAppPath(kFsxKey, appPath);
    }
    if (id == "FSX:SE" || id == "FSX-SE") {
        std::string cfgPath;
        std::string key;
        ChooseSteamEditionFiles(userAppData, cfgPath, key);
        ReadFsxCfgPaths(cfgPath);
        return ReadAppPath(key, appPath);
    }
    std::string name;
    if (id == "P3Dv2")
        name = "Prepar3d v2";
    else if (id == "P3Dv3")
        name = "Prepar3d v3";
    else if (id == "P3Dv4")
        name = "Prepar3d v4";
    else if (id == "P3Dv5")
        name = "Prepar3d v5";
    else
        return false;

    const std::string folder = "\\Lockheed Martin\\" + name;
    ReadSimObjectsCfgPaths(commonAppData + folder + "\\simobjects.cfg");
    ReadSimObjectsCfgPaths(userAppData + folder + "\\simobjects.cfg");
    if (id != "P3Dv2") {
        for (const std::string& base : {commonAppData, userAppData}) {
            std::vector<std::string> packages = ReadAddOnPackages(base + folder + "\\add-ons.cfg");
            containerPaths_.insert(containerPaths_.end(), packages.begin(), packages.end());
        }
    }
    return ReadAppPath("Software\\Lockheed Martin\\" + name, appPath);
}

void SimObjectsFolderManager::ReadFsxCfgPaths(const std::string& cfgPath)
{
    if (ConfigFileHelper::CheckFileExists(cfgPath) != 0) {
        log_.debug("'%s' does not exist! Extraction of SimObject Paths not performed...", cfgPath.c_str());
        return;
    }
    log_.debug("Extracting SimObjects Paths from '%s'", cfgPath.c_str());
    std::vector<std::string> paths = ConfigFileHelper::GetKeyValuesByName(cfgPath, "MAIN", "SimObjectPaths");
    containerPaths_.insert(containerPaths_.end(), paths.begin(), paths.end());
}

void SimObjectsFolderManager::ReadSimObjectsCfgPaths(const std::string& cfgPath)
{
    if (ConfigFileHelper::CheckFileExists(cfgPath) != 0) {
        log_.debug("'%s' does not exist! Extraction of SimObject Paths not performed...", cfgPath.c_str());
        return;
    }
    log_.debug("Extracting SimObject Paths from '%s'", cfgPath.c_str());
    for (const std::string& path :
         ConfigFileHelper::GetSectionValuesMatching(cfgPath, "Entry", "Path", "Active", true)) {
        if (debug_ != 0) log_.debug("> Adding SimObject Path '%s'", path.c_str());
        containerPaths_.push_back(path);
    }
}

bool SimObjectsFolderManager::ReadAppPath(const std::string& key, std::string& appPath) const
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    // One byte more than offered: a value stored without its NUL still ends inside the buffer.
    char buffer[kRegistryTextSize + 1] = {};
    DWORD size = kRegistryTextSize;
    DWORD type = REG_NONE;
    const LSTATUS status = RegQueryValueExA(handle, "AppPath", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS || type != REG_SZ || size > kRegistryTextSize) {
        appPath = "bad";
        return true;
    }
    appPath.assign(buffer, strnlen(buffer, size));
    return true;
}

void SimObjectsFolderManager::ChooseSteamEditionFiles(const std::string& userAppData, std::string& cfgPath,
                                                      std::string& key)
{
    const std::string fsxCfg = userAppData + "\\Microsoft\\FSX" + "\\fsx.cfg";
    const std::string fsxSeCfg = userAppData + "\\Microsoft\\FSX-SE" + "\\fsx_se.cfg";
    HKEY steam = nullptr;
    HKEY dovetail = nullptr;
    HKEY dovetailWow = nullptr;
    const bool steamOpen = RegOpenKeyExW(HKEY_CURRENT_USER, kSteamEditionKey, 0, KEY_READ, &steam) == ERROR_SUCCESS;
    const bool dovetailOpen = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDovetailKey, 0, KEY_READ, &dovetail) == ERROR_SUCCESS;
    const bool wowOpen = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDovetailWowKey, 0, KEY_READ, &dovetailWow) == ERROR_SUCCESS;
    if (dovetailOpen) RegCloseKey(dovetail);
    if (wowOpen) RegCloseKey(dovetailWow);

    if (!steamOpen && !dovetailOpen && !wowOpen) {
        log_.error("No specific Steam Edition registry key found! Using default FSX keys...");
        cfgPath = fsxCfg;
        key = kFsxKey;
        return;
    }
    int32_t coExistence = -1;
    if (steamOpen) {
        DWORD value = 0;
        DWORD size = sizeof(value);
        DWORD type = REG_NONE;
        if (RegQueryValueExA(steam, "Co-Existence", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD && size == sizeof(value)) {
            coExistence = static_cast<int32_t>(value);
        }
        RegCloseKey(steam);
    }
    bool steamFiles = coExistence == 1;
    if (coExistence != 0 && coExistence != 1) {
        HKEY fsx = nullptr;
        const LSTATUS result = RegOpenKeyExW(HKEY_CURRENT_USER, kFsxKeyW, 0, KEY_READ, &fsx);
        if (result == ERROR_SUCCESS) RegCloseKey(fsx);
        log_.warn("Could not read Co-Existence Key! Checking original FSX registry key -> '%d'",
                  static_cast<int>(result));
        steamFiles = result == ERROR_SUCCESS;
    }
    cfgPath = steamFiles ? fsxSeCfg : fsxCfg;
    key = steamFiles ? kFsxSeKey : kFsxKey;
}

std::vector<std::string> SimObjectsFolderManager::ReadAddOnPackages(const std::string& addOnsCfgPath)
{
    std::vector<std::string> result;
    if (ConfigFileHelper::CheckFileExists(addOnsCfgPath) != 0) {
        log_.debug("'%s' does not exist! Extraction of Add-On Package Paths not performed...", addOnsCfgPath.c_str());
        return result;
    }
    log_.debug("Extracting Add-On Package Paths from '%s'", addOnsCfgPath.c_str());
    const std::vector<std::string> packages =
        ConfigFileHelper::GetSectionValuesMatching(addOnsCfgPath, "Package", "Path", "Active", true);

    for (const std::string& package : packages) {
        const std::string description =
            !package.empty() && package.back() == '\\' ? package + "add-on.xml" : package + "\\add-on.xml";

        tinyxml2::XMLDocument document;
        tinyxml2::XMLError error = tinyxml2::XML_SUCCESS;
        uint64_t size = 0;
        std::string text;
        if (!FileSize(description, size))
            error = tinyxml2::XML_ERROR_FILE_NOT_FOUND;
        else if (size > kMaxAddOnXmlBytes || !platform::ReadWholeFile(description, text))
            error = tinyxml2::XML_ERROR_FILE_READ_ERROR;
        else if (!ConvertUtf16ToUtf8(text))
            error = tinyxml2::XML_ERROR_PARSING;
        else
            error = document.Parse(text.data(), text.size());
        if (error != tinyxml2::XML_SUCCESS) {
            log_.error("Failed to load xml file '%s' (Code=%d)", description.c_str(), static_cast<int>(error));
            continue;
        }

        const tinyxml2::XMLElement* root = document.FirstChildElement("SimBase.Document");
        if (root == nullptr) {
            log_.warn("'%s' is not a valid P3D Add-On xml file! Ignoring...", description.c_str());
            continue;
        }
        const char* type = root->Attribute("Type");
        if (type == nullptr) continue;
        if (std::strcmp(type, "AddOnXml") != 0) {
            log_.warn("'%s' is not a valid P3D Add-On xml file! Ignoring...", package.c_str());
            continue;
        }
        log_.debug("Extracting SimObject Paths from '%s'", description.c_str());

        const char* componentName = "AddOn.Component";
        const tinyxml2::XMLElement* component = root->FirstChildElement(componentName);
        if (component == nullptr) {
            componentName = "Addon.Component";
            component = root->FirstChildElement(componentName);
        }
        // Relative paths hang off the package folder; a trailing "\" on it must not shift them.
        std::string base = package;
        RemoveTrailingBackslashes(base);
        for (; component != nullptr; component = component->NextSiblingElement(componentName)) {
            const tinyxml2::XMLElement* category = component->FirstChildElement("Category");
            if (category == nullptr || !IsSimObjectsCategory(category->GetText())) continue;
            const tinyxml2::XMLElement* pathElement = component->FirstChildElement("Path");
            if (pathElement == nullptr || pathElement->GetText() == nullptr) continue;

            std::string path = pathElement->GetText();
            for (char& c : path) {
                if (c == '/') c = '\\';
            }
            if (!path.empty() && path.front() == '\\') path.erase(0, 1);
            if (path.find(":\\") != std::string::npos) {
                log_.debug("> Adding SimObject Path '%s'", path.c_str());
                result.push_back(path);
                continue;
            }
            std::string folder;
            if (path.compare(0, 2, "..") == 0) {
                log_.debug("Found relative subfolder definition '%s'", path.c_str());
                path.erase(0, 2);
                RemoveTrailingBackslashes(path);
                const size_t last = base.rfind('\\');
                if (last == std::string::npos) continue;
                folder = base.substr(0, last) + path;
            } else {
                log_.debug("Found relative basefolder definition '%s'", path.c_str());
                if (!path.empty() && path.front() == '.')
                    path.erase(0, 1);
                else if (path.empty() || path.front() != '\\')
                    path.insert(0, "\\");
                RemoveTrailingBackslashes(path);
                if (base.find('\\') == std::string::npos) continue;
                folder = base + path;
            }
            log_.debug("> Adding SimObject Path '%s'", folder.c_str());
            result.push_back(folder);
        }
    }
    return result;
}

std::string SimObjectsFolderManager::CompleteContainerPath(const std::string& path, const std::string& appPath) const
{
    if (path.size() <= 1) {
        log_.warn("Found empty/single-char add-on path definition '%s'", path.c_str());
        return path;
    }
    if (path[1] != ':') return appPath + path;
    return path;
}

// ---- Scans ------------------------------------------------------------------------------------------

void SimObjectsFolderManager::ScanSimCfg(const std::string& container)
{
    const std::string folder = container + "\\";
    WIN32_FIND_DATAA entry{};
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &entry);
    log_.debug("Looking for sim.cfg files in '%s'", folder.c_str());
    if (find == INVALID_HANDLE_VALUE) {
        log_.warn("SimObject Subfolder not found!!!");
        return;
    }
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        const std::string lower = ToLowerAscii(name);
        if (lower.find("fsdt") != std::string::npos && lower.find("fsdt_velk") == std::string::npos &&
            lower != "fsdt_jetway")
            continue;

        const std::string objectFolder = folder + name + "\\";
        const std::string simCfg = objectFolder + "sim.cfg";
        if (!Exists(simCfg)) continue;
        IniText ini;
        if (!ini.Load(simCfg, kMaxConfigFileBytes)) {
            log_.error("'%s' is too large! Ignoring...", simCfg.c_str());
            continue;
        }

        std::string module;
        bool own = false;
        if (ini.Read("General", "Module", "", module) == 0) {
            if (debug_ != 0)
                log_.debug("Could not extract 'Module' entry in the [General] section of '%s'!", simCfg.c_str());
        } else if (module == "VELK") {
            own = true;
        } else if (debug_ != 0) {
            log_.warn("Could not extract 'Module=VELK' entry in the [General] section of '%s'!", simCfg.c_str());
        }

        for (uint32_t n = 0;; ++n) {
            const std::string section = "fltsim." + std::to_string(n);
            std::string title;
            std::string model;
            ini.Read(section, "title", "", title);
            const DWORD modelLength = ini.Read(section, "model", "VOIDVOID", model);
            if (modelLength == 8 && model == "VOIDVOID") break;
            const std::string modelFolder = ModelFolder(objectFolder, model);
            if (own) {
                const std::string key = ToLowerAscii(title);
                auto [it, inserted] = simObjects_.emplace(key, modelFolder);
                if (debug_ != 0) {
                    if (!inserted)
                        log_.warn("Duplicate title found '%s', filepaths '%s' and '%s'", key.c_str(),
                                  it->second.c_str(), modelFolder.c_str());
                    log_.info("Adding VELK model '%s' located at '%s' to the map.", key.c_str(), modelFolder.c_str());
                }
            }
            CheckModelFile(modelFolder, title, own);
            if (modelLength == 0) break;
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

void SimObjectsFolderManager::ScanAircraftCfg(const std::string& container)
{
    const std::string folder = container + "\\";
    const std::string pattern = folder + "*";
    log_.debug("Looking for aircraft.cfg files in '%s'", folder.c_str());
    WIN32_FIND_DATAA entry{};
    HANDLE find = FindFirstFileA(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        log_.warn("SimObject Subfolder not found!!!");
        return;
    }
    do {
        const std::string name = entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            if (debug_ != 0)
                log_.warn("Incorrect FileAttribute=%d for '%s'", static_cast<int>(entry.dwFileAttributes),
                          pattern.c_str());
            continue;
        }
        if (name == "." || name == "..") continue;

        const std::string aircraftFolder = folder + name + "\\";
        const std::string aircraftCfg = aircraftFolder + "aircraft.cfg";
        if (!Exists(aircraftCfg)) continue;
        IniText ini;
        if (!ini.Load(aircraftCfg, kMaxConfigFileBytes)) {
            log_.error("'%s' is too large! Ignoring...", aircraftCfg.c_str());
            continue;
        }
        std::string engineType;
        ini.Read("GeneralEngineData", "engine_type", "", engineType);

        for (uint32_t n = 0;; ++n) {
            const std::string section = "fltsim." + std::to_string(n);
            std::string title;
            std::string model;
            if (ini.Read(section, "title", "", title) == 0) break;
            ini.Read(section, "model", "", model);
            const std::string modelFolder = ModelFolder(aircraftFolder, model);
            CheckModelFile(modelFolder, title, false);
            if (engineType.empty()) {
                if (debug_ != 0)
                    log_.info("No 'Engine_Type' found in aircraft.cfg! Ignoring this aircraft in '%s'",
                              aircraftFolder.c_str());
            } else if (engineType[0] == '1' || engineType[0] == '5') {
                aircraft_[ToLowerAscii(title)] = modelFolder;
            } else if (debug_ != 0) {
                log_.info("'Engine Type'=%s is neither Jet nor Turboprop! Ignoring this aircraft in '%s'",
                          engineType.substr(0, 1).c_str(), aircraftFolder.c_str());
            }
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

// The [Models] Normal entry of the folder's model.cfg. The answer is cached per model folder for one
// scan (kind 0: the name, 1: no model.cfg, 2: no Normal entry); the debug lines come at every call.
bool SimObjectsFolderManager::ReadModelName(const std::string& modelFolder, std::string& modelName)
{
    auto cached = modelCfgCache_.find(modelFolder);
    if (cached == modelCfgCache_.end()) {
        const std::string modelCfg = modelFolder + "model.cfg";
        std::pair<int, std::string> answer{1, std::string()};
        if (Exists(modelCfg)) {
            IniText ini;
            std::string normal;
            if (ini.Load(modelCfg, kMaxConfigFileBytes) && ini.Read("Models", "Normal", "", normal) > 0)
                answer = {0, normal};
            else
                answer = {2, std::string()};
        }
        cached = modelCfgCache_.emplace(modelFolder, std::move(answer)).first;
    }
    if (cached->second.first == 1) {
        if (debug_ != 0) log_.warn("Could not find 'model.cfg' file in '%s'", modelFolder.c_str());
        return false;
    }
    if (cached->second.first == 2) {
        if (debug_ != 0)
            log_.debug("Could not extract 'Normal' entry in the [Models] section of '%s'!",
                       (modelFolder + "model.cfg").c_str());
        return false;
    }
    modelName = cached->second.second;
    return true;
}

void SimObjectsFolderManager::CheckModelFile(const std::string& modelFolder, const std::string& title, bool ownModule)
{
    const std::string key = ToLowerAscii(title);
    std::string normal;
    if (!ReadModelName(modelFolder, normal)) return;

    char name[ConfigFileHelper::ValueBufferSize] = {};
    std::strncpy(name, normal.c_str(), sizeof(name) - 1);
    PathRemoveExtensionA(name);
    const std::string modelName = name;
    const std::string modelFile = modelFolder + modelName + ".mdl";

    std::map<std::string, std::string>& status = ownModule ? ownStatus_ : otherStatus_;
    if (GetFileAttributesA(modelFile.c_str()) == INVALID_FILE_ATTRIBUTES &&
        (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)) {
        // A model name that leads through a missing folder is just as missing.
        status[key] = modelName;
        return;
    }
    status[key] = kModelOk;
    if (header_.ReadHeader(modelFile) &&
        (suppressed_.ContainsModelName(ToLowerAscii(modelName)) || suppressed_.ContainsGuid(header_.GetGuidText())))
        suppressedTitles_.insert(key);
}

// ---- Checks and lookups -----------------------------------------------------------------------------

void SimObjectsFolderManager::CheckModels(SimObjectList& objects)
{
    // What the maps say of a title is looked up once per title written: a world has hundreds of thousands
    // of models and a few hundred titles. Every model still gets its own line and its own attitude.
    struct TitleCheck {
        bool valid = false;
        bool suppressed = false;
        std::string key;     // lower-cased
        std::string folder;  // LookupTitlePath, for the line of a missing model
        std::string status;
    };
    std::unordered_map<std::string, TitleCheck> checked;
    // Read through the const objects and mark the missing models after the pass: placements that share
    // their models keep sharing them, and each is checked by the title it was read with.
    std::vector<std::pair<SimObject*, int32_t>> missing;
    for (int32_t i = 0; i < objects.Count(); ++i) {
        SimObject* object = objects.At(i);
        if (object == nullptr) {
            log_.error("'NULL' SimObject in List!");
            continue;
        }
        for (int32_t m = 0; m < object->GetModelCount(); ++m) {
            const SimObjectModel* model = std::as_const(*object).GetModel(m);
            if (model == nullptr) continue;
            const std::string& title = model->SimTitle();
            auto [entry, added] = checked.try_emplace(title);
            TitleCheck& check = entry->second;
            if (added) {
                check.key = ToLowerAscii(title);
                check.status = kUndefined;
                if (auto own = ownStatus_.find(check.key); own != ownStatus_.end()) check.status = own->second;
                if (check.status == kUndefined) {
                    if (auto other = otherStatus_.find(check.key); other != otherStatus_.end())
                        check.status = other->second;
                }
                check.valid = check.status == kModelOk;
                if (!check.valid) check.folder = LookupTitlePath(title);
                check.suppressed = suppressedTitles_.count(check.key) != 0;
            }
            if (!check.valid) {
                log_.warn("SimObject with SimTitle '%s': '%s%s.MDL' does NOT exist! ", title.c_str(),
                          check.folder.c_str(), check.status.c_str());
                missing.emplace_back(object, m);
            }
            uint32_t seed = 0;
            if (check.suppressed && GetRandomSeedForTitle(check.key, seed)) {
                std::mt19937 random(seed);
                object->SetBank(std::uniform_int_distribution<int>(30, 90)(random));
                object->SetHeading(std::uniform_int_distribution<int>(0, 360)(random));
                object->SetPitch(std::uniform_int_distribution<int>(15, 90)(random));
            }
        }
    }
    // A missing model is missing for every placement that shares it.
    for (const auto& [object, m] : missing) object->GetSharedModel(m)->SetSimTitle(kMissingObjectTitle);
}

bool SimObjectsFolderManager::GetRandomSeedForTitle(const std::string& title, uint32_t& seed) const
{
    if (suppressedTitles_.count(ToLowerAscii(title)) == 0) return false;
    seed = FreshSeed();
    return true;
}

std::string SimObjectsFolderManager::LookupTitlePath(std::string title) const
{
    auto found = simObjects_.find(ToLowerAscii(std::move(title)));
    return found == simObjects_.end() ? std::string() : found->second;
}

std::string SimObjectsFolderManager::GetModelFolder(std::string title) const
{
    return ParentFolder(LookupTitlePath(std::move(title)));
}

std::string SimObjectsFolderManager::FindAircraftTitle(std::string title) const
{
    auto found = aircraft_.find(ToLowerAscii(std::move(title)));
    return found == aircraft_.end() ? std::string() : ParentFolder(found->second);
}

void SimObjectsFolderManager::DumpMaps(std::string folder) const
{
    auto dump = [&](const std::map<std::string, std::string>& map, const char* fileName) {
        std::string text;
        for (const auto& [key, path] : map) text += key + "=" + path + "\n";
        const std::string path = folder + "\\" + fileName;
        if (!platform::WriteWholeFile(path, text, true)) log_.error("Could not write '%s'", path.c_str());
    };
    dump(simObjects_, "DUMP_SimObjectsMap.txt");
    dump(aircraft_, "DUMP_AircraftMap.txt");
}
