// The application object: module handle, command line, per-user profile and
// the help command. Exactly one exists per program; the program's entry point
// hands control to it through AfxWinMain.
#pragma once
#include <windows.h>
#include <string>
#include "framework/Wnd.h"

#ifndef ID_HELP
#define ID_HELP 0xE145
#endif

class CWinApp {
public:
    // Without a name the program file's name without its extension is used.
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();

    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Return FALSE to end the program without entering a message loop.
    virtual BOOL InitInstance() { return FALSE; }
    // The help command: shows the application's help text (resource
    // "HELPTEXT" 1 if the program has one) in a help window.
    virtual void OnHelp();
    // Closes the help window, if it is open.
    void CloseHelp();

    BOOL Enable3dControls() { return TRUE; }
    void LoadStdProfileSettings(UINT maxRecentFiles = 4) {}
    // From now on the profile lives in HKCU\Software\<company>\<application name>.
    void SetRegistryKey(const char* company);
    UINT GetProfileInt(const char* section, const char* entry, int defaultValue) const;
    BOOL WriteProfileInt(const char* section, const char* entry, int value) const;

    HINSTANCE m_hInstance = nullptr;
    const char* m_lpCmdLine = "";
    int m_nCmdShow = SW_SHOWDEFAULT;
    std::string m_strAppName;
    std::string m_strRegistryKey;
    CWnd* m_pMainWnd = nullptr;

private:
    std::string ProfileKeyPath(const char* section) const;
    HWND m_hWndHelp = nullptr;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// The caption of message boxes without one of their own: the application
// name, or the program file's name when there is no application object.
std::string AfxGetAppTitle();

// Called by the program's WinMain: sets up the application object with the
// command line that follows the program's own name, and runs InitInstance.
int AfxWinMain(HINSTANCE instance, int cmdShow);

// The part of a command line after the program's name: a first word in double
// quotes or up to the first blank is skipped, then the blanks after it.
const char* AfxSkipProgramName(const char* commandLine);
