#include "scenery/SceneryLibrary.h"

#include "platform/profile.h"

#include <log4cpp/Category.hh>

#include <cstring>

namespace {

// The list of section names starts in a buffer this big and grows while it does not fit: a library of
// several hundred areas outgrows it, and an area cut off the list would count as switched off.
constexpr DWORD kSectionListStart = 4096;
// A larger list is cut; scenery.cfg files are a few hundred kilobytes at most.
constexpr DWORD kSectionListLimit = 16u * 1024u * 1024u;
constexpr DWORD kLocalBufferSize = 260;
constexpr DWORD kActiveBufferSize = 16;

log4cpp::Category& Log() { return log4cpp::Category::getInstance("VELK.XML"); }

}  // namespace

void SceneryLibrary::Load(std::string platformId)
{
    platformId_ = std::move(platformId);
    ReadAreaSections();
}

void SceneryLibrary::Clear()
{
    std::vector<std::string>().swap(sections_);
    platformId_.clear();
}

std::string SceneryLibrary::DataFolder() const
{
    if (platformId_ == "FSX") return "C:\\ProgramData\\Microsoft\\FSX\\";
    if (platformId_ == "FSX-SE" || platformId_ == "FSX:SE") return "C:\\ProgramData\\Microsoft\\FSX-SE\\";
    if (platformId_ == "P3Dv2") return "C:\\ProgramData\\Lockheed Martin\\Prepar3D v2\\";
    if (platformId_ == "P3Dv3") return "C:\\ProgramData\\Lockheed Martin\\Prepar3D v3\\";
    return "";
}

void SceneryLibrary::ReadAreaSections()
{
    sections_.clear();
    if (DataFolder().empty()) return;
    const std::string path = ConfigPath();

    std::vector<char> buffer;
    DWORD size = kSectionListStart;
    DWORD length = 0;
    bool cut = false;
    for (;;) {
        buffer.assign(size, '\0');
        length = GetPrivateProfileSectionNamesA(buffer.data(), size, path.c_str());
        // A list that fits leaves room for its two closing NULs; size - 2 may mean it was cut.
        if (length + 2 < size) break;
        if (size >= kSectionListLimit) {
            cut = true;
            break;
        }
        size *= 4;
    }
    if (cut) {
        Log().error("[SCENERY LIBRARY] Section list of '%s' is longer than %u bytes. Areas past the cut count "
                    "as inactive.",
                    path.c_str(), static_cast<unsigned>(kSectionListLimit));
    }

    // NUL-separated names up to an empty one; the file's first section is not an area.
    bool first = true;
    size_t pos = 0;
    while (pos < length) {
        const size_t nameLength = strnlen(buffer.data() + pos, length - pos);
        if (nameLength == 0) break;
        const bool lastOfCutList = cut && pos + nameLength >= length;
        if (!first && !lastOfCutList) sections_.emplace_back(buffer.data() + pos, nameLength);
        first = false;
        pos += nameLength + 1;
    }
}

void SceneryLibrary::FindAreaByLocal(std::string folder)
{
    areaIndex_ = -1;
    // An area without a "Local" key reads as "", which must not stand for an empty folder.
    if (folder.empty()) return;
    const std::string path = ConfigPath();
    char local[kLocalBufferSize];
    for (size_t i = 0; i < sections_.size(); ++i) {
        GetPrivateProfileStringA(sections_[i].c_str(), "Local", "", local, kLocalBufferSize, path.c_str());
        if (folder == local) {
            areaIndex_ = static_cast<int32_t>(i);
            return;
        }
    }
}

bool SceneryLibrary::IsSceneryActive(std::string folder)
{
    FindAreaByLocal(std::move(folder));
    if (areaIndex_ < 0 || static_cast<size_t>(areaIndex_) >= sections_.size()) return false;
    char active[kActiveBufferSize];
    GetPrivateProfileStringA(sections_[static_cast<size_t>(areaIndex_)].c_str(), "Active", "", active,
                             kActiveBufferSize, ConfigPath().c_str());
    return std::strcmp(active, "TRUE") == 0;
}
