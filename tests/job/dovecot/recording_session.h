#pragma once
// A mail session that passes every call on to the real one and notes the calls that change something or cost a
// download, so a test can tell how often a mail was retrieved or deleted and in which order.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "pop3/mail_session.h"

namespace zendrel::testsupport {

// The noted calls of every session made for it, in order: "RETR n", "SAVE n.a" / "SAVE n.a failed", "DELE n",
// "QUIT". Shared by the sessions of several runs; safe to read while a run goes on.
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

class RecordingSession final : public MailSession {
public:
    RecordingSession(std::unique_ptr<MailSession> real, std::shared_ptr<CallJournal> journal)
        : real_(std::move(real)), journal_(std::move(journal)) {}

    std::int32_t GetErrorCode() const override { return real_->GetErrorCode(); }
    std::string GetLastReply() const override { return real_->GetLastReply(); }
    std::int32_t Login(const std::string& host, std::int32_t port, const std::string& userName,
                       const std::string& password, std::int32_t timeoutMs) override {
        return real_->Login(host, port, userName, password, timeoutMs);
    }
    std::int32_t Logout() override {
        journal_->Note("QUIT");
        return real_->Logout();
    }
    std::int32_t GetMessageCount() override { return real_->GetMessageCount(); }
    std::string LoadHeader(std::int32_t n) override { return real_->LoadHeader(n); }
    std::string GetHeaderField(const std::string& header, const std::string& name) override {
        return real_->GetHeaderField(header, name);
    }
    std::int32_t LoadMessage(std::int32_t n) override {
        journal_->Note("RETR " + std::to_string(n));
        loaded_ = n;
        return real_->LoadMessage(n);
    }
    std::int32_t CountAttachments() override { return real_->CountAttachments(); }
    std::string GetAttachmentName(std::int32_t n) override { return real_->GetAttachmentName(n); }
    std::int32_t SaveAttachment(std::int32_t n, const std::string& folder, const std::string& fileName) override {
        const std::int32_t result = real_->SaveAttachment(n, folder, fileName);
        journal_->Note("SAVE " + std::to_string(loaded_) + "." + std::to_string(n) + (result != 0 ? "" : " failed"));
        return result;
    }
    std::int32_t CountBodyParts() override { return real_->CountBodyParts(); }
    std::string GetBodyPartHeader(std::int32_t n) override { return real_->GetBodyPartHeader(n); }
    std::string GetBodyPartText(std::int32_t n) override { return real_->GetBodyPartText(n); }
    std::int32_t SaveBodyPart(std::int32_t n, const std::string& folder, const std::string& fileName) override {
        return real_->SaveBodyPart(n, folder, fileName);
    }
    std::string ConvertBodyCharset(const std::string& header, const std::string& text) override {
        return real_->ConvertBodyCharset(header, text);
    }
    std::int32_t DeleteMessage(std::int32_t n) override {
        journal_->Note("DELE " + std::to_string(n));
        return real_->DeleteMessage(n);
    }
    std::int32_t ResetSession() override { return real_->ResetSession(); }
    std::int32_t CancelReceive() override { return real_->CancelReceive(); }

private:
    std::unique_ptr<MailSession> real_;
    std::shared_ptr<CallJournal> journal_;
    std::int32_t loaded_ = 0;
};

}  // namespace zendrel::testsupport
