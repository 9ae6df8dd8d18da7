#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/file_io.h"
#include "common/steady_time.h"
#include "common/text.h"
#include "common/unique_fd_posix.h"
#include "platform/known_folders.h"
#include "platform/service_controller.h"

extern char** environ;

namespace zendrel {
namespace {

namespace fs = std::filesystem;

// The service is the user's own systemd unit under one fixed name: a user has a single mailbox watcher, and the
// Windows service name the shell passes is not a valid unit name anyway.
constexpr const char* kUnitName = "zendrel.service";
// systemctl waits for a job to finish; a unit that hangs in its stop must not hang the window with it.
constexpr int kSystemctlTimeoutMilliseconds = 10000;
// The window and the service ask for the state at every tick; systemctl is a process start each time.
constexpr std::int64_t kStateCacheMilliseconds = 2000;

struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

bool OpenPipe(Pipe& pipe) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    pipe.read.reset(fds[0]);
    pipe.write.reset(fds[1]);
    return true;
}

class SpawnActions {
public:
    SpawnActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    ~SpawnActions() {
        if (ok_) ::posix_spawn_file_actions_destroy(&actions_);
    }
    bool Ok() const { return ok_; }
    posix_spawn_file_actions_t* Get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

struct Outcome {
    bool finished = false;  // ran and exited by itself
    int exitStatus = -1;
    std::string out;
    std::string err;
};

// Reads both pipes until the child closes them or the time is up; false on a time-out.
bool ReadUntilClosed(UniqueFd& out, UniqueFd& err, Outcome& outcome, std::int64_t deadline) {
    char buffer[4096];
    while (out.get() >= 0 || err.get() >= 0) {
        const std::int64_t left = deadline - SteadyMilliseconds();
        if (left <= 0) return false;
        pollfd fds[2] = {{out.get(), POLLIN, 0}, {err.get(), POLLIN, 0}};
        const int ready = ::poll(fds, 2, static_cast<int>(left));
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        UniqueFd* ends[2] = {&out, &err};
        std::string* texts[2] = {&outcome.out, &outcome.err};
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                texts[i]->append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                ends[i]->reset();
            }
        }
    }
    return true;
}

