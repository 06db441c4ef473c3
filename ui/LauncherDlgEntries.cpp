// The main window's commands that change the list: New and Properties run
// the entry properties dialog and take its working copy over only after OK.
#include "ui/LauncherDlg.h"
#include "framework/Text.h"
#include "resources/resource.h"
#include "ui/EntryDlg.h"

void CLauncherDlg::OnNewEntry()
{
    CEntryDlg dialog(this, nullptr);
    if (dialog.DoModal() != IDOK) {
        m_listPrograms.SetFocus();
        return;
    }
    // A new entry comes with its first snapshot; without one it is not
    // added, and its slot is given to the next new entry again.
    if (!dialog.m_entry.CaptureFirstSnapshot(m_pProgramList->FirstFreeSnapshotSlot())) {
        MessageBox(LoadStr(IDS_CAPTURE_FAILED).c_str(), nullptr, MB_OK);
        return;
    }
    CProgramEntry* entry = m_pProgramList->Add(dialog.m_entry);
    m_listPrograms.AddItemData(entry);
    EnableEntryButtons(TRUE);
    m_listPrograms.SetCurSel(m_listPrograms.GetCount() - 1);
    m_listPrograms.SetFocus();
}

void CLauncherDlg::OnEntryProperties()
{
    int index = GetSelectedEntry();
    if (index < 0)
        return;
    CEntryDlg dialog(this, m_pProgramList->GetAt(index));
    if (dialog.DoModal() == IDOK) {
        m_pProgramList->Replace(index, dialog.m_entry);
        // A fresh row redraws the entry with its new title and icon.
        m_listPrograms.DeleteString(index);
        m_listPrograms.InsertItemData(index, m_pProgramList->GetAt(index));
        m_listPrograms.SetCurSel(index);
    }
    m_listPrograms.SetFocus();
}

void CLauncherDlg::OnDeleteEntry()
{
    int sel = GetSelectedEntry();
    if (sel < 0)
        return;
    std::string question = FieldText(m_pProgramList->GetAt(sel)->m_szTitle) + LoadStr(IDS_CONFIRM_DELETE);
    if (MessageBox(question.c_str(), "Cobweld", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    // The row goes first: it points at the entry that RemoveAt deletes.
    m_listPrograms.DeleteString(sel);
    m_pProgramList->RemoveAt(sel);
    int left = m_listPrograms.GetCount();
    if (left == 0)
        EnableEntryButtons(FALSE);
    else
        m_listPrograms.SetCurSel(left - 1);
    // Also when the list is empty: the Delete button that had the focus is
    // now disabled, and the keyboard must stay usable.
    m_listPrograms.SetFocus();
}

void CLauncherDlg::OnMoveUp()
{
    int sel = GetSelectedEntry();
    if (sel < 0 || !m_pProgramList->MoveUp(sel))
        return;
    FillProgramList();
    m_listPrograms.SetCurSel(sel - 1);
}

void CLauncherDlg::OnMoveDown()
{
    int sel = GetSelectedEntry();
    if (sel < 0 || !m_pProgramList->MoveDown(sel))
        return;
    FillProgramList();
    m_listPrograms.SetCurSel(sel + 1);
}

void CLauncherDlg::OnReacquire()
{
    int sel = GetSelectedEntry();
    if (sel < 0)
        return;
    CProgramEntry* entry = m_pProgramList->GetAt(sel);
    std::string question = FieldText(entry->m_szRegistry) + LoadStr(IDS_CONFIRM_REACQUIRE);
    if (MessageBox(question.c_str(), "Cobweld", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    if (!entry->CaptureSnapshot())
        MessageBox(LoadStr(IDS_CAPTURE_FAILED).c_str(), nullptr, MB_OK);
}
