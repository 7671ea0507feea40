// Object data answers and created objects against the in-process simulator: the user aircraft and the
// sim-bubble trigger, probe weather, date and time, ground altitude under objects placed above ground,
// density-altitude and gate-number displays, creation answers and refused creations.
#include "app/FSProcess.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "guidance/GateNumberBox.h"
#include "jetway/LinkedSimObjectHandler.h"
#include "jetway/core/LinkedSimObject.h"
#include "link/SeasonalObjectHandler.h"
#include "link/SimStatus.h"
#include "objects/EnviroDataProbe.h"
#include "objects/InjectionQueue.h"
#include "objects/SimObjectList.h"
#include "scenery/SimBubble.h"
#include "simulator/Simulator.h"
#include "tests/app/CoreTestSupport.h"
#include "tests/support/ProgramParts.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <limits>

using namespace coretest;
using namespace velk_ids;
using program::Flags;
using program::Parts;
using program::Sim;

namespace {

constexpr const char* kTitle = "Quorvath_VELK_Beacon";
constexpr double kLatitude = 10.0;
constexpr double kLongitude = 10.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<uint8_t> Bytes(const void* data, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(p, p + size);
}

class ObjectDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        program::Components& parts = testsupport::MakeProgramParts(
            {.customCommands = 2, .objects = true, .probes = true, .injection = true, .bubble = true,
             .gateNumbers = true, .linkedObjects = true});
        Flags().objectCount = 1;
        sim.ServeInProcess();
        ASSERT_EQ(Sim().Open(), S_OK);
        ASSERT_EQ(SimConnect_Open(&module, "Module", nullptr, 0, nullptr, 0), S_OK);
        parts.linkedObjectHandler->SetHandle(Sim().GetHandle());
        FSProcess::RegisterWithSimulator();
        Pending();
        Drain(module);
        log.Clear();
    }
    void TearDown() override
    {
        Sim().Close();
        SimConnect_Close(module);
        testsupport::ClearProgramParts();
    }

    SimObjectList& Active() { return *Parts().activeObjects; }
    InjectionQueue& Queue() { return *Parts().injectionQueue; }

    // A plain object of the active list, numbered as the bubble numbers them.
    SimObject& AddObject(const std::string& name, double altitude = 100.0, bool aboveGround = false)
    {
        SimObject object;
        object.SetName(name);
        object.AddModel(kTitle);
        object.SetPlacement(kLatitude, kLongitude, altitude, aboveGround, false, 0, 0, 0);
        object.SetRequestId(static_cast<uint32_t>(SimObjectList::kDefaultRequestIdBase + Active().Count()));
        Active().Add(object);
        return *Active().At(Active().Count() - 1);
    }

    // The creation call as the injection sends it: tagged request, send id mapped.
    void RequestCreation(SimObject& object)
    {
        object.SetCreateRequested(true);
        object.SetCreatePending(true);
        Sim().CreateObject(object.GetCurrentSimTitle(), Queue().TagRequest(object.GetRequestId()),
                           object.GetPlacement());
        Queue().MapRequest(static_cast<int32_t>(Sim().GetLastSentPacketId()),
                           static_cast<int32_t>(object.GetRequestId()));
    }

    // An object in the simulator that the program did not create (the module's), for writes to land on.
    DWORD ForeignObject()
    {
        SIMCONNECT_DATA_INITPOSITION at{};
        at.Latitude = kLatitude;
        at.Longitude = kLongitude;
        EXPECT_EQ(SimConnect_AICreateSimulatedObject(module, kTitle, at, 1), S_OK);
        for (const Message& m : Drain(module))
            if (Kind(m) == SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID)
                return As<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(m).dwObjectID;
        ADD_FAILURE() << "no object created";
        return 0;
    }

    std::vector<Message> Pending() { return Drain(Sim().GetHandle()); }

    // Hands the program the pending messages of one kind; returns every pending message.
    std::vector<Message> Deliver(DWORD kind)
    {
        std::vector<Message> messages = Pending();
        for (Message& m : messages)
            if (Kind(m) == kind)
                FSProcess::Dispatch(reinterpret_cast<SIMCONNECT_RECV*>(m.data()), static_cast<DWORD>(m.size()), nullptr);
        return messages;
    }

    static std::vector<DWORD> EventData(const std::vector<Message>& messages, DWORD eventId)
    {
        std::vector<DWORD> data;
        for (const auto& e : OfKind<SIMCONNECT_RECV_EVENT>(messages, SIMCONNECT_RECV_ID_EVENT))
            if (e.uEventID == eventId) data.push_back(e.dwData);
        return data;
    }

    std::vector<DWORD> CreationFinishedEvents() { return EventData(Pending(), EventInjectionFinished); }

    double Number(DWORD id, const char* variable)
    {
        return sim.Number(id, variable, "Number").value_or(kNaN);
    }

    TempMachineRoot root;
    LogCapture log;
    simulator::Simulator sim;
    HANDLE module = nullptr;
};

// ---- User aircraft --------------------------------------------------------------------------------------

