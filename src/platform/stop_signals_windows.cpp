#include "platform/stop_signals.h"

#include <windows.h>

#include <atomic>

namespace zendrel {
namespace {

std::atomic<bool> stopReceived{false};

// Windows calls this on a thread of its own; Ctrl+C, Ctrl+Break and closing the console take the part that SIGINT
// and SIGTERM have on POSIX. A user's logoff is no stop: only services receive it, and a service goes on polling
// for everybody when one user leaves.
BOOL WINAPI OnConsoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            stopReceived.store(true);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool CatchStopSignals() { return SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0; }

void RaiseStopSignal() { stopReceived.store(true); }

bool StopSignalReceived() { return stopReceived.load(); }

}  // namespace zendrel
