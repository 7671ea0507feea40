#include "link/ApiCodec.h"
#include "tests/support/CaseNames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <tuple>
#include <vector>

namespace {

using namespace api_wire;

// ---- field views, so that whole records compare (and print) at once ----

auto Fields(const StandRef& s) { return std::tie(s.icao, s.name, s.number); }
auto Fields(const JetwayQueryRequest& r)
{
    return std::tuple_cat(Fields(r.stand), std::tie(r.latitude, r.longitude, r.altitudeFeet));
}
auto Fields(const JetwayTriggerRequest& r)
{
    return std::tie(r.aiForm, r.mode, r.jetwayId, r.aiAircraftId, r.own, r.door, r.overrideDoor, r.doorData);
}
auto Fields(const JetwayInformRequest& r)
{
    return std::tuple_cat(std::tie(r.mode, r.jetwayId, r.latitude, r.longitude, r.altitudeFeet, r.heading),
                          Fields(r.stand),
                          std::tie(r.multiIndex, r.simTitle, r.doorTargets, r.version, r.partIds));
}
auto Fields(const StandInformRequest& r) { return std::tuple_cat(std::tie(r.mode), Fields(r.stand)); }
auto Fields(const MassQueryRequest& r) { return std::tie(r.icao); }
auto Fields(const JetwayResponse& r)
{
    return std::tie(r.echo, r.count, r.ids, r.names, r.sort1, r.sort2, r.types, r.rootHeights, r.states, r.doors,
                    r.version);
}
auto Fields(const StatusAnswer& r) { return std::tie(r.jetwayId, r.status, r.version); }
auto Fields(const MassEntry& e) { return std::tie(e.category, e.number, e.jetways); }
std::vector<std::tuple<int32_t, int32_t, int32_t>> Entries(const MassResponse& r)
{
    std::vector<std::tuple<int32_t, int32_t, int32_t>> out;
    for (const MassEntry& e : r.entries) out.emplace_back(Fields(e));
    return out;
}
auto Fields(const MassResponse& r) { return std::make_tuple(r.icao, Entries(r)); }
auto Fields(const LiteRecord& r) { return std::tuple_cat(std::tie(r.mode), Fields(r.stand), std::tie(r.status)); }

// ---- raw bytes written by hand at the documented offsets ----

void Put32(uint8_t* a, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) a[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutF64(uint8_t* a, size_t at, double v)
{
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i) a[at + i] = static_cast<uint8_t>(bits >> (8 * i));
}
void PutText(uint8_t* a, size_t at, const char* text) { std::memcpy(a + at, text, std::strlen(text)); }

template <size_t N>
std::array<uint8_t, N> Filled(uint8_t byte)
{
    std::array<uint8_t, N> a;
    a.fill(byte);
    return a;
}

StandRef Stand() { return StandRef{"XVLK", "GATE_B", 22}; }

JetwayInformRequest SampleInform()
{
    JetwayInformRequest r;
    r.mode = kInformRegister;
    r.jetwayId = 41;
    r.latitude = 48.1003;
    r.longitude = 11.5007;
    r.altitudeFeet = 1651.25;
    r.heading = 271.5;
    r.stand = Stand();
    r.multiIndex = -3;
    r.simTitle = "VELK Jetway Type H";
    r.doorTargets = {1, 2, 3, 4};
    r.version = 2;
    r.partIds = {101, 102, 103, 104};
    return r;
}

JetwayResponse SampleResponse()
{
    JetwayResponse r;
    for (size_t i = 0; i < r.echo.size(); ++i) r.echo[i] = static_cast<uint8_t>(i + 1);
    r.count = 2;
    r.ids = {7, 8, 0, 0};
    r.names = {"XVLK::GATE_B::22::MX0", std::string(63, 'n'), "", ""};
    r.sort1 = {1.5, -2.25, 0, 0};
    r.sort2 = {3.0, 4.0, 0, 0};
    r.types = {4, 1, 0, 0};
    r.rootHeights = {4.5, 5.5, 0, 0};
    r.states = {kSlotDocked, kSlotUndocked, kSlotEmpty, kSlotEmpty};
    r.doors = {1, kDoorNone, kDoorNone, kDoorNone};
    r.version = kVersion;
    return r;
}

MassResponse SampleMass(size_t entries)
{
    MassResponse r{"XVLK", {}};
    for (size_t i = 0; i < entries; ++i)
        r.entries.push_back({static_cast<int32_t>(i % 39), static_cast<int32_t>(i + 1), static_cast<int32_t>(i % 4 + 1)});
    return r;
}

// ---- round trips: every record through its encoder and decoder, into an area full of other bytes ----

struct Case {
    const char* name;
    std::function<void()> run;
};

class RoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(RoundTrip, DecodesWhatWasEncoded) { GetParam().run(); }

template <typename Record, typename Encode, typename Decode>
void Check(const Record& sent, const Record& expected, Encode encode, Decode decode)
{
    auto area = Filled<kRecordSize>(0xA5);
    encode(sent, area);
    Record got;
    ASSERT_TRUE(decode(area.data(), area.size(), got));
    EXPECT_EQ(Fields(got), Fields(expected));
}
template <typename Record, typename Encode, typename Decode>
void Check(const Record& sent, Encode encode, Decode decode)
{
    Check(sent, sent, encode, decode);
}

const Case kRoundTrips[] = {
    {"JetwayQuery",
     [] { Check(JetwayQueryRequest{Stand(), 48.1, -11.5, 1650.5}, EncodeJetwayQuery, DecodeJetwayQuery); }},
    {"JetwayTrigger",
     [] {
         JetwayTriggerRequest r;
         r.mode = kTriggerTestOnly;
         r.jetwayId = 7;
         r.own = true;
         r.door = "1L Upper";
         r.overrideDoor = true;
         r.doorData = {48.1, 11.5, 1650.0, 1.25, -2.5, 3.75, 0.5, 6.0};
         Check(r, EncodeJetwayTrigger, DecodeJetwayTrigger);
     }},
    {"JetwayTriggerAiForm",
     [] {
         // The AI form carries only the jetway, the aircraft and the door; its mode reads as the form.
         JetwayTriggerRequest r;
         r.aiForm = true;
         r.jetwayId = 9;
         r.aiAircraftId = 1234;
         r.door = "2L";
         JetwayTriggerRequest expected = r;
         expected.mode = kTriggerAiForm;
         Check(r, expected, EncodeJetwayTrigger, DecodeJetwayTrigger);
     }},
    {"JetwayInform", [] { Check(SampleInform(), EncodeJetwayInform, DecodeJetwayInform); }},
    {"StandInform",
     [] { Check(StandInformRequest{kStandDeselect, Stand()}, EncodeStandInform, DecodeStandInform); }},
    {"MassQuery", [] { Check(MassQueryRequest{"ABCDEFG"}, EncodeMassQuery, DecodeMassQuery); }},
    {"JetwayResponse", [] { Check(SampleResponse(), EncodeJetwayResponse, DecodeJetwayResponse); }},
    {"TriggerStatus",
     [] { Check(StatusAnswer{7, kTriggerUndocked, kVersion}, EncodeTriggerStatus, DecodeTriggerStatus); }},
    {"InformStatus",
     [] { Check(StatusAnswer{41, kInformRefused, kVersion}, EncodeInformStatus, DecodeInformStatus); }},
    {"StandStatus",
     [] {
         // The stand answer carries no jetway.
         Check(StatusAnswer{5, kStandDeselected, kVersion}, StatusAnswer{0, kStandDeselected, kVersion},
               EncodeStandStatus, DecodeStandStatus);
     }},
    {"MassResponse",
     [] {
         auto area = Filled<kMassSize>(0xA5);
         const MassResponse sent = SampleMass(40);
         EXPECT_EQ(EncodeMassResponse(sent, area), 0u);
         MassResponse got;
         ASSERT_TRUE(DecodeMassResponse(area.data(), area.size(), got));
         EXPECT_EQ(Fields(got), Fields(sent));
     }},
    {"MassResponseVdgs",
     [] {
         // The guidance area has no jetway counts.
         auto area = Filled<kMassVdgsSize>(0xA5);
         MassResponse expected = SampleMass(40);
         EXPECT_EQ(EncodeMassResponseVdgs(expected, area), 0u);
         for (MassEntry& e : expected.entries) e.jetways = 0;
         MassResponse got;
         ASSERT_TRUE(DecodeMassResponseVdgs(area.data(), area.size(), got));
         EXPECT_EQ(Fields(got), Fields(expected));
     }},
    {"Lite",
     [] {
         auto area = Filled<kLiteSize>(0xA5);
         const LiteRecord sent{kStandDeselect, Stand(), kStandDeselected};
         EncodeLite(sent, area);
         LiteRecord got;
         ASSERT_TRUE(DecodeLite(area.data(), area.size(), got));
         EXPECT_EQ(Fields(got), Fields(sent));
     }},
};
INSTANTIATE_TEST_SUITE_P(ApiCodec, RoundTrip, ::testing::ValuesIn(kRoundTrips), testsupport::CaseName{});

// ---- the documented offsets, from bytes written by hand ----

TEST(ApiCodecLayout, RequestsReadTheirDocumentedOffsets)
{
    Area a{};
    uint8_t* p = a.data();
    PutText(p, 0, "MASS");
    PutText(p, 8, "XVLK");
    PutText(p, 13, "GATE_B");
    Put32(p, 32, 22);
    PutF64(p, 40, 48.1);
    PutF64(p, 48, 11.5);
    PutF64(p, 56, 1650.0);
    Put32(p, 424, 1);
    Put32(p, 428, 7);
    Put32(p, 432, 1);
    PutText(p, 436, "2L");
    Put32(p, 452, 1);
    for (int i = 0; i < 8; ++i) PutF64(p, 456 + 8 * i, 10.0 + i);
    Put32(p, 528, 2);
    Put32(p, 532, 41);
    PutF64(p, 536, 48.2);
    PutF64(p, 544, 11.6);
    PutF64(p, 552, 1700.0);
    PutF64(p, 560, 90.0);
    PutText(p, 568, "XABC");
    PutText(p, 573, "DOCK");
    Put32(p, 592, 3);
    Put32(p, 596, static_cast<uint32_t>(-1));
    PutText(p, 600, "Title");
    for (int i = 0; i < 4; ++i) Put32(p, 728 + 4 * i, 20 + i);
    Put32(p, 752, 1);
    PutText(p, 756, "XDEF");
    PutText(p, 761, "GATE_C");
    Put32(p, 780, 31);
    Put32(p, 788, 2);
    for (int i = 0; i < 4; ++i) Put32(p, 796 + 4 * i, 30 + i);

    MassQueryRequest mass;
    ASSERT_TRUE(DecodeMassQuery(p, a.size(), mass));
    EXPECT_EQ(mass.icao, "MASS");

    JetwayQueryRequest query;
    ASSERT_TRUE(DecodeJetwayQuery(p, a.size(), query));
    EXPECT_EQ(Fields(query), Fields(JetwayQueryRequest{Stand(), 48.1, 11.5, 1650.0}));

    JetwayTriggerRequest trigger;
    ASSERT_TRUE(DecodeJetwayTrigger(p, a.size(), trigger));
    JetwayTriggerRequest expectedTrigger;
    expectedTrigger.mode = 1;
    expectedTrigger.jetwayId = 7;
    expectedTrigger.own = true;
    expectedTrigger.door = "2L";
    expectedTrigger.overrideDoor = true;
    expectedTrigger.doorData = {10, 11, 12, 13, 14, 15, 16, 17};
    EXPECT_EQ(Fields(trigger), Fields(expectedTrigger));

    JetwayInformRequest inform;
    ASSERT_TRUE(DecodeJetwayInform(p, a.size(), inform));
    JetwayInformRequest expectedInform;
    expectedInform.mode = 2;
    expectedInform.jetwayId = 41;
    expectedInform.latitude = 48.2;
    expectedInform.longitude = 11.6;
    expectedInform.altitudeFeet = 1700.0;
    expectedInform.heading = 90.0;
    expectedInform.stand = StandRef{"XABC", "DOCK", 3};
    expectedInform.multiIndex = -1;
    expectedInform.simTitle = "Title";
    expectedInform.doorTargets = {20, 21, 22, 23};
    expectedInform.version = 2;
    expectedInform.partIds = {30, 31, 32, 33};
    EXPECT_EQ(Fields(inform), Fields(expectedInform));

    StandInformRequest stand;
    ASSERT_TRUE(DecodeStandInform(p, a.size(), stand));
    EXPECT_EQ(Fields(stand), Fields(StandInformRequest{1, StandRef{"XDEF", "GATE_C", 31}}));

    // The encoders put the same values at the same bytes, and nothing anywhere else.
    Area encoded{};
    EncodeMassQuery({"MASS"}, encoded);
    EncodeJetwayQuery(JetwayQueryRequest{Stand(), 48.1, 11.5, 1650.0}, encoded);
    EncodeJetwayTrigger(expectedTrigger, encoded);
    EncodeJetwayInform(expectedInform, encoded);
    EncodeStandInform(StandInformRequest{1, StandRef{"XDEF", "GATE_C", 31}}, encoded);
    EXPECT_EQ(encoded, a);

    // The AI form: the form word at 896, then jetway, aircraft and door.
    Put32(p, 896, 2);
    Put32(p, 900, 9);
    Put32(p, 904, 1234);
    PutText(p, 908, "1L Upper");
    ASSERT_TRUE(DecodeJetwayTrigger(p, a.size(), trigger));
    EXPECT_TRUE(trigger.aiForm);
    EXPECT_EQ(trigger.jetwayId, 9u);
    EXPECT_EQ(trigger.aiAircraftId, 1234u);
    EXPECT_EQ(trigger.door, "1L Upper");
    EncodeJetwayTrigger(trigger, encoded);
    EXPECT_EQ(encoded, a);
}

// The JetwayQuery answer as its bytes: the encoder writes exactly these, the decoder reads them back.
TEST(ApiCodecLayout, JetwayResponseBytesSitAtTheDocumentedOffsets)
{
    const JetwayResponse r = SampleResponse();
    Area raw{};
    uint8_t* p = raw.data();
    std::memcpy(p + 8, r.echo.data(), 56);
    Put32(p, 64, 2);
    Put32(p, 68, 7);
    Put32(p, 72, 8);
    PutText(p, 100, "XVLK::GATE_B::22::MX0");
    PutText(p, 164, std::string(63, 'n').c_str());
    PutF64(p, 360, 1.5);
    PutF64(p, 368, -2.25);
    PutF64(p, 392, 3.0);
    PutF64(p, 400, 4.0);
    Put32(p, 788, 2);
    Put32(p, 816, 4);
    Put32(p, 820, 1);
    PutF64(p, 832, 4.5);
    PutF64(p, 840, 5.5);
    for (int i = 0; i < 4; ++i) Put32(p, 864 + 4 * i, r.states[i]);
    for (int i = 0; i < 4; ++i) Put32(p, 880 + 4 * i, r.doors[i]);

    Area encoded{};
    EncodeJetwayResponse(r, encoded);
    EXPECT_EQ(encoded, raw);

    JetwayResponse decoded;
    ASSERT_TRUE(DecodeJetwayResponse(raw.data(), raw.size(), decoded));
    EXPECT_EQ(Fields(decoded), Fields(r));
}

TEST(ApiCodecLayout, StatusAnswersSitAtTheDocumentedOffsets)
{
    Area encoded{};
    EncodeTriggerStatus({7, kTriggerDocked, 0}, encoded);
    EncodeInformStatus({41, kInformRegistered, 0}, encoded);
    EncodeStandStatus({0, kStandSelected, 0}, encoded);

    Area raw{};
    Put32(raw.data(), 520, 7);
    Put32(raw.data(), 524, kTriggerDocked);
    Put32(raw.data(), 744, 41);
    Put32(raw.data(), 748, kInformRegistered);
    Put32(raw.data(), 784, kStandSelected);
    Put32(raw.data(), 788, kVersion);
    Put32(raw.data(), 792, 2);
    EXPECT_EQ(encoded, raw);

    StatusAnswer s;
    ASSERT_TRUE(DecodeTriggerStatus(raw.data(), raw.size(), s));
    EXPECT_EQ(Fields(s), Fields(StatusAnswer{7, kTriggerDocked, kVersion}));
    ASSERT_TRUE(DecodeInformStatus(raw.data(), raw.size(), s));
    EXPECT_EQ(Fields(s), Fields(StatusAnswer{41, kInformRegistered, kVersion}));
    ASSERT_TRUE(DecodeStandStatus(raw.data(), raw.size(), s));
    EXPECT_EQ(Fields(s), Fields(StatusAnswer{0, kStandSelected, kVersion}));
}

TEST(ApiCodecLayout, MassAndLiteAreasSitAtTheDocumentedOffsets)
{
    MassArea mass{};
    PutText(mass.data(), 0, "XVLK");
    Put32(mass.data(), 8, 5);
    Put32(mass.data(), 12, 22);
    Put32(mass.data(), 16, 2);
    Put32(mass.data(), 20, 1);
    Put32(mass.data(), 24, 3);
    Put32(mass.data(), 28, 1);
    MassResponse m;
    ASSERT_TRUE(DecodeMassResponse(mass.data(), mass.size(), m));
    EXPECT_EQ(Fields(m), Fields(MassResponse{"XVLK", {{5, 22, 2}, {1, 3, 1}}}));

    MassVdgsArea vdgs{};
    PutText(vdgs.data(), 0, "XVLK");
    Put32(vdgs.data(), 8, 5);
    Put32(vdgs.data(), 12, 22);
    Put32(vdgs.data(), 16, 1);
    Put32(vdgs.data(), 20, 3);
    ASSERT_TRUE(DecodeMassResponseVdgs(vdgs.data(), vdgs.size(), m));
    EXPECT_EQ(Fields(m), Fields(MassResponse{"XVLK", {{5, 22, 0}, {1, 3, 0}}}));

    LiteArea lite{};
    Put32(lite.data(), 0, 1);
    PutText(lite.data(), 4, "XVLK");
    PutText(lite.data(), 9, "GATE_B");
    Put32(lite.data(), 28, 22);
    Put32(lite.data(), 32, 2);
    LiteArea encoded{};
    EncodeLite(LiteRecord{1, Stand(), 2}, encoded);
    EXPECT_EQ(encoded, lite);
    LiteRecord l;
    ASSERT_TRUE(DecodeLite(lite.data(), lite.size(), l));
    EXPECT_EQ(Fields(l), Fields(LiteRecord{1, Stand(), 2}));
}

// ---- texts that fill their field ----

// A text without its terminator ends at its field, even when the next bytes are not zero.
TEST(ApiCodecTexts, UnterminatedTextsEndAtTheirField)
{
    Area a = Filled<kRecordSize>('z');  // every byte, the neighbours of each field included
    MassQueryRequest mass;
    ASSERT_TRUE(DecodeMassQuery(a.data(), a.size(), mass));
    EXPECT_EQ(mass.icao, std::string(8, 'z'));

    JetwayQueryRequest query;
    ASSERT_TRUE(DecodeJetwayQuery(a.data(), a.size(), query));
    EXPECT_EQ(query.stand.icao, std::string(5, 'z'));
    EXPECT_EQ(query.stand.name, std::string(19, 'z'));

    JetwayInformRequest inform;
    ASSERT_TRUE(DecodeJetwayInform(a.data(), a.size(), inform));
    EXPECT_EQ(inform.simTitle, std::string(128, 'z'));
    EXPECT_EQ(inform.stand.name, std::string(19, 'z'));

    JetwayResponse response;
    ASSERT_TRUE(DecodeJetwayResponse(a.data(), a.size(), response));
    for (const std::string& name : response.names) EXPECT_EQ(name, std::string(64, 'z'));

    MassArea m = Filled<kMassSize>(0);
    std::memset(m.data(), 'z', 8);  // the ICAO field and the bytes up to the entries
    MassResponse stands;
    ASSERT_TRUE(DecodeMassResponse(m.data(), m.size(), stands));
    EXPECT_EQ(stands.icao, std::string(5, 'z'));

    LiteArea l = Filled<kLiteSize>('z');
    LiteRecord lite;
    ASSERT_TRUE(DecodeLite(l.data(), l.size(), lite));
    EXPECT_EQ(lite.stand.icao, std::string(5, 'z'));
    EXPECT_EQ(lite.stand.name, std::string(19, 'z'));
}

// The AI door is the area's last field: a buffer of exactly the area's size, all text, is read to its end
// and no further (the address sanitizer sees a read past it).
TEST(ApiCodecTexts, LastFieldOfAnExactBufferIsReadToTheEnd)
{
    std::vector<uint8_t> buffer(kRecordSize, 'd');
    Put32(buffer.data(), in::kTriggerForm.offset, kTriggerAiForm);
    JetwayTriggerRequest trigger;
    ASSERT_TRUE(DecodeJetwayTrigger(buffer.data(), buffer.size(), trigger));
    EXPECT_EQ(trigger.door, std::string(in::kAiDoor.size, 'd'));

    std::vector<uint8_t> lite(kLiteSize, 'd');
    EXPECT_EQ(ReadText(lite.data(), lite::kStatus), std::string(4, 'd'));
}

struct CutCase {
    const char* name;
    Field field;
    std::function<void(const std::string&, Area&)> encode;
};

class EncoderCuts : public ::testing::TestWithParam<CutCase> {};

// A text longer than its field is cut one short of the field, so that the terminator stays; the byte
// after the field is not the encoder's to write.
TEST_P(EncoderCuts, LongTextsKeepTheirTerminator)
{
    const CutCase& c = GetParam();
    Area a = Filled<kRecordSize>(0xA5);
    const std::string text(c.field.size + 10, 'x');
    c.encode(text, a);
    EXPECT_EQ(a[c.field.End() - 1], 0);
    EXPECT_EQ(ReadText(a.data(), c.field), text.substr(0, c.field.size - 1));
    // A text that fits leaves zeros to the field's end, whatever was there before.
    a.fill(0xA5);
    c.encode("ab", a);
    EXPECT_EQ(ReadText(a.data(), c.field), "ab");
    for (size_t i = c.field.offset + 2; i < c.field.End(); ++i) EXPECT_EQ(a[i], 0) << "byte " << i;
}

const CutCase kCuts[] = {
    {"MassIcao", in::kMassIcao, [](const std::string& t, Area& a) { EncodeMassQuery({t}, a); }},
    {"QueryIcao", in::kQueryIcao,
     [](const std::string& t, Area& a) { EncodeJetwayQuery({{t, "GATE_B", 22}}, a); }},
    {"QueryStand", in::kQueryStand,
     [](const std::string& t, Area& a) { EncodeJetwayQuery({{"XVLK", t, 22}}, a); }},
    {"TriggerDoor", in::kTriggerDoor,
     [](const std::string& t, Area& a) {
         JetwayTriggerRequest r;
         r.door = t;
         EncodeJetwayTrigger(r, a);
     }},
    {"AiDoor", in::kAiDoor,
     [](const std::string& t, Area& a) {
         JetwayTriggerRequest r;
         r.aiForm = true;
         r.door = t;
         EncodeJetwayTrigger(r, a);
     }},
    {"InformTitle", in::kInformTitle,
     [](const std::string& t, Area& a) {
         JetwayInformRequest r = SampleInform();
         r.simTitle = t;
         EncodeJetwayInform(r, a);
     }},
    {"StandName", in::kStandName,
     [](const std::string& t, Area& a) { EncodeStandInform({0, {"XVLK", t, 1}}, a); }},
    {"JetwayName", Field{out::kQueryNames.offset + 64, 64},
     [](const std::string& t, Area& a) {
         JetwayResponse r = SampleResponse();
         r.names[1] = t;
         EncodeJetwayResponse(r, a);
     }},
};
INSTANTIATE_TEST_SUITE_P(ApiCodec, EncoderCuts, ::testing::ValuesIn(kCuts), testsupport::CaseName{});

TEST(ApiCodecTexts, LiteAndMassEncodersCutLongTexts)
{
    LiteArea lite = Filled<kLiteSize>(0xA5);
    EncodeLite(LiteRecord{0, {"ABCDEFGH", std::string(30, 's'), 1}, 0}, lite);
    EXPECT_EQ(ReadText(lite.data(), lite::kIcao), "ABCD");
    EXPECT_EQ(ReadText(lite.data(), lite::kStand), std::string(18, 's'));
    EXPECT_EQ(lite[lite::kStand.End() - 1], 0);

    MassArea mass = Filled<kMassSize>(0xA5);
    EncodeMassResponse(MassResponse{"ABCDEFGH", {{3, 1, 1}}}, mass);
    EXPECT_EQ(ReadText(mass.data(), mass::kIcao), "ABCD");
    EXPECT_EQ(mass[4], 0);
}

// ---- short buffers ----

class ShortBuffer : public ::testing::TestWithParam<Case> {};

TEST_P(ShortBuffer, IsRefusedAndLeavesTheResultAlone) { GetParam().run(); }

// One byte short of the area (and no buffer at all): false, and the result keeps what it held.
template <typename Record, typename Decode>
void Refused(size_t areaSize, const Record& before, Decode decode)
{
    const std::vector<uint8_t> bytes(areaSize, 0);  // zeros would decode to something else
    Record r = before;
    EXPECT_FALSE(decode(bytes.data(), areaSize - 1, r));
    EXPECT_EQ(Fields(r), Fields(before));
    EXPECT_FALSE(decode(nullptr, areaSize, r));
    EXPECT_EQ(Fields(r), Fields(before));
}

JetwayTriggerRequest SampleTrigger()
{
    JetwayTriggerRequest r;
    r.mode = 1;
    r.jetwayId = 7;
    r.own = true;
    r.door = "2L";
    return r;
}

const Case kShort[] = {
    {"JetwayQuery", [] { Refused(kRecordSize, JetwayQueryRequest{Stand(), 1, 2, 3}, DecodeJetwayQuery); }},
    {"JetwayTrigger", [] { Refused(kRecordSize, SampleTrigger(), DecodeJetwayTrigger); }},
    {"JetwayInform", [] { Refused(kRecordSize, SampleInform(), DecodeJetwayInform); }},
    {"StandInform", [] { Refused(kRecordSize, StandInformRequest{1, Stand()}, DecodeStandInform); }},
    {"MassQuery", [] { Refused(kRecordSize, MassQueryRequest{"XVLK"}, DecodeMassQuery); }},
    {"JetwayResponse", [] { Refused(kRecordSize, SampleResponse(), DecodeJetwayResponse); }},
    {"TriggerStatus", [] { Refused(kRecordSize, StatusAnswer{7, 3, 2}, DecodeTriggerStatus); }},
    {"InformStatus", [] { Refused(kRecordSize, StatusAnswer{7, 3, 2}, DecodeInformStatus); }},
    {"StandStatus", [] { Refused(kRecordSize, StatusAnswer{7, 3, 2}, DecodeStandStatus); }},
    {"MassResponse", [] { Refused(kMassSize, SampleMass(3), DecodeMassResponse); }},
    {"MassResponseVdgs", [] { Refused(kMassVdgsSize, SampleMass(3), DecodeMassResponseVdgs); }},
    {"Lite", [] { Refused(kLiteSize, LiteRecord{1, Stand(), 2}, DecodeLite); }},
};
INSTANTIATE_TEST_SUITE_P(ApiCodec, ShortBuffer, ::testing::ValuesIn(kShort), testsupport::CaseName{});

// ---- mass responses ----

struct MassCase {
    const char* name;
    size_t areaSize;
    size_t entrySize;
    std::function<size_t(const MassResponse&, uint8_t*)> encode;
    std::function<bool(const uint8_t*, size_t, MassResponse&)> decode;
};

class MassAreas : public ::testing::TestWithParam<MassCase> {};

TEST_P(MassAreas, AtMost512EntriesAreWrittenAndTheRestCounted)
{
    const MassCase& c = GetParam();
    std::vector<uint8_t> area(c.areaSize, 0xA5);
    const MassResponse sent = SampleMass(kMaxMassEntries + 3);
    EXPECT_EQ(c.encode(sent, area.data()), 3u);

    MassResponse got;
    ASSERT_TRUE(c.decode(area.data(), area.size(), got));
    ASSERT_EQ(got.entries.size(), kMaxMassEntries);
    const MassEntry& last = got.entries.back();
    EXPECT_EQ(last.number, static_cast<int32_t>(kMaxMassEntries));
    // Nothing of the entries left out, and the area's tail stays zero: the end mark of a full list.
    for (size_t i = mass::kEntries + kMaxMassEntries * c.entrySize; i < c.areaSize; ++i)
        EXPECT_EQ(area[i], 0) << "byte " << i;
}

TEST_P(MassAreas, ZerosFollowTheLastEntry)
{
    const MassCase& c = GetParam();
    std::vector<uint8_t> area(c.areaSize, 0xA5);
    EXPECT_EQ(c.encode(SampleMass(3), area.data()), 0u);
    for (size_t i = mass::kEntries + 3 * c.entrySize; i < c.areaSize; ++i) ASSERT_EQ(area[i], 0) << "byte " << i;
    // Between the ICAO text and the first entry as well.
    for (size_t i = 5; i < mass::kEntries; ++i) EXPECT_EQ(area[i], 0) << "byte " << i;
}

TEST_P(MassAreas, DecodingStopsAtTheFirstAllZeroEntry)
{
    const MassCase& c = GetParam();
    std::vector<uint8_t> area(c.areaSize, 0);
    PutText(area.data(), 0, "XVLK");
    const auto entry = [&](size_t index, int32_t category, int32_t number) {
        Put32(area.data(), mass::kEntries + index * c.entrySize, static_cast<uint32_t>(category));
        Put32(area.data(), mass::kEntries + index * c.entrySize + 4, static_cast<uint32_t>(number));
    };
    entry(0, 5, 22);
    entry(1, 0, 7);  // category 0 ("other") with a number: an entry, not the end
    // entry 2 stays zero
    entry(3, 6, 1);  // after the end: not read
    MassResponse got;
    ASSERT_TRUE(c.decode(area.data(), area.size(), got));
    ASSERT_EQ(got.entries.size(), 2u);
    EXPECT_EQ(got.entries[0].number, 22);
    EXPECT_EQ(got.entries[1].category, 0);
    EXPECT_EQ(got.entries[1].number, 7);
}

// Each area through a buffer of its own size, so that the cases share their checks.
template <typename AreaType, typename Encode>
size_t EncodeInto(const MassResponse& r, uint8_t* bytes, Encode encode)
{
    AreaType area;
    std::memcpy(area.data(), bytes, area.size());
    const size_t left = encode(r, area);
    std::memcpy(bytes, area.data(), area.size());
    return left;
}

const MassCase kMassAreas[] = {
    {"Jetways", kMassSize, mass::kEntrySize,
     [](const MassResponse& r, uint8_t* a) { return EncodeInto<MassArea>(r, a, EncodeMassResponse); },
     DecodeMassResponse},
    {"Guidance", kMassVdgsSize, mass::kVdgsEntrySize,
     [](const MassResponse& r, uint8_t* a) { return EncodeInto<MassVdgsArea>(r, a, EncodeMassResponseVdgs); },
     DecodeMassResponseVdgs},
};
INSTANTIATE_TEST_SUITE_P(ApiCodec, MassAreas, ::testing::ValuesIn(kMassAreas), testsupport::CaseName{});

// An entry whose only non-zero value is its jetway count still counts.
TEST(ApiCodecMass, AnEntryWithOnlyJetwaysIsNotTheEnd)
{
    MassArea area{};
    Put32(area.data(), mass::kEntries + 8, 2);
    Put32(area.data(), mass::kEntries + mass::kEntrySize, 5);
    MassResponse got;
    ASSERT_TRUE(DecodeMassResponse(area.data(), area.size(), got));
    EXPECT_EQ(Entries(got), (std::vector<std::tuple<int32_t, int32_t, int32_t>>{{0, 0, 2}, {5, 0, 0}}));
}

// ---- door codes ----

TEST(ApiCodecDoors, CodesAndNamesBothWays)
{
    const std::pair<const char*, uint32_t> doors[] = {{"1L", 0}, {"2L", 1}, {"3L", 2}, {"4L", 3}, {"1L Upper", 4}};
    for (const auto& [name, code] : doors) {
        EXPECT_EQ(DoorCode(name), code) << name;
        EXPECT_EQ(DoorName(code), name) << code;
    }
    for (const char* other : {"", "5L", "1R", "1l", "1L upper", "2L "}) EXPECT_EQ(DoorCode(other), kDoorNone) << other;
    EXPECT_EQ(DoorName(kDoorNone), "");
    EXPECT_EQ(DoorName(6), "");
    EXPECT_EQ(DoorName(0xFFFFFFFFu), "");
}

}  // namespace
