#include "job/mailbox_run.h"

#include <algorithm>
#include <ctime>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/local_time.h"
#include "common/text.h"
#include "job/placeholders.h"
#include "job/remembered_mails.h"
#include "job/run_control.h"
#include "job/run_token.h"
#include "job/save_folder.h"
#include "mime/attachment_saver.h"
#include "mime/header_field.h"
#include "mime/mail_message.h"
#include "mime/saved_names.h"

namespace zendrel {
namespace {

constexpr std::int32_t kReplyTimeoutMs = 10000;

// The run's voice: user messages to the view (and in the service to "log.txt"), diagnostics to "log_long.txt" only
// when "-logging" was given.
class RunLog {
public:
    RunLog(const JobParameters& parameters, const RunServices& services)
        : log_(*services.log), texts_(*services.texts),
          userDestination_(parameters.serviceMode ? LogDestination::kViewAndSharedFile : LogDestination::kView),
          diagnostics_(services.loggingFlag) {}

    void User(std::string_view text) { log_.WriteLog(text, userDestination_); }
    std::string_view Text(TextKey key) const { return texts_.Text(key); }
    void User(TextKey key) { User(texts_.Text(key)); }
    void User(TextKey key, std::string_view placeholder, std::string_view value) {
        User(FillPlaceholder(texts_.Text(key), placeholder, value));
    }
    void Diagnostic(std::string_view text) {
        if (diagnostics_) log_.WriteLog(text, LogDestination::kDiagnosticFile);
    }

private:
    ActivityLog& log_;
    const InterfaceTexts& texts_;
    const LogDestination userDestination_;
    const bool diagnostics_;
};

// Releases the session from the stop path's reach before the session goes.
class AttachedSession {
public:
    AttachedSession(std::unique_ptr<MailSession> session, std::shared_ptr<RunCancellation> cancellation)
        : session_(std::move(session)), cancellation_(std::move(cancellation)) {
        if (session_ && cancellation_) cancellation_->Attach(session_.get());
    }
    ~AttachedSession() {
        if (session_ && cancellation_) cancellation_->Detach();
    }
    AttachedSession(const AttachedSession&) = delete;
    AttachedSession& operator=(const AttachedSession&) = delete;
    MailSession* operator->() const { return session_.get(); }
    MailSession& operator*() const { return *session_; }
    explicit operator bool() const { return session_ != nullptr; }

private:
    std::unique_ptr<MailSession> session_;
    std::shared_ptr<RunCancellation> cancellation_;
};

// The words for why a connection could not be made; none where the system named no reason the user can act on.
std::optional<TextKey> ReasonOf(ConnectFailure failure) {
    switch (failure) {
        case ConnectFailure::kRefused:
            return TextKey::kReasonRefused;
        case ConnectFailure::kNoSuchHost:
            return TextKey::kReasonNoSuchHost;
        case ConnectFailure::kTimedOut:
            return TextKey::kReasonTimedOut;
        case ConnectFailure::kTlsHandshake:
            return TextKey::kReasonTlsHandshake;
        case ConnectFailure::kNone:
        case ConnectFailure::kOther:
            break;
    }
    return std::nullopt;
}

void LogUserLoginFailure(RunLog& log, const MailSession& session, std::int32_t code, const JobParameters& parameters) {
    switch (code) {
        case SessionError::kCertificateRefused:
            log.User(TextKey::kErrCertificate, "{REASON}", session.GetCertificateProblem());
            return;
        case SessionError::kNoStartTls:
            log.User(TextKey::kErrNoStartTls);
            return;
        case SessionError::kNotConnected:
            log.User(TextKey::kErrNoServer);
            // "Can't reach server" alone leaves the user guessing between a wrong name, a wrong port and a wrong
            // security setting.
            if (const std::optional<TextKey> reason = ReasonOf(session.GetConnectFailure())) {
                std::string detail = FillPlaceholder(log.Text(TextKey::kErrConnectDetail), "{HOST}", parameters.server);
                detail = FillPlaceholder(detail, "{PORT}", std::to_string(parameters.port));
                log.User(FillPlaceholder(detail, "{REASON}", log.Text(*reason)));
            }
            return;
        case SessionError::kGreetingRefused:
        case SessionError::kNone:        // the greeting was no POP3 status line
        case SessionError::kReadFailed:  // the server hung up before the login was through
            log.User(TextKey::kErrNoLogin);
            return;
        case SessionError::kUserRefused:
            log.User(TextKey::kErrUnknownUser);
            return;
        case SessionError::kPasswordRefused:
            log.User(TextKey::kErrWrongPassword);
            return;
        case SessionError::kTokenOverPlainText:
            log.User(TextKey::kErrTokenOverPlainText);
            return;
        case SessionError::kTokenRefused:
            log.User(TextKey::kErrTokenRefused);
            return;
        case SessionError::kNotSignedIn:
            log.User(TextKey::kErrNotSignedIn);
            return;
        case SessionError::kSignInExpired:
            log.User(TextKey::kErrSignInAgain);
            return;
        case SessionError::kProviderUnreachable:
            log.User(TextKey::kErrProviderUnreachable);
            return;
        default:
            // Silence here would leave the user without a clue why nothing happened.
            log.User(TextKey::kErrConnection, "{CODE}", std::to_string(code));
            return;
    }
}

// The user's line, and for the diagnostic log the code, the system's reason and the server's last words.
void LogLoginFailure(RunLog& log, const MailSession& session, std::int32_t code, const JobParameters& parameters) {
    LogUserLoginFailure(log, session, code, parameters);
    std::string diagnostic = "Login to " + parameters.server + ":" + std::to_string(parameters.port) +
                             " failed with error " + std::to_string(code);
    if (const std::optional<TextKey> reason = ReasonOf(session.GetConnectFailure())) {
        diagnostic += " (" + std::string(TextOf(Language::kEnglish, *reason)) + ")";
    }
    const std::string reply = session.GetLastReply();
    if (!reply.empty()) diagnostic += ", last reply: " + reply;
    log.Diagnostic(diagnostic);
}

// Why a file was not saved, as the line after its error line says it.
TextKey ReasonOf(const SaveResult& result) {
    switch (result.outcome) {
        case SaveOutcome::kNoFileName:
            return TextKey::kReasonNoFileName;
        case SaveOutcome::kUndecodable:
            return TextKey::kReasonNotDecodable;
        case SaveOutcome::kSaved:
        case SaveOutcome::kNotWritten:
            break;
    }
    switch (result.fileError) {
        case FileError::kNotFound:
            return TextKey::kReasonFolderMissing;
        case FileError::kAccessDenied:
            return TextKey::kReasonNoPermission;
        case FileError::kNoSpace:
            return TextKey::kReasonDiskFull;
        case FileError::kNameTooLong:
            return TextKey::kReasonNameTooLong;
        case FileError::kNone:
        case FileError::kOther:
            break;
    }
    return TextKey::kReasonNotWritten;
}

SaveRules SaveRulesOf(const JobParameters& parameters) {
    SaveRules rules;
    rules.extensions = parameters.extensions;
    rules.saveInline = parameters.saveInline;
    rules.existingFiles = parameters.existingFiles;
    rules.subFolder = parameters.subFolder;
    return rules;
}

// The date of the run, for the mails whose Date header does not read as one.
CalendarDate Today() {
    const std::tm now = CurrentLocalTime();
    return {now.tm_year + 1900, now.tm_mon + 1, now.tm_mday};
}

// The first list entry that names the sender, or none.
bool ListNamesSender(const SenderList& list, const std::string& from) {
    const std::size_t count = list.Count();
    for (std::size_t i = 0; i < count; ++i) {
        if (SenderMatches(from, list.Entry(i))) return true;
    }
    return false;
}

// The examined mails of a run that keeps them across restarts: read after the login, written at the run's end. The
// run's Message-IDs start from the remembered ones instead of this process's; unique ids let it pass remembered mails
// without a word to the server.
class RememberedRun {
public:
    RememberedRun(const JobParameters& parameters, const RunServices& services, RunLog& log)
        : path_(services.rememberedMailsFile), log_(log), messageIds_(std::make_shared<HandledMessageIds>()) {
        key_.server = parameters.server;
        key_.userName = parameters.userName;
        key_.filters = FiltersFingerprint(parameters.searchString, parameters.extensions, parameters.saveInline,
                                          Entries(*services.allowedSenders), Entries(*services.blockedSenders));
    }

