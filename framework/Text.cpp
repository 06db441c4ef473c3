#include "framework/Text.h"
#include "framework/WinApp.h"
#include <vector>

std::string LoadStr(UINT id)
{
    // Read the UTF-16 string itself: LoadStringA would cut a long one.
    const wchar_t* text = nullptr;
    int length = ::LoadStringW(AfxGetInstanceHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text)
        return std::string();
    int size = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, length, &result[0], size, nullptr, nullptr);
    return result;
}

std::string FromUtf8(const char* utf8)
{
    int wide = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (wide <= 0)
        return std::string();
    std::vector<wchar_t> buffer(static_cast<size_t>(wide));
    ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, buffer.data(), wide);
    int size = ::WideCharToMultiByte(CP_ACP, 0, buffer.data(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string result(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, buffer.data(), -1, &result[0], size, nullptr, nullptr);
    result.resize(static_cast<size_t>(size) - 1);
    return result;
}

void CopyField(char* field, size_t size, const char* text)
{
    if (size == 0)
        return;
    size_t used = 0;
    for (const char* p = text; *p;) {
        const char* next = ::CharNextA(p);
        size_t length = static_cast<size_t>(next - p);
        if (used + length > size - 1)
            break;
        for (size_t i = 0; i < length; ++i)
            field[used++] = p[i];
        p = next;
    }
    field[used] = '\0';
}
