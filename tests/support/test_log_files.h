#pragma once
// The log files as the tests use them: real files, opened through whole-file reads and writes or through another
// file set, with every attempt to open a file counted, and another writer that a test can make hold a file.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

#include "common/shared_log_file.h"
#include "test_files.h"

namespace zendrel::testsupport {

class TestLogFiles final : public SharedLogFiles {
public:
    // With `inner`, files are opened through it (the platform's own, say) and only counted here.
    explicit TestLogFiles(SharedLogFiles* inner = nullptr) : inner_(inner) {}

    std::unique_ptr<SharedLogFile> Open(const std::filesystem::path& file) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++opens_[file];
            if (held_.count(file) != 0) {
                opened_.notify_all();
                return nullptr;
            }
        }
        opened_.notify_all();
        if (inner_ != nullptr) return inner_->Open(file);
        std::error_code error;
        if (!std::filesystem::exists(file, error) && !testsupport::WriteBytes(file, "")) return nullptr;
        return std::make_unique<File>(file, failReads_);
    }

    // Another writer opens the file (creating it, as a real one would) and keeps it until Release.
    void Hold(const std::filesystem::path& file) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::error_code error;
        if (!std::filesystem::exists(file, error)) {
            EXPECT_TRUE(testsupport::WriteBytes(file, ""));
        }
        held_.insert(file);
    }
    void Release(const std::filesystem::path& file) {
        std::lock_guard<std::mutex> lock(mutex_);
        held_.erase(file);
    }
    int Opens(const std::filesystem::path& file) const {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = opens_.find(file);
        return found == opens_.end() ? 0 : found->second;
    }
    // Waits (a few seconds at most, so that a broken log fails instead of hanging) until `file` was asked for at
    // least `count` times.
    void WaitForOpens(const std::filesystem::path& file, int count) {
        std::unique_lock<std::mutex> lock(mutex_);
        opened_.wait_for(lock, std::chrono::seconds(30), [&] { return opens_[file] >= count; });
    }
    // Reading a file fails from now on (files of this set only, not of an inner one).
    void FailReads() { failReads_ = true; }

private:
    class File final : public SharedLogFile {
    public:
        File(std::filesystem::path path, bool failReads) : path_(std::move(path)), failReads_(failReads) {}
        bool Append(std::string_view bytes) override {
            return testsupport::WriteBytes(path_, testsupport::ReadBytes(path_) + std::string(bytes));
        }
        std::optional<std::string> ReadAll() override {
            if (failReads_) return std::nullopt;
            return testsupport::ReadBytes(path_);
        }
        bool Truncate() override { return testsupport::WriteBytes(path_, ""); }

    private:
        std::filesystem::path path_;
        bool failReads_;
    };

    SharedLogFiles* inner_;
    mutable std::mutex mutex_;
    std::condition_variable opened_;
    std::map<std::filesystem::path, int> opens_;
    std::set<std::filesystem::path> held_;
    bool failReads_ = false;
};

// The bytes of a log file, or "<missing>" when there is none.
inline std::string LogFileContents(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return "<missing>";
    return testsupport::ReadBytes(path);
}

}  // namespace zendrel::testsupport
