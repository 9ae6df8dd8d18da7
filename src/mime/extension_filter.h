#pragma once

#include <string>
#include <string_view>

namespace zendrel {

// The allowed-extension list as a run uses it, made from the text the user typed ('.CSV, pdf' gives 'csv;pdf'):
// every "." removed, lower-cased, every "," replaced by ";", and blanks and tabs around each field dropped.
std::string PrepareExtensionList(std::string_view typedList);

// The extension of a file name: the text after the last "." that follows the last "/" or "\", up to the end or to
// the first double quote after that dot. Empty when there is no such dot. Letter case is kept.
std::string FileNameExtension(std::string_view fileName);

// Whether an attachment named `fileName` may be saved under a prepared list: an empty list allows every name;
// otherwise the lower-cased name's extension must equal one of the ";"-separated fields exactly. Empty fields count,
// so 'csv;' also allows names without an extension.
bool IsExtensionAllowed(std::string_view fileName, std::string_view preparedList);

}  // namespace zendrel
