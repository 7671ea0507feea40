// Writes the seed corpus of every fuzz target: make_seeds <folder> fills <folder>/<target>/. The
// corpus kept in fuzz/corpus/ was made with it; run it again when a format changes.
// The SimConnect seeds are recorded from the real client calls, so they stay in step with the client.
#include "jetway/core/JetwayCodec.h"
#include "link/ApiCodec.h"
#include "platform/simconnect/SimConnect.h"
#include "platform/simconnect/Transport.h"
#include "simulator/Simulator.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
namespace sc = platform::simconnect;

namespace {

using Bytes = std::vector<uint8_t>;

void Write(const fs::path& folder, const std::string& name, const Bytes& bytes)
{
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const fs::path& folder, const std::string& name, const std::string& text)
{
    Write(folder, name, Bytes(text.begin(), text.end()));
}

// ---- WAV ----

void Put16(Bytes& b, uint16_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& b, uint32_t v)
{
    Put16(b, static_cast<uint16_t>(v));
    Put16(b, static_cast<uint16_t>(v >> 16));
}

void PutId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

// RIFF/WAVE with a 16-byte "fmt ", optional extra chunks before "data", then the samples.
Bytes Wave(uint16_t channels, uint16_t bits, uint32_t rate, const Bytes& samples, const Bytes& extraChunk = {})
{
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    Bytes b;
    PutId(b, "RIFF");
    Put32(b, 0);  // patched below
    PutId(b, "WAVE");
    PutId(b, "fmt ");
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * align);
    Put16(b, align);
    Put16(b, bits);
    b.insert(b.end(), extraChunk.begin(), extraChunk.end());
    PutId(b, "data");
    Put32(b, static_cast<uint32_t>(samples.size()));
    b.insert(b.end(), samples.begin(), samples.end());
    if (samples.size() % 2) b.push_back(0);
    const uint32_t riffSize = static_cast<uint32_t>(b.size() - 8);
    for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<uint8_t>(riffSize >> (8 * i));
    return b;
}

void WavSeeds(const fs::path& folder)
{
    Bytes ramp;
    for (int i = 0; i < 32; ++i) ramp.push_back(static_cast<uint8_t>(128 + i * 3));
    Write(folder, "mono8.wav", Wave(1, 8, 22050, ramp));  // the plain 44-byte header
    Bytes list;
    PutId(list, "LIST");
    Put32(list, 9);
    PutId(list, "INFO");
    list.insert(list.end(), {'a', 'b', 'c', 'd', 'e', 0});  // odd size: a pad byte follows
    Write(folder, "stereo16-list.wav", Wave(2, 16, 11025, Bytes(24, 0x40), list));
    Bytes cut = Wave(1, 16, 44100, Bytes(20, 0x7F));
    cut.resize(cut.size() - 7);  // "data" claims more than is there
    Write(folder, "cut-off.wav", cut);
}

// ---- INI ----

void IniSeeds(const fs::path& folder)
{
    WriteText(folder, "config.ini",
              "\xEF\xBB\xBF; settings\r\n"
              "[General]\r\n"
              "Name = Orvane \r\n"
              "Quoted=\"  spaced  \"\r\n"
              "Number=-42\r\n"
              "[Sound]\n"
              "Volume=80\n"
              "volume=second\n"
              "  [ Paths ] trailing\n"
              "Folder='C:\\ProgramData'\n"
              "novalue\n"
              "[general]\n"
              "Extra=1\n");
    WriteText(folder, "odd.ini", "key=before any section\n[Open\n=no name\n[]\nk=v\n;x=y\n\t[T]\tk\t=\t'\n");
}

// ---- Jetway record ----

void JetwaySeeds(const fs::path& folder)
{
    const JetwayData defaults;
    const JetwayBytes plain = EncodeJetwayData(defaults);
    Write(folder, "default.bin", Bytes(plain.begin(), plain.end()));

    // A job the module accepts.
    JetwayData job;
    job.JetwayObjectId = 17;
    job.JetwayType = kJetwayTypeN;
    job.PeriodMs = 40;
    job.KeyframeCount = 100;
    job.BridgeLengthRange = {10, 30};
    job.RootSweepRange = {-90, 90};
    job.BridgeDipRange = {-5, 5};
    job.HeadSweepRange = {-120, 120};
    job.LegLengthRange = {2, 6};
    job.TargetExtension = 18;
    job.TargetRootRotation = 0.3;
    job.JetwayLatitude = 47.26;
    job.JetwayLongitude = 11.34;
    job.JetwayHeading = 265;
    job.Parts[0].SetSimTitle("jetway head");
    job.Parts[0].SetLinkType(LinkType::Head);
    job.Parts[1].SetSimTitle("jetway bridge");
    job.Parts[1].SetLinkType(LinkType::BridgeMoving);
    job.Parts[1].SetOffset(0, 1.5, -4);
    const JetwayBytes encoded = EncodeJetwayData(job);
    Write(folder, "job.bin", Bytes(encoded.begin(), encoded.end()));
}

// ---- SimConnect requests ----

