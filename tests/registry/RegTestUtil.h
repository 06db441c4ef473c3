// Registry helpers shared by the registry and model tests.
#pragma once
#include <windows.h>
#include <sddl.h>
#include <cstring>
#include <string>
#include <vector>
#include "registry/RegistryInternal.h"

namespace regtest {

inline void SetValue(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    ::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
}
inline void SetString(HKEY key, const char* name, const std::string& text)
{
    ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), DWORD(text.size() + 1));
}
inline void SetDword(HKEY key, const char* name, DWORD value)
{
    ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// A key opened with full access (created when missing) that closes itself.
struct Key {
    Key(HKEY parent, const std::wstring& path, const wchar_t* keyClass = nullptr)
    {
        ::RegCreateKeyExW(parent, path.c_str(), 0, const_cast<wchar_t*>(keyClass), 0, KEY_ALL_ACCESS, 0, &h, 0);
    }
    ~Key() { ::RegCloseKey(h); }
    operator HKEY() const { return h; }
    HKEY h = nullptr;
};

inline void MakeKey(HKEY parent, const std::wstring& path) { Key(parent, path); }

inline bool KeyExists(HKEY parent, const std::wstring& path)
{
    HKEY key;
    return !::RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) && !::RegCloseKey(key);
}

inline bool HasValue(HKEY key, const wchar_t* name) { return !::RegQueryValueExW(key, name, 0, 0, 0, 0); }

// The tree parent\path as text, read with the wide functions: each key with
// its class, each value with its type, size and a hash of its bytes.
inline std::wstring Dump(HKEY parent, const std::wstring& path = L"", const std::wstring& prefix = L"")
{
    HKEY key;
    if (::RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return prefix + L" (cannot open)\n";
    std::vector<wchar_t> name(70000);
    std::vector<BYTE> data(4 << 20);
    DWORD length = DWORD(name.size()), size, type;
    if (::RegQueryInfoKeyW(key, name.data(), &length, 0, 0, 0, 0, 0, 0, 0, 0, 0) != ERROR_SUCCESS)
        length = 0;
    std::wstring out = prefix + L" class=" + std::wstring(name.data(), length) + L"\n";
    for (DWORD i = 0; length = DWORD(name.size()), size = DWORD(data.size()),
                      !::RegEnumValueW(key, i, name.data(), &length, 0, &type, data.data(), &size); ++i) {
        unsigned long long sum = 1469598103934665603ull;
        for (DWORD b = 0; b < size; ++b)
            sum = (sum ^ data[b]) * 1099511628211ull;
        out += prefix + L" value[" + std::wstring(name.data(), length) + L"] type=" + std::to_wstring(type) +
               L" size=" + std::to_wstring(size) + L" bytes=" + std::to_wstring(sum) + L"\n";
    }
    for (DWORD i = 0; length = 300, !::RegEnumKeyExW(key, i, name.data(), &length, 0, 0, 0, 0); ++i)
        out += Dump(key, name.data(), prefix + L"\\" + name.data());
    ::RegCloseKey(key);
    return out;
}

// Everyone may read parent\name but not open it with full access, so neither
// a copy nor a removal gets into it. RegDeleteTree still removes it.
inline void DenyFullAccess(HKEY parent, const wchar_t* name)
{
    HKEY key;
    PSECURITY_DESCRIPTOR locked = nullptr;
    ::RegOpenKeyExW(parent, name, 0, WRITE_DAC, &key);
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(D;;0x20;;;WD)(A;;KRWDSD;;;WD)", SDDL_REVISION_1,
                                                           &locked, nullptr);
    ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, locked);
    ::LocalFree(locked);
    ::RegCloseKey(key);
}

inline void RemoveTree(HKEY root, const std::wstring& path) { ::RegDeleteTreeW(root, path.c_str()); }

// While it lives, the copy obtains `allowed` more buffers and then none.
struct BufferAllocationsFailAfter {
    static inline int left = 0;
    explicit BufferAllocationsFailAfter(int allowed)
    {
        left = allowed;
        g_pfnRegistryBufferAlloc = [](SIZE_T size) { return left-- > 0 ? DefaultRegistryBufferAlloc(size) : nullptr; };
    }
    ~BufferAllocationsFailAfter() { g_pfnRegistryBufferAlloc = DefaultRegistryBufferAlloc; }
};

} // namespace regtest
