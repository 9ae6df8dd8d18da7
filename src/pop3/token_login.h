#pragma once
// The SASL login with an OAuth 2.0 access token (RFC 5034 AUTH): OAUTHBEARER (RFC 7628) where the server lists it,
// else XOAUTH2, the mechanism Microsoft and Google introduced before it. What goes over the wire; the conversation is
// Pop3MailSession's.

#include <cstdint>
#include <string>
#include <string_view>

namespace zendrel {

enum class TokenMechanism { kXOAuth2, kOAuthBearer };

// OAUTHBEARER when the SASL line of the capability list (as ParseCapabilities joins it) names it, else XOAUTH2.
TokenMechanism ChooseTokenMechanism(std::string_view capabilities);

// "AUTH XOAUTH2\r\n" or "AUTH OAUTHBEARER\r\n". The initial response never goes on this line: RFC 5034 limits it to
// 255 octets with the response, tokens are 1-2 KB, and Office 365 wants the two steps for XOAUTH2 anyway.
std::string_view TokenAuthCommand(TokenMechanism mechanism);

// The client's first response before base64: who logs in and the token, in the mechanism's form.
std::string TokenInitialResponse(TokenMechanism mechanism, std::string_view userName, std::string_view host,
                                 std::int32_t port, std::string_view accessToken);

// The line that ends the exchange after the server's failure challenge (a base64 JSON error): XOAUTH2 takes an empty
// response, OAUTHBEARER a single 0x01 (RFC 7628 3.2.3); either way the server then sends its error reply.
std::string_view TokenFailureAnswer(TokenMechanism mechanism);

// Whether a reply is a SASL continuation ("+ " and a base64 challenge, possibly empty) rather than a status.
bool IsContinuation(std::string_view reply);

// The decoded challenge of a continuation, for the diagnostic log: bounded, with every byte outside printable ASCII
// shown as '?', so that a hostile server cannot write lines of its own into the log.
std::string ChallengeText(std::string_view reply);

}  // namespace zendrel
