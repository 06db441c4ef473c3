#include "framework/FileDialog.h"
#include <cstring>

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName,
                         DWORD flags, const char* filter, CWnd* parent)
    : m_bOpenFileDialog(openFileDialog)
{
    std::memset(&m_ofn, 0, sizeof m_ofn);
    std::memset(m_szFileName, 0, sizeof m_szFileName);
    if (fileName)
        lstrcpynA(m_szFileName, fileName, sizeof m_szFileName);

    // "Name|*.x||" becomes "Name\0*.x\0\0"; bars inside double-byte
    // characters are left alone.
    if (filter) {
        m_strFilter = filter;
        for (size_t i = 0; i < m_strFilter.size();) {
            if (::IsDBCSLeadByte(static_cast<BYTE>(m_strFilter[i])) && i + 1 < m_strFilter.size()) {
                i += 2;
                continue;
            }
            if (m_strFilter[i] == '|')
                m_strFilter[i] = '\0';
            ++i;
        }
        m_strFilter.push_back('\0');
    }
    // The platform wants the extension without the dot.
    if (defaultExt) {
        m_strDefExt = defaultExt;
        if (!m_strDefExt.empty() && m_strDefExt[0] == '.')
            m_strDefExt.erase(0, 1);
    }

    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.hwndOwner = parent ? parent->m_hWnd : nullptr;
    m_ofn.lpstrFilter = filter ? m_strFilter.c_str() : nullptr;
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = sizeof m_szFileName;
    m_ofn.lpstrDefExt = defaultExt ? m_strDefExt.c_str() : nullptr;
    m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING;
}

INT_PTR CFileDialog::DoModal()
{
    BOOL ok = m_bOpenFileDialog ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
    return ok ? IDOK : IDCANCEL;
}
