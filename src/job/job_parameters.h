#pragma once
// The one record the shell fills for each mailbox run and hands to it by address.

#include <atomic>
#include <cstdint>
#include <string>

namespace zendrel {

struct JobParameters {
    std::string server;
    std::int32_t port = 0;
    std::int32_t security = 0;  // how the connection is protected: 0 plain, 1 STARTTLS, 2 TLS
    std::string userName;
    std::string password;      // in clear
    std::int32_t authentication = 0;  // 0 the password, 1 the access token of the stored sign-in
    // Where an access token that runs out is renewed, for whom, and for what.
    std::string oauthTokenUrl;
    std::string oauthClientId;
    std::string oauthScope;
    std::string searchString;  // empty: no subject filter
    std::string saveDir;
    std::string extensions;    // prepared: lower case, no dots, fields separated by ";"; empty allows every name
    std::int32_t existingFiles = 0;  // a name that holds other bytes: 0 keep both (a numbered name), 1 replace
    std::string subFolder;     // template of the folders below saveDir, such as "{domain}/{year}-{month}"; empty: none
    std::int32_t saveInline = 0;     // 1: also inline parts that name a file
    // 1: the examined mails are kept in the data folder across restarts (RunServices::rememberedMailsFile), and the
    // mailbox is scanned by unique id where the server gives them; 0: they live in this process only.
    std::int32_t rememberMails = 0;
    // Non-zero while a run is active: the number the shell gave the run. The shell stores it before the run's thread
    // exists, and the run sets it back to 0 as the very last thing it does.
    std::atomic<std::uint32_t> runThread{0};
    // Set by the shell when the run should end; the run looks at it between messages.
    std::atomic<std::int32_t> stopRequested{0};
    std::int32_t deleteMails = 0;
    // 1 in the background service: the run's user messages then also go to the shared log file.
    std::int32_t serviceMode = 0;
};

}  // namespace zendrel
