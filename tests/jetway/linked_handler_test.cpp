// The linked-object handler against the in-process simulator: part creation answered and refused,
// positions written to the part objects, removal of the program's own parts only, and the part data
// taken back after a foreign report.
#include "jetway/LinkedSimObjectHandler.h"

#include "objects/InjectionQueue.h"
#include "objects/Jetway.h"
#include "objects/SimObject.h"
#include "platform/clock.h"
#include "tests/jetway/core/JetwayTestSupport.h"
#include "tests/simulator/SimTestSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace {

using namespace simtest;

constexpr uint32_t kRequestId = 4242;
constexpr double kAltitude = 1500.0;

class LinkedHandlerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim.ServeInProcess();
        h = OpenClient("linked");
        const char* vars[][2] = {{"Plane Latitude", "degrees"},         {"Plane Longitude", "degrees"},
                                 {"PLANE ALTITUDE", "Feet"},            {"PLANE PITCH DEGREES", "Radians"},
                                 {"PLANE BANK DEGREES", "Radians"},     {"PLANE HEADING DEGREES TRUE", "Radians"}};
        for (const auto& v : vars) SimConnect_AddToDataDefinition(h, 28, v[0], v[1]);
        jetwayObjectId = jetwaytest::CreateObject(h, "Test Jetway", 1);
        ASSERT_NE(jetwayObjectId, 0u);
        Drain(h);
        handler.SetHandle(h);
    }
    void TearDown() override { SimConnect_Close(h); }

    // A placed jetway object with the given models; the parts go into the record of model 1 when there
    // are two models.
    SimObject JetwayObject(int models = 1, bool jetwayFeature = true)
    {
        SimObject object;
        object.SetName("LSZH:A12:JW1");
        for (int m = 0; m < models; ++m) {
            SimObjectModel& model = object.AddModel(m == 0 ? "Test Jetway Static" : "Test Jetway");
            if (jetwayFeature) model.GetFeatures()->Set(3);
        }
        object.SetPlacement(47.0, 8.0, kAltitude, false, false, 0, 0, 30.0);
        object.SetObjectId(jetwayObjectId);
        object.SetRequestId(kRequestId);
        object.SetCurrentModelIndex(static_cast<int16_t>(models - 1));
        JetwayData& r = *LinkedSimObjectHandler::JetwayOf(&object)->GetJetwayData();
        r.JetwayType = kJetwayTypeA;
        r.JetwayLatitude = 47.0;
        r.JetwayLongitude = 8.0;
        r.JetwayAltitude = kAltitude;
        r.JetwayHeading = 30.0;
        r.RootFloorHeight = 4.0;
        const char* titles[] = {"Test Part Head", "", "Test Part Bridge", "", "", "Test Part Root"};
        const char* links[] = {"HEAD", "", "BRIDGE_MOVING", "", "", "ROOT"};
        for (int i = 0; i < 6; ++i) {
            r.Parts[i].SetSimTitle(titles[i]);
            r.Parts[i].SetCreationTitle(titles[i]);
            r.Parts[i].SetLinkTypeFromText(links[i]);
            r.Parts[i].SetOffset(i + 1.0, 0.5, 1.0);
        }
        return object;
    }

    static JetwayData& Record(SimObject& object) { return *LinkedSimObjectHandler::JetwayOf(&object)->GetJetwayData(); }

    // The created objects' ids by the order of the answers.
    std::vector<DWORD> Assigned(std::vector<SIMCONNECT_RECV_EXCEPTION>* exceptions = nullptr)
    {
        std::vector<DWORD> ids;
        const auto messages = Drain(h);
        for (const auto& a : OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(messages, SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID)) {
            EXPECT_EQ(a.dwRequestID, kRequestId);
            ids.push_back(a.dwObjectID);
        }
        if (exceptions) *exceptions = Exceptions(messages);
        return ids;
    }

    double Number(DWORD id, const char* name, const char* unit) { return sim.Number(id, name, unit).value_or(-999999.0); }

    platform::ScopedManualClock clock;
    simulator::Simulator sim;
    HANDLE h = nullptr;
    DWORD jetwayObjectId = 0;
    LinkedSimObjectHandler handler;
    InjectionQueue queue;
};

