#include "app/settings_commands.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <functional>
#include <optional>

#include "app/console_text.h"
#include "app/saved_settings.h"
#include "common/file_io.h"
#include "common/text.h"
#include "mime/sub_folder.h"
#include "oauth/token_store.h"
#include "platform/hidden_input.h"
#include "settings/read_intervals.h"
#include "settings/settings_file.h"

namespace zendrel {
namespace {

// A whole decimal number, nothing before or after it.
std::optional<int> WholeNumber(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto parsed = std::from_chars(text.data(), end, value);
    if (text.empty() || parsed.ec != std::errc() || parsed.ptr != end) return std::nullopt;
    return value;
}

// An existing folder's path as typed, made absolute from the current folder; an absolute one stays as typed. None
// when the full path holds a character that Windows-1252 cannot write.
std::optional<std::string> AbsoluteFolderText(const std::string& folder) {
    const std::filesystem::path typed = PathFromText(folder);
    if (typed.is_absolute()) return folder;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(typed, error).lexically_normal();
    if (error) return std::nullopt;
    const std::u8string utf8 = absolute.u8string();
    return Utf8ToWindows1252(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

std::optional<SavedSettings> Load(std::ostream& err) {
    InterfaceTexts texts;
    HandledMessageIds handled;
    std::optional<SavedSettings> saved = PrepareAndLoadSettings(texts, handled);
    if (!saved) err << "zendrel: the system names no data folder; set HOME or ZENDREL_DATA_DIR\n";
    return saved;
}

int Save(const SavedSettings& saved, std::ostream& out, std::ostream& err) {
    const std::filesystem::path file = saved.dataFolder / kSettingsFileName;
    if (!SaveSettings(saved.dataFolder, saved.record)) {
        err << "zendrel: " << file.string() << " cannot be written\n";
        return 1;
    }
    out << "zendrel: saved " << file.string() << '\n';
    return 0;
}

std::string SetHttpsUrl(std::string SignInSettings::*field, const char* what, bool mayBeEmpty, SettingsRecord& record,
                        const std::string& value) {
    if (!(mayBeEmpty && value.empty()) && !IsHttpsUrl(value)) {
        return std::string(what) + " must be an https:// address" + (mayBeEmpty ? " or empty" : "");
    }
    record.signIn.*field = value;
    return {};
}

// Changes one key of `record`; an empty result, or the reason the value is refused.
using KeyChange = std::function<std::string(SettingsRecord& record, const std::string& value)>;

std::string SetText(std::string SettingsRecord::*field, SettingsRecord& record, const std::string& value) {
    record.*field = value;
    return {};
}

std::string SetPosition(std::optional<int> SettingsRecord::*field, int count, const char* what,
                        SettingsRecord& record, const std::string& value) {
    const std::optional<int> number = WholeNumber(value);
    if (!number || *number < 0 || *number >= count) {
        return std::string(what) + " must be a number from 0 to " + std::to_string(count - 1);
    }
    record.*field = *number;
    return {};
}

// The keys of [Main] that can be set, by their name in the file (compared without regard to case).
const std::vector<std::pair<std::string, KeyChange>>& Keys() {
    using namespace std::placeholders;
    static const std::vector<std::pair<std::string, KeyChange>> keys = {
        {"Language",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             const std::string language = LowerCase(value);
             if (language != "english" && language != "german") return "Language must be english or german";
             record.language = language;
             return {};
         }},
        {"Port",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             const std::optional<int> port = WholeNumber(value);
             if (!port || *port <= 0 || *port > 65535) return "Port must be a number from 1 to 65535";
             record.portText = std::to_string(*port);
             return {};
         }},
        {"Security",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             const std::optional<ConnectionSecurity> security =
                 value.size() == 1 ? ConnectionSecurityOf(value[0] - '0') : std::nullopt;
             if (!security) return "Security must be 0 (none), 1 (STARTTLS) or 2 (SSL/TLS)";
             record.security = *security;
             return {};
         }},
        {"Server", std::bind(SetText, &SettingsRecord::server, _1, _2)},
        {"Username", std::bind(SetText, &SettingsRecord::userName, _1, _2)},
        {"TimeOUT",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             const std::optional<int> seconds = WholeNumber(value);
             const std::optional<int> position = seconds ? ReadIntervalPosition(*seconds) : std::nullopt;
             if (!position) {
                 std::string allowed;
                 for (const std::int32_t interval : kReadIntervalSeconds) {
                     allowed += (allowed.empty() ? "" : ", ") + std::to_string(interval);
                 }
                 return "TimeOUT must be one of the read intervals in seconds: " + allowed;
             }
             record.intervalPosition = position;
             return {};
         }},
        {"SearchString", std::bind(SetText, &SettingsRecord::searchString, _1, _2)},
        {"SaveDir",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             std::error_code error;
             if (value.empty() || !std::filesystem::is_directory(PathFromText(value), error)) {
                 return "SaveDir must name an existing folder";
             }
             // Every later run starts in some other folder: a relative path would name a different folder there.
             const std::optional<std::string> absolute = AbsoluteFolderText(value);
             if (!absolute) return "SaveDir must name a folder whose full path the settings file can store";
             record.saveDir = *absolute;
             return {};
         }},
        {"StartAtHour", std::bind(SetPosition, &SettingsRecord::startHour, 24, "StartAtHour", _1, _2)},
        {"StartAtMinute", std::bind(SetPosition, &SettingsRecord::startMinute, 60, "StartAtMinute", _1, _2)},
        {"DeleteFiles",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             if (value != "0" && value != "1") return "DeleteFiles must be 0 or 1";
             record.deleteMails = value == "1";
             return {};
         }},
        {"FileExtensions", std::bind(SetText, &SettingsRecord::extensionsText, _1, _2)},
        {"ExistingFiles",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             if (value != "0" && value != "1") return "ExistingFiles must be 0 (keep both) or 1 (replace)";
             record.existingFiles = value == "1" ? ExistingFiles::kReplace : ExistingFiles::kKeepBoth;
             return {};
         }},
        {"SubFolder",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             if (!IsValidSubFolderTemplate(value)) {
                 return "SubFolder must be a relative path without '..' or a drive, with only the placeholders " +
                        std::string(kSubFolderPlaceholders);
             }
             record.subFolder = value;
             return {};
         }},
        {"SaveInline",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             if (value != "0" && value != "1") return "SaveInline must be 0 or 1";
             record.saveInline = value == "1";
             return {};
         }},
        {"RememberMails",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             if (value != "0" && value != "1") return "RememberMails must be 0 or 1";
             record.rememberMails = value == "1";
             return {};
         }},
        {"Authentication",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             if (value != "0" && value != "1") return "Authentication must be 0 (password) or 1 (OAuth 2.0)";
             record.signIn.authentication = value == "1" ? Authentication::kOAuth : Authentication::kPassword;
             return {};
         }},
        {"OAuthProvider",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             const std::string provider = LowerCase(value);
             if (!IsOAuthProvider(provider)) return "OAuthProvider must be microsoft, google or custom";
             record.signIn.provider = provider;
             return {};
         }},
        {"OAuthClientId",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             record.signIn.clientId = value;
             return {};
         }},
        {"OAuthTenant",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             if (!IsTenantName(value)) return "OAuthTenant must be consumers, organizations, common or a tenant id";
             record.signIn.tenant = value;
             return {};
         }},
        {"OAuthAuthorizeUrl",
         std::bind(SetHttpsUrl, &SignInSettings::authorizeUrl, "OAuthAuthorizeUrl", false, _1, _2)},
        {"OAuthTokenUrl", std::bind(SetHttpsUrl, &SignInSettings::tokenUrl, "OAuthTokenUrl", false, _1, _2)},
        {"OAuthDeviceUrl", std::bind(SetHttpsUrl, &SignInSettings::deviceUrl, "OAuthDeviceUrl", true, _1, _2)},
        {"OAuthScope",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             record.signIn.scope = value;
             return {};
         }},
        {"OAuthClientSecret",
         [](SettingsRecord& record, const std::string& value) -> std::string {
             record.signIn.clientSecret = value;
             return {};
         }},
    };
    return keys;
}

