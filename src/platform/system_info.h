#pragma once
// What the shell asks the system about itself: the last error and its text, the user, the program's own file and the
// well-known folders.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/known_folders.h"

namespace zendrel {

// System error codes are Windows codes on every platform, so the shell can tell "access denied" from the rest.
inline constexpr std::uint32_t kErrorAccessDenied = 5;

class SystemInfo {
public:
    virtual ~SystemInfo() = default;

    // The calling thread's last system error as a Windows code; a POSIX layer maps EACCES and EPERM to 5 and never
    // passes a raw errno on.
    virtual std::uint32_t LastSystemError() const = 0;
    // The system's own text for a code, without a closing line break; "" when the system has none.
    virtual std::string SystemErrorText(std::uint32_t code) const = 0;
    virtual std::string CurrentUserName() const = 0;
    // The program file's full path.
    virtual std::string ProgramPath() const = 0;
    // A special folder's path ending in a separator; "" when the system has none.
    virtual std::string GetSpecialFolderPath(SpecialFolder folder) const = 0;
    // Lets `trustee` read, write and delete in `folder` and in everything below it, also what is made there later;
    // nobody else gains anything. The service (another account) and the window of the user who installed it then
    // both keep the data folder's files writable. True where one account owns both (nothing to grant).
    virtual bool GrantFolderModify(const std::filesystem::path& folder, const std::string& trustee) = 0;
    // Gives `folder` an access list of its own that nothing above it adds to: full control for the system and the
    // administrators, modify rights for its owner and for the calling user (unless that is the system itself), the
    // entries set on the folder itself kept; everything in it follows. A folder that has such a list already is left
    // as it is. True where folders are private to their user anyway (POSIX: 0700).
    virtual bool ProtectDataFolder(const std::filesystem::path& folder) = 0;
    // Whether the system refuses this user `folder` (it belongs to another user). A folder that is missing or that
    // cannot be looked at for another reason is not refused.
    virtual bool FolderRefused(const std::filesystem::path& folder) const = 0;
    // Whether the process holds the administrators' rights (elevated, or the local system account); false on POSIX,
    // where the data folder is the user's own.
    virtual bool RunsElevated() const = 0;
    // The language of the user's system as the program names its languages: "german" for a German locale (Linux) or
    // user interface language (Windows), "english" for every other.
    virtual std::string PreferredLanguage() const = 0;
};

#ifndef _WIN32
// PreferredLanguage from the values of LC_ALL, LC_MESSAGES and LANG (each may be null): the first one set decides, as
// it decides the language of messages.
std::string LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang);
#endif

std::unique_ptr<SystemInfo> CreateSystemInfo();

}  // namespace zendrel
