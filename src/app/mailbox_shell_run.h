#pragma once
// The shell's runs as real mailbox runs.

#include <functional>
#include <memory>

#include "app/shell_run.h"
#include "job/handled_message_ids.h"
#include "job/interface_texts.h"
#include "job/run_control.h"
#include "job/sender_list.h"

namespace zendrel {

class MailboxShellRun final : public ShellRun {
public:
    // `createSession` makes each run's session.
    MailboxShellRun(std::shared_ptr<const InterfaceTexts> texts, std::shared_ptr<HandledMessageIds> handledMessageIds,
                    std::function<std::unique_ptr<MailSession>()> createSession = CreateMailSession);

    bool Start(const RunRequest& request) override;
    bool Active() const override { return controller_.Active(); }
    bool Stop(std::chrono::milliseconds limit) override { return controller_.Stop(limit); }

private:
    std::shared_ptr<const InterfaceTexts> texts_;
    std::shared_ptr<HandledMessageIds> handledMessageIds_;
    std::function<std::unique_ptr<MailSession>()> createSession_;
    RunController controller_;
};

}  // namespace zendrel
