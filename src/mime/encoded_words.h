#pragma once

#include <string>
#include <string_view>

#include "common/text.h"

namespace zendrel {

// Decodes RFC 2047 encoded words ("=?charset?b|q?text?=") into header text (Windows-1252). White space between two
// adjacent encoded words is dropped, and adjacent words of one charset are read together, so that a character split
// between them stays whole. Each word is read in its charset as far as Windows-1252 goes ("?" for the rest); a
// charset that the program or the system does not know gives its raw bytes.
std::string DecodeEncodedWords(std::string_view text);

// The same into UTF-8, for a file name: every character of the words kept. The text around the words is taken as
// UTF-8 when the whole text is well-formed UTF-8, and as Windows-1252 otherwise.
Utf8Text DecodeEncodedWordsToUtf8(std::string_view text);

}  // namespace zendrel
