// Placeholder: replaced by the real code.
#include "model/ProgramEntry.h"
int CProgramEntry::CaptureSnapshot() { return 0; }
int CProgramEntry::RestoreSnapshot() { return 0; }
void CProgramEntry::DiscardSnapshot() { m_nSaveSlot = 0; }
