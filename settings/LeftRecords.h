// Which entry (by its slot) last left each settings key in place, and a
// fingerprint of what it left there: the values of the store's key LeftBy,
// named after the settings key. A settings key that nobody is known to have
// left has no value. A slot belongs to one entry, which names one settings
// key: a record naming the slot for another key is stale.
#pragma once
#include <windows.h>
#include <string>

// slot 0: nobody left it (the record goes).
void RecordLeft(const std::string& settingsName, int slot, ULONGLONG fingerprint);
// The slot of the entry that left the settings key, or 0; *fingerprint is
// what it left.
int LeftBy(const std::string& settingsName, ULONGLONG* fingerprint);
// The same for a settings path, by its full form (settings/SettingsPaths.h);
// what the entry left there is a note of its slot's.
void RecordLeftPath(const std::wstring& fullPath, int slot);
int LeftByPath(const std::wstring& fullPath);
// The slot's entry has left no settings any more.
void ForgetLeftBy(int slot);
