// Settings snapshots: a program's settings key, HKEY_CURRENT_USER\Software
// \<settings name>, and its copies in the store, Save\<slot>, with the
// settings a capture replaced kept beside the slot as its previous settings.
// A snapshot is replaced in one step (registry/StagedKey.h): however the
// process ends, a slot holds a whole snapshot.
#pragma once
#include <string>
#include "registry/RegFile.h"

namespace Snapshot {

// Settings names that capture and restore accept: one that names a key below
// Software (not empty, not only backslashes) within the 200-byte path buffer
// (at most 190 bytes), and is neither the launcher's own key
// Varnolite\Cobweld, nor inside it, nor the Varnolite key that holds it,
// whatever the letter case.
bool IsSettingsName(const std::string& settingsName);

// Copies the settings key into the slot; the snapshot it replaces becomes the
// previous settings. False, with the slot as it was, when the settings key
// cannot be read or the name is refused.
bool Capture(const std::string& settingsName, int slot);
// Makes the settings key an exact copy of the slot. False when the slot has
// no snapshot or the name is refused: the settings key is untouched then.
// Once the old settings are removed a failed copy leaves them incomplete.
bool Restore(const std::string& settingsName, int slot);
// Removes the slot's snapshot and its previous settings.
void Discard(int slot);

// Swaps the slot's snapshot with its previous settings; again, swaps back.
bool Undo(int slot);
bool HasPrevious(int slot);

// The snapshot of fromSlot becomes that of toSlot too.
bool Copy(int fromSlot, int toSlot);

// The slot's snapshot as a registry file naming the settings key.
bool Export(int slot, const std::string& settingsName, const std::wstring& path);
// A registry file's tree becomes the slot's snapshot, as a capture would
// make it. On failure the slot is unchanged and error says why.
bool Import(int slot, const std::wstring& path, RegFileError* error);

} // namespace Snapshot
