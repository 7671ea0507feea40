// Prepar3D add-on packages: which SimObject folders the add-on.xml of each active package declares, and
// what a broken or hostile package description does.
#include "folders_fixture.h"

namespace {

using folders_testing::FoldersTest;
using folders_testing::Strings;

class FoldersAddOnTest : public FoldersTest {
protected:
    const std::string cfg_ = "C:\\Cfg\\add-ons.cfg";

    // add-ons.cfg with one active package at the folder, whose add-on.xml is the text.
    Strings ReadPackage(const std::string& folder, const std::string& xml)
    {
        Write(cfg_, "[Package.0]\r\nPath=" + folder + "\r\nActive=true\r\n");
        if (!xml.empty()) {
            // A folder without a drive lies in the current folder, C:\.
            std::string file = folder.find(':') == std::string::npos ? "C:\\" + folder : folder;
            while (!file.empty() && file.back() == '\\') file.pop_back();
            Write(file + "\\add-on.xml", xml);
        }
        return Manager().ReadAddOnPackages(cfg_);
    }

    static std::string Document(const std::string& components)
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SimBase.Document Type=\"AddOnXml\" version=\"4,0\" "
               "id=\"add-on\">\n<AddOn.Name>Pkg</AddOn.Name>\n" +
               components + "</SimBase.Document>\n";
    }
    static std::string Component(const std::string& category, const std::string& path,
                                 const std::string& element = "AddOn.Component")
    {
        return "<" + element + "><Category>" + category + "</Category><Path>" + path + "</Path></" + element + ">\n";
    }
};

TEST_F(FoldersAddOnTest, ComponentPathsAreCompletedFromThePackageFolder)
{
    struct Case {
        const char* package;
        const char* path;
        const char* expected; // "" for nothing added
        const char* line;
    };
    const Case cases[] = {
        {"C:\\Addons\\Pkg", "..\\Shared/Objects\\", "C:\\Addons\\Shared\\Objects",
         "DEBUG Found relative subfolder definition '..\\Shared\\Objects\\'"},
        {"C:\\Addons\\Pkg", ".\\SimObjects", "C:\\Addons\\Pkg\\SimObjects",
         "DEBUG Found relative basefolder definition '.\\SimObjects'"},
        {"C:\\Addons\\Pkg", "SimObjects", "C:\\Addons\\Pkg\\SimObjects",
         "DEBUG Found relative basefolder definition 'SimObjects'"},
        {"C:\\Addons\\Pkg", "/SimObjects/Gates//", "C:\\Addons\\Pkg\\SimObjects\\Gates", ""},
        {"C:\\Addons\\Pkg", "D:\\Lib\\SimObjects\\", "D:\\Lib\\SimObjects\\",
         "DEBUG > Adding SimObject Path 'D:\\Lib\\SimObjects\\'"},
        {"C:\\Addons\\Pkg", "\\D:/Lib", "D:\\Lib", ""},
        {"C:\\Addons\\Pkg", "..\\..\\Lib", "C:\\Addons\\..\\Lib", ""},
        // A package folder written with a trailing "\" gives the same folders.
        {"C:\\Addons\\Pkg\\", "..\\Shared", "C:\\Addons\\Shared", ""},
        {"C:\\Addons\\Pkg\\", "SimObjects", "C:\\Addons\\Pkg\\SimObjects", ""},
        // A package folder without any "\" cannot anchor a relative path.
        {"Pkg", "SimObjects", "", ""},
        {"Pkg", "..\\Shared", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.package) + " + " + c.path);
        ClearLog();
        const Strings found = ReadPackage(c.package, Document(Component("SimObjects", c.path)));
        EXPECT_EQ(found, *c.expected ? Strings{c.expected} : Strings{});
        if (*c.line) {
            EXPECT_TRUE(Logged(c.line));
        }
        if (*c.expected) {
            EXPECT_TRUE(Logged(std::string("DEBUG > Adding SimObject Path '") + c.expected + "'"));
        }
    }
}

