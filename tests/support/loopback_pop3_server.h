#pragma once
// A tiny POP3 responder on 127.0.0.1 for tests over real sockets: one connection at a time, on its own thread,
// answering greeting, CAPA, USER, PASS, STAT, LIST, TOP, RETR, DELE and QUIT.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zendrel::testsupport {

class LoopbackPop3Server {
public:
    // messages: the mailbox, each message with CR LF line ends and without dot-stuffing.
    LoopbackPop3Server(std::string user, std::string password, std::vector<std::string> messages);
    ~LoopbackPop3Server();
    LoopbackPop3Server(const LoopbackPop3Server&) = delete;
    LoopbackPop3Server& operator=(const LoopbackPop3Server&) = delete;

    bool listening() const { return listenFd_ >= 0; }
    std::int32_t port() const { return port_; }

    // The next RETR of message n sends the first `cutAt` bytes of its reply, then nothing more until the client goes
    // away. Later connections are served in full.
    void StallOnRetr(int n, std::size_t cutAt = 40) {
        cutAt_ = cutAt;
        stalledMessage_ = n;
    }
    // The next RETR of message n sends the first `cutAt` bytes of its reply, then closes the connection (with a reset
    // when `reset`). Later connections are served in full.
    void CloseOnRetr(int n, std::size_t cutAt = 40, bool reset = false) {
        cutAt_ = cutAt;
        resetOnClose_ = reset;
        closedMessage_ = n;
    }
    // Every RETR (`verb` "RETR") or header request (`verb` "TOP") of message n is answered with lines as fast as the
    // client takes them: without end until the client goes away, or, with `endAfter`, ended after that many bytes.
    void LongReplyTo(std::string verb, int n, std::size_t endAfter = kNoEnd) {
        std::lock_guard lock(mutex_);
        longReplyVerb_ = std::move(verb);
        longReplyMessage_ = n;
        longReplyEnd_ = endAfter;
    }
    static constexpr std::size_t kNoEnd = static_cast<std::size_t>(-1);
    // LIST is refused: the client learns no message sizes.
    void RefuseList() { refuseList_ = true; }
    // Every connection is accepted and then met with silence, not even a greeting, until the client goes away.
    void SilentBeforeGreeting() { silentBeforeGreeting_ = true; }
    // Waits until the server has fallen silent on a client (before its greeting, or inside the stalled reply); false
    // when that does not happen within `limit`.
    bool WaitUntilStalled(std::chrono::milliseconds limit);
    // Waits until the client of the last connection has gone away; false when it stays beyond `limit`.
    bool WaitUntilClientLeft(std::chrono::milliseconds limit);

    // The command lines received so far, without their CR LF.
    std::vector<std::string> commands() const;

private:
    void Serve();
    void ServeConnection(int fd);
    void MarkStalled();
    // Answers one command line; false when the conversation is over.
    bool Answer(int fd, const std::string& line);
    bool SendAll(int fd, const std::string& bytes);
    // The status line and then lines of text, until the client goes away or `endAfter` bytes have gone out.
    bool SendLongReply(int fd, std::size_t endAfter);
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
    std::atomic<std::size_t> cutAt_{40};
    std::atomic<bool> resetOnClose_{false};
    std::atomic<bool> silentBeforeGreeting_{false};
    std::atomic<bool> refuseList_{false};
    std::string longReplyVerb_;  // guarded by mutex_, as the two below
    int longReplyMessage_ = 0;
    std::size_t longReplyEnd_ = kNoEnd;

    mutable std::mutex mutex_;
    std::condition_variable stalled_;
    bool stallStarted_ = false;
    bool clientLeft_ = false;
    std::vector<std::string> commands_;
    std::thread thread_;
};

// A loopback port on which nobody listens (it was free a moment ago).
std::int32_t UnusedLoopbackPort();

}  // namespace zendrel::testsupport
