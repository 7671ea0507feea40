// Any text as a Prepar3D add-ons.cfg and as the add-on.xml of its package folder "C:\Pkg", read
// through the SimObjects folder search's add-on entry point on a temporary machine. The input is the
// add-ons.cfg text, the separator line, then the add-on.xml text; without the separator the whole
// input is both.
//
// Checks: no more folders than active packages times components; a description the XML parser refuses,
// or one that is not an add-on document, gives none; reading twice gives the same; the description
// written as UTF-16 (either byte order, with its mark) gives the same folders as its UTF-8 text.
#include "scenery/SimObjectsFolderManager.h"

#include "fuzz/fuzz_support.h"
#include "fuzz/quiet_log.h"

#include <log4cpp/Category.hh>
#include <log4cpp/Priority.hh>
#include <tinyxml2.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kSeparator = "\n--add-on.xml--\n";
constexpr const char* kAddOnsCfg = "C:\\ProgramData\\Lockheed Martin\\Prepar3D v4\\add-ons.cfg";

std::filesystem::path MachineRoot() { return velk_fuzz::ScratchFolder() / "machine"; }

void WriteHost(const std::filesystem::path& path, std::string_view text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) velk_fuzz::Fail("cannot write a machine file", __FILE__, __LINE__);
}

size_t Occurrences(std::string_view text, std::string_view what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// The code points of strict UTF-8 text; none for anything else (overlong forms, surrogates, cut
// sequences, values past U+10FFFF).
std::optional<std::vector<uint32_t>> DecodeUtf8(std::string_view text)
{
    std::vector<uint32_t> out;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<uint8_t>(text[i]);
        size_t extra = 0;
        uint32_t c = lead;
        uint32_t least = 0;
        if (lead < 0x80) {
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, c = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, c = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, c = lead & 0x07, least = 0x10000;
        } else {
            return std::nullopt;
        }
        if (text.size() - i - 1 < extra) return std::nullopt;
        for (size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            c = (c << 6) | (next & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
        out.push_back(c);
        i += extra + 1;
    }
    return out;
}

std::string EncodeUtf16(const std::vector<uint32_t>& points, bool little)
{
    std::string out;
    auto unit = [&out, little](uint32_t u) {
        const char lo = static_cast<char>(u & 0xFF);
        const char hi = static_cast<char>(u >> 8);
        out += little ? lo : hi;
        out += little ? hi : lo;
    };
    unit(0xFEFF);
    for (uint32_t c : points) {
        if (c < 0x10000) {
            unit(c);
        } else {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

// True when the text is a document the add-on reader takes at all.
bool IsAddOnDocument(std::string_view text)
{
    tinyxml2::XMLDocument document;
    if (document.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) return false;
    const tinyxml2::XMLElement* root = document.FirstChildElement("SimBase.Document");
    const char* type = root != nullptr ? root->Attribute("Type") : nullptr;
    return type != nullptr && std::strcmp(type, "AddOnXml") == 0;
}

SimObjectsFolderManager& Manager()
{
    static SimObjectsFolderManager* manager = [] {
        log4cpp::Category& log = velk_fuzz::QuietLog("VELK.FUZZ.ADDONS");
        return new SimObjectsFolderManager(log, nullptr);  // kept for the whole process
    }();
    return *manager;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::filesystem::create_directories(MachineRoot() / "c" / "ProgramData" / "Lockheed Martin" / "Prepar3D v4");
    std::filesystem::create_directories(MachineRoot() / "c" / "Pkg");
    setenv("VELK_MACHINE_ROOT", MachineRoot().c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find(kSeparator);
    const std::string_view cfg = split == std::string_view::npos ? input : input.substr(0, split);
    const std::string_view xml = split == std::string_view::npos ? input : input.substr(split + kSeparator.size());

    const std::filesystem::path description = MachineRoot() / "c" / "Pkg" / "add-on.xml";
    WriteHost(MachineRoot() / "c" / "ProgramData" / "Lockheed Martin" / "Prepar3D v4" / "add-ons.cfg", cfg);
    WriteHost(description, xml);

    SimObjectsFolderManager& manager = Manager();
    const std::vector<std::string> folders = manager.ReadAddOnPackages(kAddOnsCfg);
    // Each folder comes from a component element; in UTF-16 text its ASCII name shows without the NULs.
    std::string xmlLetters(xml);
    xmlLetters.erase(std::remove(xmlLetters.begin(), xmlLetters.end(), '\0'), xmlLetters.end());
    VELK_FUZZ_CHECK(folders.size() <= Occurrences(cfg, "[") * Occurrences(xmlLetters, "Component"));
    VELK_FUZZ_CHECK(manager.ReadAddOnPackages(kAddOnsCfg) == folders);

    // Text without a UTF-16 mark goes to the parser as it is.
    const uint8_t first = xml.size() >= 2 ? static_cast<uint8_t>(xml[0]) : 0;
    const uint8_t second = xml.size() >= 2 ? static_cast<uint8_t>(xml[1]) : 0;
    const bool marked = (first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF);
    if (!marked && !IsAddOnDocument(xml)) VELK_FUZZ_CHECK(folders.empty());

    // Valid UTF-8 (which never begins with a UTF-16 mark) is what UTF-16 text with its mark stands for.
    if (const std::optional<std::vector<uint32_t>> points = DecodeUtf8(xml)) {
        for (const bool little : {true, false}) {
            WriteHost(description, EncodeUtf16(*points, little));
            VELK_FUZZ_CHECK(manager.ReadAddOnPackages(kAddOnsCfg) == folders);
        }
    }
    return 0;
}
