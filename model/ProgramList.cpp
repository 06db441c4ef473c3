// Placeholder: replaced by the real code.
#include "model/ProgramList.h"
CProgramList::CProgramList() : m_bModified(0), m_nGroupState(0) {}
CProgramList::~CProgramList() {}
CProgramEntry* CProgramList::Add(const CProgramEntry&) { return nullptr; }
void CProgramList::RemoveAt(int) {}
void CProgramList::Replace(int, const CProgramEntry&) {}
BOOL CProgramList::MoveUp(int) { return FALSE; }
BOOL CProgramList::MoveDown(int) { return FALSE; }
int CProgramList::FirstFreeSnapshotSlot() const { return 1; }
