// Another process for the tests of the shared log file, to play the service or a second writer:
//   log_writer --write DATA_FOLDER PREFIX COUNT
//       writes the user messages "PREFIX-0" to "PREFIX-<COUNT-1>" through the activity log as the service process
//       does (to the view and to "log.txt"), one after the other; exits 0
//   log_writer --try-open FILE
//       exits 0 when it could open FILE as its writer, 1 when it was refused
// Wrong arguments exit 2.

#include <charconv>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "job/activity_log.h"
#include "platform/locked_log_files.h"

namespace {

class DiscardingView final : public zendrel::LogView {
public:
    void AppendRow(const std::string&) override {}
    bool HasRow(const std::string&) const override { return false; }
};

int WriteLines(const char* dataFolder, const std::string& prefix, const char* countText) {
    int count = 0;
    const char* end = countText + std::strlen(countText);
    const std::from_chars_result parsed = std::from_chars(countText, end, count);
    if (parsed.ec != std::errc() || parsed.ptr != end || count < 0) return 2;
    DiscardingView view;
    zendrel::LockedLogFiles files;
    zendrel::ActivityLog log(dataFolder, view, files);
    for (int i = 0; i < count; ++i) log.WriteLog(prefix + "-" + std::to_string(i), zendrel::LogDestination::kViewAndSharedFile);
    return 0;
}

int TryOpen(const char* file) {
    zendrel::LockedLogFiles files;
    return files.Open(file) != nullptr ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--write") == 0) return WriteLines(argv[2], argv[3], argv[4]);
    if (argc == 3 && std::strcmp(argv[1], "--try-open") == 0) return TryOpen(argv[2]);
    return 2;
}
