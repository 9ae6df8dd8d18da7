// The POP3 session over TLS against a real Dovecot server that requires it: POP3S and STLS logins, a retrieval
// through TLS records, and certificates that must be refused before any password leaves the machine.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "dovecot/dovecot_server.h"
#include "dovecot/message_maker.h"
#include "dovecot/test_certificates.h"
#include "dovecot/test_tokens.h"
#include "loopback_pop3_server.h"
#include "pop3/mail_session.h"
#include "retrieved_files.h"
#include "test_files.h"

namespace zendrel::testsupport {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::int32_t kTimeoutMs = 10000;
const MailUser kUser{"secure", "secure-secret"};

// The session trusts the test authority alone.
const fs::path& Certificates() { return TestCertificatesFolder(); }

class TlsSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Certificates().empty()) << "the openssl command could not make the test certificates";
        ::setenv("SSL_CERT_FILE", (Certificates() / "ca.pem").c_str(), 1);
        ::setenv("SSL_CERT_DIR", Certificates().c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("SSL_CERT_FILE");
        ::unsetenv("SSL_CERT_DIR");
    }

    // A server with the named certificate, or none (plain text only).
    std::unique_ptr<DovecotServer> StartServer(const std::optional<std::string>& certificateName) {
        std::string reason;
        const ServerCertificate certificate =
            certificateName ? TestServerCertificate(certificateName->c_str()) : ServerCertificate{};
        std::unique_ptr<DovecotServer> server =
            DovecotServer::Start({kUser}, reason, certificateName ? &certificate : nullptr);
        if (!server) {
            if (DovecotServer::MayBeUnavailable()) {
                skipped_ = "Dovecot cannot be started here: " + reason;
            } else {
                ADD_FAILURE() << "Dovecot did not start: " << reason;
            }
        }
        return server;
    }

    static std::unique_ptr<MailSession> Session(ConnectionSecurity security) {
        std::unique_ptr<MailSession> session = CreateMailSession();
        session->SetConnectionSecurity(security);
        return session;
    }

    std::string skipped_;
};

TEST_F(TlsSessionTest, EitherTokenMechanismLogsInWithASignedTokenOverPop3sAndStls) {
    const std::string key = "the provider's key";
    const struct {
        const char* mechanisms;
        ConnectionSecurity security;
        const char* method;
    } cases[] = {
        {"xoauth2", ConnectionSecurity::kTls, "method=XOAUTH2"},
        {"xoauth2 oauthbearer", ConnectionSecurity::kStartTls, "method=OAUTHBEARER"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mechanisms);
        std::string reason;
        const ServerCertificate certificate = TestServerCertificate("good");
        const std::unique_ptr<DovecotServer> server =
            DovecotServer::Start({kUser}, reason, &certificate, key, c.mechanisms);
        if (!server && DovecotServer::MayBeUnavailable()) GTEST_SKIP() << "Dovecot cannot be started here: " << reason;
        ASSERT_TRUE(server) << reason;
        const std::unique_ptr<MailSession> session = Session(c.security);
        session->SetAccessToken(SignedTestToken(key, kUser.name, std::time(nullptr) + 600));
        const int port = c.security == ConnectionSecurity::kTls ? server->TlsPort() : server->Port();
        ASSERT_EQ(session->Login("localhost", port, kUser.name, "", kTimeoutMs), 1) << session->GetErrorCode();
        EXPECT_EQ(session->Logout(), 1);
        EXPECT_TRUE(server->LogShows(c.method)) << server->Log();
    }
}

struct LoginCase {
    const char* name;
    ConnectionSecurity security;
    bool tlsPort;
    const char* host;
};

