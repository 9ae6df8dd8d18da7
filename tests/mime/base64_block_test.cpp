#include "mime/base64_block.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "common/base64.h"

using namespace std::string_literals;

namespace zendrel {
namespace {

// The block rules written the plain way, as a second opinion on the piecewise decoder: remove the CR LF pairs,
// trim the blanks, decode the rest at once.
std::optional<std::string> ReferenceBlock(std::string_view text) {
    std::string joined;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        } else {
            joined += text[i];
        }
    }
    const std::size_t begin = joined.find_first_not_of(' ');
    if (begin == std::string::npos) return std::nullopt;
    joined = joined.substr(begin, joined.find_last_not_of(' ') - begin + 1);
    std::string decoded = DecodeBase64(joined);
    if (decoded.empty()) return std::nullopt;
    return decoded;
}

std::string Encode(std::string_view bytes, std::size_t lineLength) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t onLine = 0;
    auto put = [&](char c) {
        out += c;
        if (++onLine == lineLength) {
            out += "\r\n";
            onLine = 0;
        }
    };
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (n > 1) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (n > 2) v |= static_cast<unsigned char>(bytes[i + 2]);
        put(kAlphabet[(v >> 18) & 63]);
        put(kAlphabet[(v >> 12) & 63]);
        put(n > 1 ? kAlphabet[(v >> 6) & 63] : '=');
        put(n > 2 ? kAlphabet[v & 63] : '=');
    }
    return out;
}

TEST(DecodeBase64Block, Table) {
    struct Case {
        std::string in;
        std::optional<std::string> out;
        std::size_t count;  // decoded bytes, NULs included
    };
    const Case cases[] = {
        {"QUJD", "ABC", 3},
        {"QUJD\r\nRA==", "ABCD", 4},
        {"QU\r\nJD", "ABC", 3},                   // a CR LF pair inside a group is removed first
        {"  QUJD  \r\n", "ABC", 3},               // blanks and line breaks at both ends are trimmed
        {"\r\n \r\nQUJD\r\n \r\n", "ABC", 3},
        {"QUJD\n", std::nullopt, 0},              // a lone LF after the last group spoils the text
        {"QUJD\t", std::nullopt, 0},
        {"QUJDR", std::nullopt, 0},
        {"QU JD", std::nullopt, 0},               // blanks inside are never skipped
        {"QQ==QUJD", "A", 1},                     // a padded group ends the data
        {"AAAA", "\0\0\0"s, 3},                   // NUL bytes are data
        {"", std::nullopt, 0},
        {"  \r\n  ", std::nullopt, 0},
        {"QU\r\r\n\nJD", std::nullopt, 0},        // pairs are removed once, not again after removal
        {"-_-_", "\xFB\xFF\xBF", 3},
        {"+/+/", "\xFB\xFF\xBF", 3},
    };
    for (const auto& c : cases) {
        const auto decoded = DecodeBase64Block(c.in);
        EXPECT_EQ(decoded, c.out) << c.in;
        EXPECT_EQ(decoded ? decoded->size() : 0u, c.count) << c.in;
        EXPECT_EQ(ReferenceBlock(c.in), c.out) << "reference: " << c.in;
    }
}

TEST(DecodeBase64Block, LargeTextDecodesAcrossPieces) {
    std::mt19937 random(7);
    std::string bytes(300000, '\0');
    for (char& b : bytes) b = static_cast<char>(random());
    for (std::size_t length : {bytes.size(), bytes.size() - 1, bytes.size() - 2}) {
        const std::string encoded = Encode(std::string_view(bytes).substr(0, length), 76);
        const auto decoded = DecodeBase64Block(encoded);
        ASSERT_TRUE(decoded.has_value()) << length;
        EXPECT_EQ(*decoded, bytes.substr(0, length));
    }
}

TEST(DecodeBase64Block, LargeTextWithAFaultAtTheEndDecodesToNothing) {
    const std::string encoded = Encode(std::string(199998, 'x'), 76);  // no padding at the end
    EXPECT_FALSE(DecodeBase64Block(encoded + "Q").has_value());
    EXPECT_FALSE(DecodeBase64Block(encoded + "\n").has_value());
    EXPECT_FALSE(DecodeBase64Block(encoded + "\t\r\n").has_value());
}

TEST(DecodeBase64Block, LargeTextPaddedEarlyStopsThere) {
    const std::string tail = "\r\n" + Encode(std::string(100000, 'z'), 76) + "Q";
    struct Case {
        std::string text;
        std::size_t count;
    };
    const Case cases[] = {
        {Encode(std::string(99999, 'y'), 76) + "QQ==" + tail, 100000},   // "=" as the fourth character
        {Encode(std::string(99999, 'y'), 76) + "QQ=x" + tail, 100000},   // as the third, before a plain one
        {Encode(std::string(99999, 'y'), 76) + "QUI=" + tail, 100001},
        {"QQ=x" + tail, 1},
    };
    for (const auto& c : cases) {
        const auto decoded = DecodeBase64Block(c.text);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(decoded->size(), c.count);
        EXPECT_EQ(*decoded, ReferenceBlock(c.text));
        EXPECT_EQ(decoded->find('z'), std::string::npos);
    }
}

// Random texts of the base64 alphabet mixed with the characters that the rules treat apart, compared with the
// plain reading.
TEST(DecodeBase64Block, ShortTextsAgreeWithThePlainReading) {
    std::mt19937 random(11);
    const std::string symbols = "QUJDRA+/-_= \t\r\n\r\n\r\nabc";
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (std::size_t length = random() % 40; length > 0; --length) text += symbols[random() % symbols.size()];
        EXPECT_EQ(DecodeBase64Block(text), ReferenceBlock(text)) << text;
    }
}

// Long texts made of groups, some of them odd (white space before or inside, padding early), so that every kind
// of group lands on both sides of a piece boundary.
TEST(DecodeBase64Block, LongTextsAgreeWithThePlainReading) {
    std::mt19937 random(13);
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/-_";
    const std::string oddGroups[] = {"\tQUJD", "\nQUJD", "\r\r\nQUJD", "Q\tJD", "QU\nD", "QUJ\r", "QQ==",
                                     "QQ=x",   "QUI=",   "=QUJ",       "Q=UJ", "QU J", "\r\n\r\n"};
    for (int round = 0; round < 60; ++round) {
        std::string text;
        std::size_t onLine = 0;
        const std::size_t groups = 20000 + random() % 30000;
        for (std::size_t g = 0; g < groups; ++g) {
            if (random() % 2000 == 0) {
                text += oddGroups[random() % std::size(oddGroups)];
            } else {
                for (int k = 0; k < 4; ++k) text += alphabet[random() % alphabet.size()];
            }
            if ((onLine += 4) >= 76) {
                text += "\r\n";
                onLine = 0;
            }
        }
        const std::string tails[] = {"", "", "", "Q", "QU=", "\n", "\t", " ", "\r\n"};
        text += tails[random() % std::size(tails)];
        EXPECT_EQ(DecodeBase64Block(text), ReferenceBlock(text)) << "round " << round;
    }
}

}  // namespace
}  // namespace zendrel
