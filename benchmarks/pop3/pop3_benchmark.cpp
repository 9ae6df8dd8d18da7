// Times the POP3 session against a real Dovecot server on loopback: Login, LoadHeader (TOP n 0) on each of the small
// messages, and LoadMessage (RETR) of one big message; beside them the same commands from a bare socket client and
// from Python's poplib, and one NOOP round trip, which is the floor any client can reach.
//
// Usage: pop3_benchmark [--count N] [--big-bytes BYTES] [--logins N] [--retrievals N]

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "dovecot/dovecot_server.h"
#include "dovecot/message_maker.h"
#include "dovecot/pop3_probe.h"
#include "mime/attachments.h"
#include "mime/header_field.h"
#include "mime/mail_message.h"
#include "pop3/mail_session.h"
#include "test_files.h"

namespace zendrel::bench {
namespace {

using testsupport::DovecotServer;
using testsupport::Pop3Probe;
using Clock = std::chrono::steady_clock;

constexpr const char* kUser = "bench";
constexpr const char* kPassword = "bench-secret";
constexpr std::int32_t kTimeoutMs = 30000;

struct Settings {
    int count = 1000;
    long bigBytes = 15000000;  // base64 with line ends makes a message of about 20 MB
    int logins = 20;
    int retrievals = 3;
};

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Median and 90th percentile of samples in milliseconds.
struct Spread {
    double median = NAN;
    double p90 = NAN;
};

Spread SpreadOf(std::vector<double> samples) {
    if (samples.empty()) {
        return {};
    }
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    const double median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    const std::size_t p90 = static_cast<std::size_t>(std::ceil(0.9 * static_cast<double>(n))) - 1;
    return {median, samples[p90]};
}

// One row of figures per client.
struct Figures {
    Spread login;
    Spread top;
    Spread noop;
    double retrMegabytesPerSecond = NAN;
    double retrMegabytes = NAN;
};

std::optional<Settings> ParseArguments(int argc, char** argv) {
    Settings settings;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const long value = std::strtol(argv[i + 1], nullptr, 10);
        if (value <= 0) {
            return std::nullopt;
        }
        if (name == "--count") {
            settings.count = static_cast<int>(value);
        } else if (name == "--big-bytes") {
            settings.bigBytes = value;
        } else if (name == "--logins") {
            settings.logins = static_cast<int>(value);
        } else if (name == "--retrievals") {
            settings.retrievals = static_cast<int>(value);
        } else {
            return std::nullopt;
        }
    }
    if (argc % 2 == 0) {
        return std::nullopt;
    }
    return settings;
}

std::unique_ptr<DovecotServer> StartServer(const Settings& settings, std::string& bigMessageSize) {
    std::string error;
    const testsupport::TemporaryFolder messages("zendrel-bench-mail");
    if (!messages.Created()) {
        std::fprintf(stderr, "pop3 benchmark: cannot create a temporary folder for the messages\n");
        return nullptr;
    }
    if (!testsupport::MakeBenchMessages(messages.Path(), settings.count, settings.bigBytes, error)) {
        std::fprintf(stderr, "pop3 benchmark: %s\n", error.c_str());
        return nullptr;
    }
    std::unique_ptr<DovecotServer> server = DovecotServer::Start({{kUser, kPassword}}, error);
    if (!server) {
        std::fprintf(stderr, "pop3 benchmark: Dovecot did not start: %s\n", error.c_str());
        return nullptr;
    }
    char name[32];
    for (int n = 1; n <= settings.count; ++n) {
        std::snprintf(name, sizeof name, "small-%04d.eml", n);
        if (!server->Deliver(kUser, testsupport::ReadBytes(messages.Path() / name))) {
            std::fprintf(stderr, "pop3 benchmark: cannot deliver %s\n", name);
            return nullptr;
        }
    }
    const std::string big = testsupport::ReadBytes(messages.Path() / "big.eml");
    bigMessageSize = std::to_string(big.size());
    if (big.empty() || !server->Deliver(kUser, big)) {
        std::fprintf(stderr, "pop3 benchmark: cannot deliver big.eml\n");
        return nullptr;
    }
    return server;
}

// The first login after delivery makes Dovecot index the mailbox; it is reported on its own.
double ColdLogin(const DovecotServer& server) {
    std::unique_ptr<MailSession> session = CreateMailSession();
    const Clock::time_point start = Clock::now();
    session->Login(server.Host(), server.Port(), kUser, kPassword, kTimeoutMs);
    const double ms = Milliseconds(Clock::now() - start);
    session->Logout();
    return ms;
}

bool MeasureSession(const DovecotServer& server, const Settings& settings, Figures& figures) {
    std::vector<double> samples;
    for (int i = 0; i < settings.logins; ++i) {
        std::unique_ptr<MailSession> session = CreateMailSession();
        const Clock::time_point start = Clock::now();
        const std::int32_t loggedIn = session->Login(server.Host(), server.Port(), kUser, kPassword, kTimeoutMs);
        samples.push_back(Milliseconds(Clock::now() - start));
        if (loggedIn != 1 || session->GetMessageCount() != settings.count + 1) {
            std::fprintf(stderr, "pop3 benchmark: Login failed with code %d\n", session->GetErrorCode());
            return false;
        }
        session->Logout();
    }
    figures.login = SpreadOf(samples);

    std::unique_ptr<MailSession> session = CreateMailSession();
    session->Login(server.Host(), server.Port(), kUser, kPassword, kTimeoutMs);
    samples.clear();
    int wrong = 0;
    char subject[64];
    for (int n = 1; n <= settings.count; ++n) {
        const Clock::time_point start = Clock::now();
        const std::string header = session->LoadHeader(n);
        samples.push_back(Milliseconds(Clock::now() - start));
        std::snprintf(subject, sizeof subject, "Small message %04d", n);
        wrong += GetHeaderField(header, "subject") != subject;
    }
    figures.top = SpreadOf(samples);
    if (wrong != 0) {
        std::fprintf(stderr, "pop3 benchmark: %d headers were not the expected ones\n", wrong);
        return false;
    }

    double bestSeconds = INFINITY;
    for (int i = 0; i < settings.retrievals; ++i) {
        const Clock::time_point start = Clock::now();
        const std::int32_t loaded = session->LoadMessage(settings.count + 1);
        // The split belongs to a retrieval as the run makes one.
        const MailMessage message(session->TakeMessage());
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (loaded != 1 || CountAttachments(message.Parts()) != 1) {
            std::fprintf(stderr, "pop3 benchmark: LoadMessage failed with code %d\n", session->GetErrorCode());
            return false;
        }
        bestSeconds = std::min(bestSeconds, seconds);
        figures.retrMegabytes = static_cast<double>(session->GetLastReply().size()) / 1e6;
    }
    figures.retrMegabytesPerSecond = figures.retrMegabytes / bestSeconds;
    session->Logout();
    return true;
}

// The same commands from a client that does nothing but read lines: what the server and loopback allow.
bool MeasureProbe(const DovecotServer& server, const Settings& settings, Figures& figures) {
    std::string error;
    std::vector<double> logins;
    for (int i = 0; i < settings.logins; ++i) {
        const Clock::time_point start = Clock::now();
        std::optional<Pop3Probe> probe = Pop3Probe::Connect(server.Host(), server.Port(), kTimeoutMs, error);
        const bool ok = probe && probe->Command(std::string("USER ") + kUser).rfind("+OK", 0) == 0 &&
                        probe->Command(std::string("PASS ") + kPassword).rfind("+OK", 0) == 0 &&
                        probe->Command("STAT").rfind("+OK", 0) == 0;
        logins.push_back(Milliseconds(Clock::now() - start));
        if (!ok) {
            std::fprintf(stderr, "pop3 benchmark: the probe could not log in: %s\n", error.c_str());
            return false;
        }
        probe->Command("QUIT");
    }
    figures.login = SpreadOf(logins);

    std::optional<Pop3Probe> probe = Pop3Probe::Connect(server.Host(), server.Port(), kTimeoutMs, error);
    if (!probe || probe->Command(std::string("USER ") + kUser).rfind("+OK", 0) != 0 ||
        probe->Command(std::string("PASS ") + kPassword).rfind("+OK", 0) != 0) {
        std::fprintf(stderr, "pop3 benchmark: the probe could not log in: %s\n", error.c_str());
        return false;
    }
    std::vector<double> noops;
    for (int i = 0; i < settings.count; ++i) {
        const Clock::time_point start = Clock::now();
        probe->Command("NOOP");
        noops.push_back(Milliseconds(Clock::now() - start));
    }
    figures.noop = SpreadOf(noops);

    std::vector<double> tops;
    for (int n = 1; n <= settings.count; ++n) {
        const Clock::time_point start = Clock::now();
        probe->Command("TOP " + std::to_string(n) + " 0");
        probe->ReadLines();
        tops.push_back(Milliseconds(Clock::now() - start));
    }
    figures.top = SpreadOf(tops);

    const Clock::time_point start = Clock::now();
    probe->Command("RETR " + std::to_string(settings.count + 1));
    const std::vector<std::string> lines = probe->ReadLines();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    double bytes = 0;
    for (const std::string& line : lines) {
        bytes += static_cast<double>(line.size() + 2);
    }
    figures.retrMegabytes = bytes / 1e6;
    figures.retrMegabytesPerSecond = figures.retrMegabytes / seconds;
    probe->Command("QUIT");
    return true;
}

// Runs poplib_peer.py and reads its "name value value" lines; false when Python is not there.
bool MeasurePoplib(const DovecotServer& server, const Settings& settings, Figures& figures) {
    const std::string command = std::string("python3 ") + ZENDREL_POP3_BENCH_DIR + "/poplib_peer.py " +
                                server.Host() + " " + std::to_string(server.Port()) + " " + kUser + " " +
                                kPassword + " " + std::to_string(settings.count) + " " +
                                std::to_string(settings.count + 1) + " " + std::to_string(settings.logins);
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return false;
    }
    std::map<std::string, std::pair<double, double>> values;
    char line[256];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream fields(line);
        std::string name;
        double first = 0;
        double second = 0;
        if (fields >> name >> first >> second) {
            values[name] = {first, second};
        }
    }
    if (::pclose(pipe) != 0 || values.size() != 4) {
        return false;
    }
    figures.login = {values["login"].first, values["login"].second};
    figures.noop = {values["noop"].first, values["noop"].second};
    figures.top = {values["top"].first, values["top"].second};
    figures.retrMegabytes = values["retr"].second / 1e6;
    figures.retrMegabytesPerSecond = figures.retrMegabytes / values["retr"].first;
    return true;
}

