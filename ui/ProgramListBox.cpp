#include "ui/ProgramListBox.h"
#include "framework/Scoped.h"
#include "model/ProgramEntry.h"

void CProgramListBox::DrawItem(LPDRAWITEMSTRUCT drawItem)
{
    // An empty list box that gets the focus asks for row -1.
    if (static_cast<int>(drawItem->itemID) < 0)
        return;
    auto* entry = reinterpret_cast<CProgramEntry*>(drawItem->itemData);
    if (!entry)
        return;

    HDC dc = drawItem->hDC;
    int saved = ::SaveDC(dc);
    RECT rect = drawItem->rcItem;

    // The icon column keeps the list's own background.
    if (entry->EnsureIcon())
        ::DrawIcon(dc, rect.left, rect.top, entry->m_hCachedIcon);
    rect.left += ::GetSystemMetrics(SM_CXICON);

    ::SetBkMode(dc, TRANSPARENT);
    BOOL selected = (drawItem->itemState & ODS_SELECTED) != 0;
    ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    CGdiObject<HBRUSH> brush(::CreateSolidBrush(::GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW)));
    ::FillRect(dc, &rect, brush);

    ::DrawTextA(dc, entry->m_szTitle, -1, &rect, DT_SINGLELINE | DT_VCENTER);
    if (drawItem->itemState & ODS_FOCUS)
        ::DrawFocusRect(dc, &rect);
    ::RestoreDC(dc, saved);
}
