// Processes, windows, message boxes and input for the end-to-end tests.
#include "tests/driver/Driver.h"
#include <climits>
#include <cstdlib>

namespace driver {

namespace {

// Wine's and Windows' message boxes keep their icon in a static with this id
// (stc1 of dlgs.h); no dialog of the launcher uses it.
const int kMessageBoxIconId = 0x0440;
const int kProgramListId = 1001;

HWND WaitFor(const std::function<HWND()>& find, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = find()) != nullptr; }, timeoutMs);
    return found;
}

HWND FindTopLevel(DWORD processId, const std::function<bool(HWND)>& match)
{
    for (HWND window : TopLevelWindows(processId)) {
        if (ClassName(window) == "#32770" && match(window))
            return window;
    }
    return nullptr;
}

// The 0x00RRGGBB pixels of a width x height picture that draw() paints.
std::vector<DWORD> Paint(int width, int height, const std::function<void(HDC)>& draw)
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB};
    DWORD* bits = nullptr;
    std::vector<DWORD> pixels;
    HDC dc = ::CreateCompatibleDC(nullptr);
    if (HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0)) {
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        draw(dc);
        ::GdiFlush();
        for (int i = 0; i < width * height; ++i)
            pixels.push_back(bits[i] & 0xFFFFFF);
        ::SelectObject(dc, old);
        ::DeleteObject(bitmap);
    }
    ::DeleteDC(dc);
    return pixels;
}

// Icon handles cannot be compared across processes, so the shown picture is
// compared with the system's stock icons, drawn here on the same background.
int RecogniseIcon(HWND iconStatic)
{
    if (!iconStatic || !::IsWindowVisible(iconStatic) || !::SendMessageA(iconStatic, STM_GETICON, 0, 0))
        return 0;
    RECT rect;
    ::GetWindowRect(iconStatic, &rect);
    int width = ::GetSystemMetrics(SM_CXICON), height = ::GetSystemMetrics(SM_CYICON);
    // With one column left of the static: the dialog's background.
    std::vector<DWORD> shown = Paint(width + 1, height, [&](HDC dc) {
        HDC screen = ::GetDC(nullptr);
        ::BitBlt(dc, 0, 0, width + 1, height, screen, rect.left - 1, rect.top, SRCCOPY);
        ::ReleaseDC(nullptr, screen);
    });
    if (shown.empty())
        return -1;
    DWORD bg = shown[0];
    static const struct { LPCSTR resource; int flag; } kStock[] = {
        {IDI_HAND, MB_ICONHAND}, {IDI_QUESTION, MB_ICONQUESTION},
        {IDI_EXCLAMATION, MB_ICONEXCLAMATION}, {IDI_ASTERISK, MB_ICONASTERISK},
    };
    int best = -1;
    long long bestDistance = LLONG_MAX;
    for (const auto& stock : kStock) {
        std::vector<DWORD> drawn = Paint(width, height, [&](HDC dc) {
            HBRUSH brush = ::CreateSolidBrush(RGB((bg >> 16) & 0xFF, (bg >> 8) & 0xFF, bg & 0xFF));
            RECT all = {0, 0, width, height};
            ::FillRect(dc, &all, brush);
            ::DeleteObject(brush);
            ::DrawIconEx(dc, 0, 0, ::LoadIconA(nullptr, stock.resource), width, height, 0, nullptr, DI_NORMAL);
        });
        long long distance = drawn.empty() ? LLONG_MAX : 0;
        for (int i = 0; i < width * height && !drawn.empty(); ++i) {
            DWORD a = shown[i / width * (width + 1) + i % width + 1], b = drawn[i];
            for (int shift = 0; shift < 24; shift += 8)
                distance += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
        }
        if (distance < bestDistance) {
            bestDistance = distance;
            best = stock.flag;
        }
    }
    // Small differences of drawing are allowed, not another picture.
    return bestDistance > static_cast<long long>(width) * height * 3 * 16 ? -1 : best;
}

} // namespace

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs)
{
    for (DWORD start = ::GetTickCount(); !cond(); ::Sleep(25)) {
        if (::GetTickCount() - start >= timeoutMs)
            return cond();
    }
    return true;
}

std::string BinDir()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    // Cut after the last real backslash (not a double-byte trail byte).
    const char* cut = path;
    for (const char* p = path; *p; p = ::CharNextA(p)) {
        if (*p == '\\' || *p == '/')
            cut = p + 1;
    }
    return std::string(static_cast<const char*>(path), cut);
}

bool Process::Start(const std::string& exePath, const std::string& arguments)
{
    Kill();
    std::string commandLine = "\"" + exePath + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup = {sizeof startup};
    if (::CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &m_info))
        return true;
    m_info = PROCESS_INFORMATION();
    return false;
}

