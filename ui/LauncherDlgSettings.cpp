// The selected entry's settings sets, from the system menu: undo the last
// capture, and the snapshot to and from a registry file.
#include "ui/LauncherDlg.h"
#include "framework/FileDialog.h"
#include "framework/Text.h"
#include "resources/resource.h"

namespace {
const DWORD kFileDialogFlags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;

CJobRunner::CJobInfo JobInfo(UINT titleId, const std::string& line, bool cancellable, bool keepsData)
{
    CJobRunner::CJobInfo info;
    info.title = Widen(LoadStr(titleId));
    info.line = Widen(line);
    info.cancellable = cancellable;
    info.keepsData = keepsData;
    return info;
}

// Why a file was refused, with its line where there is one.
std::string ImportErrorText(const std::string& path, const RegFileError& error)
{
    std::string text = LoadStr(IDS_IMPORT_FAILED) + "\n" + path + "\n";
    if (error.line > 0)
        text += std::to_string(error.line) + LoadStr(IDS_LINE_SUFFIX);
    if (error.kind == RegFileError::OTHER_KEY)
        return text + FormatStr(IDS_REGFILE_ERROR_BASE + error.kind, {Narrow(error.root)});
    return text + LoadStr(IDS_REGFILE_ERROR_BASE + error.kind);
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
    if (!settings.HasPrevious() || Ask(FieldText(entry.m_szTitle) + LoadStr(IDS_CONFIRM_UNDO),
                                       MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    m_pRunner->Run(JobInfo(IDS_PROGRESS_UNDO, settings.SettingsName(), true, false),
                   [settings](CJob&) { return settings.Undo(); }, [this](const CJob& job) {
                       if (job.Failed())
                           TellFailure(IDS_UNDO_FAILED);
                   });
}

void CLauncherDlg::OnExportSettings(const CProgramEntry& entry)
{
    std::string name = Narrow(FileNameFromTitle(Widen(FieldText(entry.m_szTitle)))) + ".reg";
    CFileDialog dialog(FALSE, "reg", name.c_str(), kFileDialogFlags | OFN_OVERWRITEPROMPT,
                       LoadStr(IDS_REG_FILTER).c_str(), this);
    std::string title = LoadStr(IDS_EXPORT_TITLE);
    dialog.m_ofn.lpstrTitle = title.c_str();
    CSettingsSet settings = entry.Settings();
    {
        CJobRunner::CQuestion asking(*m_pRunner);
        if (dialog.DoModal() != IDOK)
            return;
    }
    std::string path = dialog.GetPathName();
    // A copy of the settings: a close lets it be written.
    m_pRunner->Run(JobInfo(IDS_PROGRESS_EXPORT, path, false, true), [settings, path](CJob& job) {
        return settings.Export(Widen(path), job.Progress().Unstoppable());
    }, [this](const CJob& job) {
        if (job.Failed()) {
            CJobRunner::CQuestion asking(*m_pRunner);
            MessageBox(LoadStr(IDS_EXPORT_FAILED).c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION);
        }
    });
}

void CLauncherDlg::OnImportSettings(const CProgramEntry& entry)
{
    CFileDialog dialog(TRUE, "reg", nullptr, kFileDialogFlags | OFN_FILEMUSTEXIST, LoadStr(IDS_REG_FILTER).c_str(),
                       this);
    std::string title = LoadStr(IDS_IMPORT_TITLE);
    dialog.m_ofn.lpstrTitle = title.c_str();
    CSettingsSet settings = entry.Settings();
    {
        CJobRunner::CQuestion asking(*m_pRunner);
        if (dialog.DoModal() != IDOK)
            return;
    }
    // The live settings are not touched: the next launch restores the set.
    std::string path = dialog.GetPathName();
    auto error = std::make_shared<RegFileError>();
    m_pRunner->Run(JobInfo(IDS_PROGRESS_IMPORT, path, true, false), [settings, path, error](CJob& job) {
        return settings.Import(Widen(path), error.get(), job.Progress());
    }, [this, path, error](const CJob& job) {
        if (job.Failed()) {
            CJobRunner::CQuestion asking(*m_pRunner);
            MessageBox(ImportErrorText(path, *error).c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION);
        }
    });
}
