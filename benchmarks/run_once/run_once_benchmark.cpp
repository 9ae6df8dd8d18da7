// Times one mailbox run of `zendrel --run-once` beside the same run written in Python (poplib and the email package,
// python_run_once.py), both against one mailbox on a real Dovecot server on loopback (the test harness of
// tests/support/dovecot). The mailbox comes from make_mailbox.py: most mails lack the search string, the matching ones
// carry two large attachments whose extensions are allowed and sometimes one that is not. Each round runs both, in
// turns, into fresh save folders; every saved folder is compared with the files the generator says a run must save.
// Prints the wall and CPU times of every round, their medians and the ratios. Exit status 1 when a run fails or a
// folder differs, 2 for a usage error.
//
// Usage: run_once_benchmark ZENDREL_PROGRAM [--rounds N] [--mails N] [--matching N] [--attachment-bytes BYTES]
//                           [--tls 1] [--delay-ms MS]
// With --delay-ms both contenders reach the server through delay_proxy.h, which holds back every piece of data in
// each direction for MS milliseconds: a server 2 × MS away.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "delay_proxy.h"
#include "dovecot/dovecot_server.h"
#include "dovecot/pop3_probe.h"
#include "dovecot/test_certificates.h"
#include "pop3/mail_session.h"
#include "settings/read_intervals.h"
#include "settings/settings_file.h"
#include "test_files.h"

namespace zendrel::bench {
namespace {

namespace fs = std::filesystem;
using testsupport::DelayProxy;
using testsupport::DovecotServer;
using testsupport::ServerCertificate;
using testsupport::TestCertificatesFolder;
using testsupport::TestServerCertificate;
using Clock = std::chrono::steady_clock;
using Files = std::map<std::string, std::string>;
using Environment = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kUser = "bench";
constexpr const char* kPassword = "bench-secret";
// The generator's matching subjects hold "invoice" in several letter cases; the search ignores case.
constexpr const char* kSearchString = "Invoice";
constexpr const char* kExtensions = "pdf,csv";

struct Settings {
    std::string program;
    int rounds = 3;
    int mails = 1000;
    int matching = 200;
    long attachmentBytes = 100 * 1024;
    bool tls = false;  // POP3 over TLS (POP3S) for both, against a server with the test authority's certificate
    int delayMs = 0;   // both reach the server through a proxy that delays each direction by this much
};

std::optional<Settings> ParseArguments(int argc, char** argv) {
    if (argc < 2 || argc % 2 != 0) return std::nullopt;
    Settings settings;
    settings.program = argv[1];
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        char* end = nullptr;
        const long value = std::strtol(argv[i + 1], &end, 10);
        if (*end != '\0' || value < 0) return std::nullopt;
        if (name == "--rounds" && value > 0) {
            settings.rounds = static_cast<int>(value);
        } else if (name == "--mails" && value > 0) {
            settings.mails = static_cast<int>(value);
        } else if (name == "--matching") {
            settings.matching = static_cast<int>(value);
        } else if (name == "--attachment-bytes") {
            settings.attachmentBytes = value;
        } else if (name == "--tls" && value <= 1) {
            settings.tls = value == 1;
        } else if (name == "--delay-ms" && value <= 10000) {
            settings.delayMs = static_cast<int>(value);
        } else {
            return std::nullopt;
        }
    }
    if (settings.matching > settings.mails) return std::nullopt;
    return settings;
}

// One finished program run.
struct Timing {
    double wallSeconds = 0;
    double cpuSeconds = 0;  // user + system of the process itself; the server's share is not in it
    int status = -1;        // exit status, -1 when it did not exit normally or could not be started
};

// Runs `words` with `environment` added, its standard output and error into `output`, and waits for it.
Timing RunTimed(const std::vector<std::string>& words, const Environment& environment, const fs::path& output) {
    std::vector<char*> argv;
    std::vector<std::string> copies = words;
    for (std::string& word : copies) argv.push_back(word.data());
    argv.push_back(nullptr);

    Timing timing;
    const Clock::time_point start = Clock::now();
    const pid_t child = ::fork();
    if (child < 0) return timing;
    if (child == 0) {
        for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
        const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::dup2(fd, STDOUT_FILENO);
            ::dup2(fd, STDERR_FILENO);
            ::close(fd);
        }
        ::execvp(argv[0], argv.data());
        std::fprintf(stderr, "cannot run %s: %s\n", argv[0], std::strerror(errno));
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    while (::wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) return timing;
    }
    timing.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    timing.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    timing.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return timing;
}

