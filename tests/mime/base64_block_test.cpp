#include "mime/base64_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>

#include "common/base64.h"
#include "plain_codecs.h"

using namespace std::string_literals;

namespace zendrel {
namespace {

// The block rules read the plain way are a second opinion on the decoder that reads between the pairs.
using testsupport::ReferenceBase64Block;

std::string Encode(std::string_view bytes, std::size_t lineLength) {
    return testsupport::EncodeBase64(bytes, testsupport::Base64Alphabet::Standard, lineLength);
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
        // where the runs between CR LF pairs meet the groups
        {"QUJDR\r\nEVG", "ABCDEF", 6},            // a group across a pair after a whole group
        {"Q\r\nU\r\nJ\r\nD", "ABC", 3},           // one character per line
        {"QUJD\r\n\r\n\r\nRA==", "ABCD", 4},      // empty lines between groups
        {"QUJD\rRA==", "ABCD", 4},                // a lone CR before a group is skipped
        {"QUJD\r\r\nRA==", "ABCD", 4},            // so is one right before a pair
        {"QUJD\nRA==", "ABCD", 4},                // and a lone LF
        {"QUJ\r\r\nQUJD", "AB@ABC", 6},           // a CR inside a group counts as 0
        {"QU\nD", "A@\x03", 3},                   // so does a LF
        {"QUJD\r\r\n\nRA==", "ABCD", 4},          // the CR and LF left by "\r\r\n\n" are skipped before a group
        {"QUJ\r\r\n\nQUJD", "AB@ABC", 6},         // ... and the CR fills a group, then the LF is skipped
        {"\tQUJD", "ABC", 3},                     // a tab before the first group
        {"QU\tD", "A@\x03", 3},                   // a tab inside a group counts as 0
        {"QUJD\t\t\r\n\tRA==", "ABCD", 4},
        {"QUJD\r\n\t", std::nullopt, 0},          // a tab after the last line spoils the text
        {"QUJD\t\r\n", std::nullopt, 0},
        {"QUJD\r\n\r", std::nullopt, 0},          // so does a lone CR
        {" \r\n QUJD \r\n ", "ABC", 3},           // blanks and pairs in any order at both ends
        {"QUJD \r\nQUJD", std::nullopt, 0},       // a blank inside is a character: " QUJ" leaves "D" alone
        {"QUJD \r\nRA==", "ABC\x01\x10", 5},      // ... and " RA=" is the padded group
        {"\r\n\r\n  \r\n", std::nullopt, 0},      // nothing but pairs and blanks
        {"\r\n", std::nullopt, 0},
        {"   ", std::nullopt, 0},
        {"\r\n\r\n\r\r\n", std::nullopt, 0},      // a lone CR is left: one character, too few for a group
        {"QUJD\r\nR", std::nullopt, 0},           // a tail of one to three characters after a whole line
        {"QUJD\r\nRA", std::nullopt, 0},
        {"QUJD\r\nRA=", std::nullopt, 0},         // three, padded or not, are still too few
        {"QUJD\r\nQUJ", std::nullopt, 0},
        {"QQ==\r\nQUJD\r\nQUJD", "A", 1},         // padding in the middle ends the data there
        {"QUI=\r\nQ", "AB", 2},                   // a short tail after it is not read either
        {"QUJDQQ=x\r\n\t", "ABCA", 4},
        {"QUJDQU\r\nI=QUJD", "ABCAB", 5},         // a padded group across a pair
        {"QUJDQU=\r\n=QUJD", "ABCA", 4},
        {"\x80\xFF*\0"s, "\0\0\0"s, 3},           // bytes outside both alphabets count as 0
    };
    for (const auto& c : cases) {
        const auto decoded = DecodeBase64Block(c.in);
        EXPECT_EQ(decoded, c.out) << c.in;
        EXPECT_EQ(decoded ? decoded->size() : 0u, c.count) << c.in;
        EXPECT_EQ(ReferenceBase64Block(c.in), c.out) << "reference: " << c.in;
    }
}

TEST(DecodeBase64Block, LargeTextDecodesWhole) {
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
        EXPECT_EQ(*decoded, ReferenceBase64Block(c.text));
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
        EXPECT_EQ(DecodeBase64Block(text), ReferenceBase64Block(text)) << text;
    }
}

// Random texts of the pieces the rules treat apart, next to alphabet characters and whole groups, so that groups
// start, end and get padded at every place relative to the CR LF pairs, lone CRs and LFs, tabs and blanks.
TEST(DecodeBase64Block, PiecesAroundLineBreaksAgreeWithThePlainReading) {
    std::mt19937 random(17);
    const std::string pieces[] = {"A", "Q", "=", " ", "\t", "\r", "\n", "\r\n", "\r\n", "QUJD", "QUJD", "\x80"};
    std::size_t decodedTexts = 0;
    for (int round = 0; round < 30000; ++round) {
        std::string text;
        for (std::size_t length = random() % 24; length > 0; --length) text += pieces[random() % std::size(pieces)];
        const auto decoded = DecodeBase64Block(text);
        ASSERT_EQ(decoded, ReferenceBase64Block(text)) << text;
        if (decoded) ++decodedTexts;
    }
    EXPECT_GT(decodedTexts, 1000u);  // the texts must not all fail, or the comparison says little
}

// Long texts made of groups, some of them odd (white space before or inside, padding early), so that every kind
// of group lands next to a line break and inside the long runs of plain groups.
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
        EXPECT_EQ(DecodeBase64Block(text), ReferenceBase64Block(text)) << "round " << round;
    }
}

// The decoding in pieces of any size, joined, gives what the decoding as a whole gives, down to the texts it rejects.
std::optional<std::string> DecodedInPieces(std::string_view text, std::size_t pieceSize) {
    std::string joined;
    const bool decodes = DecodeBase64BlockInPieces(text, pieceSize, [&](std::string_view piece) {
        EXPECT_LE(piece.size(), std::max<std::size_t>(pieceSize, 3));
        joined += piece;
        return true;
    });
    return decodes ? std::optional<std::string>(joined) : std::nullopt;
}

TEST(DecodeBase64BlockInPieces, PiecesOfAnySizeGiveTheWhole) {
    std::mt19937 random(23);
    const std::string pieces[] = {"A", "Q", "=", " ", "\t", "\r", "\n", "\r\n", "\r\n", "QUJD", "QUJD", "\x80"};
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        for (std::size_t length = random() % 24; length > 0; --length) text += pieces[random() % std::size(pieces)];
        for (const std::size_t pieceSize : {1u, 3u, 4u, 5u, 7u, 4096u}) {
            ASSERT_EQ(DecodedInPieces(text, pieceSize), DecodeBase64Block(text)) << text << " in " << pieceSize;
        }
    }
    std::string large(300000, '\0');
    for (char& c : large) c = static_cast<char>(random());
    const std::string lines = Encode(large, 76);
    for (const std::size_t pieceSize : {3u, 1000u, 65536u}) {
        EXPECT_EQ(DecodedInPieces(lines, pieceSize), DecodeBase64Block(lines)) << pieceSize;
        EXPECT_EQ(DecodedInPieces(lines + "\t", pieceSize), std::nullopt) << "damage at the end spoils it all";
    }

    // A taker that stops ends the decoding.
    int calls = 0;
    EXPECT_FALSE(DecodeBase64BlockInPieces(lines, 300, [&](std::string_view) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace zendrel
