// The main window's commands that change the list: New and Properties run
// the entry properties dialog and take its working copy over only after OK,
// and after its first snapshot where one is taken.
#include "ui/LauncherDlg.h"
#include "framework/Text.h"
#include "resources/resource.h"
#include "ui/EntryDlg.h"

namespace {
// A working copy that outlives its dialog, until its first snapshot is in.
struct CWorkingCopy : CProgramEntry {
    ~CWorkingCopy() override { ReleaseIcon(); }
};

// A capture keeps settings that would be lost without it: a close lets it
// run, and it may be cancelled.
CJobRunner::CJobInfo CaptureInfo(const CProgramEntry& entry)
{
    return CJobRunner::CJobInfo(IDS_PROGRESS_CAPTURE, entry.Settings().Describe(), true, true);
}

CJob::Work CaptureWork(const std::shared_ptr<const CProgramEntry>& entry, DWORD reason,
                       const std::shared_ptr<CSettingsFailure>& failure)
{
    return [entry, reason, failure](CJob& job) {
        return entry->CaptureSnapshot(reason, job.Progress(), failure.get()) != 0;
    };
}
}

void CLauncherDlg::OnNewEntry()
{
    CEntryDlg dialog(this, nullptr);
    if (RunDialog(dialog) != IDOK) {
        m_listPrograms.SetFocus();
        return;
    }
    // A new entry comes with its first snapshot; without one it is not
    // added, and its slot is given to the next new entry again.
    auto entry = std::make_shared<CWorkingCopy>();
    entry->CopyFrom(dialog.m_entry);
    entry->m_nSaveSlot = m_pProgramList->FirstFreeSnapshotSlot();
    auto failure = std::make_shared<CSettingsFailure>();
    m_pRunner->Run(CaptureInfo(*entry), CaptureWork(entry, REASON_REACQUIRE, failure), [this, entry, failure](const CJob& job) {
        if (job.Failed())
            TellFailure(IDS_CAPTURE_FAILED, *failure);
        if (!job.Succeeded())
            return;
        m_listPrograms.AddItemData(m_pProgramList->Add(*entry));
        UpdateButtons();
        m_listPrograms.SetCurSel(m_listPrograms.GetCount() - 1);
        m_listPrograms.SetFocus();
    });
}

void CLauncherDlg::OnEntryProperties()
{
    int index = GetSelectedEntry();
    if (index < 0)
        return;
    CProgramEntry* entry = m_pProgramList->GetAt(index);
    CEntryDlg dialog(this, entry);
    if (RunDialog(dialog) != IDOK) {
        m_listPrograms.SetFocus();
        return;
    }
    CSettingsSet before = entry->Settings(), after = dialog.m_entry.Settings();
    if (after.SameSettings(before)) {
        m_pProgramList->Replace(index, dialog.m_entry);
        RefreshRow(index);
        return;
    }
    // Other settings: the entry takes its first snapshot of what is new (as
    // a new entry does) and keeps the rest; the snapshot it had stays as a
    // generation.
    auto edited = std::make_shared<CWorkingCopy>();
    edited->CopyFrom(dialog.m_entry);
    auto failure = std::make_shared<CSettingsFailure>();
    DWORD reason = after.SettingsName() != before.SettingsName() ? REASON_KEY_CHANGED : REASON_FILES_CHANGED;
    m_pRunner->Run(CaptureInfo(*edited), [after, before, reason, failure](CJob& job) {
        return after.CaptureChanges(before, reason, job.Progress(), failure.get());
    }, [this, index, edited, failure](const CJob& job) {
        if (job.Succeeded()) {
            m_pProgramList->Replace(index, *edited);
            RefreshRow(index);
        } else if (job.Failed()) {
            TellFailure(IDS_CAPTURE_FAILED, *failure);
        }
    });
}

void CLauncherDlg::RefreshRow(int index)
{
    // A fresh row redraws the entry with its new title and icon.
    m_listPrograms.DeleteString(index);
    m_listPrograms.InsertItemData(index, m_pProgramList->GetAt(index));
    m_listPrograms.SetCurSel(index);
    m_listPrograms.SetFocus();
}

void CLauncherDlg::OnDeleteEntry()
{
    int sel = GetSelectedEntry();
    if (sel < 0)
        return;
    std::string question = FieldText(m_pProgramList->GetAt(sel)->m_szTitle) + LoadStr(IDS_CONFIRM_DELETE);
    if (Ask(Widen(question), MB_OKCANCEL | MB_ICONQUESTION) != IDOK || !m_pRunner->MayChange())
        return;
    // The row goes first: it points at the entry that RemoveAt deletes.
    m_listPrograms.DeleteString(sel);
    int slot = 0;
    CSettingsSet settings = m_pProgramList->GetAt(sel)->Settings();
    m_pProgramList->RemoveAt(sel, &slot);
    // The slot is nobody's any more, and taken until the last of it is gone:
    // other commands need not wait for its removal.
    if (slot > 0)
        m_pRunner->RunBeside([settings](CJob&) {
            settings.Discard();
            return true;
        });
    int left = m_listPrograms.GetCount();
    UpdateButtons();
    if (left > 0)
        m_listPrograms.SetCurSel(left - 1);
    // Also when the list is empty: the Delete button that had the focus is
    // now disabled, and the keyboard must stay usable.
    m_listPrograms.SetFocus();
}

void CLauncherDlg::OnMove(bool up)
{
    int sel = GetSelectedEntry();
    if (sel < 0 || !(up ? m_pProgramList->MoveUp(sel) : m_pProgramList->MoveDown(sel)))
        return;
    FillProgramList();
    m_listPrograms.SetCurSel(up ? sel - 1 : sel + 1);
}

void CLauncherDlg::OnReacquire()
{
    int sel = GetSelectedEntry();
    if (sel < 0)
        return;
    auto entry = std::make_shared<CWorkingCopy>();
    entry->CopyFrom(*m_pProgramList->GetAt(sel));
    CSettingsSet settings = entry->Settings();
    std::wstring question = settings.Describe() + Widen(LoadStr(settings.HasKey() ? IDS_CONFIRM_REACQUIRE
                                                                                   : IDS_CONFIRM_REACQUIRE_FILES));
    if (Ask(question, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    auto failure = std::make_shared<CSettingsFailure>();
    m_pRunner->Run(CaptureInfo(*entry), CaptureWork(entry, REASON_REACQUIRE, failure), [this, failure](const CJob& job) {
        if (job.Failed())
            TellFailure(IDS_CAPTURE_FAILED, *failure);
    });
}
