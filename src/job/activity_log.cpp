#include "job/activity_log.h"

#include <chrono>
#include <mutex>

namespace zendrel {
namespace {

void AppendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

}  // namespace

std::tm CurrentLocalTime() {
    // std::localtime hands out one shared buffer; the window thread and the run both stamp lines.
    static std::mutex localTimeMutex;
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::lock_guard<std::mutex> lock(localTimeMutex);
    const std::tm* local = std::localtime(&now);
    return local != nullptr ? *local : std::tm{};
}

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

}  // namespace zendrel
