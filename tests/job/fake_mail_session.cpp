#include "fake_mail_session.h"

#include "forwarding_session.h"
#include "plain_codecs.h"

namespace zendrel::testing {

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
    parts_.clear();
    if (n < 1 || n > GetMessageCount() || messages_[static_cast<std::size_t>(n - 1)].retrievalFails) return 0;
    // As SplitMessage gives them: the message's own record first, then its parts.
    const FakeMessage& message = messages_[static_cast<std::size_t>(n - 1)];
    MessagePart own;
    own.header = "\r\nFrom: " + message.from + "\r\nSubject: " + message.subject + "\r\nMessage-ID: " +
                 message.messageId + "\r\nContent-Type: multipart/mixed; boundary=\"b\"";
    own.rawHeader = own.header;
    parts_.push_back(own);
    for (const FakeAttachment& attachment : message.attachments) {
        MessagePart part;
        part.boundary = "b";
        part.header = "--b\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64"
                      "\r\nContent-Disposition: attachment;";
        if (!attachment.name.empty()) part.header += " filename=\"" + attachment.name + "\"";
        part.rawHeader = part.header;
        part.OwnBody(attachment.undecodable ? "JVBER" : EncodeBase64(BytesOf(attachment), Base64Alphabet::Standard));
        parts_.push_back(part);
    }
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

}  // namespace zendrel::testing
