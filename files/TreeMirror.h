// A live path made equal to a snapshot, for a restore.
#pragma once
#include "files/TreeListing.h"

// Makes the tree at live equal to the tree at snapshot: what the snapshot
// lacks goes, a file that differs from the snapshot's (in size or last-write
// time) is replaced, one of the same size and time is left as it is (its
// attributes put right), and every folder gets the snapshot's attributes and
// times. A file is replaced in one step: written beside it under another
// name and moved over it, read-only or not, so that however the process ends
// it is whole, old or new (a replacement left beside it goes at the next
// mirror).
//
// Links in live are left as they are, never followed, removed or replaced:
// what the snapshot holds at or below a link is not restored, and a folder
// that holds a link stays. A live path that is itself a link is refused with
// ERROR_LINK_REFUSED. A missing snapshot is an absent tree: live is removed.
//
// Before it changes anything, it checks that every live file it would
// replace or remove can be; when one cannot (a program holds it open without
// sharing), it changes nothing and error names that file. False, with error,
// on any failure or when progress asked to stop (it may stop between files):
// live then holds some files of the snapshot and some of its own, each whole.
bool MirrorFileTree(const std::wstring& snapshot, const std::wstring& live, const CWorkProgress& progress,
                    FileError* error);
