// The icon picker: the user chooses a file (icon file, program or library)
// and one icon in it for an entry.
#pragma once
#include "framework/Dialog.h"
#include "framework/Edit.h"
#include "model/ProgramEntry.h"
#include "ui/IconListBox.h"

class CIconDlg : public CDialog {
public:
    // entry is not owned and must outlive the dialog. DoModal returns IDOK
    // when an icon was accepted: entry->m_szIconPath and m_nIconIndex then
    // hold the choice. Otherwise the entry is unchanged. The entry's cached
    // icon is never touched: the caller rebuilds it.
    CIconDlg(CWnd* parent, CProgramEntry* entry);
    ~CIconDlg() override;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    // With an icon selected that the file named in the edit still holds:
    // accepts it. Otherwise: loads the icons of that file and stays open.
    void OnOK() override;
    BOOL OnCommand(WORD id, WORD code, HWND control) override;
    BOOL OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnBrowse();
    // The edit shows path; the caller fills the list itself.
    void SetFileName(const std::wstring& path);
    // A file name typed refills the list from that file at once (empty when
    // it holds no icons), so that no icon of another file is offered. None
    // is selected: OK then loads the file again and selects its first icon.
    void OnChangeFileName();

    CProgramEntry* m_pEntry;
    CEdit m_editFileName;
    CIconListBox m_listIcons;
    bool m_bSettingFileName = false;
};
