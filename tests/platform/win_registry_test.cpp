// The read-only registry stand-in over the machine root's "registry.txt".
#include "platform/registry.h"

#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using testsupport::MachineRootTest;

const char* const kRegistry =
    "; the simulators of this machine\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v4]\r\n"
    "AppPath=sz:C:\\Prepar3D v4\\\r\n"
    "Legacy=dword:1\r\n"
    "Raw=sz-noterm:text\r\n"
    "Spaced = sz:  keeps its blanks  \r\n"
    "@=sz:default value\r\n"
    "Broken=dword:12x\r\n"
    "NoType=plain\r\n"
    "Hex=dword:0xFFFFFFFF\r\n"
    "Negative=dword:-1\r\n"
    "Legacy=dword:2\r\n"
    "[HKCU\\Software\\Microsoft\\Microsoft Games\\Flight Simulator - Steam Edition]\n"
    "Co-Existence=dword:0\n"
    "[HKEY_NOWHERE\\Software\\Lost]\n"
    "Lost=sz:never\n"
    "[hkey_local_machine\\software\\lockheed martin\\prepar3d v4]\n"
    "Second=sz:from a repeated key\n"
    "AppPath=sz:not this one\n";

class RegistryTest : public MachineRootTest {
protected:
    void SetUp() override
    {
        MachineRootTest::SetUp();
        MakeFile("registry.txt", kRegistry);
    }

    // Opens a key below HKEY_LOCAL_MACHINE; the test fails when it does not open.
    HKEY Open(HKEY root, const char* subKey)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(root, subKey, 0, KEY_READ, &key), static_cast<LSTATUS>(ERROR_SUCCESS)) << subKey;
        return key;
    }
};

TEST_F(RegistryTest, KeysOpenWithoutRegardToCase)
{
    struct Case {
        HKEY root;
        const char* subKey;
        DWORD expected;
    };
    const Case cases[] = {
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Lockheed Martin\\Prepar3D v4", ERROR_SUCCESS},
        {HKEY_LOCAL_MACHINE, "software\\LOCKHEED MARTIN\\prepar3d V4", ERROR_SUCCESS},
        {HKEY_LOCAL_MACHINE, "Software\\Lockheed Martin", ERROR_SUCCESS},  // a key above a listed key
        {HKEY_LOCAL_MACHINE, "Software\\\\Lockheed Martin\\", ERROR_SUCCESS},
        {HKEY_LOCAL_MACHINE, "", ERROR_SUCCESS},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Microsoft Games\\Flight Simulator - Steam Edition", ERROR_SUCCESS},
        {HKEY_LOCAL_MACHINE, "Software\\Lockheed Martin\\Prepar3D v5", ERROR_FILE_NOT_FOUND},
        {HKEY_LOCAL_MACHINE, "Software\\Lockheed", ERROR_FILE_NOT_FOUND},  // a prefix of a name is no key
        {HKEY_CURRENT_USER, "SOFTWARE\\Lockheed Martin\\Prepar3D v4", ERROR_FILE_NOT_FOUND},
        {HKEY_LOCAL_MACHINE, "Software\\Lost", ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subKey);
        HKEY key = reinterpret_cast<HKEY>(1);
        EXPECT_EQ(RegOpenKeyExA(c.root, c.subKey, 0, KEY_READ, &key), static_cast<LSTATUS>(c.expected));
        if (c.expected == ERROR_SUCCESS) {
            ASSERT_NE(key, nullptr);
            EXPECT_EQ(RegCloseKey(key), static_cast<LSTATUS>(ERROR_SUCCESS));
        } else {
            EXPECT_EQ(key, nullptr);
        }
    }
}

TEST_F(RegistryTest, WideNamesAndKeysBelowOpenKeys)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Lockheed Martin\\PREPAR3D v4", 0, KEY_READ, &key),
              static_cast<LSTATUS>(ERROR_SUCCESS));
    RegCloseKey(key);

    HKEY parent = Open(HKEY_LOCAL_MACHINE, "Software\\Lockheed Martin");
    HKEY child = Open(parent, "prepar3d v4");
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(child, "Legacy", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              static_cast<LSTATUS>(ERROR_SUCCESS));
    EXPECT_EQ(value, 1u);  // the first of a name wins
    RegCloseKey(child);
    RegCloseKey(parent);
}

