// The private-profile (INI) stand-in: the Windows rules the configuration readers rely on.
#include "platform/profile.h"

#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
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
    "[Broken\n"
    "broken=still in Second\n"
    "[odd=key\n"
    "[Third]\n"
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
        {"Second", "broken", "still in Second"},    // "[Broken" has no ']': no section header
        {"Broken", "broken", "DEFAULT"},
        {"Second", "[odd", "key"},                  // nor is "[odd=key": it is a key line
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
        {20, 18, "Main\0Second\0Third\0\0"s},  // fits with a byte to spare
        {19, 17, "Main\0Second\0Third\0\0"s},  // would fill the buffer exactly: counts as cut
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

TEST_F(ProfileTest, ARewrittenFileIsReadAgain)
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
        {"word", 0u},       {"empty", 77u},                    {"missing", 77u},
        {"huge", 1215752191u},       // 99999999999 wraps around in 32 bits, as on Windows
        {"neg", 3079215105u},        // and so does its negative
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetPrivateProfileIntA("N", c.key, 77, kIniPath), c.expected) << c.key;
    }
    EXPECT_EQ(GetPrivateProfileIntA("N", "plain", 77, "C:\\none.ini"), 77u);
}

// ---- Windows conformance: lists that fill the buffer, integers, broken headers ------------------------

TEST_F(ProfileTest, AListThatFillsTheBufferExactlyIsCut)
{
    using namespace std::string_literals;
    MakeFile("c/ProgramData/Test/test.ini", "[Ab]\na=1\nbc=2\n[Cde]\n");
    struct Case {
        const char* name;
        const char* section;  // null: the section names
        DWORD size;
        DWORD length;
        std::string bytes;
    };
    const Case cases[] = {
        {"sections with room", nullptr, 9, 7, "Ab\0Cde\0\0"s},
        {"sections filling the buffer", nullptr, 8, 6, "Ab\0Cde\0\0"s},
        {"sections one byte short", nullptr, 7, 5, "Ab\0Cd\0\0"s},
        {"keys with room", "ab", 7, 5, "a\0bc\0\0"s},
        {"keys filling the buffer", "ab", 6, 4, "a\0bc\0\0"s},
        {"keys one byte short", "ab", 5, 3, "a\0b\0\0"s},
        {"one key filling the buffer", "ab", 3, 1, "a\0\0"s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD length = 0;
        EXPECT_EQ(ReadList(c.section, c.size, &length).substr(0, c.bytes.size()), c.bytes);
        EXPECT_EQ(length, c.length);
    }
    char buffer[8];
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buffer, sizeof buffer, kIniPath), 6u);
    EXPECT_EQ(std::string(buffer, 8), "Ab\0Cde\0\0"s);
}

TEST_F(ProfileTest, IntegersWrapAroundAsOnWindows)
{
    MakeFile("c/ProgramData/Test/test.ini",
             "[N]\n"
             "above=4294967297\nmax=4294967295\nintmax=2147483647\nintmin=-2147483648\nminusone=-1\n"
             "minusabove=-4294967297\nlong=100000000000000000001\nhex=0x1F\nhexupper=0xff\nhexbig=0x100000001\n"
             "hexneg=-0x10\nhexnodigits=0x\nbigx=0X1F\noctal=0o17\nbinary=0b101\nbinarytail=0b102\n"
             "zero=0\nleadingzeros=007\nsignonly=-\nplusminus=+-3\nvtab=\v12\n");
    struct Case {
        const char* key;
        UINT expected;
    };
    const Case cases[] = {
        {"above", 1u},
        {"max", 0xFFFFFFFFu},
        {"intmax", 0x7FFFFFFFu},
        {"intmin", 0x80000000u},
        {"minusone", 0xFFFFFFFFu},
        {"minusabove", 0xFFFFFFFFu},            // -(4294967297 mod 2^32)
        {"long", 1661992961u},                  // 10^20 + 1 mod 2^32
        {"hex", 31u},
        {"hexupper", 255u},                     // hex digits in either case
        {"hexbig", 1u},
        {"hexneg", static_cast<UINT>(-16)},
        {"hexnodigits", 0u},
        {"bigx", 0u},                           // the prefix is "0x" only: "0X1F" reads "0"
        {"octal", 15u},
        {"binary", 5u},
        {"binarytail", 2u},                     // digits end at the first that the base lacks
        {"zero", 0u},
        {"leadingzeros", 7u},
        {"signonly", 0u},
        {"plusminus", 0u},
        {"vtab", 12u},                          // control characters before the number are skipped
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetPrivateProfileIntA("N", c.key, 77, kIniPath), c.expected) << c.key;
    }
}

