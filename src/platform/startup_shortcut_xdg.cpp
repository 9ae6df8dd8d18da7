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

// The variable that names the data folder in the place of the usual one.
constexpr const char* kDataFolderVariable = "ZENDREL_DATA_DIR";

// One word of an Exec= value, quoted: its reserved characters escaped and a percent sign doubled, so that it is no
// field code.
std::string QuotedExecWord(std::string_view utf8) {
    std::string quoted = "\"";
    for (const char c : utf8) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    return quoted + '"';
}

// A string of a desktop entry: its backslashes escaped again, as the format asks of every string value.
std::string EscapedValue(std::string_view text) {
    std::string value;
    for (const char c : text) {
        if (c == '\\') value += '\\';
        value += c;
    }
    return value;
}

// The words of an Exec= value, with the string escapes, the quoting and the doubled percent signs undone.
std::vector<std::string> ExecWords(std::string_view value) {
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == '\\') ++i;
        unescaped += value[i];
    }
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < unescaped.size()) {
        if (unescaped[i] == ' ') {
            ++i;
            continue;
        }
        std::string word;
        bool quoted = false;
        for (; i < unescaped.size() && (quoted || unescaped[i] != ' '); ++i) {
            const char c = unescaped[i];
            if (c == '"') {
                quoted = !quoted;
            } else if (quoted && c == '\\' && i + 1 < unescaped.size()) {
                word += unescaped[++i];
            } else if (c == '%' && i + 1 < unescaped.size() && unescaped[i + 1] == '%') {
                word += unescaped[++i];
            } else {
                word += c;
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

// A word VAR=value as env(1) takes it: a variable's name, then the equals sign.
bool IsAssignment(std::string_view word) {
    const std::size_t equals = word.find('=');
    if (equals == 0 || equals == std::string_view::npos) return false;
    for (std::size_t i = 0; i < equals; ++i) {
        const char c = word[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
    }
    return true;
}

// The program of an Exec= value: the first word, or, when the entry starts it through env with variables set, the
// first word after them.
std::string ProgramOfExec(std::string_view value) {
    const std::vector<std::string> words = ExecWords(value);
    std::size_t at = 0;
    if (at < words.size() && (words[at] == "env" || words[at].ends_with("/env"))) {
        ++at;
        while (at < words.size() && IsAssignment(words[at])) ++at;
    }
    return at < words.size() ? words[at] : std::string();
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
        // A desktop starts the entry with its own environment: a data folder chosen by the variable must be named.
        std::string exec;
        if (const char* dataDir = std::getenv(kDataFolderVariable); dataDir != nullptr && *dataDir != '\0') {
            exec = "env " + QuotedExecWord(std::string(kDataFolderVariable) + "=" + dataDir) + " ";
        }
        exec += QuotedExecWord(Windows1252ToUtf8(target));
        if (!arguments.empty()) exec += " " + Windows1252ToUtf8(arguments);
        entry += "Exec=" + EscapedValue(exec) + "\nTerminal=false\n";
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
