#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>
#include <system_error>

#include "common/file_io.h"
#include "common/unique_handle_windows.h"

namespace zendrel {
namespace {

// WriteFile and ReadFile count in 32 bits.
constexpr std::size_t kMaxChunk = 1u << 30;

FileError ErrorOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
            return FileError::kNotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return FileError::kAccessDenied;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return FileError::kNoSpace;
        case ERROR_FILENAME_EXCED_RANGE:
            return FileError::kNameTooLong;
        default:
            return FileError::kOther;
    }
}

// The temporary name is short, so a name too long for the file system shows only in the rename, and there Windows
// reports it like a missing folder (or, on some file systems, an invalid name); a folder standing in the target's
// place is reported as a denied access. Both are told apart here as POSIX tells them.
FileError ErrorOfRename(const std::filesystem::path& target, DWORD error) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileError::kOther;
    DWORD longestName = 255;
    std::error_code ignored;
    const std::filesystem::path root = std::filesystem::absolute(target, ignored).root_path();
    GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, &longestName, nullptr, nullptr, 0);
    if (target.filename().native().size() > longestName) return FileError::kNameTooLong;
    return error == ERROR_INVALID_NAME ? FileError::kNameTooLong : ErrorOf(error);
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min(bytes.size(), kMaxChunk));
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// A name of fixed length beside the target, different for every process and every attempt.
std::filesystem::path TemporaryNameIn(const std::filesystem::path& folder) {
    static std::atomic<unsigned> counter{0};
    static const unsigned processTag = std::random_device{}() ^ static_cast<unsigned>(GetCurrentProcessId());
    char name[32];
    std::snprintf(name, sizeof name, "%.*s%08x%08x", static_cast<int>(kTemporaryFilePrefix.size()),
                  kTemporaryFilePrefix.data(), processTag, counter.fetch_add(1));
    return folder / name;
}

// The path as the file calls must see it. One of MAX_PATH characters or more only works in the extended form
// "\\?\C:\..." (or "\\?\UNC\server\share\..."), which the system takes as it stands: absolute, with backslashes,
// without "." and ".." parts. A long attachment name in a deep folder needs it; shorter paths stay as they are.
std::filesystem::path SystemPath(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    std::wstring text = absolute.lexically_normal().make_preferred().native();
    // Folders are refused from 248 characters on, the length that leaves room for an 8.3 name in them.
    if (text.size() < MAX_PATH - 12 || text.starts_with(LR"(\\?\)")) return path;
    if (text.starts_with(LR"(\\)")) return LR"(\\?\UNC\)" + text.substr(2);
    return LR"(\\?\)" + text;
}

// A file's last change as seconds since 1601, the count Windows keeps file times in.
std::int64_t SecondsOf(const FILETIME& time) {
    ULARGE_INTEGER ticks;
    ticks.LowPart = time.dwLowDateTime;
    ticks.HighPart = time.dwHighDateTime;
    return static_cast<std::int64_t>(ticks.QuadPart / 10'000'000);
}

}  // namespace

