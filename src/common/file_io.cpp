// What both systems' file code builds on the same way: the in-memory forms and the whole-file write.
#include "common/file_io.h"

namespace zendrel {

FileError WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes, FileAccess access) {
    return WriteFileAtomically(target, BytesInMemory(bytes), access);
}

FileError WriteFileAtomically(const std::filesystem::path& target, const ByteSource& source, FileAccess access) {
    PendingFile file(target.parent_path(), source, access);
    if (file.Error() != FileError::kNone) return file.Error();
    return file.ReplaceName(target);
}

bool FileHolds(const std::filesystem::path& path, std::string_view bytes) {
    return FileHolds(path, BytesInMemory(bytes));
}

}  // namespace zendrel
