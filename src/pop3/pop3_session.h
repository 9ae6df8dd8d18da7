#pragma once
// MailSession over POP3 (RFC 1939 with CAPA, RFC 2449, and APOP): the conversation with the server, and the MIME
// operations on the message retrieved last.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mime/message_part.h"
#include "pop3/clock.h"
#include "pop3/mail_session.h"
#include "pop3/reply_assembler.h"
#include "pop3/transport.h"

namespace zendrel {

// Every network read lands here before it joins the reply text.
inline constexpr std::size_t kReceiveBufferSize = 8388608;

class Pop3MailSession final : public MailSession {
public:
    Pop3MailSession(std::unique_ptr<Transport> transport, std::shared_ptr<const Clock> clock);
    ~Pop3MailSession() override;
    Pop3MailSession(const Pop3MailSession&) = delete;
    Pop3MailSession& operator=(const Pop3MailSession&) = delete;

    std::int32_t GetErrorCode() const override;
    std::string GetLastReply() const override;
    std::int32_t Login(const std::string& host, std::int32_t port, const std::string& userName,
                       const std::string& password, std::int32_t timeoutMs) override;
    std::int32_t Logout() override;
    std::int32_t GetMessageCount() override;
    std::string LoadHeader(std::int32_t n) override;
    std::string GetHeaderField(const std::string& header, const std::string& name) override;
    std::int32_t LoadMessage(std::int32_t n) override;
    std::int32_t CountAttachments() override;
    std::string GetAttachmentName(std::int32_t n) override;
    std::int32_t SaveAttachment(std::int32_t n, const std::string& folder, const std::string& fileName) override;
    std::int32_t CountBodyParts() override;
    std::string GetBodyPartHeader(std::int32_t n) override;
    std::string GetBodyPartText(std::int32_t n) override;
    std::int32_t SaveBodyPart(std::int32_t n, const std::string& folder, const std::string& fileName) override;
    std::string ConvertBodyCharset(const std::string& header, const std::string& text) override;
    std::int32_t DeleteMessage(std::int32_t n) override;
    std::int32_t ResetSession() override;
    std::int32_t CancelReceive() override;
    void SetConnectionSecurity(ConnectionSecurity security) override { security_ = security; }
    std::string GetCertificateProblem() const override { return certificateProblem_; }

private:
    struct FreeBuffer {
        void operator()(char* block) const { std::free(block); }
    };

    // The steps of Login after the connection is open; true when logged in.
    bool Authorise(const std::string& host, const std::string& userName, const std::string& password);
    // The TLS handshake on the open connection; false with the error code set.
    bool SecureConnection(const std::string& host);
    // CAPA, its answer kept in capabilities_; false only when the command could not be sent.
    bool AskCapabilities();
    // STLS and the handshake, then CAPA again over TLS; false with the error code set.
    bool StartTlsInConversation(const std::string& host);
    bool SendUserAndPass(const std::string& userName, const std::string& password);
    // Sends one whole command after throwing away anything still unread; false when it did not all go out.
    bool SendCommand(std::string_view command);
    // One reply, or "" with the error code set by the time-out, the cancel or a read error.
    std::string ReadReplyText(ReplyMode mode);
    // Classifies the reply and keeps its text after the status indicator in lastReply_.
    bool CheckStatus(std::string reply);
    // A one-line command with an optional message number whose positive answer clears the error code.
    std::int32_t RunSimpleCommand(std::string_view command);
    void CloseConnection();

    bool IsMessageNumber(std::int32_t n) const { return n >= 1 && n <= messageCount_; }
    // Sets code 1 when there is no connection.
    bool RequireConnection();
    // The tests of the MIME operations that read the loaded message: connection (1), then loaded message (10).
    bool CanReadLoadedMessage();
    // Walks to body part n as a lookup does: the current position ends on the part found, else on the last part.
    std::optional<std::size_t> SelectBodyPart(std::int32_t n);
    // Writes the part at `position` and keeps the reason of a failure in the error code.
    std::int32_t SavePartAt(std::size_t position, const std::string& folder, const std::string& fileName);

    std::unique_ptr<Transport> transport_;
    std::shared_ptr<const Clock> clock_;

    bool connected_ = false;
    std::int32_t errorCode_ = SessionError::kNone;
    bool messageLoaded_ = false;
    std::int32_t timeoutMs_ = 0;
    std::atomic<bool> cancelRequested_{false};
    std::unique_ptr<char, FreeBuffer> receiveBuffer_;
    std::int32_t messageCount_ = 0;
    std::string lastReply_;
    std::string capabilities_;
    ConnectionSecurity security_ = ConnectionSecurity::kNone;
    std::string certificateProblem_;
    std::vector<MessagePart> parts_;
    std::size_t currentPart_ = 0;
    bool loggingOut_ = false;  // a read error inside Logout's own QUIT must not start another Logout
};

}  // namespace zendrel
