#include "ui/IconListBox.h"
#include <cstring>
#include <vector>
#include <shellapi.h>
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "framework/WinApp.h"

namespace {
// ExtractIconA's answer for a file that is no program, library or icon file.
const HICON kNoIconSource = reinterpret_cast<HICON>(1);
// Margin around an icon inside its cell.
const int kCellMargin = 5;
}

void CIconListBox::ReleaseIcons()
{
    // Take the handles out of the list first, so that no cell can draw an
    // icon once it has been released.
    std::vector<HICON> icons;
    int count = GetCount();
    for (int i = 0; i < count; ++i) {
        HICON icon = static_cast<HICON>(GetItemDataPtr(i));
        if (icon && icon != reinterpret_cast<HICON>(LB_ERR))
            icons.push_back(icon);
    }
    ResetContent();
    for (HICON icon : icons)
        ::DestroyIcon(icon);
}

BOOL CIconListBox::FillIconList(const CProgramEntry* entry, const std::string* newPath)
{
    ReleaseIcons();

    std::string own = FieldText(entry->m_szIconPath);
    const char* file = newPath ? newPath->c_str() : own.c_str();
    HINSTANCE instance = AfxGetInstanceHandle();
    int added = 0;
    for (UINT index = 0;; ++index) {
        HICON icon = ::ExtractIconA(instance, file, index);
        if (icon == nullptr || icon == kNoIconSource)
            break;
        // Not in the list, an icon would be nobody's to release.
        if (AddItemData(icon) < 0) {
            CIcon lost(icon);
            break;
        }
        ++added;
    }

    // Byte for byte and with case: the same file written in other letters
    // counts as another file and starts at its first icon. (Equality under
    // the double-byte aware comparison is plain byte equality.)
    int selection = 0;
    if (!newPath || *newPath == own)
        selection = entry->m_nIconIndex;
    SetCurSel(selection);

    return added > 0;
}

bool CIconListBox::HoldsIcon(const std::string& file, int index)
{
    HICON icon = ::ExtractIconA(AfxGetInstanceHandle(), file.c_str(), static_cast<UINT>(index));
    if (icon == nullptr || icon == kNoIconSource)
        return false;
    CIcon extracted(icon);
    return true;
}

void CIconListBox::DrawItem(LPDRAWITEMSTRUCT drawItem)
{
    // An empty list being focused asks for item -1.
    if (static_cast<int>(drawItem->itemID) < 0)
        return;

    HICON icon = reinterpret_cast<HICON>(drawItem->itemData);
    RECT rect = drawItem->rcItem;

    int color = (drawItem->itemState & ODS_SELECTED) ? COLOR_HIGHLIGHT : COLOR_WINDOW;
    CGdiObject<HBRUSH> brush(::CreateSolidBrush(::GetSysColor(color)));
    ::FillRect(drawItem->hDC, &rect, brush);

    if (icon)
        ::DrawIcon(drawItem->hDC, rect.left + kCellMargin, rect.top + kCellMargin, icon);

    if (drawItem->itemState & ODS_FOCUS)
        ::DrawFocusRect(drawItem->hDC, &rect);
}
