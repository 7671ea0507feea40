#include "scenery/MDLFile.h"

#include "tests/platform/media_riff_builder.h"
#include "tests/platform/media_temp_machine.h"
#include "tests/support/CaseNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using testing_riff::Bytes;
using testing_riff::Put32;
using testing_riff::PutTag;

// A chunk as model files lay them out: tag, size, data, and no pad byte.
Bytes Raw(const std::string& tag, uint32_t size, const Bytes& data)
{
    Bytes out;
    PutTag(out, tag);
    Put32(out, size);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes Raw(const std::string& tag, const Bytes& data)
{
    return Raw(tag, static_cast<uint32_t>(data.size()), data);
}

Bytes Radius(float radius)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &radius, sizeof bits);
    Bytes out;
    Put32(out, bits);
    return out;
}

const Bytes kGuidBytes = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                          0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
const char* const kGuidText = "33221100-5544-7766-8899-aabbccddeeff";

// The chunks of a model header in file order; a case removes, replaces or inserts some.
struct Model {
    std::string riffTag = "RIFF";
    std::string form = "MDLX";
    std::vector<Bytes> chunks = {
        Raw("MDLH", Bytes(8, 0xA1)),
        Raw("MDLG", kGuidBytes),
        Raw("MDLN", Bytes{'g', 'a', 't', 'e', 0}),
        Raw("PARA", Bytes(6, 0xA2)),
        Raw("BBOX", Bytes(24, 0xA3)),
        Raw("RADI", Radius(12.5f)),
    };

    Model& Replace(size_t at, const Bytes& chunk)
    {
        chunks[at] = chunk;
        return *this;
    }
    Model& Insert(size_t at, const Bytes& chunk)
    {
        chunks.insert(chunks.begin() + static_cast<std::ptrdiff_t>(at), chunk);
        return *this;
    }
    Model& Remove(size_t at)
    {
        chunks.erase(chunks.begin() + static_cast<std::ptrdiff_t>(at));
        return *this;
    }
    Model& Form(const std::string& type)
    {
        form = type;
        return *this;
    }
    Model& Tag(const std::string& tag)
    {
        riffTag = tag;
        return *this;
    }
    // The model data that follow the header chunks.
    Model& Append(const Bytes& tail)
    {
        chunks.push_back(tail);
        return *this;
    }

    Bytes Build() const
    {
        Bytes body;
        PutTag(body, form);
        for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
        Bytes out;
        PutTag(out, riffTag);
        Put32(out, static_cast<uint32_t>(body.size()));
        out.insert(out.end(), body.begin(), body.end());
        return out;
    }
};

enum Index { kMdlh, kMdlg, kMdln, kPara, kBbox, kRadi };

std::string NoSection(const std::string& tag)
{
    return "-> Error: RIFF file has no '" + tag + "' section! <<<---\n";
}

std::string Truncated(const std::string& tag)
{
    return "-> Error: RIFF file has a truncated '" + tag + "' section! <<<---\n";
}

class MDLFileTest : public ::testing::Test {
protected:
    // Reads the bytes as C:\models\<name> and returns what the reader wrote to standard output.
    std::string Read(const Bytes& bytes, bool& result, const std::string& name = "test.mdl")
    {
        const std::string path = machine_.Write("models/" + name, bytes);
        return ReadPath(path, result);
    }

    std::string ReadPath(const std::string& path, bool& result)
    {
        ::testing::internal::CaptureStdout();
        result = mdl_.ReadHeader(path);
        return ::testing::internal::GetCapturedStdout();
    }

    testing_riff::TempMachine machine_;
    MDLFile mdl_;
};

struct HeaderCase {
    const char* name;
    Model model;
    bool valid;
    std::string output;  // "%s" stands for the file's path
};

class MDLFileLayoutTest : public MDLFileTest, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(MDLFileLayoutTest, ReadsOrRejectsTheHeader)
{
    bool result = false;
    const std::string output = Read(GetParam().model.Build(), result);
    std::string expected = GetParam().output;
    if (const auto at = expected.find("%s"); at != std::string::npos)
        expected.replace(at, 2, "C:\\models\\test.mdl");
    EXPECT_EQ(result, GetParam().valid);
    EXPECT_EQ(mdl_.IsValid(), GetParam().valid);
    EXPECT_EQ(output, expected);
    if (GetParam().valid) {
        EXPECT_EQ(mdl_.GetGuidText(), kGuidText);
        EXPECT_EQ(mdl_.GetRadius(), 12.5f);
    }
}

const char* const kNotMdl = "Error: RIFF file but not a FSX/P3D MDL file (%s)\n";

