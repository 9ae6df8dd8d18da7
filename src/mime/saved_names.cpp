#include "mime/saved_names.h"

#include "common/file_io.h"
#include "common/text.h"
#include "mime/attachments.h"

namespace zendrel {
namespace {

// The longest name most file systems take, in bytes.
constexpr std::size_t kLongestName = 255;

// Whether a cut before `at` would split a UTF-8 character.
bool InsideCharacter(std::string_view text, std::size_t at) {
    return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
}

}  // namespace

std::string SaveNameOf(const MessagePart& part) { return WithoutLeadingDot(GetAttachmentName(part)); }

std::string WithoutLeadingDot(std::string name) {
    if (!name.empty() && name.front() == '.') name.front() = '_';
    return name;
}

std::string SafeFolderName(std::string_view value) {
    const std::string safe = WithoutLeadingDot(MakeSafeFileName(value));
    return safe.empty() ? "_" : safe;
}

std::string NumberedName(std::string_view name, int n) {
    const std::size_t dot = name.rfind('.');
    // A dot at the very start opens no extension: the name is all stem.
    const std::size_t stemEnd = dot == std::string_view::npos || dot == 0 ? name.size() : dot;
    const std::string number = " (" + std::to_string(n) + ")";
    std::string_view stem = name.substr(0, stemEnd);
    const std::string_view extension = name.substr(stemEnd);
    const std::size_t length = stem.size() + number.size() + extension.size();
    if (length > kLongestName) {
        std::size_t keep = stem.size() > length - kLongestName ? stem.size() - (length - kLongestName) : 0;
        while (keep > 0 && InsideCharacter(stem, keep)) --keep;
        stem = stem.substr(0, keep);
    }
    std::string numbered(stem);
    numbered += number;
    numbered += extension;
    return numbered;
}

std::filesystem::path PathOfSavedName(std::string_view text) { return PathFromUtf8(text); }

std::string ShownName(std::string_view name) { return Utf8ToWindows1252Lossy(name); }

}  // namespace zendrel
