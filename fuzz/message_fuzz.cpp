// Any bytes as a run of messages from the simulator, handed to orvane's dispatch the way the connection
// hands them over. Each message lies in a buffer of exactly its given size, so that the sanitizer sees
// any read past it. The input is a run of frames: a control byte, a u16 length and the message bytes.
// Control bit 0 writes the length into the header's size field (else the size field is whatever the
// bytes say), bit 1 sets the message kind to (control >> 3) % 17.
//
// Checks: only a QUIT message of a whole header sets the quit flag; a jetway report that cannot be read
// and an AI scan answer cut short are logged as errors, data of an unknown client-data definition is
// counted as a simulator error; after the run a pause event and visual frames are still handled as they
// should be. The program (connection to an in-process simulator, registrations) is built once; its flags
// and the parts the messages reach are made anew for every input, so that one input always does the same.
#include "app/FSProcess.h"
#include "app/HandlerSupport.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "jetway/AIMonitor.h"
#include "jetway/JetwayHandler.h"
#include "jetway/core/JetwayCodec.h"
#include "link/SeasonalObjectHandler.h"
#include "link/SimConnectIds.h"
#include "link/SimStatus.h"
#include "objects/SimObjectList.h"
#include "platform/simconnect/SimConnect.h"
#include "simulator/Simulator.h"

#include "fuzz/fuzz_support.h"

#include <log4cpp/AppenderSkeleton.hh>
#include <log4cpp/Category.hh>
#include <log4cpp/LoggingEvent.hh>
#include <log4cpp/Priority.hh>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

using namespace velk_ids;

namespace {

// Counts the errors logged anywhere; nothing is formatted or written.
class ErrorCounter : public log4cpp::AppenderSkeleton {
public:
    ErrorCounter() : AppenderSkeleton("fuzz-errors") {}
    void close() override {}
    bool requiresLayout() const override { return false; }
    void setLayout(log4cpp::Layout* layout) override { delete layout; }
    size_t errors = 0;

protected:
    void _append(const log4cpp::LoggingEvent& event) override
    {
        if (event.priority <= log4cpp::Priority::ERROR) ++errors;
    }
};

ErrorCounter* g_errors = nullptr;
// Never destroyed: the connection lives as long as the process.
simulator::Simulator* g_sim = nullptr;

// Flags and parts as a fresh run phase has them, the connection kept.
void FreshState()
{
    program::State& flags = program::Flags();
    flags.Reset();
    flags.targetPlatform = "P3Dv4";
    flags.logFolder = "C:\\ProgramData\\Quorvath\\VELK\\log";
    flags.objectCount = 1;
    program::Components& parts = program::Parts();
    parts.seasonal.reset(new SeasonalObjectHandler());
    parts.simStatus.reset(new SimStatus());
    parts.customCommands.reset(new CustomCommandList(2));
    parts.jetwayHandler.reset(new JetwayHandler());
    parts.aiMonitor.reset(new AIMonitor());
    parts.activeObjects.reset(new SimObjectList());
}

void Discard(SIMCONNECT_RECV*, DWORD, void*) {}

// What the simulator answered the program is dropped, so that nothing piles up between inputs.
void DrainAnswers() { SimConnect_CallDispatch(program::Sim().GetHandle(), Discard, nullptr); }

void Deliver(void* message, DWORD size) { FSProcess::Dispatch(static_cast<SIMCONNECT_RECV*>(message), size, nullptr); }

SIMCONNECT_RECV_EVENT Event(DWORD kind, DWORD id, DWORD data)
{
    SIMCONNECT_RECV_EVENT e{};
    e.dwSize = sizeof(e);
    e.dwVersion = 1;
    e.dwID = kind;
    e.uGroupID = SIMCONNECT_UNKNOWN_GROUP;
    e.uEventID = id;
    e.dwData = data;
    return e;
}

uint32_t Word(const uint8_t* bytes, size_t size, size_t at)
{
    uint32_t value = 0;
    if (at + 4 <= size) std::memcpy(&value, bytes + at, 4);
    return value;
}

uint64_t SimulatorErrorCount()
{
    uint64_t total = 0;
    for (const auto& entry : program::Flags().simulatorErrors) total += entry.second;
    return total;
}

// One message, in a buffer of exactly its size; the checks that follow from its bytes alone.
void DeliverChecked(uint8_t* bytes, size_t size)
{
    const size_t errorsBefore = g_errors->errors;
    const uint64_t simulatorErrorsBefore = SimulatorErrorCount();
    const bool whole = size >= sizeof(SIMCONNECT_RECV);
    const uint32_t kind = Word(bytes, size, 8);
    const bool dataHeader = size >= sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA);
    const uint32_t request = Word(bytes, size, 12);
    const uint32_t define = Word(bytes, size, 20);
    const uint32_t outOf = Word(bytes, size, 32);

