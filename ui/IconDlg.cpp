#include "ui/IconDlg.h"
#include "framework/FileDialog.h"
#include "framework/Text.h"
#include "resources/resource.h"
#include "ui/CodePageField.h"

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

    SetFileName(Widen(FieldText(m_pEntry->m_szIconPath)));

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
    std::string file;
    if (!ReadCodePageField(*this, m_editFileName, IDS_FIELD_ICON_FILE, &file))
        return;
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

void CIconDlg::SetFileName(const std::wstring& path)
{
    m_bSettingFileName = true;
    m_editFileName.SetWideText(path);
    m_bSettingFileName = false;
}

void CIconDlg::OnChangeFileName()
{
    if (m_bSettingFileName)
        return;
    // A name the code page cannot hold names no file the icons can be
    // read from: the list stays empty.
    std::string file;
    if (!NarrowExact(m_editFileName.GetWideText(), &file))
        file.clear();
    m_listIcons.FillIconList(m_pEntry, &file);
    m_listIcons.SetCurSel(-1);
}

void CIconDlg::OnBrowse()
{
    CFileDialog dialog(TRUE, kIconPatterns, Widen(kIconPatterns), kBrowseFlags, LoadStr(IDS_ICON_FILTER),
                       LoadStr(IDS_ICON_BROWSE_TITLE), this);
    if (dialog.DoModal() != IDOK)
        return;
    SetFileName(dialog.GetPathName());
    std::string path;
    if (NarrowExact(dialog.GetPathName(), &path) && m_listIcons.FillIconList(m_pEntry, &path))
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
