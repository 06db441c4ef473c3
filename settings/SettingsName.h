// The names of programs' settings keys: HKEY_CURRENT_USER\Software\<name>,
// as an entry stores them (a byte string in the ANSI code page).
#pragma once
#include <string>
#include <vector>

// Settings names that capture and restore accept: one that names a key below
// Software (not empty, not only backslashes) within the 200-byte path buffer
// (at most 190 bytes), and is neither the launcher's own key
// Varnolite\Cobweld, nor inside it, nor the Varnolite key that holds it,
// whatever the letter case.
bool IsSettingsName(const std::string& settingsName);

// Both name the same settings key: the same levels, whatever the letter
// case and the doubled backslashes.
bool SameSettingsName(const std::string& a, const std::string& b);

// The two-level key names under HKEY_CURRENT_USER\Software that settings
// can be kept of (IsSettingsName), in the registry's order. A name that the
// code page cannot hold is left out: turned into another name it would name
// another program's key. False only when Software cannot be listed.
bool ListSettingsNames(std::vector<std::string>* names);

// The settings key's path below HKEY_CURRENT_USER.
std::string SettingsKeyPath(const std::string& settingsName);

// The name as one registry value name: the levels that name the key, one
// backslash apart (the registry ignores empty levels). Letter case does not
// matter to value names.
std::wstring SettingsValueName(const std::string& settingsName);
