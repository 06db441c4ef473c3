#include "ui/HistoryDlg.h"
#include <cstdio>
#include "framework/FileDialog.h"
#include "framework/Text.h"
#include "resources/resource.h"
#include "ui/FailureText.h"

namespace {
const DWORD kFileDialogFlags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
enum { COLUMN_TIME, COLUMN_REASON, COLUMN_SIZE, COLUMN_KEPT };

// yyyy/mm/dd hh:mm:ss, in local time.
std::wstring TimeText(const FILETIME& time)
{
    FILETIME local;
    SYSTEMTIME at;
    if (!::FileTimeToLocalFileTime(&time, &local) || !::FileTimeToSystemTime(&local, &at))
        return std::wstring();
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u/%02u/%02u %02u:%02u:%02u", at.wYear, at.wMonth, at.wDay, at.wHour, at.wMinute,
                  at.wSecond);
    return text;
}

std::wstring SizeText(const CSettingsSize& size)
{
    if (!size.known)
        return std::wstring();
    std::string text;
    if (size.keys || !size.files)
        text = FormatStr(IDS_HISTORY_KEY_SIZE, {std::to_string(size.keys), std::to_string(size.values),
                                                std::to_string(size.bytes)});
    if (size.files)
        text += FormatStr(IDS_HISTORY_FILES_SIZE, {std::to_string(size.files), std::to_string(size.fileBytes)});
    return Widen(text);
}
}

CHistoryDlg::CHistoryDlg(CWnd* parent, const CProgramEntry& entry, CJobRunner& runner)
    : CDialog(IDD_HISTORY, parent), m_settings(entry.Settings()), m_strTitle(FieldText(entry.m_szTitle)),
      m_runner(runner), m_pAlive(std::make_shared<CHistoryDlg*>(this))
{
}

CHistoryDlg::~CHistoryDlg()
{
    *m_pAlive = nullptr;
}

INT_PTR CHistoryDlg::DoModal()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    return CDialog::DoModal();
}

void CHistoryDlg::DoDataExchange()
{
    DDX_Control(IDC_HISTORY_LIST, m_list);
}

BOOL CHistoryDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWideText(Widen(FormatStr(IDS_HISTORY_CAPTION, {m_strTitle})));
    m_list.SetFullRowSelect();
    const std::pair<UINT, int> columns[] = {{IDS_HISTORY_TIME, 118}, {IDS_HISTORY_REASON, 100},
                                            {IDS_HISTORY_SIZE, 190}, {IDS_HISTORY_KEPT, 40}};
    for (int i = 0; i < 4; ++i)
        m_list.InsertColumn(i, Widen(LoadStr(columns[i].first)), columns[i].second);
    Fill(0);
    return TRUE;
}

void CHistoryDlg::Fill(int select)
{
    m_history = m_settings.History();
    m_list.DeleteAllItems();
    for (size_t i = 0; i < m_history.size(); ++i) {
        const CGeneration& generation = m_history[i];
        int row = m_list.AppendRow(TimeText(generation.made), static_cast<LPARAM>(i));
        m_list.SetCell(row, COLUMN_REASON, Describe(generation));
        m_list.SetCell(row, COLUMN_SIZE, SizeText(generation.size));
        m_list.SetCell(row, COLUMN_KEPT, generation.kept ? Widen(LoadStr(IDS_HISTORY_KEPT)) : std::wstring());
        if (generation.number == select)
            m_list.SelectRow(row);
    }
    m_list.FitColumns(COLUMN_KEPT + 1);
}

std::wstring CHistoryDlg::Describe(const CGeneration& generation) const
{
    return Widen(LoadStr(generation.number ? IDS_REASON_BASE + generation.reason : IDS_REASON_CURRENT));
}

const CGeneration* CHistoryDlg::Selected() const
{
    int row = m_list.GetSelectedRow();
    size_t index = row < 0 ? m_history.size() : static_cast<size_t>(m_list.GetRowData(row));
    return index < m_history.size() ? &m_history[index] : nullptr;
}

BOOL CHistoryDlg::OnCommand(WORD id, WORD code, HWND control)
{
    if (code != BN_CLICKED || id == IDCANCEL || id == IDOK)
        return CDialog::OnCommand(id, code, control);
    // As the main window's commands: nothing while a launch or a job runs.
    if (m_runner.IsBusy())
        return TRUE;
    switch (id) {
    case IDC_HISTORY_RESTORE: OnBringBack(); break;
    case IDC_HISTORY_EXPORT: OnExport(false); break;
    case IDC_HISTORY_COMPARE: OnExport(true); break;
    case IDC_HISTORY_KEEP: OnKeep(); break;
    case IDC_HISTORY_DELETE: OnRemove(); break;
    default: return CDialog::OnCommand(id, code, control);
    }
    return TRUE;
}

