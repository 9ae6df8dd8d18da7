#include "app/saved_settings.h"

#include <cstdlib>
#include <filesystem>

#include "mime/extension_filter.h"
#include "oauth/providers.h"
#include "platform/known_folders.h"
#include "platform/system_info.h"
#include "settings/data_folder.h"
#include "settings/preference_reader.h"
#include "settings/read_intervals.h"

namespace zendrel {
namespace {

class LoadDuties : public SettingsLoadDuties {
public:
    LoadDuties(InterfaceTexts& texts, HandledMessageIds& handledMessageIds)
        : texts_(texts), handledMessageIds_(handledMessageIds) {}
    void ApplyLanguage(const std::string& language) override { texts_.ApplyLanguage(language); }
    void ForgetHandledMessages() override { handledMessageIds_.Clear(); }

private:
    InterfaceTexts& texts_;
    HandledMessageIds& handledMessageIds_;
};

}  // namespace

std::optional<SavedSettings> PrepareAndLoadSettings(InterfaceTexts& texts, HandledMessageIds& handledMessageIds) {
    const DataFolderPlaces places = LocateDataFolder(SpecialFolderLocation(SpecialFolder::kCommonAppData),
                                                     SpecialFolderLocation(SpecialFolder::kAppData),
                                                     std::getenv(kDataFolderVariable));
    if (places.dataFolder.empty()) return std::nullopt;
    // The commands without a window make the data folder as private as the window does.
    PrepareDataFolder(places,
                      [](const std::filesystem::path& folder) { CreateSystemInfo()->ProtectDataFolder(folder); });

    SavedSettings saved;
    saved.dataFolder = places.dataFolder;
    texts.ApplyLanguage("english");
    LoadDuties duties(texts, handledMessageIds);
    std::error_code error;
    const bool firstStart = !std::filesystem::exists(saved.dataFolder / kSettingsFileName, error);
    LoadSettings(saved.dataFolder, GetSpecialFolderPath(SpecialFolder::kProfile), saved.record, duties);
    // Without a settings file the language is the system's, as the window's first start has it.
    if (firstStart) {
        saved.record.language = CreateSystemInfo()->PreferredLanguage();
        texts.ApplyLanguage(saved.record.language);
    }
    return saved;
}

void FillJobParameters(const SettingsRecord& record, bool serviceMode, JobParameters& parameters) {
    parameters.server = record.server;
    parameters.port = LeadingInteger(record.portText);
    parameters.security = record.security;
    parameters.userName = record.userName;
    parameters.password = record.password;
    parameters.authentication = record.signIn.authentication;
    const SignInSettings& signIn = record.signIn;
    const ProviderEndpoints endpoints = EndpointsOf(
        signIn.provider, signIn.tenant, {signIn.authorizeUrl, signIn.tokenUrl, signIn.deviceUrl, signIn.scope});
    parameters.oauthTokenUrl = endpoints.tokenUrl;
    parameters.oauthClientId = signIn.clientId;
    parameters.oauthScope = endpoints.scope;
    parameters.oauthClientSecret = signIn.clientSecret;
    parameters.searchString = record.searchString;
    parameters.saveDir = record.saveDir;
    parameters.extensions = PrepareExtensionList(record.extensionsText);
    parameters.existingFiles = record.existingFiles;
    parameters.subFolder = record.subFolder;
    parameters.saveInline = record.saveInline;
    parameters.rememberMails = record.rememberMails;
    parameters.deleteMails = record.deleteMails;
    parameters.serviceMode = serviceMode;
}

ScheduleControls ScheduleControlsOf(const SettingsRecord& record) {
    ScheduleControls controls;
    if (record.intervalPosition && *record.intervalPosition >= 0 && *record.intervalPosition < kReadIntervalCount) {
        controls.intervalSeconds = kReadIntervalSeconds[static_cast<std::size_t>(*record.intervalPosition)];
    }
    // A start time without a selection counts as midnight: the grid then still has a fixed origin.
    controls.startHour = record.startHour.value_or(0);
    controls.startMinute = record.startMinute.value_or(0);
    return controls;
}

}  // namespace zendrel
