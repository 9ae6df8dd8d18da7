// zendrel --run-once with an OAuth 2.0 sign-in against a real Dovecot that checks the access tokens itself, and a
// test authorization server that renews them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/window_sign_in.h"
#include "dovecot/authorization_server.h"
#include "dovecot/dovecot_server.h"
#include "dovecot/test_browser.h"
#include "dovecot/test_certificates.h"
#include "dovecot/test_tokens.h"
#include "mailbox_program_test.h"
#include "oauth/token_store.h"

namespace zendrel::testsupport {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Long enough for the Windows program to start under Wine.
constexpr std::chrono::seconds kPatience{60};

constexpr const char* kTokenKey = "the authorization server's signing key";
constexpr const char* kUser = "token-reader";

std::size_t CountOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class SignInRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(TestCertificatesFolder().empty()) << "the openssl command could not make the test certificates";
        std::string reason;
        server_ = DovecotServer::Start({{kUser, "unused-password"}}, reason, &certificate_, kTokenKey);
        if (!server_ && DovecotServer::MayBeUnavailable()) GTEST_SKIP() << "Dovecot cannot be started here: " << reason;
        ASSERT_TRUE(server_) << reason;
        ASSERT_TRUE(work_.Created());
        if (program_.IsWindowsProgram()) {
            const char* tool = std::getenv("ZENDREL_TEST_TRUST_TOOL");
            if (tool == nullptr) GTEST_SKIP() << "ZENDREL_TEST_TRUST_TOOL names no tool that trusts the test authority";
            const testsupport::ProgramResult trusted = ProgramUnderTest{program_.launcher, tool}.Run(
                {program_.PathText(authority_)}, work_.Path(), scratch_, {});
            ASSERT_EQ(trusted.exitCode, 0) << trusted.out << trusted.err;
        }
        settings_.language = "english";
        settings_.server = "localhost";
        settings_.security = ConnectionSecurity::kTls;
        settings_.portText = std::to_string(server_->TlsPort());
        settings_.userName = kUser;
        settings_.saveDir = program_.PathText(save_);
        settings_.extensionsText = "csv";
        settings_.signIn.authentication = Authentication::kOAuth;
    }

    // One --run-once with these settings and tokens.
    testsupport::ProgramResult Run(const std::string& refreshToken, const std::string& accessToken,
                               std::int64_t expiresAt) {
        EXPECT_TRUE(SaveSettings(data_, settings_));
        StoredTokens tokens;
        tokens.refreshToken = refreshToken;
        tokens.accessToken = accessToken;
        tokens.accessTokenExpiresAt = expiresAt;
        EXPECT_EQ(SaveTokens(data_ / kTokenFileName, tokens), TokenSave::kSaved);
        return RunCommand({"--run-once", "-logging"});
    }

    // The program on the saved settings and tokens; what it printed joins everything_.
    testsupport::ProgramResult RunCommand(const std::vector<std::string>& arguments) {
        testsupport::ProgramResult result =
            program_.Run(arguments, work_.Path(), scratch_,
                         {{"ZENDREL_DATA_DIR", program_.PathText(data_)}, {"SSL_CERT_FILE", authority_.string()}});
        everything_ += result.out + result.err;
        return result;
    }

    // `--sign-in` waiting for the browser: the program, the authorization address it printed and the loopback
    // address it waits at.
    struct WaitingSignIn {
        std::optional<StartedProgram> program;
        std::string address;
        std::string redirect;
    };
    WaitingSignIn StartBrowserSignIn() {
        WaitingSignIn waiting{program_.Start(
            {"--sign-in"}, work_.Path(), scratch_,
            {{"ZENDREL_DATA_DIR", program_.PathText(data_)}, {"SSL_CERT_FILE", authority_.string()}}), {}, {}};
        constexpr std::string_view kWaiting = "Waiting for the browser at ";
        if (!waiting.program || !waiting.program->WaitForOutput(std::string(kWaiting), kPatience)) return waiting;
        std::string out = waiting.program->Out();
        std::erase(out, '\r');
        const std::size_t addressAt = out.find("https://");
        waiting.address = out.substr(addressAt, out.find('\n', addressAt) - addressAt);
        const std::size_t redirectAt = out.find(kWaiting) + kWaiting.size();
        waiting.redirect = out.substr(redirectAt, out.find(' ', redirectAt) - redirectAt);
        return waiting;
    }

    // The end of a --sign-in: its exit code; what it printed joins everything_.
    int Finish(WaitingSignIn& waiting) {
        const int exitCode = waiting.program->Wait(kPatience).value_or(-1);
        everything_ += waiting.program->Out() + waiting.program->Err();
        return exitCode;
    }

    // A token's signature (a JWT's last part) or a whole refresh token must show nowhere: not in what the runs
    // printed, nor in any file of the data folder but the token file.
    void ExpectNowhere(const std::set<std::string>& tokens) {
        std::string texts = everything_;
        for (const auto& [name, bytes] : testsupport::FilesIn(data_)) {
            if (name != kTokenFileName) texts += bytes;
        }
        ASSERT_TRUE(fs::exists(data_ / "log_long.txt")) << "the diagnostic log is among the texts";
        for (const std::string& token : tokens) {
            const std::size_t dot = token.rfind('.');
            EXPECT_EQ(texts.find(dot == std::string::npos ? token : token.substr(dot)), std::string::npos) << token;
        }
    }

    const ProgramUnderTest program_ = ProgramUnderTest::FromEnvironment();
    const ServerCertificate certificate_ = TestServerCertificate("good");
    const fs::path authority_ = TestCertificatesFolder() / "ca.pem";
    std::unique_ptr<DovecotServer> server_;
    testsupport::TemporaryFolder work_{"zendrel-program"};
    const fs::path data_ = work_.MakeFolder("data");
    const fs::path save_ = work_.MakeFolder("save");
    const fs::path scratch_ = work_.MakeFolder("scratch");
    SettingsRecord settings_;
    std::string everything_;
    const std::int64_t now_ = std::time(nullptr);
};

