// Where the launcher keeps its entries (Info\<n>) and their snapshots
// (Save\<slot>): the key STORE_PATH below HKEY_LOCAL_MACHINE where this user
// may write it, else the same layout below HKEY_CURRENT_USER.
//
// The machine-wide store is the one the 32-bit builds wrote: in the 32-bit
// view of HKEY_LOCAL_MACHINE\Software (Software\WOW6432Node on 64-bit
// Windows). HKEY_CURRENT_USER\Software is one key in both views.
#pragma once
#include <windows.h>
#include <functional>

class CRegKey;

extern const char STORE_PATH[];    // Software\Varnolite\Cobweld
extern const char ENTRIES_KEY[];   // Info, in the store
extern const char SNAPSHOTS_KEY[]; // Save, in the store
extern const char LEFT_BY_KEY[];   // LeftBy, in the store (settings/LeftRecords.h)

// The root of this run's store; HKEY_LOCAL_MACHINE until SelectStoreRoot.
HKEY StoreRoot();

// Opens this run's store key with access, creating it when missing if
// create is set. Every use of the store goes through here, so that keys
// opened below the handle are in the store's registry view.
LONG OpenStore(CRegKey& store, REGSAM access, bool create);

// Chooses the store for this run, once, at start: the machine-wide one when
// it can be written, else the per-user one. A per-user store that does not
// exist yet starts as a copy of the store Windows virtualized for this
// user's 32-bit launcher (in HKEY_CURRENT_USER's Software\Classes\VirtualStore)
// when that holds entries, with the snapshots it lacks taken from the
// machine-wide store, as that launcher saw them; else as a copy of a
// readable machine-wide one. Those are only read. Returns the root.
HKEY SelectStoreRoot();

// The entry list (ENTRIES_KEY below the store key), replaced whole in one
// step (settings/Staging.h). OpenEntryList opens it for reading: after a
// recovery where the store may be written, else as a recovery would leave it.
LONG OpenEntryList(HKEY store, bool writable, CRegKey& entries);
// Replaces the list with what fill writes into the empty staging key; false,
// with the list as it was, when fill failed.
bool ReplaceEntryList(HKEY store, const std::function<bool(HKEY staging)>& fill);
