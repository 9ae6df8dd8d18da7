#include "platform/system_info.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "common/text.h"
#include "platform/known_folders.h"

namespace zendrel {
namespace {

struct ErrorText {
    std::uint32_t code;
    const char* text;
};

// The Windows texts of the codes this layer hands out, so a log line reads the same on every platform.
constexpr ErrorText kErrorTexts[] = {
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {5, "Access is denied."},
    {31, "A device attached to the system is not functioning."},
    {112, "There is not enough space on the disk."},
    {183, "Cannot create a file when that file already exists."},
};

std::uint32_t WindowsCodeOf(int error) {
    switch (error) {
        case 0:
            return 0;
        case EACCES:
        case EPERM:
        case EROFS:
            return kErrorAccessDenied;
        case ENOENT:
            return 2;
        case ENOTDIR:
            return 3;
        case ENOSPC:
        case EDQUOT:
            return 112;
        case EEXIST:
            return 183;
        default:
            return 31;
    }
}

class PosixSystemInfo final : public SystemInfo {
public:
    // The service is the user's own unit: the same account writes the data folder from both sides.
    bool GrantFolderModify(const std::filesystem::path&, const std::string&) override { return true; }
    // The data folder is made 0700 for the user who made it.
    bool ProtectDataFolder(const std::filesystem::path&) override { return true; }
    bool FolderRefused(const std::filesystem::path& folder) const override {
        return access(folder.c_str(), R_OK | W_OK | X_OK) != 0 && (errno == EACCES || errno == EPERM);
    }
    bool RunsElevated() const override { return false; }
    std::uint32_t LastSystemError() const override { return WindowsCodeOf(errno); }

    std::string SystemErrorText(std::uint32_t code) const override {
        for (const ErrorText& entry : kErrorTexts) {
            if (entry.code == code) return entry.text;
        }
        return "";
    }

    std::string CurrentUserName() const override {
        long size = sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
        passwd entry{};
        passwd* found = nullptr;
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
            found->pw_name != nullptr) {
            return Utf8ToWindows1252(found->pw_name).value_or("");
        }
        const char* user = std::getenv("USER");
        return user != nullptr ? Utf8ToWindows1252(user).value_or("") : "";
    }

    std::string ProgramPath() const override {
        std::vector<char> buffer(4096);
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return "";
        return Utf8ToWindows1252(std::string_view(buffer.data(), static_cast<std::size_t>(length))).value_or("");
    }

    std::string GetSpecialFolderPath(SpecialFolder folder) const override {
        return zendrel::GetSpecialFolderPath(folder);
    }

    std::string PreferredLanguage() const override {
        return LanguageOfLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
    }
};

}  // namespace

std::string LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value == nullptr || *value == '\0') continue;
        // "de", "de_DE.UTF-8", "de_AT@euro": the language is the part before the territory.
        const std::string_view locale(value);
        const bool german = locale.substr(0, 2) == "de" && (locale.size() == 2 || locale[2] == '_' ||
                                                            locale[2] == '.' || locale[2] == '@');
        return german ? "german" : "english";
    }
    return "english";
}

std::unique_ptr<SystemInfo> CreateSystemInfo() { return std::make_unique<PosixSystemInfo>(); }

}  // namespace zendrel