std::string LastLines(const fs::path& file, std::size_t count) {
    const std::string text = testing::ReadBytes(file);
    std::size_t start = text.size();
    for (std::size_t seen = 0; start > 0 && seen <= count;) {
        if (text[--start] == '\n') ++seen;
    }
    return text.substr(start == 0 ? 0 : start + 1);
}

// How `saved` differs from `expected`: "" when they hold the same names with the same bytes.
std::string Differences(const Files& saved, const Files& expected) {
    std::vector<std::string> notes;
    for (const auto& [name, bytes] : expected) {
        const auto found = saved.find(name);
        if (found == saved.end()) {
            notes.push_back(name + " missing");
        } else if (found->second != bytes) {
            notes.push_back(name + " differs (" + std::to_string(found->second.size()) + " bytes, expected " +
                            std::to_string(bytes.size()) + ")");
        }
    }
    for (const auto& [name, bytes] : saved) {
        if (expected.count(name) == 0) notes.push_back(name + " not expected");
    }
    if (notes.empty()) return "";
    std::string text = std::to_string(notes.size()) + " differences:";
    for (std::size_t i = 0; i < notes.size() && i < 5; ++i) text += "\n    " + notes[i];
    if (notes.size() > 5) text += "\n    ...";
    return text;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string FirstLineOf(const char* command) {
    FILE* pipe = ::popen(command, "r");
    if (pipe == nullptr) return "?";
    char line[128] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    std::string text = read ? line : "?";
    text.erase(text.find_last_not_of("\r\n") + 1);
    return text;
}

// One of the two contenders: how it is started and what it did in each round.
struct Contender {
    std::string label;
    fs::path saveFolder;
    std::vector<double> wall;
    std::vector<double> cpu;
    bool failed = false;
};

class Benchmark {
public:
    Benchmark(Settings settings, const fs::path& work) : settings_(std::move(settings)), work_(work) {}

    bool Prepare() {
        const fs::path input = work_ / "input";
        const std::string generator = std::string(ZENDREL_RUN_ONCE_BENCH_DIR) + "/make_mailbox.py";
        const Timing made = RunTimed({"python3", generator, input.string(), std::to_string(settings_.mails),
                                      std::to_string(settings_.matching), std::to_string(settings_.attachmentBytes)},
                                     {}, work_ / "generator.txt");
        if (made.status != 0) {
            std::fprintf(stderr, "run-once benchmark: %s failed:\n%s", generator.c_str(),
                         LastLines(work_ / "generator.txt", 10).c_str());
            return false;
        }
        expected_ = testing::FilesIn(input / "expected");
        for (const auto& [name, bytes] : expected_) expectedBytes_ += bytes.size();

        std::string reason;
        if (settings_.tls && TestCertificatesFolder().empty()) {
            std::fprintf(stderr, "run-once benchmark: the openssl command could not make the test certificates\n");
            return false;
        }
        const ServerCertificate certificate = TestServerCertificate("good");
        server_ = DovecotServer::Start({{kUser, kPassword}}, reason, settings_.tls ? &certificate : nullptr);
        if (!server_) {
            std::fprintf(stderr, "run-once benchmark: Dovecot did not start: %s\n", reason.c_str());
            return false;
        }
        if (settings_.delayMs > 0) {
            proxy_ = DelayProxy::Start(ServiceHost(), ServerPort(), settings_.delayMs, reason);
            if (!proxy_) {
                std::fprintf(stderr, "run-once benchmark: %s\n", reason.c_str());
                return false;
            }
        }
        char name[32];
        for (int n = 1; n <= settings_.mails; ++n) {
            std::snprintf(name, sizeof name, "%04d.eml", n);
            const std::string message = testing::ReadBytes(input / "mail" / name);
            mailboxBytes_ += message.size();
            if (message.empty() || !server_->Deliver(kUser, message)) {
                std::fprintf(stderr, "run-once benchmark: cannot deliver %s\n", name);
                return false;
            }
        }
        return WriteSettings() && WarmUp();
    }

    // Both contenders in every round, taking turns at going first; every folder is checked.
    bool Measure(Contender& zendrel, Contender& python) {
        bool allSame = true;
        for (int round = 1; round <= settings_.rounds; ++round) {
            std::fprintf(stderr, "Round %d of %d ...\n", round, settings_.rounds);
            Contender* order[2] = {&zendrel, &python};
            if (round % 2 == 0) std::swap(order[0], order[1]);
            for (Contender* contender : order) {
                allSame = RunOne(*contender, contender == &zendrel) && allSame;
            }
            if (Files a = testing::FilesIn(zendrel.saveFolder); a != testing::FilesIn(python.saveFolder)) {
                std::fprintf(stderr, "  round %d: the two save folders differ\n", round);
                allSame = false;
            }
        }
        return allSame;
    }

    void Print(const Contender& zendrel, const Contender& python, bool allSame) const {
        std::printf("\nzendrel --run-once beside %s (poplib + email)%s, Dovecot %s on %s, %ld cores\n",
                    FirstLineOf("python3 --version 2>&1").c_str(), settings_.tls ? " over TLS (POP3S)" : "",
                    FirstLineOf("/usr/sbin/dovecot --version 2>/dev/null").c_str(), server_->Host().c_str(),
                    ::sysconf(_SC_NPROCESSORS_ONLN));
        std::printf("Mailbox: %d mails, %.1f MB; %d with \"invoice\" in the subject (letter case varies), each with a\n"
                    "  .pdf and a .csv attachment of %ld random bytes (base64), some also with a .txt note; the rest "
                    "short\n  notes, some with a small .pdf.\n",
                    settings_.mails, static_cast<double>(mailboxBytes_) / 1e6, settings_.matching,
                    settings_.attachmentBytes);
        std::printf("Run: search string \"%s\", extensions \"%s\", mails left on the server; %zu files, %.1f MB to "
                    "save.\n",
                    kSearchString, kExtensions, expected_.size(), static_cast<double>(expectedBytes_) / 1e6);
        if (settings_.delayMs > 0) {
            std::printf("Network: through a proxy that delays each direction by %d ms (round trip %d ms).\n",
                        settings_.delayMs, 2 * settings_.delayMs);
        }
        std::printf("Times in seconds: wall clock, and CPU (user + system) of the client process alone.\n\n");
        std::printf("%-8s %14s %10s %14s %10s\n", "round", "zendrel wall", "cpu", "python wall", "cpu");
        for (int r = 0; r < settings_.rounds; ++r) {
            std::printf("%-8d %14.3f %10.3f %14.3f %10.3f\n", r + 1, zendrel.wall[r], zendrel.cpu[r], python.wall[r],
                        python.cpu[r]);
        }
        const double zWall = Median(zendrel.wall);
        const double pWall = Median(python.wall);
        const double zCpu = Median(zendrel.cpu);
        const double pCpu = Median(python.cpu);
        std::printf("%-8s %14.3f %10.3f %14.3f %10.3f\n", "median", zWall, zCpu, pWall, pCpu);
        std::printf("\nzendrel / python: wall %.3f, CPU %.3f\n", zWall / pWall, zCpu / pCpu);
        std::printf("Saved files: %s\n", allSame ? "both folders held the expected names and bytes in every round"
                                                 : "MISMATCH (see above)");
        const bool ok = allSame && !zendrel.failed && !python.failed;
        std::printf("Goal, zendrel takes no longer than the Python script: %s\n",
                    !ok ? "not judged (a run failed or saved other files)" : (zWall <= pWall ? "met" : "not met"));
    }

private:
    bool WriteSettings() {
        dataFolder_ = work_ / "data";
        std::error_code ec;
        fs::create_directories(dataFolder_, ec);
        SettingsRecord record;
        record.language = "english";
        record.portText = std::to_string(ServicePort());
        record.security = settings_.tls ? 2 : 0;
        record.server = ServiceHost();
        record.userName = kUser;
        record.password = kPassword;
        record.intervalPosition = ReadIntervalPosition(300);
        record.searchString = kSearchString;
        // The temporary folder's path is plain ASCII, which is the same text in Windows-1252.
        record.saveDir = (work_ / "zendrel-out" / "").string();
        record.startHour = 0;
        record.startMinute = 0;
        record.deleteMails = false;
        record.extensionsText = kExtensions;
        if (!SaveSettings(dataFolder_, record)) {
            std::fprintf(stderr, "run-once benchmark: cannot write the settings file\n");
            return false;
        }
        return true;
    }

    // The first login after delivery makes Dovecot index the mailbox; neither contender should pay for it.
    bool WarmUp() {
        if (settings_.tls) {
            // The server takes no password in the clear: the warm-up logs in over TLS too.
            for (const auto& [name, value] : TrustEnvironment()) ::setenv(name.c_str(), value.c_str(), 1);
            const std::unique_ptr<MailSession> session = CreateMailSession();
            session->SetConnectionSecurity(ConnectionSecurity::kTls);
            const bool ok = session->Login(ServiceHost(), ServicePort(), kUser, kPassword, 30000) == 1;
            if (!ok) std::fprintf(stderr, "run-once benchmark: cannot log in over TLS: %d\n", session->GetErrorCode());
            if (ok) session->Logout();
            return ok;
        }
        std::string error;
        std::optional<testsupport::Pop3Probe> probe =
            testsupport::Pop3Probe::Connect(server_->Host(), server_->Port(), 30000, error);
        const bool ok = probe && probe->Command(std::string("USER ") + kUser).rfind("+OK", 0) == 0 &&
                        probe->Command(std::string("PASS ") + kPassword).rfind("+OK", 0) == 0 &&
                        probe->Command("STAT").rfind("+OK", 0) == 0;
        if (probe) probe->Command("QUIT");
        if (!ok) std::fprintf(stderr, "run-once benchmark: cannot log in to the mailbox: %s\n", error.c_str());
        return ok;
    }

    int ServerPort() const { return settings_.tls ? server_->TlsPort() : server_->Port(); }
    // Where the contenders connect: the server, or the proxy in front of it.
    int ServicePort() const { return proxy_ ? proxy_->Port() : ServerPort(); }
    // The certificate names localhost, not the address.
    std::string ServiceHost() const { return settings_.tls ? "localhost" : server_->Host(); }
    // Both contenders trust the test authority, and only it, through OpenSSL's variable.
    Environment TrustEnvironment() const {
        if (!settings_.tls) return {};
        return {{"SSL_CERT_FILE", (TestCertificatesFolder() / "ca.pem").string()}};
    }

    bool RunOne(Contender& contender, bool isZendrel) {
        std::error_code ec;
        fs::remove_all(contender.saveFolder, ec);
        fs::create_directories(contender.saveFolder, ec);
        const fs::path output = work_ / (contender.label + "-output.txt");
        const std::string script = std::string(ZENDREL_RUN_ONCE_BENCH_DIR) + "/python_run_once.py";
        Environment environment = TrustEnvironment();
        std::vector<std::string> words = {settings_.program, "--run-once"};
        if (isZendrel) {
            environment.emplace_back("ZENDREL_DATA_DIR", dataFolder_.string());
        } else {
            words = {"python3",   script,         ServiceHost(), std::to_string(ServicePort()),
                     kUser,       kPassword,      kSearchString, kExtensions,
                     contender.saveFolder.string()};
            if (settings_.tls) words.push_back("tls");
        }
        const Timing timing = RunTimed(words, environment, output);
        contender.wall.push_back(timing.wallSeconds);
        contender.cpu.push_back(timing.cpuSeconds);
        if (timing.status != 0) {
            contender.failed = true;
            std::fprintf(stderr, "  %s exited with status %d:\n%s", contender.label.c_str(), timing.status,
                         LastLines(output, 10).c_str());
        }
        const std::string differences = Differences(testing::FilesIn(contender.saveFolder), expected_);
        if (!differences.empty()) {
            std::fprintf(stderr, "  %s saved other files than expected: %s\n", contender.label.c_str(),
                         differences.c_str());
        }
        return timing.status == 0 && differences.empty();
    }

    Settings settings_;
    fs::path work_;
    fs::path dataFolder_;
    Files expected_;
    std::size_t expectedBytes_ = 0;
    std::size_t mailboxBytes_ = 0;
    std::unique_ptr<DovecotServer> server_;
    std::unique_ptr<DelayProxy> proxy_;
};

int Run(int argc, char** argv) {
    const std::optional<Settings> settings = ParseArguments(argc, argv);
    if (!settings) {
        std::fprintf(stderr,
                     "usage: %s ZENDREL_PROGRAM [--rounds N] [--mails N] [--matching N] [--attachment-bytes BYTES] "
                     "[--tls 1] [--delay-ms MS]\n",
                     argv[0]);
        return 2;
    }
    if (::access(settings->program.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "run-once benchmark: %s is not a program to run\n", settings->program.c_str());
        return 2;
    }
    const testing::TemporaryFolder work("zendrel-bench-run-once");
    if (!work.Created()) {
        std::fprintf(stderr, "run-once benchmark: cannot create a temporary folder\n");
        return 1;
    }
    Benchmark benchmark(*settings, work.Path());
    if (!benchmark.Prepare()) return 1;
    Contender zendrel{"zendrel", work.Path() / "zendrel-out", {}, {}, false};
    Contender python{"python", work.Path() / "python-out", {}, {}, false};
    const bool allSame = benchmark.Measure(zendrel, python);
    benchmark.Print(zendrel, python, allSame);
    return allSame ? 0 : 1;
}

}  // namespace
}  // namespace zendrel::bench

int main(int argc, char** argv) { return zendrel::bench::Run(argc, argv); }
