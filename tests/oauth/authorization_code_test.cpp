#include "oauth/authorization_code.h"

#include <gtest/gtest.h>

#include <string>

#include "answering_https_client.h"

namespace zendrel {
namespace {

TEST(AuthorizationCode, PkceFollowsTheStandardsExampleAndEachSignInDrawsItsOwn) {
    // RFC 7636 appendix B: the 32 octets, their verifier, its challenge.
    const unsigned char octets[] = {116, 24,  223, 180, 151, 153, 224, 37, 79, 250, 96,  125, 216, 173, 187, 186,
                                    22,  212, 37,  77,  105, 214, 191, 240, 91, 88,  5,   88,  83,  132, 141, 121};
    EXPECT_EQ(Base64UrlWithoutPadding({reinterpret_cast<const char*>(octets), sizeof octets}),
              "dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk");
    EXPECT_EQ(PkceChallengeOf("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
              "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
    const std::optional<PkcePair> first = NewPkcePair();
    const std::optional<PkcePair> second = NewPkcePair();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->verifier.size(), 43u);
    EXPECT_EQ(first->verifier.find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
              std::string::npos);
    EXPECT_EQ(PkceChallengeOf(first->verifier), first->challenge);
    EXPECT_NE(first->verifier, second->verifier);
    const std::optional<std::string> state = NewSignInState();
    ASSERT_TRUE(state);
    EXPECT_NE(state, NewSignInState());
    EXPECT_EQ(state->size(), 22u);
}

TEST(AuthorizationCode, TheAddressAsksForACodeWithTheChallengeAndGoogleAlsoForOfflineConsent) {
    AuthorizationRequest request{"https://id.example/authorize", "app 1", "http://127.0.0.1:4711/",
                                 "https://mail.google.com/ openid", "st-1", "E9M-c", false};
    EXPECT_EQ(AuthorizationAddress(request),
              "https://id.example/authorize?response_type=code&client_id=app%201"
              "&redirect_uri=http%3A%2F%2F127.0.0.1%3A4711%2F&scope=https%3A%2F%2Fmail.google.com%2F%20openid"
              "&state=st-1&code_challenge=E9M-c&code_challenge_method=S256");
    request.authorizeUrl = "https://id.example/authorize?tenant=x";
    request.asksOfflineConsent = true;
    EXPECT_EQ(AuthorizationAddress(request),
              "https://id.example/authorize?tenant=x&response_type=code&client_id=app%201"
              "&redirect_uri=http%3A%2F%2F127.0.0.1%3A4711%2F&scope=https%3A%2F%2Fmail.google.com%2F%20openid"
              "&state=st-1&code_challenge=E9M-c&code_challenge_method=S256&access_type=offline&prompt=consent");
}

TEST(AuthorizationCode, TheBrowsersRequestLineIsReadAsARedirectOnlyAtTheRootWithACodeOrAnError) {
    struct Case {
        const char* line;
        RedirectKind kind;
        const char* code;
        const char* state;
        const char* error;
    };
    const Case cases[] = {
        {"GET /?code=4%2F0Ab-c&state=st-1 HTTP/1.1", RedirectKind::kCode, "4/0Ab-c", "st-1", ""},
        {"GET /?state=st+1&code=c&scope=email%20openid HTTP/1.1", RedirectKind::kCode, "c", "st 1", ""},
        {"GET /?error=access_denied&state=st-1 HTTP/1.1", RedirectKind::kError, "", "st-1", "access_denied"},
        {"GET /?code=c&error=%1B%5B2J&state=s HTTP/1.1", RedirectKind::kError, "c", "s", "??2J"},
        {"GET /?error=&state=s HTTP/1.1", RedirectKind::kError, "", "s", "?"},
        {"GET /?code=c%zz%4 HTTP/1.1", RedirectKind::kCode, "c%zz%4", "", ""},
        {"GET /favicon.ico HTTP/1.1", RedirectKind::kNotOurs, "", "", ""},
        {"GET /other?code=c&state=s HTTP/1.1", RedirectKind::kNotOurs, "", "", ""},
        {"GET / HTTP/1.1", RedirectKind::kNotOurs, "", "", ""},
        {"GET /?state=s HTTP/1.1", RedirectKind::kNotOurs, "", "s", ""},
        {"POST /?code=c&state=s HTTP/1.1", RedirectKind::kNotOurs, "", "", ""},
        {"", RedirectKind::kNotOurs, "", "", ""},
    };
    for (const Case& c : cases) {
        const Redirect redirect = ReadRedirect(c.line);
        EXPECT_EQ(redirect.kind, c.kind) << c.line;
        EXPECT_EQ(redirect.code, c.code) << c.line;
        EXPECT_EQ(redirect.state, c.state) << c.line;
        EXPECT_EQ(redirect.error, c.error) << c.line;
    }
}

TEST(AuthorizationCode, TheCodeIsExchangedWithItsVerifierAndRedirectAndARefusalIsOne) {
    testsupport::AnsweringHttpsClient https(
        {HttpsFailure::kNone, 200, R"({"access_token":"a","refresh_token":"r","expires_in":60})"});
    const TokenClient client{"https://id.example/token", "app", "openid", "GOCSPX-x/y"};
    const SignInResult signedIn =
        ExchangeAuthorizationCode(https, client, "4/0A+b", "http://127.0.0.1:4711/", "v-1", 1000);
    EXPECT_EQ(https.url_, "https://id.example/token");
    EXPECT_EQ(https.form_,
              "grant_type=authorization_code&code=4%2F0A%2Bb&redirect_uri=http%3A%2F%2F127.0.0.1%3A4711%2F"
              "&client_id=app&code_verifier=v-1&client_secret=GOCSPX-x%2Fy");
    EXPECT_EQ(signedIn.outcome, SignInOutcome::kSignedIn);
    EXPECT_EQ(signedIn.tokens.refreshToken, "r");
    EXPECT_EQ(signedIn.tokens.accessTokenExpiresAt, 1060);

    testsupport::AnsweringHttpsClient refusing({HttpsFailure::kNone, 400, R"({"error":"invalid_grant"})"});
    const SignInResult refused = ExchangeAuthorizationCode(refusing, client, "c", "http://127.0.0.1:1/", "v", 1000);
    EXPECT_EQ(refused.outcome, SignInOutcome::kRefused);
    EXPECT_EQ(refused.detail, "the token endpoint answered 400 invalid_grant");
}

}  // namespace
}  // namespace zendrel
