#include "dovecot/dovecot_server.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "dovecot/free_port.h"
#include "dovecot/pop3_probe.h"
#include "plain_codecs.h"

namespace zendrel::testsupport {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kDovecotBinary = "/usr/sbin/dovecot";
constexpr int kPortAttempts = 5;
constexpr auto kStartLimit = 20s;
constexpr auto kStopLimit = 10s;

// pids whose parent is the given process, read from /proc.
std::set<pid_t> ChildrenOf(pid_t parent) {
    std::set<pid_t> children;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // The command name in parentheses may hold blanks; the fields after its closing parenthesis do not.
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream fields(line.substr(close + 1));
        char state = 0;
        long ppid = 0;
        fields >> state >> ppid;
        if (ppid == parent) {
            children.insert(static_cast<pid_t>(std::stol(name)));
        }
    }
    return children;
}

}  // namespace

bool ProcessAlive(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return false;
    }
    const std::size_t close = line.rfind(')');
    // A zombie has ended; only its parent's bookkeeping remains.
    return close != std::string::npos && line.size() > close + 2 && line[close + 2] != 'Z';
}

namespace {

bool WaitForExit(pid_t child, std::chrono::steady_clock::duration limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const pid_t done = ::waitpid(child, nullptr, WNOHANG);
        if (done == child || (done < 0 && errno == ECHILD)) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
}

bool ChownTree(const fs::path& root, uid_t uid, gid_t gid) {
    if (::chown(root.c_str(), uid, gid) != 0) {
        return false;
    }
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root, ec)) {
        if (::chown(entry.path().c_str(), uid, gid) != 0) {
            return false;
        }
    }
    return !ec;
}

}  // namespace

// Who the server's processes run as. As root: the packaged unprivileged users for the login and internal processes,
// and nobody for the mail; otherwise everything runs as the current user.
struct DovecotServer::Accounts {
    bool root = false;
    std::string loginUser;
    std::string internalUser;
    std::string internalGroup;
    uid_t mailUid = 0;
    gid_t mailGid = 0;

    static bool Find(Accounts& accounts, std::string& reason) {
        accounts.root = ::geteuid() == 0;
        if (accounts.root) {
            for (const char* name : {"dovenull", "dovecot"}) {
                if (::getpwnam(name) == nullptr) {
                    reason = std::string("the system user ") + name + " is missing (reinstall dovecot-core)";
                    return false;
                }
            }
            const passwd* nobody = ::getpwnam("nobody");
            if (nobody == nullptr) {
                reason = "the system user nobody is missing";
                return false;
            }
            accounts.loginUser = "dovenull";
            accounts.internalUser = "dovecot";
            accounts.mailUid = nobody->pw_uid;
            accounts.mailGid = nobody->pw_gid;
            return true;
        }
        const passwd* me = ::getpwuid(::geteuid());
        const group* myGroup = ::getgrgid(::getegid());
        if (me == nullptr || myGroup == nullptr) {
            reason = "the current user has no name";
            return false;
        }
        accounts.loginUser = me->pw_name;
        accounts.internalUser = me->pw_name;
        accounts.internalGroup = myGroup->gr_name;
        accounts.mailUid = me->pw_uid;
        accounts.mailGid = me->pw_gid;
        return true;
    }
};

bool DovecotServer::MayBeUnavailable() { return ::geteuid() != 0 || ::access(kDovecotBinary, X_OK) != 0; }

DovecotServer::DovecotServer(testsupport::TemporaryFolder folder, std::vector<MailUser> users)
    : folder_(std::move(folder)), users_(std::move(users)) {
    if (std::getenv("ZENDREL_KEEP_DOVECOT") != nullptr) {
        folder_.Keep();
    }
}

DovecotServer::~DovecotServer() { Stop(); }

std::unique_ptr<DovecotServer> DovecotServer::Start(const std::vector<MailUser>& users, std::string& reason,
                                                    const ServerCertificate* certificate,
                                                    const std::string& tokenKey,
                                                    const std::string& tokenMechanisms) {
    if (::access(kDovecotBinary, X_OK) != 0) {
        reason = std::string(kDovecotBinary) + " is not installed (scripts/setup.sh test installs dovecot-pop3d)";
        return nullptr;
    }
    Accounts accounts;
    if (!Accounts::Find(accounts, reason)) {
        return nullptr;
    }
    // The server's unprivileged processes must read what this process writes, whatever umask the caller runs under.
    ::umask(022);
    testsupport::TemporaryFolder folder("zendrel-dovecot");
    if (!folder.Created()) {
        reason = "cannot create a temporary folder for the server";
        return nullptr;
    }
    std::unique_ptr<DovecotServer> server(new DovecotServer(std::move(folder), users));
    if (certificate != nullptr) server->certificate_ = *certificate;
    server->tokenKey_ = tokenKey;
    server->tokenMechanisms_ = tokenMechanisms;
    server->mailUid_ = accounts.mailUid;
    server->mailGid_ = accounts.mailGid;
    if (!server->PrepareFolders(accounts, reason)) {
        return nullptr;
    }
    // The free port may be taken by someone else before the server binds it; then another one is tried.
    for (int attempt = 1; attempt <= kPortAttempts; ++attempt) {
        const int port = FindFreeLoopbackPort();
        server->tlsPort_ = certificate != nullptr ? FindFreeLoopbackPort() : 0;
        if (port == 0 || (certificate != nullptr && (server->tlsPort_ == 0 || server->tlsPort_ == port))) {
            reason = "no free port on 127.0.0.1";
            return nullptr;
        }
        if (!server->WriteConfiguration(accounts, port, reason) || !server->Launch(reason)) {
            return nullptr;
        }
        server->port_ = port;
        if (server->WaitUntilReady(reason)) {
            return server;
        }
        const bool portTaken = server->StartupOutput().find("Address already in use") != std::string::npos;
        server->Stop();
        if (!portTaken) {
            return nullptr;
        }
    }
    reason = "every port tried was taken: " + reason;
    return nullptr;
}