TEST(ProfileText, AnOpenBracketWithoutCloseIsNoSection)
{
    struct Case {
        const char* name;
        const char* text;
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"lines after it stay in the section before", "[a]\nx=1\n[b\ny=2\n", "a", "y", "2"},
        {"it names no section", "[a]\n[b\ny=2\n", "b", "y", "none"},
        {"with '=' it is a key", "[a]\n[b=c\n", "a", "[b", "c"},
        {"before any section it is ignored", "[b\ny=2\n[a]\n", "b", "y", "none"},
        {"']' later on the line closes it", "[b ; x]\ny=2\n", "b ; x", "y", "2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char buffer[32];
        platform::ProfileStringFromText(c.text, c.section, c.key, "none", buffer, sizeof buffer);
        EXPECT_STREQ(buffer, c.expected);
    }
    using namespace std::string_literals;
    char list[32];
    EXPECT_EQ(platform::ProfileStringFromText("[a]\n[b\n[c]\n", nullptr, nullptr, "", list, sizeof list), 4u);
    EXPECT_EQ(std::string(list, 5), "a\0c\0\0"s);
}

// ---- Line endings and encodings --------------------------------------------------------------------

// The text as UTF-16 with its byte order mark.
std::string Utf16(std::u16string_view text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

TEST_F(ProfileTest, EveryLineEndReadsTheSame)
{
    struct Case {
        const char* name;
        const char* text;
    };
    const Case cases[] = {
        {"CR LF", "[A]\r\nx=1\r\n\r\n[B]\r\ny = two \r\n"},
        {"LF", "[A]\nx=1\n\n[B]\ny = two "},
        {"CR alone", "[A]\rx=1\r\r[B]\ry = two \r"},
        {"mixed", "[A]\rx=1\n\r\n[B]\r\ny = two "},
        {"LF CR", "[A]\n\rx=1\n\r[B]\n\ry = two \n\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeFile("c/ProgramData/Test/test.ini", c.text);
        EXPECT_EQ(Read("A", "x"), "1");
        EXPECT_EQ(Read("B", "y"), "two");
        EXPECT_EQ(Read("A", "y"), "DEFAULT");
    }
}

TEST_F(ProfileTest, Utf16FilesReadAsTheirText)
{
    using namespace std::string_literals;
    // "Zürich" with a CR-alone line, a value beyond the BMP and a lone surrogate.
    const std::u16string text = u"; comment\r\n[Z\u00FCrich]\r\nName = \"Gate \u00E9\" \r\nEmoji=\U0001F600\r"
                                u"Lone=a\xD800z\r\nkey2=\u65E5\u672C\n";
    for (const bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "big endian" : "little endian");
        MakeFile("c/ProgramData/Test/test.ini", Utf16(text, bigEndian) + "\x01"s);  // an odd last byte
        EXPECT_EQ(Read("Z\xC3\xBCrich", "name"), "Gate \xC3\xA9");
        EXPECT_EQ(Read("Z\xC3\xBCrich", "Emoji"), "\xF0\x9F\x98\x80");
        EXPECT_EQ(Read("Z\xC3\xBCrich", "Lone"), "a\xEF\xBF\xBDz");
        EXPECT_EQ(Read("Z\xC3\xBCrich", "key2"), "\xE6\x97\xA5\xE6\x9C\xAC");
        DWORD length = 0;
        EXPECT_EQ(ReadList(nullptr, 12, &length).substr(0, 9), "Z\xC3\xBCrich\0\0"s);
        EXPECT_EQ(length, 8u);
        EXPECT_EQ(GetPrivateProfileIntA("Z\xC3\xBCrich", "key2", 5, kIniPath), 0u);
    }
    // The same from memory; without its byte order mark UTF-16 is only bytes.
    char buffer[32];
    EXPECT_EQ(platform::ProfileStringFromText(Utf16(u"[a]\rb=c\r", false), "a", "b", "", buffer, sizeof buffer), 1u);
    EXPECT_STREQ(buffer, "c");
    EXPECT_EQ(platform::ProfileStringFromText(Utf16(u"[a]\rb=c\r", false).substr(2), "a", "b", "no", buffer,
                                              sizeof buffer),
              2u);
}

// ---- The parse cache -----------------------------------------------------------------------------

class ProfileCacheTest : public ProfileTest {
protected:
    void SetUp() override
    {
        ProfileTest::SetUp();
        platform::ClearProfileCache();
        start_ = platform::ProfileCacheCountersNow();
    }

    // Moves the file's modification time hours back (its stamp can be trusted at once), or ahead.
    void Age(const std::string& relative, int hours = 1) const
    {
        std::filesystem::last_write_time(Host(relative),
                                         std::filesystem::file_time_type::clock::now() - std::chrono::hours(hours));
    }

    uint64_t Reads() const { return platform::ProfileCacheCountersNow().fileReads - start_.fileReads; }
    uint64_t Parses() const { return platform::ProfileCacheCountersNow().parses - start_.parses; }

    // Reads every kind of value once.
    static void ReadAllKinds()
    {
        EXPECT_EQ(Read("Main", "Name"), "Value One");
        EXPECT_EQ(Read("SECOND", "key"), "2");
        EXPECT_EQ(Read("Main", "missing"), "DEFAULT");
        EXPECT_EQ(ReadList(nullptr, 260).substr(0, 19), std::string("Main\0Second\0Third\0\0", 19));
        EXPECT_EQ(ReadList("Third", 260).substr(0, 3), std::string("k\0\0", 3));
        EXPECT_EQ(GetPrivateProfileIntA("Third", "k", 0, kIniPath), 3u);
    }

private:
    platform::ProfileCacheCounters start_;
};

TEST_F(ProfileCacheTest, AFileIsReadAndParsedOnce)
{
    Age("c/ProgramData/Test/test.ini");
    for (int i = 0; i < 20; ++i) ReadAllKinds();
    // Another spelling of the same path finds the same file.
    char buffer[32];
    GetPrivateProfileStringA("main", "name", "", buffer, sizeof buffer, "c:\\PROGRAMDATA\\test\\TEST.INI");
    EXPECT_STREQ(buffer, "Value One");
    EXPECT_EQ(Reads(), 1u);
    EXPECT_EQ(Parses(), 1u);
}

TEST_F(ProfileCacheTest, AYoungFileIsReadAgainButParsedOnce)
{
    // Written just now: a same-size rewrite in the same clock tick would keep its stamp, so its text is
    // checked at every call until it is older than the file times' granularity. (Its time is put ahead
    // so that it stays young however slowly the test runs.)
    Age("c/ProgramData/Test/test.ini", -1);
    for (int i = 0; i < 5; ++i) ReadAllKinds();
    EXPECT_EQ(Reads(), 30u);
    EXPECT_EQ(Parses(), 1u);

    const std::string same = std::string(kIni).replace(std::string(kIni).find("Key=2"), 5, "Key=7");
    MakeFile("c/ProgramData/Test/test.ini", same);  // same size, at once
    EXPECT_EQ(Read("Second", "Key"), "7");
    EXPECT_EQ(Parses(), 2u);

    // Once a read finds it old, its stamp is trusted.
    Age("c/ProgramData/Test/test.ini");
    EXPECT_EQ(Read("Second", "Key"), "7");
    const uint64_t reads = Reads();
    EXPECT_EQ(Read("Second", "Key"), "7");
    EXPECT_EQ(Reads(), reads);
}

// A ProfileFile is the file as the functions read it, taken once: its values cost no further read, also
// of a young file, and a rewrite after it was taken is not seen through it.
TEST_F(ProfileCacheTest, AProfileFileIsTheFileTakenOnce)
{
    Age("c/ProgramData/Test/test.ini", -1);
    const platform::ProfileFile file(kIniPath);
    const auto value = [&](const char* section, const char* key) {
        char buffer[260];
        const DWORD length = file.GetString(section, key, "DEFAULT", buffer, sizeof buffer);
        EXPECT_EQ(length, std::strlen(buffer));
        return std::string(buffer);
    };
    const std::pair<const char*, const char*> reads[] = {
        {"Main", "Name"},     {"MAIN", "quoted"}, {"main", "Extra"},   {"Second", "broken"},
        {"Broken", "broken"}, {"third", "K"},     {"Missing", "Name"}, {"Main", "Missing"}};
    std::vector<std::string> taken;
    for (int i = 0; i < 10; ++i)
        for (const auto& [section, key] : reads) taken.push_back(value(section, key));
    EXPECT_EQ(Reads(), 1u);
    for (size_t i = 0; i < std::size(reads); ++i) {
        SCOPED_TRACE(std::string(reads[i].first) + "/" + reads[i].second);
        EXPECT_EQ(taken[i], Read(reads[i].first, reads[i].second));
    }

    MakeFile("c/ProgramData/Test/test.ini", "[Main]\nName=rewritten\n");
    EXPECT_EQ(Read("Main", "Name"), "rewritten");
    EXPECT_EQ(value("Main", "Name"), "Value One");

    char buffer[16];
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(platform::ProfileFile().GetString("Main", "Name", "none", buffer, sizeof buffer), 4u);
    EXPECT_STREQ(buffer, "none");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ProfileCacheTest, AChangedFileIsReadAgain)
{
    const std::string path = "c/ProgramData/Test/test.ini";
    const std::string same = std::string(kIni).replace(std::string(kIni).find("Key=2"), 5, "Key=7");
    struct Case {
        const char* name;
        std::function<void()> change;
        const char* expected;
    };
    const Case cases[] = {
        {"other size", [&] { MakeFile(path, "[Second]\nKey=changed\n"); Age(path); }, "changed"},
        {"same size, other time", [&] { MakeFile(path, same); Age(path, 2); }, "7"},
        {"replaced by another file of the same size and time",
         [&] {
             const auto time = std::filesystem::last_write_time(Host(path));
             MakeFile("c/ProgramData/Test/new.ini", same);
             std::filesystem::last_write_time(Host("c/ProgramData/Test/new.ini"), time);
             std::filesystem::rename(Host("c/ProgramData/Test/new.ini"), Host(path));
         },
         "7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeFile(path, kIni);
        Age(path);
        EXPECT_EQ(Read("Second", "Key"), "2");
        EXPECT_EQ(Read("Second", "Key"), "2");
        c.change();
        EXPECT_EQ(Read("Second", "Key"), c.expected);
    }
}

TEST_F(ProfileCacheTest, AFileThatIsGoneIsNotReadFromTheCache)
{
    const std::string path = "c/ProgramData/Test/test.ini";
    Age(path);
    EXPECT_EQ(Read("Second", "Key"), "2");
    std::filesystem::remove(Host(path));
    SetLastError(0);
    EXPECT_EQ(Read("Second", "Key"), "DEFAULT");
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    MakeFolder(path);  // a folder of the same name
    EXPECT_EQ(Read("Second", "Key"), "DEFAULT");
    EXPECT_EQ(ReadList(nullptr, 4).substr(0, 2), std::string("\0\0", 2));
}

TEST_F(ProfileCacheTest, TheCacheKeepsABoundedNumberOfFiles)
{
    constexpr int kFiles = 200;
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < kFiles; ++i) {
            const std::string name = "f" + std::to_string(i) + ".ini";
            if (round == 0) MakeFile("c/ProgramData/Many/" + name, "[S]\nv=" + std::to_string(i) + "\n");
            const std::string path = "C:\\ProgramData\\Many\\" + name;
            EXPECT_EQ(GetPrivateProfileIntA("S", "v", -1, path.c_str()), static_cast<UINT>(i));
        }
    }
    const size_t kept = platform::ProfileCacheCountersNow().cachedFiles;
    EXPECT_GT(kept, 0u);
    EXPECT_LE(kept, 64u);
}

