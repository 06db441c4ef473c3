#include "settings/LeftRecords.h"
#include <vector>
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "settings/Store.h"
#include "settings/SettingsName.h"

namespace {

#pragma pack(push, 4)
struct CLeftRecord {
    DWORD slot;
    ULONGLONG fingerprint;
};
#pragma pack(pop)

LONG OpenLeftRecords(CRegKey& records, REGSAM access)
{
    CRegKey store;
    LONG rc = OpenStore(store, KEY_READ | KEY_WRITE, true);
    return rc == ERROR_SUCCESS ? records.Create(store, Widen(LEFT_BY_KEY).c_str(), access) : rc;
}

// Removes the records that name slot, but for the one called keep.
void ForgetSlot(HKEY records, int slot, const std::wstring& keep)
{
    std::vector<std::wstring> stale;
    wchar_t name[512];
    CLeftRecord record;
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name / sizeof name[0], size = sizeof record, type = REG_NONE;
        LONG rc = ::RegEnumValueW(records, index, name, &length, nullptr, &type, reinterpret_cast<BYTE*>(&record),
                                  &size);
        if (rc == ERROR_NO_MORE_ITEMS || (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA))
            break;
        if (rc == ERROR_SUCCESS && size == sizeof record && static_cast<int>(record.slot) == slot
            && ::CompareStringOrdinal(name, -1, keep.c_str(), -1, TRUE) != CSTR_EQUAL)
            stale.push_back(name);
    }
    for (const std::wstring& value : stale)
        ::RegDeleteValueW(records, value.c_str());
}

} // namespace

void RecordLeft(const std::string& settingsName, int slot, ULONGLONG fingerprint)
{
    CRegKey records;
    if (OpenLeftRecords(records, KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        return;
    std::wstring name = SettingsValueName(settingsName);
    if (slot <= 0) {
        ::RegDeleteValueW(records, name.c_str());
        return;
    }
    ForgetSlot(records, slot, name);
    CLeftRecord record = {static_cast<DWORD>(slot), fingerprint};
    ::RegSetValueExW(records, name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(&record), sizeof record);
}

int LeftBy(const std::string& settingsName, ULONGLONG* fingerprint)
{
    CRegKey records;
    CLeftRecord record;
    DWORD size = sizeof record, type = REG_NONE;
    if (OpenLeftRecords(records, KEY_READ) != ERROR_SUCCESS
        || ::RegQueryValueExW(records, SettingsValueName(settingsName).c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(&record), &size) != ERROR_SUCCESS
        || size != sizeof record || static_cast<int>(record.slot) <= 0)
        return 0;
    *fingerprint = record.fingerprint;
    return static_cast<int>(record.slot);
}

void ForgetLeftBy(int slot)
{
    CRegKey records;
    if (slot > 0 && OpenLeftRecords(records, KEY_READ | KEY_WRITE) == ERROR_SUCCESS)
        ForgetSlot(records, slot, std::wstring());
}