// UTF-8 text as UTF-16 with a byte order mark, the way some installers write add-on.xml.
std::string Utf16WithMark(const std::string& utf8, bool bigEndian)
{
    std::string out;
    auto put = [&out, bigEndian](uint32_t unit) {
        const char lo = static_cast<char>(unit & 0xFF);
        const char hi = static_cast<char>(unit >> 8);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    put(0xFEFF);
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<uint8_t>(utf8[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        uint32_t c = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
        for (size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<uint8_t>(utf8[i + k]) & 0x3F);
        i += length;
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

// A description written as UTF-16 (either byte order) reads as its UTF-8 form does, characters
// beyond ASCII and beyond the 16-bit range included; paths come out in UTF-8.
TEST_F(FoldersAddOnTest, Utf16DescriptionsWithAByteOrderMarkAreRead)
{
    // "Gebäude\✈ Gates 🛫": two-byte, three-byte and four-byte (surrogate pair) characters.
    const std::string folder = "Geb\xC3\xA4ude\\\xE2\x9C\x88 Gates \xF0\x9F\x9B\xAB";
    const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                             "<SimBase.Document Type=\"AddOnXml\" version=\"4,0\" id=\"add-on\">\r\n"
                             "<AddOn.Name>P\xC3\xA4" "ckchen</AddOn.Name>\r\n" +
                             Component("SimObjects", folder) + Component("SimObjects", "D:\\Lib") +
                             "</SimBase.Document>\r\n";
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"UTF-16, little-endian", Utf16WithMark(utf8, false)},
        {"UTF-16, big-endian", Utf16WithMark(utf8, true)},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + utf8},
        {"UTF-8", utf8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearLog();
        EXPECT_EQ(ReadPackage("C:\\Addons\\Pkg", c.bytes), (Strings{"C:\\Addons\\Pkg\\" + folder, "D:\\Lib"}));
        EXPECT_TRUE(Logged("DEBUG Extracting SimObject Paths from 'C:\\Addons\\Pkg\\add-on.xml'"));
    }
}

TEST_F(FoldersAddOnTest, OnlySimObjectsComponentsWithAPathAreTaken)
{
    const std::string xml =
        Document(Component("SimObjects", "A") + Component("Simobjects", "B") + Component("simobjects", "C") +
                 Component("simObjects", "D") + Component("SIMOBJECTS", "E") + Component("Scenery", "F") +
                 Component(" SimObjects", "G") + Component("", "H") +
                 "<AddOn.Component><Category>SimObjects</Category></AddOn.Component>\n"
                 "<AddOn.Component><Category>SimObjects</Category><Path/></AddOn.Component>\n"
                 "<AddOn.Component><Path>I</Path></AddOn.Component>\n");
    EXPECT_EQ(ReadPackage("C:\\Addons\\Pkg", xml),
              (Strings{"C:\\Addons\\Pkg\\A", "C:\\Addons\\Pkg\\B", "C:\\Addons\\Pkg\\C", "C:\\Addons\\Pkg\\D"}));
    EXPECT_TRUE(Logged("DEBUG Extracting SimObject Paths from 'C:\\Addons\\Pkg\\add-on.xml'"));
}

TEST_F(FoldersAddOnTest, OtherComponentSpellingIsReadOnlyWithoutTheUsualOne)
{
    const std::string both =
        Document(Component("SimObjects", "Usual") + Component("SimObjects", "Other", "Addon.Component"));
    EXPECT_EQ(ReadPackage("C:\\Addons\\Pkg", both), Strings{"C:\\Addons\\Pkg\\Usual"});

    const std::string otherOnly = Document(Component("SimObjects", "One", "Addon.Component") + "<Foo/>\n" +
                                           Component("SimObjects", "Two", "Addon.Component"));
    EXPECT_EQ(ReadPackage("C:\\Addons\\Pkg", otherOnly), (Strings{"C:\\Addons\\Pkg\\One", "C:\\Addons\\Pkg\\Two"}));
}

TEST_F(FoldersAddOnTest, PackagesAreTakenInFileOrderWhenActive)
{
    Write(cfg_, "[Discovery.0]\r\nPath=C:\\Nope\r\nActive=true\r\n"
                "[Package.2]\r\nPath=C:\\B\r\nActive=TRUE\r\n"
                "[Package.0]\r\nPath=C:\\A\r\nActive=true\r\n"
                "[Package.1]\r\nPath=C:\\Off\r\nActive=false\r\n"
                "[Package.3]\r\nPath=C:\\NoFlag\r\n");
    for (const char* folder : {"C:\\Nope", "C:\\B", "C:\\A", "C:\\Off", "C:\\NoFlag"})
        Write(std::string(folder) + "\\add-on.xml", Document(Component("SimObjects", "S")));
    EXPECT_EQ(Manager().ReadAddOnPackages(cfg_), (Strings{"C:\\B\\S", "C:\\A\\S"}));
}

TEST_F(FoldersAddOnTest, BrokenDescriptionsAreSkippedWithTheirMessage)
{
    struct Case {
        const char* name;
        std::string xml;  // "" for no file at all
        std::string line; // "" for a silent skip
    };
    const std::string description = "C:\\Addons\\Pkg\\add-on.xml";
    const Case cases[] = {
        {"missing file", "", "ERROR Failed to load xml file '" + description + "' (Code=3)"},
        {"not xml", "\x01\x02garbage<<<", "ERROR Failed to load xml file '" + description + "' (Code="},
        {"empty file", " ", "ERROR Failed to load xml file '" + description + "' (Code=13)"},
        {"unclosed", "<SimBase.Document Type=\"AddOnXml\"><AddOn.Component>",
         "ERROR Failed to load xml file '" + description + "' (Code="},
        {"too deep", std::string(5000, '<') + "a>", "ERROR Failed to load xml file '" + description + "' (Code="},
        {"other root", "<Document Type=\"AddOnXml\"/>",
         "WARN '" + description + "' is not a valid P3D Add-On xml file! Ignoring..."},
        {"other type", "<SimBase.Document Type=\"Mission\">" + Component("SimObjects", "S") + "</SimBase.Document>",
         "WARN 'C:\\Addons\\Pkg' is not a valid P3D Add-On xml file! Ignoring..."},
        {"type differs in case", "<SimBase.Document Type=\"addonxml\"/>",
         "WARN 'C:\\Addons\\Pkg' is not a valid P3D Add-On xml file! Ignoring..."},
        {"no type", "<SimBase.Document>" + Component("SimObjects", "S") + "</SimBase.Document>", ""},
        // Text that claims UTF-16 by its mark but cannot be.
        {"UTF-16 of an odd length", Utf16WithMark(Document(Component("SimObjects", "S")), false) + "x",
         "ERROR Failed to load xml file '" + description + "' (Code="},
        {"UTF-16 with a lone low surrogate",
         Utf16WithMark("<SimBase.Document Type=\"AddOnXml\"/>", true) + std::string("\xDC\x00", 2),
         "ERROR Failed to load xml file '" + description + "' (Code="},
        {"UTF-16 ending inside a surrogate pair", Utf16WithMark("<a/>", false) + std::string("\x3D\xD8", 2),
         "ERROR Failed to load xml file '" + description + "' (Code="},
        {"UTF-16 with a high surrogate before a plain character",
         Utf16WithMark("<a>", false) + std::string("\x3D\xD8\x41\x00", 4) + Utf16WithMark("</a>", false).substr(2),
         "ERROR Failed to load xml file '" + description + "' (Code="},
        {"UTF-16 mark alone", std::string("\xFF\xFE", 2), "ERROR Failed to load xml file '" + description + "' (Code="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        const Strings found = ReadPackage("C:\\Addons\\Pkg", c.xml);
        EXPECT_TRUE(found.empty());
        if (c.line.empty()) {
            EXPECT_FALSE(Logged("DEBUG Extracting SimObject Paths from '" + description + "'"));
            for (const std::string& line : Lines()) EXPECT_EQ(line.rfind("DEBUG", 0), 0u) << line;
        } else {
            bool seen = false;
            for (const std::string& line : Lines()) seen = seen || line.rfind(c.line, 0) == 0;
            EXPECT_TRUE(seen) << c.line;
        }
    }
}

// A package description bigger than any real one is refused before it is read into memory.
TEST_F(FoldersAddOnTest, HugeDescriptionIsRefused)
{
    std::string xml = Document(Component("SimObjects", "S"));
    xml.insert(xml.find("<AddOn.Name>"), std::string(SimObjectsFolderManager::kMaxAddOnXmlBytes, ' '));
    EXPECT_TRUE(ReadPackage("C:\\Addons\\Pkg", xml).empty());
    EXPECT_TRUE(Logged("ERROR Failed to load xml file 'C:\\Addons\\Pkg\\add-on.xml' (Code=5)"));
}

// A broken package does not keep the next one from being read.
TEST_F(FoldersAddOnTest, NextPackageIsReadAfterABrokenOne)
{
    Write(cfg_, "[Package.0]\r\nPath=C:\\Bad\r\nActive=true\r\n[Package.1]\r\nPath=C:\\Good\r\nActive=true\r\n");
    Write("C:\\Bad\\add-on.xml", "<SimBase.Document Type=\"AddOnXml\">");
    Write("C:\\Good\\add-on.xml", Document(Component("SimObjects", "S")));
    EXPECT_EQ(Manager().ReadAddOnPackages(cfg_), Strings{"C:\\Good\\S"});
}

TEST_F(FoldersAddOnTest, MissingConfigurationGivesNothing)
{
    EXPECT_TRUE(Manager().ReadAddOnPackages("C:\\Nowhere\\add-ons.cfg").empty());
    EXPECT_TRUE(Logged("DEBUG 'C:\\Nowhere\\add-ons.cfg' does not exist! Extraction of Add-On Package Paths not "
                       "performed..."));
}

} // namespace
