// One mailbox run from start to end on this machine: a local Dovecot POP3 server (the one the integration tests use)
// with a few sample mails, a settings file for it in a temporary data folder, `zendrel --run-once` with its log as it
// goes, and the files it saved. The server is stopped and the data folder removed at the end; the saved files stay.
//
// Usage: mailbox_demo ZENDREL_PROGRAM SAVE_FOLDER   (SAVE_FOLDER is emptied first)

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/text.h"
#include "dovecot/dovecot_server.h"
#include "mime/attachments.h"
#include "mime/encoded_words.h"
#include "mime/header_field.h"
#include "mime/multipart.h"
#include "settings/read_intervals.h"
#include "settings/settings_file.h"
#include "test_files.h"

namespace zendrel::demo {
namespace {

namespace fs = std::filesystem;
using testsupport::DovecotServer;

constexpr const char* kUser = "demo";
constexpr const char* kPassword = "demo-secret";
constexpr const char* kSearchString = "liste";
constexpr const char* kExtensions = "pdf, csv";

// Two mails whose subject holds the search string (one with a PDF and a CSV file, one with a CSV and a spreadsheet that
// the extension list refuses) and five that lack it, most of them with attachments that the extension list would
// allow: only their subject keeps them on the server.
constexpr const char* kSampleMails[] = {
    "python_invoice_pdf.eml",  "thunderbird_nested.eml", "plain_text_only.eml",    "python_rfc2047_names.eml",
    "scanner_single_part.eml", "apple_mail_related.eml", "python_extension_mix.eml",
};

// What the demo tells about one mail: its subject and the names of its attachments, read the way the program reads
// them, as terminal text.
struct MailSummary {
    std::string subject;
    std::vector<std::string> attachments;
};

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (char c : text) {
        if (c == '\n' && (out.empty() || out.back() != '\r')) out += '\r';
        out += c;
    }
    return out;
}

MailSummary Summarize(const std::string& message) {
    // A retrieved message starts after the status line, so its first field is preceded by CR LF as well.
    const std::string text = "\r\n" + WithCrLf(message);
    const std::size_t headerEnd = text.find("\r\n\r\n");
    MailSummary summary;
    summary.subject = Windows1252ToUtf8(
        DecodeEncodedWords(GetHeaderField(std::string_view(text).substr(0, headerEnd), "subject")));
    for (const MessagePart& part : SplitMessage(text)) {
        if (IsAttachment(part)) summary.attachments.push_back(Windows1252ToUtf8(GetAttachmentName(part)));
    }
    return summary;
}

// `text` followed by blanks up to `width` characters on the terminal (UTF-8: continuation bytes take no room).
std::string Padded(std::string text, std::size_t width) {
    const std::size_t shown = static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    if (shown < width) text.append(width - shown, ' ');
    return text;
}

std::string Join(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
    return out.empty() ? "-" : out;
}

bool DeliverSamples(DovecotServer& server) {
    std::printf("Dovecot POP3 server on %s:%d, user \"%s\", %zu mails:\n", server.Host().c_str(), server.Port(), kUser,
                std::size(kSampleMails));
    int number = 0;
    for (const char* name : kSampleMails) {
        const std::string message = testsupport::ReadBytes(fs::path(ZENDREL_DEMO_MESSAGES) / name);
        if (message.empty() || !server.Deliver(kUser, message)) {
            std::fprintf(stderr, "mailbox demo: cannot deliver %s/%s\n", ZENDREL_DEMO_MESSAGES, name);
            return false;
        }
        const MailSummary summary = Summarize(message);
        std::printf("  %d  %s attachments: %s\n", ++number, Padded("\"" + summary.subject + "\"", 36).c_str(),
                    Join(summary.attachments).c_str());
    }
    return true;
}

// The settings a user would have typed into the window for this server.
std::optional<SettingsRecord> DemoSettings(const DovecotServer& server, const fs::path& saveFolder) {
    // The settings file holds Windows-1252 text; a save folder it cannot name is refused rather than mangled.
    const std::optional<std::string> saveDir = Utf8ToWindows1252((saveFolder / "").string());
    if (!saveDir) return std::nullopt;
    SettingsRecord record;
    record.language = "english";
    record.portText = std::to_string(server.Port());
    record.server = server.Host();
    record.userName = kUser;
    record.password = kPassword;
    record.intervalPosition = ReadIntervalPosition(300);
    record.searchString = kSearchString;
    record.saveDir = *saveDir;
    record.startHour = 0;
    record.startMinute = 0;
    record.deleteMails = false;
    record.extensionsText = kExtensions;
    return record;
}

// Runs the program with the data folder named in its environment; its output goes straight to ours. The exit
// status, or -1 when it could not be run or did not exit.
int RunProgram(const std::string& program, const fs::path& dataFolder) {
    std::printf("\n$ ZENDREL_DATA_DIR=%s %s --run-once\n", dataFolder.c_str(), program.c_str());
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        ::setenv("ZENDREL_DATA_DIR", dataFolder.c_str(), 1);
        ::execl(program.c_str(), program.c_str(), "--run-once", static_cast<char*>(nullptr));
        std::fprintf(stderr, "mailbox demo: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ListSavedFiles(const fs::path& saveFolder, const std::string& shownName) {
    std::vector<std::pair<std::string, std::uintmax_t>> files;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(saveFolder, ec)) {
        if (entry.is_regular_file()) files.emplace_back(entry.path().filename().string(), entry.file_size());
    }
    std::sort(files.begin(), files.end());
    std::printf("\nSaved in %s: %zu file%s\n", shownName.c_str(), files.size(), files.size() == 1 ? "" : "s");
    for (const auto& [name, size] : files) std::printf("  %10ju  %s\n", size, name.c_str());
}

int Run(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ZENDREL_PROGRAM SAVE_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string program = argv[1];
    const std::string shownSaveFolder = (fs::path(argv[2]) / "").string();
    std::error_code ec;
    const fs::path saveFolder = fs::absolute(argv[2], ec);
    if (ec || ::access(program.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "mailbox demo: %s is not a program to run\n", program.c_str());
        return 2;
    }
    fs::remove_all(saveFolder, ec);
    if (!fs::create_directories(saveFolder, ec)) {
        std::fprintf(stderr, "mailbox demo: cannot create %s\n", saveFolder.c_str());
        return 1;
    }
    std::string reason;
    std::unique_ptr<DovecotServer> server = DovecotServer::Start({{kUser, kPassword}}, reason);
    if (!server) {
        std::fprintf(stderr, "mailbox demo: Dovecot did not start: %s\n", reason.c_str());
        if (::access("/usr/sbin/dovecot", X_OK) != 0) {
            std::fprintf(stderr, "mailbox demo: it needs dovecot-pop3d (scripts/setup.sh demo installs it)\n");
        } else if (::geteuid() != 0) {
            // Without root every server process runs as the caller, which some systems' Dovecot does not allow.
            std::fprintf(stderr,
                         "mailbox demo: Dovecot needs root here: its login and mail processes run as the system users\n"
                         "dovenull, dovecot and nobody, which only root can take on. Run the demo as root (sudo make "
                         "demo).\n");
        }
        return 1;
    }
    if (!DeliverSamples(*server)) return 1;

    const testsupport::TemporaryFolder dataFolder("zendrel-demo-data");
    const std::optional<SettingsRecord> settings = DemoSettings(*server, saveFolder);
    if (!dataFolder.Created() || !settings || !SaveSettings(dataFolder.Path(), *settings)) {
        std::fprintf(stderr, "mailbox demo: cannot write the settings file\n");
        return 1;
    }
    std::printf("\n%s: search string \"%s\" in the subject (any letter case), extensions \"%s\", mails stay on the "
                "server,\nsave folder %s\n",
                kSettingsFileName, kSearchString, kExtensions, shownSaveFolder.c_str());

    const int status = RunProgram(program, dataFolder.Path());
    if (status != 0) std::printf("(zendrel exited with status %d)\n", status);
    ListSavedFiles(saveFolder, shownSaveFolder);
    std::printf("Mails left on the server: %zu\n", server->CountStoredMessages(kUser));
    server->Stop();
    return status == 0 ? 0 : 1;
}

}  // namespace
}  // namespace zendrel::demo

int main(int argc, char** argv) { return zendrel::demo::Run(argc, argv); }
