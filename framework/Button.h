// Button and check box wrapper.
#pragma once
#include "framework/Wnd.h"

class CButton : public CWnd {
public:
    int GetCheck() const { return (int)SendMessage(BM_GETCHECK); }
    void SetCheck(int check) const { SendMessage(BM_SETCHECK, (WPARAM)check); }
};
