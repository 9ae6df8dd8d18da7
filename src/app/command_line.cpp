#include "app/command_line.h"

#include <cstddef>
#include <optional>

#include "common/text.h"

namespace zendrel {
namespace {

bool IsLoggingSwitch(std::string_view argument) { return EqualsNoCase(argument, "-logging"); }

bool IsCommandSwitch(std::string_view argument) {
    return argument == "--extract" || argument == "--run-once" || argument == "--service" || argument == "--help" ||
           argument == "--version" || argument == "--settings" || argument == "--set" || argument == "--set-password" ||
           argument == "--allow" || argument == "--block" || argument == "--unlist" || argument == "--sign-in" ||
           argument == "--sign-out";
}

ParsedCommand UsageProblem(std::string problem) {
    ParsedCommand command;
    command.kind = CommandKind::kUsageError;
    command.usageError = std::move(problem);
    return command;
}

// An option with a value, written "--to FOLDER" or "--to=FOLDER". Advances `at` past what it used.
struct OptionValue {
    bool matched = false;
    std::optional<std::string> value;  // missing when the option was last and has no value
};

OptionValue ReadOptionValue(const std::vector<std::string>& arguments, std::size_t& at, std::string_view option) {
    const std::string& argument = arguments[at];
    if (argument == option) {
        if (at + 1 >= arguments.size()) return {true, std::nullopt};
        at += 2;
        return {true, arguments[at - 1]};
    }
    if (argument.size() > option.size() && argument.compare(0, option.size(), option) == 0 &&
        argument[option.size()] == '=') {
        at += 1;
        return {true, argument.substr(option.size() + 1)};
    }
    return {};
}

ParsedCommand ParseExtract(const std::vector<std::string>& arguments, std::size_t at, bool logging) {
    ParsedCommand command;
    command.kind = CommandKind::kExtract;
    command.logging = logging;
    bool folderGiven = false;
    bool extensionsGiven = false;
    bool optionsEnded = false;
    while (at < arguments.size()) {
        const std::string& argument = arguments[at];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            command.extract.files.push_back(argument);
            ++at;
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            ++at;
            continue;
        }
        if (IsLoggingSwitch(argument)) {
            command.logging = true;
            ++at;
            continue;
        }
        if (argument == "--inline" || argument == "--replace") {
            bool& flag = argument == "--inline" ? command.extract.saveInline : command.extract.replaceExisting;
            if (flag) return UsageProblem(argument + " is given more than once");
            flag = true;
            ++at;
            continue;
        }
        if (OptionValue folder = ReadOptionValue(arguments, at, "--to"); folder.matched) {
            if (!folder.value) return UsageProblem("--to needs a folder");
            if (folderGiven) return UsageProblem("--to is given more than once");
            folderGiven = true;
            command.extract.folder = *folder.value;
            continue;
        }
        if (OptionValue list = ReadOptionValue(arguments, at, "--extensions"); list.matched) {
            if (!list.value) return UsageProblem("--extensions needs a list such as csv,pdf");
            if (extensionsGiven) return UsageProblem("--extensions is given more than once");
            extensionsGiven = true;
            command.extract.typedExtensions = *list.value;
            continue;
        }
        return UsageProblem("unknown option '" + argument + "' for --extract");
    }
    if (command.extract.files.empty()) return UsageProblem("--extract needs at least one message file");
    return command;
}

ParsedCommand ParseSingleSwitch(const std::vector<std::string>& arguments, std::size_t at, CommandKind kind,
                                bool logging) {
    for (std::size_t rest = at + 1; rest < arguments.size(); ++rest) {
        if (!IsLoggingSwitch(arguments[rest])) {
            return UsageProblem("unexpected argument '" + arguments[rest] + "' after " + arguments[at]);
        }
        logging = true;
    }
    ParsedCommand command;
    command.kind = kind;
    command.logging = logging;
    return command;
}

// A command followed by its values: at least one for --set, exactly one address for the sender lists.
ParsedCommand ParseValues(const std::vector<std::string>& arguments, std::size_t at, CommandKind kind) {
    ParsedCommand command;
    command.kind = kind;
    command.values.assign(arguments.begin() + static_cast<std::ptrdiff_t>(at) + 1, arguments.end());
    if (kind == CommandKind::kSetSettings) {
        if (command.values.empty()) return UsageProblem("--set needs at least one KEY=VALUE");
    } else if (command.values.size() != 1) {
        return UsageProblem(arguments[at] + " needs exactly one address");
    }
    return command;
}

}  // namespace

