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
    // `texts` and `handledMessageIds` live as long as the process; `createSession` makes each run's session.
    MailboxShellRun(const InterfaceTexts& texts, HandledMessageIds& handledMessageIds,
                    std::function<std::unique_ptr<MailSession>()> createSession = CreateMailSession);

    bool Start(const RunRequest& request) override;
    bool Active() const override { return controller_.Active(); }
    bool Stop(std::chrono::milliseconds limit) override { return controller_.Stop(limit); }

private:
    const InterfaceTexts& texts_;
    HandledMessageIds& handledMessageIds_;
    std::function<std::unique_ptr<MailSession>()> createSession_;
    // The sender lists as they were at the run's start; replaced only when no run is active, so a run never reads
    // them while they change.
    FixedSenderList allowedSenders_;
    FixedSenderList blockedSenders_;
    JobParameters parameters_;
    RunController controller_{parameters_};
};

}  // namespace zendrel