    Deliver(bytes, static_cast<DWORD>(size));

    VELK_FUZZ_CHECK(program::Flags().quit.load() == ((whole && kind == SIMCONNECT_RECV_ID_QUIT) ? 1 : 0));
    program::Flags().quit.store(0);
    // An AI scan answer too short for its six numbers, airport and parking fields is skipped with an error.
    constexpr size_t kScanFixedPart = 6 * sizeof(double) + 32 + 128;
    if (whole && kind == SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE && dataHeader && request == RequestAiScan &&
        outOf != 0 && size < SIMCONNECT_DATA_OFFSET + kScanFixedPart)
        VELK_FUZZ_CHECK(g_errors->errors > errorsBefore);
    if (whole && kind == SIMCONNECT_RECV_ID_CLIENT_DATA && dataHeader) {
        const bool knownDefine = define == ClientDefApiRecord || define == ClientDefApiLite ||
                                 define == ClientDefJetwayRecord || define == ClientDefAcftLVars;
        const bool unreadableReport =
            request == RequestJetwayDataOut && size - SIMCONNECT_DATA_OFFSET < jetway_wire::kRecordSize;
        // Lines a peer causes (the simulator's errors among them) are counted per text and logged at the
        // first of each and then seldom; an unknown definition is one of them, and the request it names
        // may add its own.
        if (!knownDefine) VELK_FUZZ_CHECK(SimulatorErrorCount() > simulatorErrorsBefore);
        if (unreadableReport) VELK_FUZZ_CHECK(g_errors->errors > errorsBefore);
    }
}

// The program still handles good messages: the pause follows its event, and every third visual frame
// runs the frame work.
void CheckStillHandled()
{
    const SimStatus& status = *program::Parts().simStatus;
    for (const DWORD paused : {1u, 0u}) {
        SIMCONNECT_RECV_EVENT pause = Event(SIMCONNECT_RECV_ID_EVENT, EventPause, paused);
        Deliver(&pause, sizeof(pause));
        VELK_FUZZ_CHECK(status.IsPaused() == (paused != 0));
    }
    SIMCONNECT_RECV_EVENT_FRAME frame{};
    const SIMCONNECT_RECV_EVENT header = Event(SIMCONNECT_RECV_ID_EVENT_FRAME, EventFrame, 0);
    std::memcpy(&frame, &header, sizeof(header));
    frame.dwSize = sizeof(frame);
    const int before = program::Flags().frameCounter;
    VELK_FUZZ_CHECK(before >= 0 && before < 3);
    for (int i = 0; i < 3; ++i) Deliver(&frame, sizeof(frame));
    VELK_FUZZ_CHECK(program::Flags().frameCounter == before);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::filesystem::path root = velk_fuzz::ScratchFolder() / "machine";
    std::filesystem::create_directories(root / "c" / "ProgramData" / "Quorvath" / "VELK");
    setenv("VELK_MACHINE_ROOT", root.c_str(), 1);
    // Errors are counted, nothing below them is formatted.
    log4cpp::Category& log = log4cpp::Category::getRoot();
    log.removeAllAppenders();
    log.setPriority(log4cpp::Priority::ERROR);
    g_errors = new ErrorCounter();
    log.addAppender(g_errors);

    g_sim = new simulator::Simulator();
    g_sim->ServeInProcess();
    FreshState();
    program::Parts().settings.reset(new Settings(log4cpp::Category::getInstance("VELK.SETTINGS")));
    if (program::Sim().Open() != S_OK) velk_fuzz::Fail("cannot open the connection", __FILE__, __LINE__);
    FSProcess::RegisterWithSimulator();
    DrainAnswers();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FreshState();
    size_t at = 0;
    while (at + 3 <= size) {
        const uint8_t control = data[at];
        size_t length = static_cast<size_t>(data[at + 1]) | static_cast<size_t>(data[at + 2]) << 8;
        at += 3;
        length = std::min(length, size - at);
        std::unique_ptr<uint8_t[]> bytes(new uint8_t[length]);
        if (length > 0) std::memcpy(bytes.get(), data + at, length);
        at += length;
        if ((control & 1) != 0 && length >= 4) {
            const auto declared = static_cast<uint32_t>(length);
            std::memcpy(bytes.get(), &declared, 4);
        }
        if ((control & 2) != 0 && length >= 12) {
            const uint32_t kind = (control >> 3) % 17;
            std::memcpy(bytes.get() + 8, &kind, 4);
        }
        DeliverChecked(bytes.get(), length);
    }
    CheckStillHandled();
    DrainAnswers();
    return 0;
}