TEST_F(LinkedHandlerTest, MissingPartsAreCreatedBelowOrAtTheJetway)
{
    struct Case {
        const char* name;
        bool recreate;
        bool headSuppliedOutside;  // another program supplies the head part
        double altitude;           // of the head part, feet
        uint32_t removed;          // the program removes only its own parts
    };
    const Case cases[] = {{"first creation", false, false, kAltitude, 3},
                          {"re-creation: 50 m below", true, false, kAltitude - 164.042, 3},
                          {"supplied by another program: 50 m below", false, true, kAltitude - 164.042, 2}};
    for (const Case& c : cases) {
        SimObject object = JetwayObject();
        object.SetRecreatePending(c.recreate);
        LinkedSimObjectHandler::SetExternallySupplied(Record(object).Parts[0], c.headSuppliedOutside);
        EXPECT_EQ(handler.InjectMissingParts(&object, 77, &queue), 3u) << c.name;
        const std::vector<DWORD> ids = Assigned();
        ASSERT_EQ(ids.size(), 3u) << c.name;
        const JetwayData& r = Record(object);
        for (int slot : {1, 3, 6}) {
            const LinkedSimObject& part = r.Parts[slot - 1];
            EXPECT_TRUE(part.GetInjected()) << c.name << slot;
            EXPECT_EQ(part.GetParentObjectId(), jetwayObjectId);
            EXPECT_EQ(part.GetCreationTag(), 77u);
        }
        EXPECT_FALSE(r.Parts[1].GetInjected());
        const auto created = sim.Object(ids[0]);
        ASSERT_TRUE(created.has_value());
        EXPECT_EQ(created->title, "Test Part Head");
        EXPECT_NEAR(Number(ids[0], "PLANE ALTITUDE", "Feet"), c.altitude, 1e-6) << c.name;
        EXPECT_NEAR(Number(ids[0], "PLANE LATITUDE", "degrees"), 47.0, 1e-9);

        // Pending slots are not requested again.
        EXPECT_EQ(handler.InjectMissingParts(&object, 77, &queue), 0u) << c.name;
        EXPECT_TRUE(Assigned().empty());

        // The answers: pending cleared, id stored.
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const uint32_t slot = i == 0 ? 1 : i == 1 ? 3 : 6;
            LinkedSimObject* part = handler.SetPartId(slot, &object, ids[i]);
            ASSERT_NE(part, nullptr);
            EXPECT_FALSE(part->GetInjected());
            EXPECT_EQ(part->GetObjectId(), ids[i]);
        }
        // Created parts are not pending any more, yet a titled part is requested again only when the
        // caller re-creates the jetway; ids stay as stored.
        EXPECT_EQ(handler.RemoveParts(&object), c.removed) << c.name;
        Drain(h);
    }
}

TEST_F(LinkedHandlerTest, RefusedCreationIsTracedToTheJetwayThroughTheQueue)
{
    sim.RefuseTitle("Test Part Bridge");
    SimObject object = JetwayObject();
    EXPECT_EQ(handler.InjectMissingParts(&object, 0, &queue), 3u);
    std::vector<SIMCONNECT_RECV_EXCEPTION> exceptions;
    EXPECT_EQ(Assigned(&exceptions).size(), 2u);
    ASSERT_EQ(exceptions.size(), 1u);
    EXPECT_EQ(queue.TakeRequest(static_cast<int32_t>(exceptions[0].dwSendID)), static_cast<int32_t>(kRequestId));
}

