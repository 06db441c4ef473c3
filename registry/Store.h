// Where the launcher keeps its entries (Info\<n>) and their snapshots
// (Save\<slot>): the key STORE_PATH below HKEY_LOCAL_MACHINE where this user
// may write it, else the same layout below HKEY_CURRENT_USER.
#pragma once
#include <windows.h>

extern const char STORE_PATH[];    // Software\Varnolite\Cobweld
extern const char ENTRIES_KEY[];   // Info, in the store
extern const char SNAPSHOTS_KEY[]; // Save, in the store

// The root of this run's store; HKEY_LOCAL_MACHINE until SelectStoreRoot.
HKEY StoreRoot();

// Chooses the store for this run, once, at start: the machine-wide one when
// it can be written, else the per-user one. A per-user store that does not
// exist yet starts as a copy of a readable machine-wide one, entries and
// snapshots; the machine-wide store is only read then. Returns the root.
HKEY SelectStoreRoot();
