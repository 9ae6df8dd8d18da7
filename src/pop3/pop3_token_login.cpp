// The token login of Pop3MailSession: AUTH, the server's go-ahead, the response, and on a refusal the exchange that
// ends it.

#include "common/base64.h"
#include "pop3/pop3_replies.h"
#include "pop3/pop3_session.h"
#include "pop3/token_login.h"

namespace zendrel {

bool Pop3MailSession::AuthenticateWithToken(const std::string& host, const std::string& userName) {
    const TokenMechanism mechanism = ChooseTokenMechanism(capabilities_);
    if (!SendCommand(TokenAuthCommand(mechanism), ReplyMode::kSingleLine)) {
        errorCode_ = SessionError::kSendFailed;
        return false;
    }
    std::string reply = ReadReplyText();
    if (reply.empty()) return false;  // the reader's code stands
    if (!IsContinuation(reply)) {
        // The mechanism itself was refused: the token never left.
        CheckStatus(std::move(reply));
        errorCode_ = SessionError::kTokenRefused;
        return false;
    }
    const std::string response =
        EncodeBase64(TokenInitialResponse(mechanism, userName, host, port_, accessToken_)) + "\r\n";
    if (!SendCommand(response, ReplyMode::kSingleLine)) {
        errorCode_ = SessionError::kSendFailed;
        return false;
    }
    reply = ReadReplyText();
    if (reply.empty()) return false;
    if (!IsContinuation(reply)) {
        if (CheckStatus(std::move(reply))) return true;
        errorCode_ = SessionError::kTokenRefused;
        return false;
    }
    // The refusal comes as a challenge that tells why (its JSON status); the exchange must still be ended before the
    // server sends its error reply.
    const std::string challenge = ChallengeText(reply);
    if (!SendCommand(TokenFailureAnswer(mechanism), ReplyMode::kSingleLine)) {
        errorCode_ = SessionError::kSendFailed;
        return false;
    }
    reply = ReadReplyText();
    if (reply.empty()) return false;
    CheckStatus(std::move(reply));
    while (!lastReply_.empty() && (lastReply_.back() == '\n' || lastReply_.back() == '\r')) lastReply_.pop_back();
    lastReply_ += " (challenge " + challenge + ")";
    errorCode_ = SessionError::kTokenRefused;
    return false;
}

}  // namespace zendrel
