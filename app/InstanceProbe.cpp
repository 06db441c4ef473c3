#include "app/InstanceProbe.h"
#include <cstring>
#include "ui/LauncherDlg.h"

namespace {

const char kTitlePrefix[] = "Cobweld";
const size_t kTitlePrefixLength = sizeof kTitlePrefix - 1;

// Compared byte for byte, case-sensitive: only the launcher's own titles
// begin with exactly these seven bytes.
bool TitleMatches(HWND window)
{
    char title[kTitlePrefixLength + 1] = "";
    int length = ::GetWindowTextA(window, title, sizeof title);
    return length >= static_cast<int>(kTitlePrefixLength)
        && std::memcmp(title, kTitlePrefix, kTitlePrefixLength) == 0;
}

bool AnswersProbe(HWND window)
{
    DWORD_PTR reply = 0;
    // A window that does not answer in time is taken as not answering.
    if (!::SendMessageTimeoutA(window, WM_INSTANCE_PROBE, static_cast<WPARAM>(-1), static_cast<LPARAM>(-1),
                               SMTO_ABORTIFHUNG | SMTO_BLOCK, INSTANCE_PROBE_TIMEOUT_MS, &reply))
        return false;
    // Only the low 32 bits carry the reply: a 32-bit launcher's answer may
    // arrive sign-extended.
    return static_cast<DWORD>(reply) == INSTANCE_PROBE_REPLY;
}

} // namespace

bool ClaimSingleInstance(CHandle& claim)
{
    claim.Reset(::CreateMutexW(nullptr, FALSE, L"Local\\Varnolite.Cobweld.Launcher"));
    // Without a mutex at all only the probe can tell.
    return !claim.IsValid() || ::GetLastError() != ERROR_ALREADY_EXISTS;
}

BOOL FindRunningInstance()
{
    for (HWND window = ::GetTopWindow(::GetDesktopWindow()); window;
         window = ::GetWindow(window, GW_HWNDNEXT)) {
        if (TitleMatches(window) && AnswersProbe(window))
            return TRUE;
    }
    return FALSE;
}
