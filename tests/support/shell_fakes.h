#pragma once
// The shell's surroundings for tests: a recording view, a service manager and shortcuts that do what the test says,
// a system with a settable last error, a run that stays active until the test ends it, and a browser sign-in that
// ends as the test says.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/memory_views.h"
#include "app/shell_run.h"
#include "app/window_sign_in.h"
#include "platform/data_folder_locks.h"
#include "log_rows.h"
#include "platform/service_controller.h"
#include "platform/startup_shortcut.h"
#include "platform/system_info.h"

namespace zendrel::testsupport {

// The collecting log comes first, so it exists before the view that refers to it.
struct LogHolder {
    testsupport::CollectingView log;
};

class RecordingMainView final : private LogHolder, public MemoryMainView {
public:
    RecordingMainView() : MemoryMainView(LogHolder::log) {}

    testsupport::CollectingView& Rows() { return LogHolder::log; }
    void ClearLog() override { LogHolder::log.Clear(); }
    bool HasNotificationArea() const override { return notificationArea; }
    bool AskYesNo(const std::string& title, const std::string& text) override {
        questions.push_back(title + "|" + text);
        const bool answer = !yesNoAnswers.empty() && yesNoAnswers.front();
        if (!yesNoAnswers.empty()) yesNoAnswers.pop_front();
        return answer;
    }
    std::string AskText(const std::string&, const std::string&, const std::string&) override { return textAnswer; }
    std::string ChooseFolder(const std::string&, const std::string&) override { return folderAnswer; }
    void OpenWebAddress(const std::string& address) override { openedAddresses.push_back(address); }
    void ShowMessage(const std::string& title, const std::string& text) override {
        messages.push_back(title + "|" + text);
    }
    void EndEventLoop() override { loopEnded = true; }

    bool notificationArea = true;
    std::deque<bool> yesNoAnswers;
    std::vector<std::string> questions;
    std::string textAnswer;
    std::string folderAnswer;
    std::vector<std::string> openedAddresses;
    std::vector<std::string> messages;
    bool loopEnded = false;
};

// Start gives `address` (or refuses with `startRefusal`); the sign-in waits until the test sets `end`, or until
// Cancel, which ends it as cancelled.
class FakeWindowSignIn final : public WindowSignIn {
public:
    std::optional<std::string> Start(const SignInSettings& settings, std::string& detail) override {
        startedWith.push_back(settings);
        if (!startRefusal.empty()) {
            detail = startRefusal;
            return std::nullopt;
        }
        return address;
    }
    std::optional<WindowSignInEnd> TakeEnd() override { return std::exchange(end, std::nullopt); }
    void Cancel() override {
        ++cancels;
        end = WindowSignInEnd{SignInOutcome::kCancelled, "", ""};
    }
    std::optional<std::string> SignedInName() const override { return storedName; }

    std::string address = "https://login.example.org/authorize?state=s";
    std::string startRefusal;
    std::optional<WindowSignInEnd> end;
    std::optional<std::string> storedName;
    std::vector<SignInSettings> startedWith;
    int cancels = 0;
};

class FakeSystemInfo final : public SystemInfo {
public:
    std::uint32_t LastSystemError() const override { return lastError; }
    std::string SystemErrorText(std::uint32_t code) const override { return "system text " + std::to_string(code); }
    std::string CurrentUserName() const override { return "alice"; }
    std::string ProgramPath() const override { return "/opt/zendrel/zendrel"; }
    std::string GetSpecialFolderPath(SpecialFolder) const override { return "/startup/"; }
    bool GrantFolderModify(const std::filesystem::path& folder, const std::string& trustee) override {
        folderGrant = folder.string() + "|" + trustee;
        if (folderGrantFails) lastError = 1332;
        return !folderGrantFails;
    }

    bool ProtectDataFolder(const std::filesystem::path& folder) override {
        protectedFolders.push_back(folder);
        return true;
    }
    bool FolderRefused(const std::filesystem::path&) const override { return folderRefused; }
    bool RunsElevated() const override { return elevated; }

    std::string PreferredLanguage() const override { return language; }

    std::vector<std::filesystem::path> protectedFolders;
    bool folderRefused = false;
    bool elevated = false;
    std::string folderGrant;
    bool folderGrantFails = false;
    std::string language = "german";  // the system's

    std::uint32_t lastError = 0;
};

// A service manager that the platform has. Every operation succeeds unless the test names it in `failing`; a failed
// operation leaves `failureError` as the last error.
class FakeServiceController final : public ServiceController {
public:
    explicit FakeServiceController(FakeSystemInfo& system) : system_(system) {}

