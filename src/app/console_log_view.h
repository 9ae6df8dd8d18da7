#pragma once
// The log view of a process without a window: every row a line of standard output, as the window would show it.

#include <mutex>
#include <ostream>
#include <string>

#include "job/activity_log.h"

namespace zendrel {

class ConsoleLogView : public LogView {
public:
    explicit ConsoleLogView(std::ostream& out) : out_(out) {}
    // Written and flushed at once, so a reader of the output follows the run as it goes.
    void AppendRow(const std::string& row) override;
    // The console keeps no rows to compare with.
    bool HasRow(const std::string&) const override { return false; }

private:
    std::mutex mutex_;  // the run's thread and the main thread both write rows
    std::ostream& out_;
};

}  // namespace zendrel
