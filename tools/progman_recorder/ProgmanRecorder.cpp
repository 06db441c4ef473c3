// A stand-in for Program Manager: a DDE server for the service "PROGMAN"
// (topic "PROGMAN") that records every execute it receives.
//
//   progman_recorder <record file> <event prefix> [refuse=all|<i>,<j>...] [silent]
//                    [service=<name>]
//
// Each execute becomes one line of the record file: its bytes as it arrived
// (terminating NUL included) in hexadecimal, written before it is answered.
// Commands are counted from 0 over the recorder's life; those named by
// refuse= are answered "not processed", the others accepted. With silent,
// no execute is ever answered (the first one blocks the conversation).
// The recorder sets the event <prefix>.ready once it serves and ends when the
// event <prefix>.quit is set.
//
// Wine's desktop serves "PROGMAN" too. A DDE connect broadcasts to the
// top-level windows from the top of the z-order and keeps the first server
// that answers; a new top-level window starts at the top, so the service
// registered last - this recorder - answers first.
#include <windows.h>
#include <ddeml.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

DWORD g_instance = 0;
HSZ g_topic = nullptr;
HANDLE g_record = INVALID_HANDLE_VALUE;
bool g_refuseAll = false;
bool g_silent = false;
std::set<int> g_refused;
int g_next = 0;

void Record(const BYTE* data, DWORD size)
{
    static const char digits[] = "0123456789abcdef";
    std::string line;
    for (DWORD i = 0; i < size; ++i) {
        line += digits[data[i] >> 4];
        line += digits[data[i] & 15];
    }
    line += "\r\n";
    DWORD written = 0;
    ::WriteFile(g_record, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

HDDEDATA OnExecute(HDDEDATA data)
{
    DWORD size = ::DdeGetData(data, nullptr, 0, 0);
    std::string bytes(size, '\0');
    if (size)
        ::DdeGetData(data, reinterpret_cast<BYTE*>(&bytes[0]), size, 0);
    Record(reinterpret_cast<const BYTE*>(bytes.data()), size);
    int index = g_next++;
    if (g_silent)
        return CBR_BLOCK;
    if (g_refuseAll || g_refused.count(index))
        return reinterpret_cast<HDDEDATA>(DDE_FNOTPROCESSED);
    return reinterpret_cast<HDDEDATA>(DDE_FACK);
}

HDDEDATA CALLBACK Callback(UINT type, UINT, HCONV, HSZ hsz1, HSZ, HDDEDATA data, ULONG_PTR, ULONG_PTR)
{
    switch (type) {
    case XTYP_CONNECT:
        return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(
            ::DdeCmpStringHandles(hsz1, g_topic) == 0));
    case XTYP_EXECUTE:
        return OnExecute(data);
    default:
        return nullptr;
    }
}

void ParseRefused(const char* list)
{
    if (std::strcmp(list, "all") == 0) {
        g_refuseAll = true;
        return;
    }
    for (const char* p = list; *p;) {
        char* end = nullptr;
        long value = std::strtol(p, &end, 10);
        if (end == p)
            break;
        g_refused.insert(static_cast<int>(value));
        p = *end == ',' ? end + 1 : end;
    }
}

}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = __argc;
    char** argv = __argv;
    if (argc < 3) {
        std::fprintf(stderr, "usage: progman_recorder <record file> <event prefix> "
                             "[refuse=all|i,j...] [silent] [service=<name>]\n");
        return 2;
    }
    std::string service = "PROGMAN";
    for (int i = 3; i < argc; ++i) {
        if (std::strncmp(argv[i], "refuse=", 7) == 0)
            ParseRefused(argv[i] + 7);
        else if (std::strcmp(argv[i], "silent") == 0)
            g_silent = true;
        else if (std::strncmp(argv[i], "service=", 8) == 0)
            service = argv[i] + 8;
    }
    std::string prefix = argv[2];
    HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, (prefix + ".ready").c_str());
    HANDLE quit = ::CreateEventA(nullptr, TRUE, FALSE, (prefix + ".quit").c_str());
    g_record = ::CreateFileA(argv[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!ready || !quit || g_record == INVALID_HANDLE_VALUE)
        return 3;
    if (::DdeInitializeA(&g_instance, Callback, CBF_FAIL_ADVISES | CBF_FAIL_POKES | CBF_FAIL_REQUESTS, 0)
        != DMLERR_NO_ERROR)
        return 4;
    HSZ hszService = ::DdeCreateStringHandleA(g_instance, service.c_str(), CP_WINANSI);
    g_topic = ::DdeCreateStringHandleA(g_instance, "PROGMAN", CP_WINANSI);
    if (!::DdeNameService(g_instance, hszService, nullptr, DNS_REGISTER))
        return 5;
    ::SetEvent(ready);

    for (;;) {
        DWORD wait = ::MsgWaitForMultipleObjects(1, &quit, FALSE, INFINITE, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0)
            break;
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    ::DdeNameService(g_instance, hszService, nullptr, DNS_UNREGISTER);
    ::DdeFreeStringHandle(g_instance, hszService);
    ::DdeFreeStringHandle(g_instance, g_topic);
    ::DdeUninitialize(g_instance);
    ::CloseHandle(g_record);
    return 0;
}
