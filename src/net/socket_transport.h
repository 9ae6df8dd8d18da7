#pragma once
// The system's TCP transport: POSIX sockets on Linux, Winsock on Windows.

#include <memory>

#include "net/transport.h"

namespace zendrel {

std::unique_ptr<Transport> CreateSocketTransport();

}  // namespace zendrel
