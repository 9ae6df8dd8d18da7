#include "job/activity_log.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "common/text.h"

namespace zendrel {
namespace {

// The window holds "log.txt" only for the moment of a take-over, so a writer that finds it held waits a little for it
// instead of losing the line at once; only a file held for longer than this loses the line.
constexpr std::chrono::milliseconds kAppendPatience{250};
constexpr std::chrono::milliseconds kAppendRetryInterval{5};

// The lines of a file: each ends at CR LF, CR or LF. A terminator at the very end does not start another line, but
// two terminators in a row enclose an empty one.
std::vector<std::string_view> SplitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
        if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n') ++start;
    }
    return lines;
}

}  // namespace

std::string FormatLogLine(std::string_view text, const std::tm& localTime) {
    if (text.empty()) return {};
    std::string line;
    line.reserve(9 + text.size());
    AppendTwoDigits(line, localTime.tm_hour);
    line += ':';
    AppendTwoDigits(line, localTime.tm_min);
    line += ':';
    AppendTwoDigits(line, localTime.tm_sec);
    line += ' ';
    line += text;
    return line;
}

ActivityLog::ActivityLog(std::filesystem::path dataFolder, LogView& view, SharedLogFiles& files,
                         std::function<std::tm()> localTime)
    : dataFolder_(std::move(dataFolder)), view_(view), files_(files), localTime_(std::move(localTime)) {}

void ActivityLog::WriteLog(std::string_view text, LogDestination destination) {
    const std::string line = FormatLogLine(text, localTime_());
    switch (destination) {
        case LogDestination::kView:
            view_.AppendRow(line);
            return;
        case LogDestination::kViewAndSharedFile:
            view_.AppendRow(line);
            AppendLine(kSharedLogName, line);
            return;
        case LogDestination::kDiagnosticFile:
            AppendLine(kDiagnosticLogName, line);
            return;
    }
}

void ActivityLog::TakeOverSharedLog(bool skipKnownLines) {
    const std::filesystem::path path = dataFolder_ / kSharedLogName;
    if (skipKnownLines) {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        if (error || size == 0) return;
    }
    const std::unique_ptr<SharedLogFile> file = files_.Open(path);
    if (!file) return;
    const std::optional<std::string> bytes = file->ReadAll();
    // Emptying a file that could not be read would lose its lines; the next take-over tries again.
    if (!bytes) return;
    for (const std::string_view line : SplitLines(*bytes)) {
        std::string row(line);
        if (!skipKnownLines || !view_.HasRow(row)) view_.AppendRow(row);
    }
    file->Truncate();
}

void ActivityLog::AppendLine(const char* fileName, std::string_view line) {
    const std::filesystem::path path = dataFolder_ / fileName;
    std::string bytes;
    bytes.reserve(line.size() + 2);
    bytes += line;
    bytes += "\r\n";
    const auto deadline = std::chrono::steady_clock::now() + kAppendPatience;
    for (;;) {
        if (const std::unique_ptr<SharedLogFile> file = files_.Open(path)) {
            file->Append(bytes);
            return;
        }
        // Only an existing file can be held by another writer; a missing folder will not appear by waiting, and
        // every line would stall the run for nothing.
        std::error_code error;
        if (!std::filesystem::exists(path, error) || std::chrono::steady_clock::now() >= deadline) return;
        std::this_thread::sleep_for(kAppendRetryInterval);
    }
}

}  // namespace zendrel
