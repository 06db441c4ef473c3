// Edit control wrapper.
#pragma once
#include "framework/Wnd.h"

class CEdit : public CWnd {
public:
    void LimitText(int length) const { SendMessage(EM_LIMITTEXT, (WPARAM)length); }
};