INSTANTIATE_TEST_SUITE_P(
    Layouts, MDLFileLayoutTest,
    ::testing::Values(
        HeaderCase{"PlainMdlx", Model(), true, ""},
        HeaderCase{"FormPv20", Model().Form("PV20"), true, ""},
        HeaderCase{"FormPv45", Model().Form("PV45"), true, ""},
        HeaderCase{"FormPv4Anything", Model().Form("PV4z"), true, ""},
        HeaderCase{"ModelDataAfterHeader", Model().Append(Raw("LODT", Bytes(100, 7))), true, ""},
        HeaderCase{"WithSmap", Model().Insert(kPara, Raw("SMAP", Bytes{1, 2})), true, ""},
        HeaderCase{"SmapSizeIgnored", Model().Insert(kPara, Raw("SMAP", 4000, Bytes{1, 2})), true, ""},
        HeaderCase{"WithCras", Model().Insert(kBbox, Raw("CRAS", Bytes(300, 9))), true, ""},
        HeaderCase{"WithSmapAndCras",
                   Model().Insert(kBbox, Raw("CRAS", Bytes(4, 9))).Insert(kPara, Raw("SMAP", Bytes{1, 2})), true, ""},
        HeaderCase{"MdlhSizeIgnored", Model().Replace(kMdlh, Raw("MDLH", 0, Bytes(8, 1))), true, ""},
        HeaderCase{"RadiSizeIgnored", Model().Replace(kRadi, Raw("RADI", 0, Radius(12.5f))), true, ""},
        HeaderCase{"EmptyPara", Model().Replace(kPara, Raw("PARA", Bytes{})), true, ""},
        HeaderCase{"LongMdlg", Model().Replace(kMdlg, Raw("MDLG", [] {
                                                   Bytes b = kGuidBytes;
                                                   b.resize(40, 0x55);
                                                   return b;
                                               }())),
                   true, ""},
        HeaderCase{"NotRiff", Model().Tag("RIFX"), false, ""},
        HeaderCase{"FormPv30", Model().Form("PV30"), false, kNotMdl},
        HeaderCase{"FormWave", Model().Form("WAVE"), false, kNotMdl},
        HeaderCase{"FormLowerCase", Model().Form("mdlx"), false, kNotMdl},
        HeaderCase{"FormPv2OtherThan0", Model().Form("PV21"), false, kNotMdl},
        HeaderCase{"NoMdlh", Model().Remove(kMdlh), false, ""},
        HeaderCase{"NoMdlg", Model().Remove(kMdlg), false, NoSection("MDLG")},
        HeaderCase{"NoMdln", Model().Remove(kMdln), false, NoSection("MDLN")},
        HeaderCase{"BboxDirectlyAfterMdln", Model().Remove(kPara), false, NoSection("PARA")},
        HeaderCase{"NoBbox", Model().Remove(kBbox), false, NoSection("BBOX")},
        HeaderCase{"NoRadi", Model().Remove(kRadi), false, NoSection("RADI")},
        HeaderCase{"UnknownChunkBeforePara", Model().Insert(kPara, Raw("XTRA", Bytes(4, 0))), false,
                   NoSection("PARA")},
        // SMAP is only looked for after MDLN, CRAS only after PARA.
        HeaderCase{"SmapAfterPara", Model().Insert(kBbox, Raw("SMAP", Bytes{1, 2})), false, NoSection("BBOX")},
        HeaderCase{"CrasBeforePara", Model().Insert(kPara, Raw("CRAS", Bytes(4, 0))), false, NoSection("PARA")},
        HeaderCase{"CrasAfterBbox", Model().Insert(kRadi, Raw("CRAS", Bytes(4, 0))), false, NoSection("RADI")},
        HeaderCase{"SwappedChunks",
                   Model().Replace(kMdlg, Raw("MDLN", Bytes(2, 0))).Replace(kMdln, Raw("MDLG", kGuidBytes)), false,
                   NoSection("MDLG")},
        // Sizes that claim more than the file holds.
        HeaderCase{"MdlgShorterThanAGuid", Model().Replace(kMdlg, Raw("MDLG", Bytes(8, 1))), false, Truncated("MDLG")},
        HeaderCase{"HugeMdlg", Model().Replace(kMdlg, Raw("MDLG", 0xFFFFFFFFu, kGuidBytes)), false,
                   Truncated("MDLG")},
        HeaderCase{"HugeMdln", Model().Replace(kMdln, Raw("MDLN", 0x7FFFFFFFu, Bytes(5, 0))), false,
                   Truncated("MDLN")},
        HeaderCase{"HugePara", Model().Replace(kPara, Raw("PARA", 0xFFFFFFF0u, Bytes(6, 0))), false,
                   Truncated("PARA")},
        HeaderCase{"HugeCras", Model().Insert(kBbox, Raw("CRAS", 0xFFFFFFFFu, Bytes(4, 0))), false,
                   Truncated("CRAS")},
        HeaderCase{"CrasPastTheEnd", Model().Insert(kBbox, Raw("CRAS", 1000, Bytes(4, 0))), false,
                   Truncated("CRAS")},
        HeaderCase{"HugeBbox", Model().Replace(kBbox, Raw("BBOX", 0x80000000u, Bytes(24, 0))), false,
                   Truncated("BBOX")},
        // A size reaching exactly to the end leaves no room for the chunks that must follow.
        HeaderCase{"BboxSwallowsRadi", Model().Replace(kBbox, Raw("BBOX", 24 + 12, Bytes(24, 0))), false,
                   NoSection("RADI")}),
    testsupport::CaseName());