BOOL CHistoryDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const NMHDR* notice = reinterpret_cast<const NMHDR*>(lParam);
    if (msg == WM_NOTIFY && notice->idFrom == IDC_HISTORY_LIST && notice->code == NM_DBLCLK) {
        if (!m_runner.IsBusy())
            OnBringBack();
        result = 0;
        return TRUE;
    }
    return CDialog::OnMessage(msg, wParam, lParam, result);
}

void CHistoryDlg::Run(UINT titleId, bool keepsData, bool cancellable, CJob::Work work, UINT failedId,
                      std::shared_ptr<CSettingsFailure> failure)
{
    std::shared_ptr<CHistoryDlg*> alive = m_pAlive;
    int select = Selected() ? Selected()->number : 0;
    m_runner.Run(CJobRunner::CJobInfo(titleId, Widen(m_settings.SettingsName()), keepsData, cancellable), work,
                 [alive, failedId, failure, select](const CJob& job) {
                     CHistoryDlg* dialog = *alive;
                     if (!dialog)
                         return;
                     if (job.Failed()) {
                         std::wstring text = FailureText(failedId, failure ? *failure : CSettingsFailure());
                         ::MessageBoxW(*dialog, text.c_str(), L"Cobweld", MB_OK | MB_ICONEXCLAMATION);
                     }
                     dialog->Fill(select);
                 });
}

void CHistoryDlg::OnBringBack()
{
    const CGeneration* chosen = Selected();
    if (!chosen || chosen->number == 0)
        return;
    std::string question = FormatStr(IDS_CONFIRM_BRING_BACK, {Narrow(TimeText(chosen->made)),
                                                               Narrow(Describe(*chosen))});
    if (MessageBox(question.c_str(), "Cobweld", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    CSettingsSet settings = m_settings;
    int n = chosen->number;
    auto failure = std::make_shared<CSettingsFailure>();
    Run(IDS_PROGRESS_UNDO, false, false, [settings, n, failure](CJob&) { return settings.BringBack(n, failure.get()); },
        IDS_UNDO_FAILED, failure);
}

void CHistoryDlg::OnExport(bool difference)
{
    const CGeneration* chosen = Selected();
    if (!chosen || (difference && chosen->number == 0))
        return;
    std::wstring name = FileNameFromTitle(Widen(m_strTitle + (difference ? LoadStr(IDS_COMPARE_SUFFIX) : "")));
    CFileDialog dialog(FALSE, "reg", name + L".reg", kFileDialogFlags, LoadStr(IDS_REG_FILTER),
                       LoadStr(difference ? IDS_COMPARE_TITLE : IDS_EXPORT_TITLE), this);
    if (dialog.DoModal() != IDOK)
        return;
    CSettingsSet settings = m_settings;
    int n = chosen->number;
    std::wstring path = dialog.GetPathName();
    // A copy of the settings: a close lets it be written.
    Run(difference ? IDS_PROGRESS_COMPARE : IDS_PROGRESS_EXPORT, true, false, [=](CJob& job) {
        CWorkProgress progress = job.Progress().Unstoppable();
        return difference ? settings.ExportDifference(n, path, progress) : settings.Export(path, progress, n);
    }, difference ? IDS_COMPARE_FAILED : IDS_EXPORT_FAILED);
}

void CHistoryDlg::OnKeep()
{
    const CGeneration* chosen = Selected();
    if (!chosen || chosen->number == 0)
        return;
    int n = chosen->number;
    m_settings.SetKept(n, !chosen->kept);
    Fill(n);
}

void CHistoryDlg::OnRemove()
{
    const CGeneration* chosen = Selected();
    if (!chosen || chosen->number == 0)
        return;
    std::string question = FormatStr(IDS_CONFIRM_REMOVE_GENERATION, {Narrow(TimeText(chosen->made)),
                                                                      Narrow(Describe(*chosen))});
    if (MessageBox(question.c_str(), "Cobweld", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    CSettingsSet settings = m_settings;
    int n = chosen->number;
    Run(0, false, false, [settings, n](CJob&) { return settings.RemoveGeneration(n); }, IDS_REMOVE_GENERATION_FAILED);
}
