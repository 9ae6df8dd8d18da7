#include "app/extract_command.h"

#include <optional>
#include <vector>

#include "app/console_text.h"
#include "app/message_file.h"
#include "common/text.h"
#include "job/activity_log.h"
#include "job/placeholders.h"
#include "mime/attachments.h"
#include "mime/extension_filter.h"
#include "mime/multipart.h"
#include "mime/part_writer.h"

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

// Splits one message file. The file's text is released before the attachments are decoded, so a large message is
// held at most twice (its text and its parts) at any time.
std::optional<std::vector<MessagePart>> ReadMessageParts(const std::string& path, std::string& error) {
    RetrievedMessage message;
    if (!ReadMessageFile(path, message, error)) return std::nullopt;
    return SplitMessage(message.Text());
}

class Extraction {
public:
    Extraction(std::string folder, std::string extensions, std::ostream& out, std::ostream& err)
        : folder_(std::move(folder)), extensions_(std::move(extensions)), out_(out), err_(err) {}

    void SaveAttachmentsOf(const std::string& path) {
        std::string error;
        const std::optional<std::vector<MessagePart>> parts = ReadMessageParts(path, error);
        if (!parts) {
            Fail(path + ": " + error);
            return;
        }
        const int count = CountAttachments(*parts);
        for (int n = 1; n <= count; ++n) {
            const std::optional<std::size_t> at = FindAttachment(*parts, n);
            if (!at) continue;
            const MessagePart& part = (*parts)[*at];
            const std::string name = GetAttachmentName(part);
            if (!IsExtensionAllowed(name, extensions_)) continue;
            if (name.empty()) {
                Fail(path + ": attachment " + std::to_string(n) + " names no usable file");
                continue;
            }
            const SaveResult saved = SavePart(part, folder_, name);
            if (!saved.Saved()) {
                Fail(path + ": attachment " + std::to_string(n) + " could not be saved as '" +
                     ConsoleText(folder_ + name) + "': " + SaveFailureReason(saved));
                continue;
            }
            const std::string line =
                FormatLogLine(FillPlaceholder(kMsgFileSavedEnglish, "{FILE}", name), CurrentLocalTime());
            out_ << ConsoleText(line) << '\n' << std::flush;
        }
    }

    bool Failed() const { return failed_; }

private:
    void Fail(const std::string& reason) {
        failed_ = true;
        err_ << "zendrel: " << reason << '\n';
    }

    const std::string folder_;
    const std::string extensions_;
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
    Extraction extraction(FolderWithSeparator(*folder), PrepareExtensionList(request.typedExtensions), out, err);
    for (const std::string& path : request.files) extraction.SaveAttachmentsOf(path);
    return extraction.Failed() ? 1 : 0;
}

}  // namespace zendrel
