#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "common/file_io.h"
#include "common/text.h"
#include "platform/startup_shortcut.h"
#include "platform/system_info.h"

namespace zendrel {
namespace {

namespace fs = std::filesystem;

// A value of a desktop entry: the program's path quoted for Exec=, its reserved characters escaped, and the
// backslashes of that escaped again, as the desktop entry format asks of every string.
std::string ExecValue(std::string_view utf8Path) {
    std::string quoted = "\"";
    for (const char c : utf8Path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (const char c : quoted) {
        if (c == '\\') value += '\\';
        value += c;
    }
    return value;
}

// The program of an Exec= value: the first word, quoted or not, with the escapes undone.
std::string ProgramOfExec(std::string_view value) {
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == '\\') ++i;
        unescaped += value[i];
    }
    std::string program;
    if (!unescaped.empty() && unescaped[0] == '"') {
        for (std::size_t i = 1; i < unescaped.size() && unescaped[i] != '"'; ++i) {
            if (unescaped[i] == '\\' && i + 1 < unescaped.size()) ++i;
            program += unescaped[i];
        }
        return program;
    }
    return unescaped.substr(0, unescaped.find(' '));
}

// The autostart folders, the common ones first: autostart/ below each of $XDG_CONFIG_DIRS, then the user's.
std::vector<fs::path> AutostartFolders() {
    std::vector<fs::path> folders;
    const char* configDirs = std::getenv("XDG_CONFIG_DIRS");
    std::string_view dirs = configDirs != nullptr && *configDirs != '\0' ? configDirs : "/etc/xdg";
    while (!dirs.empty()) {
        const std::string_view dir = dirs.substr(0, dirs.find(':'));
        if (!dir.empty() && dir[0] == '/') folders.push_back(fs::path(dir) / "autostart");
        dirs.remove_prefix(std::min(dirs.size(), dir.size() + 1));
    }
    folders.push_back(SpecialFolderLocation(SpecialFolder::kStartup));
    return folders;
}

// Autostart entries of the desktop (XDG autostart): a link is a .desktop file whose Exec= names the program.
class XdgStartupShortcuts final : public StartupShortcuts {
public:
    bool Available() const override { return true; }

    int CreateShortcut(const std::string& target, const std::string& linkPath, const std::string& arguments,
                       const std::string& description, const std::string&) override {
        std::string entry = "[Desktop Entry]\nType=Application\nName=Zendrel\n";
        entry += "Comment=" + Windows1252ToUtf8(description) + "\n";
        entry += "Exec=" + ExecValue(Windows1252ToUtf8(target));
        if (!arguments.empty()) entry += " " + Windows1252ToUtf8(arguments);
        entry += "\nTerminal=false\n";
        const fs::path path = PathFromText(linkPath);
        std::error_code error;
        fs::create_directories(path.parent_path(), error);
        return WriteFileAtomically(path, entry, FileAccess::kUsual) == FileError::kNone ? 1 : 0;
    }

    std::string GetShortcutTarget(const std::string& linkPath) override {
        const std::optional<std::string> bytes = ReadWholeFile(PathFromText(linkPath));
        if (!bytes) return "";
        std::string_view rest = *bytes;
        while (!rest.empty()) {
            std::string_view line = rest.substr(0, rest.find('\n'));
            rest.remove_prefix(std::min(rest.size(), line.size() + 1));
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (line.substr(0, 5) == "Exec=") return Utf8ToWindows1252(ProgramOfExec(line.substr(5))).value_or("");
        }
        return "";
    }

    std::string FindStartupShortcut() override {
        const std::string program = CreateSystemInfo()->ProgramPath();
        if (program.empty()) return "";
        for (const fs::path& folder : AutostartFolders()) {
            std::error_code error;
            for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
                if (entry->path().extension() != ".desktop" || !entry->is_regular_file(error)) continue;
                const std::optional<std::string> path = Utf8ToWindows1252(entry->path().string());
                if (path && GetShortcutTarget(*path) == program) return *path;
            }
        }
        return "";
    }

    bool DeleteShortcut(const std::string& linkPath) override {
        std::error_code error;
        return fs::remove(PathFromText(linkPath), error);
    }
};

}  // namespace

std::unique_ptr<StartupShortcuts> CreateStartupShortcuts() { return std::make_unique<XdgStartupShortcuts>(); }

}  // namespace zendrel
