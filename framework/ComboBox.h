// Combo box wrapper.
#pragma once
#include "framework/Wnd.h"

class CComboBox : public CWnd {
public:
    void LimitText(int length) const { SendMessage(CB_LIMITTEXT, (WPARAM)length); }
    int AddString(const char* text) const { return (int)SendMessage(CB_ADDSTRING, 0, (LPARAM)text); }
    int GetCount() const { return (int)SendMessage(CB_GETCOUNT); }
    int GetCurSel() const { return (int)SendMessage(CB_GETCURSEL); }
    int SetCurSel(int index) const { return (int)SendMessage(CB_SETCURSEL, (WPARAM)index); }
    // The whole item text equal to text, ignoring case; CB_ERR when none.
    int FindStringExact(int startAfter, const char* text) const
        { return (int)SendMessage(CB_FINDSTRINGEXACT, (WPARAM)startAfter, (LPARAM)text); }
    std::string GetLBText(int index) const;
};

inline std::string CComboBox::GetLBText(int index) const
{
    int length = (int)SendMessage(CB_GETLBTEXTLEN, (WPARAM)index);
    if (length < 0)
        return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    length = (int)SendMessage(CB_GETLBTEXT, (WPARAM)index, (LPARAM)&text[0]);
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}
