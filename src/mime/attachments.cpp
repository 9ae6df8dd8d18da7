#include "mime/attachments.h"

#include <algorithm>
#include <array>

#include "common/file_io.h"
#include "common/text.h"
#include "mime/header_field.h"
#include "mime/header_params.h"
#include "mime/transfer_decoding.h"

namespace zendrel {
namespace {

// The name a part gives itself: the disposition's filename, else the Content-Type's name. Read from the header as it
// stands, so that encoded words are decoded in their own charsets and inside the parameter only.
Utf8Text NamedFile(const MessagePart& part) {
    auto name = GetHeaderParameterUtf8(GetHeaderField(part.rawHeader, "content-disposition"), "filename");
    if (!name || name->empty()) name = GetHeaderParameterUtf8(GetHeaderField(part.rawHeader, "content-type"), "name");
    return name ? *name : Utf8Text();
}

std::optional<std::size_t> FindNth(const std::vector<MessagePart>& parts, int n, bool attachment) {
    if (n < 1) return std::nullopt;
    int seen = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (IsAttachment(parts[i]) == attachment && ++seen == n) return i;
    }
    return std::nullopt;
}

bool IsRefusedInFileName(char c) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20) return true;
    constexpr std::string_view kRefused = "/:\\<>\"|?*";
    return kRefused.find(c) != std::string_view::npos;
}

// Windows opens the device instead of a file for these names, whatever the extension; the ports count from 1 to 9,
// also written as the superscripts "¹", "²" and "³".
bool IsDeviceName(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    constexpr std::array<std::string_view, 4> kDevices = {"con", "prn", "aux", "nul"};
    for (std::string_view device : kDevices) {
        if (EqualsNoCase(base, device)) return true;
    }
    if (base.size() < 4 || !(StartsWithNoCase(base, "com") || StartsWithNoCase(base, "lpt"))) return false;
    const std::string_view number = base.substr(3);
    return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

void RemoveTrailingDotsAndBlanks(std::string& name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
}

// A character of `length` UTF-8 bytes as this system counts file names: its bytes, or its UTF-16 units.
std::size_t NameUnits(std::size_t length) {
    if constexpr (kFileNameUnit == FileNameUnit::kUtf16Unit) return length == 4 ? 2 : 1;
    return length;
}

// The byte length of the longest beginning of a well-formed UTF-8 `name` that takes at most `units`, and the units
// that beginning takes.
std::size_t PrefixWithin(std::string_view name, std::size_t units, std::size_t* used = nullptr) {
    std::size_t at = 0;
    std::size_t taken = 0;
    while (at < name.size()) {
        const std::size_t length = std::max<std::size_t>(Utf8CharacterLength(name, at), 1);
        if (taken + NameUnits(length) > units) break;
        taken += NameUnits(length);
        at += length;
    }
    if (used != nullptr) *used = taken;
    return at;
}

std::size_t NameLength(std::string_view name) {
    std::size_t units = 0;
    PrefixWithin(name, name.size(), &units);
    return units;
}

// Cuts a name longer than the file system takes at a character boundary. The extension stays, unless it alone would
// leave no room for a character before it.
void CutToLongestName(std::string& name) {
    if (NameLength(name) <= kLongestFileName) return;
    const std::size_t dot = name.rfind('.');
    const std::size_t extensionLength = dot == std::string::npos || dot == 0 ? 0 : NameLength(name.substr(dot));
    const std::size_t stem =
        extensionLength == 0 || extensionLength >= kLongestFileName
            ? 0
            : PrefixWithin(std::string_view(name).substr(0, dot), kLongestFileName - extensionLength);
    if (stem == 0) {
        name.resize(PrefixWithin(name, kLongestFileName));
    } else {
        name.erase(stem, dot - stem);
    }
}

}  // namespace

bool IsAttachment(const MessagePart& part) {
    return LowerCase(GetHeaderField(part.header, "content-disposition")).find("attachment;") != std::string::npos;
}

int CountAttachments(const std::vector<MessagePart>& parts) {
    return static_cast<int>(std::count_if(parts.begin(), parts.end(), IsAttachment));
}

int CountBodyParts(const std::vector<MessagePart>& parts) {
    return static_cast<int>(parts.size()) - CountAttachments(parts);
}

std::optional<std::size_t> FindAttachment(const std::vector<MessagePart>& parts, int n) {
    return FindNth(parts, n, true);
}

std::optional<std::size_t> FindBodyPart(const std::vector<MessagePart>& parts, int n) {
    return FindNth(parts, n, false);
}

PartIndex::PartIndex(const std::vector<MessagePart>& parts) {
    for (std::size_t i = 0; i < parts.size(); ++i) (IsAttachment(parts[i]) ? attachments_ : bodyParts_).push_back(i);
}

Utf8Text GetAttachmentName(const MessagePart& part) { return MakeSafeFileName(NamedFile(part)); }

Utf8Text MakeSafeFileName(std::string_view name) {
    Utf8Text safe;
    safe.reserve(name.size() + 1);
    for (std::size_t at = 0; at < name.size();) {
        const std::size_t length = Utf8CharacterLength(name, at);
        if (length == 0) {
            safe += '_';  // not UTF-8: Windows could not even name it
            ++at;
        } else {
            if (length == 1 && IsRefusedInFileName(name[at])) {
                safe += '_';
            } else {
                safe.append(name, at, length);
            }
            at += length;
        }
    }
    RemoveTrailingDotsAndBlanks(safe);
    if (safe.empty()) return {};
    if (IsDeviceName(safe)) safe.insert(safe.begin(), '_');
    CutToLongestName(safe);
    RemoveTrailingDotsAndBlanks(safe);  // where the cut took the extension too
    return safe;
}

std::string GetBodyPartText(const MessagePart& part) {
    std::optional<std::string> decoded = DecodeTransferEncoding(part);
    return decoded ? std::move(*decoded) : std::string(part.body);
}

}  // namespace zendrel