TEST_F(SignInRun, TheStoredAccessTokenLogsInOverTlsOnly) {
    ASSERT_TRUE(server_->Deliver(kUser, ComposeMail(MailWithAttachment("token.1", "signed-in.csv"))));
    const std::string good = SignedTestToken(kTokenKey, kUser, now_ + 3600);
    const std::string forged = SignedTestToken("another key", kUser, now_ + 3600);

    const testsupport::ProgramResult signedIn = Run("", good, now_ + 3600);
    EXPECT_EQ(signedIn.exitCode, 0) << signedIn.out << signedIn.err;
    EXPECT_EQ(TextsOfRows(signedIn.OutLines()), (Lines{LoggedIn(1), FileSaved("signed-in.csv"), kSignedOut, ""}));
    EXPECT_EQ(testsupport::ReadBytes(save_ / "signed-in.csv"), AttachmentBytesFor("signed-in.csv"));
    EXPECT_TRUE(server_->LogShows("Login: user=<token-reader>, method=OAUTHBEARER")) << server_->Log();

    const std::size_t connectionsBefore = CountOf(server_->Log(), "pop3-login:");
    settings_.security = ConnectionSecurity::kNone;
    settings_.portText = std::to_string(server_->Port());
    const testsupport::ProgramResult plain = Run("", good, now_ + 3600);
    EXPECT_EQ(plain.exitCode, 3);
    EXPECT_EQ(TextsOfRows(plain.OutLines()),
              Lines{"ERROR!! (The sign-in is never sent over a plain connection: choose STARTTLS or SSL/TLS)"});
    EXPECT_EQ(CountOf(server_->Log(), "pop3-login:"), connectionsBefore) << "not even a connection was made";

    settings_.security = ConnectionSecurity::kTls;
    settings_.portText = std::to_string(server_->TlsPort());
    const testsupport::ProgramResult refused = Run("", forged, now_ + 3600);
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_EQ(TextsOfRows(refused.OutLines()), Lines{"ERROR!! (The server refused the login with the sign-in)"});
    EXPECT_THAT(testsupport::ReadBytes(data_ / "log_long.txt"), ::testing::HasSubstr("failed with error 23"));

    ASSERT_TRUE(ForgetTokens(data_ / kTokenFileName));
    const testsupport::ProgramResult signedOut = program_.Run({"--run-once"}, work_.Path(), scratch_,
                                                          {{"ZENDREL_DATA_DIR", program_.PathText(data_)}});
    EXPECT_EQ(signedOut.exitCode, 3);
    EXPECT_EQ(TextsOfRows(signedOut.OutLines()), Lines{"ERROR!! (Not signed in: please sign in)"});
    ExpectNowhere({good, forged});
}

