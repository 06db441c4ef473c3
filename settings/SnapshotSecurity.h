// A snapshot holds a user's settings, passwords and tokens among them: in the
// machine-wide store only its user, SYSTEM and the administrators may open
// it, at every level.
#pragma once
#include <windows.h>
#include "framework/Scoped.h"

class CSnapshotSecurity {
public:
    CSnapshotSecurity();
    CSnapshotSecurity(const CSnapshotSecurity&) = delete;
    CSnapshotSecurity& operator=(const CSnapshotSecurity&) = delete;

    // NULL when no descriptor could be made: the key then inherits.
    SECURITY_ATTRIBUTES* Get() { return m_attributes.lpSecurityDescriptor ? &m_attributes : nullptr; }
    // Gives key, opened with WRITE_DAC, this access. Windows would let the
    // subkeys inherit it; Wine gives each new key an access of its own.
    void Secure(HKEY key);
    // Secures key and every key below it.
    void Apply(HKEY key);

private:
    CLocalPtr<void> m_descriptor;
    SECURITY_ATTRIBUTES m_attributes = {};
};
