#include "scenery/SceneryFileRegistry.h"

#include "foundation/ExecutablePathHelper.h"
#include "objects/EnviroDataProbe.h"
#include "objects/SimObjectList.h"
#include "platform/files.h"
#include "scenery/ZipArchive.h"

#include <log4cpp/Category.hh>
#include <tinyxml2.h>

#include <memory>
#include <new>

namespace {

// A configuration name becomes one folder below "\sdx\": it must not climb out or name a drive.
bool IsPlainFolderName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name) {
        if (c < 0x20) return false;
        switch (c) {
        case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
            return false;
        default:
            break;
        }
    }
    return true;
}

}  // namespace

SceneryFileRegistry::SceneryFileRegistry(log4cpp::Category& log) : log_(log)
{
    state_.library = &library_;
    reader_.SetSdxOpener([this](const std::string& fileName, const std::string& path, tinyxml2::XMLDocument& document) {
        return OpenSdxFile(path, document, fileName);
    });
}

SceneryFileRegistry::SceneryFileRegistry() : SceneryFileRegistry(log4cpp::Category::getInstance("VELK.XML")) {}

std::string SceneryFileRegistry::SdxPassword(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    std::string stem = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = stem.find_last_of('.');
    if (dot != std::string::npos && dot > 0) stem.resize(dot);
    for (char& c : stem) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return "VELK-SDX/" + stem;
}

void SceneryFileRegistry::Clear()
{
    library_.Clear();
    sdxCfgFiles_.clear();
    xmlFiles_.clear();
}

void SceneryFileRegistry::SetSimPlatform(std::string platform)
{
    state_.platformId = platform;
    library_.Load(std::move(platform));
}

void SceneryFileRegistry::FindSdxCfgFiles()
{
    log_.debug("Finding SDX CFG Files...");
    FindFiles(cfgFolder_, "sdx", sdxCfgFiles_);
}

void SceneryFileRegistry::FindXmlFiles()
{
    log_.debug("Finding XML Files...");
    FindFiles(xmlFolder_, "xml", xmlFiles_);
}

void SceneryFileRegistry::FindFiles(const std::string& folder, const std::string& pattern,
                                    std::vector<std::string>& list)
{
    const std::string search = ExecutablePathHelper::GetProgramDataFolder() + folder + "*.*";
    const std::string spec = "*." + pattern;
    WIN32_FIND_DATAA data{};
    HANDLE find = FindFirstFileA(search.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == 2) {
            log_.info("Empty directory at '%s'. [%s]", folder.c_str(), search.c_str());
        } else if (code == 3) {
            log_.info("Non-existing directory at '%s'. [%s]", folder.c_str(), search.c_str());
        } else {
            log_.warn("'%s' not found. Code(%d) [%s]", folder.c_str(), static_cast<int>(code), search.c_str());
        }
        return;
    }
    const bool recursive = pattern == "xml";
    do {
        const std::string name = data.cFileName;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            // A folder is never a placement file, whatever its name.
            if (recursive && name != "." && name != ".." && name != "dbg" && name != "bkk" && name != "off" &&
                name != "out") {
                FindFiles(folder + name + "\\", pattern, list);
            }
            continue;
        }
        if (!PathMatchSpecA(name.c_str(), spec.c_str())) continue;
        const std::string entry = recursive && folder.size() > 5 ? folder.substr(5) + name : name;
        list.push_back(entry);
        log_.info("%s File Found: '%s'.", pattern.c_str(), entry.c_str());
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

int32_t SceneryFileRegistry::BuildListsFromXml(int32_t count, SimObjectList& objects, EnviroDataProbeList& probes,
                                               ProtectionZoneList* zones)
{
    if (xmlFiles_.empty()) {
        if (objects.Count() == 0 && probes.Count() == 0) {
            log_.warn("No XML Files found! Lists are still empty.");
        } else {
            log_.warn("No XML Files found! Nothing added to Lists.");
        }
        return count;
    }
    const std::string base = ExecutablePathHelper::GetProgramDataFolder() + xmlFolder_;
    for (const std::string& entry : xmlFiles_) {
        const std::string path = base + entry;
        log_.debug("Building List from File '%s'", path.c_str());
        count = ReadPlacementFile(count, path, false, objects, probes, zones, false, -1);
    }
    reader_.ReleaseFileMemory();
    log_.debug("XML Data successfully read and List created.");
    return count;
}

