#include "mime/quoted_printable.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>

using namespace std::string_literals;

namespace zendrel {
namespace {

struct QpCase {
    std::string in;
    std::string out;
    std::size_t count;  // bytes of the result, NULs included
};

TEST(DecodeQuotedPrintable, SingleByteTable) {
    const QpCase cases[] = {
        {"", "", 0},
        {"plain text", "plain text", 10},
        {"a=\r\nb=3D=3dc", "ab==c", 5},       // soft line break, both letter cases of hex digits
        {"a=00b", "a\0b"s, 3},                 // a NUL escape is an ordinary byte
        {"Gr=FC=DFe", "Gr\xFC\xDF" "e", 5},
        {"a_b", "a_b", 3},                     // "_" is left alone outside encoded words
        {"line \r\nnext\t\r\n", "line \r\nnext\t\r\n", 14},  // hard line breaks and trailing white space stay
        {"=4", "\x04", 1},                     // one digit at the end of the text
        {"=", "\0"s, 1},                       // no digit gives 0; nothing is read past the end
        {"x=A", "x\x0A", 2},
        {"=4x1", "\x04" "1", 2},               // reading stops at the first non-digit, both characters are consumed
        {"=x41", "\0" "1"s, 2},                // no digit: 0, and "x4" are swallowed
        {"a=\nb", "a\0"s, 2},                  // "=" before a lone LF swallows the LF and the next character
        {"a=\r", "a\0"s, 2},                   // "=" CR at the end is no soft line break
        {"=\r\n", "", 0},
        {"=\r\n=\r\n", "", 0},
        {"=FF=80", "\xFF\x80", 2},
    };
    for (const auto& c : cases) {
        const std::string decoded = DecodeQuotedPrintable(c.in, TextFormat::kSingleByte);
        EXPECT_EQ(decoded, c.out) << c.in;
        EXPECT_EQ(decoded.size(), c.count) << c.in;
    }
}

TEST(DecodeQuotedPrintableInPieces, PiecesOfAnySizeGiveTheWhole) {
    std::mt19937 random(29);
    const std::string pieces[] = {"a", "=", "=4", "=41", "=\r\n", "\r\n", "\r", "\n", "=x", " ", "=\r", "\0"s};
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (std::size_t length = random() % 30; length > 0; --length) text += pieces[random() % std::size(pieces)];
        for (const std::size_t pieceSize : {1u, 2u, 3u, 5u, 4096u}) {
            std::string joined;
            EXPECT_TRUE(DecodeQuotedPrintableInPieces(text, pieceSize, [&](std::string_view piece) {
                EXPECT_LE(piece.size(), pieceSize);
                joined += piece;
                return true;
            }));
            ASSERT_EQ(joined, DecodeQuotedPrintable(text, TextFormat::kSingleByte)) << text << " in " << pieceSize;
        }
    }
}

TEST(DecodeQuotedPrintable, Utf8Table) {
    const QpCase cases[] = {
        {"=C3=A4", "\xE4", 1},                 // a with diaeresis
        {"=E2=82=AC", "?", 1},                 // beyond U+00FF
        {"a=00=C3=A4", "a\0\xE4"s, 3},         // NUL survives the UTF-8 reading too
        {"=C3", "", 0},                        // a lead byte whose sequence runs past the end is dropped
        {"=C3x", "?x", 2},
    };
    for (const auto& c : cases) {
        const std::string decoded = DecodeQuotedPrintable(c.in, TextFormat::kUtf8);
        EXPECT_EQ(decoded, c.out) << c.in;
        EXPECT_EQ(decoded.size(), c.count) << c.in;
    }
}

TEST(DecodeQuotedPrintable, LinesDecodedOneByOneGiveTheWhole) {
    const std::string lines[] = {"Sehr geehrte Damen und Herren, gr=FC=DF=\r\n", "e aus K=C3=B6ln=3D=\r\n",
                                 "Zeile drei\r\n", "=00 Ende"};
    std::string whole;
    std::string pieces;
    for (const auto& line : lines) {
        whole += line;
        pieces += DecodeQuotedPrintable(line, TextFormat::kSingleByte);
    }
    const std::string decoded = DecodeQuotedPrintable(whole, TextFormat::kSingleByte);
    EXPECT_EQ(decoded, pieces);
    EXPECT_EQ(decoded, "Sehr geehrte Damen und Herren, gr\xFC\xDF" "e aus K\xC3\xB6ln=Zeile drei\r\n\0 Ende"s);
}

}  // namespace
}  // namespace zendrel
