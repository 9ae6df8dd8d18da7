// Runs that cannot reach a server, runs that the stop path must end while a server keeps them waiting, and a stop
// over a distant link with many megabytes of mail on their way.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "delay_proxy.h"
#include "dovecot/authorization_server.h"
#include "dovecot/test_certificates.h"
#include "dovecot/free_port.h"
#include "job/run_control.h"
#include "oauth/token_store.h"
#include "loopback_pop3_server.h"
#include "mailbox_server.h"
#include "run_bench.h"
#include "test_mail.h"

namespace zendrel::testsupport {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace std::chrono_literals;

// Long enough for any machine to get there; the tests never wait this long when all is well.
constexpr std::chrono::milliseconds kPatience = 20s;

class RunWithoutServer : public ::testing::Test, protected RunBench {
protected:
    void SetUp() override { ASSERT_TRUE(Ready()) << "cannot create the temporary folders"; }
};

TEST_F(RunWithoutServer, NobodyListeningOnThePortIsReportedAsAnUnreachableServer) {
    const int port = FindFreeLoopbackPort();
    ASSERT_NE(port, 0);
    UseServer("127.0.0.1", port, "someone", "secret");
    RunOnce();
    const std::vector<std::string> rows = view_.Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(StartsWithStamp(rows[0])) << rows[0];
    EXPECT_EQ(TextOfRow(rows[0]), "ERROR!! (Can't reach server)");
    EXPECT_THAT(Calls(), IsEmpty()) << "no logout without a login";
    EXPECT_FALSE(report_.loggedIn);
}

constexpr std::chrono::milliseconds kStopWait(5000);

class StoppedRun : public RunWithoutServer {
protected:
    // A run that a failed stop left going must not outlive what it uses; its server has gone by now, so it ends.
    void TearDown() override { controller_.WaitUntilEnded(); }

    RunController controller_;
};

TEST_F(StoppedRun, ServerThatNeverGreetsDoesNotKeepTheStopWaiting) {
    testsupport::LoopbackPop3Server server("someone", "secret", {});
    server.SilentBeforeGreeting();
    ASSERT_TRUE(server.listening());
    UseServer("127.0.0.1", server.port(), "someone", "secret");
    ASSERT_TRUE(controller_.Start(Fill(), Services()));
    ASSERT_TRUE(server.WaitUntilStalled(kPatience)) << "the run never connected";
    EXPECT_TRUE(controller_.Active());
    EXPECT_FALSE(controller_.Start(Fill(), Services())) << "no second run beside an active one";

    // Well below the reply time-out, so only the stop's cancel can end the wait in time, and well above the second a
    // stop waits in the window, so a loaded machine does not fail the test.
    EXPECT_TRUE(controller_.Stop(kStopWait)) << "the run must end within the stop's wait, though the server says nothing";
    EXPECT_FALSE(controller_.Active());
    // A login ended by the user's own stop is no error worth a line.
    EXPECT_THAT(view_.Texts(), IsEmpty());
    EXPECT_TRUE(server.WaitUntilClientLeft(kPatience)) << "the run must close its connection";
}

TEST_F(StoppedRun, ServerThatFallsSilentInsideARetrievalDoesNotKeepTheStopWaiting) {
    testsupport::LoopbackPop3Server server(
        "someone", "secret",
        {"From: Sender <sender@example.org>\r\nSubject: Stalled\r\nMessage-ID: <stalled.1@zendrel.test>\r\n\r\n"
         "The mail that never ends.\r\n"});
    server.StallOnRetr(1);
    ASSERT_TRUE(server.listening());
    UseServer("127.0.0.1", server.port(), "someone", "secret");
    ASSERT_TRUE(controller_.Start(Fill(), Services()));
    ASSERT_TRUE(server.WaitUntilStalled(kPatience)) << "the run never asked for the mail";

    EXPECT_TRUE(controller_.Stop(kStopWait)) << "the run must end within the stop's wait, though the mail never ends";
    EXPECT_FALSE(controller_.Active());
    // It still logs out as well as it can, and says so.
    EXPECT_THAT(view_.Texts(), ElementsAre(LoggedIn(1), kSignedOut, ""));
    EXPECT_THAT(Calls(), ElementsAre("RETR 1", "QUIT"));
    EXPECT_TRUE(server.WaitUntilClientLeft(kPatience));
    EXPECT_THAT(server.commands(), Contains("QUIT"));
    // A mail that never arrived is examined again by the next run.
    EXPECT_FALSE(handled_.Contains("<stalled.1@zendrel.test>"));
    EXPECT_EQ(handled_.Size(), 0u);
}

// The window waits a second for a stop. Under the sanitizers every byte costs several times its usual work, so the
// same amount of mail in flight needs longer; what must still hold there is the QUIT after the replies in flight.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::chrono::milliseconds kStopLimit = 4000ms;
#else
constexpr std::chrono::milliseconds kStopLimit = 1000ms;
#endif

TEST_F(StoppedRun, ATokenEndpointThatNeverAnswersDoesNotKeepTheStopWaiting) {
    ASSERT_FALSE(TestCertificatesFolder().empty()) << "the openssl command could not make the test certificates";
    std::string reason;
    const std::unique_ptr<AuthorizationServer> provider =
        AuthorizationServer::Start(TestServerCertificate("good"), "key", "someone", reason);
    ASSERT_TRUE(provider) << reason;
    provider->StallAnswers();
    ::setenv("SSL_CERT_FILE", (TestCertificatesFolder() / "ca.pem").c_str(), 1);
    UseServer("127.0.0.1", FindFreeLoopbackPort(), "someone", "");
    parameters_.security = ConnectionSecurity::kTls;
    parameters_.authentication = Authentication::kOAuth;
    parameters_.oauthTokenUrl = provider->TokenUrl();
    StoredTokens expired;
    expired.refreshToken = "refresh";
    expired.accessToken = "expired";
    expired.accessTokenExpiresAt = 1;
    ASSERT_EQ(SaveTokens(DataFile(kTokenFileName), expired), TokenSave::kSaved);
    ASSERT_TRUE(controller_.Start(Fill(), Services()));
    for (const auto end = std::chrono::steady_clock::now() + kPatience;
         provider->Requests() == 0 && std::chrono::steady_clock::now() < end;) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(provider->Requests(), 1) << "the run never asked for a token";
    // The window's stop, far below the request's own time-out: only the stop's cancel ends the wait in time.
    EXPECT_TRUE(controller_.Stop(kStopLimit)) << "the token request must end within the stop's wait";
    EXPECT_THAT(view_.Texts(), IsEmpty()) << "a stop is no failure to report";
    EXPECT_EQ(ReadStoredTokens(DataFile(kTokenFileName))->refreshToken, "refresh");
    ::unsetenv("SSL_CERT_FILE");
}

class StopOverADistantLink : public MailboxServerTest, protected RunBench {
protected:
    void SetUp() override {
        MailboxServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(Ready()) << "cannot create the temporary folders";
        box_ = NewMailbox();
        std::string reason;
        proxy_ = DelayProxy::Start(Host(), Port(), 5, reason);
        ASSERT_TRUE(proxy_) << reason;
        UseServer("127.0.0.1", proxy_->Port(), box_.user, box_.password);
    }
    void TearDown() override { controller_.WaitUntilEnded(); }

