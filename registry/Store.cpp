#include "registry/Store.h"
#include <string>
#include "framework/Scoped.h"
#include "registry/RegistryTree.h"
#include "registry/StagedKey.h"

const char STORE_PATH[] = "Software\\Varnolite\\Cobweld";
const char ENTRIES_KEY[] = "Info";
const char SNAPSHOTS_KEY[] = "Save";

namespace {

HKEY g_hStoreRoot = HKEY_LOCAL_MACHINE;

// Copies each snapshot that can be read; one this user may not read (another
// user's private snapshot) does not keep the others from coming along.
void CopyReadableSnapshots(HKEY from, HKEY to)
{
    ForEachSubkey(from, [&](const wchar_t* name) {
        CRegKey source, destination;
        if (source.Open(from, name) == ERROR_SUCCESS && destination.Create(to, name) == ERROR_SUCCESS)
            CopyRegistryTree(source, destination);
        return true;
    });
}

// The entries come last and in one rename: a copy cut short leaves no
// entries, and is made again at the next start.
void SeedUserStore()
{
    CRegKey user, machine, machineEntries;
    if (user.Create(HKEY_CURRENT_USER, STORE_PATH) != ERROR_SUCCESS)
        return;
    RecoverKeyTree(user, ENTRIES_KEY, false);
    if (RegistryKeyExists(user, ENTRIES_KEY) || machine.Open(HKEY_LOCAL_MACHINE, STORE_PATH) != ERROR_SUCCESS
        || machineEntries.Open(machine, ENTRIES_KEY) != ERROR_SUCCESS)
        return;
    CRegKey machineSnapshots, userSnapshots;
    if (machineSnapshots.Open(machine, SNAPSHOTS_KEY) == ERROR_SUCCESS
        && userSnapshots.Create(user, SNAPSHOTS_KEY) == ERROR_SUCCESS)
        CopyReadableSnapshots(machineSnapshots, userSnapshots);
    ReplaceKeyTree(user, ENTRIES_KEY, [&](HKEY staging) { return CopyRegistryTree(machineEntries, staging) != 0; },
                   false);
}

} // namespace

HKEY StoreRoot()
{
    return g_hStoreRoot;
}

HKEY SelectStoreRoot()
{
    // A standard user, or an administrator without elevation, may read the
    // machine-wide store but not write it (no registry virtualization for a
    // 64-bit program).
    CRegKey machine;
    if (machine.Create(HKEY_LOCAL_MACHINE, STORE_PATH, KEY_READ | KEY_WRITE) == ERROR_SUCCESS) {
        g_hStoreRoot = HKEY_LOCAL_MACHINE;
    } else {
        g_hStoreRoot = HKEY_CURRENT_USER;
        SeedUserStore();
    }
    return g_hStoreRoot;
}
