#include "pop3/pop3_session.h"

#include <algorithm>
#include <span>
#include <utility>

#include "common/md5.h"
#include "common/text.h"
#include "mime/attachments.h"
#include "mime/body_charset.h"
#include "mime/encoded_words.h"
#include "mime/header_field.h"
#include "mime/multipart.h"
#include "mime/part_writer.h"
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

// The header as LoadHeader gives it from a TOP reply's text after the status indicator: UTF-8 made header text unless
// the header declares 8bit, and then its encoded words decoded. In this order the words' bytes are read in their own
// charsets only; read again as UTF-8, a decoded "ü" or "€" of header text would be lost.
std::string PrepareHeader(std::string_view header) {
    const std::string encoding = LowerCase(zendrel::GetHeaderField(header, "Content-Transfer-Encoding"));
    const std::string type = LowerCase(zendrel::GetHeaderField(header, "Content-Type"));
    if (type.find("utf-8") != std::string::npos && encoding.find("8bit") == std::string::npos) {
        return DecodeEncodedWords(Utf8ToWindows1252Lossy(header));
    }
    return DecodeEncodedWords(header);
}

}  // namespace

Pop3MailSession::Pop3MailSession(std::unique_ptr<Transport> transport, std::shared_ptr<const Clock> clock)
    : transport_(std::move(transport)), clock_(std::move(clock)) {}

Pop3MailSession::~Pop3MailSession() { CloseConnection(); }

std::int32_t Pop3MailSession::GetErrorCode() const { return errorCode_; }

std::string Pop3MailSession::GetLastReply() const { return lastReply_; }

// ---- the POP3 conversation ----