    std::shared_ptr<HandledMessageIds> MessageIds() const { return messageIds_; }

    // Reads what earlier runs examined and asks the server for its unique ids; the messages that neither tells as
    // known are left for the headers.
    void Begin(MailSession& session, std::int32_t count) {
        RememberedReadResult read = ReadRememberedMails(path_);
        if (read.outcome == RememberedRead::kDamaged) log_.User(TextKey::kErrRememberedUnreadable);
        // Mails examined for another server, user or other filters are new to this run, as after a settings load.
        if (read.outcome == RememberedRead::kRead && read.file.key == key_) before_ = std::move(read.file.mails);
        std::unordered_map<std::string_view, std::size_t> byUniqueId;
        for (std::size_t i = 0; i < before_.size(); ++i) {
            if (!before_[i].uniqueId.empty()) byUniqueId.emplace(before_[i].uniqueId, i);
            if (!before_[i].messageId.empty()) messageIds_->Add(before_[i].messageId);
        }
        messages_.assign(static_cast<std::size_t>(std::max(count, 0)) + 1, RunMessage{});
        std::optional<std::vector<std::string>> uniqueIds = session.GetUniqueIds();
        log_.Diagnostic("Remembered mails: " + std::to_string(before_.size()) +
                        (uniqueIds ? ", unique ids listed" : ", no unique ids"));
        if (!uniqueIds) return;
        std::vector<std::int32_t> unknown;
        for (std::int32_t n = 1; n <= count; ++n) {
            RunMessage& message = messages_[static_cast<std::size_t>(n)];
            message.uniqueId = std::move((*uniqueIds)[static_cast<std::size_t>(n)]);
            if (!message.uniqueId.empty() && byUniqueId.contains(message.uniqueId)) {
                message.fate = MessageFate::kKnown;
            } else {
                unknown.push_back(n);
            }
        }
        log_.Diagnostic("Headers to examine: " + std::to_string(unknown.size()));
        session.LimitHeadersTo(std::move(unknown));
    }

