// Environmental data probes and their list: defaults, weather values, precipitation names, weather
// request ids with their limit of 64, lookups where 0 finds nothing, and copies.
#include "objects/EnviroDataProbe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(EnviroDataProbe, Defaults)
{
    const EnviroDataProbe p;
    EXPECT_EQ(p.GetWindDirection(), -1);
    EXPECT_EQ(p.GetWindVelocity(), -1);
    EXPECT_EQ(p.GetVisibility(), -1);
    EXPECT_EQ(p.GetPrecipitation(), 0);
    EXPECT_EQ(p.GetTemperature(), -1);
    EXPECT_EQ(p.GetSeaLevelPressure(), -1);
    EXPECT_FALSE(p.IsAllJetways());
    EXPECT_EQ(p.GetLowVisibilityThreshold(), 5000);
    EXPECT_TRUE(p.GetClients().empty());
    EXPECT_TRUE(p.GetClientList().empty());
    EXPECT_EQ(p.GetLinkedIndex(), -1);
    EXPECT_EQ(p.GetWeatherRequestId(), 0u);  // not linked: no request
}

TEST(EnviroDataProbe, PrecipitationKeepsTheLowFourBits)
{
    EnviroDataProbe p;
    struct Case {
        int32_t mask;
        int32_t kept;
    };
    for (const Case& c : {Case{2, 2}, Case{4, 4}, Case{8, 8}, Case{0x14, 4}, Case{-1, 15}, Case{0x100, 0}}) {
        p.SetPrecipitation(c.mask);
        EXPECT_EQ(p.GetPrecipitation(), c.kept) << c.mask;
    }
}

TEST(EnviroDataProbe, PrecipitationNames)
{
    struct Case {
        int32_t mask;
        const char* name;
    };
    const Case cases[] = {{2, "NONE"}, {4, "RAIN"}, {8, "SNOW"},
                          {0, "ERROR: UNDEFINED PRECIPITATION!"}, {6, "ERROR: UNDEFINED PRECIPITATION!"},
                          {-2, "ERROR: UNDEFINED PRECIPITATION!"}, {16, "ERROR: UNDEFINED PRECIPITATION!"}};
    for (const Case& c : cases) EXPECT_EQ(EnviroDataProbe::GetPrecipitationName(c.mask), c.name) << c.mask;
}

TEST(EnviroDataProbe, WeatherRequestIdIsActiveIndexPlusOneUpTo64)
{
    struct Case {
        int32_t index;
        uint32_t requestId;  // 0: no request
    };
    const Case cases[] = {{0, 1}, {1, 2}, {62, 63}, {63, 64}, {64, 0}, {65, 0}, {-1, 0}, {INT32_MAX, 0},
                          {INT32_MIN, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(EnviroDataProbe::WeatherRequestIdFor(c.index), c.requestId) << c.index;
        EnviroDataProbe p;
        p.SetLinkedIndex(c.index);
        EXPECT_EQ(p.GetWeatherRequestId(), c.requestId) << c.index;
    }
    for (int64_t id : {int64_t{1}, int64_t{64}}) EXPECT_TRUE(EnviroDataProbe::IsWeatherRequestId(id)) << id;
    for (int64_t id : {int64_t{0}, int64_t{65}, int64_t{-1}, int64_t{4294967297LL}}) EXPECT_FALSE(EnviroDataProbe::IsWeatherRequestId(id)) << id;
}

TEST(EnviroDataProbe, CopyTakesBaseVectorsAndScalars)
{
    SimObject client;
    EnviroDataProbe p;
    p.SetName("EDDF:Probe");
    p.AddModel("Probe Model").SetKeepSimEnabled(true);
    p.SetWindDirection(270);
    p.SetWindVelocity(12);
    p.SetVisibility(800);
    p.SetPrecipitation(4);
    p.SetTemperature(-5);
    p.SetSeaLevelPressure(1013);
    p.SetAllJetways(true);
    p.SetLowVisibilityThreshold(1500);
    p.AddClientName("Sock");
    p.AddClient(&client);
    p.AddClient(nullptr);  // ignored

    EnviroDataProbe copy = p;
    EnviroDataProbe assigned;
    assigned = p;
    for (const EnviroDataProbe* c : {&copy, &assigned}) {
        EXPECT_EQ(c->GetName(), "EDDF:Probe");
        EXPECT_EQ(c->GetModel(0)->GetKeepSimEnabled(), 1);
        EXPECT_EQ(c->GetWindDirection(), 270);
        EXPECT_EQ(c->GetWindVelocity(), 12);
        EXPECT_EQ(c->GetVisibility(), 800);
        EXPECT_EQ(c->GetPrecipitation(), 4);
        EXPECT_EQ(c->GetTemperature(), -5);
        EXPECT_EQ(c->GetSeaLevelPressure(), 1013);
        EXPECT_TRUE(c->IsAllJetways());
        EXPECT_EQ(c->GetLowVisibilityThreshold(), 1500);
        EXPECT_EQ(c->GetClientList(), std::vector<std::string>{"Sock"});
        EXPECT_EQ(c->GetClients(), std::vector<SimObject*>{&client});
    }
}

class ProbeListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AddProbe("unnumbered", 0, 0);
        AddProbe("first", 110, 9001);
        AddProbe("twin", 110, 9002);
        AddProbe("last", 112, 9003);
    }
    void AddProbe(const std::string& name, uint32_t requestId, uint32_t objectId)
    {
        EnviroDataProbe p;
        p.SetName(name);
        p.SetRequestId(requestId);
        p.SetObjectId(objectId);
        list.Add(p);
    }
    EnviroDataProbeList list;
};

TEST_F(ProbeListTest, AtIsNullFromTheCountOn)
{
    EXPECT_EQ(list.Count(), 4);
    ASSERT_NE(list.At(3), nullptr);
    EXPECT_EQ(list.At(3)->GetName(), "last");
    EXPECT_EQ(list.At(4), nullptr);
    EXPECT_EQ(list.At(-1), nullptr);
}

TEST_F(ProbeListTest, FindsTheFirstMatchAndNeverIdZero)
{
    EXPECT_EQ(list.FindByObjectId(0), nullptr);
    EXPECT_EQ(list.FindByRequestId(0), nullptr);
    EXPECT_EQ(list.FindByRequestId(110), list.At(1));
    EXPECT_EQ(list.FindByRequestId(112), list.At(3));
    EXPECT_EQ(list.FindByRequestId(111), nullptr);
    EXPECT_EQ(list.FindByObjectId(9002), list.At(2));
    EXPECT_EQ(list.FindByObjectId(9999), nullptr);
}

TEST_F(ProbeListTest, ClearEmptiesTheList)
{
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.At(0), nullptr);
    EXPECT_EQ(list.FindByRequestId(110), nullptr);
    AddProbe("again", 120, 1);
    EXPECT_EQ(list.Count(), 1);
}

}  // namespace
