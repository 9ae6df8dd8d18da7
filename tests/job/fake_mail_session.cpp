#include "fake_mail_session.h"

namespace zendrel::testing {

void FakeMailSession::Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    wake_.notify_all();
}

void FakeMailSession::AwaitHang() {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait(lock, [&] { return hanging_; });
}

std::int32_t FakeMailSession::Login(const std::string& loginHost, std::int32_t loginPort,
                                    const std::string& loginUser, const std::string& loginPassword,
                                    std::int32_t loginTimeoutMs) {
    calls.push_back("Login");
    host = loginHost;
    port = loginPort;
    userName = loginUser;
    password = loginPassword;
    timeoutMs = loginTimeoutMs;
    if (loginFailure) {
        errorCode_ = *loginFailure;
        return 0;
    }
    return 1;
}

std::int32_t FakeMailSession::Logout() {
    calls.push_back("Logout");
    return 1;
}

std::string FakeMailSession::LoadHeader(std::int32_t n) {
    calls.push_back("LoadHeader " + std::to_string(n));
    if (hangInLoadHeader) {
        std::unique_lock<std::mutex> lock(mutex_);
        hanging_ = true;
        wake_.notify_all();
        wake_.wait(lock, [&] { return released_ || (cancelled_ && !ignoreCancel); });
        if (!released_) {
            cancelled_ = false;
            errorCode_ = SessionError::kCancelled;
            return {};
        }
    }
    if (n < 1 || n > GetMessageCount()) return {};
    return std::to_string(n);
}

std::string FakeMailSession::GetHeaderField(const std::string& header, const std::string& name) {
    if (header.empty()) return {};
    const FakeMessage& message = messages_[static_cast<std::size_t>(std::stoi(header) - 1)];
    if (name == "from") return message.from;
    if (name == "subject") return message.subject;
    if (name == "message-id") return message.messageId;
    return {};
}

std::int32_t FakeMailSession::LoadMessage(std::int32_t n) {
    calls.push_back("LoadMessage " + std::to_string(n));
    if (onLoadMessage) onLoadMessage(n);
    loaded_ = 0;
    if (n < 1 || n > GetMessageCount() || messages_[static_cast<std::size_t>(n - 1)].retrievalFails) return 0;
    loaded_ = n;
    return 1;
}

const FakeMessage* FakeMailSession::Loaded() const {
    return loaded_ == 0 ? nullptr : &messages_[static_cast<std::size_t>(loaded_ - 1)];
}

std::int32_t FakeMailSession::CountAttachments() {
    return Loaded() ? static_cast<std::int32_t>(Loaded()->attachments.size()) : 0;
}

std::string FakeMailSession::GetAttachmentName(std::int32_t n) {
    if (!Loaded() || n < 1 || n > CountAttachments()) return {};
    return Loaded()->attachments[static_cast<std::size_t>(n - 1)].name;
}

std::int32_t FakeMailSession::SaveAttachment(std::int32_t n, const std::string& folder, const std::string& fileName) {
    calls.push_back("SaveAttachment " + std::to_string(n));
    if (!Loaded() || n < 1 || n > CountAttachments() || !fileName.empty()) return 0;
    const FakeAttachment& attachment = Loaded()->attachments[static_cast<std::size_t>(n - 1)];
    if (!attachment.saves) {
        errorCode_ = attachment.failure;
        return 0;
    }
    saved.push_back({loaded_, n, folder});
    return 1;
}

std::int32_t FakeMailSession::DeleteMessage(std::int32_t n) {
    calls.push_back("DeleteMessage " + std::to_string(n));
    deleted.push_back(n);
    return 1;
}

std::int32_t FakeMailSession::CancelReceive() {
    ++cancels;
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    wake_.notify_all();
    return 0;
}

namespace {

class BorrowedSession : public MailSession {
public:
    explicit BorrowedSession(FakeMailSession& fake) : fake_(fake) {}
    std::int32_t GetErrorCode() const override { return fake_.GetErrorCode(); }
    std::string GetLastReply() const override { return fake_.GetLastReply(); }
    std::int32_t Login(const std::string& h, std::int32_t p, const std::string& u, const std::string& w,
                       std::int32_t t) override {
        return fake_.Login(h, p, u, w, t);
    }
    std::int32_t Logout() override { return fake_.Logout(); }
    std::int32_t GetMessageCount() override { return fake_.GetMessageCount(); }
    std::string LoadHeader(std::int32_t n) override { return fake_.LoadHeader(n); }
    std::string GetHeaderField(const std::string& h, const std::string& n) override {
        return fake_.GetHeaderField(h, n);
    }
    std::int32_t LoadMessage(std::int32_t n) override { return fake_.LoadMessage(n); }
    std::int32_t CountAttachments() override { return fake_.CountAttachments(); }
    std::string GetAttachmentName(std::int32_t n) override { return fake_.GetAttachmentName(n); }
    std::int32_t SaveAttachment(std::int32_t n, const std::string& f, const std::string& name) override {
        return fake_.SaveAttachment(n, f, name);
    }
    std::int32_t CountBodyParts() override { return fake_.CountBodyParts(); }
    std::string GetBodyPartHeader(std::int32_t n) override { return fake_.GetBodyPartHeader(n); }
    std::string GetBodyPartText(std::int32_t n) override { return fake_.GetBodyPartText(n); }
    std::int32_t SaveBodyPart(std::int32_t n, const std::string& f, const std::string& name) override {
        return fake_.SaveBodyPart(n, f, name);
    }
    std::string ConvertBodyCharset(const std::string& h, const std::string& t) override {
        return fake_.ConvertBodyCharset(h, t);
    }
    std::int32_t DeleteMessage(std::int32_t n) override { return fake_.DeleteMessage(n); }
    std::int32_t ResetSession() override { return fake_.ResetSession(); }
    std::int32_t CancelReceive() override { return fake_.CancelReceive(); }

private:
    FakeMailSession& fake_;
};

}  // namespace

std::unique_ptr<MailSession> Borrow(FakeMailSession& fake) { return std::make_unique<BorrowedSession>(fake); }

}  // namespace zendrel::testing