    bool Known(std::int32_t n) const { return At(n) != nullptr && At(n)->fate == MessageFate::kKnown; }

    void Examined(std::int32_t n, const std::string& messageId, MessageFate fate) {
        if (RunMessage* message = At(n)) {
            message->messageId = messageId;
            message->fate = fate;
        }
    }

    // Written whatever became of the run; one that did not get through its mailbox keeps what it did not reach.
    void Save(bool complete) {
        if (saved_) return;
        saved_ = true;
        try {
            const std::span<const RunMessage> messages =
                messages_.empty() ? std::span<const RunMessage>() : std::span<const RunMessage>(messages_).subspan(1);
            const RememberedFile file{key_, RememberedAfterRun(before_, messages, complete)};
            log_.Diagnostic("Remembered mails written: " + std::to_string(file.mails.size()));
            if (WriteRememberedMails(path_, file) == FileError::kNone) return;
        } catch (...) {
        }
        log_.User(TextKey::kErrRememberedUnwritten);
    }

private:
    static std::vector<std::string> Entries(const SenderList& list) {
        std::vector<std::string> entries;
        for (std::size_t i = 0; i < list.Count(); ++i) entries.push_back(list.Entry(i));
        return entries;
    }
    RunMessage* At(std::int32_t n) {
        return n >= 1 && static_cast<std::size_t>(n) < messages_.size() ? &messages_[static_cast<std::size_t>(n)]
                                                                         : nullptr;
    }
    const RunMessage* At(std::int32_t n) const { return const_cast<RememberedRun*>(this)->At(n); }

