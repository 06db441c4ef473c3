// What the launcher asks of Windows for its store and itself: private
// snapshots in the machine-wide store, and a manifest.
#include <set>
#include "tests/e2e/E2ETest.h"
#include <sddl.h>

using StoreTest = E2ETest;

// A user's settings may hold passwords: in the machine-wide store only the
// user, SYSTEM and the administrators may open a snapshot, at every level.
TEST_F(StoreTest, ANewEntrysSnapshotInTheMachineWideStoreIsPrivateToItsUser)
{
    SetString(HKEY_CURRENT_USER, std::string(kSettingsPath) + "\\Sub", "Password", "secret");
    HWND main = Start();
    ASSERT_TRUE(main);
    NewEntry(main, "Private", "C:\\windows\\notepad.exe", kSettingsName);
    ASSERT_TRUE(WaitUntil([&] { return ListCount(main, IDC_PROGRAM_LIST) == 1; }));
    for (const std::string& path : {SnapshotPath(1), SnapshotPath(1) + "\\Sub"}) {
        SCOPED_TRACE(path);
        HKEY key;
        ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, READ_CONTROL, &key), ERROR_SUCCESS);
        std::vector<BYTE> descriptor(4096);
        DWORD size = (DWORD)descriptor.size();
        ASSERT_EQ(::RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data(), &size), ERROR_SUCCESS);
        ::RegCloseKey(key);
        BOOL present = FALSE, defaulted = FALSE;
        PACL dacl = nullptr;
        ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted) && present && dacl);
        std::set<std::string> allowed;
        for (DWORD i = 0; i < dacl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            char* sid = nullptr;
            if (::GetAce(dacl, i, (void**)&ace) && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
                ::ConvertSidToStringSidA(&ace->SidStart, &sid))
                allowed.insert(sid), ::LocalFree(sid);
        }
        EXPECT_EQ(allowed.count("S-1-5-18") + allowed.count("S-1-5-32-544"), 2u);
        for (const char* everybody : {"S-1-1-0", "S-1-5-32-545", "S-1-5-11", "S-1-5-4"})
            EXPECT_EQ(allowed.count(everybody), 0u) << everybody;
    }
}

// asInvoker: Windows neither asks to elevate nor virtualizes the registry,
// so a standard user gets the per-user store.
TEST_F(StoreTest, TheProgramCarriesAManifestAskingToRunAsInvoker)
{
    HMODULE program = ::LoadLibraryExA(LauncherPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(program);
    HRSRC found = ::FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)); // RT_MANIFEST
    ASSERT_TRUE(found);
    std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(program, found))),
                         ::SizeofResource(program, found));
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    ::FreeLibrary(program);
}
