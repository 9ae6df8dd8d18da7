#include "job/remembered_mails.h"

#include <charconv>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "common/md5.h"

namespace zendrel {
namespace {

constexpr std::string_view kFirstLine = "Zendrel examined mails 1";
constexpr char kHexDigits[] = "0123456789ABCDEF";

// Fields are separated by tabs and lines by LF: those bytes, the other controls and the escape itself are written as
// "%XX", so that any value the server sent reads back as it was.
void AppendEscaped(std::string& out, std::string_view value) {
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%') {
            out += '%';
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0x0F];
        } else {
            out += c;
        }
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> Unescaped(std::string_view field) {
    std::string value;
    value.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
        if (c != '%') {
            value += c;
            continue;
        }
        if (i + 2 >= field.size()) return std::nullopt;
        const int high = HexValue(field[i + 1]);
        const int low = HexValue(field[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        value += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return value;
}

// The lines of a text that ends in LF, each without it; none when a line is too long or the last one is unfinished.
std::optional<std::vector<std::string_view>> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos || end - start > kLongestRememberedLine) return std::nullopt;
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// "name<TAB>value" with the value unescaped.
std::optional<std::string> NamedValue(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || line.substr(0, name.size()) != name || line[name.size()] != '\t') {
        return std::nullopt;
    }
    return Unescaped(line.substr(name.size() + 1));
}

void AppendLengthPrefixed(std::string& out, std::string_view value) {
    out += std::to_string(value.size());
    out += ':';
    out += value;
}

}  // namespace

std::string FiltersFingerprint(std::string_view searchString, std::string_view extensions, bool saveInline,
                               const std::vector<std::string>& allowedSenders,
                               const std::vector<std::string>& blockedSenders) {
    // Each value with its length, so that no two different settings join into the same text.
    std::string joined;
    AppendLengthPrefixed(joined, searchString);
    AppendLengthPrefixed(joined, extensions);
    joined += saveInline ? "i1" : "i0";
    for (const auto* list : {&allowedSenders, &blockedSenders}) {
        joined += 'L';
        joined += std::to_string(list->size());
        for (const std::string& entry : *list) AppendLengthPrefixed(joined, entry);
    }
    return Md5Hex(joined);
}

std::string FormatRememberedMails(const RememberedFile& file) {
    std::string out;
    out.reserve(128 + file.mails.size() * 64);
    out += kFirstLine;
    out += '\n';
    out += "server\t";
    AppendEscaped(out, file.key.server);
    out += "\nuser\t";
    AppendEscaped(out, file.key.userName);
    out += "\nfilters\t";
    AppendEscaped(out, file.key.filters);
    out += '\n';
    for (const RememberedMail& mail : file.mails) {
        out += "mail\t";
        AppendEscaped(out, mail.uniqueId);
        out += '\t';
        AppendEscaped(out, mail.messageId);
        out += '\n';
    }
    // A file cut short anywhere lacks this line, or has one whose count does not match.
    out += "end\t";
    out += std::to_string(file.mails.size());
    out += '\n';
    return out;
}

