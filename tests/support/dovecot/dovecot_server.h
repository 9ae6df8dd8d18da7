#pragma once
// A real Dovecot POP3 server for the tests and benchmarks: one instance per object, on 127.0.0.1 at a free port, with
// its whole configuration, its mailboxes and its log in a temporary folder of its own. The object stops the server
// and every process it started, and removes the folder, when it goes (also when a test fails). As root the server's
// processes run as the packaged users dovenull and dovecot and the mail as nobody; otherwise all run as the current
// user. Set ZENDREL_KEEP_DOVECOT to keep the folder (configuration, Maildirs, dovecot.log) for a look afterwards.

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "test_files.h"

namespace zendrel::testsupport {

struct MailUser {
    std::string name;
    std::string password;  // stored as plain text, so the server also offers APOP
};

// A server certificate and its key (PEM files), for a server that requires TLS.
struct ServerCertificate {
    std::filesystem::path certificate;
    std::filesystem::path key;
};

class DovecotServer {
public:
    // Starts a server with one Maildir per user. Returns nothing, with the reason, when it cannot be started.
    // With a certificate the server requires TLS: on Port() only after STLS, on TlsPort() from the first byte.
    // With a token key the users may also log in with `tokenMechanisms`, by an access token that is a JWT signed
    // with that key (HS256) and names the user as its "sub".
    static std::unique_ptr<DovecotServer> Start(const std::vector<MailUser>& users, std::string& reason,
                                                const ServerCertificate* certificate = nullptr,
                                                const std::string& tokenKey = {},
                                                const std::string& tokenMechanisms = "xoauth2 oauthbearer");

    // Whether a failure to start is to be expected here: the server binary is missing, or the process is not root
    // (Dovecot's unprivileged login and mail users can only be taken on by root).
    static bool MayBeUnavailable();

    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;
    ~DovecotServer();

    const std::string& Host() const { return host_; }
    int Port() const { return port_; }
    // The POP3S port; 0 without a certificate.
    int TlsPort() const { return tlsPort_; }

    // Puts a message into the user's Maildir as a new mail owned by the mail user. The server numbers messages in
    // the order in which they were delivered. Line ends may be LF (the Maildir custom) or CR LF.
    bool Deliver(const std::string& user, const std::string& message);

    // The number of messages stored in the user's Maildir right now.
    std::size_t CountStoredMessages(const std::string& user) const;

    // Everything the server has logged so far (logins with their method, failures).
    std::string Log() const;
    // Whether the log shows `text` within five seconds: a process of the server's own writes it, so a line may
    // appear a moment after the reply it belongs to.
    bool LogShows(const std::string& text) const;

    // The folder that holds the configuration, the mailboxes and the log.
    const std::filesystem::path& Folder() const { return folder_.Path(); }

    // The server's running processes: the master first, then its services. Empty once stopped.
    std::vector<pid_t> Processes() const;

    // Stops the server and waits until all of its processes are gone. Called by the destructor.
    void Stop();

private:
    struct Accounts;

    DovecotServer(testsupport::TemporaryFolder folder, std::vector<MailUser> users);
    bool PrepareFolders(const Accounts& accounts, std::string& reason);
    bool WriteConfiguration(const Accounts& accounts, int port, std::string& reason) const;
    bool Launch(std::string& reason);
    bool WaitUntilReady(std::string& reason);
    std::filesystem::path MaildirOf(const std::string& user) const;
    std::string StartupOutput() const;

    testsupport::TemporaryFolder folder_;
    std::vector<MailUser> users_;
    std::string host_ = "127.0.0.1";
    int port_ = 0;
    int tlsPort_ = 0;
    std::optional<ServerCertificate> certificate_;
    std::string tokenKey_;
    std::string tokenMechanisms_;
    pid_t master_ = -1;
    uid_t mailUid_ = 0;
    gid_t mailGid_ = 0;
    unsigned long delivered_ = 0;
};

// Whether the process exists and has not ended.
bool ProcessAlive(pid_t pid);

}  // namespace zendrel::testsupport