std::string DovecotVersion() {
    FILE* pipe = ::popen("/usr/sbin/dovecot --version 2>/dev/null", "r");
    if (pipe == nullptr) {
        return "?";
    }
    char line[128] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    std::string version = read ? line : "?";
    version.erase(version.find_last_not_of("\r\n") + 1);
    return version;
}

std::string Cell(const Spread& spread) {
    if (std::isnan(spread.median)) {
        return "-";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.3f / %.3f", spread.median, spread.p90);
    return text;
}

std::string Cell(double value, const char* format) {
    if (std::isnan(value)) {
        return "-";
    }
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void PrintRow(const char* label, const std::string& a, const std::string& b, const std::string& c) {
    std::printf("%-34s %-22s %-22s %-22s\n", label, a.c_str(), b.c_str(), c.c_str());
}

void Print(const Settings& settings, const std::string& bigSize, double coldLoginMs, const Figures& session,
           const Figures& probe, const std::optional<Figures>& poplib) {
    const Figures none;
    const Figures& peer = poplib ? *poplib : none;
    std::printf("POP3 session against Dovecot %s on 127.0.0.1: %d small messages, one of %s bytes\n",
                DovecotVersion().c_str(), settings.count, bigSize.c_str());
    std::printf("Times in ms as median / 90th percentile; RETR as the best of %d for the session.\n\n",
                settings.retrievals);
    PrintRow("", "zendrel MailSession", "bare socket client", poplib ? "Python poplib" : "Python poplib (n/a)");
    PrintRow("Login (greeting..STAT)", Cell(session.login), Cell(probe.login), Cell(peer.login));
    PrintRow("LoadHeader = TOP n 0, per message", Cell(session.top), Cell(probe.top), Cell(peer.top));
    PrintRow("NOOP round trip", "-", Cell(probe.noop), Cell(peer.noop));
    PrintRow("LoadMessage = RETR big, MB/s", Cell(session.retrMegabytesPerSecond, "%.0f"),
             Cell(probe.retrMegabytesPerSecond, "%.0f"), Cell(peer.retrMegabytesPerSecond, "%.0f"));
    PrintRow("  RETR text, MB", Cell(session.retrMegabytes, "%.2f"), Cell(probe.retrMegabytes, "%.2f"),
             Cell(peer.retrMegabytes, "%.2f"));
    std::printf("\nFirst login after delivery (Dovecot indexes the mailbox): %.1f ms\n", coldLoginMs);
    if (!std::isnan(probe.noop.median) && probe.noop.median > 0) {
        std::printf("LoadHeader median / NOOP round trip median: %.2f\n", session.top.median / probe.noop.median);
    }
    std::printf("Login runs greeting, CAPA, USER, PASS and STAT; the bare client and poplib skip CAPA.\n");
}

int Run(int argc, char** argv) {
    const std::optional<Settings> settings = ParseArguments(argc, argv);
    if (!settings) {
        std::fprintf(stderr, "usage: %s [--count N] [--big-bytes BYTES] [--logins N] [--retrievals N]\n", argv[0]);
        return 2;
    }
    std::string bigSize;
    std::unique_ptr<DovecotServer> server = StartServer(*settings, bigSize);
    if (!server) {
        return 1;
    }
    const double coldLoginMs = ColdLogin(*server);
    Figures session;
    Figures probe;
    Figures poplib;
    if (!MeasureSession(*server, *settings, session) || !MeasureProbe(*server, *settings, probe)) {
        return 1;
    }
    const bool havePoplib = MeasurePoplib(*server, *settings, poplib);
    Print(*settings, bigSize, coldLoginMs, session, probe, havePoplib ? std::optional<Figures>(poplib) : std::nullopt);
    return 0;
}

}  // namespace
}  // namespace zendrel::bench

int main(int argc, char** argv) { return zendrel::bench::Run(argc, argv); }
