#pragma once

#include <string_view>

#include "common/file_io.h"
#include "mime/message_part.h"

namespace zendrel {

enum class SaveOutcome {
    kSaved,
    kNoFileName,   // no name to save under: no retry can change that
    kUndecodable,  // the content does not decode: no retry can change that either
    kNotWritten,   // the file could not be written (see the FileError); a later attempt may succeed
};

struct [[nodiscard]] SaveResult {
    SaveOutcome outcome = SaveOutcome::kSaved;
    FileError fileError = FileError::kNone;  // why the write failed, for kNotWritten

    bool Saved() const { return outcome == SaveOutcome::kSaved; }
    // A failure that only the mail itself could change.
    bool Permanent() const { return outcome == SaveOutcome::kNoFileName || outcome == SaveOutcome::kUndecodable; }
};

// Writes the part's transfer-decoded content to folder + fileName (joined as they stand; the caller supplies the
// separator). The folder is program text (Windows-1252), the name UTF-8 as GetAttachmentName gives it. The file takes
// its name only when it is whole and on disk, so an existing file is replaced only by a complete one; a failure leaves
// no file.
SaveResult SavePart(const MessagePart& part, std::string_view folder, std::string_view utf8FileName);

}  // namespace zendrel
