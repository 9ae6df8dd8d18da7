#pragma once
// The one record the shell fills for each mailbox run and hands to it by address.

#include <atomic>
#include <cstdint>
#include <string>

#include "common/authentication.h"
#include "common/connection_security.h"
#include "mime/attachment_saver.h"

namespace zendrel {

struct JobParameters {
    std::string server;
    std::int32_t port = 0;
    ConnectionSecurity security = ConnectionSecurity::kNone;
    std::string userName;
    std::string password;      // in clear
    Authentication authentication = Authentication::kPassword;  // kOAuth: the access token of the stored sign-in
    // Where an access token that runs out is renewed, for whom, and for what.
    std::string oauthTokenUrl;
    std::string oauthClientId;
    std::string oauthScope;
    std::string oauthClientSecret;  // empty: none is sent
    std::string searchString;  // empty: no subject filter
    std::string saveDir;
    std::string extensions;    // prepared: lower case, no dots, fields separated by ";"; empty allows every name
    ExistingFiles existingFiles = ExistingFiles::kKeepBoth;  // for a name that holds other bytes
    std::string subFolder;     // template of the folders below saveDir, such as "{domain}/{year}-{month}"; empty: none
    bool saveInline = false;   // also inline parts that name a file
    // The examined mails are kept in the data folder across restarts (RunServices::rememberedMailsFile), and the
    // mailbox is scanned by unique id where the server gives them; otherwise they live in this process only.
    bool rememberMails = false;
    // Non-zero while a run is active: the number the shell gave the run. The shell stores it before the run's thread
    // exists, and the run sets it back to 0 as the very last thing it does.
    std::atomic<std::uint32_t> activeRunNumber{0};
    // Set by the shell when the run should end; the run looks at it between messages.
    std::atomic<bool> stopRequested{false};
    bool deleteMails = false;
    // In the background service the run's user messages also go to the shared log file.
    bool serviceMode = false;
};

}  // namespace zendrel