// The caller hands each assigned id to the first pending slot, so a refused part must leave the
// pending set, and only that part: the ids that follow then reach their own slots.
TEST_F(LinkedHandlerTest, RefusedPartFreesOnlyItsOwnSlot)
{
    const struct {
        const char* name;
        const char* refused;
        uint32_t slot;
    } cases[] = {{"first part refused", "Test Part Head", 1},
                 {"middle part refused", "Test Part Bridge", 3},
                 {"last part refused", "Test Part Root", 6}};
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Titles of this round only, as the simulator keeps refusing a title once refused.
        const std::string suffix = " " + std::to_string(++round);
        sim.RefuseTitle(c.refused + suffix);
        SimObject object = JetwayObject();
        for (auto& part : Record(object).Parts) {
            if (!part.GetSimTitle().empty()) part.SetSimTitle(part.GetSimTitle() + suffix);
        }
        SimObject bystander = JetwayObject();
        ASSERT_EQ(handler.InjectMissingParts(&object, 0, &queue), 3u);
        std::vector<SIMCONNECT_RECV_EXCEPTION> exceptions;
        const std::vector<DWORD> ids = Assigned(&exceptions);
        ASSERT_EQ(ids.size(), 2u);
        ASSERT_EQ(exceptions.size(), 1u);
        // Only the jetway whose part it was takes the refusal.
        EXPECT_EQ(handler.OnPartCreationFailed(&bystander, exceptions[0].dwSendID), 0u);
        EXPECT_EQ(handler.OnPartCreationFailed(&object, exceptions[0].dwSendID), c.slot);
        EXPECT_EQ(handler.OnPartCreationFailed(&object, exceptions[0].dwSendID), 0u);  // taken once

        // The ids go, in order of their answers, to the first pending slot as the caller does it.
        for (DWORD id : ids) {
            uint32_t slot = LinkedSimObjectHandler::kFirstSlot;
            while (slot <= LinkedSimObjectHandler::kLastSlot && !Record(object).Parts[slot - 1].GetInjected()) ++slot;
            ASSERT_LE(slot, LinkedSimObjectHandler::kLastSlot);
            handler.SetPartId(slot, &object, id);
        }
        for (uint32_t slot : {1u, 3u, 6u}) {
            const LinkedSimObject& part = Record(object).Parts[slot - 1];
            EXPECT_FALSE(part.GetInjected()) << slot;
            if (slot == c.slot) {
                EXPECT_EQ(part.GetObjectId(), 0u) << slot;
                continue;
            }
            const auto created = sim.Object(part.GetObjectId());
            ASSERT_TRUE(created.has_value()) << slot;
            EXPECT_EQ(created->title, part.GetSimTitle()) << slot;
        }
        for (const auto& o : sim.Objects()) {
            if (o.createdBy == "linked" && o.id != jetwayObjectId) sim.RemoveObject(o.id);
        }
    }
}

TEST_F(LinkedHandlerTest, WhichObjectsGetParts)
{
    struct Case {
        const char* name;
        int models;
        int16_t current;
        bool feature;
        uint32_t calls;
        std::size_t created;
    };
    const Case cases[] = {
        {"two models, static one shown", 2, 0, true, 0, 0},
        {"two models, dynamic one shown", 2, 1, true, 3, 3},
        {"not a jetway: nothing created, nothing pending", 1, 0, false, 0, 0},
    };
    for (const Case& c : cases) {
        SimObject object = JetwayObject(c.models, c.feature);
        object.SetCurrentModelIndex(c.current);
        EXPECT_EQ(handler.InjectMissingParts(&object, 0, &queue), c.calls) << c.name;
        EXPECT_EQ(Assigned().size(), c.created) << c.name;
        EXPECT_EQ(Record(object).Parts[0].GetInjected(), c.calls > 0) << c.name;
        // The parts live in the record of model 1 of a two-model object.
        if (c.models == 2) {
            EXPECT_FALSE(object.GetModel(0)->GetJetway()->GetRecord().Parts[0].GetInjected());
        }
        for (const auto& o : sim.Objects()) {
            if (o.createdBy == "linked" && o.id != jetwayObjectId) sim.RemoveObject(o.id);
        }
    }
}

