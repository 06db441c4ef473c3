// The selected entry's settings sets, from the system menu: undo the last
// capture, the history, and the snapshot to and from a registry file.
#include "ui/LauncherDlg.h"
#include "framework/FileDialog.h"
#include "framework/Text.h"
#include "resources/resource.h"
#include "ui/FailureText.h"
#include "ui/HistoryDlg.h"

namespace {
const DWORD kFileDialogFlags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;

// Why a file was refused, with its line where there is one.
std::wstring ImportErrorText(const std::wstring& path, const RegFileError& error)
{
    std::wstring text = Widen(LoadStr(IDS_IMPORT_FAILED)) + L"\n" + path + L"\n";
    if (error.line > 0)
        text += std::to_wstring(error.line) + Widen(LoadStr(IDS_LINE_SUFFIX));
    std::wstring why = Widen(LoadStr(IDS_REGFILE_ERROR_BASE + error.kind));
    size_t key = why.find(L"%1");
    return text + (key == std::wstring::npos ? why : why.replace(key, 2, error.root));
}
}

void CLauncherDlg::UpdateSettingsMenu()
{
    int sel = GetSelectedEntry();
    bool undoable = sel >= 0 && !IsBusy() && m_pProgramList->GetAt(sel)->Settings().HasPrevious();
    ::EnableMenuItem(GetSystemMenu(FALSE), IDM_UNDO_CAPTURE, MF_BYCOMMAND | (undoable ? MF_ENABLED : MF_GRAYED));
}

void CLauncherDlg::OnUndoCapture(const CProgramEntry& entry)
{
    CSettingsSet settings = entry.Settings();
    if (!settings.HasPrevious() || Ask(Widen(FieldText(entry.m_szTitle) + LoadStr(IDS_CONFIRM_UNDO)),
                                       MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    auto failure = std::make_shared<CSettingsFailure>();
    m_pRunner->Run(CJobRunner::CJobInfo(IDS_PROGRESS_UNDO, settings.Describe(), false, true),
                   [settings, failure](CJob&) { return settings.BringBack(0, failure.get()); },
                   [this, failure](const CJob& job) {
                       if (job.Failed())
                           Tell(FailureText(IDS_UNDO_FAILED, *failure));
                   });
}

void CLauncherDlg::OnHistory(const CProgramEntry& entry)
{
    CHistoryDlg dialog(this, entry, *m_pRunner);
    RunDialog(dialog);
}

void CLauncherDlg::OnExportSettings(const CProgramEntry& entry)
{
    CFileDialog dialog(FALSE, "reg", FileNameFromTitle(Widen(FieldText(entry.m_szTitle))) + L".reg",
                       kFileDialogFlags | OFN_OVERWRITEPROMPT, LoadStr(IDS_REG_FILTER), LoadStr(IDS_EXPORT_TITLE), this);
    CSettingsSet settings = entry.Settings();
    if (RunDialog(dialog) != IDOK)
        return;
    std::wstring path = dialog.GetPathName();
    // A copy of the settings: a close lets it be written.
    m_pRunner->Run(CJobRunner::CJobInfo(IDS_PROGRESS_EXPORT, path, true, false), [settings, path](CJob& job) {
        return settings.Export(path, job.Progress().Unstoppable());
    }, [this](const CJob& job) {
        if (job.Failed())
            Tell(Widen(LoadStr(IDS_EXPORT_FAILED)));
    });
}

void CLauncherDlg::OnImportSettings(const CProgramEntry& entry)
{
    CFileDialog dialog(TRUE, "reg", std::wstring(), kFileDialogFlags | OFN_FILEMUSTEXIST, LoadStr(IDS_REG_FILTER),
                       LoadStr(IDS_IMPORT_TITLE), this);
    CSettingsSet settings = entry.Settings();
    if (RunDialog(dialog) != IDOK)
        return;
    // The live settings are not touched: the next launch restores the set.
    std::wstring path = dialog.GetPathName();
    auto error = std::make_shared<RegFileError>();
    auto failure = std::make_shared<CSettingsFailure>();
    m_pRunner->Run(CJobRunner::CJobInfo(IDS_PROGRESS_IMPORT, path, false, true), [settings, path, error, failure](CJob& job) {
        return settings.Import(path, error.get(), job.Progress(), failure.get());
    }, [this, path, error, failure](const CJob& job) {
        if (job.Failed())
            Tell(failure->kind != CSettingsFailure::UNSPECIFIED ? FailureText(IDS_IMPORT_FAILED, *failure)
                                                                : ImportErrorText(path, *error));
    });
}
