#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace zendrel {

// The local time of day now, read in a way that is safe from several threads.
std::tm CurrentLocalTime();

// A line of the activity log: the time of day as "%hh:%ii:%ss", a blank and the text. An empty text gives an empty
// line without a time stamp, which the run uses as a separator.
std::string FormatLogLine(std::string_view text, const std::tm& localTime);

}  // namespace zendrel
