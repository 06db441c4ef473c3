// Placeholder: replaced by the real code.
#include "ui/ProgramListBox.h"
void CProgramListBox::DrawItem(LPDRAWITEMSTRUCT) {}
