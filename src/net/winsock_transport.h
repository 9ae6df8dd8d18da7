#pragma once
// The transport over Winsock TCP sockets.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "net/host_connect.h"
#include "net/transport.h"
#include "net/winsock_handles.h"

namespace zendrel {

// The socket reports its network events to an event object (WSAEventSelect, which also makes it non-blocking); every
// wait is for that event and a cancel event together, so Interrupt() from another thread ends a wait at once.
class WinsockTransport final : public Transport, private ConnectSteps {
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

    std::function<void()> PrepareLookupSignal() override;
    LookupWait WaitForLookup() override;
    ConnectOutcome ConnectTo(const addrinfo& address, std::int32_t timeoutMs) override;

    const bool winsockStarted_;
    UniqueWsaEvent socketEvent_{WSACreateEvent()};
    UniqueWsaEvent cancelEvent_{WSACreateEvent()};
    UniqueSocket socket_;
    // Set by the name lookup's thread when it is done; shared with it, for it may end after this transport.
    std::shared_ptr<UniqueWsaEvent> lookupDone_;
    std::atomic<bool> interrupted_{false};
    std::int32_t ioTimeoutMs_ = 10000;
    ConnectFailure openFailure_ = ConnectFailure::kNone;
};

}  // namespace zendrel
