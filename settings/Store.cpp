#include "settings/Store.h"
#include <cwchar>
#include <set>
#include <string>
#include "framework/Scoped.h"
#include "registry/RegistryTree.h"
#include "framework/Text.h"
#include "settings/Staging.h"

const char STORE_PATH[] = "Software\\Varnolite\\Cobweld";
const char ENTRIES_KEY[] = "Info";
const char SNAPSHOTS_KEY[] = "Save";
const char LEFT_BY_KEY[] = "LeftBy";

namespace {

// Where Windows put the machine-wide writes of a standard user's 32-bit
// launcher.
const char VIRTUAL_STORE_PATH[] = "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\WOW6432Node\\Varnolite\\Cobweld";

HKEY g_hStoreRoot = HKEY_LOCAL_MACHINE;

// On 32-bit Windows the view flag changes nothing.
LONG OpenStoreBelow(HKEY root, CRegKey& store, REGSAM access, bool create)
{
    if (root == HKEY_LOCAL_MACHINE)
        access |= KEY_WOW64_32KEY;
    return create ? store.Create(root, STORE_PATH, access) : store.Open(root, STORE_PATH, access);
}

// Copies the snapshots of the store from that can be read, each slot with
// its history, skipping the slots in taken (an earlier store's), and adds
// from's slots to taken. A snapshot this user may not read (another user's
// private one) does not keep the others from coming along.
void CopyReadableSnapshots(HKEY from, HKEY to, std::set<std::wstring>& taken)
{
    CRegKey source, destination;
    if (!from || source.Open(from, SNAPSHOTS_KEY) != ERROR_SUCCESS
        || destination.Create(to, SNAPSHOTS_KEY) != ERROR_SUCCESS)
        return;
    std::set<std::wstring> slots;
    ForEachSubkey(source, [&](const wchar_t* name) {
        std::wstring slot(name, std::wcscspn(name, L"."));
        CRegKey tree, copy;
        if (!taken.count(slot) && tree.Open(source, name) == ERROR_SUCCESS) {
            slots.insert(slot);
            if (copy.Create(destination, name) == ERROR_SUCCESS)
                CopyRegistryTree(tree, copy);
        }
        return true;
    });
    taken.insert(slots.begin(), slots.end());
}

// The stores copied from are only read: their entries are the whole tree
// that their recovery would keep, even where it cannot run. The entries come
// last and in one rename: a copy cut short leaves no entries, and is made
// again at the next start.
void SeedUserStore()
{
    CRegKey user, virtualStore, machine, entries;
    if (user.Create(HKEY_CURRENT_USER, STORE_PATH) != ERROR_SUCCESS)
        return;
    CRegKey existing;
    if (OpenEntryList(user, true, existing) == ERROR_SUCCESS)
        return;
    bool virtualized = virtualStore.Open(HKEY_CURRENT_USER, VIRTUAL_STORE_PATH) == ERROR_SUCCESS
        && OpenEntryList(virtualStore, false, entries) == ERROR_SUCCESS;
    OpenStoreBelow(HKEY_LOCAL_MACHINE, machine, KEY_READ, false);
    if (!virtualized && (!machine.IsOpen() || OpenEntryList(machine, false, entries) != ERROR_SUCCESS))
        return;
    // Windows showed the 32-bit launcher its virtualized keys over the
    // machine-wide ones: a snapshot it never wrote again is machine-wide only.
    std::set<std::wstring> taken;
    CopyReadableSnapshots(virtualized ? static_cast<HKEY>(virtualStore) : nullptr, user, taken);
    CopyReadableSnapshots(machine, user, taken);
    // Who left each settings key, as the store the entries come from knows.
    CRegKey leftBy, copy;
    if (leftBy.Open(virtualized ? static_cast<HKEY>(virtualStore) : static_cast<HKEY>(machine), LEFT_BY_KEY)
            == ERROR_SUCCESS
        && copy.Create(user, LEFT_BY_KEY) == ERROR_SUCCESS)
        CopyRegistryTree(leftBy, copy);
    ReplaceEntryList(user, [&](HKEY staging) { return CopyRegistryTree(entries, staging) != 0; });
}

} // namespace

HKEY StoreRoot()
{
    return g_hStoreRoot;
}

LONG OpenStore(CRegKey& store, REGSAM access, bool create)
{
    return OpenStoreBelow(g_hStoreRoot, store, access, create);
}

HKEY SelectStoreRoot()
{
    // A standard user, or an administrator without elevation, may read the
    // machine-wide store but not write it (no registry virtualization for a
    // 64-bit program).
    CRegKey machine;
    if (OpenStoreBelow(HKEY_LOCAL_MACHINE, machine, KEY_READ | KEY_WRITE, true) == ERROR_SUCCESS) {
        g_hStoreRoot = HKEY_LOCAL_MACHINE;
    } else {
        g_hStoreRoot = HKEY_CURRENT_USER;
        SeedUserStore();
    }
    return g_hStoreRoot;
}

namespace {
CStaging EntryListStaging(HKEY store)
{
    std::vector<std::unique_ptr<CTreePlace>> places;
    places.push_back(KeyTreePlace(store));
    return CStaging(store, ENTRIES_KEY, std::move(places), false);
}
}

LONG OpenEntryList(HKEY store, bool writable, CRegKey& entries)
{
    if (writable) {
        EntryListStaging(store).Recover();
        return entries.Open(store, ENTRIES_KEY);
    }
    std::string kept = RecoveredTreeName(store, ENTRIES_KEY, false);
    return kept.empty() ? ERROR_FILE_NOT_FOUND : entries.Open(store, kept.c_str());
}

bool ReplaceEntryList(HKEY store, const std::function<bool(HKEY staging)>& fill)
{
    CStaging staging = EntryListStaging(store);
    staging.Recover();
    const std::string name = CStaging::NewName(ENTRIES_KEY);
    {
        CRegKey built;
        if (built.Create(store, Widen(name).c_str()) != ERROR_SUCCESS || !fill(built)) {
            built.Close();
            DeleteRegistryTree(store, name.c_str());
            return false;
        }
    }
    return staging.Replace(0);
}