TEST_F(LinkedHandlerTest, HostileInputCreatesNothing)
{
    SimObject object = JetwayObject();
    EXPECT_EQ(handler.InjectMissingParts(nullptr, 0, &queue), 0u);
    EXPECT_EQ(handler.SetPartId(0, &object, 5), nullptr);
    EXPECT_EQ(handler.SetPartId(7, &object, 5), nullptr);
    EXPECT_EQ(handler.SetPartId(1, nullptr, 5), nullptr);
    handler.MoveParts(nullptr);
    EXPECT_EQ(handler.RemoveParts(nullptr), 0u);

    SimObject noModel;
    noModel.SetObjectId(5);
    EXPECT_EQ(handler.InjectMissingParts(&noModel, 0, &queue), 0u);

    // A jetway without an object id has no parent to give its parts.
    object.SetObjectId(0);
    EXPECT_EQ(handler.InjectMissingParts(&object, 0, &queue), 0u);
    EXPECT_FALSE(Record(object).Parts[0].GetInjected());

    // A position that is not a number is not sent, and leaves no slot waiting for an id.
    SimObject lost = JetwayObject();
    lost.SetPlacement(std::numeric_limits<double>::quiet_NaN(), 8.0, kAltitude, false, false, 0, 0, 0);
    EXPECT_EQ(handler.InjectMissingParts(&lost, 0, nullptr), 0u);
    EXPECT_FALSE(Record(lost).Parts[0].GetInjected());
    EXPECT_TRUE(Assigned().empty());

    // Without a connection nothing is sent either.
    LinkedSimObjectHandler unconnected;
    SimObject other = JetwayObject();
    EXPECT_EQ(unconnected.InjectMissingParts(&other, 0, &queue), 0u);
    EXPECT_FALSE(Record(other).Parts[5].GetInjected());
    unconnected.MoveParts(&other);
    EXPECT_TRUE(Assigned().empty());

    // A refusal that is not one of this handler's part creations is the caller's own.
    EXPECT_EQ(handler.OnPartCreationFailed(&object, 12345), 0u);
    EXPECT_EQ(handler.OnPartCreationFailed(nullptr, 12345), 0u);
}

TEST_F(LinkedHandlerTest, MovesWriteTheTargetPoseToThePartObjects)
{
    SimObject object = JetwayObject();
    handler.InjectMissingParts(&object, 0, &queue);
    const std::vector<DWORD> ids = Assigned();
    ASSERT_EQ(ids.size(), 3u);
    handler.SetPartId(1, &object, ids[0]);
    handler.SetPartId(3, &object, ids[1]);
    // Slot 6 keeps no id: computed, not written.
    JetwayData& r = Record(object);
    r.TargetHead = 0.2;
    r.TargetExtension = 6.0;
    r.TargetDip = 0.03;
    r.TargetRootRotation = -0.4;
    const double rootAltitudeBefore = Number(ids[2], "PLANE ALTITUDE", "Feet");
    handler.MoveParts(&object);

    const Jetway& jetway = *LinkedSimObjectHandler::JetwayOf(&object);
    for (int i = 0; i < 2; ++i) {
        const int slot = i == 0 ? 1 : 3;
        const PartPosition p = jetway.ComputePartPositions(slot, 0.2, 6.0, 0.03, -0.4);
        EXPECT_NEAR(Number(ids[i], "PLANE LATITUDE", "degrees"), p.latitude, 1e-9) << slot;
        EXPECT_NEAR(Number(ids[i], "PLANE LONGITUDE", "degrees"), p.longitude, 1e-9) << slot;
        EXPECT_NEAR(Number(ids[i], "PLANE ALTITUDE", "Feet"), p.altitude, 1e-6) << slot;
        EXPECT_NEAR(Number(ids[i], "PLANE HEADING DEGREES TRUE", "Radians"), p.heading, 1e-9) << slot;
        EXPECT_NEAR(Number(ids[i], "PLANE PITCH DEGREES", "Radians"), p.pitch, 1e-9) << slot;
    }
    EXPECT_DOUBLE_EQ(Number(ids[2], "PLANE ALTITUDE", "Feet"), rootAltitudeBefore);
    EXPECT_TRUE(Exceptions(Drain(h)).empty());

    // A target that is not a number moves nothing.
    r.TargetExtension = std::numeric_limits<double>::quiet_NaN();
    const double before = Number(ids[0], "PLANE LATITUDE", "degrees");
    handler.MoveParts(&object);
    EXPECT_DOUBLE_EQ(Number(ids[0], "PLANE LATITUDE", "degrees"), before);
}

