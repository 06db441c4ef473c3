// A live file tree copied into a new snapshot, for a capture.
#pragma once
#include "files/TreeListing.h"

// Copies the tree at live into destination, which must not exist yet (its
// folder must): every folder and file with its attributes and its creation
// and last-write times. A file of the same size, last-write time and
// attributes at the same place in reference (the current snapshot; empty
// or missing: none) is not copied but hard-linked from there where the
// volume allows; a read-only file is always copied, as removing a link of it
// would have to change the attribute that all its links share. The live
// files are only read, never linked: their program writes them in place.
// Links in live are copied as nothing; a live path that is itself a link is
// refused with ERROR_LINK_REFUSED.
//
// A live path that does not exist is an absent tree: destination stays
// missing, *absent (when given) says so, and the copy succeeds. False, with
// error, when something could not be read or written (a live file that a
// program holds open without sharing names that file) or progress asked to
// stop; what the copy had made is removed then, as far as it can be.
bool CopyFileTree(const std::wstring& live, const std::wstring& destination, const std::wstring& reference,
                  const CWorkProgress& progress, FileError* error, bool* absent = nullptr);
