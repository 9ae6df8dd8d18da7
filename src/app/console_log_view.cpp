#include "app/console_log_view.h"

#include "app/console_text.h"

namespace zendrel {

void ConsoleLogView::AppendRow(const std::string& row) {
    const std::string text = ConsoleText(row);
    std::lock_guard<std::mutex> lock(mutex_);
    out_ << text << '\n';
    out_.flush();
}

}  // namespace zendrel
