// The icon picker's list: one owner-drawn cell per icon of a file, in the
// order of the icons in the file, so that an item's index is the icon's
// index in the file. Each item's data is the icon handle it shows; the list
// owns those handles.
#pragma once
#include <string>
#include "framework/ListBox.h"
#include "model/ProgramEntry.h"

class CIconListBox : public CListBox {
public:
    // Empties the list and fills it with the icons of newPath, or of the
    // entry's icon file when newPath is NULL. Selects the entry's icon index
    // when the file is the entry's own (compared byte for byte), the first
    // icon otherwise; an index that names no icon leaves none selected.
    // TRUE when at least one icon was added. The entry is only read.
    BOOL FillIconList(const CProgramEntry* entry, const std::string* newPath);

    // TRUE when file holds an icon at index, as it does now: the list may
    // show the icons of an earlier state of the file.
    static bool HoldsIcon(const std::string& file, int index);

    // Empties the list and then releases the icons it held. The owner calls
    // this before the list box goes away (the dialog's WM_DESTROY).
    void ReleaseIcons();

    void DrawItem(LPDRAWITEMSTRUCT drawItem) override;
};
