// The system's socket transport over real TCP connections on the loopback interface.

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "loopback_pop3_server.h"
#include "net/socket_transport.h"

namespace zendrel::testsupport {
namespace {

constexpr std::int32_t kTimeoutMs = 10000;

#if defined(_WIN32)
using NativeSocket = SOCKET;
constexpr NativeSocket kNoSocket = INVALID_SOCKET;
void CloseSocket(NativeSocket socket) { ::closesocket(socket); }
#else
using NativeSocket = int;
constexpr NativeSocket kNoSocket = -1;
void CloseSocket(NativeSocket socket) { ::close(socket); }
#endif

// A socket on 127.0.0.1 that listens and never accepts: the system completes `backlog` connections on its own (on
// Linux one more), and leaves the next requests unanswered.
class SilentListener {
public:
    explicit SilentListener(int backlog) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (socket_ == kNoSocket || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(socket_, backlog) != 0 ||
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
    }
    ~SilentListener() {
        if (socket_ != kNoSocket) CloseSocket(socket_);
    }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    std::int32_t port() const { return port_; }

private:
    NativeSocket socket_;
    std::int32_t port_ = 0;
};

TEST(SocketTransportSend, BytesThatCannotAllGoOutAreAFailureNotAPartialSuccess) {
    const std::unique_ptr<Transport> transport = CreateSocketTransport();  // first: on Windows it starts Winsock
    // The peer never reads: the send buffers fill, and the rest cannot go out.
    const SilentListener listener(1);
    ASSERT_NE(listener.port(), 0);
    ASSERT_EQ(transport->Open("127.0.0.1", listener.port(), 200), OpenResult::kConnected);
    EXPECT_TRUE(transport->Send("NOOP\r\n"));
    EXPECT_FALSE(transport->Send(std::string(64 << 20, 'x')));
}

TEST(SocketTransportOpen, SaysWhyNoConnectionCameAbout) {
    const std::unique_ptr<Transport> transport = CreateSocketTransport();
    EXPECT_EQ(transport->Open("127.0.0.1", UnusedLoopbackPort(), kTimeoutMs), OpenResult::kFailed);
    EXPECT_EQ(transport->OpenFailure(), ConnectFailure::kRefused);
    // The top-level domain "invalid" never resolves.
    EXPECT_EQ(transport->Open("no-such-host.invalid", 110, kTimeoutMs), OpenResult::kFailed);
    EXPECT_EQ(transport->OpenFailure(), ConnectFailure::kNoSuchHost);

    const SilentListener listener(0);
    ASSERT_NE(listener.port(), 0);
    std::vector<std::unique_ptr<Transport>> queued;
    OpenResult opened = OpenResult::kConnected;
    while (opened == OpenResult::kConnected && queued.size() < 8) {
        queued.push_back(CreateSocketTransport());
        opened = queued.back()->Open("127.0.0.1", listener.port(), 300);
    }
    ASSERT_EQ(opened, OpenResult::kFailed) << "after " << queued.size() << " attempts";
    EXPECT_EQ(queued.back()->OpenFailure(), ConnectFailure::kTimedOut);
}

// A stop must end the wait it meets, and be gone once cleared: on Windows it is an event object that stays signalled
// until reset.
TEST(SocketTransportInterrupt, EndsConnectsAndWaitsUntilItIsCleared) {
    LoopbackPop3Server server("anna", "secret", {"Subject: hello\r\n\r\nbody\r\n"});
    ASSERT_TRUE(server.listening());
    const std::unique_ptr<Transport> transport = CreateSocketTransport();
    transport->Interrupt();
    EXPECT_EQ(transport->Open("127.0.0.1", server.port(), kTimeoutMs), OpenResult::kInterrupted);
    transport->ClearInterrupt();

    ASSERT_EQ(transport->Open("127.0.0.1", server.port(), kTimeoutMs), OpenResult::kConnected);
    std::string greeting;
    while (greeting.find("\r\n") == std::string::npos) {
        ASSERT_EQ(transport->WaitReadable(kTimeoutMs), WaitResult::kReadable);
        char buffer[256];
        const std::ptrdiff_t count = transport->Read(buffer, sizeof buffer);
        ASSERT_GT(count, 0);
        greeting.append(buffer, static_cast<std::size_t>(count));
    }
    EXPECT_EQ(greeting, "+OK loopback POP3 ready\r\n");
    EXPECT_EQ(transport->WaitReadable(0), WaitResult::kTimedOut);

    transport->Interrupt();
    EXPECT_EQ(transport->WaitReadable(kTimeoutMs), WaitResult::kInterrupted);
    EXPECT_EQ(transport->WaitReadable(kTimeoutMs), WaitResult::kInterrupted) << "until it is cleared";
    transport->ClearInterrupt();
    EXPECT_EQ(transport->WaitReadable(0), WaitResult::kTimedOut);
    EXPECT_TRUE(transport->Send("QUIT\r\n"));
    ASSERT_EQ(transport->WaitReadable(kTimeoutMs), WaitResult::kReadable);
}

}  // namespace
}  // namespace zendrel::testsupport
