// Brings up a fresh Wine session's long-lived processes (services, the
// desktop with its Program Manager service) before the tests start, so that
// they do not start inside a test and hold on to its output.
#include <windows.h>
#include <ddeml.h>

namespace {
HDDEDATA CALLBACK Callback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return nullptr;
}
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    HWND window = CreateWindowExA(0, "STATIC", "warmup", WS_POPUP, 0, 0, 1, 1,
                                  nullptr, nullptr, instance, nullptr);
    DWORD dde = 0;
    int connected = 0;
    if (DdeInitializeA(&dde, Callback, APPCMD_CLIENTONLY, 0) == DMLERR_NO_ERROR) {
        HSZ service = DdeCreateStringHandleA(dde, "PROGMAN", CP_WINANSI);
        for (int attempt = 0; attempt < 50 && !connected; ++attempt) {
            HCONV conv = DdeConnect(dde, service, service, nullptr);
            if (conv) {
                DdeDisconnect(conv);
                connected = 1;
            } else {
                Sleep(100);
            }
        }
        DdeFreeStringHandle(dde, service);
        DdeUninitialize(dde);
    }
    if (window)
        DestroyWindow(window);
    return connected ? 0 : 1;
}
