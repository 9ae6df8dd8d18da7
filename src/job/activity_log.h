#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "common/local_time.h"
#include "common/shared_log_file.h"

namespace zendrel {


// A line of the activity log: the time of day as "%hh:%ii:%ss", a blank and the text. An empty text gives an empty
// line without a time stamp, which the run uses as a separator.
std::string FormatLogLine(std::string_view text, const std::tm& localTime);

// Where a log line goes.
enum class LogDestination {
    kView,               // the view only: the shell's own messages, and a run's in a window
    kViewAndSharedFile,  // the view and "log.txt": a run's user messages in the service, for the window to take over
    kDiagnosticFile,     // "log_long.txt" only: the run's diagnostic lines
};

// Where the user reads the log: the window's list, or standard output on the command line. Rows are only ever added
// at the end.
class LogView {
public:
    virtual ~LogView() = default;

    // Adds a row at the end and shows it. Called from the run's thread as well as from the window's thread.
    virtual void AppendRow(const std::string& row) = 0;
    // Whether some row equals `row` exactly, letter case included.
    virtual bool HasRow(const std::string& row) const = 0;
};

// The one way anything reports to the user. Lines go to the view, to "log.txt" in the data folder (which carries the
// service's lines over to the window) or to the diagnostic "log_long.txt" there. Every line in a file is followed by
// CR LF and written with its own open, append and close, so both files are complete and closed between lines.
class ActivityLog {
public:
    static constexpr const char* kSharedLogName = "log.txt";
    static constexpr const char* kDiagnosticLogName = "log_long.txt";

    ActivityLog(std::filesystem::path dataFolder, LogView& view, SharedLogFiles& files,
                std::function<std::tm()> localTime = CurrentLocalTime);

    // Stamps `text` with the time of day (an empty text stays an empty line) and writes it to `destination`. A line
    // that cannot reach its file is dropped without a word. May be called from several threads at once.
    void WriteLog(std::string_view text, LogDestination destination);

    // Moves the lines of "log.txt" into the view in file order, as they are (they carry their stamps already), and
    // empties the file. With `skipKnownLines` a line equal to a row the view already has is left out, and a missing
    // or empty file is not even opened. When another writer holds the file nothing happens; the caller tries again on
    // its next tick.
    void TakeOverSharedLog(bool skipKnownLines);

private:
    void AppendLine(const char* fileName, std::string_view line);

    std::filesystem::path dataFolder_;
    LogView& view_;
    SharedLogFiles& files_;
    std::function<std::tm()> localTime_;
};

}  // namespace zendrel
