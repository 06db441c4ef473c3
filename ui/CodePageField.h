// A dialog field's text in the ANSI code page, as an entry keeps its texts.
#pragma once
#include <string>
#include "framework/Wnd.h"

// The field's text, read as the control has it. A text that the code page
// cannot hold is refused, never turned into a look-alike (another program's
// key, a file that does not exist): a message owned by dialog names the
// field (string nameId), the focus goes to it, and the result is false.
bool ReadCodePageField(const CWnd& dialog, const CWnd& field, UINT nameId, std::string* text);
