#include "mime/extension_filter.h"

#include "common/text.h"

namespace zendrel {

std::string PrepareExtensionList(std::string_view typedList) {
    std::string withoutDots;
    withoutDots.reserve(typedList.size());
    for (char c : typedList) {
        if (c != '.') withoutDots += c == ',' ? ';' : c;
    }
    const std::string lowered = LowerCase(withoutDots);
    // Blanks typed around a field ('csv, pdf') would keep that field from ever matching.
    std::string prepared;
    prepared.reserve(lowered.size());
    std::size_t fieldStart = 0;
    while (true) {
        const std::size_t fieldEnd = lowered.find(';', fieldStart);
        const std::string_view field = std::string_view(lowered).substr(fieldStart, fieldEnd - fieldStart);
        const std::size_t first = field.find_first_not_of(" \t");
        if (first != std::string_view::npos) {
            prepared += field.substr(first, field.find_last_not_of(" \t") - first + 1);
        }
        if (fieldEnd == std::string::npos) return prepared;
        prepared += ';';
        fieldStart = fieldEnd + 1;
    }
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
