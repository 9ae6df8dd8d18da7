#include "mime/header_field.h"

#include "common/text.h"

namespace zendrel {
namespace {

// A CR LF followed by one of these starts a continuation line of the same field.
bool StartsContinuation(char c) { return c == ' ' || c == '\t' || c == '\xA0'; }

std::size_t FindValueEnd(std::string_view header, std::size_t from) {
    std::size_t pos = from;
    while (true) {
        pos = header.find("\r\n", pos);
        if (pos == std::string_view::npos) return header.size();
        if (pos + 2 >= header.size() || !StartsContinuation(header[pos + 2])) return pos;
        pos += 2;
    }
}

}  // namespace

std::string GetHeaderField(std::string_view header, std::string_view name) {
    // Every field line of a block is preceded by CR LF, so the key cannot match inside another field's value
    // unless that value itself holds a CR LF, which only continuation lines do (and they begin with white space).
    std::string key = "\r\n";
    key += name;
    key += ':';
    const std::size_t at = FindNoCase(header, key);
    if (at == std::string_view::npos) return {};
    std::size_t begin = at + key.size();
    const std::size_t end = FindValueEnd(header, begin);
    while (begin < end && header[begin] == ' ') ++begin;
    return std::string(header.substr(begin, end - begin));
}

}  // namespace zendrel
