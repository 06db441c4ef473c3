#include "model/ProgramList.h"
#include "framework/WinApp.h"
#include "framework/Scoped.h"
#include "registry/RegistryTree.h"
#include <cstdio>
#include <new>

namespace {

// Below HKEY_LOCAL_MACHINE; entry n lives in the key ENTRY_STORE_PATH\<n>.
const char ENTRY_STORE_PATH[] = "Software\\Varnolite\\Cobweld\\Info";

void BuildEntryPath(int index, char* path, size_t size)
{
    std::snprintf(path, size, "%s\\%d", ENTRY_STORE_PATH, index);
}

void DeleteEntry(CProgramEntry* entry)
{
    entry->ReleaseIcon();
    delete entry;
}

} // namespace

CProgramList::CProgramList() : m_bModified(0), m_nGroupState(GROUP_STATE_NONE)
{
    // The stored list ends at the first key that cannot be opened.
    for (int index = 0;; ++index) {
        char path[200];
        BuildEntryPath(index, path, sizeof path);
        CRegKey key;
        if (key.Open(HKEY_LOCAL_MACHINE, path) != ERROR_SUCCESS)
            break;
        CProgramEntry* entry = new (std::nothrow) CProgramEntry;
        if (!entry)
            break;
        entry->LoadFromKey(key);
        try {
            m_arrEntries.push_back(entry);
        } catch (...) {
            delete entry;
            break;
        }
    }

    // No application object: no completed run can be known either.
    CWinApp* app = AfxGetApp();
    UINT installed = app ? app->GetProfileInt("Cobweld", "Installed", 0) : 0;
    if (installed == 0)
        m_nGroupState = GROUP_STATE_FIRST_RUN;
}

CProgramList::~CProgramList()
{
    int count = GetCount();
    int written = 0;
    if (m_bModified) {
        for (; written < count; ++written) {
            char path[200];
            BuildEntryPath(written, path, sizeof path);
            CRegKey key;
            if (key.Create(HKEY_LOCAL_MACHINE, path) != ERROR_SUCCESS)
                break;
            m_arrEntries[written]->SaveToKey(key);
        }
        // Loading stops at the first missing key: this ends the stored list
        // here, whatever higher keys an earlier, longer list left behind.
        char path[200];
        BuildEntryPath(written, path, sizeof path);
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, path);
    }
    for (CProgramEntry* entry : m_arrEntries)
        DeleteEntry(entry);
}

CProgramEntry* CProgramList::Add(const CProgramEntry& source)
{
    CProgramEntry* entry = new (std::nothrow) CProgramEntry;
    if (!entry)
        return nullptr;
    entry->CopyFrom(source);
    try {
        m_arrEntries.push_back(entry);
    } catch (...) {
        DeleteEntry(entry);
        return nullptr;
    }
    m_bModified = 1;
    m_nGroupState = GROUP_STATE_CHANGED;
    return entry;
}

void CProgramList::RemoveAt(int index)
{
    if (index < 0 || index >= GetCount())
        return;
    CProgramEntry* entry = m_arrEntries[index];
    entry->DiscardSnapshot();
    DeleteEntry(entry);
    m_arrEntries.erase(m_arrEntries.begin() + index);
    m_nGroupState = GROUP_STATE_CHANGED;
    m_bModified = 1;
}

void CProgramList::Replace(int index, const CProgramEntry& source)
{
    if (index < 0 || index >= GetCount())
        return;
    m_arrEntries[index]->CopyFrom(source);
    m_bModified = 1;
    m_nGroupState = GROUP_STATE_CHANGED;
}

BOOL CProgramList::MoveUp(int index)
{
    if (index <= 0 || index >= GetCount())
        return FALSE;
    std::swap(m_arrEntries[index - 1], m_arrEntries[index]);
    return TRUE;
}

BOOL CProgramList::MoveDown(int index)
{
    if (index < 0 || index >= GetCount() - 1)
        return FALSE;
    std::swap(m_arrEntries[index], m_arrEntries[index + 1]);
    return TRUE;
}

int CProgramList::FirstFreeSnapshotSlot() const
{
    // The smallest positive slot no entry uses. With n entries it is at most
    // n + 1, so only slots up to n + 1 need to be marked.
    int count = GetCount();
    bool* used = new (std::nothrow) bool[static_cast<size_t>(count) + 2]();
    if (used) {
        for (const CProgramEntry* entry : m_arrEntries) {
            if (entry->m_nSaveSlot >= 1 && entry->m_nSaveSlot <= count + 1)
                used[entry->m_nSaveSlot] = true;
        }
        int slot = 1;
        while (used[slot])
            ++slot;
        delete[] used;
        return slot;
    }
    // Out of memory: rescan the list for every candidate instead.
    int candidate = 1;
    for (bool found = true; found;) {
        found = false;
        for (const CProgramEntry* entry : m_arrEntries) {
            if (entry->m_nSaveSlot == candidate) {
                ++candidate;
                found = true;
                break;
            }
        }
    }
    return candidate;
}
