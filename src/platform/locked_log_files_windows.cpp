#include "platform/locked_log_files.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>

#include "common/unique_handle_windows.h"

namespace zendrel {
namespace {

// WriteFile and ReadFile take 32-bit counts.
constexpr std::size_t kMaxChunk = 1u << 30;

class LockedLogFile final : public SharedLogFile {
public:
    explicit LockedLogFile(UniqueHandle file) : file_(std::move(file)) {}

    bool Append(std::string_view bytes) override;
    std::optional<std::string> ReadAll() override;
    bool Truncate() override;

private:
    bool MoveTo(LONGLONG offset, DWORD from) {
        LARGE_INTEGER distance;
        distance.QuadPart = offset;
        return SetFilePointerEx(file_.get(), distance, nullptr, from) != 0;
    }

    UniqueHandle file_;
};

bool LockedLogFile::Append(std::string_view bytes) {
    if (!MoveTo(0, FILE_END)) return false;
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min(bytes.size(), kMaxChunk));
        if (!WriteFile(file_.get(), bytes.data(), chunk, &written, nullptr)) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

std::optional<std::string> LockedLogFile::ReadAll() {
    if (!MoveTo(0, FILE_BEGIN)) return std::nullopt;
    std::string bytes;
    LARGE_INTEGER size;
    if (GetFileSizeEx(file_.get(), &size) && size.QuadPart > 0) bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[64 * 1024];
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file_.get(), buffer, sizeof buffer, &count, nullptr)) return std::nullopt;
        if (count == 0) return bytes;
        bytes.append(buffer, count);
    }
}

bool LockedLogFile::Truncate() { return MoveTo(0, FILE_BEGIN) && SetEndOfFile(file_.get()) != 0; }

}  // namespace

std::unique_ptr<SharedLogFile> LockedLogFiles::Open(const std::filesystem::path& file) {
    // Sharing reading only: while this handle is open, every other open for writing, in this process or another,
    // fails with a sharing violation, and the file is free again the moment the handle is closed, also when the
    // process dies. The file keeps the folder's permissions: on Windows the data folder is shared by the service and
    // the user's window, and its access list is the place that decides who reads the log.
    UniqueHandle handle(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) return nullptr;
    return std::make_unique<LockedLogFile>(std::move(handle));
}

}  // namespace zendrel
