#pragma once

#include <string>
#include <string_view>

namespace zendrel {

// Decodes RFC 2047 encoded words ("=?charset?b|q?text?="). White space between two adjacent encoded words is dropped;
// "utf-8" words are read into single-byte text, every other charset is taken as its raw bytes.
std::string DecodeEncodedWords(std::string_view text);

}  // namespace zendrel
