#pragma once
// A mail session that passes every call on to the real one and notes the calls that change something or cost a
// download, so a test can tell how often a mail was retrieved or deleted and in which order.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "forwarding_session.h"
#include "pop3/mail_session.h"

namespace zendrel::testsupport {

// The noted calls of every session made for it, in order: "RETR n", "DELE n", "QUIT". (What a run saved is in the
// save folder and its log.) Shared by the sessions of several runs; safe to read while a run goes on.
class CallJournal {
public:
    void Note(std::string call) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(std::move(call));
    }
    std::vector<std::string> Calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

class RecordingSession final : public ForwardingSession {
public:
    RecordingSession(std::unique_ptr<MailSession> real, std::shared_ptr<CallJournal> journal)
        : ForwardingSession(std::move(real)), journal_(std::move(journal)) {}

    std::int32_t Logout() override {
        journal_->Note("QUIT");
        return ForwardingSession::Logout();
    }
    std::int32_t LoadMessage(std::int32_t n) override {
        journal_->Note("RETR " + std::to_string(n));
        return ForwardingSession::LoadMessage(n);
    }
    std::int32_t DeleteMessage(std::int32_t n) override {
        journal_->Note("DELE " + std::to_string(n));
        return ForwardingSession::DeleteMessage(n);
    }

private:
    std::shared_ptr<CallJournal> journal_;
};

}  // namespace zendrel::testsupport
