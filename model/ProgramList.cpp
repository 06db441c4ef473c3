#include "model/ProgramList.h"
#include <cwchar>
#include <new>
#include <set>
#include <string>
#include "framework/Scoped.h"
#include "framework/WinApp.h"
#include "registry/RegistryTree.h"
#include "settings/Store.h"

namespace {

// The group state as the store keeps it: a value of the Info key itself, 1
// while the group has not been published since the list changed.
const char kGroupChangedValue[] = "GroupChanged";

void DeleteEntry(CProgramEntry* entry)
{
    entry->ReleaseIcon();
    delete entry;
}

// Loading stops at the first missing key, so keys beyond the list's end (an
// earlier, longer list's, or another program's) are never read; they are
// kept all the same, as a write-back in place would keep them.
bool KeepKeysBeyond(HKEY oldEntries, HKEY staging, int count)
{
    return ForEachSubkey(oldEntries, [&](const wchar_t* name) {
        wchar_t* end = nullptr;
        long number = std::wcstol(name, &end, 10);
        if (*end == L'\0' && number >= 0 && number <= count && std::to_wstring(number) == name)
            return true;
        CRegKey from, to;
        return from.Open(oldEntries, name) == ERROR_SUCCESS && to.Create(staging, name) == ERROR_SUCCESS
            && CopyRegistryTree(from, to);
    });
}

} // namespace

CProgramList::CProgramList() : m_nGroupState(GROUP_STATE_NONE), m_bModified(0)
{
    CRegKey store, entries;
    // A store this user cannot write is read as its recovery would leave it.
    bool writable = OpenStore(store, KEY_READ | KEY_WRITE, true) == ERROR_SUCCESS;
    if (!writable)
        OpenStore(store, KEY_READ, false);
    DWORD groupChanged = 0, size = sizeof groupChanged;
    if (store.IsOpen() && OpenEntryList(store, writable, entries) == ERROR_SUCCESS) {
        if (::RegQueryValueExA(entries, kGroupChangedValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&groupChanged),
                               &size) == ERROR_SUCCESS && groupChanged == 1)
            m_nGroupState = GROUP_STATE_CHANGED;
        // The stored list ends at the first key that cannot be opened.
        for (int index = 0;; ++index) {
            CRegKey key;
            if (key.Open(entries, std::to_string(index).c_str()) != ERROR_SUCCESS)
                break;
            CProgramEntry* entry = new (std::nothrow) CProgramEntry;
            if (!entry)
                break;
            entry->LoadFromKey(key);
            m_arrEntries.push_back(entry);
        }
    }
    RepairSnapshotSlots();

    // No application object: no completed run can be known either.
    CWinApp* app = AfxGetApp();
    UINT installed = app ? app->GetProfileInt("Cobweld", "Installed", 0) : 0;
    if (installed == 0)
        m_nGroupState = GROUP_STATE_FIRST_RUN;
}

CProgramList::~CProgramList()
{
    if (m_bModified)
        Save();
    for (CProgramEntry* entry : m_arrEntries)
        DeleteEntry(entry);
}

void CProgramList::RepairSnapshotSlots()
{
    // Entries sharing a slot would overwrite each other's snapshot at each
    // capture, and deleting one would discard the other's.
    std::set<int> used;
    std::vector<CProgramEntry*> repair;
    for (CProgramEntry* entry : m_arrEntries) {
        if (entry->m_nSaveSlot <= 0 || !used.insert(entry->m_nSaveSlot).second)
            repair.push_back(entry);
    }
    for (CProgramEntry* entry : repair) {
        int shared = entry->m_nSaveSlot;
        entry->m_nSaveSlot = 0;
        int slot = FirstFreeSnapshotSlot();
        // Whatever a slot of 0 or below holds is nobody's: left where it is.
        if (shared > 0)
            entry->Settings().InSlot(shared).CopyTo(slot);
        else
            entry->Settings().InSlot(slot).CreateEmpty();
        entry->m_nSaveSlot = slot;
    }
    if (!repair.empty())
        Save();
}

