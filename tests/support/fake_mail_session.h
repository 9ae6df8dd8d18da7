#pragma once
// A mailbox in memory behind the MailSession interface, for the mailbox run's decisions without a network.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pop3/mail_session.h"

namespace zendrel::testsupport {

// An attachment as the retrieved message carries it: base64 under a Content-Disposition with its name.
struct FakeAttachment {
    std::string name;  // empty: the part names no file
    std::string bytes = "";  // the file's content; empty: "contents of " and the name
    bool undecodable = false;  // the part's base64 does not decode
};

struct FakeMessage {
    std::string from;
    std::string subject;
    std::string messageId;
    std::vector<FakeAttachment> attachments;  // attachment 1 first
    bool retrievalFails = false;
};

// The bytes a saved FakeAttachment holds.
std::string BytesOf(const FakeAttachment& attachment);

class FakeMailSession : public MailSession {
public:
    explicit FakeMailSession(std::vector<FakeMessage> messages) : messages_(std::move(messages)) {}

    // Login fails with this code when set.
    std::optional<std::int32_t> loginFailure;
    std::string certificateProblem;
    // Called at the start of LoadMessage(n), e.g. to request a stop in the middle of a run, or to throw.
    std::function<void(std::int32_t)> onLoadMessage;
    // Called by DeleteMessage(n), to see what the run had done by then.
    std::function<void(std::int32_t)> onDeleteMessage;
    // LoadHeader then waits until CancelReceive, as a read from a silent server does; with `ignoreCancel` it waits
    // until Release() instead.
    bool hangInLoadHeader = false;
    bool ignoreCancel = false;

    // What the run did.
    std::vector<std::string> calls;  // operation names in order, with the number: "LoadMessage 3"
    std::vector<std::int32_t> deleted;
    std::atomic<int> cancels{0};
    ConnectionSecurity security = ConnectionSecurity::kNone;

    void Release();
    // Returns once the run waits in LoadHeader.
    void AwaitHang();

    std::int32_t GetErrorCode() const override { return errorCode_; }
    std::string GetLastReply() const override { return {}; }
    std::int32_t Login(const std::string& host, std::int32_t port, const std::string& userName,
                       const std::string& password, std::int32_t timeoutMs) override;
    std::int32_t Logout() override;
    std::int32_t GetMessageCount() override { return static_cast<std::int32_t>(messages_.size()); }
    std::string LoadHeader(std::int32_t n) override;
    std::int32_t LoadMessage(std::int32_t n) override;
    std::string TakeMessage() override { return std::exchange(message_, {}); }
    std::int32_t DeleteMessage(std::int32_t n) override;
    std::int32_t ResetSession() override { return 1; }
    std::int32_t CancelReceive() override;
    void SetConnectionSecurity(ConnectionSecurity wanted) override { security = wanted; }
    std::string GetCertificateProblem() const override { return certificateProblem; }

    // The last Login's arguments.
    std::string host;
    std::int32_t port = 0;
    std::string userName;
    std::string password;
    std::int32_t timeoutMs = 0;

private:
    // The header block as TOP gives it, with the multipart type the retrieved message has.
    static std::string HeaderOf(const FakeMessage& message);

    std::vector<FakeMessage> messages_;
    std::int32_t errorCode_ = 0;
    std::string message_;  // the text LoadMessage retrieved, until taken
    std::mutex mutex_;
    std::condition_variable wake_;
    bool cancelled_ = false;
    bool released_ = false;
    bool hanging_ = false;
};

// A session that forwards to `fake`, so the test can look at the fake after the run has released its session.
std::unique_ptr<MailSession> Borrow(FakeMailSession& fake);

}  // namespace zendrel::testsupport
