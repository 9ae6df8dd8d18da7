#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/version.h"

namespace zendrel {

// What the program was asked to do.
enum class CommandKind {
    Window,      // no command switch: the window start-up, which ignores unknown arguments
    Extract,     // --extract: save the attachments of message files
    RunOnce,     // --run-once: one mailbox run on the saved settings
    Service,     // --service: the background service's polling, without a window
    ShowSettings,   // --settings: print the saved settings
    SetSettings,    // --set KEY=VALUE...: change saved settings
    SetPassword,    // --set-password: store a password read from standard input
    SignIn,         // --sign-in: the OAuth 2.0 sign-in by the provider's device flow
    SignOut,        // --sign-out: forget the tokens of the OAuth 2.0 sign-in
    AllowSender,    // --allow ADDRESS
    BlockSender,    // --block ADDRESS
    UnlistSender,   // --unlist ADDRESS
    Help,        // --help
    Version,     // --version
    UsageError,  // the arguments do not form a command; `usageError` says why
};

struct ExtractRequest {
    std::string folder;             // as given after --to; empty means the current folder
    std::string typedExtensions;    // as given after --extensions, before preparation; empty allows every attachment
    std::vector<std::string> files; // message files, in the order given
    bool saveInline = false;        // --inline: also inline parts that name a file
    bool replaceExisting = false;   // --replace: a file of the same name is replaced instead of kept beside
};

struct ParsedCommand {
    CommandKind kind = CommandKind::Window;
    bool logging = false;  // "-logging" in any letter case
    ExtractRequest extract;
    std::vector<std::string> values;  // the assignments of --set, or the one address of --allow, --block, --unlist
    std::string usageError;
};

inline constexpr std::string_view kVersionText = "Zendrel V" ZENDREL_VERSION;

// Parses the arguments after the program name. Never throws; a malformed list gives CommandKind::UsageError.
ParsedCommand ParseCommandLine(const std::vector<std::string>& arguments);

// The usage text printed by --help and after a usage error, ending in a line end.
std::string UsageText();

}  // namespace zendrel
