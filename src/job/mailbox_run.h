#pragma once
// One pass over the mailbox: log in, examine the header of every message, retrieve the wanted ones, save their
// allowed attachments, delete handled mails when asked, log out.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "job/activity_log.h"
#include "job/handled_message_ids.h"
#include "job/interface_texts.h"
#include "job/job_parameters.h"
#include "job/sender_list.h"
#include "net/https_client.h"
#include "pop3/mail_session.h"

namespace zendrel {

class RunCancellation;

// What a run did, for callers that report more than the log (the command line's exit status).
struct RunReport {
    bool loggedIn = false;
    std::int32_t loginError = 0;  // the session's code when the login failed
    int savedAttachments = 0;
    int unsavedAttachments = 0;   // allowed attachments that could not be saved
    bool failed = false;          // the run was cut short by something it could not handle
};

// Everything a run reaches besides its parameters, shared with whoever started it: a run that a stop could not end in
// time keeps them alive until it ends.
struct RunServices {
    std::shared_ptr<ActivityLog> log;
    std::shared_ptr<const InterfaceTexts> texts;
    std::shared_ptr<HandledMessageIds> handledMessageIds;
    std::shared_ptr<const SenderList> allowedSenders;  // the white list
    std::shared_ptr<const SenderList> blockedSenders;  // the black list
    bool loggingFlag = false;                          // write the diagnostic lines to "log_long.txt"
    std::function<std::unique_ptr<MailSession>()> createSession = CreateMailSession;
    std::shared_ptr<RunCancellation> cancellation;     // lets the stop path end the run's network waits
    // What the run keeps until it has ended (the data folder's run lock): let go before the run counts as ended, so
    // that the next run may take it at once.
    std::shared_ptr<void> heldUntilEnded;
    // Where the examined mails are kept when the run remembers them (read and written under the run lock above);
    // empty: nowhere, and they live in `handledMessageIds` only.
    std::filesystem::path rememberedMailsFile;
    // Where the tokens of the sign-in are stored, for a run that logs in with one, and how it renews them.
    std::filesystem::path tokenFile;
    std::function<std::unique_ptr<HttpsClient>()> createHttpsClient = CreateHttpsClient;
};

// The whole run. Its last act is to set `parameters.activeRunNumber` to 0; after that it touches nothing of the
// caller's. Nothing thrown inside it leaves it: such a failure is logged and ends the run as a logout would.
RunReport MailboxRun(JobParameters& parameters, const RunServices& services);

// A run that only logs in and out, to try the settings: one line with the number of messages, or the reason the
// login failed. It looks at no message and saves nothing; otherwise it ends as MailboxRun does.
RunReport CheckConnection(JobParameters& parameters, const RunServices& services);

// What a run does on its thread: MailboxRun or CheckConnection.
using RunProcedure = RunReport (*)(JobParameters& parameters, const RunServices& services);

}  // namespace zendrel
