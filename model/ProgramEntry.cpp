// Placeholder: replaced by the real code.
#include "model/ProgramEntry.h"
CProgramEntry::CProgramEntry() : m_szTitle(), m_szCommandLine(), m_szDirectory(), m_szIconPath(), m_nIconIndex(0), m_bRunMinimized(0), m_szRegistry(), m_nSaveSlot(0), m_bRetrieveAgain(0), m_hCachedIcon(nullptr) {}
CProgramEntry::~CProgramEntry() {}
void CProgramEntry::LoadFromKey(HKEY) {}
void CProgramEntry::SaveToKey(HKEY) const {}
BOOL CProgramEntry::EnsureIcon() { return FALSE; }
void CProgramEntry::ReleaseIcon() {}
CProgramEntry& CProgramEntry::CopyFrom(const CProgramEntry&) { return *this; }
