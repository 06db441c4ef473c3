#include "framework/ResponsiveWait.h"

bool WaitResponsive(HANDLE handle, DWORD milliseconds)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        DWORD elapsed = ::GetTickCount() - start;
        DWORD left = milliseconds == INFINITE ? INFINITE : elapsed >= milliseconds ? 0 : milliseconds - elapsed;
        DWORD rc = ::MsgWaitForMultipleObjectsEx(handle ? 1 : 0, &handle, left, QS_SENDMESSAGE | QS_PAINT,
                                                 MWMO_INPUTAVAILABLE);
        if (handle && rc == WAIT_OBJECT_0)
            return true;
        if (rc != WAIT_OBJECT_0 + (handle ? 1 : 0))
            return false;
        // Peeking answers what was sent to this thread.
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
            ::DispatchMessageW(&msg);
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
