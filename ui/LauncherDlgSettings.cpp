// The selected entry's settings sets, from the system menu: undo the last
// capture, and the snapshot to and from a registry file.
#include "ui/LauncherDlg.h"
#include "framework/FileDialog.h"
#include "framework/Text.h"
#include "registry/Snapshot.h"
#include "resources/resource.h"

namespace {
const DWORD kFileDialogFlags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;

// Why a file was refused, with its line where there is one.
std::string ImportErrorText(const std::string& path, const RegFileError& error)
{
    std::string text = LoadStr(IDS_IMPORT_FAILED) + "\n" + path + "\n";
    if (error.line > 0)
        text += std::to_string(error.line) + LoadStr(IDS_LINE_SUFFIX);
    return text + LoadStr(IDS_REGFILE_ERROR_BASE + error.kind);
}
}

void CLauncherDlg::UpdateSettingsMenu()
{
    int sel = GetSelectedEntry();
    bool undoable = sel >= 0 && !IsBusy() && m_pProgramList->GetAt(sel)->HasPreviousSnapshot();
    ::EnableMenuItem(GetSystemMenu(FALSE), IDM_UNDO_CAPTURE, MF_BYCOMMAND | (undoable ? MF_ENABLED : MF_GRAYED));
}

void CLauncherDlg::OnUndoCapture(CProgramEntry& entry)
{
    if (!entry.HasPreviousSnapshot())
        return;
    std::string question = FieldText(entry.m_szTitle) + LoadStr(IDS_CONFIRM_UNDO);
    if (MessageBox(question.c_str(), "Cobweld", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    int slot = entry.m_nSaveSlot;
    RunJob(IDS_PROGRESS_UNDO, FieldText(entry.m_szRegistry), true, [slot](CJob&) { return Snapshot::Undo(slot); },
           [this](const CJob& job) {
               if (job.Failed())
                   MessageBox(LoadStr(IDS_UNDO_FAILED).c_str(), nullptr, MB_OK);
           });
}

void CLauncherDlg::OnExportSettings(CProgramEntry& entry)
{
    std::string name = Narrow(FileNameFromTitle(Widen(FieldText(entry.m_szTitle)))) + ".reg";
    CFileDialog dialog(FALSE, "reg", name.c_str(), kFileDialogFlags | OFN_OVERWRITEPROMPT,
                       LoadStr(IDS_REG_FILTER).c_str(), this);
    std::string title = LoadStr(IDS_EXPORT_TITLE);
    dialog.m_ofn.lpstrTitle = title.c_str();
    if (dialog.DoModal() != IDOK)
        return;
    int slot = entry.m_nSaveSlot;
    std::string settingsName = FieldText(entry.m_szRegistry), path = dialog.GetPathName();
    RunJob(IDS_PROGRESS_EXPORT, path, false, [=](CJob& job) {
        return Snapshot::Export(slot, settingsName, Widen(path), job.Progress().Unstoppable());
    }, [this](const CJob& job) {
        if (job.Failed())
            MessageBox(LoadStr(IDS_EXPORT_FAILED).c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION);
    });
}

void CLauncherDlg::OnImportSettings(CProgramEntry& entry)
{
    CFileDialog dialog(TRUE, "reg", nullptr, kFileDialogFlags | OFN_FILEMUSTEXIST, LoadStr(IDS_REG_FILTER).c_str(),
                       this);
    std::string title = LoadStr(IDS_IMPORT_TITLE);
    dialog.m_ofn.lpstrTitle = title.c_str();
    if (dialog.DoModal() != IDOK)
        return;
    // The live settings are not touched: the next launch restores the set.
    int slot = entry.m_nSaveSlot;
    std::string path = dialog.GetPathName();
    auto error = std::make_shared<RegFileError>();
    RunJob(IDS_PROGRESS_IMPORT, path, true, [slot, path, error](CJob& job) {
        return Snapshot::Import(slot, Widen(path), error.get(), job.Progress());
    }, [this, path, error](const CJob& job) {
        if (job.Failed())
            MessageBox(ImportErrorText(path, *error).c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION);
    });
}
