// The private-profile (INI) stand-in: the Windows rules the configuration readers rely on.
#include "platform/profile.h"

#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

using testsupport::MachineRootTest;

const char* const kIniPath = "C:\\ProgramData\\Test\\test.ini";

// A BOM, CR LF and LF lines mixed, duplicates, comments, quotes and odd lines.
const char* const kIni =
    "\xEF\xBB\xBF[Main]\r\n"
    "Name = Value One \r\n"
    "quoted=\"  spaced  \"\r\n"
    "single='x'\r\n"
    "mismatch=\"abc'\r\n"
    "onequote=\"\r\n"
    "inline=abc ; not a comment\r\n"
    "  ; indented comment=yes\r\n"
    ";Commented=1\r\n"
    "NAME=second of a name\r\n"
    "novalue line\r\n"
    "empty=\r\n"
    "tabs=\tt v\t\r\n"
    "equals=a=b\n"
    "SimObjectPaths.0=SimObjects\\Airplanes\n"
    "[main]\n"
    "Name=from a repeated section\n"
    "Extra=only in the repeated section\n"
    "  [ Second ]  trailing text\n"
    "Key=2\n"
    "[Third\n"
    "k=3\n"
    "[]\n"
    "=no name\n";

class ProfileTest : public MachineRootTest {
protected:
    void SetUp() override
    {
        MachineRootTest::SetUp();
        MakeFile("c/ProgramData/Test/test.ini", kIni);
    }

    static std::string Read(const char* section, const char* key, const char* fallback = "DEFAULT")
    {
        char buffer[260];
        const DWORD length = GetPrivateProfileStringA(section, key, fallback, buffer, sizeof buffer, kIniPath);
        EXPECT_EQ(length, std::strlen(buffer));
        return buffer;
    }

    // The whole buffer after asking for a list (section null: the section names).
    static std::string ReadList(const char* section, DWORD size, DWORD* length = nullptr)
    {
        std::vector<char> buffer(size + 8, '#');
        const DWORD result = GetPrivateProfileStringA(section, nullptr, "", buffer.data(), size, kIniPath);
        if (length != nullptr) *length = result;
        EXPECT_EQ(buffer[size], '#') << "written past the buffer";
        return std::string(buffer.data(), size);
    }
};

TEST_F(ProfileTest, ValuesFollowTheWindowsRules)
{
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"Main", "Name", "Value One"},               // trimmed
        {"MAIN", "NAME", "Value One"},               // names without regard to case; first key wins
        {"Main", "quoted", "  spaced  "},            // one pair of quotes removed, inside kept
        {"Main", "single", "x"},
        {"Main", "mismatch", "\"abc'"},              // quotes must match
        {"Main", "onequote", "\""},
        {"Main", "inline", "abc ; not a comment"},   // no inline comments
        {"Main", "; indented comment", "DEFAULT"},   // comment lines
        {"Main", ";Commented", "DEFAULT"},
        {"Main", "novalue line", "DEFAULT"},         // a line without '='
        {"Main", "empty", ""},                       // present and empty: not the default
        {"Main", "tabs", "t v"},
        {"Main", "equals", "a=b"},
        {"main", "simobjectpaths.0", "SimObjects\\Airplanes"},
        {"Main", "Extra", "DEFAULT"},                // the repeated section is never read
        {"Second", "key", "2"},
        {"third", "K", "3"},
        {"Missing", "Name", "DEFAULT"},
        {"Main", "Missing", "DEFAULT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(Read(c.section, c.key), c.expected);
    }
}

TEST_F(ProfileTest, DefaultsAndLastError)
{
    SetLastError(0);
    EXPECT_EQ(Read("Main", "Missing", "abc  "), "abc");  // the default loses its trailing blanks
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Read("Main", "Missing", nullptr), "");
    EXPECT_EQ(Read("Main", "Name"), "Value One");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

    char buffer[16] = "garbage";
    SetLastError(0);
    EXPECT_EQ(GetPrivateProfileStringA("Main", "Name", "dflt", buffer, sizeof buffer, "C:\\ProgramData\\none.ini"), 4u);
    EXPECT_STREQ(buffer, "dflt");
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetPrivateProfileStringA("Main", "Name", "dflt", buffer, sizeof buffer, nullptr), 4u);

    // A list from a missing file or section is empty.
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "dflt", buffer, sizeof buffer, "C:\\none.ini"), 0u);
    EXPECT_EQ(std::string(buffer, 2), std::string("\0\0", 2));
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileStringA("Nope", nullptr, "dflt", buffer, sizeof buffer, kIniPath), 0u);
    EXPECT_EQ(std::string(buffer, 2), std::string("\0\0", 2));
}

