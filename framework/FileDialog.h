// The platform's file dialogs, in wide characters: a chosen path comes back
// as the file system has it, also where the ANSI code page cannot hold it.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <string>
#include "framework/Wnd.h"

class CFileDialog {
public:
    // An open dialog, else a save dialog. filter: display name and pattern
    // pairs separated by '|', ending "||"; it, the title and the extension
    // are texts of the program.
    CFileDialog(BOOL openFileDialog, const char* defaultExt, const std::wstring& fileName, DWORD flags,
                const std::string& filter, const std::string& title, CWnd* parent);
    // IDOK when a file was chosen, IDCANCEL otherwise.
    INT_PTR DoModal();
    // The chosen file's full path.
    std::wstring GetPathName() const { return m_szFileName; }

private:
    OPENFILENAMEW m_ofn;
    BOOL m_bOpenFileDialog;
    std::wstring m_strFilter;
    std::wstring m_strDefExt;
    std::wstring m_strTitle;
    wchar_t m_szFileName[MAX_PATH * 4];
};
