#include "mime/part_writer.h"

#include <new>
#include <optional>
#include <string>

#include "mime/transfer_decoding.h"

namespace zendrel {

SaveResult SavePart(const MessagePart& part, std::string_view folder, std::string_view utf8FileName) {
    if (utf8FileName.empty()) return {SaveOutcome::kNoFileName};
    try {
        std::filesystem::path target = PathFromText(folder);
        target += PathFromUtf8(utf8FileName);
        // Goes to the file piece by piece: the decoded content is never whole in memory.
        const DecodedContent content(part);
        if (!content.Decodes()) return {SaveOutcome::kUndecodable};
        const FileError error = WriteFileAtomically(target, content, FileAccess::kUsual);
        if (error != FileError::kNone) return {SaveOutcome::kNotWritten, error};
        return {};
    } catch (const std::bad_alloc&) {
        // Memory that is short now may be there at another time.
        return {SaveOutcome::kNotWritten, FileError::kOther};
    }
}

}  // namespace zendrel