TEST_F(ProfileTest, ValueTruncation)
{
    struct Case {
        DWORD size;
        DWORD length;
        const char* text;
    };
    const Case cases[] = {{10, 9, "Value One"}, {9, 8, "Value On"}, {5, 4, "Valu"}, {2, 1, "V"}, {1, 0, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(GetPrivateProfileStringA("Main", "Name", "", buffer, c.size, kIniPath), c.length);
        EXPECT_STREQ(buffer, c.text);
        EXPECT_EQ(buffer[c.size], '#');
    }
    // The default is cut the same way.
    char buffer[4];
    EXPECT_EQ(GetPrivateProfileStringA("Main", "Missing", "long default", buffer, sizeof buffer, kIniPath), 3u);
    EXPECT_STREQ(buffer, "lon");

    char untouched = '#';
    EXPECT_EQ(GetPrivateProfileStringA("Main", "Name", "", &untouched, 0, kIniPath), 0u);
    EXPECT_EQ(untouched, '#');
    EXPECT_EQ(GetPrivateProfileStringA("Main", "Name", "", nullptr, 260, kIniPath), 0u);
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", nullptr, 260, kIniPath), 0u);
}

TEST_F(ProfileTest, SectionAndKeyLists)
{
    using namespace std::string_literals;
    DWORD length = 0;
    EXPECT_EQ(ReadList(nullptr, 260, &length).substr(0, 19), "Main\0Second\0Third\0\0"s);
    EXPECT_EQ(length, 18u);
    const std::string keys = "Name\0quoted\0single\0mismatch\0onequote\0inline\0empty\0tabs\0equals\0SimObjectPaths.0\0\0"s;
    EXPECT_EQ(ReadList("MAIN", 260, &length).substr(0, keys.size()), keys);
    EXPECT_EQ(length, keys.size() - 1);

    char buffer[260];
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buffer, sizeof buffer, kIniPath), 18u);
    EXPECT_EQ(std::string(buffer, 19), "Main\0Second\0Third\0\0"s);
}

TEST_F(ProfileTest, ListTruncationEndsWithTwoNuls)
{
    using namespace std::string_literals;
    struct Case {
        DWORD size;
        DWORD length;
        std::string bytes;
    };
    const Case cases[] = {
        {19, 18, "Main\0Second\0Third\0\0"s},  // fits exactly
        {18, 16, "Main\0Second\0Thir\0\0"s},
        {12, 10, "Main\0Secon\0\0"s},
        {8, 6, "Main\0S\0\0"s},
        {6, 4, "Main\0\0"s},
        {2, 0, "\0\0"s},
        {1, 0, "\0"s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        DWORD length = 0;
        EXPECT_EQ(ReadList(nullptr, c.size, &length).substr(0, c.bytes.size()), c.bytes);
        EXPECT_EQ(length, c.length);
    }
}

TEST_F(ProfileTest, LongListIsCutToTheBuffer)
{
    std::string ini;
    for (int i = 0; i < 10000; ++i) ini += "[S" + std::to_string(10000 + i) + "]\nk=v\n";
    MakeFile("c/ProgramData/Test/test.ini", ini);

    std::vector<char> buffer(65536 + 16, '#');
    const DWORD length = GetPrivateProfileStringA(nullptr, nullptr, "", buffer.data(), 65536, kIniPath);
    EXPECT_EQ(length, 65534u);
    EXPECT_EQ(buffer[65534], '\0');
    EXPECT_EQ(buffer[65535], '\0');
    EXPECT_EQ(buffer[65536], '#');
    // Every whole name before the cut arrives intact.
    size_t count = 0;
    for (const char* p = buffer.data(); *p != '\0'; p += std::strlen(p) + 1) {
        if (std::strlen(p) == 6) {
            EXPECT_EQ(std::string(p), "S" + std::to_string(10000 + count));
        }
        ++count;
    }
    EXPECT_EQ(count, 65534u / 7);  // the cut falls between two names here
}

TEST_F(ProfileTest, LineEndingsDoNotMatter)
{
    MakeFile("c/ProgramData/Test/test.ini", "[A]\r\nx=1\r\n\r\n[B]\r\ny = two \r\n");
    EXPECT_EQ(Read("A", "x"), "1");
    EXPECT_EQ(Read("B", "y"), "two");
    MakeFile("c/ProgramData/Test/test.ini", "[A]\nx=1\n\n[B]\ny = two ");
    EXPECT_EQ(Read("A", "x"), "1");
    EXPECT_EQ(Read("B", "y"), "two");
}

TEST_F(ProfileTest, TheFileIsReadAgainAtEveryCall)
{
    EXPECT_EQ(Read("Second", "Key"), "2");
    MakeFile("c/ProgramData/Test/test.ini", "[Second]\nKey=changed\n");
    EXPECT_EQ(Read("Second", "Key"), "changed");
}

TEST_F(ProfileTest, IntegerValues)
{
    MakeFile("c/ProgramData/Test/test.ini",
             "[N]\nplain=42\nsigned=  -7 \nplus=+5\ntail=12abc\nword=abc\nempty=\nhuge=99999999999\nneg=-99999999999\n");
    struct Case {
        const char* key;
        UINT expected;
    };
    const Case cases[] = {
        {"plain", 42u},     {"signed", static_cast<UINT>(-7)}, {"plus", 5u},    {"tail", 12u},
        {"word", 0u},       {"empty", 77u},                    {"missing", 77u}, {"huge", static_cast<UINT>(INT_MAX)},
        {"neg", static_cast<UINT>(INT_MIN)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetPrivateProfileIntA("N", c.key, 77, kIniPath), c.expected) << c.key;
    }
    EXPECT_EQ(GetPrivateProfileIntA("N", "plain", 77, "C:\\none.ini"), 77u);
}

TEST(ProfileText, WorksOnTextInMemory)
{
    char buffer[32];
    EXPECT_EQ(platform::ProfileStringFromText("[a]\nb=c\n", "A", "B", "", buffer, sizeof buffer), 1u);
    EXPECT_STREQ(buffer, "c");
    // Nothing before the first section counts, and hostile text is just text.
    EXPECT_EQ(platform::ProfileStringFromText("b=early\n[a]\n", "a", "b", "d", buffer, sizeof buffer), 1u);
    EXPECT_STREQ(buffer, "d");
    const std::string binary("[\0]\n\0=\0\n[", 9);
    EXPECT_LT(platform::ProfileStringFromText(binary, nullptr, nullptr, "", buffer, sizeof buffer), sizeof buffer);
}

}  // namespace
