#include "test_files.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace zendrel::testsupport {

namespace fs = std::filesystem;

namespace {

// Every folder on the way down must let other users pass, or the mail server's processes cannot open their files.
bool SearchableByEveryone(const fs::path& folder) {
    for (fs::path p = folder; !p.empty(); p = p.parent_path()) {
        std::error_code ec;
        const fs::file_status status = fs::status(p, ec);
        if (ec || (status.permissions() & fs::perms::others_exec) == fs::perms::none) return false;
        if (p == p.root_path()) break;
    }
    return true;
}

fs::path BaseFolder() {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    return ec || !SearchableByEveryone(base) ? fs::path("/tmp") : base;
}

}  // namespace

TemporaryFolder::TemporaryFolder(std::string_view prefix) {
    const fs::path base = BaseFolder();
    std::error_code ec;
#if defined(_WIN32)
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path candidate = base / (std::string(prefix) + "-" + std::to_string(random()));
        // create_directory is false without an error when the name is taken: then another name is tried.
        if (fs::create_directory(candidate, ec)) path_ = candidate;
        if (ec) return;
    }
    if (path_.empty()) return;
#else
    // mkdtemp makes the name and the folder in one step, so no other process can take the name in between.
    std::string pattern = (base / (std::string(prefix) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) return;
    path_ = pattern;
#endif
    constexpr fs::perms kEveryoneMayRead = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                           fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(path_, kEveryoneMayRead, fs::perm_options::replace, ec);
    if (ec) {
        fs::remove(path_, ec);
        path_.clear();
    }
}

TemporaryFolder::TemporaryFolder(TemporaryFolder&& other) noexcept
    : path_(std::move(other.path_)), keep_(other.keep_) {
    other.path_.clear();
}

TemporaryFolder::~TemporaryFolder() {
    if (path_.empty() || keep_) return;
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

fs::path TemporaryFolder::MakeFolder(std::string_view name) const {
    if (path_.empty()) return {};
    const fs::path folder = path_ / Utf8Path(name);
    std::error_code ec;
    fs::create_directories(folder, ec);
    return folder;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool WriteBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file.flush());
}

std::map<std::string, std::string> FilesIn(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (fs::directory_iterator entry(folder, ec), end; !ec && entry != end; entry.increment(ec)) {
        std::error_code typeUnknown;
        if (!entry->is_regular_file(typeUnknown)) continue;
        const std::u8string name = entry->path().filename().u8string();
        files.emplace(std::string(name.begin(), name.end()), ReadBytes(entry->path()));
    }
    return files;
}

fs::path Utf8Path(std::string_view utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

}  // namespace zendrel::testsupport
