// A started program together with every process it starts in turn, held in
// a job object: many programs start through a small starter that runs the
// real program and ends at once, and such a program is over only when the
// last of its processes is.
//
// A process started with CREATE_BREAKAWAY_FROM_JOB leaves the group (its job
// allows that) and is not waited for. The job never ends a process: what
// still runs when the group is destroyed runs on.
//
// Where no job can be had (creating it fails, or this program itself runs in
// a job that takes no nested one, as before Windows 8), the group is the
// first process alone.
#pragma once
#include <windows.h>
#include <string>
#include "framework/Scoped.h"

class CProcessGroup {
public:
    CProcessGroup() = default;
    CProcessGroup(const CProcessGroup&) = delete;
    CProcessGroup& operator=(const CProcessGroup&) = delete;

    // Starts the program file program, which is the application name: no
    // search path, no arguments. An empty directory is this program's own.
    // False, with the system's error as the last error, when it did not start.
    bool Start(const std::string& program, const std::string& directory, const STARTUPINFOA& startup);
    // Blocks, so for a worker thread, and only once: true when the group's
    // last process has ended, false when stop was signalled first. What ended
    // before the call is seen all the same.
    bool WaitEnd(HANDLE stop);
    // Without waiting, from any thread: the group's last process has ended.
    // This may be seen a moment before WaitEnd returns.
    bool Ended() const;

private:
    CHandle m_hJob; // none when the group is the first process alone
    CHandle m_hPort; // the job's messages
    CHandle m_hProcess;
};