TEST_F(SignInRun, AnAccessTokenThatRunsOutIsRenewedFirstAndARevokedSignInAsksForANewOne) {
    std::string reason;
    const std::unique_ptr<AuthorizationServer> provider =
        AuthorizationServer::Start(certificate_, kTokenKey, kUser, reason);
    ASSERT_TRUE(provider) << reason;
    settings_.signIn.provider = "custom";
    settings_.signIn.clientId = "zendrel-test";
    settings_.signIn.tokenUrl = provider->TokenUrl();
    ASSERT_TRUE(server_->Deliver(kUser, ComposeMail(MailWithAttachment("renewed.1", "renewed.csv"))));

    const std::string first = provider->IssueRefreshToken();
    const std::string expiring = SignedTestToken(kTokenKey, kUser, now_ + 60);
    const testsupport::ProgramResult renewed = Run(first, expiring, now_ + 60);
    EXPECT_EQ(renewed.exitCode, 0) << renewed.out << renewed.err;
    EXPECT_EQ(TextsOfRows(renewed.OutLines()), (Lines{LoggedIn(1), FileSaved("renewed.csv"), kSignedOut, ""}));
    EXPECT_EQ(provider->Refreshes(), 1);
    const std::optional<StoredTokens> stored = ReadStoredTokens(data_ / kTokenFileName);
    ASSERT_TRUE(stored);
    EXPECT_NE(stored->refreshToken, first) << "the rotated refresh token is stored";
    EXPECT_TRUE(provider->IssuedTokens().contains(stored->refreshToken));
    EXPECT_TRUE(provider->IssuedTokens().contains(stored->accessToken));
    EXPECT_GE(stored->accessTokenExpiresAt, now_ + 3600);

    provider->RevokeAll();
    const testsupport::ProgramResult revoked = Run(stored->refreshToken, expiring, now_ - 1);
    EXPECT_EQ(revoked.exitCode, 3);
    EXPECT_EQ(TextsOfRows(revoked.OutLines()),
              Lines{"ERROR!! (The sign-in has expired or was revoked: Please sign in again)"});
    EXPECT_THAT(testsupport::ReadBytes(data_ / "log_long.txt"), ::testing::HasSubstr("answered 400 invalid_grant"));

    settings_.signIn.tokenUrl = "https://localhost:1/token";
    const testsupport::ProgramResult unreachable = Run(stored->refreshToken, expiring, now_ - 1);
    EXPECT_EQ(unreachable.exitCode, 3);
    EXPECT_EQ(TextsOfRows(unreachable.OutLines()), Lines{"ERROR!! (The sign-in provider could not be reached)"});

    std::set<std::string> secrets = provider->IssuedTokens();
    secrets.insert(expiring);
    ExpectNowhere(secrets);
}

