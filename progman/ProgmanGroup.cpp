// Placeholder: replaced by the real code.
#include "progman/ProgmanGroup.h"
void PublishProgmanGroup(CProgramList& list) { list.m_nGroupState = GROUP_STATE_NONE; }
void RunCloseGroupStep(const CWnd&, CProgramList&) {}
