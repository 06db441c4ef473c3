// Trees removed and renamed: snapshots, their staging copies, live paths.
#pragma once
#include "files/TreeListing.h"

// Removes root and everything below it, deepest first, read-only files too.
// Links are never followed nor removed: a link stays, and so do the folders
// that hold it, which is no failure. A missing root is none either. False,
// with the first thing that could not go, once all else that could is gone.
bool RemoveFileTree(const std::wstring& root, FileError* error);
// The same for some items of a listing of root, given deepest first.
bool RemoveTreeItems(const TreePath& root, const std::vector<const TreeItem*>& items, FileError* error);

// Renames from to to in one step: on one volume, never over something that
// exists. False, with error, when the system refused (nothing moved then).
bool RenameFileTree(const std::wstring& from, const std::wstring& to, FileError* error);
