#include "common/base64.h"

#include <array>

namespace zendrel {
namespace {

constexpr std::array<unsigned char, 256> MakeValueTable() {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) table[c] = static_cast<unsigned char>(Base64Value(static_cast<char>(c)));
    return table;
}

constexpr auto kValue = MakeValueTable();

}  // namespace

std::size_t DecodeBase64Group(const char* group, unsigned char* out) {
    const unsigned v = (static_cast<unsigned>(kValue[static_cast<unsigned char>(group[0])]) << 18) |
                       (static_cast<unsigned>(kValue[static_cast<unsigned char>(group[1])]) << 12) |
                       (static_cast<unsigned>(kValue[static_cast<unsigned char>(group[2])]) << 6) |
                       kValue[static_cast<unsigned char>(group[3])];
    out[0] = static_cast<unsigned char>(v >> 16);
    if (group[2] == '=') return 1;
    out[1] = static_cast<unsigned char>(v >> 8);
    if (group[3] == '=') return 2;
    out[2] = static_cast<unsigned char>(v);
    return 3;
}

std::string DecodeBase64(std::string_view text) {
    std::string out;
    out.resize(text.size() / 4 * 3 + 3);
    auto* dst = reinterpret_cast<unsigned char*>(out.data());
    std::size_t count = 0;
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        while (i < n && IsSkippedBeforeBase64Group(text[i])) ++i;
        if (n - i < 4) return {};  // a short tail, even of white space only, spoils the whole text
        const std::size_t bytes = DecodeBase64Group(text.data() + i, dst + count);
        i += 4;
        count += bytes;
        if (bytes < 3) break;
    }
    out.resize(count);
    return out;
}

std::string EncodeBase64(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    for (; n - i >= 3; i += 3) {
        const unsigned v = (static_cast<unsigned>(static_cast<unsigned char>(bytes[i])) << 16) |
                           (static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i < n) {
        const bool two = n - i == 2;
        const unsigned v = (static_cast<unsigned>(static_cast<unsigned char>(bytes[i])) << 16) |
                           (two ? static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8 : 0u);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += two ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace zendrel
