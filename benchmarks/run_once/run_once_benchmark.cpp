// Times one mailbox run of `zendrel --run-once` beside its peers, all against one mailbox on a real Dovecot server on
// loopback (the test harness of tests/support/dovecot): the same run written in Python (poplib and the email package,
// python_run_once.py), mpop (a C client that pipelines up to 100 commands) downloading the whole mailbox, and mpop
// doing the same job (mpop_job.sh: its header filter picks the mails by subject, ripmime takes them apart). The mailbox
// comes from make_mailbox.py: most mails lack the search string, the matching ones carry two large attachments whose
// extensions are allowed and sometimes one that is not. Each round runs every contender, in turns, into fresh folders;
// the folders of zendrel and Python are compared with the files the generator says a run must save. Prints the wall
// and CPU times of every round, their medians, the ratios and the goals. Without --tls and --delay-ms it also runs
// zendrel against a server whose reply never ends, and prints how long that run took and how much memory it held.
// Exit status 1 when a run fails or a folder differs, 2 for a usage error.
//
// Usage: run_once_benchmark ZENDREL_PROGRAM [--rounds N] [--mails N] [--matching N] [--attachment-bytes BYTES]
//                           [--tls 1] [--delay-ms MS] [--kept N]
// Without --tls it then also measures a kept mailbox of --kept mails (10,000; 0 leaves it out): the steady state and
// one new mail, with and without RememberMails and beside mpop --only-new=on (KeptMailbox below).
// With --delay-ms the contenders reach the server through delay_proxy.h, which holds back every piece of data in each
// direction for MS milliseconds: a server 2 × MS away. zendrel and mpop's download then also run on loopback, for the
// ratio, and zendrel once more with deletion on (the mailbox is filled again after that run).

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
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
#include "loopback_pop3_server.h"
#include "plain_codecs.h"
#include "dovecot/dovecot_server.h"
#include "dovecot/pop3_probe.h"
#include "dovecot/test_certificates.h"
#include "pop3/mail_session.h"
#include "pop3/reply_assembler.h"
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
// The mailbox that holds the one large mail.
constexpr const char* kLargeUser = "bench-large";
constexpr long kLargeAttachmentBytes = 50L << 20;
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
    int kept = 10000;  // mails of the kept mailbox (steady state and one new mail); 0 leaves that part out
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
        } else if (name == "--kept" && value <= 1000000) {
            settings.kept = static_cast<int>(value);
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
    double peakMb = 0;      // the most it held resident (its children's too, when it waited for them); 0 unknown
    int status = -1;        // exit status, -1 when it did not exit normally or could not be started
};

// Runs `words` with `environment` added, its standard output and error into `output`, and waits for it. Its peak
// resident size comes from GNU time, which starts it: a child forked from this process would count this process's
// memory as its own until it runs the program.
Timing RunTimed(const std::vector<std::string>& words, const Environment& environment, const fs::path& output) {
    const fs::path peakFile = output.string() + ".peak";
    const bool measured = ::access("/usr/bin/time", X_OK) == 0;
    std::vector<std::string> copies = words;
    if (measured) copies.insert(copies.begin(), {"/usr/bin/time", "-f", "%M", "-o", peakFile.string()});
    std::vector<char*> argv;
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
    if (measured) {
        // The last line: time puts a line about a failed exit status before it.
        std::string lines = testsupport::ReadBytes(peakFile);
        while (!lines.empty() && lines.back() == '\n') lines.pop_back();
        timing.peakMb = std::atof(lines.substr(lines.rfind('\n') + 1).c_str()) * 1024 / 1e6;
    }
    timing.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return timing;
}