bool CProgramList::Save()
{
    CRegKey store, oldEntries;
    m_bModified = 1;
    if (OpenStore(store, KEY_READ | KEY_WRITE, true) != ERROR_SUCCESS)
        return false;
    OpenEntryList(store, true, oldEntries);
    int count = GetCount();
    bool saved = ReplaceEntryList(store, [&](HKEY staging) {
        if (oldEntries.IsOpen() && !KeepKeysBeyond(oldEntries, staging, count))
            return false;
        for (int index = 0; index < count; ++index) {
            CRegKey key;
            if (key.Create(staging, std::to_string(index).c_str()) != ERROR_SUCCESS
                || !m_arrEntries[index]->SaveToKey(key))
                return false;
        }
        DWORD groupChanged = m_nGroupState == GROUP_STATE_CHANGED ? 1 : 0;
        return ::RegSetValueExA(staging, kGroupChangedValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&groupChanged),
                                sizeof groupChanged) == ERROR_SUCCESS;
    });
    if (saved)
        m_bModified = 0;
    return saved;
}

CProgramEntry* CProgramList::Add(const CProgramEntry& source)
{
    CProgramEntry* entry = new (std::nothrow) CProgramEntry;
    if (!entry)
        return nullptr;
    entry->CopyFrom(source);
    m_arrEntries.push_back(entry);
    m_nGroupState = GROUP_STATE_CHANGED;
    Save();
    return entry;
}

void CProgramList::RemoveAt(int index, int* slotToDiscard)
{
    if (slotToDiscard)
        *slotToDiscard = 0;
    if (index < 0 || index >= GetCount())
        return;
    CProgramEntry* entry = m_arrEntries[index];
    m_arrEntries.erase(m_arrEntries.begin() + index);
    m_nGroupState = GROUP_STATE_CHANGED;
    // A launcher that ends in between leaves a snapshot nobody uses, never a
    // stored entry without its snapshot.
    if (Save()) {
        if (slotToDiscard)
            *slotToDiscard = entry->m_nSaveSlot;
        else
            entry->DiscardSnapshot();
    }
    DeleteEntry(entry);
}

void CProgramList::Replace(int index, const CProgramEntry& source)
{
    if (index < 0 || index >= GetCount())
        return;
    m_arrEntries[index]->CopyFrom(source);
    m_nGroupState = GROUP_STATE_CHANGED;
    Save();
}

BOOL CProgramList::MoveUp(int index)
{
    if (index <= 0 || index >= GetCount())
        return FALSE;
    std::swap(m_arrEntries[index - 1], m_arrEntries[index]);
    // The group's items start entries by index: the store and the group
    // must follow the new order.
    m_nGroupState = GROUP_STATE_CHANGED;
    Save();
    return TRUE;
}

BOOL CProgramList::MoveDown(int index)
{
    if (index < 0 || index >= GetCount() - 1)
        return FALSE;
    return MoveUp(index + 1);
}

int CProgramList::FirstFreeSnapshotSlot() const
{
    // Every entry's slot counts, however high: leftovers in the store may
    // fill the low ones, and an entry whose snapshot is gone still owns its
    // slot.
    std::set<int> used;
    for (const CProgramEntry* entry : m_arrEntries)
        used.insert(entry->m_nSaveSlot);
    int slot = 1;
    while (used.count(slot) || IsSnapshotSlotTaken(slot))
        ++slot;
    return slot;
}

CProgramEntry* CProgramList::FindBySlot(int slot) const
{
    for (CProgramEntry* entry : m_arrEntries) {
        if (slot > 0 && entry->m_nSaveSlot == slot)
            return entry;
    }
    return nullptr;
}

void CProgramList::SetGroupState(int state)
{
    if (state == m_nGroupState)
        return;
    m_nGroupState = state;
    Save();
}
