#pragma once
// Real files and folders for the app tests: a temporary folder that removes itself, whole-file reads and writes.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace zendrel::testing {

// A fresh folder below the system's temporary folder, removed with everything in it at the end of its scope.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // A folder below this one, created.
    std::filesystem::path MakeFolder(std::string_view name) const;

private:
    std::filesystem::path path_;
};

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, std::string_view bytes);

// Every regular file directly in `folder` by its name (UTF-8), with its bytes. Empty when the folder is missing.
std::map<std::string, std::string> FilesIn(const std::filesystem::path& folder);

// A path whose UTF-8 text is `utf8`.
std::filesystem::path Utf8Path(std::string_view utf8);

}  // namespace zendrel::testing
