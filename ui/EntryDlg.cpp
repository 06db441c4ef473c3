#include "ui/EntryDlg.h"
#include <cstring>
#include <string>
#include <vector>
#include "framework/FileDialog.h"
#include "framework/FolderDialog.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "settings/SettingsName.h"
#include "settings/SettingsPaths.h"
#include "settings/SettingsSet.h"
#include "resources/resource.h"
#include "ui/CodePageField.h"
#include "ui/IconDlg.h"

namespace {
const char kProgramPattern[] = "*.exe";
// No read-only check box, the current directory restored afterwards, only
// an existing file accepted.
const DWORD kBrowseFlags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST;

}

CEntryDlg::CEntryDlg(CWnd* parent, const CProgramEntry* source)
    : CDialog(IDD_ENTRY, parent)
{
    if (source) {
        m_entry.CopyFrom(*source);
        m_bNewEntry = 0;
    } else {
        m_entry.m_szIconPath[0] = '\0';
        m_entry.m_nIconIndex = 0;
        m_entry.m_nSaveSlot = 0;
        m_entry.m_hCachedIcon = nullptr;
        m_entry.m_bRetrieveAgain = 1;
        m_bNewEntry = 1;
    }
}

CEntryDlg::~CEntryDlg()
{
    // The working copy's icon is this dialog's to release: the entry's own
    // destructor leaves it alone.
    m_entry.ReleaseIcon();
}

void CEntryDlg::DoDataExchange()
{
    DDX_Control(IDC_RETRIEVE_AGAIN, m_btnRetrieveAgain);
    DDX_Control(IDC_ICON_PREVIEW, m_staticIcon);
    DDX_Control(IDC_REGISTRY_NAME, m_comboRegistry);
    DDX_Control(IDC_COMMAND_LINE, m_editCommandLine);
    DDX_Control(IDC_RUN_MINIMIZED, m_btnRunMinimized);
    DDX_Control(IDC_TITLE, m_editTitle);
    DDX_Control(IDC_DIRECTORY, m_editDirectory);
    DDX_Control(IDC_SETTINGS_PATHS, m_listPaths);
}

BOOL CEntryDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    m_editTitle.LimitText(sizeof m_entry.m_szTitle);
    m_editCommandLine.LimitText(sizeof m_entry.m_szCommandLine);
    m_editDirectory.LimitText(sizeof m_entry.m_szDirectory);
    m_comboRegistry.LimitText(sizeof m_entry.m_szRegistry);

    // The user can still type a name when the list cannot be built.
    if (!FillRegistryNameCombo())
        MessageBox(LoadStr(IDS_ENUM_FAILED).c_str(), nullptr, MB_OK);

    if (!m_bNewEntry) {
        m_editTitle.SetWindowText(FieldText(m_entry.m_szTitle));
        m_editCommandLine.SetWindowText(FieldText(m_entry.m_szCommandLine));
        m_editDirectory.SetWindowText(FieldText(m_entry.m_szDirectory));
        SelectRegistryName(FieldText(m_entry.m_szRegistry).c_str());
        m_btnRunMinimized.SetCheck(m_entry.m_bRunMinimized ? BST_CHECKED : BST_UNCHECKED);
    }

    for (const std::wstring& path : m_entry.m_settingsPaths)
        m_listPaths.AddString(path);
    ShowIconPreview();
    m_btnRetrieveAgain.SetCheck(m_entry.m_bRetrieveAgain ? BST_CHECKED : BST_UNCHECKED);
    // The platform puts the focus on the first tab stop, the title.
    return TRUE;
}

BOOL CEntryDlg::FillRegistryNameCombo()
{
    std::vector<std::string> names;
    if (!ListSettingsNames(&names))
        return FALSE;
    for (const std::string& name : names)
        m_comboRegistry.AddString(name.c_str());
    return TRUE;
}

void CEntryDlg::SelectRegistryName(const char* name)
{
    // A whole-text match: selecting by prefix would pick "Vendor\ToolBox"
    // for "Vendor\Tool" when the latter comes second.
    int index = m_comboRegistry.FindStringExact(-1, name);
    if (index != CB_ERR)
        m_comboRegistry.SetCurSel(index);
    else
        m_comboRegistry.SetWindowText(name);
}