std::optional<RememberedFile> ParseRememberedMails(std::string_view text) {
    if (text.size() > kLongestRememberedFile) return std::nullopt;
    const std::optional<std::vector<std::string_view>> lines = SplitLines(text);
    if (!lines || lines->size() < 5 || (*lines)[0] != kFirstLine) return std::nullopt;

    RememberedFile file;
    const auto server = NamedValue((*lines)[1], "server");
    const auto user = NamedValue((*lines)[2], "user");
    const auto filters = NamedValue((*lines)[3], "filters");
    if (!server || !user || !filters) return std::nullopt;
    file.key = {*server, *user, *filters};

    const std::size_t last = lines->size() - 1;
    file.mails.reserve(last - 4);
    for (std::size_t i = 4; i < last; ++i) {
        const std::string_view line = (*lines)[i];
        if (line.substr(0, 5) != "mail\t") return std::nullopt;
        const std::string_view fields = line.substr(5);
        const std::size_t tab = fields.find('\t');
        if (tab == std::string_view::npos) return std::nullopt;
        auto uniqueId = Unescaped(fields.substr(0, tab));
        auto messageId = Unescaped(fields.substr(tab + 1));
        if (!uniqueId || !messageId || (uniqueId->empty() && messageId->empty()) ||
            uniqueId->size() > kLongestUniqueId || messageId->size() > kLongestRememberedMessageId) {
            return std::nullopt;
        }
        file.mails.push_back({std::move(*uniqueId), std::move(*messageId)});
    }
    const std::string_view end = (*lines)[last];
    if (end.substr(0, 4) != "end\t") return std::nullopt;
    std::size_t count = 0;
    const char* first = end.data() + 4;
    const char* stop = end.data() + end.size();
    const auto [at, error] = std::from_chars(first, stop, count);
    if (error != std::errc() || at != stop || first == stop || count != file.mails.size()) return std::nullopt;
    return file;
}

RememberedReadResult ReadRememberedMails(const std::filesystem::path& path) {
    RememberedReadResult result;
    std::error_code error;
    const bool exists = std::filesystem::exists(path, error);
    if (error) {
        result.outcome = RememberedRead::kDamaged;
        return result;
    }
    if (!exists) return result;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    // Looked at before the read, so that a huge file is never taken into memory.
    if (error || size > kLongestRememberedFile) {
        result.outcome = RememberedRead::kDamaged;
        return result;
    }
    const std::optional<std::string> bytes = ReadWholeFile(path);
    std::optional<RememberedFile> parsed = bytes ? ParseRememberedMails(*bytes) : std::nullopt;
    if (!parsed) {
        result.outcome = RememberedRead::kDamaged;
        return result;
    }
    result.outcome = RememberedRead::kRead;
    result.file = std::move(*parsed);
    return result;
}

FileError WriteRememberedMails(const std::filesystem::path& path, const RememberedFile& file) {
    return WriteFileAtomically(path, FormatRememberedMails(file), FileAccess::kOwnerOnly);
}

std::vector<RememberedMail> RememberedAfterRun(const std::vector<RememberedMail>& before,
                                               std::span<const RunMessage> messages, bool complete) {
    std::unordered_map<std::string_view, const RememberedMail*> byUniqueId;
    for (const RememberedMail& mail : before) {
        if (!mail.uniqueId.empty()) byUniqueId.emplace(mail.uniqueId, &mail);
    }
    std::vector<RememberedMail> after;
    after.reserve(messages.size());
    // The mails this run came to: whatever it decided about them replaces what was remembered.
    std::unordered_set<std::string_view> reachedUniqueIds;
    std::unordered_set<std::string_view> reachedMessageIds;
    for (const RunMessage& message : messages) {
        if (message.fate == MessageFate::kNotReached) continue;
        if (!message.uniqueId.empty()) reachedUniqueIds.insert(message.uniqueId);
        if (!message.messageId.empty()) reachedMessageIds.insert(message.messageId);
        switch (message.fate) {
            case MessageFate::kKnown:
                if (const auto found = byUniqueId.find(message.uniqueId); found != byUniqueId.end()) {
                    after.push_back(*found->second);
                }
                break;
            case MessageFate::kExamined: {
                RememberedMail mail{message.uniqueId,
                                    message.messageId.size() <= kLongestRememberedMessageId ? message.messageId : ""};
                if (!mail.uniqueId.empty() || !mail.messageId.empty()) after.push_back(std::move(mail));
                break;
            }
            case MessageFate::kRetried:
            case MessageFate::kNotReached:
                break;
        }
    }
    if (complete) return after;
    for (const RememberedMail& mail : before) {
        const bool reached = mail.uniqueId.empty() ? reachedMessageIds.contains(mail.messageId)
                                                   : reachedUniqueIds.contains(mail.uniqueId);
        if (!reached) after.push_back(mail);
    }
    return after;
}

}  // namespace zendrel
