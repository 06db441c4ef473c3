// The main window's New and Properties commands: both run the entry
// properties dialog and take its working copy over only after OK.
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
    dialog.m_entry.m_nSaveSlot = m_pProgramList->FirstFreeSnapshotSlot();
    if (!dialog.m_entry.CaptureSnapshot()) {
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
