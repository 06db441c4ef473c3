// Settings snapshots: a program's settings key, HKEY_CURRENT_USER\Software
// \<settings name>, and its copies in the store, Save\<slot>, with the
// settings a capture replaced kept beside the slot as its previous settings.
// A snapshot is replaced in one step (registry/StagedKey.h): however the
// process ends, a slot holds a whole snapshot.
#pragma once
#include <functional>
#include <string>
#include "registry/RegFile.h"

namespace Snapshot {

// Settings names that capture and restore accept: one that names a key below
// Software (not empty, not only backslashes) within the 200-byte path buffer
// (at most 190 bytes), and is neither the launcher's own key
// Varnolite\Cobweld, nor inside it, nor the Varnolite key that holds it,
// whatever the letter case.
bool IsSettingsName(const std::string& settingsName);

// Both name the same settings key: the same levels, whatever the letter
// case and the doubled backslashes.
bool SameSettingsName(const std::string& a, const std::string& b);

// A stopped copy fails, with what a failure leaves.
typedef CWorkProgress Progress;

// Copies the settings key into the slot; the snapshot it replaces becomes the
// previous settings. False, with the slot as it was, when the settings key
// cannot be read, the name is refused or progress stopped the copy.
// Afterwards the slot's entry is the one that left the settings key.
bool Capture(const std::string& settingsName, int slot, const Progress& progress = Progress());
// Makes the settings key an exact copy of the slot. False when the slot has
// no snapshot or the name is refused: the settings key is untouched then.
// Once the old settings are removed a failed copy leaves them incomplete.
// Afterwards the slot's entry left the settings key when keep is true (the
// program's changes are taken back into the slot), else nobody did.
bool Restore(const std::string& settingsName, int slot, bool keep = false, const Progress& progress = Progress());
// Removes the slot's snapshot and its previous settings; its entry has left
// no settings key any more.
void Discard(int slot);

// The slot of the entry that last left the settings key, when the key has
// been changed since (from outside the launcher): one read-only walk of it.
// 0 when it is as that entry left it, left by nobody, missing or unreadable,
// or when progress stopped the walk.
int ChangedSinceLeft(const std::string& settingsName, const Progress& progress = Progress());

// A slot that holds a snapshot, previous settings or what an interrupted
// replacement left, whether an entry names it or not: it may be the last
// copy of someone's settings, and is never given to another entry.
bool IsSlotTaken(int slot);
// The slot gets an empty snapshot.
bool CreateEmpty(int slot);

// Swaps the slot's snapshot with its previous settings; again, swaps back.
bool Undo(int slot);
bool HasPrevious(int slot);

// The snapshot of fromSlot becomes that of toSlot too.
bool Copy(int fromSlot, int toSlot);

// The slot's snapshot as a registry file naming the settings key.
bool Export(int slot, const std::string& settingsName, const std::wstring& path, const Progress& progress = Progress());
// A registry file's tree becomes the slot's snapshot, as a capture would
// make it. On failure the slot is unchanged and error says why.
bool Import(int slot, const std::wstring& path, RegFileError* error, const Progress& progress = Progress());

} // namespace Snapshot