// What systemctl wrote on its error stream, on one line and as program text.
std::string FailureText(std::string_view utf8) {
    std::string line;
    for (const char c : utf8) {
        if (c == '\n' || c == '\r') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return Utf8ToWindows1252(line).value_or(Utf8ToSingleByte(line));
}

// Runs `systemctl --user ARGS...` without a shell. On any failure errno says why, in the terms the shell turns into
// its messages: a refusal by the service manager is "access denied", anything else an I/O error; and `failure` gets
// what systemctl said, or what kept it from saying anything.
std::optional<std::string> Systemctl(const std::vector<std::string>& args, std::string* failure = nullptr) {
    std::string ignored;
    std::string& failureText = failure != nullptr ? *failure : ignored;
    std::vector<std::string> words = {"systemctl", "--user"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    Pipe out;
    Pipe err;
    SpawnActions actions;
    if (!OpenPipe(out) || !OpenPipe(err) || !actions.Ok()) {
        failureText = std::strerror(errno);
        return std::nullopt;
    }
    if (::posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0) != 0 ||
        ::posix_spawn_file_actions_adddup2(actions.Get(), out.write.get(), STDOUT_FILENO) != 0 ||
        ::posix_spawn_file_actions_adddup2(actions.Get(), err.write.get(), STDERR_FILENO) != 0) {
        errno = ENOMEM;
        failureText = std::strerror(errno);
        return std::nullopt;
    }
    pid_t child = -1;
    const int spawnError = ::posix_spawnp(&child, "systemctl", actions.Get(), nullptr, argv.data(), environ);
    if (spawnError != 0) {
        failureText = "systemctl: " + std::string(std::strerror(spawnError));
        errno = spawnError;
        return std::nullopt;
    }
    out.write.reset();
    err.write.reset();

    Outcome outcome;
    const std::int64_t deadline = SteadyMilliseconds() + kSystemctlTimeoutMilliseconds;
    const bool closed = ReadUntilClosed(out.read, err.read, outcome, deadline);
    int status = 0;
    pid_t reaped = 0;
    // The pipes closing early says little (a child may close them itself), so the wait is bounded as well.
    while (closed && (reaped = ::waitpid(child, &status, WNOHANG)) == 0 && SteadyMilliseconds() < deadline) {
        pollfd none{};
        ::poll(&none, 0, 10);
    }
    if (!closed || reaped == 0) {
        ::kill(child, SIGKILL);
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        failureText = "systemctl gave no answer within " + std::to_string(kSystemctlTimeoutMilliseconds / 1000) +
                      " seconds";
        errno = ETIMEDOUT;
        return std::nullopt;
    }
    if (reaped < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        const bool refused = reaped > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 1 &&
                             (outcome.err.find("Access denied") != std::string::npos ||
                              outcome.err.find("Permission denied") != std::string::npos);
        failureText = FailureText(outcome.err);
        if (failureText.empty()) {
            failureText = reaped > 0 && WIFEXITED(status)
                              ? "systemctl ended with status " + std::to_string(WEXITSTATUS(status))
                              : "systemctl ended abnormally";
        }
        errno = refused ? EACCES : EIO;
        return std::nullopt;
    }
    return outcome.out;
}

fs::path UnitFilePath() {
    const fs::path config = SpecialFolderLocation(SpecialFolder::kAppData);
    if (config.empty()) return {};
    return config / "systemd" / "user" / kUnitName;
}

bool UnitFileExists(const fs::path& path) {
    std::error_code error;
    return !path.empty() && fs::exists(path, error);
}

// A value of a unit file: systemd expands %-specifiers everywhere and $-variables in command lines.
std::string UnitValue(std::string_view utf8, bool inCommandLine) {
    std::string value;
    for (const char c : utf8) {
        if (c == '%') {
            value += "%%";
        } else if (c == '$' && inCommandLine) {
            value += "$$";
        } else if (c == '\n' || c == '\r') {
            value += ' ';
        } else {
            value += c;
        }
    }
    return value;
}

// A double-quoted word of a unit file, with C-style escapes for the characters that would end it.
std::string QuotedUnitWord(std::string_view utf8, bool inCommandLine) {
    std::string quoted = "\"";
    for (const char c : UnitValue(utf8, inCommandLine)) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string UnitText(const std::string& programPath, const std::string& description) {
    std::string unit = "[Unit]\nDescription=" + UnitValue(Windows1252ToUtf8(description), false) + "\n\n";
    unit += "[Service]\nExecStart=" + QuotedUnitWord(Windows1252ToUtf8(programPath), true) + " --service\n";
    unit += "Restart=on-failure\n";
    // Exit status 2 is a usage error: restarting would fail the same way, for ever.
    unit += "RestartPreventExitStatus=2\n";
    // The data folder chosen for this user must stay the service's data folder, although the service does not
    // inherit the installing process's environment.
    if (const char* dataDir = std::getenv("ZENDREL_DATA_DIR"); dataDir != nullptr && *dataDir != '\0') {
        unit += "Environment=" + QuotedUnitWord(std::string("ZENDREL_DATA_DIR=") + dataDir, false) + "\n";
    }
    unit += "\n[Install]\nWantedBy=default.target\n";
    return unit;
}

int ErrnoOf(FileError error) {
    switch (error) {
        case FileError::kNone:
            return 0;
        case FileError::kNotFound:
            return ENOENT;
        case FileError::kAccessDenied:
            return EACCES;
        case FileError::kNoSpace:
            return ENOSPC;
        case FileError::kNameTooLong:
            return ENAMETOOLONG;
        default:
            return EIO;
    }
}

ServiceState StateOf(std::string_view shown) {
    // systemctl prints the properties in its own order, ActiveState before SubState, one value a line.
    const std::string_view active = shown.substr(0, shown.find('\n'));
    if (active == "inactive" || active == "failed") return ServiceState::kStopped;
    if (active == "activating") return ServiceState::kStartPending;
    if (active == "deactivating") return ServiceState::kStopPending;
    if (active == "active" || active == "reloading" || active == "refreshing") return ServiceState::kRunning;
    return ServiceState::kNotInstalled;
}

// The service as a systemd user unit. Everything the unit does is the user's own business, so no operation needs
// more rights than the user has. The service-name arguments are ignored: the unit's name is fixed.
class SystemdServiceController final : public ServiceController {
public:
    // A container or a minimal session has systemctl but no manager of the user's own to talk to; the box that would
    // install the service there must not promise what no operation could keep. Asked once.
    bool Available() const override {
        if (!available_) available_ = Systemctl({"show-environment"}).has_value();
        return *available_;
    }

    std::int32_t Start(const std::string&) override { return Run({"start", kUnitName}); }
    std::int32_t Stop(const std::string&) override { return Run({"stop", kUnitName}); }

    // A unit can only be stopped and started again; systemd has no paused state.
    std::int32_t Pause(const std::string&) override { return Fail(ENOTSUP, "systemd has no paused state"); }
    std::int32_t Resume(const std::string&) override { return Fail(ENOTSUP, "systemd has no paused state"); }

    std::int32_t Install(const std::string&, const std::string&, const std::string& programPath,
                         const std::string& description, std::int32_t startType) override {
        cachedAt_.reset();
        const fs::path path = UnitFilePath();
        if (path.empty()) return Fail(ENOENT, "the system names no folder for the user's units");
        // Where Windows reports an existing service, the nearest code here is "file exists".
        if (UnitFileExists(path)) return Fail(EEXIST, FileText(path, EEXIST));
        std::error_code error;
        fs::create_directories(path.parent_path(), error);
        if (error) return Fail(error.value(), FileText(path.parent_path(), error.value()));
        if (const FileError written = WriteFileAtomically(path, UnitText(programPath, description), FileAccess::kUsual);
            written != FileError::kNone) {
            return Fail(ErrnoOf(written), FileText(path, ErrnoOf(written)));
        }
        if (Run({"daemon-reload"}) == 0) {
            // The manager never heard of the unit: leaving the file would make the service look installed although
            // it cannot be read or started.
            const int reason = errno;
            fs::remove(path, error);
            errno = reason;
            return 0;
        }
        if (startType == kServiceAutoStart) return Run({"enable", "--now", kUnitName});
        return 1;
    }

    std::int32_t Uninstall(const std::string&) override {
        cachedAt_.reset();
        const fs::path path = UnitFilePath();
        if (!UnitFileExists(path)) return Fail(ENOENT, FileText(path, ENOENT));
        if (Run({"stop", kUnitName}) == 0 || Run({"disable", kUnitName}) == 0) return 0;
        std::error_code error;
        if (!fs::remove(path, error) && error) return Fail(error.value(), FileText(path, error.value()));
        return Run({"daemon-reload"});
    }

    // systemd starts the program with --service, which makes the process the service by itself.
    std::int32_t RunAsService(const std::string&, ServiceProgram, ServiceControlCallback) override { return 0; }

    ServiceState QueryState(const std::string&) override {
        if (!UnitFileExists(UnitFilePath())) return ServiceState::kNotInstalled;
        const std::int64_t now = SteadyMilliseconds();
        if (cachedAt_ && now - *cachedAt_ < kStateCacheMilliseconds) return cachedState_;
        const std::optional<std::string> shown =
            Systemctl({"show", "-p", "ActiveState,SubState", "--value", kUnitName});
        cachedState_ = shown ? StateOf(*shown) : ServiceState::kNotInstalled;
        cachedAt_ = now;
        return cachedState_;
    }

    // The unit is the user's own: the user already has every right over it.
    std::int32_t GrantAccess(const std::string&, const std::string&, std::uint32_t) override { return 1; }

    std::string LastErrorText() const override { return lastErrorText_; }

private:
    std::int32_t Run(const std::vector<std::string>& args) {
        const bool ran = Systemctl(args, &lastErrorText_).has_value();
        cachedAt_.reset();
        return ran ? 1 : 0;
    }

    // A failure of the controller's own, with the words the log shows for it.
    std::int32_t Fail(int error, std::string text) {
        lastErrorText_ = std::move(text);
        errno = error;
        return 0;
    }

    static std::string FileText(const fs::path& path, int error) {
        return Utf8ToWindows1252(path.string()).value_or(Utf8ToSingleByte(path.string())) + ": " +
               std::strerror(error);
    }

    mutable std::optional<bool> available_;
    std::optional<std::int64_t> cachedAt_;
    ServiceState cachedState_ = ServiceState::kNotInstalled;
    std::string lastErrorText_;
};

}  // namespace

bool ServicePaused() { return false; }

std::unique_ptr<ServiceController> CreateServiceController() { return std::make_unique<SystemdServiceController>(); }

}  // namespace zendrel
