#pragma once
// The log as a test reads it: the view's rows collected in order, and the texts behind their time stamps.

#include <cctype>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "job/activity_log.h"

namespace zendrel::testsupport {

// A time of day for a log clock that stands still.
inline std::tm TimeOfDay(int hour, int minute, int second) {
    std::tm time{};
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

// The user texts of a run in English.
inline std::string LoggedIn(int count) {
    return "Successfully logged into account! (" + std::to_string(count) + " messages).";
}
inline const std::string kSignedOut = "Successfully signed out!";
inline std::string FileSaved(const std::string& name) { return "File '" + name + "' saved!"; }
inline std::string FileNotSaved(const std::string& name) { return "ERROR!! (File '" + name + "' could not be saved)"; }

// Whether the text starts with a time of day "hh:mm:ss" and a blank.
inline bool StartsWithStamp(std::string_view line) {
    const auto digits = [&](std::size_t at, int largest) {
        return std::isdigit(static_cast<unsigned char>(line[at])) &&
               std::isdigit(static_cast<unsigned char>(line[at + 1])) &&
               (line[at] - '0') * 10 + (line[at + 1] - '0') <= largest;
    };
    return line.size() >= 9 && digits(0, 23) && line[2] == ':' && digits(3, 59) && line[5] == ':' && digits(6, 60) &&
           line[8] == ' ';
}

// The text of a log line behind its stamp; an empty line stays empty. A non-empty line without a stamp is returned
// marked, so that a comparison with the expected text shows it.
inline std::string TextOfRow(std::string_view row) {
    if (row.empty()) return "";
    if (!StartsWithStamp(row)) return "<no time stamp> " + std::string(row);
    return std::string(row.substr(9));
}

inline std::vector<std::string> TextsOfRows(const std::vector<std::string>& rows) {
    std::vector<std::string> texts;
    for (const std::string& row : rows) texts.push_back(TextOfRow(row));
    return texts;
}

// The lines of a log file (CR LF after each), each with its stamp taken off where it has one: the lines after the
// first of a text that holds CR LF carry none.
inline std::vector<std::string> TextsOfLogFile(const std::string& bytes) {
    std::vector<std::string> texts;
    std::size_t begin = 0;
    for (std::size_t end; (end = bytes.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        const std::string_view line = std::string_view(bytes).substr(begin, end - begin);
        texts.push_back(StartsWithStamp(line) ? std::string(line.substr(9)) : std::string(line));
    }
    if (begin < bytes.size()) texts.push_back("<unterminated> " + bytes.substr(begin));
    return texts;
}

// A log view that keeps its rows, and lets a test act on a row the moment it arrives (from the run's thread).
class CollectingView final : public LogView {
public:
    explicit CollectingView(std::vector<std::string> rows = {}) : rows_(std::move(rows)) {}

    void AppendRow(const std::string& row) override {
        std::function<void(const std::string&)> hook;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            rows_.push_back(row);
            hook = onRow_;
        }
        if (hook) hook(row);
    }
    bool HasRow(const std::string& row) const override {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& known : rows_) {
            if (known == row) return true;
        }
        return false;
    }

    void OnRow(std::function<void(const std::string&)> hook) {
        std::lock_guard<std::mutex> lock(mutex_);
        onRow_ = std::move(hook);
    }
    std::vector<std::string> Rows() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return rows_;
    }
    // The texts of the rows behind their stamps.
    std::vector<std::string> Texts() const { return TextsOfRows(Rows()); }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        rows_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> rows_;
    std::function<void(const std::string&)> onRow_;
};

}  // namespace zendrel::testsupport
