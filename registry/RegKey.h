// An open registry key that closes itself when it goes out of scope.
#pragma once
#include <windows.h>

class CRegKey {
public:
    CRegKey() = default;
    explicit CRegKey(HKEY key) : m_hKey(key) {}
    ~CRegKey() { Close(); }

    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    // Both return the registry's result; the key is held only on success.
    LONG Open(HKEY parent, const char* path, REGSAM access = KEY_ALL_ACCESS)
    {
        Close();
        HKEY key = nullptr;
        LONG rc = ::RegOpenKeyExA(parent, path, 0, access, &key);
        if (rc == ERROR_SUCCESS)
            m_hKey = key;
        return rc;
    }
    // Creates the missing levels of path, or opens the key when it exists.
    // A null keyClass creates the key without a class.
    LONG Create(HKEY parent, const char* path, const char* keyClass = nullptr)
    {
        Close();
        HKEY key = nullptr;
        LONG rc = ::RegCreateKeyExA(parent, path, 0, const_cast<char*>(keyClass), REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (rc == ERROR_SUCCESS)
            m_hKey = key;
        return rc;
    }

    void Close()
    {
        if (m_hKey) {
            ::RegCloseKey(m_hKey);
            m_hKey = nullptr;
        }
    }

    HKEY Get() const { return m_hKey; }
    operator HKEY() const { return m_hKey; }
    bool IsOpen() const { return m_hKey != nullptr; }

private:
    HKEY m_hKey = nullptr;
};