fs::path DovecotServer::MaildirOf(const std::string& user) const { return folder_.Path() / "mail" / user / "Maildir"; }

bool DovecotServer::PrepareFolders(const Accounts& accounts, std::string& reason) {
    std::error_code ec;
    fs::create_directories(folder_.Path() / "state", ec);
    std::string passwd;
    for (const MailUser& user : users_) {
        for (const char* sub : {"cur", "new", "tmp"}) {
            fs::create_directories(MaildirOf(user.name) / sub, ec);
        }
        if (ec) {
            reason = "cannot create the Maildir of " + user.name + ": " + ec.message();
            return false;
        }
        if (accounts.root && !ChownTree(folder_.Path() / "mail" / user.name, accounts.mailUid, accounts.mailGid)) {
            reason = "cannot hand the Maildir of " + user.name + " to the mail user";
            return false;
        }
        passwd += user.name + ":{PLAIN}" + user.password + "::::::\n";
    }
    if (!testsupport::WriteBytes(folder_.Path() / "users", passwd)) {
        reason = "cannot write the password file";
        return false;
    }
    if (!tokenKey_.empty()) {
        // The oauth2 passdb checks the tokens itself (introspection_mode = local): the HS256 key, base64-encoded, is
        // where its key dictionary looks for a token without "azp" and "kid".
        const fs::path keys = folder_.Path() / "token-keys" / "default" / "HS256";
        fs::create_directories(keys, ec);
        const std::string config = "introspection_mode = local\n"
                                   "local_validation_key_dict = fs:posix:prefix=" +
                                   (folder_.Path() / "token-keys").string() +
                                   "/\n"
                                   "username_attribute = sub\n";
        if (ec || !testsupport::WriteBytes(keys / "default", testsupport::EncodeBase64(tokenKey_, testsupport::Base64Alphabet::Standard)) ||
            !testsupport::WriteBytes(folder_.Path() / "oauth2.conf", config)) {
            reason = "cannot write the token key";
            return false;
        }
    }
    return true;
}

bool DovecotServer::WriteConfiguration(const Accounts& accounts, int port, std::string& reason) const {
    const std::string root = folder_.Path().string();
    std::ostringstream conf;
    conf << "# One POP3 listener on loopback for the tests; nothing here reads the system's configuration.\n"
         << "base_dir = " << root << "/run\n"
         << "state_dir = " << root << "/state\n"
         << "log_path = " << root << "/dovecot.log\n"
         << "protocols = pop3\n"
         << "listen = 127.0.0.1\n"
         << (certificate_ ? "ssl = required\n" : "ssl = no\n")
         << "disable_plaintext_auth = no\n"
         << "auth_mechanisms = plain apop " << (tokenKey_.empty() ? "" : tokenMechanisms_) << "\n"
         // Refused logins are part of the tests; the server's anti-guessing delays would only slow them down.
         << "auth_failure_delay = 0\n"
         << "default_login_user = " << accounts.loginUser << "\n"
         << "default_internal_user = " << accounts.internalUser << "\n";
    if (!accounts.root) {
        conf << "default_internal_group = " << accounts.internalGroup << "\n";
    }
    conf << "first_valid_uid = " << accounts.mailUid << "\n"
         << "last_valid_uid = " << accounts.mailUid << "\n"
         << "mail_location = maildir:" << root << "/mail/%u/Maildir\n";
    if (!tokenKey_.empty()) {
        conf << "passdb {\n"
             << "  driver = oauth2\n"
             << "  mechanisms = " << tokenMechanisms_ << "\n"
             << "  args = " << root << "/oauth2.conf\n"
             << "}\n";
    }
    conf << "passdb {\n"
         << "  driver = passwd-file\n"
         << "  args = scheme=PLAIN username_format=%u " << root << "/users\n"
         << "}\n"
         << "userdb {\n"
         << "  driver = static\n"
         << "  args = uid=" << accounts.mailUid << " gid=" << accounts.mailGid << " home=" << root << "/mail/%u\n"
         << "}\n"
         << "service pop3-login {\n"
         << "  inet_listener pop3 {\n"
         << "    port = " << port << "\n"
         << "  }\n"
         << "  inet_listener pop3s {\n"
         << "    port = " << tlsPort_ << "\n"
         << (certificate_ ? "    ssl = yes\n" : "")
         << "  }\n";
    if (!accounts.root) {
        conf << "  chroot =\n";
    }
    conf << "}\n"
         // Without its socket the authentication process keeps no per-address penalty, which would otherwise
         // grow with every refused login of the tests and delay the next one by seconds.
         << "service anvil {\n"
         << "  unix_listener anvil-auth-penalty {\n"
         << "    mode = 0\n"
         << "  }\n";
    if (!accounts.root) {
        conf << "  chroot =\n";
    }
    conf << "}\n";
    if (certificate_) {
        // "<" makes Dovecot read the file's contents; the files stay where the test made them.
        conf << "ssl_cert = <" << certificate_->certificate.string() << "\n"
             << "ssl_key = <" << certificate_->key.string() << "\n";
    }
    if (!testsupport::WriteBytes(folder_.Path() / "dovecot.conf", conf.str())) {
        reason = "cannot write dovecot.conf";
        return false;
    }
    return true;
}

