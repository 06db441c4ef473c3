#include "framework/PrivateSecurity.h"
#include <sddl.h>
#include <string>
#include <vector>

bool MakePrivateSecurity(const wchar_t* rights, CLocalPtr<void>& descriptor)
{
    CHandle token;
    HANDLE opened = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened))
        return false;
    token.Reset(opened);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    CLocalPtr<wchar_t> sid;
    if (size == 0 || !::GetTokenInformation(token, TokenUser, user.data(), size, &size)
        || !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid))
        return false;
    std::wstring allow = std::wstring(L"(A;OICI;") + rights + L";;;";
    std::wstring sddl = L"D:P" + allow + std::wstring(sid) + L")" + allow + L"SY)" + allow + L"BA)";
    return ::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                  nullptr) != FALSE;
}
