#pragma once
// The one way the files of a message are saved, for the mailbox run and for --extract alike: which parts are files,
// which of them the extension list allows, the folder below the save folder, the name that no other file holds yet
// (or the file that already holds the same bytes), and the write that is whole or nothing.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "mime/message_part.h"
#include "common/existing_files.h"
#include "mime/part_writer.h"
#include "mime/sub_folder.h"

namespace zendrel {

struct SaveRules {
    std::string extensions;  // prepared (PrepareExtensionList); empty allows every name
    bool saveInline = false;  // also inline parts that name a file, as Apple Mail sends PDFs
    ExistingFiles existingFiles = ExistingFiles::kKeepBoth;
    std::string subFolder;  // template of the folders below the save folder (IsValidSubFolderTemplate); empty: none
};

// What became of one file part of a message.
struct FileSave {
    int number = 0;         // among the message's file parts, from 1 in the order they are saved
    std::string name;       // the part's own name (SaveNameOf); empty when it names none
    bool allowed = false;   // the extension list lets it through; nothing else was done otherwise
    SaveResult result;      // for an allowed part
    // Where the file is, relative to the save folder (subfolders and number included); for a saved part only.
    std::string savedName;
    bool alreadyThere = false;  // a file with exactly these bytes was there already: nothing new was written
};

// The message's parts that are files: attachments, and with `saveInline` also inline parts that name a file. The
// message's own text and HTML without a file name never are.
bool IsFilePart(const MessagePart& part, bool saveInline);
int CountFileParts(const std::vector<MessagePart>& parts, bool saveInline);

// Saves into one save folder for as long as it lives (a mailbox run, an extract command).
class AttachmentSaver {
public:
    // `folder` is joined with the names as it stands (see FolderWithSeparator); `today` stands in for a mail without
    // a readable Date.
    AttachmentSaver(std::string folder, SaveRules rules, CalendarDate today);

    // Saves the allowed file parts of one message (its parts as SplitMessage gives them), file part 1 first, and
    // tells `report` about each file part as soon as it is done with it.
    void SaveFilesOf(const std::vector<MessagePart>& parts, const std::function<void(const FileSave&)>& report);

private:
    // The save folder as a path: settings text, Windows-1252, where the names below it are UTF-8.
    std::filesystem::path SaveFolderPath() const;
    // The folder of this message's files, created when needed; the error when it could not be.
    FileError PrepareFolder(const std::string& subFolder);
    void SaveOne(const MessagePart& part, const std::string& subFolder, FileSave& save);
    // Writes `content` under the first name of the series that is free or already holds it.
    void WriteWithFreeName(const ByteSource& content, const std::string& subFolder, FileSave& save);

    const std::string folder_;
    const SaveRules rules_;
    const CalendarDate today_;
    std::set<std::string> preparedFolders_;  // cleared of stale temporary files, once each
};

}  // namespace zendrel
