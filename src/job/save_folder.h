#pragma once

#include <string>

namespace zendrel {

// A folder text as the file target takes it: the folder and the file name are joined as they stand, so a folder
// that does not end in a separator gets one (otherwise '/home/me/out' would put 'a.pdf' beside it as 'outa.pdf').
// An empty folder (the current one) stays empty.
std::string FolderWithSeparator(std::string folder);

}  // namespace zendrel
