// A record of what a tree held when the launcher left it (after a capture
// or a restore), for telling later whether it has been changed since.
#pragma once
#include "files/TreeListing.h"

// Each folder's and file's relative path, and each file's size, last-write
// time and a digest of its contents. Links are no part of it.
class CFileTreeRecord {
public:
    // Reads the tree at root whole; a missing root is recorded as absent.
    // False, with error, when something could not be read or progress asked
    // to stop: the record is then absent.
    bool Take(const std::wstring& root, const CWorkProgress& progress, FileError* error);

    // Whether root now holds other names, folders or files, files of another
    // size or other contents than it did. It lists root and reads the
    // contents only of files whose size is as recorded but whose last-write
    // time is not: a file written again with the same bytes is unchanged.
    // False, with error, when root could not be listed or read, or progress
    // asked to stop.
    bool Check(const std::wstring& root, bool* changed, const CWorkProgress& progress, FileError* error) const;

    bool IsAbsent() const { return m_items.empty(); }
    // The files and bytes the tree held, to show.
    TreeSize Size() const { return MeasureItems(m_items); }

    // The record as bytes to keep, and back. FromBytes is false (and the
    // record absent) for bytes that ToBytes did not make.
    std::vector<BYTE> ToBytes() const;
    bool FromBytes(const std::vector<BYTE>& bytes);

private:
    // Folders and files only; the same order as m_digests.
    std::vector<TreeItem> m_items;
    std::vector<ULONGLONG> m_digests;
};
