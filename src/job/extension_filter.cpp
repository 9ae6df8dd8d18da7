#include "job/extension_filter.h"

#include "common/text.h"

namespace zendrel {

std::string PrepareExtensionList(std::string_view typedList) {
    std::string withoutDots;
    withoutDots.reserve(typedList.size());
    for (char c : typedList) {
        if (c != '.') withoutDots += c;
    }
    std::string prepared = LowerCase(withoutDots);
    for (char& c : prepared) {
        if (c == ',') c = ';';
    }
    return prepared;
}

std::string FileNameExtension(std::string_view fileName) {
    const std::size_t lastSeparator = fileName.find_last_of("/\\");
    const std::size_t nameStart = lastSeparator == std::string_view::npos ? 0 : lastSeparator + 1;
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot < nameStart) return {};
    const std::string_view afterDot = fileName.substr(dot + 1);
    return std::string(afterDot.substr(0, afterDot.find('"')));
}

bool IsExtensionAllowed(std::string_view fileName, std::string_view preparedList) {
    if (preparedList.empty()) return true;
    const std::string extension = FileNameExtension(LowerCase(fileName));
    std::size_t fieldStart = 0;
    while (true) {
        const std::size_t fieldEnd = preparedList.find(';', fieldStart);
        const std::string_view field = preparedList.substr(fieldStart, fieldEnd - fieldStart);
        if (field == extension) return true;
        if (fieldEnd == std::string_view::npos) return false;
        fieldStart = fieldEnd + 1;
    }
}

}  // namespace zendrel