TEST_F(MDLFileTest, GuidTextIsLowerCaseHexInGroups)
{
    bool result = false;
    EXPECT_EQ(Read(Model().Build(), result), "");
    ASSERT_TRUE(result);
    EXPECT_EQ(mdl_.GetGuidText(), "33221100-5544-7766-8899-aabbccddeeff");
    EXPECT_EQ(mdl_.GetGuid().Data1, 0x33221100u);
    EXPECT_EQ(mdl_.GetGuid().Data2, 0x5544u);
    EXPECT_EQ(mdl_.GetGuid().Data3, 0x7766u);
    EXPECT_EQ(mdl_.GetGuid().Data4[0], 0x88u);
    EXPECT_EQ(mdl_.GetGuid().Data4[7], 0xFFu);
    EXPECT_STREQ(mdl_.GetFormType(), "MDLX");

    // Leading zeros are kept in every group.
    const Bytes small = {1, 0, 0, 0, 2, 0, 3, 0, 4, 5, 6, 7, 8, 9, 10, 11};
    EXPECT_EQ(Read(Model().Replace(kMdlg, Raw("MDLG", small)).Build(), result), "");
    ASSERT_TRUE(result);
    EXPECT_EQ(mdl_.GetGuidText(), "00000001-0002-0003-0405-060708090a0b");
    EXPECT_EQ(mdl_.GetGuidText().size(), 36u);
}

TEST_F(MDLFileTest, LargeMeansRadiusAboveFifty)
{
    const struct {
        float radius;
        bool large;
    } cases[] = {{50.0f, false}, {50.5f, true}, {0.0f, false}, {-100.0f, false}, {1000.0f, true}};
    for (const auto& c : cases) {
        bool result = false;
        Read(Model().Replace(kRadi, Raw("RADI", Radius(c.radius))).Build(), result);
        ASSERT_TRUE(result) << c.radius;
        EXPECT_EQ(mdl_.GetRadius(), c.radius);
        EXPECT_EQ(mdl_.IsLarge(), c.large) << c.radius;
    }
}

// A record reused for a file that fails part-way keeps the new form type and GUID but is not valid.
TEST_F(MDLFileTest, ReusedRecordKeepsWhatTheFailedReadFilled)
{
    bool result = false;
    Read(Model().Build(), result, "a.mdl");
    ASSERT_TRUE(result);

    const Bytes other = {0xF0, 0xE1, 0xD2, 0xC3, 0xB4, 0xA5, 0x96, 0x87,
                         0x78, 0x69, 0x5A, 0x4B, 0x3C, 0x2D, 0x1E, 0x0F};
    EXPECT_EQ(Read(Model().Form("PV45").Replace(kMdlg, Raw("MDLG", other)).Remove(kRadi).Build(), result, "b.mdl"),
              NoSection("RADI"));
    EXPECT_FALSE(result);
    EXPECT_FALSE(mdl_.IsValid());
    EXPECT_STREQ(mdl_.GetFormType(), "PV45");
    EXPECT_EQ(mdl_.GetGuidText(), "c3d2e1f0-a5b4-8796-7869-5a4b3c2d1e0f");

    // A file that is no RIFF at all changes nothing but the valid flag.
    EXPECT_EQ(Read(Model().Tag("JUNK").Build(), result, "c.mdl"), "");
    EXPECT_FALSE(result);
    EXPECT_STREQ(mdl_.GetFormType(), "PV45");
    EXPECT_EQ(mdl_.GetGuidText(), "c3d2e1f0-a5b4-8796-7869-5a4b3c2d1e0f");

    // A GUID chunk too short for a GUID is not used.
    Read(Model().Replace(kMdlg, Raw("MDLG", Bytes(15, 0x11))).Build(), result, "d.mdl");
    EXPECT_FALSE(result);
    EXPECT_EQ(mdl_.GetGuidText(), "c3d2e1f0-a5b4-8796-7869-5a4b3c2d1e0f");
}

