#include "framework/Dialog.h"
#include "framework/WinApp.h"

CDialog::CDialog(UINT idTemplate, CWnd* parent)
    : m_nIDTemplate(idTemplate), m_pParentWnd(parent)
{
}

INT_PTR CDialog::DoModal()
{
    HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    // A dialog of the wide functions: its controls keep any text typed or
    // set in them, also what the ANSI code page cannot hold.
    INT_PTR result = ::DialogBoxParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_nIDTemplate),
                                       parent, DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

void CDialog::EndDialog(int result)
{
    ::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnInitDialog()
{
    DoDataExchange();
    return TRUE;
}

void CDialog::DDX_Control(int id, CWnd& control)
{
    control.Attach(::GetDlgItem(m_hWnd, id));
    if (CListBox* listBox = dynamic_cast<CListBox*>(&control))
        m_ownerDrawn[id] = listBox;
}

BOOL CDialog::OnCommand(WORD id, WORD code, HWND control)
{
    switch (id) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    case ID_HELP:
        if (CWinApp* app = AfxGetApp())
            app->OnHelp();
        return TRUE;
    }
    return FALSE;
}

BOOL CDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_INITDIALOG:
        result = OnInitDialog();
        return TRUE;
    case WM_COMMAND:
        result = 0;
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM: {
        auto* drawItem = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam);
        auto found = m_ownerDrawn.find(static_cast<int>(drawItem->CtlID));
        if (found == m_ownerDrawn.end())
            return FALSE;
        found->second->DrawItem(drawItem);
        result = TRUE;
        return TRUE;
    }
    }
    return FALSE;
}

INT_PTR CDialog::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnMessage(msg, wParam, lParam, result))
        return FALSE;
    switch (msg) {
    // These return their result directly from the dialog procedure.
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: case WM_COMPAREITEM: case WM_VKEYTOITEM:
    case WM_CHARTOITEM: case WM_QUERYDRAGICON:
        return static_cast<INT_PTR>(result);
    }
    ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CDialog* dialog;
    if (msg == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        dialog->m_hWnd = hWnd;
        ::SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
    } else {
        dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    }
    if (!dialog)
        return FALSE;
    // No C++ exception may unwind through the window manager.
    try {
        return dialog->Dispatch(msg, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}
