// The program that bench_responsiveness has the launcher start: it writes
// its process id into its settings key, says it has started and waits
// until the benchmark tells it to end (ten minutes at most). Started by
// anyone else it ends at once.
#include <windows.h>
#include <string>
#include "bench/responsiveness/Shared.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    HANDLE started = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, kStartedEvent);
    HANDLE end = ::OpenEventA(SYNCHRONIZE, FALSE, kEndEvent);
    if (!started || !end)
        return 1;
    HKEY settings;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, (std::string("Software\\") + kSettingsName).c_str(), 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, &settings, nullptr) == ERROR_SUCCESS) {
        DWORD pid = ::GetCurrentProcessId();
        ::RegSetValueExA(settings, kLaunchedValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&pid), sizeof pid);
        ::RegCloseKey(settings);
    }
    ::SetEvent(started);
    ::WaitForSingleObject(end, 10 * 60 * 1000);
    ::CloseHandle(started);
    ::CloseHandle(end);
    return 0;
}
