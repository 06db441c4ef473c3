// Windows, message boxes and input of another process, for the end-to-end
// tests.
#include "tests/driver/Driver.h"
#include <climits>
#include <cstdlib>

namespace driver {

namespace {

// Wine's and Windows' message boxes keep their icon in a static with this id
// (stc1 of dlgs.h); no dialog of the launcher uses it.
const int kMessageBoxIconId = 0x0440;
const int kProgramListId = 1001;

struct EnumState {
    DWORD processId;
    bool visibleOnly;
    std::vector<HWND>* windows;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param)
{
    auto* state = reinterpret_cast<EnumState*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == state->processId && (!state->visibleOnly || ::IsWindowVisible(window)))
        state->windows->push_back(window);
    return TRUE;
}

bool IsDialogWindow(HWND window)
{
    return ClassName(window) == "#32770";
}

bool IsMessageBox(HWND window)
{
    if (!IsDialogWindow(window))
        return false;
    HWND icon = ::GetDlgItem(window, kMessageBoxIconId);
    return icon && ClassName(icon) == "Static";
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

// A 32-bit top-down DIB with its pixels.
class Pixels {
public:
    Pixels(int width, int height) : m_width(width), m_height(height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        m_dc = ::CreateCompatibleDC(nullptr);
        m_bitmap = ::CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0);
        if (m_bitmap)
            m_old = ::SelectObject(m_dc, m_bitmap);
    }
    ~Pixels()
    {
        if (m_old)
            ::SelectObject(m_dc, m_old);
        if (m_bitmap)
            ::DeleteObject(m_bitmap);
        ::DeleteDC(m_dc);
    }
    Pixels(const Pixels&) = delete;
    Pixels& operator=(const Pixels&) = delete;

    bool Ok() const { return m_bits != nullptr; }
    HDC Dc() const { return m_dc; }
    DWORD At(int x, int y) const { return m_bits[y * m_width + x] & 0xFFFFFF; }

    // Sum of the channel differences over the common area.
    long long Distance(const Pixels& other, int offsetX) const
    {
        long long total = 0;
        for (int y = 0; y < other.m_height && y < m_height; ++y) {
            for (int x = 0; x < other.m_width && x + offsetX < m_width; ++x) {
                DWORD a = At(x + offsetX, y), b = other.At(x, y);
                for (int shift = 0; shift < 24; shift += 8)
                    total += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
            }
        }
        return total;
    }

private:
    int m_width, m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    DWORD* m_bits = nullptr;
};

// Icon handles cannot be compared across processes, so the shown picture is
// compared with the system's own stock icons, drawn here on the same
// background.
int RecogniseIcon(HWND iconStatic)
{
    if (!iconStatic || !::IsWindowVisible(iconStatic) || !::SendMessageA(iconStatic, STM_GETICON, 0, 0))
        return 0;
    RECT rect;
    ::GetWindowRect(iconStatic, &rect);
    int width = ::GetSystemMetrics(SM_CXICON), height = ::GetSystemMetrics(SM_CYICON);
    // One column left of the static: the dialog's background.
    Pixels screen(width + 1, height);
    if (!screen.Ok())
        return -1;
    HDC screenDc = ::GetDC(nullptr);
    ::BitBlt(screen.Dc(), 0, 0, width + 1, height, screenDc, rect.left - 1, rect.top, SRCCOPY);
    ::ReleaseDC(nullptr, screenDc);
    DWORD background = screen.At(0, 0);
    COLORREF backgroundRef = RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF);

    static const struct { LPCSTR resource; int flag; } kStock[] = {
        {IDI_HAND, MB_ICONHAND}, {IDI_QUESTION, MB_ICONQUESTION},
        {IDI_EXCLAMATION, MB_ICONEXCLAMATION}, {IDI_ASTERISK, MB_ICONASTERISK},
    };
    int best = -1;
    long long bestDistance = LLONG_MAX;
    for (const auto& stock : kStock) {
        Pixels drawn(width, height);
        if (!drawn.Ok())
            continue;
        HBRUSH brush = ::CreateSolidBrush(backgroundRef);
        RECT all = {0, 0, width, height};
        ::FillRect(drawn.Dc(), &all, brush);
        ::DeleteObject(brush);
        ::DrawIconEx(drawn.Dc(), 0, 0, ::LoadIconA(nullptr, stock.resource), width, height, 0, nullptr, DI_NORMAL);
        ::GdiFlush();
        long long distance = screen.Distance(drawn, 1);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = stock.flag;
        }
    }
    // Allow small differences of drawing, not another picture.
    if (bestDistance > static_cast<long long>(width) * height * 3 * 16)
        return -1;
    return best;
}

} // namespace

