#include "settings/SnapshotSecurity.h"
#include <sddl.h>
#include <string>
#include <vector>
#include "registry/RegistryTree.h"

CSnapshotSecurity::CSnapshotSecurity()
{
    CHandle token;
    HANDLE opened = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened))
        return;
    token.Reset(opened);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    CLocalPtr<wchar_t> sid;
    if (size == 0 || !::GetTokenInformation(token, TokenUser, user.data(), size, &size)
        || !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid))
        return;
    std::wstring sddl = L"D:P(A;OICI;KA;;;" + std::wstring(sid) + L")(A;OICI;KA;;;SY)(A;OICI;KA;;;BA)";
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &m_descriptor, nullptr))
        m_attributes = {sizeof m_attributes, m_descriptor, FALSE};
}

void CSnapshotSecurity::Secure(HKEY key)
{
    if (m_descriptor)
        ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, m_descriptor);
}

void CSnapshotSecurity::Apply(HKEY key)
{
    if (!m_descriptor)
        return;
    Secure(key);
    ForEachSubkey(key, [&](const wchar_t* name) {
        CRegKey subkey;
        if (subkey.Open(key, name, WRITE_DAC | KEY_ENUMERATE_SUB_KEYS) == ERROR_SUCCESS)
            Apply(subkey);
        return true;
    });
}