// An argument typed on the terminal as the program's text; none when Windows-1252 cannot hold it.
std::optional<std::string> ArgumentText(const std::string& argument, const std::string& what, std::ostream& err) {
    std::optional<std::string> text = PathArgumentText(argument);
    if (!text) err << "zendrel: " << what << " holds a character that the settings file cannot store\n";
    return text;
}

bool ListHolds(const std::vector<std::string>& list, const std::string& address) {
    return std::any_of(list.begin(), list.end(),
                       [&](const std::string& entry) { return EqualsNoCase(entry, address); });
}

}  // namespace

int ShowSettingsCommand(std::ostream& out, std::ostream& err) {
    const std::optional<SavedSettings> saved = Load(err);
    if (!saved) return 2;
    const SettingsRecord& record = saved->record;
    const auto line = [&out](const char* key, const std::string& value) {
        out << key << " = " << ConsoleText(value) << '\n';
    };
    const auto position = [](const std::optional<int>& value) { return value ? std::to_string(*value) : "(none)"; };
    out << "# " << (saved->dataFolder / kSettingsFileName).string() << '\n';
    line("Language", record.language);
    line("Port", record.portText);
    line("Security", std::to_string(NumberOf(record.security)));
    line("Server", record.server);
    line("Username", record.userName);
    line("Password", record.password.empty() ? "(empty)" : "(set)");
    line("TimeOUT", record.intervalPosition
                        ? std::to_string(kReadIntervalSeconds[static_cast<std::size_t>(*record.intervalPosition)])
                        : std::string("(none)"));
    line("SearchString", record.searchString);
    line("SaveDir", record.saveDir);
    line("StartAtHour", position(record.startHour));
    line("StartAtMinute", position(record.startMinute));
    line("DeleteFiles", record.deleteMails ? "1" : "0");
    line("FileExtensions", record.extensionsText);
    line("ExistingFiles", record.existingFiles == ExistingFiles::kReplace ? "1" : "0");
    line("SubFolder", record.subFolder);
    line("SaveInline", record.saveInline ? "1" : "0");
    line("RememberMails", record.rememberMails ? "1" : "0");
    line("Authentication", record.signIn.authentication == Authentication::kOAuth ? "1" : "0");
    line("OAuthProvider", record.signIn.provider);
    line("OAuthClientId", record.signIn.clientId);
    line("OAuthTenant", record.signIn.tenant);
    line("OAuthAuthorizeUrl", record.signIn.authorizeUrl);
    line("OAuthTokenUrl", record.signIn.tokenUrl);
    line("OAuthDeviceUrl", record.signIn.deviceUrl);
    line("OAuthScope", record.signIn.scope);
    line("OAuthClientSecret", record.signIn.clientSecret.empty() ? "(not set)" : "(set)");
    const std::optional<StoredTokens> tokens = ReadStoredTokens(saved->dataFolder / kTokenFileName);
    line("OAuthSignIn", tokens && IsSignedIn(*tokens) ? "(signed in)" : "(not signed in)");
    for (const auto& [group, list] : {std::pair{"AllowedMails", &record.allowedSenders},
                                      std::pair{"DisAllowedMails", &record.blockedSenders}}) {
        out << '[' << group << "]\n";
        for (const std::string& entry : *list) out << ConsoleText(entry) << '\n';
    }
    return 0;
}

