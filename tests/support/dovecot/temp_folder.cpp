#include "dovecot/temp_folder.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

namespace zendrel::testsupport {
namespace fs = std::filesystem;

namespace {

// Every folder on the way down must let other users pass, or the server's processes cannot open their files.
bool SearchableByEveryone(const fs::path& folder) {
    for (fs::path p = folder; !p.empty(); p = p.parent_path()) {
        struct stat info {};
        if (::stat(p.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0) {
            return false;
        }
        if (p == p.root_path()) {
            break;
        }
    }
    return true;
}

fs::path BaseFolder() {
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec || !SearchableByEveryone(base)) {
        base = "/tmp";
    }
    return base;
}

}  // namespace

std::optional<TempFolder> TempFolder::Create(const std::string& prefix, std::string& error) {
    std::string pattern = (BaseFolder() / (prefix + "-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) {
        error = "cannot create a temporary folder from " + pattern;
        return std::nullopt;
    }
    TempFolder folder{fs::path(name.data())};
    // mkdtemp makes the folder private (0700).
    if (::chmod(name.data(), 0755) != 0) {
        error = "cannot open up " + folder.path_.string();
        return std::nullopt;
    }
    return folder;
}

TempFolder::TempFolder(TempFolder&& other) noexcept : path_(std::move(other.path_)), keep_(other.keep_) {
    other.path_.clear();
}

TempFolder& TempFolder::operator=(TempFolder&& other) noexcept {
    if (this != &other) {
        Remove();
        path_ = std::move(other.path_);
        keep_ = other.keep_;
        other.path_.clear();
    }
    return *this;
}

TempFolder::~TempFolder() { Remove(); }

void TempFolder::Remove() {
    if (!path_.empty() && !keep_) {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    path_.clear();
}

std::string ReadFileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace zendrel::testsupport