std::string WindowText(HWND window)
{
    int length = ::GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int copied = ::GetWindowTextA(window, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

std::string ClassName(HWND window)
{
    char name[256] = "";
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly)
{
    std::vector<HWND> windows;
    EnumState state = {processId, visibleOnly, &windows};
    ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&state));
    return windows;
}

HWND FindMainWindow(DWORD processId)
{
    for (HWND window : TopLevelWindows(processId)) {
        if (IsDialogWindow(window) && WindowText(window).compare(0, 7, "Cobweld") == 0) {
            HWND list = ::GetDlgItem(window, kProgramListId);
            if (list && ClassName(list) == "ListBox")
                return window;
        }
    }
    return nullptr;
}

HWND WaitDialog(DWORD processId, const std::string& caption, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND window : TopLevelWindows(processId)) {
            if (IsDialogWindow(window) && WindowText(window) == caption) {
                found = window;
                return true;
            }
        }
        return false;
    }, timeoutMs);
    return found;
}

HWND FindMessageBox(DWORD processId)
{
    for (HWND window : TopLevelWindows(processId)) {
        if (IsMessageBox(window))
            return window;
    }
    return nullptr;
}

HWND WaitMessageBox(DWORD processId, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil([&] {
        found = FindMessageBox(processId);
        return found != nullptr;
    }, timeoutMs);
    if (found)
        Sync(found, timeoutMs);
    return found;
}

bool NoMessageBoxWithin(DWORD processId, DWORD ms)
{
    return !WaitUntil([&] { return FindMessageBox(processId) != nullptr; }, ms);
}

MessageBoxContent ReadMessageBox(HWND box)
{
    MessageBoxContent content;
    content.caption = WindowText(box);
    for (HWND child : Children(box)) {
        std::string cls = ClassName(child);
        LONG style = ::GetWindowLongA(child, GWL_STYLE);
        if (cls == "Static" && (style & SS_TYPEMASK) != SS_ICON && content.text.empty()) {
            content.text = WindowText(child);
        } else if (cls == "Button" && (style & WS_VISIBLE)) {
            int id = ::GetDlgCtrlID(child);
            content.buttons.push_back(id);
            if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                content.defaultButton = id;
        }
    }
    // The picture is read from the screen: give the box a moment to paint.
    HWND icon = ::GetDlgItem(box, kMessageBoxIconId);
    WaitUntil([&] {
        content.icon = RecogniseIcon(icon);
        return content.icon != -1;
    }, 2000);
    return content;
}

bool AnswerMessageBox(HWND box, int buttonId, DWORD timeoutMs)
{
    ClickButton(box, buttonId);
    return WaitUntil([&] { return !::IsWindow(box); }, timeoutMs);
}

void ClickButton(HWND dialog, int id)
{
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

bool PressButton(HWND dialog, int id, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)),
                                 SMTO_NORMAL, timeoutMs, &result) != 0;
}

void PostSysCommand(HWND window, UINT command)
{
    ::PostMessageA(window, WM_SYSCOMMAND, command, 0);
}

void SelectRow(HWND dialog, int listId, int row)
{
    HWND list = ::GetDlgItem(dialog, listId);
    ::SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(listId, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void DoubleClickRow(HWND dialog, int listId, int row)
{
    SelectRow(dialog, listId, row);
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(listId, LBN_DBLCLK),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, listId)));
}

void PressKey(HWND window, UINT vk)
{
    HWND target = FocusOf(window);
    if (!target)
        target = window;
    UINT scan = ::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    ::PostMessageA(target, WM_KEYDOWN, vk, 1 | (scan << 16));
    ::PostMessageA(target, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u | (scan << 16)));
}

int ListCount(HWND dialog, int listId)
{
    return static_cast<int>(::SendDlgItemMessageA(dialog, listId, LB_GETCOUNT, 0, 0));
}

int ListSelection(HWND dialog, int listId)
{
    return static_cast<int>(::SendDlgItemMessageA(dialog, listId, LB_GETCURSEL, 0, 0));
}

LRESULT ListItemData(HWND dialog, int listId, int row)
{
    return ::SendDlgItemMessageA(dialog, listId, LB_GETITEMDATA, static_cast<WPARAM>(row), 0);
}

bool IsControlEnabled(HWND dialog, int id)
{
    HWND control = ::GetDlgItem(dialog, id);
    return control && ::IsWindowEnabled(control);
}

bool IsMinimized(HWND window)
{
    return ::IsIconic(window) != FALSE;
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

HWND ActiveOf(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndActive;
}

bool Sync(HWND window, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

std::vector<MenuItem> SystemMenuItems(HWND window)
{
    std::vector<MenuItem> items;
    HMENU menu = ::GetSystemMenu(window, FALSE);
    int count = menu ? ::GetMenuItemCount(menu) : -1;
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
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
