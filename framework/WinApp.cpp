#include "framework/WinApp.h"
#include "framework/HelpWindow.h"
#include "framework/Scoped.h"

namespace {
CWinApp* g_app = nullptr;

std::string ModuleBaseName()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    // The last backslash that is a real separator, not a double-byte trail byte.
    const char* name = path;
    for (const char* p = path; *p; p = ::CharNextA(p)) {
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    }
    std::string base(name);
    size_t dot = std::string::npos;
    for (size_t i = 0; i < base.size(); i = static_cast<size_t>(::CharNextA(base.c_str() + i) - base.c_str())) {
        if (base[i] == '.')
            dot = i;
    }
    if (dot != std::string::npos)
        base.erase(dot);
    return base;
}
}

CWinApp::CWinApp(const char* appName)
{
    g_app = this;
    m_strAppName = appName ? appName : ModuleBaseName();
    m_hInstance = ::GetModuleHandleA(nullptr);
}

CWinApp::~CWinApp()
{
    CloseHelp();
    if (g_app == this)
        g_app = nullptr;
}

CWinApp* AfxGetApp()
{
    return g_app;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_app ? g_app->m_hInstance : ::GetModuleHandleA(nullptr);
}

std::string AfxGetAppTitle()
{
    return g_app ? g_app->m_strAppName : ModuleBaseName();
}

void CWinApp::SetRegistryKey(const char* company)
{
    m_strRegistryKey = company ? company : "";
}

std::string CWinApp::ProfileKeyPath(const char* section) const
{
    return "Software\\" + m_strRegistryKey + "\\" + m_strAppName + "\\" + section;
}

UINT CWinApp::GetProfileInt(const char* section, const char* entry, int defaultValue) const
{
    if (m_strRegistryKey.empty())
        return static_cast<UINT>(defaultValue);
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, ProfileKeyPath(section).c_str()) != ERROR_SUCCESS)
        return static_cast<UINT>(defaultValue);
    DWORD value = 0, type = 0, size = sizeof value;
    LONG rc = ::RegQueryValueExA(key, entry, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
        return static_cast<UINT>(defaultValue);
    return value;
}

BOOL CWinApp::WriteProfileInt(const char* section, const char* entry, int value) const
{
    if (m_strRegistryKey.empty())
        return FALSE;
    CRegKey key;
    if (key.Create(HKEY_CURRENT_USER, ProfileKeyPath(section).c_str(), KEY_WRITE) != ERROR_SUCCESS)
        return FALSE;
    DWORD data = static_cast<DWORD>(value);
    return ::RegSetValueExA(key, entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data)
        == ERROR_SUCCESS;
}

void CWinApp::OnHelp()
{
    HWND owner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    m_hWndHelp = ShowHelpWindow(m_hWndHelp, owner);
}

void CWinApp::CloseHelp()
{
    if (m_hWndHelp && ::IsWindow(m_hWndHelp))
        ::DestroyWindow(m_hWndHelp);
    m_hWndHelp = nullptr;
}

const char* AfxSkipProgramName(const char* commandLine)
{
    const char* p = commandLine ? commandLine : "";
    if (*p == '"') {
        ++p;
        while (*p && *p != '"')
            p = ::CharNextA(p);
        if (*p == '"')
            ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t')
            p = ::CharNextA(p);
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

int AfxWinMain(HINSTANCE instance, int cmdShow)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->m_hInstance = instance;
    app->m_lpCmdLine = AfxSkipProgramName(::GetCommandLineA());
    app->m_nCmdShow = cmdShow;
    try {
        app->InitInstance();
    } catch (...) {
        return 1;
    }
    return 0;
}
