// Recursive copy and removal of registry key trees.
#pragma once
#include <windows.h>
#include <functional>

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

// Calls visit with the name of each subkey of key, in the registry's order,
// until it returns false; visit must not add or remove subkeys of key.
// Returns false when visit stopped the walk or the enumeration failed.
bool ForEachSubkey(HKEY key, const std::function<bool(const wchar_t* name)>& visit);

// True when parent\path can be opened for reading.
bool RegistryKeyExists(HKEY parent, const char* path);

// Renames the subkey name of parent to newName in one step: a process that
// ends at any moment leaves the key under one of the two names, whole.
// False when the rename failed (newName taken, no access, or a system
// without the call); nothing has changed then.
bool RenameRegistryKey(HKEY parent, const char* name, const char* newName);
