#include "ui/IconDlg.h"
#include "framework/FileDialog.h"
#include "framework/Text.h"
#include "resources/resource.h"

namespace {
const char kIconPatterns[] = "*.ico;*.exe;*.dll";
// No read-only check box, the current directory restored afterwards, only
// an existing file accepted.
const DWORD kBrowseFlags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST;
// A cell holds an icon with a 5-pixel margin on each side.
const int kCellPadding = 10;
}

CIconDlg::CIconDlg(CWnd* parent, CProgramEntry* entry)
    : CDialog(IDD_ICON, parent), m_pEntry(entry)
{
}

CIconDlg::~CIconDlg() = default;

void CIconDlg::DoDataExchange()
{
    DDX_Control(IDC_ICON_FILE, m_editFileName);
    DDX_Control(IDC_ICON_LIST, m_listIcons);
}

BOOL CIconDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    SetFileName(FieldText(m_pEntry->m_szIconPath));

    // One row of cells plus the horizontal scroll bar and the border.
    RECT rect;
    m_listIcons.GetWindowRect(&rect);
    int height = ::GetSystemMetrics(SM_CYHSCROLL) + ::GetSystemMetrics(SM_CYICON) + kCellPadding + 2;
    ::SetWindowPos(m_listIcons, nullptr, 0, 0, rect.right - rect.left, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_listIcons.SetItemHeight(0, LOWORD(::GetSystemMetrics(SM_CYICON) + kCellPadding));
    m_listIcons.SetColumnWidth(::GetSystemMetrics(SM_CXICON) + kCellPadding);

    m_listIcons.FillIconList(m_pEntry, nullptr);
    return TRUE;
}

void CIconDlg::OnOK()
{
    int selection = m_listIcons.GetCurSel();
    std::string file = m_editFileName.GetWindowText();
    // The file may have lost the icon since it was listed.
    if (selection == LB_ERR || !CIconListBox::HoldsIcon(file, selection)) {
        if (m_listIcons.FillIconList(m_pEntry, &file))
            m_listIcons.SetFocus();
        return;
    }
    CopyField(m_pEntry->m_szIconPath, file);
    m_pEntry->m_nIconIndex = selection;
    CDialog::OnOK();
}

void CIconDlg::SetFileName(const std::string& path)
{
    m_bSettingFileName = true;
    m_editFileName.SetWindowText(path);
    m_bSettingFileName = false;
}

void CIconDlg::OnChangeFileName()
{
    if (m_bSettingFileName)
        return;
    std::string file = m_editFileName.GetWindowText();
    m_listIcons.FillIconList(m_pEntry, &file);
    m_listIcons.SetCurSel(-1);
}

void CIconDlg::OnBrowse()
{
    CFileDialog dialog(TRUE, kIconPatterns, kIconPatterns, kBrowseFlags,
                       LoadStr(IDS_ICON_FILTER).c_str(), this);
    std::string title = LoadStr(IDS_ICON_BROWSE_TITLE);
    dialog.m_ofn.lpstrTitle = title.c_str();
    if (dialog.DoModal() != IDOK)
        return;

    std::string path = dialog.GetPathName();
    SetFileName(path);
    if (m_listIcons.FillIconList(m_pEntry, &path))
        m_listIcons.SetFocus();
}

BOOL CIconDlg::OnCommand(WORD id, WORD code, HWND control)
{
    if (id == IDC_ICON_BROWSE && code == BN_CLICKED) {
        OnBrowse();
        return TRUE;
    }
    if (id == IDC_ICON_FILE && code == EN_CHANGE) {
        OnChangeFileName();
        return TRUE;
    }
    return CDialog::OnCommand(id, code, control);
}

BOOL CIconDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    // The list box still exists here: it is emptied before its icons are
    // released, so no cell draws a released icon.
    if (msg == WM_DESTROY)
        m_listIcons.ReleaseIcons();
    return CDialog::OnMessage(msg, wParam, lParam, result);
}
