#pragma once
// The one object through which a mailbox run talks to the POP3 server. It speaks the protocol only: what a header or
// a retrieved message says is the reader's business (mime).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/connection_security.h"
#include "net/transport.h"

namespace zendrel {

// Codes kept in the session's error code; 0 means no error.
namespace SessionError {
inline constexpr std::int32_t kNone = 0;
inline constexpr std::int32_t kNotConnected = 1;      // no connection, or the server refused STAT at login
inline constexpr std::int32_t kGreetingRefused = 2;   // the greeting was an error reply
inline constexpr std::int32_t kReadFailed = 3;        // reading failed, or the server closed the connection before
                                                      // the reply was complete; the session has been logged out
inline constexpr std::int32_t kUserRefused = 4;
inline constexpr std::int32_t kPasswordRefused = 5;
inline constexpr std::int32_t kNoBuffer = 6;          // the receive buffer could not be had
inline constexpr std::int32_t kTopNotOffered = 7;     // the known capability list lacks TOP
inline constexpr std::int32_t kBadNumber = 8;         // message or part number outside 1..count
inline constexpr std::int32_t kNotLoaded = 10;        // RETR refused
inline constexpr std::int32_t kNothingToLogOut = 11;
inline constexpr std::int32_t kCommandRefused = 12;   // DELE or RSET refused
inline constexpr std::int32_t kSendFailed = 13;
inline constexpr std::int32_t kTimedOut = 14;         // no complete reply before the inactivity time-out
inline constexpr std::int32_t kCancelled = 15;        // a read or the connect was ended by CancelReceive
inline constexpr std::int32_t kCertificateRefused = 19;  // the server's certificate is not trusted; nothing was sent
inline constexpr std::int32_t kNoStartTls = 20;       // STARTTLS was asked for and the server does not offer it
inline constexpr std::int32_t kReplyTooLarge = 21;    // a reply went past what it may hold: see GetOversizedReply()
inline constexpr std::int32_t kTokenOverPlainText = 22;  // a token login over a plain connection; nothing was sent
inline constexpr std::int32_t kTokenRefused = 23;     // the server refused the login with the access token
// Before any session: the run has no token to log in with (no sign-in), the provider refused to renew it (revoked or
// expired), or did not answer.
inline constexpr std::int32_t kNotSignedIn = 24;
inline constexpr std::int32_t kSignInExpired = 25;
inline constexpr std::int32_t kProviderUnreachable = 26;  // the token could not be refreshed: no answer
}  // namespace SessionError

// What the last failure with SessionError::kReplyTooLarge met. Nothing of such a reply is kept.
struct OversizedReply {
    // The message the reply was about: with read-ahead, possibly a later one than the operation asked for; 0 for a
    // reply about no message (a list).
    std::int32_t messageNumber = 0;
    std::uint64_t limitBytes = 0;   // what that reply could have held
    // Its rest could not be read to its end and thrown away in time, so nothing after it could be told apart: the
    // connection was closed without QUIT.
    bool connectionClosed = false;
};

// The conversation's operations. Results follow the program's conventions: 1/0, a count, or an empty text on
// failure, with the reason in GetErrorCode(). No operation throws.
class MailSession {
public:
    virtual ~MailSession() = default;

    virtual std::int32_t GetErrorCode() const = 0;
    // The last reply's text after its status indicator; after LoadMessage, the message until it is taken.
    virtual std::string GetLastReply() const = 0;
    virtual std::int32_t Login(const std::string& host, std::int32_t port, const std::string& userName,
                               const std::string& password, std::int32_t timeoutMs) = 0;
    virtual std::int32_t Logout() = 0;
    virtual std::int32_t GetMessageCount() = 0;
    // The header of message n as the server sent it (TOP n 0): the text after the status indicator, CR LF in front of
    // each field line.
    virtual std::string LoadHeader(std::int32_t n) = 0;
    // Retrieves message n; TakeMessage hands its text over.
    virtual std::int32_t LoadMessage(std::int32_t n) = 0;
    // The text of the message LoadMessage retrieved last, moved out so that it is held once: the rest of the status
    // line, CR LF, the header fields and the body, dot-unstuffed and without the terminating line. Empty when none is
    // held (none loaded, taken already, or the session logged out since).
    virtual std::string TakeMessage() = 0;
    virtual std::int32_t DeleteMessage(std::int32_t n) = 0;
    virtual std::int32_t ResetSession() = 0;
    // May be called from another thread while a reply is being read.
    virtual std::int32_t CancelReceive() = 0;

    // For the logins that follow; plain text until called.
    virtual void SetConnectionSecurity(ConnectionSecurity security) { static_cast<void>(security); }
    // For the logins that follow: a non-empty OAuth 2.0 access token logs the user name in with SASL instead of the
    // password, and only over TLS (kTokenOverPlainText before the connect otherwise).
    virtual void SetAccessToken(std::string accessToken) { static_cast<void>(accessToken); }
    // After a login that failed with kCertificateRefused: why, in a few words.
    virtual std::string GetCertificateProblem() const { return {}; }
    // After a login that failed with kNotConnected: why the connection could not be made, where that is known.
    virtual ConnectFailure GetConnectFailure() const { return ConnectFailure::kNone; }
    // For a session that reads ahead: tells, from the header of a message that LoadHeader has not reached yet,
    // whether LoadMessage will be asked for it, so that it may be retrieved early. Only a hint: every operation
    // gives the same results whatever it answers.
    virtual void SetReadAheadFilter(std::function<bool(const std::string& header)> willLoad) {
        static_cast<void>(willLoad);
    }
    virtual OversizedReply GetOversizedReply() const { return {}; }
    // The server's unique id of every message (UIDL), indexed by message number (index 0 unused), empty where the
    // server gave none that tells the message apart. None when the server does not offer UIDL, refuses it or its
    // reply cannot be had: the mailbox is then told apart by its headers alone. The error code stays as it was.
    virtual std::optional<std::vector<std::string>> GetUniqueIds() { return std::nullopt; }
    // The messages whose headers the run will ask for, in ascending order; a session that reads ahead then asks for
    // no others. Every message until called after a login. Only a hint, as the read-ahead filter is.
    virtual void LimitHeadersTo(std::vector<std::int32_t> numbers) { static_cast<void>(numbers); }
};

// A session over the platform's TCP sockets.
std::unique_ptr<MailSession> CreateMailSession();

}  // namespace zendrel
