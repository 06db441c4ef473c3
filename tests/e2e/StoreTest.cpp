// What the launcher asks of Windows for its store: private snapshots in the
// machine-wide store.
#include "tests/e2e/E2ETest.h"
#include <sddl.h>

using StoreTest = E2ETest;

// A user's settings may hold passwords: in the machine-wide store only the
// user, SYSTEM and the administrators may open a snapshot, at every level.
TEST_F(StoreTest, ANewEntrysSnapshotInTheMachineWideStoreIsPrivateToItsUser)
{
    SetString(HKEY_CURRENT_USER, std::string(kSettingsPath) + "\\Sub", "Password", "secret");
    HWND main = Start();
    NewEntry(main, "Private", "C:\\windows\\notepad.exe", kSettingsName);
    ASSERT_TRUE(WaitUntil([&] { return ListCount(main, IDC_PROGRAM_LIST) == 1; }));
    for (const std::string& path : {SnapshotPath(1), SnapshotPath(1) + "\\Sub"}) {
        HKEY key;
        BYTE descriptor[4096];
        DWORD size = sizeof descriptor;
        char* sddl = nullptr;
        ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, READ_CONTROL | KEY_WOW64_32KEY, &key), ERROR_SUCCESS);
        ASSERT_EQ(::RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor, &size), ERROR_SUCCESS);
        ::RegCloseKey(key);
        ASSERT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                                           DACL_SECURITY_INFORMATION, &sddl, nullptr));
        const std::string dacl = sddl;
        ::LocalFree(sddl);
        // Everyone, Users, Authenticated Users, Interactive: none of them.
        for (const char* everybody : {";WD)", ";BU)", ";AU)", ";IU)", ";S-1-1-0)", ";S-1-5-32-545)"})
            EXPECT_EQ(dacl.find(everybody), std::string::npos) << path << ": " << dacl;
        EXPECT_TRUE(dacl.find(";SY)") != std::string::npos && dacl.find(";BA)") != std::string::npos) << dacl;
    }
}
