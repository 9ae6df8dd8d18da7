#pragma once
// An in-memory POP3 server for unit tests: it expects the client's commands in order, plays scripted replies
// (whole or in pieces, with pauses measured on a fake clock), and records what the client sent.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fake_clock.h"
#include "net/transport.h"

namespace zendrel::testsupport {

class ScriptedServer {
public:
    explicit ScriptedServer(std::shared_ptr<FakeClock> clock) : clock_(std::move(clock)) {}

    // The transport the session under test uses; it reads this server's script.
    std::unique_ptr<Transport> MakeTransport();

    // --- the script, in order ---
    // One piece of reply text, arriving after the client has waited pauseMs for it.
    ScriptedServer& Reply(std::string bytes, std::int64_t pauseMs = 0);
    // The text cut into pieces of pieceSize bytes, each arriving after pauseMs.
    ScriptedServer& ReplyInPieces(const std::string& bytes, std::size_t pieceSize, std::int64_t pauseMs = 0);
    // The client must send exactly this command next, alone or with others in one send (pipelined); sendFails makes
    // that send report an error.
    ScriptedServer& Expect(std::string command, bool sendFails = false);
    // The server closes the connection (after pauseMs); later sends fail.
    ScriptedServer& Close(std::int64_t pauseMs = 0);
    // The next read fails as on a broken connection; later sends fail too.
    ScriptedServer& BreakConnection(std::int64_t pauseMs = 0);
    // Runs when the client reaches this point while waiting for data (for example to cancel the read).
    ScriptedServer& Then(std::function<void()> action);

    // The answer to LIST that gives no sizes: every message reply then has the limit of a message of unknown size.
    static constexpr const char* kNoSizesListed = "+OK\r\n.\r\n";
    // A login by USER and PASS with the given capability and STAT replies, ending in the STAT reply and, without
    // PIPELINING, in the LIST that follows it.
    ScriptedServer& UserPassLogin(const std::string& capaReply = "+OK\r\nTOP\r\nUSER\r\n.\r\n",
                                  const std::string& statReply = "+OK 2 640\r\n",
                                  const std::string& listReply = kNoSizesListed);
    // LIST, answered with `listReply`.
    ScriptedServer& Sizes(const std::string& listReply = kNoSizesListed) {
        return Expect("LIST\r\n").Reply(listReply);
    }
    // QUIT answered positively.
    ScriptedServer& Quit();

    void RefuseConnections() { refuseConnections_ = true; }
    // The client's TLS handshake succeeds at once, and the script goes on as the text inside TLS.
    bool acceptTls = false;
    // Runs while the client connects (for example to cancel the connect).
    std::function<void()> whileConnecting;

    // --- what happened ---
    const std::vector<std::string>& sent() const { return sent_; }
    bool opened() const { return opened_; }
    bool connectionOpen() const { return open_; }
    const std::string& host() const { return host_; }
    std::int32_t port() const { return port_; }
    // Reports steps that were never reached as test failures.
    void VerifyAllPlayed() const;

private:
    friend class ScriptedTransport;
    enum class Kind { kReply, kExpect, kClose, kBreak, kAction };
    struct Step {
        Kind kind;
        std::string bytes;
        std::int64_t pauseMs = 0;
        bool sendFails = false;
        std::function<void()> action;
    };
    static const char* KindName(Kind kind);
    void PushStep(Step step);
    void PopStep();
    // A step's pause counts from the moment it became the next one to play.
    std::int64_t FrontReadyAt() const { return frontSince_ + steps_.front().pauseMs; }

    std::shared_ptr<FakeClock> clock_;
    std::deque<Step> steps_;
    std::int64_t frontSince_ = 0;
    std::vector<std::string> sent_;
    bool refuseConnections_ = false;
    bool opened_ = false;
    bool open_ = false;
    bool broken_ = false;  // closed or failed by the server's side
    bool interrupted_ = false;
    std::string host_;
    std::int32_t port_ = 0;
};

}  // namespace zendrel::testsupport