bool Process::WaitExit(DWORD timeoutMs, DWORD* exitCode)
{
    if (!m_info.hProcess || ::WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        ::GetExitCodeProcess(m_info.hProcess, exitCode);
    return true;
}

void Process::Kill()
{
    if (Running()) {
        ::TerminateProcess(m_info.hProcess, 255);
        ::WaitForSingleObject(m_info.hProcess, 5000);
    }
    if (m_info.hProcess)
        ::CloseHandle(m_info.hProcess);
    if (m_info.hThread)
        ::CloseHandle(m_info.hThread);
    m_info = PROCESS_INFORMATION();
}

HWND Process::WaitMainWindow(DWORD timeoutMs) const
{
    HWND found = WaitFor([&] { return FindMainWindow(m_info.dwProcessId); }, timeoutMs);
    return found && Sync(found, timeoutMs) ? found : nullptr;
}

std::string WindowText(HWND window)
{
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(window)) + 1, '\0');
    int copied = ::GetWindowTextA(window, &text[0], static_cast<int>(text.size()));
    return text.substr(0, copied > 0 ? static_cast<size_t>(copied) : 0);
}

std::string ClassName(HWND window)
{
    char name[256] = "";
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly)
{
    struct State { DWORD processId; bool visibleOnly; std::vector<HWND> windows; } state = {processId, visibleOnly, {}};
    ::EnumWindows([](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<State*>(param);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == s->processId && (!s->visibleOnly || ::IsWindowVisible(window)))
            s->windows.push_back(window);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&state));
    return state.windows;
}

HWND FindMainWindow(DWORD processId)
{
    return FindTopLevel(processId, [](HWND window) {
        HWND list = ::GetDlgItem(window, kProgramListId);
        return WindowText(window).compare(0, 7, "Cobweld") == 0 && list && ClassName(list) == "ListBox";
    });
}

HWND WaitDialog(DWORD processId, const std::string& caption, DWORD timeoutMs)
{
    return WaitFor([&] {
        return FindTopLevel(processId, [&](HWND window) { return WindowText(window) == caption; });
    }, timeoutMs);
}

HWND FindMessageBox(DWORD processId)
{
    return FindTopLevel(processId, [](HWND window) {
        HWND icon = ::GetDlgItem(window, kMessageBoxIconId);
        return icon && ClassName(icon) == "Static";
    });
}

HWND WaitMessageBox(DWORD processId, DWORD timeoutMs)
{
    HWND found = WaitFor([&] { return FindMessageBox(processId); }, timeoutMs);
    if (found)
        Sync(found, timeoutMs);
    return found;
}

MessageBoxContent ReadMessageBox(HWND box)
{
    MessageBoxContent content;
    content.caption = WindowText(box);
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        std::string cls = ClassName(child);
        LONG style = ::GetWindowLongA(child, GWL_STYLE);
        if (cls == "Static" && (style & SS_TYPEMASK) != SS_ICON && content.text.empty()) {
            content.text = WindowText(child);
        } else if (cls == "Button" && (style & WS_VISIBLE)) {
            content.buttons.push_back(::GetDlgCtrlID(child));
            if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                content.defaultButton = content.buttons.back();
        }
    }
    // The picture is read from the screen: give the box a moment to paint.
    HWND icon = ::GetDlgItem(box, kMessageBoxIconId);
    WaitUntil([&] { return (content.icon = RecogniseIcon(icon)) != -1; }, 2000);
    return content;
}

void SelectRow(HWND dialog, int listId, int row)
{
    HWND list = ::GetDlgItem(dialog, listId);
    ::SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(listId, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void PressKey(HWND window, UINT vk)
{
    HWND target = FocusOf(window) ? FocusOf(window) : window;
    UINT scan = ::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    ::PostMessageA(target, WM_KEYDOWN, vk, 1 | (scan << 16));
    ::PostMessageA(target, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u | (scan << 16)));
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info = {sizeof info};
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

std::vector<MenuItem> SystemMenuItems(HWND window)
{
    std::vector<MenuItem> items;
    HMENU menu = ::GetSystemMenu(window, FALSE);
    for (int i = 0, count = menu ? ::GetMenuItemCount(menu) : 0; i < count; ++i) {
        char text[256] = "";
        MENUITEMINFOA info = {sizeof info, MIIM_ID | MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU};
        info.dwTypeData = text;
        info.cch = sizeof text;
        if (!::GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info))
            continue;
        bool separator = (info.fType & MFT_SEPARATOR) != 0;
        items.push_back({info.hSubMenu || separator ? static_cast<UINT>(-1) : info.wID, text, separator});
    }
    return items;
}

} // namespace driver
