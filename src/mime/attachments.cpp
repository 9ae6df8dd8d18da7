#include "mime/attachments.h"

#include <algorithm>
#include <array>

#include "common/text.h"
#include "mime/header_field.h"
#include "mime/header_params.h"
#include "mime/transfer_decoding.h"

namespace zendrel {
namespace {

// The name a part gives itself: the disposition's filename, else the Content-Type's name.
std::string NamedFile(const MessagePart& part) {
    auto name = GetHeaderParameter(GetHeaderField(part.header, "content-disposition"), "filename");
    if (!name || name->empty()) name = GetHeaderParameter(GetHeaderField(part.header, "content-type"), "name");
    return name ? *name : std::string();
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

// Windows opens the device instead of a file for these names, whatever the extension.
bool IsDeviceName(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    constexpr std::array<std::string_view, 4> kDevices = {"con", "prn", "aux", "nul"};
    for (std::string_view device : kDevices) {
        if (EqualsNoCase(base, device)) return true;
    }
    if (base.size() == 4 && (StartsWithNoCase(base, "com") || StartsWithNoCase(base, "lpt"))) {
        return base[3] >= '1' && base[3] <= '9';
    }
    return false;
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

std::string GetAttachmentName(const MessagePart& part) { return MakeSafeFileName(NamedFile(part)); }

std::string MakeSafeFileName(std::string_view name) {
    std::string safe(name);
    std::replace_if(safe.begin(), safe.end(), IsRefusedInFileName, '_');
    while (!safe.empty() && (safe.back() == '.' || safe.back() == ' ')) safe.pop_back();
    if (safe.empty()) return {};
    if (IsDeviceName(safe)) safe.insert(safe.begin(), '_');
    return safe;
}

std::string GetBodyPartText(const MessagePart& part) {
    std::optional<std::string> decoded = DecodeTransferEncoding(part);
    return decoded ? std::move(*decoded) : part.body;
}

}  // namespace zendrel