    TestMailbox box_;
    std::unique_ptr<DelayProxy> proxy_;
    RunController controller_;
};

TEST_F(StopOverADistantLink, StopWithMegabytesInFlightStillEndsWithQuitWithinItsLimit) {
    // Wanted mails of about 8 MB each: far more than the run may ask for ahead.
    constexpr int kMails = 14;
    for (int i = 1; i <= kMails; ++i) {
        TestMail mail;
        mail.subject = "Scan " + std::to_string(i);
        mail.messageId = "<scan." + std::to_string(i) + "@zendrel.test>";
        std::string bytes(6u << 20, '\0');
        for (std::size_t at = 0; at < bytes.size(); ++at) bytes[at] = static_cast<char>((at * 131 + i) % 251);
        mail.attachments.push_back({"scan" + std::to_string(i) + ".pdf", std::move(bytes)});
        Deliver(box_, {ComposeMail(mail)});
    }
    parameters_.deleteMails = true;
    std::atomic<bool> firstSaved{false};
    view_.OnRow([&firstSaved](const std::string& row) {
        if (TextOfRow(row).starts_with("File '")) firstSaved = true;
    });
    ASSERT_TRUE(controller_.Start(Fill(), Services()));
    const auto patience = std::chrono::steady_clock::now() + kPatience;
    while (!firstSaved && std::chrono::steady_clock::now() < patience) std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(firstSaved) << "nothing was saved";

    EXPECT_TRUE(controller_.Stop(kStopLimit)) << "the run must end within the stop's limit";
    // The QUIT went out after the replies in flight were read, so every deletion the run sent counts.
    const std::vector<std::string> logouts = LogoutLines(box_, 1);
    ASSERT_EQ(logouts.size(), 1u) << Server().Log();
    const std::size_t saved = Saved().size();
    EXPECT_GE(saved, 1u);
    EXPECT_EQ(LogCount(logouts[0], "del="), std::to_string(saved) + "/" + std::to_string(kMails)) << logouts[0];
    EXPECT_EQ(Server().CountStoredMessages(box_.user), kMails - saved);
    // More was on its way than the run saved: the stop had to read it before its QUIT.
    std::cout << "At the stop: " << logouts[0] << "\n";
    const std::string retrieved = LogCount(logouts[0], "retr=");
    EXPECT_GT(std::stoul(retrieved.substr(0, retrieved.find('/'))), saved) << logouts[0];
}

}  // namespace
}  // namespace zendrel::testsupport
