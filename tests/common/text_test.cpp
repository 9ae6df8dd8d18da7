#include "common/text.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace zendrel {
namespace {

TEST(LowerCase, FollowsWindows1252Table) {
    struct Case {
        std::string upper, lower;
    };
    const Case cases[] = {
        {"ABCXYZ", "abcxyz"},
        {"\xC4\xD6\xDC", "\xE4\xF6\xFC"},          // umlauts
        {"\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF"},  // S caron, OE, Z caron, Y diaeresis
        {"\xD7\xDF", "\xD7\xDF"},                  // multiplication sign and sharp s have no other case
        {"A\0B"s, "a\0b"s},                        // NUL is an ordinary byte
        {"[@`{", "[@`{"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LowerCase(c.upper), c.lower) << c.upper;
        EXPECT_EQ(UpperCase(c.lower), c.upper) << c.lower;
    }
}

TEST(LowerCase, ComparisonsIgnoreCase) {
    EXPECT_TRUE(EqualsNoCase("Content-TYPE", "content-type"));
    EXPECT_FALSE(EqualsNoCase("abc", "abcd"));
    EXPECT_TRUE(StartsWithNoCase("-ERR no", "-err"));
    EXPECT_FALSE(StartsWithNoCase("-ER", "-err"));
    EXPECT_EQ(FindNoCase("Report ABC 12", "abc"), 7u);
    EXPECT_EQ(FindNoCase("abcabc", "ABC", 1), 3u);
    EXPECT_EQ(FindNoCase("ab", "abc"), std::string::npos);
}

TEST(Utf8ToSingleByte, DecodesByTheRules) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"\xC3\xA4", "\xE4"},              // U+00E4
        {"\xC4\x80", "?"},                 // U+0100 is beyond single-byte text
        {"\xC3" "A", "?A"},                // a lead byte without continuation: '?', then the byte anew
        {"\xE2\x82\xAC", "?"},             // euro sign, three bytes
        {"\xF0\x9F\x98\x80x", "?x"},       // four bytes
        {"\xE2\x82" "x", "?x"},            // a short sequence is consumed to its first non-continuation byte
        {"\x80" "a\xFF", "a"},             // stray continuation and 0xFF are dropped
        {"a\xC3", "a"},                    // a lead byte at the end is dropped
        {"a\xE2\x82", "a"},                // as is a sequence that would run past the end
        {"a\0\xC3\xA4"s, "a\0\xE4"s},      // NUL kept
        {"a\xC0\x8A" "b", "a?b"},          // an overlong line break is no line break
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8ToSingleByte(c.in), c.out) << c.in;
}

TEST(SingleByteToUtf8, EncodesEachByteAsLatin1) {
    EXPECT_EQ(SingleByteToUtf8("a\xE4\xFF"), "a\xC3\xA4\xC3\xBF");
    EXPECT_EQ(SingleByteToUtf8("\x80"), "\xC2\x80");
    EXPECT_EQ(Utf8ToSingleByte(SingleByteToUtf8("Gr\xFC\xDF" "e")), "Gr\xFC\xDF" "e");
    EXPECT_EQ(WriteText("\xE4", TextFormat::kSingleByte), "\xE4");
    EXPECT_EQ(ReadText("\xC3\xA4", TextFormat::kSingleByte), "\xC3\xA4");
}

TEST(Windows1252ToUtf8, MapsTheHighControlRangeToRealCharacters) {
    EXPECT_EQ(Windows1252ToUtf8("Gr\xFC\xDF" "e.pdf"), "Gr\xC3\xBC\xC3\x9F" "e.pdf");
    EXPECT_EQ(Windows1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
    EXPECT_EQ(Windows1252ToUtf8("\x81"), "\xC2\x81");      // unassigned byte keeps its C1 code point
}

}  // namespace
}  // namespace zendrel
