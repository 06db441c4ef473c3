// List view wrapper: a report view of plain text cells, in wide characters.
#pragma once
#include <commctrl.h>
#include <string>
#include "framework/Wnd.h"

class CListView : public CWnd {
public:
    void SetFullRowSelect() const
        { SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT); }
    int InsertColumn(int index, const std::wstring& heading, int width) const
    {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(heading.c_str());
        column.cx = width;
        return (int)::SendMessageW(m_hWnd, LVM_INSERTCOLUMNW, (WPARAM)index, (LPARAM)&column);
    }
    // A row at its end whose item data is data; its index.
    int AppendRow(const std::wstring& text, LPARAM data) const
    {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = (int)SendMessage(LVM_GETITEMCOUNT);
        item.pszText = const_cast<wchar_t*>(text.c_str());
        item.lParam = data;
        return (int)::SendMessageW(m_hWnd, LVM_INSERTITEMW, 0, (LPARAM)&item);
    }
    void SetCell(int row, int column, const std::wstring& text) const
    {
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = const_cast<wchar_t*>(text.c_str());
        ::SendMessageW(m_hWnd, LVM_SETITEMTEXTW, (WPARAM)row, (LPARAM)&item);
    }
    // Each of the first count columns as wide as its widest cell, and never
    // narrower than its heading.
    void FitColumns(int count) const
    {
        for (int i = 0; i < count; ++i) {
            wchar_t heading[64] = L"";
            LVCOLUMNW column = {};
            column.mask = LVCF_TEXT;
            column.pszText = heading;
            column.cchTextMax = 64;
            ::SendMessageW(m_hWnd, LVM_GETCOLUMNW, (WPARAM)i, (LPARAM)&column);
            int least = (int)::SendMessageW(m_hWnd, LVM_GETSTRINGWIDTHW, 0, (LPARAM)heading) + 16;
            SendMessage(LVM_SETCOLUMNWIDTH, (WPARAM)i, MAKELPARAM(LVSCW_AUTOSIZE, 0));
            if ((int)SendMessage(LVM_GETCOLUMNWIDTH, (WPARAM)i) < least)
                SendMessage(LVM_SETCOLUMNWIDTH, (WPARAM)i, MAKELPARAM(least, 0));
        }
    }
    void DeleteAllItems() const { SendMessage(LVM_DELETEALLITEMS); }
    // -1 when no row is selected.
    int GetSelectedRow() const { return (int)SendMessage(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED); }
    void SelectRow(int row) const
    {
        LVITEMW item = {};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(m_hWnd, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
    }
    LPARAM GetRowData(int row) const
    {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        ::SendMessageW(m_hWnd, LVM_GETITEMW, 0, (LPARAM)&item);
        return item.lParam;
    }
};
