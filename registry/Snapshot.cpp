#include "registry/Snapshot.h"
#include "model/ProgramEntry.h"
#include "framework/Scoped.h"
#include "registry/RegistryInternal.h"
#include "registry/RegistryTree.h"
#include <cstdio>
#include <cstring>
#include <cwchar>

const char SNAPSHOT_ROOT_PATH[] = "Software\\Varnolite\\Cobweld\\Save";

bool g_bRegistryRenameDisabled = false;

namespace {

// A capture is copied into this key beside the slot first, so that a copy
// that fails part-way never costs the previous snapshot. Nothing reads it
// as a snapshot; a capture of the slot removes one left by a crash.
const char TEMPORARY_SUFFIX[] = ".new";

bool BuildTemporaryPath(int slot, char* path, size_t size)
{
    int length = std::snprintf(path, size, "%s\\%d%s", SNAPSHOT_ROOT_PATH, slot, TEMPORARY_SUFFIX);
    return length > 0 && static_cast<size_t>(length) < size;
}

typedef LONG(WINAPI* RenameKeyFunction)(HKEY key, LPCWSTR subKey, LPCWSTR newName);

RenameKeyFunction FindRenameKey()
{
    if (g_bRegistryRenameDisabled)
        return nullptr;
    HMODULE advapi = ::GetModuleHandleA("advapi32.dll");
    if (!advapi)
        return nullptr;
    return reinterpret_cast<RenameKeyFunction>(
        reinterpret_cast<void*>(::GetProcAddress(advapi, "RegRenameKey")));
}

// Puts the complete copy in temporary (open, at temporaryPath) in place of
// the snapshot at slotPath.
int ReplaceSnapshot(CRegKey& temporary, const char* temporaryPath, int slot, const char* slotPath)
{
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, slotPath);

    if (RenameKeyFunction renameKey = FindRenameKey()) {
        wchar_t newName[16];
        std::swprintf(newName, sizeof newName / sizeof newName[0], L"%d", slot);
        if (renameKey(temporary, nullptr, newName) == ERROR_SUCCESS)
            return 1;
    }

    // No rename on this system, or the old snapshot could not be removed
    // completely: copy once more, as a capture without the temporary would.
    CRegKey snapshot;
    if (snapshot.Create(HKEY_LOCAL_MACHINE, slotPath) != ERROR_SUCCESS)
        return 0;
    int copied = CopyRegistryTree(temporary, snapshot);
    snapshot.Close();
    temporary.Close();
    if (copied)
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, temporaryPath);
    return copied;
}

} // namespace

bool BuildSnapshotPath(int slot, char* path, size_t size)
{
    int length = std::snprintf(path, size, "%s\\%d", SNAPSHOT_ROOT_PATH, slot);
    return length > 0 && static_cast<size_t>(length) < size;
}

bool BuildSettingsPath(const char* registryName, size_t fieldSize, char* path, size_t size)
{
    static const char prefix[] = "Software\\";
    size_t length = strnlen(registryName, fieldSize);
    if (length == fieldSize || !NamesKeyBelow(registryName))
        return false;
    if (sizeof prefix - 1 + length >= size)
        return false;
    std::memcpy(path, prefix, sizeof prefix - 1);
    std::memcpy(path + sizeof prefix - 1, registryName, length + 1);
    return true;
}

int CProgramEntry::CaptureSnapshot()
{
    char settingsPath[REGISTRY_PATH_SIZE];
    char slotPath[REGISTRY_PATH_SIZE];
    char temporaryPath[REGISTRY_PATH_SIZE];
    if (!BuildSettingsPath(m_szRegistry, sizeof m_szRegistry, settingsPath, sizeof settingsPath)
        || !BuildSnapshotPath(m_nSaveSlot, slotPath, sizeof slotPath)
        || !BuildTemporaryPath(m_nSaveSlot, temporaryPath, sizeof temporaryPath))
        return 0;

    CRegKey source;
    if (source.Open(HKEY_CURRENT_USER, settingsPath) != ERROR_SUCCESS)
        return 0;

    DeleteRegistryTree(HKEY_LOCAL_MACHINE, temporaryPath);
    CRegKey temporary;
    if (temporary.Create(HKEY_LOCAL_MACHINE, temporaryPath) != ERROR_SUCCESS)
        return 0;
    int copied = CopyRegistryTree(source, temporary);
    source.Close();
    if (!copied) {
        temporary.Close();
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, temporaryPath);
        return 0;
    }
    return ReplaceSnapshot(temporary, temporaryPath, m_nSaveSlot, slotPath);
}

int CProgramEntry::RestoreSnapshot()
{
    char settingsPath[REGISTRY_PATH_SIZE];
    char slotPath[REGISTRY_PATH_SIZE];
    if (!BuildSettingsPath(m_szRegistry, sizeof m_szRegistry, settingsPath, sizeof settingsPath)
        || !BuildSnapshotPath(m_nSaveSlot, slotPath, sizeof slotPath))
        return 0;

    // A missing snapshot leaves the live settings as they are.
    CRegKey source;
    if (source.Open(HKEY_LOCAL_MACHINE, slotPath) != ERROR_SUCCESS)
        return 0;

    // Removed first, so that the copy cannot merge old and restored settings.
    DeleteRegistryTree(HKEY_CURRENT_USER, settingsPath);
    CRegKey destination;
    if (destination.Create(HKEY_CURRENT_USER, settingsPath) != ERROR_SUCCESS)
        return 0;
    int copied = CopyRegistryTree(source, destination);
    source.Close();
    destination.Close();
    return copied;
}

void CProgramEntry::DiscardSnapshot()
{
    char path[REGISTRY_PATH_SIZE];
    if (BuildSnapshotPath(m_nSaveSlot, path, sizeof path))
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, path);
    if (BuildTemporaryPath(m_nSaveSlot, path, sizeof path))
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, path);
    m_nSaveSlot = 0;
}
