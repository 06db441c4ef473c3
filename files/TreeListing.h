// The listing of a file tree: a file or a folder with everything below it.
#pragma once
#include <map>
#include <vector>
#include "files/FilePath.h"
#include "framework/WorkProgress.h"

// A file, folder or link of a tree as its listing found it.
struct TreeItem {
    // Below the tree's root, names one backslash apart; empty for the root.
    std::wstring relative;
    DWORD attributes = 0;
    ULONGLONG size = 0;
    FILETIME created = {};
    FILETIME written = {};

    bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
    bool IsFolder() const { return !IsLink() && (attributes & FILE_ATTRIBUTE_DIRECTORY); }
    bool IsFile() const { return !(attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)); }
};

// Lists the tree at root: root first, and every folder before what it
// holds, so that the list read backwards has each folder after its
// contents. A link is listed and not entered; a root that is a link is
// the only item. A missing root lists nothing. False, with error, when a
// folder cannot be listed or progress (it hears 0 at each folder) asks to
// stop.
bool ListFileTree(const std::wstring& root, std::vector<TreeItem>& items, FileError* error,
                  const CWorkProgress& progress = CWorkProgress());

// What a tree holds in files (not folders, not links) and their bytes.
struct TreeSize {
    ULONGLONG files = 0;
    ULONGLONG bytes = 0;
};
TreeSize MeasureItems(const std::vector<TreeItem>& items);
// Lists root to measure it: for the progress of work over it, or to show.
bool MeasureFileTree(const std::wstring& root, TreeSize* size, FileError* error,
                     const CWorkProgress& progress = CWorkProgress());

// The items of a listing by their relative paths, as the file system
// compares names. Valid while the listing is.
struct PathLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};
typedef std::map<std::wstring, const TreeItem*, PathLess> TreeIndex;
TreeIndex IndexItems(const std::vector<TreeItem>& items);
// NULL when the listing holds nothing at relative.
const TreeItem* FindItem(const TreeIndex& index, const std::wstring& relative);

// Both are files of the same size and last-write time: what this layer
// takes for the same contents.
bool SameSizeAndTime(const TreeItem& a, const TreeItem& b);
