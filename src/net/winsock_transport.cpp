#include "net/winsock_transport.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "net/socket_transport.h"

namespace zendrel {
namespace {

constexpr long kAllEvents = FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE;

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A connect that Winsock refused with `error`.
ConnectOutcome Refusal(int error) {
    return {OpenResult::kFailed, error == WSAECONNREFUSED ? ConnectFailure::kRefused
                                 : error == WSAETIMEDOUT  ? ConnectFailure::kTimedOut
                                                          : ConnectFailure::kOther};
}

}  // namespace

WinsockTransport::WinsockTransport() : winsockStarted_(StartWinsock()) {}

OpenResult WinsockTransport::Open(const std::string& host, std::int32_t port, std::int32_t timeoutMs) {
    Close();
    ioTimeoutMs_ = timeoutMs;
    openFailure_ = ConnectFailure::kOther;
    if (!winsockStarted_ || !socketEvent_.valid() || !cancelEvent_.valid()) return OpenResult::kFailed;
    if (interrupted_.load()) return OpenResult::kInterrupted;
    const ConnectOutcome outcome = ConnectToHost(*this, host, port, timeoutMs);
    lookupDone_.reset();
    openFailure_ = outcome.failure;
    return outcome.result;
}

std::function<void()> WinsockTransport::PrepareLookupSignal() {
    auto done = std::make_shared<UniqueWsaEvent>(WSACreateEvent());
    if (!done->valid()) return {};
    lookupDone_ = done;
    return [done] { WSASetEvent(done->get()); };
}

LookupWait WinsockTransport::WaitForLookup() {
    const WSAEVENT watched[2] = {cancelEvent_.get(), lookupDone_->get()};
    const DWORD waited = WSAWaitForMultipleEvents(2, watched, FALSE, WSA_INFINITE, FALSE);
    if (waited == WSA_WAIT_EVENT_0 || interrupted_.load()) return LookupWait::kInterrupted;
    return waited == WSA_WAIT_EVENT_0 + 1 ? LookupWait::kDone : LookupWait::kFailed;
}

ConnectOutcome WinsockTransport::ConnectTo(const addrinfo& address, std::int32_t timeoutMs) {
    UniqueSocket socket(::socket(address.ai_family, SOCK_STREAM, IPPROTO_TCP));
    if (!socket.valid()) return {};
    // Events recorded for the previous connection's socket must not wake a wait for this one.
    WSAResetEvent(socketEvent_.get());
    if (WSAEventSelect(socket.get(), socketEvent_.get(), kAllEvents) != 0) return {};
    if (::connect(socket.get(), address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) return Refusal(error);
        const std::int64_t deadline = NowMs() + std::max<std::int32_t>(timeoutMs, 0);
        for (;;) {
            WSANETWORKEVENTS events{};
            const auto remaining = static_cast<std::int32_t>(std::max<std::int64_t>(deadline - NowMs(), 0));
            switch (WaitForSocket(socket.get(), remaining, events)) {
                case EventWait::kSignalled:
                    break;
                case EventWait::kInterrupted:
                    return {OpenResult::kInterrupted, ConnectFailure::kOther};
                case EventWait::kTimedOut:
                    return Refusal(WSAETIMEDOUT);
                case EventWait::kFailed:
                    return Refusal(WSAGetLastError());
            }
            if (events.lNetworkEvents & FD_CONNECT) {
                if (events.iErrorCode[FD_CONNECT_BIT] != 0) return Refusal(events.iErrorCode[FD_CONNECT_BIT]);
                break;
            }
        }
    }
    // Every command goes out in one piece and waits for its answer; there is nothing to coalesce.
    const BOOL noDelay = TRUE;
    setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    socket_ = std::move(socket);
    return {OpenResult::kConnected, ConnectFailure::kNone};
}

WinsockTransport::EventWait WinsockTransport::WaitForSocket(SOCKET socket, std::int32_t timeoutMs,
                                                           WSANETWORKEVENTS& events) {
    if (interrupted_.load()) return EventWait::kInterrupted;
    const WSAEVENT watched[2] = {cancelEvent_.get(), socketEvent_.get()};
    const DWORD waited =
        WSAWaitForMultipleEvents(2, watched, FALSE, static_cast<DWORD>(std::max<std::int32_t>(timeoutMs, 0)), FALSE);
    if (waited == WSA_WAIT_EVENT_0 || interrupted_.load()) return EventWait::kInterrupted;
    if (waited == WSA_WAIT_TIMEOUT) return EventWait::kTimedOut;
    if (waited != WSA_WAIT_EVENT_0 + 1) return EventWait::kFailed;
    // Reads and resets the recorded events together with the event object.
    if (WSAEnumNetworkEvents(socket, socketEvent_.get(), &events) != 0) return EventWait::kFailed;
    return EventWait::kSignalled;
}

WaitResult WinsockTransport::WaitReadable(std::int32_t timeoutMs) {
    if (!socket_.valid()) return WaitResult::kClosed;
    const std::int64_t deadline = NowMs() + std::max<std::int32_t>(timeoutMs, 0);
    for (;;) {
        if (interrupted_.load()) return WaitResult::kInterrupted;
        // The socket's events only tell of changes, and a send's wait may have taken a read event already: one peeked
        // byte says whether data, the end or an error is there now. A recv also rearms the read event, so data that
        // arrives after it still signals the wait below.
        char probe;
        const int peeked = recv(socket_.get(), &probe, 1, MSG_PEEK);
        if (peeked > 0) return WaitResult::kReadable;
        if (peeked == 0) return WaitResult::kClosed;
        if (WSAGetLastError() != WSAEWOULDBLOCK) return WaitResult::kFailed;

        const auto remaining = static_cast<std::int32_t>(std::max<std::int64_t>(deadline - NowMs(), 0));
        WSANETWORKEVENTS events{};
        switch (WaitForSocket(socket_.get(), remaining, events)) {
            case EventWait::kInterrupted:
                return WaitResult::kInterrupted;
            case EventWait::kTimedOut:
                return WaitResult::kTimedOut;
            case EventWait::kFailed:
                return WaitResult::kFailed;
            case EventWait::kSignalled:
                break;
        }
    }
}

std::ptrdiff_t WinsockTransport::Read(char* buffer, std::size_t size) {
    if (!socket_.valid()) return -1;
    const int count = recv(socket_.get(), buffer, static_cast<int>(std::min<std::size_t>(size, 1 << 30)), 0);
    if (count >= 0) return count;
    return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

bool WinsockTransport::Send(std::string_view bytes) {
    if (!socket_.valid()) return false;
    // A full send buffer drains as the server reads; one that does not within the time-out is a dead peer.
    const std::int64_t deadline = NowMs() + std::max<std::int32_t>(ioTimeoutMs_, 0);
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 30));
        const int count = send(socket_.get(), bytes.data(), chunk, 0);
        if (count >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(count));
            continue;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
        // A refused send arms the write event for when there is room again.
        const auto remaining = static_cast<std::int32_t>(std::max<std::int64_t>(deadline - NowMs(), 0));
        WSANETWORKEVENTS events{};
        if (WaitForSocket(socket_.get(), remaining, events) != EventWait::kSignalled) return false;
    }
    return true;
}

void WinsockTransport::Close() { socket_.reset(); }

void WinsockTransport::Interrupt() {
    interrupted_.store(true);
    if (cancelEvent_.valid()) WSASetEvent(cancelEvent_.get());
}

void WinsockTransport::ClearInterrupt() {
    interrupted_.store(false);
    if (cancelEvent_.valid()) WSAResetEvent(cancelEvent_.get());
}

std::unique_ptr<Transport> CreateSocketTransport() { return std::make_unique<WinsockTransport>(); }

}  // namespace zendrel
