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

// Removes the records that name slot, but for the one called keep and,
// when keys only is set, those of settings paths.
void ForgetSlot(HKEY records, int slot, const std::wstring& keep, bool keysOnly = false)
{
    std::vector<std::wstring> stale;
    // A value name holds at most 16,383 characters (a settings path's may).
    std::vector<wchar_t> buffer(16384);
    const wchar_t* name = buffer.data();
    CLeftRecord record;
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size()), size = sizeof record, type = REG_NONE;
        LONG rc = ::RegEnumValueW(records, index, buffer.data(), &length, nullptr, &type,
                                  reinterpret_cast<BYTE*>(&record), &size);
        if (rc == ERROR_NO_MORE_ITEMS || (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA))
            break;
        if (rc == ERROR_SUCCESS && size == sizeof record && static_cast<int>(record.slot) == slot
            && ::CompareStringOrdinal(name, -1, keep.c_str(), -1, TRUE) != CSTR_EQUAL
            && !(keysOnly && std::wstring(name).compare(0, 5, L"file:") == 0))
            stale.push_back(name);
    }
    for (const std::wstring& value : stale)
        ::RegDeleteValueW(records, value.c_str());
}

void ForgetOtherKeys(HKEY records, int slot, const std::wstring& keep)
{
    ForgetSlot(records, slot, keep, true);
}

// A settings path's record is named apart from every settings key's.
std::wstring PathValueName(const std::wstring& fullPath)
{
    return L"file:" + fullPath;
}

void Record(const std::wstring& name, int slot, ULONGLONG fingerprint)
{
    CRegKey records;
    if (OpenLeftRecords(records, KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        return;
    if (slot <= 0) {
        ::RegDeleteValueW(records, name.c_str());
        return;
    }
    CLeftRecord record = {static_cast<DWORD>(slot), fingerprint};
    ::RegSetValueExW(records, name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(&record), sizeof record);
}

int Read(const std::wstring& name, ULONGLONG* fingerprint)
{
    CRegKey records;
    CLeftRecord record;
    DWORD size = sizeof record, type = REG_NONE;
    if (OpenLeftRecords(records, KEY_READ) != ERROR_SUCCESS
        || ::RegQueryValueExW(records, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&record), &size)
        != ERROR_SUCCESS
        || size != sizeof record || static_cast<int>(record.slot) <= 0)
        return 0;
    *fingerprint = record.fingerprint;
    return static_cast<int>(record.slot);
}

} // namespace

void RecordLeft(const std::string& settingsName, int slot, ULONGLONG fingerprint)
{
    std::wstring name = SettingsValueName(settingsName);
    // The slot's entry names one settings key: records of other keys naming
    // the slot are stale.
    CRegKey records;
    if (slot > 0 && OpenLeftRecords(records, KEY_READ | KEY_WRITE) == ERROR_SUCCESS)
        ForgetOtherKeys(records, slot, name);
    Record(name, slot, fingerprint);
}

int LeftBy(const std::string& settingsName, ULONGLONG* fingerprint)
{
    return Read(SettingsValueName(settingsName), fingerprint);
}

void RecordLeftPath(const std::wstring& fullPath, int slot)
{
    Record(PathValueName(fullPath), slot, 0);
}

int LeftByPath(const std::wstring& fullPath)
{
    ULONGLONG unused = 0;
    return Read(PathValueName(fullPath), &unused);
}

void ForgetLeftBy(int slot)
{
    CRegKey records;
    if (slot > 0 && OpenLeftRecords(records, KEY_READ | KEY_WRITE) == ERROR_SUCCESS)
        ForgetSlot(records, slot, std::wstring());
}
