#include "settings/SnapshotSecurity.h"
#include "framework/PrivateSecurity.h"
#include "registry/RegistryTree.h"

CSnapshotSecurity::CSnapshotSecurity()
{
    if (MakePrivateSecurity(L"KA", m_descriptor))
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
