#pragma once
// The folders below the save folder that a template such as "{domain}/{year}-{month}" names for each mail.

#include <optional>
#include <string>
#include <string_view>

namespace zendrel {

// A day of the calendar as a mail names it.
struct CalendarDate {
    int year = 1970;
    int month = 1;  // 1-12
    int day = 1;    // 1-31
};

// The placeholders a template may hold, as the window's tooltip and the README list them.
inline constexpr std::string_view kSubFolderPlaceholders = "{sender}, {domain}, {year}, {month}, {day}";

// Whether `text` may be used as a template: a relative path ("/" or "\" between its folders) of literal text and the
// placeholders {sender} (the sender's address in lower case), {domain} (its part after "@"), {year}, {month} and
// {day} (of the mail's Date header). Refused: any other "{", a path that starts at a root or a drive ("C:"), a ":"
// anywhere, and a folder of only dots and blanks ("..") but the single ".". The empty template means no subfolder.
bool IsValidSubFolderTemplate(std::string_view text);

// The date a Date header value names, as it is written there (in the sender's zone, not converted): "Tue, 10 Jun
// 2025 09:30:00 +0200" is 2025-06-10. None when the value does not read as a date.
std::optional<CalendarDate> ParseMailDate(std::string_view value);

// The folder path (UTF-8), relative to the save folder, that `text` names for the mail whose header block is `header`: the
// placeholders filled in, each value made a safe folder name, folders separated by this system's separator. Without a
// readable Date header the date is `today`. None when the template is refused; empty for the empty template.
std::optional<std::string> ExpandSubFolder(std::string_view text, std::string_view header, const CalendarDate& today);

}  // namespace zendrel
