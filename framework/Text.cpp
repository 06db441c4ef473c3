#include "framework/Text.h"
#include "framework/WinApp.h"
#include <cstring>
#include <cwchar>
#include <cwctype>

std::string LoadStr(UINT id)
{
    // Read the UTF-16 string itself: LoadStringA would cut a long one.
    const wchar_t* text = nullptr;
    int length = ::LoadStringW(AfxGetInstanceHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text)
        return std::string();
    return Narrow(std::wstring(text, static_cast<size_t>(length)));
}

std::string FormatStr(UINT id, std::initializer_list<std::string> args)
{
    std::string format = LoadStr(id), text;
    for (size_t i = 0; i < format.size(); ++i) {
        size_t n = i + 1 < format.size() ? static_cast<size_t>(format[i + 1] - '1') : args.size();
        if (format[i] == '%' && n < args.size()) {
            text += args.begin()[n];
            ++i;
        } else {
            text += format[i];
        }
    }
    return text;
}

std::wstring FormatText(UINT id, std::initializer_list<std::wstring> args)
{
    std::wstring format = Widen(LoadStr(id)), text;
    for (size_t i = 0; i < format.size(); ++i) {
        size_t n = i + 1 < format.size() ? static_cast<size_t>(format[i + 1] - L'1') : args.size();
        if (format[i] == L'%' && n < args.size()) {
            text += args.begin()[n];
            ++i;
        } else {
            text += format[i];
        }
    }
    return text;
}

std::string FromUtf8(const char* utf8)
{
    int wide = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (wide <= 0)
        return std::string();
    std::wstring text(static_cast<size_t>(wide), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &text[0], wide);
    text.resize(static_cast<size_t>(wide) - 1);
    return Narrow(text);
}

std::wstring Widen(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0], length);
    return result;
}

bool NarrowExact(const std::wstring& text, std::string* narrowed)
{
    narrowed->clear();
    if (text.empty())
        return true;
    BOOL lost = FALSE;
    int length = static_cast<int>(text.size());
    int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr, 0, nullptr, &lost);
    if (size <= 0)
        return false;
    narrowed->assign(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, &(*narrowed)[0], size, nullptr, &lost);
    return !lost;
}

std::string Narrow(const std::wstring& text)
{
    std::string narrowed;
    NarrowExact(text, &narrowed);
    return narrowed;
}

namespace {
// The longest prefix of text[0, length) of at most limit bytes that ends on a
// character boundary.
size_t WholeCharacters(const char* text, size_t length, size_t limit)
{
    size_t used = 0;
    while (used < length) {
        size_t next = used + (::IsDBCSLeadByte(static_cast<BYTE>(text[used])) ? 2 : 1);
        if (next > length || next > limit)
            break;
        used = next;
    }
    return used;
}
}

std::string FieldText(const char* field, size_t size)
{
    if (size == 0)
        return std::string();
    size_t length = strnlen(field, size);
    return std::string(field, WholeCharacters(field, length, size - 1));
}

void CopyField(char* field, size_t size, const std::string& text)
{
    if (size == 0)
        return;
    size_t used = WholeCharacters(text.c_str(), strnlen(text.c_str(), text.size()), size - 1);
    // The text may be the field itself.
    std::memmove(field, text.data(), used);
    field[used] = '\0';
}

namespace {
// A name the file system takes for a device whatever its extension: the
// part before the first dot, blanks trailing it ignored, is CON, PRN, AUX,
// NUL, CONIN$, CONOUT$, or COM or LPT with one digit (superscripts 1 to 3
// included), in any letter case.
bool IsDeviceName(const std::wstring& name)
{
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (wchar_t& c : base)
        c = static_cast<wchar_t>(std::towupper(c));
    if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0))
        return std::wstring(L"0123456789\u00b9\u00b2\u00b3").find(base[3]) != std::wstring::npos;
    return base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
           base == L"CONOUT$";
}
}

std::wstring FileNameFromTitle(const std::wstring& title)
{
    std::wstring name = title;
    for (wchar_t& c : name) {
        if (c < L' ' || std::wcschr(L"\\/:*?\"<>|", c))
            c = L'_';
    }
    while (!name.empty() && (name.back() == L'.' || name.back() == L' '))
        name.pop_back();
    if (IsDeviceName(name))
        name = L"_" + name;
    return name.empty() ? L"_" : name;
}
