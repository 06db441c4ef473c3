#include <gtest/gtest.h>
#include "framework/WinApp.h"

namespace {
const char* const kProfileRoot = "Software\\CobweldTestCompany";
}

TEST(Profile, StoresIntegersAsDwordsUnderCompanyApplicationAndSection)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, kProfileRoot);
    CWinApp app("TESTAPP");
    app.SetRegistryKey("CobweldTestCompany");

    EXPECT_EQ(app.GetProfileInt("Cobweld", "Current", 5), 5u);
    ASSERT_TRUE(app.WriteProfileInt("Cobweld", "Current", 3));
    EXPECT_EQ(app.GetProfileInt("Cobweld", "Current", 5), 3u);

    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\CobweldTestCompany\\TESTAPP\\Cobweld", 0,
                            KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0, value = 0, size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, "Current", nullptr, &type, (BYTE*)&value, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, (DWORD)REG_DWORD);
    EXPECT_EQ(value, 3u);
    RegCloseKey(key);
    RegDeleteTreeA(HKEY_CURRENT_USER, kProfileRoot);
}

TEST(Profile, ApplicationNameDefaultsToTheProgramFileNameWithoutExtension)
{
    CWinApp app;
    EXPECT_EQ(app.m_strAppName, "test_framework");
}
