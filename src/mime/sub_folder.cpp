#include "mime/sub_folder.h"

#include <array>
#include <filesystem>
#include <vector>

#include "common/text.h"
#include "mime/header_field.h"
#include "mime/saved_names.h"

namespace zendrel {
namespace {

enum class Placeholder { kSender, kDomain, kYear, kMonth, kDay };

struct PlaceholderName {
    std::string_view text;
    Placeholder placeholder;
};
constexpr std::array<PlaceholderName, 5> kPlaceholders = {{
    {"{sender}", Placeholder::kSender},
    {"{domain}", Placeholder::kDomain},
    {"{year}", Placeholder::kYear},
    {"{month}", Placeholder::kMonth},
    {"{day}", Placeholder::kDay},
}};

constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                      "jul", "aug", "sep", "oct", "nov", "dec"};

bool IsSeparator(char c) { return c == '/' || c == '\\'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The placeholder that starts `text`, if one does.
std::optional<PlaceholderName> PlaceholderAt(std::string_view text) {
    for (const PlaceholderName& name : kPlaceholders) {
        if (text.substr(0, name.text.size()) == name.text) return name;
    }
    return std::nullopt;
}

// The folders of a template, between its separators.
std::vector<std::string_view> FoldersOf(std::string_view text) {
    std::vector<std::string_view> folders;
    std::size_t begin = 0;
    for (std::size_t at = 0; at <= text.size(); ++at) {
        if (at < text.size() && !IsSeparator(text[at])) continue;
        folders.push_back(text.substr(begin, at - begin));
        begin = at + 1;
    }
    return folders;
}

// A folder of nothing but dots and blanks names the folder above ("..") or, where Windows drops trailing dots and
// blanks, the same or the one above; the single "." is harmless and only dropped.
bool IsDotsAndBlanks(std::string_view folder) {
    return !folder.empty() && folder.find_first_not_of(". ") == std::string_view::npos;
}

std::string TwoDigits(int value) {
    std::string text;
    AppendTwoDigits(text, value);
    return text;
}

// The values of one mail's placeholders.
struct MailValues {
    std::string sender;
    std::string domain;
    std::string year;
    std::string month;
    std::string day;

    const std::string& Of(Placeholder placeholder) const {
        switch (placeholder) {
            case Placeholder::kSender:
                return sender;
            case Placeholder::kDomain:
                return domain;
            case Placeholder::kYear:
                return year;
            case Placeholder::kMonth:
                return month;
            case Placeholder::kDay:
                break;
        }
        return day;
    }
};

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
    return text;
}

// The address of a From value: inside its last "<...>", else the whole value.
std::string SenderAddress(std::string_view from) {
    const std::size_t open = from.rfind('<');
    if (open != std::string_view::npos) {
        const std::size_t close = from.find('>', open);
        if (close != std::string_view::npos) return LowerCase(Trimmed(from.substr(open + 1, close - open - 1)));
    }
    return LowerCase(Trimmed(from));
}

MailValues ValuesOf(std::string_view header, const CalendarDate& today) {
    MailValues values;
    const std::string sender = SenderAddress(GetHeaderField(header, "from"));
    const std::size_t at = sender.rfind('@');
    const std::string domain = at == std::string::npos ? std::string() : sender.substr(at + 1);
    // Folder names are UTF-8 like the file names below them; header text is Windows-1252.
    values.sender = SafeFolderName(Windows1252ToUtf8(sender));
    values.domain = SafeFolderName(Windows1252ToUtf8(domain));
    const CalendarDate date = ParseMailDate(GetHeaderField(header, "date")).value_or(today);
    values.year = std::to_string(date.year);
    values.month = TwoDigits(date.month);
    values.day = TwoDigits(date.day);
    return values;
}

// Reads the next run of characters that `accept` takes, after blanks, tabs, line breaks and (comments).
template <typename Accept>
std::string_view NextWord(std::string_view& text, Accept accept) {
    for (;;) {
        while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
        if (text.empty() || text.front() != '(') break;
        const std::size_t close = text.find(')');
        text.remove_prefix(close == std::string_view::npos ? text.size() : close + 1);
    }
    std::size_t length = 0;
    while (length < text.size() && accept(text[length])) ++length;
    const std::string_view word = text.substr(0, length);
    text.remove_prefix(length);
    return word;
}

int NumberOf(std::string_view digits) {
    int value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value;
}

}  // namespace

bool IsValidSubFolderTemplate(std::string_view text) {
    if (text.empty()) return true;
    if (IsSeparator(text.front())) return false;
    if (text.find(':') != std::string_view::npos) return false;  // a drive, or a stream of a file on Windows
    for (std::string_view folder : FoldersOf(text)) {
        if (folder != "." && IsDotsAndBlanks(folder)) return false;
        for (std::size_t at = folder.find('{'); at != std::string_view::npos; at = folder.find('{', at + 1)) {
            if (!PlaceholderAt(folder.substr(at))) return false;
        }
    }
    return true;
}

std::optional<CalendarDate> ParseMailDate(std::string_view value) {
    std::string_view rest = value;
    // An optional day of the week, "Tue,".
    std::string_view probe = rest;
    if (!NextWord(probe, IsAsciiLetter).empty()) {
        while (!probe.empty() && IsWhiteSpace(probe.front())) probe.remove_prefix(1);
        if (probe.empty() || probe.front() != ',') return std::nullopt;
        rest = probe.substr(1);
    }
    const std::string_view day = NextWord(rest, IsDigit);
    const std::string_view month = NextWord(rest, IsAsciiLetter);
    const std::string_view year = NextWord(rest, IsDigit);
    if (day.empty() || day.size() > 2 || month.size() != 3 || year.size() < 2 || year.size() > 4) return std::nullopt;
    CalendarDate date;
    date.day = NumberOf(day);
    date.month = 0;
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (EqualsNoCase(month, kMonths[i])) date.month = static_cast<int>(i) + 1;
    }
    date.year = NumberOf(year);
    // Two and three digits are the old forms of RFC 2822: 49 and below are in this century, the rest counts from 1900.
    if (year.size() == 2) date.year += date.year < 50 ? 2000 : 1900;
    if (year.size() == 3) date.year += 1900;
    if (date.month == 0 || date.day < 1 || date.day > 31 || date.year < 1000) return std::nullopt;
    return date;
}

std::optional<std::string> ExpandSubFolder(std::string_view text, std::string_view header, const CalendarDate& today) {
    if (!IsValidSubFolderTemplate(text)) return std::nullopt;
    if (text.empty()) return std::string();
    const MailValues values = ValuesOf(header, today);
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    std::string path;
    for (std::string_view folder : FoldersOf(text)) {
        std::string name;
        for (std::size_t at = 0; at < folder.size();) {
            if (const std::optional<PlaceholderName> placeholder = PlaceholderAt(folder.substr(at))) {
                name += values.Of(placeholder->placeholder);
                at += placeholder->text.size();
            } else {
                // The template is settings text, Windows-1252; the path it names is UTF-8.
                name += Windows1252ToUtf8(folder.substr(at++, 1));
            }
        }
        if (name.empty() || name == ".") continue;
        if (!path.empty()) path += separator;
        path += name;
    }
    return path;
}

}  // namespace zendrel
