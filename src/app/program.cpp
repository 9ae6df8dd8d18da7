#include "app/program.h"

#include <chrono>
#include <iostream>
#include <thread>

#include "app/command_line.h"
#include "app/extract_command.h"
#include "app/mailbox_commands.h"
#include "app/settings_commands.h"
#include "app/sign_in_command.h"
#include "platform/terminal_echo.h"

namespace zendrel {

int RunProgram(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    const ParsedCommand command = ParseCommandLine(arguments);
    switch (command.kind) {
        case CommandKind::kExtract:
            return RunExtract(command.extract, out, err);
        case CommandKind::kRunOnce:
            return RunOnceCommand(command.logging, out, err);
        case CommandKind::kService:
            return ServiceCommand(command.logging, out, err);
        case CommandKind::kShowSettings:
            return ShowSettingsCommand(out, err);
        case CommandKind::kSetSettings:
            return SetSettingsCommand(command.values, out, err);
        case CommandKind::kSetPassword:
            return SetPasswordCommand(std::cin, StandardInputIsTerminal(), out, err);
        case CommandKind::kSignIn:
            return SignInCommand(out, err, [](std::int64_t seconds) {
                std::this_thread::sleep_for(std::chrono::seconds(seconds));
            });
        case CommandKind::kSignOut:
            return SignOutCommand(out, err);
        case CommandKind::kAllowSender:
            return EditSenderListCommand(SenderListEdit::kAllow, command.values.front(), out, err);
        case CommandKind::kBlockSender:
            return EditSenderListCommand(SenderListEdit::kBlock, command.values.front(), out, err);
        case CommandKind::kUnlistSender:
            return EditSenderListCommand(SenderListEdit::kUnlist, command.values.front(), out, err);
        case CommandKind::kHelp:
            out << UsageText();
            return 0;
        case CommandKind::kVersion:
            out << kVersionText << '\n';
            return 0;
        case CommandKind::kUsageError:
            err << "zendrel: " << command.usageError << '\n' << UsageText();
            return 2;
        case CommandKind::kWindow:
            break;
    }
    out << "The window is not available in this build; see zendrel --help.\n";
    return 0;
}

}  // namespace zendrel