// Records every request frame a client sends, in the fuzz target's input form.
struct Recording {
    Bytes bytes;
    uint8_t control = 0;  // OR-ed into the control byte of the next frame
};

class RecordingSession : public sc::Session {
public:
    RecordingSession(std::unique_ptr<sc::Session> inner, std::shared_ptr<Recording> out, uint8_t client)
        : inner_(std::move(inner)), out_(std::move(out)), client_(client)
    {
    }
    bool Exchange(const sc::Bytes& request, sc::Bytes& reply) override
    {
        out_->bytes.push_back(static_cast<uint8_t>(client_ | out_->control));
        out_->control = 0;
        out_->bytes.push_back(static_cast<uint8_t>(request.size()));
        out_->bytes.push_back(static_cast<uint8_t>(request.size() >> 8));
        out_->bytes.insert(out_->bytes.end(), request.begin(), request.end());
        return inner_->Exchange(request, reply);
    }

private:
    std::unique_ptr<sc::Session> inner_;
    std::shared_ptr<Recording> out_;
    uint8_t client_;
};

class RecordingEndpoint : public sc::Endpoint {
public:
    RecordingEndpoint(std::shared_ptr<sc::Endpoint> inner, std::shared_ptr<Recording> out)
        : inner_(std::move(inner)), out_(std::move(out))
    {
    }
    std::unique_ptr<sc::Session> Connect() override
    {
        auto session = inner_->Connect();
        if (!session) return nullptr;
        return std::make_unique<RecordingSession>(std::move(session), out_, static_cast<uint8_t>(clients_++ & 1));
    }

private:
    std::shared_ptr<sc::Endpoint> inner_;
    std::shared_ptr<Recording> out_;
    int clients_ = 0;
};

void Drain(HANDLE h)
{
    SIMCONNECT_RECV* data = nullptr;
    DWORD size = 0;
    while (SUCCEEDED(SimConnect_GetNextDispatch(h, &data, &size))) {
    }
}

// Runs a session of two clients against a simulator and writes what they sent.
template <typename Script>
void Record(const fs::path& folder, const std::string& name, Script script)
{
    simulator::Simulator sim("Prepar3D");
    sim.ServeInProcess();
    auto recording = std::make_shared<Recording>();
    sc::SetInProcessEndpoint(std::make_shared<RecordingEndpoint>(sc::GetInProcessEndpoint(), recording));
    sim.StartSim();
    HANDLE a = nullptr, b = nullptr;
    SimConnect_Open(&a, "Fuzz A", nullptr, 0, nullptr, 0);
    SimConnect_Open(&b, "Fuzz B", nullptr, 0, nullptr, 0);
    script(a, b, *recording);
    Drain(a);
    Drain(b);
    SimConnect_Close(a);
    SimConnect_Close(b);
    sc::SetInProcessEndpoint(nullptr);
    Write(folder, name, recording->bytes);
}

constexpr uint8_t kFrameAfter = 2;
constexpr uint8_t kSecondAfter = 4;