    std::filesystem::path path_;
    RunLog& log_;
    RememberedKey key_;
    std::vector<RememberedMail> before_;
    std::vector<RunMessage> messages_;  // by message number; 0 unused
    std::shared_ptr<HandledMessageIds> messageIds_;
    bool saved_ = false;
};

// One message: the filters, and for a wanted message its retrieval and the saving of its allowed attachments.
class MessageWork {
public:
    MessageWork(MailSession& session, const JobParameters& parameters, const RunServices& services, RunLog& log,
                RunReport& report, RememberedRun* remembered)
        : session_(session), parameters_(parameters), services_(services), log_(log), report_(report),
          remembered_(remembered), saver_(FolderWithSeparator(parameters.saveDir), SaveRulesOf(parameters), Today()) {}

    // False when the run cannot go on with the next message.
    bool Examine(std::int32_t n) {
        current_ = n;
        const std::string header = ReadableHeader(session_.LoadHeader(n));
        // A header that does not fit in its limit says nothing the filters could use, and is no mail to retrieve.
        if (header.empty() && session_.GetErrorCode() == SessionError::kReplyTooLarge) {
            if (remembered_) remembered_->Examined(n, {}, MessageFate::kExamined);
            return ReportTooLarge(n, {});
        }
        const std::string from = GetHeaderField(header, "from");
        const std::string subject = GetHeaderField(header, "subject");
        const std::string messageId = GetHeaderField(header, "message-id");
        // A header that did not arrive was not examined: the next run looks again.
        if (remembered_) {
            remembered_->Examined(n, messageId, header.empty() ? MessageFate::kRetried : MessageFate::kExamined);
        }
        log_.Diagnostic("From: " + from + "\r\nSubject: " + subject + "\r\nMessageID: " + messageId);

        const bool accepted = Accepted(from, messageId);
        const std::size_t position = LogSubjectPosition(subject);
        if (!accepted || (!parameters_.searchString.empty() && position == 0)) return true;

        if (session_.LoadMessage(n) == 0) {
            if (session_.GetErrorCode() == SessionError::kReplyTooLarge) return ReportTooLarge(n, messageId);
            // Left in the set, a mail that failed to arrive would be skipped for the rest of the process.
            Forget(messageId);
            return true;
        }
        SaveAttachments(n, messageId);
        return true;
    }

    // What Examine will decide for a header, foreseen without a word logged and without touching the handled
    // Message-IDs, so that the session may retrieve the message early. A wrong guess costs a download, never a result.
    bool WillLoad(const std::string& header) const {
        const std::string from = GetHeaderField(header, "from");
        if (ListNamesSender(*services_.blockedSenders, from)) return false;
        const std::string messageId = GetHeaderField(header, "message-id");
        if (!messageId.empty() && services_.handledMessageIds->Contains(messageId)) return false;
        const SenderList& allowed = *services_.allowedSenders;
        if (allowed.Count() > 0 && !ListNamesSender(allowed, from)) return false;
        return parameters_.searchString.empty() || SubjectPosition(GetHeaderField(header, "subject")) > 0;
    }

private:
    // A reply past its limit fails for good: its mail stays remembered as examined, so this process neither
    // downloads it nor reports it again, and it is never deleted. False when the connection went with it.
    bool ReportTooLarge(std::int32_t n, const std::string& messageId) {
        const OversizedReply oversized = session_.GetOversizedReply();
        const std::int32_t number = oversized.messageNumber > 0 ? oversized.messageNumber : n;
        log_.User(FillPlaceholder(FillPlaceholder(log_.Text(TextKey::kErrReplyTooLarge), "{NUMBER}",
                                                  std::to_string(number)),
                                  "{LIMIT}", std::to_string(oversized.limitBytes)));
        // A later message's reply stood in the way of this one's, which the next run examines again.
        if (number != n) Forget(messageId);
        if (oversized.connectionClosed) report_.failed = true;
        return !oversized.connectionClosed;
    }