std::string LastLines(const fs::path& file, std::size_t count) {
    const std::string text = testsupport::ReadBytes(file);
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

enum class Peer { kZendrel, kPython, kMpopDownload, kMpopJob };

// One contender: how it is started and what it did in each round.
struct Contender {
    std::string label;
    Peer peer = Peer::kZendrel;
    bool throughProxy = false;
    bool deleteMails = false;  // zendrel with deletion on: the mailbox is filled again after its run
    fs::path folder;           // where it saves, or (mpop) delivers
    fs::path dataFolder;       // zendrel's settings
    std::vector<double> wall;
    std::vector<double> cpu;
    std::vector<double> peakMb;
    bool failed = false;

    // zendrel and Python save exactly the files the generator expects.
    bool Checked() const { return peer == Peer::kZendrel || peer == Peer::kPython; }
};

double Ratio(double a, double b) { return b > 0 ? a / b : 0; }

const char* Verdict(bool judged, bool met) { return !judged ? "not judged (a run failed)" : met ? "met" : "not met"; }

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
        expected_ = testsupport::FilesIn(input / "expected");
        for (const auto& [name, bytes] : expected_) expectedBytes_ += bytes.size();

        std::string reason;
        if (settings_.tls && TestCertificatesFolder().empty()) {
            std::fprintf(stderr, "run-once benchmark: the openssl command could not make the test certificates\n");
            return false;
        }
        const ServerCertificate certificate = TestServerCertificate("good");
        server_ = DovecotServer::Start({{kUser, kPassword}, {kLargeUser, kPassword}}, reason,
                                       settings_.tls ? &certificate : nullptr);
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
            std::string message = testsupport::ReadBytes(input / "mail" / name);
            mailboxBytes_ += message.size();
            if (message.empty() || !server_->Deliver(kUser, message)) {
                std::fprintf(stderr, "run-once benchmark: cannot deliver %s\n", name);
                return false;
            }
            // The mails a run with deletion on removes, to be delivered again after it.
            if (message.find("Message-ID: <invoice.") != std::string::npos) deletable_.push_back(std::move(message));
        }
        MakeContenders();
        for (Contender& contender : contenders_) {
            if (contender.peer == Peer::kZendrel && !WriteSettings(contender)) return false;
        }
        return WarmUp();
    }

    // Every contender in every round, taking turns at going first; the checked folders are compared.
    bool Measure() {
        bool allSame = true;
        for (int round = 1; round <= settings_.rounds; ++round) {
            std::fprintf(stderr, "Round %d of %d ...\n", round, settings_.rounds);
            const std::size_t count = contenders_.size();
            for (std::size_t i = 0; i < count; ++i) {
                Contender& contender = contenders_[(i + static_cast<std::size_t>(round) - 1) % count];
                allSame = RunOne(contender) && allSame;
                if (contender.deleteMails && !FillAgain()) return false;
            }
        }
        return allSame;
    }

    void Print(bool allSame) const {
        std::printf("\nzendrel --run-once beside %s (poplib + email), %s and mpop with ripmime%s, Dovecot %s on %s, "
                    "%ld cores\n",
                    FirstLineOf("python3 --version 2>&1").c_str(), FirstLineOf("mpop --version 2>&1").c_str(),
                    settings_.tls ? " over TLS (POP3S)" : "",
                    FirstLineOf("/usr/sbin/dovecot --version 2>/dev/null").c_str(), server_->Host().c_str(),
                    ::sysconf(_SC_NPROCESSORS_ONLN));
        std::printf("Mailbox: %d mails, %.1f MB; %d with \"invoice\" in the subject (letter case varies), each with a\n"
                    "  .pdf and a .csv attachment of %ld random bytes (base64), some also with a .txt note; the rest "
                    "short\n  notes, some with a small .pdf.\n",
                    settings_.mails, static_cast<double>(mailboxBytes_) / 1e6, settings_.matching,
                    settings_.attachmentBytes);
        std::printf("Job: search string \"%s\", extensions \"%s\", mails left on the server (unless said); %zu files, "
                    "%.1f MB to save.\n",
                    kSearchString, kExtensions, expected_.size(), static_cast<double>(expectedBytes_) / 1e6);
        std::printf("mpop download: the whole mailbox into a maildir (--keep=on --only-new=off), no filter.\n"
                    "mpop job: its header --filter picks the mails by subject, ripmime takes them apart, .pdf and .csv "
                    "stay.\n");
        if (settings_.delayMs > 0) {
            std::printf("Network: \"proxy\" goes through a proxy that delays each direction by %d ms (round trip %d "
                        "ms); \"loopback\" does not.\n",
                        settings_.delayMs, 2 * settings_.delayMs);
        }
        std::printf("Wall clock in seconds per round; CPU (user + system) and peak resident size of the client alone "
                    "(mpop's\nincludes its filter and ripmime).\n\n");
        for (const Contender& contender : contenders_) {
            std::printf("%-30s", contender.label.c_str());
            for (const double wall : contender.wall) std::printf(" %8.3f", wall);
            std::printf("   median %7.3f  cpu %7.3f  peak %6.1f MB%s\n", Median(contender.wall),
                        Median(contender.cpu), Median(contender.peakMb), contender.failed ? "  (a run failed)" : "");
        }
        std::printf("\nSaved files: %s\n", allSame ? "zendrel's and Python's folders held the expected names and bytes "
                                                     "in every round"
                                                   : "MISMATCH (see above)");

        const Contender* zendrel = Find(Peer::kZendrel, settings_.delayMs > 0, false);
        const Contender* python = Find(Peer::kPython, settings_.delayMs > 0, false);
        const Contender* download = Find(Peer::kMpopDownload, settings_.delayMs > 0, false);
        const Contender* job = Find(Peer::kMpopJob, settings_.delayMs > 0, false);
        const char* where = settings_.delayMs > 0 ? "through the proxy" : "on loopback";
        std::printf("\nRatios %s (wall clock medians):\n", where);
        std::printf("  zendrel / python            %.3f\n", Ratio(Median(zendrel->wall), Median(python->wall)));
        std::printf("  zendrel / mpop job          %.3f\n", Ratio(Median(zendrel->wall), Median(job->wall)));
        std::printf("  mpop job / mpop download    %.3f\n", Ratio(Median(job->wall), Median(download->wall)));
        const double againstDownload = Ratio(Median(zendrel->wall), Median(download->wall));
        std::printf("Goal, zendrel's whole job in at most half the time of mpop's bare download %s: %.3f, %s\n", where,
                    againstDownload, Verdict(!zendrel->failed && !download->failed, againstDownload <= 0.5));
        if (settings_.delayMs > 0) {
            const Contender* zendrelLoopback = Find(Peer::kZendrel, false, false);
            const Contender* downloadLoopback = Find(Peer::kMpopDownload, false, false);
            const Contender* deleting = Find(Peer::kZendrel, true, true);
            std::printf("  mpop download, proxy / loopback   %.3f\n",
                        Ratio(Median(download->wall), Median(downloadLoopback->wall)));
            const double distant = Ratio(Median(zendrel->wall), Median(zendrelLoopback->wall));
            std::printf("Goal, zendrel through the proxy at most 1.25 times its loopback run: %.3f, %s\n", distant,
                        Verdict(!zendrel->failed && !zendrelLoopback->failed, distant <= 1.25));
            const double deletion = Ratio(Median(deleting->wall), Median(zendrel->wall));
            std::printf("Goal, zendrel with deletion on at most 1.1 times deletion off, through the proxy: %.3f, %s\n",
                        deletion, Verdict(!zendrel->failed && !deleting->failed, deletion <= 1.1));
        }
    }

    // One mail of about 68 MB with a single 50 MB attachment: the most a run holds of it at once, beside Python's
    // poplib and email, and beside the peak of the run over the whole mailbox.
    void LargeMail() {
        std::printf("\nOne large mail: %.1f MB of random bytes in one base64 attachment, the only mail in its mailbox."
                    "\n", static_cast<double>(kLargeAttachmentBytes) / 1e6);
        std::string bytes(static_cast<std::size_t>(kLargeAttachmentBytes), '\0');
        std::uint64_t state = 88172645463325252ull;
        for (std::size_t i = 0; i < bytes.size(); i += 8) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            std::memcpy(&bytes[i], &state, std::min<std::size_t>(8, bytes.size() - i));
        }
        std::string message = "From: Billing <billing@example.org>\r\nTo: bench@example.org\r\n"
                              "Subject: Invoice for the large order\r\nMessage-ID: <large@zendrel.bench>\r\n"
                              "Date: Mon, 04 Mar 2024 09:30:00 +0100\r\nMIME-Version: 1.0\r\n"
                              "Content-Type: multipart/mixed; boundary=\"large\"\r\n\r\n--large\r\n"
                              "Content-Type: text/plain\r\n\r\nThe invoice is attached.\r\n--large\r\n"
                              "Content-Type: application/pdf\r\nContent-Transfer-Encoding: base64\r\n"
                              "Content-Disposition: attachment; filename=\"large.pdf\"\r\n\r\n";
        message += testsupport::EncodeBase64(bytes, testsupport::Base64Alphabet::Standard, 76);
        message += "\r\n--large--\r\n";
        const double messageMb = static_cast<double>(message.size()) / 1e6;
        if (!server_->Deliver(kLargeUser, message)) {
            std::printf("  the mail could not be delivered\n");
            return;
        }
        std::string().swap(message);

        Contender contender;
        contender.folder = work_ / "large-out";
        contender.dataFolder = work_ / "large-data";
        if (!WriteSettings(contender, ServiceHost(), ServerPort(), ConnectionSecurity::kNone, kLargeUser)) return;
        const auto saved = [&]() { return testsupport::ReadBytes(contender.folder / "large.pdf") == bytes; };
        const auto run = [&](const std::vector<std::string>& words, const Environment& environment) {
            std::error_code ec;
            fs::remove_all(contender.folder, ec);
            fs::create_directories(contender.folder, ec);
            return RunTimed(words, environment, work_ / "large-output.txt");
        };
        const Timing ours = run({settings_.program, "--run-once"},
                                {{"ZENDREL_DATA_DIR", contender.dataFolder.string()}});
        const bool oursSaved = ours.status == 0 && saved();
        const Timing python = run({"python3", std::string(ZENDREL_RUN_ONCE_BENCH_DIR) + "/python_run_once.py",
                                   ServiceHost(), std::to_string(ServerPort()), kLargeUser, kPassword, kSearchString,
                                   kExtensions, contender.folder.string()},
                                  {});
        const bool pythonSaved = python.status == 0 && saved();
        std::printf("  %-10s wall %7.3f s  peak resident %7.1f MB  (%.2f x the mail)%s\n", "zendrel", ours.wallSeconds,
                    ours.peakMb, ours.peakMb / messageMb, oursSaved ? "" : "  (the file was not saved right)");
        std::printf("  %-10s wall %7.3f s  peak resident %7.1f MB  (%.2f x the mail)%s\n", "python",
                    python.wallSeconds, python.peakMb, python.peakMb / messageMb,
                    pythonSaved ? "" : "  (the file was not saved right)");
        const Contender* whole = Find(Peer::kZendrel, false, false);
        std::printf("  beside it, zendrel over the %d-mail mailbox above: peak resident %.1f MB\n", settings_.mails,
                    Median(whole->peakMb));
        std::printf("Goal, zendrel at most 100 MB resident for the %.1f MB mail: %.1f MB, %s\n", messageMb,
                    ours.peakMb, Verdict(oursSaved, ours.peakMb <= 100));
    }

    // zendrel against a server whose reply to RETR or TOP never ends: the run must end by itself, its memory
    // bounded by the reply's limit.
    void EndlessReplies() {
        std::printf("\nA server that never stops talking: message 1's reply is lines without end, as fast as they are "
                    "read.\n");
        struct Case {
            const char* what;
            const char* verb;
            bool sizesListed;
            std::uint64_t limit;
        };
        const std::string mail = "From: a@example.org\r\nSubject: invoice 1\r\nMessage-ID: <endless@zendrel.bench>"
                                 "\r\n\r\nbody\r\n";
        const Case cases[] = {
            {"RETR, size listed", "RETR", true, ListedMessageLimit(mail.size())},
            {"RETR, no size listed", "RETR", false, kUnlistedMessageLimit},
            {"TOP (the header)", "TOP", true, kHeaderReplyLimit},
        };
        for (const Case& c : cases) {
            testsupport::LoopbackPop3Server server(kUser, kPassword, {mail, mail});
            server.LongReplyTo(c.verb, 1);
            if (!c.sizesListed) server.RefuseList();
            Contender contender;
            contender.label = "endless";
            contender.folder = work_ / "endless-out";
            contender.dataFolder = work_ / "endless-data";
            std::error_code ec;
            fs::remove_all(contender.dataFolder, ec);
            const bool ready = server.listening() &&
                               WriteSettings(contender, "127.0.0.1", server.port(), ConnectionSecurity::kNone);
            if (!ready) {
                std::printf("  %-22s could not be set up\n", c.what);
                continue;
            }
            const fs::path output = work_ / "endless-output.txt";
            const Timing timing = RunTimed({settings_.program, "--run-once"},
                                           {{"ZENDREL_DATA_DIR", contender.dataFolder.string()}}, output);
            std::printf("  %-22s ended by itself after %6.2f s, exit status %d, peak resident %6.1f MB (limit %.1f "
                        "MB)\n",
                        c.what, timing.wallSeconds, timing.status, timing.peakMb, static_cast<double>(c.limit) / 1e6);
            std::printf("  %-22s its last line: %s", "", LastLines(output, 1).c_str());
            std::printf("  Goal, under 400 MB resident and ended within two minutes: %s\n",
                        timing.peakMb < 400 && timing.wallSeconds < 120 && timing.status >= 0 ? "met" : "not met");
        }
    }

