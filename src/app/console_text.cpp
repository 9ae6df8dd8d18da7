#include "app/console_text.h"

#include "common/text.h"

namespace zendrel {

std::string ConsoleText(std::string_view windows1252) { return Windows1252ToUtf8(windows1252); }

std::optional<std::string> PathArgumentText(std::string_view argument) {
#if defined(_WIN32)
    return std::string(argument);
#else
    return Utf8ToWindows1252(argument);
#endif
}

}  // namespace zendrel
