#include "app/LauncherApp.h"
#include "app/InstanceProbe.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "registry/Store.h"
#include "resources/resource.h"
#include "ui/LauncherDlg.h"

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
        CLauncherDlg dlg(nullptr);
        m_pMainWnd = &dlg;
        dlg.DoModal();
        WriteProfileInt("Cobweld", "Installed", 1);
        m_pMainWnd = nullptr;
    }
    return FALSE;
}