TEST_F(SignInRun, ASignInByCodeStoresTokensThatTheNextRunLogsInWith) {
    std::string reason;
    const std::unique_ptr<AuthorizationServer> provider =
        AuthorizationServer::Start(certificate_, kTokenKey, kUser, reason);
    ASSERT_TRUE(provider) << reason;
    settings_.signIn.provider = "custom";
    settings_.signIn.clientId = "zendrel-test";
    settings_.signIn.tokenUrl = provider->TokenUrl();
    settings_.signIn.deviceUrl = provider->DeviceUrl();
    settings_.signIn.scope = "pop offline_access";
    ASSERT_TRUE(SaveSettings(data_, settings_));
    ASSERT_TRUE(server_->Deliver(kUser, ComposeMail(MailWithAttachment("code.1", "by-code.csv"))));

    // The user approves at the provider while the program waits: it is told to wait once.
    const testsupport::ProgramResult signIn = RunCommand({"--sign-in"});
    EXPECT_EQ(signIn.exitCode, 0) << signIn.out << signIn.err;
    EXPECT_EQ(signIn.OutLines(),
              (Lines{"To sign in, open " + provider->DeviceUrl() + " and enter the code " +
                         AuthorizationServer::kUserCode,
                     "zendrel: signed in as token-reader@example.org"}));
    EXPECT_THAT(RunCommand({"--settings"}).out, ::testing::HasSubstr("\nOAuthSignIn = (signed in)\n"));

    const testsupport::ProgramResult run = RunCommand({"--run-once", "-logging"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(TextsOfRows(run.OutLines()), (Lines{LoggedIn(1), FileSaved("by-code.csv"), kSignedOut, ""}));

    provider->DenyDeviceSignIns();
    const testsupport::ProgramResult denied = RunCommand({"--sign-in"});
    EXPECT_EQ(denied.exitCode, 3);
    EXPECT_THAT(denied.err, ::testing::HasSubstr("the sign-in was refused (the token endpoint answered 400 access_denied)"));
    ExpectNowhere(provider->IssuedTokens());
}

TEST_F(SignInRun, ASignInInTheBrowserStoresTokensOnlyForItsOwnStateAndVerifier) {
    std::string reason;
    const std::unique_ptr<AuthorizationServer> provider =
        AuthorizationServer::Start(certificate_, kTokenKey, kUser, reason);
    ASSERT_TRUE(provider) << reason;
    settings_.signIn.provider = "custom";
    settings_.signIn.clientId = "zendrel-test";
    settings_.signIn.authorizeUrl = provider->AuthorizeUrl();
    settings_.signIn.tokenUrl = provider->TokenUrl();
    settings_.signIn.scope = "pop offline_access";
    ASSERT_TRUE(SaveSettings(data_, settings_));
    ASSERT_TRUE(server_->Deliver(kUser, ComposeMail(MailWithAttachment("browser.1", "by-browser.csv"))));

    // A page that sends the browser back with another state: the listener refuses it, nothing is exchanged.
    WaitingSignIn forged = StartBrowserSignIn();
    ASSERT_FALSE(forged.address.empty()) << forged.program->Out() << forged.program->Err();
    const HttpVisit refusedVisit = SignInAsBrowser(forged.address, [](const std::string& location) {
        return location.substr(0, location.find("&state=")) + "&state=someone-elses";
    });
    EXPECT_EQ(refusedVisit.status, 400) << refusedVisit.failure;
    EXPECT_EQ(Finish(forged), 3);
    EXPECT_THAT(forged.program->Err(), ::testing::HasSubstr("the redirect does not carry this sign-in's state"));
    EXPECT_FALSE(fs::exists(data_ / kTokenFileName));

    // A challenge that is not the program's: the server refuses the program's verifier.
    WaitingSignIn intercepted = StartBrowserSignIn();
    ASSERT_FALSE(intercepted.address.empty());
    const std::size_t challengeAt = intercepted.address.find("code_challenge=") + 15;
    std::string substituted = intercepted.address;
    substituted.replace(challengeAt, substituted.find('&', challengeAt) - challengeAt,
                        "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
    EXPECT_EQ(SignInAsBrowser(substituted).status, 200);
    EXPECT_EQ(Finish(intercepted), 3);
    EXPECT_THAT(intercepted.program->Err(), ::testing::HasSubstr("answered 400 invalid_grant"));
    EXPECT_EQ(provider->RefusedCodeExchanges(), 1);
    EXPECT_FALSE(fs::exists(data_ / kTokenFileName));

    WaitingSignIn signIn = StartBrowserSignIn();
    ASSERT_FALSE(signIn.address.empty());
    EXPECT_EQ(signIn.redirect.rfind("http://127.0.0.1:", 0), 0u) << signIn.redirect;
    // The browser's own request for an icon is not the redirect: the listener keeps waiting.
    EXPECT_EQ(VisitAddress(signIn.redirect + "favicon.ico").status, 404);
    const HttpVisit visit = SignInAsBrowser(signIn.address);
    EXPECT_EQ(visit.status, 200) << visit.failure;
    EXPECT_THAT(visit.body, ::testing::HasSubstr("You can close this window"));
    EXPECT_EQ(Finish(signIn), 0) << signIn.program->Err();
    std::string out = signIn.program->Out();
    std::erase(out, '\r');
    EXPECT_EQ(out, "To sign in, open this address in a browser on this computer:\n" + signIn.address +
                       "\nWaiting for the browser at " + signIn.redirect +
                       " (5 minutes)\nzendrel: signed in as token-reader@example.org\n");
    EXPECT_EQ(provider->RefusedCodeExchanges(), 1);

    const testsupport::ProgramResult run = RunCommand({"--run-once", "-logging"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(TextsOfRows(run.OutLines()), (Lines{LoggedIn(1), FileSaved("by-browser.csv"), kSignedOut, ""}));
    ExpectNowhere(provider->IssuedTokens());
}

// The window's sign-in, in this process: its redirect comes while the window goes on, and a cancel ends a waiting one.
TEST(WindowSignIn, StoresTheBrowsersSignInAndEndsACancelledOne) {
    ASSERT_FALSE(TestCertificatesFolder().empty());
    ::setenv("SSL_CERT_FILE", (TestCertificatesFolder() / "ca.pem").c_str(), 1);
    std::string reason;
    const std::unique_ptr<AuthorizationServer> provider =
        AuthorizationServer::Start(TestServerCertificate("good"), kTokenKey, kUser, reason);
    ASSERT_TRUE(provider) << reason;
    testsupport::TemporaryFolder data{"zendrel-window-sign-in"};
    ASSERT_TRUE(data.Created());
    SignInSettings settings;
    settings.authentication = Authentication::kOAuth;
    settings.provider = "custom";
    settings.clientId = "zendrel-test";
    settings.authorizeUrl = provider->AuthorizeUrl();
    settings.tokenUrl = provider->TokenUrl();
    settings.scope = "pop offline_access";
    const std::unique_ptr<WindowSignIn> signIn = CreateWindowSignIn(data.Path());
    const auto awaitEnd = [&] {
        std::optional<WindowSignInEnd> end;
        for (int tries = 0; !end && tries < 3000; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            end = signIn->TakeEnd();
        }
        return end;
    };

    std::string detail;
    const std::optional<std::string> address = signIn->Start(settings, detail);
    ASSERT_TRUE(address) << detail;
    EXPECT_FALSE(signIn->Start(settings, detail)) << "one sign-in waits at a time";
    EXPECT_FALSE(signIn->TakeEnd());
    EXPECT_EQ(SignInAsBrowser(*address).status, 200);
    const std::optional<WindowSignInEnd> signedIn = awaitEnd();
    ASSERT_TRUE(signedIn);
    EXPECT_EQ(signedIn->outcome, SignInOutcome::kSignedIn) << signedIn->detail;
    EXPECT_EQ(signedIn->signedInName, "token-reader@example.org");
    EXPECT_EQ(signIn->SignedInName(), "token-reader@example.org");
    const std::optional<StoredTokens> stored = ReadStoredTokens(data.Path() / kTokenFileName);
    ASSERT_TRUE(stored);
    EXPECT_TRUE(provider->IssuedTokens().contains(stored->refreshToken));

    ASSERT_TRUE(signIn->Start(settings, detail)) << detail;
    signIn->Cancel();
    const std::optional<WindowSignInEnd> cancelled = awaitEnd();
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(cancelled->outcome, SignInOutcome::kCancelled);
    EXPECT_EQ(ReadStoredTokens(data.Path() / kTokenFileName)->refreshToken, stored->refreshToken);
}

}  // namespace
}  // namespace zendrel::testsupport
