#include "settings/preference_reader.h"

#include <algorithm>
#include <limits>

#include "common/text.h"

namespace zendrel {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimStart(std::string_view text) {
    while (!text.empty() && IsBlankOrTab(text.front())) text.remove_prefix(1);
    return text;
}

std::string_view TrimEnd(std::string_view text) {
    while (!text.empty() && IsBlankOrTab(text.back())) text.remove_suffix(1);
    return text;
}

// The next line of `rest`, which then starts after its line end (CR, LF or CR LF).
std::string_view NextLine(std::string_view& rest) {
    std::size_t end = rest.find_first_of("\r\n");
    if (end == std::string_view::npos) end = rest.size();
    const std::string_view line = rest.substr(0, end);
    std::size_t next = end;
    if (next < rest.size() && rest[next++] == '\r' && next < rest.size() && rest[next] == '\n') ++next;
    rest.remove_prefix(next);
    return line;
}

}  // namespace

std::int32_t LeadingInteger(std::string_view text) {
    std::size_t position = 0;
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        negative = text[position] == '-';
        ++position;
    }
    // The magnitude stops growing one past the largest value, which is enough to tell where to clamp.
    constexpr std::int64_t kCap = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; position < text.size() && text[position] >= '0' && text[position] <= '9'; ++position) {
        magnitude = std::min(kCap, magnitude * 10 + (text[position] - '0'));
    }
    const std::int64_t value = negative ? -magnitude : std::min(magnitude, kCap - 1);
    return static_cast<std::int32_t>(value);
}

PreferenceFile PreferenceFile::Parse(std::string_view bytes) {
    const bool utf8 = bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark;
    if (utf8) bytes.remove_prefix(kUtf8Mark.size());

    PreferenceFile file;
    Group* current = nullptr;
    while (!bytes.empty()) {
        const std::string_view line = TrimStart(NextLine(bytes));
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            file.groups_.push_back(Group{std::string(line.substr(1, close == std::string_view::npos ? line.npos
                                                                                                  : close - 1)),
                                         {}});
            current = &file.groups_.back();
            continue;
        }
        const std::size_t equals = line.find('=');
        if (current == nullptr || equals == std::string_view::npos) continue;
        // Converted before trimming: a malformed UTF-8 byte that is dropped may have stood beside a blank.
        const std::string_view raw = line.substr(equals + 1);
        const std::string value = utf8 ? Utf8ToSingleByte(raw) : std::string(raw);
        current->entries.emplace_back(std::string(TrimEnd(line.substr(0, equals))),
                                      std::string(TrimEnd(TrimStart(value))));
    }
    return file;
}

std::optional<std::string> PreferenceFile::Text(std::string_view group, std::string_view key) const {
    for (const Group& candidate : groups_) {
        if (!EqualsNoCase(candidate.name, group)) continue;
        for (const auto& [name, value] : candidate.entries) {
            if (EqualsNoCase(name, key)) return value;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::int32_t PreferenceFile::HighestNumberedKey(std::string_view group, std::string_view prefix) const {
    for (const Group& candidate : groups_) {
        if (!EqualsNoCase(candidate.name, group)) continue;
        std::int64_t highest = 0;
        for (const auto& entry : candidate.entries) {
            const std::string_view name = entry.first;
            if (name.size() <= prefix.size() || !StartsWithNoCase(name, prefix)) continue;
            // Only the spelling that a lookup of prefix + n finds: decimal digits without a leading zero.
            const std::string_view digits = name.substr(prefix.size());
            if (digits.size() > 10 || digits[0] == '0') continue;
            std::int64_t n = 0;
            bool allDigits = true;
            for (const char c : digits) {
                if (c < '0' || c > '9') allDigits = false;
                n = n * 10 + (c - '0');
            }
            if (allDigits && n <= INT32_MAX) highest = std::max(highest, n);
        }
        return static_cast<std::int32_t>(highest);
    }
    return 0;
}

std::optional<std::int32_t> PreferenceFile::Integer(std::string_view group, std::string_view key) const {
    const std::optional<std::string> text = Text(group, key);
    if (!text) return std::nullopt;
    return LeadingInteger(*text);
}

}  // namespace zendrel
