#include "settings/SettingsName.h"
#include <windows.h>
#include <vector>
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "registry/RegistryTree.h"

namespace {

// "Software\" + the name and its NUL fill at most the 200-byte path buffer
// that the stored names were made for.
const size_t MAX_SETTINGS_NAME = 190;

const wchar_t kVendorKey[] = L"Varnolite";
const wchar_t kProductKey[] = L"Cobweld";

bool SameKeyName(const std::wstring& a, const wchar_t* b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

// The levels of a key path; empty levels (doubled backslashes) name nothing.
std::vector<std::wstring> KeyLevels(const std::string& path)
{
    std::vector<std::wstring> levels;
    std::wstring wide = Widen(path);
    for (size_t start = 0; start <= wide.size();) {
        size_t end = wide.find(L'\\', start);
        if (end == std::wstring::npos)
            end = wide.size();
        if (end > start)
            levels.push_back(wide.substr(start, end - start));
        start = end + 1;
    }
    return levels;
}

} // namespace

bool IsSettingsName(const std::string& settingsName)
{
    if (settingsName.size() > MAX_SETTINGS_NAME || !NamesKeyBelow(settingsName.c_str()))
        return false;
    // Restoring the launcher's own key (or the vendor key above it) would
    // remove its profile and, with a per-user store, every entry and snapshot.
    std::vector<std::wstring> levels = KeyLevels(settingsName);
    return !(SameKeyName(levels[0], kVendorKey) && (levels.size() == 1 || SameKeyName(levels[1], kProductKey)));
}

bool SameSettingsName(const std::string& a, const std::string& b)
{
    return ::CompareStringOrdinal(SettingsValueName(a).c_str(), -1, SettingsValueName(b).c_str(), -1, TRUE)
        == CSTR_EQUAL;
}

bool ListSettingsNames(std::vector<std::string>* names)
{
    names->clear();
    CRegKey software;
    if (software.Open(HKEY_CURRENT_USER, L"Software", KEY_ENUMERATE_SUB_KEYS) != ERROR_SUCCESS)
        return false;
    ForEachSubkey(software, [&](const wchar_t* vendor) {
        CRegKey vendorKey;
        if (vendorKey.Open(software, vendor, KEY_ENUMERATE_SUB_KEYS) == ERROR_SUCCESS)
            ForEachSubkey(vendorKey, [&](const wchar_t* product) {
                std::string name;
                if (NarrowExact(std::wstring(vendor) + L"\\" + product, &name) && IsSettingsName(name))
                    names->push_back(name);
                return true;
            });
        return true;
    });
    return true;
}

std::string SettingsKeyPath(const std::string& settingsName)
{
    return "Software\\" + settingsName;
}

std::wstring SettingsValueName(const std::string& settingsName)
{
    std::wstring name;
    for (const std::wstring& level : KeyLevels(settingsName))
        name += (name.empty() ? L"" : L"\\") + level;
    return name;
}
