#include "oauth/browser_sign_in.h"

#include <ctime>

#include "common/steady_time.h"
#include "oauth/authorization_code.h"

namespace zendrel {
namespace {

constexpr const char* kSignedInPage =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Zendrel</title></head>"
    "<body><p>Zendrel has the sign-in. You can close this window.</p></body></html>";
constexpr const char* kRefusedPage =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Zendrel</title></head>"
    "<body><p>Zendrel was not signed in. You can close this window.</p></body></html>";
constexpr const char* kNotFoundPage =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Zendrel</title></head><body></body></html>";

}  // namespace

std::optional<std::string> BrowserSignIn::Start(const BrowserSignInClient& client, std::string& detail) {
    const std::optional<PkcePair> pkce = NewPkcePair();
    const std::optional<std::string> state = NewSignInState();
    if (!pkce || !state) {
        detail = "the system gives no random bytes";
        return std::nullopt;
    }
    listener_ = OpenLoopbackListener();
    if (!listener_) {
        detail = "no port can be had on 127.0.0.1";
        return std::nullopt;
    }
    client_ = client;
    state_ = *state;
    verifier_ = pkce->verifier;
    redirectUri_ = "http://" + client.endpoints.redirectHost + ":" + std::to_string(listener_->Port()) + "/";
    return AuthorizationAddress({client.endpoints.authorizeUrl, client.clientId, redirectUri_, client.endpoints.scope,
                                 state_, pkce->challenge, client.endpoints.asksOfflineConsent});
}

SignInResult BrowserSignIn::Await(std::int32_t timeoutMs) {
    SignInResult result;
    if (!listener_) {
        result.detail = "the sign-in was not started";
        return result;
    }
    const std::int64_t deadline = SteadyMilliseconds() + timeoutMs;
    for (;;) {
        const ListenedRequest request = listener_->Next(deadline);
        switch (request.outcome) {
            case ListenOutcome::kRequest:
                break;
            case ListenOutcome::kTimedOut:
                result.outcome = SignInOutcome::kExpired;
                result.detail = "no answer came from the browser in time";
                return result;
            case ListenOutcome::kCancelled:
                result.outcome = SignInOutcome::kCancelled;
                return result;
            case ListenOutcome::kFailed:
                result.detail = "the listener on 127.0.0.1 failed";
                return result;
        }
        const Redirect redirect = ReadRedirect(request.requestLine);
        if (redirect.kind == RedirectKind::kNotOurs) {
            listener_->Answer(404, kNotFoundPage);
            continue;
        }
        // A redirect that does not carry our state was not asked for by this sign-in: whoever sent it, its code is
        // not taken.
        if (redirect.state != state_) {
            listener_->Answer(400, kRefusedPage);
            result.outcome = SignInOutcome::kRefused;
            result.detail = "the redirect does not carry this sign-in's state";
            return result;
        }
        if (redirect.kind == RedirectKind::kError) {
            listener_->Answer(200, kRefusedPage);
            result.outcome = SignInOutcome::kRefused;
            result.detail = "the provider answered " + redirect.error;
            return result;
        }
        const TokenClient tokenClient{client_.endpoints.tokenUrl, client_.clientId, client_.endpoints.scope,
                                      client_.clientSecret};
        result = ExchangeAuthorizationCode(*https_, tokenClient, redirect.code, redirectUri_, verifier_,
                                           static_cast<std::int64_t>(std::time(nullptr)));
        listener_->Answer(200, result.outcome == SignInOutcome::kSignedIn ? kSignedInPage : kRefusedPage);
        return result;
    }
}

void BrowserSignIn::Cancel() {
    if (listener_) listener_->Cancel();
    https_->Cancel();
}

}  // namespace zendrel
