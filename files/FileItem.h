// The work on one file or folder of a tree that copies, restores and
// records share.
#pragma once
#include "files/TreeTally.h"

// The attributes a copy carries; the others (directory, link, compression,
// encryption) are no file's to set by hand.
const DWORD COPIED_ATTRIBUTES = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
    | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// The copied ones of attributes as the system sets them: FILE_ATTRIBUTE_NORMAL
// for none (0 would leave them as they are).
inline DWORD CopiedAttributes(DWORD attributes)
{
    return attributes & COPIED_ATTRIBUTES ? attributes & COPIED_ATTRIBUTES : FILE_ATTRIBUTE_NORMAL;
}

// Writes the contents of the file from into to, created with disposition
// (CREATE_NEW, CREATE_ALWAYS), and gives it from's copied attributes and its
// creation and last-write times, as the open file has them. from is read
// whatever its other readers and writers share, so only a program that holds
// it open without sharing stops the copy. The tally hears every block. False,
// with error naming from.name or to.name, whichever failed; ERROR_CANCELLED
// when the tally asked to stop. to may then hold part of the contents.
bool CopyFileData(const TreePath& from, const TreePath& to, DWORD disposition, CTreeTally& tally, FileError* error);

// A digest of the file's contents (framework/Hash.h); the tally hears every block.
bool DigestFile(const TreePath& file, CTreeTally& tally, ULONGLONG* digest, FileError* error);

// Gives the folder item's copied attributes and its creation and last-write
// times. A folder's last-write time changes whenever a name in it comes or
// goes: it is set once the folder's contents are in place.
bool SetFolderInfo(const TreePath& folder, const TreeItem& item, FileError* error);

// Removes a file, read-only or not. Never a link's target: a link is no file
// to this layer.
bool RemoveFileItem(const TreePath& file, DWORD attributes, FileError* error);

// The file can be replaced or removed now: no program holds it open without
// sharing its removal.
bool CanReplaceFile(const TreePath& file, FileError* error);