int SetSettingsCommand(const std::vector<std::string>& assignments, std::ostream& out, std::ostream& err) {
    if (assignments.empty()) {
        err << "zendrel: --set needs at least one KEY=VALUE\n";
        return 2;
    }
    std::optional<SavedSettings> saved = Load(err);
    if (!saved) return 2;
    for (const std::string& assignment : assignments) {
        const std::size_t equals = assignment.find('=');
        if (equals == std::string::npos) {
            err << "zendrel: '" << assignment << "' is no KEY=VALUE\n";
            return 2;
        }
        const std::string key = assignment.substr(0, equals);
        if (EqualsNoCase(key, "Password")) {
            err << "zendrel: the password is set with --set-password, which reads it without showing it\n";
            return 2;
        }
        const auto& keys = Keys();
        const auto found =
            std::find_if(keys.begin(), keys.end(), [&](const auto& k) { return EqualsNoCase(k.first, key); });
        if (found == keys.end()) {
            err << "zendrel: unknown setting '" << key << "'\n";
            return 2;
        }
        const std::optional<std::string> value = ArgumentText(assignment.substr(equals + 1), found->first, err);
        if (!value) return 2;
        const std::string refused = found->second(saved->record, *value);
        if (!refused.empty()) {
            err << "zendrel: " << refused << '\n';
            return 2;
        }
    }
    return Save(*saved, out, err);
}

int SetPasswordCommand(std::istream& in, bool interactive, std::ostream& out, std::ostream& err) {
    std::optional<SavedSettings> saved = Load(err);
    if (!saved) return 2;
    // A password piped in has nobody to read a prompt.
    if (interactive) err << "Password: " << std::flush;
    const std::optional<std::string> typed = ReadHiddenLine(in);
    if (interactive) err << '\n';
    if (!typed) {
        err << "zendrel: no password was given\n";
        return 2;
    }
    const std::optional<std::string> password = ArgumentText(*typed, "the password", err);
    if (!password) return 2;
    saved->record.password = *password;
    return Save(*saved, out, err);
}

int SignOutCommand(std::ostream& out, std::ostream& err) {
    const std::optional<SavedSettings> saved = Load(err);
    if (!saved) return 2;
    const std::filesystem::path file = saved->dataFolder / kTokenFileName;
    if (!ForgetTokens(file)) {
        err << "zendrel: " << file.string() << " cannot be removed\n";
        return 1;
    }
    out << "zendrel: signed out\n";
    return 0;
}

int EditSenderListCommand(SenderListEdit edit, const std::string& typed, std::ostream& out, std::ostream& err) {
    const std::optional<std::string> address = ArgumentText(typed, "the address", err);
    if (!address) return 2;
    if (address->empty()) {
        err << "zendrel: the address is empty\n";
        return 2;
    }
    std::optional<SavedSettings> saved = Load(err);
    if (!saved) return 2;
    SettingsRecord& record = saved->record;
    if (edit == SenderListEdit::kUnlist) {
        const auto unlisted = [&](std::vector<std::string>& list) {
            return std::erase_if(list, [&](const std::string& entry) { return EqualsNoCase(entry, *address); });
        };
        // Not a usage error: the command was right, the address was not there.
        if (unlisted(record.allowedSenders) + unlisted(record.blockedSenders) == 0) {
            err << "zendrel: '" << typed << "' is in neither sender list\n";
            return 1;
        }
        return Save(*saved, out, err);
    }
    std::vector<std::string>& list = edit == SenderListEdit::kAllow ? record.allowedSenders : record.blockedSenders;
    if (ListHolds(list, *address)) {
        out << "zendrel: '" << typed << "' is listed already\n";
        return 0;
    }
    list.push_back(*address);
    return Save(*saved, out, err);
}

}  // namespace zendrel
