#pragma once
// A mail session that passes every call on to another one, which it owns or borrows: a run can then use a session
// that the test keeps, and a test can note the calls that matter by overriding just those.

#include <memory>
#include <string>

#include "pop3/mail_session.h"

namespace zendrel::testsupport {

class ForwardingSession : public MailSession {
public:
    explicit ForwardingSession(MailSession& target) : target_(target) {}
    explicit ForwardingSession(std::unique_ptr<MailSession> owned) : owned_(std::move(owned)), target_(*owned_) {}

    std::int32_t GetErrorCode() const override { return target_.GetErrorCode(); }
    std::string GetLastReply() const override { return target_.GetLastReply(); }
    std::int32_t Login(const std::string& host, std::int32_t port, const std::string& userName,
                       const std::string& password, std::int32_t timeoutMs) override {
        return target_.Login(host, port, userName, password, timeoutMs);
    }
    std::int32_t Logout() override { return target_.Logout(); }
    std::int32_t GetMessageCount() override { return target_.GetMessageCount(); }
    std::string LoadHeader(std::int32_t n) override { return target_.LoadHeader(n); }
    std::int32_t LoadMessage(std::int32_t n) override { return target_.LoadMessage(n); }
    std::string TakeMessage() override { return target_.TakeMessage(); }
    std::int32_t DeleteMessage(std::int32_t n) override { return target_.DeleteMessage(n); }
    std::int32_t ResetSession() override { return target_.ResetSession(); }
    std::int32_t CancelReceive() override { return target_.CancelReceive(); }
    void SetConnectionSecurity(ConnectionSecurity security) override { target_.SetConnectionSecurity(security); }
    void SetAccessToken(std::string accessToken) override { target_.SetAccessToken(std::move(accessToken)); }
    std::string GetCertificateProblem() const override { return target_.GetCertificateProblem(); }
    void SetReadAheadFilter(std::function<bool(const std::string& header)> willLoad) override {
        target_.SetReadAheadFilter(std::move(willLoad));
    }
    std::optional<std::vector<std::string>> GetUniqueIds() override { return target_.GetUniqueIds(); }
    void LimitHeadersTo(std::vector<std::int32_t> numbers) override { target_.LimitHeadersTo(std::move(numbers)); }

private:
    std::unique_ptr<MailSession> owned_;
    MailSession& target_;
};

}  // namespace zendrel::testsupport
