#include "mime/quoted_printable.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace zendrel {
namespace {

struct QpCase {
    std::string in;
    std::string out;
};

TEST(DecodeQuotedPrintable, SingleByteTable) {
    const QpCase cases[] = {
        {"", ""},
        {"plain text", "plain text"},
        {"a=\r\nb=3D=3dc", "ab==c"},       // soft line break, both letter cases of hex digits
        {"a=00b", "a\0b"s},                 // a NUL escape is an ordinary byte
        {"Gr=FC=DFe", "Gr\xFC\xDF" "e"},
        {"a_b", "a_b"},                     // "_" is left alone outside encoded words
        {"line \r\nnext\t\r\n", "line \r\nnext\t\r\n"},  // hard line breaks and trailing white space stay
        {"=4", "\x04"},                     // one digit at the end of the text
        {"=", "\0"s},                       // no digit gives 0; nothing is read past the end
        {"x=A", "x\x0A"},
        {"=4x1", "\x04" "1"},               // reading stops at the first non-digit, both characters are consumed
        {"=x41", "\0" "1"s},                // no digit: 0, and "x4" are swallowed
        {"a=\nb", "a\0"s},                  // "=" before a lone LF swallows the LF and the next character
        {"a=\r", "a\0"s},                   // "=" CR at the end is no soft line break
        {"=\r\n", ""},
        {"=\r\n=\r\n", ""},
        {"=FF=80", "\xFF\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeQuotedPrintable(c.in, TextFormat::SingleByte), c.out) << c.in;
    }
}

TEST(DecodeQuotedPrintable, Utf8Table) {
    const QpCase cases[] = {
        {"=C3=A4", "\xE4"},                 // a with diaeresis
        {"=E2=82=AC", "?"},                 // beyond U+00FF
        {"a=00=C3=A4", "a\0\xE4"s},         // NUL survives the UTF-8 reading too
        {"=C3", ""},                        // a lead byte whose sequence runs past the end is dropped
        {"=C3x", "?x"},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeQuotedPrintable(c.in, TextFormat::Utf8), c.out) << c.in;
}

TEST(DecodeQuotedPrintable, LinesDecodedOneByOneGiveTheWhole) {
    const std::string lines[] = {"Sehr geehrte Damen und Herren, gr=FC=DF=\r\n", "e aus K=C3=B6ln=3D=\r\n",
                                 "Zeile drei\r\n", "=00 Ende"};
    std::string whole;
    std::string pieces;
    for (const auto& line : lines) {
        whole += line;
        pieces += DecodeQuotedPrintable(line, TextFormat::SingleByte);
    }
    const std::string decoded = DecodeQuotedPrintable(whole, TextFormat::SingleByte);
    EXPECT_EQ(decoded, pieces);
    EXPECT_EQ(decoded, "Sehr geehrte Damen und Herren, gr\xFC\xDF" "e aus K\xC3\xB6ln=Zeile drei\r\n\0 Ende"s);
}

}  // namespace
}  // namespace zendrel
