#pragma once
// TLS on top of another transport: the platform's TLS library encrypts and decrypts, the wrapped transport carries
// the bytes, so its time-outs and Interrupt() work inside the handshake and inside records as on a plain connection.

#include <memory>

#include "net/transport.h"

namespace zendrel {

// `inner` carries the connection; until StartTls() succeeds the result passes everything through to it unchanged.
// OpenSSL does the TLS on Linux, the system's Schannel on Windows.
std::unique_ptr<Transport> WrapWithTls(std::unique_ptr<Transport> inner);

}  // namespace zendrel
