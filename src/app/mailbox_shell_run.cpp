#include "app/mailbox_shell_run.h"

#include "app/saved_settings.h"
#include "job/remembered_mails.h"
#include "oauth/token_store.h"

namespace zendrel {

MailboxShellRun::MailboxShellRun(std::shared_ptr<const InterfaceTexts> texts,
                                 std::shared_ptr<HandledMessageIds> handledMessageIds,
                                 std::function<std::unique_ptr<MailSession>()> createSession)
    : texts_(std::move(texts)),
      handledMessageIds_(std::move(handledMessageIds)),
      createSession_(std::move(createSession)) {}

bool MailboxShellRun::Start(const RunRequest& request) {
    if (request.log == nullptr) return false;
    RunServices services;
    services.log = request.log;
    services.texts = texts_;
    services.handledMessageIds = handledMessageIds_;
    // The sender lists as they are at the run's start: the run reads its own copy while the user edits the lists.
    services.allowedSenders = std::make_shared<FixedSenderList>(request.controls.allowedSenders);
    services.blockedSenders = std::make_shared<FixedSenderList>(request.controls.blockedSenders);
    services.loggingFlag = request.loggingFlag;
    services.heldUntilEnded = request.heldWhileRunning;
    if (!request.dataFolder.empty()) {
        services.rememberedMailsFile = request.dataFolder / kRememberedMailsFileName;
        services.tokenFile = request.dataFolder / kTokenFileName;
    }
    if (createSession_) services.createSession = createSession_;
    return controller_.Start(
        [&request](JobParameters& parameters) {
            FillJobParameters(request.controls, request.serviceMode, parameters);
        },
        std::move(services), request.kind == RunKind::kConnectionCheck ? CheckConnection : MailboxRun);
}

}  // namespace zendrel