    bool Available() const override { return available; }
    std::int32_t Start(const std::string&) override { return Done("Start"); }
    std::int32_t Stop(const std::string&) override { return Done("Stop"); }
    std::int32_t Pause(const std::string&) override { return Done("Pause"); }
    std::int32_t Resume(const std::string&) override { return Done("Resume"); }
    std::int32_t Install(const std::string& name, const std::string& displayName, const std::string& path,
                         const std::string& description, std::int32_t startType) override {
        installed = name + "|" + displayName + "|" + path + "|" + description + "|" + std::to_string(startType);
        return Done("Install");
    }
    std::int32_t Uninstall(const std::string&) override { return Done("Uninstall"); }
    std::int32_t RunAsService(const std::string&, ServiceProgram, ServiceControlCallback) override {
        return Done("RunAsService");
    }
    ServiceState QueryState(const std::string&) override { return state; }
    std::int32_t GrantAccess(const std::string&, const std::string& trustee, std::uint32_t rights) override {
        granted = trustee + "|" + std::to_string(rights);
        return Done("GrantAccess");
    }
    std::string LastErrorText() const override { return errorText; }

    bool available = true;  // false: a platform without a service manager
    ServiceState state = ServiceState::kNotInstalled;
    std::vector<std::string> failing;
    std::uint32_t failureError = 0;
    std::string errorText;  // the manager's own words for a failure; empty: the system's text for the code
    std::vector<std::string> calls;
    std::string installed;
    std::string granted;

private:
    std::int32_t Done(const std::string& operation) {
        calls.push_back(operation);
        for (const std::string& failure : failing) {
            if (failure == operation) {
                system_.lastError = failureError;
                return 0;
            }
        }
        return 1;
    }
    FakeSystemInfo& system_;
};

// Link files by path with their targets.
class FakeShortcuts final : public StartupShortcuts {
public:
    bool available = true;  // false: a platform without shortcuts
    bool Available() const override { return available; }
    int CreateShortcut(const std::string& target, const std::string& linkPath, const std::string&,
                       const std::string& description, const std::string&) override {
        if (!creates) return 0;
        links[linkPath] = target + "|" + description;
        return 1;
    }
    std::string GetShortcutTarget(const std::string& linkPath) override { return links[linkPath]; }
    std::string FindStartupShortcut() override { return links.empty() ? "" : links.begin()->first; }
    bool DeleteShortcut(const std::string& linkPath) override { return links.erase(linkPath) == 1; }

    bool creates = true;
    std::map<std::string, std::string> links;
};

// The data folder's locks as the test sets them: another window or another run holding them, or not.
class FakeLocks final : public DataFolderLocks {
public:
    class Claim final : public WindowClaim {
    public:
        explicit Claim(FakeLocks& locks) : locks_(locks) {}
        bool TakeForwardRequest() override { return std::exchange(locks_.forwardRequested, false); }

    private:
        FakeLocks& locks_;
    };
    class Lock final : public RunLock {
    public:
        explicit Lock(FakeLocks& locks) : locks_(locks) { locks_.runLocked = true; }
        ~Lock() override { locks_.runLocked = false; }

    private:
        FakeLocks& locks_;
    };

    std::unique_ptr<WindowClaim> ClaimWindow(const std::filesystem::path& folder) override {
        claimedFolder = folder;
        if (windowHeld) return nullptr;
        return std::make_unique<Claim>(*this);
    }
    RunLockResult LockRun(const std::filesystem::path&) override {
        if (runHeld) return {RunLockState::kHeld, nullptr};
        return {RunLockState::kLocked, std::make_unique<Lock>(*this)};
    }

    bool windowHeld = false;        // another window has the data folder
    bool forwardRequested = false;  // another start asked the window forward
    bool runHeld = false;           // another process's run holds the run lock
    bool runLocked = false;         // a lock handed out here is alive (the fake run keeps it with its request)
    std::filesystem::path claimedFolder;
};

// A run that is active from its start until the test ends it; a stop ends it only when `endsOnStop`.
class FakeRun final : public ShellRun {
public:
    bool Start(const RunRequest& request) override {
        if (active) return false;
        requests.push_back(request);
        active = true;
        return true;
    }
    bool Active() const override { return active; }
    bool Stop(std::chrono::milliseconds) override {
        ++stops;
        if (endsOnStop) active = false;
        return !active;
    }

    bool active = false;
    bool endsOnStop = true;
    int stops = 0;
    std::vector<RunRequest> requests;
};

}  // namespace zendrel::testsupport
