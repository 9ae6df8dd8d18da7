// The settings file's reader and the stored-password decoder on whatever a user or a disk may leave in the file.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_require.h"
#include "settings/password_cipher.h"
#include "settings/preference_reader.h"
#include "settings/settings_file.h"

namespace zendrel::fuzz {
namespace {

struct IgnoredDuties : SettingsLoadDuties {
    void ApplyLanguage(const std::string& language) override { lastLanguage = language; }
    void ForgetHandledMessages() override {}
    std::string lastLanguage;
};

bool HasOuterBlank(const std::string& value) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return !value.empty() && (blank(value.front()) || blank(value.back()));
}

void CheckRecordSurvivesASave(const SettingsRecord& loaded) {
    for (const std::string* text : {&loaded.server, &loaded.userName, &loaded.searchString, &loaded.saveDir,
                                    &loaded.extensionsText}) {
        FUZZ_REQUIRE(!Contains(*text, "\r") && !Contains(*text, "\n"));
        FUZZ_REQUIRE(!HasOuterBlank(*text));
    }
    // What the save writes must load back as the same controls.
    const std::string saved = FormatSettingsFile(loaded);
    SettingsRecord reloaded;
    IgnoredDuties duties;
    LoadSettingsFromBytes(saved, "/home/", reloaded, duties);
    FUZZ_REQUIRE(reloaded.language == loaded.language);
    FUZZ_REQUIRE(reloaded.portText == loaded.portText);
    FUZZ_REQUIRE(reloaded.server == loaded.server);
    FUZZ_REQUIRE(reloaded.userName == loaded.userName);
    FUZZ_REQUIRE(reloaded.searchString == loaded.searchString);
    FUZZ_REQUIRE(reloaded.saveDir == loaded.saveDir);
    FUZZ_REQUIRE(reloaded.startHour == loaded.startHour);
    FUZZ_REQUIRE(reloaded.startMinute == loaded.startMinute);
    FUZZ_REQUIRE(reloaded.deleteMails == loaded.deleteMails);
    FUZZ_REQUIRE(reloaded.extensionsText == loaded.extensionsText);
    FUZZ_REQUIRE(reloaded.allowedSenders == loaded.allowedSenders);
    FUZZ_REQUIRE(reloaded.blockedSenders == loaded.blockedSenders);
    FUZZ_REQUIRE(!loaded.intervalPosition || reloaded.intervalPosition == loaded.intervalPosition);
    if (loaded.password.size() <= 1016) FUZZ_REQUIRE(reloaded.password == loaded.password);
}

}  // namespace
}  // namespace zendrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zendrel;
    const std::string_view bytes = fuzz::AsText(data, size);

    // A huge Count would make the load append millions of empty entries; the fuzzer is not after that.
    const PreferenceFile file = PreferenceFile::Parse(bytes);
    for (const char* group : {"AllowedMails", "DisAllowedMails"}) {
        if (file.Integer(group, "Count").value_or(0) > 10000) return 0;
    }
    SettingsRecord loaded;
    fuzz::IgnoredDuties duties;
    LoadSettingsFromBytes(bytes, "/home/", loaded, duties);
    fuzz::CheckRecordSurvivesASave(loaded);

    // The stored password as any text, and the raw decoder at any capacity and mode.
    const std::string password = DecodeStoredPassword(bytes);
    FUZZ_REQUIRE(password.size() <= 2064);
    FuzzedDataProvider provider(data, size);
    const std::uint32_t capacity = provider.ConsumeIntegralInRange<std::uint32_t>(0, 4096);
    const std::uint32_t mode = provider.ConsumeIntegralInRange<std::uint32_t>(0, 3);
    const std::string stored = provider.ConsumeRemainingBytesAsString();
    std::vector<unsigned char> output(capacity);
    DecodePassword(reinterpret_cast<const unsigned char*>(stored.data()), static_cast<std::uint32_t>(stored.size()),
                   kPasswordKey, sizeof kPasswordKey, output.data(), capacity, mode);

    // Any bytes of a password length the save accepts come back.
    if (stored.size() <= 1016) FUZZ_REQUIRE(DecodeStoredPassword(EncodeStoredPassword(stored)) == stored);
    return 0;
}