    bool Accepted(const std::string& from, const std::string& messageId) {
        const SenderList& blocked = *services_.blockedSenders;
        if (blocked.Count() > 0) {
            log_.Diagnostic("BlackList found (" + std::to_string(blocked.Count()) + " items)");
            if (ListNamesSender(blocked, from)) {
                log_.Diagnostic("Sender " + from + " blocked!");
                return false;
            }
        }
        HandledMessageIds& handled = *services_.handledMessageIds;
        if (!messageId.empty() && handled.MarkIfKnown(messageId)) {
            log_.Diagnostic("MessageID (" + messageId + ") allready there!");
            return false;
        }
        if (!messageId.empty()) handled.Add(messageId);

        const SenderList& allowed = *services_.allowedSenders;
        if (allowed.Count() == 0) return true;
        log_.Diagnostic("WhiteList found (" + std::to_string(allowed.Count()) + " items)");
        if (!ListNamesSender(allowed, from)) return false;
        log_.Diagnostic("Sender (" + from + ") allowed!");
        return true;
    }

    // The 1-based position of the search string in the subject, ignoring case; 0 when absent or when there is no
    // search string.
    std::size_t SubjectPosition(const std::string& subject) const {
        const std::string& search = parameters_.searchString;
        if (search.empty()) return 0;
        const std::size_t found = FindNoCase(subject, search);
        return found == std::string::npos ? 0 : found + 1;
    }

    std::size_t LogSubjectPosition(const std::string& subject) {
        const std::size_t position = SubjectPosition(subject);
        log_.Diagnostic("SearchInHead: " + parameters_.searchString + " <-> FindString: " + std::to_string(position));
        return position;
    }

    void SaveAttachments(std::int32_t n, const std::string& messageId) {
        const MailMessage message(session_.TakeMessage());
        const std::vector<MessagePart>& parts = message.Parts();
        const int count = CountFileParts(parts, parameters_.saveInline);
        log_.Diagnostic("Message loaded, contains " + std::to_string(count) + " attachments.");
        log_.Diagnostic("Allowed Extensions: " + parameters_.extensions);

        int saved = 0;
        int retryable = 0;
        int lost = 0;  // can never be saved: no name, or content that does not decode
        saver_.SaveFilesOf(parts, [&](const FileSave& file) {
            log_.Diagnostic(std::string("Ready for saving: ") + (file.allowed ? "1" : "0"));
            if (!file.allowed) return;
            if (file.result.Saved()) {
                ++saved;
                log_.Diagnostic("Attachment saved to: " + parameters_.saveDir);
                log_.User(TextKey::kMsgFileSaved, "{FILE}", ShownName(file.savedName));
                return;
            }
            if (file.result.Permanent()) {
                ++lost;
            } else {
                ++retryable;
            }
            log_.User(TextKey::kErrFileNotSaved, "{FILE}", ShownName(file.name));
            log_.User(ReasonOf(file.result));
        });
        report_.savedAttachments += saved;
        report_.unsavedAttachments += retryable + lost;

        if (retryable > 0) {
            // The next run tries this mail again; it stays on the server until then.
            Forget(messageId);
            return;
        }
        // An attachment that no retry can save stays recorded, so this process does not download the mail and report
        // it again at every run; the mail stays on the server, since the attachment is not on disk.
        if (lost > 0) return;
        // Deleted once, and only when nothing of it would be lost with it at the end of the conversation. A file that
        // was there already with the same bytes counts as saved.
        if (saved > 0 && parameters_.deleteMails) session_.DeleteMessage(n);
    }

