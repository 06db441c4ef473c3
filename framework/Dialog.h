// Modal dialogs from resource templates.
//
// One static dialog procedure stores the object at WM_INITDIALOG and hands
// every message to OnMessage, which unpacks the common ones into the named
// virtuals below. A concrete dialog overrides the virtuals it needs and, for
// anything else, OnMessage itself.
#pragma once
#include <map>
#include "framework/Wnd.h"
#include "framework/ListBox.h"

class CDialog : public CWnd {
public:
    CDialog(UINT idTemplate, CWnd* parent = nullptr);
    ~CDialog() override = default;

    // Runs the dialog; the result of EndDialog, or -1 when it could not be made.
    virtual INT_PTR DoModal();
    void EndDialog(int result);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

protected:
    // Binds the member controls (DDX_Control); called by OnInitDialog.
    virtual void DoDataExchange() {}
    // Base: binds the controls. TRUE lets the platform set the focus.
    virtual BOOL OnInitDialog();
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // WM_COMMAND. The base handles IDOK, IDCANCEL and the help command;
    // TRUE when the command was handled.
    virtual BOOL OnCommand(WORD id, WORD code, HWND control);
    // Every message. Return TRUE with result set when handled; FALSE leaves
    // the message to the default dialog processing.
    virtual BOOL OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Attaches control to the dialog item id. A bound CListBox receives the
    // dialog's WM_DRAWITEM for its item.
    void DDX_Control(int id, CWnd& control);

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);

    std::map<int, CListBox*> m_ownerDrawn;
};
