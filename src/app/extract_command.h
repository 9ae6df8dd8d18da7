#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "job/save_folder.h"

namespace zendrel {

// The English text the activity log shows for each saved attachment.
inline constexpr std::string_view kMsgFileSavedEnglish = "File '{FILE}' saved!";

// zendrel --extract: saves the allowed attachments of every message file, attachment 1 first as a mailbox run does,
// and prints one activity-log line per saved file on `out`. Reasons for failures go to `err`.
// Returns the exit status: 0 when every file was read and every allowed attachment saved, 1 otherwise.
int RunExtract(const ExtractRequest& request, std::ostream& out, std::ostream& err);

}  // namespace zendrel