bool DovecotServer::Launch(std::string& reason) {
    const std::string conf = (folder_.Path() / "dovecot.conf").string();
    const std::string output = (folder_.Path() / "startup.out").string();
    // A log left by an earlier attempt must not be read as this start's outcome.
    std::error_code ec;
    fs::remove(folder_.Path() / "dovecot.log", ec);
    fs::remove(output, ec);
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child < 0) {
        reason = "fork failed";
        return false;
    }
    if (child == 0) {
        // The server must not outlive a test program that crashes before it could stop it.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0) {
            ::_exit(127);
        }
        ::dup2(in, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        ::execl(kDovecotBinary, "dovecot", "-F", "-c", conf.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    master_ = child;
    return true;
}

bool DovecotServer::WaitUntilReady(std::string& reason) {
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    std::string lastError;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(master_, &status, WNOHANG) == master_) {
            master_ = -1;
            reason = "dovecot ended at start-up: " + StartupOutput();
            return false;
        }
        std::optional<Pop3Probe> probe = Pop3Probe::Connect(host_, port_, 2000, lastError);
        if (probe && probe->Greeting().rfind("+OK", 0) == 0) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    reason = "dovecot did not answer on port " + std::to_string(port_) + " (" + lastError + "): " + StartupOutput();
    return false;
}

std::string DovecotServer::StartupOutput() const {
    return testsupport::ReadBytes(folder_.Path() / "startup.out") + testsupport::ReadBytes(folder_.Path() / "dovecot.log");
}

void DovecotServer::Stop() {
    if (master_ <= 0) {
        return;
    }
    // The master stops its services when it ends, but does not wait for them; they are waited for here.
    const std::set<pid_t> services = ChildrenOf(master_);
    ::kill(master_, SIGTERM);
    if (!WaitForExit(master_, kStopLimit)) {
        ::kill(master_, SIGKILL);
        WaitForExit(master_, kStopLimit);
    }
    master_ = -1;
    const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
    for (pid_t pid : services) {
        while (ProcessAlive(pid) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        if (ProcessAlive(pid)) {
            ::kill(pid, SIGKILL);
        }
    }
}

bool DovecotServer::Deliver(const std::string& user, const std::string& message) {
    // Increasing names keep the server's numbering in delivery order; writing in tmp/ and renaming into new/ means
    // the server never sees half a message.
    ++delivered_;
    const std::string name = std::to_string(1000000000UL + delivered_) + ".M" + std::to_string(delivered_) + "P" +
                             std::to_string(::getpid()) + ".zendrel";
    const fs::path maildir = MaildirOf(user);
    const fs::path draft = maildir / "tmp" / name;
    if (!testsupport::WriteBytes(draft, message)) {
        return false;
    }
    if (::geteuid() == 0 && ::chown(draft.c_str(), mailUid_, mailGid_) != 0) {
        return false;
    }
    std::error_code ec;
    fs::rename(draft, maildir / "new" / name, ec);
    return !ec;
}

std::size_t DovecotServer::CountStoredMessages(const std::string& user) const {
    std::size_t count = 0;
    for (const char* sub : {"new", "cur"}) {
        std::error_code ec;
        for (const fs::directory_entry& entry : fs::directory_iterator(MaildirOf(user) / sub, ec)) {
            if (entry.is_regular_file()) {
                ++count;
            }
        }
    }
    return count;
}

std::vector<pid_t> DovecotServer::Processes() const {
    std::vector<pid_t> processes;
    if (master_ > 0) {
        processes.push_back(master_);
        for (pid_t pid : ChildrenOf(master_)) {
            processes.push_back(pid);
        }
    }
    return processes;
}

bool DovecotServer::LogShows(const std::string& text) const {
    for (int attempt = 0; attempt < 250; ++attempt) {
        if (Log().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

std::string DovecotServer::Log() const { return testsupport::ReadBytes(folder_.Path() / "dovecot.log"); }

}  // namespace zendrel::testsupport
