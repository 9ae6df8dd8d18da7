#include "platform/known_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace zendrel {
namespace {

std::filesystem::path HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home == '/') return home;
    // A service started without a login environment may lack HOME; the password database still knows the folder.
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return {};
}

// An XDG base folder: the variable when it holds an absolute path (relative ones are to be ignored), else the
// fallback below the home folder.
std::filesystem::path XdgFolder(const char* variable, const char* fallbackBelowHome) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value == '/') return value;
    const std::filesystem::path home = HomeFolder();
    if (home.empty()) return {};
    return home / fallbackBelowHome;
}

std::filesystem::path WithTrailingSeparator(const std::filesystem::path& folder) {
    if (folder.empty()) return folder;
    return folder / "";
}

}  // namespace

std::filesystem::path SpecialFolderLocation(SpecialFolder folder) {
    switch (folder) {
        case SpecialFolder::kCommonAppData:
            return WithTrailingSeparator(XdgFolder("XDG_DATA_HOME", ".local/share"));
        case SpecialFolder::kAppData:
            return WithTrailingSeparator(XdgFolder("XDG_CONFIG_HOME", ".config"));
        case SpecialFolder::kStartup:
        case SpecialFolder::kCommonStartup: {
            const std::filesystem::path config = XdgFolder("XDG_CONFIG_HOME", ".config");
            return config.empty() ? config : WithTrailingSeparator(config / "autostart");
        }
        case SpecialFolder::kProfile:
            return WithTrailingSeparator(HomeFolder());
        default:
            return {};
    }
}

}  // namespace zendrel
