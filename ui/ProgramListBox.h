// The main window's list: one owner-drawn row per entry, icon and title.
#pragma once
#include "framework/ListBox.h"

class CProgramListBox : public CListBox {
public:
    void DrawItem(LPDRAWITEMSTRUCT drawItem) override;
};