std::vector<uint8_t> UserRecord(double latitude, double longitude, double altitude)
{
    const double record[UserAircraft::kSimDataCount] = {latitude, longitude, altitude, 0, 0, 0.5, 1, 2, 3, 0, 0};
    return Bytes(record, sizeof(record));
}

TEST_F(ObjectDataTest, UserAircraftAnswerStartsABubbleUpdate)
{
    SimBubble& bubble = *Parts().simBubble;
    // 0.1 degree of latitude is about 11 km, 0.2 about 22 km, 0.27 about 30 km.
    const struct {
        const char* name;
        double latitude, altitude;
        bool inZone, aboveCeiling, pending, initialised, uiChange;
        std::vector<DWORD> modes;
    } rows[] = {
        {"near, below the ceiling", 10.1, 1000, false, false, false, true, false, {}},
        {"beyond 18 km", 10.2, 1000, false, false, false, true, false, {1}},
        {"beyond 18 km inside a protection zone", 10.2, 1000, true, false, false, true, false, {}},
        {"beyond 28 km inside a protection zone", 10.27, 1000, true, false, false, true, false, {1}},
        {"climbing through the ceiling", 10.1, 18000, false, false, false, true, false, {2}},
        {"descending through the ceiling", 10.1, 17999, false, true, false, true, false, {2}},
        {"update already pending", 10.2, 1000, false, false, true, true, false, {}},
        {"position not yet initialised", 10.2, 1000, false, false, false, false, false, {}},
        {"position changed in the interface", 10.2, 1000, false, false, false, true, true, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        bubble.SetCentre(kLatitude, kLongitude);
        bubble.SetInZone(row.inZone);
        bubble.SetAboveCeiling(row.aboveCeiling);
        bubble.SetUpdatePending(row.pending);
        Flags().positionInitialised = row.initialised;
        Flags().uiPositionChange = row.uiChange;
        const auto record = UserRecord(row.latitude, kLongitude, row.altitude);
        FSProcess::OnUserAircraftData(record.data(), record.size());
        EXPECT_DOUBLE_EQ(Active().GetUserAircraft().GetLatitude(), row.latitude);
        EXPECT_EQ(EventData(Pending(), EventSimBubbleUpdate), row.modes);
        EXPECT_EQ(bubble.IsUpdatePending(), row.pending || !row.modes.empty());
    }
}

TEST_F(ObjectDataTest, UserAircraftAnswerThatIsNoPositionChangesNothing)
{
    Flags().positionInitialised = true;
    Parts().simBubble->SetCentre(kLatitude, kLongitude);
    const auto good = UserRecord(10.01, kLongitude, 500);
    FSProcess::OnUserAircraftData(good.data(), good.size());
    const auto bad = UserRecord(kNaN, kLongitude, 500);
    FSProcess::OnUserAircraftData(bad.data(), bad.size());
    EXPECT_DOUBLE_EQ(Active().GetUserAircraft().GetLatitude(), 10.01);
    EXPECT_FALSE(Parts().simBubble->IsUpdatePending());
    EXPECT_TRUE(Pending().empty());
}

// ---- Short records -----------------------------------------------------------------------------------------

TEST_F(ObjectDataTest, ShortRecordsAreIgnored)
{
    Flags().positionInitialised = true;
    Parts().simBubble->SetCentre(0, 0);  // any full user record would start an update
    Parts().seasonal->SetChanged(true);
    SimObject& object = AddObject("Cone", 10.0, true);
    object.SetObjectId(ForeignObject());
    EnviroDataProbe probe;
    probe.SetObjectId(object.GetObjectId());
    Parts().activeProbes->Add(probe);
    const std::vector<uint8_t> bytes(200, 0x41);
    const DWORD id = object.GetObjectId();

    struct Row {
        const char* name;
        std::function<void(const uint8_t*, size_t)> handler;
        size_t fullSize;
    };
    const Row rows[] = {
        {"user aircraft", FSProcess::OnUserAircraftData, UserAircraft::kSimDataCount * 8},
        {"user aircraft state", FSProcess::OnUserAircraftState, UserAircraft::kStateDataCount * 8},
        {"probe weather", [id](const uint8_t* r, size_t s) { FSProcess::OnProbeWeather(id, r, s); }, 24},
        {"date and time", FSProcess::OnDateTime, 48},
        {"ground altitude", [id](const uint8_t* r, size_t s) { FSProcess::OnGroundAltitude(id, r, s); }, 8},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.handler(bytes.data(), row.fullSize - 1);
        row.handler(nullptr, row.fullSize);
    }
    EXPECT_DOUBLE_EQ(Active().GetUserAircraft().GetLatitude(), 0.0);
    EXPECT_FALSE(Active().GetUserAircraft().IsBeaconOn());
    EXPECT_EQ(Parts().activeProbes->At(0)->GetWindDirection(), -1);
    EXPECT_FALSE(Parts().seasonal->IsInitialised());
    EXPECT_TRUE(object.IsAltitudeAgl());
    EXPECT_DOUBLE_EQ(object.GetAltitude(), 10.0);
    EXPECT_TRUE(sim.Object(id).has_value());
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_TRUE(Pending().empty());
}

// ---- Probe weather -----------------------------------------------------------------------------------------

struct Weather {
    int32_t direction, velocity, visibility, precipitation, temperature, pressure;
};

void SendWeather(DWORD probeId, const Weather& w)
{
    FSProcess::OnProbeWeather(probeId, reinterpret_cast<const uint8_t*>(&w), sizeof(w));
}

class ProbeWeatherTest : public ObjectDataTest {
protected:
    void SetUp() override
    {
        ObjectDataTest::SetUp();
        SimObject& vane = AddObject("Vane");
        vane.SetFeature(FeatureRotationByWindDirection);
        vane.GetModel(0)->GetFeatures()->Set(FeatureRotationByWindDirection);
        vane.GetModel(0)->GetRotation()->GetWindDirection()->AddAxis("HEADING");
        vane.SetHeading(42.0);
        vane.SetObjectId(ForeignObject());
        vane.SetInSimulation(true);
        vane.SetLinkedIndex(0);
        EnviroDataProbe probe;
        probe.SetName("Probe");
        probe.SetLinkedIndex(0);
        probe.SetObjectId(ForeignObject());
        probe.SetInSimulation(true);
        Parts().activeProbes->Add(probe);
        Probe().AddClient(&vane);
        log.Clear();
    }
    EnviroDataProbe& Probe() { return *Parts().activeProbes->At(0); }
    VDR_WindDirData& Driver() { return *Active().At(0)->GetModel(0)->GetRotation()->GetWindDirection(); }
};

// stored -1 is the probe's first answer: the whole new direction is the turn.
TEST_F(ProbeWeatherTest, WindTurnFeedsTheWindDriver)
{
    const struct {
        int32_t stored, now;
        bool positive, applied;
    } rows[] = {
        {-1, 0, true, true},    {-1, 90, true, false},  {-1, 350, false, false}, {10, 20, true, false},
        {20, 20, false, true},  {10, 350, false, false}, {350, 10, true, false},  {180, 0, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.stored) + " -> " + std::to_string(row.now));
        Probe().SetWindDirection(row.stored);
        SendWeather(Probe().GetObjectId(), {row.now, 12, 9000, 2, 20, 1013});
        EXPECT_EQ(Driver().IsTurningPositive(), row.positive);
        EXPECT_EQ(Driver().IsApplied(), row.applied);
        EXPECT_DOUBLE_EQ(Driver().GetTargetAngle(), row.now);
        EXPECT_DOUBLE_EQ(Driver().GetFactor(), 12.0);
        EXPECT_DOUBLE_EQ(Driver().GetCurrentAngle(), 42.0);
    }
}

