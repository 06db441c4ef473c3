#include "app/LauncherApp.h"
#include <cctype>
#include <climits>
#include <optional>
#include "app/InstanceProbe.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "settings/Store.h"
#include "resources/resource.h"
#include "ui/LauncherDlg.h"

namespace {

// The entry index a group item starts the launcher with: blanks, a sign and
// decimal digits, read as far as they go; text without digits reads 0. None
// without a command line, and for a number that does not fit an int: it
// names no row.
std::optional<int> StartIndex(const char* text)
{
    if (!text || !*text)
        return std::nullopt;
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

BOOL CLauncherApp::InitInstance()
{
    Enable3dControls();
    SetRegistryKey("Varnolite");
    LoadStdProfileSettings(4);

    CHandle instance;
    if (!ClaimSingleInstance(instance) || FindRunningInstance()) {
        // Nothing else happens on this path: no list is loaded, nothing is
        // written, and a command-line index is not passed on.
        std::string text = LoadStr(IDS_ALREADY_RUNNING);
        ::MessageBoxA(nullptr, text.c_str(), "Cobweld", MB_OK | MB_ICONHAND);
        return FALSE;
    }

    SelectStoreRoot();
    // The system's progress dialog and taskbar button are COM objects of
    // this thread's.
    CComInit com;
    {
        // Constructing the window loads the entry list. The store follows
        // every change as it is made; destroying the window at the end of
        // this block stores only a change that could not be stored then.
        CLauncherDlg dlg(nullptr, StartIndex(m_lpCmdLine));
        m_pMainWnd = &dlg;
        dlg.DoModal();
        WriteProfileInt("Cobweld", "Installed", 1);
        m_pMainWnd = nullptr;
    }
    return FALSE;
}
