// Recursive copy and removal of registry key trees.
#pragma once
#include <windows.h>

// Copies every value and subkey of source, at every depth, into destination:
// each key's values first, then its subkeys depth-first, with their classes.
// Adds and overwrites; what exists only in the destination stays. Returns 1
// when everything was copied, 0 at the first failure (what was copied up to
// then stays). Values of any size and names of any length are carried.
// Neither handle is closed.
int CopyRegistryTree(HKEY source, HKEY destination);

// Removes parent\path with all its subkeys, deepest first. Reports nothing:
// a missing path is no error, and a subkey that cannot be removed is left
// in place (together with the keys above it) instead of being retried.
void DeleteRegistryTree(HKEY parent, const char* path);

// FALSE for a null path, an empty one or one made of backslashes only: the
// registry opens such a path as the parent key itself.
bool NamesKeyBelow(const char* path);

// True when parent\path can be opened for reading.
bool RegistryKeyExists(HKEY parent, const char* path);

// Renames the subkey name of parent to newName in one step: a process that
// ends at any moment leaves the key under one of the two names, whole.
// False when the rename failed (newName taken, no access, or a system
// without the call); nothing has changed then.
bool RenameRegistryKey(HKEY parent, const char* name, const char* newName);
