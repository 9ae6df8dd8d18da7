#pragma once
// MailSession over POP3 (RFC 1939 with CAPA, RFC 2449, and APOP): the conversation with the server.
//
// With a server that offers PIPELINING, the headers of the following messages are asked for ahead of time, the
// messages that the read-ahead filter expects to be loaded are retrieved ahead within a byte budget, and deletions go
// out without waiting; every reply is still read in the order the commands went out and belongs to exactly one of
// them. Every reply has a limit (reply_assembler.h); a message's comes from the sizes LIST gives.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/transport.h"
#include "pop3/clock.h"
#include "pop3/delivery_rate.h"
#include "pop3/mail_session.h"
#include "pop3/reply_assembler.h"
#include "pop3/reply_reader.h"

namespace zendrel {

// Every network read lands here before it joins the reply text.
inline constexpr std::size_t kReceiveBufferSize = 8388608;
// How far a pipelining session reads ahead: headers asked for beyond the one examined, and the sizes (as listed by
// the server) of the messages retrieved ahead and not yet taken. The byte budget is what the connection has been
// seen to deliver in kReadAheadTime, within these bounds, so that a stop can read what is in flight before its QUIT.
inline constexpr std::int32_t kHeadersAhead = 128;
// Headers that arrived ahead and were not taken yet hold about 2 KB each; no more are asked for while they hold this.
inline constexpr std::uint64_t kHeaderBytesAhead = 8u << 20;
inline constexpr std::uint64_t kMessageBytesAhead = 64u << 20;
inline constexpr std::uint64_t kLeastMessageBytesAhead = 1u << 20;
// Before anything tells how fast the connection is.
inline constexpr std::uint64_t kFirstMessageBytesAhead = 8u << 20;
inline constexpr std::int64_t kReadAheadTimeMs = 1000;

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
    std::int32_t LoadMessage(std::int32_t n) override;
    std::string TakeMessage() override;
    std::int32_t DeleteMessage(std::int32_t n) override;
    std::int32_t ResetSession() override;
    std::int32_t CancelReceive() override;
    void SetConnectionSecurity(ConnectionSecurity security) override { security_ = security; }
    void SetAccessToken(std::string accessToken) override { accessToken_ = std::move(accessToken); }
    std::string GetCertificateProblem() const override { return certificateProblem_; }
    ConnectFailure GetConnectFailure() const override { return connectFailure_; }
    void SetReadAheadFilter(std::function<bool(const std::string& header)> willLoad) override {
        readAheadFilter_ = std::move(willLoad);
    }
    OversizedReply GetOversizedReply() const override { return oversized_; }
    std::optional<std::vector<std::string>> GetUniqueIds() override;
    void LimitHeadersTo(std::vector<std::int32_t> numbers) override;
    // The budget of message bytes retrieved ahead, as the connection's speed has set it so far.
    std::uint64_t MessageBytesAhead() const;

private:
    enum class CommandKind : std::uint8_t { kOther, kList, kTop, kRetr, kDele, kUidl };
    struct SentCommand {
        std::uint64_t id;
        CommandKind kind;
        std::int32_t n;               // the message number of TOP and RETR
        ReplyMode mode;
        std::uint64_t bytesAhead;     // what a RETR sent ahead counts against the budget until its reply is taken
    };
    struct ArrivedReply {
        std::string text;
        std::uint64_t bytesAhead;
        bool tooLarge = false;      // nothing of it was kept
        std::uint64_t limit = 0;
    };
    // A reply read to its end and taken off the queue of commands in flight.
    struct TakenReply {
        SentCommand command{};
        std::string text;
        bool tooLarge = false;
        std::uint64_t limit = 0;
    };

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
    // AUTH with the access token (pop3_token_login.cpp); false with the error code set.
    bool AuthenticateWithToken(const std::string& host, const std::string& userName);
    // Sends one whole command, whose reply is read after those of the commands already in flight, together with the
    // commands queued ahead. With none in flight, anything still unread belongs to an earlier reply and is thrown away
    // first. False when it did not all go out.
    bool SendCommand(std::string_view command, ReplyMode mode, CommandKind kind = CommandKind::kOther,
                     std::int32_t n = 0, std::uint64_t bytesAhead = 0);
    // Queues a command asked for ahead: it leaves with the next command sent or before the next wait, so that what
    // the replies that have just arrived call for goes out in one send.
    void QueueAhead(std::string_view command, ReplyMode mode, CommandKind kind, std::int32_t n,
                    std::uint64_t bytesAhead = 0);
    // Sends the queued commands; false (with the connection closed) when they could not all go out.
    bool SendQueued();
    void DiscardUnread();
    // The reply to the command sent last, or "" with the error code set by the time-out, the cancel or a read error.
    std::string ReadReplyText();
    // The reply to the command with `id`; replies in front of it are kept for later or dropped.
    std::string ReadReplyTo(std::uint64_t id);
    // Completes the reply of the oldest command in flight, waiting at most timeoutMs between pieces. A reply past its
    // limit is read to its end and thrown away, and comes back marked so; one whose end does not come within the
    // time-out closes the connection. False with the error code set (and, without pipelining, the command forgotten,
    // as its reply's remains are thrown away).
    bool ReadFrontReply(std::int32_t timeoutMs, TakenReply& taken, CancelWhen cancelWhen = CancelWhen::kAtOnce,
                        std::int64_t notAfterMs = std::numeric_limits<std::int64_t>::max());
    // Starts the reply of the oldest command in flight, with the limit that command's reply has.
    void StartFrontReply();
    std::uint64_t ReplyLimit(const SentCommand& command) const;
    // Moves the completed reply of the oldest command in flight out of the queue.
    TakenReply TakeFrontReply();
    // Records a reply past its limit as the failure of the operation that asked for it.
    void FailTooLarge(std::int32_t n, std::uint64_t limit);
    ReplySource Source();
    const SentCommand* FindInFlight(CommandKind kind, std::int32_t n) const;
    // The listed sizes of the messages retrieved ahead whose replies are in flight or kept.
    std::uint64_t BytesAhead() const;
    // The reply to TOP or RETR for message n: one that arrived ahead, else the one in flight, else sent now.
    std::string TakeReply(CommandKind kind, std::int32_t n, std::string_view command, ReplyMode mode);
    // Keeps a reply that arrived before anyone asked for it, and lets the read-ahead filter judge a header.
    void KeepArrived(TakenReply taken);
    // Takes in the replies that are already complete in what has arrived, without waiting.
    void CollectArrived();
    // Asks for the headers after message n, keeping kHeadersAhead of them in flight or arrived.
    bool SendHeadersAhead(std::int32_t n);
    // Retrieves message n ahead, now or once the budget has room for it.
    void SendMessageAhead(std::int32_t n);
    void SendWantedAhead();
    // Asks for the sizes of all messages, which set the limits of the message replies. Without pipelining the
    // answer is read at once; false when the connection was lost on the way.
    bool AskForSizes();
    bool SizeKnown(std::int32_t n) const;
    // How many of the messages whose headers are asked for have numbers up to n, and the number of the one at a
    // rank (from 1): with every message asked for, n itself.
    std::int32_t HeaderRank(std::int32_t n) const;
    std::int32_t HeaderAtRank(std::int32_t rank) const;
    // Reads the replies still in flight so that QUIT can follow them; false when that failed within the time-out.
    bool DrainInFlight();
    void ForgetReadAhead();
    // Classifies the reply and keeps its text after the status indicator in lastReply_.
    bool CheckStatus(std::string reply);
    // A one-line command with an optional message number whose positive answer clears the error code.
    std::int32_t RunSimpleCommand(std::string_view command);
    void CloseConnection();
    void ForgetLastReply();
    // Lets go of the loaded message's text.
    void ForgetMessage();