void SimConnectSeeds(const fs::path& folder)
{
    Record(folder, "client-data.bin", [](HANDLE a, HANDLE b, Recording&) {
        SimConnect_MapClientDataNameToID(a, "VELK.JetwayData.In.1", 10);
        SimConnect_CreateClientData(a, 10, 64, SIMCONNECT_CREATE_CLIENT_DATA_FLAG_DEFAULT);
        SimConnect_AddToClientDataDefinition(a, 1, SIMCONNECT_CLIENTDATAOFFSET_AUTO, 64);
        SimConnect_MapClientDataNameToID(b, "VELK.JetwayData.In.1", 20);
        SimConnect_AddToClientDataDefinition(b, 2, 0, 64);
        SimConnect_RequestClientData(b, 20, 5, 2, SIMCONNECT_CLIENT_DATA_PERIOD_ON_SET);
        uint8_t block[64] = {1, 2, 3, 4};
        SimConnect_SetClientData(a, 10, 1, 0, 0, sizeof block, block);
        Drain(b);
    });
    Record(folder, "events.bin", [](HANDLE a, HANDLE b, Recording& rec) {
        SimConnect_SubscribeToSystemEvent(a, 1, "1sec");
        SimConnect_SubscribeToSystemEvent(a, 2, "Frame");
        SimConnect_MapClientEventToSimEvent(a, 100, "VELK.Start");
        SimConnect_MapClientEventToSimEvent(b, 200, "VELK.Start");
        SimConnect_AddClientEventToNotificationGroup(b, 7, 200);
        SimConnect_SetNotificationGroupPriority(b, 7, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
        SimConnect_TransmitClientEvent(a, 0, 100, 42, SIMCONNECT_GROUP_PRIORITY_HIGHEST,
                                       SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
        SimConnect_MapInputEventToClientEvent(a, 3, "shift+ctrl+v", 101);
        SimConnect_SetInputGroupState(a, 3, SIMCONNECT_STATE_ON);
        SimConnect_RequestReservedKey(b, 300, "ctrl+j");
        rec.control = kSecondAfter;
        SimConnect_RequestSystemState(a, 9, "Sim");
        Drain(a);
        Drain(b);
    });
    Record(folder, "objects.bin", [](HANDLE a, HANDLE, Recording& rec) {
        SimConnect_AddToDataDefinition(a, 1, "PLANE LATITUDE", "degrees");
        SimConnect_AddToDataDefinition(a, 1, "TITLE", nullptr, SIMCONNECT_DATATYPE_STRING256);
        SimConnect_RequestDataOnSimObject(a, 1, 1, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_SECOND);
        SimConnect_RequestDataOnSimObjectType(a, 2, 1, 5000, SIMCONNECT_SIMOBJECT_TYPE_ALL);
        SIMCONNECT_DATA_INITPOSITION at{};
        at.Latitude = 47.26;
        at.Longitude = 11.34;
        at.OnGround = 1;
        rec.control = kFrameAfter;
        SimConnect_AICreateSimulatedObject(a, "jetway head", at, 3);
        SimConnect_AddToDataDefinition(a, 2, "PLANE ALTITUDE", "feet");
        double feet = 1900;
        SimConnect_SetDataOnSimObject(a, 2, SIMCONNECT_OBJECT_ID_USER, 0, 0, sizeof feet, &feet);
        rec.control = kSecondAfter;
        SimConnect_AIRemoveObject(a, 1, 4);
        Drain(a);
    });
    Record(folder, "menus.bin", [](HANDLE a, HANDLE, Recording&) {
        const char menu[] = "Title\0Prompt\0First\0Second\0";
        SimConnect_Text(a, SIMCONNECT_TEXT_TYPE_MENU, 0, 5, sizeof menu, const_cast<char*>(menu));
        const char text[] = "Hello";
        SimConnect_Text(a, SIMCONNECT_TEXT_TYPE_PRINT_WHITE, 2.0f, 6, sizeof text, const_cast<char*>(text));
        SimConnect_MenuAddItem(a, "VELK", 50, 0);
        SimConnect_MenuAddSubItem(a, 50, "Reset", 51, 0);
        SimConnect_MenuDeleteSubItem(a, 50, 51);
        SimConnect_MenuDeleteItem(a, 50);
        Drain(a);
    });
}

// ---- API areas ----

template <size_t N>
Bytes AsBytes(const std::array<uint8_t, N>& area)
{
    return Bytes(area.begin(), area.end());
}

void ApiSeeds(const fs::path& folder)
{
    using namespace api_wire;
    Area query{};
    EncodeMassQuery(MassQueryRequest{"XVLK"}, query);
    EncodeJetwayQuery(JetwayQueryRequest{{"XVLK", "GATE_B", 22}, 48.1, 11.5, 1650.0}, query);
    Write(folder, "query.bin", AsBytes(query));

    Area operate{};
    JetwayTriggerRequest trigger;
    trigger.jetwayId = 4711;
    trigger.door = "1L";
    trigger.overrideDoor = true;
    trigger.doorData = {48.1, 11.5, 1650.0, 1.0, 0.5, 2.0, 0.0, 0.0};
    EncodeJetwayTrigger(trigger, operate);
    JetwayInformRequest inform;
    inform.mode = kInformRegister;
    inform.jetwayId = 4712;
    inform.latitude = 48.1;
    inform.longitude = 11.5;
    inform.altitudeFeet = 1650.0;
    inform.heading = 90.0;
    inform.stand = {"KJFK", "gate a", 12};
    inform.multiIndex = 1;
    inform.simTitle = "Quorvath Jetway H";
    inform.doorTargets = {1, 2, 3, 4};
    inform.partIds = {5, 6, 7, 0};
    EncodeJetwayInform(inform, operate);
    Write(folder, "trigger-inform.bin", AsBytes(operate));

    // The AI form and a stand selection, every text without its terminator.
    Area unterminated;
    unterminated.fill('A');
    EncodeStandInform(StandInformRequest{kStandSelect, {"XVLK", "GATE_B", 22}}, unterminated);
    JetwayTriggerRequest ai;
    ai.aiForm = true;
    ai.jetwayId = 4711;
    ai.aiAircraftId = 99;
    EncodeJetwayTrigger(ai, unterminated);
    std::fill_n(unterminated.begin() + in::kAiDoor.offset, in::kAiDoor.size, 'B');
    Write(folder, "ai-unterminated.bin", AsBytes(unterminated));

    MassArea mass{};
    EncodeMassResponse(MassResponse{"XVLK", {{5, 21, 1}, {5, 22, 2}, {5, 23, 3}}}, mass);
    Write(folder, "mass.bin", AsBytes(mass));

    LiteArea lite{};
    EncodeLite(LiteRecord{kStandSelect, {"XVLK", "GATE_B", 22}, kStandSelected}, lite);
    Write(folder, "lite.bin", AsBytes(lite));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <corpus folder>\n");
        return 2;
    }
    const fs::path root = argv[1];
    IniSeeds(root / "ini_fuzz");
    WavSeeds(root / "wav_fuzz");
    JetwaySeeds(root / "jetway_record_fuzz");
    SimConnectSeeds(root / "simconnect_wire_fuzz");
    ApiSeeds(root / "api_codec_fuzz");
    return 0;
}
