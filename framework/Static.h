// Static control wrapper.
#pragma once
#include "framework/Wnd.h"

class CStatic : public CWnd {
public:
    // Returns the icon shown before.
    HICON SetIcon(HICON icon) const { return (HICON)SendMessage(STM_SETICON, (WPARAM)icon); }
    HICON GetIcon() const { return (HICON)SendMessage(STM_GETICON); }
};
