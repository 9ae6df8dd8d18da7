#include "pop3/pop3_session.h"

#include <algorithm>
#include <span>
#include <utility>

#include "common/md5.h"
#include "common/text.h"
#include "pop3/pop3_replies.h"
#include "pop3/reply_reader.h"

namespace zendrel {
namespace {

std::string NumberedCommand(std::string_view verb, std::int32_t n, std::string_view tail = {}) {
    std::string command(verb);
    command += ' ';
    command += std::to_string(n);
    command += tail;
    command += "\r\n";
    return command;
}

}  // namespace

Pop3MailSession::Pop3MailSession(std::unique_ptr<Transport> transport, std::shared_ptr<const Clock> clock)
    : transport_(std::move(transport)), clock_(std::move(clock)) {}

Pop3MailSession::~Pop3MailSession() { CloseConnection(); }

std::int32_t Pop3MailSession::GetErrorCode() const { return errorCode_; }

std::string Pop3MailSession::GetLastReply() const { return lastReplyIsMessage_ ? messageText_ : lastReply_; }

void Pop3MailSession::ForgetLastReply() {
    lastReply_.clear();
    lastReplyIsMessage_ = false;
}

void Pop3MailSession::ForgetMessage() {
    lastReplyIsMessage_ = false;
    // The memory goes back before the next message arrives.
    std::string().swap(messageText_);
}

// ---- the POP3 conversation ----

std::int32_t Pop3MailSession::Login(const std::string& host, std::int32_t port, const std::string& userName,
                                    const std::string& password, std::int32_t timeoutMs) {
    ForgetMessage();
    CloseConnection();  // a login replaces any conversation still open
    receiveBuffer_.reset(static_cast<char*>(std::calloc(kReceiveBufferSize, 1)));
    if (!receiveBuffer_) {
        errorCode_ = SessionError::kNoBuffer;
        return 0;
    }
    errorCode_ = SessionError::kNone;
    timeoutMs_ = timeoutMs;
    ForgetLastReply();
    capabilities_.clear();
    certificateProblem_.clear();
    connectFailure_ = ConnectFailure::kNone;
    cancelRequested_.store(false);
    stopping_.store(false);
    oversized_ = {};
    deliveryRate_ = {};
    transport_->ClearInterrupt();
    port_ = port;
    // A bearer token read on the way is the mailbox itself, for as long as it lives: not even the connect is made.
    if (!accessToken_.empty() && security_ == ConnectionSecurity::kNone) {
        errorCode_ = SessionError::kTokenOverPlainText;
        receiveBuffer_.reset();
        return 0;
    }

    const OpenResult opened = transport_->Open(host, port, timeoutMs);
    if (opened != OpenResult::kConnected) {
        // A connect that the user's stop cut short says so, instead of blaming the server.
        errorCode_ = opened == OpenResult::kInterrupted ? SessionError::kCancelled : SessionError::kNotConnected;
        if (opened == OpenResult::kFailed) connectFailure_ = transport_->OpenFailure();
        transport_->ClearInterrupt();
        receiveBuffer_.reset();
        return 0;
    }
    connected_ = true;
    const bool loggedIn =
        (security_ != ConnectionSecurity::kTls || SecureConnection(host)) && Authorise(host, userName, password);
    if (!loggedIn) CloseConnection();
    return loggedIn ? 1 : 0;
}

bool Pop3MailSession::SecureConnection(const std::string& host) {
    const TlsResult result = transport_->StartTls(host, timeoutMs_);
    switch (result) {
        case TlsResult::kSecured:
            return true;
        case TlsResult::kCertificateRefused:
            errorCode_ = SessionError::kCertificateRefused;
            certificateProblem_ = transport_->CertificateProblem();
            return false;
        case TlsResult::kInterrupted:
            errorCode_ = SessionError::kCancelled;
            return false;
        case TlsResult::kUnavailable:
        case TlsResult::kFailed:
        case TlsResult::kTimedOut:
            // A server that does not speak TLS is, for this connection, no server.
            errorCode_ = SessionError::kNotConnected;
            connectFailure_ = result == TlsResult::kFailed     ? ConnectFailure::kTlsHandshake
                              : result == TlsResult::kTimedOut ? ConnectFailure::kTimedOut
                                                               : ConnectFailure::kOther;
            return false;
    }
    return false;
}

bool Pop3MailSession::AskCapabilities() {
    capabilities_.clear();
    if (!SendCommand("CAPA\r\n", ReplyMode::kMultiLine)) {
        errorCode_ = SessionError::kSendFailed;
        return false;
    }
    const std::string capabilityReply = ReadReplyText();
    if (!capabilityReply.empty()) capabilities_ = ParseCapabilities(capabilityReply);
    return true;
}

bool Pop3MailSession::StartTlsInConversation(const std::string& host) {
    if (!OffersCapability(capabilities_, "STLS")) {
        errorCode_ = SessionError::kNoStartTls;
        return false;
    }
    if (!SendCommand("STLS\r\n", ReplyMode::kSingleLine)) {
        errorCode_ = SessionError::kSendFailed;
        return false;
    }
    const std::string reply = ReadReplyText();
    if (reply.empty()) return false;  // the reader's code stands
    if (!CheckStatus(reply)) {
        errorCode_ = SessionError::kNoStartTls;
        return false;
    }
    // Whatever came in the clear after the server's yes was not sent by the server's TLS: it must not be read as
    // part of the protected conversation.
    unread_.Clear();
    char scrap[512];
    while (transport_->WaitReadable(0) == WaitResult::kReadable && transport_->Read(scrap, sizeof scrap) > 0) {
    }
    if (!SecureConnection(host)) return false;
    // What the server offered before TLS may have been changed on the way; only its answer over TLS counts.
    return AskCapabilities();
}

bool Pop3MailSession::Authorise(const std::string& host, const std::string& userName, const std::string& password) {
    // The greeting answers the connect as a reply answers a command.
    inFlight_.push_back({nextCommandId_++, CommandKind::kOther, 0, ReplyMode::kSingleLine, 0});
    const std::string greeting = ReadReplyText();
    if (IsErrorReply(greeting)) {
        errorCode_ = SessionError::kGreetingRefused;
        return false;
    }
    if (!CheckStatus(greeting)) return false;  // not a POP3 server; the reader's code (or none) stands

    if (!AskCapabilities()) return false;
    if (security_ == ConnectionSecurity::kStartTls) {
        if (errorCode_ != SessionError::kNone || !StartTlsInConversation(host)) return false;
    }

    bool loggedIn = false;
    if (!accessToken_.empty()) {
        if (errorCode_ == SessionError::kNone) loggedIn = AuthenticateWithToken(host, userName);
    } else if (errorCode_ == SessionError::kNone && OffersCapability(capabilities_, "APOP")) {
        if (const auto timestamp = FindApopTimestamp(greeting)) {
            const std::string digest = Md5Hex(std::string(*timestamp) + password);
            if (!SendCommand("APOP " + userName + " " + digest + "\r\n", ReplyMode::kSingleLine)) {
                errorCode_ = SessionError::kSendFailed;
            } else {
                // A refused APOP leaves no code: USER and PASS get their turn.
                loggedIn = CheckStatus(ReadReplyText());
            }
        }
    }
    if (accessToken_.empty() && errorCode_ == SessionError::kNone && !loggedIn &&
        OffersCapability(capabilities_, "USER")) {
        loggedIn = SendUserAndPass(userName, password);
    }
    if (errorCode_ == SessionError::kNone) {
        if (!SendCommand("STAT\r\n", ReplyMode::kSingleLine)) {
            errorCode_ = SessionError::kSendFailed;
        } else {
            const std::string reply = ReadReplyText();
            if (CheckStatus(reply)) {
                loggedIn = true;
                messageCount_ = ParseMessageCount(reply);
                // An empty capability list offers everything else, but answering many commands at once is a promise
                // that only a server that says so makes.
                pipelining_ = !capabilities_.empty() && OffersCapability(capabilities_, "PIPELINING");
                // The sizes set the limits of the message replies. One command at a time, they are asked for now,
                // once; with pipelining they go out with the first commands sent ahead.
                if (!pipelining_ && !AskForSizes()) {
                    loggedIn = false;
                    errorCode_ = SessionError::kReadFailed;
                }
            } else {
                errorCode_ = SessionError::kNotConnected;
            }
        }
    }
    return loggedIn;
}

bool Pop3MailSession::SendUserAndPass(const std::string& userName, const std::string& password) {
    if (!SendCommand("USER " + userName + "\r\n", ReplyMode::kSingleLine)) {
        errorCode_ = SessionError::kSendFailed;
        return false;
    }
    if (!CheckStatus(ReadReplyText())) {
        errorCode_ = SessionError::kUserRefused;
        return false;
    }
    if (!SendCommand("PASS " + password + "\r\n", ReplyMode::kSingleLine)) {
        errorCode_ = SessionError::kSendFailed;
        return false;
    }
    if (CheckStatus(ReadReplyText())) return true;
    errorCode_ = SessionError::kPasswordRefused;
    return false;
}

std::int32_t Pop3MailSession::Logout() {
    if (!connected_) {
        errorCode_ = SessionError::kNothingToLogOut;
        return 0;
    }
    std::int32_t result = 0;
    if (!loggingOut_) {
        loggingOut_ = true;
        // Deletions take effect at QUIT, so the replies still on their way are read first; a conversation that
        // cannot even do that is closed without it.
        if (DrainInFlight() && SendCommand("QUIT\r\n", ReplyMode::kSingleLine)) {
            const std::string reply = ReadReplyText();
            result = StartsWithNoCase(reply, "+ok") ? 1 : 0;
        }
        loggingOut_ = false;
    }
    CloseConnection();
    errorCode_ = SessionError::kNone;
    return result;
}

void Pop3MailSession::CloseConnection() {
    if (connected_) transport_->Close();
    connected_ = false;
    capabilities_.clear();
    inFlight_.clear();
    frontReply_.reset();
    unread_.Clear();
    queued_.clear();
    queuedCommands_ = 0;
    draining_ = false;
    pipelining_ = false;
    ForgetReadAhead();
    ForgetMessage();
    receiveBuffer_.reset();
}

std::int32_t Pop3MailSession::GetMessageCount() {
    if (!RequireConnection()) return 0;
    return messageCount_;
}

std::string Pop3MailSession::LoadHeader(std::int32_t n) {
    if (!RequireConnection()) return {};
    if (!IsMessageNumber(n)) {
        errorCode_ = SessionError::kBadNumber;
        return {};
    }
    if (!OffersCapability(capabilities_, "TOP")) {
        errorCode_ = SessionError::kTopNotOffered;
        return {};
    }
    if (pipelining_) {
        if (n > examining_) {
            // The run has moved on: what was read ahead for earlier messages will not be asked for.
            std::erase_if(arrived_, [n](const auto& entry) { return entry.first.second < n; });
        }
        examining_ = n;
        CollectArrived();
        if (!SendHeadersAhead(n)) return {};
    }
    const std::string reply = TakeReply(CommandKind::kTop, n, NumberedCommand("TOP", n, " 0"), ReplyMode::kMultiLine);
    // What the replies that came with this one call for goes out before the run turns to other work.
    SendQueued();
    if (reply.empty() &&
        (errorCode_ == SessionError::kSendFailed || errorCode_ == SessionError::kReplyTooLarge)) {
        return {};
    }
    // Whatever the verdict, the header is the text after the status indicator.
    std::string header(SplitStatus(reply).text);
    CheckStatus(reply);
    return header;
}

bool Pop3MailSession::SendHeadersAhead(std::int32_t n) {
    headersSentThrough_ = std::max(headersSentThrough_, n - 1);
    // A stop reads what is in flight before its QUIT: the less it finds, the sooner the QUIT goes.
    if (stopping_.load()) return true;
    // Topped up in batches, so that one send carries many commands, and early, so that a run that goes through the
    // headers faster than one round trip does not find the next one still on its way. With pipelining a header costs
    // the time of the round trip divided by the headers in flight.
    // Counted in the headers the run asks for, which are every message unless it said otherwise.
    const std::int32_t rank = HeaderRank(n);
    const std::int32_t sentRank = HeaderRank(headersSentThrough_);
    if (sentRank - rank >= kHeadersAhead * 3 / 4) return true;
    std::uint64_t arrivedBytes = 0;
    for (const auto& [key, reply] : arrived_) {
        if (key.first == CommandKind::kTop) arrivedBytes += reply.text.size();
    }
    if (arrivedBytes > kHeaderBytesAhead) return true;
    const std::int32_t lastRank = std::min(HeaderRank(messageCount_), rank + kHeadersAhead - 1);
    if (sentRank >= lastRank) return true;
    // The sizes set the limits of the message replies and keep the messages retrieved ahead within their budget.
    if (messageSizes_.empty() && askForSizes_) AskForSizes();
    for (std::int32_t r = sentRank + 1; r <= lastRank; ++r) {
        const std::int32_t m = HeaderAtRank(r);
        QueueAhead(NumberedCommand("TOP", m, " 0"), ReplyMode::kMultiLine, CommandKind::kTop, m);
    }
    headersSentThrough_ = HeaderAtRank(lastRank);
    if (SendQueued()) return true;
    errorCode_ = SessionError::kSendFailed;
    return false;
}

void Pop3MailSession::SendMessageAhead(std::int32_t n) {
    // A message of unknown size waits until it is asked for.
    if (stopping_.load() || !SizeKnown(n)) return;
    if (arrived_.contains({CommandKind::kRetr, n}) || FindInFlight(CommandKind::kRetr, n) != nullptr) return;
    if (std::find(wantedAhead_.begin(), wantedAhead_.end(), n) == wantedAhead_.end()) wantedAhead_.push_back(n);
    SendWantedAhead();
}

void Pop3MailSession::SendWantedAhead() {
    // In the order the run will ask for them, as far as the budget goes: what does not fit yet waits for the
    // messages before it to be taken.
    while (!wantedAhead_.empty() && !stopping_.load()) {
        const std::int32_t n = wantedAhead_.front();
        if (n > examining_ && SizeKnown(n)) {
            const std::uint64_t size = messageSizes_[static_cast<std::size_t>(n)];
            const std::uint64_t budget = MessageBytesAhead();
            const std::uint64_t used = BytesAhead();
            if (used >= budget || size > budget - used) return;
            QueueAhead(NumberedCommand("RETR", n), ReplyMode::kMultiLine, CommandKind::kRetr, n, size);
        }
        wantedAhead_.pop_front();
    }
}

std::uint64_t Pop3MailSession::MessageBytesAhead() const {
    const std::uint64_t perSecond = deliveryRate_.BytesPerSecond();
    if (perSecond == 0) return kFirstMessageBytesAhead;
    const std::uint64_t inTime = perSecond * static_cast<std::uint64_t>(kReadAheadTimeMs) / 1000;
    return std::clamp(inTime, kLeastMessageBytesAhead, kMessageBytesAhead);
}

bool Pop3MailSession::AskForSizes() {
    messageSizes_.assign(1, 0);  // asked for; the reply fills it in
    if (pipelining_) {
        // Read in its turn, before any message reply whose limit it sets.
        QueueAhead("LIST\r\n", ReplyMode::kMultiLine, CommandKind::kList, 0);
        return true;
    }
    const std::int32_t errorBefore = errorCode_;
    if (!SendCommand("LIST\r\n", ReplyMode::kMultiLine, CommandKind::kList)) {
        errorCode_ = SessionError::kSendFailed;
        return false;
    }
    const std::string reply = ReadReplyTo(inFlight_.back().id);
    if (!connected_) return false;
    if (!reply.empty() && !IsErrorReply(reply)) messageSizes_ = ParseMessageSizes(reply, messageCount_);
    // Without the sizes every message still has a limit; the failure was this helper's, not the operation's.
    errorCode_ = errorBefore;
    return true;
}

std::int32_t Pop3MailSession::HeaderRank(std::int32_t n) const {
    if (!headerNumbers_) return std::clamp(n, 0, messageCount_);
    return static_cast<std::int32_t>(std::upper_bound(headerNumbers_->begin(), headerNumbers_->end(), n) -
                                     headerNumbers_->begin());
}

std::int32_t Pop3MailSession::HeaderAtRank(std::int32_t rank) const {
    if (!headerNumbers_) return rank;
    return rank >= 1 ? (*headerNumbers_)[static_cast<std::size_t>(rank - 1)] : 0;
}

void Pop3MailSession::LimitHeadersTo(std::vector<std::int32_t> numbers) {
    std::erase_if(numbers, [this](std::int32_t n) { return !IsMessageNumber(n); });
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    // For a few messages, retrieving each when it is asked for costs less than the sizes of the whole mailbox.
    askForSizes_ = numbers.size() >= static_cast<std::size_t>(kHeadersAhead);
    headerNumbers_ = std::move(numbers);
}

std::optional<std::vector<std::string>> Pop3MailSession::GetUniqueIds() {
    if (!RequireConnection()) return std::nullopt;
    // An empty capability list offers everything, and a server without UIDL answers -ERR.
    if (!OffersCapability(capabilities_, "UIDL")) return std::nullopt;
    const std::int32_t errorBefore = errorCode_;
    const OversizedReply oversizedBefore = oversized_;
    if (!SendCommand("UIDL\r\n", ReplyMode::kMultiLine, CommandKind::kUidl)) {
        errorCode_ = SessionError::kSendFailed;
        return std::nullopt;
    }
    const std::string reply = ReadReplyTo(inFlight_.back().id);
    std::optional<std::vector<std::string>> ids;
    if (!reply.empty() && !IsErrorReply(reply)) ids = ParseUniqueIds(reply, messageCount_);
    // Without the ids the run goes on as without UIDL; a lost connection shows in the next operation.
    if (connected_) {
        errorCode_ = errorBefore;
        oversized_ = oversizedBefore;
    }
    return ids;
}

bool Pop3MailSession::SizeKnown(std::int32_t n) const {
    const auto at = static_cast<std::size_t>(n);
    return n >= 1 && at < messageSizes_.size() && messageSizes_[at] > 0;
}

std::uint64_t Pop3MailSession::BytesAhead() const {
    std::uint64_t bytes = 0;
    for (const SentCommand& command : inFlight_) bytes += command.bytesAhead;
    for (const auto& [key, reply] : arrived_) bytes += reply.bytesAhead;
    return bytes;
}

const Pop3MailSession::SentCommand* Pop3MailSession::FindInFlight(CommandKind kind, std::int32_t n) const {
    for (const SentCommand& command : inFlight_) {
        if (command.kind == kind && command.n == n) return &command;
    }
    return nullptr;
}

void Pop3MailSession::ForgetReadAhead() {
    arrived_.clear();
    wantedAhead_.clear();
    examining_ = 0;
    headersSentThrough_ = 0;
    messageSizes_.clear();
    headerNumbers_.reset();
    askForSizes_ = true;
}

std::int32_t Pop3MailSession::LoadMessage(std::int32_t n) {
    if (!RequireConnection()) return 0;
    if (!IsMessageNumber(n)) {
        errorCode_ = SessionError::kBadNumber;
        return 0;
    }
    ForgetMessage();
    ForgetLastReply();
    // The reply's limit comes from the message's listed size; with pipelining the sizes may not be asked for yet.
    if (messageSizes_.empty() && askForSizes_ && !AskForSizes()) return 0;
    std::string reply = TakeReply(CommandKind::kRetr, n, NumberedCommand("RETR", n), ReplyMode::kMultiLine);
    // The message taken leaves room for the next ones, which leave before the run turns to saving this one.
    SendWantedAhead();
    SendQueued();
    if (reply.empty()) return 0;
    if (!CheckStatus(std::move(reply))) {
        errorCode_ = SessionError::kNotLoaded;
        return 0;
    }
    // Drop the terminating "." line; the text keeps the rest of the status line in front of the header.
    lastReply_.resize(lastReply_.size() >= 3 ? lastReply_.size() - 3 : 0);
    // The message is held once: its text stays the last reply until it is taken or another reply comes.
    messageText_ = std::move(lastReply_);
    ForgetLastReply();
    lastReplyIsMessage_ = true;
    return 1;
}

std::string Pop3MailSession::TakeMessage() {
    if (!lastReplyIsMessage_) return {};
    lastReplyIsMessage_ = false;
    return std::exchange(messageText_, {});
}

std::int32_t Pop3MailSession::DeleteMessage(std::int32_t n) {
    if (!RequireConnection()) return 0;
    if (!IsMessageNumber(n)) {
        errorCode_ = SessionError::kBadNumber;
        return 0;
    }
    if (pipelining_) {
        // The deletion goes out behind the commands in flight instead of waiting for all of their replies; its own
        // reply is read in its turn. A refusal would leave the mail on the server, which is all the run could do too.
        if (!SendCommand(NumberedCommand("DELE", n), ReplyMode::kSingleLine, CommandKind::kDele, n)) {
            errorCode_ = SessionError::kSendFailed;
            return 0;
        }
        errorCode_ = SessionError::kNone;
        CollectArrived();
        SendQueued();
        return 1;
    }
    return RunSimpleCommand(NumberedCommand("DELE", n));
}

std::int32_t Pop3MailSession::ResetSession() {
    if (!RequireConnection()) return 0;
    return RunSimpleCommand("RSET\r\n");
}

std::int32_t Pop3MailSession::RunSimpleCommand(std::string_view command) {
    if (!SendCommand(command, ReplyMode::kSingleLine)) {
        errorCode_ = SessionError::kSendFailed;
        return 0;
    }
    if (CheckStatus(ReadReplyText())) {
        errorCode_ = SessionError::kNone;
        return 1;
    }
    errorCode_ = SessionError::kCommandRefused;
    return 0;
}

std::int32_t Pop3MailSession::CancelReceive() {
    // Only a stop cancels: from now on nothing more is asked for ahead.
    stopping_.store(true);
    cancelRequested_.store(true);
    transport_->Interrupt();
    return 0;
}

bool Pop3MailSession::SendCommand(std::string_view command, ReplyMode mode, CommandKind kind, std::int32_t n,
                                  std::uint64_t bytesAhead) {
    if (!connected_ || !receiveBuffer_) return false;
    if (inFlight_.empty()) DiscardUnread();
    std::string bytes = std::move(queued_);
    queued_.clear();
    queuedCommands_ = 0;
    bytes += command;
    if (!transport_->Send(bytes)) {
        if (inFlight_.empty()) return false;
        // Which of the commands went out is unknown, so no later reply could be told apart.
        CloseConnection();
        return false;
    }
    inFlight_.push_back({nextCommandId_++, kind, n, mode, bytesAhead});
    return true;
}

void Pop3MailSession::QueueAhead(std::string_view command, ReplyMode mode, CommandKind kind, std::int32_t n,
                                 std::uint64_t bytesAhead) {
    if (inFlight_.empty() && queued_.empty()) DiscardUnread();
    queued_ += command;
    ++queuedCommands_;
    inFlight_.push_back({nextCommandId_++, kind, n, mode, bytesAhead});
}

bool Pop3MailSession::SendQueued() {
    if (queued_.empty()) return true;
    if (!connected_) return false;
    const std::string bytes = std::move(queued_);
    queued_.clear();
    queuedCommands_ = 0;
    if (transport_->Send(bytes)) return true;
    // Which of the commands went out is unknown, so no later reply could be told apart.
    CloseConnection();
    return false;
}

void Pop3MailSession::DiscardUnread() {
    // With no command in flight, whatever is still unread belongs to an earlier reply and must not mix with the next
    // command's.
    unread_.Clear();
    frontReply_.reset();
    while (transport_->WaitReadable(0) == WaitResult::kReadable) {
        if (transport_->Read(receiveBuffer_.get(), kReceiveBufferSize) <= 0) break;
    }
}

std::string Pop3MailSession::ReadReplyText() {
    if (inFlight_.empty()) return {};
    return ReadReplyTo(inFlight_.back().id);
}

std::string Pop3MailSession::ReadReplyTo(std::uint64_t id) {
    TakenReply taken;
    while (!inFlight_.empty() && inFlight_.front().id <= id) {
        if (!ReadFrontReply(timeoutMs_, taken)) return {};
        if (taken.command.id == id) {
            if (taken.tooLarge) {
                FailTooLarge(taken.command.n, taken.limit);
                return {};
            }
            // Replies that came with this one may let the next messages be retrieved ahead, and a message taken
            // leaves room in the budget.
            CollectArrived();
            SendWantedAhead();
            return std::move(taken.text);
        }
        KeepArrived(std::move(taken));
    }
    return {};
}

ReplySource Pop3MailSession::Source() {
    return {*transport_, *clock_, std::span<char>(receiveBuffer_.get(), kReceiveBufferSize), unread_,
            cancelRequested_, lastArrivalMs_, &deliveryRate_};
}

void Pop3MailSession::StartFrontReply() {
    if (frontReply_) return;
    frontReply_.emplace(inFlight_.front().mode, ReplyLimit(inFlight_.front()));
    if (draining_) frontReply_->DiscardBody();
}

std::uint64_t Pop3MailSession::ReplyLimit(const SentCommand& command) const {
    switch (command.kind) {
        case CommandKind::kRetr:
            return SizeKnown(command.n) ? ListedMessageLimit(messageSizes_[static_cast<std::size_t>(command.n)])
                                        : kUnlistedMessageLimit;
        case CommandKind::kList:
            return SizeListLimit(messageCount_);
        case CommandKind::kUidl:
            return UniqueIdListLimit(messageCount_);
        case CommandKind::kTop:
        case CommandKind::kDele:
        case CommandKind::kOther:
            break;
    }
    return kHeaderReplyLimit;
}

void Pop3MailSession::FailTooLarge(std::int32_t n, std::uint64_t limit) {
    oversized_ = {n, limit, false};
    ForgetLastReply();
    errorCode_ = SessionError::kReplyTooLarge;
}

bool Pop3MailSession::ReadFrontReply(std::int32_t timeoutMs, TakenReply& taken, CancelWhen cancelWhen,
                                     std::int64_t notAfterMs) {
    if (!connected_ || !receiveBuffer_ || inFlight_.empty()) return false;
    // Nothing asked for ahead may be left unsent while the reader waits for the server.
    if (!SendQueued()) {
        errorCode_ = SessionError::kSendFailed;
        return false;
    }
    StartFrontReply();
    ReadOutcome outcome = ReadReply(Source(), *frontReply_, timeoutMs, cancelWhen, notAfterMs);
    if (outcome == ReadOutcome::kTooLarge) {
        // Nothing of it is kept. Its rest is read and thrown away, within the time-out counted from the limit,
        // however steadily it keeps coming.
        outcome = frontReply_->IsComplete() ? ReadOutcome::kComplete
                                            : DiscardRest(Source(), *frontReply_, clock_->NowMs() + timeoutMs_);
        if (outcome != ReadOutcome::kComplete) {
            // Where the next reply begins is unknown, so no later reply could be trusted: no QUIT either.
            const OversizedReply oversized{inFlight_.front().n, frontReply_->BodyLimit(), true};
            CloseConnection();
            oversized_ = oversized;
            ForgetLastReply();
            errorCode_ = SessionError::kReplyTooLarge;
            return false;
        }
    }
    switch (outcome) {
        case ReadOutcome::kComplete:
        case ReadOutcome::kTooLarge:  // not left by the steps above
            taken = TakeFrontReply();
            return true;
        case ReadOutcome::kTimedOut:
        case ReadOutcome::kCancelled:
            ForgetLastReply();
            errorCode_ = outcome == ReadOutcome::kTimedOut ? SessionError::kTimedOut : SessionError::kCancelled;
            if (!pipelining_) {
                // One command at a time: its late remains are thrown away before the next one goes out. With
                // commands in flight the reply stays at the front, to be finished by the next read, so that it is
                // never taken for the reply of a later command.
                inFlight_.pop_front();
                frontReply_.reset();
            }
            return false;
        case ReadOutcome::kClosed:
            // The server hung up in the middle: there is nobody left to say QUIT to.
            CloseConnection();
            errorCode_ = SessionError::kReadFailed;
            return false;
        case ReadOutcome::kFailed:
            // The conversation cannot go on; when Logout's own QUIT is what failed, that Logout finishes the job.
            // One command at a time, QUIT may still be tried; with others in flight its reply could not be found.
            if (!pipelining_) {
                inFlight_.pop_front();
                frontReply_.reset();
            }
            if (!loggingOut_) Logout();
            errorCode_ = SessionError::kReadFailed;
            return false;
    }
    return false;
}

Pop3MailSession::TakenReply Pop3MailSession::TakeFrontReply() {
    TakenReply taken;
    taken.command = inFlight_.front();
    taken.tooLarge = frontReply_->TooLarge();
    taken.limit = frontReply_->BodyLimit();
    inFlight_.pop_front();
    taken.text = frontReply_->TakeText();
    frontReply_.reset();
    return taken;
}

std::string Pop3MailSession::TakeReply(CommandKind kind, std::int32_t n, std::string_view command, ReplyMode mode) {
    if (const auto found = arrived_.find({kind, n}); found != arrived_.end()) {
        ArrivedReply reply = std::move(found->second);
        arrived_.erase(found);
        if (reply.tooLarge) {
            FailTooLarge(n, reply.limit);
            return {};
        }
        return std::move(reply.text);
    }
    if (const SentCommand* sent = FindInFlight(kind, n)) return ReadReplyTo(sent->id);
    if (!SendCommand(command, mode, kind, n)) {
        errorCode_ = SessionError::kSendFailed;
        return {};
    }
    return ReadReplyTo(inFlight_.back().id);
}

void Pop3MailSession::KeepArrived(TakenReply taken) {
    const SentCommand& command = taken.command;
    switch (command.kind) {
        case CommandKind::kList:
            messageSizes_ = taken.tooLarge || IsErrorReply(taken.text) ? std::vector<std::uint64_t>(1, 0)
                                                                       : ParseMessageSizes(taken.text, messageCount_);
            return;
        case CommandKind::kTop:
        case CommandKind::kRetr:
            // A reply for a message the run has passed is not asked for again.
            if (command.n < examining_) break;
            if (taken.tooLarge) {
                // Kept as a failure for the operation that will ask for it.
                arrived_[{command.kind, command.n}] = {{}, 0, true, taken.limit};
                return;
            }
            if (command.kind == CommandKind::kTop && command.n > examining_ && readAheadFilter_ &&
                !IsErrorReply(taken.text)) {
                if (readAheadFilter_(std::string(SplitStatus(taken.text).text))) {
                    SendMessageAhead(command.n);
                }
            }
            arrived_[{command.kind, command.n}] = {std::move(taken.text), command.bytesAhead};
            return;
        case CommandKind::kDele:
            // A refused deletion leaves the mail on the server, which is all the run could make of it.
        case CommandKind::kUidl:
        case CommandKind::kOther:
            // A late answer to a command that already failed: nobody waits for it any more.
            break;
    }
}

void Pop3MailSession::CollectArrived() {
    if (!pipelining_ || !receiveBuffer_) return;
    while (connected_ && !inFlight_.empty()) {
        StartFrontReply();
        // A reply past its limit whose rest is still coming is thrown away by the next waiting read.
        if (!TryCompleteReply(Source(), *frontReply_) || !frontReply_->IsComplete()) return;
        KeepArrived(TakeFrontReply());
    }
}

bool Pop3MailSession::DrainInFlight() {
    ForgetReadAhead();
    // What was asked for ahead and has not gone out yet is not asked for at all.
    if (queuedCommands_ >= inFlight_.size()) frontReply_.reset();
    for (; queuedCommands_ > 0; --queuedCommands_) inFlight_.pop_back();
    queued_.clear();
    // Nobody reads these replies: only their ends are looked for, and a cancel ends the drain only once the data has
    // stopped moving, so that the QUIT that makes the run's deletions count still follows. A server that keeps
    // sending cannot keep the drain beyond its deadline.
    draining_ = true;
    if (frontReply_) frontReply_->DiscardBody();
    const std::int64_t deadline = clock_->NowMs() + timeoutMs_;
    TakenReply taken;
    bool drained = true;
    while (connected_ && !inFlight_.empty()) {
        const std::int64_t left = deadline - clock_->NowMs();
        if (left <= 0 || !ReadFrontReply(static_cast<std::int32_t>(left), taken, CancelWhen::kStalled, deadline)) {
            drained = false;
            break;
        }
    }
    draining_ = false;
    return drained && connected_;
}

bool Pop3MailSession::CheckStatus(std::string reply) {
    // The reply may be a whole message: its text moves into lastReply_ instead of being copied.
    const StatusReply status = SplitStatus(reply);
    const bool positive = status.positive;
    reply.erase(0, static_cast<std::size_t>(status.text.data() - reply.data()));
    lastReply_ = std::move(reply);
    lastReplyIsMessage_ = false;
    return positive;
}

bool Pop3MailSession::RequireConnection() {
    if (connected_) return true;
    errorCode_ = SessionError::kNotConnected;
    return false;
}

}  // namespace zendrel
