#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/version.h"

namespace zendrel {

// What the program was asked to do.
enum class CommandKind {
    kWindow,      // no command switch: the window start-up, which ignores unknown arguments
    kExtract,     // --extract: save the attachments of message files
    kRunOnce,     // --run-once: one mailbox run on the saved settings
    kService,     // --service: the background service's polling, without a window
    kShowSettings,   // --settings: print the saved settings
    kSetSettings,    // --set KEY=VALUE...: change saved settings
    kSetPassword,    // --set-password: store a password read from standard input
    kSignIn,         // --sign-in: the OAuth 2.0 sign-in by the provider's device flow
    kSignOut,        // --sign-out: forget the tokens of the OAuth 2.0 sign-in
    kAllowSender,    // --allow ADDRESS
    kBlockSender,    // --block ADDRESS
    kUnlistSender,   // --unlist ADDRESS
    kHelp,        // --help
    kVersion,     // --version
    kUsageError,  // the arguments do not form a command; `usageError` says why
};

struct ExtractRequest {
    std::string folder;             // as given after --to; empty means the current folder
    std::string typedExtensions;    // as given after --extensions, before preparation; empty allows every attachment
    std::vector<std::string> files; // message files, in the order given
    bool saveInline = false;        // --inline: also inline parts that name a file
    bool replaceExisting = false;   // --replace: a file of the same name is replaced instead of kept beside
};

struct ParsedCommand {
    CommandKind kind = CommandKind::kWindow;
    bool logging = false;  // "-logging" in any letter case
    ExtractRequest extract;
    std::vector<std::string> values;  // the assignments of --set, or the one address of --allow, --block, --unlist
    std::string usageError;
};

inline constexpr std::string_view kVersionText = "Zendrel V" ZENDREL_VERSION;

// Parses the arguments after the program name. Never throws; a malformed list gives CommandKind::kUsageError.
ParsedCommand ParseCommandLine(const std::vector<std::string>& arguments);

// The usage text printed by --help and after a usage error, ending in a line end.
std::string UsageText();

}  // namespace zendrel
