// Any bytes as an API area that another program wrote: every request and answer record decoded from
// them. Texts never run past their fields, short input is refused, and a decoded record re-encodes to
// an area that decodes to the same fields (after one pass, which cuts texts to leave their terminator).
#include "link/ApiCodec.h"

#include "fuzz/fuzz_support.h"

#include <cstring>

using namespace api_wire;

namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void CheckText(const std::string& text, size_t fieldSize)
{
    VELK_FUZZ_CHECK(text.size() <= fieldSize);
    VELK_FUZZ_CHECK(text.find('\0') == std::string::npos);
}

void CheckStand(const StandRef& stand, size_t icaoSize, size_t nameSize)
{
    CheckText(stand.icao, icaoSize);
    CheckText(stand.name, nameSize);
}

bool SameStand(const StandRef& a, const StandRef& b)
{
    return a.icao == b.icao && a.name == b.name && a.number == b.number;
}

// Decodes, encodes into a fresh area and decodes again; then once more, which must change nothing.
template <typename Record, typename Decode, typename Encode, typename Same>
void RoundTrip(const uint8_t* data, size_t size, Decode decode, Encode encode, Same same)
{
    Record first;
    if (!decode(data, size, first)) return;
    Area once{};
    encode(first, once);
    Record second;
    VELK_FUZZ_CHECK(decode(once.data(), once.size(), second));
    Area twice{};
    encode(second, twice);
    Record third;
    VELK_FUZZ_CHECK(decode(twice.data(), twice.size(), third));
    VELK_FUZZ_CHECK(same(second, third));
    VELK_FUZZ_CHECK(once == twice);
}

void Requests(const uint8_t* data, size_t size)
{
    JetwayQueryRequest query;
    if (DecodeJetwayQuery(data, size, query)) CheckStand(query.stand, in::kQueryIcao.size, in::kQueryStand.size);
    RoundTrip<JetwayQueryRequest>(data, size, DecodeJetwayQuery, EncodeJetwayQuery,
                                  [](const JetwayQueryRequest& a, const JetwayQueryRequest& b) {
                                      return SameStand(a.stand, b.stand) && SameBits(a.latitude, b.latitude) &&
                                             SameBits(a.longitude, b.longitude) &&
                                             SameBits(a.altitudeFeet, b.altitudeFeet);
                                  });

    JetwayTriggerRequest trigger;
    if (DecodeJetwayTrigger(data, size, trigger))
        CheckText(trigger.door, trigger.aiForm ? in::kAiDoor.size : in::kTriggerDoor.size);
    RoundTrip<JetwayTriggerRequest>(data, size, DecodeJetwayTrigger, EncodeJetwayTrigger,
                                    [](const JetwayTriggerRequest& a, const JetwayTriggerRequest& b) {
                                        bool same = a.aiForm == b.aiForm && a.mode == b.mode &&
                                                    a.jetwayId == b.jetwayId && a.aiAircraftId == b.aiAircraftId &&
                                                    a.own == b.own && a.door == b.door &&
                                                    a.overrideDoor == b.overrideDoor;
                                        for (size_t i = 0; i < a.doorData.size(); ++i)
                                            same = same && SameBits(a.doorData[i], b.doorData[i]);
                                        return same;
                                    });

    JetwayInformRequest inform;
    if (DecodeJetwayInform(data, size, inform)) {
        CheckStand(inform.stand, in::kInformIcao.size, in::kInformStand.size);
        CheckText(inform.simTitle, in::kInformTitle.size);
    }
    RoundTrip<JetwayInformRequest>(data, size, DecodeJetwayInform, EncodeJetwayInform,
                                   [](const JetwayInformRequest& a, const JetwayInformRequest& b) {
                                       return a.mode == b.mode && a.jetwayId == b.jetwayId &&
                                              SameBits(a.latitude, b.latitude) && SameBits(a.heading, b.heading) &&
                                              SameStand(a.stand, b.stand) && a.multiIndex == b.multiIndex &&
                                              a.simTitle == b.simTitle && a.doorTargets == b.doorTargets &&
                                              a.version == b.version && a.partIds == b.partIds;
                                   });

    StandInformRequest stand;
    if (DecodeStandInform(data, size, stand)) CheckStand(stand.stand, in::kStandIcao.size, in::kStandName.size);
    RoundTrip<StandInformRequest>(data, size, DecodeStandInform, EncodeStandInform,
                                  [](const StandInformRequest& a, const StandInformRequest& b) {
                                      return a.mode == b.mode && SameStand(a.stand, b.stand);
                                  });

    MassQueryRequest mass;
    if (DecodeMassQuery(data, size, mass)) CheckText(mass.icao, in::kMassIcao.size);
}

void Answers(const uint8_t* data, size_t size)
{
    JetwayResponse response;
    if (DecodeJetwayResponse(data, size, response))
        for (const std::string& name : response.names) CheckText(name, 64);
    StatusAnswer status;
    DecodeTriggerStatus(data, size, status);
    DecodeInformStatus(data, size, status);
    DecodeStandStatus(data, size, status);

    MassResponse mass;
    if (DecodeMassResponse(data, size, mass)) {
        CheckText(mass.icao, mass::kIcao.size);
        VELK_FUZZ_CHECK(mass.entries.size() <= kMaxMassEntries);
        MassArea area{};
        VELK_FUZZ_CHECK(EncodeMassResponse(mass, area) == 0);
    }
    if (DecodeMassResponseVdgs(data, size, mass)) VELK_FUZZ_CHECK(mass.entries.size() <= kMaxMassEntries);

    LiteRecord lite;
    if (DecodeLite(data, size, lite)) {
        CheckStand(lite.stand, lite::kIcao.size, lite::kStand.size);
        LiteArea once{};
        EncodeLite(lite, once);
        LiteRecord again;
        VELK_FUZZ_CHECK(DecodeLite(once.data(), once.size(), again));
        LiteArea twice{};
        EncodeLite(again, twice);
        VELK_FUZZ_CHECK(once == twice);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Short input must be refused by every decoder: nothing may be read past its end.
    JetwayQueryRequest untouched;
    untouched.stand.name = "UNTOUCHED";
    JetwayQueryRequest query = untouched;
    if (size < kRecordSize) {
        VELK_FUZZ_CHECK(!DecodeJetwayQuery(data, size, query));
        VELK_FUZZ_CHECK(query.stand.name == untouched.stand.name);
    }
    Requests(data, size);
    Answers(data, size);
    return 0;
}