    // The message examined now is tried again by the next run.
    void Forget(const std::string& messageId) {
        if (!messageId.empty()) services_.handledMessageIds->Remove(messageId);
        if (remembered_) remembered_->Examined(current_, messageId, MessageFate::kRetried);
    }

    MailSession& session_;
    const JobParameters& parameters_;
    const RunServices& services_;
    RunLog& log_;
    RunReport& report_;
    RememberedRun* remembered_;  // none when the examined mails live in this process only
    std::int32_t current_ = 0;
    AttachmentSaver saver_;
};

void RunLoggedIn(MailSession& session, JobParameters& parameters, const RunServices& services, RunLog& log,
                 RunReport& report, RememberedRun* remembered) {
    const std::int32_t count = session.GetMessageCount();
    log.User(TextKey::kMsgLoggedIn, "{COUNT}", std::to_string(count));
    if (!parameters.searchString.empty()) log.User(TextKey::kMsgSearching, "{SEARCH}", parameters.searchString);
    if (remembered) remembered->Begin(session, count);

    services.handledMessageIds->ResetMarks();
    log.Diagnostic("MessageIDs: " + std::to_string(services.handledMessageIds->Size()));

    MessageWork work(session, parameters, services, log, report, remembered);
    bool reachedEnd = false;
    bool connected = true;
    {
        // The filter reaches into `work`, so it must not outlive it, whatever ends the loop.
        struct ReadAheadScope {
            MailSession& session;
            ~ReadAheadScope() { session.SetReadAheadFilter({}); }
        } readAhead{session};
        session.SetReadAheadFilter([&work, &parameters](const std::string& header) {
            // Once a stop is asked for, nothing more is fetched ahead: the logout must wait for what is in flight.
            return !parameters.stopRequested.load() && work.WillLoad(ReadableHeader(header));
        });
        std::int32_t n = 1;
        for (; n <= count && connected; ++n) {
            if (parameters.stopRequested.load()) break;
            // A remembered mail is passed without a word to the server.
            if (remembered && remembered->Known(n)) continue;
            connected = work.Examine(n);
        }
        reachedEnd = n > count && connected;
    }
    // A reply that could not be thrown away in time ended the conversation without QUIT: its error line is the run's
    // last word.
    if (!connected) {
        if (remembered) remembered->Save(false);
        return;
    }

    if (report.unsavedAttachments == 1) log.User(TextKey::kMsgOneFileNotSaved);
    if (report.unsavedAttachments > 1) {
        log.User(TextKey::kMsgFilesNotSaved, "{COUNT}", std::to_string(report.unsavedAttachments));
    }
    const bool loggedOut = session.Logout() != 0;
    // Only a conversation that went to its end and was closed by QUIT tells which mails are still on the server.
    if (remembered) remembered->Save(reachedEnd && loggedOut);
    log.User(TextKey::kMsgLoggedOut);
    log.User("");
}

// How the session logs in: the protection, and with a sign-in its access token. False (with the login failure logged)
// when the sign-in gives no token.
bool PrepareLogin(MailSession& session, const JobParameters& parameters, const RunServices& services, RunLog& log,
                  RunReport& report) {
    session.SetConnectionSecurity(parameters.security);
    if (parameters.authentication != Authentication::kOAuth) return true;
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    const TokenRefresher refresh = [&](const StoredTokens& current) {
        const std::unique_ptr<HttpsClient> https = services.createHttpsClient ? services.createHttpsClient() : nullptr;
        if (!https) return RefreshResult{};
        if (services.cancellation) services.cancellation->AttachRequest(https.get());
        // A stop that came before the request was attached finds it here.
        if (parameters.stopRequested.load()) https->Cancel();
        RefreshResult result = RefreshTokens(
            *https, {parameters.oauthTokenUrl, parameters.oauthClientId, parameters.oauthScope, parameters.oauthClientSecret}, current, now);
        if (services.cancellation) services.cancellation->DetachRequest();
        return result;
    };
    RunToken token = AccessTokenForRun(services.tokenFile, now, refresh);
    if (!token.detail.empty()) log.Diagnostic("Sign-in: " + token.detail);
    if (token.error != SessionError::kNone) {
        report.loginError = token.error;
        if (!parameters.stopRequested.load()) LogLoginFailure(log, session, token.error, parameters);
        return false;
    }
    session.SetAccessToken(std::move(token.accessToken));
    return true;
}

// The run from its login to its logout, without the last step that every run ends with.
void RunSession(JobParameters& parameters, const RunServices& services, RunLog& log, RunReport& report) {
    AttachedSession session(services.createSession ? services.createSession() : nullptr, services.cancellation);
    if (!session || !PrepareLogin(*session, parameters, services, log, report)) return;
    if (session->Login(parameters.server, parameters.port, parameters.userName, parameters.password,
                       kReplyTimeoutMs) != 0) {
        report.loggedIn = true;
        std::optional<RememberedRun> remembered;
        RunServices runServices = services;
        if (parameters.rememberMails && !services.rememberedMailsFile.empty()) {
            remembered.emplace(parameters, services, log);
            runServices.handledMessageIds = remembered->MessageIds();
        }
        try {
            RunLoggedIn(*session, parameters, runServices, log, report, remembered ? &*remembered : nullptr);
        } catch (...) {
            // Deletions take effect only at the logout: a run that cannot go on still ends its conversation.
            session->Logout();
            if (remembered) remembered->Save(false);
            throw;
        }
        return;
    }
    report.loginError = session->GetErrorCode();
    // Whatever step a stop cut short, the user asked for it and needs no error line.
    if (!parameters.stopRequested.load()) LogLoginFailure(log, *session, report.loginError, parameters);
}

void CheckSession(JobParameters& parameters, const RunServices& services, RunLog& log, RunReport& report) {
    AttachedSession session(services.createSession ? services.createSession() : nullptr, services.cancellation);
    if (!session || !PrepareLogin(*session, parameters, services, log, report)) return;
    if (session->Login(parameters.server, parameters.port, parameters.userName, parameters.password,
                       kReplyTimeoutMs) == 0) {
        report.loginError = session->GetErrorCode();
        if (!parameters.stopRequested.load()) LogLoginFailure(log, *session, report.loginError, parameters);
        return;
    }
    report.loggedIn = true;
    const std::int32_t count = session->GetMessageCount();
    session->Logout();
    log.User(TextKey::kMsgConnected, "{COUNT}", std::to_string(count));
}

// The frame of every run: nothing thrown leaves it, and its last act clears activeRunNumber.
template <typename Body>
RunReport GuardedRun(JobParameters& parameters, const RunServices& services, Body body) {
    RunReport report;
    try {
        RunLog log(parameters, services);
        try {
            body(parameters, services, log, report);
        } catch (...) {
            report.failed = true;
            log.User(TextKey::kErrRunFailed);
        }
    } catch (...) {
        // Even the log failed (out of memory): the run ends silently rather than taking the program down.
        report.failed = true;
    }
    return report;
}

}  // namespace

RunReport MailboxRun(JobParameters& parameters, const RunServices& services) {
    const RunReport report = GuardedRun(parameters, services, RunSession);
    try {
        services.handledMessageIds->PruneUnmarked();
    } catch (...) {
    }
    parameters.activeRunNumber.store(0);
    return report;
}

RunReport CheckConnection(JobParameters& parameters, const RunServices& services) {
    const RunReport report = GuardedRun(parameters, services, CheckSession);
    parameters.activeRunNumber.store(0);
    return report;
}

}  // namespace zendrel
