// The module host: loading, the gauge table, dispatch on the simulator's thread, unloading.
#include "SimTestSupport.h"

#include "simulator/ModuleHost.h"

using namespace simtest;

namespace {

class ModuleHostTest : public ::testing::Test {
protected:
    void TearDown() override { simulator::ModuleHost::ClearNamedVariables(); }

    // Sends the query from a program-like client and returns the module's answer, if any.
    std::vector<DWORD> Ask(HANDLE program, simulator::ModuleHost& host)
    {
        SimConnect_TransmitClientEvent(program, 0, 10, 0, 1, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
        host.Pump();
        std::vector<DWORD> answers;
        for (const auto& e : Events(Drain(program)))
            if (e.uEventID == 11) answers.push_back(e.dwData);
        return answers;
    }

    simulator::Simulator sim;
};

TEST_F(ModuleHostTest, ModuleStartsReadsNamedVariablesAnswersAndStops)
{
    simulator::ModuleHost host(sim);
    std::string error;
    ASSERT_TRUE(host.Load(VELK_TEST_MODULE, &error)) << error;
    EXPECT_EQ(sim.Clients(), std::vector<std::string>{"fixture module"});

    HANDLE program = OpenClient("Orvane VELK");
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(program, 10, "Fixture.Query"), S_OK);
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(program, 11, "Fixture.Answer"), S_OK);
    ASSERT_EQ(SimConnect_AddClientEventToNotificationGroup(program, 4, 11), S_OK);
    ASSERT_EQ(SimConnect_SetNotificationGroupPriority(program, 4, SIMCONNECT_GROUP_PRIORITY_HIGHEST), S_OK);

    // Unknown variable: the module reads its fallback -0.123, so it answers 1000 - 1.23, truncated.
    EXPECT_EQ(Ask(program, host), std::vector<DWORD>{998});
    simulator::ModuleHost::SetNamedVariable("FSLA320_ParkBrake", 1.0);
    EXPECT_EQ(Ask(program, host), std::vector<DWORD>{1010});

    host.Unload();
    EXPECT_EQ(sim.Clients(), std::vector<std::string>{"Orvane VELK"});
    EXPECT_TRUE(Ask(program, host).empty());
    SimConnect_Close(program);
}

TEST_F(ModuleHostTest, FileWithoutTheEntryPointsIsRefused)
{
    simulator::ModuleHost host(sim);
    std::string error;
    EXPECT_FALSE(host.Load("/nonexistent/brannet.so", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(host.IsLoaded());
}

}  // namespace
