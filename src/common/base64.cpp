#include "common/base64.h"

#include <array>

namespace zendrel {
namespace {

constexpr std::array<unsigned char, 256> MakeValueTable() {
    std::array<unsigned char, 256> table{};
    for (int c = 'A'; c <= 'Z'; ++c) table[c] = static_cast<unsigned char>(c - 'A');
    for (int c = 'a'; c <= 'z'; ++c) table[c] = static_cast<unsigned char>(c - 'a' + 26);
    for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<unsigned char>(c - '0' + 52);
    table['+'] = table['-'] = 62;
    table['/'] = table['_'] = 63;
    return table;
}

constexpr auto kValue = MakeValueTable();

bool IsSkippedBeforeGroup(char c) { return c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string DecodeBase64(std::string_view text) {
    std::string out;
    out.resize(text.size() / 4 * 3 + 3);
    auto* dst = reinterpret_cast<unsigned char*>(out.data());
    std::size_t count = 0;
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        while (i < n && IsSkippedBeforeGroup(text[i])) ++i;
        if (n - i < 4) return {};  // a short tail, even of white space only, spoils the whole text
        const auto c0 = static_cast<unsigned char>(text[i]);
        const auto c1 = static_cast<unsigned char>(text[i + 1]);
        const auto c2 = static_cast<unsigned char>(text[i + 2]);
        const auto c3 = static_cast<unsigned char>(text[i + 3]);
        i += 4;
        const unsigned v = (static_cast<unsigned>(kValue[c0]) << 18) | (static_cast<unsigned>(kValue[c1]) << 12) |
                           (static_cast<unsigned>(kValue[c2]) << 6) | kValue[c3];
        dst[count++] = static_cast<unsigned char>(v >> 16);
        if (c2 == '=') break;
        dst[count++] = static_cast<unsigned char>(v >> 8);
        if (c3 == '=') break;
        dst[count++] = static_cast<unsigned char>(v);
    }
    out.resize(count);
    return out;
}

}  // namespace zendrel
