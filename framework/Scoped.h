// Scoped owners of what the program acquires from the system. Each releases
// what it holds when it goes out of scope, on every return path; none of
// them can be copied, and Detach hands the resource over to a caller.
#pragma once
#include <windows.h>
#include <ddeml.h>
#include <objbase.h>

// An open registry key. Open and Create return the registry's result and hold
// the key only on success. Reads ask for KEY_READ; only writers ask for more.
class CRegKey {
public:
    CRegKey() = default;
    ~CRegKey() { Close(); }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    LONG Open(HKEY parent, const char* path, REGSAM access = KEY_READ)
        { return Take(::RegOpenKeyExA(parent, path, 0, access, &m_hNew)); }
    LONG Open(HKEY parent, const wchar_t* path, REGSAM access = KEY_READ)
        { return Take(::RegOpenKeyExW(parent, path, 0, access, &m_hNew)); }
    // Creates the missing levels of path, or opens the key when it exists.
    LONG Create(HKEY parent, const char* path, REGSAM access = KEY_READ | KEY_WRITE)
    {
        return Take(::RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                      &m_hNew, nullptr));
    }
    // A new key gets keyClass (none when NULL), security (inherited when
    // NULL) and options.
    LONG Create(HKEY parent, const wchar_t* path, REGSAM access = KEY_READ | KEY_WRITE,
                const wchar_t* keyClass = nullptr, SECURITY_ATTRIBUTES* security = nullptr,
                DWORD options = REG_OPTION_NON_VOLATILE)
    {
        return Take(::RegCreateKeyExW(parent, path, 0, const_cast<wchar_t*>(keyClass), options, access, security,
                                      &m_hNew, nullptr));
    }
    void Close()
    {
        if (m_hKey)
            ::RegCloseKey(m_hKey);
        m_hKey = nullptr;
    }
    operator HKEY() const { return m_hKey; }
    bool IsOpen() const { return m_hKey != nullptr; }

private:
    LONG Take(LONG rc)
    {
        Close();
        if (rc == ERROR_SUCCESS)
            m_hKey = m_hNew;
        m_hNew = nullptr;
        return rc;
    }
    HKEY m_hKey = nullptr;
    HKEY m_hNew = nullptr;
};

// A kernel handle; NULL and INVALID_HANDLE_VALUE both mean none.
class CHandle {
public:
    explicit CHandle(HANDLE handle = nullptr) : m_h(handle) {}
    ~CHandle() { Reset(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    void Reset(HANDLE handle = nullptr)
    {
        if (m_h && m_h != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_h);
        m_h = handle;
    }
    HANDLE Detach()
    {
        HANDLE h = m_h;
        m_h = nullptr;
        return h;
    }
    operator HANDLE() const { return m_h; }
    bool IsValid() const { return m_h && m_h != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_h;
};

// A search of a folder's names (FindFirstFileExW); INVALID_HANDLE_VALUE means none.
class CFindHandle {
public:
    explicit CFindHandle(HANDLE handle) : m_h(handle) {}
    ~CFindHandle() { if (IsValid()) ::FindClose(m_h); }
    CFindHandle(const CFindHandle&) = delete;
    CFindHandle& operator=(const CFindHandle&) = delete;
    operator HANDLE() const { return m_h; }
    bool IsValid() const { return m_h != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_h;
};

// An icon this code extracted, copied or loaded for its own use.
class CIcon {
public:
    explicit CIcon(HICON icon = nullptr) : m_h(icon) {}
    ~CIcon() { if (m_h) ::DestroyIcon(m_h); }
    CIcon(const CIcon&) = delete;
    CIcon& operator=(const CIcon&) = delete;
    operator HICON() const { return m_h; }

private:
    HICON m_h;
};

// A brush or a font this code created.
template <class T>
class CGdiObject {
public:
    explicit CGdiObject(T object) : m_h(object) {}
    ~CGdiObject() { if (m_h) ::DeleteObject(m_h); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    operator T() const { return m_h; }

private:
    T m_h;
};

// The screen's device context, given back when done.
class CScreenDC {
public:
    CScreenDC() : m_hDC(::GetDC(nullptr)) {}
    ~CScreenDC() { if (m_hDC) ::ReleaseDC(nullptr, m_hDC); }
    CScreenDC(const CScreenDC&) = delete;
    CScreenDC& operator=(const CScreenDC&) = delete;
    operator HDC() const { return m_hDC; }

private:
    HDC m_hDC;
};

// Memory the system hands out with LocalAlloc (security descriptors, SIDs
// as text, formatted messages).
template <class T>
class CLocalPtr {
public:
    CLocalPtr() = default;
    ~CLocalPtr() { if (m_p) ::LocalFree(m_p); }
    CLocalPtr(const CLocalPtr&) = delete;
    CLocalPtr& operator=(const CLocalPtr&) = delete;
    T** operator&() { return &m_p; }
    operator T*() const { return m_p; }

private:
    T* m_p = nullptr;
};

// Memory the system hands out with CoTaskMemAlloc (known folders' paths).
template <class T>
class CCoTaskPtr {
public:
    CCoTaskPtr() = default;
    ~CCoTaskPtr() { ::CoTaskMemFree(m_p); }
    CCoTaskPtr(const CCoTaskPtr&) = delete;
    CCoTaskPtr& operator=(const CCoTaskPtr&) = delete;
    T** operator&() { return &m_p; }
    operator T*() const { return m_p; }

private:
    T* m_p = nullptr;
};

// A menu made by the program.
class CMenu {
public:
    CMenu() = default;
    ~CMenu() { Reset(); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;
    void Reset(HMENU menu = nullptr)
    {
        if (m_h)
            ::DestroyMenu(m_h);
        m_h = menu;
    }
    operator HMENU() const { return m_h; }

private:
    HMENU m_h = nullptr;
};

// A COM interface pointer.
template <class T>
class CComPtr {
public:
    CComPtr() = default;
    ~CComPtr() { Reset(); }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;
    T* operator->() const { return m_p; }
    // For a call that fills the pointer: whatever it held is released first.
    T** operator&() { Reset(); return &m_p; }
    void** Out() { Reset(); return reinterpret_cast<void**>(&m_p); }
    void Reset()
    {
        if (m_p)
            m_p->Release();
        m_p = nullptr;
    }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

// COM on this thread for the life of the object. A thread already in the
// other apartment can use COM all the same.
class CComInit {
public:
    CComInit() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~CComInit() { if (SUCCEEDED(m_hr)) ::CoUninitialize(); }
    CComInit(const CComInit&) = delete;
    CComInit& operator=(const CComInit&) = delete;
    bool Usable() const { return SUCCEEDED(m_hr) || m_hr == RPC_E_CHANGED_MODE; }

private:
    HRESULT m_hr;
};

// A string handle of a DDE instance.
class CDdeString {
public:
    CDdeString(DWORD instance, const char* text)
        : m_dwInstance(instance), m_hsz(::DdeCreateStringHandleA(instance, text, CP_WINANSI)) {}
    ~CDdeString() { if (m_hsz) ::DdeFreeStringHandle(m_dwInstance, m_hsz); }
    CDdeString(const CDdeString&) = delete;
    CDdeString& operator=(const CDdeString&) = delete;
    operator HSZ() const { return m_hsz; }

private:
    DWORD m_dwInstance;
    HSZ m_hsz;
};