// Every cut of a valid file fails cleanly with at most one line, and never with data it did not read.
TEST_F(MDLFileTest, EveryTruncationFails)
{
    const Bytes full = Model().Insert(kBbox, Raw("CRAS", Bytes(6, 9))).Insert(kPara, Raw("SMAP", Bytes{1, 2})).Build();
    for (size_t length = 0; length < full.size(); ++length) {
        MDLFile fresh;
        const std::string path = machine_.Write("models/cut.mdl", Bytes(full.begin(), full.begin() + length));
        ::testing::internal::CaptureStdout();
        const bool result = fresh.ReadHeader(path);
        const std::string output = ::testing::internal::GetCapturedStdout();
        EXPECT_FALSE(result) << length;
        EXPECT_FALSE(fresh.IsValid()) << length;
        EXPECT_LE(std::count(output.begin(), output.end(), '\n'), 1) << length << ": " << output;
        // The GUID is only taken once all its bytes were read.
        const size_t guidEnd = 12 + 16 + 8 + 16;
        if (length < guidEnd) {
            EXPECT_EQ(fresh.GetGuidText(), "") << length;
        }
    }
}

TEST_F(MDLFileTest, TruncationMessages)
{
    const Bytes full = Model().Build();
    const size_t mdlgData = 12 + 16 + 8;  // RIFF header, MDLH, MDLG tag and size
    const struct {
        size_t length;
        std::string output;
    } cases[] = {
        {0, ""},                            // empty file
        {8, ""},                            // RIFF without a form type
        {12 + 6, Truncated("MDLH")},        // inside MDLH
        {mdlgData - 8, NoSection("MDLG")},  // ends where MDLG should begin
        {mdlgData - 2, Truncated("MDLG")},  // inside MDLG's size
        {mdlgData + 10, Truncated("MDLG")}, // inside the GUID
        {mdlgData + 16, NoSection("MDLN")},
        {full.size() - 2, Truncated("RADI")},
    };
    for (const auto& c : cases) {
        bool result = true;
        EXPECT_EQ(Read(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(c.length)), result), c.output)
            << c.length;
        EXPECT_FALSE(result) << c.length;
    }
}

TEST_F(MDLFileTest, MissingFileFailsWithoutMessage)
{
    bool result = true;
    EXPECT_EQ(ReadPath("C:\\models\\absent.mdl", result), "");
    EXPECT_FALSE(result);
    EXPECT_EQ(ReadPath("C:\\nowhere\\absent.mdl", result), "");
    EXPECT_FALSE(result);
    EXPECT_EQ(ReadPath("", result), "");
    EXPECT_FALSE(result);
}

TEST_F(MDLFileTest, FileThatCannotBeOpenedGivesTheErrorLine)
{
    // A folder is found under the name but cannot be opened as a file.
    std::filesystem::create_directories(machine_.Root() / "c" / "models" / "folder.mdl");
    bool result = true;
    EXPECT_EQ(ReadPath("C:\\models\\folder.mdl", result),
              "Error: Error [259] opening MDL file (C:\\models\\folder.mdl)\n");
    EXPECT_FALSE(result);
    EXPECT_FALSE(mdl_.IsValid());
}

// The header is only read, so a read-only model file is read like any other.
TEST_F(MDLFileTest, ReadOnlyFileIsRead)
{
    const std::string path = machine_.Write("models/locked.mdl", Model().Build());
    std::filesystem::permissions(machine_.Root() / "c" / "models" / "locked.mdl",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                     std::filesystem::perms::others_read);
    bool result = false;
    EXPECT_EQ(ReadPath(path, result), "");
    EXPECT_TRUE(result);
    EXPECT_EQ(mdl_.GetGuidText(), kGuidText);
}

// The path goes into the line as text, never as a format.
TEST_F(MDLFileTest, PathWithPercentSignsIsPrintedAsIs)
{
    bool result = true;
    EXPECT_EQ(Read(Model().Form("PV30").Build(), result, "100%s%n%d.mdl"),
              "Error: RIFF file but not a FSX/P3D MDL file (C:\\models\\100%s%n%d.mdl)\n");
    EXPECT_FALSE(result);
}

TEST_F(MDLFileTest, PathIsResolvedCaseInsensitively)
{
    machine_.Write("Models/Gate.MDL", Model().Build());
    bool result = false;
    EXPECT_EQ(ReadPath("C:\\MODELS\\gate.mdl", result), "");
    EXPECT_TRUE(result);
}

}  // namespace
