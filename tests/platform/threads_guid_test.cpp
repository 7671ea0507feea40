// GUID creation and text form.
#include "platform/guid.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(Guid, TextForm) {
    const GUID guid = {0x0123ABCDu, 0x4567u, 0x89EFu, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}};
    EXPECT_EQ(platform::GuidToString(guid), "{0123abcd-4567-89ef-fedc-ba9876543210}");
    EXPECT_EQ(platform::GuidToString(guid, true), "{0123ABCD-4567-89EF-FEDC-BA9876543210}");
    const GUID zero = {};
    EXPECT_EQ(platform::GuidToString(zero), "{00000000-0000-0000-0000-000000000000}");
}

TEST(Guid, CreatedGuidsAreVersionFourAndLowerCase) {
    const std::regex form("\\{[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}\\}");
    for (int i = 0; i < 100; ++i) {
        GUID guid;
        ASSERT_EQ(CoCreateGuid(&guid), S_OK);
        const std::string text = platform::GuidToString(guid);
        EXPECT_TRUE(std::regex_match(text, form)) << text;
    }
    EXPECT_EQ(CoCreateGuid(nullptr), E_INVALIDARG);
}

// Event names are made from GUIDs on several threads; none may repeat.
TEST(Guid, CreatedGuidsAreUniqueAcrossThreads) {
    constexpr int kThreads = 4;
    constexpr int kEach = 5000;
    std::vector<std::vector<std::string>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&made, t] {
            for (int i = 0; i < kEach; ++i) {
                GUID guid;
                CoCreateGuid(&guid);
                made[t].push_back(platform::GuidToString(guid));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::set<std::string> all;
    for (const auto& list : made) all.insert(list.begin(), list.end());
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kEach));
}

}  // namespace