    bool IsMessageNumber(std::int32_t n) const { return n >= 1 && n <= messageCount_; }
    // Sets code 1 when there is no connection.
    bool RequireConnection();

    std::unique_ptr<Transport> transport_;
    std::shared_ptr<const Clock> clock_;

    bool connected_ = false;
    std::int32_t errorCode_ = SessionError::kNone;
    std::int32_t timeoutMs_ = 0;
    std::atomic<bool> cancelRequested_{false};
    std::unique_ptr<char, FreeBuffer> receiveBuffer_;
    std::int32_t messageCount_ = 0;
    std::string lastReply_;
    std::string capabilities_;
    ConnectionSecurity security_ = ConnectionSecurity::kNone;
    std::string accessToken_;  // empty: the password login
    std::int32_t port_ = 0;
    std::string certificateProblem_;
    ConnectFailure connectFailure_ = ConnectFailure::kNone;
    std::deque<SentCommand> inFlight_;
    std::optional<ReplyAssembler> frontReply_;  // the reply of inFlight_.front(), as far as it has arrived
    UnreadBytes unread_;
    // Long ago until the connection brings its first bytes.
    std::int64_t lastArrivalMs_ = std::numeric_limits<std::int64_t>::min() / 2;
    std::uint64_t nextCommandId_ = 1;
    bool pipelining_ = false;
    std::map<std::pair<CommandKind, std::int32_t>, ArrivedReply> arrived_;
    std::int32_t examining_ = 0;        // the message whose header was asked for last
    std::int32_t headersSentThrough_ = 0;
    std::vector<std::uint64_t> messageSizes_;  // from LIST; empty until its reply is in
    // The messages whose headers the run asks for, when not all of them (LimitHeadersTo).
    std::optional<std::vector<std::int32_t>> headerNumbers_;
    // Whether LIST is asked for: not when only a few headers are, whose messages' replies then have the limit of an
    // unlisted message and are retrieved when asked for, not ahead.
    bool askForSizes_ = true;
    std::function<bool(const std::string& header)> readAheadFilter_;
    std::deque<std::int32_t> wantedAhead_;  // wanted messages waiting for room in the budget, in order
    std::string queued_;        // commands asked for ahead, already at the back of inFlight_, not yet sent
    std::size_t queuedCommands_ = 0;
    // Set by a stop's cancel: nothing more is asked for ahead in this conversation.
    std::atomic<bool> stopping_{false};
    bool draining_ = false;     // the replies read now are looked through for their ends only
    DeliveryRate deliveryRate_;
    OversizedReply oversized_;
    // The text of the message loaded last until it is taken; the last reply while lastReplyIsMessage_.
    std::string messageText_;
    bool lastReplyIsMessage_ = false;
    bool loggingOut_ = false;  // a read error inside Logout's own QUIT must not start another Logout
};

}  // namespace zendrel
