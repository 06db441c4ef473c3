#include "files/PrivateFolder.h"
#include <aclapi.h>
#include "files/FilePath.h"
#include "framework/PrivateSecurity.h"

bool MakeFolderPrivate(const std::wstring& folder, FileError* error)
{
    CLocalPtr<void> descriptor;
    BOOL present = FALSE, defaulted = FALSE;
    ACL* dacl = nullptr;
    if (!MakePrivateSecurity(L"FA", descriptor) || !::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted))
        return FailWith(error, folder, ::GetLastError());
    std::wstring path = LongPath(folder);
    DWORD code = ::SetNamedSecurityInfoW(&path[0], SE_FILE_OBJECT,
                                         DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                         nullptr, dacl, nullptr);
    return code == ERROR_SUCCESS || FailWith(error, folder, code);
}
