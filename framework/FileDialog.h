// The platform's file-open dialog.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <string>
#include "framework/Wnd.h"

class CFileDialog {
public:
    // filter: display name and pattern pairs separated by '|', ending "||".
    CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName,
                DWORD flags, const char* filter, CWnd* parent);

    // IDOK when a file was chosen, IDCANCEL otherwise.
    INT_PTR DoModal();
    // The chosen file's full path.
    std::string GetPathName() const { return m_szFileName; }

    OPENFILENAMEA m_ofn;

private:
    BOOL m_bOpenFileDialog;
    std::string m_strFilter;
    std::string m_strDefExt;
    char m_szFileName[MAX_PATH * 2];
};
