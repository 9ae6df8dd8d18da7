#include <windows.h>

#include <string>
#include <system_error>

#include "common/md5.h"
#include "common/unique_handle_windows.h"
#include "platform/data_folder_locks.h"

namespace zendrel {
namespace {

namespace fs = std::filesystem;

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// The window's mutex lives in the Global namespace, so that a window of the same folder in another session counts as
// well; the event that asks the window forward lives in the session's own, where its window is.
std::wstring MutexName(const fs::path& dataFolder) {
    return L"Global\\Zendrel-Window-" + Wide(DataFolderLockName(dataFolder));
}
std::wstring EventName(const fs::path& dataFolder) {
    return L"Local\\Zendrel-Forward-" + Wide(DataFolderLockName(dataFolder));
}

class MutexClaim final : public WindowClaim {
public:
    MutexClaim(UniqueHandle mutex, UniqueHandle forward) : mutex_(std::move(mutex)), forward_(std::move(forward)) {}

    bool TakeForwardRequest() override {
        return forward_.valid() && WaitForSingleObject(forward_.get(), 0) == WAIT_OBJECT_0;
    }

private:
    UniqueHandle mutex_;  // its existence is the claim; nobody waits for it
    UniqueHandle forward_;
};

// A claim the system could not make: it excludes nobody and is never asked anything.
class NoClaim final : public WindowClaim {
public:
    bool TakeForwardRequest() override { return false; }
};

class FileRunLock final : public RunLock {
public:
    explicit FileRunLock(UniqueHandle file) : file_(std::move(file)) {}

private:
    UniqueHandle file_;
};

class WindowsDataFolderLocks final : public DataFolderLocks {
public:
    std::unique_ptr<WindowClaim> ClaimWindow(const fs::path& dataFolder) override {
        UniqueHandle mutex(CreateMutexW(nullptr, FALSE, MutexName(dataFolder).c_str()));
        const DWORD error = GetLastError();
        if (mutex.valid() && error == ERROR_ALREADY_EXISTS) {
            AskForward(dataFolder);
            return nullptr;
        }
        if (!mutex.valid()) return std::make_unique<NoClaim>();
        // Auto-reset: one request, one coming forward.
        UniqueHandle forward(CreateEventW(nullptr, FALSE, FALSE, EventName(dataFolder).c_str()));
        return std::make_unique<MutexClaim>(std::move(mutex), std::move(forward));
    }

    // A file opened without sharing: a second open fails with a sharing violation until the first handle closes.
    RunLockResult LockRun(const fs::path& dataFolder) override {
        UniqueHandle file(CreateFileW((dataFolder / kRunLockFileName).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            return {GetLastError() == ERROR_SHARING_VIOLATION ? RunLockState::kHeld : RunLockState::kUnavailable,
                    nullptr};
        }
        return {RunLockState::kLocked, std::make_unique<FileRunLock>(std::move(file))};
    }

private:
    // The process that the user just started may hand the foreground on; the first window then takes it.
    static void AskForward(const fs::path& dataFolder) {
        const UniqueHandle forward(OpenEventW(EVENT_MODIFY_STATE, FALSE, EventName(dataFolder).c_str()));
        if (!forward.valid()) return;
        AllowSetForegroundWindow(ASFW_ANY);
        SetEvent(forward.get());
    }
};

}  // namespace

// Windows' file names ignore letter case, so the name does too.
std::string DataFolderLockName(const fs::path& dataFolder) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(dataFolder, error);
    if (error) resolved = dataFolder.lexically_normal();
    std::wstring text = resolved.wstring();
    while (text.size() > 3 && (text.back() == L'\\' || text.back() == L'/')) text.pop_back();
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    const std::u8string utf8 = fs::path(text).u8string();
    return Md5Hex(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

std::unique_ptr<DataFolderLocks> CreateDataFolderLocks() { return std::make_unique<WindowsDataFolderLocks>(); }

}  // namespace zendrel
