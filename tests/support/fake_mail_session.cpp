#include "fake_mail_session.h"

#include "forwarding_session.h"
#include "plain_codecs.h"

namespace zendrel::testsupport {

std::string BytesOf(const FakeAttachment& attachment) {
    return attachment.bytes.empty() ? "contents of " + attachment.name : attachment.bytes;
}

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
    return HeaderOf(messages_[static_cast<std::size_t>(n - 1)]);
}

std::string FakeMailSession::HeaderOf(const FakeMessage& message) {
    return "\r\nFrom: " + message.from + "\r\nSubject: " + message.subject + "\r\nMessage-ID: " + message.messageId +
           "\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n";
}

std::int32_t FakeMailSession::LoadMessage(std::int32_t n) {
    calls.push_back("LoadMessage " + std::to_string(n));
    if (onLoadMessage) onLoadMessage(n);
    message_.clear();
    if (n < 1 || n > GetMessageCount() || messages_[static_cast<std::size_t>(n - 1)].retrievalFails) return 0;
    const FakeMessage& message = messages_[static_cast<std::size_t>(n - 1)];
    message_ = HeaderOf(message) + "\r\n";
    // The split lists a multipart's parts last to first: written in reverse, attachment 1 is the first file part.
    for (auto it = message.attachments.rbegin(); it != message.attachments.rend(); ++it) {
        const FakeAttachment& attachment = *it;
        message_ += "--b\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64"
                    "\r\nContent-Disposition: attachment;";
        if (!attachment.name.empty()) message_ += " filename=\"" + attachment.name + "\"";
        message_ += "\r\n\r\n";
        message_ += attachment.undecodable ? "JVBER" : EncodeBase64(BytesOf(attachment), Base64Alphabet::Standard);
        message_ += "\r\n";
    }
    message_ += "--b--\r\n";
    return 1;
}

std::int32_t FakeMailSession::DeleteMessage(std::int32_t n) {
    calls.push_back("DeleteMessage " + std::to_string(n));
    if (onDeleteMessage) onDeleteMessage(n);
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

std::unique_ptr<MailSession> Borrow(FakeMailSession& fake) {
    return std::make_unique<testsupport::ForwardingSession>(fake);
}

}  // namespace zendrel::testsupport
