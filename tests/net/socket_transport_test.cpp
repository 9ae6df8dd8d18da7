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

#include "loopback_pop3_server.h"
#include "net/socket_transport.h"

namespace zendrel::testing {
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

TEST(SocketTransportSend, BytesThatCannotAllGoOutAreAFailureNotAPartialSuccess) {
    const std::unique_ptr<Transport> transport = CreateSocketTransport();  // first: on Windows it starts Winsock
    // A peer that accepts the connection and never reads: the send buffers fill, and the rest cannot go out.
    const NativeSocket listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(listener, kNoSocket);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);

    ASSERT_EQ(transport->Open("127.0.0.1", ntohs(address.sin_port), 200), OpenResult::kConnected);
    EXPECT_TRUE(transport->Send("NOOP\r\n"));
    EXPECT_FALSE(transport->Send(std::string(64 << 20, 'x')));
    CloseSocket(listener);
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
}  // namespace zendrel::testing
