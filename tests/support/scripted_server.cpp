#include "scripted_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace zendrel::testsupport {

class ScriptedTransport final : public Transport {
public:
    explicit ScriptedTransport(ScriptedServer& server) : server_(server) {}

    OpenResult Open(const std::string& host, std::int32_t port, std::int32_t) override {
        server_.host_ = host;
        server_.port_ = port;
        if (server_.whileConnecting) server_.whileConnecting();
        if (server_.interrupted_) return OpenResult::kInterrupted;
        if (server_.refuseConnections_) return OpenResult::kFailed;
        server_.opened_ = server_.open_ = true;
        server_.broken_ = false;
        return OpenResult::kConnected;
    }

    WaitResult WaitReadable(std::int32_t timeoutMs) override {
        for (;;) {
            if (server_.interrupted_) return WaitResult::kInterrupted;
            if (!server_.open_) return WaitResult::kClosed;
            if (server_.broken_ && server_.steps_.empty()) return WaitResult::kClosed;
            if (server_.steps_.empty() || server_.steps_.front().kind == ScriptedServer::Kind::kExpect) {
                // The server waits for the client, so nothing can arrive.
                server_.clock_->Advance(timeoutMs);
                return WaitResult::kTimedOut;
            }
            ScriptedServer::Step& step = server_.steps_.front();
            if (step.kind == ScriptedServer::Kind::kAction) {
                auto action = std::move(step.action);
                server_.PopStep();
                action();
                continue;
            }
            const std::int64_t waitNeeded = server_.FrontReadyAt() - server_.clock_->NowMs();
            if (waitNeeded > timeoutMs) {
                server_.clock_->Advance(timeoutMs);
                return WaitResult::kTimedOut;
            }
            if (waitNeeded > 0) server_.clock_->Advance(waitNeeded);
            if (step.kind == ScriptedServer::Kind::kClose) {
                server_.PopStep();
                server_.broken_ = true;
                return WaitResult::kClosed;
            }
            return WaitResult::kReadable;
        }
    }

    std::ptrdiff_t Read(char* buffer, std::size_t size) override {
        if (server_.steps_.empty()) return 0;
        ScriptedServer::Step& step = server_.steps_.front();
        if (server_.FrontReadyAt() > server_.clock_->NowMs()) return 0;
        if (step.kind == ScriptedServer::Kind::kBreak) {
            server_.PopStep();
            server_.broken_ = true;
            return -1;
        }
        if (step.kind != ScriptedServer::Kind::kReply) return 0;
        const std::size_t count = std::min(size, step.bytes.size());
        std::memcpy(buffer, step.bytes.data(), count);
        step.bytes.erase(0, count);
        if (step.bytes.empty()) server_.PopStep();
        return static_cast<std::ptrdiff_t>(count);
    }

    bool Send(std::string_view bytes) override {
        server_.sent_.emplace_back(bytes);
        if (!server_.open_ || server_.broken_) return false;
        // Several commands may go out in one send: each must be the next one the script expects.
        bool delivered = true;
        while (!bytes.empty()) {
            const std::size_t lineEnd = bytes.find("\r\n");
            const std::string_view command = bytes.substr(0, lineEnd == std::string_view::npos ? bytes.size()
                                                                                               : lineEnd + 2);
            bytes.remove_prefix(command.size());
            if (server_.steps_.empty() || server_.steps_.front().kind != ScriptedServer::Kind::kExpect) {
                ADD_FAILURE() << "unexpected command '" << std::string(command) << "' while the script is at "
                              << (server_.steps_.empty() ? "its end"
                                                         : ScriptedServer::KindName(server_.steps_.front().kind));
                continue;
            }
            const ScriptedServer::Step step = std::move(server_.steps_.front());
            server_.PopStep();
            EXPECT_EQ(std::string(command), step.bytes) << "the client sent a different command";
            delivered = delivered && !step.sendFails;
        }
        return delivered;
    }

    TlsResult StartTls(const std::string&, std::int32_t) override {
        return server_.acceptTls ? TlsResult::kSecured : TlsResult::kUnavailable;
    }
    void Close() override { server_.open_ = false; }
    void Interrupt() override { server_.interrupted_ = true; }
    void ClearInterrupt() override { server_.interrupted_ = false; }

private:
    ScriptedServer& server_;
};

void ScriptedServer::PushStep(Step step) {
    if (steps_.empty()) frontSince_ = clock_->NowMs();
    steps_.push_back(std::move(step));
}

void ScriptedServer::PopStep() {
    steps_.pop_front();
    frontSince_ = clock_->NowMs();
}

std::unique_ptr<Transport> ScriptedServer::MakeTransport() { return std::make_unique<ScriptedTransport>(*this); }

ScriptedServer& ScriptedServer::Reply(std::string bytes, std::int64_t pauseMs) {
    PushStep({Kind::kReply, std::move(bytes), pauseMs, false, {}});
    return *this;
}

ScriptedServer& ScriptedServer::ReplyInPieces(const std::string& bytes, std::size_t pieceSize, std::int64_t pauseMs) {
    for (std::size_t at = 0; at < bytes.size(); at += pieceSize) Reply(bytes.substr(at, pieceSize), pauseMs);
    return *this;
}

ScriptedServer& ScriptedServer::Expect(std::string command, bool sendFails) {
    PushStep({Kind::kExpect, std::move(command), 0, sendFails, {}});
    return *this;
}

ScriptedServer& ScriptedServer::Close(std::int64_t pauseMs) {
    PushStep({Kind::kClose, {}, pauseMs, false, {}});
    return *this;
}

ScriptedServer& ScriptedServer::BreakConnection(std::int64_t pauseMs) {
    PushStep({Kind::kBreak, {}, pauseMs, false, {}});
    return *this;
}

ScriptedServer& ScriptedServer::Then(std::function<void()> action) {
    PushStep({Kind::kAction, {}, 0, false, std::move(action)});
    return *this;
}

ScriptedServer& ScriptedServer::UserPassLogin(const std::string& capaReply, const std::string& statReply,
                                              const std::string& listReply) {
    Reply("+OK POP3 ready\r\n")
        .Expect("CAPA\r\n")
        .Reply(capaReply)
        .Expect("USER anna\r\n")
        .Reply("+OK\r\n")
        .Expect("PASS secret\r\n")
        .Reply("+OK logged in\r\n")
        .Expect("STAT\r\n")
        .Reply(statReply);
    // One command at a time, the message sizes are asked for right after the login.
    if (capaReply.find("PIPELINING") == std::string::npos && statReply.starts_with("+OK")) Sizes(listReply);
    return *this;
}

ScriptedServer& ScriptedServer::Quit() { return Expect("QUIT\r\n").Reply("+OK bye\r\n"); }

void ScriptedServer::VerifyAllPlayed() const {
    for (const Step& step : steps_) {
        ADD_FAILURE() << "script step never reached: " << KindName(step.kind) << " '" << step.bytes << "'";
    }
}

const char* ScriptedServer::KindName(Kind kind) {
    switch (kind) {
        case Kind::kReply: return "a reply";
        case Kind::kExpect: return "an expected command";
        case Kind::kClose: return "a close";
        case Kind::kBreak: return "a broken connection";
        case Kind::kAction: return "an action";
    }
    return "?";
}

}  // namespace zendrel::testsupport