TEST_F(ProfileCacheTest, ThreadsReadTogether)
{
    // Two old files and one just written, read from several threads at once, one file rewritten meanwhile.
    MakeFile("c/ProgramData/Test/a.ini", "[S]\nv=1\n");
    MakeFile("c/ProgramData/Test/b.ini", "[S]\nv=2\n");
    Age("c/ProgramData/Test/a.ini");
    Age("c/ProgramData/Test/b.ini");
    std::atomic<int> wrong {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&wrong] {
            for (int i = 0; i < 300; ++i) {
                if (GetPrivateProfileIntA("S", "v", 0, "C:\\ProgramData\\Test\\a.ini") != 1) ++wrong;
                if (GetPrivateProfileIntA("S", "v", 0, "C:\\ProgramData\\Test\\b.ini") != 2) ++wrong;
                const std::string value = Read("Second", "Key");
                if (value != "2" && value != "7") ++wrong;
                if (i % 50 == 0) platform::ClearProfileCache();
            }
        });
    }
    const std::string same = std::string(kIni).replace(std::string(kIni).find("Key=2"), 5, "Key=7");
    for (int i = 0; i < 20; ++i) {
        const std::string next = std::string(i % 2 == 0 ? same : kIni);
        const std::filesystem::path temp = Host("c/ProgramData/Test/next.tmp");
        std::ofstream(temp, std::ios::binary).write(next.data(), static_cast<std::streamsize>(next.size()));
        std::filesystem::rename(temp, Host("c/ProgramData/Test/test.ini"));
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
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
