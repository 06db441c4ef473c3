// Registry helpers shared by the registry and model tests.
#pragma once
#include <windows.h>
#include <aclapi.h>
#include <string>
#include <vector>

namespace regtest {

inline void SetValue(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    ::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
}

inline void SetString(HKEY key, const char* name, const char* text)
{
    ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>(strlen(text) + 1));
}

inline void SetDword(HKEY key, const char* name, DWORD value)
{
    ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

inline HKEY CreateKey(HKEY parent, const wchar_t* path, const wchar_t* keyClass = nullptr)
{
    HKEY key = nullptr;
    ::RegCreateKeyExW(parent, path, 0, const_cast<wchar_t*>(keyClass), 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

inline bool KeyExists(HKEY parent, const char* path)
{
    HKEY key;
    if (::RegOpenKeyExA(parent, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

struct RawValue {
    LONG rc = ERROR_FILE_NOT_FOUND;
    DWORD type = 0;
    std::vector<BYTE> data;
};

// The value exactly as stored (the wide function does not convert strings).
inline RawValue ReadRaw(HKEY key, const wchar_t* name)
{
    RawValue value;
    DWORD size = 0;
    value.rc = ::RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size);
    if (value.rc != ERROR_SUCCESS)
        return value;
    value.data.resize(size);
    value.rc = ::RegQueryValueExW(key, name, nullptr, &value.type, value.data.empty() ? nullptr : value.data.data(), &size);
    value.data.resize(size);
    return value;
}

inline std::wstring KeyClass(HKEY key, DWORD* length = nullptr)
{
    std::vector<wchar_t> buffer(70000);
    DWORD chars = static_cast<DWORD>(buffer.size());
    if (::RegQueryInfoKeyW(key, buffer.data(), &chars, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        chars = 0;
    if (length)
        *length = chars;
    return std::wstring(buffer.data(), chars);
}

// A text listing of a whole tree: every key with its class, every value with
// its type, size and bytes, in enumeration order.
inline std::wstring Dump(HKEY key, const std::wstring& prefix = L"")
{
    std::wstring out = prefix + L" class=" + KeyClass(key) + L"\n";
    std::vector<wchar_t> name(20000);
    std::vector<BYTE> data(4 << 20);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
        if (::RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        out += prefix + L" value[" + std::wstring(name.data(), nameLength) + L"] type=" + std::to_wstring(type) +
               L" size=" + std::to_wstring(size) + L" bytes=";
        unsigned long long sum = 1469598103934665603ull;
        for (DWORD b = 0; b < size; ++b)
            sum = (sum ^ data[b]) * 1099511628211ull;
        out += std::to_wstring(sum) + L"\n";
    }
    for (DWORD i = 0;; ++i) {
        wchar_t child[300];
        DWORD length = 300;
        if (::RegEnumKeyExW(key, i, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY sub;
        if (::RegOpenKeyExW(key, child, 0, KEY_READ, &sub) != ERROR_SUCCESS) {
            out += prefix + L"\\" + child + L" (cannot open)\n";
            continue;
        }
        out += Dump(sub, prefix + L"\\" + child);
        ::RegCloseKey(sub);
    }
    return out;
}

inline std::wstring DumpPath(HKEY root, const char* path)
{
    HKEY key;
    if (::RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return L"(missing)";
    std::wstring out = Dump(key);
    ::RegCloseKey(key);
    return out;
}

// Makes parent\name a key that cannot be opened with full access, so that
// neither a copy nor a removal can get into it.
inline void DenyFullAccess(HKEY parent, const wchar_t* name)
{
    HKEY key = nullptr;
    ::RegOpenKeyExW(parent, name, 0, READ_CONTROL | WRITE_DAC, &key);
    EXPLICIT_ACCESS_W entries[2] = {};
    entries[0].grfAccessPermissions = KEY_CREATE_LINK;
    entries[0].grfAccessMode = DENY_ACCESS;
    entries[0].Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    entries[0].Trustee.ptstrName = const_cast<wchar_t*>(L"EVERYONE");
    entries[1] = entries[0];
    entries[1].grfAccessPermissions = KEY_READ | WRITE_DAC | DELETE;
    entries[1].grfAccessMode = GRANT_ACCESS;
    PACL acl = nullptr;
    ::SetEntriesInAclW(2, entries, nullptr, &acl);
    ::SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                      nullptr, nullptr, acl, nullptr);
    ::LocalFree(acl);
    ::RegCloseKey(key);
}

// Undoes DenyFullAccess so that the key can be cleaned up.
inline void AllowFullAccess(HKEY parent, const wchar_t* name)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(parent, name, 0, READ_CONTROL | WRITE_DAC, &key) != ERROR_SUCCESS)
        return;
    ::SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr);
    ::RegCloseKey(key);
}

inline void UnlockTree(HKEY parent, const wchar_t* name)
{
    AllowFullAccess(parent, name);
    HKEY key;
    if (::RegOpenKeyExW(parent, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t child[300];
        DWORD length = 300;
        if (::RegEnumKeyExW(key, i, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        UnlockTree(key, child);
    }
    ::RegCloseKey(key);
}

// Removes a test's private tree, also where DenyFullAccess locked parts of it.
inline void RemoveTree(HKEY root, const wchar_t* path)
{
    UnlockTree(root, path);
    ::RegDeleteTreeW(root, path);
}

} // namespace regtest
