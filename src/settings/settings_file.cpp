#include "settings/settings_file.h"

#include <algorithm>

#include "common/file_io.h"
#include "common/text.h"
#include "settings/password_cipher.h"
#include "settings/preference_reader.h"
#include "settings/read_intervals.h"

namespace zendrel {
namespace {

constexpr std::string_view kMain = "Main";
constexpr std::string_view kAllowedMails = "AllowedMails";
constexpr std::string_view kBlockedMails = "DisAllowedMails";
constexpr std::int32_t kDefaultPort = 110;
constexpr std::int32_t kDefaultInterval = 600;
constexpr const char* kDefaultSearchString = "TQV7000";
constexpr const char* kDefaultExtensions = "csv";

std::optional<int> PositionInRange(std::int32_t index, int count) {
    if (index < 0 || index >= count) return std::nullopt;
    return index;
}

void AppendSenders(const PreferenceFile& file, std::string_view group, std::vector<std::string>& list) {
    // A Count beyond the last entry in the file stands for nothing: reading up to it would let one edited line make
    // the start-up allocate without limit. Missing keys below the last entry stay empty entries, as a save wrote them.
    // One empty entry stays even without any key: a white list of empty entries refuses every sender, and however
    // many of them there are, one refuses the same.
    const std::int32_t count =
        std::min(file.Integer(group, "Count").value_or(0), std::max(file.HighestNumberedKey(group, "Mail_"), 1));
    for (std::int32_t n = 1; n <= count; ++n) {
        list.push_back(file.Text(group, "Mail_" + std::to_string(n)).value_or(""));
    }
}

void AppendLine(std::string& out, std::string_view key, std::string_view value) {
    out.append(key).append(" = ").append(value).append("\r\n");
}

void AppendSenderGroup(std::string& out, std::string_view group, const std::vector<std::string>& list) {
    out.append("[").append(group).append("]\r\n");
    AppendLine(out, "Count", std::to_string(list.size()));
    for (std::size_t i = 0; i < list.size(); ++i) AppendLine(out, "Mail_" + std::to_string(i + 1), list[i]);
}

}  // namespace

void LoadSettings(const std::filesystem::path& dataFolder, const std::string& defaultSaveDir, SettingsRecord& record,
                  SettingsLoadDuties& duties) {
    const std::optional<std::string> bytes = ReadWholeFile(dataFolder / kSettingsFileName);
    LoadSettingsFromBytes(bytes.value_or(""), defaultSaveDir, record, duties);
}

void LoadSettingsFromBytes(std::string_view bytes, const std::string& defaultSaveDir, SettingsRecord& record,
                           SettingsLoadDuties& duties) {
    const PreferenceFile file = PreferenceFile::Parse(bytes);

    const std::string language = LowerCase(file.Text(kMain, "Language").value_or("german"));
    duties.ApplyLanguage(language);
    record.language = language == "german" ? "german" : "english";

    record.portText = std::to_string(file.Integer(kMain, "Port").value_or(kDefaultPort));
    // Files written before TLS existed have no such key, and mean plain text.
    record.security =
        ConnectionSecurityOf(file.Integer(kMain, "Security").value_or(0)).value_or(ConnectionSecurity::kNone);
    record.server = file.Text(kMain, "Server").value_or(kDefaultServer);
    record.userName = file.Text(kMain, "Username").value_or("");
    record.password = DecodeStoredPassword(file.Text(kMain, "Password").value_or(""));
    if (const std::optional<int> position =
            ReadIntervalPosition(file.Integer(kMain, "TimeOUT").value_or(kDefaultInterval))) {
        record.intervalPosition = position;
    }
    record.searchString = file.Text(kMain, "SearchString").value_or(kDefaultSearchString);
    record.saveDir = file.Text(kMain, "SaveDir").value_or(defaultSaveDir);
    record.startHour = PositionInRange(file.Integer(kMain, "StartAtHour").value_or(0), 24);
    record.startMinute = PositionInRange(file.Integer(kMain, "StartAtMinute").value_or(0), 60);
    record.deleteMails = file.Integer(kMain, "DeleteFiles").value_or(0) != 0;
    record.extensionsText = file.Text(kMain, "FileExtensions").value_or(kDefaultExtensions);
    // Files written before these keys existed keep both files of a name (which loses nothing), save into the save
    // folder itself and only attachments. An unknown ExistingFiles value is read the safe way too.
    record.existingFiles = file.Integer(kMain, "ExistingFiles").value_or(0) == 1 ? ExistingFiles::kReplace
                                                                                : ExistingFiles::kKeepBoth;
    record.subFolder = file.Text(kMain, "SubFolder").value_or("");
    record.saveInline = file.Integer(kMain, "SaveInline").value_or(0) != 0;
    // Only a deliberate 1 keeps mails from being examined again; anything else is the plain behaviour.
    record.rememberMails = file.Integer(kMain, "RememberMails").value_or(0) == 1;
    // Only a deliberate 1 gives up the password login; an unknown provider is the default one.
    record.signIn.authentication = file.Integer(kMain, "Authentication").value_or(0) == 1 ? Authentication::kOAuth
                                                                                      : Authentication::kPassword;
    const std::string provider = LowerCase(file.Text(kMain, "OAuthProvider").value_or(""));
    record.signIn.provider = IsOAuthProvider(provider) ? provider : kDefaultOAuthProvider;
    record.signIn.clientId = file.Text(kMain, "OAuthClientId").value_or("");
    record.signIn.tenant = file.Text(kMain, "OAuthTenant").value_or("");
    if (!IsTenantName(record.signIn.tenant)) record.signIn.tenant = kDefaultOAuthTenant;
    record.signIn.authorizeUrl = file.Text(kMain, "OAuthAuthorizeUrl").value_or("");
    record.signIn.tokenUrl = file.Text(kMain, "OAuthTokenUrl").value_or("");
    record.signIn.deviceUrl = file.Text(kMain, "OAuthDeviceUrl").value_or("");
    record.signIn.scope = file.Text(kMain, "OAuthScope").value_or("");
    record.signIn.clientSecret = file.Text(kMain, "OAuthClientSecret").value_or("");

    AppendSenders(file, kAllowedMails, record.allowedSenders);
    AppendSenders(file, kBlockedMails, record.blockedSenders);
    duties.ForgetHandledMessages();
}

std::string FormatSettingsFile(const SettingsRecord& record) {
    std::string out;
    out.append("[").append(kMain).append("]\r\n");
    AppendLine(out, "Language", record.language == "english" ? "english" : "german");
    AppendLine(out, "Port", std::to_string(LeadingInteger(record.portText)));
    AppendLine(out, "Security", std::to_string(NumberOf(record.security)));
    AppendLine(out, "Server", record.server);
    AppendLine(out, "Username", record.userName);
    AppendLine(out, "Password", EncodeStoredPassword(record.password));
    if (record.intervalPosition && *record.intervalPosition >= 0 && *record.intervalPosition < kReadIntervalCount) {
        AppendLine(out, "TimeOUT",
                   std::to_string(kReadIntervalSeconds[static_cast<std::size_t>(*record.intervalPosition)]));
    }
    AppendLine(out, "SearchString", record.searchString);
    AppendLine(out, "SaveDir", record.saveDir);
    AppendLine(out, "StartAtHour", std::to_string(record.startHour.value_or(-1)));
    AppendLine(out, "StartAtMinute", std::to_string(record.startMinute.value_or(-1)));
    AppendLine(out, "DeleteFiles", record.deleteMails ? "1" : "0");
    AppendLine(out, "FileExtensions", record.extensionsText);
    AppendLine(out, "ExistingFiles", record.existingFiles == ExistingFiles::kReplace ? "1" : "0");
    AppendLine(out, "SubFolder", record.subFolder);
    AppendLine(out, "SaveInline", record.saveInline ? "1" : "0");
    AppendLine(out, "RememberMails", record.rememberMails ? "1" : "0");
    AppendLine(out, "Authentication", record.signIn.authentication == Authentication::kOAuth ? "1" : "0");
    AppendLine(out, "OAuthProvider", record.signIn.provider);
    AppendLine(out, "OAuthClientId", record.signIn.clientId);
    AppendLine(out, "OAuthTenant", record.signIn.tenant);
    AppendLine(out, "OAuthAuthorizeUrl", record.signIn.authorizeUrl);
    AppendLine(out, "OAuthTokenUrl", record.signIn.tokenUrl);
    AppendLine(out, "OAuthDeviceUrl", record.signIn.deviceUrl);
    AppendLine(out, "OAuthScope", record.signIn.scope);
    AppendLine(out, "OAuthClientSecret", record.signIn.clientSecret);
    AppendSenderGroup(out, kAllowedMails, record.allowedSenders);
    AppendSenderGroup(out, kBlockedMails, record.blockedSenders);
    return out;
}

bool IsOAuthProvider(std::string_view name) { return name == "microsoft" || name == "google" || name == "custom"; }

bool IsTenantName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
    });
}

bool IsHttpsUrl(std::string_view url) {
    constexpr std::string_view kScheme = "https://";
    if (url.size() <= kScheme.size() || !EqualsNoCase(url.substr(0, kScheme.size()), kScheme)) return false;
    if (url[kScheme.size()] == '/') return false;
    return std::none_of(url.begin(), url.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) >= 0x7F;
    });
}

bool SaveSettings(const std::filesystem::path& dataFolder, const SettingsRecord& record) {
    // The file holds the mailbox password in a reversible form: only its owner may read it.
    return WriteFileAtomically(dataFolder / kSettingsFileName, FormatSettingsFile(record), FileAccess::kOwnerOnly) ==
           FileError::kNone;
}

}  // namespace zendrel
