#pragma once
// The files of a retrieved message, saved the way the mailbox run saves them.

#include <string>
#include <vector>

#include "mime/attachment_saver.h"
#include "mime/mail_message.h"
#include "pop3/mail_session.h"

namespace zendrel::testsupport {

// Takes the message the session retrieved last and saves all its files into `folder` (given with its trailing
// separator); the names of those saved, in the order they were saved.
inline std::vector<std::string> SaveRetrievedFiles(MailSession& session, const std::string& folder) {
    const MailMessage message(session.TakeMessage());
    std::vector<std::string> saved;
    AttachmentSaver(folder, SaveRules{}, CalendarDate{}).SaveFilesOf(message.Parts(), [&](const FileSave& file) {
        if (file.result.Saved()) saved.push_back(file.savedName);
    });
    return saved;
}

}  // namespace zendrel::testsupport
