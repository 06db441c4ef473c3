#include "ui/CodePageField.h"
#include "framework/Text.h"
#include "resources/resource.h"

bool ReadCodePageField(const CWnd& dialog, const CWnd& field, UINT nameId, std::string* text)
{
    if (NarrowExact(field.GetWideText(), text))
        return true;
    dialog.MessageBox(FormatStr(IDS_NOT_IN_CODE_PAGE, {LoadStr(nameId)}).c_str(), "Cobweld",
                      MB_OK | MB_ICONEXCLAMATION);
    field.SetFocus();
    return false;
}
