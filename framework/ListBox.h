// List box wrapper. Owner-drawn list boxes derive from it and override
// DrawItem; the dialog that binds them forwards WM_DRAWITEM to it.
#pragma once
#include <string>
#include "framework/Wnd.h"

class CListBox : public CWnd {
public:
    int GetCount() const { return (int)SendMessage(LB_GETCOUNT); }
    int GetCurSel() const { return (int)SendMessage(LB_GETCURSEL); }
    // LB_ERR when the index names no item (-1 clears the selection).
    int SetCurSel(int index) const { return (int)SendMessage(LB_SETCURSEL, (WPARAM)index); }
    void ResetContent() const { SendMessage(LB_RESETCONTENT); }
    // For list boxes without strings: the item's data is the pointer.
    int AddItemData(const void* data) const { return (int)SendMessage(LB_ADDSTRING, 0, (LPARAM)data); }
    int InsertItemData(int index, const void* data) const
        { return (int)SendMessage(LB_INSERTSTRING, (WPARAM)index, (LPARAM)data); }
    int DeleteString(int index) const { return (int)SendMessage(LB_DELETESTRING, (WPARAM)index); }
    void* GetItemDataPtr(int index) const { return (void*)SendMessage(LB_GETITEMDATA, (WPARAM)index); }
    int SetItemHeight(int index, UINT height) const
        { return (int)SendMessage(LB_SETITEMHEIGHT, (WPARAM)index, MAKELPARAM(height, 0)); }
    void SetColumnWidth(int width) const { SendMessage(LB_SETCOLUMNWIDTH, (WPARAM)width); }

    // For list boxes with strings, in wide characters.
    int AddString(const std::wstring& text) const
        { return (int)::SendMessageW(m_hWnd, LB_ADDSTRING, 0, (LPARAM)text.c_str()); }
    std::wstring GetText(int index) const
    {
        std::wstring text((size_t)::SendMessageW(m_hWnd, LB_GETTEXTLEN, (WPARAM)index, 0) + 1, L'\0');
        text.resize((size_t)::SendMessageW(m_hWnd, LB_GETTEXT, (WPARAM)index, (LPARAM)&text[0]));
        return text;
    }

    virtual void DrawItem(LPDRAWITEMSTRUCT drawItem) {}
};
