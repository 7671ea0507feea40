#include "platform/resources.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

uint32_t Le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t Le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

TEST(ProgramResources, RadioClickIsAnEightBitMonoWave)
{
    HRSRC found = FindResourceA(nullptr, "RADIO_CLICK_LOOP", "WAVE");
    ASSERT_NE(found, nullptr);
    ASSERT_EQ(17964u, SizeofResource(nullptr, found));
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
    ASSERT_NE(bytes, nullptr);

    EXPECT_EQ(0, std::memcmp(bytes, "RIFF", 4));
    EXPECT_EQ(17956u, Le32(bytes + 4));
    EXPECT_EQ(0, std::memcmp(bytes + 8, "WAVEfmt ", 8));
    EXPECT_EQ(16u, Le32(bytes + 16));
    EXPECT_EQ(1, Le16(bytes + 20));       // PCM
    EXPECT_EQ(1, Le16(bytes + 22));       // mono
    EXPECT_EQ(22050u, Le32(bytes + 24));
    EXPECT_EQ(22050u, Le32(bytes + 28));
    EXPECT_EQ(1, Le16(bytes + 32));
    EXPECT_EQ(8, Le16(bytes + 34));
    EXPECT_EQ(0, std::memcmp(bytes + 36, "data", 4));
    EXPECT_EQ(17920u, Le32(bytes + 40));

    // A sound, not silence, that ends on the silence level so the loop joins without a jump.
    int loud = 0;
    for (size_t i = 44; i < 17964; ++i) loud += bytes[i] != 128;
    EXPECT_GT(loud, 1000);
    EXPECT_EQ(128, bytes[17963]);
    EXPECT_EQ(platform::RadioClickResource().data(), bytes);
}

TEST(ProgramResources, NamesAndTypesIgnoreCase)
{
    EXPECT_EQ(FindResourceA(nullptr, "RADIO_CLICK_LOOP", "WAVE"), FindResourceA(nullptr, "radio_click_loop", "wave"));
}

TEST(ProgramResources, MissingResourcesReportWhatIsMissing)
{
    struct Case {
        const char* what;
        HMODULE module;
        const char* name;
        const char* type;
        DWORD error;
    };
    const Case cases[] = {
        {"unknown type", nullptr, "RADIO_CLICK_LOOP", "WAV", ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"unknown name", nullptr, "NO_SUCH_SOUND", "WAVE", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"integer id", nullptr, reinterpret_cast<const char*>(101), "WAVE", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"integer type", nullptr, "RADIO_CLICK_LOOP", reinterpret_cast<const char*>(10), ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"another module", reinterpret_cast<HMODULE>(0x1000), "RADIO_CLICK_LOOP", "WAVE", ERROR_RESOURCE_DATA_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(nullptr, FindResourceA(c.module, c.name, c.type)) << c.what;
        EXPECT_EQ(c.error, GetLastError()) << c.what;
    }
    EXPECT_EQ(nullptr, LoadResource(nullptr, nullptr));
    EXPECT_EQ(0u, SizeofResource(nullptr, nullptr));
}

TEST(ProgramResources, AddedResourceLivesAsLongAsItsGuard)
{
    {
        platform::ScopedResource extra("TEST_SOUND", "WAV", {1, 2, 3});
        HRSRC found = FindResourceA(nullptr, "test_sound", "WAV");
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(3u, SizeofResource(nullptr, found));
        EXPECT_EQ(2, static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)))[1]);
        EXPECT_EQ(nullptr, FindResourceA(nullptr, "TEST_SOUND", "WAVE"));
    }
    EXPECT_EQ(nullptr, FindResourceA(nullptr, "TEST_SOUND", "WAV"));
}
