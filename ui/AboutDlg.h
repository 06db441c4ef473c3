// The About box of the main window's system menu.
#pragma once
#include "framework/Dialog.h"

class CAboutDlg : public CDialog {
public:
    // The owner is disabled while the box is open.
    explicit CAboutDlg(CWnd* parent = nullptr);

protected:
    void DoDataExchange() override {}
    BOOL OnInitDialog() override;
};