TEST_F(TlsSessionTest, LogsInOverPop3sAndStlsAndRetrievesThroughTls) {
    const std::unique_ptr<DovecotServer> server = StartServer("good");
    if (!server) GTEST_SKIP() << skipped_;
    testsupport::TemporaryFolder messages("zendrel-messages");
    std::string reason;
    ASSERT_TRUE(MakeTestMessages(messages.Path(), reason)) << reason;
    // Large enough to span many TLS records.
    ASSERT_TRUE(server->Deliver(kUser.name, testsupport::ReadBytes(messages.Path() / "large.eml")));

    const LoginCase cases[] = {
        {"POP3S by address", ConnectionSecurity::kTls, true, "127.0.0.1"},
        {"POP3S by name", ConnectionSecurity::kTls, true, "localhost"},
        {"STLS", ConnectionSecurity::kStartTls, false, "127.0.0.1"},
    };
    for (const LoginCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<MailSession> session = Session(c.security);
        const int port = c.tlsPort ? server->TlsPort() : server->Port();
        ASSERT_EQ(session->Login(c.host, port, kUser.name, kUser.password, kTimeoutMs), 1)
            << "code " << session->GetErrorCode() << "\n" << server->Log();
        EXPECT_EQ(session->GetMessageCount(), 1);
        ASSERT_EQ(session->LoadMessage(1), 1) << session->GetErrorCode();
        testsupport::TemporaryFolder saved("zendrel-saved");
        const std::vector<std::string> names = SaveRetrievedFiles(*session, saved.Path().string() + "/");
        ASSERT_FALSE(names.empty());
        const std::string& name = names.front();
        EXPECT_EQ(testsupport::ReadBytes(saved.Path() / name), testsupport::ReadBytes(messages.Path() / "large" / name));
        EXPECT_EQ(session->Logout(), 1);
    }
    // What the refusals below must not find: the server logs each login with its user and the TLS it came over.
    EXPECT_NE(server->Log().find("Login: user=<" + kUser.name + ">"), std::string::npos) << server->Log();
    EXPECT_NE(server->Log().find("TLS"), std::string::npos) << server->Log();
}

struct RefusalCase {
    const char* certificate;
    const char* problem;
};

TEST_F(TlsSessionTest, ACertificateThatIsNotTrustedIsRefusedBeforeTheLogin) {
    const RefusalCase cases[] = {
        {"wrong-host", "wrong host name"},
        {"expired", "expired"},
        {"not-yet-valid", "not yet valid"},
        {"unknown-issuer", "unknown issuer"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.certificate);
        const std::unique_ptr<DovecotServer> server = StartServer(c.certificate);
        if (!server) GTEST_SKIP() << skipped_;
        for (const ConnectionSecurity security : {ConnectionSecurity::kTls, ConnectionSecurity::kStartTls}) {
            const std::unique_ptr<MailSession> session = Session(security);
            const int port = security == ConnectionSecurity::kTls ? server->TlsPort() : server->Port();
            EXPECT_EQ(session->Login("127.0.0.1", port, kUser.name, kUser.password, kTimeoutMs), 0);
            EXPECT_EQ(session->GetErrorCode(), SessionError::kCertificateRefused);
            EXPECT_EQ(session->GetCertificateProblem(), c.problem);
        }
        // Neither the user name nor the password reached the server.
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(server->Log().find("user=<" + kUser.name + ">"), std::string::npos) << server->Log();
        EXPECT_EQ(server->Log().find("Login:"), std::string::npos) << server->Log();
    }
}

TEST_F(TlsSessionTest, AServerWithoutTlsFailsBothKindsOfTlsWithoutALogin) {
    const std::unique_ptr<DovecotServer> server = StartServer(std::nullopt);
    if (!server) GTEST_SKIP() << skipped_;
    const std::unique_ptr<MailSession> startTls = Session(ConnectionSecurity::kStartTls);
    EXPECT_EQ(startTls->Login(server->Host(), server->Port(), kUser.name, kUser.password, kTimeoutMs), 0);
    EXPECT_EQ(startTls->GetErrorCode(), SessionError::kNoStartTls);
    // A plain POP3 port given for POP3S: the greeting is no handshake.
    const std::unique_ptr<MailSession> tls = Session(ConnectionSecurity::kTls);
    EXPECT_EQ(tls->Login(server->Host(), server->Port(), kUser.name, kUser.password, kTimeoutMs), 0);
    EXPECT_EQ(tls->GetErrorCode(), SessionError::kNotConnected);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(server->Log().find("user=<" + kUser.name + ">"), std::string::npos) << server->Log();
}

TEST_F(TlsSessionTest, ACancelEndsAHandshakeThatTheServerNeverAnswers) {
    testsupport::LoopbackPop3Server silent(kUser.name, kUser.password, {});
    silent.SilentBeforeGreeting();
    ASSERT_TRUE(silent.listening());
    const std::unique_ptr<MailSession> session = Session(ConnectionSecurity::kTls);
    std::thread canceller([&session, &silent] {
        // Once the server holds the connection, the session is inside its handshake, waiting for the answer.
        silent.WaitUntilStalled(5s);
        std::this_thread::sleep_for(100ms);
        session->CancelReceive();
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(session->Login("127.0.0.1", silent.port(), kUser.name, kUser.password, kTimeoutMs), 0);
    canceller.join();
    EXPECT_EQ(session->GetErrorCode(), SessionError::kCancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(kTimeoutMs / 2))
        << "the cancel, not the time-out, ended the handshake";
}

}  // namespace
}  // namespace zendrel::testsupport