std::filesystem::path PathFromText(std::string_view text) {
    // The program's text is Windows-1252 whatever the system's ANSI code page is, so it is converted by that code
    // page explicitly and the paths go to the wide functions; the ANSI ones would misread every byte above 0x7F on a
    // system with another code page.
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(1252, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(1252, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return std::filesystem::path(std::move(wide));
}

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return std::filesystem::path(std::move(wide));
}

PendingFile::PendingFile(const std::filesystem::path& folder, const ByteSource& source, FileAccess)
    : folder_(SystemPath(folder.empty() ? std::filesystem::path(L".") : folder)) {
    // The temporary name is built from the folder, so it takes the form the file calls need.
    // Both kinds of access come out the same: a new file takes the access list of its folder, and the folder is what
    // keeps the settings and logs to their users on Windows.
    for (int attempt = 0;; ++attempt) {
        const std::filesystem::path temporary = TemporaryNameIn(folder_);
        UniqueHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        if (!file.valid()) {
            const DWORD error = GetLastError();
            if ((error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) && attempt < 8) continue;
            error_ = ErrorOf(error);
            return;
        }
        temporary_ = temporary;
        // The bytes reach the disk before the file takes a name that says it is whole.
        DWORD failure = ERROR_SUCCESS;
        const bool whole = source.ForEachPiece([&](std::string_view piece) {
            if (WriteAll(file.get(), piece)) return true;
            failure = GetLastError();
            return false;
        });
        if (!whole) {
            error_ = failure != ERROR_SUCCESS ? ErrorOf(failure) : FileError::kOther;
        } else if (!FlushFileBuffers(file.get())) {
            error_ = ErrorOf(GetLastError());
        }
        if (!file.Close() && error_ == FileError::kNone) error_ = ErrorOf(GetLastError());
        if (error_ != FileError::kNone) Discard();
        return;
    }
}

PendingFile::~PendingFile() { Discard(); }

void PendingFile::Discard() {
    if (!named_ && !temporary_.empty()) DeleteFileW(temporary_.c_str());
    temporary_.clear();
}

Naming PendingFile::TakeName(const std::filesystem::path& target) {
    if (error_ != FileError::kNone || named_) return Naming::kFailed;
    const std::filesystem::path systemTarget = SystemPath(target);
    // Without MOVEFILE_REPLACE_EXISTING the move fails on any existing name: test and naming are one step.
    if (MoveFileExW(temporary_.c_str(), systemTarget.c_str(), MOVEFILE_WRITE_THROUGH)) {
        named_ = true;
        Discard();
        return Naming::kNamed;
    }
    const DWORD error = GetLastError();
    // A folder of that name is refused with a denied access rather than as existing.
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ||
        GetFileAttributesW(systemTarget.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return Naming::kNameTaken;
    }
    error_ = ErrorOfRename(target, error);
    return Naming::kFailed;
}

FileError PendingFile::ReplaceName(const std::filesystem::path& target) {
    if (error_ != FileError::kNone || named_) return error_ != FileError::kNone ? error_ : FileError::kOther;
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (!MoveFileExW(temporary_.c_str(), SystemPath(target).c_str(), flags)) {
        return error_ = ErrorOfRename(target, GetLastError());
    }
    named_ = true;
    Discard();
    return FileError::kNone;
}

bool FileHolds(const std::filesystem::path& path, const ByteSource& source) {
    UniqueHandle file(CreateFileW(SystemPath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.valid() || !GetFileSizeEx(file.get(), &size) ||
        static_cast<std::uint64_t>(size.QuadPart) != source.Size()) {
        return false;
    }
    std::vector<char> buffer(64 * 1024);
    return source.ForEachPiece([&](std::string_view bytes) {
        while (!bytes.empty()) {
            DWORD count = 0;
            const DWORD wanted = static_cast<DWORD>(std::min(buffer.size(), bytes.size()));
            if (!ReadFile(file.get(), buffer.data(), wanted, &count, nullptr) || count == 0 ||
                std::memcmp(buffer.data(), bytes.data(), count) != 0) {
                return false;
            }
            bytes.remove_prefix(count);
        }
        return true;
    });
}

FileError CreateFoldersBelow(const std::filesystem::path& base, const std::filesystem::path& relative) {
    std::filesystem::path folder = base.empty() ? std::filesystem::path(L".") : base;
    const DWORD attributes = GetFileAttributesW(SystemPath(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return ErrorOf(GetLastError());
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return FileError::kNotFound;
    for (const std::filesystem::path& step : relative) {
        if (step.empty() || step == L"." || step == L"/" || step == L"\\") continue;
        folder /= step;
        // The folder inherits the access list of its parent, as the files in it do.
        if (CreateDirectoryW(SystemPath(folder).c_str(), nullptr)) continue;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS) return ErrorOf(error);
        // Something of that name: a folder will do, a file stands in the way.
        const DWORD existing = GetFileAttributesW(SystemPath(folder).c_str());
        if (existing == INVALID_FILE_ATTRIBUTES || (existing & FILE_ATTRIBUTE_DIRECTORY) == 0) return FileError::kOther;
    }
    return FileError::kNone;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
    // Others may go on writing, replacing or removing the file meanwhile, as they could on POSIX.
    UniqueHandle file(CreateFileW(SystemPath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return std::nullopt;
    std::string bytes;
    LARGE_INTEGER size;
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[64 * 1024];
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &count, nullptr)) return std::nullopt;
        if (count == 0) return bytes;
        bytes.append(buffer, count);
    }
}

FolderCreation CreatePrivateFolders(const std::filesystem::path& folder) {
    std::filesystem::path existing = folder;
    while (!existing.empty() && existing.filename().empty() && existing != existing.root_path()) {
        existing = existing.parent_path();
    }
    if (existing.empty()) return FolderCreation::kFailed;
    const DWORD attributes = GetFileAttributesW(SystemPath(existing).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FolderCreation::kExisted : FolderCreation::kFailed;
    }
    const std::filesystem::path parent = existing.parent_path();
    if (parent.empty() || parent == existing) return FolderCreation::kFailed;
    if (CreatePrivateFolders(parent) == FolderCreation::kFailed) return FolderCreation::kFailed;
    // The folder inherits the access list of its parent, as for the files in it.
    if (!CreateDirectoryW(SystemPath(existing).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return FolderCreation::kFailed;
    }
    return FolderCreation::kCreated;
}

void RemoveStaleTemporaryFiles(const std::filesystem::path& folder, std::chrono::seconds age) {
    const std::filesystem::path pattern =
        (folder.empty() ? std::filesystem::path(L".") : folder) / (std::string(kTemporaryFilePrefix) + "*");
    WIN32_FIND_DATAW entry;
    const UniqueFindHandle search(FindFirstFileW(pattern.c_str(), &entry));
    if (!search.valid()) return;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const std::int64_t oldest = SecondsOf(now) - static_cast<std::int64_t>(age.count());
    do {
        // The search also matches the short 8.3 names of other files; the long name decides.
        const std::wstring_view name(entry.cFileName);
        const std::filesystem::path prefix{std::string(kTemporaryFilePrefix)};
        if (name.substr(0, prefix.native().size()) != prefix.native()) continue;
        if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) continue;
        if (SecondsOf(entry.ftLastWriteTime) < oldest) {
            DeleteFileW(((folder.empty() ? std::filesystem::path(L".") : folder) / entry.cFileName).c_str());
        }
    } while (FindNextFileW(search.get(), &entry));
}

}  // namespace zendrel
