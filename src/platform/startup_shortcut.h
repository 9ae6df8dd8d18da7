#pragma once
// The autostart shortcut: a link in the Startup folder that starts the program at every logon.

#include <memory>
#include <string>

namespace zendrel {

// The link's file name in the Startup folder: a shell link on Windows, an autostart entry of the desktop elsewhere.
#ifdef _WIN32
inline constexpr const char* kStartupShortcutName = "Zendrel.lnk";
#else
inline constexpr const char* kStartupShortcutName = "zendrel.desktop";
#endif

class StartupShortcuts {
public:
    virtual ~StartupShortcuts() = default;

    // Whether this platform has shortcuts at all; where it has none every procedure fails or finds nothing.
    virtual bool Available() const = 0;

    // Writes the link file, replacing one of that name; 1 when it was written.
    virtual int CreateShortcut(const std::string& target, const std::string& linkPath, const std::string& arguments,
                               const std::string& description, const std::string& workingDirectory) = 0;
    // The target stored in a link file, "" when the file is not a loadable link.
    virtual std::string GetShortcutTarget(const std::string& linkPath) = 0;
    // A link in the common or the user's Startup folder whose target is exactly this program's path, or "".
    virtual std::string FindStartupShortcut() = 0;
    // Removes the link file; false when it could not be removed.
    virtual bool DeleteShortcut(const std::string& linkPath) = 0;
};

// The shortcuts of the platform the program was built for.
std::unique_ptr<StartupShortcuts> CreateStartupShortcuts();

}  // namespace zendrel