TEST_F(LinkedHandlerTest, RemovalTakesOnlyTheProgramsOwnParts)
{
    SimObject object = JetwayObject();
    handler.InjectMissingParts(&object, 0, &queue);
    const std::vector<DWORD> ids = Assigned();
    ASSERT_EQ(ids.size(), 3u);
    handler.SetPartId(1, &object, ids[0]);
    handler.AssignPartId(3, &object, ids[1]);  // supplied from outside
    handler.SetPartId(6, &object, ids[2]);
    Record(object).Parts[5].SetParentObjectId(jetwayObjectId + 1000);  // left from another creation
    LinkedSimObjectHandler::SetStateFlag(Record(object).Parts[0], 0, true);
    LinkedSimObjectHandler::SetStateFlag(Record(object).Parts[0], 1, true);

    EXPECT_EQ(handler.RemoveParts(&object), 1u);
    const JetwayData& r = Record(object);
    EXPECT_EQ(r.Parts[0].GetObjectId(), 0u);
    EXPECT_FALSE(LinkedSimObjectHandler::GetStateFlag(r.Parts[0], 0));
    EXPECT_FALSE(LinkedSimObjectHandler::GetStateFlag(r.Parts[0], 1));
    EXPECT_FALSE(sim.Object(ids[0]).has_value());
    EXPECT_EQ(r.Parts[2].GetObjectId(), ids[1]);
    EXPECT_TRUE(sim.Object(ids[1]).has_value());
    EXPECT_EQ(r.Parts[5].GetObjectId(), ids[2]);
    EXPECT_TRUE(sim.Object(ids[2]).has_value());

    // Nothing left to remove.
    EXPECT_EQ(handler.RemoveParts(&object), 0u);
}

TEST_F(LinkedHandlerTest, OwnPartDataIsTakenBackAfterAForeignReport)
{
    SimObject object = JetwayObject();
    handler.SetPartId(1, &object, 501);
    handler.AssignPartId(3, &object, 503);
    Record(object).Parts[0].GetPlacement().SetAltitude(12.0);
    const JetwayData previous = Record(object);

    // A report of another jetway replaces the record.
    JetwayData report = previous;
    for (auto& part : report.Parts) {
        part.SetSimTitle("Foreign");
        part.SetObjectId(999);
        part.SetLinkType(LinkType::Static);
        part.SetOffset(9, 9, 9);
        part.GetPlacement().SetAltitude(99.0);
    }
    Record(object) = report;
    handler.RestoreOwnParts(&object, previous);

    const JetwayData& r = Record(object);
    EXPECT_EQ(r.Parts[0].GetSimTitle(), "Test Part Head");
    EXPECT_EQ(r.Parts[0].GetObjectId(), 501u);
    EXPECT_EQ(r.Parts[0].GetLinkType(), LinkType::Head);
    EXPECT_EQ(r.Parts[0].GetOffset().x, 1.0);
    EXPECT_EQ(r.Parts[0].GetPlacement().GetAltitude(), 12.0);
    EXPECT_EQ(r.Parts[1].GetSimTitle(), "");
    // The part supplied from outside keeps what the report carried.
    EXPECT_EQ(r.Parts[2].GetSimTitle(), "Foreign");
    EXPECT_EQ(r.Parts[2].GetObjectId(), 999u);
}

}  // namespace