TEST_F(ProbeWeatherTest, TheProbeKeepsTheWeather)
{
    SendWeather(Probe().GetObjectId(), {270, 15, 800, 0x1F4, -5, 998});
    EXPECT_EQ(Probe().GetWindDirection(), 270);
    EXPECT_EQ(Probe().GetWindVelocity(), 15);
    EXPECT_EQ(Probe().GetVisibility(), 800);
    EXPECT_EQ(Probe().GetPrecipitation(), 4);
    EXPECT_EQ(Probe().GetTemperature(), -5);
    EXPECT_EQ(Probe().GetSeaLevelPressure(), 998);
    // Extreme directions turn without overflow.
    Probe().SetWindDirection(std::numeric_limits<int32_t>::min());
    SendWeather(Probe().GetObjectId(), {std::numeric_limits<int32_t>::max(), 1, 1, 1, 1, 1});
    EXPECT_EQ(Probe().GetWindDirection(), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(log.Lines(), std::vector<std::string>{});
}

TEST_F(ProbeWeatherTest, AnUnknownProbeIsReported)
{
    for (DWORD id : {DWORD{0}, Probe().GetObjectId() + 100}) {
        log.Clear();
        SendWeather(id, {90, 5, 9000, 2, 20, 1013});
        EXPECT_EQ(log.Lines(), std::vector<std::string>{
                                   "ERROR VELK.FSLOOP : Environmental Data Probe Handling: EDP not found in list!"});
    }
    EXPECT_EQ(Probe().GetWindDirection(), -1);
}

TEST_F(ProbeWeatherTest, TheLastAwaitedAnswerEndsTheCreation)
{
    Queue().IncrementPending();
    Queue().IncrementPending();
    SendWeather(Probe().GetObjectId(), {90, 5, 9000, 2, 20, 1013});
    EXPECT_TRUE(CreationFinishedEvents().empty());
    SendWeather(Probe().GetObjectId(), {91, 5, 9000, 2, 20, 1013});
    EXPECT_EQ(CreationFinishedEvents(), std::vector<DWORD>{1});
    // A started re-injection pass ends on its own creations instead.
    Queue().IncrementPending();
    Queue().SetPassStarted(true);
    SendWeather(Probe().GetObjectId(), {92, 5, 9000, 2, 20, 1013});
    EXPECT_TRUE(CreationFinishedEvents().empty());
}

TEST_F(ProbeWeatherTest, DensityAltitudeDisplaysFollowTheirProbe)
{
    SimObject& display = AddObject("Display", 1000.0);
    display.SetFeature(FeatureDensityAltitudeDisplay);
    display.SetObjectId(ForeignObject());
    display.SetInSimulation(true);
    Probe().AddClient(&display);
    // 1000 ft at 15 C and standard pressure: density altitude 1235.2 ft, shown as 1230.
    SendWeather(Probe().GetObjectId(), {90, 5, 9000, 2, 15, 1013});
    EXPECT_EQ(Number(display.GetObjectId(), "VELOCITY WORLD X"), double(0 | 3 << 6 | 2 << 12 | 1 << 18 | 63 << 24));
}

// ---- Density altitude ---------------------------------------------------------------------------------

double DisplayWord(std::vector<uint64_t> groups)
{
    while (groups.size() < 5) groups.push_back(63);
    uint64_t word = 0;
    for (size_t k = 0; k < groups.size(); ++k) word |= groups[k] << (6 * k);
    return static_cast<double>(word);
}

TEST_F(ObjectDataTest, DensityAltitudeDigits)
{
    SimObject& display = AddObject("Display");
    display.SetObjectId(ForeignObject());
    // At 15 C and 1013 hPa the density altitude is 1.235224 times the altitude.
    const struct {
        const char* name;
        double altitude;
        int32_t temperature, pressure;
        double word;
    } rows[] = {
        {"1234.5 ft shows 1230", 1234.5 / 1.235224, 15, 1013, DisplayWord({0, 3, 2, 1})},
        {"the pressure adds 30 ft per hPa", 0, 15, 1012, DisplayWord({0, 3})},  // PA 30, DA 37.06
        {"the temperature adds 118.8 ft per degree", 0, 16, 1013, DisplayWord({0, 1, 1})},  // DA 118.8
        {"0 ft shows one digit 0", 0, 15, 1013, DisplayWord({0})},
        {"five digits fill the display", 80000, 15, 1013, DisplayWord({0, 1, 8, 8, 9})},  // DA 98817.9
        {"a sixth digit has no place", 100000, 15, 1013, DisplayWord({0, 2, 5, 3, 2})},  // DA 123522.4
        {"negative digits show blank", -1000, 15, 1013, DisplayWord({0, 63, 63, 63})},  // DA -1235.2
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        display.SetPlacement(kLatitude, kLongitude, row.altitude, false, false, 0, 0, 0);
        EnviroDataProbe probe;
        probe.SetTemperature(row.temperature);
        probe.SetSeaLevelPressure(row.pressure);
        FSProcess::WriteDensityAltitude(&display, probe);
        EXPECT_EQ(Number(display.GetObjectId(), "VELOCITY WORLD X"), row.word);
    }
    // No altitude, no display: the last value stays.
    sim.SetNumber(display.GetObjectId(), "VELOCITY WORLD X", "Number", 7);
    display.SetPlacement(kLatitude, kLongitude, kNaN, false, false, 0, 0, 0);
    FSProcess::WriteDensityAltitude(&display, EnviroDataProbe());
    EXPECT_EQ(Number(display.GetObjectId(), "VELOCITY WORLD X"), 7.0);
    FSProcess::WriteDensityAltitude(nullptr, EnviroDataProbe());
}

// ---- Date and time ------------------------------------------------------------------------------------

struct DateTime {
    double month, dayOfYear, dayOfWeek, dayOfMonth;
    int32_t zone, zulu, timeOfDay, year;
};
static_assert(sizeof(DateTime) == 48);

void SendDateTime(const DateTime& record)
{
    FSProcess::OnDateTime(reinterpret_cast<const uint8_t*>(&record), sizeof(record));
}

// The values a new date and time record holds, as an answer gives them on P3Dv4.
constexpr DateTime kUnset{0, 0, 8, 0, 0, 0, -1, 0};
constexpr DateTime kJune{6, 170, 3, 14, -120, 600, 3, 2024};

bool DateTimeRequested(std::vector<Message> messages)
{
    for (const Message& m : messages)
        if (Kind(m) == SIMCONNECT_RECV_ID_SIMOBJECT_DATA &&
            As<SIMCONNECT_RECV_SIMOBJECT_DATA>(m).dwRequestID == RequestDateTime)
            return true;
    return false;
}

// After a finished creation the first answer stops the request; a change of the values starts it again
// once no creation is waiting, equal values change nothing.
TEST_F(ObjectDataTest, DateTimeChangeRestartsTheRequestOnlyWhenValuesChanged)
{
    const struct {
        const char* name;
        DateTime answer;
        bool creationWaiting;
        bool restarted;
    } rows[] = {
        {"equal values", kUnset, false, false},
        {"new values", kJune, false, true},
        {"new values while a creation waits", kJune, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Parts().seasonal.reset(new SeasonalObjectHandler());
        Parts().injectionQueue.reset(new InjectionQueue());
        Parts().seasonal->SetChanged(true);
        Queue().SetCancelled(true);
        if (row.creationWaiting) Queue().MapRequest(1, 105);
        log.Clear();
        SendDateTime(row.answer);
        EXPECT_TRUE(Parts().seasonal->IsInitialised());
        EXPECT_EQ(Parts().seasonal->IsChanged(), row.restarted);
        EXPECT_EQ(log.Lines(), std::vector<std::string>{
                                   "INFO VELK.FSLOOP : [SEASONALOBJECTHANDLER] Variables initialized!"});
        sim.Advance(1000);
        EXPECT_EQ(DateTimeRequested(Pending()), row.restarted);
    }
}

TEST_F(ObjectDataTest, DateTimeFirstAnswerDuringCreationOnlyInitialises)
{
    Parts().seasonal->SetChanged(true);
    SendDateTime(kJune);
    EXPECT_TRUE(Parts().seasonal->IsInitialised());
    EXPECT_TRUE(Parts().seasonal->IsChanged());
    EXPECT_EQ(Parts().seasonal->GetMonthOfYear(), 6);
    log.Clear();
    SendDateTime(kJune);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{
                               "INFO VELK.FSLOOP : [SEASONALOBJECTHANDLER] Refreshing Season/Time Data..."});
}

// ---- Creation answers ---------------------------------------------------------------------------------

TEST_F(ObjectDataTest, AnAssignedIdPutsTheObjectIntoTheSimulation)
{
    SimObject& object = AddObject("Cone");
    RequestCreation(object);
    Queue().SetLastRequestId(static_cast<int32_t>(object.GetRequestId()));
    const auto messages = Deliver(SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    const auto assigned = OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(messages, SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    ASSERT_EQ(assigned.size(), 1u);
    const DWORD id = assigned[0].dwObjectID;
    EXPECT_EQ(object.GetObjectId(), id);
    EXPECT_TRUE(object.IsInSimulation());
    EXPECT_TRUE(object.IsAssigned());
    EXPECT_FALSE(object.IsCreatePending());
    EXPECT_FALSE(object.IsCreateRequested());
    EXPECT_FALSE(Queue().HasRequests());
    EXPECT_TRUE(log.Has("INFO VELK.FSLOOP :  + SimObject 'Cone' [Quorvath_VELK_Beacon]. ID: " + std::to_string(id)));
    EXPECT_EQ(Number(id, "SIM DISABLED"), 1.0);
    EXPECT_EQ(Number(id, "VELOCITY BODY Y"), 0.0);
    // The last object of a single pass: the probe pass follows, and with nothing to create the creation ends.
    EXPECT_EQ(CreationFinishedEvents(), std::vector<DWORD>{1});
}

// After the last object of a pass come the next batch or the probes, whatever that object's model needs.
TEST_F(ObjectDataTest, TheLastObjectOfAPassGoesOnWithTheCreation)
{
    const struct {
        const char* name;
        int32_t feature;
        bool last;
        int32_t batches;  // objects split into batches
        bool finished;
        int32_t total;
    } rows[] = {
        {"plain object", 0, true, 0, true, 0},
        {"model reading the wind", FeatureRotationByWindDirection, true, 0, true, 0},
        {"not the last object", 0, false, 0, false, 0},
        {"batches left", 0, true, 25, false, 10},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Active().Reset();
        Parts().injectionQueue.reset(new InjectionQueue());
        Queue().SplitIntoBatches(row.batches);
        SimObject& object = AddObject("Cone");
        if (row.feature) object.GetModel(0)->GetFeatures()->Set(row.feature);
        for (int i = 1; i < row.batches; ++i) AddObject("Cone " + std::to_string(i));
        RequestCreation(object);
        Queue().SetLastRequestId(static_cast<int32_t>(object.GetRequestId()) + (row.last ? 0 : 1));
        Deliver(SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
        ASSERT_TRUE(object.IsInSimulation());
        if (row.total) {
            EXPECT_GE(Queue().GetTotal(), row.total);
        } else {
            EXPECT_EQ(Queue().GetTotal(), 0);
        }
        if (!row.batches) {
            EXPECT_EQ(CreationFinishedEvents(), row.finished ? std::vector<DWORD>{1} : std::vector<DWORD>{});
        }
        Pending();
    }
}

TEST_F(ObjectDataTest, AnAnswerFromBeforeARebuildOnlyRemovesItsObject)
{
    SimObject& old = AddObject("Old cone");
    RequestCreation(old);
    const auto stray = OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(Pending(), SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    ASSERT_EQ(stray.size(), 1u);

    // The rebuild: a new generation, and another object now holds the same request id, its creation in
    // flight.
    Queue().Reset();
    Active().Reset();
    SimObject& now = AddObject("New cone");
    ASSERT_EQ(now.GetRequestId(), stray[0].dwRequestID & InjectionQueue::kRequestIdMask);
    now.SetCreateRequested(true);
    now.SetCreatePending(true);
    Queue().MapRequest(4711, static_cast<int32_t>(now.GetRequestId()));
    Queue().SetLastRequestId(static_cast<int32_t>(now.GetRequestId()));

    FSProcess::OnAssignedObjectId(stray[0].dwRequestID, stray[0].dwObjectID);
    EXPECT_FALSE(sim.Object(stray[0].dwObjectID).has_value());
    EXPECT_EQ(now.GetObjectId(), 0u);
    EXPECT_FALSE(now.IsInSimulation());
    EXPECT_TRUE(now.IsCreatePending());
    EXPECT_TRUE(now.IsCreateRequested());
    EXPECT_EQ(Queue().GetRequests().size(), 1u);
    EXPECT_TRUE(CreationFinishedEvents().empty());

    // Its own answer is adopted.
    RequestCreation(now);
    Deliver(SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    EXPECT_TRUE(now.IsInSimulation());
    EXPECT_NE(now.GetObjectId(), 0u);
}

TEST_F(ObjectDataTest, AnAnswerNoLongerWaitedForRemovesTheNewObject)
{
    root.WriteSettings("[General]\nDebugMode=true\n");
    Parts().settings->Read();
    SimObject& object = AddObject("Cone");
    object.SetObjectId(ForeignObject());
    object.SetInSimulation(true);
    const DWORD kept = object.GetObjectId();
    const struct {
        const char* name;
        uint32_t request;
        const char* line;
        bool objectRemoved;
    } rows[] = {
        {"without an object", 999, "DEBUG VELK.FSLOOP : RAW Removal of 'old' SimObject! ReqID=999", false},
        {"with an object", object.GetRequestId(), "DEBUG VELK.FSLOOP : Referenced Removal of 'old' SimObject! ReqID=105",
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        log.Clear();
        const DWORD unwanted = ForeignObject();
        FSProcess::OnAssignedObjectId(Queue().TagRequest(row.request), unwanted);
        EXPECT_FALSE(sim.Object(unwanted).has_value());
        EXPECT_TRUE(log.Has(row.line));
        EXPECT_EQ(object.IsQuietRecreation(), row.objectRemoved);
    }
    EXPECT_TRUE(sim.Object(kept).has_value());
}

TEST_F(ObjectDataTest, OnlyJetwaysCountAsCreated)
{
    const struct {
        const char* name;
        int32_t feature;
        int32_t created;
    } rows[] = {
        {"plain object", 0, 0},
        {"docking guidance", FeatureVDGS, 0},
        {"jetway", FeatureJetway, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Active().Reset();
        SimObject& object = AddObject(row.name);
        if (row.feature) {
            object.SetFeature(row.feature);
            object.GetModel(0)->GetFeatures()->Set(row.feature);
        }
        RequestCreation(object);
        Deliver(SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
        EXPECT_TRUE(object.IsInSimulation());
        EXPECT_EQ(Active().GetCreatedCount(), row.created);
    }
}

TEST_F(ObjectDataTest, ProbesAskForTheirWeatherWithinTheRequestLimit)
{
    const struct {
        int32_t linkedIndex;
        bool requested;
        bool reported;
    } rows[] = {{0, true, false}, {63, true, false}, {64, false, true}, {-1, false, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.linkedIndex);
        Parts().activeProbes->Clear();
        Parts().injectionQueue.reset(new InjectionQueue());
        EnviroDataProbe probe;
        probe.SetName("Probe");
        probe.AddModel(kTitle).SetKeepSimEnabled(true);
        probe.SetLinkedIndex(row.linkedIndex);
        probe.SetRequestId(500);
        Parts().activeProbes->Add(probe);
        EnviroDataProbe& added = *Parts().activeProbes->At(0);
        RequestCreation(added);
        log.Clear();
        Deliver(SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
        ASSERT_TRUE(added.IsInSimulation());
        EXPECT_EQ(Queue().GetPending(), row.requested ? 1 : 0);
        EXPECT_EQ(added.GetRequestId(), row.requested ? static_cast<uint32_t>(row.linkedIndex + 1) : 500u);
        EXPECT_EQ(log.Has("ERROR VELK.FSLOOP : Environmental Data Probe Handling: Too many EDPs! (>64)"), row.reported);
        EXPECT_NE(Number(added.GetObjectId(), "SIM DISABLED"), 1.0);
        // The weather arrives every second while it changes.
        sim.Advance(1000);
        bool weather = false;
        for (const Message& m : Pending())
            weather = weather || (Kind(m) == SIMCONNECT_RECV_ID_SIMOBJECT_DATA &&
                                  As<SIMCONNECT_RECV_SIMOBJECT_DATA>(m).dwDefineID == DefProbeWeather);
        EXPECT_EQ(weather, row.requested);
    }
}

// ---- Above ground level -------------------------------------------------------------------------------

TEST_F(ObjectDataTest, AnObjectAboveGroundIsCreatedMeasuredAndCreatedAgain)
{
    SimObject& object = AddObject("Mast", 10.0, true);
    RequestCreation(object);
    Queue().SetLastRequestId(static_cast<int32_t>(object.GetRequestId()));
    const auto assigned = OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(Pending(), SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    ASSERT_EQ(assigned.size(), 1u);
    const DWORD first = assigned[0].dwObjectID;
    // The ground under it lies at 1500 ft.
    sim.SetNumber(first, "PLANE ALTITUDE", "feet", 1500.0);
    FSProcess::OnAssignedObjectId(assigned[0].dwRequestID, first);
    EXPECT_TRUE(object.IsInSimulation());
    // Still waiting for its ground: the creation pass does not go on.
    auto messages = Pending();
    EXPECT_TRUE(EventData(messages, EventInjectionFinished).empty());

    bool measured = false;
    for (Message& m : messages) {
        if (Kind(m) != SIMCONNECT_RECV_ID_SIMOBJECT_DATA) continue;
        if (As<SIMCONNECT_RECV_SIMOBJECT_DATA>(m).dwRequestID != RequestObjectAltitude) continue;
        measured = true;
        FSProcess::Dispatch(reinterpret_cast<SIMCONNECT_RECV*>(m.data()), static_cast<DWORD>(m.size()), nullptr);
    }
    ASSERT_TRUE(measured);
    EXPECT_FALSE(object.IsAltitudeAgl());
    EXPECT_DOUBLE_EQ(object.GetAltitude(), 1510.0);
    EXPECT_DOUBLE_EQ(object.GetPlacement().GetAltitudeOffset(), 10.0);
    EXPECT_DOUBLE_EQ(object.GetSecondAltitude(), 1510.0);
    EXPECT_FALSE(object.IsQuietRecreation());
    EXPECT_FALSE(sim.Object(first).has_value());

    // Created again at its corrected altitude; this answer goes on with the creation pass.
    messages = Deliver(SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    const auto again = OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(messages, SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(object.GetObjectId(), again[0].dwObjectID);
    EXPECT_EQ(sim.Number(again[0].dwObjectID, "PLANE ALTITUDE", "feet"), 1510.0);
    EXPECT_EQ(CreationFinishedEvents(), std::vector<DWORD>{1});
}

TEST_F(ObjectDataTest, GroundAltitudeAnswers)
{
    SimObject& object = AddObject("Mast", 0.0, true);
    object.SetObjectId(ForeignObject());
    object.SetInSimulation(true);
    const DWORD id = object.GetObjectId();
    const auto send = [](DWORD to, double ground) {
        FSProcess::OnGroundAltitude(to, reinterpret_cast<const uint8_t*>(&ground), sizeof(ground));
    };
    // Not ours, or no ground: nothing happens.
    send(id + 100, 1500.0);
    send(0, 1500.0);
    send(id, kNaN);
    send(id, std::numeric_limits<double>::infinity());
    EXPECT_TRUE(object.IsAltitudeAgl());
    EXPECT_TRUE(sim.Object(id).has_value());
    EXPECT_TRUE(log.Lines().empty());
    // Ground at the object's own altitude: the legacy line, then the same correction.
    send(id, 0.0);
    EXPECT_TRUE(log.Has("DEBUG VELK.FSLOOP : Legacy Offset altitude bug code section...not active anymore! "
                        "pAlt=0.000000 ; pSO->getAlt=0.000000 ; Name=Mast"));
    EXPECT_FALSE(object.IsAltitudeAgl());
    EXPECT_FALSE(sim.Object(id).has_value());
}

// A plain object's models stay shared with the object it was copied from through its whole life in the
// simulator: the injection, the adoption of its id, the measurement of its ground and the creation again,
// and its removal only read them. Each active object would otherwise carry a copy of every model.
TEST_F(ObjectDataTest, APlainObjectKeepsItsModelsSharedThroughItsLife)
{
    SimObject read;
    read.SetName("Scenery:Cone");
    read.AddModel(kTitle);
    read.SetPlacement(kLatitude, kLongitude, 10.0, true, false, 0, 0, 0);
    read.SetRequestId(SimObjectList::kDefaultRequestIdBase);
    read.ShareModels();
    SimObject& object = Active().Add(read);
    Queue().SetLastRequestId(static_cast<int32_t>(object.GetRequestId()));

    EXPECT_NE(FSProcess::InjectSimObject(&object, "SimBubble Filter, Normal Objects"), 0);
    auto messages = Pending();
    const auto assigned = OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(messages, SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    ASSERT_EQ(assigned.size(), 1u);
    sim.SetNumber(assigned[0].dwObjectID, "PLANE ALTITUDE", "feet", 1500.0);
    FSProcess::OnAssignedObjectId(assigned[0].dwRequestID, assigned[0].dwObjectID);
    ASSERT_TRUE(object.IsInSimulation());
    EXPECT_TRUE(object.SharesModelsWith(read)) << "adopted";

    // Its ground answered, it is removed and created again at its altitude.
    messages = Deliver(SIMCONNECT_RECV_ID_SIMOBJECT_DATA);
    EXPECT_FALSE(object.IsAltitudeAgl());
    Deliver(SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    ASSERT_TRUE(object.IsInSimulation());
    EXPECT_TRUE(object.SharesModelsWith(read)) << "created again";

    FSProcess::RemoveSimObject(&object, false);
    EXPECT_TRUE(object.SharesModelsWith(read)) << "removed";
}

// ---- Refused creations --------------------------------------------------------------------------------

TEST_F(ObjectDataTest, ARefusedCreationReleasesTheObject)
{
    sim.RefuseTitle(kTitle);
    SimObject& object = AddObject("Scenery:Cone");
    RequestCreation(object);
    const auto messages = Deliver(SIMCONNECT_RECV_ID_EXCEPTION);
    ASSERT_EQ(simtest::Exceptions(messages).size(), 1u);
    EXPECT_FALSE(object.IsAssigned());
    EXPECT_FALSE(object.IsCreatePending());
    EXPECT_FALSE(object.IsCreateRequested());
    EXPECT_FALSE(Queue().HasRequests());
    EXPECT_EQ(log.Lines(), std::vector<std::string>{
                               "ERROR VELK.FSLOOP : SimConnect EXCEPTION! Not able to create SimObject "
                               "'Cone::Quorvath_VELK_Beacon'"});
    // Not the last object of its pass: nothing ends.
    EXPECT_TRUE(CreationFinishedEvents().empty());
}

TEST_F(ObjectDataTest, ARefusedCreationWithoutItsObject)
{
    const struct {
        const char* name;
        bool mapped;
        std::vector<std::string> lines;
    } rows[] = {
        {"send id not mapped", false, {"ERROR VELK.FSLOOP : SimConnect EXCEPTION! Not able to create SimObject ''"}},
        {"object gone", true,
         {"ERROR VELK.FSLOOP : CreationMap mismatch! Unable to find SimObject.",
          "ERROR VELK.FSLOOP : SimConnect EXCEPTION! Not able to create SimObject ''"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        log.Clear();
        program::Flags().simulatorErrors.clear();  // each row on its own: no line is a repeat
        if (row.mapped) Queue().MapRequest(9, 777);
        Queue().SetLastRequestId(777);
        FSProcess::OnCreateObjectFailed(9);
        EXPECT_EQ(log.Lines(), row.lines);
        EXPECT_TRUE(CreationFinishedEvents().empty());
    }
}

// The failed creation of a batch's last object starts the next batch, or after the last batch the probes,
// instead of waiting for an id that never comes.
TEST_F(ObjectDataTest, ARefusedLastObjectOfABatchEndsThatBatch)
{
    for (int i = 0; i < 15; ++i) AddObject("Cone " + std::to_string(i));
    SimObject& last = *Active().At(9);

    // First batch of two: the next batch starts at index 10.
    Queue().SplitIntoBatches(15);
    Queue().SetLastRequestId(static_cast<int32_t>(last.GetRequestId()));
    Queue().MapRequest(31, static_cast<int32_t>(last.GetRequestId()));
    FSProcess::OnCreateObjectFailed(31);
    EXPECT_GE(Queue().GetTotal(), 10);
    Pending();

    // No batch left: the probe pass, and with nothing to create the end of the creation.
    Queue().Reset();
    Queue().SetLastRequestId(static_cast<int32_t>(last.GetRequestId()));
    Queue().MapRequest(32, static_cast<int32_t>(last.GetRequestId()));
    EnviroDataProbe probe;
    probe.SetName("Probe");
    probe.AddModel(kTitle).SetKeepSimEnabled(true);
    probe.SetRequestId(1);
    Parts().activeProbes->Add(probe);
    FSProcess::OnCreateObjectFailed(32);
    const auto messages = Pending();
    bool probeCreated = false;
    for (const Message& m : messages)
        probeCreated = probeCreated || Kind(m) == SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID;
    EXPECT_EQ(EventData(messages, EventInjectionFinished), probeCreated ? std::vector<DWORD>{} : std::vector<DWORD>{1});
}

// ---- Gate number -------------------------------------------------------------------------------------

TEST_F(ObjectDataTest, GateNumberFromTheStandDesignator)
{
    const char* const digits[] = {"ACCELERATION BODY X", "ACCELERATION BODY Y", "ACCELERATION BODY Z",
                                  "VELOCITY BODY X"};
    const struct {
        const char* name;
        std::string designator, number;
        bool hasDesignator, toPart, partInjected;
        const char* shown;  // null: nothing written
    } rows[] = {
        {"letter and number", "GATE B", "12", true, false, false, "B12"},
        {"to the part", "GATE B", "12", true, true, false, "B12"},
        {"designator of the letter alone", " Z", "7", true, false, false, "Z7"},
        {"lower-case letter", "GATE b", "12", true, false, false, nullptr},
        {"no blank before the letter", "GATEB", "12", true, false, false, nullptr},
        {"one character", "B", "12", true, false, false, nullptr},
        {"no custom designator", "GATE B", "12", false, false, false, nullptr},
        {"first part still waiting", "GATE B", "12", true, false, true, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Active().Reset();
        SimObject& jetway = AddObject("Jetway");
        jetway.SetObjectId(ForeignObject());
        jetway.SetStandData("EDDM", "GATE", 12, row.designator, row.number, row.hasDesignator);
        LinkedSimObject part;
        part.SetObjectId(ForeignObject());
        if (row.partInjected) jetway.GetModel(0)->GetJetway()->GetJetwayData()->Parts[0].SetInjected(true);
        const DWORD target = row.toPart ? part.GetObjectId() : jetway.GetObjectId();
        for (const char* name : digits) sim.SetNumber(target, name, "Number", -1);
        FSProcess::WriteGateNumber(&jetway, row.toPart ? &part : nullptr);
        std::array<double, 4> written{};
        for (size_t i = 0; i < 4; ++i) written[i] = Number(target, digits[i]);
        const std::array<double, 4> expected =
            row.shown ? Parts().gateNumberBox->DigitsFromString(row.shown) : std::array<double, 4>{-1, -1, -1, -1};
        EXPECT_EQ(written, expected);
    }
}

}  // namespace