private:
    void MakeContenders() {
        const auto add = [this](std::string label, Peer peer, bool proxy, bool deleting) {
            Contender contender;
            contender.label = std::move(label);
            contender.peer = peer;
            contender.throughProxy = proxy;
            contender.deleteMails = deleting;
            const std::string folder = "c" + std::to_string(contenders_.size());
            contender.folder = work_ / (folder + "-out");
            contender.dataFolder = work_ / (folder + "-data");
            contenders_.push_back(std::move(contender));
        };
        const bool distant = settings_.delayMs > 0;
        const std::string where = distant ? ", proxy" : "";
        if (distant) add("zendrel, loopback", Peer::kZendrel, false, false);
        add("zendrel" + where, Peer::kZendrel, distant, false);
        if (distant) add("zendrel deleting, proxy", Peer::kZendrel, true, true);
        add("python" + where, Peer::kPython, distant, false);
        if (distant) add("mpop download, loopback", Peer::kMpopDownload, false, false);
        add("mpop download" + where, Peer::kMpopDownload, distant, false);
        add("mpop job" + where, Peer::kMpopJob, distant, false);
    }

    const Contender* Find(Peer peer, bool proxy, bool deleting) const {
        for (const Contender& contender : contenders_) {
            if (contender.peer == peer && contender.throughProxy == proxy && contender.deleteMails == deleting) {
                return &contender;
            }
        }
        return &contenders_.front();
    }

    bool WriteSettings(const Contender& contender) {
        const ConnectionSecurity security = settings_.tls ? ConnectionSecurity::kTls : ConnectionSecurity::kNone;
        return WriteSettings(contender, ServiceHost(), Port(contender), security);
    }

    bool WriteSettings(const Contender& contender, const std::string& host, int port, ConnectionSecurity security,
                       const char* user = kUser) {
        std::error_code ec;
        fs::create_directories(contender.dataFolder, ec);
        SettingsRecord record;
        record.language = "english";
        record.portText = std::to_string(port);
        record.security = security;
        record.server = host;
        record.userName = user;
        record.password = kPassword;
        record.intervalPosition = ReadIntervalPosition(300);
        record.searchString = kSearchString;
        // The temporary folder's path is plain ASCII, which is the same text in Windows-1252.
        record.saveDir = (contender.folder / "").string();
        record.startHour = 0;
        record.startMinute = 0;
        record.deleteMails = contender.deleteMails;
        record.extensionsText = kExtensions;
        if (!SaveSettings(contender.dataFolder, record)) {
            std::fprintf(stderr, "run-once benchmark: cannot write the settings file\n");
            return false;
        }
        return true;
    }

    // The first login after delivery makes Dovecot index the mailbox; no contender should pay for it.
    bool WarmUp() {
        if (settings_.tls) {
            // The server takes no password in the clear: the warm-up logs in over TLS too.
            for (const auto& [name, value] : TrustEnvironment()) ::setenv(name.c_str(), value.c_str(), 1);
            const std::unique_ptr<MailSession> session = CreateMailSession();
            session->SetConnectionSecurity(ConnectionSecurity::kTls);
            const bool ok = session->Login(ServiceHost(), ServerPort(), kUser, kPassword, 30000) == 1;
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

    // After a run with deletion on: the mails it deleted are delivered again (at the end of the mailbox).
    bool FillAgain() {
        const std::size_t stored = server_->CountStoredMessages(kUser);
        if (stored + deletable_.size() != static_cast<std::size_t>(settings_.mails)) {
            std::fprintf(stderr, "run-once benchmark: the run with deletion on left %zu of %d mails\n", stored,
                         settings_.mails);
            return false;
        }
        for (const std::string& message : deletable_) {
            if (!server_->Deliver(kUser, message)) return false;
        }
        return WarmUp();
    }

    int ServerPort() const { return settings_.tls ? server_->TlsPort() : server_->Port(); }
    int Port(const Contender& contender) const {
        return contender.throughProxy && proxy_ ? proxy_->Port() : ServerPort();
    }
    // The certificate names localhost, not the address.
    std::string ServiceHost() const { return settings_.tls ? "localhost" : server_->Host(); }
    // Every contender trusts the test authority, and only it, through OpenSSL's variable.
    Environment TrustEnvironment() const {
        if (!settings_.tls) return {};
        return {{"SSL_CERT_FILE", (TestCertificatesFolder() / "ca.pem").string()}};
    }

    std::vector<std::string> Words(const Contender& contender) const {
        const std::string host = ServiceHost();
        const std::string port = std::to_string(Port(contender));
        const std::string here = ZENDREL_RUN_ONCE_BENCH_DIR;
        const std::string trust = (TestCertificatesFolder() / "ca.pem").string();
        switch (contender.peer) {
            case Peer::kZendrel:
                return {settings_.program, "--run-once"};
            case Peer::kPython: {
                std::vector<std::string> words = {"python3", here + "/python_run_once.py", host, port, kUser,
                                                  kPassword, kSearchString, kExtensions, contender.folder.string()};
                if (settings_.tls) words.push_back("tls");
                return words;
            }
            case Peer::kMpopDownload: {
                std::vector<std::string> words = {"mpop", "--host=" + host, "--port=" + port, "--auth=user",
                                                  std::string("--user=") + kUser,
                                                  std::string("--passwordeval=echo ") + kPassword, "--keep=on",
                                                  "--only-new=off", "--received-header=off",
                                                  "--uidls-file=" + (contender.folder / "uidls").string(),
                                                  "--delivery=maildir," + (contender.folder / "maildir").string(),
                                                  "--quiet"};
                if (settings_.tls) {
                    words.insert(words.end(), {"--tls=on", "--tls-starttls=off", "--tls-trust-file=" + trust});
                } else {
                    words.push_back("--tls=off");
                }
                return words;
            }
            case Peer::kMpopJob: {
                std::vector<std::string> words = {here + "/mpop_job.sh", host, port, kUser, kPassword,
                                                  (contender.folder / "work").string(),
                                                  (contender.folder / "saved").string()};
                if (settings_.tls) words.push_back(trust);
                return words;
            }
        }
        return {};
    }

    bool RunOne(Contender& contender) {
        std::error_code ec;
        fs::remove_all(contender.folder, ec);
        fs::create_directories(contender.folder, ec);
        if (contender.peer == Peer::kMpopDownload) {
            for (const char* sub : {"cur", "new", "tmp"}) {
                fs::create_directories(contender.folder / "maildir" / sub, ec);
            }
        }
        Environment environment = TrustEnvironment();
        if (contender.peer == Peer::kZendrel) {
            environment.emplace_back("ZENDREL_DATA_DIR", contender.dataFolder.string());
        }
        const fs::path output = work_ / "output.txt";
        const Timing timing = RunTimed(Words(contender), environment, output);
        contender.wall.push_back(timing.wallSeconds);
        contender.cpu.push_back(timing.cpuSeconds);
        contender.peakMb.push_back(timing.peakMb);
        if (timing.status != 0) {
            contender.failed = true;
            std::fprintf(stderr, "  %s exited with status %d:\n%s", contender.label.c_str(), timing.status,
                         LastLines(output, 10).c_str());
        }
        if (!contender.Checked()) return timing.status == 0;
        const std::string differences = Differences(testsupport::FilesIn(contender.folder), expected_);
        if (!differences.empty()) {
            std::fprintf(stderr, "  %s saved other files than expected: %s\n", contender.label.c_str(),
                         differences.c_str());
        }
        return timing.status == 0 && differences.empty();
    }

    Settings settings_;
    fs::path work_;
    Files expected_;
    std::size_t expectedBytes_ = 0;
    std::size_t mailboxBytes_ = 0;
    std::vector<std::string> deletable_;
    std::vector<Contender> contenders_;
    std::unique_ptr<DovecotServer> server_;
    std::unique_ptr<DelayProxy> proxy_;
};

// A kept mailbox (deletion off) that a run visits every few minutes: `kept` short mails on Dovecot, none of them
// new since the last run, then one new matching mail. zendrel remembering its examined mails beside zendrel without
// (RememberMails=0) and beside mpop with --only-new=on (its UIDL file; without the header filter of mpop_job.sh, which
// starts a process for every mail it has not delivered, at every run), each with its own state, each primed by one
// run before the measured ones. The commands and bytes come from the proxy, which every contender also goes through.
class KeptMailbox {
public:
    KeptMailbox(const Settings& settings, const fs::path& work) : settings_(settings), work_(work) {}

    bool Run() {
        std::string reason;
        server_ = DovecotServer::Start({{kKeptUser, kPassword}}, reason);
        if (!server_) {
            std::fprintf(stderr, "kept mailbox: Dovecot did not start: %s\n", reason.c_str());
            return false;
        }
        proxy_ = DelayProxy::Start(server_->Host(), server_->Port(), kDelayMs, reason);
        if (!proxy_) {
            std::fprintf(stderr, "kept mailbox: %s\n", reason.c_str());
            return false;
        }
        std::fprintf(stderr, "Kept mailbox: delivering %d mails ...\n", settings_.kept);
        for (int n = 1; n <= settings_.kept; ++n) {
            if (!server_->Deliver(kKeptUser, Note(n))) {
                std::fprintf(stderr, "kept mailbox: cannot deliver mail %d\n", n);
                return false;
            }
        }
        for (const bool proxy : {false, true}) {
            for (const Kind kind : {Kind::kRemembered, Kind::kPlain, Kind::kMpop}) {
                Entry entry;
                entry.kind = kind;
                entry.proxy = proxy;
                entry.folder = work_ / ("kept-" + std::to_string(entries_.size()));
                if (kind != Kind::kMpop && !WriteKeptSettings(entry)) return false;
                entries_.push_back(std::move(entry));
            }
        }
        bool ok = true;
        for (Entry& entry : entries_) ok = RunEntry(entry, nullptr) && ok;  // primes the state
        for (int round = 0; round < settings_.rounds; ++round) {
            for (Entry& entry : entries_) ok = RunEntry(entry, &entry.steady) && ok;
        }
        if (!server_->Deliver(kKeptUser, NewInvoice())) return false;
        for (Entry& entry : entries_) ok = RunEntry(entry, &entry.oneNew) && ok;
        Print();
        return ok;
    }

private:
    enum class Kind { kRemembered, kPlain, kMpop };
    struct Measured {
        std::vector<double> wall;
        DelayProxy::Traffic traffic;  // of the last run through the proxy
    };
    struct Entry {
        Kind kind = Kind::kRemembered;
        bool proxy = false;
        fs::path folder;
        Measured steady;
        Measured oneNew;
        bool failed = false;
    };
    static constexpr const char* kKeptUser = "kept";
    static constexpr int kDelayMs = 5;

    static std::string Note(int n) {
        return "From: Colleague <colleague@example.org>\r\nSubject: note " + std::to_string(n) +
               "\r\nMessage-ID: <kept." + std::to_string(n) + "@zendrel.bench>\r\nDate: Tue, 10 Jun 2025 09:30:00 "
               "+0200\r\n\r\nA short note that stays on the server.\r\n";
    }
    static std::string NewInvoice() {
        return "From: Billing <billing@example.org>\r\nSubject: Invoice new\r\nMessage-ID: <kept.new@zendrel.bench>"
               "\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
               "Content-Type: text/plain\r\n\r\nThe invoice.\r\n--b\r\nContent-Type: text/csv\r\n"
               "Content-Disposition: attachment; filename=\"new.csv\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
               "YSwxCmIsMgo=\r\n--b--\r\n";
    }
    static const char* Label(const Entry& entry) {
        switch (entry.kind) {
            case Kind::kRemembered:
                return entry.proxy ? "zendrel RememberMails=1, proxy" : "zendrel RememberMails=1, loopback";
            case Kind::kPlain:
                return entry.proxy ? "zendrel RememberMails=0, proxy" : "zendrel RememberMails=0, loopback";
            case Kind::kMpop:
                return entry.proxy ? "mpop --only-new=on, proxy" : "mpop --only-new=on, loopback";
        }
        return "";
    }
    int PortOf(const Entry& entry) const { return entry.proxy ? proxy_->Port() : server_->Port(); }

    bool WriteKeptSettings(const Entry& entry) {
        std::error_code ec;
        fs::create_directories(entry.folder / "data", ec);
        fs::create_directories(entry.folder / "saved", ec);
        SettingsRecord record;
        record.language = "english";
        record.portText = std::to_string(PortOf(entry));
        record.server = server_->Host();
        record.userName = kKeptUser;
        record.password = kPassword;
        record.intervalPosition = ReadIntervalPosition(300);
        record.searchString = kSearchString;
        record.saveDir = (entry.folder / "saved" / "").string();
        record.extensionsText = kExtensions;
        record.rememberMails = entry.kind == Kind::kRemembered;
        return SaveSettings(entry.folder / "data", record);
    }

    std::vector<std::string> Words(const Entry& entry) const {
        if (entry.kind != Kind::kMpop) return {settings_.program, "--run-once"};
        std::error_code ec;
        for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(entry.folder / "maildir" / sub, ec);
        return {"mpop", "--host=" + server_->Host(), "--port=" + std::to_string(PortOf(entry)), "--auth=user",
                std::string("--user=") + kKeptUser, std::string("--passwordeval=echo ") + kPassword, "--keep=on",
                "--only-new=on", "--received-header=off", "--tls=off",
                "--uidls-file=" + (entry.folder / "uidls").string(),
                "--delivery=maildir," + (entry.folder / "maildir").string(), "--quiet"};
    }

    bool RunEntry(Entry& entry, Measured* measured) {
        proxy_->TakeTraffic();
        const Environment environment = {{"ZENDREL_DATA_DIR", (entry.folder / "data").string()}};
        const fs::path output = work_ / "kept-output.txt";
        const Timing timing = RunTimed(Words(entry), environment, output);
        std::fprintf(stderr, "  %s: %.2f s\n", Label(entry), timing.wallSeconds);
        if (timing.status != 0) {
            entry.failed = true;
            std::fprintf(stderr, "  %s exited with status %d:\n%s", Label(entry), timing.status,
                         LastLines(output, 10).c_str());
            return false;
        }
        if (measured != nullptr) {
            measured->wall.push_back(timing.wallSeconds);
            if (entry.proxy) measured->traffic = proxy_->TakeTraffic();
        }
        return true;
    }

    // The verbs of the commands sent, in order, repeated ones counted ("TOP x10000").
    static std::string Commands(const std::string& sent, std::size_t& count) {
        std::vector<std::pair<std::string, int>> verbs;
        count = 0;
        for (std::size_t at = 0; at < sent.size();) {
            std::size_t end = sent.find("\r\n", at);
            if (end == std::string::npos) end = sent.size();
            const std::string line = sent.substr(at, end - at);
            at = end + 2;
            if (line.empty()) continue;
            ++count;
            const std::string verb = line.substr(0, line.find(' '));
            if (!verbs.empty() && verbs.back().first == verb) {
                ++verbs.back().second;
            } else {
                verbs.emplace_back(verb, 1);
            }
        }
        std::string text;
        for (const auto& [verb, times] : verbs) {
            text += (text.empty() ? "" : " ") + verb + (times > 1 ? " x" + std::to_string(times) : "");
        }
        return text;
    }

    void Print() const {
        std::printf("\nA kept mailbox: %d short mails on Dovecot, deletion off, a run every few minutes. Each contender "
                    "has its own state,\n"
                    "primed by one run; %d rounds of the steady state (nothing new), then one run "
                    "after one new matching mail.\n\"proxy\": a proxy that delays each direction by %d ms; the "
                    "commands and bytes are counted there.\n",
                    settings_.kept, settings_.rounds, kDelayMs);
        std::printf("  %-34s %12s %12s  %s\n", "", "wall, median", "bytes in", "commands sent");
        const auto line = [](const char* what, const Entry& entry, const Measured& measured) {
            std::size_t count = 0;
            const std::string commands = Commands(measured.traffic.toServer, count);
            std::printf("  %-28s %-6s %10.3f s %12llu  %zu: %s\n", Label(entry), what,
                        measured.wall.empty() ? 0.0 : Median(measured.wall),
                        static_cast<unsigned long long>(measured.traffic.toClientBytes), count,
                        entry.proxy ? commands.c_str() : "(counted through the proxy)");
        };
        for (const Entry& entry : entries_) line("steady", entry, entry.steady);
        for (const Entry& entry : entries_) line("1 new", entry, entry.oneNew);

        const Entry* loopback = &entries_[0];
        const Entry* distant = &entries_[3];
        std::size_t steadyCount = 0;
        const std::string steadyCommands = Commands(distant->steady.traffic.toServer, steadyCount);
        std::size_t newCount = 0;
        const std::string newCommands = Commands(distant->oneNew.traffic.toServer, newCount);
        const double perMail = static_cast<double>(distant->steady.traffic.toClientBytes) / settings_.kept;
        const bool judged = !loopback->failed && !distant->failed;
        std::printf("Goal, steady state at most 6 commands (no LIST, no TOP): %zu (%s), %s\n", steadyCount,
                    steadyCommands.c_str(),
                    Verdict(judged, steadyCount <= 6 && steadyCommands.find("LIST") == std::string::npos &&
                                        steadyCommands.find("TOP") == std::string::npos));
        std::printf("Goal, steady state under 50 bytes received per kept mail: %.1f, %s\n", perMail,
                    Verdict(judged, perMail < 50));
        const double loopbackWall = loopback->steady.wall.empty() ? 0 : Median(loopback->steady.wall);
        const double distantWall = distant->steady.wall.empty() ? 0 : Median(distant->steady.wall);
        std::printf("Goal, steady state at most 0.2 s on loopback: %.3f s, %s\n", loopbackWall,
                    Verdict(judged, loopbackWall <= 0.2));
        std::printf("Goal, steady state at most 0.3 s through the proxy: %.3f s, %s\n", distantWall,
                    Verdict(judged, distantWall <= 0.3));
        const bool oneMore = newCount == steadyCount + 2 &&
                             newCommands.find("TOP") != std::string::npos &&
                             newCommands.find("RETR") != std::string::npos &&
                             newCommands.find("LIST") == std::string::npos;
        std::printf("Goal, one new mail costs one TOP and one RETR beyond the steady state: %zu commands (%s), %s\n",
                    newCount, newCommands.c_str(), Verdict(judged, oneMore));
    }

    const Settings& settings_;
    fs::path work_;
    std::unique_ptr<DovecotServer> server_;
    std::unique_ptr<DelayProxy> proxy_;
    std::vector<Entry> entries_;
};

int Run(int argc, char** argv) {
    const std::optional<Settings> settings = ParseArguments(argc, argv);
    if (!settings) {
        std::fprintf(stderr,
                     "usage: %s ZENDREL_PROGRAM [--rounds N] [--mails N] [--matching N] [--attachment-bytes BYTES] "
                     "[--tls 1] [--delay-ms MS] [--kept N]\n",
                     argv[0]);
        return 2;
    }
    if (::access(settings->program.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "run-once benchmark: %s is not a program to run\n", settings->program.c_str());
        return 2;
    }
    const testsupport::TemporaryFolder work("zendrel-bench-run-once");
    if (!work.Created()) {
        std::fprintf(stderr, "run-once benchmark: cannot create a temporary folder\n");
        return 1;
    }
    Benchmark benchmark(*settings, work.Path());
    if (!benchmark.Prepare()) return 1;
    const bool allSame = benchmark.Measure();
    benchmark.Print(allSame);
    if (!settings->tls && settings->delayMs == 0) {
        benchmark.LargeMail();
        benchmark.EndlessReplies();
    }
    bool keptOk = true;
    if (settings->kept > 0 && !settings->tls) keptOk = KeptMailbox(*settings, work.Path()).Run();
    return allSame && keptOk ? 0 : 1;
}

}  // namespace
}  // namespace zendrel::bench

int main(int argc, char** argv) { return zendrel::bench::Run(argc, argv); }
