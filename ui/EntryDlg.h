// The entry properties dialog: registers a new program (no source entry) or
// edits a registered one. It works on its own copy of the entry, m_entry,
// which the caller reads after IDOK; the source entry is never changed.
#pragma once
#include "framework/Dialog.h"
#include "framework/Button.h"
#include "framework/ComboBox.h"
#include "framework/Edit.h"
#include "framework/ListBox.h"
#include "framework/Static.h"
#include "model/ProgramEntry.h"

class CEntryDlg : public CDialog {
public:
    // source NULL: a new entry. Otherwise the dialog edits a copy of source,
    // which must stay valid while the dialog is constructed.
    CEntryDlg(CWnd* parent, const CProgramEntry* source);
    // Releases the working copy's cached icon.
    ~CEntryDlg() override;

    // The working copy; the caller reads it after IDOK.
    CProgramEntry m_entry;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    // Refuses (beep, focus on the field) while the title or the command line
    // is empty, or the entry names neither a settings key nor a settings
    // path; refuses, with a message naming it, a text the code page cannot
    // hold or a path that cannot be a settings path; otherwise stores every
    // field.
    void OnOK() override;
    BOOL OnCommand(WORD id, WORD code, HWND control) override;
    BOOL OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnChangeIcon();
    void OnBrowse();
    // The settings paths: a folder or a file added (the choice from the add
    // button's menu), the selected one removed.
    void OnAddPath();
    void AddPath(bool folder);
    void OnRemovePath();
    // Fills the settings-key combo box with the two-level key names under
    // HKCU\Software that a snapshot can be taken of (IsSettingsName:
    // never the launcher's own key). FALSE only when HKCU\Software cannot be
    // opened for enumeration.
    BOOL FillRegistryNameCombo();
    // Selects the listed name equal to name, ignoring case (never a longer
    // name that begins with it); when none is listed, name becomes the combo
    // box's text.
    void SelectRegistryName(const char* name);

    // Shows a duplicate of the working copy's cached icon (or none) and
    // releases the duplicate shown before.
    void ShowIconPreview();

    int m_bNewEntry;
    CButton m_btnRetrieveAgain;
    CStatic m_staticIcon;
    CComboBox m_comboRegistry;
    CEdit m_editCommandLine;
    CButton m_btnRunMinimized;
    CEdit m_editTitle;
    CEdit m_editDirectory;
    CListBox m_listPaths;
};
