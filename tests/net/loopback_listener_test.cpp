#include "net/loopback_listener.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "common/steady_time.h"
#include "net/socket_transport.h"

namespace zendrel {
namespace {

constexpr std::int64_t kLongWaitMs = 30000;

// A client of the listener, on the program's own sockets.
std::unique_ptr<Transport> Connect(const LoopbackListener& listener, const char* host = "127.0.0.1") {
    std::unique_ptr<Transport> client = CreateSocketTransport();
    if (client->Open(host, listener.Port(), 5000) != OpenResult::kConnected) return nullptr;
    return client;
}

std::string ReadToEnd(Transport& client) {
    std::string answer;
    char buffer[1024];
    while (client.WaitReadable(5000) == WaitResult::kReadable) {
        const std::ptrdiff_t count = client.Read(buffer, sizeof buffer);
        if (count <= 0) break;
        answer.append(buffer, static_cast<std::size_t>(count));
    }
    return answer;
}

TEST(LoopbackListener, IdleAndClosedClientsDoNotHoldUpTheRequestThatComes) {
    const std::unique_ptr<LoopbackListener> listener = OpenLoopbackListener();
    ASSERT_TRUE(listener);
    const std::unique_ptr<Transport> idle = Connect(*listener);
    const std::unique_ptr<Transport> closed = Connect(*listener);
    const std::unique_ptr<Transport> browser = Connect(*listener);
    ASSERT_TRUE(idle && closed && browser);
    ASSERT_TRUE(closed->Send("GET /?code=half"));
    closed->Close();
    ASSERT_TRUE(browser->Send("GET /?code=c&state=s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));

    // Less than an idle client is given for its head: a listener that waited for that one first would not get here.
    const ListenedRequest request = listener->Next(SteadyMilliseconds() + kRequestHeadTimeoutMs / 2);
    EXPECT_EQ(request.outcome, ListenOutcome::kRequest);
    EXPECT_EQ(request.requestLine, "GET /?code=c&state=s HTTP/1.1");
    listener->Answer(200, "<p>done</p>");
    const std::string answer = ReadToEnd(*browser);
    EXPECT_EQ(answer.substr(0, answer.find("\r\n")), "HTTP/1.1 200 OK");
    EXPECT_EQ(answer.substr(answer.find("\r\n\r\n") + 4), "<p>done</p>");
}

TEST(LoopbackListener, AWaitEndsAtItsDeadlineOrAtACancelFromAnotherThreadAndAnOversizedHeadIsNoRequest) {
    const std::unique_ptr<LoopbackListener> listener = OpenLoopbackListener();
    ASSERT_TRUE(listener);
    const std::unique_ptr<Transport> oversized = Connect(*listener);
    ASSERT_TRUE(oversized);
    ASSERT_TRUE(oversized->Send("GET /?code=" + std::string(kLongestRequestHead, 'c') + " HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(listener->Next(SteadyMilliseconds() + 500).outcome, ListenOutcome::kTimedOut);
    std::thread canceller([&] { listener->Cancel(); });
    EXPECT_EQ(listener->Next(SteadyMilliseconds() + kLongWaitMs).outcome, ListenOutcome::kCancelled);
    canceller.join();
}

}  // namespace
}  // namespace zendrel
