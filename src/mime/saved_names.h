#pragma once
// The names saved files and their folders get: the safe name of the part, never hidden, numbered when the name is
// taken, and how such a name becomes a path of this system and a word in the log.

#include <filesystem>
#include <string>
#include <string_view>

#include "mime/message_part.h"

namespace zendrel {

// The name a part is saved under before any number: its own safe name (GetAttachmentName) without a leading dot.
// Empty when the part names no usable file.
std::string SaveNameOf(const MessagePart& part);

// A name that begins with a dot would be hidden on Linux: that dot becomes "_".
std::string WithoutLeadingDot(std::string name);

// A value that names a folder (a sender, a domain): the safe-name rule of files, no leading dot, and "_" for a value
// that leaves nothing, so that no value can name the folder above or another place.
std::string SafeFolderName(std::string_view value);

// The name under which the n-th file of `name` is kept (n from 2): the number goes before the last extension,
// "invoice (2).pdf", or at the end of a name without one, "README (2)". A name already at the file systems' limit of
// 255 bytes gives up the end of its stem to the number.
std::string NumberedName(std::string_view name, int n);

// A saved name (UTF-8), or a folder path relative to the save folder, as a path of this system. Every such
// conversion passes here; the save folder itself is settings text (PathFromText).
std::filesystem::path PathOfSavedName(std::string_view text);

// A saved name as the log shows it: Windows-1252 as far as it goes.
std::string ShownName(std::string_view name);

}  // namespace zendrel
