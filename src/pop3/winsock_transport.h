#pragma once
// The transport over Winsock TCP sockets.

#include <atomic>
#include <cstdint>
#include <memory>

#include "pop3/transport.h"
#include "pop3/unique_socket.h"
#include "pop3/unique_wsa_event.h"

namespace zendrel {

// The socket reports its network events to an event object (WSAEventSelect, which also makes it non-blocking); every
// wait is for that event and a cancel event together, so Interrupt() from another thread ends a wait at once.
class WinsockTransport final : public Transport {
public:
    WinsockTransport();
    ~WinsockTransport() override = default;
    WinsockTransport(const WinsockTransport&) = delete;
    WinsockTransport& operator=(const WinsockTransport&) = delete;

    OpenResult Open(const std::string& host, std::int32_t port, std::int32_t timeoutMs) override;
    ConnectFailure OpenFailure() const override { return openFailure_; }
    WaitResult WaitReadable(std::int32_t timeoutMs) override;
    std::ptrdiff_t Read(char* buffer, std::size_t size) override;
    bool Send(std::string_view bytes) override;
    void Close() override;
    void Interrupt() override;
    void ClearInterrupt() override;

private:
    enum class EventWait { kSignalled, kTimedOut, kInterrupted, kFailed };
    // Waits until the socket's event is signalled, the time runs out or an interrupt arrives; the network events that
    // were recorded are then in `events`.
    EventWait WaitForSocket(SOCKET socket, std::int32_t timeoutMs, WSANETWORKEVENTS& events);
    OpenResult ConnectTo(const void* address, int addressLength, int family, std::int32_t timeoutMs);
    // A connect that failed with Winsock's `error`: kFailed, its reason kept for OpenFailure().
    OpenResult Refusal(int error);
    // getaddrinfo on a thread of its own, so that a stop does not wait for a slow name server.
    struct Lookup;
    std::shared_ptr<Lookup> StartLookup(const std::string& host, std::int32_t port);

    const bool winsockStarted_;
    UniqueWsaEvent socketEvent_;
    UniqueWsaEvent cancelEvent_;
    UniqueSocket socket_;
    std::atomic<bool> interrupted_{false};
    std::int32_t ioTimeoutMs_ = 10000;
    ConnectFailure openFailure_ = ConnectFailure::kNone;
};

}  // namespace zendrel