ParsedCommand ParseCommandLine(const std::vector<std::string>& arguments) {
    // "-logging" may stand before a command switch; any other argument there belongs to the window start-up, which
    // ignores what it does not know, but it must not be mistaken for part of a command.
    bool logging = false;
    std::size_t at = 0;
    for (; at < arguments.size() && !IsCommandSwitch(arguments[at]); ++at) {
        if (IsLoggingSwitch(arguments[at])) logging = true;
    }
    if (at == arguments.size()) {
        ParsedCommand window;
        window.kind = CommandKind::kWindow;
        window.logging = logging;
        return window;
    }
    for (std::size_t before = 0; before < at; ++before) {
        if (!IsLoggingSwitch(arguments[before])) {
            return UsageProblem("unexpected argument '" + arguments[before] + "' before " + arguments[at]);
        }
    }
    if (arguments[at] == "--extract") return ParseExtract(arguments, at + 1, logging);
    if (arguments[at] == "--run-once") return ParseSingleSwitch(arguments, at, CommandKind::kRunOnce, logging);
    if (arguments[at] == "--service") return ParseSingleSwitch(arguments, at, CommandKind::kService, logging);
    if (arguments[at] == "--help") return ParseSingleSwitch(arguments, at, CommandKind::kHelp, logging);
    if (arguments[at] == "--settings") return ParseSingleSwitch(arguments, at, CommandKind::kShowSettings, logging);
    if (arguments[at] == "--set-password") return ParseSingleSwitch(arguments, at, CommandKind::kSetPassword, logging);
    if (arguments[at] == "--sign-in") return ParseSingleSwitch(arguments, at, CommandKind::kSignIn, logging);
    if (arguments[at] == "--sign-out") return ParseSingleSwitch(arguments, at, CommandKind::kSignOut, logging);
    if (arguments[at] == "--set") return ParseValues(arguments, at, CommandKind::kSetSettings);
    if (arguments[at] == "--allow") return ParseValues(arguments, at, CommandKind::kAllowSender);
    if (arguments[at] == "--block") return ParseValues(arguments, at, CommandKind::kBlockSender);
    if (arguments[at] == "--unlist") return ParseValues(arguments, at, CommandKind::kUnlistSender);
    return ParseSingleSwitch(arguments, at, CommandKind::kVersion, logging);
}

std::string UsageText() {
    // Each line ends where a phrase does, so that no value list or parenthesis is torn across two lines.
    return "Usage:\n"
           "  zendrel --extract [--to FOLDER] [--extensions LIST] [--inline] [--replace] FILE...\n"
           "      Save the attachments of the message files (as retrieved from a mailbox, CR LF or LF line ends,\n"
           "      an mbox \"From \" first line allowed) into FOLDER, by default the current folder.\n"
           "      LIST keeps only the attachments with one of its extensions, for example csv,pdf.\n"
           "      --inline also saves the inline parts that name a file.\n"
           "      A file of the same name with other bytes is kept and the new one saved as \"name (2).ext\";\n"
           "      --replace replaces it instead.\n"
           "  zendrel --run-once [-logging]\n"
           "      One mailbox run on the saved settings; the activity log goes to standard output.\n"
           "      Exit status 0 when the run logged in, 3 when the login failed,\n"
           "      1 when an attachment could not be saved,\n"
           "      4 when another run on the data folder (the window's, the service's) was under way.\n"
           "  zendrel --service [-logging]\n"
           "      Poll the mailbox on the saved schedule until SIGTERM or SIGINT, as the background service does;\n"
           "      the log also goes to log.txt in the data folder. Exit status 2 when no read interval is set.\n"
           "  zendrel --settings\n"
           "      Show the saved settings (the password only as (set) or (empty),\n"
           "      an OAuth 2.0 sign-in only as (signed in) or (not signed in)).\n"
           "  zendrel --set KEY=VALUE...\n"
           "      Change saved settings: Language (english, german), Port,\n"
           "      Security (0 none, 1 STARTTLS, 2 SSL/TLS), Server, Username, SearchString,\n"
           "      SaveDir (an existing folder), StartAtHour (0-23), StartAtMinute (0-59), DeleteFiles (0, 1),\n"
           "      FileExtensions, TimeOUT (seconds of a read interval:\n"
           "      300, 600, 900, 1800, 3600, 7200, 14400, 21600, 28800, 43200, 86400),\n"
           "      ExistingFiles (0 keep both, 1 replace), SaveInline (0, 1),\n"
           "      RememberMails (0, 1: the examined mails are kept in examined.dat in the data folder),\n"
           "      SubFolder (a relative path with {sender}, {domain}, {year}, {month}, {day}),\n"
           "      Authentication (0 password, 1 OAuth 2.0), OAuthProvider (microsoft, google, custom),\n"
           "      OAuthClientId, OAuthTenant (consumers, organizations, common or a tenant id),\n"
           "      OAuthAuthorizeUrl, OAuthTokenUrl, OAuthDeviceUrl (https:// addresses), OAuthScope,\n"
           "      OAuthClientSecret (for a provider that asks for one, such as Google).\n"
           "      Nothing is written when one of them is refused (exit status 2).\n"
           "  zendrel --set-password\n"
           "      Store the password read from standard input (not shown on a terminal).\n"
           "  zendrel --sign-in\n"
           "      Sign in with the saved OAuth 2.0 provider by a code entered on any device,\n"
           "      where it has a device flow (Microsoft, or OAuthDeviceUrl set);\n"
           "      otherwise (Google) in a browser on this computer: it prints the address to open,\n"
           "      and waits 5 minutes for the browser to come back to http://127.0.0.1:PORT/.\n"
           "      Exit status 3 when the sign-in is refused or runs out, or when the provider cannot be reached.\n"
           "  zendrel --sign-out\n"
           "      Forget the tokens of the OAuth 2.0 sign-in.\n"
           "  zendrel --allow ADDRESS | --block ADDRESS | --unlist ADDRESS\n"
           "      Add a sender to the allowed or the blocked senders, or take it off both lists.\n"
           "  -logging writes the diagnostic log log_long.txt. The data folder is ZENDREL_DATA_DIR when set,\n"
           "  otherwise $XDG_DATA_HOME/Korvath/Tessaly/ (by default ~/.local/share/Korvath/Tessaly/).\n"
           "  zendrel --help       Show this text.\n"
           "  zendrel --version    Show the program's version.\n"
           "  zendrel [-logging]   Start the window; -logging writes the diagnostic log.\n"
           "Exit status of --extract: 0 when everything was read and saved,\n"
           "1 when a file could not be read or an attachment could not be saved. A usage error gives 2.\n";
}

}  // namespace zendrel
