#include "framework/HelpWindow.h"
#include "framework/Scoped.h"
#include "framework/WinApp.h"
#include <commctrl.h>
#include <string>
#include <vector>

namespace {

const wchar_t kClassName[] = L"AfxHelpWindow";
const UINT_PTR kEditSubclassId = 1;
const int kEditId = 1;

// Japanese-capable faces, best first. Windows has the first ones; Wine with
// the IPA fonts has the last ones (and maps some of the first ones to them).
const wchar_t* const kFaces[] = {
    L"MS UI Gothic", L"ＭＳ Ｐゴシック", L"ＭＳ ゴシック",
    L"IPAPGothic", L"IPAGothic", L"IPAexGothic",
};

struct HelpText {
    std::wstring caption;
    std::wstring body;
};

// The text resource: UTF-8, lines ended by LF or CRLF. Its first line is the
// caption, the rest (after blank lines) the body, with CRLF line ends as the
// edit control needs them.
bool LoadHelpText(HelpText& text)
{
    HMODULE module = AfxGetInstanceHandle();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), L"HELPTEXT");
    if (!found)
        return false;
    HGLOBAL loaded = ::LoadResource(module, found);
    const char* data = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    DWORD size = ::SizeofResource(module, found);
    if (!data || size == 0)
        return false;
    if (size >= 3 && static_cast<unsigned char>(data[0]) == 0xEF &&
        static_cast<unsigned char>(data[1]) == 0xBB && static_cast<unsigned char>(data[2]) == 0xBF) {
        data += 3;
        size -= 3;
    }
    int wide = ::MultiByteToWideChar(CP_UTF8, 0, data, static_cast<int>(size), nullptr, 0);
    if (wide <= 0)
        return false;
    std::wstring all(static_cast<size_t>(wide), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, data, static_cast<int>(size), &all[0], wide);
    // A NUL in the resource (padding) ends the text.
    all.resize(wcsnlen(all.c_str(), all.size()));

    size_t eol = all.find(L'\n');
    text.caption = all.substr(0, eol);
    if (!text.caption.empty() && text.caption.back() == L'\r')
        text.caption.pop_back();
    text.body.clear();
    if (eol == std::wstring::npos)
        return true;
    size_t start = eol + 1;
    while (start < all.size() && (all[start] == L'\n' || all[start] == L'\r'))
        ++start;
    for (size_t i = start; i < all.size(); ++i) {
        if (all[i] == L'\r')
            continue;
        if (all[i] == L'\n')
            text.body += L"\r\n";
        else
            text.body += all[i];
    }
    return true;
}

int CALLBACK FaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool HasFace(HDC dc, const wchar_t* face)
{
    LOGFONTW query = {};
    query.lfCharSet = SHIFTJIS_CHARSET;
    lstrcpynW(query.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    ::EnumFontFamiliesExW(dc, &query, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

// The system's message font in a face that has the Japanese glyphs; the
// message font as it is when no such face is installed.
HFONT CreateHelpFont()
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    LOGFONTW font = {};
    CScreenDC dc;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        font = metrics.lfMessageFont;
    } else {
        font.lfHeight = -MulDiv(9, ::GetDeviceCaps(dc, LOGPIXELSY), 72);
        font.lfWeight = FW_NORMAL;
    }
    for (const wchar_t* face : kFaces) {
        if (HasFace(dc, face)) {
            lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
            font.lfCharSet = SHIFTJIS_CHARSET;
            break;
        }
    }
    return ::CreateFontIndirectW(&font);
}

// A multi-line edit lets Escape through to nobody; the help window closes on it.
LRESULT CALLBACK EditProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (msg == WM_KEYDOWN && wParam == VK_ESCAPE) {
        ::PostMessageW(::GetParent(edit), WM_CLOSE, 0, 0);
        return 0;
    }
    if (msg == WM_NCDESTROY)
        ::RemoveWindowSubclass(edit, EditProc, kEditSubclassId);
    return ::DefSubclassProc(edit, msg, wParam, lParam);
}

LRESULT CALLBACK HelpWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        const auto* text = static_cast<const HelpText*>(create->lpCreateParams);
        HWND edit = ::CreateWindowExW(
            WS_EX_CLIENTEDGE, L"EDIT", text->body.c_str(),
            WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
            0, 0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)),
            create->hInstance, nullptr);
        if (!edit)
            return -1;
        HFONT font = CreateHelpFont();
        ::SetPropW(window, L"AfxHelpFont", font);
        ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        ::SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(6, 6));
        ::SetWindowSubclass(edit, EditProc, kEditSubclassId, 0);
        return 0;
    }
    case WM_SIZE:
        ::MoveWindow(::GetDlgItem(window, kEditId), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        ::SetFocus(::GetDlgItem(window, kEditId));
        return 0;
    case WM_CTLCOLORSTATIC:
        // A read-only edit is painted like a disabled one; the help is text
        // to read, so it gets the ordinary window colours.
        ::SetTextColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(COLOR_WINDOWTEXT));
        ::SetBkColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
    case WM_DESTROY:
        if (HFONT font = static_cast<HFONT>(::RemovePropW(window, L"AfxHelpFont")))
            ::DeleteObject(font);
        return 0;
    }
    return ::DefWindowProcW(window, msg, wParam, lParam);
}

BOOL CALLBACK FirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR first)
{
    // Only numeric names: a string name would not outlive the enumeration.
    if (IS_INTRESOURCE(name))
        *reinterpret_cast<LPWSTR*>(first) = name;
    return FALSE;
}

bool RegisterHelpClass(HINSTANCE instance)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExW(instance, kClassName, &wc))
        return true;
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = HelpWindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    // The program's own icon: its first icon group, as Explorer shows it.
    LPWSTR first = nullptr;
    ::EnumResourceNamesW(instance, reinterpret_cast<LPCWSTR>(RT_GROUP_ICON), FirstName,
                         reinterpret_cast<LONG_PTR>(&first));
    if (first)
        wc.hIcon = ::LoadIconW(instance, first);
    return ::RegisterClassExW(&wc) != 0;
}

} // namespace

HWND ShowHelpWindow(HWND existing, HWND owner)
{
    if (existing && ::IsWindow(existing)) {
        if (::IsIconic(existing))
            ::ShowWindow(existing, SW_RESTORE);
        ::SetForegroundWindow(existing);
        return existing;
    }
    HelpText text;
    HINSTANCE instance = AfxGetInstanceHandle();
    if (!LoadHelpText(text) || !RegisterHelpClass(instance)) {
        ::MessageBeep(MB_ICONHAND);
        return nullptr;
    }
    // Owned by the program's window: it stays in front of the window it
    // explains and goes with it when that one is minimized or closed. A
    // modal dialog disables only its own owner, so the help stays usable
    // while the program's dialogs are open.
    int dpi = ::GetDeviceCaps(CScreenDC(), LOGPIXELSY);
    HWND window = ::CreateWindowExW(
        0, kClassName, text.caption.c_str(), WS_OVERLAPPEDWINDOW,
        CW_USEDEFAULT, CW_USEDEFAULT, MulDiv(520, dpi, 96), MulDiv(440, dpi, 96),
        owner, nullptr, instance, &text);
    if (!window) {
        ::MessageBeep(MB_ICONHAND);
        return nullptr;
    }
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::UpdateWindow(window);
    ::SetForegroundWindow(window);
    return window;
}
