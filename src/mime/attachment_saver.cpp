#include "mime/attachment_saver.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

#include "common/text.h"
#include "mime/attachments.h"
#include "mime/extension_filter.h"
#include "mime/header_field.h"
#include "mime/header_params.h"
#include "mime/saved_names.h"
#include "mime/transfer_decoding.h"

namespace zendrel {
namespace {

// A write in progress takes seconds at most; a temporary file this old was left by a process that died.
constexpr std::chrono::hours kStaleTemporaryAge(1);
// Numbered names are tried up to this one; a name taken so often stands for a mistake, not for files to keep.
constexpr int kLastNumber = 9999;

// The first word of a Content-Disposition value, lower-cased: "inline" of 'Inline; filename="a.pdf"'.
std::string DispositionType(const MessagePart& part) {
    const std::string value = GetHeaderField(part.header, "content-disposition");
    std::size_t begin = 0;
    while (begin < value.size() && IsWhiteSpace(value[begin])) ++begin;
    std::size_t end = begin;
    while (end < value.size() && value[end] != ';' && !IsWhiteSpace(value[end])) ++end;
    return LowerCase(std::string_view(value).substr(begin, end - begin));
}

bool NamesAFile(const MessagePart& part) {
    const auto named = [](std::optional<std::string> value) { return value && !value->empty(); };
    return named(GetHeaderParameter(GetHeaderField(part.header, "content-disposition"), "filename")) ||
           named(GetHeaderParameter(GetHeaderField(part.header, "content-type"), "name"));
}

bool IsInlineFile(const MessagePart& part) {
    if (DispositionType(part) != "inline" || !NamesAFile(part)) return false;
    // A multipart's own record holds its preamble, never a file.
    const std::string type = GetHeaderField(part.header, "content-type");
    const std::size_t begin = std::min(type.find_first_not_of(" \t\r\n"), type.size());
    return !StartsWithNoCase(std::string_view(type).substr(begin), "multipart/");
}

bool Exists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

}  // namespace

bool IsFilePart(const MessagePart& part, bool saveInline) {
    return IsAttachment(part) || (saveInline && IsInlineFile(part));
}

int CountFileParts(const std::vector<MessagePart>& parts, bool saveInline) {
    int count = 0;
    for (const MessagePart& part : parts) count += IsFilePart(part, saveInline) ? 1 : 0;
    return count;
}

AttachmentSaver::AttachmentSaver(std::string folder, SaveRules rules, CalendarDate today)
    : folder_(std::move(folder)), rules_(std::move(rules)), today_(today) {}

void AttachmentSaver::SaveFilesOf(const std::vector<MessagePart>& parts,
                                  const std::function<void(const FileSave&)>& report) {
    // The first record is the message's own: its header names the sender and the date.
    std::optional<std::string> subFolder;
    bool subFolderKnown = false;
    int number = 0;
    for (const MessagePart& part : parts) {
        if (!IsFilePart(part, rules_.saveInline)) continue;
        FileSave save;
        save.number = ++number;
        save.name = SaveNameOf(part);
        // The list judges the name the part gives, as the user sees it in the mail.
        save.allowed = IsExtensionAllowed(Utf8ToWindows1252Lossy(GetAttachmentName(part)), rules_.extensions);
        if (save.allowed && !save.name.empty()) {
            if (!subFolderKnown) {
                subFolder = ExpandSubFolder(rules_.subFolder, parts.front().header, today_);
                subFolderKnown = true;
            }
            if (subFolder) {
                SaveOne(part, *subFolder, save);
            } else {
                // A template refused when it was set cannot name a folder; the mail waits for a better one.
                save.result = {SaveOutcome::kNotWritten, FileError::kOther};
            }
        } else if (save.allowed) {
            save.result = {SaveOutcome::kNoFileName};
        }
        report(save);
    }
}

std::filesystem::path AttachmentSaver::SaveFolderPath() const {
    return folder_.empty() ? std::filesystem::path(".") : PathFromText(folder_);
}

FileError AttachmentSaver::PrepareFolder(const std::string& subFolder) {
    const std::string folder = folder_ + subFolder;
    if (preparedFolders_.count(folder) != 0) return FileError::kNone;
    if (!subFolder.empty()) {
        const FileError error = CreateFoldersBelow(SaveFolderPath(), PathOfSavedName(subFolder));
        if (error != FileError::kNone) return error;
    }
    // Leftovers of a process killed while writing here, looked for before the first write into the folder.
    RemoveStaleTemporaryFiles(SaveFolderPath() / PathOfSavedName(subFolder), kStaleTemporaryAge);
    preparedFolders_.insert(folder);
    return FileError::kNone;
}

void AttachmentSaver::SaveOne(const MessagePart& part, const std::string& subFolder, FileSave& save) {
    try {
        // Goes to the file piece by piece: the decoded attachment is never whole in memory.
        const DecodedContent content(part);
        if (!content.Decodes()) {
            save.result = {SaveOutcome::kUndecodable};
            return;
        }
        if (const FileError error = PrepareFolder(subFolder); error != FileError::kNone) {
            save.result = {SaveOutcome::kNotWritten, error};
            return;
        }
        WriteWithFreeName(content, subFolder, save);
    } catch (const std::bad_alloc&) {
        // Memory that is short now may be there at another time.
        save.result = {SaveOutcome::kNotWritten, FileError::kOther};
    }
}

void AttachmentSaver::WriteWithFreeName(const ByteSource& content, const std::string& subFolder, FileSave& save) {
    const std::string prefix =
        subFolder.empty() ? std::string() : subFolder + static_cast<char>(std::filesystem::path::preferred_separator);
    const auto targetOf = [&](const std::string& name) { return SaveFolderPath() / PathOfSavedName(prefix + name); };
    const auto done = [&](const std::string& name, bool alreadyThere) {
        save.result = {};
        save.savedName = prefix + name;
        save.alreadyThere = alreadyThere;
    };

    if (rules_.existingFiles == ExistingFiles::kReplace) {
        const std::filesystem::path target = targetOf(save.name);
        PendingFile file(target.parent_path(), content, FileAccess::kUsual);
        const FileError error = file.Error() != FileError::kNone ? file.Error() : file.ReplaceName(target);
        if (error != FileError::kNone) {
            save.result = {SaveOutcome::kNotWritten, error};
            return;
        }
        done(save.name, false);
        return;
    }

    // The file is written once, when the first free name turns up, and then offered that name and the following
    // ones: a name that another writer takes in between is only one more name that is taken.
    std::optional<PendingFile> file;
    for (int n = 1; n <= kLastNumber; ++n) {
        const std::string name = n == 1 ? save.name : NumberedName(save.name, n);
        const std::filesystem::path target = targetOf(name);
        if (!Exists(target)) {
            if (!file) file.emplace(target.parent_path(), content, FileAccess::kUsual);
            const Naming naming = file->TakeName(target);
            if (naming == Naming::kNamed) {
                done(name, false);
                return;
            }
            if (naming == Naming::kFailed) {
                save.result = {SaveOutcome::kNotWritten, file->Error()};
                return;
            }
        }
        // A mail examined again (after a restart, or by the service beside the window) finds its own file.
        if (FileHolds(target, content)) {
            done(name, true);
            return;
        }
    }
    save.result = {SaveOutcome::kNotWritten, FileError::kOther};
}

}  // namespace zendrel