std::int32_t Pop3MailSession::Login(const std::string& host, std::int32_t port, const std::string& userName,
                                    const std::string& password, std::int32_t timeoutMs) {
    parts_.clear();
    currentPart_ = 0;
    CloseConnection();  // a login replaces any conversation still open
    receiveBuffer_.reset(static_cast<char*>(std::calloc(kReceiveBufferSize, 1)));
    if (!receiveBuffer_) {
        errorCode_ = SessionError::kNoBuffer;
        return 0;
    }
    errorCode_ = SessionError::kNone;
    timeoutMs_ = timeoutMs;
    lastReply_.clear();
    capabilities_.clear();
    certificateProblem_.clear();
    connectFailure_ = ConnectFailure::kNone;
    messageLoaded_ = false;
    cancelRequested_.store(false);
    transport_->ClearInterrupt();

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
    if (errorCode_ == SessionError::kNone && OffersCapability(capabilities_, "APOP")) {
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
    if (errorCode_ == SessionError::kNone && !loggedIn && OffersCapability(capabilities_, "USER")) {
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
    pipelining_ = false;
    ForgetReadAhead();
    parts_.clear();
    currentPart_ = 0;
    messageLoaded_ = false;
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
    if (reply.empty() && errorCode_ == SessionError::kSendFailed) return {};
    // Whatever the verdict, the header is the text after the status indicator.
    std::string header = PrepareHeader(SplitStatus(reply).text);
    CheckStatus(DecodeEncodedWords(reply));
    return header;
}

bool Pop3MailSession::SendHeadersAhead(std::int32_t n) {
    headersSentThrough_ = std::max(headersSentThrough_, n - 1);
    // Topped up in batches, so that one send carries many commands.
    if (headersSentThrough_ - n >= kHeadersAhead / 2) return true;
    const std::int32_t last = std::min(messageCount_, n + kHeadersAhead - 1);
    if (headersSentThrough_ >= last) return true;
    std::string batch;
    std::vector<SentCommand> commands;
    if (messageSizes_.empty() && readAheadFilter_) {
        // The sizes keep the messages retrieved ahead within their budget.
        batch += "LIST\r\n";
        commands.push_back({0, CommandKind::kList, 0, ReplyMode::kMultiLine, 0});
        messageSizes_.assign(1, 0);  // asked for; the reply fills it in
    }
    for (std::int32_t m = headersSentThrough_ + 1; m <= last; ++m) {
        batch += NumberedCommand("TOP", m, " 0");
        commands.push_back({0, CommandKind::kTop, m, ReplyMode::kMultiLine, 0});
    }
    if (inFlight_.empty()) DiscardUnread();
    if (!transport_->Send(batch)) {
        // Which of the commands went out is unknown, so no later reply could be told apart.
        CloseConnection();
        errorCode_ = SessionError::kSendFailed;
        return false;
    }
    for (SentCommand& command : commands) {
        command.id = nextCommandId_++;
        inFlight_.push_back(command);
    }
    headersSentThrough_ = last;
    return true;
}

void Pop3MailSession::SendMessageAhead(std::int32_t n) {
    if (n < 1 || static_cast<std::size_t>(n) >= messageSizes_.size()) return;
    const std::uint64_t size = messageSizes_[static_cast<std::size_t>(n)];
    // An unknown size, or a message bigger than what is left of the budget, waits until it is asked for.
    if (size == 0 || size > kMessageBytesAhead - BytesAhead()) return;
    if (arrived_.contains({CommandKind::kRetr, n}) || FindInFlight(CommandKind::kRetr, n) != nullptr) return;
    SendCommand(NumberedCommand("RETR", n), ReplyMode::kMultiLine, CommandKind::kRetr, n, size);
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
    examining_ = 0;
    headersSentThrough_ = 0;
    messageSizes_.clear();
}

std::int32_t Pop3MailSession::LoadMessage(std::int32_t n) {
    if (!RequireConnection()) return 0;
    if (!IsMessageNumber(n)) {
        errorCode_ = SessionError::kBadNumber;
        return 0;
    }
    parts_.clear();
    currentPart_ = 0;
    lastReply_.clear();
    messageLoaded_ = false;
    std::string reply = TakeReply(CommandKind::kRetr, n, NumberedCommand("RETR", n), ReplyMode::kMultiLine);
    if (reply.empty()) return 0;
    if (!CheckStatus(std::move(reply))) {
        errorCode_ = SessionError::kNotLoaded;
        return 0;
    }
    // Drop the terminating "." line; the text keeps the rest of the status line in front of the header.
    lastReply_.resize(lastReply_.size() >= 3 ? lastReply_.size() - 3 : 0);
    parts_ = SplitMessage(lastReply_);
    std::stable_sort(parts_.begin(), parts_.end(),
                     [](const MessagePart& a, const MessagePart& b) { return a.index > b.index; });
    messageLoaded_ = true;
    return 1;
}

std::int32_t Pop3MailSession::DeleteMessage(std::int32_t n) {
    if (!RequireConnection()) return 0;
    if (!IsMessageNumber(n)) {
        errorCode_ = SessionError::kBadNumber;
        return 0;
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
    cancelRequested_.store(true);
    transport_->Interrupt();
    return 0;
}

bool Pop3MailSession::SendCommand(std::string_view command, ReplyMode mode, CommandKind kind, std::int32_t n,
                                  std::uint64_t bytesAhead) {
    if (!connected_ || !receiveBuffer_) return false;
    if (inFlight_.empty()) DiscardUnread();
    if (!transport_->Send(command)) return false;
    inFlight_.push_back({nextCommandId_++, kind, n, mode, bytesAhead});
    return true;
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
    SentCommand command{};
    std::string text;
    while (!inFlight_.empty() && inFlight_.front().id <= id) {
        if (!ReadFrontReply(timeoutMs_, command, text)) return {};
        if (command.id == id) {
            // Replies that came with this one may let the next messages be retrieved ahead.
            CollectArrived();
            return text;
        }
        KeepArrived(command, std::move(text));
    }
    return {};
}

bool Pop3MailSession::ReadFrontReply(std::int32_t timeoutMs, SentCommand& command, std::string& text) {
    if (!connected_ || !receiveBuffer_ || inFlight_.empty()) return false;
    if (!frontReply_) frontReply_.emplace(inFlight_.front().mode);
    const ReadOutcome outcome =
        ReadReply(*transport_, *clock_, std::span<char>(receiveBuffer_.get(), kReceiveBufferSize), unread_,
                  *frontReply_, cancelRequested_, timeoutMs);
    switch (outcome) {
        case ReadOutcome::kComplete:
            text = TakeFrontReply(command);
            return true;
        case ReadOutcome::kTimedOut:
        case ReadOutcome::kCancelled:
            lastReply_.clear();
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

std::string Pop3MailSession::TakeFrontReply(SentCommand& command) {
    command = inFlight_.front();
    inFlight_.pop_front();
    std::string text = frontReply_->TakeText();
    frontReply_.reset();
    return text;
}

std::string Pop3MailSession::TakeReply(CommandKind kind, std::int32_t n, std::string_view command, ReplyMode mode) {
    if (const auto found = arrived_.find({kind, n}); found != arrived_.end()) {
        std::string text = std::move(found->second.text);
        arrived_.erase(found);
        return text;
    }
    if (const SentCommand* sent = FindInFlight(kind, n)) return ReadReplyTo(sent->id);
    if (!SendCommand(command, mode, kind, n)) {
        errorCode_ = SessionError::kSendFailed;
        return {};
    }
    return ReadReplyTo(inFlight_.back().id);
}

void Pop3MailSession::KeepArrived(const SentCommand& command, std::string text) {
    switch (command.kind) {
        case CommandKind::kList:
            messageSizes_ = IsErrorReply(text) ? std::vector<std::uint64_t>(1, 0)
                                               : ParseMessageSizes(text, messageCount_);
            return;
        case CommandKind::kTop:
        case CommandKind::kRetr:
            // A reply for a message the run has passed is not asked for again.
            if (command.n < examining_) break;
            if (command.kind == CommandKind::kTop && command.n > examining_ && readAheadFilter_ &&
                !IsErrorReply(text)) {
                if (readAheadFilter_(PrepareHeader(SplitStatus(text).text))) {
                    SendMessageAhead(command.n);
                }
            }
            arrived_[{command.kind, command.n}] = {std::move(text), command.bytesAhead};
            return;
        case CommandKind::kOther:
            // A late answer to a command that already failed: nobody waits for it any more.
            break;
    }
}

void Pop3MailSession::CollectArrived() {
    if (!pipelining_ || !receiveBuffer_) return;
    const std::span<char> buffer(receiveBuffer_.get(), kReceiveBufferSize);
    while (connected_ && !inFlight_.empty()) {
        if (!frontReply_) frontReply_.emplace(inFlight_.front().mode);
        if (!TryCompleteReply(*transport_, buffer, unread_, *frontReply_)) return;
        SentCommand command{};
        std::string text = TakeFrontReply(command);
        KeepArrived(command, std::move(text));
    }
}

bool Pop3MailSession::DrainInFlight() {
    ForgetReadAhead();
    const std::int64_t deadline = clock_->NowMs() + timeoutMs_;
    SentCommand command{};
    std::string text;
    while (connected_ && !inFlight_.empty()) {
        const std::int64_t left = deadline - clock_->NowMs();
        if (left <= 0 || !ReadFrontReply(static_cast<std::int32_t>(left), command, text)) return false;
    }
    return connected_;
}

bool Pop3MailSession::CheckStatus(std::string reply) {
    // The reply may be a whole message: its text moves into lastReply_ instead of being copied.
    const StatusReply status = SplitStatus(reply);
    const bool positive = status.positive;
    reply.erase(0, static_cast<std::size_t>(status.text.data() - reply.data()));
    lastReply_ = std::move(reply);
    return positive;
}

// ---- the MIME operations on the loaded message ----

bool Pop3MailSession::RequireConnection() {
    if (connected_) return true;
    errorCode_ = SessionError::kNotConnected;
    return false;
}

bool Pop3MailSession::CanReadLoadedMessage() {
    if (!RequireConnection()) return false;
    if (!messageLoaded_) {
        errorCode_ = SessionError::kNotLoaded;
        return false;
    }
    return true;
}

std::optional<std::size_t> Pop3MailSession::SelectBodyPart(std::int32_t n) {
    const auto position = n >= 1 ? FindBodyPart(parts_, n) : std::nullopt;
    if (position) {
        currentPart_ = *position;
    } else {
        currentPart_ = parts_.empty() ? 0 : parts_.size() - 1;
    }
    return position;
}

std::string Pop3MailSession::GetHeaderField(const std::string& header, const std::string& name) {
    if (!RequireConnection()) return {};
    return zendrel::GetHeaderField(header, name);
}

std::int32_t Pop3MailSession::CountAttachments() {
    if (!CanReadLoadedMessage()) return 0;
    return zendrel::CountAttachments(parts_);
}

Utf8Text Pop3MailSession::GetAttachmentName(std::int32_t n) {
    if (!CanReadLoadedMessage()) return {};
    const auto position = n >= 1 ? FindAttachment(parts_, n) : std::nullopt;
    if (!position) {
        errorCode_ = SessionError::kBadNumber;
        return {};
    }
    currentPart_ = *position;
    errorCode_ = SessionError::kNone;
    return zendrel::GetAttachmentName(parts_[*position]);
}

std::int32_t Pop3MailSession::SaveAttachment(std::int32_t n, const std::string& folder, const Utf8Text& fileName) {
    if (!CanReadLoadedMessage()) return 0;
    if (n < 1 || n > zendrel::CountAttachments(parts_)) {
        errorCode_ = SessionError::kBadNumber;
        return 0;
    }
    // The name lookup also leaves the current position on attachment n.
    const Utf8Text name = GetAttachmentName(n);
    return SavePartAt(currentPart_, folder, fileName.empty() ? name : fileName);
}

std::int32_t Pop3MailSession::SavePartAt(std::size_t position, const std::string& folder, const Utf8Text& fileName) {
    if (position >= parts_.size()) {
        errorCode_ = SessionError::kBadNumber;
        return 0;
    }
    switch (SavePart(parts_[position], folder, fileName).outcome) {
        case SaveOutcome::kSaved:
            errorCode_ = SessionError::kNone;
            return 1;
        case SaveOutcome::kNoFileName:
            errorCode_ = SessionError::kNoFileName;
            return 0;
        case SaveOutcome::kUndecodable:
            errorCode_ = SessionError::kNotDecodable;
            return 0;
        case SaveOutcome::kNotWritten:
            errorCode_ = SessionError::kNotWritten;
            return 0;
    }
    return 0;
}

std::int32_t Pop3MailSession::CountBodyParts() {
    if (!CanReadLoadedMessage()) return 0;
    return zendrel::CountBodyParts(parts_);
}

std::string Pop3MailSession::GetBodyPartHeader(std::int32_t n) {
    if (!CanReadLoadedMessage()) return {};
    const auto position = SelectBodyPart(n);
    if (!position) return {};
    errorCode_ = SessionError::kNone;
    return parts_[*position].header;
}

std::string Pop3MailSession::GetBodyPartText(std::int32_t n) {
    if (!CanReadLoadedMessage()) return {};
    const auto position = SelectBodyPart(n);
    if (!position) return {};
    errorCode_ = SessionError::kNone;
    return zendrel::GetBodyPartText(parts_[*position]);
}

std::int32_t Pop3MailSession::SaveBodyPart(std::int32_t n, const std::string& folder, const Utf8Text& fileName) {
    if (!CanReadLoadedMessage()) return 0;
    if (n < 1) {
        errorCode_ = SessionError::kBadNumber;
        return 0;
    }
    const auto position = SelectBodyPart(n);
    if (!position) {
        errorCode_ = SessionError::kBadNumber;
        return 0;
    }
    return SavePartAt(*position, folder, fileName.empty() ? zendrel::GetAttachmentName(parts_[*position]) : fileName);
}

std::string Pop3MailSession::ConvertBodyCharset(const std::string& header, const std::string& text) {
    // Without a connection the Content-Type cannot be read, and a text with no known type stays as it is.
    if (!RequireConnection()) return text;
    return zendrel::ConvertBodyCharset(header, text);
}

}  // namespace zendrel