TEST_F(RegistryTest, StringValues)
{
    HKEY key = Open(HKEY_LOCAL_MACHINE, "Software\\Lockheed Martin\\Prepar3D v4");
    struct Case {
        const char* name;
        std::string data;  // as stored, terminator included when there is one
    };
    const Case cases[] = {
        {"AppPath", std::string("C:\\Prepar3D v4\\\0", 16)},
        {"apppath", std::string("C:\\Prepar3D v4\\\0", 16)},
        {"Raw", std::string("text")},  // stored without its terminator
        {"Spaced", std::string("  keeps its blanks  \0", 21)},
        {"", std::string("default value\0", 14)},
        {"Second", std::string("from a repeated key\0", 20)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD type = REG_NONE;
        DWORD size = 0;
        // data null: the size only.
        ASSERT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, nullptr, &size), static_cast<LSTATUS>(ERROR_SUCCESS));
        EXPECT_EQ(type, REG_SZ);
        EXPECT_EQ(size, c.data.size());

        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        size = sizeof buffer;
        ASSERT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
                  static_cast<LSTATUS>(ERROR_SUCCESS));
        EXPECT_EQ(size, c.data.size());
        EXPECT_EQ(std::string(buffer, size), c.data);
        EXPECT_EQ(buffer[size], '#');
    }
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, &size), static_cast<LSTATUS>(ERROR_SUCCESS));
    EXPECT_EQ(size, 14u);  // a null name is the default value
    RegCloseKey(key);
}

TEST_F(RegistryTest, BufferTooSmallReportsTheSizeNeeded)
{
    HKEY key = Open(HKEY_LOCAL_MACHINE, "Software\\Lockheed Martin\\Prepar3D v4");
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "AppPath", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              static_cast<LSTATUS>(ERROR_MORE_DATA));
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(buffer[4], '#');

    // Exactly the length without the terminator is still too small for a terminated string.
    size = 15;
    char exact[16];
    EXPECT_EQ(RegQueryValueExA(key, "AppPath", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size),
              static_cast<LSTATUS>(ERROR_MORE_DATA));
    size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "Raw", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              static_cast<LSTATUS>(ERROR_SUCCESS));
    RegCloseKey(key);
}

TEST_F(RegistryTest, DwordValuesAndMalformedLines)
{
    HKEY key = Open(HKEY_LOCAL_MACHINE, "Software\\Lockheed Martin\\Prepar3D v4");
    struct Case {
        const char* name;
        LSTATUS status;
        DWORD value;
    };
    const Case cases[] = {
        {"Legacy", ERROR_SUCCESS, 1u},
        {"Hex", ERROR_SUCCESS, 0xFFFFFFFFu},
        {"Negative", ERROR_SUCCESS, 0xFFFFFFFFu},
        {"Broken", ERROR_FILE_NOT_FOUND, 0u},  // skipped lines
        {"NoType", ERROR_FILE_NOT_FOUND, 0u},
        {"Missing", ERROR_FILE_NOT_FOUND, 0u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD value = 0;
        DWORD type = REG_NONE;
        DWORD size = sizeof value;
        EXPECT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), c.status);
        if (c.status == static_cast<LSTATUS>(ERROR_SUCCESS)) {
            EXPECT_EQ(type, REG_DWORD);
            EXPECT_EQ(size, 4u);
            EXPECT_EQ(value, c.value);
        }
    }
    RegCloseKey(key);

    HKEY steam = Open(HKEY_CURRENT_USER, "Software\\Microsoft\\Microsoft Games\\Flight Simulator - Steam Edition");
    DWORD value = 7;
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(steam, "co-existence", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              static_cast<LSTATUS>(ERROR_SUCCESS));
    EXPECT_EQ(value, 0u);
    RegCloseKey(steam);
}

TEST_F(RegistryTest, BadArgumentsAndHandles)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, nullptr),
              static_cast<LSTATUS>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(&key), "Software", 0, KEY_READ, &key),
              static_cast<LSTATUS>(ERROR_INVALID_HANDLE));

    key = Open(HKEY_LOCAL_MACHINE, "Software\\Lockheed Martin\\Prepar3D v4");
    char buffer[8];
    EXPECT_EQ(RegQueryValueExA(key, "AppPath", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), nullptr),
              static_cast<LSTATUS>(ERROR_INVALID_PARAMETER));
    DWORD reserved = 0;
    DWORD size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(key, "Raw", &reserved, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              static_cast<LSTATUS>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegCloseKey(key), static_cast<LSTATUS>(ERROR_SUCCESS));
    EXPECT_EQ(RegCloseKey(key), static_cast<LSTATUS>(ERROR_INVALID_HANDLE));  // closed twice
    EXPECT_EQ(RegQueryValueExA(key, "Raw", nullptr, nullptr, nullptr, &size), static_cast<LSTATUS>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), static_cast<LSTATUS>(ERROR_SUCCESS));
}

TEST_F(RegistryTest, NoRegistryFileMeansNoKeys)
{
    std::filesystem::remove(Host("registry.txt"));
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Lockheed Martin\\Prepar3D v4", 0, KEY_READ, &key),
              static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(HKEY_LOCAL_MACHINE, "x", nullptr, nullptr, nullptr, &size),
              static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