void CEntryDlg::OnOK()
{
    // The required fields, in the order the user meets them; the settings
    // are a key or at least one path.
    std::vector<std::wstring> paths;
    for (int i = 0; i < m_listPaths.GetCount(); ++i)
        paths.push_back(m_listPaths.GetText(i));
    for (const CWnd* required : {static_cast<const CWnd*>(&m_editTitle), static_cast<const CWnd*>(&m_editCommandLine),
                                 static_cast<const CWnd*>(&m_comboRegistry)}) {
        if (required->GetWindowTextLength() == 0 && (required != &m_comboRegistry || paths.empty())) {
            ::MessageBeep(MB_ICONHAND);
            required->SetFocus();
            return;
        }
    }
    std::string title, commandLine, directory, registry;
    if (!ReadCodePageField(*this, m_editTitle, IDS_FIELD_TITLE, &title)
        || !ReadCodePageField(*this, m_editCommandLine, IDS_FIELD_COMMAND_LINE, &commandLine)
        || !ReadCodePageField(*this, m_editDirectory, IDS_FIELD_DIRECTORY, &directory)
        || !ReadCodePageField(*this, m_comboRegistry, IDS_FIELD_REGISTRY, &registry))
        return;
    // A path that a restore would wipe more than its settings with.
    size_t refused = 0;
    PathRefusal why = CheckSettingsPaths(paths, ProgramFolder(Widen(commandLine)), &refused);
    if (why != PATH_ACCEPTED) {
        std::wstring text = FormatText(IDS_SETTINGS_FAILURE_BASE + CSettingsFailure::PATH_REFUSED,
                                       {paths[refused], Widen(LoadStr(IDS_PATH_REFUSAL_BASE + why))});
        ::MessageBoxW(m_hWnd, text.c_str(), L"Cobweld", MB_OK | MB_ICONEXCLAMATION);
        m_listPaths.SetCurSel(static_cast<int>(refused));
        m_listPaths.SetFocus();
        return;
    }
    m_entry.m_settingsPaths = paths;
    CopyField(m_entry.m_szTitle, title);
    CopyField(m_entry.m_szCommandLine, commandLine);
    CopyField(m_entry.m_szDirectory, directory);
    CopyField(m_entry.m_szRegistry, registry);
    m_entry.m_bRunMinimized = m_btnRunMinimized.GetCheck() == BST_CHECKED ? 1 : 0;

    // Without a chosen icon, the icon comes from the program itself: the
    // command line up to its first blank. A blank (0x20) is never the trail
    // byte of a double-byte character, so a plain byte search is safe.
    if (m_entry.m_szIconPath[0] == '\0') {
        std::string program = FieldText(m_entry.m_szCommandLine);
        CopyField(m_entry.m_szIconPath, program.substr(0, program.find(' ')));
    }

    m_entry.m_bRetrieveAgain = m_btnRetrieveAgain.GetCheck() == BST_CHECKED ? 1 : 0;
    CDialog::OnOK();
}

void CEntryDlg::ShowIconPreview()
{
    HICON preview = nullptr;
    if (m_entry.EnsureIcon() && m_entry.m_hCachedIcon)
        preview = ::CopyIcon(m_entry.m_hCachedIcon);
    HICON previous = m_staticIcon.SetIcon(preview);
    CIcon replaced(previous != preview ? previous : nullptr);
}

void CEntryDlg::OnChangeIcon()
{
    CIconDlg dialog(this, &m_entry);
    if (dialog.DoModal() != IDOK)
        return;
    // The cached icon belongs to the working copy alone, never to the
    // entry in the list: it can be released here.
    m_entry.ReleaseIcon();
    ShowIconPreview();
}

void CEntryDlg::OnBrowse()
{
    CFileDialog dialog(TRUE, kProgramPattern, Widen(kProgramPattern), kBrowseFlags, LoadStr(IDS_PROGRAM_FILTER),
                       LoadStr(IDS_PROGRAM_BROWSE_TITLE), this);
    if (dialog.DoModal() != IDOK)
        return;
    // The whole command line is replaced, arguments typed before included;
    // a path the code page cannot hold is refused at OK.
    m_editCommandLine.SetWideText(dialog.GetPathName());
    m_editCommandLine.SetFocus();
}

void CEntryDlg::OnAddPath()
{
    // A folder or a file: the button's menu below it.
    CMenu menu;
    RECT button;
    ::GetWindowRect(GetDlgItem(IDC_ADD_PATH), &button);
    menu.Reset(::CreatePopupMenu());
    ::AppendMenuA(menu, MF_STRING, IDC_ADD_FOLDER, LoadStr(IDS_ADD_FOLDER).c_str());
    ::AppendMenuA(menu, MF_STRING, IDC_ADD_FILE, LoadStr(IDS_ADD_FILE).c_str());
    ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN, button.left, button.bottom, 0, m_hWnd, nullptr);
}

void CEntryDlg::AddPath(bool folder)
{
    std::wstring picked;
    if (folder) {
        if (!PickFolder(m_hWnd, LoadStr(IDS_ADD_FOLDER_TITLE), &picked))
            return;
    } else {
        CFileDialog dialog(TRUE, nullptr, std::wstring(), OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST,
                           LoadStr(IDS_ALL_FILES_FILTER), LoadStr(IDS_ADD_FILE_TITLE), this);
        if (dialog.DoModal() != IDOK)
            return;
        picked = dialog.GetPathName();
    }
    std::wstring written = WrittenSettingsPath(picked, ProgramFolder(m_editCommandLine.GetWideText()));
    m_listPaths.SetCurSel(m_listPaths.AddString(written));
    m_listPaths.SetFocus();
}

void CEntryDlg::OnRemovePath()
{
    int selected = m_listPaths.GetCurSel();
    if (selected >= 0)
        ::SendMessageW(m_listPaths, LB_DELETESTRING, static_cast<WPARAM>(selected), 0);
    m_listPaths.SetFocus();
}

BOOL CEntryDlg::OnCommand(WORD id, WORD code, HWND control)
{
    switch (id) {
    case IDC_ADD_PATH: OnAddPath(); return TRUE;
    case IDC_ADD_FOLDER: AddPath(true); return TRUE;
    case IDC_ADD_FILE: AddPath(false); return TRUE;
    case IDC_REMOVE_PATH: OnRemovePath(); return TRUE;
    }
    if (id == IDC_CHANGE_ICON && code == BN_CLICKED) {
        OnChangeIcon();
        return TRUE;
    }
    if (id == IDC_BROWSE && code == BN_CLICKED) {
        OnBrowse();
        return TRUE;
    }
    return CDialog::OnCommand(id, code, control);
}

BOOL CEntryDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    // The preview's duplicate goes with the window that shows it.
    if (msg == WM_DESTROY)
        CIcon shown(m_staticIcon.SetIcon(nullptr));
    return CDialog::OnMessage(msg, wParam, lParam, result);
}
