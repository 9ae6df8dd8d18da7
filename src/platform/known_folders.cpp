#include "platform/known_folders.h"

#include <optional>

#include "common/text.h"

namespace zendrel {

std::string GetSpecialFolderPath(SpecialFolder folder) {
    const std::u8string utf8 = SpecialFolderLocation(folder).u8string();
    const std::optional<std::string> text =
        Utf8ToWindows1252(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
    if (!text) return {};
    const std::size_t first = text->find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text->substr(first, text->find_last_not_of(' ') - first + 1);
}

}  // namespace zendrel
