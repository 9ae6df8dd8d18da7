#include "job/placeholders.h"

namespace zendrel {

std::string FillPlaceholder(std::string_view text, std::string_view placeholder, std::string_view value) {
    if (placeholder.empty()) return std::string(text);
    std::string filled;
    filled.reserve(text.size() + value.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(placeholder); at != std::string_view::npos; at = text.find(placeholder, from)) {
        filled.append(text.substr(from, at - from));
        filled.append(value);
        from = at + placeholder.size();
    }
    filled.append(text.substr(from));
    return filled;
}

}  // namespace zendrel
