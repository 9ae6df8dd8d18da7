#pragma once
// "Reader.prefs": the one file that keeps the settings between starts.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/authentication.h"
#include "common/connection_security.h"
#include "common/existing_files.h"

namespace zendrel {

inline constexpr const char* kSettingsFileName = "Reader.prefs";
inline constexpr const char* kDefaultServer = "pop.gmx.net";
inline constexpr const char* kDefaultOAuthProvider = "microsoft";
// Personal Microsoft accounts: the accounts a user without an administrator has.
inline constexpr const char* kDefaultOAuthTenant = "consumers";

// How the mailbox login is made, and where an OAuth 2.0 sign-in goes (the keys from "Authentication" on).
struct SignInSettings {
    Authentication authentication = Authentication::kPassword;
    std::string provider = kDefaultOAuthProvider;  // "microsoft", "google" or "custom"
    std::string clientId;       // the application id the user registered with the provider
    std::string tenant = kDefaultOAuthTenant;  // Microsoft's accounts to sign in from, or a tenant id
    std::string authorizeUrl;   // the custom provider's endpoints (https) and scopes
    std::string tokenUrl;
    std::string deviceUrl;      // empty: the custom provider has no device flow
    std::string scope;
    // Google hands a desktop application a "secret" that its token endpoint asks for, although every copy of the
    // program holds it; empty: none is sent.
    std::string clientSecret;
};

// The settings as the controls of the two windows hold them while the program runs: texts as typed, the port as its
// text, drop-down selections as positions (none when nothing is selected).
struct SettingsRecord {
    std::string language;        // "german" or "english": the language menu item that carries the check mark
    std::string portText;
    ConnectionSecurity security = ConnectionSecurity::kNone;
    std::string server;
    std::string userName;
    std::string password;        // in clear
    std::optional<int> intervalPosition;  // position in the read-interval table
    std::string searchString;
    std::string saveDir;
    std::optional<int> startHour;    // 0-23
    std::optional<int> startMinute;  // 0-59
    bool deleteMails = false;
    std::string extensionsText;  // as typed; prepared for matching only when a run starts
    ExistingFiles existingFiles = ExistingFiles::kKeepBoth;  // for a saved name that holds other bytes
    std::string subFolder;       // template of the folders below saveDir; empty: none
    bool saveInline = false;     // also inline parts that name a file
    bool rememberMails = false;  // the examined mails kept in the data folder across restarts
    SignInSettings signIn;
    std::vector<std::string> allowedSenders;  // white list, in list order
    std::vector<std::string> blockedSenders;  // black list, in list order
};

// What a settings load does beyond filling the controls; the caller decides what they touch.
class SettingsLoadDuties {
public:
    virtual ~SettingsLoadDuties() = default;
    // The stored language, lower-cased ("german" when none is stored).
    virtual void ApplyLanguage(const std::string& language) = 0;
    // Message-IDs examined before the load are examined again.
    virtual void ForgetHandledMessages() = 0;
};

// Fills `record` from the settings file in `dataFolder`, with the defaults for whatever the file (or the whole file)
// lacks. The sender entries are appended to the lists already in the record; an interval that matches no entry
// leaves `intervalPosition` as it was. `defaultSaveDir` is the user's home folder with a trailing separator.
void LoadSettings(const std::filesystem::path& dataFolder, const std::string& defaultSaveDir, SettingsRecord& record,
                  SettingsLoadDuties& duties);

// The same from the file's bytes (empty when there is no file).
void LoadSettingsFromBytes(std::string_view bytes, const std::string& defaultSaveDir, SettingsRecord& record,
                           SettingsLoadDuties& duties);

// Writes `record` as the settings file in `dataFolder`. The file is written under a temporary name and renamed into
// place, so a save that cannot complete leaves the previous file as it was. The result is for tests; the program
// reports nothing.
bool SaveSettings(const std::filesystem::path& dataFolder, const SettingsRecord& record);

// Whether `name` is one of the providers OAuthProvider may name (in lower case).
bool IsOAuthProvider(std::string_view name);
// Whether `name` can be a Microsoft tenant: a part of the provider's address, so letters, digits, '-' and '.' only.
bool IsTenantName(std::string_view name);
// An address the tokens may travel to: https with a host, nothing that would end or split it on the way.
bool IsHttpsUrl(std::string_view url);

// The settings file's text for `record`: single-byte text, CR LF after each line.
std::string FormatSettingsFile(const SettingsRecord& record);

}  // namespace zendrel
