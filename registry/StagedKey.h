// Key trees replaced in one step, whatever moment the process ends at.
//
// The new tree is built beside the key as "<name>.new" and renamed into
// place; the tree it replaces is renamed aside first. Renames are single
// steps, so a process that ends at any moment leaves either the whole old
// tree or the whole new one in place, or a state that RecoverKeyTree, run
// before every use of the key, completes or rolls back:
//   <name>.new   a tree being built (whole only once <name> is renamed aside)
//   <name>.prev  with history kept: the tree the last replacement replaced
//   <name>.old   the tree being discarded
//   <name>.undo  the tree being swapped back by UndoKeyTree
#pragma once
#include <windows.h>
#include <functional>
#include <string>

class CRegKey;

// Fills the open, empty staging key; false when it could not.
typedef std::function<bool(HKEY staging)> FillKeyTree;

// Replaces parent\name with the tree that fill builds. With keepPrevious
// the replaced tree stays as <name>.prev, else it is removed. security (may
// be NULL: inherited) and keyClass (NULL: none) are the new tree's top key's.
// False, with parent\name as it was, when the staging key could not be made,
// fill failed or a rename failed.
bool ReplaceKeyTree(HKEY parent, const std::string& name, const FillKeyTree& fill, bool keepPrevious,
                    SECURITY_ATTRIBUTES* security = nullptr, const wchar_t* keyClass = nullptr);

// Completes or rolls back a replacement or an undo that a process left
// unfinished, and removes what was left over. keepPrevious as the
// replacements of this key use it.
void RecoverKeyTree(HKEY parent, const std::string& name, bool keepPrevious);

// Reads only, for a parent this process may not write: the subkey of parent
// holding the tree that RecoverKeyTree would leave as parent\name (name
// itself, or the one it would rename into place); empty when it would leave
// none. OpenRecoveredKeyTree opens that tree for reading.
std::string RecoveredKeyTreeName(HKEY parent, const std::string& name);
LONG OpenRecoveredKeyTree(HKEY parent, const std::string& name, CRegKey& tree);

// Swaps parent\name with its <name>.prev. False when there is no .prev.
bool UndoKeyTree(HKEY parent, const std::string& name);
bool HasPreviousKeyTree(HKEY parent, const std::string& name);

// True when parent\name, its .prev or a leftover of a replacement exists.
bool KeyTreeTaken(HKEY parent, const std::string& name);

// Removes parent\name together with its .prev and any leftovers.
void DeleteKeyTreeAndHistory(HKEY parent, const std::string& name);
