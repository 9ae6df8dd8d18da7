#pragma once
// A tiny POP3 responder on 127.0.0.1 for tests over real sockets: one connection at a time, on its own thread,
// answering greeting, CAPA, USER, PASS, STAT, TOP, RETR and QUIT.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zendrel::testing {

class LoopbackPop3Server {
public:
    // messages: the mailbox, each message with CR LF line ends and without dot-stuffing.
    LoopbackPop3Server(std::string user, std::string password, std::vector<std::string> messages);
    ~LoopbackPop3Server();
    LoopbackPop3Server(const LoopbackPop3Server&) = delete;
    LoopbackPop3Server& operator=(const LoopbackPop3Server&) = delete;

    bool listening() const { return listenFd_ >= 0; }
    std::int32_t port() const { return port_; }

    // RETR of message n sends the status line and a few lines, then nothing more until the client goes away.
    void StallOnRetr(int n) { stalledMessage_ = n; }
    // RETR of message n sends the status line and a few lines, then closes the connection.
    void CloseOnRetr(int n) { closedMessage_ = n; }
    // Waits until the stalled reply has been started; false when that does not happen within `limit`.
    bool WaitUntilStalled(std::chrono::milliseconds limit);

    // The command lines received so far, without their CR LF.
    std::vector<std::string> commands() const;

private:
    void Serve();
    void ServeConnection(int fd);
    // Answers one command line; false when the conversation is over.
    bool Answer(int fd, const std::string& line);
    bool SendAll(int fd, const std::string& bytes);
    // Blocks until the peer closes, says QUIT (which is answered) or the server stops.
    void WaitForPeerToLeave(int fd);

    std::string user_;
    std::string password_;
    std::vector<std::string> messages_;
    int listenFd_ = -1;
    std::int32_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> stalledMessage_{0};
    std::atomic<int> closedMessage_{0};

    mutable std::mutex mutex_;
    std::condition_variable stalled_;
    bool stallStarted_ = false;
    std::vector<std::string> commands_;
    std::thread thread_;
};

// A loopback port on which nobody listens (it was free a moment ago).
std::int32_t UnusedLoopbackPort();

}  // namespace zendrel::testing
