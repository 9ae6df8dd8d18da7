#pragma once
// The file calls the standard library lacks: a file written whole or not at all, named without replacing another,
// private permissions, flushing to disk, and the program's Windows-1252 text as a path of this system. One
// implementation file per operating system; these are the only OS calls below platform.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zendrel {

// The bytes of a file to be, handed out a piece at a time: what the program writes need never be whole in memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // How many bytes the pieces add up to.
    virtual std::uint64_t Size() const = 0;
    // Hands the bytes to `take` in order, as often as it is called; false when they could not all be had or `take`
    // returned false.
    virtual bool ForEachPiece(const std::function<bool(std::string_view)>& take) const = 0;
};

// Bytes that are in memory already, as one piece.
class BytesInMemory final : public ByteSource {
public:
    explicit BytesInMemory(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool ForEachPiece(const std::function<bool(std::string_view)>& take) const override { return take(bytes_); }

private:
    std::string_view bytes_;
};

// Who may read a file the program writes.
enum class FileAccess {
    kOwnerOnly,  // the settings and the logs: 0600 on POSIX
    kUsual,      // saved attachments: whatever the process's umask allows, as for any download
};

// Why a file could not be written. Every one of them may go away by itself (a folder created, space freed).
enum class [[nodiscard]] FileError {
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

// What came of giving a written file its name.
enum class [[nodiscard]] Naming {
    kNamed,      // the file has the name
    kNameTaken,  // a file or folder already has that name; nothing was changed
    kFailed,     // see the file's Error()
};

// A file written whole and flushed to disk before it gets a name, so that nothing half-written ever carries a name
// that says it is whole. On Linux it is an anonymous file while it waits; elsewhere (and where the file system has no
// anonymous files) it has a temporary name of fixed length in its folder, so a final name near the file system's
// limit still fits. A file that never gets its name goes with the object.
class PendingFile {
public:
    // Writes `bytes` into a new file in `folder` (empty: the current folder); Error() says whether that worked.
    PendingFile(const std::filesystem::path& folder, std::string_view bytes, FileAccess access)
        : PendingFile(folder, BytesInMemory(bytes), access) {}
    // The same with the bytes of `source`, taken a piece at a time.
    PendingFile(const std::filesystem::path& folder, const ByteSource& source, FileAccess access);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    FileError Error() const { return error_; }
    // Gives the file the name `target` in its folder only if nothing has that name yet: the test and the naming are
    // one step of the file system, so two writers never end up under one name.
    Naming TakeName(const std::filesystem::path& target);
    // Gives the file the name `target` in its folder, replacing a file of that name in one step.
    FileError ReplaceName(const std::filesystem::path& target);

private:
    void Discard();

    std::filesystem::path folder_;
    FileError error_ = FileError::kNone;
    int descriptor_ = -1;                // the anonymous file, where there is one
    std::filesystem::path temporary_;    // the temporary name, where the file has one
    bool named_ = false;
};

// Makes `target` hold exactly `bytes`, replacing an existing file: the target is either the old file or the whole
// new one (a PendingFile that replaces the name).
FileError WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes, FileAccess access);
FileError WriteFileAtomically(const std::filesystem::path& target, const ByteSource& source, FileAccess access);

// Whether `path` is a file that holds exactly `bytes`. Reads it in pieces, and only when its size matches.
bool FileHolds(const std::filesystem::path& path, std::string_view bytes);
bool FileHolds(const std::filesystem::path& path, const ByteSource& source);

// Creates the folders of `relative` below `base` as needed, with the access any program's folders get. `base` itself
// must exist (kNotFound otherwise): a save folder that is missing, an unplugged drive say, is not made anew.
FileError CreateFoldersBelow(const std::filesystem::path& base, const std::filesystem::path& relative);

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

enum class [[nodiscard]] FolderCreation { kCreated, kExisted, kFailed };
// Creates `folder` and every missing folder above it, private to the owner (0700 on POSIX). kCreated when at least
// one folder had to be made.
FolderCreation CreatePrivateFolders(const std::filesystem::path& folder);

// Removes the temporary files (by kTemporaryFilePrefix) in `folder` that are older than `age`: a writer that is still
// alive finishes within seconds, so an older one was left by a process that died.
void RemoveStaleTemporaryFiles(const std::filesystem::path& folder, std::chrono::seconds age);

}  // namespace zendrel
