#pragma once
// The file calls the standard library lacks: a file written whole or not at all, private permissions, flushing to
// disk, and the program's Windows-1252 text as a path of this system. One implementation file per operating system;
// these are the only OS calls below platform.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zendrel {

// Who may read a file the program writes.
enum class FileAccess {
    kOwnerOnly,  // the settings and the logs: 0600 on POSIX
    kUsual,      // saved attachments: whatever the process's umask allows, as for any download
};

// Why a file could not be written. Every one of them may go away by itself (a folder created, space freed).
enum class FileError {
    kNone = 0,
    kNotFound,      // the folder is missing
    kAccessDenied,  // no permission, or a read-only file system
    kNoSpace,       // disk full or quota exceeded
    kNameTooLong,   // the name does not fit the file system
    kOther,
};

// Names that a write in progress uses in the target's folder. A process killed in the middle of a write can leave
// one behind; RemoveStaleTemporaryFiles takes such leftovers away.
inline constexpr std::string_view kTemporaryFilePrefix = ".zendrel-";

// The program's text (Windows-1252) as a path: UTF-8 on POSIX, UTF-16 on Windows.
std::filesystem::path PathFromText(std::string_view text);
// An attachment's name, UTF-8 that keeps every character, as a path: its bytes unchanged on POSIX, UTF-16 on Windows.
std::filesystem::path PathFromUtf8(std::string_view utf8);

// How this system measures a file name, and the longest it takes: 255 bytes of UTF-8 on POSIX file systems, 255
// UTF-16 units on Windows. (A path longer than Windows' 260 characters goes to the file calls below in the
// extended "\\?\" form, so such a name fits in any folder.)
enum class FileNameUnit { kUtf8Byte, kUtf16Unit };
#ifdef _WIN32
inline constexpr FileNameUnit kFileNameUnit = FileNameUnit::kUtf16Unit;
#else
inline constexpr FileNameUnit kFileNameUnit = FileNameUnit::kUtf8Byte;
#endif
inline constexpr std::size_t kLongestFileName = 255;

// Makes `target` hold exactly `bytes`. The bytes go to an anonymous file (Linux) or to a temporary name of fixed
// length in the target's folder, are flushed to disk, and only then take the target's name, replacing an existing
// file. So the target is either the old file or the whole new one, and a name near the file system's limit still fits.
FileError WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes, FileAccess access);

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

enum class FolderCreation { kCreated, kExisted, kFailed };
// Creates `folder` and every missing folder above it, private to the owner (0700 on POSIX). kCreated when at least
// one folder had to be made.
FolderCreation CreatePrivateFolders(const std::filesystem::path& folder);

// Removes the temporary files (by kTemporaryFilePrefix) in `folder` that are older than `age`: a writer that is still
// alive finishes within seconds, so an older one was left by a process that died.
void RemoveStaleTemporaryFiles(const std::filesystem::path& folder, std::chrono::seconds age);

}  // namespace zendrel
