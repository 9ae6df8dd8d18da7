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
        case CommandKind::Extract:
            return RunExtract(command.extract, out, err);
        case CommandKind::RunOnce:
            return RunOnceCommand(command.logging, out, err);
        case CommandKind::Service:
            return ServiceCommand(command.logging, out, err);
        case CommandKind::ShowSettings:
            return ShowSettingsCommand(out, err);
        case CommandKind::SetSettings:
            return SetSettingsCommand(command.values, out, err);
        case CommandKind::SetPassword:
            return SetPasswordCommand(std::cin, StandardInputIsTerminal(), out, err);
        case CommandKind::SignIn:
            return SignInCommand(out, err, [](std::int64_t seconds) {
                std::this_thread::sleep_for(std::chrono::seconds(seconds));
            });
        case CommandKind::SignOut:
            return SignOutCommand(out, err);
        case CommandKind::AllowSender:
            return EditSenderListCommand(SenderListEdit::kAllow, command.values.front(), out, err);
        case CommandKind::BlockSender:
            return EditSenderListCommand(SenderListEdit::kBlock, command.values.front(), out, err);
        case CommandKind::UnlistSender:
            return EditSenderListCommand(SenderListEdit::kUnlist, command.values.front(), out, err);
        case CommandKind::Help:
            out << UsageText();
            return 0;
        case CommandKind::Version:
            out << kVersionText << '\n';
            return 0;
        case CommandKind::UsageError:
            err << "zendrel: " << command.usageError << '\n' << UsageText();
            return 2;
        case CommandKind::Window:
            break;
    }
    out << "The window is not available in this build; see zendrel --help.\n";
    return 0;
}

}  // namespace zendrel
