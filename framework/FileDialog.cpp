#include "framework/FileDialog.h"
#include <cstring>
#include "framework/Text.h"

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExt, const std::wstring& fileName, DWORD flags,
                         const std::string& filter, const std::string& title, CWnd* parent)
    : m_bOpenFileDialog(openFileDialog), m_strTitle(Widen(title))
{
    std::memset(&m_ofn, 0, sizeof m_ofn);
    std::memset(m_szFileName, 0, sizeof m_szFileName);
    lstrcpynW(m_szFileName, fileName.c_str(), sizeof m_szFileName / sizeof m_szFileName[0]);
    // "Name|*.x||" becomes "Name\0*.x\0\0".
    m_strFilter = Widen(filter);
    for (wchar_t& c : m_strFilter) {
        if (c == L'|')
            c = L'\0';
    }
    m_strFilter.push_back(L'\0');
    // The platform wants the extension without the dot.
    if (defaultExt) {
        m_strDefExt = Widen(defaultExt);
        if (!m_strDefExt.empty() && m_strDefExt[0] == L'.')
            m_strDefExt.erase(0, 1);
    }
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.hwndOwner = parent ? parent->m_hWnd : nullptr;
    m_ofn.lpstrFilter = filter.empty() ? nullptr : m_strFilter.c_str();
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = sizeof m_szFileName / sizeof m_szFileName[0];
    m_ofn.lpstrDefExt = defaultExt ? m_strDefExt.c_str() : nullptr;
    m_ofn.lpstrTitle = m_strTitle.c_str();
    m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING;
}

INT_PTR CFileDialog::DoModal()
{
    BOOL ok = m_bOpenFileDialog ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
    return ok ? IDOK : IDCANCEL;
}
