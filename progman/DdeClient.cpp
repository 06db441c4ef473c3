#include "progman/DdeClient.h"
#include <cstring>
#include "framework/Scoped.h"

namespace {

const DWORD kExecuteTimeout = 10000;

DWORD g_dwDdeInstance = 0;
HCONV g_hConversation = nullptr;
bool g_bLastRefused = false;
// A conversation was opened in the current instance.
bool g_bConnectedBefore = false;

bool TryConnect(const char* service, const char* topic)
{
    CDdeString hszService(g_dwDdeInstance, service), hszTopic(g_dwDdeInstance, topic);
    if (hszService && hszTopic)
        g_hConversation = ::DdeConnect(g_dwDdeInstance, hszService, hszTopic, nullptr);
    if (g_hConversation)
        g_bConnectedBefore = true;
    return g_hConversation != nullptr;
}

}

void DdeClientInit()
{
    ::DdeInitializeA(&g_dwDdeInstance, DdeClientCallback, APPCMD_CLIENTONLY, 0);
}

BOOL DdeClientConnect(const char* service, const char* topic)
{
    if (g_hConversation) {
        ::DdeDisconnect(g_hConversation);
        g_hConversation = nullptr;
    }
    if (TryConnect(service, topic))
        return TRUE;
    // A server that went away without ending its conversation leaves it in
    // the instance, and Wine then refuses every new conversation with the
    // same service and topic: start the instance afresh and try once more.
    if (g_bConnectedBefore) {
        g_bConnectedBefore = false;
        ::DdeUninitialize(g_dwDdeInstance);
        g_dwDdeInstance = 0;
        DdeClientInit();
        return TryConnect(service, topic);
    }
    return FALSE;
}

BOOL DdeClientExecute(const char* command)
{
    g_bLastRefused = false;
    if (!g_hConversation)
        return FALSE;
    DWORD length = static_cast<DWORD>(std::strlen(command)) + 1;
    HDDEDATA result = ::DdeClientTransaction(
        reinterpret_cast<LPBYTE>(const_cast<char*>(command)), length, g_hConversation,
        nullptr, CF_TEXT, XTYP_EXECUTE, kExecuteTimeout, nullptr);
    if (result == reinterpret_cast<HDDEDATA>(1))
        return TRUE;
    g_bLastRefused = ::DdeGetLastError(g_dwDdeInstance) == DMLERR_NOTPROCESSED;
    return FALSE;
}

bool DdeClientLastRefused()
{
    return g_bLastRefused;
}

bool DdeClientIsConnected()
{
    return g_hConversation != nullptr;
}

HDDEDATA CALLBACK DdeClientCallback(UINT type, UINT, HCONV conv, HSZ, HSZ, HDDEDATA,
                                    ULONG_PTR, ULONG_PTR)
{
    // A late disconnect of an earlier conversation must not forget the current one.
    if (type == XTYP_DISCONNECT && conv == g_hConversation)
        g_hConversation = nullptr;
    return nullptr;
}
