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
    // With an icon selected: accepts it. Without: loads the icons of the
    // file named in the edit and stays open.
    void OnOK() override;
    BOOL OnCommand(WORD id, WORD code, HWND control) override;
    BOOL OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnBrowse();
    // Any change of the file name clears the selection, so that the next OK
    // loads the file instead of accepting an icon of the previous one.
    void OnChangeFileName();

    CProgramEntry* m_pEntry;
    CEdit m_editFileName;
    CIconListBox m_listIcons;
};
