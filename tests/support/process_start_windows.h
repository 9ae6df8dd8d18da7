#pragma once
// Starting a helper program from a test on Windows.

#include <windows.h>

namespace zendrel::testsupport {

// Wine now and then refuses to start a process with ERROR_INTERNAL_ERROR: the new process dies in Wine's own start-up,
// before a line of it runs (about one start in a few hundred here). Windows does not answer CreateProcess so; a test
// tries again rather than count Wine's hiccup against the program it starts. `create` calls CreateProcess.
template <typename Create>
bool CreateProcessWithRetry(Create create) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (create()) return true;
        if (GetLastError() != ERROR_INTERNAL_ERROR) return false;
        Sleep(100);
    }
    return false;
}

}  // namespace zendrel::testsupport
