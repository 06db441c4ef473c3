// A top-level window of another program, for the single-instance tests.
//
//   foreign_window.exe <reply> <title>
//
// reply: the hexadecimal answer to the launcher's probe message (0x464), or
// "hang" to stop answering messages once the probe arrives. The title may
// contain blanks (the rest of the command line). The window is shown and
// stays until the process is ended. Message 0x8001 answers how many probes
// arrived so far.
#include <windows.h>
#include <cstdlib>
#include <cstring>

namespace {
const UINT kProbe = WM_USER + 100;
const UINT kProbeCount = WM_APP + 1;

LRESULT g_reply = 0;
bool g_hang = false;
LONG g_probes = 0;

LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case kProbe:
        ++g_probes;
        if (g_hang) {
            for (;;)
                ::Sleep(1000);
        }
        return g_reply;
    case kProbeCount:
        return g_probes;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(window, msg, wParam, lParam);
}

// The words of the command line after the program's own name.
const char* SkipWord(const char* p)
{
    if (*p == '"') {
        ++p;
        while (*p && *p != '"')
            p = ::CharNextA(p);
        if (*p)
            ++p;
    } else {
        while (*p && *p != ' ')
            p = ::CharNextA(p);
    }
    while (*p == ' ')
        ++p;
    return p;
}
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const char* args = SkipWord(::GetCommandLineA());
    const char* title = SkipWord(args);
    size_t replyLength = static_cast<size_t>(title - args);
    char reply[32] = "";
    std::strncpy(reply, args, replyLength < sizeof reply ? replyLength : sizeof reply - 1);
    for (char* end = reply + std::strlen(reply); end > reply && end[-1] == ' ';)
        *--end = '\0';
    if (std::strcmp(reply, "hang") == 0)
        g_hang = true;
    else
        g_reply = static_cast<LRESULT>(std::strtoul(reply, nullptr, 16));

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = "CobweldForeignWindow";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    ::RegisterClassA(&wc);
    HWND window = ::CreateWindowExA(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW, 10, 10, 200, 80,
                                    nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ::ShowWindow(window, SW_SHOWNOACTIVATE);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}
