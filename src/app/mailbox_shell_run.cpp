#include "app/mailbox_shell_run.h"

#include "app/saved_settings.h"

namespace zendrel {

MailboxShellRun::MailboxShellRun(const InterfaceTexts& texts, HandledMessageIds& handledMessageIds,
                                 std::function<std::unique_ptr<MailSession>()> createSession)
    : texts_(texts), handledMessageIds_(handledMessageIds), createSession_(std::move(createSession)) {}

bool MailboxShellRun::Start(const RunRequest& request) {
    if (controller_.Active() || request.log == nullptr) return false;
    FillJobParameters(request.controls, request.serviceMode, parameters_);
    allowedSenders_ = FixedSenderList(request.controls.allowedSenders);
    blockedSenders_ = FixedSenderList(request.controls.blockedSenders);
    RunServices services;
    services.log = request.log;
    services.texts = &texts_;
    services.handledMessageIds = &handledMessageIds_;
    services.allowedSenders = &allowedSenders_;
    services.blockedSenders = &blockedSenders_;
    services.loggingFlag = request.loggingFlag;
    if (createSession_) services.createSession = createSession_;
    return controller_.Start(services);
}

}  // namespace zendrel
