#pragma once
// The few network operations the POP3 conversation needs, so that it runs over any transport: the platform's
// sockets in the program, a scripted server in the tests.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zendrel {

// What a wait for incoming data ended with.
enum class WaitResult {
    kReadable,     // data is waiting to be read
    kTimedOut,     // nothing arrived within the given time
    kClosed,       // the peer closed the connection (or there is none)
    kFailed,       // the connection broke
    kInterrupted,  // Interrupt() was called
};

// What an attempt to connect ended with.
enum class [[nodiscard]] OpenResult {
    kConnected,
    kFailed,       // the name did not resolve, or no address accepted the connection in time
    kInterrupted,  // Interrupt() was called while the name was looked up or the connection was made
};

// Why a connection could not be made, in the system's terms, for the user's log.
enum class ConnectFailure {
    kNone,          // connected, or nothing known
    kRefused,       // the host answered that nothing listens on the port
    kNoSuchHost,    // the name does not resolve
    kTimedOut,      // no answer within the time-out
    kTlsHandshake,  // connected, but the TLS handshake failed (a port that speaks no TLS, say)
    kOther,
};

// What securing a connection with TLS ended with.
enum class [[nodiscard]] TlsResult {
    kSecured,
    kUnavailable,          // this transport cannot speak TLS
    kFailed,               // the handshake broke, or the peer does not speak TLS
    kTimedOut,             // the handshake did not finish within the time-out
    kInterrupted,          // Interrupt() was called during the handshake
    kCertificateRefused,   // the server's certificate is not trusted for the host: see CertificateProblem()
};

class Transport {
public:
    virtual ~Transport() = default;

    // Connects to host:port, closing any earlier connection first. Gives up after timeoutMs per address tried, or
    // at once when Interrupt() is called, also while the name is being looked up. The time-out also bounds waits for
    // room to send.
    virtual OpenResult Open(const std::string& host, std::int32_t port, std::int32_t timeoutMs) = 0;
    // Why the last Open() that ended with kFailed failed.
    virtual ConnectFailure OpenFailure() const { return ConnectFailure::kOther; }
    // Waits at most timeoutMs (0 = just look) for data. Returns at once when Interrupt() is called.
    virtual WaitResult WaitReadable(std::int32_t timeoutMs) = 0;
    // Reads what has arrived, up to size bytes, without waiting: the count, 0 when nothing was there, -1 on error.
    virtual std::ptrdiff_t Read(char* buffer, std::size_t size) = 0;
    // Sends all the bytes, waiting for room as long as the time-out allows. False when not all of them could be sent
    // (an error, the time-out, or Interrupt()).
    virtual bool Send(std::string_view bytes) = 0;
    virtual void Close() = 0;

    // Makes the open connection a TLS connection to `host` (the name its certificate must carry): TLS 1.2 or newer,
    // the certificate checked against the system's trusted authorities. Afterwards the other operations carry the
    // plain text inside TLS; the connection stays secured until Close() or the next Open().
    virtual TlsResult StartTls(const std::string& host, std::int32_t timeoutMs) {
        static_cast<void>(host);
        static_cast<void>(timeoutMs);
        return TlsResult::kUnavailable;
    }
    // Why the last StartTls() refused the certificate, in a few words ("expired", "wrong host name", ...).
    virtual std::string CertificateProblem() const { return {}; }

    // The only operations that may be called from another thread: Interrupt() makes the wait in progress, or the
    // next one, end with kInterrupted until ClearInterrupt() is called.
    virtual void Interrupt() = 0;
    virtual void ClearInterrupt() = 0;
};

}  // namespace zendrel
