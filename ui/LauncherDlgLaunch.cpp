// The launch as the main window sees it: the command starts a launch
// (launcher/Launch.h), which asks the window what a person must answer and
// tells it how it went.
#include "ui/LauncherDlg.h"
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "resources/resource.h"

void CLauncherDlg::OnOK()
{
    // A posted IDOK still arrives while a launch runs: a second launch would
    // lose the first one's capture.
    if (IsBusy())
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
    CLaunchPlan plan{entry->Settings(), entry->m_bRetrieveAgain != 0, [entry] { return entry->LaunchEntry(); }};
    m_pLaunched = entry;
    ShowWindow(SW_MINIMIZE);
    if (!m_pLaunch->Begin(std::move(plan)))
        m_bLaunchByIndex = false;
    UpdateButtons();
}

ILaunchWindow::Answer CLauncherDlg::AskChangedOutside(const CSettingsChange& change, CSettingsSet* takeInto)
{
    const CProgramEntry* leftBy = m_pProgramList->FindBySlot(change.slot);
    if (!leftBy || !leftBy->Settings().Names(change))
        return DISCARD;
    std::wstring question = FormatText(IDS_CHANGED_OUTSIDE, {change.subject, Widen(FieldText(leftBy->m_szTitle))});
    *takeInto = leftBy->Settings();
    int answer = Ask(question, MB_YESNOCANCEL | MB_ICONQUESTION);
    return answer == IDYES ? TAKE_IN : answer == IDNO ? DISCARD : CANCEL;
}

bool CLauncherDlg::AskAbandon()
{
    return Ask(Widen(LoadStr(IDS_CONFIRM_ABANDON_WAIT)), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, true) == IDYES;
}

void CLauncherDlg::OnWaiting()
{
    m_strSavedTitle = GetWindowText();
    SetWindowText("Cobweld - " + FieldText(m_pLaunched->m_szTitle) + LoadStr(IDS_WAITING_SUFFIX));
    ::EnableMenuItem(GetSystemMenu(FALSE), SC_RESTORE, MF_BYCOMMAND | MF_GRAYED);
}

void CLauncherDlg::OnLaunchEnded(const CEnd& end)
{
    bool byIndex = m_bLaunchByIndex;
    m_bLaunchByIndex = false;
    UpdateButtons();
    if (end.waited) {
        SetWindowText(m_strSavedTitle);
        ::EnableMenuItem(GetSystemMenu(FALSE), SC_RESTORE, MF_BYCOMMAND | MF_ENABLED);
    }
    if (m_pRunner->IsClosing()) {
        if (end.captureFailed && !m_bSessionEnding)
            TellFailure(IDS_CAPTURE_FAILED, end.failure);
        return;
    }
    // A failed or cancelled start leaves the window minimized.
    if (!end.started)
        return;
    // The launcher's work is done: nothing waited for the program, or the
    // group item that started the launcher has its settings back.
    if (!end.waited || byIndex) {
        if (end.captureFailed)
            TellFailure(IDS_CAPTURE_FAILED, end.failure);
        PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    }
    ShowWindow(SW_SHOWNORMAL);
    SetForegroundWindow();
    m_listPrograms.SetFocus();
    if (end.captureFailed)
        TellFailure(IDS_CAPTURE_FAILED, end.failure);
}

BOOL CLauncherDlg::OnQueryOpen(LRESULT& result)
{
    if (!m_pLaunch->RefusesRestore())
        return FALSE;
    result = FALSE;
    return TRUE;
}
