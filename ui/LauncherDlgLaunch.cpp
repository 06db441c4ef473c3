// The launch command: restore the entry's settings, start its program, and
// either close or wait for the program to capture its settings back.
#include "ui/LauncherDlg.h"
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "resources/resource.h"

void CLauncherDlg::OnOK()
{
    // A posted IDOK still arrives while a launch runs: a second launch would
    // lose the first one's capture.
    if (m_launch.IsRunning())
        return;
    if (::GetKeyState(VK_MENU) & 0x8000) {
        OnEntryProperties();
        return;
    }
    int sel = GetSelectedEntry();
    if (sel < 0)
        return;
    AfxGetApp()->WriteProfileInt("Cobweld", "Current", sel);
    CProgramEntry* entry = m_pProgramList->GetAt(sel);
    ShowWindow(SW_MINIMIZE);

    m_launch.BeginStart();
    std::unique_ptr<CProcessGroup> program = entry->LaunchEntry([this] {
        // The program is started all the same, with whatever its settings key holds.
        MessageBox(LoadStr(IDS_RESTORE_FAILED).c_str(), nullptr, MB_OK);
    });
    if (!program) {
        MessageBox(LoadStr(IDS_LAUNCH_FAILED).c_str(), nullptr, MB_OK);
        m_launch.StartFailed();
        return;
    }
    if (!entry->m_bRetrieveAgain) {
        // Nothing waits for the program: the launcher's work is done. The
        // program runs on when its group is released after the close.
        OnSysCommand(SC_CLOSE, 0);
        m_launch.End();
        return;
    }

    m_strSavedTitle = GetWindowText();
    SetWindowText("Cobweld - " + FieldText(entry->m_szTitle) + LoadStr(IDS_WAITING_SUFFIX));
    ::EnableMenuItem(GetSystemMenu(FALSE), SC_RESTORE, MF_BYCOMMAND | MF_GRAYED);
    if (m_launch.BeginWait(std::move(program), m_hWnd, WM_WAIT_FINISHED, FieldText(entry->m_szRegistry),
                           entry->m_nSaveSlot))
        return;
    // No wait could begin: the program runs on, unwatched, and the window
    // goes back to idle (minimized, but restorable).
    SetWindowText(m_strSavedTitle);
    ::EnableMenuItem(GetSystemMenu(FALSE), SC_RESTORE, MF_BYCOMMAND | MF_ENABLED);
}

BOOL CLauncherDlg::OnQueryOpen(LRESULT& result)
{
    if (!m_launch.RefusesRestore())
        return FALSE;
    result = FALSE;
    return TRUE;
}
