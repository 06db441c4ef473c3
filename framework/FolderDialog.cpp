#include "framework/FolderDialog.h"
#include <shobjidl.h>
#include "framework/Scoped.h"
#include "framework/Text.h"

bool PickFolder(HWND owner, const std::string& title, std::wstring* folder)
{
    CComPtr<IFileOpenDialog> dialog;
    CComPtr<IShellItem> chosen;
    CCoTaskPtr<wchar_t> path;
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                  dialog.Out()))
        || FAILED(dialog->GetOptions(&options))
        || FAILED(dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR)))
        return false;
    dialog->SetTitle(Widen(title).c_str());
    if (FAILED(dialog->Show(owner)) || FAILED(dialog->GetResult(&chosen))
        || FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path)))
        return false;
    *folder = path;
    return true;
}