int32_t SceneryFileRegistry::BuildListsFromSdx(int32_t count, StringTripleList& configurations,
                                               SimObjectList& objects, EnviroDataProbeList& probes,
                                               ProtectionZoneList* zones)
{
    if (sdxCfgFiles_.empty()) {
        log_.info("No SDX Files found! Lists are empty.");
        return count;
    }
    const std::string base = ExecutablePathHelper::GetProgramDataFolder();
    for (const std::string& file : sdxCfgFiles_) {
        StringTriple record;
        const int32_t result = ReadSdxCustomConfig(file, record);
        if (result != 0) {
            log_.error("Config File Error [%d]: '%s'", static_cast<int>(result), file.c_str());
            continue;
        }
        // The objects name the configuration by the position its command takes in the list, so the
        // menu finds them even when a configuration before it could not be read.
        const auto position = static_cast<int32_t>(configurations.size());
        const std::string folder = sdxFolder_ + record.first + "\\";
        std::vector<std::string> containers;
        if (!record.first.empty()) FindFiles(folder, "sdx", containers);
        for (const std::string& name : containers) {
            count = ReadPlacementFile(count, base + folder + name, true, objects, probes, zones, record.complete,
                                      position);
        }
        objects.SortByGroupIndex();
        configurations.push_back(record);
    }
    reader_.ReleaseFileMemory();
    return count;
}

int32_t SceneryFileRegistry::ReadSdxCustomConfig(const std::string& fileName, StringTriple& record)
{
    const std::string path = ExecutablePathHelper::GetProgramDataFolder() + cfgFolder_ + fileName;
    log_.debug("Decompiling SDX Custom Config File '%s'", fileName.c_str());
    tinyxml2::XMLDocument document;
    const int32_t result = OpenSdxFile(path, document, fileName);
    if (result != 0) {
        log_.error("Error in decompiling SDX Custom Config!");
        return result;
    }
    const tinyxml2::XMLElement* root = document.FirstChildElement("VELK");
    const tinyxml2::XMLElement* configuration = root ? root->FirstChildElement("CustomConfiguration") : nullptr;
    if (configuration == nullptr) {
        // Still a command of the list (later configurations keep their positions), but one without a
        // folder: no placement files are read for it.
        log_.warn("SDX Custom Config '%s' has no CustomConfiguration element!", fileName.c_str());
        return 0;
    }
    const char* name = configuration->Attribute("Name");
    if (name == nullptr) {
        log_.error("SDX Custom Config '%s' has no CustomConfiguration Name!", fileName.c_str());
        return kNoConfiguration;
    }
    if (!IsPlainFolderName(name)) {
        log_.error("SDX Custom Config '%s': Name '%s' is not a valid folder name!", fileName.c_str(), name);
        return kUnsafeName;
    }
    log_.debug("SDX Custom Configuration valid");
    record.first = name;
    const char* keyStroke = configuration->Attribute("KeyStroke");
    const char* menuTitle = configuration->Attribute("MenuTitle");
    if (keyStroke != nullptr && menuTitle != nullptr) {
        record.second = keyStroke;
        record.third = menuTitle;
        record.complete = true;
        log_.debug("SDX Custom Configuration Data extracted");
    }
    return 0;
}

int32_t SceneryFileRegistry::OpenSdxFile(const std::string& path, tinyxml2::XMLDocument& document,
                                         const std::string& displayName)
{
    const char* shown = displayName.c_str();
    const std::string password = SdxPassword(path);
    ZipHandle* zip = ZipArchive::Open(path.c_str(), password.c_str());

    int32_t result = 1;
    ZipEntry entry;
    ZipArchive::GetItem(zip, -1, &entry);
    if (entry.index != 1) {
        log_.error("Error in SDX Decompilation of '%s' (nItems)!", shown);
    } else if (ZipArchive::GetItem(zip, 0, &entry) != ZipResult::Success || entry.unc_size <= 0 ||
               entry.unc_size > kMaxSdxTextSize) {
        log_.error("Error in SDX Decompilation of '%s' (size)!", shown);
    } else {
        const auto size = static_cast<size_t>(entry.unc_size);
        // One byte more than the text, so the parser always finds its terminator.
        std::unique_ptr<char[]> buffer(new (std::nothrow) char[size + 1]);
        if (!buffer) {
            log_.error("Error in SDX Decompilation of '%s' (nullBuffer)!", shown);
        } else {
            size_t written = 0;
            const uint32_t unzipped = ZipArchive::UnzipItemToMemory(zip, 0, buffer.get(), size, &written);
            if (unzipped != ZipResult::Success || written != size) {
                // Wrong password, damaged data or a size that does not match: nothing half-read is parsed.
                log_.error("Error in SDX Decompilation of '%s' (unzip 0x%X)!", shown, unzipped);
            } else {
                buffer[size] = '\0';
                result = document.Parse(buffer.get());
                if (result == 0) {
                    log_.debug("SDX Decompilation of '%s' successful.", shown);
                } else {
                    log_.error("Error in SDX Decompilation of '%s' (%d)!", shown, static_cast<int>(result));
                }
            }
        }
    }
    if (zip != nullptr) ZipArchive::Close(zip);
    return result;
}

int32_t SceneryFileRegistry::ReadPlacementFile(int32_t count, const std::string& path, bool isSdx,
                                               SimObjectList& objects, EnviroDataProbeList& probes,
                                               ProtectionZoneList* zones, bool configurationComplete,
                                               int32_t configurationIndex)
{
    return reader_.ReadPlacementFile(count, path, isSdx, objects, probes, zones,
                                     static_cast<uint8_t>(configurationComplete ? 1 : 0), configurationIndex);
}
