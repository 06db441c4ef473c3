// The state one wait for a launched program shares between the interface
// thread and the wait thread.
//
// The context is reference-counted: the main window holds one reference while
// the wait is its own, the wait thread holds the other until it returns. So
// neither the thread object's lifetime nor the window's decides whether this
// memory is valid, and an abandoned thread that wakes up after the window
// and the list are gone finds its context intact.
//
// The lock guards m_nState and m_bAbandoned only; nobody holds it across a
// wait, a registry copy or a window call that could block.
#pragma once
#include <windows.h>

struct CWaitContext {
    enum State {
        WAITING,   // the wait thread is blocked on the program
        ENDED,     // the program has ended; the capture waits for the go-ahead
        CAPTURING, // the interface thread has let the capture begin
        CAPTURED   // the capture is done; the window steps may run
    };

    // Takes over the process handle. registry and saveSlot name what the
    // capture copies: the settings key below HKCU\Software and the snapshot
    // slot; they are copied, so the entry itself may go away.
    CWaitContext(HANDLE process, HWND window, const char* registry, int saveSlot);

    CWaitContext(const CWaitContext&) = delete;
    CWaitContext& operator=(const CWaitContext&) = delete;

    void AddRef();
    // Deletes the context with the last reference.
    void Release();

    // Under the lock: the state, and whether the wait was abandoned.
    State GetState();
    BOOL IsAbandoned();
    // Marks the wait abandoned and wakes the thread if it waits for the
    // go-ahead. From here on the thread neither captures nor posts.
    void Abandon();
    // ENDED -> CAPTURING, and wakes the thread. FALSE when the context was in
    // another state or abandoned.
    BOOL AllowCapture();

    HANDLE m_hProcess;    // closed by the wait thread once the program ended
    HWND m_hWnd;          // the main window; only posted to, never touched
    HANDLE m_hGoAhead;    // manual-reset: set by AllowCapture and Abandon
    char m_szRegistry[260];
    int m_nSaveSlot;

    CRITICAL_SECTION m_lock;
    State m_nState;
    BOOL m_bAbandoned;

private:
    ~CWaitContext();
    volatile LONG m_nRefs;
};

// The wait thread's function; its parameter is the context, whose second
// reference the thread takes over.
UINT WaitThreadProc(LPVOID param);
