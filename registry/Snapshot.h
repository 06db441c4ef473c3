// Where settings keys and snapshots live.
#pragma once
#include <cstddef>

// Below HKEY_LOCAL_MACHINE: the snapshot of slot n is SNAPSHOT_ROOT_PATH\<n>.
extern const char SNAPSHOT_ROOT_PATH[];
// Registry paths are built in buffers of this size.
const size_t REGISTRY_PATH_SIZE = 200;

// The snapshot key of slot below HKEY_LOCAL_MACHINE.
bool BuildSnapshotPath(int slot, char* path, size_t size);
// The settings key below HKEY_CURRENT_USER: "Software\" + the name held in
// the field registryName of fieldSize bytes. False, and nothing must be
// touched, when the name is not NUL-terminated within its field, does not fit
// the path, or would open Software itself (empty, or backslashes only).
bool BuildSettingsPath(const char* registryName, size_t fieldSize, char* path, size_t size);
