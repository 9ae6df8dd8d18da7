#pragma once

namespace zendrel::testsupport {

// A TCP port on 127.0.0.1 that was free a moment ago (the system hands out a port for port 0; it is released again
// before the caller binds it, so another process may take it in between). 0 when none could be had.
int FindFreeLoopbackPort();

}  // namespace zendrel::testsupport
