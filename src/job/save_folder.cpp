#include "job/save_folder.h"

#include <filesystem>

namespace zendrel {

std::string FolderWithSeparator(std::string folder) {
    const char preferred = static_cast<char>(std::filesystem::path::preferred_separator);
    if (!folder.empty() && folder.back() != '/' && folder.back() != preferred) folder += preferred;
    return folder;
}

}  // namespace zendrel
