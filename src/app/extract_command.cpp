#include "app/extract_command.h"

#include <optional>
#include <vector>

#include "app/console_text.h"
#include "app/message_file.h"
#include "common/text.h"
#include "job/activity_log.h"
#include "job/placeholders.h"
#include "mime/attachment_saver.h"
#include "mime/extension_filter.h"
#include "mime/multipart.h"
#include "mime/saved_names.h"

namespace zendrel {
namespace {

std::string SaveFailureReason(const SaveResult& result) {
    switch (result.outcome) {
        case SaveOutcome::kNoFileName:
            return "it names no usable file";
        case SaveOutcome::kUndecodable:
            return "its content does not decode";
        case SaveOutcome::kSaved:
        case SaveOutcome::kNotWritten:
            break;
    }
    switch (result.fileError) {
        case FileError::kNotFound:
            return "the folder does not exist";
        case FileError::kAccessDenied:
            return "permission denied";
        case FileError::kNoSpace:
            return "no space left on the disk";
        case FileError::kNameTooLong:
            return "the name is too long for the file system";
        default:
            return "the file cannot be written";
    }
}

class Extraction {
public:
    Extraction(std::string folder, SaveRules rules, std::ostream& out, std::ostream& err)
        : folder_(folder), saver_(std::move(folder), std::move(rules), CalendarDate{}), out_(out), err_(err) {}

    void SaveAttachmentsOf(const std::string& path) {
        std::string error;
        // The file's text is held once: the parts are views into it, and each attachment goes to its file in pieces.
        RetrievedMessage message;
        if (!ReadMessageFile(path, message, error)) {
            Fail(path + ": " + error);
            return;
        }
        const std::vector<MessagePart> parts = SplitMessage(message.Text());
        saver_.SaveFilesOf(parts, [&](const FileSave& file) {
            if (!file.allowed) return;
            const std::string attachment = path + ": attachment " + std::to_string(file.number);
            if (file.result.outcome == SaveOutcome::kNoFileName) {
                Fail(attachment + " names no usable file");
            } else if (!file.result.Saved()) {
                Fail(attachment + " could not be saved as '" + ConsoleText(folder_) + file.name +
                     "': " + SaveFailureReason(file.result));
            } else {
                const std::string line = FormatLogLine(
                    FillPlaceholder(kMsgFileSavedEnglish, "{FILE}", ShownName(file.savedName)), CurrentLocalTime());
                out_ << ConsoleText(line) << '\n' << std::flush;
            }
        });
    }

    bool Failed() const { return failed_; }

private:
    void Fail(const std::string& reason) {
        failed_ = true;
        err_ << "zendrel: " << reason << '\n';
    }

    const std::string folder_;
    AttachmentSaver saver_;
    std::ostream& out_;
    std::ostream& err_;
    bool failed_ = false;
};

}  // namespace

int RunExtract(const ExtractRequest& request, std::ostream& out, std::ostream& err) {
    const std::optional<std::string> folder = PathArgumentText(request.folder);
    if (!folder) {
        err << "zendrel: the folder '" << request.folder << "' cannot be written as a Windows-1252 name\n";
        return 1;
    }
    SaveRules rules;
    rules.extensions = PrepareExtensionList(request.typedExtensions);
    rules.saveInline = request.saveInline;
    rules.existingFiles = request.replaceExisting ? ExistingFiles::kReplace : ExistingFiles::kKeepBoth;
    Extraction extraction(FolderWithSeparator(*folder), std::move(rules), out, err);
    for (const std::string& path : request.files) extraction.SaveAttachmentsOf(path);
    return extraction.Failed() ? 1 : 0;
}

}  // namespace zendrel
